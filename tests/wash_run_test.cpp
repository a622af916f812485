// The wash run through the running qvtoolbar.exe: its Wash page, the run's
// confirmation, summary and stop, and the File Delete Options dialog, driven by
// window messages; the program's TEMP and shell folders are scratch folders.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "browser_profiles.h"
#include "places_support.h"
#include "tray_support.h"
#include "wash_env.h"

using namespace qvt;

namespace {

constexpr int kWashButton = 1175;
constexpr const char* kConfirm = "Clear all information for the selected items?";
constexpr const char* kTypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
using washt::kRecentDocs;

class WashRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    washt::UntickAllItems();
  }
  void TearDown() override {
    EndTray(proc, main);
    ResetTray();
    DeleteTree(HKEY_CURRENT_USER, kTypedUrls);
    DeleteTree(HKEY_CURRENT_USER, kRecentDocs);
  }
  void Set(const char* name, DWORD value) { WriteDword(HKEY_CURRENT_USER, kToolbarKey, name, value); }
  DWORD Setting(const char* name) {
    DWORD v = 0xDEAD;
    ReadDword(HKEY_CURRENT_USER, kToolbarKey, name, &v);
    return v;
  }
  // Starts the program (it inherits the scratch TEMP) and opens the settings at a page.
  HWND OpenPage(int index) { return OpenSettingsPage(&proc, &main, &sheet, index); }
  // Presses a button of the page without waiting for what it starts.
  void Press(HWND page, int control) {
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, control)));
  }
  // The next message box: its text, answered with the button.
  std::string Answer(int button, DWORD timeoutMs = 15000) {
    HWND box = WaitMessageBox(proc.pid, kProductTitle, timeoutMs);
    if (!box) return "<no box>";
    std::string text = MessageBoxText(box);
    Dismiss(box, button);
    return text;
  }
  // Presses the box's button until the box is gone (a box whose owner is being
  // destroyed may miss the first press).
  static void Dismiss(HWND box, int button) {
    for (int attempt = 0; attempt < 3 && IsWindow(box); ++attempt) {
      PressButton(box, button);
      WaitUntil([&] { return !IsWindow(box); }, 2000);
    }
  }
  std::string Caption(HWND page) { return WindowText(GetDlgItem(page, kWashButton)); }
  static std::string FirstLine(const std::string& text) { return text.substr(0, text.find("\r\n")); }
  void MakeRecent() { washt::MakeRecent(env); }
  // A file held open without delete sharing: locked for the run.
  HANDLE Lock(const std::string& path) {
    WriteFile(path, "locked");
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  washt::WashEnvironment env;
  Process proc;
  HWND main = nullptr;
  HWND sheet = nullptr;
};

TEST_F(WashRun, NothingTickedFinishesAtOnceAndTheBoxesAreSaved) {
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ("Clear All Selected Items", Caption(page));
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  EXPECT_EQ("Wash finished successfully!\r\n\r\nFiles deleted: 0 (0 bytes freed).\r\nRegistry entries removed: 0.",
            Answer(IDOK));
  EXPECT_TRUE(WaitUntil([&] { return Caption(page) == "Clear Selected Items"; }, 3000));
  EXPECT_EQ(0u, Setting("ClearTemp"));
}

TEST_F(WashRun, LockedFilesAndErrorsAreSummed) {
  Set("ClearTemp", 1);
  HANDLE first = Lock(env.temp + "one.dat"), second = Lock(env.temp + "two.dat");
  ASSERT_NE(INVALID_HANDLE_VALUE, first);
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  EXPECT_EQ(0u, Answer(IDOK).find("Could not delete '"));
  EXPECT_EQ(0u, Answer(IDOK).find("Could not delete '"));
  std::string summary = Answer(IDOK);
  EXPECT_EQ("Wash finished successfully! (2 locked files will be deleted after reboot.)", FirstLine(summary));
  EXPECT_NE(std::string::npos, summary.find("\r\nFiles to be deleted at the next restart: 2.\r\n")) << summary;
  EXPECT_EQ(std::string::npos, summary.find("could not be deleted")) << summary;
  // Without restart-time deletion a locked file is an error.
  Set("QueueForNextRestart", 0);
  CloseHandle(second);
  WaitUntil([&] { return Caption(page) == "Clear Selected Items"; }, 3000);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  EXPECT_EQ(0u, Answer(IDOK).find("Could not delete '"));
  summary = Answer(IDOK);
  EXPECT_EQ("Wash finished. 1 errors occured. 0 warnings issued.", FirstLine(summary));
  EXPECT_NE(std::string::npos, summary.find("Files that could not be deleted: 1; the first: " + env.temp + "one.dat"))
      << summary;
  EXPECT_EQ(std::string::npos, summary.find("at the next restart")) << summary;
  CloseHandle(first);
}

