// uninstall.exe: the confirmation, the relaunch from TEMP, the removal of what
// setup installed (compared with the machine before the installation), files in
// use, a damaged install path, and its self-deleting batch.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lib/Quorvane.h"
#include "setup_support.h"

using namespace setupt;

namespace {

constexpr const char* kHavrel = "Quorvane Havrel";
constexpr const char* kConfirmText = "This will uninstall Quorvane Havrel, and remove all user defined settings.";
constexpr const char* kNoPath = "Cannot find install path to remove files.";
constexpr const char* kScheduled =
    "Uninstall finished. One or more files have been scheduled for deletion after the next reboot.";

std::string Temp() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return temp;
}

std::string Special(int csidl) {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

// A scratch folder holding uninstall.exe and its library, to start it from.
std::string UninstallerCopy() {
  std::string from = qvt::TempFolder();
  CopyFileA(qvt::BinPath("uninstall.exe").c_str(), (from + "uninstall.exe").c_str(), FALSE);
  CopyFileA(qvt::BinPath("Quorvane.dll").c_str(), (from + "Quorvane.dll").c_str(), FALSE);
  return from;
}

// Runs uninstall.exe from folder and answers the confirmation; then answers every
// other box of the uninstaller (OK), in whichever process it runs, until no
// uninstall.exe runs any more. The texts of all boxes, in order, and the exit codes
// of the first process and of the copy it handed the removal to (none: kNoCode).
constexpr DWORD kNoCode = 0xFFFFFFFFu;
struct Uninstall {
  std::vector<std::string> boxes;
  DWORD firstCode = kNoCode, copyCode = kNoCode;
  int copies = 0;
  std::vector<std::string> copyPaths;  // where the copies ran from
  bool Run(const std::string& folder, int answer = IDOK, const std::string& arguments = "") {
    qvt::Process first = qvt::Start(folder + "uninstall.exe", arguments);
    bool confirmed = !arguments.empty();
    std::vector<HANDLE> others;  // every other uninstall.exe seen: the copies
    std::set<DWORD> seen = {first.pid};
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 40000) {
      WatchCopies(&seen, &others, &copyPaths);
      for (HWND w : qvt::ListTop("#32770", 0)) {
        if (!qvt::IsMessageBox(w) || qvt::WindowText(w) != kHavrel || !IsWindowVisible(w)) continue;
        boxes.push_back(qvt::MessageBoxText(w));
        qvt::PressButton(w, confirmed ? IDOK : answer);
        confirmed = true;
        qvt::WaitUntil([&] { return !IsWindow(w); }, 3000);
      }
      if (qvt::WaitExit(first, 0) && !qvt::IsRunning("uninstall.exe")) break;
      qvt::WaitUntil([] { return false; }, 50);  // often: a copy is seen before it ends
    }
    bool ended = qvt::WaitExit(first, 0, &firstCode);
    qvt::Close(first);
    copies = static_cast<int>(others.size());
    for (HANDLE h : others) {
      if (WaitForSingleObject(h, 0) == WAIT_OBJECT_0) GetExitCodeProcess(h, &copyCode);
      CloseHandle(h);
    }
    return ended && !qvt::IsRunning("uninstall.exe");
  }
  // A handle on each uninstall.exe not seen before, to read its exit code later, and its path.
  static void WatchCopies(std::set<DWORD>* seen, std::vector<HANDLE>* handles, std::vector<std::string>* paths) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
      if (_stricmp(entry.szExeFile, "uninstall.exe") != 0 || !seen->insert(entry.th32ProcessID).second) continue;
      HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
      if (!h) continue;
      handles->push_back(h);
      char image[MAX_PATH] = {};
      DWORD size = MAX_PATH;
      if (QueryFullProcessImageNameA(h, 0, image, &size)) paths->push_back(image);
    }
    CloseHandle(snapshot);
  }
};

