// The one folder walk (see treewalk.h).
#include "common/treewalk.h"

#include <winternl.h>

#include <atomic>
#include <cwchar>
#include <string>
#include <vector>

#include "common/folderguard.h"

namespace {

constexpr DWORD kShareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Every entry is opened itself (never a link's target), synchronously, with the
// rights an administrator's backup may use.
constexpr DWORD kEntryOptions = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
constexpr ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// A level's listing is handled a buffer at a time; deep levels take a small one
// (still room for the longest name), so that a deep tree costs little memory.
constexpr size_t kListBytes = 16 * 1024;
constexpr size_t kDeepListBytes = 1024;
constexpr int kShallowLevels = 32;
// Newer systems delete a name at once (the POSIX way) and ignore read-only when asked.
constexpr FILE_INFO_BY_HANDLE_CLASS kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosix = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

std::atomic<int> DispositionExMissing{0};
std::atomic<void (*)(const wchar_t*)> EnterHook{nullptr};

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// A reparse point that stands for another name (a junction, a symbolic link, a
// mount point) is a link. Other reparse points (a file kept in the cloud, a
// deduplicated file) are the entry itself. A tag the system does not give is
// taken for a link.
bool IsLink(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || IsReparseTagNameSurrogate(tag));
}

// The opened entry's attributes and reparse tag.
bool AttributesOf(HANDLE entry, DWORD* attributes, DWORD* tag) {
  FILE_ATTRIBUTE_TAG_INFO info = {};
  if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &info, sizeof info)) return false;
  *attributes = info.FileAttributes;
  *tag = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info.ReparseTag : 0;
  return true;
}

bool ClearReadOnly(HANDLE entry) {
  FILE_BASIC_INFO basic = {};
  if (!GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic)) return false;
  if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) return false;
  FILE_BASIC_INFO changed = {};  // times of zero stay as they are
  changed.FileAttributes = basic.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (!changed.FileAttributes) changed.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(entry, FileBasicInfo, &changed, sizeof changed) != 0;
}

// One level of the walk: its held folder, where its path ends in the path buffer,
// and the part of its listing not handled yet.
struct Frame {
  HANDLE folder;
  size_t pathChars;
  std::vector<ULONGLONG> list;  // FILE_ID_BOTH_DIR_INFO records, 8-byte aligned
  DWORD next;                   // offset of the next record, while filled
  bool filled;
  bool done;
  bool deletable;  // held with the right to delete it
  unsigned left;   // entries left in it or below it
  int depth;
};

struct Walk {
  const WalkRules& rules;
  std::vector<wchar_t> path;
  std::vector<Frame> frames;
  DWORD volume;
  std::vector<ULONGLONG> parentName, childName;  // scratch of IsListedEntry
};

// The name the system keeps for an opened object (the device's form of its path,
// of any length); false when it cannot be read.
bool ObjectName(HANDLE object, std::vector<ULONGLONG>& buffer, const wchar_t** name, size_t* chars) {
  ULONG bytes = static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)), needed = 0;
  if (NtQueryObject(object, static_cast<OBJECT_INFORMATION_CLASS>(1), buffer.data(), bytes, &needed) < 0)
    return false;  // 1: the object's name
  const UNICODE_STRING* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  *name = text->Buffer;
  *chars = text->Length / sizeof(wchar_t);
  return text->Buffer && *chars > 0;
}

