// The process state that the tray program's entry file holds, for test and benchmark
// programs that link the tray routines without its entry point.
#include "tray/qvtoolbar.h"

HINSTANCE AppInstance;
HWND MainWindow;
char LoweredCommandLine[kLoweredCommandLineChars + 1];

std::atomic<int> StopRequested{0};
std::atomic<int> WashRunning{0};
std::atomic<int> WashErrorCount{0};
std::atomic<int> WashWarningCount{0};
std::atomic<int> WashLockedCount{0};
std::atomic<int> ContentsOverwritten{0};
std::atomic<int> HistoryInRun{0};

int ReadSettingInt(const char* name) { return LibReadSettingInt(HKEY_CURRENT_USER, name); }

void RunMessageLoopStep(MSG* message) {
  TranslateMessage(message);
  DispatchMessageA(message);
}

// The tray program's identity, so that settings land under its key.
void UseTrayIdentity() {
  LibSetProductInfo(GetModuleHandleA(nullptr), kProductTitle, kShortTitle, kMainClass, "Toolbar", "Toolbar",
                    kSettingsKey, "Quorvane.hlp", "toolbar.htm", "qvtoolbar.exe", 0, 0, 0, 0, 85, 71, kWebPage,
                    "unused", 0);
  LibInitialize(5, 49);
}
