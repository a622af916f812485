// The one folder guard (see folderguard.h): the protected folders as the
// system names them, the readings of a candidate path, and the identity of an
// opened folder.
#include "common/folderguard.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/guardpath.h"
#include "common/paths.h"
#include "common/widepath.h"

namespace {

constexpr size_t kGuardChars = 2048;

// ---- The code page as the path part needs it.

GuardCodePage BuildCodePage() {
  GuardCodePage cp;
  for (int i = 0; i < 256; ++i) {
    cp.lead[i] = IsDBCSLeadByte(static_cast<BYTE>(i)) != 0;
    char c[2] = {static_cast<char>(i), 0};
    if (i && !cp.lead[i]) CharUpperBuffA(c, 1);
    cp.upper[i] = static_cast<unsigned char>(c[0]);
  }
  return cp;
}

const GuardCodePage& SystemCodePage() {
  static const GuardCodePage cp = BuildCodePage();
  return cp;
}

// ---- The protected folders.

// Known folders that have no CSIDL, by their identifiers.
constexpr GUID kDownloads = {0x374de290, 0x123f, 0x4565, {0x91, 0x64, 0x39, 0xc4, 0x92, 0x5e, 0x46, 0x7b}};
constexpr GUID kPublicDownloads = {0x3d644c9b, 0x1fb8, 0x4f30, {0x9b, 0x45, 0xf6, 0x70, 0x23, 0x5f, 0x79, 0xc0}};
constexpr GUID kLocalAppDataLow = {0xa520a1a4, 0x1780, 0x4ff6, {0xbd, 0x18, 0x16, 0x73, 0x43, 0xc5, 0xaf, 0x16}};
constexpr GUID kPublic = {0xdfdf76a2, 0xc82a, 0x4d63, {0x90, 0x6a, 0x56, 0x44, 0xac, 0x45, 0x73, 0x85}};
constexpr GUID kUserProfiles = {0x0762d272, 0xc50a, 0x4bb0, {0xa3, 0x82, 0x69, 0x7d, 0xcd, 0x72, 0x9b, 0x80}};
constexpr GUID kProgramFilesX64 = {0x6d809377, 0x6af0, 0x444b, {0x89, 0x57, 0xa3, 0x77, 0x3f, 0x02, 0x20, 0x0e}};
constexpr GUID kProgramFilesCommonX64 = {0x6365d5a7, 0x0f0d, 0x45e5, {0x87, 0xf6, 0x0d, 0xa5, 0x6b, 0x6a, 0x4f, 0x7d}};
constexpr const GUID* kKnownFolders[] = {&kDownloads, &kPublicDownloads, &kLocalAppDataLow, &kPublic,
                                         &kUserProfiles, &kProgramFilesX64, &kProgramFilesCommonX64};

constexpr int kFolderIds[] = {
    // The user's.
    CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO,
    CSIDL_FAVORITES, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP,
    // All users'.
    CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_MUSIC, CSIDL_COMMON_PICTURES,
    CSIDL_COMMON_VIDEO, CSIDL_COMMON_FAVORITES, CSIDL_COMMON_APPDATA, CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS,
    CSIDL_COMMON_STARTUP,
    // The system's.
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86};

constexpr const wchar_t* kFolderVariables[] = {
    L"USERPROFILE",      L"ALLUSERSPROFILE",   L"PUBLIC",        L"ProgramData",
    L"ProgramFiles",     L"ProgramFiles(x86)", L"ProgramW6432",  L"CommonProgramFiles",
    L"CommonProgramFiles(x86)", L"CommonProgramW6432", L"SystemRoot", L"windir",
    L"APPDATA",          L"LOCALAPPDATA"};

constexpr const wchar_t* kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct ProtectedSet {
  std::vector<std::wstring> folders;  // full paths as the system gives them, each once
  std::vector<std::string> texts;     // canonical ANSI forms (full and long)
  std::vector<FolderId> ids;          // the folders and all their parents, where they exist
  bool idsRead;                       // those of local drives
  bool remoteIdsRead;                 // those of shares and other drives too
  int driveTypes[26];                 // GetDriveType of each letter, asked once (0: not yet)
};

// Only a generated short (8.3) name holds a "~"; a path without one is its own long form.
bool MayHoldShortNames(const wchar_t* path) { return wcschr(path, L'~') != nullptr; }
bool MayHoldShortNames(const char* path) { return strchr(path, '~') != nullptr; }

// path as an exact ANSI text; false when the code page cannot spell it.
bool ToAnsi(const wchar_t* path, char* out, size_t cap) {
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, out, static_cast<int>(cap), nullptr, &lossy);
  return n > 0 && !lossy;
}

