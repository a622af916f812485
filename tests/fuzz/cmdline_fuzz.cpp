// Host-built property check of setup's command line under AddressSanitizer and
// UBSan: seeded random lines made of the pieces that matter (the switches,
// quotes, blanks, backslashes, long runs), each checked against what the rules
// say must come out. Inputs are exact-sized heap copies, so that any read past
// their end is caught.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "setup/cmdline.h"

namespace {

const char* const kPieces[] = {"/silent", "/noshort", "/nostart", "/path:", "/path: ", "/path:\"", "/language:",
                               "/language: -", "/sfxpath:", "/sfxstart", "\"", " ", "\\", "c:", "x", "7", "12",
                               "setup.exe", "/s", "/path", ":"};

std::string RandomLine(std::mt19937& random) {
  std::string line;
  int pieces = static_cast<int>(random() % 12);
  for (int i = 0; i < pieces; ++i) {
    if (random() % 20 == 0) line += std::string(random() % 600, 'p');  // a long run
    else line += kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
  }
  return line;
}

int failures = 0;
void Check(bool ok, const char* what, const std::string& a, const std::string& f) {
  if (ok) return;
  if (++failures <= 10) fprintf(stderr, "FAIL %s: args [%s] full [%s]\n", what, a.c_str(), f.c_str());
}

void CheckOne(const std::string& args, const std::string& full) {
  char* a = static_cast<char*>(malloc(args.size() + 1));
  char* f = static_cast<char*>(malloc(full.size() + 1));
  memcpy(a, args.c_str(), args.size() + 1);
  memcpy(f, full.c_str(), full.size() + 1);
  SetupCommandLine line = ParseSetupCommandLine(a, f);
  Check(line.silent == (args.find("/silent") != std::string::npos), "silent", args, full);
  Check(line.sfxStart == (full.find("/sfxstart") != std::string::npos), "sfxstart", args, full);
  size_t at = args.find("/path:");
  Check((at != std::string::npos) == (line.hasPath || line.pathTooLong), "path found", args, full);
  Check(!(line.hasPath && line.pathTooLong), "path both", args, full);
  Check(strlen(line.path) < kSetupPathChars, "path size", args, full);
  if (line.hasPath && line.path[0]) Check(args.find(line.path, at) != std::string::npos, "path from args", args, full);
  if (line.hasPath) Check(strchr(line.path, '"') == nullptr || args[at + 6] != '"', "quoted path", args, full);
  if (line.hasPackage) {
    size_t n = strlen(line.packageFolder);
    Check(n > 0 && line.packageFolder[n - 1] == '\\', "package folder ends in a backslash", args, full);
    Check(full.find(std::string("/sfxpath:") + line.packageFolder) != std::string::npos, "package from the line",
          args, full);
  }
  Check(line.hasLanguage == (args.find("/language:") != std::string::npos), "language found", args, full);
  free(a);
  free(f);
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = argc > 1 ? static_cast<unsigned>(strtoul(argv[1], nullptr, 10)) : 1u;
  double seconds = argc > 2 ? atof(argv[2]) : 3.0;
  std::mt19937 random(seed);
  clock_t end = clock() + static_cast<clock_t>(seconds * CLOCKS_PER_SEC);
  long runs = 0;
  while (clock() < end) {
    std::string args = RandomLine(random);
    CheckOne(args, "\"c:\\setup folder\\setup.exe\" " + args);
    CheckOne(args, RandomLine(random));
    ++runs;
  }
  printf("setup command line: %ld random lines (seed %u), %d failures\n", runs, seed, failures);
  return failures ? 1 : 0;
}
