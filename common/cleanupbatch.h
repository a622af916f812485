// The self-deleting batch file that removes what a running program cannot remove
// itself: its own file, the loaded library and (for setup) whatever else of its
// folder is still held, then the folder.
//
// The batch lies beside a work folder of its own (workfolder.h) under the same
// random name with ".bat", made like it so that only administrators and the
// system can change it. It is started as "cmd.exe /d /v:off /c" (no AutoRun
// command, no delayed expansion) by its bare name with the work folder's parent as
// the working folder, so that nothing in its own path is read by the command
// processor; it calls no program by a bare name (its pause is ping.exe by the
// system folder's full path), so nothing planted in that folder is ever run. It
// does not lie or work inside the work folder, which it removes at the end: a
// folder that holds the running batch, or is a working folder, cannot be removed. The paths inside it are written as the command processor reads them: in
// the OEM code page, or in their short (8.3) form where the OEM code page cannot
// spell them, with every "%" doubled. When a path can be written neither way, or
// no work folder can be made, no batch is written: every file (and the folder) is
// scheduled for deletion at the next restart instead.
#pragma once

#include <windows.h>

#include <cstddef>

struct CleanupBatch {
  const char* folder;          // where the files lie
  const char* const* files;    // their names
  int fileCount;
  bool removeFolder;           // setup: the folder goes at the end (when it is empty by then)
  const char* workFolder;      // the work folder (trailing backslash) the batch runs in; it goes whole at the end
};

// The retries of the batch's loop, about a second apart.
constexpr int kCleanupTries = 120;

// path as the command processor reads it inside a batch file (see above); false
// when neither the OEM code page nor a short name can spell it, or it does not fit.
bool CommandProcessorPath(const char* path, char* out, size_t cap);

// The paths of the batch, each already in the command processor's form.
struct CleanupBatchPaths {
  const char* const* files;
  int fileCount;
  const char* folder;      // removed when empty at the end; null: none
  const char* pause;       // ping.exe, by its full path
  const char* workFolder;  // removed whole at the end
  const char* batchName;   // the batch's own name in its working folder, deleted last
};

// The batch text: it deletes the files until all are gone or the tries are used
// up, then removes the folder, the work folder and last itself. False when the
// text does not fit.
bool BuildCleanupBatchText(const CleanupBatchPaths& paths, char* out, size_t cap);

// The security of the batch file of an elevated program: only administrators and
// the system may change it, so that no program without elevation can rewrite it
// while it runs. Null (the default security) for a program that is not elevated.
// Free the result with LocalFree.
PSECURITY_DESCRIPTOR CleanupBatchSecurity();

enum CleanupOutcome {
  kCleanupStarted,    // the batch runs
  kCleanupScheduled,  // no batch could be written for these paths: all scheduled for the restart
  kCleanupFailed      // neither (nothing could be started or scheduled)
};
// Writes the batch beside batch.workFolder and starts it hidden; without a work
// folder (null) everything is scheduled for the restart.
CleanupOutcome WriteAndStartCleanupBatch(const CleanupBatch& batch);
