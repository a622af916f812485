// "qvtoolbar.exe /autowash": the saved selection washed without the question and
// without windows, its exit codes and its log, and "/preview", which changes
// nothing and finds what the wash then removes. The program's TEMP and shell
// folders are scratch folders; Recent holds a known tree. The program runs without
// elevation, as a user's task does (Wine starts every program elevated), but
// where a case says otherwise.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "browser_profiles.h"
#include "places_support.h"
#include "tray_support.h"
#include "wash_env.h"

using namespace qvt;

namespace {

constexpr const char* kTypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
constexpr const char* kRunMru = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
using washt::kRecentDocs;
constexpr const char* kWashLock = "Global\\QvToolbarWash";

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text;
  if (!ReadFile(path, &text)) return lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(text.substr(at, end - at));
  return lines;
}

// Every file below folder with its size, and every registry value of the keys.
std::set<std::string> Snapshot(const std::string& folder, std::initializer_list<const char*> keys) {
  std::set<std::string> all;
  std::vector<std::string> pending = {folder};
  while (!pending.empty()) {
    std::string f = pending.back();
    pending.pop_back();
    qvt::ForEachEntry(f, [&](const std::string& name, const WIN32_FIND_DATAA& found) {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) pending.push_back(f + name + "\\");
      all.insert(f + name + " " + std::to_string(found.nFileSizeLow));
    });
  }
  for (const char* key : keys) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
    all.insert(key);
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD size = sizeof name;
      if (RegEnumValueA(opened, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      all.insert(std::string(key) + "|" + name);
    }
    RegCloseKey(opened);
  }
  return all;
}

class Autowash : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    washt::UntickAllItems();
    log = env.scratch + "wash log.txt";
  }
  void TearDown() override {
    ResetTray();
    for (const char* key : {kTypedUrls, kRunMru, kRecentDocs}) DeleteTree(HKEY_CURRENT_USER, key);
  }
  void Set(const char* name, DWORD value) { WriteDword(HKEY_CURRENT_USER, kToolbarKey, name, value); }
  // Runs the program with these arguments and the log (in a folder); its exit code (-1: it did not end).
  long Run(const std::string& arguments, const std::string& folder = "") {
    return RunLine(arguments + " /log:\"" + log + "\"", folder);
  }
  long RunLine(const std::string& line, const std::string& folder = "", bool elevated = false) {
    Process p = elevated ? Start(BinPath(kTrayExe), line, folder) : StartUnelevated(BinPath(kTrayExe), line, folder);
    DWORD code = 0;
    bool ended = WaitExit(p, 60000, &code);
    Close(p);
    return ended ? static_cast<long>(code) : -1;
  }
  void MakeRecent() { washt::MakeRecent(env); }
  // Presses the tray program's wash button on its Wash page and answers its question;
  // false when the question did not come or did not go.
  static bool StartTrayWash(const Process& tray, HWND page) {
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(1175, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, 1175)));
    HWND question = WaitMessageBox(tray.pid, kProductTitle, 15000);
    return question && PressButton(question, IDOK) && WaitUntil([&] { return !IsWindow(question); }, 5000);
  }
  bool LogHas(const std::string& line) {
    for (const std::string& l : FileLines(log))
      if (l == line) return true;
    return false;
  }
  std::string Log() {
    std::string all;
    for (const std::string& l : FileLines(log)) all += l + "\n";
    return all;
  }
  washt::WashEnvironment env;
  std::string log;
};

TEST_F(Autowash, NothingTickedIsCodeTwo) {
  EXPECT_EQ(2, Run("/autowash"));
  EXPECT_TRUE(LogHas("no wash: no item is ticked")) << Log();
  EXPECT_TRUE(LogHas("exit code: 2")) << Log();
}

