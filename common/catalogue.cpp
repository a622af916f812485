// The family's tool catalogue.
#include "common/catalogue.h"

#include "lib/Quorvane.h"  // LIB_TEXT

#include <windows.h>

#include <cstring>
#include <initializer_list>

const FamilyTool kFamilyTools[kFamilyToolCount] = {
    {"Tweak", "qvtweak.exe qvtweak.dll Tweak_Lang.txt"},
    {"Havrel", "qvhavrel.exe Havrel_Lang.txt"},
    {"Backup", "qvbackup.exe Backup_Lang.txt"},
    {"Sync", "qvsync.exe Sync_Lang.txt"},
    {"Clipboard", "qvclip.exe Clip_Lang.txt"},
    {"Launcher", "qvlaunch.exe Launch_Lang.txt"},
    {"Notes", "qvnotes.exe Notes_Lang.txt"},
    {"Calendar", "qvcal.exe Calendar_Lang.txt"},
    {"Webdeck", "qvtoolbar.exe qvtoolbar.dll Toolbar_Lang.txt"},
    {"Ruler", "qvruler.exe Ruler_Lang.txt"},
    {"Colors", "qvcolors.exe Colors_Lang.txt"},
    {"Magnifier", "qvmagnify.exe Magnify_Lang.txt"},
    {"Windows", "qvwinman.exe Winman_Lang.txt"},
    {"Startup", "qvstartup.exe Startup_Lang.txt"},
    {"Files", "qvfiles.exe Files_Lang.txt"},
    {"Rename", "qvrename.exe Rename_Lang.txt"},
    {"Search", "qvsearch.exe Search_Lang.txt"},
    {"Shutdown", "qvshutdown.exe Shutdown_Lang.txt"},
    {"Timer", "qvtimer.exe Timer_Lang.txt"},
    {"Keys", "qvkeys.exe Keys_Lang.txt"},
    {"Mouse", "qvmouse.exe Mouse_Lang.txt"},
    {"Screens", "qvscreens.exe Screens_Lang.txt"},
    {"Capture", "qvcapture.exe Capture_Lang.txt"},
    {"Volume", "qvvolume.exe Volume_Lang.txt"},
    {"Fonts", "qvfonts.exe Fonts_Lang.txt"},
    {"Passwords", "qvpass.exe Pass_Lang.txt"},
    {"Mail", "qvmail.exe Mail_Lang.txt"},
    {"Weather", "qvweather.exe Weather_Lang.txt"},
    {"Clock", "qvclock.exe Clock_Lang.txt"},
    {"Cleaner", "qvclean.exe Clean_Lang.txt"},
    {"Disk", "qvdisk.exe Disk_Lang.txt"},
    {"Tasks", "qvtasks.exe Tasks_Lang.txt"},
    {"Printer", "qvprint.exe Print_Lang.txt"},
    {"Icons", "qvicons.exe Icons_Lang.txt"},
    {"Menu", "qvmenu.exe Menu_Lang.txt"},
    {"Dock", "qvdock.exe Dock_Lang.txt"},
    {"Zip", "qvzip.exe Zip_Lang.txt"},
    {"Viewer", "qvview.exe View_Lang.txt"},
    {"Memo", "qvmemo.exe Memo_Lang.txt"},
    {"Privacy", "qvprivacy.exe Privacy_Lang.txt"},
    {"Speed", "qvspeed.exe Speed_Lang.txt"},
};

