// The Toolbar page of the settings window: the toolbar and picture switches,
// Auto-Stop, the stop sound, the version text, and the closing question asked
// when the settings window goes while nothing keeps the program running.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/fittext.h"
#include "tray/pages.h"
#include "tray/qvtoolbar.h"

namespace {

enum : int {
  IDC_SHOWTOOLBAR = 1240,
  IDC_PICTURES = 1241,
  IDC_PLAYSOUND = 1242,
  IDC_STOPREFRESH = 1243,
  IDC_POLICIES = 1244,
  IDC_STOPSOUND = 1290,
  IDC_DELAY = 1494,
  IDC_DELAYSPIN = 1495,
  IDC_VERSION = 2471,
  IDC_PROGRAMICON = 2489,
};

constexpr int kDelayMax = 20;
constexpr int kDelayDefault = 2;
constexpr int kStopSoundChars = 520;
constexpr int kQuestionChars = 1000;

constexpr PageTip kTips[] = {
    {IDC_SHOWTOOLBAR, LIB_TEXT("Disable the qv-Webdeck toolbar and BHO, so it no longer loads when IE starts."), true},
    {IDC_PICTURES,
     LIB_TEXT("Enable Picture Download. Since this scans each document for a picture series, this may make loading pages "
     "slower by some milliseconds."),
     true},
    {IDC_POLICIES,
     LIB_TEXT("Allow change of IE settings from the toolbar, even though protected mode is enabled. This is required for "
     "Images Off, ActiveX, and Shockwave."),
     true},
    {IDC_DELAYSPIN,
     LIB_TEXT("It could be so easy... However, some web pages (for example with several frames) just don't complete loading "
     "when stopped immediately. They need a small delay, 2 or 3 seconds should be enough."),
     true},
    {IDC_DELAY,
     LIB_TEXT("It could be so easy... However, some web pages (for example with several frames) just don't complete loading "
     "when stopped immediately. They need a little delay, 2 or 3 seconds should be enough."),
     true},
    {IDC_STOPREFRESH,
     LIB_TEXT("When you refresh a page one reason might be that the page didn't finish loading. Chances are that you don't "
     "want Auto-Stop to interfere (again). Turning this off also reduces problems with pages using several frames."),
     true},
    {IDC_PLAYSOUND,
     LIB_TEXT("Play a sound when a page was stopped. Loading is also indicated by the color of the STOP button."), true},
    {IDC_STOPSOUND,
     LIB_TEXT("Give an audio feedback when the page animations have been stopped. Also note the change of the STOP icon."),
     true},
};

// The version text's small font: made once per process, deleted at the page's end.
HFONT SmallFont;
// Set once the page shows its settings: changes the page makes itself are no user's.
bool PageReady;

int ReadSetting(const char* name) { return ReadSettingInt(name); }

void CheckWhen(HWND page, int control, bool checked) {
  CheckDlgButton(page, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ShowVersion(HWND page) {
  if (!SmallFont) {
    int height = -MulDiv(7, static_cast<int>(WindowDpi(page)), 72);
    SmallFont = CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, LibTranslate("Arial", 0));
  }
  SendDlgItemMessageA(page, IDC_VERSION, WM_SETFONT, reinterpret_cast<WPARAM>(SmallFont), FALSE);
  char version[LIB_VERSION_CHARS] = {};
  LibGetVersionText(version);
  SetDlgItemTextA(page, IDC_VERSION, version);
}

constexpr int kSoundGlyph = 16;  // the stop sound's button: a small icon at 96 dpi

// The pictures at the page's scaling (again after a change of it).
void ShowIcons(HWND page) {
  SetControlIcon(GetDlgItem(page, IDC_PROGRAMICON), AppInstance, LibGetIconIndex() + LIB_ICON_BASE,
                 LargeIconSize(WindowDpi(page)));
  HWND sound = GetDlgItem(page, IDC_STOPSOUND);
  SetControlIcon(sound, LibResourceModule, 2552, ScaleForWindow(sound, kSoundGlyph));
}

void ShowSettings(HWND page) {
  CheckWhen(page, IDC_SHOWTOOLBAR, ReadSetting("ShowToolbar") != 0);
  CheckWhen(page, IDC_PICTURES, ReadSetting("OpPicsEnable") == 1);
  CheckWhen(page, IDC_POLICIES, ReadSetting("EnableChangePolicies") == 1);
  CheckWhen(page, IDC_STOPREFRESH, ReadSetting("StopRefresh") == 1);
  CheckWhen(page, IDC_PLAYSOUND, ReadSetting("StopPlaySound") == 1);
  int delay = ReadSetting("StopDelay");
  if (delay < 0 || delay > kDelayMax) delay = kDelayDefault;
  UDACCEL step = {0, 1};
  SendDlgItemMessageA(page, IDC_DELAYSPIN, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
  SendDlgItemMessageA(page, IDC_DELAYSPIN, UDM_SETRANGE32, 0, kDelayMax);
  SendDlgItemMessageA(page, IDC_DELAY, EM_LIMITTEXT, 2, 0);
  SetDlgItemInt(page, IDC_DELAY, static_cast<UINT>(delay), FALSE);
}

// The stop sound's button follows the "Sound on Auto-Stop" text, however long
// that is in the chosen language.
void KeepSoundButtonBesideItsText(HWND page) {
  RECT client;
  GetClientRect(page, &client);
  FitCheckBoxAndFollower(GetDlgItem(page, IDC_PLAYSOUND), GetDlgItem(page, IDC_STOPSOUND),
                         client.right - ScaleForWindow(page, 10));
}

INT_PTR OnInitDialog(HWND page) {
  PageReady = false;
  PageInit(page, &ToolbarPageWindow, kTips, sizeof kTips / sizeof kTips[0]);
  ShowIcons(page);
  ShowVersion(page);
  ShowSettings(page);
  KeepSoundButtonBesideItsText(page);
  PageReady = true;
  return 1;
}

// The stop sound is stored as soon as it is chosen, not on Apply.
void ChooseStopSound(HWND page) {
  char sound[kStopSoundChars] = {};
  if (!LibReadSetting(HKEY_CURRENT_USER, "StopSound", sound) || !sound[0]) snprintf(sound, sizeof sound, "knock.wav");
  if (LibBrowseForFile(page, sound, LibTranslate("Select a new stop sound:", 0), "Select a new stop sound:", 0))
    LibWriteSetting(HKEY_CURRENT_USER, "StopSound", sound);
}

INT_PTR OnCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  int control = LOWORD(wParam);
  int code = HIWORD(wParam);
  if (control == IDC_STOPSOUND && code == BN_CLICKED) {
    ChooseStopSound(page);
    return 0;
  }
  bool box = control >= IDC_SHOWTOOLBAR && control <= IDC_POLICIES && code == BN_CLICKED;
  bool delay = control == IDC_DELAY && code == EN_CHANGE;
  if (box || delay) {
    if (PageReady) MarkPageChanged(page);
    return 0;
  }
  return PageCommand(page, wParam, lParam);
}

// The features that only work while the program runs, as the question names them.
void ListRunningFeatures(char* list, size_t cap) {
  struct Feature {
    const char* setting;
    const char* name;
  };
  constexpr Feature kFeatures[] = {
      {"BossKeyYes", LIB_TEXT("Boss-Key")},
      {"StopWhenLoaded", LIB_TEXT("Auto-Stop")},
      {"OpPicsEnable", LIB_TEXT("Picture Download")}};
  list[0] = 0;
  for (const Feature& feature : kFeatures) {
    if (ReadSetting(feature.setting) != 1) continue;
    size_t used = strlen(list);
    snprintf(list + used, cap - used, "%s%s", used ? ", " : "", LibTranslate(feature.name, 1));
  }
}

// Asked when the settings window closes: unless the program is set to keep running,
// it ends, after asking whether features that need it should keep working.
void AskToKeepRunning() {
  if (StopRequested.load(std::memory_order_relaxed)) return;  // the program is ending anyway
  if (ReadSetting("GeneralStartup") != 0) return;
  char features[kQuestionChars];
  ListRunningFeatures(features, sizeof features);
  if (features[0]) {
    char question[kQuestionChars];
    snprintf(question, sizeof question,
             LibTranslate("Some options require qv-Webdeck to keep running. %s will no longer work.::::Keep "
                          "qv-Webdeck running in the tray?",
                          1 | LIB_TRANSLATE_FORMAT),
             features);
    if (MessageBoxA(LibOwnerWindow, question, kProductTitle, MB_ICONQUESTION | MB_YESNO) == IDYES) {
      LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralStartup", 1);
      return;
    }
  }
  PostMessageA(LibAppWindow, WM_CLOSE, 0, 0);
}

// Shown at another scaling: the pictures and the small font made anew, the
// sound's button fitted again to its text (the sheet has scaled the page).
INT_PTR OnDpiChanged(HWND page) {
  HFONT old = SmallFont;
  SmallFont = nullptr;
  ShowVersion(page);
  if (old) DeleteObject(old);
  ShowIcons(page);
  KeepSoundButtonBesideItsText(page);
  return 0;
}

INT_PTR OnDestroy(HWND page) {
  for (int id : {IDC_PROGRAMICON, IDC_STOPSOUND}) FreeControlIcon(GetDlgItem(page, id));
  if (SmallFont) DeleteObject(SmallFont);
  SmallFont = nullptr;
  PageDone(&ToolbarPageWindow);
  AskToKeepRunning();
  return 0;
}

}  // namespace

INT_PTR CALLBACK ToolbarPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (LibPageMessage(LibAppWindow, page, message, wParam, lParam)) return 0;
  INT_PTR result = 0;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page);
    case WM_NOTIFY:
      return PageNotify(page, reinterpret_cast<const NMHDR*>(lParam), &result) ? result : 0;
    case WM_COMMAND:
      return OnCommand(page, wParam, lParam);
    case kWmDpiChangedAfterParent:
      return OnDpiChanged(page);
    case WM_DESTROY:
      return OnDestroy(page);
  }
  return 0;
}

