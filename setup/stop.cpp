// Stopping the family's running tools before files are replaced.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "common/folderacl.h"
#include "common/folderguard.h"
#include "common/paths.h"
#include "common/stoptools.h"
#include "setup/setup.h"

namespace {

void ShowStopStatus(const char* text) { ShowProgress(text, 0); }

}  // namespace

bool UacHelperFolder(char* out, size_t cap) {
  // Started elevated: only from an install folder that the folder guard lets
  // pass and that nobody but administrators can change; else from setup's own folder.
  if (InstallFolder[0] && !IsProtectedFolder(InstallFolder) && FolderClosedToOthers(InstallFolder)) {
    int n = snprintf(out, cap, "%s", InstallFolder);
    return n > 0 && static_cast<size_t>(n) < cap;
  }
  char program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  return n > 0 && n < MAX_PATH && FolderPart(out, cap, program);
}

void RunUacHelper(const char* parameters) {
  char folder[MAX_PATH] = {}, helper[MAX_PATH];
  if (!UacHelperFolder(folder, sizeof folder) || !JoinPath(helper, sizeof helper, folder, "qvuac.exe")) return;
  ShellExecuteA(OwnerWindow, nullptr, helper, parameters, nullptr, SW_SHOWNORMAL);
}

int StopRunningTools(int wait) {
  ShowProgress(LibTranslate("Stopping all Quorvanes...", 0), 0);
  // The early stop comes before the install folder is known: the helper is
  // asked only once there is a folder to start it from.
  if (InstallFolder[0]) {
    RunUacHelper("/delete /runas /silent");
    RunUacHelper("/stop /tray /silent");
    RunUacHelper("/stop /sync /silent");
  }
  StopToolsWay way = {kSetupClasses, kSetupClassCount, wait ? 51 : 1, true, ShowStopStatus, ToolWasRunning};
  CloseToolWindows(way);
  ShowProgress(LibTranslate("Stopping all Quorvanes...", 0), 0);
  CloseTitledWindows(kSetupTitles, kSetupTitleCount);
  return 1;
}
