// Setup's shell steps: old shortcuts and groups removed, the product's Start-menu
// group made, and programs started without elevation through "qvrunas.exe".
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/dpi.h"
#include "common/paths.h"
#include "setup/setup.h"

namespace {

constexpr size_t kStarterChars = 2000;

// A special folder's path with a trailing backslash; empty when it cannot be had.
void SpecialFolder(int csidl, char* out, size_t cap) {
  out[0] = 0;
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return;
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(list, path)) snprintf(out, cap, "%s", path);
  LibFreeIdList(list);
  if (out[0] && !AddTrailingBackslash(out, cap)) out[0] = 0;
}

void ProgramFolderOf(char* out, size_t cap) {
  char program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !FolderPart(out, cap, program)) out[0] = 0;
}

void StartMenuFolder(char* out, size_t cap) {
  SpecialFolder(CSIDL_COMMON_PROGRAMS, out, cap);
  if (strlen(out) < 4) SpecialFolder(CSIDL_PROGRAMS, out, cap);
  if (strlen(out) < 4) snprintf(out, cap, "%s", "C:\\Windows\\Start Menu\\Programs\\");
}

// The Explorer window that shows the new group, put behind the progress page.
void PlaceGroupWindow(const char* group) {
  HWND window = FindWindowA(nullptr, group);
  if (!window) window = FindWindowA(nullptr, kProductTitle);
  if (!window) return;
  UINT flags = SWP_NOACTIVATE | (LibKeepWindowSize() ? SWP_NOSIZE : 0);
  UINT dpi = WindowDpi(ProgressPage ? ProgressPage : window);  // the place and size are meant at 96 dpi
  SetWindowPos(window, ProgressPage, ScaleForDpi(10, dpi), ScaleForDpi(20, dpi), ScaleForDpi(650, dpi),
               ScaleForDpi(800, dpi), flags);
}

}  // namespace

void DeleteSpecialFolderFile(int csidl, const char* name) {
  char folder[MAX_PATH], path[MAX_PATH];
  SpecialFolder(csidl, folder, sizeof folder);
  if (!folder[0] || !JoinPath(path, sizeof path, folder, name)) return;
  DeleteFileA(path);
  SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path, nullptr);
}

void DeleteSpecialFolderGroup(int csidl, const char* group) {
  char folder[MAX_PATH], path[MAX_PATH];
  SpecialFolder(csidl, folder, sizeof folder);
  if (!folder[0] || !JoinPath(path, sizeof path, folder, group)) return;
  HWND explorer = FindWindowA(nullptr, path);
  if (explorer) PostMessageA(explorer, WM_CLOSE, 0, 0);
  LibDeleteFolder(path, 1);
}

void RemoveOldShortcuts() {
  ShowProgress("Removing old shortcuts: 20%", 20);
  for (int csidl : {CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY}) LibDeleteShortcuts(csidl);
  ShowProgress("Removing old shortcuts: 40%", 40);
  char startup[MAX_PATH];
  snprintf(startup, sizeof startup, "%s 98.lnk", kProductTitle);
  DeleteSpecialFolderFile(CSIDL_STARTUP, startup);
  for (int csidl : {CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS})
    DeleteSpecialFolderGroup(csidl, kProductTitle);
  ShowProgress("Removing old shortcuts: 100%", 100);
}

void CreateToolShortcut(const char* targetFolder, const char* targetFile, const char* linkFolder,
                        const char* linkName, const char* description) {
  char target[MAX_PATH];
  if (targetFile[0] ? !JoinPath(target, sizeof target, targetFolder, targetFile)
                    : snprintf(target, sizeof target, "%s", targetFolder) >= static_cast<int>(sizeof target))
    return;
  if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) return;  // nothing to link to
  char link[MAX_PATH];
  if (snprintf(link, sizeof link, "%s%s.lnk", linkFolder, linkName) >= static_cast<int>(sizeof link)) return;
  LibCreateShortcut(link, target, description, targetFolder, 0);
}

