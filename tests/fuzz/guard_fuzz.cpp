// Host-built property check of the folder guard's path part under AddressSanitizer
// and UBSan. Seeded random paths made of the pieces that matter (prefixes, slashes,
// dots, blanks, long runs, double-byte characters), and seeded respellings of
// protected folders, each checked against what the guard must answer:
//   - any respelling of a protected folder, of a parent of one, or of a root is
//     protected (case, "\" or "/" and doubled separators, "." and "x\.." segments,
//     trailing dots and blanks, "\\?\", "\\.\" and "\??\" prefixes);
//   - a child with a plain name below a protected folder is free;
//   - the canonical form is canonical: reading it again gives itself;
//   - under a double-byte code page a trail byte 0x5C never splits a name.
// Inputs are exact-sized heap copies, so that any read past their end is caught.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "common/guardpath.h"

namespace {

int failures = 0;
void Check(bool ok, const char* what, const std::string& input) {
  if (ok) return;
  if (++failures <= 10) fprintf(stderr, "FAIL %s: [%s]\n", what, input.c_str());
}

GuardCodePage Ascii() {
  GuardCodePage cp;
  AsciiGuardCodePage(&cp);
  return cp;
}

// A Japanese-like code page: lead bytes 0x81-0x9F and 0xE0-0xFC.
GuardCodePage DoubleByte() {
  GuardCodePage cp = Ascii();
  for (int i = 0x81; i <= 0x9F; ++i) cp.lead[i] = true;
  for (int i = 0xE0; i <= 0xFC; ++i) cp.lead[i] = true;
  return cp;
}

// Exact-sized heap copies for the calls.
struct Heap {
  char* text;
  explicit Heap(const std::string& s) : text(static_cast<char*>(malloc(s.size() + 1))) {
    memcpy(text, s.c_str(), s.size() + 1);
  }
  ~Heap() { free(text); }
};

GuardVerdict Judge(const std::string& candidate, const std::vector<std::string>& folders, const GuardCodePage& cp) {
  Heap c(candidate);
  std::vector<Heap*> copies;
  std::vector<const char*> list;
  for (const std::string& f : folders) {
    copies.push_back(new Heap(f));
    list.push_back(copies.back()->text);
  }
  GuardVerdict v = JudgeFolderText(c.text, list.data(), list.size(), cp);
  for (Heap* h : copies) delete h;
  return v;
}

const char* const kPieces[] = {"C:", "c:", "\\", "/", "\\\\", "\\\\?\\", "\\\\.\\", "\\??\\", "UNC\\", "srv", "share",
                               ".", "..", "...", " ", ". ", "Windows", "users", "me", "Volume{x}", "\x81\x5C", "\x82",
                               "\xE0", "a", "Program Files", "*", ":", "\\\\?\\Volume{1}\\"};

std::string RandomPath(std::mt19937& random) {
  std::string path;
  int pieces = static_cast<int>(random() % 14);
  for (int i = 0; i < pieces; ++i) {
    if (random() % 25 == 0) path += std::string(random() % 700, random() % 2 ? 'p' : '\\');
    else path += kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
  }
  return path;
}

// A folder as components below a root ("C:" or "\\srv\share").
struct Folder {
  std::string root;
  std::vector<std::string> names;
};

std::string RandomCase(std::mt19937& random, const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (random() % 2) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : (c >= 'A' && c <= 'Z') ? c + 32 : c);
  return out;
}

std::string Separator(std::mt19937& random) {
  static const char* const kSeparators[] = {"\\", "/", "\\\\", "/\\"};
  return kSeparators[random() % 4];
}

// Another spelling of the same folder.
std::string Respell(std::mt19937& random, const Folder& f, bool trailing) {
  std::string path;
  bool share = f.root.size() > 2;
  switch (random() % 4) {
    case 0: path = share ? "\\\\?\\UNC\\" + f.root.substr(2) : "\\\\?\\" + f.root; break;
    case 1: path = share ? "\\\\.\\UNC\\" + f.root.substr(2) : "\\\\.\\" + f.root; break;
    case 2: path = share ? f.root : "\\??\\" + f.root; break;
    default: path = f.root;
  }
  path = RandomCase(random, path);
  for (const std::string& name : f.names) {
    path += Separator(random);
    if (random() % 4 == 0) path += "." + Separator(random);
    if (random() % 4 == 0) path += "zz" + Separator(random) + ".." + Separator(random);
    path += RandomCase(random, name);
    if (random() % 3 == 0) path += random() % 2 ? ". " : "..";
  }
  if (trailing && random() % 2) path += Separator(random);
  if (f.names.empty() && !share && path.back() != '\\' && path.back() != '/') path += "\\";  // "C:" alone is relative
  return path;
}