void AddText(ProtectedSet& set, const char* path) {
  char canonical[kGuardChars];
  if (CanonicalFolder(path, SystemCodePage(), canonical, sizeof canonical)) set.texts.push_back(canonical);
}

void AddFolder(ProtectedSet& set, const wchar_t* folder) {
  if (!folder || !folder[0]) return;
  wchar_t full[kGuardChars];
  DWORD n = GetFullPathNameW(folder, kGuardChars, full, nullptr);
  if (n == 0 || n >= kGuardChars) return;
  for (const std::wstring& known : set.folders)
    if (lstrcmpiW(known.c_str(), full) == 0) return;
  set.folders.push_back(full);
  char ansi[kGuardChars];
  if (ToAnsi(full, ansi, sizeof ansi)) AddText(set, ansi);
  wchar_t longer[kGuardChars];
  n = MayHoldShortNames(full) ? GetLongPathNameW(full, longer, kGuardChars) : 0;
  if (n > 0 && n < kGuardChars) {
    set.folders.push_back(longer);
    if (ToAnsi(longer, ansi, sizeof ansi)) AddText(set, ansi);
  }
}

void AddVariable(ProtectedSet& set, const wchar_t* name) {
  wchar_t value[kGuardChars];
  DWORD n = GetEnvironmentVariableW(name, value, kGuardChars);
  if (n > 0 && n < kGuardChars) AddFolder(set, value);
}

void AddExpanded(ProtectedSet& set, const wchar_t* text) {
  wchar_t expanded[kGuardChars];
  DWORD n = ExpandEnvironmentStringsW(text, expanded, kGuardChars);
  if (n > 0 && n <= kGuardChars) AddFolder(set, expanded);
}

// A text value of an open key; empty when absent.
bool ReadText(HKEY key, const wchar_t* name, wchar_t* out, DWORD chars) {
  DWORD type = 0, size = (chars - 1) * sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  out[size / sizeof(wchar_t)] = 0;
  return out[0] != 0;
}

// The profiles folder and every profile the machine knows.
void AddProfiles(ProtectedSet& set) {
  HKEY list;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ, &list) != ERROR_SUCCESS) return;
  wchar_t value[kGuardChars];
  for (const wchar_t* name : {L"ProfilesDirectory", L"Default", L"Public", L"ProgramData"})
    if (ReadText(list, name, value, kGuardChars)) AddExpanded(set, value);
  for (DWORD i = 0; i < 10000; ++i) {
    wchar_t sid[256];
    DWORD chars = 256;
    if (RegEnumKeyExW(list, i, sid, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY profile;
    if (RegOpenKeyExW(list, sid, 0, KEY_READ, &profile) != ERROR_SUCCESS) continue;
    if (ReadText(profile, L"ProfileImagePath", value, kGuardChars)) AddExpanded(set, value);
    RegCloseKey(profile);
  }
  RegCloseKey(list);
}

void AddKnownFolders(ProtectedSet& set) {
  for (const GUID* id : kKnownFolders) {
    wchar_t path[kGuardChars];
    if (KnownFolderPathW(*id, 0, path, kGuardChars)) AddFolder(set, path);
  }
}

void AddWindowsFolders(ProtectedSet& set) {
  wchar_t folder[MAX_PATH + 16];
  if (GetWindowsDirectoryW(folder, MAX_PATH)) {
    AddFolder(set, folder);
    // What a 32-bit program on 64-bit Windows reaches as the real System folder.
    size_t n = wcslen(folder);
    if (n + 11 < MAX_PATH + 16) {
      wcscpy(folder + n, folder[n - 1] == L'\\' ? L"Sysnative" : L"\\Sysnative");
      AddFolder(set, folder);
    }
  }
  if (GetSystemWindowsDirectoryW(folder, MAX_PATH)) AddFolder(set, folder);
  if (GetSystemDirectoryW(folder, MAX_PATH)) AddFolder(set, folder);
  using Wow64FolderFn = UINT(WINAPI*)(LPWSTR, UINT);
  auto wow64 = reinterpret_cast<Wow64FolderFn>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryW"));
  if (wow64 && wow64(folder, MAX_PATH)) AddFolder(set, folder);
}

void CollectProtected(ProtectedSet& set) {
  set.idsRead = false;
  set.remoteIdsRead = false;
  for (int& type : set.driveTypes) type = 0;
  for (int csidl : kFolderIds) {
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) AddFolder(set, folder);
  }
  AddKnownFolders(set);
  for (const wchar_t* name : kFolderVariables) AddVariable(set, name);
  AddProfiles(set);
  AddWindowsFolders(set);
}

