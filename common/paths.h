// Path helpers of every program of the family and of the library.
//
// Paths are ANSI texts in the system's code page. Every backslash test walks
// the text character by character (CharNextA), so that the trail byte 0x5C of
// a double-byte character (Japanese code pages) is never taken for a backslash.
// Nothing here cuts a path: a result that does not fit its buffer is refused
// and the buffer is left as it was.
#pragma once

#include <windows.h>

#include <cstddef>

// The restart-time deletion list in the Windows folder, and the name the system
// leaves behind once it has carried it out (on the platforms that are not NT).
constexpr const char* kRestartListName = "wininit.ini";
constexpr const char* kRestartListDoneName = "wininit.bak";

// The last backslash of path (a character, not a trail byte), or null.
const char* LastBackslash(const char* path);
// The path's last character is a backslash.
bool EndsWithBackslash(const char* path);
// Appends "\" to a non-empty path that does not end in one; false when it would not fit.
bool AddTrailingBackslash(char* path, size_t cap);
// out := folder, a backslash unless folder is empty or ends in one, then name.
bool JoinPath(char* out, size_t cap, const char* folder, const char* name);
// The part after the last backslash (the whole path when it has none).
const char* FileNamePart(const char* path);
// out := path up to and including its last backslash (the whole path when it has none).
bool FolderPart(char* out, size_t cap, const char* path);
// "." and ".." of a folder listing.
bool IsDotsEntry(const char* name);

// The Windows folder, a backslash, then name.
bool WindowsFolderFile(char* out, size_t cap, const char* name);
// The NT platform (dwPlatformId 2).
bool IsNtPlatform();

// Full paths and roots. A full path here is a drive path "X:\...", a share path
// "\\server\share\...", or one of the "\\?\" forms "\\?\X:\...",
// "\\?\UNC\server\share\..." and "\\?\Volume{...}\...".
// Length of the root of such a path ("X:\", "\\server\share\", ...; without the
// backslash when the path ends there), 0 for anything else (relative paths,
// drive-relative "C:x", "\x", device paths "\\.\...").
size_t PathRootLength(const char* path);
// out := the full form of path (GetFullPathNameA): "C:/x/../y" becomes "C:\y";
// a literal "\\?\" path is taken as it stands.
// False when path is not absolute to begin with (relative, drive-relative
// "C:" or "C:x", root-relative "\x"), when it names a device, or when the
// result does not fit.
bool MakeFullPath(const char* path, char* out, size_t cap);
// A full path that names something below a volume or share root: at least one
// component after the root, and in the "\\?\" forms (which the system does not
// normalise) no "." or ".." component.
bool IsBelowRoot(const char* fullPath);
// The TEMP folder (GetTempPath) with its trailing backslash; false when it does not fit.
bool TempFolderPath(char* out, size_t cap);
// Removes trailing backslashes; a root ("C:\", "\\server\share\") keeps its own.
void TrimTrailingBackslashes(char* path);
// The full form of path without trailing backslashes (a root keeps its own);
// false when path is not a full path or does not fit.
bool FullFolderPath(const char* path, char* out, size_t cap);

// The literal form of a full path, which the system takes as it stands: a
// file named "nul" is that file and not the device, and "name." keeps its dot
// (the plain form would name the sibling "name"). "X:\..." becomes
// "\\?\X:\...", "\\server\share\..." becomes "\\?\UNC\server\share\...".
// A path with "." or ".." components or forward slashes, or of another form,
// is copied as it is, and so is a path that would not fit the ANSI calls' MAX_PATH
// characters with the prefix. out needs kLiteralPrefixChars more than the path.
constexpr size_t kLiteralPrefixChars = 8;
bool LiteralPath(const char* path, char* out, size_t cap);

// Hotkey-control values (low byte the virtual key, second byte HOTKEYF_* flags)
// for RegisterHotKey: Shift, Ctrl and Alt map to their modifiers, the
// extended-key flag to the Windows key.
UINT HotkeyModifiers(int hotkeyValue);
UINT HotkeyVirtualKey(int hotkeyValue);

// Registers the hotkey value on window as id, so that a held key fires it once
// (MOD_NOREPEAT; the systems that do not know that flag, Vista, refuse it, and
// there it is registered without). Nonzero when registered; GetLastError tells why not.
BOOL RegisterHotkeyValue(HWND window, int id, int hotkeyValue);

// The name of a hotkey value: the modifiers by their usual names, then the key
// as the keyboard layout names it ("Ctrl+Shift+Alt+F11"). Cut to fit; out is
// always terminated.
void HotkeyName(int hotkeyValue, char* out, size_t cap);
