// setup's process-wide state.
#include "setup/setup.h"

char InstallFolder[MAX_PATH];
int SilentMode;
int CreateShortcutsOption = 1;
int StartAfterSetupOption = 1;
long CommandLineLanguage = -1;
int ToolWasRunning[kRunFlagCount];
int LogoffNeeded;
int InstallFolderCreated;
int WritesUserSettings = 1;
int SettingsNotBackedUp;
int FilesNotInstalled;
char FirstFileNotInstalled[MAX_PATH];
std::vector<std::string> PackageFiles;
char TakenFileName[MAX_PATH];
int ProgressClosed;
HWND OwnerWindow;
HWND ProgressPage;
HWND PlaceholderWindow;
ToolRecord ToolCatalogue[kToolRecordCount];
