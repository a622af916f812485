// Secure file deletion: the folder walk, the Windows/System guard, the shredder and the
// handling of locked files (restart-time deletion and the report).
//
// Every folder is walked by the one walk (common/treewalk.h): UTF-16 names as the
// folder lists them, each folder held while its entries are handled, each entry
// opened relative to its held folder and judged on that handle. A path given to
// these routines in ANSI is converted once, exactly, or refused. What is
// overwritten is decided on the open handle: only a plain disk file with a single
// name. Links are removed, never entered.
#include "tray/wash/deletion.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "common/folderguard.h"
#include "common/paths.h"
#include "common/restartlist.h"
#include "common/treewalk.h"
#include "common/widepath.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"

namespace {

constexpr DWORD kShredBlock = 8192;
constexpr DWORD kShredChunk = 8 * kShredBlock;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kShareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr const char* kSessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
// A file's size when the listing did not give it.
constexpr unsigned long long kSizeUnknown = ~0ull;

bool Stopping() { return StopRequested.load(std::memory_order_relaxed) != 0; }

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The four File Delete Options, read when a walk (or a single file) begins: a
// walk of many thousand files does not ask the registry for them at each file.
struct DeleteOptions {
  bool guardWinSys;      // "NotWinOrSys" is 1
  bool shred;            // "ShredInternal" is 1
  bool queue;            // "QueueForNextRestart" is not 0
  bool overwriteLocked;  // "OverwriteLocked" is not 0
  bool leaveLocked;      // a file that stays is only counted as left (a cleaning rule's walk)
};

DeleteOptions ReadDeleteOptions() {
  return DeleteOptions{ReadSettingInt("NotWinOrSys") == 1, ReadSettingInt("ShredInternal") == 1,
                       ReadSettingInt("QueueForNextRestart") != 0, ReadSettingInt("OverwriteLocked") != 0, false};
}

// The literal full path of a path given in ANSI, converted once; false when the
// code page does not convert it exactly or it is not a full path.
bool LiteralOfAnsi(const char* path, std::vector<wchar_t>& literal) {
  std::vector<wchar_t> wide(kLongPathChars);
  literal.assign(kLongPathChars, 0);
  return path && WideFromAnsi(path, wide.data(), wide.size()) &&
         LiteralFullPath(wide.data(), literal.data(), literal.size());
}

// The shell's notices take the plain form of a path.
void Notify(LONG event, const wchar_t* literal) {
  std::vector<wchar_t> scratch(kLongPathChars);
  const wchar_t* plain = PlainFormOf(literal, scratch.data(), scratch.size());
  if (plain) SHChangeNotify(event, SHCNF_PATHW, plain, nullptr);
}

void FlushShellNotices() { SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr); }

// Something the deletion could not reach or remove: counted, with its path. A
// preview only notes it (it may run beside a wash, whose counts it must not touch).
void NoteLeft(const wchar_t* path) {
  ReportLeft(DisplayText(path).c_str());
  if (!IsPreview()) WashErrorCount.fetch_add(1, std::memory_order_relaxed);
}

// The overwrite pass writes a file once from its start to its end.
constexpr DWORD kShredOptions = FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY;

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

