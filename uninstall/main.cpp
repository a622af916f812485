// uninstall: confirms, stops the family's tools, removes its uninstall entries,
// and runs a copy of itself from a work folder of its own ("/internally") that
// removes shortcuts, registry entries and files; a self-deleting batch removes the
// copies with their folder.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/catalogue.h"
#include "common/cleanupbatch.h"
#include "common/folderacl.h"
#include "common/installrecord.h"
#include "common/paths.h"
#include "common/workfolder.h"
#include "lib/Quorvane.h"
#include "uninstall/uninstall.h"

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void ShowBox(const char* text, UINT style) { MessageBoxA(nullptr, text, kHavrelTitle, style); }

// The install folder as setup recorded it, without trailing backslashes; false
// when there is no record.
bool ReadInstallFolder(char* folder) {
  folder[0] = 0;
  if (!LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", folder)) {
    folder[0] = 0;
    return false;
  }
  TrimTrailingBackslashes(folder);
  return true;
}

// A recorded install folder that the folder guard refuses (a root, a folder of
// Windows or of a user): nothing may be taken from it, and nothing that would
// keep a repaired installation from being removed later may go.
bool IsRefusedInstallFolder(const char* folder) { return folder[0] && !IsRemovableInstallFolder(folder); }

void ShowRefusedFolder(const char* folder) {
  char text[LIB_SETTING_CHARS + 600];
  snprintf(text, sizeof text,
           LibTranslate("Nothing was uninstalled: the install folder %s is a folder of Windows or of a user, and no "
                        "file is ever removed from it. The uninstall entry stays.",
                        LIB_TRANSLATE_FORMAT),
           folder);
  ShowBox(text, MB_OK | MB_ICONEXCLAMATION);
}

// The uninstall entries: the identity's own and this product's.
void DeleteUninstallEntries() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteKeyA(key, "qvHavrelClass");
  RegDeleteKeyA(key, "qvToolbarClass");
  RegCloseKey(key);
}

// The helper of a folder that others can change is never started from there: a
// copy in the work folder is (the copy made now, while the removal has not begun).
void CopyUacHelperIfNeeded(const char* folder, const char* work) {
  char helper[MAX_PATH], copy[MAX_PATH];
  if (FolderClosedToOthers(folder) || !JoinPath(helper, sizeof helper, folder, "qvuac.exe") ||
      !JoinPath(copy, sizeof copy, work, "qvuac.exe"))
    return;
  CopyFileA(helper, copy, TRUE);
}

// Copies itself and the library into a new work folder and starts the copy there
// with "/internally" (the work folder as its working folder). Without a work
// folder the removal runs in this process, and its own files go at the next restart.
bool RelaunchFromWorkFolder() {
  char program[MAX_PATH] = {}, work[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH], library[MAX_PATH],
      libraryCopy[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !FolderPart(folder, sizeof folder, program) ||
      !JoinPath(library, sizeof library, folder, "Quorvane.dll"))
    return false;
  HANDLE held = nullptr;
  if (!MakeWorkFolder(work, sizeof work, &held)) return false;
  bool started = false;
  if (!JoinPath(copy, sizeof copy, work, "uninstall.exe") || !CopyFileA(program, copy, TRUE)) {
    ShowBox("Cannot copy uninstall.exe to TEMP.", MB_OK | MB_ICONERROR);
  } else if (!JoinPath(libraryCopy, sizeof libraryCopy, work, "quorvane.dll") ||
             !CopyFileA(library, libraryCopy, TRUE)) {
    ShowBox("Cannot copy Quorvane.dll to TEMP.", MB_OK | MB_ICONERROR);
  } else {
    CopyUacHelperIfNeeded(folder, work);
    INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, copy, "/internally", work, SW_MINIMIZE));
    started = result > 32;
    if (!started) LibShowStartError(result, LIB_TEXT("Cannot start uninstall.exe in TEMP."));
  }
  if (!started) {  // nothing of it may stay behind
    char helperCopy[MAX_PATH];
    DeleteFileA(copy);
    DeleteFileA(libraryCopy);
    if (JoinPath(helperCopy, sizeof helperCopy, work, "qvuac.exe")) DeleteFileA(helperCopy);
    CloseHandle(held);
    RemoveDirectoryA(work);
    return false;
  }
  CloseHandle(held);
  return true;
}

// The running program's folder when it is its work folder; false otherwise.
bool OwnWorkFolder(char* out, size_t cap) {
  char program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  return n > 0 && n < MAX_PATH && FolderPart(out, cap, program) && IsWorkFolder(out);
}

// "qvuac.exe" runs elevated: from the install folder only when nobody but
// administrators can change it, else the copy in the work folder, else not at all.
void StartUacHelper(const char* folder) {
  char from[MAX_PATH], helper[MAX_PATH];
  if (!folder[0]) return;
  if (FolderClosedToOthers(folder)) snprintf(from, sizeof from, "%s", folder);
  else if (!OwnWorkFolder(from, sizeof from)) return;
  if (!JoinPath(helper, sizeof helper, from, "qvuac.exe") || GetFileAttributesA(helper) == INVALID_FILE_ATTRIBUTES)
    return;
  ShellExecuteA(nullptr, nullptr, helper, "/delete /runas /silent", nullptr, SW_SHOWNORMAL);
}

