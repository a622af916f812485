// qvpress.exe: presses a button of a running program's window, as a user's click
// would, and waits for windows, for scripts that take screenshots or drive a demo.
//
//   qvpress.exe "<window title>" <control id>         the top-level dialog so titled
//   qvpress.exe "<sheet title>" page <control id>     the current page of that property sheet
//   qvpress.exe "<window title>" check <control id>   ticks that check box unless it is ticked
//   qvpress.exe "<window title>" wait <seconds>       waits until that dialog shows
//   qvpress.exe hold "<file>" <seconds>               keeps the file open, unshared, that long
//                                                     (start it in the background)
//
// Exit codes: 0 done, 1 bad usage, 2 no such window or control (or not within the time).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND FindDialog(const char* title) {
  HWND window = FindWindowA("#32770", title);
  return window && IsWindowVisible(window) ? window : nullptr;
}

int Wait(const char* title, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (FindDialog(title)) return 0;
    Sleep(100);
  }
  fprintf(stderr, "qvpress: no window \"%s\" within %d s\n", title, seconds);
  return 2;
}

int Hold(const char* file, int seconds) {
  HANDLE held = CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "qvpress: cannot open \"%s\"\n", file);
    return 2;
  }
  Sleep(static_cast<DWORD>(seconds) * 1000);
  CloseHandle(held);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && !strcmp(argv[1], "hold")) return Hold(argv[2], atoi(argv[3]));
  const char* mode = argc == 4 ? argv[2] : "";
  bool known = argc == 3 || (argc == 4 && (!strcmp(mode, "page") || !strcmp(mode, "check") || !strcmp(mode, "wait")));
  if (!known) {
    fprintf(stderr, "usage: qvpress.exe \"<window title>\" [page|check|wait] <control id or seconds>\n"
                    "       qvpress.exe hold \"<file>\" <seconds>\n");
    return 1;
  }
  if (!strcmp(mode, "wait")) return Wait(argv[1], atoi(argv[3]));
  HWND window = FindDialog(argv[1]);
  if (window && !strcmp(mode, "page"))
    window = reinterpret_cast<HWND>(SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0));
  int id = atoi(argv[argc - 1]);
  HWND control = window ? GetDlgItem(window, id) : nullptr;
  if (!control) {
    fprintf(stderr, "qvpress: no control %d in \"%s\"\n", id, argv[1]);
    return 2;
  }
  if (!strcmp(mode, "check")) {
    if (SendMessageA(control, BM_GETCHECK, 0, 0) != BST_CHECKED) SendMessageA(control, BM_CLICK, 0, 0);
    return 0;
  }
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  return 0;
}
