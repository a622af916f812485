// Tray icon, tray menu, settings sheet and its page keys.
#include "quorvane/internal.h"

#include <commctrl.h>
#include <shellapi.h>
#include <cstring>

namespace qv {
namespace {

// The tray icon as last requested, so that it can come back when the shell restarts.
struct TrayState {
  HWND window;
  char tip[LIB_TRAYTIP_CHARS];
  HICON icon;
  int iconSize;      // the small-icon size the icon was loaded at
  bool requested;
  DWORD retryStart;  // tick count of the first failed add
};
TrayState g_tray = {};

// While the taskbar is still starting (at logon) adding the icon fails, and no
// "TaskbarCreated" may follow: the add is tried again every 2 s for two minutes.
constexpr UINT_PTR kRetryTimer = 0x7152;  // on the icon's window; the programs' own timers have other ids
constexpr UINT kRetryMs = 2000;
constexpr DWORD kRetryForMs = 120000;
constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED

bool NotifyTray(DWORD action) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V2_SIZE;
  data.hWnd = g_tray.window;
  data.uID = LIB_TRAY_ICON_ID;
  if (action != NIM_DELETE) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = LIB_WM_TRAYNOTIFY;
    data.hIcon = g_tray.icon;
    CopyText(data.szTip, sizeof data.szTip, g_tray.tip);
  }
  return Shell_NotifyIconA(action, &data) != 0;
}

// The shell's message to every top-level window when its taskbar (re)starts.
UINT TaskbarCreatedMessage() {
  static UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

int SmallIconSize() { return GetSystemMetrics(SM_CXSMICON); }

// Loads the icon at the small-icon size of now (the system's DPI), and keeps that size.
HICON LoadTrayIcon() {
  g_tray.iconSize = SmallIconSize();
  return LoadProgramIcon(g_tray.iconSize, GetSystemMetrics(SM_CYSMICON), false);
}

void StopRetry() {
  if (g_tray.window) KillTimer(g_tray.window, kRetryTimer);
  g_tray.retryStart = 0;
}

// One add of the icon; a retry first tries NIM_MODIFY, since an add that timed
// out while the shell was busy may have added the icon after all, and a second
// NIM_ADD of the same icon fails.
bool ShowTrayIcon(bool retry) {
  if (retry && NotifyTray(NIM_MODIFY)) return true;
  return NotifyTray(NIM_ADD);
}

VOID CALLBACK RetryTrayIcon(HWND window, UINT, UINT_PTR, DWORD) {
  if (!g_tray.requested || window != g_tray.window) {
    KillTimer(window, kRetryTimer);
    return;
  }
  if (ShowTrayIcon(true) || GetTickCount() - g_tray.retryStart >= kRetryForMs) StopRetry();
}

// Adds the icon, or leaves it to the retry timer when the shell refuses it now.
// The timer ends with the window (DestroyWindow ends its timers).
bool AddOrRetry(bool retry) {
  if (ShowTrayIcon(retry)) {
    StopRetry();
    return true;
  }
  if (!g_tray.retryStart) g_tray.retryStart = GetTickCount() | 1;  // nonzero while retrying
  SetTimer(g_tray.window, kRetryTimer, kRetryMs, RetryTrayIcon);
  return false;
}

// The small-icon size changed (another DPI, other icon metrics): the icon is
// loaded anew at that size.
void RefreshTrayIconSize() {
  if (!g_tray.requested || !g_tray.window || SmallIconSize() == g_tray.iconSize) return;
  HICON old = g_tray.icon;
  g_tray.icon = LoadTrayIcon();
  if (!g_tray.retryStart) NotifyTray(NIM_MODIFY);
  if (old) DestroyIcon(old);
}

// An elevated program does not get messages from the unelevated shell unless it
// lets them through: the shell's restart message is let through to the window.
void AllowTaskbarCreated(HWND window) {
  using FilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD for the older call
  HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32 || !window) return;
  auto filterEx = reinterpret_cast<FilterExFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));  // Windows 7
  if (filterEx) {
    filterEx(window, TaskbarCreatedMessage(), kAllow, nullptr);
    return;
  }
  auto filter = reinterpret_cast<FilterFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));  // Vista
  if (filter) filter(TaskbarCreatedMessage(), kAllow);
}

void TranslateMenu(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char text[512] = {};
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_SUBMENU;
    item.dwTypeData = text;
    item.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, i, TRUE, &item)) continue;
    if (item.hSubMenu) TranslateMenu(item.hSubMenu);
    if ((item.fType & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW)) || !text[0]) continue;
    const char* translated = LibTranslate(text, 1);
    if (strcmp(translated, text) == 0) continue;
    MENUITEMINFOA change = {};
    change.cbSize = sizeof change;
    change.fMask = MIIM_STRING;
    change.dwTypeData = const_cast<char*>(translated);
    SetMenuItemInfoA(menu, i, TRUE, &change);
  }
}

bool IsSheetOpen() { return LibOwnerWindow && IsWindow(LibOwnerWindow); }

// Moves the sheet by step tabs, wrapping around.
void StepPage(int step) {
  if (!IsSheetOpen()) return;
  HWND tab = reinterpret_cast<HWND>(SendMessageA(LibOwnerWindow, PSM_GETTABCONTROL, 0, 0));
  if (!tab) return;
  int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
  if (count <= 0) return;
  int current = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
  if (current < 0) current = 0;
  int next = ((current + step) % count + count) % count;
  SendMessageA(LibOwnerWindow, PSM_SETCURSEL, next, 0);
}

void BringToFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

}  // namespace

