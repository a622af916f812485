// Host-built property check of the folder guard's path part under AddressSanitizer
// and UBSan. Seeded random paths, each checked against what the guard must answer:
//   - any respelling of a protected folder, of a parent of one, or of a root is
//     protected (case, "\" or "/" and doubled separators, "." and "x\.." steps,
//     trailing dots and blanks, "\\?\", "\\.\" and "\??\" prefixes);
//   - a child with a plain name below a protected folder is free;
//   - random walks from drive and share roots through the protected folders' own
//     names, "." and "..": the verdict is the one a model of the walk expects,
//     and the walks must reach protected and free folders alike;
//   - under a double-byte code page, with names and a share whose trail bytes are
//     0x5C or letters: a trail byte never splits a name and keeps its case;
//   - the canonical form is canonical, and a path of random pieces judged free
//     is a readable full path below a root.
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

// Single-byte letters in random case; the two bytes of a double-byte character
// stay as they are (a trail byte "A" and "a" are two other characters).
std::string RandomCase(std::mt19937& random, const std::string& s, const GuardCodePage& cp) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    char& c = out[i];
    if (cp.lead[static_cast<unsigned char>(c)] && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (random() % 2) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : (c >= 'A' && c <= 'Z') ? c + 32 : c);
  }
  return out;
}

std::string Separator(std::mt19937& random) {
  static const char* const kSeparators[] = {"\\", "/", "\\\\", "/\\"};
  return kSeparators[random() % 4];
}

// A spelling of the folder reached from root by steps (names, "." and ".."): any
// prefix, case, separator, extra "." and "x\.." steps, trailing dots and blanks.
std::string Spell(std::mt19937& random, const std::string& root, const std::vector<std::string>& steps, bool trailing,
                  const GuardCodePage& cp) {
  std::string path;
  bool share = root.size() > 2;
  switch (random() % 4) {
    case 0: path = share ? "\\\\?\\UNC\\" + root.substr(2) : "\\\\?\\" + root; break;
    case 1: path = share ? "\\\\.\\UNC\\" + root.substr(2) : "\\\\.\\" + root; break;
    case 2: path = share ? root : "\\??\\" + root; break;
    default: path = root;
  }
  path = RandomCase(random, path, cp);
  for (const std::string& step : steps) {
    path += Separator(random);
    if (random() % 4 == 0) path += "." + Separator(random);
    if (random() % 4 == 0) path += "zz" + Separator(random) + ".." + Separator(random);
    path += RandomCase(random, step, cp);
    if (step != "." && step != ".." && random() % 3 == 0) path += random() % 2 ? ". " : "..";
  }
  if (trailing && random() % 2) path += Separator(random);
  if (!share && (path.size() == 2 || path.back() == ':')) path += "\\";  // "C:" alone is drive-relative
  return path;
}

std::string Respell(std::mt19937& random, const Folder& f, bool trailing, const GuardCodePage& cp) {
  return Spell(random, f.root, f.names, trailing, cp);
}

std::string Plain(const Folder& f) {
  std::string path = f.root;
  for (const std::string& name : f.names) path += "\\" + name;
  return path;
}

// The protected folders of the checks; under a double-byte code page also one
// whose names hold trail bytes 0x5C and "A" (Shift-JIS "\x83\x5C\x83\x74\x83\x67"
// and "\x95\x5C\x83\x41"), and one on a share so named.
std::vector<Folder> ProtectedFolders(bool doubleByte) {
  std::vector<Folder> folders = {{"C:", {"Windows"}},
                                 {"C:", {"Users", "me", "Documents"}},
                                 {"D:", {"Program Files"}},
                                 {"\\\\srv\\share", {"home", "me"}}};
  if (doubleByte) {
    folders.push_back({"C:", {"Users", "\x83\x5C\x83\x74\x83\x67", "\x95\x5C\x83\x41"}});
    folders.push_back({"\\\\srv\\\x95\x5C", {"home"}});  // a share named with a trail byte 0x5C
  }
  return folders;
}

std::vector<std::string> PlainList(const std::vector<Folder>& folders) {
  std::vector<std::string> list;
  for (const Folder& f : folders) list.push_back(Plain(f));
  return list;
}

bool IsDoubleByte(const GuardCodePage& cp) { return cp.lead[0x81]; }

void CheckSpellings(std::mt19937& random, const GuardCodePage& cp) {
  std::vector<Folder> folders = ProtectedFolders(IsDoubleByte(cp));
  std::vector<std::string> list = PlainList(folders);
  const Folder& f = folders[random() % folders.size()];
  std::string same = Respell(random, f, true, cp);
  Check(Judge(same, list, cp) == kGuardProtected, "a respelled folder is protected", same);
  Folder parent = f;
  parent.names.resize(random() % (f.names.size() + 1));
  std::string up = Respell(random, parent, true, cp);
  Check(Judge(up, list, cp) == kGuardProtected, "a respelled parent or root is protected", up);
  Folder child = f;
  static const char* const kChildren[] = {"Temp", "sub folder", "\x95\x5C", "\x83\x61"};
  child.names.push_back(kChildren[random() % (IsDoubleByte(cp) ? 4 : 2)]);
  std::string down = Respell(random, child, true, cp);
  Check(Judge(down, list, cp) == kGuardFree, "a child with a plain name is free", down);
}

