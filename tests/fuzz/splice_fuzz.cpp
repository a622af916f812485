// Host-built property check of the restart-list splicing, under AddressSanitizer and
// UBSan: seeded random list texts made of the pieces that matter (headers in various
// capitalisations, CR, LF, "[", plain text, zero bytes), each checked against an
// independently built expectation. Buffers are exact-sized heap blocks so that any
// read or write past them is caught.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "common/restartsplice.h"

namespace {

const char* const kPieces[] = {"[rename]", "[RENAME]", "[Rename]", "[ReName]", "[RENAme]", "[other]", "\r\n",
                               "\r", "\n", "[", "]", "NUL=C:\\A.TXT", "x=y", "\r\n[", "rename"};

std::string Expected(const std::string& text, const std::string& path) {
  const char* forms[] = {"[rename]", "[RENAME]", "[Rename]", "[ReName]"};
  size_t header = std::string::npos;
  for (const char* f : forms) {
    header = text.find(f);
    if (header != std::string::npos) break;
  }
  std::string entry = "NUL=" + path + "\r\n";
  if (header != std::string::npos) {
    size_t next = text.find("\r\n[", header + 1);
    if (next != std::string::npos) return text.substr(0, next + 2) + entry + text.substr(next + 2);
  }
  std::string out = text;
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  if (header == std::string::npos) out += "[rename]\r\n";
  return out + entry;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = argc > 1 ? static_cast<unsigned>(strtoul(argv[1], nullptr, 10)) : 20261208u;
  double seconds = argc > 2 ? atof(argv[2]) : 3.0;
  std::mt19937 rng(seed);
  clock_t end = clock() + static_cast<clock_t>(seconds * CLOCKS_PER_SEC);
  long cases = 0;
  while (clock() < end) {
    std::string text;
    int pieces = rng() % 24;
    for (int i = 0; i < pieces; ++i) {
      unsigned k = rng() % 17;
      if (k == 15) text += '\0';
      else if (k == 16) text += static_cast<char>(rng() % 256);
      else text += kPieces[k];
    }
    std::string path;
    int pathLen = rng() % 40;
    for (int i = 0; i < pathLen; ++i) path += static_cast<char>('A' + rng() % 26);
    std::string want = Expected(text, path);

    std::vector<char> in(text.begin(), text.end());
    char* inBlock = static_cast<char*>(malloc(in.size() ? in.size() : 1));
    if (!in.empty()) memcpy(inBlock, in.data(), in.size());
    char* pathBlock = static_cast<char*>(malloc(path.size() + 1));
    memcpy(pathBlock, path.c_str(), path.size() + 1);
    // Exact room, then one byte too little.
    size_t cap = want.size();
    char* out = static_cast<char*>(malloc(cap ? cap : 1));
    size_t n = SpliceRestartEntry(inBlock, in.size(), pathBlock, out, cap);
    if (n != want.size() || memcmp(out, want.data(), n) != 0) {
      fprintf(stderr, "splice mismatch, seed %u case %ld\n", seed, cases);
      return 1;
    }
    char* small = static_cast<char*>(malloc(cap - 1 ? cap - 1 : 1));
    if (SpliceRestartEntry(inBlock, in.size(), pathBlock, small, cap - 1) != 0) {
      fprintf(stderr, "splice wrote into a buffer too small, seed %u case %ld\n", seed, cases);
      return 1;
    }
    free(small);
    free(out);
    free(pathBlock);
    free(inBlock);
    ++cases;
  }
  printf("restart splice: %ld cases, seed %u, all passed\n", cases, seed);
  return 0;
}