// The ticked items washed, without a question; the log counts what each removed.
TEST_F(Autowash, AWashThatRemovesEverythingIsCodeZero) {
  Set("ClearRecent", 1);
  Set("ClearIE", 1);
  MakeRecent();
  WriteString(HKEY_CURRENT_USER, kTypedUrls, "url1", "http://example.com/");
  EXPECT_EQ(0, Run("/autowash"));
  EXPECT_FALSE(FileExists(env.recent + "a.lnk"));
  EXPECT_FALSE(FileExists(env.recent + "sub"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kTypedUrls, "url1"));
  EXPECT_TRUE(LogHas("Recent documents: 3 files deleted, 300 bytes freed, 0 scheduled for the next restart, 0 left, "
                     "1 registry entries removed"))
      << Log();
  EXPECT_TRUE(LogHas("Typed addresses: 0 files deleted, 0 bytes freed, 0 scheduled for the next restart, 0 left, "
                     "1 registry entries removed"))
      << Log();
  EXPECT_TRUE(LogHas("exit code: 0")) << Log();
}

// A file that stays (held open, no restart-time deletion) is named in the log: code 1.
TEST_F(Autowash, AFileLeftIsCodeOneAndNamed) {
  Set("ClearRecent", 1);
  Set("QueueForNextRestart", 0);
  MakeRecent();
  std::string held = env.recent + "held.lnk";
  WriteFile(held, "held");
  HANDLE lock = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  EXPECT_EQ(1, Run("/autowash"));
  CloseHandle(lock);
  EXPECT_TRUE(LogHas("left: " + held)) << Log();
  EXPECT_TRUE(LogHas("exit code: 1")) << Log();
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << "the rest is washed";
}

// A file in use set up for deletion at the next restart: washed as far as it can be
// today, so the run is code 1, and the log counts it where it belongs.
TEST_F(Autowash, AFileSetUpForTheRestartIsCountedAndIsCodeOne) {
  Set("ClearRecent", 1);
  Set("QueueForNextRestart", 1);
  MakeRecent();
  std::string held = env.recent + "held.lnk";
  WriteFile(held, "held");  // 4 bytes more, freed only at the restart
  std::vector<BYTE> pending;
  DWORD type = 0;
  constexpr const char* kSession = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  bool hadPending = ReadRaw(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations", &pending, &type);
  HANDLE lock = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  EXPECT_EQ(1, Run("/autowash"));
  CloseHandle(lock);
  std::vector<BYTE> now;
  EXPECT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations", &now, &type));
  EXPECT_NE(std::string::npos, std::string(now.begin(), now.end()).find("held.lnk")) << "on the restart list";
  if (hadPending) {
    WriteRaw(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations", type, pending.data(),
             static_cast<DWORD>(pending.size()));
  } else {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSession, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "PendingFileRenameOperations");
      RegCloseKey(key);
    }
  }
  EXPECT_TRUE(LogHas("Recent documents: 3 files deleted, 300 bytes freed, 1 scheduled for the next restart, 0 left, "
                     "1 registry entries removed"))
      << Log();
  EXPECT_TRUE(LogHas("exit code: 1")) << Log();
}

// Each switch is a whole argument: a log named "preview.log" (here with forward
// slashes, as the system also reads them) does not turn the wash into a preview.
TEST_F(Autowash, PreviewInsideTheLogPathIsNoSwitch) {
  Set("ClearRecent", 1);
  MakeRecent();
  std::string slashed = env.scratch + "preview.log";
  for (char& c : slashed)
    if (c == '\\') c = '/';
  log = env.scratch + "preview.log";
  EXPECT_EQ(0, RunLine("/autowash /log:" + slashed));
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << Log();
  EXPECT_TRUE(LogHas("exit code: 0")) << Log();
  EXPECT_EQ(std::string::npos, Log().find("would be removed")) << Log();
}

// TMP and TEMP "victim", started in the folder that holds the user's "victim":
// the TEMP item leaves it alone and says why, and the run is code 1.
TEST_F(Autowash, ATempThatIsNotAFullPathIsLeftAloneAndIsCodeOne) {
  Set("ClearTemp", 1);
  std::string victim = env.scratch + "victim\\";
  CreateDirectoryA(victim.c_str(), nullptr);
  ASSERT_TRUE(WriteFile(victim + "report.doc", "mine"));
  SetEnvironmentVariableA("TMP", "victim");
  SetEnvironmentVariableA("TEMP", "victim");
  long code = Run("/autowash", env.scratch);
  EXPECT_TRUE(FileExists(victim + "report.doc"));
  EXPECT_EQ(1, code);
  EXPECT_TRUE(LogHas("left alone: " + victim + " (TMP or TEMP is not a full path)")) << Log();
}

