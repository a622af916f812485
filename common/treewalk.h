// The one folder walk of the family. Every place that empties or removes a tree,
// or moves the files out of a folder, walks with it.
//
// - Names are UTF-16, as the folder lists them, joined as they are to literal
//   ("\\?\") paths of up to 32,767 characters; a listed name never holds a
//   separator, so it can never lead out of the folder it was listed in.
// - Each folder is opened once, with backup semantics and without following a
//   link, checked on that handle (a folder, not a link or other reparse point,
//   on the start's volume) and held without delete sharing while its entries
//   are handled, so that it cannot be renamed or replaced meanwhile. Its entries
//   are listed from that handle and opened relative to it, never by a path.
// - A link met in the walk (a junction, a symbolic link, a mount point) is
//   removed as a link when the walk removes folders, else left; what it leads
//   to is never opened.
// - The walk keeps an explicit stack with one held folder per level, not a list
//   of the tree.
// - The start folder is the folder its path leads to (a link in it is followed,
//   as the caller named it), unless the walk removes it: a link given as the
//   folder to remove goes as a link. It is judged by the folder guard on its held
//   handle (unless the walk only picks single files and removes no folder); a
//   protected one is refused.
// - Every entry it cannot reach, list or remove is told to the caller with its
//   path and the system's error: nothing is skipped silently.
#pragma once

#include <windows.h>

#include <cstddef>

#include "common/widepath.h"

// An entry met in a folder.
struct WalkEntry {
  HANDLE folder;            // the held folder it was listed in
  const wchar_t* name;      // its name as listed
  const wchar_t* path;      // its literal full path
  DWORD attributes;         // as listed
  unsigned long long size;  // as listed
};

constexpr int kWalkAnyDepth = 0x7fffffff;

struct WalkRules {
  const wchar_t* mask;  // the files handed to file(): a name pattern with "*" and "?"; null or "*.*": all
  int depth;            // levels of subfolders to enter: 0 none, kWalkAnyDepth all
  bool removeFolders;   // subfolders emptied by the walk are removed, and folder links met with them
  bool removeStart;     // the start folder too, once emptied (a start that is a link goes as a link)
  bool lookOnly;        // a preview: folders are only listed, nothing is removed
  bool selective;       // file() picks single files and no folder is removed: the guard is not asked
  // A file (or a link to a file) matching the mask; false ends the walk.
  bool (*file)(void* context, const WalkEntry& entry);
  // An entry that could not be reached, listed or removed, and why.
  void (*left)(void* context, const wchar_t* path, DWORD error);
  // A folder (or folder link) the walk removed.
  void (*removed)(void* context, const wchar_t* path);
  // Asked after every entry; true ends the walk.
  bool (*stopping)(void* context);
  void* context;
  // Names of the start folder's subfolders that the walk leaves as they are, not
  // entered and not counted as left (null-terminated list; null: none).
  const wchar_t* const* keepAtStart;
};

enum WalkResult {
  kWalkDone = 0,      // every entry handled (some may have been left, as told)
  kWalkEnded = 1,     // a stop, or file() asked to end
  kWalkNoFolder = 2,  // the start is not there
  kWalkRefused = 3    // the start is protected, not a folder, a link, not a literal path or cannot be opened
};
// Walks the folder whose literal full path is start (see widepath.h).
WalkResult WalkTree(const wchar_t* start, const WalkRules& rules);

// name in the held folder opened relative to it; the entry itself is opened, never
// what a link leads to. Null (and *error) when it cannot be opened.
HANDLE OpenInFolder(HANDLE folder, const wchar_t* name, ACCESS_MASK access, DWORD share, DWORD options,
                    DWORD* error);
// Sets the opened entry up for deletion; the name goes at once where the file
// system can, else when the last handle closes. A read-only file is deleted all the
// same when the handle may write attributes. False (and *error) when it cannot.
bool MarkDeleted(HANDLE entry, DWORD* error);
// Removes name (a file, or a link of any kind) from the held folder, decided on the
// opened entry. 0 when done, ERROR_FILE_NOT_FOUND when it was already gone, else the error.
DWORD RemoveInFolder(HANDLE folder, const wchar_t* name);
// Opens a folder by its literal path and holds it the way the walk holds its
// folders: without delete sharing. Null (and *error) when it cannot be opened or
// is no folder. kHoldItself refuses a link put in the folder's place; without it
// a link in the path is followed, as for a folder the caller names.
// kHoldReadSecurity lets the holder read the folder's owner and DACL.
constexpr DWORD kHoldForDelete = 1;
constexpr DWORD kHoldItself = 2;
constexpr DWORD kHoldReadSecurity = 4;
HANDLE OpenHeldFolder(const wchar_t* literal, DWORD how, DWORD* error);
// The opened entry lies at the literal path asked for (letter case aside): no
// link on the way led elsewhere, and a held folder was not moved.
bool IsAtPath(HANDLE entry, const wchar_t* literal);
// A plain file on a disk with this one name: no folder, device, link or other
// reparse point, and no second name (a hard link) by which it is another file.
bool IsPlainFileAt(HANDLE file, const wchar_t* literal);
// A file name matches a pattern of "*" and "?" (case-insensitive, "*.*" and "*" match all).
bool NameMatches(const wchar_t* name, const wchar_t* mask);

// For tests only: called with a folder's path after it was listed and before it is opened.
void SetWalkEnterHook(void (*hook)(const wchar_t* path));
