// Deleting the files of the Wash: folder walks, the guard, shredding, restart-time deletion.
#pragma once

#include <windows.h>

#include "common/treewalk.h"

constexpr int kDeletePathChars = 520;  // every path buffer of these routines

// Empties a folder (subfolders with recurse; emptied subfolders removed only for "*.*"),
// deletes a single file, or deletes the files matching a mask in the last component,
// through the one folder walk (common/treewalk.h). The path is made full first; a
// relative path, a volume or share root, a folder the folder guard protects
// (common/folderguard.h) and an ANSI path the code page does not convert exactly are
// refused. Every entry that could not be reached or deleted is counted as left
// (WashErrorCount and the thread's report) with its path.
// path is a kDeletePathChars buffer (which it may change: pass a scratch copy).
void EmptyFolder(char* path, int recurse);
// The same for a wide path (the folders the items wash come from the wide functions).
enum EmptyOutcome {
  kEmptied,       // walked (what could not be deleted is counted and reported)
  kEmptyNothing,  // nothing there
  kEmptyRefused,  // a root, a relative path, a folder the guard protects, or one that cannot be held
  kEmptyStopped   // a stop ended it
};
EmptyOutcome EmptyFolderW(const wchar_t* path, int recurse);
// The files a cleaning rule names in one folder (a full path, no wildcards): those
// matching mask, in the folder only or, with recurse, below it too, less those that
// keep() holds back (it gets each file's literal full path). Emptied subfolders are
// removed only with removeFolders, a mask of all files and no keep(); the folder
// itself, with removeStart, only when it is empty afterwards (else it stays, and
// nothing is counted for it). Refused, counted and reported as EmptyFolderW does.
// keep() sees each file as the walk met it (its held folder, its name and its
// literal full path); keepAtStart names subfolders of the folder that the walk
// leaves as they are (a null-terminated list; null: none). With leaveLocked, a file
// that stays (locked by the program that keeps it) is counted and reported as left,
// never overwritten, never put on the restart list and never given a box of its own.
struct EmptyChoice {
  const wchar_t* mask;  // "*" and "?"; null: all files
  bool recurse;
  bool removeFolders;
  bool removeStart;
  bool (*keep)(void* context, const WalkEntry& entry);
  void* context;
  const wchar_t* const* keepAtStart;
  bool leaveLocked;
};
EmptyOutcome EmptyFolderChosen(const wchar_t* folder, const EmptyChoice& choice);
// 0: stop requested or the file lies in a guarded folder (callers leave their loops); else 1.
int SecureDeleteFile(const char* path);
// 1: deleted, also when it was already gone; 0: not deleted (reported and counted when
// report is set) or stop requested.
int DeleteOrScheduleFile(const char* path, int report);
// Overwrites the file once in place with pseudo-random bytes and flushes it. 1: done or
// nothing to do; 0: a stop, a failed pass, or a file that must not be overwritten (a link,
// a file with a second name, a device).
int OverwriteFile(const char* path);

// The restart list's two system calls: setting a file up (MoveFileExW with
// MOVEFILE_DELAY_UNTIL_REBOOT) and the probe of the rights for it (RegOpenKeyExA
// of the Session Manager key for KEY_SET_VALUE). Tests replace them (Wine lets
// every process use the restart list); null puts the system's own back.
using RestartMoveCall = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
using RestartKeyCall = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
void SetRestartListCalls(RestartMoveCall move, RestartKeyCall openKey);
