// Paths as the file system stores them: UTF-16, up to 32,767 characters, in the
// literal form ("\\?\C:\...", "\\?\UNC\server\share\...", "\\?\Volume{...}\...")
// that the system takes as it stands. The family's texts are ANSI: a path comes in
// as ANSI once, at the entry of a routine, and is refused when the code page does
// not convert it exactly; a path shown to the user goes back to ANSI without the
// system's "best fit" letters (a letter the code page has no place for is "?").
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The longest path the wide functions take, with its terminating zero.
constexpr size_t kLongPathChars = 32768;

// out := text converted from the ANSI code page; false when a byte sequence is not
// valid in it or the result does not fit (out is then empty).
bool WideFromAnsi(const char* text, wchar_t* out, size_t cap);
// The text for people: the "\\?\" prefix dropped ("\\?\UNC\" read as "\\"), in the
// ANSI code page without best-fit letters. False when a letter had to become "?".
bool AnsiForDisplay(const wchar_t* path, char* out, size_t cap);
std::string DisplayText(const wchar_t* path);
// The same path without its "\\?\" prefix, still wide (for the shell's notices).
const wchar_t* PlainFormOf(const wchar_t* literal, wchar_t* scratch, size_t cap);

// A full path to begin with: "X:\" or "X:/", or "\\" and "//" (shares and the
// "\\?\" forms). Relative, drive-relative ("C:", "C:x") and root-relative ("\x")
// texts are not.
bool IsFullPathText(const wchar_t* path);
// out := the literal form of a full path: a drive path of names only is prefixed
// as it stands (a file "nul" is that file, "name." keeps its dot); any other is
// made full first (GetFullPathNameW resolves "." and ".." and "/"); a literal
// path is taken as it stands. False for a text that is not a full path, a device
// ("\\.\x", "C:\x\..\nul"), a literal path with "." or ".." components, or a
// result that does not fit.
bool LiteralFullPath(const wchar_t* path, wchar_t* out, size_t cap);
// Length of the root of a literal path ("\\?\C:\", "\\?\UNC\srv\share\",
// "\\?\Volume{...}\"; without the backslash when the path ends there); 0 for
// anything else.
size_t LiteralRootLength(const wchar_t* literal);
// A literal path that names something below its root.
bool IsBelowLiteralRoot(const wchar_t* literal);
// out := folder, a backslash unless folder ends in one, then name; false when it does not fit.
bool JoinWide(wchar_t* out, size_t cap, const wchar_t* folder, const wchar_t* name);
// The part after the last backslash (the whole text when it has none).
const wchar_t* WideNamePart(const wchar_t* path);
// The path of a known folder (SHGetKnownFolderPath, looked up by name: older
// systems have none); false when it cannot be had or does not fit.
bool KnownFolderPathW(const GUID& id, DWORD flags, wchar_t* out, size_t cap);
