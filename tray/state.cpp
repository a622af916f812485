// Process-wide state of the tray program.
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
