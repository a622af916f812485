// Folders, shortcuts, Explorer windows, file and folder choosers, family tools.
#include "quorvane/internal.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "common/catalogue.h"
#include "common/folderguard.h"
#include "common/paths.h"

namespace qv {
namespace {

constexpr int kExplorerWindows = 32;
char g_explorerFolders[kExplorerWindows][MAX_PATH];
int g_explorerCount = 0;

// Room for a literal ("\\?\") folder path and the names below it.
constexpr size_t kTreePathChars = MAX_PATH + kLiteralPrefixChars;

// Removes everything inside the folder whose literal path is in path (a
// kTreePathChars buffer, changed and restored). Entries are named literally,
// links are removed as links and never entered, and a name that does not fit
// is left (never cut into another name).
bool EmptyTree(char* path) {
  size_t len = strlen(path);
  if (len + 2 >= kTreePathChars) return false;
  memcpy(path + len, "\\*", 3);
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(path, &fd);
  path[len] = 0;
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool ok = true;
  do {
    if (IsDotsEntry(fd.cFileName)) continue;
    size_t nameLen = strlen(fd.cFileName);
    if (len + 1 + nameLen >= kTreePathChars) {
      ok = false;
      continue;
    }
    path[len] = '\\';
    memcpy(path + len + 1, fd.cFileName, nameLen + 1);
    DWORD attributes = fd.dwFileAttributes;
    bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!link && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
      SetFileAttributesA(path, attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                              FILE_ATTRIBUTE_SYSTEM));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (!DeleteFileA(path)) ok = false;
    } else if (link) {
      // A junction or symbolic link: remove the link, never what it points to.
      // (Wine 8 cannot remove a Unix link to a folder this way; it stays.)
      if (!RemoveDirectoryA(path)) ok = false;
    } else {
      if (!EmptyTree(path) || !RemoveDirectoryA(path)) ok = false;
    }
    path[len] = 0;
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  return ok;
}

void ClearAttributes(const char* path) {
  DWORD a = GetFileAttributesA(path);
  if (a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
    SetFileAttributesA(path, a & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// Balanced COM start for one routine.
struct ComScope {
  bool uninit;
};
ComScope ComStart() {
  HRESULT hr = CoInitialize(nullptr);
  return ComScope{SUCCEEDED(hr)};
}
void ComEnd(ComScope scope) {
  if (scope.uninit) CoUninitialize();
}

bool ToWide(const char* text, WCHAR* out, int chars) {
  return MultiByteToWideChar(CP_ACP, 0, text, -1, out, chars) > 0;
}

// Target path of a shortcut file; false when it cannot be read.
bool ShortcutTarget(const char* linkPath, char* target) {
  target[0] = 0;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  bool ok = false;
  IPersistFile* file = nullptr;
  WCHAR wide[MAX_PATH];
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (ToWide(linkPath, wide, MAX_PATH) && SUCCEEDED(file->Load(wide, STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)))
      ok = true;
    file->Release();
  }
  link->Release();
  return ok && target[0];
}

// What the family's install folder ("InstallPath" of the machine-wide family key) is.
enum InstallFolderState { kNoInstallFolder, kInstallFolderKnown, kInstallFolderProtected };

// The install folder in its full form without a trailing backslash; without a value
// (or with one that is not a full path) there is none, and a folder the guard
// protects (a root, Program Files, a profile...) is reported as such.
InstallFolderState FamilyInstallFolder(char* out, size_t cap) {
  out[0] = 0;
  char value[LIB_SETTING_CHARS + 1] = {};
  if (!LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", value) || !value[0]) return kNoInstallFolder;
  char full[MAX_PATH];
  if (!FullFolderPath(value, full, sizeof full)) return kNoInstallFolder;
  if (!IsBelowRoot(full) || IsProtectedFolder(full)) return kInstallFolderProtected;
  CopyText(out, cap, full);
  return kInstallFolderKnown;
}

// A shortcut is the family's when its target's file name is one the family alone
// uses, or a name it shares with others ("uninstall.exe", "setup.exe") and the
// target lies directly in the install folder. A program of the user's in the
// install folder is the user's.
bool IsFamilyTarget(const char* target, const char* installFolder) {
  const char* name = FileNamePart(target);
  if (IsFamilyOwnName(name)) return true;
  if (!installFolder[0] || !IsFamilyGenericName(name)) return false;
  char folder[MAX_PATH];
  return FolderPart(folder, sizeof folder, target) && SameFolder(folder, installFolder);
}

// Deletes the family's ".lnk" files directly in folder (no trailing backslash); how many.
int DeleteFamilyLinksIn(const char* folder, const char* installFolder) {
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, sizeof pattern, folder, "*.lnk")) return 0;
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int deleted = 0;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char link[MAX_PATH], target[MAX_PATH];
    if (!JoinPath(link, sizeof link, folder, fd.cFileName)) continue;
    if (!ShortcutTarget(link, target) || !IsFamilyTarget(target, installFolder)) continue;
    ClearAttributes(link);
    if (DeleteFileA(link)) {
      ++deleted;
      SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, link, nullptr);
    }
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  return deleted;
}

// Appends text and its terminating zero at *used, keeping room for the list's final zero.
bool AppendFilterPart(char* filter, size_t cap, size_t* used, const char* text) {
  size_t n = strlen(text);
  if (*used + n + 2 > cap) return false;
  memcpy(filter + *used, text, n + 1);
  *used += n + 1;
  filter[*used] = 0;
  return true;
}

// The open dialog's filter list "name\0pattern\0name\0pattern\0\0", with the
// translated names, or with the English ones when the translations do not fit.
bool BuildSoundFilter(char* filter, size_t cap, bool translated) {
  const char* sounds = translated ? LibTranslate("Sound files (*.wav)", 0) : "Sound files (*.wav)";
  char soundsCopy[200];
  if (snprintf(soundsCopy, sizeof soundsCopy, "%s", sounds) >= static_cast<int>(sizeof soundsCopy)) return false;
  const char* all = translated ? LibTranslate("All files (*.*)", 0) : "All files (*.*)";
  size_t used = 0;
  memset(filter, 0, cap);
  return AppendFilterPart(filter, cap, &used, soundsCopy) && AppendFilterPart(filter, cap, &used, "*.wav") &&
         AppendFilterPart(filter, cap, &used, all) && AppendFilterPart(filter, cap, &used, "*.*");
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data && *reinterpret_cast<const char*>(data))
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

BOOL CALLBACK CloseExplorer(HWND window, LPARAM) {
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, "CabinetWClass") != 0 && strcmp(cls, "ExploreWClass") != 0) return TRUE;
  char title[MAX_PATH] = {};
  GetWindowTextA(window, title, sizeof title);
  if (g_explorerCount < kExplorerWindows && title[0] && IsExistingFolder(title))
    CopyText(g_explorerFolders[g_explorerCount++], MAX_PATH, title);
  PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace
}  // namespace qv

