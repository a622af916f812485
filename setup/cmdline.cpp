// setup's command line.
#include "setup/cmdline.h"

#include <cstring>

namespace {

// Copies [begin, end) into out (cap bytes); false (out empty) when it does not fit.
bool CopyRange(const char* begin, const char* end, char* out, size_t cap) {
  size_t n = static_cast<size_t>(end - begin);
  if (n + 1 > cap) {
    out[0] = 0;
    return false;
  }
  memcpy(out, begin, n);
  out[n] = 0;
  return true;
}

void ReadPath(const char* at, SetupCommandLine* line) {
  if (!*at) {  // nothing after the colon: an empty value
    line->hasPath = true;
    return;
  }
  char first = *at++;  // skipped, whatever it is
  const char* end = strchr(at, first == '"' ? '"' : ' ');
  if (!end) end = at + strlen(at);
  line->hasPath = CopyRange(at, end, line->path, sizeof line->path);
  line->pathTooLong = !line->hasPath;
}

long ReadNumber(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value > 100000000L) break;  // far beyond any language: no overflow
    value = value * 10 + (*p - '0');
  }
  return negative ? -value : value;
}

void ReadPackage(const char* at, SetupCommandLine* line) {
  const char* end = strchr(at, '"');
  if (!end) end = at + strlen(at);
  const char* slash = nullptr;
  for (const char* p = at; p < end; ++p)
    if (*p == '\\') slash = p;
  if (!slash) return;  // no folder: nothing is looked for
  line->hasPackage = CopyRange(at, slash + 1, line->packageFolder, sizeof line->packageFolder);
  line->packageTooLong = !line->hasPackage;
}

}  // namespace

SetupCommandLine ParseSetupCommandLine(const char* arguments, const char* fullLine) {
  SetupCommandLine line;
  if (!arguments) arguments = "";
  if (!fullLine) fullLine = "";
  line.silent = strstr(arguments, "/silent") != nullptr;
  line.noShortcuts = strstr(arguments, "/noshort") != nullptr;
  line.noStart = strstr(arguments, "/nostart") != nullptr;
  if (const char* p = strstr(arguments, "/path:")) ReadPath(p + 6, &line);
  if (const char* p = strstr(arguments, "/language:")) {
    line.hasLanguage = true;
    line.language = ReadNumber(p + 10);
  }
  if (const char* p = strstr(fullLine, "/sfxpath:")) ReadPackage(p + 9, &line);
  line.sfxStart = strstr(fullLine, "/sfxstart") != nullptr;
  return line;
}
