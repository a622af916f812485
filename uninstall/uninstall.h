// uninstall: removes the product family. It carries the identity of the sibling
// product "Quorvane Havrel".
#pragma once

#include <windows.h>

constexpr const char* kHavrelTitle = "Quorvane Havrel";
constexpr const char* kProductTitle = "Quorvane Webdeck";
constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";

// The exit codes (listed in the README).
enum UninstallExit {
  kExitDone = 0,           // removed; or, in the first run, handed to the copy in TEMP
  kExitCanceled = 2,       // the confirmation was declined: nothing changed
  kExitScheduled = 3,      // removed, but files are left to the next restart
  kExitFilesLeft = 4,      // files could be neither deleted nor scheduled (the last message names them)
  kExitRefusedFolder = 5,  // nothing removed: the install folder is a folder of Windows or of a user
  kExitNoInstallPath = 6,  // no install folder was recorded: all but the files removed
  kExitFilesKept = 7       // removed, but files changed since the installation were kept (the last message names them)
};

// Set when a file could only be scheduled for deletion at the next restart.
extern int FilesScheduled;
// Files that could be neither deleted nor scheduled: how many, and the paths of the
// first kFilesLeftNamed of them, each on a line of its own (after a CR LF).
constexpr int kFilesLeftNamed = 5;
constexpr size_t kFilesLeftChars = (MAX_PATH + 2) * kFilesLeftNamed + 1;
extern int FilesLeft;
extern char FilesLeftList[kFilesLeftChars];
// Files setup recorded that were changed since: kept; how many, and the first
// kFilesLeftNamed, each on a line of its own.
extern int FilesChanged;
extern char FilesChangedList[kFilesLeftChars];

// The removal steps.
void StopRunningToolsOnce();
void RemoveRegistryEntries();
// A key that holds nothing any more goes; one with values or subkeys stays.
void DeleteKeyIfEmpty(HKEY root, const char* key);
// Removes the family's files from the install folder: the files setup recorded,
// each only when it is still as setup wrote it (a changed one stays and is
// counted in FilesChanged). In a folder that setup made itself (createdBySetup)
// also the catalogue's names, every sound and help file, the Sounds, Languages
// and Help folders and an emptied parent named "...\Quorvane..."; the folder
// itself goes only when nothing else is left in it.
void RemoveFiles(const char* installFolder, bool createdBySetup);
void DeleteOrScheduleFile(const char* folder, const char* name);
// The install folder may be emptied: a full path that the folder guard does not
// protect (no root, no folder of Windows or of a user, no parent of one).
bool IsRemovableInstallFolder(const char* folder);
