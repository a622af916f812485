// setup's install steps: the copy with its percentages and locked files (run in a
// child copy of this program, so that its own folder is the setup folder), the
// registration, the shortcuts and program starts, and the cleanup batch.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/cleanupbatch.h"
#include "common/folderacl.h"
#include "common/paths.h"
#include "common/installrecord.h"
#include "common/workfolder.h"
#include "setup/setup.h"
#include "setup_support.h"

using setupt::Lines;
using setupt::RemoveTree;
using setupt::SetupRun;
using setupt::NoWorkFolderLeft;
using setupt::WorkParent;

namespace {

std::string Env(const char* name) {
  char value[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA(name, value, MAX_PATH);
  return n && n < MAX_PATH ? value : "";
}

// ---- The copy, in a child: this program copied into a setup folder runs
// CopySetupFiles with a stand-in progress page whose status texts it records.

std::vector<std::string> g_statuses;
WNDPROC g_staticProc;
LRESULT CALLBACK RecordingStatic(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SETTEXT) g_statuses.push_back(reinterpret_cast<const char*>(lp));
  return CallWindowProcA(g_staticProc, w, m, wp, lp);
}

TEST(SetupCopyChild, Run) {
  std::string install = Env("QV_CHILD_INSTALL");
  if (install.empty()) GTEST_SKIP() << "run by the copy tests in a child process";
  LibSetProductInfo(GetModuleHandleA(nullptr), kProductTitle, "qv-Webdeck", "qvToolbarClass", "Toolbar", "Toolbar",
                    kSettingsKey, "Quorvane.hlp", "toolbar.htm", "qvtoolbar.exe", 0, 0, 0, 0, 85, 71, "", "unused", 1);
  LibInitialize(0, 49);
  snprintf(InstallFolder, sizeof InstallFolder, "%s", install.c_str());
  SilentMode = Env("QV_CHILD_SILENT") == "1";
  // An update of an installation from before the record: the files there are setup's.
  LibWriteSetting(HKEY_LOCAL_MACHINE, "InstallPath", install.c_str());
  DeleteInstallRecord();
  ASSERT_TRUE(ReadPackageList());
  ASSERT_EQ(kFolderReady, MakeInstallFolder());
  ProgressPage = CreateWindowA("STATIC", "page", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND status = CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, ProgressPage,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS)), nullptr, nullptr);
  g_staticProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingStatic)));
  CopySetupFiles();
  std::string log;
  for (const std::string& s : g_statuses) log += s + "\r\n";
  log += LogoffNeeded ? "logoff\r\n" : "no logoff\r\n";
  qvt::WriteFile(Env("QV_CHILD_LOG"), log);
}

class SetupCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    source = qvt::TempFolder();
    target = qvt::TempFolder();
    log = qvt::TempFolder() + "statuses.txt";
    for (const char* file : {"setup_steps_tests.exe", "Quorvane.dll"})
      ASSERT_TRUE(CopyFileA(qvt::BinPath(file).c_str(), (source + file).c_str(), FALSE));
    List({});
  }
  void TearDown() override {
    RemoveTree(source);
    RemoveTree(target);
    qvt::DeleteTree(HKEY_LOCAL_MACHINE, setupt::kFamilyKey);
  }
  // The package's list: the two files above and these.
  void List(std::initializer_list<std::string> more) {
    std::string text = "setup_steps_tests.exe\r\nQuorvane.dll\r\n";
    for (const std::string& name : more) text += name + "\r\n";
    ASSERT_TRUE(qvt::WriteFile(source + "setup.lst", text));
  }
  // Runs the copy in the child; the process (still running when wait is false).
  qvt::Process Child(bool silent = false) {
    SetEnvironmentVariableA("QV_CHILD_INSTALL", target.c_str());
    SetEnvironmentVariableA("QV_CHILD_LOG", log.c_str());
    SetEnvironmentVariableA("QV_CHILD_SILENT", silent ? "1" : "0");
    qvt::Process p = qvt::Start(source + "setup_steps_tests.exe", "--gtest_filter=SetupCopyChild.Run");
    SetEnvironmentVariableA("QV_CHILD_INSTALL", nullptr);
    return p;
  }
  std::vector<std::string> Statuses() { return Lines(log); }
  std::string source, target, log;
};

