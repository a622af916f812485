// Commands the library carries out for the programs: General Options, About,
// help, home page, support mail, exit, the tray menu and the floating icon.
#include "quorvane/internal.h"
#include "quorvane/resource.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

namespace qv {
namespace {

constexpr int kIdmGeneralOptions = 2472;
constexpr int kIdmHelp = 2478;
constexpr int kIdmHomepage = 2481;
constexpr int kIdmSupportMail = 2482;
constexpr int kIdmExit = 2483;
constexpr int kIdmAbout = 2540;
constexpr int kIdmPageMenu = 2470;
constexpr int kFlyingIcon = 110;
constexpr UINT kRestoreTray = WM_USER + 2;  // the program re-creates its tray icon

HFONT g_linkFont = nullptr;

HWND DialogOwner() { return (LibOwnerWindow && IsWindow(LibOwnerWindow)) ? LibOwnerWindow : nullptr; }

void SetCheck(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
int Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0; }

// ---- General Options ----------------------------------------------------

void OptionsInit(HWND dialog) {
  LibTranslate(reinterpret_cast<const char*>(dialog), 1);
  SetCheck(dialog, IDC_OPT_TRAYICON, LibReadSettingInt(HKEY_CURRENT_USER, "TrayIcon") != 0);
  SetCheck(dialog, IDC_OPT_FLYINGICON, LibReadSettingInt(HKEY_CURRENT_USER, "FlyingIcon") == 1);
  SetCheck(dialog, IDC_OPT_SILENT, LibReadSettingInt(HKEY_CURRENT_USER, "GeneralSilent") == 1);
  SetCheck(dialog, IDC_OPT_STARTUP, LibReadSettingInt(HKEY_CURRENT_USER, "GeneralStartup") != 0);
  SendDlgItemMessageA(dialog, IDC_OPT_HOTKEY, HKM_SETHOTKEY, SettingsHotkeyValue() & 0xFFFF, 0);
}

// Applies what changed at once: tray icon, floating icon and the hotkey.
void OptionsSave(HWND dialog) {
  int trayWas = LibReadSettingInt(HKEY_CURRENT_USER, "TrayIcon") != 0;
  int tray = Checked(dialog, IDC_OPT_TRAYICON);
  int flying = Checked(dialog, IDC_OPT_FLYINGICON);
  LibWriteSettingInt(HKEY_CURRENT_USER, "TrayIcon", tray);
  LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIcon", flying);
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralSilent", Checked(dialog, IDC_OPT_SILENT));
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralStartup", Checked(dialog, IDC_OPT_STARTUP));
  int hotkey = static_cast<int>(SendDlgItemMessageA(dialog, IDC_OPT_HOTKEY, HKM_GETHOTKEY, 0, 0)) & 0xFFFF;
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralHotkey", hotkey);
  if (!LibAppWindow || !IsWindow(LibAppWindow)) return;
  if (!RegisterSettingsHotkey(LibAppWindow)) {
    char text[600];
    SettingsHotkeyTakenText(text, sizeof text);
    ShowErrorText(text);
  }
  if (tray != trayWas) PostMessageA(LibAppWindow, kRestoreTray, 0, 0);
  bool flyingOpen = LibFlyingIconWindow && IsWindow(LibFlyingIconWindow);
  if (!flying && flyingOpen) PostMessageA(LibFlyingIconWindow, WM_COMMAND, LIB_IDM_CLOSEFLYINGICON, 0);
  if (flying && !flyingOpen)
    LibCreateFlyingIcon(LibResourceModule, LibAppWindow, &LibFlyingIconWindow, kFlyingIcon, 0, LibFlyingIconProc);
}

INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OptionsInit(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OptionsSave(dialog);
        DestroyWindow(dialog);
      } else if (LOWORD(wParam) == IDCANCEL) {
        DestroyWindow(dialog);
      }
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(dialog);
      return TRUE;
    case WM_HELP:
      LibShowHelp();
      return TRUE;
    case WM_DESTROY:
      if (LibDialogWindowA == dialog) LibDialogWindowA = nullptr;
      return TRUE;
    default:
      return FALSE;
  }
}

// ---- About --------------------------------------------------------------

// The program's large icon at the dialog's scaling.
void SetAboutIcon(HWND dialog) {
  int size = LargeIconSize(WindowDpi(dialog));
  SetControlIconHandle(GetDlgItem(dialog, IDC_ABOUT_ICON), LoadProgramIcon(size, size, false));
}

