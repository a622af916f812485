// Picture collector: moves the pictures the browser toolbar saved into the
// user's picture folder when the toolbar's timer runs out.
//
// The drop folder is walked by the one walk (common/treewalk.h): its names as it
// lists them, each picture opened in the held folder and moved through that
// handle, so that only a plain file of the drop folder is ever moved.
#include "tray/qvtoolbar.h"

#include <shlobj.h>
#include <strsafe.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

#include "common/treewalk.h"
#include "common/widepath.h"

namespace {

constexpr DWORD kPicsFolderLimit = 260;
constexpr DWORD kKnownFolderFlags = 0x9000;  // KF_FLAG_CREATE | KF_FLAG_NO_ALIAS
constexpr DWORD kCopyBlock = 64 * 1024;

// {A520A1A4-1780-4FF6-BD18-167343C5AF16}
constexpr GUID kFolderLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};

// The drop folder itself, not a junction or link put in its place (or in the
// place of the "Quorvane" folder above it), asked of the open folder and of the
// name (Wine shows a Unix link as a reparse point on the name only).
bool IsPlainFolder(const wchar_t* literal) {
  DWORD attributes = GetFileAttributesW(literal);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  DWORD error = 0;
  HANDLE folder = OpenHeldFolder(literal, kHoldItself, &error);
  if (!folder) return false;
  CloseHandle(folder);
  return true;
}

// The base of the drop folder: the low-integrity application data folder, else
// the local application data folder.
bool DropBase(wchar_t* out, size_t cap) {
  if (KnownFolderPathW(kFolderLocalAppDataLow, kKnownFolderFlags, out, cap)) return true;
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path)) || !path[0])
    return false;
  return SUCCEEDED(StringCchCopyW(out, cap, path));
}

// The NT form of a literal path ("\??\C:\..."), which a rename takes as it stands.
std::wstring NtFormOf(const wchar_t* literal) {
  std::wstring nt = L"\\??\\";
  nt += literal + 4;
  return nt;
}

// Moves the opened file to target (a literal path) under the same volume; never over an existing file.
bool RenameOpened(HANDLE file, const wchar_t* target) {
  std::wstring nt = NtFormOf(target);
  size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + (nt.size() + 1) * sizeof(wchar_t);
  std::vector<ULONGLONG> buffer((bytes + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
  FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nt.size() * sizeof(wchar_t));
  wmemcpy(info->FileName, nt.c_str(), nt.size() + 1);
  return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(bytes)) != 0;
}

// Copies the opened file to a new file target (another volume); the copy is
// removed again when it could not be written whole.
bool CopyOpened(HANDLE file, const wchar_t* target) {
  HANDLE copy = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (copy == INVALID_HANDLE_VALUE) return false;
  std::vector<char> block(kCopyBlock);
  bool ok = true;
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(file, block.data(), kCopyBlock, &read, nullptr)) ok = false;
    if (!ok || read == 0) break;
    if (!WriteFile(copy, block.data(), read, &written, nullptr) || written != read) ok = false;
  }
  ok = FlushFileBuffers(copy) && ok;
  CloseHandle(copy);
  if (!ok) DeleteFileW(target);
  return ok;
}

// One picture of the drop folder: moved when it is a plain file that no program
// is still writing, and the picture folder holds none of its name. What stays
// waits for the next run.
bool MovePicture(void* context, const WalkEntry& entry) {
  const wchar_t* destination = static_cast<const wchar_t*>(context);
  if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;  // a link stays
  std::vector<wchar_t> target(kLongPathChars);
  if (!JoinWide(target.data(), target.size(), destination, entry.name)) return true;
  DWORD error = 0;
  HANDLE file = OpenInFolder(entry.folder, entry.name, DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ, FILE_NON_DIRECTORY_FILE, &error);
  if (!file) return true;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      !RenameOpened(file, target.data()) && GetLastError() == ERROR_NOT_SAME_DEVICE &&
      CopyOpened(file, target.data()))
    MarkDeleted(file, &error);
  CloseHandle(file);
  return true;
}

}  // namespace

bool MakePictureFolder(wchar_t* out, size_t cap) {
  std::vector<wchar_t> base(kLongPathChars), literal(kLongPathChars), quorvane(kLongPathChars);
  if (!DropBase(base.data(), base.size())) return false;  // never a drop folder at the root of the current drive
  if (!LiteralFullPath(base.data(), literal.data(), literal.size()) || !IsBelowLiteralRoot(literal.data()))
    return false;
  if (!JoinWide(quorvane.data(), quorvane.size(), literal.data(), L"Quorvane") ||
      !JoinWide(out, cap, quorvane.data(), L"WebdeckPics"))
    return false;
  CreateDirectoryW(literal.data(), nullptr);
  CreateDirectoryW(quorvane.data(), nullptr);
  CreateDirectoryW(out, nullptr);
  return IsPlainFolder(quorvane.data()) && IsPlainFolder(out);  // moving would take a link's target
}

void MoveFolderFiles(const wchar_t* source, const wchar_t* destination) {
  WalkRules rules = {nullptr, 0, false, false, false, false, MovePicture, nullptr, nullptr, nullptr,
                     const_cast<wchar_t*>(destination), nullptr};
  WalkTree(source, rules);
}

void CALLBACK PictureTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(LibAppWindow, TIMER_PICTURES);
  char setting[kPicsFolderLimit + 1] = {};
  if (!LibRegReadValue(HKEY_CURRENT_USER, kSettingsKey, "OpPicsFolder", setting, kPicsFolderLimit)) return;
  setting[kPicsFolderLimit] = 0;
  // The picture folder as the user typed it, converted exactly; only a full path.
  std::vector<wchar_t> wide(kLongPathChars), destination(kLongPathChars), drop(kLongPathChars);
  if (!setting[0] || !WideFromAnsi(setting, wide.data(), wide.size()) ||
      !LiteralFullPath(wide.data(), destination.data(), destination.size()))
    return;
  if (!MakePictureFolder(drop.data(), drop.size())) return;
  MoveFolderFiles(drop.data(), destination.data());
}