// A stop during the TEMP item: the walk ends after the current file, no later item
// runs, no summary; the caption comes back and a new run can start.
TEST_F(WashRun, AStopDuringTheTempItemEndsTheRunQuietly) {
  Set("ClearTemp", 1);
  Set("ClearIE", 1);
  Set("QueueForNextRestart", 0);
  WriteString(HKEY_CURRENT_USER, kTypedUrls, "url1", "http://example.com/");
  HANDLE lock = Lock(env.temp + "a_locked.dat");  // listed first: its report holds the walk
  for (int i = 0; i < 50; ++i) WriteFile(env.temp + "z" + std::to_string(i) + ".dat", "x");
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  HWND report = WaitMessageBox(proc.pid, kProductTitle, 15000);
  ASSERT_NE(report, nullptr);
  EXPECT_EQ("S&top Washing", Caption(page));
  Send(page, WM_COMMAND, MAKEWPARAM(kWashButton, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, kWashButton)));
  Dismiss(report, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return Caption(page) == "Clear Selected Items"; }, 5000));
  EXPECT_EQ(nullptr, WaitMessageBox(proc.pid, kProductTitle, 1500)) << "no summary after a stop";
  EXPECT_TRUE(FileExists(env.temp + "z49.dat"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kTypedUrls, "url1")) << "no later item ran";
  CloseHandle(lock);
  Press(page, kWashButton);  // a new run asks again
  EXPECT_EQ(kConfirm, Answer(IDCANCEL));
}

TEST_F(WashRun, ADeclinedRunSavesThePageAndCanStartAgain) {
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Send(GetDlgItem(page, 1180), BM_CLICK, 0, 0);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return Caption(page) == "Clear Selected Items"; }, 3000));
  EXPECT_EQ(1u, Setting("ClearRun"));
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDCANCEL)) << "nothing is left running";
}

TEST_F(WashRun, ClosingTheSettingsDuringARunLetsItFinish) {
  Set("ClearTemp", 1);
  Set("QueueForNextRestart", 0);
  HANDLE lock = Lock(env.temp + "held.dat");
  // A folder as deep as the system's ANSI calls reach (the walk recurses on the worker's stack).
  std::string deep = env.temp;
  while (deep.size() < MAX_PATH - 20) {
    deep += "d\\";
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep.size();
  }
  ASSERT_TRUE(WriteFile(deep + "f.dat", "f"));
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  HWND report = WaitMessageBox(proc.pid, kProductTitle, 15000);
  ASSERT_NE(report, nullptr);
  PressButton(sheet, IDCANCEL);
  WaitUntil([&] { return !IsWindow(sheet); }, 5000);
  Dismiss(report, IDOK);
  EXPECT_EQ("Wash finished. 1 errors occured. 0 warnings issued.", FirstLine(Answer(IDOK)));
  EXPECT_FALSE(FileExists(env.temp + "d"));
  CloseHandle(lock);
  page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDCANCEL)) << "the flags were reset";
}

// ---- What a wash did and would do.

// The summary counts what the run itself removed.
TEST_F(WashRun, TheSummaryCountsWhatTheRunRemoved) {
  Set("ClearRecent", 1);
  MakeRecent();
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  EXPECT_EQ("Wash finished successfully!\r\n\r\nFiles deleted: 3 (300 bytes freed).\r\nRegistry entries removed: 1.",
            Answer(IDOK));
  EXPECT_FALSE(FileExists(env.recent + "sub"));
}

