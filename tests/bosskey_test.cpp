// The Boss-Key of the running qvtoolbar.exe against real top-level windows of
// this test process: which windows a run hides, which come back and in what
// order, the hotkey's key combination and the box when it is already taken.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>

#include "tray_support.h"

using namespace qvt;

namespace {

constexpr UINT kBossKeyMessage = WM_USER + 33;
constexpr WPARAM kBossKeyCommand = 1314;

HWND MakeWindow(const char* cls, const char* title, bool visible) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = cls;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&wc);  // fails harmlessly when the class is already there
  DWORD style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0);
  return CreateWindowA(cls, title, style, 40, 40, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
}

void WriteEntry(int i, const char* title, const char* cls) {
  char name[32];
  snprintf(name, sizeof name, "BossTitle%03i", i);
  WriteString(HKEY_CURRENT_USER, kToolbarKey, name, title);
  snprintf(name, sizeof name, "BossClass%03i", i);
  WriteString(HKEY_CURRENT_USER, kToolbarKey, name, cls);
}

// True when a lies above b in the z-order of the top-level windows.
bool Above(HWND a, HWND b) {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == a) return true;
    if (w == b) return false;
  }
  return false;
}

class BossKey : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralSilent", 1);
  }
  void TearDown() override {
    EndTray(proc, main);
    for (HWND w : windows) DestroyWindow(w);
    ResetTray();
  }
  HWND Add(const char* cls, const char* title, bool visible = true) {
    HWND w = MakeWindow(cls, title, visible);
    EXPECT_NE(w, nullptr) << title;
    windows.push_back(w);
    return w;
  }
  void Run(const std::string& arguments = "/s") {
    proc = StartTray(arguments, &main);
    ASSERT_NE(main, nullptr);
    // The program answers (its creation may still be running; hotkey checks wait on their own).
    ASSERT_TRUE(Send(main, WM_NULL, 0, 0));
  }
  // True when another process holds the combination within the time: our own
  // registration then fails with ERROR_HOTKEY_ALREADY_REGISTERED. The program
  // registers during its window's creation, which may still be running.
  static bool HeldElsewhere(UINT modifiers, UINT key) {
    return WaitUntil(
        [&] {
          SetLastError(0);
          if (RegisterHotKey(nullptr, 78, modifiers, key)) {
            UnregisterHotKey(nullptr, 78);
            return false;
          }
          return GetLastError() == 1409u;
        },
        3000);
  }
  // A run through the tray command; returns once the program has handled it and
  // this thread has carried out what it asked of this thread's windows (the program
  // never waits for another thread's window: it posts the show or hide).
  void Press() {
    ASSERT_TRUE(Send(main, WM_COMMAND, kBossKeyCommand, 0));
    Drain();
  }
  static void Drain() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  bool Visible(HWND w) { return IsWindowVisible(w) != FALSE; }
  Process proc;
  HWND main = nullptr;
  std::vector<HWND> windows;
};

TEST_F(BossKey, FirstRunHidesTheMatchesSecondShowsThemInListOrderButNotTheSpecialOnes) {
  WriteEntry(0, "", "IEFrame");
  WriteEntry(1, "netscape", "");
  HWND ie = Add("IEFrame", "Blank Page - Windows Internet Explorer");
  HWND ieHidden = Add("IEFrame", "hidden before the first run", false);
  HWND page = Add("QvBossOther", "Netscape - page");
  HWND dispatch = Add("QvBossOther", "NetscapeDispatchWnd");
  HWND slave = Add("NetscapeSlaveClass", "slave of netscape");
  HWND hiddenFrame = Add("aHiddenFrameClass", "netscape hidden frame");
  HWND other = Add("QvBossOther", "Notes - unrelated");
  Run();

  Press();
  EXPECT_FALSE(Visible(ie));
  EXPECT_FALSE(Visible(page));
  EXPECT_FALSE(Visible(dispatch)) << "special windows are hidden like the others";
  EXPECT_FALSE(Visible(slave));
  EXPECT_FALSE(Visible(hiddenFrame));
  EXPECT_TRUE(Visible(other)) << "a window of no entry stays";

  Press();
  EXPECT_TRUE(Visible(ie));
  EXPECT_TRUE(Visible(ieHidden)) << "a matching window hidden before is shown too";
  EXPECT_TRUE(Visible(page));
  EXPECT_FALSE(Visible(dispatch));
  EXPECT_FALSE(Visible(slave));
  EXPECT_FALSE(Visible(hiddenFrame));
  EXPECT_TRUE(Visible(other));
  EXPECT_TRUE(Above(page, ie)) << "the second entry's window is shown last and ends in front";

  Press();
  EXPECT_FALSE(Visible(ie));
  EXPECT_FALSE(Visible(page));
}

