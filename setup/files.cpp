// Setup's file steps: the old version's files removed, the setup folder's files
// copied into the install folder. A file in use is moved aside, replaced, and the
// moved one deleted at the next restart.
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/catalogue.h"
#include "common/deletefile.h"
#include "common/folderguard.h"
#include "common/paths.h"
#include "setup/setup.h"

namespace {

constexpr int kPercentStep = 4;
constexpr int kRetries = 50;          // 100 ms apart: about five seconds
constexpr int kSilentRounds = 2;      // silent mode gives a locked file up after these rounds (about ten seconds)
constexpr int kAsideNumbers = 100;

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

InstallFolderResult MakeInstallFolder() {
  if (!InstallFolder[0] || IsProtectedFolder(InstallFolder)) return kFolderProtected;
  DWORD attributes = GetFileAttributesA(InstallFolder);
  bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  if (!LibCreateFolder(InstallFolder)) return kFolderNotMade;
  // An update into the folder that an earlier setup made keeps that record.
  char earlier[LIB_SETTING_CHARS + 1] = {};
  bool earlierMade = LibReadSettingInt(HKEY_LOCAL_MACHINE, kInstallFolderCreatedSetting) == 1 &&
                     LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", earlier) && SameFolder(earlier, InstallFolder);
  InstallFolderCreated = !existed || earlierMade ? 1 : 0;
  return kFolderReady;
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

void RemoveOldFiles() {
  for (const char* name : {"setup.exe", "Quorvane.hlp", "Quorvane.chm", "Quorvane.gid"})
    DeleteFileWithRetry(InstallFolder, name);
}

void CopySetupFiles() {
  char source[MAX_PATH] = {}, program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !FolderPart(source, sizeof source, program)) return;
  char pattern[MAX_PATH];
  WIN32_FIND_DATAA found;
  HANDLE find = JoinPath(pattern, sizeof pattern, source, "*.*") ? FindFirstFileA(pattern, &found) : INVALID_HANDLE_VALUE;
  if (find == INVALID_HANDLE_VALUE) {
    NoteNotInstalled(source);  // not one file could be listed
    return;
  }
  int percent = 0;
  bool explorerClosed = false;
  do {
    if (IsDotsEntry(found.cFileName) || lstrcmpiA(found.cFileName, "setup.exe") == 0 ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      continue;
    percent = percent + kPercentStep > 100 ? 100 : percent + kPercentStep;
    char status[64];
    snprintf(status, sizeof status, "Copying Files: %u%%", static_cast<unsigned>(percent));
    ShowProgress(status, percent);
    char from[MAX_PATH], to[MAX_PATH];
    if (!JoinPath(from, sizeof from, source, found.cFileName) || !JoinPath(to, sizeof to, InstallFolder, found.cFileName)) {
      NoteNotInstalled(found.cFileName);  // a path that does not fit
      continue;
    }
    if (CopyFileA(from, to, FALSE)) continue;
    LockedCopy copy = {from, to, found.cFileName, {}, false, false};
    if (!CopyLockedFile(copy)) NoteNotInstalled(found.cFileName);
    explorerClosed = explorerClosed || copy.explorerClosed;
  } while (FindNextFileA(find, &found));
  FindClose(find);
  if (explorerClosed) LibReopenExplorerWindows();
}
