// The real qvtoolbar.exe under test: start-up, single instance, the main
// window's messages and commands, the settings window and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "lib/Quorvane.h"
#include "tray_support.h"

using namespace qvt;

namespace {

class Tray : public ::testing::Test {
 protected:
  void SetUp() override { ResetTray(); }
  void TearDown() override {
    EndTray(proc, main);
    ResetTray();
  }
  // Starts the program and requires its main window.
  void Run(const std::string& arguments) {
    proc = StartTray(arguments, &main);
    ASSERT_NE(main, nullptr) << "no main window for: " << arguments;
  }
  Process proc;
  HWND main = nullptr;
};

// ---------------------------------------------------------------------------
// A second start talks to the first instance. The test plays the first
// instance: it holds the mutex and a window of the class, and records what
// arrives.

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecorderProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND || m == WM_USER + 2) g_received.push_back({m, wp, lp});
  return DefWindowProcA(w, m, wp, lp);
}

class SecondStart : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    g_received.clear();
    mutex = CreateMutexA(nullptr, FALSE, kTrayClass);
    ASSERT_NE(mutex, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  }
  void TearDown() override {
    if (window) DestroyWindow(window);
    UnregisterClassA(kTrayClass, GetModuleHandleA(nullptr));
    CloseHandle(mutex);
  }
  void MakeFirstWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kTrayClass;
    RegisterClassA(&wc);
    window = CreateWindowA(kTrayClass, "first", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
  }
  // Runs a second start to its end, then collects what it posted.
  DWORD RunSecond(const std::string& arguments) {
    Process p = Start(BinPath(kTrayExe), arguments);
    DWORD code = 12345;
    EXPECT_TRUE(WaitExit(p, 10000, &code)) << "a second start must end";
    Close(p);
    WaitUntil([] { return false; }, 200);  // let the posted messages arrive
    return code;
  }
  HANDLE mutex = nullptr;
  HWND window = nullptr;
};

TEST_F(SecondStart, WithoutSwitchAsksForSettingsThenTrayIcon) {
  MakeFirstWindow();
  EXPECT_EQ(RunSecond(""), 0u);
  ASSERT_EQ(g_received.size(), 2u);
  EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(g_received[0].wParam, 2457u);
  EXPECT_EQ(g_received[0].lParam, 0);
  EXPECT_EQ(g_received[1].message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(g_received[1].wParam, 0u);
}

TEST_F(SecondStart, AnyArgumentContainingSlashSOnlyRestoresTrayIcon) {
  MakeFirstWindow();
  for (const char* args : {"/s", "/soundon", "/SHOCKOFF", "/stoploadon", "/imagesoff /S"}) {
    g_received.clear();
    EXPECT_EQ(RunSecond(args), 0u) << args;
    ASSERT_EQ(g_received.size(), 1u) << args;
    EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_USER + 2)) << args;
  }
}

TEST_F(SecondStart, OtherSwitchesAreNotPassedOn) {
  MakeFirstWindow();
  EXPECT_EQ(RunSecond("/imagesoff"), 0u);
  ASSERT_EQ(g_received.size(), 2u);
  EXPECT_EQ(g_received[0].wParam, 2457u);
  EXPECT_EQ(g_received[1].message, static_cast<UINT>(WM_USER + 2));
}

TEST_F(SecondStart, MutexWithoutWindowEndsQuietly) {
  EXPECT_EQ(RunSecond(""), 0u);
  EXPECT_TRUE(g_received.empty());
  EXPECT_EQ(FindTop(kTrayClass, nullptr), nullptr);
}

TEST_F(SecondStart, CommandLineIsCutAt523Characters) {
  MakeFirstWindow();
  // "/s" beyond the kept 523 characters is not seen: the settings are asked for.
  std::string beyond(530, 'x');
  beyond += " /s";
  EXPECT_EQ(RunSecond(beyond), 0u);
  ASSERT_EQ(g_received.size(), 2u);
  EXPECT_EQ(g_received[0].wParam, 2457u);

  g_received.clear();
  std::string inside(500, 'x');
  inside += " /s";
  inside += std::string(2000, 'y');
  EXPECT_EQ(RunSecond(inside), 0u);
  ASSERT_EQ(g_received.size(), 1u);
  EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_USER + 2));
}

