// The tray program at rest: started, given a few seconds to settle, then left
// alone for a minute beside the empty program (qvempty.exe: one hidden window and a
// message loop, nothing of ours linked) that runs through the same minute. Its CPU
// time over that minute, its private bytes and its handle count, against the empty
// program's.
#include <string>

#include "bench/bench.h"
#include "tray/qvtoolbar.h"

namespace bench {
namespace {

constexpr DWORD kSettleMs = 5000;
constexpr DWORD kRestMs = 60000;
constexpr DWORD kFindMs = 10000;

struct Footprint {
  double cpuMs;  // over the minute
  double privateMb;
  DWORD handles;
};

Footprint Read(const Watched& w, double cpuBefore) {
  double cpu = CpuMs(w);
  return Footprint{cpu >= 0 && cpuBefore >= 0 ? cpu - cpuBefore : -1, PrivateMb(w), HandleCount(w)};
}

}  // namespace

void RestFigures(std::vector<Figure>& figures) {
  Figure cpu = NotMeasured("at rest for 60 s: CPU time, ours minus the empty program's (ms)", kAtMost, 10);
  Figure memory = NotMeasured("at rest: private bytes / the empty program's", kAtMost, 3.0);
  Figure handles = NotMeasured("at rest: handles / the empty program's", kAtMost, 4.0);
  std::string trayPath = BinFolder() + "qvtoolbar.exe", emptyPath = BinFolder() + "qvempty.exe";
  std::vector<std::string> trays = LinuxProcessesOf(trayPath), empties = LinuxProcessesOf(emptyPath);
  PROCESS_INFORMATION tray = StartProcess("\"" + trayPath + "\" /s");
  PROCESS_INFORMATION empty = StartProcess("\"" + emptyPath + "\"");
  Watched ours, theirs;
  bool found = WatchProgram(tray, trayPath, trays, kFindMs, &ours) && WatchProgram(empty, emptyPath, empties, kFindMs, &theirs);
  if (found) {
    Sleep(kSettleMs);
    double trayBefore = CpuMs(ours), emptyBefore = CpuMs(theirs);
    Sleep(kRestMs);
    Footprint a = Read(ours, trayBefore), b = Read(theirs, emptyBefore);
    bool running = WaitForSingleObject(tray.hProcess, 0) == WAIT_TIMEOUT &&
                   WaitForSingleObject(empty.hProcess, 0) == WAIT_TIMEOUT;
    if (running && a.cpuMs >= 0 && b.cpuMs >= 0)
      cpu = Figure{cpu.name, Formatted("%.0f ms", a.cpuMs), Formatted("%.0f ms", b.cpuMs), a.cpuMs - b.cpuMs, kAtMost, 10, true,
                   0, 0, 0};
    if (running && a.privateMb > 0 && b.privateMb > 0)
      memory = Figure{memory.name, Formatted("%.1f MB", a.privateMb), Formatted("%.1f MB", b.privateMb),
                      a.privateMb / b.privateMb, kAtMost, 3.0, true, 0, 0, 0};
    if (running && a.handles && b.handles)
      handles = Figure{handles.name, Formatted("%.0f", a.handles), Formatted("%.0f", b.handles),
                       static_cast<double>(a.handles) / b.handles, kAtMost, 4.0, true, 0, 0, 0};
  }
  CloseProgram(tray, kMainClass);
  CloseProgram(empty, kEmptyClass);
  figures.push_back(cpu);
  figures.push_back(memory);
  figures.push_back(handles);
}

}  // namespace bench