TEST_F(BossKey, AnEntryWithBothPatternsEmptyMatchesNothingAndTheNextEntryStillRuns) {
  WriteEntry(0, "", "");
  WriteEntry(1, "", "QvBossTarget");
  HWND plain = Add("QvBossOther", "some window");
  HWND target = Add("QvBossTarget", "the target");
  Run();
  Press();
  EXPECT_TRUE(Visible(plain));
  EXPECT_FALSE(Visible(target));
}

TEST_F(BossKey, PatternsArePartsOfTheTextAndBothMustMatch) {
  WriteEntry(0, "secret", "QvBossTarget");
  HWND both = Add("QvBossTarget", "My SECRET plan");
  HWND titleOnly = Add("QvBossOther", "my secret plan");
  HWND classOnly = Add("QvBossTarget", "public plan");
  Run();
  Press();
  EXPECT_FALSE(Visible(both));
  EXPECT_TRUE(Visible(titleOnly));
  EXPECT_TRUE(Visible(classOnly));
}

TEST_F(BossKey, AnEmptyListOnlyTogglesAndTheListIsReadAtEachRun) {
  HWND target = Add("QvBossTarget", "the target");
  Run();
  Press();  // hides nothing: there is no list
  EXPECT_TRUE(Visible(target));
  WriteEntry(0, "", "QvBossTarget");
  Press();  // this run shows
  EXPECT_TRUE(Visible(target));
  Press();
  EXPECT_FALSE(Visible(target));
}

TEST_F(BossKey, TheBrowserMessageAndTheSwitchRunItToo) {
  WriteEntry(0, "", "QvBossTarget");
  HWND target = Add("QvBossTarget", "the target");
  Run("/s /bosskey");
  EXPECT_TRUE(WaitUntil([&] { return !Visible(target); }, 5000)) << "\"/bosskey\" hides at start";
  ASSERT_TRUE(Send(main, kBossKeyMessage, 0, 0));
  Drain();
  EXPECT_TRUE(Visible(target));
}

// A thread that makes a matching window on top of all others and then answers no
// message until it is told to go on; then it pumps until told to end.
struct HungWindow {
  HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE answer = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE end = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND window = nullptr;
  HANDLE thread = nullptr;
  static DWORD WINAPI Run(void* p) {
    HungWindow* self = static_cast<HungWindow*>(p);
    self->window = MakeWindow("IEFrame", "a page that hangs", true);
    SetWindowPos(self->window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetEvent(self->made);
    WaitForSingleObject(self->answer, 60000);  // not pumping: the thread is hung
    while (WaitForSingleObject(self->end, 0) == WAIT_TIMEOUT) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      Sleep(10);
    }
    DestroyWindow(self->window);
    return 0;
  }
  HungWindow() {
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(made, 10000);
  }
  ~HungWindow() {
    SetEvent(answer);
    SetEvent(end);
    WaitForSingleObject(thread, 10000);
    for (HANDLE h : {made, answer, end, thread}) CloseHandle(h);
  }
};

