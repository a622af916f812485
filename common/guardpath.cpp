// The folder guard's path part (see guardpath.h).
#include "common/guardpath.h"

#include <cstring>

namespace {

constexpr size_t kMaxComponents = 1024;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when text begins with word, ASCII case ignored.
bool StartsWithWord(const char* text, const char* word) {
  for (; *word; ++text, ++word)
    if (UpperAscii(*text) != *word) return false;
  return true;
}

// The output being built: bounded, never overflowed.
struct Out {
  char* text;
  size_t cap;
  size_t used;
  bool ok;
};

void Put(Out& o, char c) {
  if (!o.ok || o.used + 1 >= o.cap) {
    o.ok = false;
    return;
  }
  o.text[o.used++] = c;
  o.text[o.used] = 0;
}

// Copies one character of p (one or two bytes) upper-cased; returns the bytes taken.
size_t PutCharacter(Out& o, const char* p, const GuardCodePage& cp) {
  unsigned char b = static_cast<unsigned char>(p[0]);
  if (cp.lead[b] && p[1]) {
    Put(o, p[0]);
    Put(o, p[1]);
    return 2;
  }
  Put(o, static_cast<char>(cp.upper[b]));
  return 1;
}

// Copies one name (up to the next separator) upper-cased; returns where it ended.
const char* PutName(Out& o, const char* p, const GuardCodePage& cp) {
  while (*p && !IsSeparator(*p)) p += PutCharacter(o, p, cp);
  return p;
}

// The root of path into o; returns where the components begin, or null.
const char* PutRoot(Out& o, const char* path, const GuardCodePage& cp) {
  const char* p = path;
  bool prefixed = false;
  // "\\?\", "\\.\" (either slash), and the native "\??\".
  if (IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == '?' || p[2] == '.') && IsSeparator(p[3])) {
    p += 4;
    prefixed = true;
  } else if (p[0] == '\\' && p[1] == '?' && p[2] == '?' && p[3] == '\\') {
    p += 4;
    prefixed = true;
  }
  if (IsLetter(p[0]) && p[1] == ':' && (IsSeparator(p[2]) || (prefixed && !p[2]))) {
    Put(o, UpperAscii(p[0]));
    Put(o, ':');
    return p + 2;
  }
  bool share = !prefixed && IsSeparator(p[0]) && IsSeparator(p[1]);
  if (prefixed && StartsWithWord(p, "UNC") && IsSeparator(p[3])) {
    share = true;
    p += 4;
  } else if (share) {
    p += 2;
  }
  if (share) {
    Put(o, '\\');
    Put(o, '\\');
    for (int part = 0; part < 2; ++part) {  // server, then share
      if (part) {
        if (!IsSeparator(*p)) return nullptr;
        ++p;
        Put(o, '\\');
      }
      if (!*p || IsSeparator(*p)) return nullptr;
      size_t name = o.used;
      p = PutName(o, p, cp);
      // A server "." or "?" would read as the "\\.\" or "\\?\" prefix.
      if (!part && (o.used - name == 1 || strcmp(o.text + name, "..") == 0) &&
          (o.text[name] == '.' || o.text[name] == '?'))
        return nullptr;
    }
    return p;
  }
  if (prefixed && StartsWithWord(p, "VOLUME{")) {
    const char* close = strchr(p, '}');
    if (!close || (close[1] && !IsSeparator(close[1]))) return nullptr;
    for (const char* s = "\\\\?\\"; *s; ++s) Put(o, *s);
    while (p <= close) p += PutCharacter(o, p, cp);
    return p;
  }
  return nullptr;  // relative, drive-relative, root-relative, or a device
}

// Where the separator after a name of canonical text starting at p lies (or its end).
const char* NameEnd(const char* p, const GuardCodePage& cp) {
  while (*p && *p != '\\') p += (cp.lead[static_cast<unsigned char>(*p)] && p[1]) ? 2 : 1;
  return p;
}

}  // namespace

