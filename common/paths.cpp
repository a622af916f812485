// Path helpers shared by the programs and the library.
#include "common/paths.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

const char* LastBackslash(const char* path) {
  const char* last = nullptr;
  for (const char* p = path; *p; p = CharNextA(p))
    if (*p == '\\') last = p;
  return last;
}

bool EndsWithBackslash(const char* path) {
  const char* last = LastBackslash(path);
  return last && last[1] == 0;
}

bool AddTrailingBackslash(char* path, size_t cap) {
  if (!path[0] || EndsWithBackslash(path)) return true;
  size_t n = strlen(path);
  if (n + 2 > cap) return false;
  path[n] = '\\';
  path[n + 1] = 0;
  return true;
}

bool JoinPath(char* out, size_t cap, const char* folder, const char* name) {
  const char* gap = (!folder[0] || EndsWithBackslash(folder)) ? "" : "\\";
  size_t total = strlen(folder) + strlen(gap) + strlen(name);
  if (total + 1 > cap) return false;
  char joined[1024 * 2];
  if (total + 1 > sizeof joined) return false;
  snprintf(joined, sizeof joined, "%s%s%s", folder, gap, name);  // out may be folder itself
  memcpy(out, joined, total + 1);
  return true;
}

const char* FileNamePart(const char* path) {
  const char* last = LastBackslash(path);
  return last ? last + 1 : path;
}

bool FolderPart(char* out, size_t cap, const char* path) {
  const char* last = LastBackslash(path);
  size_t n = last ? static_cast<size_t>(last - path) + 1 : strlen(path);
  if (n + 1 > cap) return false;
  memmove(out, path, n);
  out[n] = 0;
  return true;
}

bool IsDotsEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

bool WindowsFolderFile(char* out, size_t cap, const char* name) {
  char windows[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  return JoinPath(out, cap, windows, name);
}

bool IsNtPlatform() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// From p, the end of "server\share" plus its backslash: the length of the root
// of a share path whose "\\" (or "\\?\UNC\") prefix is prefix characters long.
size_t ShareRootLength(const char* path, size_t prefix) {
  const char* server = path + prefix;
  const char* slash = strchr(server, '\\');
  if (!slash || slash == server) return 0;  // no share part, or an empty server name
  const char* share = slash + 1;
  if (!*share || *share == '\\') return 0;
  const char* end = strchr(share, '\\');
  return end ? static_cast<size_t>(end - path) + 1 : strlen(path);
}

}  // namespace

size_t PathRootLength(const char* path) {
  if (IsDriveLetter(path[0]) && path[1] == ':') return path[2] == '\\' ? 3 : 0;
  if (path[0] != '\\' || path[1] != '\\') return 0;
  if (path[2] == '.' && path[3] == '\\') return 0;  // device namespace
  if (path[2] != '?' || path[3] != '\\') return ShareRootLength(path, 2);
  const char* rest = path + 4;
  if (IsDriveLetter(rest[0]) && rest[1] == ':') return rest[2] == '\\' ? 7 : (rest[2] ? 0 : 6);
  if (_strnicmp(rest, "UNC\\", 4) == 0) return ShareRootLength(path, 8);
  if (_strnicmp(rest, "Volume{", 7) == 0) {
    const char* close = strchr(rest, '}');
    if (!close) return 0;
    return close[1] == '\\' ? static_cast<size_t>(close - path) + 2 : (close[1] ? 0 : strlen(path));
  }
  return 0;
}

bool MakeFullPath(const char* path, char* out, size_t cap) {
  if (!path || !path[0]) return false;
  // Absolute to begin with: "X:\" or "X:/", or "\\" / "//" (shares and the "\\?\" forms).
  bool drive = IsDriveLetter(path[0]) && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  bool share = (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
  if (!drive && !share) return false;
  // A literal path is taken as it stands: the system does not resolve its names.
  if (strncmp(path, "\\\\?\\", 4) == 0) {
    size_t n = strlen(path);
    if (!PathRootLength(path) || n + 1 > cap) return false;
    memcpy(out, path, n + 1);
    return true;
  }
  char full[1024 * 2];
  DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full || n + 1 > cap) return false;
  if (!PathRootLength(full)) return false;  // a device ("C:\x\nul" is "\\.\nul") or another form
  memcpy(out, full, n + 1);
  return true;
}

bool IsBelowRoot(const char* fullPath) {
  size_t root = PathRootLength(fullPath);
  if (!root) return false;
  bool literal = strncmp(fullPath, "\\\\?\\", 4) == 0;
  bool named = false;
  const char* p = fullPath + root;
  while (*p) {
    while (*p == '\\') ++p;
    const char* end = p;
    while (*end && *end != '\\') end = CharNextA(end);
    size_t n = static_cast<size_t>(end - p);
    if (n == 0) break;
    bool dots = (n == 1 && p[0] == '.') || (n == 2 && p[0] == '.' && p[1] == '.');
    if (literal && dots) return false;
    if (!dots) named = true;
    p = end;
  }
  return named;
}

bool TempFolderPath(char* out, size_t cap) {
  DWORD n = GetTempPathA(static_cast<DWORD>(cap), out);
  return n > 0 && n < cap && AddTrailingBackslash(out, cap);
}

