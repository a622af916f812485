// setup: the installer wizard. Process-wide state and the routines its source
// files share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/catalogue.h"
#include "lib/Quorvane.h"

constexpr const char* kProductTitle = "Quorvane Webdeck";
constexpr const char* kSettingsKey = "Software\\AppDataLow\\Software\\Quorvane\\Toolbar";
constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";
constexpr const char* kWebPage = "https://www.quorvane.com/webdeck";

// The wizard's pages and their controls.
enum : int {
  IDD_OPTIONS = 103,
  IDD_PROGRESS = 123,
  IDB_HEADER = 116,
  IDC_FOLDER = 1000,
  IDC_BROWSE = 1001,
  IDC_SHORTCUTS = 1002,
  IDC_STARTAFTER = 1003,
  IDC_SELECTTOOLS = 1006,
  IDC_SUBTITLE = 1008,
  IDC_FOLDERLABEL = 1009,
  IDC_LANGUAGELABEL = 1010,
  IDC_TITLE = 1011,
  IDC_PROGRESSBAR = 1014,
  IDC_STATUS = 1015,
  IDC_PROGRESSICON = 1017,
  IDC_THANKS = 1018,
  IDC_EXPLANATION = 1020,
  IDC_HEADERBITMAP = 1022,
  IDC_SETUPLABEL = 1025,
  IDC_SETUPLINE = 1026,
  IDC_HEADERBAND = 1027,
  IDC_LANGUAGE = 1157,
  IDC_BACK = 3,
};

constexpr int kToolRecordCount = 41;
constexpr size_t kToolTextChars = 200;

// One tool of the family as setup installs it.
struct ToolRecord {
  int selected;
  char name[kToolTextChars];
  char files[kToolTextChars];
};

// Process-wide state.
extern char InstallFolder[MAX_PATH];
extern int SilentMode;
extern int CreateShortcutsOption;
extern int StartAfterSetupOption;
extern long CommandLineLanguage;
extern int ToolWasRunning[kRunFlagCount];
extern int LogoffNeeded;
// 1 when this setup (or the earlier one that installed into the same folder) made
// the install folder; recorded beside "InstallPath" for the uninstaller.
extern int InstallFolderCreated;
// Files of the setup folder that the copy step could not install: how many, and the first.
extern int FilesNotInstalled;
extern char FirstFileNotInstalled[MAX_PATH];
// The files the package lists (its "setup.lst"), which are all setup copies.
extern std::vector<std::string> PackageFiles;
// The package file that another program's file of the same name keeps out of the
// chosen install folder (see MakeInstallFolder).
extern char TakenFileName[MAX_PATH];

// 1 when setup may write the user's own settings (it runs as the signed-in user);
// 0 under another user's name, where the language goes to the machine only and
// the settings are not backed up (SettingsNotBackedUp, said on the last page).
extern int WritesUserSettings;
extern int SettingsNotBackedUp;

// The exit codes (listed in the README).
enum SetupExit {
  kSetupDone = 0,          // installed, every file copied
  kSetupFilesMissing = 2,  // installed, but files were not (the last page names the first)
  kSetupCanceled = 3,      // cancelled on the options page: nothing installed
  kSetupNotInstalled = 4   // nothing installed: the folder was refused or not made, or the command line unread
};
extern int ProgressClosed;
extern HWND OwnerWindow;
extern HWND ProgressPage;
extern HWND PlaceholderWindow;
extern ToolRecord ToolCatalogue[kToolRecordCount];

// The wizard (wizard.cpp).
void PumpMessages();
void ShowProgress(const char* text, int position);
void SetProgressBar(int position);
bool AnyToolWasRunning();
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PlaceholderWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Language selection of the options page (language.cpp).
void FillLanguageList(HWND page);
void StoreChosenLanguage(HWND page);
void SetOptionsPageTexts(HWND page);

// Whose settings setup may write (user.cpp): true when setup runs as the user the
// desktop's shell runs as. The check can be replaced for tests (null restores it).
bool RunsAsSignedInUser();
void SetSignedInUserCheck(bool (*check)());
// The user's family settings exported to TEMP before anything changes them; not
// when setup may not write the user's settings (SettingsNotBackedUp is set then).
void BackUpSettings();

// Stopping the family's running tools (stop.cpp).
int StopRunningTools(int wait);
// The folder "qvuac.exe" is started from: the install folder when only
// administrators can change it, else setup's own folder.
bool UacHelperFolder(char* out, size_t cap);
void RunUacHelper(const char* parameters);

// Files (files.cpp).
// Reads the package's file list into PackageFiles; false when it is missing,
// damaged or empty.
bool ReadPackageList();
// Makes InstallFolder (all levels) and notes whether it was there before. A folder
// that the folder guard protects (a root, Program Files, a profile, Documents...)
// is refused: the uninstaller could never take the product out of it again. So is
// a folder holding a file under a package file's name that no earlier
// installation there wrote (TakenFileName names it): setup never replaces another
// program's file. A folder setup makes gets InstallFolderSecurity.
enum InstallFolderResult { kFolderReady, kFolderProtected, kFolderNotMade, kFolderTaken };
InstallFolderResult MakeInstallFolder();
// The messages for a refused install folder, in the buffer.
void RefusedFolderText(char* out, size_t cap);
void TakenFolderText(char* out, size_t cap);
// The security of an install folder setup makes: full control for administrators
// and the system, read and run for users, nothing inherited. LocalFree it.
PSECURITY_DESCRIPTOR InstallFolderSecurity();
void RemoveOldFiles();
void CopySetupFiles();

// Registration (register.cpp).
void RegisterProduct();
void RegisterToolbarObjects();

// Shortcuts and program starts (shortcuts.cpp).
void RemoveOldShortcuts();
void DeleteSpecialFolderFile(int csidl, const char* name);
void DeleteSpecialFolderGroup(int csidl, const char* group);
void CreateStartMenuShortcuts();
void CreateToolShortcut(const char* targetFolder, const char* targetFile, const char* linkFolder,
                        const char* linkName, const char* description);
INT_PTR StartViaRunAs(const char* starterFolder, const char* program, const char* arguments, int keep);
void StartToolViaRunAs(const char* folder, const char* exe, const char* startSwitch);
void RestartStoppedTools(int startProgram);
