#include "tray_support.h"

#include <commctrl.h>

namespace qvt {

void ResetTray() {
  KillAll(kTrayExe);
  DeleteTree(HKEY_CURRENT_USER, kToolbarKey);
}

Process StartTray(const std::string& arguments, HWND* mainWindow, DWORD timeoutMs) {
  Process p = Start(BinPath(kTrayExe), arguments);
  *mainWindow = p.pid ? WaitTop(kTrayClass, nullptr, p.pid, timeoutMs) : nullptr;
  return p;
}

long CloseTray(Process& p, HWND mainWindow) {
  if (!p.process) return -1;
  if (mainWindow) PostMessageA(mainWindow, WM_CLOSE, 0, 0);
  DWORD code = 0;
  if (!WaitExit(p, 10000, &code)) {
    DismissMessageBoxes(p.pid);
    if (!WaitExit(p, 3000, &code)) return -1;
  }
  return static_cast<long>(code);
}

void EndTray(Process& p, HWND mainWindow) {
  if (p.process) {
    DismissMessageBoxes(p.pid);
    CloseTray(p, mainWindow);
  }
  Close(p);
}

HWND WaitSettings(DWORD pid, DWORD timeoutMs) { return WaitSheet(pid, kProductTitle, timeoutMs); }

HWND OpenSettingsPage(Process* p, HWND* mainWindow, HWND* sheet, int index) {
  constexpr UINT kOpenSettings = WM_USER + 17;
  if (!p->process) {
    *p = StartTray("/s", mainWindow);
    if (!*mainWindow) return nullptr;
  }
  PostMessageA(*mainWindow, kOpenSettings, static_cast<WPARAM>(index), 0);
  *sheet = WaitSettings(p->pid);
  if (!*sheet || !WaitUntil([&] { return SheetPageIndex(*sheet) == index; }, 5000)) return nullptr;
  LRESULT page = 0;
  Send(*sheet, PSM_GETCURRENTPAGEHWND, 0, 0, &page);
  return reinterpret_cast<HWND>(page);
}

bool NoSettingsFor(DWORD pid, DWORD ms) { return WaitSheet(pid, nullptr, ms) == nullptr; }

}  // namespace qvt
