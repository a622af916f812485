// The hidden main window: tray icon, hotkeys, the tray menu's commands, the
// library's request for the settings pages and the private messages of the
// browser toolbar module.
#include "tray/qvtoolbar.h"
#include "tray/wash/wash.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char SettingsWindowTitle[kSettingsTitleChars];

using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
ChangeWindowMessageFilterFn ChangeMessageFilter;

// The start-up switches: the first rule whose text the command line contains
// posts its message to the main window.
struct SwitchRule {
  const char* text;
  UINT message;
  WPARAM wParam;
};
constexpr SwitchRule kSwitchRules[] = {
    {"/openset", WMU_OPENSETTINGS, 0},   {"/wash", WMU_OPENSETTINGS, 2},
    {"/bosskey", WMU_BOSSKEY, 0},        {"/imageson", WMU_SETIMAGES, 1},
    {"/imagesoff", WMU_SETIMAGES, 0},    {"/activexon", WMU_SETACTIVEX, 1},
    {"/activexoff", WMU_SETACTIVEX, 0},  {"/shockon", WMU_SETSHOCKWAVE, 1},
    {"/shockoff", WMU_SETSHOCKWAVE, 0},  {"/animatedon", WMU_SETANIMATIONS, 1},
    {"/animatedoff", WMU_SETANIMATIONS, 0}, {"/soundon", WMU_SETSOUNDS, 1},
    {"/soundoff", WMU_SETSOUNDS, 0},     {"/stoploadon", WMU_SETSTOPLOAD, 1},
    {"/stoploadoff", WMU_SETSTOPLOAD, 0}, {"/protecton", WMU_PROTECTHOME, 1},
    {"/protectoff", WMU_PROTECTHOME, 0}, {"/restorehome", WMU_RESTOREHOME, 1},
};

// Messages a less privileged browser process may send; the policy switches
// only when the user allowed them.
constexpr UINT kToolbarMessages[] = {WMU_SETPICTURETIMER, WMU_OPENSETTINGS, WMU_BOSSKEY,
                                     WMU_SETSTOPLOAD,     WMU_PROTECTHOME,  WMU_RESTOREHOME,
                                     WMU_SETANIMATIONS,   WMU_SETSOUNDS};
constexpr UINT kPolicyMessages[] = {WMU_SETIMAGES, WMU_SETACTIVEX, WMU_SETSHOCKWAVE};
constexpr DWORD kMsgFilterAdd = 1;

void AddTrayIcon(HWND window) {
  char tip[LIB_TRAYTIP_CHARS];
  SetTrayTipText(tip, sizeof tip);
  LibAddTrayIcon(window, tip);
}

void RegisterBossKeyAtStart() {
  if (ReadSettingInt("BossKeyYes") != 1) return;
  int hotkey = ReadSettingInt("BossKey");
  if (hotkey <= 0) hotkey = 1056;  // Alt+Space
  RegisterBossHotkey(hotkey, HOTKEY_BOSSKEY, "Boss-Key");
}

// The first rule that the command line (lower-cased) matches posts its message.
void PostSwitchMessage(HWND window, const char* line) {
  if (!strstr(line, "/s") && ReadSettingInt("GeneralSilent") != 1) {
    PostMessageA(window, WM_COMMAND, IDM_SETTINGS, 0);
    return;
  }
  for (const SwitchRule& rule : kSwitchRules) {
    if (strstr(line, rule.text)) {
      PostMessageA(window, rule.message, rule.wParam, 0);
      return;
    }
  }
}

// The whole command line, program path included, lower-cased for the switch
// tests: a switch far down a long line counts as much as the first one.
void ActOnCommandLine(HWND window) {
  const char* full = GetCommandLineA();
  size_t n = strlen(full);
  char* line = static_cast<char*>(malloc(n + 1));
  if (!line) return;
  memcpy(line, full, n + 1);
  CharLowerA(line);
  PostSwitchMessage(window, line);
  free(line);
}

void AllowToolbarMessages() {
  if (!ChangeMessageFilter) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32)
      ChangeMessageFilter =
          reinterpret_cast<ChangeWindowMessageFilterFn>(GetProcAddress(user32, "ChangeWindowMessageFilter"));
  }
  if (!ChangeMessageFilter) return;
  for (UINT message : kToolbarMessages) ChangeMessageFilter(message, kMsgFilterAdd);
  if (ReadSettingInt("EnableChangePolicies") == 1) {
    for (UINT message : kPolicyMessages) ChangeMessageFilter(message, kMsgFilterAdd);
  }
}

// The page records arrive as a pointer in lParam: they are taken only while
// this thread itself is building the settings window, never from a message
// another process sent or posted.
bool BuildingSettings;