// ---------------------------------------------------------------------------
// Start-up switches of a first start.

// At its first start for a user the program takes the language setup stored for
// the machine; a language the user chose stays.
TEST_F(Tray, TheFirstStartTakesTheLanguageSetupStoredForTheMachine) {
  const char* family = "Software\\Quorvane\\Quorvanes";
  WriteDword(HKEY_LOCAL_MACHINE, family, "GeneralLanguage", 2);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kToolbarKey, "GeneralLanguage");
  Run("/s");
  DWORD language = 0;
  EXPECT_TRUE(qvt::ReadDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralLanguage", &language));
  EXPECT_EQ(2u, language);
  EndTray(proc, main);
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralLanguage", 6);
  Run("/s");
  EXPECT_TRUE(qvt::ReadDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralLanguage", &language));
  EXPECT_EQ(6u, language) << "the user's own choice stays";
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, family);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");  // when nothing else is left in it
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kToolbarKey, "GeneralLanguage");
}

TEST_F(Tray, StartWithoutArgumentsOpensToolbarPage) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralSilent", 0);
  Run("");
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 0);
}

TEST_F(Tray, GeneralSilentStartsWithoutSettingsWindow) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralSilent", 1);
  Run("");
  EXPECT_TRUE(NoSettingsFor(proc.pid, 1500));
}

TEST_F(Tray, SwitchWithoutSilentOpensSettingsInstead) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralSilent", 0);
  Run("/imagesoff");
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 0);
}

TEST_F(Tray, SoundOffAloneCountsAsSilent) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralSilent", 0);
  Run("/soundoff");
  EXPECT_TRUE(NoSettingsFor(proc.pid, 1500));
  EXPECT_NE(FindTop(kTrayClass, nullptr, proc.pid), nullptr);
}

TEST_F(Tray, SilentWashSwitchOpensWashPage) {
  Run("/s /wash");
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 2);
}

TEST_F(Tray, SilentOpensetOpensFirstPage) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralSilent", 1);
  Run("/openset");
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 0);
}

TEST_F(Tray, OverlongCommandLineStillStarts) {
  Run("/s " + std::string(3000, 'q'));
  EXPECT_TRUE(NoSettingsFor(proc.pid, 800));
  LRESULT r = 0;
  EXPECT_TRUE(Send(main, WM_USER + 33, 0, 0, &r));
  EXPECT_EQ(r, 1);
}

// ---------------------------------------------------------------------------
// Messages of the browser toolbar module.

TEST_F(Tray, OpenSettingsMessageChoosesPage) {
  Run("/s");
  LRESULT r = 0;
  ASSERT_TRUE(Send(main, WM_USER + 17, 7, 0, &r));
  EXPECT_EQ(r, 1);
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 0) << "pages above 2 mean the first";
  // The open window switches to the page asked for.
  ASSERT_TRUE(Send(main, WM_USER + 17, 1, 0, &r));
  EXPECT_TRUE(WaitUntil([&] { return SheetPageIndex(sheet) == 1; }, 3000));
  EXPECT_EQ(ListTop("#32770", proc.pid).size(), 1u) << "one settings window only";
}

TEST_F(Tray, PrivateMessagesAnswerAsTheToolbarExpects) {
  Run("/s");
  struct Case {
    UINT message;
    WPARAM wParam;
    LRESULT expected;
  };
  const Case cases[] = {
      {WM_USER + 2, 0, 1},  {WM_USER + 32, 60000, 0}, {WM_USER + 33, 0, 1}, {WM_USER + 37, 0, 1},
      {WM_USER + 38, 0, 1}, {WM_USER + 39, 1, 1},     {WM_USER + 40, 1, 1}, {WM_USER + 41, 1, 1},
      {WM_USER + 34, 1, 1}, {WM_USER + 35, 1, 1},     {WM_USER + 36, 1, 1},
  };
  for (const Case& c : cases) {
    LRESULT r = -5;
    ASSERT_TRUE(Send(main, c.message, c.wParam, 0, &r)) << c.message;
    EXPECT_EQ(r, c.expected) << "message " << c.message;
  }
  EXPECT_TRUE(NoSettingsFor(proc.pid, 300));
}

