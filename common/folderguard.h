// The one folder guard. Every step that empties, removes or walks a folder asks
// it first; a protected folder is left as it is, whatever the settings say.
//
// Protected: every drive, share and volume root; the Windows and System
// folders; both Program Files folders (and their Common Files); the common
// program-data folder; each user profile and the folder that holds the
// profiles; the known user folders (Desktop, Documents, Downloads, Music,
// Pictures, Videos, Favorites, the application-data roots, Start Menu,
// Programs, Startup) of the user and of all users; and every parent of any of
// these. Folders below them (the Windows "Temp" folder, the user's Temp
// folder) are not protected by this.
//
// A folder counts as what it is, however it is spelled: the path part
// (common/guardpath.h) reads "\\?\" and "\\.\" forms, "." and "..", trailing dots
// and blanks and forward slashes; here the full path, its long form (short 8.3
// names), a drive made with subst, and, where the folder exists, the volume
// serial number and file index of the opened folder (so that a junction, a
// "\\?\Volume{...}" path, a share or a drive letter that leads to a protected
// folder is that folder) are compared. A folder that exists but cannot be opened
// is refused.
#pragma once

#include <windows.h>

#include <cstddef>

// True when path names a protected folder (or is not a full path the guard can read).
bool IsProtectedFolder(const char* path);
// The same for a wide path; one that the code page cannot spell is judged by what
// the folder is (a folder that is not there holds nothing to keep).
bool IsProtectedFolderW(const wchar_t* path);
// The same for an opened folder, judged by its final path and its identity: what
// a walk holds is what was judged. Local disks, volumes and shares alike.
bool IsProtectedFolderHandle(HANDLE folder);

// The identity of a folder as the opened folder reports it (links followed).
struct FolderId {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
};
// Opens path (an ANSI or, with wide, a wide path) as a folder, following links,
// and reads its identity; false when it cannot be opened.
bool ReadFolderId(const char* path, FolderId* id);
bool ReadFolderIdW(const wchar_t* path, FolderId* id);

// True when a and b name the same folder: the same canonical long path, or,
// where both exist, the same identity.
bool SameFolder(const char* a, const char* b);
