// The folder figures: EmptyFolder and a whole wash of a TEMP folder on 20,000 small
// files in nested folders, and EmptyFolder on 20,000 files in folders 19 levels deep,
// each against "cmd /c rd /s /q" on a tree made the same way. The shredder on an
// existing 256 MB file against a plain overwrite in place of another existing file of
// the same size: the same block size and the same kind of bytes, both flushed.
//
// Each figure is the median of the ratios of its rounds (bench.h: RunRace). A round
// makes both trees before either side runs, and every side proves its work: after
// ours the folder holds nothing and can be removed, after the reference its command
// ended with exit code 0 and the tree is gone; else the figure is not measured (a
// refusal or an early stop never looks fast). A shredded file must read back changed
// in every block by each pass, and never as the bytes it was made with.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench.h"
#include "tray/wash/deletion.h"
#include "tray/wash/report.h"
#include "tray/wash/wash.h"

namespace bench {
namespace {

// ---- Folder figures -------------------------------------------------------------

struct FolderRace {
  std::string scratch;
  const TreeShape* shape;
  const char* tag;                          // names the round's trees
  const char* oursName;                     // for the reasons a round failed
  double (*run)(const std::string& tree);  // ours, timed
  std::string oursTree, referenceTree;
};

bool MakeTrees(void* context, int round, std::string* failure) {
  FolderRace* race = static_cast<FolderRace*>(context);
  std::string stem = race->scratch + "\\" + race->tag + std::to_string(round + 1);
  race->oursTree = stem + "-ours";
  race->referenceTree = stem + "-reference";
  RemoveLeftover(race->oursTree);  // of a run cut short
  RemoveLeftover(race->referenceTree);
  if (MakeTree(race->oursTree, *race->shape) && MakeTree(race->referenceTree, *race->shape)) return true;
  *failure = "the trees could not be made in " + race->scratch;
  return false;
}

// Ours leaves the folder itself: it must hold nothing, and is removed here, untimed.
double OursOnTree(void* context, int, std::string* failure) {
  FolderRace* race = static_cast<FolderRace*>(context);
  double seconds = race->run(race->oursTree);
  if (FolderIsEmpty(race->oursTree) && RemoveDirectoryA(race->oursTree.c_str()) && !PathExists(race->oursTree))
    return seconds;
  *failure = std::string(race->oursName) + " left files or folders in " + race->oursTree;
  return -1;
}

double ReferenceOnTree(void* context, int, std::string* failure) {
  FolderRace* race = static_cast<FolderRace*>(context);
  DWORD exitCode;
  double seconds = RunCommand("cmd /c rd /s /q \"" + race->referenceTree + "\"", &exitCode);
  if (seconds < 0) *failure = "rd /s /q could not be started or did not end within ten minutes";
  else if (exitCode != 0) *failure = "rd /s /q ended with exit code " + std::to_string(exitCode);
  else if (PathExists(race->referenceTree)) *failure = "rd /s /q left " + race->referenceTree;
  return failure->empty() ? seconds : -1;
}

void RemoveTrees(void* context, int) {
  FolderRace* race = static_cast<FolderRace*>(context);
  RemoveLeftover(race->oursTree);
  RemoveLeftover(race->referenceTree);
}

double TimeEmptyFolder(const std::string& tree) {
  char path[kDeletePathChars];
  snprintf(path, sizeof path, "%s", tree.c_str());
  double start = Now();
  EmptyFolder(path, 1);
  return Now() - start;
}

// The TEMP item as a run calls it, on a TEMP folder holding the tree (TMP and TEMP
// of this program name it while it runs).
double TimeTempWash(const std::string& tree) {
  char tmp[MAX_PATH * 2] = {}, temp[MAX_PATH * 2] = {};
  DWORD tmpChars = GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
  DWORD tempChars = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
  bool hadTmp = tmpChars > 0 && tmpChars < sizeof tmp, hadTemp = tempChars > 0 && tempChars < sizeof temp;
  SetEnvironmentVariableA("TMP", tree.c_str());
  SetEnvironmentVariableA("TEMP", tree.c_str());
  double start = Now();
  WashTempFolders();
  double seconds = Now() - start;
  SetEnvironmentVariableA("TMP", hadTmp ? tmp : nullptr);
  SetEnvironmentVariableA("TEMP", hadTemp ? temp : nullptr);
  return seconds;
}

Figure FolderFigure(const std::string& scratch, const TreeShape& shape, const char* tag, const char* oursName,
                    double (*run)(const std::string&), int rounds) {
  FolderRace race{scratch, &shape, tag, oursName, run, "", ""};
  std::string name = std::string(oursName) + ", " + shape.name + " / rd /s /q (time)";
  Race pair{name.c_str(), false, MakeTrees, OursOnTree, ReferenceOnTree, RemoveTrees, &race};
  return RaceFigure(name, RunRace(pair, rounds), Seconds, kAtMost, 1.00);
}

// ---- The shredder ---------------------------------------------------------------

constexpr DWORD kBlock = 8192;
constexpr DWORD kShredBytes = 256u << 20;
constexpr int kShredRounds = 16;
constexpr unsigned char kMadeWith = 'b';

// A file of bytes length, written and flushed, so that both passes below overwrite
// data that is already on the disk.
bool MakeFile(const std::string& file, DWORD bytes) {
  static char block[kBlock];
  memset(block, kMadeWith, sizeof block);
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
  bool ok = true;
  for (DWORD done = 0; done < bytes && ok; done += sizeof block)
    ok = WriteFile(h, block, sizeof block, &w, nullptr) && w == sizeof block;
  ok = FlushFileBuffers(h) && ok;
  CloseHandle(h);
  return ok ? Now() - start : -1;
}

unsigned long long BlockHash(const unsigned char* block) {
  unsigned long long h = 1469598103934665603ull;  // FNV-1a over the block's bytes
  for (DWORD i = 0; i < kBlock; ++i) h = (h ^ block[i]) * 1099511628211ull;
  return h;
}

// One file of the shredder figure and what each of its blocks held after the last pass.
struct PassedFile {
  std::string path;
  std::vector<unsigned long long> blocks;
};

// The file reads back at its size, every block changed by the pass just made (and so
// never the bytes it was made with, which the first pass found).
bool ReadsBackChanged(PassedFile& file, std::string* failure) {
  HANDLE h = CreateFileA(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *failure = file.path + " could not be read back";
    return false;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(h, &size) || static_cast<unsigned long long>(size.QuadPart) != file.blocks.size() * kBlock) {
    CloseHandle(h);
    *failure = file.path + " is no longer the size it was made with";
    return false;
  }
  static unsigned char chunk[64 * kBlock];
  size_t block = 0, unchanged = 0;
  DWORD got = 0;
  while (block < file.blocks.size() && ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got % kBlock == 0 && got) {
    for (DWORD at = 0; at < got && block < file.blocks.size(); at += kBlock, ++block) {
      unsigned long long hash = BlockHash(chunk + at);
      if (hash == file.blocks[block]) ++unchanged;
      file.blocks[block] = hash;
    }
  }
  CloseHandle(h);
  if (block != file.blocks.size())
    *failure = file.path + " could not be read back whole";
  else if (unchanged)
    *failure = file.path + ": " + std::to_string(unchanged) + " blocks of 8 KB read back as before the pass";
  return failure->empty();
}

struct ShredRace {
  PassedFile shredded, plain;
};

double Shred(void* context, int, std::string* failure) {
  ShredRace* race = static_cast<ShredRace*>(context);
  double start = Now();
  int done = OverwriteFile(race->shredded.path.c_str());
  double seconds = Now() - start;
  if (!done) *failure = "OverwriteFile reported a failed pass on " + race->shredded.path;
  return done && ReadsBackChanged(race->shredded, failure) ? seconds : -1;
}

double Plain(void* context, int, std::string* failure) {
  ShredRace* race = static_cast<ShredRace*>(context);
  double seconds = PlainOverwrite(race->plain.path, kShredBytes);
  if (seconds < 0) *failure = "the plain overwrite of " + race->plain.path + " failed";
  return seconds >= 0 && ReadsBackChanged(race->plain, failure) ? seconds : -1;
}

std::string Speed(double seconds) { return Formatted("%.0f MB/s", (kShredBytes >> 20) / seconds); }

}  // namespace

void DeletionFigures(std::vector<Figure>& figures, const std::string& scratch, int rounds) {
  SetQuietReports(true);  // a file left is counted, never asked about in a box that would wait
  figures.push_back(FolderFigure(scratch, kFlatTree, "emptyfolder", "EmptyFolder", TimeEmptyFolder, rounds));
  figures.push_back(FolderFigure(scratch, kFlatTree, "tempwash", "TEMP wash", TimeTempWash, rounds));
  figures.push_back(FolderFigure(scratch, kDeepTree, "deep", "EmptyFolder", TimeEmptyFolder, rounds));
  SetQuietReports(false);
}

void ShredderFigures(std::vector<Figure>& figures, const std::string& scratch) {
  const char* name = "OverwriteFile, 256 MB / plain overwrite (speed)";
  size_t blocks = kShredBytes / kBlock;
  unsigned char madeWith[kBlock];
  memset(madeWith, kMadeWith, sizeof madeWith);
  ShredRace race{{scratch + "\\shredded.bin", std::vector<unsigned long long>(blocks, BlockHash(madeWith))},
                 {scratch + "\\plain.bin", std::vector<unsigned long long>(blocks, BlockHash(madeWith))}};
  if (MakeFile(race.shredded.path, kShredBytes) && MakeFile(race.plain.path, kShredBytes)) {
    Race pair{"OverwriteFile", true, nullptr, Shred, Plain, nullptr, &race};
    figures.push_back(RaceFigure(name, RunRace(pair, kShredRounds), Speed, kAtLeast, 0.90));
  } else {
    figures.push_back(NotMeasured(name, kAtLeast, 0.90));
  }
  DeleteFileA(race.shredded.path.c_str());
  DeleteFileA(race.plain.path.c_str());
}

}  // namespace bench
