// Secure file deletion: the folder walk, the Windows/System guard, the shredder and the
// handling of locked files (restart-time deletion and the report).
//
// Every file and folder met in a walk is addressed by its literal name
// ("\\?\C:\..."), so that an entry named "nul" or "name." is that entry and not
// the device or a sibling. What is overwritten is decided on the open handle:
// only a plain disk file with a single name. Links are removed, never entered.
#include "tray/wash/deletion.h"

#include <shlobj.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/folderguard.h"
#include "common/paths.h"
#include "common/restartlist.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"

namespace {

constexpr DWORD kShredBlock = 8192;
constexpr size_t kLiteralChars = kDeletePathChars + kLiteralPrefixChars;
constexpr const char* kSessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";

bool Stopping() { return StopRequested.load(std::memory_order_relaxed) != 0; }

// A "*" or "?" in the path; the "?" of a literal path's "\\?\" prefix is none.
bool HasWildcard(const char* s) {
  if (strncmp(s, "\\\\?\\", 4) == 0) s += 4;
  return strpbrk(s, "*?") != nullptr;
}

// The literal form of path for the system calls (see the top of this file).
struct Literal {
  char text[kLiteralChars];
};
Literal LiteralOf(const char* path) {
  Literal l;
  LiteralPath(path, l.text, sizeof l.text);
  return l;
}

// The four File Delete Options, read when a walk (or a single file) begins: a
// walk of many thousand files does not ask the registry for them at each file.
struct DeleteOptions {
  bool guardWinSys;      // "NotWinOrSys" is 1
  bool shred;            // "ShredInternal" is 1
  bool queue;            // "QueueForNextRestart" is not 0
  bool overwriteLocked;  // "OverwriteLocked" is not 0
};

DeleteOptions ReadDeleteOptions() {
  return DeleteOptions{ReadSettingInt("NotWinOrSys") == 1, ReadSettingInt("ShredInternal") == 1,
                       ReadSettingInt("QueueForNextRestart") != 0, ReadSettingInt("OverwriteLocked") != 0};
}

// A folder (ending in "\") is guarded when "NotWinOrSys" is 1 and it is the Windows or System folder.
bool GuardedFolder(const char* folder, const DeleteOptions& options) {
  if (!options.guardWinSys) return false;
  char windows[MAX_PATH + 2] = {};
  char system[MAX_PATH + 2] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetSystemDirectoryA(system, MAX_PATH);
  AddTrailingBackslash(windows, sizeof windows);
  AddTrailingBackslash(system, sizeof system);
  return _stricmp(folder, windows) == 0 || _stricmp(folder, system) == 0;
}

void FlushShellNotices() { SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr); }

// Clears the attributes that keep a file from being written or deleted (given as a
// folder listing found them, or read now). A link keeps its own: setting attributes
// through its name would change its target.
void ClearAttributes(const char* literal, DWORD attributes = INVALID_FILE_ATTRIBUTES) {
  constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (attributes == INVALID_FILE_ATTRIBUTES) attributes = GetFileAttributesA(literal);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
  if (attributes & kInTheWay) SetFileAttributesA(literal, FILE_ATTRIBUTE_NORMAL);
}

// A file's size when a walk did not give it (only looked up while a report is kept).
constexpr unsigned long long kSizeUnknown = ~0ull;

int HandleFile(const char* path, DWORD attributes, unsigned long long size, const DeleteOptions& options);

