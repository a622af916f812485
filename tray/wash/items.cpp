// The nine wash items: most-recently-used lists in the registry, the contents of
// shell folders, and what only the browser's Internet Options sheet can clear,
// which is driven by window messages while it stays hidden.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/folderguard.h"
#include "common/paths.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/wash.h"

const WashItem kWashItems[kWashItemCount] = {
    {"ClearRun", 1180, WashRunMru, "Washing Start-Run history..."},
    {"ClearRecent", 1182, WashRecentDocs, "Washing Recent Documents..."},
    {"ClearFind", 1051, WashFindMru, "Washing 'Search for Files' drop-down..."},
    {"ClearTemp", 1050, WashTempFolders, "Washing Temporary folder..."},
    {"ClearIE", 1185, WashTypedUrls, "Washing IE typed addresses..."},
    {"ClearIEHistory", 1056, WashIeHistory, "Washing IE History..."},
    {"ClearIEAutoComp", 1062, WashAutoComplete, "Washing Auto-Complete info..."},
    {"ClearIECache", 1187, WashIeCache, "Washing IE Cache..."},
    {"ClearIECookies", 1055, WashIeCookies, "Washing IE Cookies..."},
};

namespace {

constexpr const char* kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kSearchBarKey =
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}";

// The Internet Options sheet and its windows, by their English titles.
constexpr const char* kDialogClass = "#32770";
constexpr const char* kSheetTitle = "Internet Properties";
constexpr const char* kGeneralPage = "General";
constexpr const char* kContentPage = "Content";
constexpr const char* kConfirmTitle = "Internet Options";
constexpr const char* kAutoCompleteTitle = "AutoComplete Settings";
constexpr const char* kDeleteFilesTitle = "Delete Files";
constexpr int kClearHistoryButton = 1489;
constexpr int kAutoCompleteButton = 321;
constexpr int kClearFormsButton = 758;
constexpr int kDeleteFilesButton = 624;
constexpr int kContentTab = 2;
constexpr int kWaitLooks = 200;  // after the first look: at most 201 looks, 20 ms apart
constexpr DWORD kWaitStepMs = 20;
constexpr DWORD kSendTimeoutMs = 4000;

// Every item looks up its progress text first (the run shows it).
void LookUpProgress(int item) { LibTranslate(kWashItems[item].progress, 1); }

void DeleteSubkey(const char* key, const char* subkey) {
  HKEY opened;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) return;
  RegDeleteKeyA(opened, subkey);
  RegCloseKey(opened);
}

bool IsFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A special folder's path (kDeletePathChars buffer, zero-filled); empty when it cannot be had.
void SpecialFolder(int csidl, char* path) {
  memset(path, 0, kDeletePathChars);
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return;
  if (!SHGetPathFromIDListA(list, path)) path[0] = 0;
  LibFreeIdList(list);
}

