// setup's command line, read by a pure function (no system calls), so that it can
// be built and fuzzed on any machine.
#pragma once

#include <cstddef>

constexpr size_t kSetupPathChars = 260;
constexpr size_t kSetupCommandLineChars = 4000;

struct SetupCommandLine {
  bool silent = false;          // "/silent"
  bool noShortcuts = false;     // "/noshort"
  bool noStart = false;         // "/nostart"
  bool hasPath = false;         // "/path:" with a value that fits
  bool pathTooLong = false;     // "/path:" whose value does not fit: refused, never cut
  char path[kSetupPathChars] = {};
  bool hasLanguage = false;     // "/language:"
  long language = -1;
  bool hasPackage = false;      // "/sfxpath:" (the folder of the package, see below)
  bool packageTooLong = false;
  char packageFolder[kSetupPathChars] = {};
  bool sfxStart = false;        // "/sfxstart"
};

// arguments: the argument part of the command line, fullLine: the whole command
// line (program path included); both already lower-cased. "/silent", "/noshort",
// "/nostart", "/path:" and "/language:" come from the arguments, "/sfxpath:" and
// "/sfxstart" from the full line; every switch is found anywhere as a substring.
// "/path:": the character right after the colon is skipped; when it is a double
// quote the value runs to the next double quote, else to the next blank, else to
// the end. "/language:": leading blanks, an optional sign and decimal digits (none
// give 0). "/sfxpath:": the text after it up to the first double quote (or the end),
// cut after its last backslash (the package's own name dropped), with a backslash
// at the end; no backslash at all gives no folder.
SetupCommandLine ParseSetupCommandLine(const char* arguments, const char* fullLine);
