// The library's windows: main window support, General Options, About, the
// floating icon, the settings sheet, the right-click popup and error boxes.
#include "lib_support.h"

#include <commctrl.h>
#include <shellapi.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kIdmSettings = 2457;
constexpr int kHotkeyId = 3333;

// What the test's main window saw.
struct MainState {
  bool created;
  std::vector<WPARAM> commands;
};
MainState g_main;

// Three blank pages for the settings sheet, as the program would give them.
struct PageTemplate {
  DLGTEMPLATE dialog;
  WORD menu, windowClass, title;
};
PageTemplate g_pageTemplate;

INT_PTR CALLBACK BlankPage(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void FillPages(PROPSHEETPAGEA_V3* records) {
  static const char* titles[] = {"Toolbar", "Boss-Key", "Wash"};
  g_pageTemplate = {};
  g_pageTemplate.dialog.style = WS_CHILD | DS_CONTROL;
  g_pageTemplate.dialog.cx = 200;
  g_pageTemplate.dialog.cy = 100;
  for (int i = 0; i < LIB_SETTINGS_PAGES; ++i) {
    records[i].dwSize = sizeof(PROPSHEETPAGEA_V3);
    records[i].dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    records[i].hInstance = GetModuleHandleA(nullptr);
    records[i].pResource = &g_pageTemplate.dialog;
    records[i].pszTitle = titles[i];
    records[i].pfnDlgProc = BlankPage;
  }
}

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_main.created = true;
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == LIB_IDM_GETPAGES) {
        FillPages(reinterpret_cast<PROPSHEETPAGEA_V3*>(lParam));
        return 0;
      }
      g_main.commands.push_back(wParam);
      return 0;
    default:
      return LibDefMainWindowProc(window, message, wParam, lParam);
  }
}