// The opened subfolder is the listed entry of its parent and not what a link led
// to: the system's name for it is the parent's and its listed name. (Windows shows
// a link on the opened entry itself; Wine, which follows a Unix link, only here.)
bool IsListedEntry(Walk& w, HANDLE parent, HANDLE child, const wchar_t* name) {
  const wchar_t *parentText, *childText;
  size_t parentChars, childChars, nameChars = wcslen(name);
  if (!ObjectName(parent, w.parentName, &parentText, &parentChars) ||
      !ObjectName(child, w.childName, &childText, &childChars))
    return false;
  if (parentText[parentChars - 1] == L'\\') --parentChars;
  if (childChars <= parentChars + 1 || childText[parentChars] != L'\\' ||
      CompareStringOrdinal(childText, static_cast<int>(parentChars), parentText, static_cast<int>(parentChars),
                           TRUE) != CSTR_EQUAL)
    return false;
  // The name itself; Wine gives a name's trailing dots and blanks away here.
  size_t kept = childChars - parentChars - 1;
  size_t bare = nameChars;
  while (bare > 0 && (name[bare - 1] == L'.' || name[bare - 1] == L' ')) --bare;
  if (kept != nameChars && kept != bare) return false;
  return CompareStringOrdinal(childText + parentChars + 1, static_cast<int>(kept), name, static_cast<int>(kept),
                              TRUE) == CSTR_EQUAL;
}

bool Removing(const Walk& w) { return !w.rules.lookOnly; }

void TellLeft(Walk& w, const wchar_t* path, DWORD error) {
  if (w.rules.left) w.rules.left(w.rules.context, path, error);
  ++w.frames.back().left;
}

void TellRemoved(Walk& w, const wchar_t* path) {
  if (w.rules.removed) w.rules.removed(w.rules.context, path);
}

Frame NewFrame(HANDLE folder, size_t pathChars, int depth, bool deletable) {
  size_t bytes = depth < kShallowLevels ? kListBytes : kDeepListBytes;
  return Frame{folder, pathChars, std::vector<ULONGLONG>(bytes / sizeof(ULONGLONG)), 0, false, false, deletable, 0,
               depth};
}

// The next listed record of the top level; null at the end of its listing, with
// *error set when the listing failed before its end.
const FILE_ID_BOTH_DIR_INFO* NextListed(Frame& f, DWORD* error) {
  *error = 0;
  for (;;) {
    if (f.filled) {
      auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(
          reinterpret_cast<const unsigned char*>(f.list.data()) + f.next);
      f.filled = record->NextEntryOffset != 0;
      f.next += record->NextEntryOffset;
      return record;
    }
    if (f.done) return nullptr;
    DWORD bytes = static_cast<DWORD>(f.list.size() * sizeof(ULONGLONG));
    if (!GetFileInformationByHandleEx(f.folder, FileIdBothDirectoryInfo, f.list.data(), bytes)) {
      DWORD failure = GetLastError();
      f.done = true;
      if (failure != ERROR_NO_MORE_FILES) *error = failure;
      return nullptr;
    }
    f.filled = true;
    f.next = 0;
  }
}

// A link met where the walk removes folders goes as a link.
void RemoveLink(Walk& w, HANDLE folder, const wchar_t* name) {
  DWORD error = RemoveInFolder(folder, name);
  if (error == 0) TellRemoved(w, w.path.data());
  else if (!IsGone(error)) TellLeft(w, w.path.data(), error);
}