// The overwrite pass on an opened file: the 8192-byte block of pseudo-random bytes
// written over the whole length (sizes beyond 4 GB included) from its start, then
// flushed, so that the bytes reach the disk before the file is deleted. The block
// goes out eight copies to a call (the same bytes, an eighth of the calls); the
// pass ends at the first write that fails. Sets ContentsOverwritten only when the
// file's bytes were written.
bool OverwriteOpened(HANDLE file) {
  LARGE_INTEGER size, start = {};
  if (!IsPlainDiskFile(file) || !GetFileSizeEx(file, &size) || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
    return false;
  unsigned long long length = static_cast<unsigned long long>(size.QuadPart);
  size_t chunk = static_cast<size_t>(std::min<unsigned long long>(length, kShredChunk));
  std::vector<unsigned char> bytes((chunk + kShredBlock - 1) / kShredBlock * kShredBlock);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = i < kShredBlock ? static_cast<unsigned char>(NextRandom()) : bytes[i - kShredBlock];
  bool ok = true;
  for (unsigned long long done = 0; ok && done < length;) {
    DWORD part = static_cast<DWORD>(std::min<unsigned long long>(length - done, kShredChunk)), written = 0;
    ok = WriteFile(file, bytes.data(), part, &written, nullptr) && written == part;
    done += part;
  }
  if (ok && !FlushFileBuffers(file)) ok = false;
  if (ok) ContentsOverwritten.store(1, std::memory_order_relaxed);
  return ok;
}

// Overwrites the entry name of the held folder in place; false when it cannot.
bool OverwriteEntry(HANDLE folder, const wchar_t* name) {
  DWORD error = 0;
  HANDLE file = OpenInFolder(folder, name, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, kShareAll, kShredOptions, &error);
  if (!file) return false;
  bool done = OverwriteOpened(file);
  CloseHandle(file);
  return done;
}

enum FileOutcome { kFileDeleted, kFileGone, kFileStays };

// Deletes the entry name of the held folder, decided on the opened entry (a link
// goes as a link); with shred, a plain file is overwritten first through the same
// handle. *size is read there when it was not known.
FileOutcome DeleteEntry(HANDLE folder, const wchar_t* name, DWORD attributes, bool shred,
                        unsigned long long* size, DWORD* error) {
  ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) access |= FILE_WRITE_ATTRIBUTES;
  HANDLE entry = nullptr;
  if (shred && !(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
    entry = OpenInFolder(folder, name, access | FILE_WRITE_DATA, kShareNoDelete, kShredOptions, error);
  if (entry) OverwriteOpened(entry);  // a file that cannot be overwritten is still deleted
  if (!entry) entry = OpenInFolder(folder, name, access, kShareAll, FILE_NON_DIRECTORY_FILE, error);
  if (!entry) return IsGone(*error) ? kFileGone : kFileStays;
  LARGE_INTEGER known;
  if (*size == kSizeUnknown) *size = GetFileSizeEx(entry, &known) ? static_cast<unsigned long long>(known.QuadPart) : 0;
  bool deleted = MarkDeleted(entry, error);
  CloseHandle(entry);
  return deleted ? kFileDeleted : kFileStays;
}

RestartMoveCall RestartMove = MoveFileExW;
RestartKeyCall RestartKeyOpen = RegOpenKeyExA;

// The permission warning on NT when the Session Manager key cannot take values;
// true then. Every file counts as a warning; a run (or a clearing from the Wash
// page) shows the box only for its first file.
bool WarnWithoutSessionManagerRights() {
  HKEY key;
  if (RestartKeyOpen(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;
  }
  char text[kDeletePathChars];
  snprintf(text, sizeof text, "%s%s",
           "To delete a locked file you need either Administrator rights, or write permission to: ",
           "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager");
  if (!QuietReports() && FirstRightsWarning()) MessageBoxA(LibOwnerWindow, text, kProductTitle, MB_OK);
  WashWarningCount.fetch_add(1, std::memory_order_relaxed);
  return true;
}

// Sets the file up for deletion at the next restart; the restart list of the
// platforms outside NT takes only a path the code page spells exactly. *noRights:
// on NT, the rights for the restart list are missing.
int ScheduleForRestart(const wchar_t* literal, bool* noRights) {
  *noRights = false;
  if (!IsNtPlatform()) {
    std::vector<char> ansi(wcslen(literal) * 2 + 8);
    if (!AnsiForDisplay(literal, ansi.data(), ansi.size())) return 0;
    RestartReport how = {1, LibOwnerWindow, QuietReports() ? nullptr : ShowSystemError, &WashErrorCount};
    return QueueRestartDeletion(ansi.data(), how) != 0;
  }
  DWORD error = 0;
  int scheduled = RestartMove(literal, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  if (!scheduled) error = GetLastError();
  *noRights = WarnWithoutSessionManagerRights();
  if (!scheduled) SetLastError(error);
  return scheduled;
}

void AppendReportPiece(char* report, size_t cap, const char* piece) {
  size_t used = strlen(report);
  if (used < cap) snprintf(report + used, cap - used, "%s ", piece);
}

void ReportLockedFile(const char* path, int queue, int scheduled, DWORD error) {
  char report[4000] = {};
  char sentence[kDeletePathChars + 200];
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

// One file (the entry name of the held folder, literal full path): the optional
// shredding and the deletion; for a file that stays, the restart-time deletion,
// the overwrite of a locked file and, with report, the report and the counts.
// What it freed goes into the report; the shell is told by the caller.
FileOutcome DeleteFileOfWash(HANDLE folder, const wchar_t* name, const wchar_t* path, DWORD attributes,
                     unsigned long long size, const DeleteOptions& options, bool shred, int report) {
  DWORD error = 0;
  FileOutcome outcome = DeleteEntry(folder, name, attributes, shred, &size, &error);
  if (outcome == kFileStays && options.leaveLocked) {
    if (!report) return outcome;
    WashErrorCount.fetch_add(1, std::memory_order_relaxed);
    ReportLeft(DisplayText(path).c_str());
    return outcome;
  }
  if (outcome == kFileStays) {
    bool noRights = false;
    int scheduled = options.queue ? ScheduleForRestart(path, &noRights) : 0;
    if (!options.shred && options.overwriteLocked) OverwriteEntry(folder, name);
    outcome = DeleteEntry(folder, name, attributes, false, &size, &error);
    if (outcome == kFileStays) {
      if (!report) return outcome;
      // Without the rights every locked file would fail alike: a run reports them
      // together at its end; otherwise each file has its report.
      if (scheduled || !noRights || !KeepNotScheduled(DisplayText(path).c_str()))
        ReportLockedFile(DisplayText(path).c_str(), options.queue, scheduled, error);
      (scheduled ? WashLockedCount : WashErrorCount).fetch_add(1, std::memory_order_relaxed);
      if (scheduled) ReportScheduled();
      else ReportLeft(DisplayText(path).c_str());
      return outcome;
    }
  }
  if (outcome == kFileDeleted) ReportFile(size == kSizeUnknown ? 0 : size);
  return outcome;
}

// A single file given by its path: the shell is told of it.
int DeleteAndTell(HANDLE folder, const wchar_t* name, const wchar_t* path, const DeleteOptions& options, bool shred,
                  int report) {
  FileOutcome outcome =
      DeleteFileOfWash(folder, name, path, INVALID_FILE_ATTRIBUTES, kSizeUnknown, options, shred, report);
  if (outcome == kFileDeleted) Notify(SHCNE_DELETE, path);
  return outcome == kFileStays ? 0 : 1;
}

// ---- A file given by its path: its folder held, the file opened in it.

struct HeldFile {
  std::vector<wchar_t> path;  // literal full path
  HANDLE folder;              // the held folder it lies in; null when there is none
  const wchar_t* name;        // its name in path
  bool refused;               // not a path these routines take (not full, not exact, a device)
};

// The file's literal path is in held.path (when it could be made).
void HoldLiteral(HeldFile& held) {
  if (held.refused || !IsBelowLiteralRoot(held.path.data())) {
    held.refused = true;
    return;
  }
  wchar_t* last = wcsrchr(held.path.data(), L'\\');
  held.name = last + 1;
  if (!*held.name) {  // a folder's path, not a file's
    held.refused = true;
    return;
  }
  std::wstring folder(held.path.data(), static_cast<size_t>(last - held.path.data()));
  if (LiteralRootLength(held.path.data()) == folder.size() + 1) folder += L'\\';  // a file in a root
  DWORD error = 0;
  held.folder = OpenHeldFolder(folder.c_str(), 0, &error);  // the folder the caller's path leads to
}

HeldFile HoldFile(const char* path) {
  HeldFile held = {{}, nullptr, nullptr, false};
  held.refused = !LiteralOfAnsi(path, held.path);
  HoldLiteral(held);
  return held;
}

HeldFile HoldFileW(const wchar_t* literal) {
  HeldFile held = {std::vector<wchar_t>(literal, literal + wcslen(literal) + 1), nullptr, nullptr, false};
  HoldLiteral(held);
  return held;
}

void Release(HeldFile& held) {
  if (held.folder) CloseHandle(held.folder);
  held.folder = nullptr;
}

// The held folder is the Windows or the System folder (by what it is).
bool IsWindowsOrSystemFolder(HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info)) return true;
  wchar_t windows[MAX_PATH] = {}, system[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  for (const wchar_t* known : {windows, system}) {
    FolderId id;
    if (known[0] && ReadFolderIdW(known, &id) && id.volume == info.dwVolumeSerialNumber &&
        id.indexHigh == info.nFileIndexHigh && id.indexLow == info.nFileIndexLow)
      return true;
  }
  return false;
}

unsigned long long SizeInFolder(HANDLE folder, const wchar_t* name) {
  DWORD error = 0;
  HANDLE entry = OpenInFolder(folder, name, FILE_READ_ATTRIBUTES, kShareAll, FILE_NON_DIRECTORY_FILE, &error);
  LARGE_INTEGER size = {};
  if (entry) {
    GetFileSizeEx(entry, &size);
    CloseHandle(entry);
  }
  return static_cast<unsigned long long>(size.QuadPart);
}

// ---- The walk of a wash.

// A walk tells the shell once for each folder whose files it deleted (a notice for
// every file of a tree of thousands would cost the walk many times its own time,
// and the shell reads a changed folder anew either way), and once for each folder
// it removed.
struct WashWalk {
  DeleteOptions options;
  std::wstring changed;  // the folder whose deletions the shell was not told of yet
  bool (*keep)(void* context, const WalkEntry& entry);  // a file held back; null: none
  void* keepContext;
};

void TellChangedFolder(WashWalk& walk) {
  if (!walk.changed.empty()) Notify(SHCNE_UPDATEDIR, walk.changed.c_str());
  walk.changed.clear();
}

void NoteDeletedIn(WashWalk& walk, const wchar_t* path) {
  const wchar_t* name = WideNamePart(path);
  size_t folderChars = name > path ? static_cast<size_t>(name - path - 1) : 0;
  if (walk.changed.size() == folderChars && walk.changed.compare(0, folderChars, path, folderChars) == 0) return;
  TellChangedFolder(walk);
  walk.changed.assign(path, folderChars);
}

bool WalkFile(void* context, const WalkEntry& entry) {
  WashWalk* walk = static_cast<WashWalk*>(context);
  if (walk->keep && walk->keep(walk->keepContext, entry)) return true;
  if (IsPreview()) {  // the same walk, only looking: what would go
    ReportFile(entry.size);
    return true;
  }
  ContentsOverwritten.store(0, std::memory_order_relaxed);
  // Whatever a stop asks from here on: a file whose handling has begun is finished
  // (overwritten and deleted), never left overwritten but still there.
  if (DeleteFileOfWash(entry.folder, entry.name, entry.path, entry.attributes, entry.size, walk->options,
                       walk->options.shred, 1) == kFileDeleted)
    NoteDeletedIn(*walk, entry.path);
  return true;
}

void WalkLeft(void*, const wchar_t* path, DWORD) { NoteLeft(path); }

void WalkRemoved(void* context, const wchar_t* path) {
  WashWalk* walk = static_cast<WashWalk*>(context);
  if (walk->changed == path) walk->changed.clear();  // its removal says it all
  TellChangedFolder(*walk);
  Notify(SHCNE_RMDIR, path);
}
bool WalkStopping(void*) { return Stopping(); }

bool HasWildcard(const wchar_t* literal) { return wcspbrk(literal + 4, L"*?") != nullptr; }

// One file given by its path (as typed, for a report when it is refused): the
// guard of the Windows and System folders, then the shredding and the deletion.
// 0 when its folder is guarded, else 1.
int SecureDeleteHeld(HeldFile& held, const char* typed) {
  DeleteOptions options = ReadDeleteOptions();
  if (held.refused) {
    ReportLeft(typed);
    if (!IsPreview()) WashErrorCount.fetch_add(1, std::memory_order_relaxed);
  } else if (held.folder && options.guardWinSys && IsWindowsOrSystemFolder(held.folder)) {
    return 0;
  } else if (held.folder && IsPreview()) {
    ReportFile(SizeInFolder(held.folder, held.name));
  } else if (held.folder) {
    ContentsOverwritten.store(0, std::memory_order_relaxed);
    DeleteAndTell(held.folder, held.name, held.path.data(), options, options.shred, 1);
  }
  return 1;
}

// The folder walk of a wash over a folder's files matching mask (subfolders with
// recurse), keep() holding files back.
EmptyOutcome WalkForWash(const std::wstring& folder, const wchar_t* mask, bool recurse, bool removeFolders,
                         bool (*keep)(void*, const WalkEntry&), void* keepContext,
                         const wchar_t* const* keepAtStart, bool leaveLocked) {
  // Never a root, never a folder of Windows or of a user, whatever the settings say.
  if (!IsBelowLiteralRoot(folder.c_str()) || IsProtectedFolderW(folder.c_str())) return kEmptyRefused;
  WashWalk walk = {ReadDeleteOptions(), L"", keep, keepContext};
  walk.options.leaveLocked = leaveLocked;
  WalkRules rules = {mask, recurse ? kWalkAnyDepth : 0, removeFolders, false, IsPreview(), false,
                     WalkFile, WalkLeft, WalkRemoved, WalkStopping, &walk, keepAtStart};
  WalkResult result = WalkTree(folder.c_str(), rules);
  TellChangedFolder(walk);
  if (Stopping()) return kEmptyStopped;
  FlushShellNotices();
  if (result == kWalkNoFolder) return kEmptyNothing;
  return result == kWalkRefused ? kEmptyRefused : kEmptied;
}

// The start folder of a walk removed when it is empty now: held as itself (a link
// put in its place is not removed), judged by the guard on that handle. A folder
// that still holds something stays without a word.
void RemoveEmptiedStart(const wchar_t* literal) {
  DWORD error = 0;
  HANDLE folder = OpenHeldFolder(literal, kHoldForDelete | kHoldItself, &error);
  if (!folder) return;
  bool gone = !IsProtectedFolderHandle(folder) && MarkDeleted(folder, &error);
  CloseHandle(folder);
  if (gone) Notify(SHCNE_RMDIR, literal);
}

}  // namespace

void SetRestartListCalls(RestartMoveCall move, RestartKeyCall openKey) {
  RestartMove = move ? move : MoveFileExW;
  RestartKeyOpen = openKey ? openKey : RegOpenKeyExA;
}

int OverwriteFile(const char* path) {
  if (Stopping()) return 0;
  if (IsPreview()) return 1;  // a preview changes nothing
  HeldFile held = HoldFile(path);
  if (held.refused) return 0;
  int result = 1;  // no such file: nothing to overwrite
  if (held.folder) {
    DWORD error = 0;
    HANDLE file = OpenInFolder(held.folder, held.name, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, kShareNoDelete,
                               kShredOptions, &error);
    if (file) {
      result = OverwriteOpened(file) ? 1 : 0;
      CloseHandle(file);
    } else if (!IsGone(error)) {
      result = 0;
    }
  }
  Release(held);
  return result;
}

int DeleteOrScheduleFile(const char* path, int report) {
  if (Stopping()) return 0;
  HeldFile held = HoldFile(path);
  int result = 1;  // no folder, no file: already gone
  if (held.refused) {
    result = 0;
  } else if (held.folder && IsPreview()) {
    ReportFile(SizeInFolder(held.folder, held.name));
  } else if (held.folder) {
    result = DeleteAndTell(held.folder, held.name, held.path.data(), ReadDeleteOptions(), false, report);
  }
  Release(held);
  return result;
}

int SecureDeleteFile(const char* path) {
  if (Stopping()) return 0;
  HeldFile held = HoldFile(path);
  int result = SecureDeleteHeld(held, path);
  Release(held);
  return result;
}

EmptyOutcome EmptyFolderW(const wchar_t* path, int recurse) {
  if (!path || !path[0]) return kEmptyNothing;
  // The full form first: a drive-relative "C:" or a bare "*.tmp" would otherwise
  // name the current folder or the root of the current drive: refused.
  std::vector<wchar_t> literal(kLongPathChars);
  if (!LiteralFullPath(path, literal.data(), literal.size())) return kEmptyRefused;
  std::wstring folder = literal.data();
  std::wstring mask = L"*.*";
  if (HasWildcard(literal.data())) {
    // Wildcards are accepted in the last component only.
    mask = WideNamePart(literal.data());
    folder.resize(folder.size() - mask.size());
    if (HasWildcard(folder.c_str())) return kEmptyRefused;
  } else {
    DWORD attributes = GetFileAttributesW(literal.data());
    if (attributes == INVALID_FILE_ATTRIBUTES) return kEmptyNothing;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (Stopping()) return kEmptyStopped;
      HeldFile held = HoldFileW(literal.data());
      SecureDeleteHeld(held, DisplayText(literal.data()).c_str());
      Release(held);
      FlushShellNotices();
      return kEmptied;
    }
  }
  bool everything = mask == L"*.*" || mask == L"*";
  return WalkForWash(folder, mask.c_str(), recurse != 0, recurse && everything, nullptr, nullptr, nullptr, false);
}

EmptyOutcome EmptyFolderChosen(const wchar_t* folder, const EmptyChoice& choice) {
  if (!folder || !folder[0]) return kEmptyNothing;
  std::vector<wchar_t> literal(kLongPathChars);
  if (!LiteralFullPath(folder, literal.data(), literal.size()) || HasWildcard(literal.data())) return kEmptyRefused;
  const wchar_t* mask = choice.mask ? choice.mask : L"*";
  bool everything = !wcscmp(mask, L"*.*") || !wcscmp(mask, L"*");
  EmptyOutcome outcome = WalkForWash(literal.data(), mask, choice.recurse,
                                     choice.recurse && choice.removeFolders && everything && !choice.keep,
                                     choice.keep, choice.context, choice.keepAtStart, choice.leaveLocked);
  if (outcome == kEmptied && choice.removeStart && !IsPreview()) RemoveEmptiedStart(literal.data());
  return outcome;
}

void EmptyFolder(char* path, int recurse) {
  if (!path[0] || strnlen(path, kDeletePathChars) >= kDeletePathChars) return;
  std::vector<wchar_t> wide(kLongPathChars);
  if (!WideFromAnsi(path, wide.data(), wide.size())) return;  // not a path the code page spells: refused
  EmptyFolderW(wide.data(), recurse);
}