// The part of the machine an installation could touch, as "path=value" lines.
void Walk(HKEY root, const std::string& name, const std::string& path, std::set<std::string>* out) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out->insert(name + "\\" + path);
  std::vector<char> nameBuffer(16384);
  std::vector<BYTE> dataBuffer(4096);
  char* valueName = nameBuffer.data();
  BYTE* data = dataBuffer.data();
  for (DWORD i = 0; i < 20000; ++i) {
    DWORD nameSize = static_cast<DWORD>(nameBuffer.size()), dataSize = static_cast<DWORD>(dataBuffer.size()), type = 0;
    LONG rc = RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, data, &dataSize);
    if (rc == ERROR_MORE_DATA) {
      out->insert(name + "\\" + path + "|" + valueName + "=<large>");
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    out->insert(name + "\\" + path + "|" + valueName + "=" + std::string(reinterpret_cast<char*>(data), dataSize));
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    char child[1024];
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, i, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(child);
  }
  RegCloseKey(key);
  for (const std::string& child : children)
    if (child != "Perflib")  // the system's performance texts, made up at each read
      Walk(root, name, path.empty() ? child : path + "\\" + child, out);
}

// The entries of a folder, down to that many levels; links to folders are listed but
// not entered (Wine's Desktop is one, to the Unix home folder).
void Files(const std::string& folder, int depth, std::set<std::string>* out) {
  qvt::ForEachEntry(folder + "\\", [&](const std::string& name, const WIN32_FIND_DATAA& found) {
    out->insert(folder + "\\" + name);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        depth > 1)
      Files(folder + "\\" + name, depth - 1, out);
  });
}

// Wine keeps its own state here while programs run; none of it is the product's.
bool IsNoise(const std::string& line) {
  for (const char* noise : {"\\Software\\Wine", "MuiCache", "\\Explorer\\", "\\Quorvane\\Quorvanes|AboutUpdateLast",
                            "Quorvane Settings before Setup", "ShellNoRoam", "\\RecentDocs"})
    if (line.find(noise) != std::string::npos) return true;
  return false;
}

std::set<std::string> Snapshot(const std::string& installFolder) {
  std::set<std::string> all;
  Walk(HKEY_LOCAL_MACHINE, "HKLM", "Software", &all);
  Walk(HKEY_CURRENT_USER, "HKCU", "Software", &all);
  Files(installFolder.substr(0, installFolder.size() - 1), 8, &all);
  // Groups and their links in the menus; single links elsewhere.
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) Files(Special(csidl), 2, &all);
  for (int csidl : {CSIDL_STARTMENU, CSIDL_DESKTOPDIRECTORY, CSIDL_STARTUP}) Files(Special(csidl), 1, &all);
  Files(Temp().substr(0, Temp().size() - 1), 1, &all);
  std::set<std::string> kept;
  for (const std::string& line : all)
    if (!IsNoise(line)) kept.insert(line);
  return kept;
}

std::string Difference(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::string out;
  for (const std::string& line : a)
    if (!b.count(line)) out += "  - " + line.substr(0, 200) + "\n";
  for (const std::string& line : b)
    if (!a.count(line)) out += "  + " + line.substr(0, 200) + "\n";
  return out;
}

