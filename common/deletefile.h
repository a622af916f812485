// Removing one file of an installation: retried while it is locked, scheduled for
// the next restart when it stays.
#pragma once

enum DeleteOutcome { kNothingThere = 0, kDeleted = 1, kScheduled = 2 };

// folder + name: nothing there, deleted (at most 11 attempts, 100 ms apart; the
// shell is told), or, when it stays, scheduled with MoveFileEx for deletion at the
// next restart. The path is refused (kNothingThere) when it does not fit.
DeleteOutcome DeleteFileWithRetry(const char* folder, const char* name);
