// Picture collector: moves the pictures the browser toolbar saved into the
// user's picture folder when the toolbar's timer runs out.
#include "tray/qvtoolbar.h"

#include "common/paths.h"

#include <shlobj.h>
#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kPicsFolderLimit = 260;
constexpr DWORD kKnownFolderFlags = 0x9000;  // KF_FLAG_CREATE | KF_FLAG_NO_ALIAS

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
constexpr GUID kFolderLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};

using GetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
GetKnownFolderPathFn KnownFolderPath = nullptr;
bool KnownFolderPathLooked = false;

// The drop folder itself, not a junction or link put in its place (or in the
// place of the "Quorvane" folder above it), asked of the open folder and of the
// name (Wine shows a Unix link as a reparse point on the name only).
bool IsPlainFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  HANDLE folder = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool plain = GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
               !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  CloseHandle(folder);
  return plain;
}

// The base when the known folder cannot be had: the local application data folder.
void GetFallbackBase(char* out, int outChars) {
  char path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path)))
    snprintf(out, static_cast<size_t>(outChars), "%s", path);
}

}  // namespace

int GetKnownFolderPathA(char* out, int outChars, const GUID& folderId) {
  if (!KnownFolderPathLooked) {
    KnownFolderPathLooked = true;
    HMODULE shell32 = LoadLibraryA("shell32.dll");
    if (shell32)
      KnownFolderPath = reinterpret_cast<GetKnownFolderPathFn>(GetProcAddress(shell32, "SHGetKnownFolderPath"));
  }
  if (!KnownFolderPath || !out || outChars <= 0) return 0;
  PWSTR wide = nullptr;
  int done = 0;
  if (SUCCEEDED(KnownFolderPath(folderId, kKnownFolderFlags, nullptr, &wide)) && wide && wide[0]) {
    int length = lstrlenW(wide);
    char converted[kKnownFolderChars] = {};
    int bytes = length < kKnownFolderChars ? WideCharToMultiByte(CP_ACP, 0, wide, length, converted, length, nullptr, nullptr) : 0;
    if (bytes > 0 && bytes < outChars) {  // a path that does not fit is refused, never cut
      converted[bytes] = 0;
      snprintf(out, static_cast<size_t>(outChars), "%s", converted);
      done = 1;
    }
  }
  if (wide) CoTaskMemFree(wide);
  return done;
}

int MakePictureFolder(char* out, int outChars) {
  char base[kKnownFolderChars] = {};
  if (!GetKnownFolderPathA(base, sizeof base, kFolderLocalAppDataLow)) GetFallbackBase(base, sizeof base);
  if (!base[0]) return 0;  // never a drop folder at the root of the current drive
  char quorvane[kKnownFolderChars];
  char drop[kKnownFolderChars];
  if (!JoinPath(quorvane, sizeof quorvane, base, "Quorvane")) return 0;
  if (!JoinPath(drop, sizeof drop, quorvane, "WebdeckPics")) return 0;
  CreateDirectoryA(base, nullptr);
  CreateDirectoryA(quorvane, nullptr);
  CreateDirectoryA(drop, nullptr);
  if (!IsPlainFolder(quorvane) || !IsPlainFolder(drop)) return 0;  // moving would take a link's target
  int n = snprintf(out, static_cast<size_t>(outChars), "%s", drop);
  return n >= 0 && n < outChars;
}

void MoveFolderFiles(const char* source, const char* destination) {
  char pattern[kFilePathChars];
  if (!JoinPath(pattern, sizeof pattern, source, "*.*")) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsDotsEntry(found.cFileName) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    char from[kFilePathChars];
    char to[kFilePathChars];
    if (!JoinPath(from, sizeof from, source, found.cFileName)) continue;
    if (!JoinPath(to, sizeof to, destination, found.cFileName)) continue;
    MoveFileA(from, to);  // a clash or a file still being written waits for the next run
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void CALLBACK PictureTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(LibAppWindow, TIMER_PICTURES);
  char destination[kPicsFolderLimit + 1] = {};
  if (!LibRegReadValue(HKEY_CURRENT_USER, kSettingsKey, "OpPicsFolder", destination, kPicsFolderLimit)) return;
  destination[kPicsFolderLimit] = 0;
  if (!destination[0]) return;
  char drop[kFilePathChars] = {};
  if (!MakePictureFolder(drop, sizeof drop)) return;
  MoveFolderFiles(drop, destination);
}
