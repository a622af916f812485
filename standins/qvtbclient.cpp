// qvtbclient.exe stand-in for the browser toolbar module: drives the tray
// program's main window (class "qvToolbarClass") by window messages.
//
//   qvtbclient.exe post <msg> [wParam] [lParam]   PostMessage
//   qvtbclient.exe send <msg> [wParam] [lParam]   SendMessageTimeout (5 s), prints the result
//
// <msg> is a number (decimal or 0x hex) or a name of the table below.
// Exit codes: 0 done, 1 bad usage, 2 no window of that class, 3 send timed out.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kTrayClass[] = "qvToolbarClass";
constexpr DWORD kSendTimeoutMs = 5000;

struct MessageName {
  const char* name;
  UINT number;
};

constexpr MessageName kMessageNames[] = {
    {"WMU_TRAYNOTIFY", WM_USER + 1},       {"WMU_RESTORETRAY", WM_USER + 2},
    {"WMU_OPENSETTINGS", WM_USER + 17},    {"WMU_SETPICTURETIMER", WM_USER + 32},
    {"WMU_BOSSKEY", WM_USER + 33},         {"WMU_SETIMAGES", WM_USER + 34},
    {"WMU_SETACTIVEX", WM_USER + 35},      {"WMU_SETSHOCKWAVE", WM_USER + 36},
    {"WMU_SETSTOPLOAD", WM_USER + 37},     {"WMU_PROTECTHOME", WM_USER + 38},
    {"WMU_RESTOREHOME", WM_USER + 39},     {"WMU_SETANIMATIONS", WM_USER + 40},
    {"WMU_SETSOUNDS", WM_USER + 41},       {"WM_CLOSE", WM_CLOSE},
    {"WM_COMMAND", WM_COMMAND},
};
static_assert(WM_USER + 17 == 1041 && WM_USER + 41 == 1065, "private message numbers");

enum ExitCode { kDone = 0, kUsage = 1, kNoWindow = 2, kTimedOut = 3 };

int Usage(const char* problem) {
  fprintf(stderr,
          "qvtbclient: %s\n"
          "usage: qvtbclient.exe post|send <msg> [wParam] [lParam]\n"
          "  post  posts the message to the window of class \"%s\"\n"
          "  send  sends it (5 s timeout) and prints the result\n"
          "  <msg>, wParam and lParam: decimal or 0x hex numbers; <msg> may also be one of:\n",
          problem, kTrayClass);
  for (const MessageName& m : kMessageNames) fprintf(stderr, "    %-20s %u\n", m.name, m.number);
  fprintf(stderr, "exit codes: 0 done, 1 bad usage, 2 no window, 3 send timed out\n");
  return kUsage;
}

// Decimal (optionally negative, two's complement) or 0x hex, 32 bits; false on anything else.
bool ParseNumber(const char* text, DWORD* out) {
  const char* p = text;
  bool negative = false;
  unsigned base = 10;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    if (negative) return false;
    base = 16;
    p += 2;
  }
  if (!*p) return false;
  unsigned long long value = 0;
  for (; *p; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') digit = static_cast<unsigned>(*p - '0');
    else if (base == 16 && *p >= 'a' && *p <= 'f') digit = static_cast<unsigned>(*p - 'a' + 10);
    else if (base == 16 && *p >= 'A' && *p <= 'F') digit = static_cast<unsigned>(*p - 'A' + 10);
    else return false;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return false;
  }
  if (negative && value > 0x80000000ull) return false;
  *out = static_cast<DWORD>(negative ? 0ull - value : value);
  return true;
}

bool ParseMessage(const char* text, UINT* out) {
  for (const MessageName& m : kMessageNames) {
    if (lstrcmpiA(text, m.name) == 0) {
      *out = m.number;
      return true;
    }
  }
  DWORD number = 0;
  if (!ParseNumber(text, &number)) return false;
  *out = number;
  return true;
}

int Post(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (!PostMessageA(window, message, wp, lp)) {
    DWORD error = GetLastError();
    fprintf(stderr, "qvtbclient: PostMessage failed (error %lu)\n", error);
    return IsWindow(window) ? kUsage : kNoWindow;
  }
  return kDone;
}

int Send(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wp, lp, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    if (!IsWindow(window)) {
      fprintf(stderr, "qvtbclient: the window went away\n");
      return kNoWindow;
    }
    fprintf(stderr, "qvtbclient: no answer within 5 seconds\n");
    return kTimedOut;
  }
  printf("%lld\n", static_cast<long long>(static_cast<LRESULT>(result)));
  fflush(stdout);
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) return Usage("wrong number of arguments");
  bool send = strcmp(argv[1], "send") == 0;
  if (!send && strcmp(argv[1], "post") != 0) return Usage("the first argument must be post or send");
  UINT message = 0;
  if (!ParseMessage(argv[2], &message)) return Usage("unknown message");
  DWORD wp = 0, lp = 0;
  if (argc > 3 && !ParseNumber(argv[3], &wp)) return Usage("wParam is not a number");
  if (argc > 4 && !ParseNumber(argv[4], &lp)) return Usage("lParam is not a number");
  HWND window = FindWindowA(kTrayClass, nullptr);
  if (!window) {
    fprintf(stderr, "qvtbclient: no window of class \"%s\"\n", kTrayClass);
    return kNoWindow;
  }
  // The numbers are 32-bit as the toolbar module passes them: lParam is signed
  // ("-1" stays -1 in a 64-bit build), wParam unsigned.
  LPARAM lParam = static_cast<LPARAM>(static_cast<LONG>(lp));
  return send ? Send(window, message, wp, lParam) : Post(window, message, wp, lParam);
}