size_t CanonicalRootLength(const char* canonical, const GuardCodePage& cp) {
  const char* c = canonical;
  if (c[0] && c[1] == ':') return 2;
  if (strncmp(c, "\\\\?\\VOLUME{", 11) == 0) {
    const char* close = strchr(c, '}');
    return close ? static_cast<size_t>(close - c) + 1 : 0;
  }
  if (c[0] != '\\' || c[1] != '\\') return 0;
  const char* server = NameEnd(c + 2, cp);
  if (*server != '\\') return 0;
  return static_cast<size_t>(NameEnd(server + 1, cp) - c);
}

void AsciiGuardCodePage(GuardCodePage* cp) {
  for (int i = 0; i < 256; ++i) {
    cp->lead[i] = false;
    cp->upper[i] = static_cast<unsigned char>(UpperAscii(static_cast<char>(i)));
  }
}

bool CanonicalFolder(const char* path, const GuardCodePage& cp, char* out, size_t cap) {
  if (!path || !out || cap == 0) return false;
  out[0] = 0;
  Out o = {out, cap, 0, true};
  const char* p = PutRoot(o, path, cp);
  if (!p || !o.ok) {
    out[0] = 0;
    return false;
  }
  const size_t root = o.used;
  size_t starts[kMaxComponents];  // where each kept component's backslash lies
  size_t depth = 0;
  while (*p) {
    while (IsSeparator(*p)) ++p;
    if (!*p) break;
    size_t start = o.used;
    Put(o, '\\');
    size_t keep = o.used;  // after the last character that is not a trailing dot or blank
    while (*p && !IsSeparator(*p)) {
      bool trimmable = *p == '.' || *p == ' ';
      p += PutCharacter(o, p, cp);
      if (!trimmable) keep = o.used;
    }
    if (!o.ok) break;
    // Cut the trailing dots and blanks; what is left of "", ".", "..." and ".. " is empty.
    size_t named = keep - (start + 1);
    bool parent = false;
    if (named == 0) {
      // Only dots and blanks: exactly two dots before the cut is the parent.
      parent = o.used - start - 1 >= 2 && out[start + 1] == '.' && out[start + 2] == '.' &&
               (o.used - start - 1 == 2 || out[start + 3] != '.');
    }
    o.used = keep;
    out[o.used] = 0;
    if (named == 0) {
      o.used = start;
      out[o.used] = 0;
      if (parent && depth > 0) {
        o.used = starts[--depth];
        out[o.used] = 0;
      }
      continue;
    }
    if (depth == kMaxComponents) {
      o.ok = false;
      break;
    }
    starts[depth++] = start;
  }
  if (!o.ok || o.used < root) {
    out[0] = 0;
    return false;
  }
  return true;
}

GuardVerdict JudgeCanonical(const char* candidate, const char* const* protectedFolders, size_t count,
                            const GuardCodePage& cp) {
  if (!candidate || !candidate[0]) return kGuardUnreadable;
  size_t root = CanonicalRootLength(candidate, cp);
  if (root == 0) return kGuardUnreadable;
  size_t n = strlen(candidate);
  if (n == root) return kGuardProtected;  // every drive, share and volume root
  for (size_t i = 0; i < count; ++i) {
    const char* folder = protectedFolders[i];
    if (!folder || strncmp(folder, candidate, n) != 0) continue;
    if (folder[n] == 0 || folder[n] == '\\') return kGuardProtected;  // the folder itself, or a parent of it
  }
  return kGuardFree;
}

GuardVerdict JudgeFolderText(const char* candidate, const char* const* protectedFolders, size_t count,
                             const GuardCodePage& cp) {
  constexpr size_t kChars = 2048;
  char canonical[kChars];
  if (!CanonicalFolder(candidate, cp, canonical, sizeof canonical)) return kGuardUnreadable;
  for (size_t i = 0; i < count; ++i) {
    char folder[kChars];
    if (!CanonicalFolder(protectedFolders[i], cp, folder, sizeof folder)) continue;
    const char* one[] = {folder};
    if (JudgeCanonical(canonical, one, 1, cp) != kGuardFree) return kGuardProtected;
  }
  return JudgeCanonical(canonical, nullptr, 0, cp);
}
