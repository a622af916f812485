// qvpress.exe: presses a button of a running program's window, as a user's click
// would, for scripts that take screenshots.
//
//   qvpress.exe "<window title>" <control id>         the top-level dialog so titled
//   qvpress.exe "<sheet title>" page <control id>     the current page of that property sheet
//
// Exit codes: 0 posted, 1 bad usage, 2 no such window or control.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  bool page = argc == 4 && strcmp(argv[2], "page") == 0;
  if (argc != 3 && !page) {
    fprintf(stderr, "usage: qvpress.exe \"<window title>\" [page] <control id>\n");
    return 1;
  }
  HWND window = FindWindowA("#32770", argv[1]);
  if (window && page)
    window = reinterpret_cast<HWND>(SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0));
  int id = atoi(argv[argc - 1]);
  HWND control = window ? GetDlgItem(window, id) : nullptr;
  if (!control) {
    fprintf(stderr, "qvpress: no control %d in \"%s\"\n", id, argv[1]);
    return 2;
  }
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  return 0;
}
