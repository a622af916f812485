// Translation of user-visible texts.
//
// Language files
// --------------
// The language is the number setting "GeneralLanguage" (0-19; 0, missing or
// out of range = English). Translations come from three text files:
// "<internal name>_Lang.txt" (e.g. "Toolbar_Lang.txt"), "Common_Lang_<N>.txt"
// (the texts of language N that the family's programs share, one file a
// language) and "Common_Lang.txt" (sections of several languages). Each is looked
// for first in the program's folder, then in its "Languages" subfolder; the first
// one found is used. An entry of an earlier file wins over the same entry in a
// later one.
//
//   ; a comment line starts with a semicolon
//   [2] codepage 1252
//   Toolbar<TAB>Werkzeugleiste
//   Cannot find the help file %s.<TAB>Die Hilfedatei %s fehlt.
//
// "[N]" starts the section of language N; lines before the first section and
// sections of other languages are ignored. " codepage C" after it names the
// Windows code page its texts are written in; without it they are taken as they
// are. An entry line is the English text, one TAB character and the translated
// text. On both sides "\t" stands for a tab, "\r" and "\n" for the line ends and
// "\\" for a backslash (any other backslash is kept as it is). The English text
// must match the whole text exactly (case-sensitive). Lines may end in CR LF or
// LF. Empty lines and lines without a TAB are ignored.
//
// A translation written in a code page other than the system's (the language's
// own Windows used it for ANSI programs) is turned into the system's code page
// when it is loaded; a translation that has a character the system's code page
// cannot show is dropped, and that text stays English.
//
// Results
// -------
// With the flag LIB_TRANSLATE_FORMAT the text is a printf format: a translation
// whose conversions differ from the English text's (other kinds, more or fewer,
// another order, "%n") is not used, and the English text is returned.
//
// LibTranslate returns a pointer into a small ring of per-thread buffers
// (8 of 4096 bytes): use it at once. "::" becomes a line break (CR LF), so
// "::::" is an empty line. A longer result is cut.
#include "quorvane/internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/catalogue.h"
#include "common/paths.h"

namespace qv {
namespace {

constexpr int kRingBuffers = 8;
constexpr int kRingChars = 4096;
constexpr int kLanguages = kLanguageCount;
constexpr DWORD kMaxLanguageFile = 8 * 1024 * 1024;

struct RingBuffers {
  int next;
  char text[kRingBuffers][kRingChars];
};

struct Entry {
  const char* english;
  const char* translated;
  int order;   // position in the files: the first of equal entries wins
  bool owned;  // translated is a copy of its own (made in the system's code page)
};

constexpr int kFiles = 3;

struct Table {
  int language;           // loaded language, -1 before the first load
  char name[64];          // internal name the table was loaded for
  char* files[kFiles];    // file contents; the entries point into them
  Entry* entries;
  int count;
};

DWORD g_tls = TLS_OUT_OF_INDEXES;
CRITICAL_SECTION g_lock;
Table g_table = {-1, {}, {nullptr, nullptr, nullptr}, nullptr, 0};
const char kEmpty[] = "";

char* NextBuffer() {
  if (g_tls == TLS_OUT_OF_INDEXES) return nullptr;
  auto* ring = static_cast<RingBuffers*>(TlsGetValue(g_tls));
  if (!ring) {
    ring = static_cast<RingBuffers*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RingBuffers)));
    if (!ring) return nullptr;
    TlsSetValue(g_tls, ring);
  }
  char* buffer = ring->text[ring->next];
  ring->next = (ring->next + 1) % kRingBuffers;
  return buffer;
}

void FreeTable() {
  for (int i = 0; i < g_table.count; ++i)
    if (g_table.entries[i].owned) free(const_cast<char*>(g_table.entries[i].translated));
  free(g_table.entries);
  for (char*& file : g_table.files) {
    free(file);
    file = nullptr;
  }
  g_table.entries = nullptr;
  g_table.count = 0;
}

