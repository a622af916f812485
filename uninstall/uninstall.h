// uninstall: removes the product family. It carries the identity of the sibling
// product "Quorvane Havrel".
#pragma once

#include <windows.h>

constexpr const char* kHavrelTitle = "Quorvane Havrel";
constexpr const char* kProductTitle = "Quorvane Webdeck";
constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";

// Set when a file could only be scheduled for deletion at the next restart.
extern int FilesScheduled;

// The removal steps.
void StopRunningToolsOnce();
void RemoveRegistryEntries();
// A key that holds nothing any more goes; one with values or subkeys stays.
void DeleteKeyIfEmpty(HKEY root, const char* key);
void RemoveFiles(const char* installFolder);
void DeleteOrScheduleFile(const char* folder, const char* name);
// The install folder may be emptied: a full path below a root that is not the
// Windows or System folder or a folder many programs share.
bool IsRemovableInstallFolder(const char* folder);