// A folder the walk cannot open (held without sharing): named in the preview's log
// as out of reach, then left by the wash, named, and code 1; the rest is washed.
TEST_F(Autowash, AFolderItCannotOpenIsNamedAndIsCodeOne) {
  Set("ClearRecent", 1);
  MakeRecent();
  HANDLE held = CreateFileA((env.recent + "sub").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(0, Run("/autowash /preview"));
  EXPECT_TRUE(LogHas("Recent documents: 2 files, 200 bytes, 1 registry entries would be removed; 1 could not be reached"))
      << Log();
  EXPECT_TRUE(LogHas("left: " + env.recent + "sub")) << Log();
  EXPECT_EQ(1, Run("/autowash"));
  CloseHandle(held);
  EXPECT_TRUE(LogHas("left: " + env.recent + "sub")) << Log();
  EXPECT_TRUE(LogHas("exit code: 1")) << Log();
  EXPECT_FALSE(FileExists(env.recent + "a.lnk"));
  EXPECT_TRUE(FileExists(env.recent + "sub\\c.lnk"));
}

// Never two washes at once: while another holds the wash, nothing runs.
TEST_F(Autowash, AWashAlreadyRunningIsCodeTwo) {
  Set("ClearRecent", 1);
  MakeRecent();
  HANDLE other = CreateMutexA(nullptr, TRUE, kWashLock);
  ASSERT_NE(nullptr, other);
  EXPECT_EQ(2, Run("/autowash"));
  EXPECT_TRUE(FileExists(env.recent + "a.lnk"));
  EXPECT_TRUE(LogHas("no wash: another wash is running")) << Log();
  ReleaseMutex(other);
  CloseHandle(other);
}

// Beside the tray program: while it is idle an unattended wash runs; while a wash of
// the tray program holds the wash (its summary is shown before it lets go: a wash
// long by construction), none runs and it is code 2; once the summary is closed,
// the next one runs again.
TEST_F(Autowash, BesideTheTrayProgramItRunsOnlyWhenTheTrayIsNotWashing) {
  Set("ClearRecent", 1);
  Process tray;
  HWND main = nullptr, sheet = nullptr;
  HWND page = OpenSettingsPage(&tray, &main, &sheet, 2);
  ASSERT_NE(nullptr, page);
  MakeRecent();
  EXPECT_EQ(0, Run("/autowash")) << Log();
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << "washed beside the idle tray program";

  ASSERT_TRUE(StartTrayWash(tray, page));
  HWND summary = WaitMessageBox(tray.pid, kProductTitle, 15000);
  ASSERT_NE(nullptr, summary);
  EXPECT_EQ(0u, MessageBoxText(summary).find("Wash finished")) << MessageBoxText(summary);
  MakeRecent();
  DeleteFileA(log.c_str());
  EXPECT_EQ(2, Run("/autowash"));
  EXPECT_TRUE(LogHas("no wash: another wash is running")) << Log();
  EXPECT_TRUE(FileExists(env.recent + "a.lnk")) << "nothing washed beside the tray's wash";

  PressButton(summary, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(summary); }, 5000));
  DeleteFileA(log.c_str());
  EXPECT_EQ(0, Run("/autowash")) << Log();
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << "the tray's wash let go";
  EndTray(tray, main);
}

// ---- Never two washes at once, with the other wash caught at work: it is held
// inside its History item (it has started the control panel) by suspending it, so
// it keeps the wash for as long as the case needs, whatever the machine's speed.

// True while another process holds the wash.
bool WashHeldElsewhere() {
  HANDLE lock = CreateMutexA(nullptr, FALSE, kWashLock);
  if (!lock) return false;
  DWORD taken = WaitForSingleObject(lock, 0);
  if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) ReleaseMutex(lock);
  CloseHandle(lock);
  return taken == WAIT_TIMEOUT;
}

