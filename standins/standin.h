// Small routines shared by the stand-in programs: the argument part of the
// command line and the call log that tests read.
#pragma once

#include <windows.h>

// The arguments of a command line: the program part (quoted, or up to the
// first blank) and the blanks after it skipped; the rest is left exactly as given.
const char* ArgumentsOf(const char* commandLine);

// Appends text and CRLF as one write to the log file named by the environment
// variable envName, or, when that is not set, to defaultName in the program's
// own folder. Safe when several processes append at the same time.
// Returns nonzero when the line was written.
int AppendLogLine(const char* envName, const char* defaultName, const char* text);
