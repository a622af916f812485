// Who may change a folder, read from its security: the test that a folder an
// elevated program writes into (the unattended wash's log folder, an install
// folder, the uninstaller's folder) can be changed by Administrators, the system
// and TrustedInstaller only, so that nobody else can put a file or a link there
// for the elevated program to write through.
#pragma once

#include <windows.h>

// True when, by this security, nobody but Administrators (S-1-5-32-544), the
// system (S-1-5-18) and TrustedInstaller may add a file or a subfolder, delete
// an entry, or change the folder's security: every access-allowed ACE that
// grants one of those rights (or generic write, or generic all) names one of
// them. ACEs that are only handed down (INHERIT_ONLY: CREATOR OWNER's, say) do
// not apply to the folder and are passed over; denying ACEs grant nothing; an
// allowing ACE whose trustee is not read here (an object or compound ACE) counts
// as granting to others. A descriptor that names an owner must name one of the
// three (an owner may always rewrite the DACL); one without an owner is judged by
// its DACL. No DACL, or a null DACL (everyone may do anything): false.
bool OnlyAdministratorsCanWrite(PSECURITY_DESCRIPTOR security);
// The same for an open folder (a handle with READ_CONTROL), its owner and DACL
// read from it; false when they cannot be read.
bool OnlyAdministratorsCanWriteFolder(HANDLE folder);

// The folder at path (a link in its place is refused) can be changed by
// Administrators, the system and TrustedInstaller only: the test before an
// elevated program starts a program from it.
bool FolderClosedToOthers(const char* path);
// For tests (Wine keeps no file security): the descriptor of path as the reader
// gives it (LocalFree'd after use) instead of the folder's own; null restores it.
void SetFolderSecurityReader(PSECURITY_DESCRIPTOR (*reader)(const char* path));