void SaveToolbarPage(HWND page) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "OpPicsEnable", CheckedValue(page, IDC_PICTURES));
  LibWriteSettingInt(HKEY_CURRENT_USER, "EnableChangePolicies", CheckedValue(page, IDC_POLICIES));
  bool wanted = CheckedValue(page, IDC_SHOWTOOLBAR) != 0;
  int shown = ReadSetting("ShowToolbar");
  if (wanted && shown == 0) {
    LibWriteSettingInt(HKEY_CURRENT_USER, "ShowToolbar", 1);
    StartElevatedHelper("/enable /webdeck /silent");
  } else if (!wanted && shown != 0) {
    LibWriteSettingInt(HKEY_CURRENT_USER, "ShowToolbar", 0);
    StartElevatedHelper("/disable /webdeck /silent");
  }
  LibWriteSettingInt(HKEY_CURRENT_USER, "StopRefresh", CheckedValue(page, IDC_STOPREFRESH));
  LibWriteSettingInt(HKEY_CURRENT_USER, "StopPlaySound", CheckedValue(page, IDC_PLAYSOUND));
  BOOL number = FALSE;
  UINT delay = GetDlgItemInt(page, IDC_DELAY, &number, FALSE);
  LibWriteSettingInt(HKEY_CURRENT_USER, "StopDelay", number ? static_cast<int>(delay) : 0);
}
