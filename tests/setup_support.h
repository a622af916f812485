// Running the real setup.exe from a setup folder of its own, into a scratch
// install folder, and putting back what an installation writes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/qvtest.h"

namespace setupt {

constexpr const char* kOptionsTitle = "Quorvane Webdeck Setup";
constexpr const char* kProgressTitle = "Quorvane Setup";
constexpr const char* kProductTitle = "Quorvane Webdeck";
constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";
constexpr const char* kSettingsKey = "Software\\AppDataLow\\Software\\Quorvane\\Toolbar";

// A setup folder (setup.exe, Quorvane.dll, qvtoolbar.exe and the stand-ins) and an
// install folder, both fresh; the stand-ins' call logs; everything an installation
// leaves is removed again at the end.
class SetupRun {
 public:
  // inTemp: the setup folder lies in TEMP, as a self-extracting package unpacks it.
  explicit SetupRun(bool inTemp = false);
  ~SetupRun();
  // Starts setup.exe with these arguments ("/path:" to the install folder is added
  // unless withPath is false), in that working folder (by default the test's).
  qvt::Process Start(const std::string& arguments, bool withPath = true, const std::string& workingFolder = "");
  // The exit code of the ended run; -1 while it runs.
  long ExitCode();
  // Waits for the end of the run; false when it did not end within the time.
  bool Ends(DWORD timeoutMs = 30000);
  std::vector<std::string> RunAsCalls() const;
  std::vector<std::string> UacCalls() const;
  std::string setupFolder, installFolder, runAsLog, uacLog;
  qvt::Process process;

 private:
  std::string logs_;
  std::vector<DWORD> explorersBefore_;
};

std::vector<std::string> Lines(const std::string& path);
// Where the programs make their work folders (with a trailing backslash), and
// whether any work folder, or a batch beside one, is left there.
std::string WorkParent();
bool NoWorkFolderLeft();
// The top-level dialog of the process with that title, and a control's text.
HWND WaitDialog(const qvt::Process& p, const char* title, DWORD timeoutMs = 15000);
std::string ControlText(HWND dialog, int id);
using qvt::RemoveTree;  // folder ends in a backslash

}  // namespace setupt