using namespace qv;

int LibCreateFolder(const char* path) {
  char folder[MAX_PATH];
  if (!FullFolderPath(path, folder, sizeof folder)) return 0;
  if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) return IsExistingFolder(folder) ? 1 : 0;
  // Every level below the root, from the top (existing levels simply fail).
  size_t root = PathRootLength(folder);
  for (char* p = folder + root; *p; p = CharNextA(p)) {
    if (*p != '\\') continue;
    *p = 0;
    CreateDirectoryA(folder, nullptr);
    *p = '\\';
  }
  CreateDirectoryA(folder, nullptr);
  return IsExistingFolder(folder) ? 1 : 0;
}

int LibDeleteFolder(const char* path, int withContents) {
  // The full form first ("C:\x\..", "C:/", "\\srv\share\." are roots), then
  // never a volume or share root, and never a relative path.
  char full[MAX_PATH];
  if (!FullFolderPath(path, full, sizeof full)) return 0;
  if (!IsBelowRoot(full) || IsProtectedFolder(full)) return 0;  // never a folder of Windows or of a user
  char folder[kTreePathChars];
  LiteralPath(full, folder, sizeof folder);
  DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 1 : 0;  // already gone
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;  // a file: not ours to remove
  bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!link) ClearAttributes(folder);
  if (withContents && !link) EmptyTree(folder);
  RemoveDirectoryA(folder);  // a link given itself goes as a link
  return GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int LibCreateShortcut(const char* link, const char* target, const char* description,
                      const char* workingFolder, int flags) {
  if (!link || !target || !link[0] || strlen(link) >= MAX_PATH) return 0;
  char folder[MAX_PATH];
  CopyText(folder, sizeof folder, link);
  char* slash = const_cast<char*>(LastBackslash(folder));
  if (slash) {
    *slash = 0;
    if (folder[0]) LibCreateFolder(folder);
  }
  ComScope com = ComStart();
  bool ok = false;
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    if (SUCCEEDED(shellLink->SetPath(target)) &&
        (!description || SUCCEEDED(shellLink->SetDescription(description))) &&
        (!workingFolder || !workingFolder[0] || SUCCEEDED(shellLink->SetWorkingDirectory(workingFolder))) &&
        SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      ok = ToWide(link, wide, MAX_PATH) && SUCCEEDED(file->Save(wide, TRUE));
      file->Release();
    }
    shellLink->Release();
  }
  ComEnd(com);
  if (ok) SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, link, nullptr);
  return ok && IsExistingFile(link) ? 1 : 0;
}

