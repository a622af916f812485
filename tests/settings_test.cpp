// The settings window of the running qvtoolbar.exe: opening and saving the pages,
// the closing question, the Toolbar page and the Boss-Key page, driven by window
// messages as a user's clicks would send them.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "tray_support.h"

using namespace qvt;

namespace {

constexpr UINT kOpenSettings = WM_USER + 17;
constexpr int kApply = 0x3021;  // the sheet's Apply button
constexpr const char* kQuestionEnd = "\r\n\r\nKeep qv-Webdeck running in the tray?";

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { ResetTray(); }
  void TearDown() override {
    EndTray(proc, main);
    ResetTray();
  }
  void Run(const std::string& exe = "") {
    proc = exe.empty() ? StartTray("/s", &main) : Start(exe, "/s");
    if (!exe.empty()) main = WaitTop(kTrayClass, nullptr, proc.pid, 10000);
    ASSERT_NE(main, nullptr);
  }
  // Opens the settings window at a page; the page's window.
  HWND Open(int index) {
    PostMessageA(main, kOpenSettings, static_cast<WPARAM>(index), 0);
    sheet = WaitSettings(proc.pid);
    if (!sheet || !WaitUntil([&] { return SheetPageIndex(sheet) == index; }, 5000)) return nullptr;
    return CurrentPage();
  }
  HWND CurrentPage() {
    LRESULT page = 0;
    Send(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, &page);
    return reinterpret_cast<HWND>(page);
  }
  HWND GoTo(int index) {
    Send(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A page that did not show is no page: the case then finds no control of it.
    bool shown = WaitUntil([&] { return SheetPageIndex(sheet) == index; }, 3000);
    EXPECT_TRUE(shown) << "settings page " << index << " did not show";
    return shown ? CurrentPage() : nullptr;
  }
  void Click(HWND page, int control) { Send(GetDlgItem(page, control), BM_CLICK, 0, 0); }
  bool Checked(HWND page, int control) {
    LRESULT state = 0;
    Send(GetDlgItem(page, control), BM_GETCHECK, 0, 0, &state);
    return state == BST_CHECKED;
  }
  // Presses Apply; the sheet has handled it when this returns.
  void Apply() {
    Send(sheet, WM_COMMAND, MAKEWPARAM(kApply, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet, kApply)));
  }
  void CloseSheet() {
    PressButton(sheet, IDCANCEL);
    WaitUntil([&] { return !IsWindow(sheet); }, 5000);
  }
  DWORD Setting(const char* name, DWORD otherwise = 0xDEAD) {
    DWORD value = otherwise;
    ReadDword(HKEY_CURRENT_USER, kToolbarKey, name, &value);
    return value;
  }
  void Set(const char* name, DWORD value) { WriteDword(HKEY_CURRENT_USER, kToolbarKey, name, value); }
  bool Ends() {
    DWORD code = 1;
    return WaitExit(proc, 5000, &code) && code == 0;
  }
  Process proc;
  HWND main = nullptr;
  HWND sheet = nullptr;
};

// ---- Opening and saving.

TEST_F(Settings, ApplySavesEveryOpenedPageAndNoOther) {
  Run();
  HWND toolbar = Open(0);
  ASSERT_NE(toolbar, nullptr);
  EXPECT_FALSE(Checked(toolbar, 1241));
  Click(toolbar, 1241);
  HWND boss = GoTo(1);
  ASSERT_NE(boss, nullptr);
  Click(boss, 1290);
  Apply();
  EXPECT_EQ(1u, Setting("OpPicsEnable"));
  EXPECT_EQ(2u, Setting("StopDelay"));
  EXPECT_EQ(1u, Setting("BossKeyYes"));
  EXPECT_EQ(1056u, Setting("BossKey"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "BossTitle008"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "ClearRun")) << "the Wash page was never opened";
}

// ---- The question when the settings window closes.