// The whole cycle: install, run the program, uninstall; afterwards the machine is as
// before, but for the file in use (scheduled twice over) and the backup and stamp.
TEST(UninstallCycle, EverythingSetupWroteGoesAndNothingElse) {
  SetupRun run;
  // Empty company keys that earlier runs left; the uninstaller removes them.
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quorvane");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
  std::set<std::string> before = Snapshot(run.installFolder);
  run.Start("/silent /nostart");
  ASSERT_TRUE(run.Ends(30000));
  ASSERT_TRUE(qvt::FileExists(run.installFolder + "uninstall.exe"));
  DWORD made = 0;
  EXPECT_TRUE(qvt::ReadDword(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPathCreated", &made));
  EXPECT_EQ(1u, made) << "setup made the folder: everything in it goes";
  HWND main = nullptr;
  qvt::Process tray = qvt::Start(run.installFolder + "qvtoolbar.exe", "/s");
  main = qvt::WaitTop("qvToolbarClass", nullptr, tray.pid, 10000);
  ASSERT_NE(nullptr, main);
  // A file of the catalogue, held open as a running tool would hold it.
  HANDLE held = CreateFileA((run.installFolder + "Toolbar_Lang.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                     CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  EXPECT_EQ(0u, uninstall.firstCode) << "handed to its copy";
  EXPECT_EQ(3u, uninstall.copyCode) << "a file in use goes at the next restart";
  EXPECT_TRUE(qvt::WaitExit(tray, 5000)) << "the running program was closed";
  qvt::Close(tray);
  CloseHandle(held);
  ASSERT_GE(uninstall.boxes.size(), 2u);
  EXPECT_EQ(kConfirmText, uninstall.boxes[0]);
  EXPECT_EQ(kScheduled, uninstall.boxes.back());
  // The file in use, scheduled twice over; everything else is gone.
  std::string list;
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  qvt::ReadFile(std::string(windows) + "\\wininit.ini", &list);
  EXPECT_NE(std::string::npos, list.find("NUL=")) << list;
  DeleteFileA((run.installFolder + "Toolbar_Lang.txt").c_str());
  RemoveDirectoryA(run.installFolder.c_str());
  std::set<std::string> after = Snapshot(run.installFolder);
  // Setup's stamp of the last update check stays, and with it its keys.
  if (qvt::ValueExists(HKEY_CURRENT_USER, "Software\\Quorvane\\Quorvanes", "AboutUpdateLast"))
    for (const char* key : {"HKCU\\Software\\Quorvane", "HKCU\\Software\\Quorvane\\Quorvanes"}) {
      before.erase(key);
      after.erase(key);
    }
  EXPECT_EQ("", Difference(before, after));
  DeleteFileA((std::string(windows) + "\\wininit.ini").c_str());
}

TEST(UninstallFlow, CancelChangesNothing) {
  SetupRun run;
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder, IDCANCEL));
  EXPECT_EQ(2u, uninstall.firstCode);
  EXPECT_EQ(0, uninstall.copies) << "nothing handed on";
  EXPECT_TRUE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  EXPECT_TRUE(qvt::ValueExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qvToolbarClass",
                               "UninstallString"));
  EXPECT_FALSE(qvt::FileExists(Temp() + "uninstall.exe"));
  EXPECT_TRUE(NoWorkFolderLeft()) << "no copy was made";
}

// Without "InstallPath" the message comes, no file is touched, and the rest still goes;
// the copies run from a work folder (an "uninstall.exe" in TEMP is never touched),
// and the batch removes them with their folder.
TEST(UninstallFlow, AMissingInstallPathTouchesNoFileButTheRestGoes) {
  SetupRun run;
  run.Start("/silent /nostart");
  ASSERT_TRUE(run.Ends(30000));
  HKEY family;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFamilyKey, 0, KEY_SET_VALUE, &family));
  RegDeleteValueA(family, "InstallPath");
  RegCloseKey(family);
  qvt::WriteFile(Temp() + "uninstall.exe", "an old copy");
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  EXPECT_EQ(0u, uninstall.firstCode);
  EXPECT_EQ(6u, uninstall.copyCode);
  ASSERT_EQ(2u, uninstall.boxes.size());
  EXPECT_EQ(kNoPath, uninstall.boxes[1]);
  EXPECT_TRUE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  EXPECT_FALSE(qvt::ValueExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qvToolbarClass",
                                "UninstallString"));
  EXPECT_FALSE(qvt::FileExists(Special(CSIDL_COMMON_PROGRAMS) + "\\Quorvane Webdeck"));
  std::string type;
  EXPECT_FALSE(qvt::ReadString(HKEY_CLASSES_ROOT, ".qvg", nullptr, &type));
  EXPECT_TRUE(qvt::WaitUntil(NoWorkFolderLeft, 20000)) << "the batch removed the copies with their folder";
  std::string old;
  EXPECT_TRUE(qvt::ReadFile(Temp() + "uninstall.exe", &old));
  EXPECT_EQ("an old copy", old);
  DeleteFileA((Temp() + "uninstall.exe").c_str());
}

