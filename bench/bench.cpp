// The benchmark: speed and footprint figures of the product, each against a
// reference measured in the same run, printed as one table (see bench.h).
//
//   bench.exe                   every figure
//   bench.exe <part>...         only those parts: deletion, shredder, bosskey, rest, washmemory
//   rounds=<n>                  the rounds of each folder figure (default 4)
//
// For the whole run the File Delete Options are set to known values (nothing
// shredded, nothing left to the next restart, no overwriting of locked files, no
// Windows/System guard) and given back as the user had them at the end, also when
// the run is cut short with Ctrl+C.
#include "bench/bench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tray/qvtoolbar.h"

void UseTrayIdentity();

namespace bench {

namespace {

// Rounds of each folder figure: an even count, so that ours and the reference go
// first equally often (whoever goes second can be the slower one: the median of an
// even count then takes one round of each order), and enough that the median leaves
// out the highest and the lowest round. Under Wine a round of the three folder
// figures takes seven to eight minutes here (README).
constexpr int kFolderRounds = 4;

// The File Delete Options for the run: every file deleted plainly and at once.
void PinDeleteOptions() {
  PinDword("ShredInternal", 0);
  PinDword("QueueForNextRestart", 0);
  PinDword("OverwriteLocked", 0);
  PinDword("NotWinOrSys", 0);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool Met(const Figure& f) { return f.measured && (f.kind == kAtMost ? f.value <= f.goal : f.value >= f.goal); }

// "3.1% (0.99-1.02, 5 rounds)": the distance from the lowest to the highest round, as
// a share of the median.
std::string Spread(const Figure& f) {
  if (!f.measured || f.rounds < 2 || f.value <= 0) return "-";
  char text[64];
  snprintf(text, sizeof text, "%.1f%% (%.2f-%.2f, %d rounds)", (f.high - f.low) / f.value * 100, f.low, f.high,
           f.rounds);
  return text;
}

void PrintTable(const std::vector<Figure>& figures) {
  printf("\n%-66s %-12s %-12s %-12s %-30s\n", "figure", "ours", "reference", "value", "spread of the rounds");
  int met = 0;
  for (const Figure& f : figures) {
    char value[32];
    if (f.measured) snprintf(value, sizeof value, "%.3f", f.value);
    else snprintf(value, sizeof value, "%s", "not measured");
    printf("%-66s %-12s %-12s %-12s %-30s (goal: %s %g)\n", f.name.c_str(), f.ours.c_str(), f.reference.c_str(), value,
           Spread(f).c_str(), f.kind == kAtMost ? "at most" : "at least", f.goal);
    if (Met(f)) ++met;
  }
  printf("%d of %d figures met their goals\n", met, static_cast<int>(figures.size()));
}

bool Wanted(int argc, char** argv, const char* part) {
  bool any = false;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "rounds=", 7) == 0) continue;
    if (strcmp(argv[i], part) == 0) return true;
    any = true;
  }
  return !any;
}

int RoundsAsked(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (strncmp(argv[i], "rounds=", 7) == 0 && atoi(argv[i] + 7) > 0) return atoi(argv[i] + 7);
  return kFolderRounds;
}

// The parts in the order they run; each prints how long it took.
struct Part {
  const char* name;
  void (*run)(std::vector<Figure>& figures, const std::string& scratch, int rounds);
};
const Part kParts[] = {
    {"bosskey", [](std::vector<Figure>& figures, const std::string&, int) { BossKeyFigures(figures); }},
    {"shredder", [](std::vector<Figure>& figures, const std::string& scratch, int) { ShredderFigures(figures, scratch); }},
    {"deletion", DeletionFigures},
    {"rest", [](std::vector<Figure>& figures, const std::string&, int) { RestFigures(figures); }},
    {"washmemory",
     [](std::vector<Figure>& figures, const std::string& scratch, int) { WashMemoryFigures(figures, scratch); }},
};

bool KnownPart(const char* name) {
  for (const Part& part : kParts)
    if (strcmp(part.name, name) == 0) return true;
  return false;
}

}  // namespace

Figure NotMeasured(const std::string& name, GoalKind kind, double goal) {
  return Figure{name, "-", "-", 0, kind, goal, false, 0, 0, 0};
}

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

PROCESS_INFORMATION StartProcess(const std::string& line, DWORD flags, const char* environment) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, flags,
                      const_cast<char*>(environment), nullptr, &si, &pi))
    return {};
  return pi;
}

