// Removing one file of an installation: retried while it is locked, scheduled for
// the next restart when it stays.
#pragma once

enum DeleteOutcome {
  kNothingThere = 0,  // no such file (or a path that does not fit)
  kDeleted = 1,
  kScheduled = 2,     // still there; MoveFileEx set it up for deletion at the next restart
  kNotScheduled = 3   // still there, and MoveFileEx could not set it up
};

// folder + name: nothing there, deleted (at most 11 attempts, 100 ms apart; the
// shell is told), or, when it stays, set up with MoveFileEx for deletion at the
// next restart: "scheduled" only when MoveFileEx said so.
DeleteOutcome DeleteFileWithRetry(const char* folder, const char* name);