// The preview shows what a wash of the ticked boxes would remove, changes nothing,
// sorts by the column clicked and closes with Esc.
TEST_F(WashRun, ThePreviewListsWhatAWashWouldRemoveAndChangesNothing) {
  MakeRecent();
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Send(GetDlgItem(page, 1182), BM_CLICK, 0, 0);  // Recent documents, not saved
  Press(page, 1211);
  HWND preview = WaitTop("#32770", "Wash Preview", proc.pid, 10000);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ("A wash would delete 3 files (300 bytes) and remove 1 registry entries. Nothing has been changed.",
            WindowText(GetDlgItem(preview, 1402)));
  HWND list = GetDlgItem(preview, 1401);
  ASSERT_EQ(2, ListViewCount(list));
  EXPECT_EQ("Recent documents", ListViewText(list, 0, 0));
  EXPECT_EQ("Registry key HKEY_CURRENT_USER\\" + std::string(kRecentDocs), ListViewText(list, 0, 1));
  EXPECT_EQ(0u, ListViewText(list, 1, 1).find("Files in " + env.recent.substr(0, env.recent.size() - 1)))
      << ListViewText(list, 1, 1);
  EXPECT_EQ("3", ListViewText(list, 1, 2));
  EXPECT_EQ("300 bytes", ListViewText(list, 1, 3));
  // Two clicks on the Count header: the larger count comes first.
  LRESULT header = 0;
  Send(list, LVM_GETHEADER, 0, 0, &header);
  LRESULT w0 = 0, w1 = 0;
  Send(list, LVM_GETCOLUMNWIDTH, 0, 0, &w0);
  Send(list, LVM_GETCOLUMNWIDTH, 1, 0, &w1);
  LPARAM at = MAKELPARAM(static_cast<int>(w0 + w1 + 10), 5);
  for (int click = 0; click < 2; ++click) {
    PostMessageA(reinterpret_cast<HWND>(header), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(reinterpret_cast<HWND>(header), WM_LBUTTONUP, 0, at);
    Send(preview, WM_NULL, 0, 0);
  }
  EXPECT_TRUE(WaitUntil([&] { return ListViewText(list, 0, 2) == "3"; }, 3000)) << ListViewText(list, 0, 2);
  EXPECT_TRUE(FileExists(env.recent + "sub\\c.lnk"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRecentDocs, "0"));
  PostMessageA(preview, WM_COMMAND, IDCANCEL, 0);  // Esc
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
  EXPECT_EQ(0u, Setting("ClearRecent")) << "a preview saves nothing";
}

// A folder the walk cannot open (another program holds it without sharing) is
// neither skipped silently nor called a success: the preview names it, and the
// run counts it as left, with its path.
TEST_F(WashRun, AFolderTheWalkCannotOpenIsNamedInThePreviewAndTheSummary) {
  Set("ClearRecent", 1);
  MakeRecent();
  HANDLE held = CreateFileA((env.recent + "sub").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, 1211);
  HWND preview = WaitTop("#32770", "Wash Preview", proc.pid, 10000);
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ("A wash would delete 2 files (200 bytes) and remove 1 registry entries. Nothing has been changed. "
            "Entries a wash could not reach: 1; the first: " + env.recent + "sub",
            WindowText(GetDlgItem(preview, 1402)));
  PostMessageA(preview, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  std::string summary = Answer(IDOK);
  CloseHandle(held);
  EXPECT_EQ("Wash finished. 1 errors occured. 0 warnings issued.", FirstLine(summary));
  EXPECT_NE(std::string::npos, summary.find("Files deleted: 2 (200 bytes freed)")) << summary;
  EXPECT_NE(std::string::npos, summary.find("Files that could not be deleted: 1; the first: " + env.recent + "sub"))
      << summary;
  EXPECT_FALSE(FileExists(env.recent + "a.lnk"));
  EXPECT_TRUE(FileExists(env.recent + "sub\\c.lnk"));
}

// Never two washes at once: a run while an unattended wash holds the wash says so.
TEST_F(WashRun, ARunBesideAnotherWashSaysSoAndWashesNothing) {
  Set("ClearRecent", 1);
  MakeRecent();
  HANDLE other = CreateMutexA(nullptr, TRUE, "Global\\QvToolbarWash");
  ASSERT_NE(nullptr, other);
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  EXPECT_EQ("A wash is already running. Try again when it has finished.", Answer(IDOK));
  EXPECT_TRUE(WaitUntil([&] { return Caption(page) == "Clear Selected Items"; }, 5000));
  EXPECT_TRUE(FileExists(env.recent + "a.lnk"));
  ReleaseMutex(other);
  CloseHandle(other);
}

// ---- Folders that are never washed.

// A scratch profile holding a user's files. The program is started with TMP, TEMP
// and USERPROFILE as a case sets them (it keeps its own copy of them), and the
// test's own are put back at once.
class WashProfile : public WashRun {
 protected:
  void SetUp() override {
    WashRun::SetUp();
    profile = "C:\\qvprofile" + std::to_string(GetCurrentProcessId()) + "\\";
    for (const char* folder : {"", "Documents", "Desktop"}) CreateDirectoryA((profile + folder).c_str(), nullptr);
    for (const char* file : kUserFiles) ASSERT_TRUE(WriteFile(profile + file, "mine"));
  }
  void TearDown() override {
    WashRun::TearDown();
    RemoveTree(profile);
  }
  void StartWith(const char* tmp, const char* temp) {
    std::string saved[3];
    const char* names[3] = {"TMP", "TEMP", "USERPROFILE"};
    const char* values[3] = {tmp, temp, profile.c_str()};
    for (int i = 0; i < 3; ++i) {
      char value[MAX_PATH] = {};
      saved[i] = GetEnvironmentVariableA(names[i], value, MAX_PATH) ? value : "";
      SetEnvironmentVariableA(names[i], values[i]);
    }
    proc = StartTray("/s", &main);
    for (int i = 0; i < 3; ++i) SetEnvironmentVariableA(names[i], saved[i].empty() ? nullptr : saved[i].c_str());
  }
  // Runs the wash with only the TEMP item ticked; the summary.
  std::string WashTemp() {
    Set("ClearTemp", 1);
    HWND page = OpenPage(2);
    if (!page) return "<no page>";
    Press(page, kWashButton);
    if (Answer(IDOK) != kConfirm) return "<no question>";
    std::string summary = Answer(IDOK, 30000);
    while (summary.find("Could not delete") == 0) summary = Answer(IDOK, 30000);  // the Windows temp folder's
    return summary;
  }
  void ExpectUserFilesKept() {
    for (const char* file : kUserFiles) EXPECT_TRUE(FileExists(profile + file)) << file;
  }
  static constexpr const char* kUserFiles[] = {"Documents\\letter.txt", "Desktop\\notes.txt", "profile.ini"};
  std::string profile;
};

// Without TMP and TEMP the system's temporary folder is the profile: it is left
// alone, and the summary says which folder and why.
TEST_F(WashProfile, WithoutTmpAndTempTheProfileIsLeftAlone) {
  StartWith(nullptr, nullptr);
  ASSERT_NE(nullptr, main);
  std::string summary = WashTemp();
  ExpectUserFilesKept();
  EXPECT_EQ(std::string::npos, summary.find("successfully")) << summary;
  EXPECT_NE(std::string::npos, summary.find("The folder '" + profile + "' was left alone: TMP and TEMP are not set"))
      << summary;
}

// TEMP naming the profile itself: a folder of the user's, left alone.
TEST_F(WashProfile, TempPointingAtTheProfileIsLeftAlone) {
  StartWith(nullptr, profile.c_str());
  ASSERT_NE(nullptr, main);
  std::string summary = WashTemp();
  ExpectUserFilesKept();
  EXPECT_EQ(std::string::npos, summary.find("successfully")) << summary;
  EXPECT_NE(std::string::npos, summary.find("was left alone: it is a folder of Windows or of a user.")) << summary;
}

// The program asked to end during a wash: the wash is long by construction (the
// report of a locked file, listed first, holds it), so the close surely comes while
// it runs; the program closes the report, the wash stops after the file at hand,
// the program ends within its bound, and no file is left half overwritten.
TEST_F(WashRun, TheProgramEndsCleanlyDuringALongWash) {
  Set("ClearTemp", 1);
  Set("ShredInternal", 1);
  Set("QueueForNextRestart", 0);
  HANDLE lock = Lock(env.temp + "a_locked.dat");
  const std::string content(64 * 1024, 'A');
  const int kFiles = 50;
  for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(WriteFile(env.temp + "f" + std::to_string(1000 + i) + ".dat", content));
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  HWND report = WaitMessageBox(proc.pid, kProductTitle, 15000);
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(0u, MessageBoxText(report).find("Could not delete '")) << "the wash is held by its report";
  // Nobody answers the report: the program closes its worker's box itself.
  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 1;
  EXPECT_TRUE(WaitExit(proc, 15000, &code)) << "it ends within its bound";
  EXPECT_EQ(0u, code);
  CloseHandle(lock);
  int left = 0;
  for (int i = 0; i < kFiles; ++i) {
    std::string file = env.temp + "f" + std::to_string(1000 + i) + ".dat", bytes;
    if (!ReadFile(file, &bytes)) continue;
    ++left;
    EXPECT_TRUE(content == bytes) << file << " is not whole";
  }
  EXPECT_GE(left, kFiles - 1) << "the wash stopped after the file at hand";
}

// ---- The page's own buttons and the File Delete Options dialog.

TEST_F(WashRun, AGroupButtonClearsOnlyItsTickedItems) {
  WriteString(HKEY_CURRENT_USER, kTypedUrls, "url1", "http://example.com/");
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, 1209);  // Internet Explorer group, nothing ticked
  EXPECT_EQ("Clear selected Internet Explorer items now?", Answer(IDOK));
  Send(page, WM_NULL, 0, 0);
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kTypedUrls, "url1"));
  Send(GetDlgItem(page, 1185), BM_CLICK, 0, 0);
  Press(page, 1209);
  EXPECT_EQ("Clear selected Internet Explorer items now?", Answer(IDOK));
  EXPECT_TRUE(WaitUntil([] { return !ValueExists(HKEY_CURRENT_USER, kTypedUrls, "url1"); }, 5000));
  EXPECT_EQ(0u, Setting("ClearIE")) << "clearing stores nothing";
}