TEST_F(Settings, NeverWrittenStartupKeepsTheProgramWithoutAsking) {
  Run();
  ASSERT_NE(Open(0), nullptr);
  CloseSheet();
  EXPECT_FALSE(WaitExit(proc, 1500));
  EXPECT_EQ(nullptr, WaitMessageBox(proc.pid, nullptr, 0));
}

TEST_F(Settings, StartupOffWithoutFeaturesEndsTheProgram) {
  Set("GeneralStartup", 0);
  Run();
  ASSERT_NE(Open(0), nullptr);
  CloseSheet();
  EXPECT_TRUE(Ends());
}

TEST_F(Settings, StartupOffWithFeaturesAsksAndYesKeepsTheProgram) {
  Set("GeneralStartup", 0);
  Set("BossKeyYes", 1);
  Set("StopWhenLoaded", 1);
  Run();
  for (int answer : {IDYES, IDNO}) {
    ASSERT_NE(Open(0), nullptr);
    CloseSheet();
    HWND box = WaitMessageBox(proc.pid, kProductTitle, 5000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::string("Some options require qv-Webdeck to keep running. Boss-Key, Auto-Stop will no longer work.") +
                  kQuestionEnd,
              MessageBoxText(box));
    PressButton(box, answer);
    if (answer == IDYES) {
      EXPECT_TRUE(WaitUntil([&] { return Setting("GeneralStartup") == 1; }, 3000));
      EXPECT_FALSE(WaitExit(proc, 1000));
      Set("GeneralStartup", 0);
    } else {
      EXPECT_TRUE(Ends());
      EXPECT_EQ(0u, Setting("GeneralStartup"));
    }
  }
}

TEST_F(Settings, ASheetClosedWithoutTheToolbarPageAsksNothing) {
  Set("GeneralStartup", 0);
  Set("BossKeyYes", 1);
  Run();
  ASSERT_NE(Open(1), nullptr);
  CloseSheet();
  EXPECT_EQ(nullptr, WaitMessageBox(proc.pid, nullptr, 1500));
  EXPECT_FALSE(WaitExit(proc, 500));
}

// ---- The Toolbar page.

TEST_F(Settings, TheDelayOutsideItsRangeShowsTwoAndTextIsSavedAsZero) {
  Run();
  for (DWORD stored : {21u, 0xFFFFFFFFu, 20u}) {
    if (stored == 0xFFFFFFFFu) DeleteTree(HKEY_CURRENT_USER, kToolbarKey);
    else Set("StopDelay", stored);
    HWND page = Open(0);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(stored == 20u ? "20" : "2", WindowText(GetDlgItem(page, 1494))) << stored;
    CloseSheet();
  }
  HWND page = Open(0);
  Send(GetDlgItem(page, 1494), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
  Apply();
  EXPECT_EQ(0u, Setting("StopDelay"));
}

TEST_F(Settings, TheToolbarSwitchStartsTheHelperOnlyOnAChange) {
  std::string log = TempFolder() + "qvuac.txt";
  SetEnvironmentVariableA("QVUAC_LOG", log.c_str());
  Set("ShowToolbar", 0);
  Run();
  HWND page = Open(0);
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(Checked(page, 1240));
  Apply();  // unchecked and already off: no helper
  Click(page, 1240);
  Apply();
  EXPECT_EQ(1u, Setting("ShowToolbar"));
  std::string lines;
  // The helper is not waited for: the next start waits until this one has written its line.
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(log, &lines) && !lines.empty(); }, 5000));
  Click(page, 1240);
  Apply();
  EXPECT_EQ(0u, Setting("ShowToolbar"));
  WaitUntil([&] { return ReadFile(log, &lines) && lines.find("/disable") != std::string::npos; }, 5000);
  EXPECT_EQ("/enable /webdeck /silent\r\n/disable /webdeck /silent\r\n", lines);
  SetEnvironmentVariableA("QVUAC_LOG", nullptr);
}

