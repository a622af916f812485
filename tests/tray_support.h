// Running the real qvtoolbar.exe from a test.
#pragma once

#include "support/qvtest.h"

namespace qvt {

constexpr const char* kTrayExe = "qvtoolbar.exe";
constexpr const char* kProductTitle = "Quorvane Webdeck";

// Ends every running qvtoolbar and removes its settings.
void ResetTray();
// Starts qvtoolbar.exe with these arguments and waits for its main window.
Process StartTray(const std::string& arguments, HWND* mainWindow, DWORD timeoutMs = 10000);
// Asks a running qvtoolbar to close (WM_CLOSE) and waits for its end; returns the exit code or -1.
long CloseTray(Process& p, HWND mainWindow);
// The end of a test's program: boxes answered, asked to close (killed when it
// does not end), handles closed.
void EndTray(Process& p, HWND mainWindow);
// The settings window of that process, if it opens within the time.
HWND WaitSettings(DWORD pid, DWORD timeoutMs = 5000);
// The settings window at that page: the tray program is started with "/s" unless
// *p already runs it; returns the page (null when it did not show) and the sheet in *sheet.
HWND OpenSettingsPage(Process* p, HWND* mainWindow, HWND* sheet, int index);
// True when no settings window of that process shows up within the time.
bool NoSettingsFor(DWORD pid, DWORD ms);

}  // namespace qvt
