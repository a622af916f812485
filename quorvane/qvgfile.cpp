// Settings files (".qvg"): export of a registry subtree and its import.
//
// File format
// -----------
// An ANSI text file, lines ending in CR LF (LF alone is read too):
//
//   Quorvane Settings File 1
//   [HKEY_CURRENT_USER\Software\Quorvane\Toolbar]
//   "TrayIcon"=dword:00000001
//   "StopSound"="C:\\Sounds\\knock.wav"
//   @="the key's default value"
//   "Data"=hex(3):01,02,ff
//   "List"=hex(7):61,00,62,00,00
//
//   [HKEY_CURRENT_USER\Software\Quorvane\Toolbar\Sub]
//   End of settings: 5 values
//
// - Line 1 is exactly "Quorvane Settings File 1".
// - "[ROOT\path]" starts a key; ROOT is HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
//   (HKCU and HKLM are read too). Every key of the exported tree has its line,
//   also a key without values, so empty subkeys come back too.
// - A value line is the name, "=" and the data. The name is "@" for the
//   default (unnamed) value, otherwise quoted. The data is one of:
//     dword:XXXXXXXX        a REG_DWORD of 4 bytes, 8 hex digits;
//     "text"                a REG_SZ whose data is the text and exactly one
//                           terminating zero;
//     hex(T):HH,HH,...      any other value, byte for byte (T = type in hex;
//                           no bytes after the colon for an empty value).
//   In quoted names and texts \\ is a backslash, \" a quote and \xHH the byte
//   HH; control bytes are always written as \xHH, other bytes as they are.
// - Empty lines and lines starting with ';' are ignored.
// - The last line is "End of settings: N values", N being the number of value
//   lines; anything missing from the end of the file is detected that way.
//
// Import reads and checks the whole file before it writes anything, and
// accepts only keys of the family's own trees of the user: HKEY_CURRENT_USER
// "Software\Quorvane[\...]" and "Software\AppDataLow\Software\Quorvane[\...]".
// Machine-wide keys ("InstallPath" among them) are never written from a file.
#include "quorvane/internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

constexpr const char* kHeader = "Quorvane Settings File 1";
constexpr const char* kEndLine = "End of settings: ";
constexpr DWORD kMaxSettingsFile = 64 * 1024 * 1024;

// A growing text in memory.
struct Text {
  char* data;
  size_t length;
  size_t capacity;
  bool failed;
};

void Append(Text& t, const char* s, size_t n) {
  if (t.failed) return;
  if (t.length + n + 1 > t.capacity) {
    size_t capacity = t.capacity ? t.capacity : 4096;
    while (capacity < t.length + n + 1) capacity *= 2;
    void* grown = realloc(t.data, capacity);
    if (!grown) {
      t.failed = true;
      return;
    }
    t.data = static_cast<char*>(grown);
    t.capacity = capacity;
  }
  memcpy(t.data + t.length, s, n);
  t.length += n;
  t.data[t.length] = 0;
}

void Append(Text& t, const char* s) { Append(t, s, strlen(s)); }

// A quoted name or text with \\, \" and \xHH.
void AppendQuoted(Text& t, const BYTE* s, size_t n) {
  Append(t, "\"", 1);
  for (size_t i = 0; i < n; ++i) {
    BYTE c = s[i];
    char escaped[8];
    if (c == '\\' || c == '"') {
      escaped[0] = '\\';
      escaped[1] = static_cast<char>(c);
      Append(t, escaped, 2);
    } else if (c < 0x20 || c == 0x7F) {
      snprintf(escaped, sizeof escaped, "\\x%02x", c);
      Append(t, escaped, 4);
    } else {
      Append(t, reinterpret_cast<const char*>(&c), 1);
    }
  }
  Append(t, "\"", 1);
}

bool IsPlainText(DWORD type, const BYTE* data, DWORD size) {
  if (type != REG_SZ || size == 0 || data[size - 1] != 0) return false;
  return memchr(data, 0, size - 1) == nullptr;
}

void AppendValue(Text& t, const char* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size) {
  if (nameLength == 0)
    Append(t, "@");
  else
    AppendQuoted(t, reinterpret_cast<const BYTE*>(name), nameLength);
  Append(t, "=");
  char number[32];
  if (type == REG_DWORD && size == 4) {
    DWORD v;
    memcpy(&v, data, 4);
    snprintf(number, sizeof number, "dword:%08lx", static_cast<unsigned long>(v));
    Append(t, number);
  } else if (IsPlainText(type, data, size)) {
    AppendQuoted(t, data, size - 1);
  } else {
    snprintf(number, sizeof number, "hex(%lx):", static_cast<unsigned long>(type));
    Append(t, number);
    for (DWORD i = 0; i < size; ++i) {
      snprintf(number, sizeof number, i ? ",%02x" : "%02x", data[i]);
      Append(t, number);
    }
  }
  Append(t, "\r\n", 2);
}