namespace {

// The blank-separated word of list that equals name, case ignored.
bool ListHas(const char* list, const char* name) {
  size_t n = strlen(name);
  for (const char* p = list; *p;) {
    const char* end = strchr(p, ' ');
    size_t len = end ? static_cast<size_t>(end - p) : strlen(p);
    if (len == n && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, p, static_cast<int>(len), name,
                                   static_cast<int>(n)) == CSTR_EQUAL)
      return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

bool IsProgramFile(const char* name) {
  size_t n = strlen(name);
  return n > 4 && lstrcmpiA(name + n - 4, ".exe") == 0;
}

}  // namespace

bool IsFamilyProgramName(const char* fileName) {
  if (!fileName || !IsProgramFile(fileName) || strchr(fileName, ' ')) return false;
  for (const FamilyTool& tool : kFamilyTools)
    if (ListHas(tool.files, fileName)) return true;
  for (const char* helper : kFamilyHelpers)
    if (lstrcmpiA(helper, fileName) == 0) return true;
  for (const char* program : kProgramNames)
    if (lstrcmpiA(program, fileName) == 0) return true;
  for (const ToolShortcut& shortcut : kToolShortcuts)
    if (lstrcmpiA(shortcut.exe, fileName) == 0) return true;
  return false;
}

bool IsFamilyOwnName(const char* fileName) {
  if (!fileName) return false;
  for (const char* help : {"Quorvane.hlp", "Quorvane.chm", "helpComplete.chm"})
    if (lstrcmpiA(help, fileName) == 0) return true;
  return IsFamilyProgramName(fileName);
}

bool IsFamilyGenericName(const char* fileName) {
  if (!fileName) return false;
  for (const char* name : {"uninstall.exe", "setup.exe"})
    if (lstrcmpiA(name, fileName) == 0) return true;
  for (const char* help : kHelpValues)
    if (lstrcmpiA(help, fileName) == 0) return true;
  for (const char* file : kToolFiles) {
    size_t n = strlen(file);
    if (n > 4 && lstrcmpiA(file + n - 4, ".chm") == 0 && lstrcmpiA(file, fileName) == 0) return true;
  }
  return false;
}

// ---- Running tools.

// The flagged rows follow the tools' order; the last four are helper windows
// that are closed but never restarted.
#define QV_FLAGGED_CLASSES                                                                                     \
  {"qvTweakClass", "Tweak, ", 0}, {"qvHavrelClass", "Havrel, ", 1}, {"qvBackupClass", "Backup, ", 2},         \
      {"qvSyncClass", "Sync, ", 3}, {"qvClipClass", "Clipboard, ", 4}, {"qvLaunchClass", "Launcher, ", 5},    \
      {"qvNotesClass", "Notes, ", 6}, {"qvCalendarClass", "Calendar, ", 7}, {"qvToolbarClass", "Toolbar, ", 8}, \
      {"qvRulerClass", "Ruler, ", 9}, {"qvColorsClass", "Colors, ", 10}, {"qvMagnifyClass", "Magnifier, ", 11}, \
      {"qvWinmanClass", "Windows, ", 12}, {"qvStartupClass", "Startup, ", 13}, {"qvFilesClass", "Files, ", 14}, \
      {"qvRenameClass", "Rename, ", 15}, {"qvSearchClass", "Search, ", 16},                                    \
      {"qvShutdownClass", "Shutdown, ", 17}, {"qvTimerClass", "Timer, ", 18}, {"qvKeysClass", "Keys, ", 19},    \
      {"qvMouseClass", "Mouse, ", 20}, {"qvScreensClass", "Screens, ", 21}, {"qvCaptureClass", "Capture, ", 22}, \
      {"qvVolumeClass", "Volume, ", 23}, {"qvClockClass", "Clock, ", 24}
#define QV_HELPER_CLASSES                                                                                   \
  {"qvTweakTrayClass", "Tweak tray, ", -1}, {"qvBackupAgentClass", "Backup agent, ", -1},                   \
      {"qvSyncAgentClass", "Sync agent, ", -1}, {"qvTipsClass", "Tips, ", -1}

const ToolClass kSetupClasses[kSetupClassCount] = {QV_FLAGGED_CLASSES, QV_HELPER_CLASSES};
const ToolClass kUninstallClasses[kUninstallClassCount] = {
    QV_FLAGGED_CLASSES, QV_HELPER_CLASSES,
    // Classes of earlier versions.
    {"qvWebdeckClass", "Webdeck, ", -1}, {"qvDeskTweakClass", "Tweak, ", -1}, {"qvBackupOldClass", "Backup, ", -1}};

#define QV_TOOL_TITLES                                                                                        \
  "Quorvane Toolbar", "Quorvane Toolbar Options", "Quorvane Tweak", "Quorvane Tweak Options",                \
      "Quorvane Backup", "Quorvane Backup Options", "Quorvane Sync", "Quorvane Sync Options",                \
      "Quorvane Clipboard", "Quorvane Clipboard Options", "Quorvane Launcher", "Quorvane Launcher Options",  \
      "Quorvane Notes", "Quorvane Notes Options", "Quorvane Calendar", "Quorvane Calendar Options",          \
      "Quorvane Ruler", "Quorvane Ruler Options", "Quorvane Colors", "Quorvane Colors Options",              \
      "Quorvane Magnifier", "Quorvane Magnifier Options", "Quorvane Window Manager",                         \
      "Quorvane Window Manager Options", "Quorvane Startup Manager", "Quorvane Startup Manager Options",     \
      "Quorvane Timer", "Quorvane Timer Options", "Quorvane Screen Capture", "Quorvane Screen Capture Options", \
      "Quorvane Clock", "Quorvane Clock Options", "Quorvane Volume", "Quorvane Volume Options",              \
      "Quorvane Files", "Quorvane Files Options"
const char* const kSetupTitles[kSetupTitleCount] = {QV_TOOL_TITLES, "Quorvane Havrel Options", "qv-Wash"};
const char* const kUninstallTitles[kUninstallTitleCount] = {QV_TOOL_TITLES, "Quorvane Havrel", "Quorvane Webdeck Options",
                                                            "qv-Wash"};

// ---- Starting and linking the tools.

const ToolRestart kToolRestarts[kToolRestartCount] = {
    {0, "qvtweak.exe", "/s"},    {1, "qvhavrel.exe", "/s"},   {2, "qvbackup.exe", "/silent"},
    {3, "qvsync.exe", "/s"},     {4, "qvclip.exe", "/s"},     {5, "qvlaunch.exe", "/s"},
    {6, "qvnotes.exe", "/s"},    {7, "qvcal.exe", "/s"},      {8, "qvtoolbar.exe", "/s"},
    {9, "qvruler.exe", "/s"},    {10, "qvcolors.exe", "/s"},  {11, "qvmagnify.exe", "/s"},
    {12, "qvwinman.exe", "/s"},  {13, "qvstartup.exe", "/s"}, {14, "qvfiles.exe", "/s"},
    {15, "qvrename.exe", "/s"},  {16, "qvsearch.exe", "/s"},  {17, "qvshutdown.exe", "/s"},
    {18, "qvtimer.exe", "/s"},   {19, "qvkeys.exe", "/s"},    {20, "qvmouse.exe", "/s"},
    {21, "qvscreens.exe", "/s"}, {22, "qvcapture.exe", "/s"}, {23, "qvvolume.exe", "/s"},
    {24, "qvclock.exe", "/s"},
};

const ToolShortcut kToolShortcuts[kToolShortcutCount] = {
    {8, "Webdeck ", LIB_TEXT("for IE, download pictures, Boss-Key"), "qvtoolbar.exe"},
    {1, "Havrel - ", LIB_TEXT("delete files and traces at restart"), "qvhavrel.exe"},
    {1, "Havrel - ", LIB_TEXT("restore the last backup"), "qvhavrest.exe"},
    {0, "Tweak - ", LIB_TEXT("desktop and Explorer settings"), "qvtweak.exe"},
    {2, "Backup - ", LIB_TEXT("back up your documents"), "qvbackup.exe"},
    {3, "Sync - ", LIB_TEXT("keep folders the same"), "qvsync.exe"},
    {4, "Clipboard - ", LIB_TEXT("remember what you copied"), "qvclip.exe"},
    {5, "Launcher - ", LIB_TEXT("start programs with a key"), "qvlaunch.exe"},
    {6, "Notes - ", LIB_TEXT("sticky notes on the desktop"), "qvnotes.exe"},
    {7, "Calendar - ", LIB_TEXT("dates in the tray"), "qvcal.exe"},
    {9, "Ruler - ", LIB_TEXT("measure on the screen"), "qvruler.exe"},
    {10, "Colors - ", LIB_TEXT("pick colours from the screen"), "qvcolors.exe"},
    {11, "Magnifier - ", LIB_TEXT("zoom into the screen"), "qvmagnify.exe"},
    {12, "Windows - ", LIB_TEXT("arrange your windows"), "qvwinman.exe"},
    {13, "Startup - ", LIB_TEXT("programs that start with Windows"), "qvstartup.exe"},
    {14, "Files - ", LIB_TEXT("find and compare files"), "qvfiles.exe"},
    {15, "Rename - ", LIB_TEXT("rename many files at once"), "qvrename.exe"},
    {16, "Search - ", LIB_TEXT("search inside files"), "qvsearch.exe"},
    {17, "Shutdown - ", LIB_TEXT("switch off on time"), "qvshutdown.exe"},
    {18, "Timer - ", LIB_TEXT("countdowns and alarms"), "qvtimer.exe"},
    {19, "Keys - ", LIB_TEXT("your own hotkeys"), "qvkeys.exe"},
    {20, "Mouse - ", LIB_TEXT("mouse gestures"), "qvmouse.exe"},
    {21, "Screens - ", LIB_TEXT("screen savers and wallpapers"), "qvscreens.exe"},
    {22, "Capture - ", LIB_TEXT("screen shots"), "qvcapture.exe"},
    {23, "Volume - ", LIB_TEXT("sound volume from the tray"), "qvvolume.exe"},
    {28, "Clock - ", LIB_TEXT("a clock on the desktop"), "qvclock.exe"},
};

// ---- Removal.

const char* const kHelpValues[kHelpValueCount] = {
    "Tweak.chm",   "Havrel.chm", "Backup.chm",  "Sync.chm",     "Clip.chm",    "Launch.chm",   "Notes.chm",
    "Calendar.chm", "Toolbar.chm", "Ruler.chm", "Colors.chm",   "Magnify.chm", "Winman.chm",   "Startup.chm",
    "Files.chm",   "Rename.chm", "Search.chm",  "Shutdown.chm", "Timer.chm",   "Keys.chm",     "helpComplete.chm",
};

const char* const kProgramNames[kProgramNameCount] = {
    "qvtweak.exe",   "qvhavrel.exe",   "qvhavrest.exe", "qvbackup.exe",  "qvsync.exe",    "qvclip.exe",
    "qvlaunch.exe",  "qvnotes.exe",    "qvcal.exe",     "qvtoolbar.exe", "qvruler.exe",   "qvcolors.exe",
    "qvmagnify.exe", "qvwinman.exe",   "qvstartup.exe", "qvfiles.exe",   "qvrename.exe",  "qvsearch.exe",
    "qvshutdown.exe", "qvtimer.exe",   "qvkeys.exe",    "qvmouse.exe",   "qvscreens.exe", "qvcapture.exe",
    "qvvolume.exe",  "qvfonts.exe",    "qvpass.exe",    "qvmail.exe",    "qvweather.exe", "qvclock.exe",
    "qvclean.exe",   "qvdisk.exe",     "qvtasks.exe",   "qvprint.exe",   "qvicons.exe",   "qvmenu.exe",
    "qvdock.exe",    "qvzip.exe",      "qvwash.exe",    "qvuac.exe",
};

const char* const kToolFiles[kToolFileCount] = {
    // Programs.
    "qvtweak.exe", "qvbackup.exe", "qvsync.exe", "qvclip.exe", "qvlaunch.exe", "qvnotes.exe", "qvcal.exe",
    "qvtoolbar.exe", "qvruler.exe", "qvcolors.exe", "qvmagnify.exe", "qvwinman.exe", "qvstartup.exe",
    "qvfiles.exe", "qvrename.exe", "qvsearch.exe", "qvshutdown.exe", "qvtimer.exe", "qvkeys.exe", "qvmouse.exe",
    "qvscreens.exe", "qvcapture.exe", "qvvolume.exe", "qvclock.exe", "qvhavrest.exe", "qvwash.exe",
    "qvuac.exe", "qvrunas.exe",
    // Help.
    "Tweak.chm", "Havrel.chm", "Backup.chm", "Sync.chm", "Toolbar.chm", "Ruler.chm", "Colors.chm",
    "Winman.chm", "Startup.chm", "Files.chm",
    // Languages.
    "Tweak.qvx", "Havrel.qvx", "Backup.qvx", "Sync.qvx", "Toolbar.qvx", "Ruler.qvx", "Colors.qvx",
    "Winman.qvx", "Startup.qvx", "Files.qvx", "Toolbar_Lang.txt", "Tweak_Lang.txt", "Backup_Lang.txt",
    // Drivers and data.
    "qvtoolbar.dll", "qvtweak.dll", "qvkeys.sys", "qvmouse.sys", "qvhook.dll", "qvhook64.dll",
    "qvbackup.dat", "qvsync.dat", "qvnotes.dat", "qvcal.dat", "qvclip.dat", "qvtimer.dat",
    "qvlaunch.dat", "qvkeys.dat", "qvwinman.dat", "qvstartup.dat", "qvrename.dat", "qvsearch.dat",
    "qvscreens.dat",
};

const char* const kShellExtensions[kShellExtensionCount] = {
    "qvshell.dll", "qvshell64.dll", "qvcontext.dll", "qvcontext64.dll", "qvpreview.dll",
};

const char* const kToolLogs[kToolLogCount] = {"qvbackup_log.txt", "qvsync_log.txt", "qvtweak_log.txt"};