// Only what the package lists is copied: a file lying beside it that it does not
// list, and setup.exe itself, never reach the install folder.
TEST_F(SetupCopy, ThirtyFilesCountUpByFourAndStopAtOneHundred) {
  for (int i = 0; i < 28; ++i) qvt::WriteFile(source + "file" + std::to_string(i) + ".dat", "x");
  List({"file0.dat", "file1.dat", "file2.dat", "file3.dat", "file4.dat", "file5.dat", "file6.dat", "file7.dat",
        "file8.dat", "file9.dat", "file10.dat", "file11.dat", "file12.dat", "file13.dat", "file14.dat", "file15.dat",
        "file16.dat", "file17.dat", "file18.dat", "file19.dat", "file20.dat", "file21.dat", "file22.dat", "file23.dat",
        "file24.dat", "file25.dat", "file26.dat", "file27.dat", "setup.exe"});
  qvt::WriteFile(source + "holiday.jpg", "not the package's");
  qvt::WriteFile(source + "setup.exe", "MZ");
  CreateDirectoryA((source + "sub").c_str(), nullptr);
  qvt::WriteFile(source + "sub\\inner.dat", "i");
  qvt::Process child = Child();
  ASSERT_TRUE(qvt::WaitExit(child, 30000));
  qvt::Close(child);
  std::vector<std::string> statuses = Statuses();
  ASSERT_EQ(31u, statuses.size());
  for (int i = 0; i < 30; ++i) {
    int expected = 4 * (i + 1) > 100 ? 100 : 4 * (i + 1);
    EXPECT_EQ("Copying Files: " + std::to_string(expected) + "%", statuses[i]);
  }
  EXPECT_EQ("no logoff", statuses[30]);
  EXPECT_TRUE(qvt::FileExists(target + "file27.dat"));
  EXPECT_FALSE(qvt::FileExists(target + "setup.exe"));
  EXPECT_FALSE(qvt::FileExists(target + "sub"));
  EXPECT_FALSE(qvt::FileExists(target + "holiday.jpg"));
  EXPECT_FALSE(qvt::FileExists(target + "setup.lst"));
}

bool Pending(const std::string& path) {
  std::vector<BYTE> raw;
  DWORD type = 0;
  if (!qvt::ReadRaw(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                    "PendingFileRenameOperations", &raw, &type))
    return false;
  std::string all(raw.begin(), raw.end()), want = path;
  // Every string of the list, not only the first (CharLowerA stops at a zero).
  CharLowerBuffA(&all[0], static_cast<DWORD>(all.size()));
  CharLowerA(&want[0]);
  return all.find(want) != std::string::npos;
}

// A module in use is moved aside (past an older moved-aside file), replaced, and
// the moved one is deleted at the next restart; the note about logging off follows.
TEST_F(SetupCopy, AModuleInUseIsMovedAsideReplacedAndScheduled) {
  List({"qvtoolbar.dll"});
  ASSERT_TRUE(CopyFileA(qvt::BinPath("Quorvane.dll").c_str(), (source + "qvtoolbar.dll").c_str(), FALSE));
  ASSERT_TRUE(qvt::WriteFile(target + "qvtoolbar.dll", std::string(4096, 'o')));
  ASSERT_TRUE(qvt::WriteFile(target + "qvtoolbar.dll.delete_on_reboot", "older"));
  HANDLE inUse = CreateFileA((target + "qvtoolbar.dll").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, inUse);
  qvt::Process child = Child();
  EXPECT_TRUE(qvt::WaitExit(child, 30000));
  qvt::Close(child);
  CloseHandle(inUse);
  std::string copied, source;
  qvt::ReadFile(target + "qvtoolbar.dll", &copied);
  qvt::ReadFile(this->source + "qvtoolbar.dll", &source);
  EXPECT_EQ(source, copied);
  std::string aside;
  EXPECT_TRUE(qvt::ReadFile(target + "qvtoolbar.dll.delete_on_reboot2", &aside));
  EXPECT_EQ(std::string(4096, 'o'), aside);
  EXPECT_TRUE(Pending(target + "qvtoolbar.dll.delete_on_reboot2"));
  EXPECT_EQ("logoff", Statuses().back());
}

