// The family's tool catalogue: every tool of the Quorvane family, its name and
// its files. Setup, the uninstaller and the library (which must tell the
// family's shortcuts from others) share this one table.
#pragma once

#include <cstddef>

struct FamilyTool {
  const char* name;   // the tool's name ("Webdeck")
  const char* files;  // its file names, separated by single blanks; the first is its main program
};

// The tools at their fixed positions (setup's tool records use the same positions).
constexpr int kFamilyToolCount = 41;
extern const FamilyTool kFamilyTools[kFamilyToolCount];
// The position of this product's own tool, Webdeck (the ninth).
constexpr int kWebdeckTool = 8;

// The family's helper programs that belong to no single tool.
constexpr const char* kFamilyHelpers[] = {"qvuac.exe", "qvrunas.exe"};

// True when fileName (a bare file name, no folder) is exactly one of the family's
// program names (".exe" files of the catalogue and the helpers), case ignored.
bool IsFamilyProgramName(const char* fileName);
// The names that only the family uses: its programs and its own help files
// ("Quorvane.hlp", "Quorvane.chm", "helpComplete.chm"). A shortcut to one of them
// is the family's wherever it points.
bool IsFamilyOwnName(const char* fileName);
// Names the family shares with other programs: "uninstall.exe", "setup.exe" and
// the tools' help files ("Tweak.chm", ...). A shortcut to one of them is the
// family's only when it points into the family's install folder.
bool IsFamilyGenericName(const char* fileName);

// ---- What setup records of an installation, beside "InstallPath", in the family's
// machine-wide settings: 1 when setup made the install folder itself, 0 when the
// folder was there before (the uninstaller then takes only the family's named
// files from it). An installation without the value counts as made in a folder
// that was there before.
constexpr const char* kInstallFolderCreatedSetting = "InstallPathCreated";

// ---- Running tools: how setup and the uninstaller find and close them.

// A tool's main window class, the label that names it in "Still running:" texts,
// and the index of its "was running" flag (-1: no flag is kept for it).
struct ToolClass {
  const char* windowClass;
  const char* label;  // ends in ", "
  int runFlag;
};
constexpr int kRunFlagCount = 25;
// Setup's class catalogue: the first row is the desktop-tweaking tool, which is
// closed differently.
constexpr int kSetupClassCount = 29;
extern const ToolClass kSetupClasses[kSetupClassCount];
// The uninstaller's: the same tools and some older classes.
constexpr int kUninstallClassCount = 32;
extern const ToolClass kUninstallClasses[kUninstallClassCount];
// Fragments of window titles that name a tool (a window whose title holds one and
// no backslash is closed). None matches setup's or the uninstaller's own windows.
constexpr int kSetupTitleCount = 38;
extern const char* const kSetupTitles[kSetupTitleCount];
constexpr int kUninstallTitleCount = 39;
extern const char* const kUninstallTitles[kUninstallTitleCount];

// ---- Starting and linking the tools (setup).

// A tool restarted after setup when it was running before: its flag, program and switch.
struct ToolRestart {
  int runFlag;
  const char* exe;
  const char* startSwitch;
};
constexpr int kToolRestartCount = 25;
extern const ToolRestart kToolRestarts[kToolRestartCount];

// A Start-menu shortcut of a tool: made when the tool's record (kFamilyTools
// position) is selected; its name is the label and the translated description.
struct ToolShortcut {
  int tool;
  const char* label;
  const char* description;
  const char* exe;
};
constexpr int kToolShortcutCount = 26;
extern const ToolShortcut kToolShortcuts[kToolShortcutCount];

// ---- What the uninstaller removes besides the product's own entries.

// The languages setup offers (0 is English, which has no file): each other
// language's shared texts are the file "Common_Lang_<N>.txt".
constexpr int kLanguageCount = 20;

constexpr int kHelpValueCount = 21;     // values of HKLM "Software\Microsoft\Windows\Help"
extern const char* const kHelpValues[kHelpValueCount];
constexpr int kProgramNameCount = 40;   // "Applications\<name>" keys of HKCR
extern const char* const kProgramNames[kProgramNameCount];
constexpr int kToolFileCount = 70;      // program, help, language, driver and data files
extern const char* const kToolFiles[kToolFileCount];
constexpr int kShellExtensionCount = 5;
extern const char* const kShellExtensions[kShellExtensionCount];
constexpr int kToolLogCount = 3;        // log files of family tools ("<stem>_log.txt")
extern const char* const kToolLogs[kToolLogCount];