double RunCommand(const std::string& line, DWORD* exitCode) {
  *exitCode = static_cast<DWORD>(-1);
  double start = Now();
  PROCESS_INFORMATION pi = StartProcess(line, CREATE_NO_WINDOW);
  if (!pi.hProcess) return -1;
  DWORD waited = WaitForSingleObject(pi.hProcess, 600000);
  double elapsed = Now() - start;
  if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  else GetExitCodeProcess(pi.hProcess, exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return waited == WAIT_OBJECT_0 ? elapsed : -1;
}

std::string SelfPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string BinFolder() {
  std::string self = SelfPath();
  return self.substr(0, self.find_last_of('\\') + 1);
}

void CloseProgram(PROCESS_INFORMATION& pi, const char* windowClass) {
  if (!pi.hProcess) return;
  for (HWND w = FindWindowExA(nullptr, nullptr, windowClass, nullptr); w;
       w = FindWindowExA(nullptr, w, windowClass, nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == pi.dwProcessId) PostMessageA(w, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  pi = {};
}

std::string Formatted(const char* format, double value) {
  char text[64];
  snprintf(text, sizeof text, format, value);
  return text;
}

std::string Seconds(double seconds) { return Formatted("%.2f s", seconds); }

RaceTimes RunRace(const Race& race, int rounds) {
  RaceTimes times;
  for (int round = 0; round < rounds && times.failure.empty(); ++round) {
    double ours = -1, reference = -1;
    if (!race.prepare || race.prepare(race.context, round, &times.failure)) {
      bool oursFirst = round % 2 == 0;
      double& first = oursFirst ? ours : reference;
      double& second = oursFirst ? reference : ours;
      first = (oursFirst ? race.ours : race.reference)(race.context, round, &times.failure);
      if (first >= 0) second = (oursFirst ? race.reference : race.ours)(race.context, round, &times.failure);
      if (ours > 0 && reference > 0) {
        times.ours.push_back(ours);
        times.reference.push_back(reference);
        times.ratios.push_back(race.speed ? reference / ours : ours / reference);
        printf("  %s, round %d (%s first): ours %.3f s, reference %.3f s, ratio %.3f\n", race.name, round + 1,
               oursFirst ? "ours" : "reference", ours, reference, times.ratios.back());
      } else if (times.failure.empty() && ours >= 0 && reference >= 0) {
        times.failure = "a side was too fast for the clock";
      }
    }
    if (times.failure.empty() && (ours < 0 || reference < 0)) times.failure = "a side failed without saying why";
    if (!times.failure.empty()) printf("  %s, round %d: %s\n", race.name, round + 1, times.failure.c_str());
    fflush(stdout);
    if (race.cleanup) race.cleanup(race.context, round);
  }
  return times;
}

Figure RaceFigure(const std::string& name, const RaceTimes& times, std::string (*show)(double seconds), GoalKind kind,
                  double goal) {
  Figure f = NotMeasured(name, kind, goal);
  if (!times.failure.empty() || times.ratios.empty()) return f;
  const std::vector<double>& ratios = times.ratios;
  f.ours = show(Median(times.ours));
  f.reference = show(Median(times.reference));
  f.value = Median(ratios);
  f.low = *std::min_element(ratios.begin(), ratios.end());
  f.high = *std::max_element(ratios.begin(), ratios.end());
  f.rounds = static_cast<int>(ratios.size());
  f.measured = true;
  return f;
}

}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  if (argc == 3 && strcmp(argv[1], "windows") == 0) return WindowsHelper(atoi(argv[2]));
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "rounds=", 7) != 0 && !KnownPart(argv[i])) {
      printf("unknown part \"%s\": the parts are bosskey, shredder, deletion, rest and washmemory\n", argv[i]);
      return 2;
    }
  }
  UseTrayIdentity();
  PinDeleteOptions();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string scratch = std::string(temp) + "qvbench";
  CreateDirectoryA(scratch.c_str(), nullptr);
  std::vector<Figure> figures;
  int rounds = RoundsAsked(argc, argv);
  for (const Part& part : kParts) {
    if (!Wanted(argc, argv, part.name)) continue;
    double start = Now();
    part.run(figures, scratch, rounds);
    printf("[time] %s: %.0f s\n", part.name, Now() - start);
    fflush(stdout);
  }
  RemoveDirectoryA(scratch.c_str());
  RestoreSettings();
  PrintTable(figures);
  return 0;
}