TEST_F(Tray, ToolbarClientReachesTheWindow) {
  Run("/s");
  Process client = Start(BinPath("qvtbclient.exe"), "send WMU_OPENSETTINGS 2");
  DWORD code = 99;
  ASSERT_TRUE(WaitExit(client, 10000, &code));
  Close(client);
  EXPECT_EQ(code, 0u);
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 2);
}

// ---------------------------------------------------------------------------
// Tray icon events.

TEST_F(Tray, TrayLeftButtonDownOpensSettingsButtonUpDoesNothing) {
  Run("/s");
  LRESULT r = -5;
  ASSERT_TRUE(Send(main, WM_USER + 1, 1, WM_LBUTTONUP, &r));
  EXPECT_EQ(r, 1);
  ASSERT_TRUE(Send(main, WM_USER + 1, 1, WM_RBUTTONUP, &r));
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(NoSettingsFor(proc.pid, 800));
  ASSERT_TRUE(Send(main, WM_USER + 1, 1, WM_MOUSEMOVE, &r));
  EXPECT_EQ(r, 0);
  ASSERT_TRUE(Send(main, WM_USER + 1, 1, WM_LBUTTONDOWN, &r));
  EXPECT_EQ(r, 0);
  EXPECT_NE(WaitSettings(proc.pid), nullptr);
}

TEST_F(Tray, TrayMenuExitEndsProgram) {
  Run("/s");
  PostMessageA(main, WM_USER + 1, 1, WM_RBUTTONDOWN);
  ASSERT_NE(WaitTop("#32768", nullptr, 0, 5000, true), nullptr) << "the tray menu opens";
  PressKeys({'X'});  // E&xit Quorvane Webdeck
  DWORD code = 99;
  ASSERT_TRUE(WaitExit(proc, 10000, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(Tray, ExitCommandEndsProgram) {
  Run("/s");
  PostMessageA(main, WM_COMMAND, 2483, 0);
  DWORD code = 99;
  ASSERT_TRUE(WaitExit(proc, 10000, &code));
  EXPECT_EQ(code, 0u);
}

// ---------------------------------------------------------------------------
// Hotkey, thread messages, the settings window's life.

TEST_F(Tray, SettingsHotkeyOpensSettings) {
  Run("/s");
  EXPECT_TRUE(NoSettingsFor(proc.pid, 300));
  PressKeys({VK_CONTROL, VK_SHIFT, VK_MENU, VK_F11});  // the library's default settings key
  EXPECT_NE(WaitSettings(proc.pid), nullptr);
}

TEST_F(Tray, HotkeyMessageOpensSettings) {
  Run("/s");
  PostMessageA(main, WM_HOTKEY, 3333, 0);
  EXPECT_NE(WaitSettings(proc.pid), nullptr);
}

TEST_F(Tray, ThreadMessageReachesMainWindow) {
  Run("/s");
  ASSERT_TRUE(PostThreadMessageA(proc.tid, WM_USER + 17, 1, 0));
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(SheetPageIndex(sheet), 1);
}

TEST_F(Tray, ClosedSettingsWindowIsDestroyedAndCanReopen) {
  Run("/s");
  PostMessageA(main, WM_COMMAND, 2457, 0);
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  PressButton(sheet, IDCANCEL);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(sheet); }, 5000)) << "the loop destroys the closed sheet";
  PostMessageA(main, WM_COMMAND, 2457, 0);
  HWND again = WaitSettings(proc.pid);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(ListTop("#32770", proc.pid).size(), 1u);
}

// Holds Ctrl (and Shift) down for real and posts the key-down into the
// program's queue, so that its message loop sees it whatever has the focus.
bool PageKeyMovesTo(HWND sheet, WORD key, bool shift, int expectedPage) {
  auto modifier = [](WORD vk, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = flags;
    SendInput(1, &in, sizeof in);
  };
  modifier(VK_CONTROL, 0);
  if (shift) modifier(VK_SHIFT, 0);
  WaitUntil([] { return false; }, 100);
  PostMessageA(sheet, WM_KEYDOWN, key, 1);
  bool moved = WaitUntil([&] { return SheetPageIndex(sheet) == expectedPage; }, 3000);
  if (shift) modifier(VK_SHIFT, KEYEVENTF_KEYUP);
  modifier(VK_CONTROL, KEYEVENTF_KEYUP);
  return moved;
}

