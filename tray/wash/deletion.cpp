// Secure file deletion: the folder walk, the Windows/System guard, the shredder and the
// handling of locked files (restart-time deletion and the report).
#include "tray/wash/deletion.h"

#include <shlobj.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/restartlist.h"
#include "tray/qvtoolbar.h"

namespace {

constexpr DWORD kShredBlock = 8192;
constexpr const char* kSessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";

bool Stopping() { return StopRequested.load(std::memory_order_relaxed) != 0; }

// dst := a + b + c; false (dst untouched) when the result would not fit.
bool JoinPath(char* dst, size_t cap, const char* a, const char* b, const char* c = "") {
  char tmp[kDeletePathChars];
  int n = snprintf(tmp, sizeof tmp, "%s%s%s", a, b, c);
  if (n < 0 || static_cast<size_t>(n) >= cap || static_cast<size_t>(n) >= sizeof tmp) return false;
  memcpy(dst, tmp, n + 1);
  return true;
}

bool EndsWithBackslash(const char* s) {
  size_t n = strlen(s);
  return n > 0 && s[n - 1] == '\\';
}

bool AppendBackslash(char* path, size_t cap) {
  return EndsWithBackslash(path) || JoinPath(path, cap, path, "\\");
}

bool HasWildcard(const char* s) { return strpbrk(s, "*?") != nullptr; }

bool IsDots(const char* name) { return _stricmp(name, ".") == 0 || _stricmp(name, "..") == 0; }

// A folder (ending in "\") is guarded when "NotWinOrSys" is 1 and it is the Windows or System folder.
bool GuardedFolder(const char* folder) {
  if (ReadSettingInt("NotWinOrSys") != 1) return false;
  char windows[MAX_PATH + 2] = {};
  char system[MAX_PATH + 2] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  AppendBackslash(windows, sizeof windows);
  AppendBackslash(system, sizeof system);
  return _stricmp(folder, windows) == 0 || _stricmp(folder, system) == 0;
}

void FlushShellNotices() { SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr); }

// Deletes the files of folder (ending in "\") matched by pattern; false when a stop or the guard ended it.
void DeleteMatchingFiles(const char* folder, const char* pattern) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    char file[kDeletePathChars];
    if (!IsDots(found.cFileName) && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        JoinPath(file, sizeof file, folder, found.cFileName)) {
      if (!SecureDeleteFile(file)) break;
    }
  } while (!Stopping() && FindNextFileA(find, &found));
  FindClose(find);
}

// Walks the subfolders of folder with the same mask. A link (a junction or a directory
// symbolic link) is never entered: only the link itself is removed, and only for "*.*".
void EmptySubfolders(const char* folder, const char* mask, int recurse) {
  char pattern[kDeletePathChars];
  if (!JoinPath(pattern, sizeof pattern, folder, "*.*")) return;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  bool everything = _stricmp(mask, "*.*") == 0;
  do {
    if (IsDots(found.cFileName) || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    char sub[kDeletePathChars];
    if (!JoinPath(sub, sizeof sub, folder, found.cFileName, "\\")) continue;
    bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!link) {
      char walk[kDeletePathChars];
      if (!JoinPath(walk, sizeof walk, sub, mask)) continue;
      EmptyFolder(walk, recurse);
    }
    if (everything && !Stopping()) {
      if (RemoveDirectoryA(sub)) SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHA, sub, nullptr);
    }
  } while (!Stopping() && FindNextFileA(find, &found));
  FindClose(find);
}

void FormatReportPiece(char* report, size_t cap, const char* piece) {
  size_t used = strlen(report);
  if (used < cap) snprintf(report + used, cap - used, "%s ", piece);
}

// The permission warning on NT when the Session Manager key cannot take values.
void WarnWithoutSessionManagerRights() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    return;
  }
  char text[kDeletePathChars];
  snprintf(text, sizeof text, "%s%s",
           "To delete a locked file you need either Administrator rights, or write permission to: ",
           "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager");
  MessageBoxA(LibOwnerWindow, text, kProductTitle, MB_OK);
  WashWarningCount.fetch_add(1, std::memory_order_relaxed);
}

int ScheduleForRestart(const char* path) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT)
    return QueueRestartDeletion(path, 1, ShowSystemError, &WashErrorCount) != 0;
  DWORD error = 0;
  int scheduled = MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  if (!scheduled) error = GetLastError();
  WarnWithoutSessionManagerRights();
  if (!scheduled) SetLastError(error);
  return scheduled;
}

