// The benchmark: speed and footprint figures of the product, each against a
// reference measured in the same run, printed as one table (see bench.h).
//
//   bench.exe                   every figure
//   bench.exe <part>...         only those parts: deletion, shredder, bosskey, rest
#include "bench/bench.h"

#include <cstdio>
#include <cstring>

void UseTrayIdentity();

namespace bench {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

PROCESS_INFORMATION StartProcess(const std::string& line, DWORD flags) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi)) return {};
  return pi;
}

double RunCommand(const std::string& line) {
  double start = Now();
  PROCESS_INFORMATION pi = StartProcess(line, CREATE_NO_WINDOW);
  if (!pi.hProcess) return -1;
  DWORD waited = WaitForSingleObject(pi.hProcess, 600000);
  double elapsed = Now() - start;
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

namespace {

bool Met(const Figure& f) { return f.measured && (f.kind == kAtMost ? f.value <= f.goal : f.value >= f.goal); }

void PrintTable(const std::vector<Figure>& figures) {
  printf("\n%-52s %-14s %-14s %s\n", "figure", "ours", "reference", "value");
  int met = 0;
  for (const Figure& f : figures) {
    char value[32];
    if (f.measured) snprintf(value, sizeof value, "%.2f", f.value);
    else snprintf(value, sizeof value, "%s", "not measured");
    printf("%-52s %-14s %-14s %s (goal: %s %g)\n", f.name.c_str(), f.ours.c_str(), f.reference.c_str(), value,
           f.kind == kAtMost ? "at most" : "at least", f.goal);
    if (Met(f)) ++met;
  }
  printf("%d of %d figures met their goals\n", met, static_cast<int>(figures.size()));
}

bool Wanted(int argc, char** argv, const char* part) {
  if (argc < 2) return true;
  for (int i = 1; i < argc; ++i)
    if (strcmp(argv[i], part) == 0) return true;
  return false;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  if (argc == 3 && strcmp(argv[1], "windows") == 0) return WindowsHelper(atoi(argv[2]));
  if (argc == 2 && strcmp(argv[1], "empty") == 0) return EmptyProgram();
  UseTrayIdentity();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string scratch = std::string(temp) + "qvbench";
  CreateDirectoryA(scratch.c_str(), nullptr);
  std::vector<Figure> figures;
  if (Wanted(argc, argv, "bosskey")) BossKeyFigures(figures);
  if (Wanted(argc, argv, "shredder")) ShredderFigures(figures, scratch);
  if (Wanted(argc, argv, "deletion")) DeletionFigures(figures, scratch);
  if (Wanted(argc, argv, "rest")) RestFigures(figures);
  RemoveDirectoryA(scratch.c_str());
  PrintTable(figures);
  return 0;
}