class AutowashBesideAWash : public Autowash {
 protected:
  // Waits until the wash of that process has started the control panel, then holds
  // it there; false when it never came or could not be held.
  bool HoldAtWork(DWORD pid) {
    auto started = [&] {
      std::vector<std::string> calls = env.PanelCalls();
      return std::find(calls.begin(), calls.end(), "start") != calls.end();
    };
    held = WaitUntil(started, 30000) ? pid : 0;
    return held && SuspendProcess(held, true) > 0;
  }
  void LetGo() {
    if (held) SuspendProcess(held, false);
    held = 0;
  }
  void TearDown() override {
    LetGo();
    Autowash::TearDown();
  }
  // The second wash, started while the first is held: code 2, and nothing washed.
  void ExpectNoSecondWash() {
    EXPECT_TRUE(WashHeldElsewhere()) << "the first wash holds the wash";
    MakeRecent();
    DeleteFileA(log.c_str());
    EXPECT_EQ(2, Run("/autowash"));
    EXPECT_TRUE(LogHas("no wash: another wash is running")) << Log();
    EXPECT_TRUE(FileExists(env.recent + "a.lnk")) << "nothing washed beside the other wash";
    EXPECT_TRUE(FileExists(env.recent + "sub\\c.lnk"));
  }
  DWORD held = 0;
};

TEST_F(AutowashBesideAWash, TwoAtOnceTheSecondWashesNothingAndIsCodeTwo) {
  Set("ClearRecent", 1);
  Set("ClearIEHistory", 1);
  std::string firstLog = env.scratch + "first log.txt";
  Process first = StartUnelevated(BinPath(kTrayExe), "/autowash /log:\"" + firstLog + "\"");
  ASSERT_NE(nullptr, first.process);
  if (HoldAtWork(first.pid)) ExpectNoSecondWash();
  else ADD_FAILURE() << "the first wash was not caught at work";
  LetGo();
  DWORD code = 99;
  EXPECT_TRUE(WaitExit(first, 60000, &code));
  Close(first);
  EXPECT_EQ(0u, code) << "the first wash went on and finished";
  DeleteFileA(log.c_str());
  EXPECT_EQ(0, Run("/autowash")) << Log();
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << "the first wash let go";
}

TEST_F(AutowashBesideAWash, WhileTheTrayWashesItWashesNothingAndIsCodeTwo) {
  Set("ClearRecent", 1);
  Set("ClearIEHistory", 1);
  Process tray;
  HWND main = nullptr, sheet = nullptr;
  HWND page = OpenSettingsPage(&tray, &main, &sheet, 2);
  ASSERT_NE(nullptr, page);
  bool started = StartTrayWash(tray, page);
  EXPECT_TRUE(started);
  if (started && HoldAtWork(tray.pid)) ExpectNoSecondWash();
  else ADD_FAILURE() << "the tray's wash was not caught at work";
  LetGo();
  HWND summary = WaitMessageBox(tray.pid, kProductTitle, 30000);
  EXPECT_NE(nullptr, summary);
  if (summary) {
    EXPECT_EQ(0u, MessageBoxText(summary).find("Wash finished")) << MessageBoxText(summary);
    PressButton(summary, IDOK);
  }
  EndTray(tray, main);
}

// ---- The log is never written through a link or into a file that is not a wash
// log; a log that is not written is code 3, and the wash has run all the same.

constexpr const char* kWashLogText = "Quorvane Webdeck wash, 2020-01-02 03:04:05\r\nexit code: 0\r\n";

// A second name of another wash log (a hard link): that file keeps its bytes.
TEST_F(Autowash, AHardLinkAtTheLogPathIsLeftAsItIsAndIsCodeThree) {
  Set("ClearRecent", 1);
  MakeRecent();
  std::string other = env.scratch + "other.log", text;
  ASSERT_TRUE(WriteFile(other, kWashLogText));
  ASSERT_TRUE(CreateHardLinkA(log.c_str(), other.c_str(), nullptr));
  EXPECT_EQ(3, Run("/autowash"));
  EXPECT_TRUE(ReadFile(other, &text));
  EXPECT_EQ(kWashLogText, text);
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << "the wash ran all the same";
}

