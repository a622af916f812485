// The tray program's private bytes while "qvtoolbar.exe /autowash" washes a TEMP
// folder of 50,000 files (TMP and TEMP of the started program name the tree, through
// its environment block; only the TEMP item is ticked), at their peak, sampled every
// 50 ms while it runs, against the same program at rest ("/s", sampled the same way
// for three seconds after it settled). The wash must end with exit code 0 and leave
// the folder empty, else the figure is not measured.
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/wash.h"

namespace bench {
namespace {

constexpr DWORD kSampleMs = 50;
constexpr DWORD kSettleMs = 5000;
constexpr DWORD kRestSampleMs = 3000;
constexpr DWORD kFindMs = 10000;
constexpr DWORD kWashLimitMs = 30 * 60 * 1000;

// The highest private bytes seen, sampled until limitMs passed or, with untilExit,
// the process ended; what was sampled is printed.
double PeakPrivateMb(const Watched& w, DWORD limitMs, bool untilExit, const char* what) {
  double peak = 0;
  int samples = 0;
  DWORD start = GetTickCount();
  for (; GetTickCount() - start < limitMs; Sleep(kSampleMs)) {
    double now = PrivateMb(w);
    if (now > 0) ++samples;
    if (now > peak) peak = now;
    if (untilExit && WaitForSingleObject(w.process, 0) == WAIT_OBJECT_0) break;
  }
  printf("  %s: %d samples over %.1f s, the highest %.1f MB\n", what, samples, (GetTickCount() - start) / 1000.0, peak);
  fflush(stdout);
  return peak;
}

// This program's environment with TMP and TEMP naming folder.
std::vector<char> EnvironmentWithTemp(const std::string& folder) {
  std::vector<char> block;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; entry && *entry; entry += strlen(entry) + 1)
    if (_strnicmp(entry, "TMP=", 4) != 0 && _strnicmp(entry, "TEMP=", 5) != 0)
      block.insert(block.end(), entry, entry + strlen(entry) + 1);
  if (strings) FreeEnvironmentStringsA(strings);
  for (const char* name : {"TMP=", "TEMP="}) {
    std::string entry = name + folder;
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  }
  block.push_back(0);
  return block;
}

// The tray program at rest: the peak of its private bytes over a few seconds after
// it settled; 0 when it could not be watched.
double AtRestMb(const std::string& trayPath) {
  std::vector<std::string> before = LinuxProcessesOf(trayPath);
  PROCESS_INFORMATION tray = StartProcess("\"" + trayPath + "\" /s");
  Watched w;
  double peak = 0;
  if (WatchProgram(tray, trayPath, before, kFindMs, &w)) {
    Sleep(kSettleMs);
    peak = PeakPrivateMb(w, kRestSampleMs, false, "at rest");
    if (WaitForSingleObject(tray.hProcess, 0) == WAIT_OBJECT_0) peak = 0;  // it did not stay
  }
  CloseProgram(tray, kMainClass);
  return peak;
}

// The peak while "/autowash" washes the TEMP folder tree; 0 with *failure set when
// it could not be watched or did not wash everything.
double WashPeakMb(const std::string& trayPath, const std::string& tree, std::string* failure) {
  std::vector<std::string> before = LinuxProcessesOf(trayPath);
  std::vector<char> environment = EnvironmentWithTemp(tree);
  PROCESS_INFORMATION wash = StartProcess("\"" + trayPath + "\" /autowash", 0, environment.data());
  Watched w;
  double peak = 0;
  DWORD exitCode = static_cast<DWORD>(-1);
  if (!WatchProgram(wash, trayPath, before, kFindMs, &w)) {
    *failure = "the wash could not be started or watched";
  } else {
    peak = PeakPrivateMb(w, kWashLimitMs, true, "during the wash");
    if (WaitForSingleObject(wash.hProcess, 0) != WAIT_OBJECT_0) *failure = "the wash did not end within 30 minutes";
    else if (!GetExitCodeProcess(wash.hProcess, &exitCode) || exitCode != 0)
      *failure = "the wash ended with exit code " + std::to_string(exitCode);
    else if (!FolderIsEmpty(tree)) *failure = "the wash left files or folders in " + tree;
  }
  if (wash.hProcess) {
    if (WaitForSingleObject(wash.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(wash.hProcess, 1);
    CloseHandle(wash.hProcess);
    CloseHandle(wash.hThread);
  }
  return failure->empty() ? peak : 0;
}

}  // namespace

void WashMemoryFigures(std::vector<Figure>& figures, const std::string& scratch) {
  const char* name = "TEMP wash of 50,000 files (/autowash): private bytes / at rest";
  Figure figure = NotMeasured(name, kAtMost, 1.5);
  for (const WashItem& item : kWashItems) PinDword(item.setting, item.run == WashTempFolders ? 1 : 0);
  std::string trayPath = BinFolder() + "qvtoolbar.exe";
  std::string tree = scratch + "\\washmemory-temp";
  RemoveLeftover(tree);
  std::string failure;
  double rest = AtRestMb(trayPath), peak = 0;
  if (rest <= 0) failure = "the program at rest could not be watched";
  else if (!MakeTree(tree, kLargeTree)) failure = "the tree could not be made in " + scratch;
  else peak = WashPeakMb(trayPath, tree, &failure);
  if (failure.empty() && peak > 0)
    figure = Figure{name, Formatted("%.1f MB", peak), Formatted("%.1f MB", rest), peak / rest, kAtMost, 1.5, true, 0, 0, 0};
  else
    printf("  %s: %s\n", name, failure.empty() ? "no private bytes could be read" : failure.c_str());
  RemoveLeftover(tree);
  figures.push_back(figure);
}

}  // namespace bench
