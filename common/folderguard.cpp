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
  bool idsRead;
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
  using KnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  HMODULE shell32 = GetModuleHandleA("shell32.dll");
  auto known = shell32 ? reinterpret_cast<KnownFolderPathFn>(GetProcAddress(shell32, "SHGetKnownFolderPath")) : nullptr;
  if (!known) return;
  for (const GUID* id : kKnownFolders) {
    PWSTR path = nullptr;
    if (SUCCEEDED(known(*id, 0, nullptr, &path)) && path) AddFolder(set, path);
    if (path) CoTaskMemFree(path);
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
// local drive's root; read only when a candidate exists.
void ReadProtectedIds(ProtectedSet& set) {
  if (set.idsRead) return;
  set.idsRead = true;
  std::vector<std::wstring> seen;
  for (const std::wstring& folder : set.folders) {
    if (!IsLocalDriveW(set, folder.c_str())) continue;
    std::wstring level = folder;
    while (level.size() > 3 && (level.back() == L'\\' || level.back() == L'/')) level.pop_back();
    for (;;) {
      bool known = false;
      for (const std::wstring& s : seen) known = known || lstrcmpiW(s.c_str(), level.c_str()) == 0;
      if (!known) {
        seen.push_back(level);
        AddId(set, level.c_str());
      }
      size_t cut = level.find_last_of(L"\\/");
      if (level.size() <= 3 || cut == std::wstring::npos) break;
      level.resize(cut < 3 ? 3 : cut);
    }
  }
  DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    wchar_t root[4] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
    if ((drives & (1u << i)) && IsLocalDriveW(set, root)) AddId(set, root);
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

// A share, or a drive that is not local: only the texts are compared there.
bool IsRemotePath(const char* full) {
  char canonical[kGuardChars];
  if (!CanonicalFolder(full, SystemCodePage(), canonical, sizeof canonical)) return true;
  if (canonical[1] != ':') return true;
  char root[4] = {canonical[0], ':', '\\', 0};
  UINT type = GetDriveTypeA(root);
  return type != DRIVE_FIXED && type != DRIVE_RAMDISK && type != DRIVE_REMOVABLE;
}

bool IdProtected(ProtectedSet& set, const char* full) {
  FolderId id;
  if (!ReadFolderId(full, &id)) return true;  // there, but it cannot be looked at: left alone
  ReadProtectedIds(set);
  for (const FolderId& known : set.ids)
    if (SameId(known, id)) return true;
  // The root of its own volume (a folder where a volume is mounted, or a link to one).
  char volume[kGuardChars];
  FolderId rootId;
  if (GetVolumePathNameA(full, volume, sizeof volume) && ReadFolderId(volume, &rootId) && SameId(rootId, id))
    return true;
  return false;
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

bool IsProtectedFolder(const char* path) {
  if (!path || !path[0]) return true;
  ProtectedSet set;
  CollectProtected(set);
  // The path as given: "\\?\" and "\\.\" forms, ".", "..", dots, blanks, slashes.
  if (TextProtected(set, path)) return true;
  // As the system reads it, then with its short names made long, then through subst.
  char full[kGuardChars];
  DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full || TextProtected(set, full)) return true;
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
  // Where the folder exists: what it is.
  DWORD attributes = GetFileAttributesA(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (IsRemotePath(full)) return false;
  return IdProtected(set, full);
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