// A damaged "InstallPath" naming a root or a shared folder: its sound and help files
// and its Help and Sounds folders all survive, and the uninstaller says why.
TEST(UninstallFlow, ARootOrSharedFolderAsInstallPathKeepsItsFiles) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  for (const std::string& folder : {std::string("C:\\"), std::string(windows) + "\\", Special(CSIDL_PROGRAM_FILES) + "\\"}) {
    for (const char* file : {"qvsentinel.wav", "qvsentinel.hlp"}) qvt::WriteFile(folder + file, "keep");
    bool hadHelp = qvt::FileExists(folder + "Help"), hadSounds = qvt::FileExists(folder + "Sounds");
    CreateDirectoryA((folder + "Help").c_str(), nullptr);
    CreateDirectoryA((folder + "Sounds").c_str(), nullptr);
    qvt::WriteFile(folder + "Help\\qvsentinel.txt", "keep");
    qvt::WriteFile(folder + "Sounds\\qvsentinel.txt", "keep");
    qvt::WriteString(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", folder.substr(0, folder.size() == 3 ? 3 : folder.size() - 1).c_str());
    std::string from = UninstallerCopy();
    Uninstall uninstall;
    EXPECT_TRUE(uninstall.Run(from, IDOK, "/internally"));
    EXPECT_EQ(5u, uninstall.firstCode) << folder;
    for (const char* file : {"qvsentinel.wav", "qvsentinel.hlp", "Help\\qvsentinel.txt", "Sounds\\qvsentinel.txt"})
      EXPECT_TRUE(qvt::FileExists(folder + file)) << folder << file;
    EXPECT_EQ(1u, uninstall.boxes.size()) << folder;
    if (!uninstall.boxes.empty()) {
      EXPECT_EQ(0u, uninstall.boxes[0].find("Nothing was uninstalled: the install folder ")) << uninstall.boxes[0];
    }
    for (const char* file : {"qvsentinel.wav", "qvsentinel.hlp", "Help\\qvsentinel.txt", "Sounds\\qvsentinel.txt"})
      DeleteFileA((folder + file).c_str());
    if (!hadHelp) RemoveDirectoryA((folder + "Help").c_str());
    if (!hadSounds) RemoveDirectoryA((folder + "Sounds").c_str());
    RemoveTree(from);
  }
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, kFamilyKey);
}

// In a folder setup made: sound files whatever the case of their extension; a parent
// without "\Quorvane" stays.
TEST(UninstallFlow, UpperCaseSoundFilesGoAndAPlainParentStays) {
  std::string parent = "C:\\qvparent\\", folder = parent + "Webdeck\\";
  CreateDirectoryA(parent.c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  qvt::WriteFile(folder + "KNOCK.WAV", "w");
  qvt::WriteFile(folder + "Quorvane.dll", "d");
  qvt::WriteString(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", (parent + "Webdeck").c_str());
  qvt::WriteDword(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPathCreated", 1);  // a folder setup made
  std::string from = UninstallerCopy();
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(from, IDOK, "/internally"));
  EXPECT_EQ(0u, uninstall.firstCode);
  EXPECT_TRUE(uninstall.boxes.empty());
  EXPECT_FALSE(qvt::FileExists(folder + "KNOCK.WAV"));
  EXPECT_FALSE(qvt::FileExists(folder));
  EXPECT_TRUE(qvt::FileExists(parent));
  RemoveTree(parent);
  RemoveTree(from);
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, kFamilyKey);
}

// Sound and help files go by their extension: "plan.middle.xlsx" and "tips.gid.txt"
// hold the letters but are not such files, and stay.
TEST(UninstallFlow, SoundAndHelpFilesAreKnownByTheirExtension) {
  std::string folder = "C:\\qvext\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const char* file : {"ding.Wav", "tune.mid", "old.GID", "plan.middle.xlsx", "tips.gid.txt", "wavy.wave"})
    ASSERT_TRUE(qvt::WriteFile(folder + file, "f"));
  qvt::WriteString(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", "C:\\qvext");
  qvt::WriteDword(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPathCreated", 1);  // a folder setup made
  std::string from = UninstallerCopy();
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(from, IDOK, "/internally"));
  EXPECT_EQ(0u, uninstall.firstCode);
  for (const char* file : {"ding.Wav", "tune.mid", "old.GID"}) EXPECT_FALSE(qvt::FileExists(folder + file)) << file;
  for (const char* file : {"plan.middle.xlsx", "tips.gid.txt", "wavy.wave"})
    EXPECT_TRUE(qvt::FileExists(folder + file)) << file;
  RemoveTree(folder);
  RemoveTree(from);
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, kFamilyKey);
}

// ---- What is the user's stays.

// A shortcut to target in a special folder (made through the library); its path.
std::string MakeShortcut(int csidl, const char* name, const std::string& target) {
  std::string link = Special(csidl) + "\\" + name;
  LibCreateShortcut(link.c_str(), target.c_str(), "", nullptr, 0);
  return link;
}

// Installed into a folder that already held a program of the user's, with its
// sound, help and language files and folders and its shortcuts: the uninstaller
// takes the family's files and nothing else, and the folder stays.
TEST(UninstallShared, AFolderTheUserHadKeepsTheUsersFilesAndShortcuts) {
  SetupRun run;
  const std::string& folder = run.installFolder;
  CreateDirectoryA(folder.c_str(), nullptr);
  const char* mine[] = {"myapp.exe", "song.wav", "tune.MID", "manual.hlp", "Help\\guide.txt", "Sounds\\ding.wav",
                        "Languages\\de.txt"};
  for (const char* sub : {"Help", "Sounds", "Languages"}) CreateDirectoryA((folder + sub).c_str(), nullptr);
  for (const char* file : mine) ASSERT_TRUE(qvt::WriteFile(folder + file, "mine"));
  std::string links[] = {MakeShortcut(CSIDL_PROGRAMS, "qvt My App.lnk", folder + "myapp.exe"),
                         MakeShortcut(CSIDL_DESKTOPDIRECTORY, "qvt My App.lnk", folder + "myapp.exe")};
  for (const std::string& link : links) ASSERT_TRUE(qvt::FileExists(link)) << link;
  run.Start("/silent /nostart");
  ASSERT_TRUE(run.Ends(30000));
  ASSERT_TRUE(qvt::FileExists(folder + "qvtoolbar.exe"));
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(folder));
  EXPECT_EQ(0u, uninstall.copyCode);
  for (const char* file : mine) EXPECT_TRUE(qvt::FileExists(folder + file)) << file;
  for (const std::string& link : links) EXPECT_TRUE(qvt::FileExists(link)) << link;
  for (const char* file : {"qvtoolbar.exe", "Quorvane.dll", "uninstall.exe", "qvuac.exe", "qvrunas.exe"})
    EXPECT_FALSE(qvt::FileExists(folder + file)) << file;
  EXPECT_FALSE(qvt::FileExists(Special(CSIDL_COMMON_PROGRAMS) + "\\Quorvane Webdeck"));
  for (const std::string& link : links) DeleteFileA(link.c_str());
}

