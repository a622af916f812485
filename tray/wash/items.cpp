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
#include <vector>

#include "common/folderguard.h"
#include "common/paths.h"
#include "common/widepath.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/jumplists.h"
#include "tray/wash/report.h"
#include "tray/wash/wash.h"

const WashItem kWashItems[kWashItemCount] = {
    {"ClearRun", 1180, WashRunMru, LIB_TEXT("Washing Start-Run history..."), LIB_TEXT("Start-Run history")},
    {"ClearRecent", 1182, WashRecentDocs, LIB_TEXT("Washing Recent Documents..."), LIB_TEXT("Recent documents")},
    {"ClearFind", 1051, WashFindMru, LIB_TEXT("Washing 'Search for Files' drop-down..."), LIB_TEXT("Search lists")},
    {"ClearTemp", 1050, WashTempFolders, LIB_TEXT("Washing Temporary folder..."), LIB_TEXT("Temporary folders")},
    {"ClearIE", 1185, WashTypedUrls, LIB_TEXT("Washing IE typed addresses..."), LIB_TEXT("Typed addresses")},
    {"ClearIEHistory", 1056, WashIeHistory, LIB_TEXT("Washing IE History..."), LIB_TEXT("History")},
    {"ClearIEAutoComp", 1062, WashAutoComplete, LIB_TEXT("Washing Auto-Complete info..."), LIB_TEXT("Form AutoComplete")},
    {"ClearIECache", 1187, WashIeCache, LIB_TEXT("Washing IE Cache..."), LIB_TEXT("Temporary Internet files")},
    {"ClearIECookies", 1055, WashIeCookies, LIB_TEXT("Washing IE Cookies..."), LIB_TEXT("Cookies")},
};

namespace {

constexpr const char* kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kSearchBarKey =
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}";

// The Internet Options sheet and its windows, by their English titles.
constexpr const char* kDialogClass = "#32770";
constexpr const char* kSheetTitle = LIB_TEXT("Internet Properties");
constexpr const char* kGeneralPage = LIB_TEXT("General");
constexpr const char* kContentPage = LIB_TEXT("Content");
constexpr const char* kConfirmTitle = LIB_TEXT("Internet Options");
constexpr const char* kAutoCompleteTitle = LIB_TEXT("AutoComplete Settings");
constexpr const char* kDeleteFilesTitle = LIB_TEXT("Delete Files");
constexpr int kClearHistoryButton = 1489;
constexpr int kAutoCompleteButton = 321;
constexpr int kClearFormsButton = 758;
constexpr int kDeleteFilesButton = 624;
constexpr int kContentTab = 2;
constexpr int kWaitLooks = 200;  // after the first look: at most 201 looks, 20 ms apart
constexpr DWORD kWaitStepMs = 20;
constexpr DWORD kSendTimeoutMs = 4000;
// A dialog of the control panel shows itself when its thread first runs out of
// messages after its initialisation (a message box is visible even before that):
// a hide that comes earlier is undone. A new one is given this long to show
// itself, each hide this long to take effect, and a hidden one this long to
// show itself again.
constexpr DWORD kShowWaitMs = 2000;
constexpr DWORD kHideWaitMs = 2500;
constexpr DWORD kSettleMs = 200;
constexpr int kHideTries = 3;

// Every item looks up its progress text first (the run shows it).
void LookUpProgress(int item) { LibTranslate(kWashItems[item].progress, 1); }

// The registry key as a report names it.
void ReportKey(const char* key, const char* subkey) {
  char name[MAX_PATH * 2];
  snprintf(name, sizeof name, "HKEY_CURRENT_USER\\%s%s%s", key, subkey ? "\\" : "", subkey ? subkey : "");
  ReportTarget(kTargetRegistry, name);
}

bool KeyExists(HKEY root, const char* key) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// Deletes subkey S of key K (a preview only looks whether it is there); the report
// counts a key that was there and is gone.
void DeleteSubkey(const char* key, const char* subkey) {
  HKEY opened;
  REGSAM access = IsPreview() ? KEY_READ : KEY_ALL_ACCESS;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, access, &opened) != ERROR_SUCCESS) return;
  bool there = KeyExists(opened, subkey);
  if (there) ReportKey(key, subkey);
  if (IsPreview()) {
    if (there) ReportEntry();
  } else if (RegDeleteKeyA(opened, subkey) == ERROR_SUCCESS && there) {
    ReportEntry();
  }
  RegCloseKey(opened);
}

// What only the browser clears, through its Internet Options; a preview says so.
void ReportBrowser(const char* what) { ReportTarget(kTargetBrowser, what); }