// Disabled: under Wine on Xvfb the program does not see the synthetic Ctrl in its
// asynchronous key state, so the loop never takes these keys there.
TEST_F(Tray, DISABLED_CtrlTabSwitchesPages) {
  Run("/s");
  PostMessageA(main, WM_COMMAND, 2457, 0);
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  // The loop reads Ctrl from the asynchronous key state; where synthetic input
  // does not reach that state (seen on Xvfb without a keyboard), nothing here can be checked.
  INPUT ctrl = {};
  ctrl.type = INPUT_KEYBOARD;
  ctrl.ki.wVk = VK_CONTROL;
  SendInput(1, &ctrl, sizeof ctrl);
  WaitUntil([] { return false; }, 100);
  bool held = GetAsyncKeyState(VK_CONTROL) < 0;
  ctrl.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &ctrl, sizeof ctrl);
  if (!held) GTEST_SKIP() << "synthetic Ctrl does not reach the asynchronous key state here";
  EXPECT_TRUE(PageKeyMovesTo(sheet, VK_TAB, false, 1));
  EXPECT_TRUE(PageKeyMovesTo(sheet, VK_TAB, true, 0));
  EXPECT_TRUE(PageKeyMovesTo(sheet, VK_PRIOR, false, 2)) << "back from the first wraps";
  EXPECT_TRUE(PageKeyMovesTo(sheet, VK_NEXT, false, 0)) << "forward from the last wraps";
  EXPECT_TRUE(PageKeyMovesTo(sheet, VK_PRIOR, true, 2));
}

TEST_F(Tray, SettingsWindowHasTitleAndThreePages) {
  Run("/s /openset");
  HWND sheet = WaitSettings(proc.pid);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(WindowText(sheet), kProductTitle);
  LRESULT tab = 0;
  ASSERT_TRUE(Send(sheet, PSM_GETTABCONTROL, 0, 0, &tab));
  LRESULT count = 0;
  Send(reinterpret_cast<HWND>(tab), TCM_GETITEMCOUNT, 0, 0, &count);
  EXPECT_EQ(count, 3);
}

// ---------------------------------------------------------------------------
// Ending, the mutex, the restart list and the floating icon.

TEST_F(Tray, CloseFromAnotherProcessEndsWithZeroAndReleasesMutex) {
  Run("/s");
  HANDLE probe = CreateMutexA(nullptr, FALSE, kTrayClass);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(probe);
  EXPECT_EQ(CloseTray(proc, main), 0);
  probe = CreateMutexA(nullptr, FALSE, kTrayClass);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "the mutex is released";
  CloseHandle(probe);
  EXPECT_EQ(FindTop(kTrayClass, nullptr), nullptr);
}

TEST_F(Tray, FirstStartRemovesUsedRestartList) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string list = std::string(windows) + "\\wininit.ini";
  ASSERT_TRUE(WriteFile(list, "[rename]\r\n"));
  Run("/s");  // "QueueForNextRestart" never written counts as on
  EXPECT_FALSE(FileExists(list));
  EXPECT_EQ(CloseTray(proc, main), 0);
  Close(proc);

  ASSERT_TRUE(WriteFile(list, "[rename]\r\n"));
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "QueueForNextRestart", 0);
  Run("/s");
  EXPECT_TRUE(FileExists(list)) << "with restart deletion off the list is left alone";
  DeleteFileA(list.c_str());
}

TEST_F(Tray, FloatingIconOnlyWhenSettingIsOne) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "FlyingIcon", 2);
  Run("/s");
  EXPECT_FALSE(WaitUntil([&] { return FindTop("qvFlyingIconClass", nullptr, proc.pid) != nullptr; }, 800));
  EXPECT_EQ(CloseTray(proc, main), 0);
  Close(proc);

  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "FlyingIcon", 1);
  Run("/s");
  HWND icon = WaitTop("qvFlyingIconClass", nullptr, proc.pid, 5000);
  ASSERT_NE(icon, nullptr);
  EXPECT_TRUE(GetWindowLongA(icon, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(CloseTray(proc, main), 0);
}

// ---------------------------------------------------------------------------
// Settings files opened with the program.

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    folder = TempFolder();
  }
  void TearDown() override {
    DismissMessageBoxes(proc.pid);
    Close(proc);
    ResetTray();
  }
  // Runs qvtoolbar.exe with the file and waits for its end; answers an error box.
  DWORD RunWith(const std::string& file, std::string* boxText) {
    proc = Start(BinPath(kTrayExe), "\"" + file + "\"");
    DWORD code = 99;
    DWORD start = GetTickCount();
    while (!WaitExit(proc, 100, &code) && GetTickCount() - start < 15000) {
      HWND box = WaitMessageBox(proc.pid, kProductTitle, 0);
      if (box) {
        if (boxText) *boxText = MessageBoxText(box);
        PressButton(box, IDOK);
      }
    }
    return code;
  }
  std::string folder;
  Process proc;
  HWND main = nullptr;
};