void ShowSettingsWindow(int page) {
  BuildingSettings = true;
  LibShowSettings(page);
  BuildingSettings = false;
  snprintf(SettingsWindowTitle, sizeof SettingsWindowTitle, "%s", kProductTitle);
  if (LibOwnerWindow) SetWindowTextA(LibOwnerWindow, SettingsWindowTitle);
}

LRESULT OnCreate(HWND window) {
  MainWindow = window;
  LibAppWindow = window;
  if (ReadSettingInt("TrayIcon") != 0) AddTrayIcon(window);
  LibMainWindowCreated(MainWindow);
  RegisterBossKeyAtStart();
  ActOnCommandLine(window);
  AllowToolbarMessages();
  SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  return 0;
}

LRESULT OnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  StopRequested.store(1, std::memory_order_relaxed);
  LibMainWindowDestroyed(window);
  PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDM_BOSSKEYNOW:
      RunBossKey();
      return 0;
    case IDM_SETTINGS:
      ShowSettingsWindow(0);
      return 0;
    case IDM_GETPAGES:
      if (BuildingSettings) FillSettingsPages(lParam);
      return 0;
  }
  if (LibDoCommand(LibAppWindow, window, wParam, lParam)) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT OnHotkey(HWND window, WPARAM id) {
  if (id == HOTKEY_SETTINGS) PostMessageA(window, WM_COMMAND, IDM_SETTINGS, 0);
  else if (id == HOTKEY_BOSSKEY) RunBossKey();
  return 0;
}

LRESULT OnTrayNotify(HWND window, LPARAM mouseMessage) {
  switch (mouseMessage) {
    case WM_MOUSEMOVE:
      GetCursorPos(&LibTrayCursorPos);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      PostMessageA(MainWindow, WM_COMMAND, IDM_SETTINGS, 0);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      LibShowTrayMenu(MainWindow);
      return 0;
  }
  return 1;
}

LRESULT OnRestoreTray(HWND window) {
  LibRemoveTrayIcon(MainWindow);
  if (ReadSettingInt("TrayIcon") != 0) AddTrayIcon(window);
  return 1;
}

LRESULT OnOpenSettings(WPARAM page) {
  ShowSettingsWindow(page <= 2 ? static_cast<int>(page) : 0);
  return 1;
}

LRESULT OnSetPictureTimer(WPARAM delay) {
  KillTimer(LibAppWindow, TIMER_PICTURES);
  SetTimer(LibAppWindow, TIMER_PICTURES, static_cast<UINT>(delay), PictureTimerProc);
  return 0;
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window, message, wParam, lParam);
    case WM_COMMAND: return OnCommand(window, message, wParam, lParam);
    case WM_HOTKEY: return OnHotkey(window, wParam);
    case WMU_TRAYNOTIFY: return OnTrayNotify(window, lParam);
    case WMU_RESTORETRAY: return OnRestoreTray(window);
    case WMU_OPENSETTINGS: return OnOpenSettings(wParam);
    case WMU_SETPICTURETIMER: return OnSetPictureTimer(wParam);
    case WMU_BOSSKEY: RunBossKey(); return 1;
    case WMU_SETIMAGES: return SetImages(wParam);
    case WMU_SETACTIVEX: return SetActiveX(wParam);
    case WMU_SETSHOCKWAVE: return SetShockwave(wParam);
    case WMU_SETSTOPLOAD: return SetStopLoad(wParam);
    case WMU_PROTECTHOME: return ProtectHomepage(wParam);
    case WMU_RESTOREHOME: return RestoreHomepage(wParam);
    case WMU_SETANIMATIONS: return SetAnimations(wParam);
    case WMU_SETSOUNDS: return SetSounds(wParam);
    case WMU_WASHPROGRESS: ShowWashProgress(wParam); return 0;
  }
  return LibDefMainWindowProc(window, message, wParam, lParam);
}

void SetTrayTipText(char* tip, int tipChars) {
  snprintf(tip, static_cast<size_t>(tipChars), "%.63s", kProductTitle);
  snprintf(LibTrayTipText, sizeof LibTrayTipText, "%.63s", kProductTitle);
}

void ShowSystemError(HWND owner, const char* text) {
  char* systemText = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                 reinterpret_cast<char*>(&systemText), 0, nullptr);
  const char* reason = systemText ? systemText : "";
  size_t size = strlen(text) + strlen(reason) + 1000;
  char* message = static_cast<char*>(malloc(size));
  if (message) {
    snprintf(message, size, "%s%s", text, reason);
    MessageBoxA(owner, message, kProductTitle, MB_ICONERROR | MB_SETFOREGROUND);
    free(message);
  }
  if (systemText) LocalFree(systemText);
}

int QueryRegistryValue(HKEY root, const char* subkey, const char* name, void* buffer, DWORD* size) {
  if (!buffer) return 0;
  memset(buffer, 0, *size < 4 ? *size : 4);
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
  LONG result = RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(buffer), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