// Reads a whole file (terminated); null when missing, unreadable or too large.
char* ReadWholeFile(const char* path) {
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return nullptr;
  DWORD size = GetFileSize(f, nullptr);
  char* data = nullptr;
  if (size != INVALID_FILE_SIZE && size <= kMaxLanguageFile) data = static_cast<char*>(malloc(size + 1));
  DWORD got = 0;
  if (data && (!ReadFile(f, data, size, &got, nullptr) || got != size)) {
    free(data);
    data = nullptr;
  }
  CloseHandle(f);
  if (data) data[size] = 0;
  return data;
}

// Finds "<name>" in the program folder, then in its "Languages" subfolder.
char* ReadLanguageFile(const char* fileName) {
  char folder[MAX_PATH];
  ProgramFolder(folder, sizeof folder);
  char path[MAX_PATH * 2];
  char* data = JoinPath(path, MAX_PATH, folder, fileName) ? ReadWholeFile(path) : nullptr;
  if (data) return data;
  char languages[MAX_PATH];
  if (!JoinPath(languages, sizeof languages, folder, "Languages")) return nullptr;
  return JoinPath(path, MAX_PATH, languages, fileName) ? ReadWholeFile(path) : nullptr;
}

// Decodes \t, \r, \n and \\ in place.
void Unescape(char* s) {
  char* out = s;
  for (const char* in = s; *in; ++in) {
    char decoded = 0;
    if (in[0] == '\\') {
      switch (in[1]) {
        case 't': decoded = '\t'; break;
        case 'r': decoded = '\r'; break;
        case 'n': decoded = '\n'; break;
        case '\\': decoded = '\\'; break;
      }
    }
    if (decoded) {
      *out++ = decoded;
      ++in;
    } else {
      *out++ = *in;
    }
  }
  *out = 0;
}

const char* SkipBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// Reads a decimal number of at most five digits at *p.
bool ReadNumber(const char** p, int* value) {
  int n = 0, digits = 0;
  while (**p >= '0' && **p <= '9' && digits < 5) n = n * 10 + (*(*p)++ - '0'), ++digits;
  *value = n;
  return digits > 0;
}

// Section header "[N]" or "[N] codepage C": the number (-1 when the line is no
// header) and the code page (0 when none is named).
int SectionNumber(const char* line, UINT* codePage) {
  *codePage = 0;
  if (line[0] != '[') return -1;
  const char* p = line + 1;
  int n = 0, page = 0;
  if (!ReadNumber(&p, &n) || *p != ']') return -1;
  p = SkipBlanks(p + 1);
  if (strncmp(p, "codepage", 8) == 0) {
    p = SkipBlanks(p + 8);
    if (!ReadNumber(&p, &page)) return -1;
    p = SkipBlanks(p);
  }
  if (*p) return -1;
  *codePage = static_cast<UINT>(page);
  return n;
}

// The translation in the system's code page: the text itself when it is written in
// it (or names none), a copy made in it, or null when the system's code page
// cannot show one of its characters.
const char* InSystemCodePage(const char* text, UINT codePage, bool* owned) {
  *owned = false;
  if (codePage == 0 || codePage == GetACP()) return text;
  int wide = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (wide <= 0) return nullptr;
  WCHAR* unicode = static_cast<WCHAR*>(malloc(static_cast<size_t>(wide) * sizeof(WCHAR)));
  if (!unicode) return nullptr;
  MultiByteToWideChar(codePage, 0, text, -1, unicode, wide);
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, unicode, -1, nullptr, 0, nullptr, &lossy);
  char* copy = bytes > 0 && !lossy ? static_cast<char*>(malloc(static_cast<size_t>(bytes))) : nullptr;
  if (copy) WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, unicode, -1, copy, bytes, nullptr, &lossy);
  free(unicode);
  if (copy && lossy) {
    free(copy);
    copy = nullptr;
  }
  *owned = copy != nullptr;
  return copy;
}