void AboutInit(HWND dialog) {
  LibTranslate(reinterpret_cast<const char*>(dialog), 1);
  char caption[200];
  snprintf(caption, sizeof caption, "%s %s", LibTranslate("About", 1),
           g_identity.shortTitle[0] ? g_identity.shortTitle : Caption());
  SetWindowTextA(dialog, caption);
  SetAboutIcon(dialog);
  SetDlgItemTextA(dialog, IDC_ABOUT_TITLE, Caption());
  char version[LIB_VERSION_CHARS];
  LibGetVersionText(version);
  SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, version);
  SetDlgItemTextA(dialog, IDC_ABOUT_WEBPAGE, g_identity.webPage);
  if (!g_linkFont) {
    LOGFONTA font = {};
    HFONT base = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (base && GetObjectA(base, sizeof font, &font)) {
      font.lfUnderline = TRUE;
      g_linkFont = CreateFontIndirectA(&font);
    }
  }
  if (g_linkFont) SendDlgItemMessageA(dialog, IDC_ABOUT_WEBPAGE, WM_SETFONT, reinterpret_cast<WPARAM>(g_linkFont), 0);
  HWND title = GetDlgItem(dialog, IDC_ABOUT_TITLE);
  LOGFONTA bold = {};
  HFONT base = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  if (base && GetObjectA(base, sizeof bold, &bold)) {
    bold.lfWeight = FW_BOLD;
    HFONT boldFont = CreateFontIndirectA(&bold);
    if (boldFont) {
      SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont), 0);
      SetPropA(dialog, "qvBoldFont", boldFont);
    }
  }
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      AboutInit(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
      if (LOWORD(wParam) == IDC_ABOUT_WEBPAGE && HIWORD(wParam) == STN_CLICKED && g_identity.webPage[0])
        OpenWithShell(dialog, g_identity.webPage);
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_ABOUT_WEBPAGE)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 204));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, IDC_ABOUT_WEBPAGE)) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      DestroyWindow(dialog);
      return TRUE;
    case kWmDpiChanged:
      SetAboutIcon(dialog);
      return FALSE;  // the dialog manager moves and scales the dialog
    case WM_DESTROY: {
      FreeControlIcon(GetDlgItem(dialog, IDC_ABOUT_ICON));
      HFONT bold = static_cast<HFONT>(RemovePropA(dialog, "qvBoldFont"));
      if (bold) DeleteObject(bold);
      if (LibDialogWindowB == dialog) LibDialogWindowB = nullptr;
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// Opens a modeless dialog of ours once; a second request brings it to the front.
void OpenDialog(HWND* slot, int resource, DLGPROC procedure) {
  if (*slot && IsWindow(*slot)) {
    SetForegroundWindow(*slot);
    return;
  }
  *slot = CreateDialogParamA(LibResourceModule, MAKEINTRESOURCEA(resource), DialogOwner(), procedure, 0);
  if (!*slot) return;
  ShowWindow(*slot, SW_SHOW);
  SetForegroundWindow(*slot);
}

// "%HH" for every byte that may not stand in a mail address' subject.
void UrlEncode(const char* text, char* out, size_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t n = 0;
  for (const BYTE* p = reinterpret_cast<const BYTE*>(text); *p && n + 4 < size; ++p) {
    BYTE c = *p;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || strchr("-_.~", c)) {
      out[n++] = static_cast<char>(c);
    } else {
      out[n++] = '%';
      out[n++] = kHex[c >> 4];
      out[n++] = kHex[c & 15];
    }
  }
  out[n] = 0;
}

void Open(const char* target) {
  INT_PTR result = OpenWithShell(MessageOwner(), target);
  if (result <= 32) LibShowStartError(result, LIB_TEXT("Cannot open the page."));
}

}  // namespace
}  // namespace qv

using namespace qv;

int LibDoCommand(HWND appWindow, HWND window, WPARAM command, LPARAM lParam) {
  switch (LOWORD(command)) {
    case kIdmGeneralOptions:
      OpenDialog(&LibDialogWindowA, IDD_GENERAL_OPTIONS, OptionsProc);
      return 1;
    case kIdmHelp:
      LibShowHelp();
      return 1;
    case kIdmHomepage:
      if (g_identity.webPage[0]) Open(g_identity.webPage);
      return 1;
    case kIdmSupportMail: {
      char subject[400], mail[600];
      UrlEncode(Caption(), subject, sizeof subject);
      snprintf(mail, sizeof mail, "mailto:support@quorvane.com?subject=%s", subject);
      Open(mail);
      return 1;
    }
    case kIdmAbout:
      OpenDialog(&LibDialogWindowB, IDD_ABOUT, AboutProc);
      return 1;
    case kIdmExit:
      if (appWindow && IsWindow(appWindow)) DestroyWindow(appWindow);
      return 1;
    case kIdmPageMenu:
      LibShowTrayMenu(appWindow);
      return 1;
    case LIB_IDM_CLOSEFLYINGICON:
      if (LibFlyingIconWindow && IsWindow(LibFlyingIconWindow)) DestroyWindow(LibFlyingIconWindow);
      LibFlyingIconWindow = nullptr;
      return 1;
    default:
      return 0;
  }
}
