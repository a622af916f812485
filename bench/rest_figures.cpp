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

// Under Wine the system's own figures of another process are not kept (its CPU
// times, private bytes and handle count read as nearly nothing): there they are read
// from the Linux side, where Wine's process for a program carries its command line.
bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string ReadWhole(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
  CloseHandle(file);
  return text;
}

// The Linux process whose command line holds needle (Z: is the Linux root).
std::string LinuxProcess(const char* needle) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("Z:\\proc\\*", &found);
  if (find == INVALID_HANDLE_VALUE) return "";
  std::string hit;
  do {
    if (found.cFileName[0] < '1' || found.cFileName[0] > '9') continue;
    std::string folder = std::string("Z:\\proc\\") + found.cFileName;
    std::string line = ReadWhole(folder + "\\cmdline");
    for (char& c : line)
      if (!c) c = ' ';  // the arguments are separated by zeros
    if (line.find(needle) != std::string::npos) hit = folder;
  } while (hit.empty() && FindNextFileA(find, &found));
  FindClose(find);
  return hit;
}

// User and system time of a Linux process in milliseconds (clock ticks of 10 ms).
double LinuxCpuMs(const std::string& folder) {
  std::string stat = ReadWhole(folder + "\\stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  unsigned long long utime = 0, stime = 0;
  // After the command's ")": state, then fields 4 to 13, then utime and stime.
  if (sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
    return -1;
  return static_cast<double>(utime + stime) * 10.0;
}

// The resident memory that is the process's alone (anonymous pages), in MB.
double LinuxPrivateMb(const std::string& folder) {
  std::string status = ReadWhole(folder + "\\status");
  size_t at = status.find("RssAnon:");
  unsigned long kb = 0;
  if (at == std::string::npos || sscanf(status.c_str() + at + 8, "%lu", &kb) != 1) return 0;
  return kb / 1024.0;
}

// Handles of a process from the system's handle table (kept under Wine too).
DWORD HandleCount(DWORD pid) {
  struct Entry {
    USHORT process;
    USHORT backTrace;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryFn>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation"));
  if (!query) return 0;
  std::vector<char> buffer(1 << 20);
  ULONG length = 0;
  LONG status;
  while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &length)) ==
             static_cast<LONG>(0xC0000004L) &&
         buffer.size() < (64u << 20))
    buffer.resize(buffer.size() * 2);  // STATUS_INFO_LENGTH_MISMATCH
  if (status != 0) return 0;
  ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
  const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
  DWORD mine = 0;
  for (ULONG i = 0; i < count; ++i)
    if (entries[i].process == static_cast<USHORT>(pid)) ++mine;
  return mine;
}

struct Measured {
  HANDLE process;
  DWORD pid;
  std::string linux;  // the Linux process's folder in /proc (Wine only)
};

double CpuMs(const Measured& m) {
  if (!m.linux.empty()) return LinuxCpuMs(m.linux);
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(m.process, &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

struct Footprint {
  double cpuMs;  // over the minute
  double privateMb;
  DWORD handles;
};

Footprint Read(const Measured& m, double cpuBefore) {
  Footprint f = {CpuMs(m) - cpuBefore, 0, HandleCount(m.pid)};
  if (!m.linux.empty()) {
    f.privateMb = LinuxPrivateMb(m.linux);
  } else {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(m.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
      f.privateMb = static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
    DWORD handles = 0;
    if (GetProcessHandleCount(m.process, &handles) && handles) f.handles = handles;
  }
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
  PROCESS_INFORMATION tray = StartProcess("\"" + BinFolder() + "qvtoolbar.exe\" /s");
  PROCESS_INFORMATION empty = StartProcess("\"" + SelfPath() + "\" empty");
  Figure cpu{"at rest for 60 s: CPU time, ours minus the empty program's (ms)", "-", "-", 0, kAtMost, 10, false};
  Figure memory{"at rest: private bytes / the empty program's", "-", "-", 0, kAtMost, 3.0, false};
  Figure handles{"at rest: handles / the empty program's", "-", "-", 0, kAtMost, 4.0, false};
  if (tray.hProcess && empty.hProcess) {
    Sleep(kSettleMs);
    bool wine = UnderWine();
    Measured ours = {tray.hProcess, tray.dwProcessId, wine ? LinuxProcess("qvtoolbar.exe") : ""};
    Measured theirs = {empty.hProcess, empty.dwProcessId, wine ? LinuxProcess("qvbench.exe empty") : ""};
    bool found = !wine || (!ours.linux.empty() && !theirs.linux.empty());
    double trayBefore = CpuMs(ours), emptyBefore = CpuMs(theirs);
    Sleep(kRestMs);
    Footprint a = Read(ours, trayBefore), b = Read(theirs, emptyBefore);
    bool running = found && WaitForSingleObject(tray.hProcess, 0) == WAIT_TIMEOUT;
    if (running && trayBefore >= 0 && emptyBefore >= 0 && a.cpuMs >= 0 && b.cpuMs >= 0)
      cpu = Figure{cpu.name, Text("%.0f ms", a.cpuMs), Text("%.0f ms", b.cpuMs), a.cpuMs - b.cpuMs, kAtMost, 10, true};
    if (running && a.privateMb > 0 && b.privateMb > 0)
      memory = Figure{memory.name, Text("%.1f MB", a.privateMb), Text("%.1f MB", b.privateMb),
                      a.privateMb / b.privateMb, kAtMost, 3.0, true};
    if (running && a.handles && b.handles)
      handles = Figure{handles.name, Text("%.0f", a.handles), Text("%.0f", b.handles),
                       static_cast<double>(a.handles) / b.handles, kAtMost, 4.0, true};
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
