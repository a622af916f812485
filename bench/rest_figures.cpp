// The tray program at rest: started, given a few seconds to settle, then left
// alone for a minute beside an empty Win32 program (one hidden window and a
// message loop) that runs through the same minute. Its CPU time over that minute,
// its private bytes and its handle count, against the empty program's.
#include "bench/bench.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

namespace bench {
namespace {

constexpr DWORD kSettleMs = 5000;
constexpr DWORD kRestMs = 60000;

PROCESS_INFORMATION Start(const std::string& line) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  return pi;
}

double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

struct Footprint {
  double cpuMs;  // over the minute
  double privateMb;
  DWORD handles;
};

Footprint Read(HANDLE process, double cpuBefore) {
  Footprint f = {CpuMs(process) - cpuBefore, 0, 0};
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
    f.privateMb = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
  GetProcessHandleCount(process, &f.handles);
  return f;
}

std::string Text(const char* format, double value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

void End(PROCESS_INFORMATION& pi) {
  if (pi.hProcess && WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
}

LRESULT CALLBACK EmptyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int EmptyProgram() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = EmptyProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QvBenchEmpty";
  RegisterClassA(&wc);
  CreateWindowA("QvBenchEmpty", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  return 0;
}

void RestFigures(std::vector<Figure>& figures) {
  PROCESS_INFORMATION tray = Start("\"" + BinFolder() + "qvtoolbar.exe\" /s");
  PROCESS_INFORMATION empty = Start("\"" + SelfPath() + "\" empty");
  Figure cpu{"at rest for 60 s: CPU time, ours minus the empty program's (ms)", "-", "-", 0, kAtMost, 10, false};
  Figure memory{"at rest: private bytes / the empty program's", "-", "-", 0, kAtMost, 3.0, false};
  Figure handles{"at rest: handles / the empty program's", "-", "-", 0, kAtMost, 4.0, false};
  if (tray.hProcess && empty.hProcess) {
    Sleep(kSettleMs);
    double trayBefore = CpuMs(tray.hProcess), emptyBefore = CpuMs(empty.hProcess);
    Sleep(kRestMs);
    Footprint ours = Read(tray.hProcess, trayBefore), theirs = Read(empty.hProcess, emptyBefore);
    bool running = WaitForSingleObject(tray.hProcess, 0) == WAIT_TIMEOUT;
    if (running && ours.cpuMs >= 0 && theirs.cpuMs >= 0) {
      cpu = Figure{cpu.name, Text("%.1f ms", ours.cpuMs), Text("%.1f ms", theirs.cpuMs), ours.cpuMs - theirs.cpuMs,
                   kAtMost, 10, true};
    }
    if (running && ours.privateMb > 0 && theirs.privateMb > 0) {
      memory = Figure{memory.name, Text("%.1f MB", ours.privateMb), Text("%.1f MB", theirs.privateMb),
                      ours.privateMb / theirs.privateMb, kAtMost, 3.0, true};
    }
    if (running && ours.handles && theirs.handles) {
      handles = Figure{handles.name, Text("%.0f", ours.handles), Text("%.0f", theirs.handles),
                       static_cast<double>(ours.handles) / theirs.handles, kAtMost, 4.0, true};
    }
  }
  // Both asked to end as a user or the system would ask them.
  for (PROCESS_INFORMATION* pi : {&tray, &empty}) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      char cls[64] = {};
      GetClassNameA(w, cls, sizeof cls);
      if (pid == pi->dwProcessId && (!strcmp(cls, "qvToolbarClass") || !strcmp(cls, "QvBenchEmpty")))
        PostMessageA(w, WM_CLOSE, 0, 0);
    }
    End(*pi);
  }
  figures.push_back(cpu);
  figures.push_back(memory);
  figures.push_back(handles);
}

}  // namespace bench
