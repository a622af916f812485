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
  int rounds;             // measured in rounds: how many (their median is the value); 0: once
  double low, high;       // the lowest and highest ratio of a round
};

// A figure that could not be measured (its value counts as missed).
Figure NotMeasured(const std::string& name, GoalKind kind, double goal);

// Seconds on a steady clock.
double Now();
// Starts a command line (creation flags as CreateProcess takes them; environment an
// ANSI environment block, or null for this program's); the process and thread
// handles are zero when it could not start.
PROCESS_INFORMATION StartProcess(const std::string& line, DWORD flags = 0, const char* environment = nullptr);
// Runs a command line hidden and waits for it (at most ten minutes; then it is ended):
// its seconds and its exit code, or -1 when it could not start or did not end.
double RunCommand(const std::string& line, DWORD* exitCode);
// This program's own path (the Boss-Key helper is this program started again).
std::string SelfPath();
// The build's bin folder (where qvtoolbar.exe lies), with a trailing backslash.
std::string BinFolder();
// Asks a program to end as a user or the system would (WM_CLOSE to its top-level
// windows of that class), waits at most ten seconds, else ends it; closes the handles.
void CloseProgram(PROCESS_INFORMATION& pi, const char* windowClass);
// One number in a format ("%.1f MB"), and seconds as "12.34 s".
std::string Formatted(const char* format, double value);
std::string Seconds(double seconds);

// Figures measured in rounds. A round runs both sides once, each on what the round's
// prepare made for it before either side ran; even rounds run ours first, odd rounds
// the reference. A side returns its seconds, or -1 with *failure set when it could not
// show that it did its work: the figure is then not measured and no further round runs.
// A round's ratio is ours/reference of the times, or with speed reference/ours (how
// fast ours is); each round prints a line with its times and ratio.
struct Race {
  const char* name;  // for the line each round prints
  bool speed;
  bool (*prepare)(void* context, int round, std::string* failure);  // null: nothing to make
  double (*ours)(void* context, int round, std::string* failure);
  double (*reference)(void* context, int round, std::string* failure);
  void (*cleanup)(void* context, int round);  // after every round, whatever happened (may be null)
  void* context;
};
struct RaceTimes {
  std::vector<double> ours, reference;  // seconds, one of each a round
  std::vector<double> ratios;           // one a round
  std::string failure;                  // empty when every round did its work
};
RaceTimes RunRace(const Race& race, int rounds);
// The figure of a race: the median of the rounds' ratios, its lowest and highest
// round, and the median time of each side shown by show.
Figure RaceFigure(const std::string& name, const RaceTimes& times, std::string (*show)(double seconds), GoalKind kind,
                  double goal);

// The tray program's settings (HKEY_CURRENT_USER, the tray program's key) that the
// benchmark sets for the run: each name's value, or its absence, is kept as it was
// before the first pin, and RestoreSettings gives every one back (the key removed
// when the pins made it and it is empty again); so does Ctrl+C.
void PinDword(const char* name, DWORD value);
void PinText(const char* name, const char* text);
void PinAbsent(const char* name);
void RestoreSettings();

// The folder trees the folder figures delete: shapes and their builder (trees.cpp).
struct TreeShape {
  const char* name;  // for the figure's name: "20,000 files"
  int fanout[24];    // subfolders of each folder, level by level (level 1 first)
  int levels;        // how many levels of folders below the root
  bool everyLevel;   // files in the folders of every level; else in the last level's only
  int files;         // in all, spread evenly over the folders that hold files
};
extern const TreeShape kFlatTree;   // 20 x 10 folders, 100 files in each of the 200 lower ones
extern const TreeShape kDeepTree;   // 50 chains of folders 19 levels deep, files at every level
extern const TreeShape kLargeTree;  // 50 x 10 folders, 100 files in each of the 500 lower ones
// Makes root and the tree below it (small files of 64 bytes); false when any folder or
// file could not be made or written.
bool MakeTree(const std::string& root, const TreeShape& shape);
// The folder holds nothing (it exists, and lists no entry but "." and "..").
bool FolderIsEmpty(const std::string& folder);
bool PathExists(const std::string& path);
// Removes what is left of a tree (the reference's own command), outside any timing.
void RemoveLeftover(const std::string& root);

// Another process's footprint (footprint.cpp). Under Wine the system's own figures of
// another process are not kept (its CPU times, private bytes and handle count read
// as nearly nothing): there they are read from the Linux side, in /proc.
bool UnderWine();
struct Watched {
  HANDLE process;
  DWORD pid;
  std::string linux;  // the Linux process's folder in /proc, as Z:\proc\<pid> (Wine only)
};
// The Linux processes whose command line holds the program's path, now.
std::vector<std::string> LinuxProcessesOf(const std::string& program);
// A started program to watch: under Wine its Linux process, the one of that program
// that was not among before (waits at most timeoutMs for it to appear). False when
// it cannot be found.
bool WatchProgram(const PROCESS_INFORMATION& pi, const std::string& program, const std::vector<std::string>& before,
                  DWORD timeoutMs, Watched* watched);
double CpuMs(const Watched& w);      // user and system time so far; -1 when unknown
double PrivateMb(const Watched& w);  // private bytes now, in MB; 0 when unknown
DWORD HandleCount(const Watched& w);

// The parts, each adding its figures.
void DeletionFigures(std::vector<Figure>& figures, const std::string& scratch, int rounds);
void ShredderFigures(std::vector<Figure>& figures, const std::string& scratch);
void BossKeyFigures(std::vector<Figure>& figures);
void RestFigures(std::vector<Figure>& figures);
void WashMemoryFigures(std::vector<Figure>& figures, const std::string& scratch);

// The Boss-Key helper ("bench.exe windows <n>"): a process with n windows of the
// bench class; it ends when the event "QvBenchEnd" is set.
int WindowsHelper(int count);
constexpr const char* kBenchClass = "QvBenchFrame";
constexpr const char* kEndEvent = "QvBenchEnd";
constexpr const char* kReadyEvent = "QvBenchReady";
// The empty program of the at-rest figures (qvempty.exe, a program of its own that
// links nothing of ours): one hidden window of this class and a message loop.
constexpr const char* kEmptyClass = "QvBenchEmpty";

}  // namespace bench