int LibDeleteShortcuts(int csidl) {
  char folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, folder, csidl, FALSE) || !folder[0]) return 0;
  if (EndsWithBackslash(folder)) folder[strlen(folder) - 1] = 0;
  // With the install folder at a protected place its files stay, and so does
  // every shortcut that might lead to them.
  char installFolder[MAX_PATH];
  if (FamilyInstallFolder(installFolder, sizeof installFolder) == kInstallFolderProtected) return 0;
  ComScope com = ComStart();
  int deleted = DeleteFamilyLinksIn(folder, installFolder);
  char pattern[MAX_PATH];
  WIN32_FIND_DATAA fd;
  HANDLE find = INVALID_HANDLE_VALUE;
  if (JoinPath(pattern, sizeof pattern, folder, "*")) find = FindFirstFileA(pattern, &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
          !strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
        continue;
      char sub[MAX_PATH];
      if (JoinPath(sub, sizeof sub, folder, fd.cFileName)) deleted += DeleteFamilyLinksIn(sub, installFolder);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
  }
  ComEnd(com);
  if (deleted) SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA, folder, nullptr);
  return deleted;
}

void LibCloseExplorerWindows(void) { EnumWindows(CloseExplorer, 0); }

void LibReopenExplorerWindows(void) {
  for (int i = 0; i < g_explorerCount; ++i) OpenWithShell(nullptr, g_explorerFolders[i]);
  g_explorerCount = 0;
}

int LibBrowseForFile(HWND owner, char* path, const char* title, const char* englishTitle, int flags) {
  if (!path) return 0;
  char file[LIB_BROWSE_CHARS];
  CopyText(file, sizeof file, path);
  char filter[256] = {};
  if (!BuildSoundFilter(filter, sizeof filter, true)) BuildSoundFilter(filter, sizeof filter, false);
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrTitle = title;
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  BOOL chosen = GetOpenFileNameA(&ofn);
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
    file[0] = 0;  // the start path was not usable: start without it
    chosen = GetOpenFileNameA(&ofn);
  }
  if (!chosen) return 0;
  CopyText(path, LIB_BROWSE_CHARS, file);
  return 1;
}

int LibBrowseForFolder(HWND owner, char* path, const char* title) {
  if (!path) return 0;
  char start[MAX_PATH], display[MAX_PATH] = {};
  CopyText(start, sizeof start, path);
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start);
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  if (!list) return 0;
  char chosen[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListA(list, chosen);
  LibFreeIdList(list);
  if (!ok || !chosen[0]) return 0;
  CopyText(path, MAX_PATH, chosen);
  return 1;
}

int LibRunFamilyTool(const char* exeName, int flags, const char* settingsKey, const char* webPage) {
  if (exeName && exeName[0] && !strpbrk(exeName, "\\/:")) {
    char folders[2][MAX_PATH] = {};
    LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", folders[0]);
    ProgramFolder(folders[1], sizeof folders[1]);
    for (const char* folder : folders) {
      if (!folder[0]) continue;
      char path[MAX_PATH];
      if (!JoinPath(path, sizeof path, folder, exeName) || !IsExistingFile(path)) continue;
      if (OpenWithShell(MessageOwner(), path) > 32) return 1;
    }
  }
  if (webPage && webPage[0]) OpenWithShell(MessageOwner(), webPage);
  return 0;
}
