// The benchmark's figures: each measured in the same run as its reference, and
// printed as one line of a table that ends with its goal, so that a script can
// read it. The last line says how many figures met their goals.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace bench {

enum GoalKind { kAtMost, kAtLeast };

struct Figure {
  std::string name;       // what was measured
  std::string ours;       // our measurement, with its unit
  std::string reference;  // the reference's, with its unit
  double value;           // the figure the goal is about (a ratio or a difference)
  GoalKind kind;
  double goal;
  bool measured;          // false: it could not be measured (counts as missed)
};

// Seconds on a steady clock.
double Now();
// Starts a command line (creation flags as CreateProcess takes them); the process
// and thread handles are zero when it could not start.
PROCESS_INFORMATION StartProcess(const std::string& line, DWORD flags = 0);
// Runs a command line hidden and waits for it (at most ten minutes); its seconds, or -1.
double RunCommand(const std::string& line);
// This program's own path (the helpers below are this program started again).
std::string SelfPath();
// The build's bin folder (where qvtoolbar.exe lies), with a trailing backslash.
std::string BinFolder();

// The parts, each adding its figures.
void DeletionFigures(std::vector<Figure>& figures, const std::string& scratch);
void ShredderFigures(std::vector<Figure>& figures, const std::string& scratch);
void BossKeyFigures(std::vector<Figure>& figures);
void RestFigures(std::vector<Figure>& figures);

// Helper modes of this program ("bench.exe windows <n>", "bench.exe empty"): a
// process with n windows of the Boss-Key bench class, and the empty program of the
// at-rest figures. Both end when their event "QvBenchEnd" is set.
int WindowsHelper(int count);
int EmptyProgram();
constexpr const char* kBenchClass = "QvBenchFrame";
constexpr const char* kEndEvent = "QvBenchEnd";
constexpr const char* kReadyEvent = "QvBenchReady";

}  // namespace bench