// Writes key path (root name + "\" + subkey) and everything below it.
bool ExportKey(Text& t, HKEY root, const char* rootName, const char* subkey, int* values) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  for (const char* p = subkey; *p; ++p)
    if (static_cast<BYTE>(*p) < 0x20 || *p == ']') {  // cannot be written on a key line
      RegCloseKey(key);
      return false;
    }
  Append(t, "[");
  Append(t, rootName);
  Append(t, "\\");
  Append(t, subkey);
  Append(t, "]\r\n");
  DWORD maxName = 0, maxData = 0, subkeys = 0;
  bool ok = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, &maxName,
                             &maxData, nullptr, nullptr) == ERROR_SUCCESS;
  char* name = static_cast<char*>(malloc(maxName + 2));
  BYTE* data = static_cast<BYTE*>(malloc(maxData + 1));
  if (!name || !data) ok = false;
  for (DWORD i = 0; ok; ++i) {
    DWORD nameLength = maxName + 1, size = maxData, type = 0;
    LONG rc = RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) {
      ok = false;
      break;
    }
    AppendValue(t, name, nameLength, type, data, size);
    ++*values;
  }
  free(name);
  free(data);
  // Subkeys: names first, then each subtree.
  char child[256];
  for (DWORD i = 0; ok && i < subkeys; ++i) {
    DWORD len = sizeof child;
    LONG rc = RegEnumKeyExA(key, i, child, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    char path[1024];
    if (rc != ERROR_SUCCESS || snprintf(path, sizeof path, "%s\\%s", subkey, child) >= static_cast<int>(sizeof path)) {
      ok = false;
      break;
    }
    ok = ExportKey(t, root, rootName, path, values);
  }
  RegCloseKey(key);
  return ok && !t.failed;
}

