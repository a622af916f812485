// Folders, shortcuts, Explorer windows, file and folder choosers, family tools.
#include "quorvane/internal.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

namespace qv {
namespace {

constexpr int kExplorerWindows = 32;
char g_explorerFolders[kExplorerWindows][MAX_PATH];
int g_explorerCount = 0;

// Copies path into out (MAX_PATH) without trailing backslashes; false when empty or too long.
bool NormalizedPath(const char* path, char* out) {
  if (!path || !path[0] || strlen(path) >= MAX_PATH) return false;
  CopyText(out, MAX_PATH, path);
  size_t n = strlen(out);
  while (n > 1 && out[n - 1] == '\\' && !(n == 3 && out[1] == ':')) out[--n] = 0;
  return true;
}

// Length of the part of path that cannot be created: "C:\", "\\server\share\", "\".
size_t RootLength(const char* path) {
  if (path[0] && path[1] == ':') return path[2] == '\\' ? 3 : 2;
  if (path[0] == '\\' && path[1] == '\\') {
    const char* p = path + 2;
    if ((p[0] == '?' || p[0] == '.') && p[1] == '\\') return RootLength(p + 2) + 4;  // \\?\C:\...
    int parts = 0;
    while (*p && parts < 2) {
      if (*p == '\\') ++parts;
      if (parts < 2) ++p;
    }
    return static_cast<size_t>(p - path) + (*p ? 1 : 0);
  }
  return path[0] == '\\' ? 1 : 0;
}

// Removes everything inside the folder in path (MAX_PATH buffer, changed and restored).
bool EmptyTree(char* path) {
  size_t len = strlen(path);
  if (len + 2 >= MAX_PATH) return false;
  memcpy(path + len, "\\*", 3);
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(path, &fd);
  path[len] = 0;
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool ok = true;
  do {
    if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, "..")) continue;
    size_t nameLen = strlen(fd.cFileName);
    if (len + 1 + nameLen >= MAX_PATH) {  // never cut a path: leave what cannot be named
      ok = false;
      continue;
    }
    path[len] = '\\';
    memcpy(path + len + 1, fd.cFileName, nameLen + 1);
    DWORD attributes = fd.dwFileAttributes;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
      SetFileAttributesA(path, attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                              FILE_ATTRIBUTE_SYSTEM));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      if (!DeleteFileA(path)) ok = false;
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
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

bool EndsWithNoCase(const char* s, const char* tail) {
  size_t n = strlen(s), m = strlen(tail);
  return n >= m && lstrcmpiA(s + n - m, tail) == 0;
}

// A target of the family: inside a "\Quorvane..." folder, or a family program "qv*.exe".
bool IsFamilyTarget(const char* target) {
  char lowered[MAX_PATH];
  CopyText(lowered, sizeof lowered, target);
  CharLowerA(lowered);
  if (strstr(lowered, "\\quorvane")) return true;
  const char* slash = strrchr(lowered, '\\');
  const char* name = slash ? slash + 1 : lowered;
  return strncmp(name, "qv", 2) == 0 && EndsWithNoCase(name, ".exe");
}

// Deletes the family's ".lnk" files directly in folder (no trailing backslash); how many.
int DeleteFamilyLinksIn(const char* folder) {
  char pattern[MAX_PATH];
  if (snprintf(pattern, sizeof pattern, "%s\\*.lnk", folder) >= MAX_PATH) return 0;
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int deleted = 0;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    char link[MAX_PATH], target[MAX_PATH];
    if (snprintf(link, sizeof link, "%s\\%s", folder, fd.cFileName) >= MAX_PATH) continue;
    if (!ShortcutTarget(link, target) || !IsFamilyTarget(target)) continue;
    ClearAttributes(link);
    if (DeleteFileA(link)) {
      ++deleted;
      SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, link, nullptr);
    }
  } while (FindNextFileA(find, &fd));
  FindClose(find);
  return deleted;
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
  if (!NormalizedPath(path, folder)) return 0;
  if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) return IsExistingFolder(folder) ? 1 : 0;
  size_t root = RootLength(folder);
  for (size_t i = root; folder[i]; ++i) {
    if (folder[i] != '\\') continue;
    folder[i] = 0;
    if (i > root) CreateDirectoryA(folder, nullptr);  // existing levels simply fail
    folder[i] = '\\';
  }
  CreateDirectoryA(folder, nullptr);
  return IsExistingFolder(folder) ? 1 : 0;
}

int LibDeleteFolder(const char* path, int withContents) {
  char folder[MAX_PATH];
  if (!NormalizedPath(path, folder)) return 0;
  DWORD attributes = GetFileAttributesA(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return 1;  // already gone
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;  // a file: not ours to remove
  if (strlen(folder) <= RootLength(folder)) return 0;     // never a drive or share root
  ClearAttributes(folder);
  if (withContents && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) EmptyTree(folder);
  RemoveDirectoryA(folder);  // a link given itself goes as a link
  return GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int LibCreateShortcut(const char* link, const char* target, const char* description,
                      const char* workingFolder, int flags) {
  if (!link || !target || !link[0] || strlen(link) >= MAX_PATH) return 0;
  char folder[MAX_PATH];
  CopyText(folder, sizeof folder, link);
  char* slash = strrchr(folder, '\\');
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
  size_t len = strlen(folder);
  if (len && folder[len - 1] == '\\') folder[--len] = 0;
  ComScope com = ComStart();
  int deleted = DeleteFamilyLinksIn(folder);
  char pattern[MAX_PATH];
  WIN32_FIND_DATAA fd;
  HANDLE find = INVALID_HANDLE_VALUE;
  if (snprintf(pattern, sizeof pattern, "%s\\*", folder) < MAX_PATH) find = FindFirstFileA(pattern, &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
          !strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
        continue;
      char sub[MAX_PATH];
      if (snprintf(sub, sizeof sub, "%s\\%s", folder, fd.cFileName) < MAX_PATH) deleted += DeleteFamilyLinksIn(sub);
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
  // "name\0pattern\0name\0pattern\0\0"
  int n = snprintf(filter, sizeof filter - 2, "%s", LibTranslate("Sound files (*.wav)", 0)) + 1;
  n += snprintf(filter + n, sizeof filter - 2 - n, "*.wav") + 1;
  n += snprintf(filter + n, sizeof filter - 2 - n, "%s", LibTranslate("All files (*.*)", 0)) + 1;
  snprintf(filter + n, sizeof filter - 2 - n, "*.*");
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
      char path[MAX_PATH * 2];
      size_t len = strlen(folder);
      snprintf(path, sizeof path, "%s%s%s", folder, folder[len - 1] == '\\' ? "" : "\\", exeName);
      if (strlen(path) >= MAX_PATH || !IsExistingFile(path)) continue;
      if (OpenWithShell(MessageOwner(), path) > 32) return 1;
    }
  }
  if (webPage && webPage[0]) OpenWithShell(MessageOwner(), webPage);
  return 0;
}