// Only a plain disk file with a single name may be overwritten: not a link or
// other reparse point (its target lies elsewhere), not a file with further hard
// links (its data lives on under them), not a device.
bool IsPlainDiskFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
  return info.nNumberOfLinks == 1;
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Deletes the files of folder (ending in "\") that match mask; ends when a file is guarded or a stop comes.
void DeleteMatchingFiles(const char* folder, const char* mask, const DeleteOptions& options) {
  char pattern[kDeletePathChars];
  if (!JoinPath(pattern, sizeof pattern, folder, mask)) return;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(LiteralOf(pattern).text, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    char file[kDeletePathChars];
    if (!IsDotsEntry(found.cFileName) && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        JoinPath(file, sizeof file, folder, found.cFileName)) {
      unsigned long long size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      if (Stopping() || !HandleFile(file, found.dwFileAttributes, size, options)) break;
    }
  } while (!Stopping() && FindNextFileA(find, &found));
  FindClose(find);
}

void WalkFolder(const char* folder, const char* mask, int recurse, const DeleteOptions& options);

// Walks the subfolders of folder with the same mask. A link (a junction or a directory
// symbolic link) is never entered: only the link itself is removed, and only for "*.*".
void WalkSubfolders(const char* folder, const char* mask, int recurse, const DeleteOptions& options) {
  char pattern[kDeletePathChars];
  if (!JoinPath(pattern, sizeof pattern, folder, "*.*")) return;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(LiteralOf(pattern).text, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  bool everything = _stricmp(mask, "*.*") == 0;
  do {
    if (IsDotsEntry(found.cFileName) || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    char sub[kDeletePathChars];
    if (!JoinPath(sub, sizeof sub, folder, found.cFileName) || !AddTrailingBackslash(sub, sizeof sub)) continue;
    bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!link) WalkFolder(sub, mask, recurse, options);
    if (everything && !Stopping() && !IsPreview()) {
      if (RemoveDirectoryA(LiteralOf(sub).text)) SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHA, sub, nullptr);
    }
  } while (!Stopping() && FindNextFileA(find, &found));
  FindClose(find);
}

// The files of folder (a full path ending in "\") that match mask, then with
// recurse its subfolders; the shell is told once at the end.
void WalkFolder(const char* folder, const char* mask, int recurse, const DeleteOptions& options) {
  if (GuardedFolder(folder, options)) return;
  DeleteMatchingFiles(folder, mask, options);
  if (Stopping()) return;
  if (recurse) {
    char all[kDeletePathChars];
    WIN32_FIND_DATAA probe;
    if (!JoinPath(all, sizeof all, folder, "*.*")) return;
    HANDLE find = FindFirstFileA(LiteralOf(all).text, &probe);
    if (find == INVALID_HANDLE_VALUE) return;
    FindClose(find);
    WalkSubfolders(folder, mask, recurse, options);
  }
  FlushShellNotices();
}

void AppendReportPiece(char* report, size_t cap, const char* piece) {
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
  if (!QuietReports()) MessageBoxA(LibOwnerWindow, text, kProductTitle, MB_OK);
  WashWarningCount.fetch_add(1, std::memory_order_relaxed);
}

int ScheduleForRestart(const char* path) {
  if (!IsNtPlatform()) {
    RestartReport how = {1, LibOwnerWindow, QuietReports() ? nullptr : ShowSystemError, &WashErrorCount};
    return QueueRestartDeletion(path, how) != 0;
  }
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
  snprintf(sentence, sizeof sentence,
           LibTranslate("Could not delete '%s' because it is locked.", LIB_TRANSLATE_FORMAT), path);
  AppendReportPiece(report, sizeof report, sentence);
  if (ContentsOverwritten.load(std::memory_order_relaxed) == 1)
    AppendReportPiece(report, sizeof report,
                      LibTranslate("The contents, however, has been overwritten with random numbers.", 0));
  if (queue)
    AppendReportPiece(report, sizeof report,
                      LibTranslate(scheduled ? "The file will be deleted at next computer restart."
                                             : "The file could NOT be set up for deletion at next computer restart!",
                                   0));
  else
    AppendReportPiece(report, sizeof report,
                      LibTranslate("Check 'Delete locked files at next computer restart' in Delete Options.", 0));
  size_t used = strlen(report);
  snprintf(report + used, sizeof report - used, "%s", "Windows issued this error: ");
  SetLastError(error);
  if (!QuietReports()) ShowSystemError(LibOwnerWindow, report);
}

// Deletes the file by its literal name; true also when it is already gone
// (another program, the user, or a single-item clearing removed it meanwhile). What
// this deletion freed goes into the report.
bool DeleteOrFindGone(const char* path, const char* literal, unsigned long long size) {
  if (DeleteFileA(literal)) {
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path, nullptr);
    ReportFile(size == kSizeUnknown ? 0 : size);
    return true;
  }
  return IsGone(GetLastError());
}