void ReportLockedFile(const char* path, int queue, int scheduled) {
  char report[4000] = {};
  char sentence[kDeletePathChars + 200];
  DWORD error = GetLastError();
  snprintf(sentence, sizeof sentence, LibTranslate("Could not delete '%s' because it is locked.", 0), path);
  FormatReportPiece(report, sizeof report, sentence);
  if (ContentsOverwritten.load(std::memory_order_relaxed) == 1)
    FormatReportPiece(report, sizeof report,
                      LibTranslate("The contents, however, has been overwritten with random numbers.", 0));
  if (queue)
    FormatReportPiece(report, sizeof report,
                      LibTranslate(scheduled ? "The file will be deleted at next computer restart."
                                             : "The file could NOT be set up for deletion at next computer restart!",
                                   0));
  else
    FormatReportPiece(report, sizeof report,
                      LibTranslate("Check 'Delete locked files at next computer restart' in Delete Options.", 0));
  size_t used = strlen(report);
  snprintf(report + used, sizeof report - used, "%s", "Windows issued this error: ");
  SetLastError(error);
  ShowSystemError(LibOwnerWindow, report);
}

}  // namespace

int OverwriteFile(const char* path) {
  if (Stopping()) return 0;
  if (!path[0] || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    ContentsOverwritten.store(1, std::memory_order_relaxed);
    return 1;
  }
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD size = GetFileSize(file, nullptr);
  unsigned char block[kShredBlock];
  for (unsigned char& b : block) b = static_cast<unsigned char>(NextRandom());
  bool ok = true;
  DWORD written;
  for (DWORD i = 0; i < (size >> 13); ++i) {
    if (!WriteFile(file, block, kShredBlock, &written, nullptr) || written != kShredBlock) ok = false;
  }
  DWORD rest = size & (kShredBlock - 1);
  if (!WriteFile(file, block, rest, &written, nullptr) || written != rest) ok = false;
  CloseHandle(file);
  if (!ok) return 0;
  ContentsOverwritten.store(1, std::memory_order_relaxed);
  return 1;
}

int DeleteOrScheduleFile(const char* path, int report) {
  if (Stopping()) return 0;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileA(path)) {
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path, nullptr);
    return 1;
  }
  int queue = ReadSettingInt("QueueForNextRestart") != 0;
  int scheduled = queue ? ScheduleForRestart(path) : 0;
  if (ReadSettingInt("ShredInternal") != 1 && ReadSettingInt("OverwriteLocked") != 0) OverwriteFile(path);
  if (DeleteFileA(path)) {
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path, nullptr);
    return 1;
  }
  if (!report) return 0;
  ReportLockedFile(path, queue, scheduled);
  (scheduled ? WashLockedCount : WashErrorCount).fetch_add(1, std::memory_order_relaxed);
  return 0;
}

int SecureDeleteFile(const char* path) {
  if (Stopping()) return 0;
  if (ReadSettingInt("NotWinOrSys") == 1) {
    char folder[kDeletePathChars];
    const char* slash = strrchr(path, '\\');
    size_t n = slash ? static_cast<size_t>(slash - path + 1) : strlen(path);
    if (n >= sizeof folder) return 0;
    memcpy(folder, path, n);
    folder[n] = 0;
    if (GuardedFolder(folder)) return 0;
  }
  ContentsOverwritten.store(0, std::memory_order_relaxed);
  if (ReadSettingInt("ShredInternal") == 1) OverwriteFile(path);
  DeleteOrScheduleFile(path, 1);
  return 1;
}

void EmptyFolder(char* path, int recurse) {
  if (!path[0] || strnlen(path, kDeletePathChars) >= kDeletePathChars) return;
  char pattern[kDeletePathChars];
  char mask[kDeletePathChars];
  if (!HasWildcard(path)) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      SecureDeleteFile(path);
      FlushShellNotices();
      return;
    }
    if (!AppendBackslash(path, kDeletePathChars) || GuardedFolder(path)) return;
    if (!JoinPath(pattern, sizeof pattern, path, "*.*")) return;
    snprintf(mask, sizeof mask, "%s", "*.*");
  } else {
    snprintf(pattern, sizeof pattern, "%s", path);
    char drive[_MAX_DRIVE], dir[kDeletePathChars], name[kDeletePathChars], ext[kDeletePathChars];
    _splitpath(pattern, drive, dir, name, ext);
    if (!JoinPath(mask, sizeof mask, name, ext)) return;
    if (!HasWildcard(mask) || HasWildcard(dir) || HasWildcard(drive)) return;
    JoinPath(path, kDeletePathChars, drive, dir);
    if (!AppendBackslash(path, kDeletePathChars) || GuardedFolder(path)) return;
  }
  DeleteMatchingFiles(path, pattern);
  if (Stopping()) return;
  if (recurse) {
    char all[kDeletePathChars];
    WIN32_FIND_DATAA probe;
    if (!JoinPath(all, sizeof all, path, "*.*")) return;
    HANDLE find = FindFirstFileA(all, &probe);
    if (find == INVALID_HANDLE_VALUE) return;
    FindClose(find);
    EmptySubfolders(path, mask, recurse);
  }
  FlushShellNotices();
}
