// Another process's footprint: its CPU time, private bytes and handles. Under Wine
// the system's own figures of another process are not kept, so there they are read
// from the Linux side (Z: is the Linux root), where Wine's process for a program
// carries the program's command line.
#include "bench/bench.h"

#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace bench {
namespace {

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

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
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
DWORD TableHandleCount(DWORD pid) {
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

}  // namespace

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::vector<std::string> LinuxProcessesOf(const std::string& program) {
  std::vector<std::string> hits;
  std::string needle = Lowered(program);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("Z:\\proc\\*", &found);
  if (find == INVALID_HANDLE_VALUE) return hits;
  do {
    if (found.cFileName[0] < '1' || found.cFileName[0] > '9') continue;
    std::string folder = std::string("Z:\\proc\\") + found.cFileName;
    std::string line = ReadWhole(folder + "\\cmdline");
    for (char& c : line)
      if (!c) c = ' ';  // the arguments are separated by zeros
    if (Lowered(line).find(needle) != std::string::npos) hits.push_back(folder);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return hits;
}

bool WatchProgram(const PROCESS_INFORMATION& pi, const std::string& program, const std::vector<std::string>& before,
                  DWORD timeoutMs, Watched* watched) {
  *watched = Watched{pi.hProcess, pi.dwProcessId, ""};
  if (!pi.hProcess) return false;
  if (!UnderWine()) return true;
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
    for (const std::string& folder : LinuxProcessesOf(program)) {
      if (std::find(before.begin(), before.end(), folder) != before.end()) continue;
      watched->linux = folder;
      return true;
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) return false;
  }
  return false;
}

double CpuMs(const Watched& w) {
  if (!w.linux.empty()) return LinuxCpuMs(w.linux);
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(w.process, &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

double PrivateMb(const Watched& w) {
  if (!w.linux.empty()) return LinuxPrivateMb(w.linux);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(w.process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) return 0;
  return static_cast<double>(memory.PrivateUsage) / (1024.0 * 1024.0);
}

DWORD HandleCount(const Watched& w) {
  DWORD handles = 0;
  if (w.linux.empty() && GetProcessHandleCount(w.process, &handles) && handles) return handles;
  return TableHandleCount(w.pid);
}

}  // namespace bench