// ---- Identities.

bool IdFromHandle(HANDLE folder, FolderId* id) {
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(folder);
  if (ok) *id = FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return ok;
}

bool SameId(const FolderId& a, const FolderId& b) {
  return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

// A local disk: opening its folders cannot wait on a network or ask for a disk.
bool IsLocalDriveW(ProtectedSet& set, const wchar_t* path) {
  wchar_t letter = path[0] >= L'a' && path[0] <= L'z' ? static_cast<wchar_t>(path[0] - 32) : path[0];
  if (letter < L'A' || letter > L'Z' || path[1] != L':') return false;
  int& type = set.driveTypes[letter - L'A'];
  if (!type) {
    wchar_t root[4] = {letter, L':', L'\\', 0};
    type = static_cast<int>(GetDriveTypeW(root)) + 1;
  }
  return type == DRIVE_FIXED + 1 || type == DRIVE_RAMDISK + 1;
}

void AddId(ProtectedSet& set, const wchar_t* path) {
  FolderId id;
  if (!ReadFolderIdW(path, &id)) return;
  for (const FolderId& known : set.ids)
    if (SameId(known, id)) return;
  set.ids.push_back(id);
}

// The identities of every protected folder and of all its parents, and of every
// local drive's root; read only when a candidate exists. Those on shares and other
// drives only for a candidate that is there itself (they may wait on a network).
void ReadProtectedIds(ProtectedSet& set, bool remoteToo) {
  if (set.idsRead && (set.remoteIdsRead || !remoteToo)) return;
  bool localDone = set.idsRead;
  set.idsRead = true;
  set.remoteIdsRead = set.remoteIdsRead || remoteToo;
  std::vector<std::wstring> seen;
  for (const std::wstring& folder : set.folders) {
    bool local = IsLocalDriveW(set, folder.c_str());
    if (local ? localDone : !remoteToo) continue;
    std::wstring level = folder;
    size_t root = local ? 3 : 2;
    while (level.size() > root && (level.back() == L'\\' || level.back() == L'/')) level.pop_back();
    for (;;) {
      bool known = false;
      for (const std::wstring& s : seen) known = known || lstrcmpiW(s.c_str(), level.c_str()) == 0;
      if (!known) {
        seen.push_back(level);
        AddId(set, level.c_str());
      }
      size_t cut = level.find_last_of(L"\\/");
      if (level.size() <= root || cut == std::wstring::npos || cut < root) break;
      level.resize(cut < 3 && local ? 3 : cut);
    }
  }
  if (localDone) return;
  DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    wchar_t drive[4] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
    if ((drives & (1u << i)) && IsLocalDriveW(set, drive)) AddId(set, drive);
  }
}

// ---- The readings of a candidate.

bool TextProtected(const ProtectedSet& set, const char* path) {
  char canonical[kGuardChars];
  const GuardCodePage& cp = SystemCodePage();
  if (!CanonicalFolder(path, cp, canonical, sizeof canonical)) return true;
  std::vector<const char*> texts;
  texts.reserve(set.texts.size());
  for (const std::string& t : set.texts) texts.push_back(t.c_str());
  return JudgeCanonical(canonical, texts.data(), texts.size(), cp) != kGuardFree;
}

