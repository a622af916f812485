#include "tray_support.h"

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

bool NoSettingsFor(DWORD pid, DWORD ms) { return WaitSheet(pid, nullptr, ms) == nullptr; }

}  // namespace qvt