bool TrayWindowMessage(HWND window, UINT message, WPARAM) {
  if (message == WM_SETTINGCHANGE || message == kDpiChanged) {
    RefreshTrayIconSize();
    return false;
  }
  if (message != TaskbarCreatedMessage()) return false;
  // A new shell knows no icon: it is added anew, at the size of now.
  if (g_tray.requested && g_tray.window == window && IsWindow(window)) {
    HICON old = g_tray.icon;
    g_tray.icon = LoadTrayIcon();
    if (old) DestroyIcon(old);
    StopRetry();  // two more minutes from now
    AddOrRetry(false);
  }
  return true;
}

}  // namespace qv

using namespace qv;

int LibAddTrayIcon(HWND window, const char* tip) {
  if (!window) return 0;
  // The icon already shown for this window only takes the new tip.
  if (g_tray.requested && g_tray.window == window && g_tray.icon && !g_tray.retryStart) {
    CopyText(g_tray.tip, sizeof g_tray.tip, tip);
    if (NotifyTray(NIM_MODIFY)) return 1;
  }
  if (g_tray.window && g_tray.window != window) StopRetry();
  if (g_tray.icon) DestroyIcon(g_tray.icon);
  g_tray.window = window;
  CopyText(g_tray.tip, sizeof g_tray.tip, tip);  // at most 63 characters
  g_tray.icon = LoadTrayIcon();
  g_tray.requested = true;
  AllowTaskbarCreated(window);
  return AddOrRetry(g_tray.retryStart != 0) ? 1 : 0;
}

void LibRemoveTrayIcon(HWND window) {
  StopRetry();
  HWND own = g_tray.window;
  g_tray.window = window ? window : own;
  NotifyTray(NIM_DELETE);
  g_tray.window = nullptr;
  g_tray.requested = false;
  if (g_tray.icon) DestroyIcon(g_tray.icon);
  g_tray.icon = nullptr;
}

void LibShowTrayMenu(HWND window) {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(LIB_MENU_TRAY));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  if (popup) {
    TranslateMenu(popup);
    SetMenuDefaultItem(popup, 2457, FALSE);
    POINT at = {};
    GetCursorPos(&at);
    SetForegroundWindow(window);
    TrackPopupMenuEx(popup, TPM_RIGHTBUTTON | TPM_RIGHTALIGN | TPM_BOTTOMALIGN, at.x, at.y, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
  }
  DestroyMenu(menu);
}

// The sheet's own buttons come from the system in the system's language; they
// speak the chosen language like the pages.
void TranslateSheetButtons(HWND sheet) {
  struct Caption {
    int id;
    const char* text;
  };
  constexpr int kApplyButton = 0x3021;
  constexpr Caption kButtons[] = {{IDOK, LIB_TEXT("OK")},
                                  {IDCANCEL, LIB_TEXT("Cancel")},
                                  {kApplyButton, LIB_TEXT("&Apply")},
                                  {IDHELP, LIB_TEXT("Help")}};
  for (const Caption& button : kButtons) {
    HWND control = GetDlgItem(sheet, button.id);
    if (control) SetWindowTextA(control, LibTranslate(button.text, 0));
  }
}

void LibShowSettings(int page) {
  if (page < 0 || page >= LIB_SETTINGS_PAGES) return;
  if (IsSheetOpen()) {
    SendMessageA(LibOwnerWindow, PSM_SETCURSEL, page, 0);
    BringToFront(LibOwnerWindow);
    return;
  }
  PROPSHEETPAGEA_V3 records[LIB_SETTINGS_PAGES] = {};
  SendMessageA(LibAppWindow, WM_COMMAND, LIB_IDM_GETPAGES, reinterpret_cast<LPARAM>(records));
  HPROPSHEETPAGE pages[LIB_SETTINGS_PAGES] = {};
  int count = 0;
  for (auto& record : records) {
    if (record.dwSize < PROPSHEETPAGEA_V1_SIZE) continue;
    HPROPSHEETPAGE created = CreatePropertySheetPageA(reinterpret_cast<LPCPROPSHEETPAGEA>(&record));
    if (created) pages[count++] = created;
  }
  if (count == 0) return;
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_MODELESS | PSH_USEHICON | PSH_HASHELP;
  header.hwndParent = nullptr;  // its own taskbar button
  header.hInstance = GetModuleHandleA(nullptr);
  header.hIcon = LoadProgramIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), true);
  header.pszCaption = g_identity.longTitle;
  header.nPages = count;
  header.nStartPage = page < count ? page : 0;
  header.phpage = pages;
  INT_PTR sheet = PropertySheetA(&header);
  if (sheet <= 0) return;
  LibOwnerWindow = reinterpret_cast<HWND>(sheet);
  TranslateSheetButtons(LibOwnerWindow);
  BringToFront(LibOwnerWindow);
}

void LibNextPage(MSG* message) { StepPage(1); }

void LibPrevPage(MSG* message) { StepPage(-1); }

int LibPreTranslateMessage(HWND mainWindow, MSG* message) {
  if (!message || message->message != WM_KEYDOWN || message->wParam != VK_F1) return 0;
  if ((GetKeyState(VK_CONTROL) | GetKeyState(VK_MENU) | GetKeyState(VK_SHIFT)) & 0x8000) return 0;
  HWND w = message->hwnd;
  if (!w || GetWindowThreadProcessId(w, nullptr) != GetCurrentThreadId()) return 0;
  // Inside the settings sheet the page answers F1 itself (WM_HELP).
  if (IsSheetOpen() && (w == LibOwnerWindow || IsChild(LibOwnerWindow, w))) return 0;
  LibShowHelp();
  return 1;
}