// The special folder, or, when it is empty or missing, the "Shell Folders" value.
void FolderWithFallback(int csidl, const char* valueName, char* path) {
  SpecialFolder(csidl, path);
  if (path[0] && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return;
  memset(path, 0, kDeletePathChars);
  if (!LibRegReadValue(HKEY_CURRENT_USER, kShellFoldersKey, valueName, path, MAX_PATH)) path[0] = 0;
  path[MAX_PATH - 1] = 0;
}

// The first folder left alone in this run or clearing, and why.
char FirstLeftAlone[kDeletePathChars];
LeftAloneReason FirstLeftAloneReason = kLeftProtected;

// A folder that the guard protects is left alone, and the run says so.
bool LeftAloneWhenProtected(const char* path) {
  if (!IsProtectedFolder(path)) return false;
  NoteFolderLeftAlone(path, kLeftProtected);
  return true;
}

// Empties the folder with everything below it (the deletion routines refuse roots
// and relative paths, so a damaged value empties nothing).
void EmptyIfFolder(char* path, bool mustBeFolder) {
  if (!path[0]) return;
  if (mustBeFolder ? !IsFolder(path) : GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  if (LeftAloneWhenProtected(path)) return;
  EmptyFolder(path, 1);
}

// GetTempPath's folder is a temporary folder only when TMP or TEMP named it;
// without both it is the profile or the Windows folder.
bool TempFromVariables() {
  char value[4];
  for (const char* name : {"TMP", "TEMP"})
    if (GetEnvironmentVariableA(name, value, sizeof value) > 0) return true;
  return false;
}

// ---- The Internet Options sheet.

// The window titled title: under its translation first, then (unless translatedOnly)
// under the English title. Top-level when parent is null, else a page of parent.
HWND FindTitled(HWND parent, const char* title, bool translatedOnly) {
  char translated[MAX_PATH];
  snprintf(translated, sizeof translated, "%s", LibTranslate(title, 1));
  auto find = [parent](const char* text) {
    return parent ? FindWindowExA(parent, nullptr, kDialogClass, text) : FindWindowA(kDialogClass, text);
  };
  HWND window = find(translated);
  if (!window && !translatedOnly) window = find(title);
  return window;
}

// Looks for the top-level window up to 201 times, 20 ms apart (about four seconds).
HWND WaitForDialog(const char* title, bool translatedOnly = false) {
  HWND window = FindTitled(nullptr, title, translatedOnly);
  for (int looks = 0; !window && looks < kWaitLooks; ++looks) {
    Sleep(kWaitStepMs);
    window = FindTitled(nullptr, title, translatedOnly);
  }
  return window;
}

void StartSheet() { ShellExecuteA(nullptr, nullptr, "inetcpl.cpl", nullptr, nullptr, SW_SHOWNA); }

void HideSheet(HWND sheet) {
  ShowWindow(sheet, SW_SHOWMINIMIZED);
  ShowWindow(sheet, SW_HIDE);
}

// The open sheet, else a new one; hidden either way. Null when none came.
HWND FindPropertiesSheet() {
  HWND sheet = FindTitled(nullptr, kSheetTitle, false);
  if (!sheet) {
    StartSheet();
    sheet = WaitForDialog(kSheetTitle);
  }
  if (sheet) HideSheet(sheet);
  return sheet;
}

void Press(HWND window, int command) { PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0); }

// Hides a confirmation box before answering it.
void Answer(HWND box, int answer) {
  ShowWindow(box, SW_HIDE);
  Press(box, answer);
}

// Closes the sheet and gives it the same wait to go: an item right after this one
// must not find the closing sheet and lose its commands to it.
void CloseSheet(HWND sheet) {
  Press(sheet, IDCANCEL);
  for (int looks = 0; IsWindow(sheet) && looks < kWaitLooks; ++looks) Sleep(kWaitStepMs);
}

bool Ticked(const char* setting) { return ReadSettingInt(setting) == 1; }

}  // namespace

void WashRunMru() {
  LookUpProgress(0);
  DeleteSubkey(kExplorerKey, "RunMRU");
}

void WashRecentDocs() {
  LookUpProgress(1);
  LibRegDeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", 1);
  char path[kDeletePathChars];
  SpecialFolder(CSIDL_RECENT, path);
  EmptyIfFolder(path, true);
}

void WashFindMru() {
  LookUpProgress(2);
  DeleteSubkey(kExplorerKey, "Doc Find Spec MRU");
  DeleteSubkey(kSearchBarKey, "FilesNamedMRU");
  DeleteSubkey(kSearchBarKey, "ContainingTextMRU");
  DeleteSubkey("Software\\Microsoft\\Search Assistant\\ACMru", "5603");
}

void WashTempFolders() {
  LookUpProgress(3);
  char path[kDeletePathChars] = {};
  DWORD n = GetTempPathA(MAX_PATH, path);
  if (n == 0 || n >= MAX_PATH) path[0] = 0;
  if (path[0] && !TempFromVariables()) NoteFolderLeftAlone(path, kLeftNotTemporary);
  else EmptyIfFolder(path, true);
  memset(path, 0, sizeof path);
  UINT w = GetWindowsDirectoryA(path, MAX_PATH);
  if (w == 0 || w >= MAX_PATH || !JoinPath(path, sizeof path, path, "temp")) return;
  EmptyIfFolder(path, true);
}

void WashTypedUrls() {
  LookUpProgress(4);
  DeleteSubkey("Software\\Microsoft\\Internet Explorer", "TypedURLs");
}