TEST_F(WashRun, DeleteOptionsShowTheDefaultsAndOnlyOkWritesAllFour) {
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  auto open = [&] {
    Press(page, 1210);
    return WaitTop("#32770", "File Delete Options", proc.pid, 5000);
  };
  HWND dialog = open();
  ASSERT_NE(dialog, nullptr);
  auto checked = [&](int id) {
    LRESULT state = 0;
    Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, &state);
    return state == BST_CHECKED;
  };
  EXPECT_TRUE(checked(1153));
  EXPECT_TRUE(checked(1155));
  EXPECT_FALSE(checked(1154));
  EXPECT_FALSE(checked(1059));
  Send(GetDlgItem(dialog, 1154), BM_CLICK, 0, 0);
  PressButton(dialog, IDCANCEL);
  WaitUntil([&] { return !IsWindow(dialog); }, 5000);
  for (const char* s : {"ShredInternal", "QueueForNextRestart", "OverwriteLocked", "NotWinOrSys"})
    EXPECT_EQ(0xDEADu, Setting(s)) << s;
  dialog = open();
  ASSERT_NE(dialog, nullptr);
  Send(GetDlgItem(dialog, 1154), BM_CLICK, 0, 0);
  PressButton(dialog, IDOK);
  WaitUntil([&] { return !IsWindow(dialog); }, 5000);
  EXPECT_EQ(1u, Setting("ShredInternal"));
  EXPECT_EQ(1u, Setting("QueueForNextRestart"));
  EXPECT_EQ(1u, Setting("OverwriteLocked"));
  EXPECT_EQ(0u, Setting("NotWinOrSys"));
}

