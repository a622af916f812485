// EmptyFolder and a whole wash of a TEMP folder, each on 20,000 small files in
// nested folders, against "cmd /c rd /s /q" on the same tree; the shredder on an
// existing 256 MB file against a plain overwrite in place of another existing file
// of the same size: the same block size and the same kind of bytes, both flushed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/wash.h"

namespace bench {
namespace {

constexpr DWORD kBlock = 8192;

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

std::string Seconds(double s) {
  char text[32];
  snprintf(text, sizeof text, "%.2f s", s);
  return text;
}

Figure Ratio(const std::string& name, double ours, double reference, GoalKind kind, double goal) {
  bool measured = ours > 0 && reference > 0;
  return Figure{name, Seconds(ours), Seconds(reference), measured ? ours / reference : 0, kind, goal, measured};
}

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

// The reference: the plain overwrite of an existing file in place, 8192-byte blocks
// of pseudo-random bytes (as the shredder writes), sequential, flushed before closing.
double PlainOverwrite(const std::string& file, DWORD bytes) {
  static unsigned char block[kBlock];
  for (unsigned char& b : block) b = static_cast<unsigned char>(rand());
  double start = Now();
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD w;
  for (DWORD done = 0; done < bytes; done += sizeof block) WriteFile(h, block, sizeof block, &w, nullptr);
  FlushFileBuffers(h);
  CloseHandle(h);
  return Now() - start;
}


// Two rounds on fresh trees, taking turns at going first (the disk's caches favour
// neither), and the best time of each kept.
void BestOfTwo(const std::string& scratch, double (*ours)(const std::string&), double* oursBest, double* rdBest) {
  *oursBest = *rdBest = 1e9;
  for (int round = 0; round < 2; ++round) {
    std::string mine = scratch + "\\ours" + std::to_string(round), theirs = scratch + "\\theirs" + std::to_string(round);
    MakeTree(mine);
    MakeTree(theirs);
    double rdTime = -1, ourTime = -1;
    if (round == 1) rdTime = RunCommand("cmd /c rd /s /q \"" + theirs + "\"");
    ourTime = ours(mine);
    if (round == 0) rdTime = RunCommand("cmd /c rd /s /q \"" + theirs + "\"");
    if (ourTime > 0 && ourTime < *oursBest) *oursBest = ourTime;
    if (rdTime > 0 && rdTime < *rdBest) *rdBest = rdTime;
    RemoveDirectoryA(mine.c_str());
  }
}

double TimeEmptyFolder(const std::string& tree) {
  char path[kDeletePathChars];
  snprintf(path, sizeof path, "%s", tree.c_str());
  double start = Now();
  EmptyFolder(path, 1);
  return Now() - start;
}

// The TEMP item as a run calls it, on a TEMP folder holding the tree.
double TimeTempWash(const std::string& tree) {
  SetEnvironmentVariableA("TMP", tree.c_str());
  SetEnvironmentVariableA("TEMP", tree.c_str());
  double start = Now();
  WashTempFolders();
  return Now() - start;
}

}  // namespace

void DeletionFigures(std::vector<Figure>& figures, const std::string& scratch) {
  double ours, rd;
  BestOfTwo(scratch, TimeEmptyFolder, &ours, &rd);
  figures.push_back(Ratio("EmptyFolder, 20,000 files / rd /s /q (time)", ours, rd, kAtMost, 1.10));
  BestOfTwo(scratch, TimeTempWash, &ours, &rd);
  figures.push_back(Ratio("TEMP wash, 20,000 files / rd /s /q (time)", ours, rd, kAtMost, 1.10));
}

void ShredderFigures(std::vector<Figure>& figures, const std::string& scratch) {
  // Each pass seven times, taking turns at going first, and the best time of each kept.
  const DWORD size = 256u << 20;
  std::string shredded = scratch + "\\shredded.bin", plain = scratch + "\\plain.bin";
  if (!MakeFile(shredded, size) || !MakeFile(plain, size)) {
    figures.push_back(Figure{"OverwriteFile, 256 MB / plain overwrite (speed)", "-", "-", 0, kAtLeast, 0.90, false});
    return;
  }
  double plainTime = 1e9, shredTime = 1e9;
  bool ok = true;
  for (int round = 0; round < 14; ++round) {
    if ((round + round / 2) % 2 == 0) {
      double t = PlainOverwrite(plain, size);
      if (t > 0 && t < plainTime) plainTime = t;
    } else {
      double start = Now();
      ok = OverwriteFile(shredded.c_str()) && ok;
      double t = Now() - start;
      if (t < shredTime) shredTime = t;
    }
  }
  char ours[32], reference[32];
  snprintf(ours, sizeof ours, "%.0f MB/s", 256 / shredTime);
  snprintf(reference, sizeof reference, "%.0f MB/s", 256 / plainTime);
  figures.push_back(Figure{"OverwriteFile, 256 MB / plain overwrite (speed)", ours, reference,
                           ok ? plainTime / shredTime : 0, kAtLeast, 0.90, ok});
  DeleteFileA(shredded.c_str());
  DeleteFileA(plain.c_str());
}

}  // namespace bench