// "HKEY_CURRENT_USER\..." or "HKCU\..."; the subkey after the first backslash.
bool ParseRoot(const char* path, size_t length, HKEY* root, const char** rootName, size_t* rootLength) {
  static const struct {
    const char* name;
    HKEY root;
    const char* full;
  } kRoots[] = {{"HKEY_CURRENT_USER", HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                {"HKCU", HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                {"HKLM", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}};
  for (const auto& r : kRoots) {
    size_t n = strlen(r.name);
    if (length >= n && _strnicmp(path, r.name, n) == 0 && (length == n || path[n] == '\\')) {
      *root = r.root;
      *rootName = r.full;
      *rootLength = n;
      return true;
    }
  }
  return false;
}

bool StartsWithKey(const char* subkey, const char* prefix) {
  size_t n = strlen(prefix);
  return _strnicmp(subkey, prefix, n) == 0 && (subkey[n] == 0 || subkey[n] == '\\');
}

// Only the user's own keys: a settings file lies where others can write it (beside
// a package, in a download), and an elevated program may import it.
bool IsFamilyKey(HKEY root, const char* subkey) {
  if (root != HKEY_CURRENT_USER) return false;
  if (!subkey[0] || subkey[strlen(subkey) - 1] == '\\' || strstr(subkey, "\\\\")) return false;
  return StartsWithKey(subkey, "Software\\Quorvane") ||
         StartsWithKey(subkey, "Software\\AppDataLow\\Software\\Quorvane");
}

// ---- Import -------------------------------------------------------------

enum class Failure { None, NotSettings, Damaged, Foreign, Write };

struct Parser {
  int lineNumber;
  HKEY root;
  char subkey[1024];
  HKEY key;          // open key while writing
  bool haveKey;
  int values;
  bool write;        // second pass: write what the first pass checked
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at *p into out (room for the line's length); the length or -1.
long ReadQuoted(const char** p, BYTE* out) {
  const char* s = *p;
  if (*s != '"') return -1;
  ++s;
  long n = 0;
  for (;;) {
    BYTE c = static_cast<BYTE>(*s);
    if (c == 0) return -1;
    if (c == '"') break;
    if (c == '\\') {
      if (s[1] == '\\' || s[1] == '"') {
        out[n++] = static_cast<BYTE>(s[1]);
        s += 2;
      } else if (s[1] == 'x' && HexDigit(s[2]) >= 0 && HexDigit(s[3]) >= 0) {
        out[n++] = static_cast<BYTE>(HexDigit(s[2]) * 16 + HexDigit(s[3]));
        s += 4;
      } else {
        return -1;
      }
    } else if (c < 0x20 && c != '\t') {
      return -1;
    } else {
      out[n++] = c;
      ++s;
    }
  }
  *p = s + 1;
  return n;
}

Failure KeyLine(Parser& ps, const char* line, size_t len) {
  if (len < 3 || line[len - 1] != ']') return Failure::Damaged;
  const char* path = line + 1;
  size_t pathLength = len - 2;
  const char* rootName;
  size_t rootLength;
  HKEY root;
  if (!ParseRoot(path, pathLength, &root, &rootName, &rootLength)) return Failure::Foreign;
  if (pathLength <= rootLength + 1 || pathLength - rootLength - 1 >= sizeof ps.subkey) return Failure::Foreign;
  memcpy(ps.subkey, path + rootLength + 1, pathLength - rootLength - 1);
  ps.subkey[pathLength - rootLength - 1] = 0;
  if (!IsFamilyKey(root, ps.subkey)) return Failure::Foreign;
  ps.root = root;
  ps.haveKey = true;
  if (ps.write) {
    if (ps.key) RegCloseKey(ps.key);
    ps.key = nullptr;
    if (RegCreateKeyExA(root, ps.subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &ps.key, nullptr) != ERROR_SUCCESS)
      return Failure::Write;
  }
  return Failure::None;
}

Failure ValueLine(Parser& ps, const char* line, size_t len) {
  if (!ps.haveKey) return Failure::Damaged;
  // Name and data never decode to more bytes than the line has.
  BYTE* buffer = static_cast<BYTE*>(malloc(2 * len + 2));
  if (!buffer) return Failure::Damaged;
  BYTE* name = buffer;
  BYTE* data = buffer + len + 1;
  const char* p = line;
  long nameLength = 0;
  Failure result = Failure::Damaged;
  if (*p == '@') {
    ++p;
  } else if ((nameLength = ReadQuoted(&p, name)) < 0) {
    free(buffer);
    return Failure::Damaged;
  }
  name[nameLength] = 0;
  DWORD type = 0;
  long size = -1;
  // A registry value name has at most 16383 characters and no zero byte.
  if (*p++ == '=' && nameLength <= 16383 && memchr(name, 0, nameLength) == nullptr) {
    if (strncmp(p, "dword:", 6) == 0) {
      p += 6;
      DWORD v = 0;
      int digits = 0;
      for (; HexDigit(*p) >= 0 && digits < 9; ++p, ++digits) v = v * 16 + HexDigit(*p);
      if (digits == 8 && *p == 0) {
        type = REG_DWORD;
        memcpy(data, &v, 4);
        size = 4;
      }
    } else if (*p == '"') {
      long n = ReadQuoted(&p, data);
      if (n >= 0 && *p == 0 && memchr(data, 0, n) == nullptr) {
        data[n] = 0;
        type = REG_SZ;
        size = n + 1;
      }
    } else if (strncmp(p, "hex(", 4) == 0) {
      p += 4;
      int digits = 0;
      for (; HexDigit(*p) >= 0 && digits < 9; ++p, ++digits) type = type * 16 + HexDigit(*p);
      if (digits >= 1 && digits <= 8 && p[0] == ')' && p[1] == ':') {
        p += 2;
        long n = 0;
        bool ok = true;
        while (*p && ok) {
          if (n && *p++ != ',') ok = false;
          else if (HexDigit(p[0]) < 0 || HexDigit(p[1]) < 0) ok = false;
          else {
            data[n++] = static_cast<BYTE>(HexDigit(p[0]) * 16 + HexDigit(p[1]));
            p += 2;
          }
        }
        if (ok) size = n;
      }
    }
  }
  if (size >= 0) {
    result = Failure::None;
    ++ps.values;
    if (ps.write && RegSetValueExA(ps.key, reinterpret_cast<const char*>(name), 0, type, data,
                                   static_cast<DWORD>(size)) != ERROR_SUCCESS)
      result = Failure::Write;
  }
  free(buffer);
  return result;
}

// Runs over the whole file text (size bytes, left unchanged); failLine
// receives the line of a failure.
Failure ParseSettings(const char* text, DWORD size, bool write, int* failLine) {
  Parser ps = {};
  ps.write = write;
  char* line = static_cast<char*>(malloc(size + 1));
  if (!line) return Failure::Damaged;
  bool ended = false;
  Failure result = Failure::None;
  DWORD at = 0;
  while (at < size && result == Failure::None) {
    const char* start = text + at;
    const char* stop = static_cast<const char*>(memchr(start, '\n', size - at));
    size_t len = stop ? static_cast<size_t>(stop - start) : size - at;
    at += static_cast<DWORD>(len) + (stop ? 1 : 0);
    memcpy(line, start, len);
    if (len && line[len - 1] == '\r') --len;
    line[len] = 0;
    ++ps.lineNumber;
    if (ps.lineNumber == 1) {
      if (strcmp(line, kHeader) != 0) result = Failure::NotSettings;
    } else if (len == 0 || line[0] == ';') {
    } else if (ended) {
      result = Failure::Damaged;  // nothing may follow the end line
    } else if (strncmp(line, kEndLine, strlen(kEndLine)) == 0) {
      char* end = nullptr;
      const char* number = line + strlen(kEndLine);
      unsigned long count = (*number >= '0' && *number <= '9') ? strtoul(number, &end, 10) : 0;
      if (!end || strcmp(end, " values") != 0 || count != static_cast<unsigned long>(ps.values))
        result = Failure::Damaged;
      ended = true;
    } else if (line[0] == '[') {
      result = KeyLine(ps, line, len);
    } else {
      result = ValueLine(ps, line, len);
    }
  }
  free(line);
  if (ps.key) RegCloseKey(ps.key);
  if (result == Failure::None && !ended) {
    result = ps.lineNumber == 0 ? Failure::NotSettings : Failure::Damaged;
    ps.lineNumber += 1;
  }
  *failLine = ps.lineNumber;
  return result;
}

char* ReadSettingsFile(const char* path, DWORD* size, bool* tooLarge) {
  *tooLarge = false;
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return nullptr;
  DWORD n = GetFileSize(f, nullptr);
  char* data = nullptr;
  if (n == INVALID_FILE_SIZE || n > kMaxSettingsFile)
    *tooLarge = true;
  else
    data = static_cast<char*>(malloc(n + 1));
  DWORD got = 0;
  if (data && (!ReadFile(f, data, n, &got, nullptr) || got != n)) {
    free(data);
    data = nullptr;
  }
  CloseHandle(f);
  if (data) {
    data[n] = 0;
    *size = n;
  }
  return data;
}

void ShowImportError(const char* format, const char* path, int line) {
  char message[1200];
  snprintf(message, sizeof message, LibTranslate(format, LIB_TRANSLATE_FORMAT), path, line);
  ShowErrorText(message);
}

bool WriteWholeFile(const char* path, const char* data, size_t size) {
  char temp[MAX_PATH];
  if (snprintf(temp, sizeof temp, "%s.qvtmp", path) >= MAX_PATH) return false;
  HANDLE f = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  ok = FlushFileBuffers(f) && ok;
  ok = CloseHandle(f) && ok;
  if (ok) ok = MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) DeleteFileA(temp);
  return ok;
}

}  // namespace
}  // namespace qv

using namespace qv;

int LibExportRegistryKey(int flags, const char* keyPath, const char* file) {
  if (!keyPath || !file || !file[0]) return 0;
  HKEY root;
  const char* rootName;
  size_t rootLength;
  if (!ParseRoot(keyPath, strlen(keyPath), &root, &rootName, &rootLength)) return 0;
  const char* subkey = keyPath + rootLength + (keyPath[rootLength] == '\\' ? 1 : 0);
  if (!subkey[0]) return 0;  // a whole hive is no settings tree
  char path[1024];
  CopyText(path, sizeof path, subkey);
  size_t n = strlen(path);
  while (n && path[n - 1] == '\\') path[--n] = 0;
  Text t = {};
  Append(t, kHeader);
  Append(t, "\r\n");
  int values = 0;
  bool ok = ExportKey(t, root, rootName, path, &values);
  char end[64];
  snprintf(end, sizeof end, "%s%d values\r\n", kEndLine, values);
  Append(t, end);
  ok = ok && !t.failed && WriteWholeFile(file, t.data, t.length);
  free(t.data);
  return ok ? 1 : 0;
}

int LibImportSettingsFile(const char* path) {
  if (!path) return 0;
  DWORD size = 0;
  bool tooLarge = false;
  char* text = ReadSettingsFile(path, &size, &tooLarge);
  if (!text) {
    ShowImportError(tooLarge ? LIB_TEXT("The file %s is not a Quorvane settings file.")
                             : LIB_TEXT("Cannot read the settings file %s."),
                    path, 0);
    return 0;
  }
  int line = 0;
  Failure failure = memchr(text, 0, size) ? Failure::NotSettings : ParseSettings(text, size, false, &line);
  if (failure == Failure::None) failure = ParseSettings(text, size, true, &line);
  free(text);
  switch (failure) {
    case Failure::None:
      return 1;
    case Failure::NotSettings:
      ShowImportError(LIB_TEXT("The file %s is not a Quorvane settings file."), path, line);
      break;
    case Failure::Damaged:
      ShowImportError(LIB_TEXT("The settings file %s is damaged or incomplete (line %d)."), path, line);
      break;
    case Failure::Foreign:
      ShowImportError(
          LIB_TEXT("The settings file %s names a registry key outside the Quorvane settings (line %d). Nothing was "
                   "imported."),
          path, line);
      break;
    case Failure::Write:
      ShowImportError(LIB_TEXT("Cannot write the settings of the file %s to the registry (line %d)."), path, line);
      break;
  }
  return 0;
}