TEST_F(SettingsFile, ExistingFileIsImportedAndProgramEnds) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", 1234);
  WriteString(HKEY_CURRENT_USER, kToolbarKey, "StopSound", "C:\\sounds\\knock \"soft\".wav");
  std::string file = folder + "Settings.qvg";
  ASSERT_TRUE(LibExportRegistryKey(0, "HKEY_CURRENT_USER\\Software\\AppDataLow\\Software\\Quorvane\\Toolbar",
                                   file.c_str()));
  DeleteTree(HKEY_CURRENT_USER, kToolbarKey);

  std::string box;
  EXPECT_EQ(RunWith(file, &box), 0u);
  EXPECT_EQ(box, "") << "no message on success";
  DWORD bossKey = 0;
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", &bossKey));
  EXPECT_EQ(bossKey, 1234u);
  std::string sound;
  EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kToolbarKey, "StopSound", &sound));
  EXPECT_EQ(sound, "C:\\sounds\\knock \"soft\".wav");
  EXPECT_EQ(FindTop(kTrayClass, nullptr), nullptr) << "an import start does not stay";
}

TEST_F(SettingsFile, DamagedFilesGiveErrorAndChangeNothing) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", 77);
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "TrayIcon", 1);
  std::string good = folder + "good.qvg";
  ASSERT_TRUE(LibExportRegistryKey(0, "HKEY_CURRENT_USER\\Software\\AppDataLow\\Software\\Quorvane\\Toolbar",
                                   good.c_str()));
  std::string text;
  ASSERT_TRUE(ReadFile(good, &text));
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", 5);  // differs from the file

  struct Bad {
    const char* name;
    std::string bytes;
  };
  const Bad bad[] = {
      {"truncated.qvg", text.substr(0, text.size() * 2 / 3)},
      {"notsettings.qvg", "Hello, this is a letter.\r\nNothing to import.\r\n"},
      {"empty.qvg", ""},
  };
  for (const Bad& b : bad) {
    std::string file = folder + b.name;
    ASSERT_TRUE(WriteFile(file, b.bytes));
    std::string box;
    EXPECT_EQ(RunWith(file, &box), 0u) << b.name;
    EXPECT_NE(box, "") << b.name << ": an error box is shown";
    EXPECT_NE(box.find(b.name), std::string::npos) << "the box names the file: " << box;
    DWORD bossKey = 0;
    EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, kToolbarKey, "BossKey", &bossKey));
    EXPECT_EQ(bossKey, 5u) << b.name << " changed a setting";
    EXPECT_EQ(FindTop(kTrayClass, nullptr), nullptr);
    Close(proc);
  }
}

TEST_F(SettingsFile, MissingFileStartsNormally) {
  proc = StartTray("\"" + folder + "missing.qvg\" /s", &main);
  EXPECT_NE(main, nullptr);
  EXPECT_EQ(CloseTray(proc, main), 0);
}

}  // namespace

namespace {
// The page request carries a pointer; one from another process must not be written through.
TEST_F(Tray, ForeignPageRequestIsIgnored) {
  Run("/s");
  LRESULT r = -1;
  EXPECT_TRUE(Send(main, WM_COMMAND, 2560, 0x12345678, &r));
  PostMessageA(main, WM_COMMAND, 2560, 0x1000);
  EXPECT_TRUE(Send(main, WM_USER + 33, 0, 0, &r)) << "the program still answers";
  EXPECT_EQ(r, 1);
  PostMessageA(main, WM_COMMAND, 2457, 0);
  EXPECT_NE(WaitSettings(proc.pid), nullptr) << "its own settings window still gets its pages";
}
}  // namespace
