// The family's tool catalogue: every tool of the Quorvane family, its name and
// its files. Setup, the uninstaller and the library (which must tell the
// family's shortcuts from others) share this one table.
#pragma once

#include <cstddef>

struct FamilyTool {
  const char* name;   // the tool's name ("Webdeck")
  const char* files;  // its file names, separated by single blanks; the first is its main program
};

// The tools at their fixed positions (setup's tool records use the same positions).
constexpr int kFamilyToolCount = 41;
extern const FamilyTool kFamilyTools[kFamilyToolCount];
// The position of this product's own tool, Webdeck (the ninth).
constexpr int kWebdeckTool = 8;

// The family's helper programs that belong to no single tool.
constexpr const char* kFamilyHelpers[] = {"qvuac.exe", "qvrunas.exe"};

// True when fileName (a bare file name, no folder) is exactly one of the family's
// program names (".exe" files of the catalogue and the helpers), case ignored.
bool IsFamilyProgramName(const char* fileName);