TEST_F(Settings, AMissingHelperIsReported) {
  std::string folder = TempFolder();
  for (const char* file : {"qvtoolbar.exe", "Quorvane.dll"})
    ASSERT_TRUE(CopyFileA(BinPath(file).c_str(), (folder + file).c_str(), FALSE));
  Set("ShowToolbar", 0);
  Run(folder + "qvtoolbar.exe");
  HWND page = Open(0);
  ASSERT_NE(page, nullptr);
  Click(page, 1240);
  PressButton(sheet, kApply);
  HWND box = WaitMessageBox(proc.pid, kProductTitle, 5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ("Cannot start qvuac.exe", MessageBoxText(box));
  PressButton(box, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return Setting("ShowToolbar") == 1; }, 3000));
  CloseTray(proc, main);
  Close(proc);
  for (const char* file : {"qvtoolbar.exe", "Quorvane.dll"}) DeleteFileA((folder + file).c_str());
  RemoveDirectoryA(folder.c_str());
}

// ---- The Boss-Key page.

int ItemCount(HWND page) {
  LRESULT count = -1;
  Send(GetDlgItem(page, 1306), LVM_GETITEMCOUNT, 0, 0, &count);
  return static_cast<int>(count);
}

int SelectedItem(HWND page) {
  LRESULT item = -2;
  Send(GetDlgItem(page, 1306), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &item);
  return static_cast<int>(item);
}

void StoreEntries(int count) {
  for (int i = 0; i < count; ++i) {
    char name[32];
    snprintf(name, sizeof name, "BossTitle%03i", i);
    WriteString(HKEY_CURRENT_USER, kToolbarKey, name, ("Title " + std::to_string(i)).c_str());
    snprintf(name, sizeof name, "BossClass%03i", i);
    WriteString(HKEY_CURRENT_USER, kToolbarKey, name, "Class");
  }
}

TEST_F(Settings, FewerEntriesDeleteTheValuesAboveAndNoneBringTheDefaultsBack) {
  StoreEntries(5);
  Run();
  HWND page = Open(1);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(5, ItemCount(page));
  for (int i = 0; i < 2; ++i) Send(page, WM_COMMAND, 1018, 0);
  Apply();
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "BossTitle002"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "BossTitle003"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "BossClass004"));
  for (int i = 0; i < 3; ++i) Send(page, WM_COMMAND, 1018, 0);
  EXPECT_EQ(0, ItemCount(page));
  Apply();
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "BossTitle000"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "FirstRun"));
  CloseSheet();
  page = Open(1);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(9, ItemCount(page));
  EXPECT_EQ(1u, Setting("FirstRun"));
}

TEST_F(Settings, AnEntryDifferingOnlyInCaseSelectsTheExistingOne) {
  StoreEntries(3);
  Run();
  HWND page = Open(1);
  ASSERT_NE(page, nullptr);
  Send(GetDlgItem(page, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("TITLE 1"));
  Send(GetDlgItem(page, 1011), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("class"));
  Click(page, 1019);
  EXPECT_EQ(3, ItemCount(page));
  EXPECT_EQ(1, SelectedItem(page));
  Send(GetDlgItem(page, 1011), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other"));
  Click(page, 1019);
  EXPECT_EQ(4, ItemCount(page));
  EXPECT_EQ(3, SelectedItem(page));
}

// A pattern as long as the box takes (260 characters) is stored, shown again and
// stored again whole: never cut to a shorter pattern that matches more windows.
TEST_F(Settings, APatternAsLongAsTheBoxTakesSurvivesThePage) {
  StoreEntries(1);
  Run();
  HWND page = Open(1);
  ASSERT_NE(page, nullptr);
  std::string pattern(260, 'p');
  pattern.back() = 'Z';
  Send(GetDlgItem(page, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pattern.c_str()));
  Send(GetDlgItem(page, 1011), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("LongClass"));
  Click(page, 1019);
  Apply();
  std::string stored;
  EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kToolbarKey, "BossTitle001", &stored));
  EXPECT_EQ(pattern, stored);
  CloseSheet();
  page = Open(1);  // read back into the list, and stored again from it
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(2, ItemCount(page));
  Apply();
  stored.clear();
  EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kToolbarKey, "BossTitle001", &stored));
  EXPECT_EQ(pattern, stored);
}

