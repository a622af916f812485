// What the tray program's entry file gives the routines, for test and benchmark
// programs that link them without its entry point.
#include "tray/qvtoolbar.h"

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