std::string Lowered(std::string text) {
  CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// A folder holding another program's setup.exe, uninstall.exe and readme.txt: setup
// refuses it before anything changes (it would have to replace uninstall.exe).
// Without the uninstall.exe it installs beside the other two, and the uninstaller
// takes what setup wrote and leaves them.
TEST(UninstallShared, AnotherProgramsFilesSurviveInstallAndUninstall) {
  SetupRun run;
  const std::string& folder = run.installFolder;
  CreateDirectoryA(folder.c_str(), nullptr);
  const char* theirs[] = {"setup.exe", "uninstall.exe", "readme.txt"};
  for (const char* file : theirs) ASSERT_TRUE(qvt::WriteFile(folder + file, std::string("theirs: ") + file));
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  EXPECT_EQ(4, run.ExitCode()) << "refused";
  EXPECT_FALSE(qvt::FileExists(folder + "qvtoolbar.exe"));
  std::string text;
  for (const char* file : theirs) {
    EXPECT_TRUE(qvt::ReadFile(folder + file, &text)) << file;
    EXPECT_EQ(std::string("theirs: ") + file, text);
  }
  // The page says why, and stays.
  run.Start("/nostart /noshort");
  HWND options = setupt::WaitDialog(run.process, setupt::kOptionsTitle);
  ASSERT_NE(nullptr, options);
  qvt::PressButton(options, IDOK);
  HWND box = qvt::WaitMessageBox(run.process.pid, setupt::kProductTitle, 10000);
  ASSERT_NE(nullptr, box);
  // The folder as the command line gave it (setup reads it lower-cased).
  EXPECT_EQ(Lowered(folder.substr(0, folder.size() - 1) + " already holds a file named uninstall.exe that another "
                    "program put there, and setup never replaces it.\r\n\r\nPlease choose a folder of its own."),
            Lowered(qvt::MessageBoxText(box)));
  qvt::PressButton(box, IDOK);
  // Gone before the question that Cancel brings is looked for, else that is found in its place.
  EXPECT_TRUE(qvt::WaitUntil([&] { return !IsWindow(box); }, 5000));
  qvt::PressButton(options, IDCANCEL);
  if (HWND sure = qvt::WaitMessageBox(run.process.pid, setupt::kProductTitle, 5000)) qvt::PressButton(sure, IDYES);
  EXPECT_TRUE(run.Ends(10000));
  DeleteFileA((folder + "uninstall.exe").c_str());
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  EXPECT_EQ(0, run.ExitCode());
  ASSERT_TRUE(qvt::FileExists(folder + "qvtoolbar.exe"));
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(folder));
  EXPECT_EQ(0u, uninstall.copyCode);
  EXPECT_FALSE(qvt::FileExists(folder + "qvtoolbar.exe"));
  EXPECT_FALSE(qvt::FileExists(folder + "uninstall.exe"));
  for (const char* file : {"setup.exe", "readme.txt"}) {
    EXPECT_TRUE(qvt::ReadFile(folder + file, &text)) << file;
    EXPECT_EQ(std::string("theirs: ") + file, text);
  }
}

