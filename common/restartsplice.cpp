// The text editing of the restart list: where the entry goes and what surrounds it.
#include "common/restartsplice.h"

#include <cstring>

namespace {

constexpr const char* kHeaderForms[] = {"[rename]", "[RENAME]", "[Rename]", "[ReName]"};
constexpr const char kSectionHeader[] = "[rename]\r\n";

// The first occurrence of needle in text[from, len), or len when there is none.
size_t FindBytes(const char* text, size_t len, size_t from, const char* needle, size_t needleLen) {
  if (needleLen > len) return len;
  for (size_t at = from; at + needleLen <= len; ++at) {
    if (memcmp(text + at, needle, needleLen) == 0) return at;
  }
  return len;
}

// The first accepted header form, in the order of the table, wherever it lies.
size_t FindRenameHeader(const char* text, size_t len) {
  for (const char* form : kHeaderForms) {
    size_t at = FindBytes(text, len, 0, form, strlen(form));
    if (at < len) return at;
  }
  return len;
}

struct Writer {
  char* out;
  size_t cap;
  size_t used;
};

void Put(Writer* w, const char* bytes, size_t n) {
  memcpy(w->out + w->used, bytes, n);
  w->used += n;
}

}  // namespace

size_t SpliceRestartEntry(const char* text, size_t textLen, const char* shortPath, char* out, size_t outCap) {
  size_t pathLen = strlen(shortPath);
  size_t header = FindRenameHeader(text, textLen);
  size_t next = textLen;
  if (header < textLen) next = FindBytes(text, textLen, header + 1, "\r\n[", 3);

  bool insert = next < textLen;
  bool needLineEnd = !insert && textLen > 0 && text[textLen - 1] != '\n';
  bool needHeader = header >= textLen;
  size_t total = textLen + 4 + pathLen + 2 + (needLineEnd ? 2 : 0) + (needHeader ? sizeof kSectionHeader - 1 : 0);
  if (total > outCap || total < textLen) return 0;

  Writer w = {out, outCap, 0};
  size_t head = insert ? next + 2 : textLen;
  Put(&w, text, head);
  if (needLineEnd) Put(&w, "\r\n", 2);
  if (needHeader) Put(&w, kSectionHeader, sizeof kSectionHeader - 1);
  Put(&w, "NUL=", 4);
  Put(&w, shortPath, pathLen);
  Put(&w, "\r\n", 2);
  Put(&w, text + head, textLen - head);
  return w.used;
}
