// The record of what setup wrote into the install folder, kept beside
// "InstallPath" in the family's machine-wide settings: one line per file, its name,
// its size and the SHA-256 of its bytes as setup left them ("name|size|hash", a
// REG_MULTI_SZ "InstalledFiles"). Setup replaces only files it recorded (or, for
// an installation older than the record, the catalogue's names in that install
// folder), and the uninstaller removes only recorded files that are unchanged:
// what the user or another program put there, or changed since, stays.
//
// The package carries its file list, "setup.lst" beside setup.exe: one file name
// per line, the files setup copies (and nothing else of the folder it runs from).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

constexpr const char* kInstalledFilesSetting = "InstalledFiles";
constexpr const char* kPackageListName = "setup.lst";
constexpr size_t kFingerprintChars = 65;  // 64 hex digits and the end

struct InstalledFile {
  std::string name;
  unsigned long long size;
  std::string hash;  // 64 lower-case hex digits
};

// The size and SHA-256 of the file read through the open handle (from its start).
bool FileFingerprint(HANDLE file, unsigned long long* size, std::string* hash);

// The record; false when there is none (an installation from before the record).
bool ReadInstallRecord(std::vector<InstalledFile>* files);
bool WriteInstallRecord(const std::vector<InstalledFile>& files);
void DeleteInstallRecord();
// The recorded entry of name (compared without regard to case); null when none.
const InstalledFile* FindRecorded(const std::vector<InstalledFile>& files, const char* name);

// The file names of a package list's text, in order: one per line, blanks at the
// ends and empty lines dropped; a line that is not a plain file name (a separator,
// a colon, "." or "..", a wildcard) is refused, and so is the list.
bool ParsePackageList(const std::string& text, std::vector<std::string>* names);

// The entry name of the held folder opened (never through a link) and compared
// with its record. *opened keeps the handle (DELETE and read, no write or delete
// sharing) for the caller to delete through when the file could be opened that
// way; a file another program holds open is compared through a handle that shares
// all, and *opened is then null. A file held so that it cannot even be read is in
// use (a running tool's), not known to be changed: kRecordInUse.
enum RecordMatch { kRecordGone, kRecordMatches, kRecordChanged, kRecordInUse };
RecordMatch MatchRecord(HANDLE folder, const wchar_t* name, const InstalledFile& recorded, HANDLE* opened);
