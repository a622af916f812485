// The folder guard's path part: text in, verdict out. No system call, no file
// system access, so that it can be built and fuzzed anywhere; the guard itself
// (common/folderguard.h) adds what only the system knows (short names, drives
// made with subst, links, the identity of an opened folder).
//
// A folder is compared by what it is, not by how it is spelled. The canonical
// form of a path:
//   - "\\?\", "\\.\" and "\??\" prefixes are dropped ("\\?\UNC\srv\share" is
//     "\\srv\share");
//   - "/" is read as "\", empty and "." components are dropped, ".." takes the
//     previous component back (never the root);
//   - trailing dots and blanks are cut from every component (as the system
//     cuts them; a literal "\\?\" path that keeps them names another, unusual
//     folder, and reading it the same way can only refuse more);
//   - single-byte letters are upper-cased through the code page's table, the
//     two bytes of a double-byte character are kept as they are (a trail byte
//     0x5C is never taken for a backslash);
//   - the result has no trailing backslash: a drive root is "C:", a share root
//     "\\SERVER\SHARE", a volume root "\\?\VOLUME{...}".
#pragma once

#include <cstddef>

// What the path part needs of the system's ANSI code page.
struct GuardCodePage {
  bool lead[256];            // lead bytes of double-byte characters
  unsigned char upper[256];  // the upper-case form of each single byte
};
// A code page without double-byte characters that upper-cases ASCII letters only.
void AsciiGuardCodePage(GuardCodePage* cp);

// The canonical form of path (see above) in out; false when path is not a full
// path of a drive, share or volume (relative, drive-relative "C:x", root-relative
// "\x", a device such as "\\.\nul" or "\\.\PhysicalDrive0"), or does not fit.
bool CanonicalFolder(const char* path, const GuardCodePage& cp, char* out, size_t cap);

enum GuardVerdict {
  kGuardFree = 0,       // neither a root nor one of the folders nor a parent of one
  kGuardProtected = 1,  // a root, one of the folders, or a parent of one of them
  kGuardUnreadable = 2  // not a full path the guard can read: refused like a protected one
};
// The length of the root of a canonical text ("C:", "\\SERVER\SHARE", "\\?\VOLUME{...}"), 0 when it has none.
size_t CanonicalRootLength(const char* canonical, const GuardCodePage& cp);
// candidate and every protected folder given in canonical form.
GuardVerdict JudgeCanonical(const char* candidate, const char* const* protectedFolders, size_t count,
                            const GuardCodePage& cp);
// The same from any spelling: candidate and the folders are made canonical first;
// a protected folder that cannot be read is passed over.
GuardVerdict JudgeFolderText(const char* candidate, const char* const* protectedFolders, size_t count,
                             const GuardCodePage& cp);