// Cuts data into lines and adds the entries of language to the table.
bool ParseLanguage(char* data, int language) {
  int section = -1;
  UINT sectionCodePage = 0;
  char* line = data;
  while (line && *line) {
    char* next = strchr(line, '\n');
    if (next) *next++ = 0;
    size_t len = strlen(line);
    if (len && line[len - 1] == '\r') line[--len] = 0;
    char* tab;
    UINT codePage = 0;
    int number = SectionNumber(line, &codePage);
    if (line[0] == ';' || len == 0) {
    } else if (number >= 0) {
      section = number;
      sectionCodePage = codePage;
    } else if (section == language && (tab = strchr(line, '\t')) != nullptr) {
      *tab = 0;
      Unescape(line);
      Unescape(tab + 1);
      if (!tab[1]) {  // nothing translated yet: the English text stays
        line = next;
        continue;
      }
      bool owned = false;
      const char* translated = InSystemCodePage(tab + 1, sectionCodePage, &owned);
      if (!translated) {  // not to be shown here: the English text stays
        line = next;
        continue;
      }
      if ((g_table.count & 255) == 0) {
        void* grown = realloc(g_table.entries, (g_table.count + 256) * sizeof(Entry));
        if (!grown) {
          if (owned) free(const_cast<char*>(translated));
          return false;
        }
        g_table.entries = static_cast<Entry*>(grown);
      }
      g_table.entries[g_table.count] = {line, translated, g_table.count, owned};
      ++g_table.count;
    }
    line = next;
  }
  return true;
}

int CompareEntries(const void* a, const void* b) {
  const Entry* x = static_cast<const Entry*>(a);
  const Entry* y = static_cast<const Entry*>(b);
  int c = strcmp(x->english, y->english);
  return c ? c : x->order - y->order;
}

int CompareKey(const void* key, const void* entry) {
  return strcmp(static_cast<const char*>(key), static_cast<const Entry*>(entry)->english);
}

void LoadTable(int language) {
  FreeTable();
  g_table.language = language;
  CopyText(g_table.name, sizeof g_table.name, g_identity.internalName1);
  if (language == 0) return;
  char fileNames[kFiles][MAX_PATH] = {};
  if (g_identity.internalName1[0]) snprintf(fileNames[0], MAX_PATH, "%s_Lang.txt", g_identity.internalName1);
  snprintf(fileNames[1], MAX_PATH, "Common_Lang_%d.txt", language);
  snprintf(fileNames[2], MAX_PATH, "%s", "Common_Lang.txt");
  for (int i = 0; i < kFiles; ++i) {
    if (!fileNames[i][0]) continue;
    g_table.files[i] = ReadLanguageFile(fileNames[i]);
    if (g_table.files[i] && !ParseLanguage(g_table.files[i], language)) break;
  }
  if (g_table.count == 0) return;
  qsort(g_table.entries, g_table.count, sizeof(Entry), CompareEntries);
  // Keep only the first of equal English texts.
  int kept = 1;
  for (int i = 1; i < g_table.count; ++i) {
    if (strcmp(g_table.entries[i].english, g_table.entries[kept - 1].english) != 0)
      g_table.entries[kept++] = g_table.entries[i];
    else if (g_table.entries[i].owned)
      free(const_cast<char*>(g_table.entries[i].translated));
  }
  g_table.count = kept;
}

int CurrentLanguage() {
  int language = LibReadSettingInt(HKEY_CURRENT_USER, "GeneralLanguage");
  return (language > 0 && language < kLanguages) ? language : 0;
}

// Called with the lock held: reloads when the language or identity changed.
void EnsureTable() {
  int language = CurrentLanguage();
  if (language != g_table.language || strcmp(g_table.name, g_identity.internalName1) != 0) LoadTable(language);
}

// Copies text into out with "::" as CR LF; never cuts between the bytes of a
// double-byte character.
void Render(char* out, const char* text) {
  size_t n = 0;
  for (const char* p = text; *p;) {
    if (p[0] == ':' && p[1] == ':') {
      if (n + 2 >= kRingChars) break;
      out[n++] = '\r';
      out[n++] = '\n';
      p += 2;
    } else if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) {
      if (n + 2 >= kRingChars) break;
      out[n++] = *p++;
      out[n++] = *p++;
    } else {
      if (n + 1 >= kRingChars) break;
      out[n++] = *p++;
    }
  }
  out[n] = 0;
}

