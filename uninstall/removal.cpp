// The uninstaller's removal steps: running tools stopped, registry entries and
// files removed, files in use scheduled for deletion at the next restart.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/catalogue.h"
#include "common/deletefile.h"
#include "common/folderguard.h"
#include "common/paths.h"
#include "common/restartlist.h"
#include "common/stoptools.h"
#include "lib/Quorvane.h"
#include "uninstall/uninstall.h"

int FilesScheduled;
int FilesLeft;
char FilesLeftList[kFilesLeftChars];

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

// Each entry of folder whose lower-cased name holds one of the two texts.
void DeleteByExtension(const char* folder, const char* a, const char* b) {
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, sizeof pattern, folder, "*.*")) return;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char lowered[MAX_PATH];
    snprintf(lowered, sizeof lowered, "%s", found.cFileName);
    CharLowerA(lowered);
    if (strstr(lowered, a) || strstr(lowered, b)) DeleteOrScheduleFile(folder, lowered);
  } while (FindNextFileA(find, &found));
  FindClose(find);
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
    snprintf(FilesLeftList + used, sizeof FilesLeftList - used, "::%s", path);
  }
}

bool IsRemovableInstallFolder(const char* folder) {
  char full[MAX_PATH];
  return folder && FullFolderPath(folder, full, sizeof full) && IsBelowRoot(full) && !IsProtectedFolder(full);
}

void RemoveFiles(const char* folder, bool createdBySetup) {
  DeleteOrScheduleFile(folder, "qvhavrel.exe");
  for (const char* name : {"Quorvane.hlp", "Quorvane.GID", "Quorvane.hlp", "Quorvane.chm", "helpComplete.chm",
                           "Quorvane.gid"})
    DeleteOrScheduleFile(folder, name);
  for (const char* name : {"setup.exe", "Settings.ico", "Havrel_Lang.txt", "Common_Lang.txt", "member_asp.txt",
                           "pad_file.xml"})
    DeleteOrScheduleFile(folder, name);
  // The shared texts of each language setup offers.
  for (int language = 1; language < kLanguageCount; ++language) {
    char name[32];
    snprintf(name, sizeof name, "Common_Lang_%d.txt", language);
    DeleteOrScheduleFile(folder, name);
  }
  for (const char* name : kToolLogs) DeleteOrScheduleFile(folder, name);
  for (const char* name : kToolFiles) DeleteOrScheduleFile(folder, name);
  // Every sound and help file only in a folder of the family's own: in a folder the
  // user had before, such files are the user's.
  if (createdBySetup) {
    DeleteByExtension(folder, ".wav", ".mid");
    DeleteByExtension(folder, ".hlp", ".gid");
  }
  for (const char* name : kShellExtensions) DeleteOrScheduleFile(folder, name);
  DeleteOrScheduleFile(folder, "Quorvane.dll");
  DeleteOrScheduleFile(folder, "Quorvane64.dll");
  if (createdBySetup)
    for (const char* name : {"Sounds", "Languages", "Help"}) DeleteSubfolder(folder, name);
  DeleteOrScheduleFile(folder, "uninstall.exe");
  RemoveDirectoryA(folder);  // only when nothing is left in it
  char parent[MAX_PATH];
  size_t n = strlen(folder);
  if (createdBySetup && FolderPart(parent, sizeof parent, folder) && strlen(parent) > 0 && strlen(parent) < n &&
      strstr(parent, "\\Quorvane") && !IsProtectedFolder(parent))
    RemoveDirectoryA(parent);
  SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHA, folder, nullptr);
  SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr);
}