// The elevated helper is never started from an install folder that others may
// change (under Wine every folder reads so): setup starts it from its own folder,
// the uninstaller from its copy in its work folder.
TEST(UninstallShared, TheHelperNeverRunsFromAFolderOthersMayChange) {
  SetupRun run;
  std::string where = qvt::TempFolder() + "where.txt";
  SetEnvironmentVariableA("QVUAC_WHERE", where.c_str());
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  ASSERT_TRUE(qvt::WaitUntil([&] { return Lines(where).size() >= 4u; }, 10000)) << Lines(where).size();
  SetEnvironmentVariableA("QVUAC_WHERE", nullptr);
  std::vector<std::string> started = Lines(where);
  EXPECT_EQ(4u, started.size());
  for (size_t i = 0; i < started.size(); ++i) {
    std::string line = Lowered(started[i]);
    EXPECT_NE(0u, line.find(Lowered(run.installFolder))) << line;
    if (i < 3) EXPECT_EQ(0u, line.find(Lowered(run.setupFolder))) << line;
    else EXPECT_NE(std::string::npos, line.find("\\qvwork-")) << line;
  }
  EXPECT_TRUE(qvt::WaitUntil(NoWorkFolderLeft, 20000)) << "the copy of the helper went with the folder";
  RemoveTree(where.substr(0, where.size() - strlen("where.txt")));
}

// A silent installation, and a file of it the user then changed: its path ("" when
// the installation did not end or the file could not be written).
std::string InstallAndChangeAFile(SetupRun* run) {
  run->Start("/silent /nostart /noshort");
  std::string changed = run->installFolder + "Common_Lang_2.txt";
  return run->Ends(30000) && qvt::WriteFile(changed, "my own translation") ? changed : "";
}

