// EmptyFolder on 20,000 small files in nested folders against "cmd /c rd /s /q" on the same
// tree, and the shredder on an existing 256 MB file against a plain overwrite of another
// existing file of the same size: the same block size, both flushed to the disk.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/wash.h"

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

constexpr DWORD kBlock = 8192;

// A file of bytes length, written and flushed, so that both passes below overwrite
// data that is already on the disk.
bool MakeFile(const std::string& file, DWORD bytes) {
  static char block[kBlock];
  memset(block, 'b', sizeof block);
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD w;
  bool ok = true;
  for (DWORD done = 0; done < bytes && ok; done += sizeof block)
    ok = WriteFile(h, block, sizeof block, &w, nullptr) && w == sizeof block;
  ok = FlushFileBuffers(h) && ok;
  CloseHandle(h);
  return ok;
}

// The reference: the plain overwrite of an existing file in place, 8192-byte
// blocks, sequential, flushed before closing.
double PlainOverwrite(const std::string& file, DWORD bytes) {
  static char block[kBlock];
  double start = Now();
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD w;
  for (DWORD done = 0; done < bytes; done += sizeof block) WriteFile(h, block, sizeof block, &w, nullptr);
  FlushFileBuffers(h);
  CloseHandle(h);
  return Now() - start;
}

}  // namespace

void FolderFigures(const std::string& base) {
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
  printf("ratio EmptyFolder / rd:                  %.2f (goal: at most 1.25)\n", rdTime > 0 ? emptyTime / rdTime : 0.0);
  fflush(stdout);
  RemoveDirectoryA(ours.c_str());
}

// A whole wash of a TEMP folder holding the same tree (the TEMP item, as a run
// calls it) against "cmd /c rd /s /q" on a copy.
void WashFigures(const std::string& base) {
  std::string temp = base + "\\washtemp", theirs = base + "\\washcopy";
  MakeTree(temp);
  MakeTree(theirs);
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  double start = Now();
  WashTempFolders();
  double washTime = Now() - start;
  double rdTime = RunCommand("cmd /c rd /s /q \"" + theirs + "\"");
  printf("wash of TEMP, 20000 files in 200 folders: %.2f s\n", washTime);
  printf("cmd /c rd /s /q on a copy of the tree:     %.2f s\n", rdTime);
  printf("ratio wash / rd:                           %.2f (goal: at most 1.25)\n",
         rdTime > 0 ? washTime / rdTime : 0.0);
  fflush(stdout);
  RemoveDirectoryA(temp.c_str());
}

// "deletion_bench" prints every figure; "deletion_bench folders", "... wash" or
// "... shredder" only the one.
int main(int argc, char** argv) {
  UseTrayIdentity();
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string base = std::string(temp) + "qvbench";
  CreateDirectoryA(base.c_str(), nullptr);
  std::string only = argc > 1 ? argv[1] : "";
  if (only.empty() || only == "folders") FolderFigures(base);
  if (only.empty() || only == "wash") WashFigures(base);
  if (!only.empty() && only != "shredder") return 0;

  // Each pass seven times, taking turns at going first, and the best time of each kept.
  const DWORD size = 256u << 20;
  std::string shredded = base + "\\shredded.bin", plain = base + "\\plain.bin";
  if (!MakeFile(shredded, size) || !MakeFile(plain, size)) {
    printf("cannot make the 256 MB files\n");
    return 1;
  }
  double plainTime = 1e9, shredTime = 1e9, start;
  bool ok = true;
  for (int round = 0; round < 14; ++round) {
    if ((round + round / 2) % 2 == 0) {
      double t = PlainOverwrite(plain, size);
      if (t > 0 && t < plainTime) plainTime = t;
    } else {
      start = Now();
      ok = OverwriteFile(shredded.c_str()) && ok;
      double t = Now() - start;
      if (t < shredTime) shredTime = t;
    }
  }
  double plainRate = 256 / plainTime, shredRate = 256 / shredTime;
  printf("plain overwrite in place, 256 MB, flushed: %.2f s (%.0f MB/s)\n", plainTime, plainRate);
  printf("OverwriteFile, 256 MB, flushed:            %.2f s (%.0f MB/s)%s\n", shredTime, shredRate,
         ok ? "" : " FAILED");
  printf("ratio shredder / plain overwrite (MB/s):   %.2f (goal: at least 0.90)\n", shredRate / plainRate);
  DeleteFileA(shredded.c_str());
  DeleteFileA(plain.c_str());
  RemoveDirectoryA(base.c_str());
  return 0;
}