TEST_F(WashRun, ApplyStoresAllNineBoxes) {
  for (const char* s : {"ClearRun", "ClearIECookies"}) Set(s, 1);
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Send(GetDlgItem(page, 1050), BM_CLICK, 0, 0);  // TEMP on
  Send(GetDlgItem(page, 1180), BM_CLICK, 0, 0);  // Start-Run off
  Send(sheet, WM_COMMAND, MAKEWPARAM(0x3021, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet, 0x3021)));
  const char* on[] = {"ClearTemp", "ClearIECookies"};
  for (const char* s : {"ClearRun", "ClearRecent", "ClearFind", "ClearTemp", "ClearIE", "ClearIEHistory",
                        "ClearIEAutoComp", "ClearIECache", "ClearIECookies"}) {
    bool expectOn = std::string(s) == on[0] || std::string(s) == on[1];
    EXPECT_EQ(expectOn ? 1u : 0u, Setting(s)) << s;
  }
}

// ---- The cleaning rules ticked in the More Items dialog, in a run and a preview.

class WashRunRules : public WashRun {
 protected:
  void SetUp() override {
    WashRun::SetUp();
    profiles::Make(&browsers, false);
  }
  void TearDown() override {
    if (standIn.process) Kill(standIn);
    Close(standIn);
    WashRun::TearDown();
    profiles::Remove(browsers);
  }
  profiles::Profiles browsers;
  Process standIn;
};

