// Pattern matching of window titles and classes.
#include "quorvane/internal.h"

#include <cstdlib>
#include <cstring>

namespace {

// Lower-cased copy (system lower-casing of the ANSI code page); caller frees.
char* LoweredCopy(const char* s) {
  size_t n = strlen(s);
  char* copy = static_cast<char*>(malloc(n + 1));
  if (!copy) return nullptr;
  memcpy(copy, s, n + 1);
  if (n) CharLowerBuffA(copy, static_cast<DWORD>(n));
  return copy;
}

// Glob match of the whole text against "*pattern*" without recursion: on a
// mismatch only the last '*' is retried one character further, so the work is
// at most length(text) x length(pattern).
bool GlobAnywhere(const char* text, const char* pattern) {
  const char* t = text;
  const char* p = pattern;
  const char* starP = nullptr;  // position after the last '*' seen (implicit one at the start)
  const char* starT = text;     // text position that '*' is currently matched up to
  starP = pattern;
  while (*t) {
    if (*p == '*') {
      while (*p == '*') ++p;
      starP = p;
      starT = t;
    } else if (*p && (*p == '?' || *p == *t)) {
      ++p;
      ++t;
    } else if (!*p) {
      return true;  // the pattern is used up: an implicit '*' takes the rest
    } else {
      p = starP;
      t = ++starT;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

}  // namespace

int LibMatchText(const char* text, const char* pattern) {
  if (!text || !pattern || !pattern[0]) return 0;
  char* t = LoweredCopy(text);
  char* p = LoweredCopy(pattern);
  int result = (t && p && GlobAnywhere(t, p)) ? 1 : 0;
  free(t);
  free(p);
  return result;
}