// The argument list a printf format asks for, one entry per argument: '*' for a
// width or precision taken from the arguments, then the length modifier and the
// kind of the conversion ('i' integer, 'f' floating, 's' text, 'p' pointer).
// False for a conversion that is unknown or never acceptable in a translation
// ("%n", numbered arguments).
bool FormatArguments(const char* format, char* out, size_t cap) {
  size_t n = 0;
  auto put = [&](char c) {
    if (n + 1 >= cap) return false;
    out[n++] = c;
    return true;
  };
  for (const char* p = format; *p; ++p) {
    if (*p != '%') continue;
    if (*++p == '%') continue;
    while (*p && strchr("-+ #0'", *p)) ++p;
    if (*p == '*') {
      if (!put('*')) return false;
      ++p;
    }
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '$') return false;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        if (!put('*')) return false;
        ++p;
      }
      while (*p >= '0' && *p <= '9') ++p;
    }
    while (*p && strchr("hlLqjztI3264", *p)) {
      if (!put(*p)) return false;
      ++p;
    }
    char kind;
    if (*p && strchr("diouxXc", *p)) kind = 'i';
    else if (*p && strchr("eEfFgGaA", *p)) kind = 'f';
    else if (*p == 's') kind = 's';
    else if (*p == 'p') kind = 'p';
    else return false;
    if (!put(kind) || !put(';')) return false;
  }
  out[n] = 0;
  return true;
}

// A translated format may stand in for the English one.
bool SameConversions(const char* english, const char* translated) {
  char a[kRingChars], b[kRingChars];
  return FormatArguments(english, a, sizeof a) && FormatArguments(translated, b, sizeof b) && strcmp(a, b) == 0;
}

void TranslateInto(char* out, const char* text, bool format) {
  EnterCriticalSection(&g_lock);
  EnsureTable();
  const Entry* hit = g_table.count ? static_cast<const Entry*>(
                                         bsearch(text, g_table.entries, g_table.count, sizeof(Entry), CompareKey))
                                   : nullptr;
  if (hit && format && !SameConversions(text, hit->translated)) hit = nullptr;
  Render(out, hit ? hit->translated : text);
  LeaveCriticalSection(&g_lock);
}

// Only captions, buttons and labels carry texts of ours; edits, lists and the
// like hold the user's data.
bool HasTranslatableText(HWND w) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  return lstrcmpiA(cls, "Button") == 0 || lstrcmpiA(cls, "Static") == 0 || lstrcmpiA(cls, "SysLink") == 0;
}

void TranslateWindowText(HWND w) {
  char* text = NextBuffer();
  char* result = NextBuffer();
  if (!text || !result) return;
  if (GetWindowTextA(w, text, kRingChars) <= 0) return;
  TranslateInto(result, text, false);
  if (strcmp(text, result) != 0) SetWindowTextA(w, result);
}

BOOL CALLBACK TranslateChild(HWND child, LPARAM) {
  if (HasTranslatableText(child)) TranslateWindowText(child);
  return TRUE;
}

}  // namespace

void TranslationStartup() {
  InitializeCriticalSection(&g_lock);
  g_tls = TlsAlloc();
}

void TranslationThreadDone() {
  if (g_tls == TLS_OUT_OF_INDEXES) return;
  void* ring = TlsGetValue(g_tls);
  if (ring) {
    HeapFree(GetProcessHeap(), 0, ring);
    TlsSetValue(g_tls, nullptr);
  }
}

void TranslationShutdown() {
  FreeTable();
  if (g_tls != TLS_OUT_OF_INDEXES) TlsFree(g_tls);
  g_tls = TLS_OUT_OF_INDEXES;
  DeleteCriticalSection(&g_lock);
}

void ReloadLanguage() {
  EnterCriticalSection(&g_lock);
  LoadTable(CurrentLanguage());
  LeaveCriticalSection(&g_lock);
}

}  // namespace qv

using namespace qv;

const char* LibTranslate(const char* textOrDialog, int flag) {
  if (!textOrDialog) return kEmpty;
  HWND dialog = reinterpret_cast<HWND>(const_cast<char*>(textOrDialog));
  if (IsWindow(dialog)) {
    TranslateWindowText(dialog);
    EnumChildWindows(dialog, TranslateChild, 0);
    return kEmpty;
  }
  char* out = NextBuffer();
  if (!out) return kEmpty;
  TranslateInto(out, textOrDialog, (flag & LIB_TRANSLATE_FORMAT) != 0);
  return out;
}
