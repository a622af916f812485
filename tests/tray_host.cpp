// What the tray program's entry file gives the routines, for test and benchmark
// programs that link them without its entry point.
#include "tray/qvtoolbar.h"
#include "tray/wash/wash.h"

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

// A wash test's start: the tray identity, the wash's settings never written (the
// File Delete Options as they come), no stop asked, the counts at zero.
void StartWashTest() {
  UseTrayIdentity();
  LibRegDeleteTree(HKEY_CURRENT_USER, kSettingsKey, 1);
  StopRequested = 0;
  WashErrorCount = WashWarningCount = WashLockedCount = 0;
}
