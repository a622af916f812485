// The work folder of an elevated program: a new folder with a random name for what
// it leaves behind to run after it ends (the uninstaller's copies; the clean-up
// batch lies beside it under the same name). Only administrators and the system may write it: it is made with that
// security, never taken over when the name exists already, and checked on its
// open handle to be a folder and not a link. An elevated program makes it in the
// Windows folder's "Temp", whose entries other users can neither rename nor
// replace; a program without elevation (nothing to protect) in its own TEMP.
#pragma once

#include <windows.h>

#include <cstddef>

// Every work folder's name begins with this, followed by 16 hexadecimal digits.
constexpr const char* kWorkFolderPrefix = "qvwork-";

// The security a work folder is made with: full control for administrators and
// the system, nothing for anybody else, nothing inherited; its files inherit it.
// Free the result with LocalFree; null when it cannot be built.
PSECURITY_DESCRIPTOR WorkFolderSecurity();

// The folder work folders are made in, with a trailing backslash.
bool WorkFolderParent(char* out, size_t cap);

// Makes a new work folder; its path (with a trailing backslash) in out. *held is
// the folder's handle, opened without delete sharing so that the folder cannot be
// renamed or removed while it is held; the caller closes it when the folder may
// go. False (and nothing made) when no such folder can be made.
bool MakeWorkFolder(char* out, size_t cap, HANDLE* held);

// folder (with or without a trailing backslash) is a work folder by its place and
// name: a child of WorkFolderParent named kWorkFolderPrefix and 16 hex digits.
bool IsWorkFolder(const char* folder);

// true when the running process is elevated or runs as the system (S-1-5-18).
bool IsElevatedProcess();

// Libraries are loaded from the system folder and the program's own folder only
// (never the working folder or PATH); the first call of an elevated program.
void LimitLibrarySearch();