class LibWindowTest : public libt::LibTest {
 protected:
  void SetUp() override {
    LibTest::SetUp();
    g_main = MainState{};
    LibInitInstance(GetModuleHandleA(nullptr));
    ASSERT_NE(0, LibRegisterMainClass(GetModuleHandleA(nullptr), TestMainProc));
    ASSERT_NE(0, LibCreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    main_ = FindWindowA("qvLibTestClass", libt::kTitle);
    ASSERT_NE(nullptr, main_);
    LibAppWindow = main_;
  }
  void TearDown() override {
    if (LibOwnerWindow && IsWindow(LibOwnerWindow)) DestroyWindow(LibOwnerWindow);
    LibOwnerWindow = nullptr;
    if (IsWindow(main_)) {
      LibMainWindowDestroyed(main_);
      UnregisterHotKey(main_, kHotkeyId);
      DestroyWindow(main_);
    }
    LibAppWindow = nullptr;
    LibTest::TearDown();
  }
  static void Pump() {
    qvt::WaitUntil([] { return false; }, 60);
  }
  HWND main_ = nullptr;
};

// True when that hotkey is taken (by the main window).
bool HotkeyTaken(UINT modifiers, UINT vk) {
  if (RegisterHotKey(nullptr, 0x7000, modifiers, vk)) {
    UnregisterHotKey(nullptr, 0x7000);
    return false;
  }
  return true;
}

TEST_F(LibWindowTest, MainWindowIsCreatedHiddenAndClosesOnWmClose) {
  EXPECT_TRUE(g_main.created);
  EXPECT_FALSE(IsWindowVisible(main_));
  SendMessageA(main_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(main_));
}

// Presses OK on every message box this process shows until it is stopped, and
// keeps their texts: a box of the library on the test's own thread.
struct BoxWatch {
  volatile LONG stop = 0;
  std::vector<std::string> texts;
  HANDLE thread = nullptr;
};

DWORD WINAPI WatchBoxes(void* arg) {
  auto* watch = static_cast<BoxWatch*>(arg);
  while (!watch->stop) {
    HWND box = qvt::WaitMessageBox(GetCurrentProcessId(), libt::kTitle, 100);
    if (!box) continue;
    watch->texts.push_back(qvt::MessageBoxText(box));
    qvt::PressButton(box, IDOK);
    qvt::WaitUntil([box] { return !IsWindow(box); }, 5000);
  }
  return 0;
}

void StartWatch(BoxWatch* watch) { watch->thread = CreateThread(nullptr, 0, WatchBoxes, watch, 0, nullptr); }
void StopWatch(BoxWatch* watch) {
  InterlockedExchange(&watch->stop, 1);
  WaitForSingleObject(watch->thread, 10000);
  CloseHandle(watch->thread);
}

TEST_F(LibWindowTest, SettingsHotkeyFollowsTheSetting) {
  BoxWatch watch;  // (a tray program running beside may hold the default)
  StartWatch(&watch);
  LibMainWindowCreated(main_);
  EXPECT_TRUE(HotkeyTaken(MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_F11));  // the default
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralHotkey", (HOTKEYF_SHIFT | HOTKEYF_CONTROL) << 8 | VK_F10);
  LibMainWindowCreated(main_);
  StopWatch(&watch);
  EXPECT_FALSE(HotkeyTaken(MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_F11));
  EXPECT_TRUE(HotkeyTaken(MOD_CONTROL | MOD_SHIFT, VK_F10));
}

// Windows reports AltGr as Ctrl+Alt: a default with Ctrl and Alt and neither Shift
// nor the Windows key would take a character from AltGr keyboards, and AltGr+Shift
// gives characters on character keys, so the default is a function key (not F12,
// which the debuggers keep). The General Options dialog shows it.
TEST_F(LibWindowTest, TheDefaultSettingsHotkeyTakesNoAltGrCharacter) {
  ASSERT_EQ(1, LibDoCommand(main_, main_, 2472, 0));
  HWND dialog = LibDialogWindowA;
  ASSERT_TRUE(dialog && IsWindow(dialog));
  int shown = static_cast<int>(SendDlgItemMessageA(dialog, 1005, HKM_GETHOTKEY, 0, 0));
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  int flags = (shown >> 8) & 0xFF, key = shown & 0xFF;
  bool ctrlAlt = (flags & HOTKEYF_CONTROL) && (flags & HOTKEYF_ALT);
  EXPECT_FALSE(ctrlAlt && !(flags & (HOTKEYF_SHIFT | HOTKEYF_EXT))) << std::hex << shown;
  EXPECT_TRUE(key >= VK_F1 && key <= VK_F24 && key != VK_F12) << std::hex << shown;
}

UINT g_registeredModifiers;
BOOL WINAPI RecordRegisterHotKey(HWND, int, UINT modifiers, UINT) {
  g_registeredModifiers = modifiers;
  return TRUE;
}

TEST_F(LibWindowTest, AHeldSettingsHotkeyFiresOnce) {
  void** slot = qvt::ImportSlot(GetModuleHandleA("Quorvane.dll"), "user32.dll", "RegisterHotKey");
  ASSERT_NE(nullptr, slot);
  void* real = qvt::SetImport(slot, reinterpret_cast<void*>(RecordRegisterHotKey));
  g_registeredModifiers = 0;
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralHotkey", (HOTKEYF_CONTROL << 8) | VK_F9);
  LibMainWindowCreated(main_);
  qvt::SetImport(slot, real);
  EXPECT_EQ(static_cast<UINT>(MOD_CONTROL | MOD_NOREPEAT), g_registeredModifiers);
}

TEST_F(LibWindowTest, ASettingsHotkeyHeldElsewhereIsNamedOnceARun) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralHotkey", ((HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT) << 8) | VK_F9);
  ASSERT_TRUE(RegisterHotKey(nullptr, 0x7001, MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_F9));  // the other holder
  BoxWatch watch;
  StartWatch(&watch);
  LibMainWindowCreated(main_);
  LibMainWindowCreated(main_);  // tried again: nothing more is said
  StopWatch(&watch);
  UnregisterHotKey(nullptr, 0x7001);
  ASSERT_EQ(1u, watch.texts.size());
  EXPECT_EQ(
      "Cannot register the hotkey Ctrl+Shift+Alt+F9 for the settings window: another program is already using that "
      "key combination.",
      watch.texts[0]);
}