void TrimTrailingBackslashes(char* path) {
  size_t root = PathRootLength(path);
  size_t n = strlen(path);
  while (n > root && EndsWithBackslash(path)) path[--n] = 0;
}

bool FullFolderPath(const char* path, char* out, size_t cap) {
  if (!path || !MakeFullPath(path, out, cap)) return false;
  TrimTrailingBackslashes(out);
  return true;
}

bool LiteralPath(const char* path, char* out, size_t cap) {
  size_t root = PathRootLength(path);
  bool literal = strncmp(path, "\\\\?\\", 4) == 0;
  bool plain = root > 0 && !literal && !strchr(path, '/');
  if (plain) {
    // Only names: no "." or ".." component, which only the plain form resolves.
    for (const char* p = path + root; *p && plain;) {
      const char* end = p;
      while (*end && *end != '\\') end = CharNextA(end);
      size_t n = static_cast<size_t>(end - p);
      if ((n == 1 && p[0] == '.') || (n == 2 && p[0] == '.' && p[1] == '.')) plain = false;
      p = *end ? end + 1 : end;
    }
  }
  const char* prefix = "";
  const char* rest = path;
  if (plain) {
    bool drive = path[1] == ':';
    prefix = drive ? "\\\\?\\" : "\\\\?\\UNC\\";
    rest = drive ? path : path + 2;
  }
  // The ANSI calls take at most MAX_PATH characters: a path that fits only without
  // the prefix keeps its plain form.
  if (plain && strlen(prefix) + strlen(rest) >= MAX_PATH) {
    plain = false;
    prefix = "";
    rest = path;
  }
  int n = snprintf(out, cap, "%s%s", prefix, rest);
  if (n < 0 || static_cast<size_t>(n) >= cap) {
    if (cap) out[0] = 0;
    return false;
  }
  return plain || literal;
}

UINT HotkeyModifiers(int hotkeyValue) {
  UINT flags = static_cast<UINT>(hotkeyValue >> 8) & 0xFF;
  UINT modifiers = 0;
  if (flags & HOTKEYF_SHIFT) modifiers |= MOD_SHIFT;
  if (flags & HOTKEYF_CONTROL) modifiers |= MOD_CONTROL;
  if (flags & HOTKEYF_ALT) modifiers |= MOD_ALT;
  if (flags & HOTKEYF_EXT) modifiers |= MOD_WIN;
  return modifiers;
}

UINT HotkeyVirtualKey(int hotkeyValue) { return static_cast<UINT>(hotkeyValue) & 0xFF; }

BOOL RegisterHotkeyValue(HWND window, int id, int hotkeyValue) {
  constexpr UINT kNoRepeat = 0x4000;  // MOD_NOREPEAT
  UINT modifiers = HotkeyModifiers(hotkeyValue);
  UINT key = HotkeyVirtualKey(hotkeyValue);
  if (RegisterHotKey(window, id, modifiers | kNoRepeat, key)) return TRUE;
  return RegisterHotKey(window, id, modifiers, key);
}

namespace {

// Keys whose scan code GetKeyNameText must be told is extended: without the flag
// it names the number-pad key of the same scan code ("Num 9" for Page Up).
bool IsExtendedKey(UINT vk) {
  switch (vk) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
    case VK_INSERT: case VK_DELETE: case VK_DIVIDE: case VK_NUMLOCK:
    case VK_SNAPSHOT: case VK_CANCEL: case VK_LWIN: case VK_RWIN: case VK_APPS:
    case VK_RCONTROL: case VK_RMENU:
      return true;
    default:
      return false;
  }
}

// The keyboard layout's name of a key, else its number.
void KeyName(UINT vk, char* out, size_t cap) {
  UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  LONG lParam = static_cast<LONG>((scan & 0xFF) << 16);
  if (IsExtendedKey(vk)) lParam |= 1 << 24;
  out[0] = 0;
  if (scan == 0 || cap < 2 || GetKeyNameTextA(lParam, out, static_cast<int>(cap)) <= 0)
    snprintf(out, cap, "0x%02X", vk);
}

}  // namespace

void HotkeyName(int hotkeyValue, char* out, size_t cap) {
  if (!out || cap == 0) return;
  out[0] = 0;
  // The modifiers by their usual names; the layouts' own names differ from
  // system to system ("Strg", "Control", "Left Windows").
  struct Modifier {
    UINT flag;
    const char* name;
  };
  const Modifier modifiers[] = {{MOD_CONTROL, "Ctrl+"}, {MOD_SHIFT, "Shift+"}, {MOD_ALT, "Alt+"}, {MOD_WIN, "Win+"}};
  UINT held = HotkeyModifiers(hotkeyValue);
  size_t used = 0;
  for (const Modifier& m : modifiers) {
    if (!(held & m.flag)) continue;
    int n = snprintf(out + used, cap - used, "%s", m.name);
    if (n < 0 || static_cast<size_t>(n) >= cap - used) return;
    used += static_cast<size_t>(n);
  }
  KeyName(HotkeyVirtualKey(hotkeyValue), out + used, cap - used);
}
