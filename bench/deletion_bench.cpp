// EmptyFolder on 20,000 small files in nested folders against "cmd /c rd /s /q" on the same
// tree, and the shredder's throughput on a 256 MB file against a plain sequential write.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"

void UseTrayIdentity();

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// 20 folders x 10 subfolders x 100 files of 64 bytes.
void MakeTree(const std::string& root) {
  CreateDirectoryA(root.c_str(), nullptr);
  char data[64];
  memset(data, 'q', sizeof data);
  for (int a = 0; a < 20; ++a) {
    std::string top = root + "\\d" + std::to_string(a);
    CreateDirectoryA(top.c_str(), nullptr);
    for (int b = 0; b < 10; ++b) {
      std::string sub = top + "\\s" + std::to_string(b);
      CreateDirectoryA(sub.c_str(), nullptr);
      for (int c = 0; c < 100; ++c) {
        std::string file = sub + "\\f" + std::to_string(c) + ".tmp";
        HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD w;
        WriteFile(h, data, sizeof data, &w, nullptr);
        CloseHandle(h);
      }
    }
  }
}

double RunCommand(const std::string& line) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  char buffer[1024];
  snprintf(buffer, sizeof buffer, "%s", line.c_str());
  double start = Now();
  if (!CreateProcessA(nullptr, buffer, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, 600000);
  double elapsed = Now() - start;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return elapsed;
}

double PlainWrite(const std::string& file, DWORD bytes) {
  static char block[8192];
  double start = Now();
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  DWORD w;
  for (DWORD done = 0; done < bytes; done += sizeof block) WriteFile(h, block, sizeof block, &w, nullptr);
  CloseHandle(h);
  return Now() - start;
}

}  // namespace

int main() {
  UseTrayIdentity();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string base = std::string(temp) + "qvbench";
  CreateDirectoryA(base.c_str(), nullptr);
  std::string ours = base + "\\ours", theirs = base + "\\theirs";
  MakeTree(ours);
  MakeTree(theirs);

  char path[kDeletePathChars];
  snprintf(path, sizeof path, "%s", ours.c_str());
  double start = Now();
  EmptyFolder(path, 1);
  double emptyTime = Now() - start;
  double rdTime = RunCommand("cmd /c rd /s /q \"" + theirs + "\"");
  printf("EmptyFolder, 20000 files in 200 folders: %.2f s\n", emptyTime);
  printf("cmd /c rd /s /q on the same tree:        %.2f s\n", rdTime);
  printf("ratio EmptyFolder / rd:                  %.2f\n", rdTime > 0 ? emptyTime / rdTime : 0.0);

  const DWORD size = 256u << 20;
  std::string big = base + "\\big.bin";
  double writeTime = PlainWrite(big, size);
  start = Now();
  int ok = OverwriteFile(big.c_str());
  double shredTime = Now() - start;
  printf("plain sequential write, 256 MB:          %.2f s (%.0f MB/s)\n", writeTime, 256 / writeTime);
  printf("OverwriteFile, 256 MB:                   %.2f s (%.0f MB/s)%s\n", shredTime, 256 / shredTime,
         ok ? "" : " FAILED");
  printf("ratio shredder / plain write:            %.2f\n", shredTime / writeTime);
  DeleteFileA(big.c_str());
  RemoveDirectoryA(ours.c_str());
  RemoveDirectoryA(base.c_str());
  return 0;
}
