// Start-up, single instance, the message loop and shutdown of the tray program.
#include "tray/qvtoolbar.h"

#include "common/catalogue.h"
#include "common/paths.h"
#include "tray/wash/wash.h"

#include <commctrl.h>
#include <ole2.h>
#include <cstdio>
#include <cstring>


namespace {

constexpr DWORD kWashEndMs = 10000;  // a running wash gets this long to stop at the end

HANDLE SingleInstanceMutex;

// At its first start for a user the program takes the language setup stored for
// the machine (setup, elevated, may run under another user's name and never
// writes this user's settings itself).
void AdoptInstalledLanguage() {
  if (LibReadSettingInt(HKEY_CURRENT_USER, "GeneralLanguage") != -1) return;
  int installed = LibReadSettingInt(HKEY_LOCAL_MACHINE, "GeneralLanguage");
  if (installed >= 0 && installed < kLanguageCount) LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralLanguage", installed);
}

void RegisterIdentity(HINSTANCE instance) {
  AppInstance = instance;
  LibSetProductInfo(instance, kProductTitle, kShortTitle, kMainClass, "Toolbar", "Toolbar", kSettingsKey,
                    "Quorvane.hlp", "toolbar.htm", "qvtoolbar.exe", 0, 0, 0, 0, 85, 71, kWebPage, "unused", 0);
  LibInitialize(5, 49);
  AdoptInstalledLanguage();
}

void SeedFromClock() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  SeedRandom(now.wMilliseconds * 5416u + now.wMinute * 189u);
}

// The arguments without the program part, cut to the buffer and lower-cased.
void KeepLoweredCommandLine(const char* arguments) {
  snprintf(LoweredCommandLine, sizeof LoweredCommandLine, "%s", arguments ? arguments : "");
  CharLowerA(LoweredCommandLine);
}

// A second start forwards the request to the running instance and ends.
void ForwardToFirstInstance() {
  HWND first = FindWindowA(kMainClass, nullptr);
  if (!first) return;
  // The first instance brings its settings window to the front; Windows lets it
  // only when this start, which the user just made, hands the right over.
  DWORD firstProcess = 0;
  if (GetWindowThreadProcessId(first, &firstProcess) && firstProcess) AllowSetForegroundWindow(firstProcess);
  if (!strstr(LoweredCommandLine, "/s")) PostMessageA(first, WM_COMMAND, IDM_SETTINGS, 0);
  PostMessageA(first, WMU_RESTORETRAY, 0, 0);
}

// The restart list is used up once the system has restarted.
void RemoveUsedRestartList() {
  if (ReadSettingInt("QueueForNextRestart") == 0) return;
  char path[MAX_PATH + 16];
  if (WindowsFolderFile(path, sizeof path, IsNtPlatform() ? kRestartListName : kRestartListDoneName))
    DeleteFileA(path);
}

bool AskedToDialog(HWND dialog, MSG* message) {
  return dialog && IsWindow(dialog) && IsDialogMessageA(dialog, message);
}

// Ctrl+Tab / Ctrl+Page Down and their reverse switch the settings pages.
bool HandlePageKeys(MSG* message) {
  if (message->message != WM_KEYDOWN || GetAsyncKeyState(VK_CONTROL) >= 0) return false;
  bool shift = GetAsyncKeyState(VK_SHIFT) < 0;
  WPARAM key = message->wParam;
  if ((key == VK_TAB || key == VK_NEXT) && !shift) {
    LibNextPage(message);
    return true;
  }
  if (((key == VK_TAB || key == VK_NEXT) && shift) || key == VK_PRIOR) {
    LibPrevPage(message);
    return true;
  }
  return false;
}

bool HandleDialogNavigation(MSG* message) {
  const HWND dialogs[] = {LibDialogWindowA, ToolbarPageWindow, BossKeyPageWindow, WashPageWindow,
                          LibDialogWindowB, LibDialogWindowC};
  for (HWND dialog : dialogs) {
    if (AskedToDialog(dialog, message)) return true;
  }
  return LibOwnerWindow && IsWindow(LibOwnerWindow) &&
         SendMessageA(LibOwnerWindow, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(message));
}

// The modeless sheet reports being closed by having no current page.
void DestroyClosedSettingsWindow() {
  if (LibOwnerWindow && !SendMessageA(LibOwnerWindow, PSM_GETCURRENTPAGEHWND, 0, 0)) {
    DestroyWindow(LibOwnerWindow);
    LibOwnerWindow = nullptr;
  }
}

void Shutdown() {
  EndWashAtExit(kWashEndMs);
  OleUninitialize();
  LibRemoveTrayIcon(MainWindow);
  if (LibFlyingIconWindow && IsWindow(LibFlyingIconWindow))
    PostMessageA(LibFlyingIconWindow, WM_COMMAND, IDM_CLOSEFLYINGICON, 0);
  UnregisterHotKey(MainWindow, HOTKEY_SETTINGS);
  UnregisterHotKey(LibAppWindow, HOTKEY_BOSSKEY);
  CloseHandle(SingleInstanceMutex);
  SingleInstanceMutex = nullptr;
}

}  // namespace

void RunMessageLoopStep(MSG* message) {
  if (!message->hwnd) message->hwnd = LibAppWindow;
  LibPreTranslateMessage(MainWindow, message);
  if (!HandlePageKeys(message)) {
    if (!HandleDialogNavigation(message)) {
      TranslateMessage(message);
      DispatchMessageA(message);
    }
    DestroyClosedSettingsWindow();
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int showCommand) {
  RegisterIdentity(instance);
  SeedFromClock();
  // An unattended wash runs without the program's window and beside a running one.
  int washed = 0;
  if (RunUnattendedWashIfAsked(GetCommandLineW(), &washed)) return washed;
  KeepLoweredCommandLine(arguments);
  if (LibHandleCommandLine(LoweredCommandLine)) return 0;

  SingleInstanceMutex = CreateMutexA(nullptr, FALSE, kMainClass);
  if (!SingleInstanceMutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    ForwardToFirstInstance();
    if (SingleInstanceMutex) CloseHandle(SingleInstanceMutex);
    return 0;
  }
  if (!LibInitInstance(instance)) return 0;
  RemoveUsedRestartList();
  OleInitialize(nullptr);
  if (!LibRegisterMainClass(instance, MainWndProc) || !LibCreateMainWindow(instance, showCommand)) return 0;
  if (ReadSettingInt("FlyingIcon") == 1)
    LibCreateFlyingIcon(LibResourceModule, MainWindow, &LibFlyingIconWindow, 110, 0, LibFlyingIconProc);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) RunMessageLoopStep(&message);
  Shutdown();
  return 0;
}
