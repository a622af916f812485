// Folders, shortcuts, Explorer windows, file and folder choosers, family tools.
#include "quorvane/internal.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/catalogue.h"
#include "common/folderguard.h"
#include "common/paths.h"
#include "common/treewalk.h"
#include "common/widepath.h"

namespace qv {
namespace {

constexpr int kExplorerWindows = 32;
char g_explorerFolders[kExplorerWindows][MAX_PATH];
int g_explorerCount = 0;

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

// The target of the shortcut whose bytes are read through the opened file (the
// file that is then deleted is the file that was judged); false when it cannot be read.
constexpr DWORD kShortcutBytes = 1 << 20;
bool ShortcutTarget(HANDLE file, char* target, size_t cap) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > kShortcutBytes) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart));
  if (!memory) return false;
  DWORD read = 0;
  void* bytes = GlobalLock(memory);
  bool whole = bytes && ReadFile(file, bytes, static_cast<DWORD>(size.QuadPart), &read, nullptr) &&
               read == static_cast<DWORD>(size.QuadPart);
  if (bytes) GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (!whole || FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    return false;
  }
  bool ok = false;
  IShellLinkW* link = nullptr;
  IPersistStream* persist = nullptr;
  wchar_t wide[MAX_PATH] = {};
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    if (SUCCEEDED(link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)))) {
      ok = SUCCEEDED(persist->Load(stream)) && SUCCEEDED(link->GetPath(wide, MAX_PATH, nullptr, SLGP_RAWPATH));
      persist->Release();
    }
    link->Release();
  }
  stream->Release();  // frees the memory too
  // A target the code page cannot spell is none of the family's (their paths are ANSI).
  BOOL lossy = FALSE;
  return ok && wide[0] &&
         WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, target, static_cast<int>(cap), nullptr,
                             &lossy) > 0 &&
         !lossy;
}

// A walk through a shortcut folder and its subfolders: each ".lnk" that is a plain
// file leading to one of the family's programs is deleted.
struct ShortcutWalk {
  const char* installFolder;
  int deleted;
};

bool DeleteIfFamilyShortcut(void* context, const WalkEntry& entry) {
  ShortcutWalk* walk = static_cast<ShortcutWalk*>(context);
  DWORD error = 0;
  HANDLE file = OpenInFolder(entry.folder, entry.name,
                             DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                             FILE_NON_DIRECTORY_FILE, &error);
  if (!file) return true;
  BY_HANDLE_FILE_INFORMATION info;
  char target[MAX_PATH];
  bool ours = GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
              ShortcutTarget(file, target, sizeof target) && IsFamilyTarget(target, walk->installFolder);
  bool gone = ours && MarkDeleted(file, &error);
  CloseHandle(file);
  if (gone) {
    ++walk->deleted;
    std::vector<wchar_t> scratch(kLongPathChars);
    if (const wchar_t* plain = PlainFormOf(entry.path, scratch.data(), scratch.size()))
      SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW, plain, nullptr);
  }
  return true;
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

namespace qv {
namespace {

bool RemoveWalkedFile(void*, const WalkEntry& entry) {
  RemoveInFolder(entry.folder, entry.name);  // what stays keeps its folder: the result tells
  return true;
}

}  // namespace
}  // namespace qv

int LibDeleteFolder(const char* path, int withContents) {
  // The full form first ("C:\x\..", "C:/", "\\srv\share\." are roots), then
  // never a volume or share root, never a relative path, never a folder of Windows
  // or of a user, and never a path the code page does not spell exactly.
  std::vector<wchar_t> wide(kLongPathChars), literal(kLongPathChars);
  if (!path || !WideFromAnsi(path, wide.data(), wide.size()) ||
      !LiteralFullPath(wide.data(), literal.data(), literal.size()))
    return 0;
  if (!IsBelowLiteralRoot(literal.data()) || IsProtectedFolderW(literal.data())) return 0;
  DWORD attributes = GetFileAttributesW(literal.data());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 1 : 0;  // already gone
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;  // a file: not ours to remove
  // The tree through the one walk (a link given itself goes as a link); without
  // contents only an empty folder goes.
  WalkRules rules = {nullptr, withContents ? kWalkAnyDepth : 0, true, true, false, false,
                     withContents ? RemoveWalkedFile : nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  WalkTree(literal.data(), rules);
  return GetFileAttributesW(literal.data()) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
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
  wchar_t folder[MAX_PATH] = {};
  std::vector<wchar_t> literal(kLongPathChars);
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0] ||
      !LiteralFullPath(folder, literal.data(), literal.size()))
    return 0;
  // With the install folder at a protected place its files stay, and so does
  // every shortcut that might lead to them.
  char installFolder[MAX_PATH];
  if (FamilyInstallFolder(installFolder, sizeof installFolder) == kInstallFolderProtected) return 0;
  ComScope com = ComStart();
  // The folder and its subfolders; a shortcut folder of the user's is never
  // emptied, only the family's shortcuts picked from it (the guard is not asked).
  ShortcutWalk walk = {installFolder, 0};
  WalkRules rules = {L"*.lnk", 1, false, false, false, true, DeleteIfFamilyShortcut, nullptr, nullptr, nullptr, &walk, nullptr};
  WalkTree(literal.data(), rules);
  ComEnd(com);
  if (walk.deleted) SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, folder, nullptr);
  return walk.deleted;
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