// C:\qvloglink\wash.log is a Unix link to target.log there (fixture qvloglink):
// while target.log is missing it is not made, once there it keeps its bytes.
TEST_F(Autowash, ASymbolicLinkAtTheLogPathIsLeftAsItIsAndIsCodeThree) {
  std::string target = "C:\\qvloglink\\target.log", text;
  log = "C:\\qvloglink\\wash.log";
  EXPECT_EQ(3, Run("/autowash"));
  EXPECT_FALSE(FileExists(target));
  ASSERT_TRUE(WriteFile(target, kWashLogText));
  EXPECT_EQ(3, Run("/autowash"));
  EXPECT_TRUE(ReadFile(target, &text));
  EXPECT_EQ(kWashLogText, text);
}

TEST_F(Autowash, AFileThatIsNotAWashLogIsLeftAsItIsAndIsCodeThree) {
  for (const char* mine : {"my notes\r\n", "", "Quorvane Webdeck washing notes\r\n"}) {
    std::string text;
    ASSERT_TRUE(WriteFile(log, mine));
    EXPECT_EQ(3, Run("/autowash")) << mine;
    EXPECT_TRUE(ReadFile(log, &text));
    EXPECT_EQ(mine, text);
  }
}

TEST_F(Autowash, AWashLogIsAppendedTo) {
  ASSERT_TRUE(WriteFile(log, kWashLogText));
  Set("ClearRecent", 1);
  MakeRecent();
  EXPECT_EQ(0, Run("/autowash /preview"));
  EXPECT_EQ(0, Run("/autowash"));
  std::string text;
  EXPECT_TRUE(ReadFile(log, &text));
  EXPECT_EQ(kWashLogText, text.substr(0, strlen(kWashLogText)));
  EXPECT_TRUE(LogHas("Recent documents: 3 files, 300 bytes, 1 registry entries would be removed")) << Log();
  EXPECT_TRUE(LogHas("Recent documents: 3 files deleted, 300 bytes freed, 0 scheduled for the next restart, 0 left, "
                     "1 registry entries removed"))
      << Log();
}

// Elevated (as Wine starts every program), the log's folder must be closed to all
// but administrators; Wine gives every folder a DACL that lets its user write.
TEST_F(Autowash, AnElevatedRunRefusesALogFolderOthersCanWrite) {
  Set("ClearRecent", 1);
  MakeRecent();
  EXPECT_EQ(3, RunLine("/autowash /log:\"" + log + "\"", "", true));
  EXPECT_FALSE(FileExists(log));
  EXPECT_FALSE(FileExists(env.recent + "a.lnk")) << "the wash ran all the same";
}

// The preview changes nothing, and what it finds is what the wash then removes.
TEST_F(Autowash, APreviewChangesNothingAndFindsWhatTheWashRemoves) {
  for (const char* s : {"ClearRecent", "ClearIE", "ClearRun"}) Set(s, 1);
  MakeRecent();
  WriteString(HKEY_CURRENT_USER, kTypedUrls, "url1", "http://example.com/");
  WriteString(HKEY_CURRENT_USER, kRunMru, "a", "notepad");
  std::set<std::string> before = Snapshot(env.recent, {kTypedUrls, kRunMru, kRecentDocs});
  EXPECT_EQ(0, Run("/autowash /preview"));
  EXPECT_EQ(before, Snapshot(env.recent, {kTypedUrls, kRunMru, kRecentDocs})) << "the preview changed something";
  std::map<std::string, std::string> found;
  for (const std::string& line : FileLines(log)) {
    size_t colon = line.find(": ");
    if (colon != std::string::npos && line.find("would be removed") != std::string::npos)
      found[line.substr(0, colon)] = line.substr(colon + 2);
  }
  EXPECT_EQ("3 files, 300 bytes, 1 registry entries would be removed", found["Recent documents"]) << Log();
  EXPECT_EQ("0 files, 0 bytes, 1 registry entries would be removed", found["Typed addresses"]) << Log();
  EXPECT_EQ("0 files, 0 bytes, 1 registry entries would be removed", found["Start-Run history"]) << Log();
  EXPECT_EQ(0, Run("/autowash"));
  EXPECT_TRUE(LogHas("Recent documents: 3 files deleted, 300 bytes freed, 0 scheduled for the next restart, 0 left, "
                     "1 registry entries removed"))
      << Log();
  EXPECT_TRUE(LogHas("Start-Run history: 0 files deleted, 0 bytes freed, 0 scheduled for the next restart, 0 left, "
                     "1 registry entries removed"))
      << Log();
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunMru, "a"));
}