// The long form of a full path (short 8.3 names made long): the longest part
// that exists, then the rest as it was.
bool LongForm(const char* full, char* out, size_t cap) {
  if (!MayHoldShortNames(full)) return false;
  char head[kGuardChars];
  if (snprintf(head, sizeof head, "%s", full) >= static_cast<int>(sizeof head)) return false;
  size_t root = PathRootLength(head);
  for (;;) {
    char longer[kGuardChars];
    DWORD n = GetLongPathNameA(head, longer, sizeof longer);
    if (n > 0 && n < sizeof longer) {
      int written = snprintf(out, cap, "%s%s", longer, full + strlen(head));
      return written > 0 && static_cast<size_t>(written) < cap;
    }
    const char* last = LastBackslash(head);
    if (!last || static_cast<size_t>(last - head) < root) return false;
    head[last - head] = 0;
  }
}

// The path with a drive made with subst replaced by the folder it stands for.
bool SubstForm(const char* full, char* out, size_t cap) {
  if (!full[0] || full[1] != ':') return false;
  char drive[3] = {full[0], ':', 0};
  char target[kGuardChars] = {};
  if (!QueryDosDeviceA(drive, target, sizeof target)) return false;
  if (strncmp(target, "\\??\\", 4) != 0 || !target[4] || target[5] != ':') return false;
  int n = snprintf(out, cap, "%s%s", target + 4, full + 2);
  return n > 0 && static_cast<size_t>(n) < cap;
}

// A share, or a drive that is not a local disk (a "\\?\Volume{...}" path is local).
bool IsRemotePath(const char* full) {
  char canonical[kGuardChars];
  if (!CanonicalFolder(full, SystemCodePage(), canonical, sizeof canonical)) return true;
  if (_strnicmp(canonical, "\\\\?\\VOLUME{", 11) == 0) return false;
  if (canonical[1] != ':') return true;
  char root[4] = {canonical[0], ':', '\\', 0};
  UINT type = GetDriveTypeA(root);
  return type != DRIVE_FIXED && type != DRIVE_RAMDISK && type != DRIVE_REMOVABLE;
}

// The opened folder by what it is: one of the protected folders or their parents,
// or the root of its volume (a drive, or a volume mounted in a folder). A folder
// that cannot be looked at counts as protected.
bool HandleProtected(ProtectedSet& set, HANDLE folder, bool remote) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  FolderId id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  ReadProtectedIds(set, remote);
  for (const FolderId& known : set.ids)
    if (SameId(known, id)) return true;
  std::vector<wchar_t> final(kLongPathChars);
  DWORD n = GetFinalPathNameByHandleW(folder, final.data(), static_cast<DWORD>(final.size()), 0);
  if (n == 0 || n >= final.size() || !IsBelowLiteralRoot(final.data())) return true;
  std::vector<wchar_t> volume(kLongPathChars);
  FolderId rootId;
  return GetVolumePathNameW(final.data(), volume.data(), static_cast<DWORD>(volume.size())) &&
         ReadFolderIdW(volume.data(), &rootId) && SameId(rootId, id);
}

// Opens the folder (following links: what it leads to is judged) and judges it.
bool IdProtected(ProtectedSet& set, const wchar_t* path, bool remote) {
  HANDLE folder = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return true;  // there, but it cannot be looked at: left alone
  bool judged = HandleProtected(set, folder, remote);
  CloseHandle(folder);
  return judged;
}

// A wide path that the code page spells exactly is judged by its ANSI texts too.
bool AnsiSpelling(const wchar_t* path, std::string* out) {
  std::vector<char> ansi(wcslen(path) * 2 + 8);
  if (!ToAnsi(path, ansi.data(), ansi.size())) return false;
  *out = ansi.data();
  return true;
}

bool IsRemoteLiteral(const wchar_t* literal) {
  if (_wcsnicmp(literal, L"\\\\?\\Volume{", 11) == 0) return false;
  if (_wcsnicmp(literal, L"\\\\?\\UNC\\", 8) == 0 || literal[5] != L':') return true;
  wchar_t root[4] = {literal[4], L':', L'\\', 0};
  UINT type = GetDriveTypeW(root);
  return type != DRIVE_FIXED && type != DRIVE_RAMDISK && type != DRIVE_REMOVABLE;
}

}  // namespace

bool ReadFolderId(const char* path, FolderId* id) {
  HANDLE folder = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return folder != INVALID_HANDLE_VALUE && IdFromHandle(folder, id);
}

