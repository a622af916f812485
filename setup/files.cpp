// Setup's file steps: the old version's files removed, the setup folder's files
// copied into the install folder. A file in use is moved aside, replaced, and the
// moved one deleted at the next restart.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

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
#include "setup/setup.h"

namespace {

constexpr int kPercentStep = 4;
constexpr int kRetries = 50;          // 100 ms apart: about five seconds
constexpr int kSilentRounds = 2;      // silent mode gives a locked file up after these rounds (about ten seconds)
constexpr int kAsideNumbers = 100;
constexpr DWORD kPackageListBytes = 64 * 1024;
// A folder setup makes: full control for administrators and the system, read and
// run for users, handed down; nothing inherited from the parent.
constexpr const char* kInstallFolderSddl = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

// What an earlier installation into the same folder recorded, and whether it
// kept a record at all (an installation older than the record did not).
std::vector<InstalledFile> EarlierRecord;
bool EarlierHere = false;
bool EarlierRecorded = false;

void ReadEarlierInstallation() {
  char earlier[LIB_SETTING_CHARS + 1] = {};
  EarlierHere = LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", earlier) && SameFolder(earlier, InstallFolder);
  EarlierRecorded = EarlierHere && ReadInstallRecord(&EarlierRecord);
  if (!EarlierRecorded) EarlierRecord.clear();
}

// name in the install folder is setup's to replace or delete: an earlier
// installation here recorded it, or it is an installation older than the record
// (whose files are the catalogue's names).
bool IsOurs(const char* name) {
  if (!EarlierHere) return false;
  return EarlierRecorded ? FindRecorded(EarlierRecord, name) != nullptr : true;
}

bool ExistsInInstallFolder(const char* name) {
  char path[MAX_PATH];
  return JoinPath(path, sizeof path, InstallFolder, name) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// A folder this setup made gets its own security, set on the folder's handle (a
// link put in its place is refused).
void CloseToOthers(const char* folder) {
  PSECURITY_DESCRIPTOR security = InstallFolderSecurity();
  if (!security) return;
  HANDLE handle = CreateFileA(folder, WRITE_DAC | READ_CONTROL | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted) && present)
    SetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                    nullptr, dacl, nullptr);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  LocalFree(security);
}

// A free name beside target for the file in use: ".delete_on_reboot", then with 2, 3, ...
void AsideName(const char* target, char* out, size_t cap) {
  char base[MAX_PATH * 2];
  snprintf(base, sizeof base, "%s.delete_on_reboot", target);
  snprintf(out, cap, "%s", base);
  for (int i = 2; i <= kAsideNumbers && GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES; ++i)
    snprintf(out, cap, "%s%i", base, i);
}

struct LockedCopy {
  const char* source;
  const char* target;
  const char* name;
  char aside[MAX_PATH * 2];
  bool movedAside;
  bool explorerClosed;
};

// The question after about five seconds of retries; true: try again.
bool AskToRetry(LockedCopy& copy, bool module) {
  char question[2000];
  char first[MAX_PATH + 200];
  snprintf(first, sizeof first, LibTranslate("Cannot copy %s.", LIB_TRANSLATE_FORMAT), copy.name);
  const char* advice =
      module ? LibTranslate("Click OK to let setup close all Explorer windows and try copying again. ::If this doesn't "
                            "help, try installing into a different folder.",
                            0)
             : LibTranslate("Please close the application using it. Or, install into a different folder. ::::Press OK "
                            "to try copying again.",
                            0);
  snprintf(question, sizeof question, "%s\r\n\r\n%s", first, advice);
  UINT style = MB_OKCANCEL | (module ? MB_ICONQUESTION : MB_ICONERROR);
  return MessageBoxA(ProgressPage, question, kProductTitle, style) == IDOK;
}

bool CopyAgain(const LockedCopy& copy) { return CopyFileA(copy.source, copy.target, FALSE) != 0; }

// A file of the setup folder that is not installed; the first one is named at the end.
void NoteNotInstalled(const char* name) {
  if (FilesNotInstalled++ == 0) snprintf(FirstFileNotInstalled, sizeof FirstFileNotInstalled, "%s", name);
}

// Retries for about five seconds; true when the copy succeeded.
bool RetryCopy(const LockedCopy& copy) {
  for (int count = 0; count <= kRetries; ++count) {
    Sleep(100);
    if (CopyAgain(copy)) return true;
  }
  return false;
}

// A target that could not be overwritten: moved aside, copied again, retried, asked.
// Whatever replaced it, the moved-aside file goes at the next restart; a file given
// up is moved back under its own name, so that the installed product stays whole.
// True when the new file is in place.
bool CopyLockedFile(LockedCopy& copy) {
  if (strstr(copy.target, "qvtweak.dll") || strstr(copy.target, "qvtoolbar.dll")) LogoffNeeded = 1;
  AsideName(copy.target, copy.aside, sizeof copy.aside);
  copy.movedAside = MoveFileExA(copy.target, copy.aside, 0) != 0;
  char lowered[MAX_PATH];
  snprintf(lowered, sizeof lowered, "%s", copy.source);
  CharLowerA(lowered);
  bool module = strstr(lowered, ".dll") != nullptr;
  bool copied = CopyAgain(copy) || RetryCopy(copy);
  for (int round = 1; !copied; ++round) {
    if (SilentMode) {
      if (round >= kSilentRounds) break;  // given up
      if (module) {
        LibCloseExplorerWindows();
        copy.explorerClosed = true;
      }
    } else {
      if (!AskToRetry(copy, module)) break;
      if (module) {
        LibCloseExplorerWindows();
        copy.explorerClosed = true;
      }
    }
    copied = CopyAgain(copy) || RetryCopy(copy);
  }
  if (copy.movedAside) {
    if (copied) MoveFileExA(copy.aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    else MoveFileExA(copy.aside, copy.target, 0);  // put back: no file would be left under its name
  }
  return copied;
}

}  // namespace