std::string Plain(const Folder& f) {
  std::string path = f.root;
  for (const std::string& name : f.names) path += "\\" + name;
  return path;
}

void CheckSpellings(std::mt19937& random, const GuardCodePage& cp) {
  static const Folder kFolders[] = {{"C:", {"Windows"}},
                                    {"C:", {"Users", "me", "Documents"}},
                                    {"D:", {"Program Files"}},
                                    {"\\\\srv\\share", {"home", "me"}}};
  std::vector<std::string> list;
  for (const Folder& f : kFolders) list.push_back(Plain(f));
  const Folder& f = kFolders[random() % 4];
  std::string same = Respell(random, f, true);
  Check(Judge(same, list, cp) == kGuardProtected, "a respelled folder is protected", same);
  Folder parent = f;
  parent.names.resize(random() % (f.names.size() + 1));
  std::string up = Respell(random, parent, true);
  Check(Judge(up, list, cp) == kGuardProtected, "a respelled parent or root is protected", up);
  Folder child = f;
  child.names.push_back(random() % 2 ? "Temp" : "sub folder");
  std::string down = Respell(random, child, true);
  Check(Judge(down, list, cp) == kGuardFree, "a child with a plain name is free", down);
}

void CheckCanonical(const std::string& path, const GuardCodePage& cp) {
  Heap input(path);
  char once[2048], twice[2048];
  if (!CanonicalFolder(input.text, cp, once, sizeof once)) return;
  // A drive root reads "C:", which alone would be drive-relative: read again as "C:\".
  std::string again = once;
  if (again.size() == 2 && again[1] == ':') again += "\\";
  Check(CanonicalFolder(again.c_str(), cp, twice, sizeof twice) && strcmp(once, twice) == 0, "canonical twice", path);
  // A cap of one byte less than needed is refused, never overflowed.
  size_t n = strlen(once);
  char* small = static_cast<char*>(malloc(n));
  if (n) Check(!CanonicalFolder(input.text, cp, small, n), "too small a buffer is refused", path);
  free(small);
}

// Fixed cases a random walk may miss.
void CheckFixedCases() {
  GuardCodePage ascii = Ascii(), dbcs = DoubleByte();
  std::vector<std::string> none;
  for (const char* unreadable : {"", "x", "\\x", "C:", "C:x", "\\\\.\\nul", "\\\\.\\PhysicalDrive0", "\\\\srv",
                                 "\\\\?\\GLOBALROOT\\Device", "\\\\?\\Volume{1"})
    Check(Judge(unreadable, none, ascii) == kGuardUnreadable, "unreadable", unreadable);
  for (const char* root : {"C:\\", "c:/", "C:\\x\\..", "\\\\?\\C:", "\\\\.\\C:\\", "\\\\srv\\share\\.",
                           "\\\\?\\UNC\\srv\\share\\", "\\\\?\\Volume{1}\\", "C:\\..\\..", "C:\\ . \\... "})
    Check(Judge(root, none, ascii) == kGuardProtected, "a root", root);
  // A trail byte 0x5C is not a separator under a double-byte code page...
  std::string name = "C:\\a\\\x81\x5C..";
  Check(Judge(name, {"C:\\a\\b"}, dbcs) == kGuardFree, "a trail byte is no separator", name);
  // ...but it is one under a single-byte code page, where "..\" goes up to C:\a.
  Check(Judge(name, {"C:\\a\\b"}, ascii) == kGuardProtected, "a backslash is a separator", name);
  // The two bytes of a character are not upper-cased: only equal bytes match.
  Check(Judge("C:\\\x82\x61", {"C:\\\x82\x41"}, dbcs) == kGuardFree, "a trail byte keeps its case", "x82 x61");
  Check(Judge("C:\\\x82\x61", {"C:\\\x82\x41"}, ascii) == kGuardProtected, "single bytes fold", "x82 x61");
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = argc > 1 ? static_cast<unsigned>(strtoul(argv[1], nullptr, 10)) : 1;
  double seconds = argc > 2 ? atof(argv[2]) : 3.0;
  std::mt19937 random(seed);
  GuardCodePage ascii = Ascii(), dbcs = DoubleByte();
  CheckFixedCases();
  clock_t end = clock() + static_cast<clock_t>(seconds * CLOCKS_PER_SEC);
  long runs = 0;
  while (clock() < end && failures < 10) {
    const GuardCodePage& cp = random() % 2 ? ascii : dbcs;
    CheckSpellings(random, cp);
    std::string path = RandomPath(random);
    CheckCanonical(path, cp);
    Judge(path, {"C:\\WINDOWS", "\\\\SRV\\SHARE\\X"}, cp);
    ++runs;
  }
  printf("guard fuzz: seed %u, %ld runs, %d failures\n", seed, runs, failures);
  return failures ? 1 : 0;
}
