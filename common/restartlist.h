// The restart-time deletion list "wininit.ini" in the Windows folder.
#pragma once

#include <windows.h>
#include <atomic>

// Shows a failure text followed by the system's text for the last error.
typedef void (*RestartErrorBox)(HWND owner, const char* text);

// Adds "NUL=<short path>" for an existing file to the list's "[rename]" section.
// With report set, failures go through showError (owned by the settings window) and most
// count in *errorCount; with report clear nothing is shown or counted. Nonzero when written.
int QueueRestartDeletion(const char* path, int report, RestartErrorBox showError, std::atomic<int>* errorCount);