// A locked file that cannot even be moved: after about five seconds the question;
// Cancel leaves the old file.
TEST_F(SetupCopy, AFileThatStaysLockedIsAskedAboutAndCancelKeepsIt) {
  List({"notes.txt"});
  ASSERT_TRUE(qvt::WriteFile(source + "notes.txt", "new"));
  ASSERT_TRUE(qvt::WriteFile(target + "notes.txt", "old"));
  HANDLE held = CreateFileA((target + "notes.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  DWORD start = GetTickCount();
  qvt::Process child = Child();
  HWND box = qvt::WaitMessageBox(child.pid, kProductTitle, 20000);
  ASSERT_NE(nullptr, box);
  EXPECT_GE(GetTickCount() - start, 4000u);
  EXPECT_EQ("Cannot copy notes.txt.\r\n\r\nPlease close the application using it. Or, install into a different folder. "
            "\r\n\r\nPress OK to try copying again.",
            qvt::MessageBoxText(box));
  qvt::PressButton(box, IDCANCEL);
  EXPECT_TRUE(qvt::WaitExit(child, 10000));
  qvt::Close(child);
  CloseHandle(held);
  std::string text;
  qvt::ReadFile(target + "notes.txt", &text);
  EXPECT_EQ("old", text);
}

// Given up after it was moved aside (its new copy cannot be read): the old file
// goes back under its own name, so the installation is not left without it.
TEST_F(SetupCopy, AFileGivenUpAfterTheMoveIsPutBack) {
  List({"data.dll"});
  ASSERT_TRUE(qvt::WriteFile(source + "data.dll", "new"));
  ASSERT_TRUE(qvt::WriteFile(target + "data.dll", "old"));
  HANDLE unreadable = CreateFileA((source + "data.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE inUse = CreateFileA((target + "data.dll").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, unreadable);
  ASSERT_NE(INVALID_HANDLE_VALUE, inUse);
  qvt::Process child = Child();
  HWND box = qvt::WaitMessageBox(child.pid, kProductTitle, 20000);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(0u, qvt::MessageBoxText(box).find("Cannot copy data.dll.\r\n\r\nClick OK to let setup close"));
  qvt::PressButton(box, IDCANCEL);
  EXPECT_TRUE(qvt::WaitExit(child, 10000));
  qvt::Close(child);
  CloseHandle(unreadable);
  CloseHandle(inUse);
  std::string text;
  EXPECT_TRUE(qvt::ReadFile(target + "data.dll", &text));
  EXPECT_EQ("old", text);
  EXPECT_FALSE(qvt::FileExists(target + "data.dll.delete_on_reboot"));
}

TEST_F(SetupCopy, SilentModeGivesALockedFileUpWithoutAsking) {
  List({"notes.txt"});
  ASSERT_TRUE(qvt::WriteFile(source + "notes.txt", "new"));
  ASSERT_TRUE(qvt::WriteFile(target + "notes.txt", "old"));
  HANDLE held = CreateFileA((target + "notes.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  qvt::Process child = Child(true);
  EXPECT_TRUE(qvt::WaitExit(child, 30000)) << "given up after its rounds";
  EXPECT_EQ(nullptr, qvt::WaitMessageBox(child.pid, nullptr, 0));
  qvt::Close(child);
  CloseHandle(held);
  std::string text;
  qvt::ReadFile(target + "notes.txt", &text);
  EXPECT_EQ("old", text);
}

// ---- The package list and the record of what setup wrote.

// One plain file name a line, blanks and CR around it dropped; a line naming
// anything but a file beside setup (a separator, a drive, "..", a wildcard) refuses
// the whole list.
TEST(PackageList, PlainNamesOnlyOrNothing) {
  std::vector<std::string> names;
  ASSERT_TRUE(ParsePackageList("uninstall.exe\r\n  Quorvane.dll \r\n\r\nCommon_Lang_1.txt", &names));
  EXPECT_EQ((std::vector<std::string>{"uninstall.exe", "Quorvane.dll", "Common_Lang_1.txt"}), names);
  for (const char* bad : {"..\\victim.exe", "sub/x.dll", "C:x.dll", "..", "*.dll", "a|b", "x\r\n.\r\n"})
    EXPECT_FALSE(ParsePackageList(bad, &names)) << bad;
  EXPECT_TRUE(ParsePackageList("", &names));
  EXPECT_TRUE(names.empty());
}

// The record reads back as written, a damaged line is passed over rather than
// taken for a file, and the SHA-256 is that of the bytes read through the handle.
TEST(InstallRecord, ReadsBackWhatWasWrittenAndHashesTheBytes) {
  std::string file = qvt::TempFolder() + "abc.txt";
  ASSERT_TRUE(qvt::WriteFile(file, "abc"));
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  InstalledFile entry{"abc.txt", 0, ""};
  ASSERT_TRUE(FileFingerprint(h, &entry.size, &entry.hash));
  CloseHandle(h);
  EXPECT_EQ(3u, entry.size);
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", entry.hash);
  ASSERT_TRUE(WriteInstallRecord({entry, {"Quorvane.dll", 1234567890123ull, std::string(64, 'f')}}));
  std::vector<InstalledFile> read;
  ASSERT_TRUE(ReadInstallRecord(&read));
  ASSERT_EQ(2u, read.size());
  EXPECT_EQ(1234567890123ull, read[1].size);
  ASSERT_NE(nullptr, FindRecorded(read, "QUORVANE.DLL"));
  EXPECT_EQ(nullptr, FindRecorded(read, "qvtoolbar.exe"));
  const char damaged[] = "ok.txt|3|ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\0"
                         "..\\up.txt|3|ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\0"
                         "short.txt|3|abc\0nosize.txt||" "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\0\0";
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, setupt::kFamilyKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                           &key, nullptr));
  RegSetValueExA(key, "InstalledFiles", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(damaged), sizeof damaged);
  RegCloseKey(key);
  ASSERT_TRUE(ReadInstallRecord(&read));
  ASSERT_EQ(1u, read.size());
  EXPECT_EQ("ok.txt", read[0].name);
  DeleteInstallRecord();
  EXPECT_FALSE(ReadInstallRecord(&read)) << "no record: an installation from before it";
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, setupt::kFamilyKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
  RemoveTree(file.substr(0, file.size() - strlen("abc.txt")));
}

// ---- Whose settings setup writes.

bool AnotherUser() { return false; }

// The language chosen on the options page of a setup started in this process; the
// user's own value and the machine's read back.
struct LanguageChoice {
  DWORD user = 0xDEAD, machine = 0xDEAD;
};
LanguageChoice ChooseLanguage(long language) {
  qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
  CommandLineLanguage = language;
  HWND page = CreateWindowA("STATIC", "page", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 200, page,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LANGUAGE)), nullptr, nullptr);
  FillLanguageList(page);
  DestroyWindow(page);
  LanguageChoice read;
  qvt::ReadDword(HKEY_CURRENT_USER, kSettingsKey, "GeneralLanguage", &read.user);
  qvt::ReadDword(HKEY_LOCAL_MACHINE, setupt::kFamilyKey, "GeneralLanguage", &read.machine);
  return read;
}

// Under the name of an administrator given at the elevation prompt, setup writes
// nothing into that account's settings: the language goes to the machine (where
// the program takes it for the user), and the settings are not backed up. Run as
// the signed-in user, it writes the user's own language as well.
TEST(SetupUser, UnderAnotherUsersNameNothingGoesToThatUsersSettings) {
  LibSetProductInfo(GetModuleHandleA(nullptr), kProductTitle, "qv-Webdeck", "qvToolbarClass", "Toolbar", "Toolbar",
                    kSettingsKey, "Quorvane.hlp", "toolbar.htm", "qvtoolbar.exe", 0, 0, 0, 0, 85, 71, "", "unused", 1);
  SetSignedInUserCheck(AnotherUser);
  WritesUserSettings = RunsAsSignedInUser() ? 1 : 0;
  EXPECT_EQ(0, WritesUserSettings);
  LanguageChoice other = ChooseLanguage(5);
  EXPECT_EQ(0xDEADu, other.user) << "nothing in that account's settings";
  EXPECT_EQ(5u, other.machine);
  SettingsNotBackedUp = 0;
  BackUpSettings();
  EXPECT_EQ(1, SettingsNotBackedUp);
  WIN32_FIND_DATAA found;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  HANDLE backup = FindFirstFileA((std::string(temp) + "Quorvane Settings before Setup *").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, backup) << "no backup";
  if (backup != INVALID_HANDLE_VALUE) FindClose(backup);
  SetSignedInUserCheck(nullptr);
  WritesUserSettings = 1;
  LanguageChoice own = ChooseLanguage(6);
  EXPECT_EQ(6u, own.user);
  EXPECT_EQ(6u, own.machine);
  CommandLineLanguage = -1;
  qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, setupt::kFamilyKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");  // when nothing else is left in it
}

// ---- Registration.

std::string Text(HKEY root, const char* key, const char* name) {
  std::string value;
  qvt::ReadString(root, key, name, &value);
  return value;
}

TEST(SetupRegistration, EveryValueIsWrittenAndASecondRunGivesTheSame) {
  SetupRun cleanup;  // removes what the registration wrote
  LibSetProductInfo(GetModuleHandleA(nullptr), kProductTitle, "qv-Webdeck", "qvToolbarClass", "Toolbar", "Toolbar",
                    kSettingsKey, "Quorvane.hlp", "toolbar.htm", "qvtoolbar.exe", 0, 0, 0, 0, 85, 71, "", "unused", 1);
  snprintf(InstallFolder, sizeof InstallFolder, "%s", "C:\\Program Files\\Quorvane");
  ToolCatalogue[kWebdeckTool].selected = 1;
  qvt::WriteString(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0008-5A45-4C54-0040f2b7c15e}\\InProcServer32", nullptr, "old");
  for (int run = 0; run < 2; ++run) {
    qvt::WriteDword(HKEY_CURRENT_USER, "Software\\Quorvane", "DontShowUpdateMsg4", 1);
    RegisterProduct();
    EXPECT_EQ("C:\\Program Files\\Quorvane", Text(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath"));
    const char* uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qvToolbarClass";
    EXPECT_EQ("Quorvane Webdeck", Text(HKEY_LOCAL_MACHINE, uninstall, "DisplayName"));
    EXPECT_EQ("C:\\Program Files\\Quorvane\\uninstall.exe", Text(HKEY_LOCAL_MACHINE, uninstall, "UninstallString"));
    const char* bho = "CLSID\\{00000000-000a-5A45-4C54-0040f2b7c15e}";
    EXPECT_EQ("QV-Toolbar BHO", Text(HKEY_CLASSES_ROOT, bho, nullptr));
    EXPECT_EQ("C:\\Program Files\\Quorvane\\qvtoolbar.dll",
              Text(HKEY_CLASSES_ROOT, "CLSID\\{00000000-000b-5A45-4C54-0040f2b7c15e}\\InProcServer32", nullptr));
    EXPECT_EQ("Apartment", Text(HKEY_CLASSES_ROOT, (std::string(bho) + "\\InProcServer32").c_str(), "ThreadingModel"));
    EXPECT_EQ("QV-Toolbar", Text(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                                 "{00000000-000b-5A45-4C54-0040f2b7c15e}"));
    EXPECT_EQ("ZeltSettings", Text(HKEY_CLASSES_ROOT, ".qvg", nullptr));
    EXPECT_EQ("Quorvane Settings", Text(HKEY_CLASSES_ROOT, "ZeltSettings", nullptr));
    EXPECT_EQ("C:\\Program Files\\Quorvane\\Quorvane.dll,0", Text(HKEY_CLASSES_ROOT, "ZeltSettings\\DefaultIcon", nullptr));
    EXPECT_EQ("open", Text(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell", nullptr));
    EXPECT_EQ("&Import Settings", Text(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\open", nullptr));
    // The program path quoted: the folder holds a blank.
    EXPECT_EQ("\"C:\\Program Files\\Quorvane\\qvtoolbar.exe\" \"%1\" %*",
              Text(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\open\\command", nullptr));
    EXPECT_EQ("&Edit", Text(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\edit", nullptr));
    EXPECT_EQ("NOTEPAD.EXE \"%1\"", Text(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\edit\\command", nullptr));
    EXPECT_EQ("C:\\Program Files\\Quorvane", Text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\Help", "helpComplete.chm"));
    EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, "Software\\Quorvane", "DontShowUpdateMsg4"));
    HKEY old;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0008-5A45-4C54-0040f2b7c15e}", 0,
                                           KEY_READ, &old));
  }
}

// ---- Shortcuts and program starts, through a real setup run.

TEST(SetupShortcuts, TheGroupItsLinksAndTheStarterCalls) {
  SetupRun run;
  char programs[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE);
  std::string group = std::string(programs) + "\\Quorvane Webdeck";
  // An Explorer window on the old group, and an old group with a stray file.
  CreateDirectoryA(group.c_str(), nullptr);
  qvt::WriteFile(group + "\\old.txt", "old");
  HWND explorer = CreateWindowA("STATIC", group.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  run.Start("/silent /nostart");
  EXPECT_TRUE(run.Ends(30000));
  qvt::WaitUntil([&] { return !IsWindow(explorer); }, 3000);
  EXPECT_FALSE(IsWindow(explorer)) << "closed before its group went";
  EXPECT_FALSE(qvt::FileExists(group + "\\old.txt"));
  EXPECT_TRUE(qvt::FileExists(group + "\\Webdeck for IE, download pictures, Boss-Key.lnk"));
  EXPECT_TRUE(qvt::FileExists(group + "\\zz Uninstall Quorvane Webdeck.lnk"));
  EXPECT_FALSE(qvt::FileExists(group + "\\Quorvane Online Help.lnk")) << "its target is not shipped";
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  bool explorerStarted = false, stopped = false;
  // The helper writes its log as it gets each request, which may be after setup ended.
  qvt::WaitUntil(
      [&] {
        for (const std::string& line : run.RunAsCalls()) {
          explorerStarted =
              explorerStarted || line == "request: /keeprunas \"" + std::string(windows) + "\\explorer.exe\" " + group;
          stopped = stopped || line == "request: /stoprunas";
        }
        return explorerStarted && stopped;
      },
      10000);
  EXPECT_TRUE(explorerStarted);
  EXPECT_TRUE(stopped);
}

// ---- The cleanup batch.

// The batch as the command processor runs it: the listed files go, then their
// folder (now empty), the work folder whole and the batch itself; a file it was not
// given, the folder beside and what lies beside the batch stay. The pause is never
// a bare name, and a text that would not fit is refused, never cut.
TEST(SetupBatch, RemovesWhatItListsAndNothingElse) {
  std::string base = qvt::TempFolder();
  std::string pkg = base + "pkg", other = base + "pkg2", work = base + "qvwork-0123456789abcdef";
  std::string files[] = {pkg + "\\setup.exe", pkg + "\\qvrunas.exe"};
  for (const std::string& folder : {pkg, other, work, work + "\\sub"}) ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  for (const std::string& f : files) ASSERT_TRUE(qvt::WriteFile(f, "package"));
  ASSERT_TRUE(qvt::WriteFile(other + "\\setup.exe", "not listed"));
  ASSERT_TRUE(qvt::WriteFile(work + "\\sub\\copy.exe", "copy"));
  ASSERT_TRUE(qvt::WriteFile(base + "beside.txt", "beside"));
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  std::string ping = std::string(system) + "\\ping.exe", cmd = std::string(system) + "\\cmd.exe";
  const char* listed[] = {files[0].c_str(), files[1].c_str()};
  CleanupBatchPaths paths = {listed, 2, pkg.c_str(), ping.c_str(), work.c_str(), "qvclean.bat"};
  char text[2600];
  ASSERT_TRUE(BuildCleanupBatchText(paths, text, sizeof text));
  std::string batch = text;
  for (size_t at = 0, end; (end = batch.find("\r\n", at)) != std::string::npos; at = end + 2) {
    std::string line = batch.substr(at, end - at);
    if (line.find("ping") != std::string::npos) {
      EXPECT_NE(std::string::npos, line.find("\"" + ping + "\"")) << line;
    }
  }
  ASSERT_TRUE(qvt::WriteFile(base + "qvclean.bat", text));
  qvt::Process run = qvt::Start(cmd, "/c qvclean.bat", base);
  ASSERT_TRUE(run.process);
  EXPECT_TRUE(qvt::WaitExit(run, 60000));
  qvt::Close(run);
  for (const std::string& f : files) EXPECT_FALSE(qvt::FileExists(f)) << f;
  EXPECT_FALSE(qvt::FileExists(pkg)) << "the emptied folder";
  EXPECT_FALSE(qvt::FileExists(work)) << "the work folder, whole";
  EXPECT_FALSE(qvt::FileExists(base + "qvclean.bat")) << "the batch itself";
  EXPECT_TRUE(qvt::FileExists(other + "\\setup.exe")) << "not listed";
  EXPECT_TRUE(qvt::FileExists(base + "beside.txt"));
  EXPECT_FALSE(BuildCleanupBatchText(paths, text, 100)) << "refused, never cut";
  paths.folder = nullptr;  // no folder of its own: none is removed
  ASSERT_TRUE(BuildCleanupBatchText(paths, text, sizeof text));
  EXPECT_EQ(std::string::npos, std::string(text).find("rd \"" + pkg + "\""));
  RemoveTree(base);
}

// Paths as the command processor reads them: "%" doubled, the OEM code page, and the
// short name where the OEM code page has no letter for a character.
TEST(SetupBatch, PathsAreWrittenAsTheCommandProcessorReadsThem) {
  std::string base = qvt::TempFolder();
  char out[MAX_PATH * 3];
  ASSERT_TRUE(CommandProcessorPath((base + "a%path%b\\x.exe").c_str(), out, sizeof out));
  EXPECT_EQ(base + "a%%path%%b\\x.exe", out);
  // A letter the OEM code page has: written in it.
  std::string umlaut = base + "J\xFCrgen";
  ASSERT_TRUE(CreateDirectoryA(umlaut.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CommandProcessorPath(umlaut.c_str(), out, sizeof out));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, umlaut.c_str(), -1, wide, MAX_PATH);
  char oem[MAX_PATH] = {};
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide, -1, oem, MAX_PATH, nullptr, &lossy);
  if (!lossy) {
    EXPECT_STREQ(oem, out);
  }
  // One it has not (an "\xF8" where the OEM code page is 437): the short name.
  std::string slashed = base + "S\xF8ren";
  ASSERT_TRUE(CreateDirectoryA(slashed.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CommandProcessorPath(slashed.c_str(), out, sizeof out));
  for (const char* p = out; *p; ++p) EXPECT_TRUE(static_cast<unsigned char>(*p) < 0x80 || GetOEMCP() != 437) << out;
  RemoveDirectoryA(umlaut.c_str());
  RemoveDirectoryA(slashed.c_str());
  EXPECT_FALSE(CommandProcessorPath((base + "gone\\S\xF8ren").c_str(), out, sizeof out) && GetOEMCP() == 437)
      << "no file, no short name: no batch";
  qvt::RemoveTree(base);
}

// The work folder's security as the code builds it: administrators and the system
// only, handed down to what is made inside, nothing inherited from its parent.
TEST(WorkFolder, OnlyAdministratorsAndTheSystemMayWriteIt) {
  PSECURITY_DESCRIPTOR security = WorkFolderSecurity();
  ASSERT_NE(nullptr, security);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(security, &control, &revision);
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the parent";
  EXPECT_TRUE(OnlyAdministratorsCanWrite(security));
  ASSERT_EQ(2u, dacl->AceCount);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
    EXPECT_EQ(static_cast<ACCESS_MASK>(FILE_ALL_ACCESS), ace->Mask);
    PSID sid = &ace->SidStart;
    EXPECT_TRUE(IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid)) << i;
  }
  LocalFree(security);
}

PSECURITY_DESCRIPTOR g_readSecurity;  // what the test reader hands out (a copy each time)
PSECURITY_DESCRIPTOR CopyOfReadSecurity(const char*) {
  LPSTR text = nullptr;
  PSECURITY_DESCRIPTOR copy = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorA(g_readSecurity, SDDL_REVISION_1,
                                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                           &text, nullptr)) {
    ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &copy, nullptr);
    LocalFree(text);
  }
  return copy;
}

// qvuac.exe runs elevated from the install folder only when its security lets
// nobody but administrators change it, as the security setup gives a folder it
// makes does; a folder others may change (Authenticated Users may modify what is
// made in C:\) sends it to setup's own folder.
TEST(SetupUacHelper, StartsFromTheInstallFolderOnlyWhenOthersCannotChangeIt) {
  std::string install = qvt::TempFolder();
  snprintf(InstallFolder, sizeof InstallFolder, "%s", install.substr(0, install.size() - 1).c_str());
  char own[MAX_PATH] = {}, folder[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, own, MAX_PATH);
  *strrchr(own, '\\') = 0;
  g_readSecurity = InstallFolderSecurity();
  ASSERT_NE(nullptr, g_readSecurity);
  // What the security must achieve: nobody but administrators may change the folder
  // or what setup puts in it, nothing is inherited, and users may read and run it.
  EXPECT_TRUE(OnlyAdministratorsCanWrite(g_readSecurity));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(g_readSecurity, &control, &revision);
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the parent";
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(g_readSecurity, &present, &dacl, &defaulted) && present && dacl);
  ACCESS_MASK users = 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        (ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) == (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) &&
        IsWellKnownSid(&ace->SidStart, WinBuiltinUsersSid))
      users |= ace->Mask;
  }
  constexpr ACCESS_MASK kReadAndRun = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
  EXPECT_EQ(kReadAndRun, users & kReadAndRun) << "users read and run, in the folder and below";
  SetFolderSecurityReader(CopyOfReadSecurity);
  ASSERT_TRUE(UacHelperFolder(folder, sizeof folder));
  EXPECT_STREQ(InstallFolder, folder);
  LocalFree(g_readSecurity);
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)",
                                                                   SDDL_REVISION_1, &g_readSecurity, nullptr));
  ASSERT_TRUE(UacHelperFolder(folder, sizeof folder));
  TrimTrailingBackslashes(folder);
  EXPECT_STREQ(own, folder);
  LocalFree(g_readSecurity);
  SetFolderSecurityReader(nullptr);
  InstallFolder[0] = 0;
  RemoveTree(install);
}

// A work folder is new, named at random, held against renaming while it is held,
// and known again by its place and name; a look-alike elsewhere is not one.
TEST(WorkFolder, IsNewHeldAndKnownByPlaceAndName) {
  char first[MAX_PATH], second[MAX_PATH], parent[MAX_PATH];
  HANDLE held = nullptr, other = nullptr;
  ASSERT_TRUE(WorkFolderParent(parent, sizeof parent));
  ASSERT_TRUE(MakeWorkFolder(first, sizeof first, &held));
  ASSERT_TRUE(MakeWorkFolder(second, sizeof second, &other));
  EXPECT_STRNE(first, second);
  EXPECT_EQ(0, _strnicmp(first, parent, strlen(parent))) << first;
  EXPECT_TRUE(IsWorkFolder(first));
  EXPECT_FALSE(MoveFileA(first, (std::string(parent) + "qvrenamed").c_str())) << "held without delete sharing";
  CloseHandle(held);
  CloseHandle(other);
  EXPECT_TRUE(RemoveDirectoryA(first));
  EXPECT_TRUE(RemoveDirectoryA(second));
  std::string lookalike = qvt::TempFolder() + "qvwork-0123456789abcdef";
  if (_strnicmp(lookalike.c_str(), parent, strlen(parent)) != 0) {
    EXPECT_FALSE(IsWorkFolder(lookalike.c_str()));
  }
  EXPECT_FALSE(IsWorkFolder((std::string(parent) + "qvwork-0123").c_str()));
  EXPECT_FALSE(IsWorkFolder((std::string(parent) + "qvwork-0123456789abcdeg").c_str()));
}

std::string TempPath() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return temp;
}

