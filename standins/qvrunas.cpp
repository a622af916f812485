// qvrunas.exe stand-in: the family's starter of programs without elevation.
//
//   qvrunas.exe /keeprunas "C:\path\prog.exe" rest of line
//       starts the quoted program with the rest of the line as its arguments
//       and stays ready (hidden window of class "qvRunAsClass"); while a ready
//       instance runs, a further /keeprunas start hands its request over
//       (WM_COPYDATA) and ends.
//   qvrunas.exe /stoprunas      ends the ready instance, then itself.
//   qvrunas.exe "C:\path\prog.exe" rest of line   starts the program once.
//
// Programs (.exe, .com) start through CreateProcess, folders and documents
// through ShellExecute; the working folder is the target's folder. Every
// request and its result go to the call log (QVRUNAS_LOG, else
// "qvrunas-calls.txt" beside the program). A ready instance without a request
// for ten minutes ends by itself.
// Exit codes: 0 done, 1 nothing to start, 2 the start failed, 3 the ready
// instance did not answer.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "standins/standin.h"

namespace {

constexpr char kClassName[] = "qvRunAsClass";
constexpr char kMutexName[] = "qvRunAsClassMutex";
constexpr char kLogEnv[] = "QVRUNAS_LOG";
constexpr char kLogName[] = "qvrunas-calls.txt";
constexpr ULONG_PTR kCopyDataTag = 0x51565241;  // "QVRA"
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleMs = 10 * 60 * 1000;
constexpr DWORD kForwardTimeoutMs = 10000;
constexpr int kFindAttempts = 200;  // 200 x 50 ms for a starting instance's window
constexpr DWORD kFindPauseMs = 50;
constexpr DWORD kStopWaitMs = 5000;
constexpr size_t kRequestMax = 32768;  // the longest command line the system passes

struct Request {
  char program[MAX_PATH];
  const char* arguments;  // points into the request text
};

// Only the GUI thread uses these.
char g_logLine[kRequestMax + 512];
char g_commandLine[kRequestMax];
char g_forwarded[kRequestMax];

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(g_logLine, sizeof g_logLine, format, args);  // a too long line is cut
  va_end(args);
  AppendLogLine(kLogEnv, kLogName, g_logLine);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// When text begins with the switch (any case) followed by a blank, a quote or
// the end, *rest is what follows it without leading blanks.
bool MatchSwitch(const char* text, const char* name, const char** rest) {
  size_t n = strlen(name);
  if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text, static_cast<int>(strnlen(text, n)), name,
                     static_cast<int>(n)) != CSTR_EQUAL)
    return false;
  const char* p = text + n;
  if (*p && !IsBlank(*p) && *p != '"') return false;
  while (IsBlank(*p)) ++p;
  *rest = p;
  return true;
}

// `"program" arguments` (an unquoted program ends at the first blank).
// Zero when there is no program or its path does not fit.
int ParseRequest(const char* text, Request* out) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  const char* begin = p;
  const char* end;
  if (*p == '"') {
    begin = ++p;
    while (*p && *p != '"') ++p;
    end = p;
    if (*p == '"') ++p;
  } else {
    while (*p && !IsBlank(*p)) ++p;
    end = p;
  }
  size_t length = static_cast<size_t>(end - begin);
  if (length == 0 || length >= MAX_PATH) return 0;
  memcpy(out->program, begin, length);
  out->program[length] = 0;
  while (IsBlank(*p)) ++p;
  out->arguments = p;
  return 1;
}

// The blank between program and arguments in the log, none without arguments.
const char* Gap(const char* arguments) { return *arguments ? " " : ""; }

bool HasExtension(const char* path, const char* extension) {
  size_t n = strlen(path), e = strlen(extension);
  return n > e && lstrcmpiA(path + n - e, extension) == 0;
}

bool IsProgramFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  return HasExtension(path, ".exe") || HasExtension(path, ".com");
}

// The target's folder with its trailing backslash; empty when the path has none.
void FolderOf(const char* path, char* folder) {
  snprintf(folder, MAX_PATH, "%s", path);
  char* slash = strrchr(folder, '\\');
  if (slash) slash[1] = 0;
  else folder[0] = 0;
}

int StartProgram(const Request& r, const char* folder) {
  int n = snprintf(g_commandLine, sizeof g_commandLine, *r.arguments ? "\"%s\" %s" : "\"%s\"", r.program,
                   r.arguments);
  if (n < 0 || static_cast<size_t>(n) >= sizeof g_commandLine) {
    Log("start: \"%s\" -> refused (command line too long)", r.program);
    return 0;
  }
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(r.program, g_commandLine, nullptr, nullptr, FALSE, 0, nullptr, *folder ? folder : nullptr,
                      &si, &pi)) {
    Log("start: \"%s\"%s%s -> failed (error %lu)", r.program, Gap(r.arguments), r.arguments, GetLastError());
    return 0;
  }
  Log("start: \"%s\"%s%s -> started (pid %lu)", r.program, Gap(r.arguments), r.arguments, pi.dwProcessId);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 1;
}