bool IsFolder(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A special folder's path (kFolderChars buffer, zero-filled); empty when it cannot be had.
constexpr size_t kFolderChars = MAX_PATH * 2;
void SpecialFolder(int csidl, wchar_t* path) {
  memset(path, 0, kFolderChars * sizeof(wchar_t));
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return;
  if (!SHGetPathFromIDListW(list, path)) path[0] = 0;
  LibFreeIdList(list);
}

// The special folder, or, when it is empty or missing, the "Shell Folders" value.
void FolderWithFallback(int csidl, const wchar_t* valueName, wchar_t* path) {
  SpecialFolder(csidl, path);
  if (path[0] && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return;
  memset(path, 0, kFolderChars * sizeof(wchar_t));
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return;
  DWORD type = 0, size = (kFolderChars - 1) * sizeof(wchar_t);
  if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    size = 0;
  path[size / sizeof(wchar_t)] = 0;
  RegCloseKey(key);
}

void LeaveAlone(const wchar_t* path, LeftAloneReason reason) { NoteFolderLeftAlone(DisplayText(path).c_str(), reason); }

// Empties the folder with everything below it (the deletion routines refuse roots
// and relative paths, so a damaged value empties nothing). A folder that the guard
// protects, or that the walk finds protected on the folder it holds, is left
// alone, and the run says so.
void EmptyIfFolder(const wchar_t* path, bool mustBeFolder, const EmptyChoice* choice = nullptr) {
  if (!path[0]) return;
  if (mustBeFolder ? !IsFolder(path) : GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
  if (IsProtectedFolderW(path)) {
    LeaveAlone(path, kLeftProtected);
    return;
  }
  ReportTarget(kTargetFolder, DisplayText(path).c_str());
  EmptyOutcome outcome = choice ? EmptyFolderChosen(path, *choice) : EmptyFolderW(path, 1);
  if (outcome == kEmptyRefused) LeaveAlone(path, kLeftProtected);
}

// The jump lists' folders inside Recent: they hold the pins the user made, which
// the Recent item leaves to the jump-list step.
const wchar_t* const kJumpListFolders[] = {L"AutomaticDestinations", L"CustomDestinations", nullptr};

bool KeepJumpList(void*, const WalkEntry& entry) { return !JumpListGoes(entry.folder, entry.name); }

// GetTempPath's folder is a temporary folder only when TMP or TEMP named it (the
// first of them that is set is the one it takes); without both it is the profile
// or the Windows folder. A value that is not a full path ("tmp", "D:") names a
// folder relative to wherever the program was started.
LeftAloneReason TempFolderVerdict() {
  for (const wchar_t* name : {L"TMP", L"TEMP"}) {
    std::vector<wchar_t> value(kLongPathChars);
    DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0 || n >= value.size()) continue;
    return IsFullPathText(value.data()) ? kLeftNothing : kLeftRelative;
  }
  return kLeftNotTemporary;
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

// Waits, 20 ms apart and at most timeoutMs, until the window is visible (or
// hidden); true when it is (or when it is gone).
bool WaitVisibility(HWND window, bool visible, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (!IsWindow(window) || (IsWindowVisible(window) != FALSE) == visible) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kWaitStepMs);
  }
}

// Hides a window of the control panel (another program: never a call that waits
// for it) and waits until it is hidden and stays so. A window that has just come
// (fresh) is first given the time to show itself. The sheet is minimized before
// it is hidden. False when it still shows after the tries.
bool HideShown(HWND window, bool fresh, bool minimizeFirst) {
  if (fresh) WaitVisibility(window, true, kShowWaitMs);
  else if (!IsWindowVisible(window)) return true;  // hidden by an earlier item
  for (int tries = 0; tries < kHideTries; ++tries) {
    if (IsWindowVisible(window)) {
      if (minimizeFirst) ShowWindowAsync(window, SW_SHOWMINIMIZED);
      ShowWindowAsync(window, SW_HIDE);
      if (!WaitVisibility(window, false, kHideWaitMs)) continue;
    }
    if (!IsWindow(window) || !WaitVisibility(window, true, kSettleMs)) return true;
  }
  return !IsWindowVisible(window);
}

void HideSheet(HWND sheet, bool fresh) { HideShown(sheet, fresh, true); }

// The open sheet, else a new one; hidden either way. Null when none came.
HWND FindPropertiesSheet() {
  HWND sheet = FindTitled(nullptr, kSheetTitle, false);
  bool fresh = !sheet;
  if (fresh) {
    StartSheet();
    sheet = WaitForDialog(kSheetTitle);
  }
  if (sheet) HideSheet(sheet, fresh);
  return sheet;
}

void Press(HWND window, int command) { PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0); }

// A dialog of the sheet (the confirmations, AutoComplete Settings, Delete Files)
// is hidden once it has shown itself, and told what to do only when it is hidden.
// One that cannot be hidden within the tries is told all the same: the user
// asked for the clearing, and the answer closes it at once.
void PressHidden(HWND dialog, int command) {
  HideShown(dialog, true, false);
  Press(dialog, command);
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
  constexpr const char* kRecentDocs = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
  if (KeyExists(HKEY_CURRENT_USER, kRecentDocs)) {
    ReportKey(kRecentDocs, nullptr);
    if (IsPreview() || LibRegDeleteTree(HKEY_CURRENT_USER, kRecentDocs, 1)) ReportEntry();
  }
  wchar_t path[kFolderChars];
  SpecialFolder(CSIDL_RECENT, path);
  EmptyChoice keepJumpLists = {nullptr, true, true, false, nullptr, nullptr, kJumpListFolders, false};
  EmptyIfFolder(path, true, &keepJumpLists);
}