// Opens the listed subfolder name of the top level and, when it is still a plain
// folder of the start's volume, makes it the new top level (true).
bool Enter(Walk& w, const wchar_t* name, size_t pathChars) {
  if (auto hook = EnterHook.load()) hook(w.path.data());
  HANDLE parent = w.frames.back().folder;
  bool removing = Removing(w) && w.rules.removeFolders;
  DWORD error = 0;
  DWORD options = FILE_DIRECTORY_FILE;
  HANDLE child = OpenInFolder(parent, name, kListAccess | (removing ? DELETE : 0), kShareNoDelete, options, &error);
  bool deletable = removing;
  if (!child && removing && error == ERROR_SHARING_VIOLATION) {
    // Held by another program (its current folder, say): emptied, but it stays.
    child = OpenInFolder(parent, name, kListAccess, kShareNoDelete, options, &error);
    deletable = false;
  }
  if (!child) {
    if (!IsGone(error)) TellLeft(w, w.path.data(), error);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  DWORD attributes = 0, tag = 0;
  if (!GetFileInformationByHandle(child, &info) || !AttributesOf(child, &attributes, &tag)) {
    error = GetLastError();
    CloseHandle(child);
    TellLeft(w, w.path.data(), error);
    return false;
  }
  if (IsLink(attributes, tag)) {
    // Made a link since it was listed: never entered; removed as a link, or left.
    bool gone = deletable && MarkDeleted(child, &error);
    CloseHandle(child);
    if (gone) TellRemoved(w, w.path.data());
    else if (removing) TellLeft(w, w.path.data(), error ? error : ERROR_CANT_ACCESS_FILE);
    return false;
  }
  if (info.dwVolumeSerialNumber != w.volume || !IsListedEntry(w, parent, child, name)) {
    CloseHandle(child);
    TellLeft(w, w.path.data(), ERROR_CANT_ACCESS_FILE);  // another volume, or what a link leads to
    return false;
  }
  w.frames.push_back(NewFrame(child, pathChars, w.frames.back().depth + 1, deletable));
  return true;
}

// The top level is listed to its end: removed when the walk removes it, then closed.
void Finish(Walk& w) {
  Frame& f = w.frames.back();
  bool start = w.frames.size() == 1;
  bool remove = Removing(w) && (start ? w.rules.removeStart : w.rules.removeFolders);
  bool gone = false;
  DWORD error = ERROR_SHARING_VIOLATION;
  if (remove && f.deletable) gone = MarkDeleted(f.folder, &error);
  if (remove && !gone && f.left == 0) TellLeft(w, w.path.data(), error);  // not explained by what it holds
  CloseHandle(f.folder);
  if (gone) TellRemoved(w, w.path.data());
  unsigned left = f.left;
  w.frames.pop_back();
  if (!w.frames.empty()) {
    w.frames.back().left += left;
    w.path[w.frames.back().pathChars] = 0;
  }
}

bool KeptAtStart(const Walk& w, const wchar_t* name) {
  for (const wchar_t* const* kept = w.rules.keepAtStart; kept && *kept; ++kept)
    if (CompareStringOrdinal(name, -1, *kept, -1, TRUE) == CSTR_EQUAL) return true;
  return false;
}

// One listed record of the top level; false when the walk is to end.
bool Handle(Walk& w, const FILE_ID_BOTH_DIR_INFO& record) {
  size_t nameChars = record.FileNameLength / sizeof(wchar_t);
  const wchar_t* listed = record.FileName;
  if ((nameChars == 1 && listed[0] == L'.') || (nameChars == 2 && listed[0] == L'.' && listed[1] == L'.'))
    return true;
  Frame& f = w.frames.back();
  size_t at = f.pathChars;
  bool separator = nameChars == 0;
  for (size_t i = 0; i < nameChars && !separator; ++i)
    separator = listed[i] == L'\\' || listed[i] == L'/' || listed[i] == 0;
  if (separator || at + 1 + nameChars + 1 > w.path.size()) {
    std::wstring whole(w.path.data(), at);
    whole += L'\\';
    whole.append(listed, nameChars);
    TellLeft(w, whole.c_str(), separator ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
    return true;
  }
  w.path[at] = L'\\';
  wmemcpy(&w.path[at + 1], listed, nameChars);
  w.path[at + 1 + nameChars] = 0;
  const wchar_t* name = &w.path[at + 1];
  DWORD attributes = record.FileAttributes;
  bool keepGoing = true;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (f.depth == 0 && KeptAtStart(w, name)) {
      w.path[at] = 0;
      return true;
    }
    if (f.depth < w.rules.depth) {
      if (!IsLink(attributes, record.EaSize)) {  // a reparse point's listing gives its tag there
        if (!Enter(w, name, at + 1 + nameChars)) w.path[at] = 0;
        return true;  // entered: the path names the new level
      }
      if (Removing(w) && w.rules.removeFolders) RemoveLink(w, f.folder, name);
    }
  } else if (NameMatches(name, w.rules.mask)) {
    WalkEntry entry = {f.folder, name, w.path.data(), attributes,
                       static_cast<unsigned long long>(record.EndOfFile.QuadPart)};
    if (w.rules.file) keepGoing = w.rules.file(w.rules.context, entry);
  }
  w.path[at] = 0;
  return keepGoing;
}

bool Stopping(const Walk& w) { return w.rules.stopping && w.rules.stopping(w.rules.context); }

}  // namespace

