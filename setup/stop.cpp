// Stopping the family's running tools before files are replaced.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "common/folderguard.h"
#include "common/paths.h"
#include "common/stoptools.h"
#include "setup/setup.h"

namespace {

void ShowStopStatus(const char* text) { ShowProgress(text, 0); }

}  // namespace

// The elevated helper runs from the install folder only when that folder passed the
// folder guard; otherwise from setup's own folder.
void RunUacHelper(const char* parameters) {
  char folder[MAX_PATH] = {}, helper[MAX_PATH];
  if (InstallFolder[0] && !IsProtectedFolder(InstallFolder)) {
    snprintf(folder, sizeof folder, "%s", InstallFolder);
  } else {
    char program[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !FolderPart(folder, sizeof folder, program)) return;
  }
  if (!JoinPath(helper, sizeof helper, folder, "qvuac.exe")) return;
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
