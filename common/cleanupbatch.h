// The self-deleting batch file that removes what a running program cannot remove
// itself: its own file, the loaded library and (for setup) whatever else of its
// folder is still held, then the folder.
//
// The batch lies in the TEMP folder as "delme<n>.bat" and runs there: it is
// started by its bare name with TEMP as the working folder, so that nothing in
// its own path is read by the command processor (a "%path%" in TEMP stays as it
// is), and it deletes itself by that name. The paths inside it are written as the
// command processor reads them: in the OEM code page, or in their short (8.3)
// form where the OEM code page cannot spell them, with every "%" doubled. When a
// path can be written neither way, no batch is written: every file (and the
// folder) is scheduled for deletion at the next restart instead.
#pragma once

#include <windows.h>

#include <cstddef>

struct CleanupBatch {
  const char* folder;          // where the files lie
  const char* const* files;    // their names
  int fileCount;
  bool removeFolder;           // setup: the folder goes at the end (when it is empty by then)
  bool overwriteOld;           // setup: an unused "delme<n>.bat" is replaced; the uninstaller skips it
};

// The retries of the batch's loop, about a second apart.
constexpr int kCleanupTries = 120;

// path as the command processor reads it inside a batch file (see above); false
// when neither the OEM code page nor a short name can spell it, or it does not fit.
bool CommandProcessorPath(const char* path, char* out, size_t cap);

// The batch text from paths already in the command processor's form: it deletes
// the files until all are gone or the tries are used up, then removes the folder
// (when folder is given) and itself (batchName, relative to its working folder).
// False when the text does not fit.
bool BuildCleanupBatchText(const char* folder, const char* const* files, int fileCount, const char* batchName,
                           char* out, size_t cap);

// The security of the batch file of an elevated program: only administrators and
// the system may change it, so that no program without elevation can rewrite it
// while it runs. Null (the default security) for a program that is not elevated.
// Free the result with LocalFree.
PSECURITY_DESCRIPTOR CleanupBatchSecurity();

enum CleanupOutcome {
  kCleanupStarted,    // the batch runs
  kCleanupScheduled,  // no batch could be written for these paths: all scheduled for the restart
  kCleanupFailed      // neither (no name free, nothing could be started or scheduled)
};
// Writes "delme1.bat" ... "delme200.bat" in TEMP (the first that can be made) and starts it hidden.
CleanupOutcome WriteAndStartCleanupBatch(const CleanupBatch& batch);