TEST_F(LibWindowTest, GeneralOptionsShowAndStoreTheSettings) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralSilent", 1);
  ASSERT_EQ(1, LibDoCommand(main_, main_, 2472, 0));
  HWND dialog = LibDialogWindowA;
  ASSERT_TRUE(dialog && IsWindow(dialog));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ("General Options", qvt::WindowText(dialog));
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 1001));    // TrayIcon never written: on
  EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, 1002));  // FlyingIcon only when 1
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 1003));
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 1004));    // GeneralStartup never written: on
  EXPECT_EQ((HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT) << 8 | VK_F11,
            SendDlgItemMessageA(dialog, 1005, HKM_GETHOTKEY, 0, 0));
  // A second request brings the same dialog up.
  EXPECT_EQ(1, LibDoCommand(main_, main_, 2472, 0));
  EXPECT_EQ(dialog, LibDialogWindowA);
  CheckDlgButton(dialog, 1003, BST_UNCHECKED);
  CheckDlgButton(dialog, 1004, BST_UNCHECKED);
  SendDlgItemMessageA(dialog, 1005, HKM_SETHOTKEY, (HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8 | VK_F12, 0);
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(nullptr, LibDialogWindowA);
  EXPECT_EQ(1, LibReadSettingInt(HKEY_CURRENT_USER, "TrayIcon"));
  EXPECT_EQ(0, LibReadSettingInt(HKEY_CURRENT_USER, "FlyingIcon"));
  EXPECT_EQ(0, LibReadSettingInt(HKEY_CURRENT_USER, "GeneralSilent"));
  EXPECT_EQ(0, LibReadSettingInt(HKEY_CURRENT_USER, "GeneralStartup"));
  EXPECT_EQ((HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8 | VK_F12, LibReadSettingInt(HKEY_CURRENT_USER, "GeneralHotkey"));
  EXPECT_TRUE(HotkeyTaken(MOD_CONTROL | MOD_SHIFT, VK_F12));  // registered on the main window at once
}

TEST_F(LibWindowTest, GeneralOptionsCancelStoresNothing) {
  ASSERT_EQ(1, LibDoCommand(main_, main_, 2472, 0));
  HWND dialog = LibDialogWindowA;
  CheckDlgButton(dialog, 1003, BST_CHECKED);
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(-1, LibReadSettingInt(HKEY_CURRENT_USER, "GeneralSilent"));
}

TEST_F(LibWindowTest, AboutShowsTitleVersionAndWebPage) {
  ASSERT_EQ(1, LibDoCommand(main_, main_, 2540, 0));
  HWND dialog = LibDialogWindowB;
  ASSERT_TRUE(dialog && IsWindow(dialog));
  EXPECT_EQ("About qv-LibTest", qvt::WindowText(dialog));
  EXPECT_EQ(libt::kTitle, qvt::WindowText(GetDlgItem(dialog, 1102)));
  EXPECT_EQ("Version 1.0", qvt::WindowText(GetDlgItem(dialog, 1103)));  // the test has no version resource
  EXPECT_EQ("https://www.quorvane.com/webdeck", qvt::WindowText(GetDlgItem(dialog, 1104)));
  EXPECT_NE(nullptr, reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, 1101, STM_GETICON, 0, 0)));
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(nullptr, LibDialogWindowB);
}

TEST_F(LibWindowTest, MainWindowDestroyedClosesTheDialogs) {
  LibDoCommand(main_, main_, 2472, 0);
  LibDoCommand(main_, main_, 2540, 0);
  HWND a = LibDialogWindowA, b = LibDialogWindowB;
  ASSERT_TRUE(IsWindow(a) && IsWindow(b));
  LibMainWindowDestroyed(main_);
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_EQ(nullptr, LibDialogWindowA);
  EXPECT_EQ(nullptr, LibDialogWindowB);
}