// ---- Random walks from real roots, each judged against a model of its own.

// A name as the model compares it: single-byte letters in upper case, the two
// bytes of a double-byte character as they are.
std::string Folded(const std::string& name, const GuardCodePage& cp) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (cp.lead[c] && i + 1 < name.size()) {
      out += name.substr(i++, 2);
      continue;
    }
    out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  return out;
}

struct WalkCounts {
  long protectedOnes = 0, freeOnes = 0, unreadable = 0;
};

// A walk of up to seven steps from a drive or share root through the protected
// folders' own names (so that it reaches them, their parents and their children
// often), other names, "." and ".."; the model follows the steps itself and
// expects a root, a protected folder or a parent of one to be protected and
// anything else free, whatever the spelling.
void CheckWalk(std::mt19937& random, const GuardCodePage& cp, WalkCounts* counts) {
  static const char* const kRoots[] = {"C:", "D:", "E:", "\\\\srv\\share", "\\\\SRV\\other", "\\\\srv\\\x95\x5C",
                                       "\\\\srv\\\x83\x5C"};
  static const char* const kNames[] = {"Windows", "Users", "me", "Documents", "Program Files", "home", "Temp",
                                       "..", ".", "\x83\x5C\x83\x74\x83\x67", "\x95\x5C\x83\x41",
                                       "\x95\x5C\x83\x61", "\x95\x5C"};
  bool doubleByte = IsDoubleByte(cp);
  std::vector<Folder> folders = ProtectedFolders(doubleByte);
  std::string root = kRoots[random() % (doubleByte ? 7 : 5)];
  std::vector<std::string> steps, reached;
  int count = static_cast<int>(random() % 8);
  size_t names = doubleByte ? sizeof kNames / sizeof kNames[0] : 9;
  for (int i = 0; i < count; ++i) {
    steps.push_back(kNames[random() % names]);
    if (steps.back() == "..") {
      if (!reached.empty()) reached.pop_back();
    } else if (steps.back() != ".") {
      reached.push_back(Folded(steps.back(), cp));
    }
  }
  bool protect = reached.empty();
  for (const Folder& f : folders) {
    if (Folded(f.root, cp) != Folded(root, cp) || reached.size() > f.names.size()) continue;
    bool prefix = true;
    for (size_t i = 0; i < reached.size(); ++i) prefix = prefix && reached[i] == Folded(f.names[i], cp);
    protect = protect || prefix;
  }
  std::string path = Spell(random, root, steps, true, cp);
  GuardVerdict verdict = Judge(path, PlainList(folders), cp);
  if (verdict == kGuardUnreadable) ++counts->unreadable;
  else if (verdict == kGuardProtected) ++counts->protectedOnes;
  else ++counts->freeOnes;
  Check(verdict == (protect ? kGuardProtected : kGuardFree), protect ? "a walk to a protected folder" : "a walk to a free folder",
        path);
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

// A path of random pieces, at a real root three times in four: its canonical form
// is canonical, and a path judged free is a readable full path below a root.
void CheckPieces(std::mt19937& random, const GuardCodePage& cp) {
  static const char* const kStarts[] = {"C:\\", "\\\\?\\C:\\", "\\\\srv\\share\\"};
  std::string path = random() % 4 ? kStarts[random() % 3] + RandomPath(random) : RandomPath(random);
  CheckCanonical(path, cp);
  if (Judge(path, {"C:\\WINDOWS", "\\\\SRV\\SHARE\\X"}, cp) != kGuardFree) return;
  char canonical[2048];
  Check(CanonicalFolder(path.c_str(), cp, canonical, sizeof canonical) &&
            strlen(canonical) > CanonicalRootLength(canonical, cp) && CanonicalRootLength(canonical, cp) > 0,
        "a free path is readable and not a root", path);
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
  WalkCounts walks;
  while (clock() < end && failures < 10) {
    const GuardCodePage& cp = random() % 2 ? ascii : dbcs;
    CheckSpellings(random, cp);
    CheckWalk(random, cp, &walks);
    if (random() % 4 == 0) CheckPieces(random, cp);
    ++runs;
  }
  // The walks must reach both kinds of folder often, or they checked little.
  long all = walks.protectedOnes + walks.freeOnes + walks.unreadable;
  Check(walks.protectedOnes * 10 >= all && walks.freeOnes * 10 >= all, "walks reach protected and free folders",
        std::to_string(walks.protectedOnes) + " protected, " + std::to_string(walks.freeOnes) + " free");
  printf("guard fuzz: seed %u, %ld runs, %ld walks (%ld protected, %ld free, %ld unreadable), %d failures\n", seed,
         runs, all, walks.protectedOnes, walks.freeOnes, walks.unreadable, failures);
  return failures ? 1 : 0;
}