void WashIeHistory() {
  LookUpProgress(5);
  char path[kDeletePathChars];
  FolderWithFallback(CSIDL_HISTORY, "History", path);
  EmptyIfFolder(path, true);
  StartSheet();  // always a start of its own
  HWND sheet = WaitForDialog(kSheetTitle);
  if (!sheet) return;
  HideSheet(sheet);
  HWND general = FindTitled(sheet, kGeneralPage, false);
  if (general) {
    Press(general, kClearHistoryButton);
    HWND confirm = WaitForDialog(kConfirmTitle);
    if (confirm) Answer(confirm, IDYES);
  }
  bool later = HistoryInRun.load(std::memory_order_relaxed) == 1 && (Ticked("ClearIECache") || Ticked("ClearIEAutoComp"));
  if (!later) CloseSheet(sheet);
}

void WashAutoComplete() {
  LookUpProgress(6);
  HWND sheet = FindPropertiesSheet();
  if (sheet) {
    // Bounded: a control panel that does not answer must not hold the wash.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(sheet, PSM_SETCURSEL, kContentTab, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        &ignored);
    HWND content = FindTitled(sheet, kContentPage, true);
    if (content) {
      Press(content, kAutoCompleteButton);
      HWND settings = WaitForDialog(kAutoCompleteTitle, true);
      if (settings) {
        ShowWindow(settings, SW_HIDE);
        Press(settings, kClearFormsButton);
        HWND confirm = WaitForDialog(kConfirmTitle);
        if (confirm) Answer(confirm, IDOK);
        Press(settings, IDCANCEL);
      }
    }
    bool later = HistoryInRun.load(std::memory_order_relaxed) == 1 && Ticked("ClearIECache");
    if (!later) CloseSheet(sheet);
  }
  DeleteSubkey("Software\\Microsoft\\Internet Explorer\\IntelliForms", "SPW");
}

void WashIeCache() {
  LookUpProgress(7);
  char path[kDeletePathChars];
  FolderWithFallback(CSIDL_INTERNET_CACHE, "Cache", path);
  EmptyIfFolder(path, false);
  HWND sheet = FindPropertiesSheet();
  if (!sheet) return;
  HWND general = FindTitled(sheet, kGeneralPage, false);
  if (general) {
    Press(general, kDeleteFilesButton);
    HWND dialog = WaitForDialog(kDeleteFilesTitle);
    if (dialog) Answer(dialog, IDOK);
  }
  CloseSheet(sheet);
}

// Only the files lying directly in the Cookies folder; its subfolders stay.
void WashIeCookies() {
  LookUpProgress(8);
  char path[kDeletePathChars];
  FolderWithFallback(CSIDL_COOKIES, "Cookies", path);
  char folder[kDeletePathChars];
  if (!path[0] || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  if (!MakeFullPath(path, folder, sizeof folder) || !IsBelowRoot(folder)) return;  // never a root
  if (LeftAloneWhenProtected(folder) || !AddTrailingBackslash(folder, sizeof folder)) return;
  char pattern[kDeletePathChars];
  if (!JoinPath(pattern, sizeof pattern, folder, "*.*")) return;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (IsDotsEntry(found.cFileName) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    char file[kDeletePathChars];
    if (!JoinPath(file, sizeof file, folder, found.cFileName)) continue;
    if (!SecureDeleteFile(file)) break;
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

void NoteFolderLeftAlone(const char* folder, LeftAloneReason reason) {
  if (WashLeftAloneCount.fetch_add(1, std::memory_order_relaxed) != 0) return;
  snprintf(FirstLeftAlone, sizeof FirstLeftAlone, "%s", folder);
  FirstLeftAloneReason = reason;
}

void ForgetFoldersLeftAlone() {
  WashLeftAloneCount.store(0, std::memory_order_relaxed);
  FirstLeftAlone[0] = 0;
}

bool LeftAloneSentence(char* out, size_t cap) {
  unsigned count = static_cast<unsigned>(WashLeftAloneCount.load(std::memory_order_relaxed));
  if (!count || cap == 0) return false;
  char reason[300];
  snprintf(reason, sizeof reason, "%s",
           LibTranslate(FirstLeftAloneReason == kLeftNotTemporary
                            ? "TMP and TEMP are not set, so it is not a temporary folder"
                            : "it is a folder of Windows or of a user",
                        1));
  snprintf(out, cap, LibTranslate("The folder '%s' was left alone: %s.", 1 | LIB_TRANSLATE_FORMAT), FirstLeftAlone,
           reason);
  if (count > 1) {
    size_t used = strlen(out);
    snprintf(out + used, cap - used, LibTranslate(" (%u more folders were left alone.)", 1 | LIB_TRANSLATE_FORMAT),
             count - 1);
  }
  return true;
}