int OpenTarget(const Request& r, const char* folder) {
  INT_PTR code = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, r.program,
                                                         *r.arguments ? r.arguments : nullptr,
                                                         *folder ? folder : nullptr, SW_SHOWNORMAL));
  if (code <= 32) {
    Log("open: \"%s\"%s%s -> failed (code %ld)", r.program, Gap(r.arguments), r.arguments, static_cast<long>(code));
    return 0;
  }
  Log("open: \"%s\"%s%s -> opened", r.program, Gap(r.arguments), r.arguments);
  return 1;
}

// Starts what the request names; nonzero on success.
int StartRequest(const char* text) {
  Request r = {};
  if (!ParseRequest(text, &r)) {
    Log("start: -> refused (no program, or its path is too long)");
    return 0;
  }
  char folder[MAX_PATH] = {};
  FolderOf(r.program, folder);
  return IsProgramFile(r.program) ? StartProgram(r, folder) : OpenTarget(r, folder);
}

int StartOnce(const char* text) { return StartRequest(text) ? 0 : 2; }

// ---- the ready instance ----

LRESULT OnCopyData(HWND window, const COPYDATASTRUCT* data) {
  if (!data || data->dwData != kCopyDataTag || !data->lpData || data->cbData == 0 ||
      data->cbData > kRequestMax) {
    Log("served: -> refused (not a request)");
    return 0;
  }
  memcpy(g_forwarded, data->lpData, data->cbData);
  g_forwarded[data->cbData - 1] = 0;  // a request without its terminator is cut by one character
  SetTimer(window, kIdleTimer, kIdleMs, nullptr);
  Log("served: %s", g_forwarded);
  if (!*g_forwarded) return 1;  // only asked to stay ready
  return StartRequest(g_forwarded);
}

LRESULT OnTimer(HWND window, WPARAM id) {
  if (id != kIdleTimer) return 0;
  Log("idle: no request for ten minutes, ending");
  DestroyWindow(window);
  return 0;
}

LRESULT OnClose(HWND window) {
  Log("close: ending");
  DestroyWindow(window);
  return 0;
}

LRESULT CALLBACK ReadyWndProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_COPYDATA: return OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lp));
    case WM_TIMER: return OnTimer(window, wp);
    case WM_CLOSE: return OnClose(window);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, wp, lp);
  }
}

HWND CreateReadyWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ReadyWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return nullptr;
  // A hidden top-level window, so FindWindow finds it.
  return CreateWindowExA(0, kClassName, "qvrunas", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

int RunReadyInstance(const char* request) {
  HWND window = CreateReadyWindow();
  if (!window) {
    Log("ready: -> failed (error %lu)", GetLastError());
    return StartOnce(request);
  }
  SetTimer(window, kIdleTimer, kIdleMs, nullptr);
  Log("ready");
  if (*request) StartRequest(request);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  Log("ended");
  return 0;
}

// Hands the request to a ready instance: 0 started, 2 its start failed,
// 3 no answer, -1 the window went away (try again).
int Forward(HWND window, const char* request) {
  size_t length = strlen(request);
  if (length >= kRequestMax) {
    Log("forward: -> refused (request too long)");
    return 1;
  }
  COPYDATASTRUCT data = {kCopyDataTag, static_cast<DWORD>(length + 1), const_cast<char*>(request)};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                           kForwardTimeoutMs, &result)) {
    if (!IsWindow(window)) return -1;
    Log("forward: -> no answer (error %lu)", GetLastError());
    return 3;
  }
  Log("forward: -> %s", result ? "served" : "failed");
  return result ? 0 : 2;
}

int KeepRunAs(const char* request) {
  for (int attempt = 0; attempt < kFindAttempts; ++attempt) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!mutex) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      int result = RunReadyInstance(request);
      CloseHandle(mutex);
      return result;
    }
    CloseHandle(mutex);
    HWND window = FindWindowA(kClassName, nullptr);
    if (window) {
      int result = Forward(window, request);
      if (result >= 0) return result;
    }
    Sleep(kFindPauseMs);
  }
  Log("forward: -> no ready instance, starting directly");
  return *request ? StartOnce(request) : 0;
}

BOOL CALLBACK CloseReadyWindow(HWND window, LPARAM count) {
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, kClassName) == 0 && PostMessageA(window, WM_CLOSE, 0, 0)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int StopReadyInstance() {
  int count = 0;
  EnumWindows(CloseReadyWindow, reinterpret_cast<LPARAM>(&count));
  if (count == 0) {
    Log("stop: -> none running");
    return 0;
  }
  DWORD start = GetTickCount();
  while (FindWindowA(kClassName, nullptr) && GetTickCount() - start < kStopWaitMs) Sleep(kFindPauseMs);
  Log("stop: -> %s", FindWindowA(kClassName, nullptr) ? "still running" : "ended");
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* arguments = ArgumentsOf(GetCommandLineA());
  Log("request: %s", arguments);
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const char* rest = nullptr;
  int result;
  if (MatchSwitch(arguments, "/stoprunas", &rest)) result = StopReadyInstance();
  else if (MatchSwitch(arguments, "/keeprunas", &rest)) result = KeepRunAs(rest);
  else if (*arguments) result = StartOnce(arguments);
  else {
    Log("refused: nothing to start");
    result = 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}