PSECURITY_DESCRIPTOR InstallFolderSecurity() {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kInstallFolderSddl, SDDL_REVISION_1, &security, nullptr))
    return nullptr;
  return security;
}

bool ReadPackageList() {
  PackageFiles.clear();
  char program[MAX_PATH] = {}, folder[MAX_PATH], list[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !FolderPart(folder, sizeof folder, program) ||
      !JoinPath(list, sizeof list, folder, kPackageListName))
    return false;
  HANDLE file = CreateFileA(list, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string text(kPackageListBytes, '\0');
  DWORD got = 0;
  bool read = ReadFile(file, &text[0], kPackageListBytes, &got, nullptr) && got < kPackageListBytes;
  CloseHandle(file);
  text.resize(got);
  std::vector<std::string> names;
  if (!read || !ParsePackageList(text, &names)) return false;
  for (const std::string& name : names)  // setup itself and its list never leave the package
    if (lstrcmpiA(name.c_str(), "setup.exe") != 0 && lstrcmpiA(name.c_str(), kPackageListName) != 0)
      PackageFiles.push_back(name);
  return !PackageFiles.empty();
}

InstallFolderResult MakeInstallFolder() {
  TakenFileName[0] = 0;
  if (!InstallFolder[0] || IsProtectedFolder(InstallFolder)) return kFolderProtected;
  DWORD attributes = GetFileAttributesA(InstallFolder);
  bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  ReadEarlierInstallation();
  // A file of the package that is another program's: the folder is refused
  // before anything in it changes.
  if (existed)
    for (const std::string& name : PackageFiles)
      if (ExistsInInstallFolder(name.c_str()) && !IsOurs(name.c_str())) {
        snprintf(TakenFileName, sizeof TakenFileName, "%s", name.c_str());
        return kFolderTaken;
      }
  if (!LibCreateFolder(InstallFolder)) return kFolderNotMade;
  if (!existed) CloseToOthers(InstallFolder);
  // An update into the folder that an earlier setup made keeps that record.
  bool earlierMade = EarlierHere && LibReadSettingInt(HKEY_LOCAL_MACHINE, kInstallFolderCreatedSetting) == 1;
  InstallFolderCreated = !existed || earlierMade ? 1 : 0;
  return kFolderReady;
}

void TakenFolderText(char* out, size_t cap) {
  snprintf(out, cap,
           LibTranslate("%s already holds a file named %s that another program put there, and setup never replaces "
                        "it.::::Please choose a folder of its own.",
                        LIB_TRANSLATE_FORMAT),
           InstallFolder, TakenFileName);
}

void RefusedFolderText(char* out, size_t cap) {
  char example[MAX_PATH];
  if (!JoinPath(example, sizeof example, InstallFolder, "Quorvane")) example[0] = 0;
  snprintf(out, cap,
           LibTranslate("%s is a folder of Windows or of a user, and the program could never be uninstalled from "
                        "it.::::Please choose a folder of its own, for example::%s",
                        LIB_TRANSLATE_FORMAT),
           InstallFolder, example);
}

// Files of an earlier version, only where that version wrote them.
void RemoveOldFiles() {
  for (const char* name : {"setup.exe", "Quorvane.hlp", "Quorvane.chm", "Quorvane.gid"})
    if (IsOurs(name)) DeleteFileWithRetry(InstallFolder, name);
}

namespace {

// The installed file's record entry, read back through its handle.
bool Fingerprint(const char* path, const char* name, InstalledFile* entry) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  entry->name = name;
  bool ok = FileFingerprint(file, &entry->size, &entry->hash);
  CloseHandle(file);
  return ok;
}

// The record after the copy: the earlier one's entries, each file this run wrote
// with what it wrote.
void RecordInstalledFiles(const std::vector<InstalledFile>& written) {
  std::vector<InstalledFile> record;
  for (const InstalledFile& earlier : EarlierRecord)
    if (!FindRecorded(written, earlier.name.c_str())) record.push_back(earlier);
  record.insert(record.end(), written.begin(), written.end());
  WriteInstallRecord(record);
}

}  // namespace

void CopySetupFiles() {
  char source[MAX_PATH] = {}, program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !FolderPart(source, sizeof source, program)) return;
  int percent = 0;
  bool explorerClosed = false;
  std::vector<InstalledFile> written;
  for (const std::string& entry : PackageFiles) {
    const char* name = entry.c_str();
    percent = percent + kPercentStep > 100 ? 100 : percent + kPercentStep;
    char status[64];
    snprintf(status, sizeof status, "Copying Files: %u%%", static_cast<unsigned>(percent));
    ShowProgress(status, percent);
    char from[MAX_PATH], to[MAX_PATH];
    if (!JoinPath(from, sizeof from, source, name) || !JoinPath(to, sizeof to, InstallFolder, name) ||
        GetFileAttributesA(from) == INVALID_FILE_ATTRIBUTES || (ExistsInInstallFolder(name) && !IsOurs(name))) {
      NoteNotInstalled(name);  // missing from the package, a path that does not fit, or not setup's to replace
      continue;
    }
    bool copied = CopyFileA(from, to, FALSE) != 0;
    if (!copied) {
      LockedCopy copy = {from, to, name, {}, false, false};
      copied = CopyLockedFile(copy);
      if (!copied) NoteNotInstalled(name);
      explorerClosed = explorerClosed || copy.explorerClosed;
    }
    InstalledFile record;
    if (copied && Fingerprint(to, name, &record)) written.push_back(record);
  }
  RecordInstalledFiles(written);
  if (explorerClosed) LibReopenExplorerWindows();
}