// A file setup wrote and the user changed since stays, and the last message names
// it; the unchanged ones go, and one held by a running tool at the next restart.
TEST(UninstallShared, AFileTheUserChangedStaysAndIsNamed) {
  SetupRun run;
  const std::string changed = InstallAndChangeAFile(&run);
  ASSERT_FALSE(changed.empty());
  // A running tool's file that cannot even be read is not known to be changed: it
  // goes at the next restart.
  HANDLE held = CreateFileA((run.installFolder + "Common_Lang_3.txt").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  EXPECT_EQ(3u, uninstall.copyCode) << "a file at the next restart comes before the changed one";
  CloseHandle(held);
  std::string text;
  EXPECT_TRUE(qvt::ReadFile(changed, &text));
  EXPECT_EQ("my own translation", text);
  EXPECT_FALSE(qvt::FileExists(run.installFolder + "Common_Lang_4.txt"));
  EXPECT_FALSE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  ASSERT_EQ(2u, uninstall.boxes.size());
  EXPECT_EQ(Lowered("These files were changed after the installation and were kept:\r\n" + changed +
                    "\r\n\r\nOne or more other files have been scheduled for deletion after the next reboot."),
            Lowered(uninstall.boxes[1]));
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  DeleteFileA((std::string(windows) + "\\wininit.ini").c_str());
  EXPECT_FALSE(qvt::ValueExists(HKEY_LOCAL_MACHINE, kFamilyKey, "InstalledFiles"));
}

// A changed file alone: the rest is removed, the file stays and is named: code 7.
TEST(UninstallShared, AChangedFileAloneIsKeptNamedAndIsCodeSeven) {
  SetupRun run;
  const std::string changed = InstallAndChangeAFile(&run);
  ASSERT_FALSE(changed.empty());
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  EXPECT_EQ(0u, uninstall.firstCode);
  EXPECT_EQ(7u, uninstall.copyCode);
  EXPECT_TRUE(qvt::FileExists(changed));
  EXPECT_FALSE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  ASSERT_EQ(2u, uninstall.boxes.size());
  EXPECT_EQ(Lowered("These files were changed after the installation and were kept:\r\n" + changed),
            Lowered(uninstall.boxes[1]));
}

// The restart list closed to every program, as it is on Windows to a user who is
// not an administrator (Wine lets anybody write it, but it checks a key's
// security): for a while the Session Manager key denies Everyone setting values
// and making subkeys (0x6) and grants all else; Open puts its own security back.
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
struct ClosedRestartList {
  std::vector<BYTE> saved;  // the key's security as it was
  bool Close() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, READ_CONTROL | WRITE_DAC, &key)) return false;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved.resize(size);
    PSECURITY_DESCRIPTOR closed = nullptr;
    bool done = size && RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data(), &size) == ERROR_SUCCESS &&
                ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                     &closed, nullptr) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, closed) == ERROR_SUCCESS;
    if (closed) LocalFree(closed);
    if (!done) saved.clear();
    RegCloseKey(key);
    return done;
  }
  void Open() {
    HKEY key;
    if (saved.empty() || RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, WRITE_DAC, &key)) return;
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data());
    RegCloseKey(key);
    saved.clear();
  }
  ~ClosedRestartList() { Open(); }
};

