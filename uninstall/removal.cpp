// The uninstaller's removal steps: running tools stopped, registry entries and
// files removed, files in use scheduled for deletion at the next restart.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/catalogue.h"
#include "common/deletefile.h"
#include "common/folderguard.h"
#include "common/installrecord.h"
#include "common/paths.h"
#include "common/treewalk.h"
#include "common/widepath.h"
#include "common/restartlist.h"
#include "common/stoptools.h"
#include "lib/Quorvane.h"
#include "uninstall/uninstall.h"

int FilesScheduled;
int FilesLeft;
char FilesLeftList[kFilesLeftChars];
int FilesChanged;
char FilesChangedList[kFilesLeftChars];

namespace {

constexpr const char* kBackupEvent = "myZELT2ndBackupEventStopWaiting";
constexpr const char* kApprovedKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr const char* kHelpKey = "Software\\Microsoft\\Windows\\Help";

// The browser objects of the family: the uninstaller's own identity's (0007), the
// older band (0008) and those this product's setup registers (000a, 000b).
constexpr const char* kOwnHelper = "{00000000-0007-5A45-4C54-0040f2b7c15e}";
constexpr const char* kOldBand = "{00000000-0008-5A45-4C54-0040f2b7c15e}";
constexpr const char* kToolbarObjects[] = {"{00000000-000a-5A45-4C54-0040f2b7c15e}",
                                           "{00000000-000b-5A45-4C54-0040f2b7c15e}"};

void DeleteTree(HKEY root, const char* key) { LibRegDeleteTree(root, key, 1); }

void DeleteClsid(const char* clsid) {
  char key[80];
  snprintf(key, sizeof key, "CLSID\\%s", clsid);
  DeleteTree(HKEY_CLASSES_ROOT, key);
}

void DeleteHelpValues() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHelpKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  for (const char* name : kHelpValues) RegDeleteValueA(key, name);
  RegDeleteValueA(key, "Quorvane.hlp");
  RegCloseKey(key);
}

bool HasExtension(const wchar_t* name, const wchar_t* extension) {
  size_t n = wcslen(name), e = wcslen(extension);
  return n > e && _wcsicmp(name + n - e, extension) == 0;
}

// Each file of folder whose extension is one of the two (".wav" is "song.WAV", not
// "plan.wavy.txt"); listed as the file system stores the names, and a name the code
// page cannot spell exactly is left alone.
void DeleteByExtension(const char* folder, const wchar_t* a, const wchar_t* b) {
  std::vector<wchar_t> wide(kLongPathChars), pattern(kLongPathChars);
  if (!WideFromAnsi(folder, wide.data(), wide.size()) || !JoinWide(pattern.data(), pattern.size(), wide.data(), L"*"))
    return;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern.data(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!HasExtension(found.cFileName, a) && !HasExtension(found.cFileName, b)) continue;
    char name[MAX_PATH];
    if (AnsiForDisplay(found.cFileName, name, sizeof name)) DeleteOrScheduleFile(folder, name);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// A recorded file that the user changed (or replaced) since setup wrote it: kept,
// and named in the last message.
void NoteChanged(const char* folder, const char* name) {
  char path[MAX_PATH];
  if (!JoinPath(path, sizeof path, folder, name)) return;
  if (++FilesChanged <= kFilesLeftNamed) {
    size_t used = strlen(FilesChangedList);
    snprintf(FilesChangedList + used, sizeof FilesChangedList - used, "\r\n%s", path);
  }
}

// One recorded file of the held install folder: deleted through the handle it was
// compared on when it is as setup left it, else kept and named; one held so that
// it cannot even be read (a running tool's) is retried and left to the restart.
void RemoveRecordedFile(HANDLE held, const char* folder, const InstalledFile& file) {
  wchar_t name[MAX_PATH];
  if (!WideFromAnsi(file.name.c_str(), name, MAX_PATH)) return;
  HANDLE opened = nullptr;
  RecordMatch match = MatchRecord(held, name, file, &opened);
  DWORD error = 0;
  bool deleted = match == kRecordMatches && opened && MarkDeleted(opened, &error);
  if (opened) CloseHandle(opened);
  if (match == kRecordChanged) NoteChanged(folder, file.name.c_str());
  if (match == kRecordGone || match == kRecordChanged || deleted) return;
  DeleteOrScheduleFile(folder, file.name.c_str());  // in use: retried, else left to the restart
}

void DeleteSubfolder(const char* folder, const char* name) {
  char path[MAX_PATH];
  if (JoinPath(path, sizeof path, folder, name)) LibDeleteFolder(path, 1);
}

}  // namespace

void StopRunningToolsOnce() {
  StopToolsWay way = {kUninstallClasses, kUninstallClassCount, 1, false, nullptr, nullptr};
  CloseToolWindows(way);
  CloseTitledWindows(kUninstallTitles, kUninstallTitleCount);
  for (int i = 0; i < 50; ++i) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, kBackupEvent);
    if (!event) break;
    SetEvent(event);
    CloseHandle(event);
    Sleep(100);
  }
}

// A key that holds nothing any more goes; one with values or subkeys stays.
void DeleteKeyIfEmpty(HKEY root, const char* key) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
  DWORD subkeys = 1, values = 1;
  bool empty = RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               subkeys == 0 && values == 0;
  RegCloseKey(opened);
  if (empty) RegDeleteKeyA(root, key);
}

