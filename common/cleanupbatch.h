// The self-deleting batch file that removes what a running program cannot remove
// itself: its own file and the loaded library, then (for setup) its folder.
#pragma once

#include <cstddef>

struct CleanupBatch {
  const char* folder;    // where the two files lie (no trailing backslash needed)
  const char* program;   // "setup.exe" or "uninstall.exe"
  bool removeFolder;     // setup: the folder goes at the end; the uninstaller's TEMP stays
  bool overwriteOld;     // setup: "delme<n>.bat" may replace an old, unused one; the uninstaller skips it
  const char* workingFolder;  // the batch's working folder, or null
};

// The batch text: it deletes the two files until both are gone, pausing about a
// second between tries and giving up after two minutes, then removes the folder
// (when asked) and itself. A "%" in a path is written "%%" so that the command
// processor takes it literally. False when the text does not fit.
bool BuildCleanupBatchText(const CleanupBatch& batch, const char* batchPath, char* out, size_t cap);
// Writes "delme1.bat" ... "delme200.bat" in the TEMP folder (the first that can be
// made) and starts it hidden. False when none could be written or started.
bool WriteAndStartCleanupBatch(const CleanupBatch& batch);