HANDLE OpenInFolder(HANDLE folder, const wchar_t* name, ACCESS_MASK access, DWORD share, DWORD options,
                    DWORD* error) {
  size_t chars = wcslen(name);
  if (chars == 0 || chars >= 0x7fff || wcschr(name, L'\\') || wcschr(name, L'/')) {
    *error = ERROR_INVALID_NAME;
    return nullptr;
  }
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name);
  text.Length = static_cast<USHORT>(chars * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, 0, folder, nullptr);  // exactly the listed name
  IO_STATUS_BLOCK io = {};
  HANDLE entry = nullptr;
  NTSTATUS status =
      NtCreateFile(&entry, access | SYNCHRONIZE, &object, &io, nullptr, 0, share, FILE_OPEN, options | kEntryOptions,
                   nullptr, 0);
  if (status < 0) {
    *error = RtlNtStatusToDosError(status);
    return nullptr;
  }
  *error = 0;
  return entry;
}

bool MarkDeleted(HANDLE entry, DWORD* error) {
  if (!DispositionExMissing.load(std::memory_order_relaxed)) {
    FILE_DISPOSITION_INFO_EX ex = {kDispositionDelete | kDispositionPosix | kDispositionIgnoreReadOnly};
    if (SetFileInformationByHandle(entry, kDispositionInfoEx, &ex, sizeof ex)) return true;
    DWORD failure = GetLastError();
    if (failure != ERROR_INVALID_PARAMETER && failure != ERROR_INVALID_FUNCTION && failure != ERROR_NOT_SUPPORTED) {
      *error = failure;
      return false;
    }
    DispositionExMissing.store(1, std::memory_order_relaxed);  // an older system: the classic way
  }
  FILE_DISPOSITION_INFO classic = {TRUE};
  if (SetFileInformationByHandle(entry, FileDispositionInfo, &classic, sizeof classic)) return true;
  *error = GetLastError();
  if (*error != ERROR_ACCESS_DENIED || !ClearReadOnly(entry)) return false;
  if (SetFileInformationByHandle(entry, FileDispositionInfo, &classic, sizeof classic)) return true;
  *error = GetLastError();
  return false;
}

DWORD RemoveInFolder(HANDLE folder, const wchar_t* name) {
  DWORD error = 0;
  HANDLE entry = OpenInFolder(folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, 0, &error);
  if (!entry) return error;
  bool gone = MarkDeleted(entry, &error);
  CloseHandle(entry);
  return gone ? 0 : error;
}

HANDLE OpenHeldFolder(const wchar_t* literal, DWORD how, DWORD* error) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | ((how & kHoldItself) ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  ACCESS_MASK access =
      kListAccess | ((how & kHoldForDelete) ? DELETE : 0) | ((how & kHoldReadSecurity) ? READ_CONTROL : 0);
  HANDLE folder = CreateFileW(literal, access, kShareNoDelete, nullptr, OPEN_EXISTING, flags, nullptr);
  if (folder == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      ((how & kHoldItself) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(folder);
    *error = ERROR_DIRECTORY;
    return nullptr;
  }
  *error = 0;
  return folder;
}

bool NameMatches(const wchar_t* name, const wchar_t* mask) {
  if (!mask || !wcscmp(mask, L"*") || !wcscmp(mask, L"*.*")) return true;
  auto fold = [](wchar_t c) { return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(
                                  reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c))))); };
  const wchar_t* star = nullptr;  // the last "*" seen, and where the name stood then
  const wchar_t* resume = nullptr;
  while (*name) {
    if (*mask == L'*') {
      star = mask++;
      resume = name;
    } else if (*mask && (*mask == L'?' || fold(*mask) == fold(*name))) {
      ++mask;
      ++name;
    } else if (star) {
      mask = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == L'*') ++mask;
  return *mask == 0;
}