// ---- The cleaning rules in an unattended wash.

class AutowashRules : public Autowash {
 protected:
  void SetUp() override {
    Autowash::SetUp();
    profiles::Make(&browsers, false);  // Chrome and Firefox, no Edge
  }
  void TearDown() override {
    if (standIn.process) Kill(standIn);
    Close(standIn);
    profiles::Remove(browsers);
    Autowash::TearDown();
  }
  void Tick(const char* prefix) {
    for (const std::string& rule : washt::ShippedRuleNames())
      if (rule.find(prefix) == 0) washt::SetRuleTick(rule, true);
  }
  // The log's line for a rule, from the colon on.
  std::string RuleLine(const std::string& rule) {
    for (const std::string& l : FileLines(log))
      if (l.find(rule + ": ") == 0) return l.substr(rule.size() + 2);
    return "<no line for " + rule + ">";
  }
  // The restart list as it stands (Wine lets any process write it).
  static std::string RestartList() {
    HKEY key;
    std::string value = "<none>";
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key))
      return value;
    std::vector<char> data(1 << 16);
    DWORD size = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS)
      value.assign(data.data(), size);
    RegCloseKey(key);
    return value;
  }
  profiles::Profiles browsers;
  Process standIn;
};

// Every rule of the two browsers ticked: their traces go, the passwords, bookmarks,
// extensions and settings stay byte for byte, Firefox's history goes row by row,
// and each rule has its line in the log; Edge, not installed, has none.
TEST_F(AutowashRules, TheTickedRulesWashTheBrowsersAndLeaveWhatIsTheUsers) {
  Tick("Google Chrome - ");
  Tick("Mozilla Firefox - ");
  EXPECT_EQ(0, Run("/autowash"));
  EXPECT_EQ(std::vector<std::string>{}, profiles::TracesLeft(browsers));
  EXPECT_EQ(std::vector<std::string>{}, profiles::KeepsChanged(browsers));
  EXPECT_EQ(0u, RuleLine("Google Chrome - History").find("8 files deleted, ")) << Log();
  EXPECT_EQ("0 files deleted, 0 bytes freed, 0 scheduled for the next restart, 0 left, 0 registry entries removed; "
            "8 history visits removed",
            RuleLine("Mozilla Firefox - History"))
      << Log();
  EXPECT_EQ(std::string::npos, Log().find("Microsoft Edge")) << Log();
  EXPECT_TRUE(LogHas("exit code: 0")) << Log();
}

// A program named like the browser runs: nothing of its profile changes, nothing
// of it goes on the restart list, the log says why once, the exit code is 1; the
// other browser is washed all the same.
TEST_F(AutowashRules, ARunningBrowserIsLeftAloneAndTheCodeIsOne) {
  std::string scratch = TempFolder();
  standIn = profiles::StartNamedLike(scratch, "chrome.exe");
  ASSERT_TRUE(standIn.process);
  Tick("Google Chrome - ");
  Tick("Mozilla Firefox - History");
  std::map<std::string, std::string> chrome = profiles::Contents(browsers.local + "Google\\");
  std::string restartList = RestartList();
  EXPECT_EQ(1, Run("/autowash"));
  EXPECT_TRUE(IsRunning("chrome.exe")) << "the stand-in ended during the wash";
  EXPECT_EQ(chrome, profiles::Contents(browsers.local + "Google\\")) << "the running browser's profile changed";
  EXPECT_EQ(restartList, RestartList());
  std::vector<std::string> lines = FileLines(log);
  EXPECT_EQ(1, std::count(lines.begin(), lines.end(), "left alone: Google Chrome (the program is running)")) << Log();
  EXPECT_EQ("0|\n", placest::Dump(browsers.places, placest::kVisitCount)) << "Firefox is washed all the same";
  EXPECT_EQ(0u, RuleLine("Mozilla Firefox - History").find("0 files deleted")) << Log();
  EXPECT_TRUE(LogHas("exit code: 1")) << Log();
  Kill(standIn);
  Close(standIn);
  RemoveTree(scratch);
}

}  // namespace