// The preview lists Firefox's history as its rule's row and changes nothing; the
// run with Chrome's program running says so in its own line of the summary, is
// not "successful", keeps Chrome's profile and still clears Firefox's history.
TEST_F(WashRunRules, APreviewListsTheRulesAndTheSummaryNamesARunningBrowser) {
  washt::SetRuleTick("Mozilla Firefox - History", true);
  washt::SetRuleTick("Google Chrome - History", true);
  std::string scratch = TempFolder();
  standIn = profiles::StartNamedLike(scratch, "chrome.exe");
  ASSERT_TRUE(standIn.process);
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Press(page, 1211);
  HWND preview = WaitTop("#32770", "Wash Preview", proc.pid, 10000);
  ASSERT_NE(preview, nullptr);
  HWND list = GetDlgItem(preview, 1401);
  int firefoxRow = -1;
  for (int row = 0; row < ListViewCount(list); ++row)
    if (ListViewText(list, row, 0) == "Mozilla Firefox - History") firefoxRow = row;
  ASSERT_NE(-1, firefoxRow) << WindowText(GetDlgItem(preview, 1402));
  EXPECT_EQ("Browsing history in " + browsers.places, ListViewText(list, firefoxRow, 1));
  EXPECT_EQ("8", ListViewText(list, firefoxRow, 2));
  EXPECT_NE(std::string::npos, WindowText(GetDlgItem(preview, 1402)).find("It would remove 8 visits from browser histories."));
  PostMessageA(preview, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
  EXPECT_EQ("8|\n", placest::Dump(browsers.places, placest::kVisitCount)) << "the preview changed the history";

  std::map<std::string, std::string> chrome = profiles::Contents(browsers.local + "Google\\");
  Press(page, kWashButton);
  EXPECT_EQ(kConfirm, Answer(IDOK));
  std::string summary = Answer(IDOK);
  EXPECT_EQ("Wash finished.", FirstLine(summary)) << summary;
  EXPECT_NE(std::string::npos, summary.find("\r\nVisits removed from browser histories: 8.\r\n")) << summary;
  EXPECT_NE(std::string::npos, summary.find("\r\nLeft alone: Google Chrome is running.")) << summary;
  EXPECT_EQ(std::string::npos, summary.find("The folder")) << "a running program is no folder: " << summary;
  EXPECT_EQ(chrome, profiles::Contents(browsers.local + "Google\\"));
  EXPECT_EQ("0|\n", placest::Dump(browsers.places, placest::kVisitCount));
  EXPECT_EQ(std::vector<std::string>{}, profiles::KeepsChanged(browsers));
  RemoveTree(scratch);
}

}  // namespace