TEST_F(LibWindowTest, OtherCommandsAndExit) {
  EXPECT_EQ(0, LibDoCommand(main_, main_, 1314, 0));
  EXPECT_EQ(0, LibDoCommand(main_, main_, 9999, 0));
  EXPECT_EQ(1, LibDoCommand(main_, main_, 2483, 0));
  EXPECT_FALSE(IsWindow(main_));
}

TEST_F(LibWindowTest, FloatingIconSitsAtItsPlaceAndClicksOpenTheSettings) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIconX", 100);
  LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIconY", 120);
  HWND icon = nullptr;
  ASSERT_NE(0, LibCreateFlyingIcon(LibResourceModule, main_, &icon, 110, 0, LibFlyingIconProc));
  ASSERT_TRUE(icon && IsWindow(icon));
  EXPECT_EQ(icon, LibFlyingIconWindow);
  EXPECT_TRUE(IsWindowVisible(icon));
  RECT r;
  GetWindowRect(icon, &r);
  EXPECT_EQ(100, r.left);
  EXPECT_EQ(120, r.top);
  EXPECT_EQ(32, r.right - r.left);
  EXPECT_EQ(32, r.bottom - r.top);
  LONG ex = GetWindowLongA(icon, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_EQ(main_, GetWindow(icon, GW_OWNER));
  EXPECT_NE(GetForegroundWindow(), icon);  // shown without activation
  SendMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(icon, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(qvt::WaitUntil([] { return !g_main.commands.empty(); }, 3000));
  ASSERT_EQ(1u, g_main.commands.size());
  EXPECT_EQ(static_cast<WPARAM>(kIdmSettings), g_main.commands[0]);
  SendMessageA(icon, WM_COMMAND, LIB_IDM_CLOSEFLYINGICON, 0);
  EXPECT_FALSE(IsWindow(icon));
  EXPECT_EQ(nullptr, LibFlyingIconWindow);
}

TEST_F(LibWindowTest, FloatingIconOffScreenComesBackNearTheTopRight) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIconX", 50000);
  LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIconY", 50000);
  HWND icon = nullptr;
  ASSERT_NE(0, LibCreateFlyingIcon(LibResourceModule, main_, &icon, 110, 0, LibFlyingIconProc));
  RECT r, area;
  GetWindowRect(icon, &r);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_GE(r.left, area.left + (area.right - area.left) / 2);
  EXPECT_LE(r.right, area.right);
  EXPECT_LT(r.top, area.top + (area.bottom - area.top) / 2);
  EXPECT_EQ(1, LibDoCommand(main_, main_, LIB_IDM_CLOSEFLYINGICON, 0));
  EXPECT_FALSE(IsWindow(icon));
}

TEST_F(LibWindowTest, SettingsSheetOpensAtThePageAndPagesWrap) {
  LibShowSettings(7);
  EXPECT_EQ(nullptr, LibOwnerWindow);
  LibShowSettings(2);
  HWND sheet = LibOwnerWindow;
  ASSERT_TRUE(sheet && IsWindow(sheet));
  EXPECT_EQ(libt::kTitle, qvt::WindowText(sheet));
  EXPECT_EQ(nullptr, GetParent(sheet));
  EXPECT_EQ(nullptr, GetWindow(sheet, GW_OWNER));
  EXPECT_EQ(2, qvt::SheetPageIndex(sheet));
  MSG m = {};
  LibNextPage(&m);
  EXPECT_EQ(0, qvt::SheetPageIndex(sheet));
  LibPrevPage(&m);
  EXPECT_EQ(2, qvt::SheetPageIndex(sheet));
  LibPrevPage(&m);
  EXPECT_EQ(1, qvt::SheetPageIndex(sheet));
  LibShowSettings(0);  // already open: switches the page
  EXPECT_EQ(sheet, LibOwnerWindow);
  EXPECT_EQ(0, qvt::SheetPageIndex(sheet));
}