// From a package unpacked in TEMP: the other files go at once, the batch removes
// setup.exe and Quorvane.dll after setup has ended from its own work folder (a
// "delme1.bat" in TEMP is never touched), and a subfolder keeps the folder.
TEST(SetupBatch, APackageInTempIsRemovedAfterSetup) {
  SetupRun run(true);
  CreateDirectoryA((run.setupFolder + "sub").c_str(), nullptr);
  qvt::WriteFile(run.setupFolder + "sub\\keep.txt", "k");
  std::string first = TempPath() + "delme1.bat";
  qvt::WriteFile(first, "rem ours");
  HANDLE taken = CreateFileA(first.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  run.Start("/silent /nostart /noshort /sfxstart");
  EXPECT_TRUE(run.Ends(30000));
  EXPECT_FALSE(qvt::FileExists(run.setupFolder + "qvtoolbar.exe")) << "the other files go at once";
  EXPECT_TRUE(qvt::WaitUntil([&] { return !qvt::FileExists(run.setupFolder + "setup.exe") &&
                                          !qvt::FileExists(run.setupFolder + "Quorvane.dll"); },
                             20000));
  EXPECT_TRUE(qvt::FileExists(run.setupFolder + "sub\\keep.txt"));
  EXPECT_TRUE(qvt::WaitUntil(NoWorkFolderLeft, 10000)) << "the batch removed itself with its folder";
  EXPECT_FALSE(qvt::FileExists(TempPath() + "delme2.bat"));
  CloseHandle(taken);
  std::string ours;
  qvt::ReadFile(first, &ours);
  EXPECT_EQ("rem ours", ours);
  DeleteFileA(first.c_str());
}

// "/sfxstart" given to a setup outside TEMP (a download folder, a drive root): nothing goes.
TEST(SetupBatch, OutsideTempNothingIsDeleted) {
  SetupRun run;
  qvt::WriteFile(run.setupFolder + "holiday.jpg", "photo");
  run.Start("/silent /nostart /noshort /sfxstart");
  EXPECT_TRUE(run.Ends(30000));
  qvt::WaitUntil([] { return false; }, 2000);
  EXPECT_TRUE(qvt::FileExists(run.setupFolder + "holiday.jpg"));
  EXPECT_TRUE(qvt::FileExists(run.setupFolder + "setup.exe"));
  EXPECT_TRUE(NoWorkFolderLeft());
}

// As a self-extracting package starts it: from its folder in TEMP (named with a
// "%path%" and a letter outside ASCII), with that folder as the working folder, and
// the run-as starter still ending when setup ends. The whole folder goes, and a
// "ping.bat" or "ping.cmd" planted in TEMP (where the batch once ran) never runs.
TEST(SetupBatch, APackageStartedFromItsOwnFolderGoesWhole) {
  SetupRun run(true);
  const std::string marker = TempPath() + "planted-ran.txt";
  DeleteFileA(marker.c_str());
  for (const char* planted : {"ping.bat", "ping.cmd"})
    for (const std::string& where : {TempPath(), WorkParent()})
      ASSERT_TRUE(qvt::WriteFile(where + planted, "@echo planted > \"" + marker + "\"\r\n"));
  std::string unpacked = run.setupFolder;
  std::string package = TempPath() + "pkg %path% J\xFCrgen\\";
  CreateDirectoryA(package.c_str(), nullptr);
  for (const std::string& file : Lines(run.setupFolder + "setup.lst"))
    ASSERT_TRUE(CopyFileA((run.setupFolder + file).c_str(), (package + file).c_str(), FALSE)) << file;
  for (const char* file : {"setup.exe", "setup.lst"})
    ASSERT_TRUE(CopyFileA((run.setupFolder + file).c_str(), (package + file).c_str(), FALSE)) << file;
  run.setupFolder = package;  // removed at the end whatever happens
  // The starter, still running: its file cannot be deleted yet.
  HANDLE starter = CreateFileA((package + "qvrunas.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, starter);
  run.Start("/silent /nostart /noshort /sfxstart", true, package);
  EXPECT_TRUE(run.Ends(30000));
  EXPECT_EQ(0, run.ExitCode());
  EXPECT_TRUE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  qvt::WaitUntil([] { return false; }, 2000);
  EXPECT_TRUE(qvt::FileExists(package + "qvrunas.exe")) << "held by the starter";
  CloseHandle(starter);
  EXPECT_TRUE(qvt::WaitUntil([&] { return !qvt::FileExists(package); }, 30000)) << "the folder goes";
  EXPECT_TRUE(qvt::WaitUntil(NoWorkFolderLeft, 10000)) << "the batch removed itself with its folder";
  EXPECT_FALSE(qvt::FileExists(marker)) << "a planted ping ran";
  for (const std::string& where : {TempPath(), WorkParent()})
    for (const char* planted : {"ping.bat", "ping.cmd", "planted-ran.txt"}) DeleteFileA((where + planted).c_str());
  qvt::RemoveTree(unpacked);
}

// A file that cannot be installed (its target path does not fit) is named on the last
// page instead of "installed successfully!", and a silent setup ends with code 2.
TEST(SetupHonesty, AFileNotInstalledIsNamedAndGivesItsExitCode) {
  SetupRun run;
  // Its path fits in the setup folder, but not in the (longer) install folder.
  std::string name(259 - run.setupFolder.size(), 'n');
  name.replace(name.size() - 4, 4, ".txt");
  ASSERT_TRUE(qvt::WriteFile(run.setupFolder + name, "long"));
  std::string list;
  ASSERT_TRUE(qvt::ReadFile(run.setupFolder + "setup.lst", &list));
  ASSERT_TRUE(qvt::WriteFile(run.setupFolder + "setup.lst", list + name + "\r\n"));
  ASSERT_GE(run.installFolder.size() + name.size(), static_cast<size_t>(MAX_PATH));
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  EXPECT_EQ(2, run.ExitCode());
  EXPECT_TRUE(qvt::FileExists(run.installFolder + "qvtoolbar.exe")) << "the rest is installed";
  run.Start("/nostart /noshort");
  HWND options = setupt::WaitDialog(run.process, setupt::kOptionsTitle);
  ASSERT_NE(nullptr, options);
  qvt::PressButton(options, IDOK);
  HWND progress = setupt::WaitDialog(run.process, setupt::kProgressTitle);
  ASSERT_NE(nullptr, progress);
  std::string expected = "1 files could not be installed; the first is " + name + ".";
  EXPECT_TRUE(qvt::WaitUntil([&] { return setupt::ControlText(progress, 1015) == expected; }, 30000))
      << setupt::ControlText(progress, 1015);
  EXPECT_EQ("The installation is not complete.", setupt::ControlText(progress, 1008));
  qvt::PressButton(progress, IDOK);
  EXPECT_TRUE(run.Ends(10000));
  EXPECT_EQ(2, run.ExitCode());
}

}  // namespace