void RemoveRegistryEntries() {
  DeleteTree(HKEY_CURRENT_USER, "Software\\Quorvane\\Havrel");
  DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Havrel");
  DeleteTree(HKEY_CLASSES_ROOT, ".qvg");
  DeleteTree(HKEY_CLASSES_ROOT, "ZeltSettings");
  DeleteHelpValues();
  char key[200];
  snprintf(key, sizeof key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\%s", kOwnHelper);
  DeleteTree(HKEY_LOCAL_MACHINE, key);
  DeleteClsid(kOwnHelper);
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kApprovedKey, kOwnHelper);
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", kOldBand);
  DeleteClsid(kOldBand);
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kApprovedKey, kOldBand);
  for (const char* name : kProgramNames) {
    snprintf(key, sizeof key, "Applications\\%s", name);
    DeleteTree(HKEY_CLASSES_ROOT, key);
  }
  DeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs\\Quorvane");
  // What this product's own setup registered: its toolbar objects and its settings.
  for (const char* clsid : kToolbarObjects) {
    DeleteClsid(clsid);
    LibRegDeleteValue(HKEY_LOCAL_MACHINE, kApprovedKey, clsid);
  }
  DeleteTree(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quorvane\\Toolbar");
  DeleteKeyIfEmpty(HKEY_CURRENT_USER, "Software\\AppDataLow\\Software\\Quorvane");
}

void DeleteOrScheduleFile(const char* folder, const char* name) {
  DeleteOutcome outcome = DeleteFileWithRetry(folder, name);
  if (outcome != kScheduled && outcome != kNotScheduled) return;
  char path[MAX_PATH];
  if (!JoinPath(path, sizeof path, folder, name)) return;
  RestartReport silent = {0, nullptr, nullptr, nullptr};
  int listed = QueueRestartDeletion(path, silent);
  // The list file is what the platforms outside NT carry out at their start; on NT
  // only MoveFileEx's entry deletes the file.
  bool scheduled = outcome == kScheduled || (listed && !IsNtPlatform());
  if (scheduled) {
    FilesScheduled = 1;
    return;
  }
  if (++FilesLeft <= kFilesLeftNamed) {
    size_t used = strlen(FilesLeftList);
    snprintf(FilesLeftList + used, sizeof FilesLeftList - used, "\r\n%s", path);
  }
}

bool IsRemovableInstallFolder(const char* folder) {
  char full[MAX_PATH];
  return folder && FullFolderPath(folder, full, sizeof full) && IsBelowRoot(full) && !IsProtectedFolder(full);
}

bool IsRecorded(const std::vector<InstalledFile>& record, const char* name) {
  for (const InstalledFile& file : record)
    if (lstrcmpiA(file.name.c_str(), name) == 0) return true;
  return false;
}

void RemoveFiles(const char* folder, bool createdBySetup) {
  std::vector<InstalledFile> record;
  ReadInstallRecord(&record);
  std::vector<wchar_t> wide(kLongPathChars), literal(kLongPathChars);
  DWORD error = 0;
  HANDLE held = WideFromAnsi(folder, wide.data(), wide.size()) &&
                        LiteralFullPath(wide.data(), literal.data(), literal.size())
                    ? OpenHeldFolder(literal.data(), kHoldItself, &error)
                    : nullptr;
  // What setup wrote and nobody changed since; uninstall.exe last of all.
  const InstalledFile* uninstaller = nullptr;
  for (const InstalledFile& file : record) {
    if (lstrcmpiA(file.name.c_str(), "uninstall.exe") == 0) {
      uninstaller = &file;
      continue;
    }
    if (held) RemoveRecordedFile(held, folder, file);
  }
  // The catalogue's names, every sound and help file, and the family's subfolders
  // only in a folder of the family's own: in a folder the user had before, such
  // files are the user's.
  if (createdBySetup) {
    // A recorded file was dealt with above (removed, kept as changed, left to the
    // restart or named as left): once, so that it is counted and named once.
    auto remove = [&](const char* name) {
      if (!(held && IsRecorded(record, name))) DeleteOrScheduleFile(folder, name);
    };
    remove("qvhavrel.exe");
    for (const char* name : {"Quorvane.hlp", "Quorvane.GID", "Quorvane.hlp", "Quorvane.chm", "helpComplete.chm",
                             "Quorvane.gid"})
      remove(name);
    for (const char* name : {"setup.exe", "Settings.ico", "Havrel_Lang.txt", "Common_Lang.txt", "member_asp.txt",
                             "pad_file.xml"})
      remove(name);
    // The shared texts of each language setup offers.
    for (int language = 1; language < kLanguageCount; ++language) {
      char name[32];
      snprintf(name, sizeof name, "Common_Lang_%d.txt", language);
      remove(name);
    }
    for (const char* name : kToolLogs) remove(name);
    for (const char* name : kToolFiles) remove(name);
    DeleteByExtension(folder, L".wav", L".mid");
    DeleteByExtension(folder, L".hlp", L".gid");
    for (const char* name : kShellExtensions) remove(name);
    remove("Quorvane.dll");
    remove("Quorvane64.dll");
    for (const char* name : {"Sounds", "Languages", "Help"}) DeleteSubfolder(folder, name);
  }
  if (uninstaller && held) RemoveRecordedFile(held, folder, *uninstaller);
  else if (createdBySetup) DeleteOrScheduleFile(folder, "uninstall.exe");
  if (held) CloseHandle(held);
  RemoveDirectoryA(folder);  // only when nothing is left in it
  char parent[MAX_PATH];
  size_t n = strlen(folder);
  if (createdBySetup && FolderPart(parent, sizeof parent, folder) && strlen(parent) > 0 && strlen(parent) < n &&
      strstr(parent, "\\Quorvane") && !IsProtectedFolder(parent))
    RemoveDirectoryA(parent);
  SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHA, folder, nullptr);
  SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr);
}
