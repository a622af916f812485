// The family's tool catalogue.
#include "common/catalogue.h"

#include <windows.h>

#include <cstring>

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
  return false;
}