void WashJumpLists() {
  wchar_t recent[kFolderChars];
  SpecialFolder(CSIDL_RECENT, recent);
  if (!recent[0]) return;
  EmptyChoice recentOnly = {nullptr, false, false, false, KeepJumpList, nullptr, nullptr, false};
  for (const wchar_t* const* folder = kJumpListFolders; *folder; ++folder) {
    wchar_t path[kFolderChars];
    if (JoinWide(path, kFolderChars, recent, *folder)) EmptyIfFolder(path, true, &recentOnly);
  }
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
  std::vector<wchar_t> path(kLongPathChars);
  DWORD n = GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  if (n > 0 && n < path.size()) {
    LeftAloneReason verdict = TempFolderVerdict();
    if (verdict != kLeftNothing) LeaveAlone(path.data(), verdict);
    else EmptyIfFolder(path.data(), true);
  }
  wchar_t windows[MAX_PATH] = {};
  UINT w = GetWindowsDirectoryW(windows, MAX_PATH);
  if (w == 0 || w >= MAX_PATH || !JoinWide(path.data(), path.size(), windows, L"temp")) return;
  EmptyIfFolder(path.data(), true);
}

void WashTypedUrls() {
  LookUpProgress(4);
  DeleteSubkey("Software\\Microsoft\\Internet Explorer", "TypedURLs");
}

void WashIeHistory() {
  LookUpProgress(5);
  wchar_t path[kFolderChars];
  FolderWithFallback(CSIDL_HISTORY, L"History", path);
  EmptyIfFolder(path, true);
  ReportBrowser(LibTranslate("The browser clears its own history", 1));
  if (IsPreview()) return;  // the browser is not asked to clear anything
  StartSheet();  // always a start of its own
  HWND sheet = WaitForDialog(kSheetTitle);
  if (!sheet) return;
  HideSheet(sheet, true);
  HWND general = FindTitled(sheet, kGeneralPage, false);
  if (general) {
    Press(general, kClearHistoryButton);
    HWND confirm = WaitForDialog(kConfirmTitle);
    if (confirm) PressHidden(confirm, IDYES);
  }
  bool later = HistoryInRun.load(std::memory_order_relaxed) == 1 && (Ticked("ClearIECache") || Ticked("ClearIEAutoComp"));
  if (!later) CloseSheet(sheet);
}

void WashAutoComplete() {
  LookUpProgress(6);
  ReportBrowser(LibTranslate("The browser clears its own form data", 1));
  HWND sheet = IsPreview() ? nullptr : FindPropertiesSheet();
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
        PressHidden(settings, kClearFormsButton);
        HWND confirm = WaitForDialog(kConfirmTitle);
        if (confirm) PressHidden(confirm, IDOK);
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
  wchar_t path[kFolderChars];
  FolderWithFallback(CSIDL_INTERNET_CACHE, L"Cache", path);
  EmptyIfFolder(path, false);
  ReportBrowser(LibTranslate("The browser clears its own cache", 1));
  if (IsPreview()) return;
  HWND sheet = FindPropertiesSheet();
  if (!sheet) return;
  HWND general = FindTitled(sheet, kGeneralPage, false);
  if (general) {
    Press(general, kDeleteFilesButton);
    HWND dialog = WaitForDialog(kDeleteFilesTitle);
    if (dialog) PressHidden(dialog, IDOK);
  }
  CloseSheet(sheet);
}

// Only the files lying directly in the Cookies folder; its subfolders stay.
void WashIeCookies() {
  LookUpProgress(8);
  wchar_t path[kFolderChars];
  FolderWithFallback(CSIDL_COOKIES, L"Cookies", path);
  if (!path[0] || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
  if (IsProtectedFolderW(path)) {
    LeaveAlone(path, kLeftProtected);
    return;
  }
  ReportTarget(kTargetFolder, DisplayText(path).c_str());
  if (EmptyFolderW(path, 0) == kEmptyRefused) LeaveAlone(path, kLeftProtected);  // a root or relative: nothing
}

void NoteFolderLeftAlone(const char* folder, LeftAloneReason reason) {
  ReportTarget(kTargetLeftAlone, folder);
  if (WashReport* report = ActiveReport()) report->targets.back().reason = reason;
}

const char* LeftAloneReasonText(int reason, bool translated) {
  const char* text = reason == kLeftNotTemporary     ? LIB_TEXT("TMP and TEMP are not set, so it is not a temporary folder")
                     : reason == kLeftRelative       ? LIB_TEXT("TMP or TEMP is not a full path")
                     : reason == kLeftProgramRunning ? LIB_TEXT("the program is running")
                     : reason == kLeftProtectedKey   ? LIB_TEXT("Windows or other programs need that key")
                     : reason == kLeftInUse          ? LIB_TEXT("another program is using it")
                     : reason == kLeftTabsKept       ? LIB_TEXT("the browser opens these tabs again at its start")
                                                     : LIB_TEXT("it is a folder of Windows or of a user");
  return translated ? LibTranslate(text, 1) : text;
}