bool ReadFolderIdW(const wchar_t* path, FolderId* id) {
  HANDLE folder = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return folder != INVALID_HANDLE_VALUE && IdFromHandle(folder, id);
}

namespace {

// The readings of a path as text: as given ("\\?\" and "\\.\" forms, ".", "..",
// dots, blanks, slashes), as the system reads it (its full form, in full), with
// its short names made long, and through drives made with subst.
bool TextsProtected(const ProtectedSet& set, const char* path, char* full, size_t cap) {
  if (TextProtected(set, path)) return true;
  DWORD n = GetFullPathNameA(path, static_cast<DWORD>(cap), full, nullptr);
  if (n == 0 || n >= cap || TextProtected(set, full)) return true;
  char reading[kGuardChars];
  if (LongForm(full, reading, sizeof reading) && TextProtected(set, reading)) return true;
  char mapped[kGuardChars];
  snprintf(mapped, sizeof mapped, "%s", full);
  for (int level = 0; level < 4 && SubstForm(mapped, reading, sizeof reading); ++level) {
    if (TextProtected(set, reading)) return true;
    char longer[kGuardChars];
    if (LongForm(reading, longer, sizeof longer) && TextProtected(set, longer)) return true;
    snprintf(mapped, sizeof mapped, "%s", reading);
  }
  return false;
}

}  // namespace

bool IsProtectedFolder(const char* path) {
  if (!path || !path[0]) return true;
  ProtectedSet set;
  CollectProtected(set);
  char full[kGuardChars];
  if (TextsProtected(set, path, full, sizeof full)) return true;
  // Where the folder exists: what it is, on a local disk, a volume or a share alike.
  DWORD attributes = GetFileAttributesA(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  std::vector<wchar_t> wide(kLongPathChars);
  if (!WideFromAnsi(full, wide.data(), wide.size())) return true;
  return IdProtected(set, wide.data(), IsRemotePath(full));
}

bool IsProtectedFolderW(const wchar_t* path) {
  if (!path || !path[0]) return true;
  std::string ansi;
  if (AnsiSpelling(path, &ansi)) return IsProtectedFolder(ansi.c_str());
  // A name the code page cannot spell: judged by what the folder is.
  std::vector<wchar_t> literal(kLongPathChars);
  if (!LiteralFullPath(path, literal.data(), literal.size()) || !IsBelowLiteralRoot(literal.data())) return true;
  DWORD attributes = GetFileAttributesW(literal.data());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;  // nothing there, nothing to keep
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  ProtectedSet set;
  CollectProtected(set);
  return IdProtected(set, literal.data(), IsRemoteLiteral(literal.data()));
}

bool IsProtectedFolderHandle(HANDLE folder) {
  std::vector<wchar_t> final(kLongPathChars);
  DWORD n = GetFinalPathNameByHandleW(folder, final.data(), static_cast<DWORD>(final.size()), 0);
  if (n == 0 || n >= final.size()) return true;
  ProtectedSet set;
  CollectProtected(set);
  std::string ansi;
  char full[kGuardChars];
  if (AnsiSpelling(final.data(), &ansi) && TextsProtected(set, ansi.c_str(), full, sizeof full)) return true;
  return HandleProtected(set, folder, IsRemoteLiteral(final.data()));
}

bool SameFolder(const char* a, const char* b) {
  char fullA[kGuardChars], fullB[kGuardChars], longA[kGuardChars], longB[kGuardChars];
  const GuardCodePage& cp = SystemCodePage();
  if (!FullFolderPath(a, fullA, sizeof fullA) || !FullFolderPath(b, fullB, sizeof fullB)) return false;
  if (!LongForm(fullA, longA, sizeof longA)) snprintf(longA, sizeof longA, "%s", fullA);
  if (!LongForm(fullB, longB, sizeof longB)) snprintf(longB, sizeof longB, "%s", fullB);
  char ca[kGuardChars], cb[kGuardChars];
  if (CanonicalFolder(longA, cp, ca, sizeof ca) && CanonicalFolder(longB, cp, cb, sizeof cb) && strcmp(ca, cb) == 0)
    return true;
  FolderId ia, ib;
  return ReadFolderId(fullA, &ia) && ReadFolderId(fullB, &ib) && SameId(ia, ib);
}