// The size of a file when a report wants it and no walk gave it.
unsigned long long SizeOf(const char* literal, unsigned long long known) {
  if (known != kSizeUnknown || !ActiveReport()) return known;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(literal, GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The overwrite pass, without looking at a stop request: a file whose handling has
// begun is finished (overwritten and deleted), never left overwritten but still there.
int OverwriteNow(const char* path) {
  Literal literal = LiteralOf(path);
  if (!path[0] || GetFileAttributesA(literal.text) == INVALID_FILE_ATTRIBUTES) {
    ContentsOverwritten.store(1, std::memory_order_relaxed);
    return 1;
  }
  ClearAttributes(literal.text);
  HANDLE file = CreateFileA(literal.text, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  if (!IsPlainDiskFile(file)) {
    CloseHandle(file);
    return 0;
  }
  SetLastError(NO_ERROR);
  DWORD size = GetFileSize(file, nullptr);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {  // a failed pass, not 4 GB of writes
    CloseHandle(file);
    return 0;
  }
  unsigned char block[kShredBlock];
  for (unsigned char& b : block) b = static_cast<unsigned char>(NextRandom());
  bool ok = true;
  DWORD written;
  for (DWORD i = 0; i < (size >> 13); ++i) {
    if (!WriteFile(file, block, kShredBlock, &written, nullptr) || written != kShredBlock) ok = false;
  }
  DWORD rest = size & (kShredBlock - 1);
  if (!WriteFile(file, block, rest, &written, nullptr) || written != rest) ok = false;
  // The bytes must reach the disk before the file is deleted, or the system may drop them.
  if (ok && !FlushFileBuffers(file)) ok = false;
  CloseHandle(file);
  if (!ok) return 0;
  ContentsOverwritten.store(1, std::memory_order_relaxed);
  return 1;
}

// Deletion, restart-time deletion and the report, without looking at a stop request.
int DeleteOrScheduleNow(const char* path, int report, const DeleteOptions& options,
                        DWORD attributes = INVALID_FILE_ATTRIBUTES, unsigned long long size = kSizeUnknown) {
  Literal literal = LiteralOf(path);
  size = SizeOf(literal.text, size);
  ClearAttributes(literal.text, attributes);
  if (DeleteOrFindGone(path, literal.text, size)) return 1;
  int queue = options.queue;
  int scheduled = queue ? ScheduleForRestart(path) : 0;
  if (!options.shred && options.overwriteLocked) OverwriteNow(path);
  if (DeleteOrFindGone(path, literal.text, size)) return 1;
  if (!report) return 0;
  ReportLockedFile(path, queue, scheduled);
  (scheduled ? WashLockedCount : WashErrorCount).fetch_add(1, std::memory_order_relaxed);
  if (scheduled) ReportScheduled();
  else ReportLeft(path);
  return 0;
}

// One file: the guard, then (whatever a stop asks from here on: the walk ends after
// it) the optional shredding and the deletion. 0 when the file's folder is guarded.
int HandleFile(const char* path, DWORD attributes, unsigned long long size, const DeleteOptions& options) {
  if (options.guardWinSys) {
    char folder[kDeletePathChars];
    if (!FolderPart(folder, sizeof folder, path)) return 0;
    if (GuardedFolder(folder, options)) return 0;
  }
  if (IsPreview()) {  // the same walk, only looking: what would go
    ReportFile(SizeOf(LiteralOf(path).text, size));
    return 1;
  }
  ContentsOverwritten.store(0, std::memory_order_relaxed);
  if (options.shred) {
    OverwriteNow(path);
    attributes = INVALID_FILE_ATTRIBUTES;  // the pass may have cleared them
  }
  DeleteOrScheduleNow(path, 1, options, attributes, size);
  return 1;
}

}  // namespace

// A preview changes nothing, whichever routine it reaches.
int OverwriteFile(const char* path) { return Stopping() ? 0 : IsPreview() ? 1 : OverwriteNow(path); }

int DeleteOrScheduleFile(const char* path, int report) {
  if (Stopping()) return 0;
  if (IsPreview()) {
    ReportFile(SizeOf(LiteralOf(path).text, kSizeUnknown));
    return 1;
  }
  return DeleteOrScheduleNow(path, report, ReadDeleteOptions());
}

int SecureDeleteFile(const char* path) {
  if (Stopping()) return 0;
  return HandleFile(path, INVALID_FILE_ATTRIBUTES, kSizeUnknown, ReadDeleteOptions());
}

void EmptyFolder(char* path, int recurse) {
  if (!path[0] || strnlen(path, kDeletePathChars) >= kDeletePathChars) return;
  // The full form first: a drive-relative "C:" or a bare "*.tmp" would otherwise
  // name the current folder or the root of the current drive. Roots are never emptied.
  char full[kDeletePathChars];
  if (!MakeFullPath(path, full, sizeof full)) return;
  memcpy(path, full, strlen(full) + 1);
  char folder[kDeletePathChars];
  char mask[kDeletePathChars];
  if (!HasWildcard(path)) {
    DWORD attributes = GetFileAttributesA(LiteralOf(path).text);
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      SecureDeleteFile(path);
      FlushShellNotices();
      return;
    }
    if (!IsBelowRoot(path) || !AddTrailingBackslash(path, kDeletePathChars)) return;
    snprintf(folder, sizeof folder, "%s", path);
    snprintf(mask, sizeof mask, "%s", "*.*");
  } else {
    // Wildcards are accepted in the last component only.
    snprintf(mask, sizeof mask, "%s", FileNamePart(path));
    if (!FolderPart(folder, sizeof folder, path) || HasWildcard(folder) || !HasWildcard(mask)) return;
    if (!IsBelowRoot(folder)) return;
    memcpy(path, folder, strlen(folder) + 1);
  }
  // Never a folder of Windows or of a user, whatever the settings say.
  if (IsProtectedFolder(folder)) return;
  WalkFolder(folder, mask, recurse, ReadDeleteOptions());
}