// A file in use where the restart list is closed: it can be neither deleted nor
// set up for the restart, so it stays and the last message names it: code 4.
TEST(UninstallShared, AFileNeitherDeletedNorScheduledIsNamedAndIsCodeFour) {
  SetupRun run;
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  const std::string held = run.installFolder + "Common_Lang_3.txt";
  HANDLE lock = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  ClosedRestartList list;
  ASSERT_TRUE(list.Close());
  EXPECT_FALSE(MoveFileExA(held.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) << "the restart list is closed";
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  list.Open();
  CloseHandle(lock);
  EXPECT_EQ(0u, uninstall.firstCode);
  EXPECT_EQ(4u, uninstall.copyCode);
  EXPECT_TRUE(qvt::FileExists(held));
  EXPECT_FALSE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  ASSERT_EQ(2u, uninstall.boxes.size());
  EXPECT_EQ(Lowered("Uninstall finished, but 1 files could be neither deleted nor scheduled for deletion after the "
                    "next reboot:\r\n" + held),
            Lowered(uninstall.boxes[1]));
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  DeleteFileA((std::string(windows) + "\\wininit.ini").c_str());
}

// "InstallPath" at Program Files (one Browse away with an older setup): neither the
// uninstaller nor setup takes a shortcut of the user's into Program Files, and the
// uninstaller keeps its entries and says which folder it refused.
TEST(UninstallShared, InstallPathAtProgramFilesKeepsEveryShortcutAndTheEntries) {
  std::string programs = Special(CSIDL_PROGRAM_FILES);
  std::string app = programs + "\\QvUserApp\\";
  CreateDirectoryA(app.c_str(), nullptr);
  ASSERT_TRUE(qvt::WriteFile(app + "app.exe", "MZ"));
  std::string links[] = {MakeShortcut(CSIDL_PROGRAMS, "qvt User App.lnk", app + "app.exe"),
                         MakeShortcut(CSIDL_DESKTOPDIRECTORY, "qvt User App.lnk", app + "app.exe")};
  const char* uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qvToolbarClass";
  qvt::WriteString(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", programs.c_str());
  qvt::WriteString(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString", (programs + "\\uninstall.exe").c_str());
  std::string from = UninstallerCopy();
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(from));
  EXPECT_EQ(5u, uninstall.copyCode);
  ASSERT_EQ(2u, uninstall.boxes.size());
  EXPECT_NE(std::string::npos, uninstall.boxes[1].find("the install folder " + programs + " is a folder of Windows"))
      << uninstall.boxes[1];
  for (const std::string& link : links) EXPECT_TRUE(qvt::FileExists(link)) << link;
  std::string kept;
  EXPECT_TRUE(qvt::ReadString(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", &kept));
  EXPECT_TRUE(qvt::ValueExists(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString"));
  // Setup's removal of old shortcuts, with the same record, before installing elsewhere.
  {
    SetupRun run;
    run.Start("/silent /nostart /noshort");
    EXPECT_TRUE(run.Ends(30000));
    for (const std::string& link : links) EXPECT_TRUE(qvt::FileExists(link)) << link;
  }
  for (const std::string& link : links) DeleteFileA(link.c_str());
  RemoveTree(app);
  RemoveTree(from);
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, uninstallKey);
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, kFamilyKey);
}

// ---- The copies run from a work folder of their own, and always go.

// TEMP set to a folder named with "%path%": the copies are made, run and removed in
// a work folder that only administrators can write, never in TEMP, and nothing of
// them is left.
TEST(UninstallBatch, TheCopiesRunFromAWorkFolderAndGoWithIt) {
  std::string temp = qvt::TempFolder() + "a%path%b\\";
  ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr)) << temp;
  std::string from = UninstallerCopy();
  std::string saved[2];
  const char* names[2] = {"TEMP", "TMP"};
  for (int i = 0; i < 2; ++i) {
    char value[MAX_PATH] = {};
    saved[i] = GetEnvironmentVariableA(names[i], value, MAX_PATH) ? value : "";
    SetEnvironmentVariableA(names[i], temp.c_str());
  }
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(from));
  // The copy was made and ran from a work folder (not in place, not in TEMP).
  ASSERT_EQ(1, uninstall.copies);
  ASSERT_EQ(1u, uninstall.copyPaths.size());
  EXPECT_EQ(0u, Lowered(uninstall.copyPaths[0]).find(Lowered(setupt::WorkParent()) + "qvwork-")) << uninstall.copyPaths[0];
  EXPECT_EQ(0u, uninstall.firstCode);
  for (int i = 0; i < 2; ++i) SetEnvironmentVariableA(names[i], saved[i].empty() ? nullptr : saved[i].c_str());
  EXPECT_TRUE(qvt::WaitUntil(NoWorkFolderLeft, 30000)) << "the copies and the batch are gone";
  WIN32_FIND_DATAA found;
  HANDLE any = FindFirstFileA((temp + "*.*").c_str(), &found);
  int entries = 0;
  if (any != INVALID_HANDLE_VALUE) {
    do entries += strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..");
    while (FindNextFileA(any, &found));
    FindClose(any);
  }
  EXPECT_EQ(0, entries) << "nothing was put into TEMP";
  RemoveTree(from);
}

// Where no work folder can be made (here: the folder work folders are made in is
// gone), the removal runs in the first process, and its own file and library,
// still in use, are left to the next restart, which the last message says.
TEST(UninstallFlow, WithoutAWorkFolderTheRemovalRunsHereAndItsFilesGoAtTheRestart) {
  std::string parent = WorkParent();
  std::string away = parent.substr(0, parent.size() - 1) + ".qvaway";
  SetupRun run;
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  ASSERT_TRUE(MoveFileA(parent.c_str(), away.c_str())) << GetLastError();
  Uninstall uninstall;
  EXPECT_TRUE(uninstall.Run(run.installFolder));
  EXPECT_EQ(0, uninstall.copies);
  EXPECT_EQ(3u, uninstall.firstCode) << "the removal ran here";
  MoveFileA(away.c_str(), parent.c_str());
  ASSERT_TRUE(qvt::FileExists(parent));
  ASSERT_EQ(2u, uninstall.boxes.size());
  EXPECT_EQ(kScheduled, uninstall.boxes[1]);
  EXPECT_FALSE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
  EXPECT_TRUE(NoWorkFolderLeft());
  qvt::KillAll("uninstall.exe");
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  DeleteFileA((std::string(windows) + "\\wininit.ini").c_str());
}

}  // namespace
