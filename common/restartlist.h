// The restart-time deletion list "wininit.ini" in the Windows folder.
#pragma once

#include <windows.h>
#include <atomic>

// Shows a failure text followed by the system's text for the last error.
typedef void (*RestartErrorBox)(HWND owner, const char* text);

// How failures are told: with report set they go through showError, owned by
// owner, and most count in *errorCount; with report clear nothing is shown or counted.
struct RestartReport {
  int report;
  HWND owner;
  RestartErrorBox showError;
  std::atomic<int>* errorCount;
};

// Adds "NUL=<short path>" for an existing file to the list's "[rename]" section.
// Nonzero when the entry was written; 0 leaves the list as it was.
int QueueRestartDeletion(const char* path, const RestartReport& how);
