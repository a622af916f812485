// Stopping the family's running tools before files are replaced.
#include <windows.h>
#include <shellapi.h>

#include "common/paths.h"
#include "common/stoptools.h"
#include "setup/setup.h"

namespace {

void ShowStopStatus(const char* text) { ShowProgress(text, 0); }

}  // namespace

void RunUacHelper(const char* parameters) {
  char helper[MAX_PATH];
  if (!JoinPath(helper, sizeof helper, InstallFolder, "qvuac.exe")) return;
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