TEST_F(LibWindowTest, RightClickShowsTheControlsTipUntilTheNextKey) {
  HWND page = CreateWindowExA(0, "#32770", "page", WS_POPUP | WS_VISIBLE, 200, 200, 300, 200, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(nullptr, page);
  HWND button = CreateWindowExA(0, "BUTTON", "Option", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 10, 100, 20,
                                page, reinterpret_cast<HMENU>(1240), nullptr, nullptr);
  HWND bare = CreateWindowExA(0, "BUTTON", "Bare", WS_CHILD | WS_VISIBLE, 10, 40, 100, 20, page,
                              reinterpret_cast<HMENU>(1241), nullptr, nullptr);
  LibPageInit();
  HWND tooltip = LibCreateTooltip(page, 250);
  ASSERT_NE(nullptr, tooltip);
  LibAddTooltip(page, tooltip, 1240, "What the option does.");
  LRESULT tools = SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0);
  EXPECT_EQ(1, tools);
  EXPECT_EQ(0, LibPageMessage(main_, page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bare), MAKELPARAM(220, 250)));
  auto popupShown = [&] {
    for (HWND w : qvt::ListTop(TOOLTIPS_CLASSA, GetCurrentProcessId()))
      if (w != tooltip && IsWindowVisible(w)) return true;
    return false;
  };
  EXPECT_FALSE(popupShown());
  EXPECT_EQ(1, LibPageMessage(main_, page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), MAKELPARAM(220, 215)));
  EXPECT_TRUE(qvt::WaitUntil(popupShown, 2000));
  PostMessageA(page, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(qvt::WaitUntil([&] { return !popupShown(); }, 2000));
  LibPageDone();
  DestroyWindow(page);
}

TEST_F(LibWindowTest, HelpWithoutAHelpFileSaysSo) {
  std::string box = qvt::AnswerBoxDuring([](void*) { LibShowHelp(); }, nullptr, IDOK, 10000);
  EXPECT_EQ("Cannot find the help file LibTest.hlp.", box);
  box = qvt::AnswerBoxDuring(
      [](void*) { LibPageMessage(nullptr, nullptr, WM_HELP, 0, 0); }, nullptr, IDOK, 10000);
  EXPECT_EQ("Cannot find the help file LibTest.hlp.", box);
}

TEST_F(LibWindowTest, ErrorBoxesTranslateAndExplain) {
  std::string box = qvt::AnswerBoxDuring([](void*) { LibShowError("Something::failed"); }, nullptr, IDOK, 10000);
  EXPECT_EQ("Something\r\nfailed", box);
  box = qvt::AnswerBoxDuring([](void*) { LibShowStartError(SE_ERR_NOASSOC, "Cannot start x."); }, nullptr, IDOK,
                             10000);
  EXPECT_EQ(0u, box.find("Cannot start x.")) << box;
  EXPECT_NE(std::string::npos, box.find("No program is associated")) << box;
  box = qvt::AnswerBoxDuring([](void*) { LibShowStartError(ERROR_FILE_NOT_FOUND, "Cannot start x."); }, nullptr,
                             IDOK, 10000);
  EXPECT_NE(std::string::npos, box.find("not found")) << box;
}