// The usual reason to reach for the Boss-Key: a browser window that has stopped
// answering, first in the z-order. The run answers at once and hides the others;
// the hung one goes as soon as its program answers, and comes back like any other.
TEST_F(BossKey, AWindowThatAnswersNothingHoldsNothingUp) {
  WriteEntry(0, "", "IEFrame");
  HWND other = Add("IEFrame", "a page that answers");
  Run();
  HungWindow hung;
  ASSERT_NE(nullptr, hung.window);
  ASSERT_TRUE(Above(hung.window, other)) << "first of the matching windows in the z-order";
  DWORD start = GetTickCount();
  EXPECT_TRUE(Send(main, kBossKeyMessage, 0, 0, nullptr, 1000)) << "the message is answered at once";
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_TRUE(WaitUntil([&] { return !Visible(other); }, 1000)) << "the others are hidden within a second";
  EXPECT_TRUE(Send(main, WM_NULL, 0, 0, nullptr, 1000)) << "the program still answers";
  SetEvent(hung.answer);
  EXPECT_TRUE(WaitUntil([&] { return !Visible(hung.window); }, 3000)) << "hidden once it answers";
  ASSERT_TRUE(Send(main, kBossKeyMessage, 0, 0, nullptr, 1000));
  EXPECT_TRUE(WaitUntil([&] { return Visible(other) && Visible(hung.window); }, 3000)) << "both come back";
}

TEST_F(BossKey, TheStoredHotkeyRunsItAndIsRegisteredWithItsModifiers) {
  // Ctrl+Alt+F9 as the hotkey control stores it.
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKeyYes", 1);
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F9);
  WriteEntry(0, "", "QvBossTarget");
  HWND target = Add("QvBossTarget", "the target");
  Run();
  EXPECT_TRUE(HeldElsewhere(MOD_CONTROL | MOD_ALT, VK_F9)) << "the program holds Ctrl+Alt+F9";
  PressKeys({VK_CONTROL, VK_MENU, VK_F9});
  EXPECT_TRUE(WaitUntil([&] { return !Visible(target); }, 5000));
}

TEST_F(BossKey, ShiftCtrlAltAndTheExtendedFlagMapToTheirModifiers) {
  struct Case {
    int value;
    UINT modifiers;
    UINT key;
  };
  const Case cases[] = {
      {((HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F8, MOD_SHIFT | MOD_CONTROL | MOD_ALT, VK_F8},
      {((HOTKEYF_EXT | HOTKEYF_SHIFT) << 8) | VK_F7, MOD_WIN | MOD_SHIFT, VK_F7},
      {0, MOD_ALT, VK_SPACE},  // no key stored: Alt+Space at start
  };
  for (const Case& c : cases) {
    WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKeyYes", 1);
    WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", static_cast<DWORD>(c.value));
    Run();
    EXPECT_TRUE(HeldElsewhere(c.modifiers, c.key)) << "value " << c.value;
    Close(proc);
    main = nullptr;
    KillAll(kTrayExe);  // the next case needs a fresh first instance
  }
}

TEST_F(BossKey, AHotkeyTakenByAnotherProgramGivesTheBoxNamingItAndTheMenuStillWorks) {
  ASSERT_TRUE(RegisterHotKey(nullptr, 79, MOD_CONTROL | MOD_SHIFT, VK_F8));
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKeyYes", 1);
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", ((HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8) | VK_F8);
  WriteEntry(0, "", "QvBossTarget");
  HWND target = Add("QvBossTarget", "the target");
  proc = Start(BinPath(kTrayExe), "/s");
  HWND box = WaitMessageBox(proc.pid, kProductTitle, 10000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            "Cannot register the hotkey Ctrl+Shift+F8 for Boss-Key: another program is already using that key "
            "combination.");
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  EXPECT_TRUE(PressButton(box, IDOK));
  main = WaitTop(kTrayClass, nullptr, proc.pid, 10000);
  ASSERT_NE(main, nullptr);
  Press();
  EXPECT_FALSE(Visible(target));
  UnregisterHotKey(nullptr, 79);
}

}  // namespace