// The group folder named group in a special folder.
void DeleteStartMenuGroup(int csidl, const char* group) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return;
  char path[MAX_PATH] = {};
  BOOL found = SHGetPathFromIDListA(list, path);
  LibFreeIdList(list);
  char folder[MAX_PATH];
  if (found && path[0] && JoinPath(folder, sizeof folder, path, group)) LibDeleteFolder(folder, 1);
}

// The copy running from its work folder hands that folder to the batch, which
// removes it with the copies once they are free; a run from anywhere else (the
// first process, when no work folder could be made) has no copies to remove.
void WriteBatch() {
  char folder[MAX_PATH], helper[MAX_PATH];
  if (!OwnWorkFolder(folder, sizeof folder)) return;
  const char* copies[] = {"uninstall.exe", "Quorvane.dll", "qvuac.exe"};
  bool withHelper = JoinPath(helper, sizeof helper, folder, "qvuac.exe") &&
                    GetFileAttributesA(helper) != INVALID_FILE_ATTRIBUTES;
  CleanupBatch batch = {folder, copies, withHelper ? 3 : 2, false, folder};
  WriteAndStartCleanupBatch(batch);
}

// The changed files that were kept, after a line break when text holds something.
void AppendChanged(char* text, size_t cap) {
  size_t used = strlen(text);
  snprintf(text + used, cap - used, "%s%s", used ? "\r\n\r\n" : "",
           LibTranslate("These files were changed after the installation and were kept:", 0));
  used = strlen(text);
  snprintf(text + used, cap - used, "%s%s", FilesChangedList, FilesChanged > kFilesLeftNamed ? "\r\n..." : "");
}

// The last message: the files that stayed or were kept, or those left to the next restart.
void ShowEnding() {
  char text[2 * kFilesLeftChars + 1200] = {};
  if (FilesLeft) {
    snprintf(text, sizeof text,
             LibTranslate("Uninstall finished, but %u files could be neither deleted nor scheduled for deletion after "
                          "the next reboot:%s",
                          LIB_TRANSLATE_FORMAT),
             static_cast<unsigned>(FilesLeft), FilesLeftList);
    size_t used = strlen(text);
    if (FilesLeft > kFilesLeftNamed) snprintf(text + used, sizeof text - used, "%s", "\r\n...");
  }
  if (FilesChanged) AppendChanged(text, sizeof text);
  if (text[0]) {
    size_t used = strlen(text);
    if (FilesScheduled)
      snprintf(text + used, sizeof text - used, "\r\n\r\n%s",
               LibTranslate("One or more other files have been scheduled for deletion after the next reboot.", 0));
    ShowBox(text, MB_OK | MB_ICONEXCLAMATION);
  } else if (FilesScheduled) {
    ShowBox("Uninstall finished. One or more files have been scheduled for deletion after the next reboot.", MB_OK);
  }
}

int RemovalRun() {
  char folder[LIB_SETTING_CHARS + 1] = {};
  bool known = ReadInstallFolder(folder);
  if (!known) ShowBox("Cannot find install path to remove files.", MB_OK);
  // The guard speaks before anything that cannot be undone: the helper started
  // from that folder, the shortcuts, the entries, the files.
  if (IsRefusedInstallFolder(folder)) {
    ShowRefusedFolder(folder);
    WriteBatch();
    return kExitRefusedFolder;
  }
  bool createdBySetup = LibReadSettingInt(HKEY_LOCAL_MACHINE, kInstallFolderCreatedSetting) == 1;
  StartUacHelper(folder);
  for (int csidl : {CSIDL_STARTUP, CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY}) LibDeleteShortcuts(csidl);
  for (int csidl : {CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
    DeleteStartMenuGroup(csidl, kHavrelTitle);
    DeleteStartMenuGroup(csidl, kProductTitle);
  }
  RemoveRegistryEntries();
  if (strlen(folder) > 1 && GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) RemoveFiles(folder, createdBySetup);
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath");
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kFamilyKey, kInstallFolderCreatedSetting);
  DeleteInstallRecord();
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kFamilyKey, "GeneralLanguage");
  // The family's keys stay while another product of the family keeps its values there.
  DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, kFamilyKey);
  DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
  ShowEnding();
  WriteBatch();
  if (FilesLeft) return kExitFilesLeft;
  if (FilesScheduled) return kExitScheduled;
  if (FilesChanged) return kExitFilesKept;
  return known ? kExitDone : kExitNoInstallPath;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  LimitLibrarySearch();
  LibSetProductInfo(instance, kHavrelTitle, "Havrel", "qvHavrelClass", "Havrel", "Havrel", "Software\\Quorvane\\Havrel",
                    "Quorvane.hlp", "havrel.htm", "qvhavrel.exe", 0, 0, 0, 0, 112, 71,
                    "https://www.quorvane.com/havrel", "unused", 1);
  LibInitialize(0, 49);
  if (strstr(GetCommandLineA(), "/internally")) return RemovalRun();
  char text[600];
  snprintf(text, sizeof text,
           LibTranslate("This will uninstall %s, and remove all user defined settings.", LIB_TRANSLATE_FORMAT),
           kHavrelTitle);
  if (MessageBoxA(nullptr, text, kHavrelTitle, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return kExitCanceled;
  StopRunningToolsOnce();
  char folder[LIB_SETTING_CHARS + 1] = {};
  ReadInstallFolder(folder);
  if (!IsRefusedInstallFolder(folder)) DeleteUninstallEntries();
  // Handed to the copy in its work folder, which ends with its own code; else the removal runs here.
  return RelaunchFromWorkFolder() ? kExitDone : RemovalRun();
}