TEST_F(Settings, AClearedHotkeyIsStoredAsZeroAndFreesTheKey) {
  const int ctrlAltF9 = ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F9;
  Set("BossKeyYes", 1);
  Set("BossKey", ctrlAltF9);
  Run();
  HWND page = Open(1);  // the sheet opens from the message loop: start-up, which registers the key, is over
  ASSERT_NE(page, nullptr);
  ASSERT_FALSE(RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, VK_F9)) << "the program holds the key";
  Send(GetDlgItem(page, 2456), HKM_SETHOTKEY, 0, 0);
  Apply();
  EXPECT_EQ(0u, Setting("BossKey"));
  EXPECT_TRUE(RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, VK_F9));
  UnregisterHotKey(nullptr, 77);
}

// The flag picker, driven by the mouse messages a drag sends to the page over
// windows of this test: a top-level window and a child inside it.
LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

struct Targets {
  HWND top = nullptr, child = nullptr;
  Targets() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "QvtPickerTop";
    RegisterClassA(&wc);
    wc.lpszClassName = "QvtPickerChild";
    RegisterClassA(&wc);
    top = CreateWindowExA(WS_EX_TOPMOST, "QvtPickerTop", "Picker target", WS_POPUP | WS_VISIBLE | WS_BORDER, 600, 300,
                          300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    child = CreateWindowExA(0, "QvtPickerChild", "Picker child", WS_CHILD | WS_VISIBLE | WS_BORDER, 50, 50, 150, 100,
                            top, nullptr, wc.hInstance, nullptr);
    WaitUntil([] { return false; }, 200);
  }
  ~Targets() { DestroyWindow(top); }
};

// The point in the middle of the child, in the page's client coordinates.
LPARAM OverChild(HWND page, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ScreenToClient(page, &at);
  return MAKELPARAM(at.x, at.y);
}

TEST_F(Settings, TheFlagPicksTheTopWindowTheChildWithCtrlAndARightClickCancels) {
  Run();
  HWND page = Open(1);
  ASSERT_NE(page, nullptr);
  Targets targets;
  ASSERT_NE(targets.child, nullptr);
  HWND flag = GetDlgItem(page, 1012);
  auto drag = [&](WPARAM keys, bool drop) {
    Send(page, WM_COMMAND, MAKEWPARAM(1012, STN_CLICKED), reinterpret_cast<LPARAM>(flag));
    Send(page, WM_MOUSEMOVE, keys, OverChild(page, targets.child));
    if (drop) Send(page, WM_LBUTTONUP, keys, OverChild(page, targets.child));
  };
  drag(0, true);
  EXPECT_EQ("Picker target", WindowText(GetDlgItem(page, 1000)));
  EXPECT_EQ("QvtPickerTop", WindowText(GetDlgItem(page, 1011)));
  drag(MK_CONTROL, true);
  EXPECT_EQ("Picker child", WindowText(GetDlgItem(page, 1000)));
  EXPECT_EQ("QvtPickerChild", WindowText(GetDlgItem(page, 1011)));
  drag(0, false);
  Send(page, WM_RBUTTONDOWN, MK_RBUTTON, OverChild(page, targets.child));
  Send(page, WM_MOUSEMOVE, MK_CONTROL, OverChild(page, targets.child));  // after the cancel: ignored
  EXPECT_EQ("Picker target", WindowText(GetDlgItem(page, 1000)));
}

}  // namespace