void CreateStartMenuShortcuts() {
  char target[LIB_SETTING_CHARS + 1] = {};
  if (!LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", target)) return;
  Sleep(200);
  char menu[MAX_PATH];
  StartMenuFolder(menu, sizeof menu);
  if (GetFileAttributesA(menu) == INVALID_FILE_ATTRIBUTES) return;
  char group[MAX_PATH], links[MAX_PATH];
  if (!JoinPath(group, sizeof group, menu, kProductTitle)) return;
  if (CreateDirectoryA(group, nullptr)) SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, group, nullptr);
  char explorer[MAX_PATH] = {};
  UINT w = GetWindowsDirectoryA(explorer, MAX_PATH);
  if (w > 0 && w < MAX_PATH && JoinPath(explorer, sizeof explorer, explorer, "explorer.exe"))
    StartViaRunAs(nullptr, explorer, group, 1);
  ShowProgress("Creating shortcuts in Start - Programs: 20%", 20);
  snprintf(links, sizeof links, "%s", group);
  if (!AddTrailingBackslash(links, sizeof links)) return;
  CreateToolShortcut(target, "helpComplete.chm", links, LibTranslate("Quorvane Online Help", 0), "");
  for (int i = 0; i < kToolShortcutCount; ++i) {
    const ToolShortcut& row = kToolShortcuts[i];
    if (ToolCatalogue[row.tool].selected) {
      char name[MAX_PATH];
      snprintf(name, sizeof name, "%s%s", row.label, LibTranslate(row.description, 0));
      CreateToolShortcut(target, row.exe, links, name, "");
    }
    if (i == 0) ShowProgress("Creating shortcuts in Start - Programs: 40%", 40);
    if (i == 17) ShowProgress("Creating shortcuts in Start - Programs: 60%", 60);
    if (i == 24) ShowProgress("Creating shortcuts in Start - Programs: 80%", 80);
  }
  char uninstall[MAX_PATH];
  snprintf(uninstall, sizeof uninstall, "zz %s", LibTranslate("Uninstall %s", LIB_TRANSLATE_FORMAT));
  char name[MAX_PATH];
  snprintf(name, sizeof name, uninstall, kProductTitle);
  CreateToolShortcut(target, "uninstall.exe", links, name, "");
  SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr);
  PlaceGroupWindow(group);
  ShowProgress("Creating shortcuts in Start - Programs: 100%", 100);
}

INT_PTR StartViaRunAs(const char* starterFolder, const char* program, const char* arguments, int keep) {
  char parameters[kStarterChars] = {};
  if (keep) snprintf(parameters, sizeof parameters, "%s", "/keeprunas ");
  size_t used = strlen(parameters);
  if (program && program[0]) snprintf(parameters + used, sizeof parameters - used, "\"%s\"", program);
  used = strlen(parameters);
  if (arguments && arguments[0]) snprintf(parameters + used, sizeof parameters - used, " %s", arguments);
  if (!parameters[0]) snprintf(parameters, sizeof parameters, "%s", "/stoprunas");
  char starter[MAX_PATH];
  if (starterFolder && starterFolder[0]) snprintf(starter, sizeof starter, "%s", starterFolder);
  else ProgramFolderOf(starter, sizeof starter);
  if (!AddTrailingBackslash(starter, sizeof starter) || !JoinPath(starter, sizeof starter, starter, "qvrunas.exe"))
    return 0;
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, starter, parameters, nullptr, SW_SHOWNORMAL));
}

void StartToolViaRunAs(const char* folder, const char* exe, const char* startSwitch) {
  char program[MAX_PATH];
  if (!JoinPath(program, sizeof program, folder, exe)) return;
  StartViaRunAs(nullptr, program, startSwitch, 1);
}

void RestartStoppedTools(int startProgram) {
  char folder[MAX_PATH + 1] = {};
  if (!LibRegReadValue(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", folder, MAX_PATH)) return;
  if (!folder[0]) snprintf(folder, sizeof folder, "%s", InstallFolder);
  if (!folder[0]) return;
  for (const ToolRestart& row : kToolRestarts)
    if (ToolWasRunning[row.runFlag]) StartToolViaRunAs(folder, row.exe, row.startSwitch);
  if (startProgram) StartToolViaRunAs(folder, "qvtoolbar.exe", SilentMode ? "/s" : nullptr);
}