void SetWalkEnterHook(void (*hook)(const wchar_t* path)) { EnterHook.store(hook); }

WalkResult WalkTree(const wchar_t* start, const WalkRules& rules) {
  if (!LiteralRootLength(start) || wcslen(start) >= kLongPathChars) return kWalkRefused;
  bool removeStart = rules.removeStart && !rules.lookOnly;
  bool deletable = removeStart;
  DWORD itself = removeStart ? FILE_FLAG_OPEN_REPARSE_POINT : 0;  // see the top of treewalk.h
  auto open = [start, itself](ACCESS_MASK access) {
    return CreateFileW(start, access, kShareNoDelete, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | itself,
                       nullptr);
  };
  HANDLE top = open(kListAccess | (removeStart ? DELETE : 0));
  if (top == INVALID_HANDLE_VALUE && removeStart && GetLastError() == ERROR_SHARING_VIOLATION) {
    top = open(kListAccess);  // held by another program: emptied, but it stays
    deletable = false;
  }
  if (top == INVALID_HANDLE_VALUE) return IsGone(GetLastError()) ? kWalkNoFolder : kWalkRefused;
  BY_HANDLE_FILE_INFORMATION info;
  DWORD attributes = 0, tag = 0;
  if (!GetFileInformationByHandle(top, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !AttributesOf(top, &attributes, &tag)) {
    CloseHandle(top);
    return kWalkRefused;
  }
  if (IsLink(attributes, tag)) {
    // A link given as the folder to remove goes as a link; no walk enters one.
    DWORD error = 0;
    bool gone = deletable && MarkDeleted(top, &error);
    CloseHandle(top);
    if (gone && rules.removed) rules.removed(rules.context, start);
    return gone ? kWalkDone : kWalkRefused;
  }
  if (!rules.selective && IsProtectedFolderHandle(top)) {
    CloseHandle(top);
    return kWalkRefused;
  }
  constexpr size_t kNameWords = (sizeof(UNICODE_STRING) + (kLongPathChars + 64) * sizeof(wchar_t)) / sizeof(ULONGLONG) + 1;
  Walk w = {rules, std::vector<wchar_t>(kLongPathChars), {}, info.dwVolumeSerialNumber,
            std::vector<ULONGLONG>(kNameWords), std::vector<ULONGLONG>(kNameWords)};
  size_t startChars = wcslen(start);
  while (startChars > LiteralRootLength(start) && start[startChars - 1] == L'\\') --startChars;
  wmemcpy(w.path.data(), start, startChars);
  w.frames.push_back(NewFrame(top, startChars, 0, deletable));
  WalkResult result = kWalkDone;
  while (!w.frames.empty()) {
    DWORD error = 0;
    const FILE_ID_BOTH_DIR_INFO* record = NextListed(w.frames.back(), &error);
    if (!record) {
      if (error) TellLeft(w, w.path.data(), error);
      Finish(w);
      continue;
    }
    if (!Handle(w, *record) || Stopping(w)) {
      result = kWalkEnded;
      break;
    }
  }
  for (Frame& f : w.frames) CloseHandle(f.folder);  // an ended walk removes nothing more
  return result;
}

bool IsAtPath(HANDLE entry, const wchar_t* literal) {
  std::vector<wchar_t> final(kLongPathChars), scratchFinal(kLongPathChars), scratchAsked(kLongPathChars);
  DWORD n = GetFinalPathNameByHandleW(entry, final.data(), static_cast<DWORD>(final.size()), 0);
  if (n == 0 || n >= final.size()) return false;
  const wchar_t* found = PlainFormOf(final.data(), scratchFinal.data(), scratchFinal.size());
  const wchar_t* asked = PlainFormOf(literal, scratchAsked.data(), scratchAsked.size());
  return found && asked && CompareStringOrdinal(found, -1, asked, -1, TRUE) == CSTR_EQUAL;
}

bool IsPlainFileAt(HANDLE file, const wchar_t* literal) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
         !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
         info.nNumberOfLinks == 1 && IsAtPath(file, literal);
}