TEST(LibResourceTest, CarriesTheSharedIconsAndKnowsItsModule) {
  HMODULE dll = GetModuleHandleA("Quorvane.dll");
  ASSERT_NE(nullptr, dll);
  EXPECT_EQ(dll, LibResourceModule);
  for (int id : {107, 110, 111, 112, 118, 119, 2551, 2552, 2741}) {
    for (int size : {16, 32}) {
      HICON icon = static_cast<HICON>(LoadImageA(LibResourceModule, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
      EXPECT_NE(nullptr, icon) << id << " at " << size;
      if (icon) DestroyIcon(icon);
    }
  }
}

// A stand-in for the shell's tray, reached through the library's import of
// Shell_NotifyIconA: it refuses the first calls as a taskbar that is still
// starting does, or takes an add that it answers as timed out.
struct FakeShell {
  int busyCalls;        // calls refused before the shell answers
  bool addTimesOut;     // the first add is refused but takes the icon
  bool iconShown;
  int calls;
  std::vector<DWORD> actions;
};
FakeShell g_shell;

BOOL WINAPI FakeNotifyIcon(DWORD action, PNOTIFYICONDATAA data) {
  ++g_shell.calls;
  g_shell.actions.push_back(action);
  if (!data || data->uID != LIB_TRAY_ICON_ID) return FALSE;
  if (g_shell.calls <= g_shell.busyCalls) return FALSE;
  if (action == NIM_ADD && g_shell.addTimesOut) {
    g_shell.addTimesOut = false;
    g_shell.iconShown = true;
    return FALSE;
  }
  switch (action) {
    case NIM_ADD:
      if (g_shell.iconShown || !data->hIcon) return FALSE;
      g_shell.iconShown = true;
      return TRUE;
    case NIM_MODIFY: return g_shell.iconShown ? TRUE : FALSE;
    case NIM_DELETE: {
      bool was = g_shell.iconShown;
      g_shell.iconShown = false;
      return was ? TRUE : FALSE;
    }
    default: return FALSE;
  }
}

class LibTrayTest : public LibWindowTest {
 protected:
  void SetUp() override {
    LibWindowTest::SetUp();
    g_shell = FakeShell{};
    slot_ = qvt::ImportSlot(GetModuleHandleA("Quorvane.dll"), "shell32.dll", "Shell_NotifyIconA");
    ASSERT_NE(nullptr, slot_);
    real_ = qvt::SetImport(slot_, reinterpret_cast<void*>(FakeNotifyIcon));
  }
  void TearDown() override {
    if (IsWindow(main_)) LibRemoveTrayIcon(main_);
    if (slot_) qvt::SetImport(slot_, real_);
    LibWindowTest::TearDown();
  }
  // True when the shell hears nothing more for a while (the retries ended).
  static bool QuietFor(DWORD ms) {
    int before = g_shell.calls;
    qvt::WaitUntil([] { return false; }, ms);
    return g_shell.calls == before;
  }
  void** slot_ = nullptr;
  void* real_ = nullptr;
};

constexpr DWORD kRetryWaitMs = 10000;  // a retry comes every 2 s
constexpr DWORD kQuietMs = 4500;       // more than two retries

TEST_F(LibTrayTest, AnIconTheBusyShellRefusedComesLaterAndTheRetriesEnd) {
  g_shell.busyCalls = 2;
  LibAddTrayIcon(main_, "tip");
  EXPECT_TRUE(qvt::WaitUntil([] { return g_shell.iconShown; }, kRetryWaitMs));
  EXPECT_TRUE(QuietFor(kQuietMs));
  // The shell restarts: its broadcast brings the icon back.
  g_shell.iconShown = false;
  SendMessageA(main_, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(g_shell.iconShown);
  EXPECT_EQ(static_cast<DWORD>(NIM_ADD), g_shell.actions.back());
}

TEST_F(LibTrayTest, AnAddThatTimedOutButTookTheIconIsNotAddedTwice) {
  g_shell.addTimesOut = true;
  LibAddTrayIcon(main_, "tip");
  ASSERT_TRUE(g_shell.iconShown);
  EXPECT_TRUE(qvt::WaitUntil([] { return g_shell.calls >= 2; }, kRetryWaitMs));
  EXPECT_TRUE(QuietFor(kQuietMs));
  EXPECT_EQ(2, g_shell.calls);
  EXPECT_EQ(static_cast<DWORD>(NIM_MODIFY), g_shell.actions.back());
}

TEST_F(LibTrayTest, RemovingTheIconEndsTheRetries) {
  g_shell.busyCalls = 1000;
  LibAddTrayIcon(main_, "tip");
  EXPECT_TRUE(qvt::WaitUntil([] { return g_shell.calls >= 2; }, kRetryWaitMs));  // retrying
  LibRemoveTrayIcon(main_);
  EXPECT_TRUE(QuietFor(kQuietMs));
}

TEST_F(LibWindowTest, TrayIconIsAddedAndRemoved) {
  EXPECT_NE(0, LibAddTrayIcon(main_, "Quorvane LibTest tip that is rather long and goes on and on beyond 63"));
  LibRemoveTrayIcon(main_);
}

}  // namespace
