// Wide paths in their literal form (see widepath.h).
#include "common/widepath.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kLiteralPrefix[] = L"\\\\?\\";
constexpr wchar_t kLiteralUnc[] = L"\\\\?\\UNC\\";
constexpr size_t kPrefixChars = 4;
constexpr size_t kUncPrefixChars = 8;

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsLiteral(const wchar_t* path) { return wcsncmp(path, kLiteralPrefix, kPrefixChars) == 0; }

// From the start of "server\share": the length up to and including the share's
// backslash (or to the end), counted from the start of path; 0 when a part is empty.
size_t ShareRoot(const wchar_t* path, size_t at) {
  const wchar_t* server = path + at;
  const wchar_t* slash = wcschr(server, L'\\');
  if (!slash || slash == server || !slash[1] || slash[1] == L'\\') return 0;
  const wchar_t* end = wcschr(slash + 1, L'\\');
  return end ? static_cast<size_t>(end - path) + 1 : wcslen(path);
}

// Every component after the root is a name: none empty in the middle, none "." or "..".
bool OnlyNamesAfter(const wchar_t* path, size_t root, bool* named) {
  *named = false;
  for (const wchar_t* p = path + root; *p;) {
    const wchar_t* end = wcschr(p, L'\\');
    size_t n = end ? static_cast<size_t>(end - p) : wcslen(p);
    if ((n == 1 && p[0] == L'.') || (n == 2 && p[0] == L'.' && p[1] == L'.')) return false;
    if (n) *named = true;
    p += n;
    if (*p) ++p;
  }
  return true;
}

bool CopyWide(wchar_t* out, size_t cap, const wchar_t* a, const wchar_t* b) {
  size_t na = wcslen(a), nb = wcslen(b);
  if (na + nb + 1 > cap) {
    if (cap) out[0] = 0;
    return false;
  }
  wmemmove(out, a, na);
  wmemmove(out + na, b, nb + 1);
  return true;
}

}  // namespace

bool WideFromAnsi(const char* text, wchar_t* out, size_t cap) {
  if (!cap) return false;
  out[0] = 0;
  if (!text) return false;
  if (!text[0]) return true;
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, out, static_cast<int>(cap));
  if (n <= 0) {
    out[0] = 0;
    return false;
  }
  return true;
}

bool AnsiForDisplay(const wchar_t* path, char* out, size_t cap) {
  if (!cap) return false;
  out[0] = 0;
  wchar_t scratch[MAX_PATH];
  const wchar_t* plain = PlainFormOf(path, scratch, MAX_PATH);
  std::wstring joined;
  if (!plain) {  // a long share path: "\\" and the rest
    joined = L"\\\\";
    joined += path + kUncPrefixChars;
    plain = joined.c_str();
  }
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, plain, -1, out, static_cast<int>(cap), "?", &lossy);
  if (n > 0) return !lossy;
  // Too long for the buffer: the letters that surely fit, never half a pair.
  CPINFO info = {};
  size_t widest = GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 0 ? info.MaxCharSize : 4;
  size_t chars = (cap - 1) / widest;
  if (chars > wcslen(plain)) chars = wcslen(plain);
  if (chars > 0 && IS_HIGH_SURROGATE(plain[chars - 1])) --chars;
  n = chars ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, plain, static_cast<int>(chars), out,
                                  static_cast<int>(cap - 1), "?", &lossy)
            : 0;
  out[n > 0 ? n : 0] = 0;
  return false;
}

std::string DisplayText(const wchar_t* path) {
  std::vector<char> text(wcslen(path) * 2 + 16);
  AnsiForDisplay(path, text.data(), text.size());
  return text.data();
}

const wchar_t* PlainFormOf(const wchar_t* literal, wchar_t* scratch, size_t cap) {
  if (wcsncmp(literal, kLiteralUnc, kUncPrefixChars) == 0) {
    if (!CopyWide(scratch, cap, L"\\\\", literal + kUncPrefixChars)) return nullptr;
    return scratch;
  }
  return IsLiteral(literal) ? literal + kPrefixChars : literal;
}

bool IsFullPathText(const wchar_t* path) {
  if (!path || !path[0]) return false;
  if (IsLetter(path[0]) && path[1] == L':') return IsSlash(path[2]);
  return IsSlash(path[0]) && IsSlash(path[1]);
}

size_t LiteralRootLength(const wchar_t* literal) {
  if (!IsLiteral(literal)) return 0;
  const wchar_t* rest = literal + kPrefixChars;
  if (IsLetter(rest[0]) && rest[1] == L':') return rest[2] == L'\\' ? 7 : (rest[2] ? 0 : 6);
  if (_wcsnicmp(rest, L"UNC\\", 4) == 0) return ShareRoot(literal, kUncPrefixChars);
  if (_wcsnicmp(rest, L"Volume{", 7) == 0) {
    const wchar_t* close = wcschr(rest, L'}');
    if (!close) return 0;
    return close[1] == L'\\' ? static_cast<size_t>(close - literal) + 2 : (close[1] ? 0 : wcslen(literal));
  }
  return 0;
}

bool IsBelowLiteralRoot(const wchar_t* literal) {
  size_t root = LiteralRootLength(literal);
  bool named = false;
  return root && OnlyNamesAfter(literal, root, &named) && named;
}

bool LiteralFullPath(const wchar_t* path, wchar_t* out, size_t cap) {
  if (cap) out[0] = 0;
  if (!IsFullPathText(path)) return false;
  if (IsLiteral(path)) {
    bool named = false;
    size_t root = LiteralRootLength(path);
    if (!root || wcschr(path, L'/') || !OnlyNamesAfter(path, root, &named)) return false;
    return CopyWide(out, cap, path, L"");
  }
  // A drive path of names only is prefixed as it stands: "C:\x\nul" is the file
  // "nul" and "name." keeps its dot (the system's reading would make them the
  // device and the sibling "name").
  bool named = false;
  if (IsLetter(path[0]) && path[2] == L'\\' && !wcschr(path, L'/') && !wcsstr(path + 2, L"\\\\") &&
      OnlyNamesAfter(path, 3, &named))
    return CopyWide(out, cap, kLiteralPrefix, path);
  std::vector<wchar_t> full(kLongPathChars);
  DWORD n = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return false;
  const wchar_t* f = full.data();
  bool ok = false;
  if (IsLetter(f[0]) && f[1] == L':' && f[2] == L'\\') ok = CopyWide(out, cap, kLiteralPrefix, f);
  else if (f[0] == L'\\' && f[1] == L'\\' && f[2] != L'.' && f[2] != L'?') ok = CopyWide(out, cap, kLiteralUnc, f + 2);
  if (ok && !LiteralRootLength(out)) ok = false;  // "\\server" without a share
  if (!ok && cap) out[0] = 0;
  return ok;
}

bool JoinWide(wchar_t* out, size_t cap, const wchar_t* folder, const wchar_t* name) {
  size_t nf = wcslen(folder);
  bool gap = nf && folder[nf - 1] != L'\\';
  size_t total = nf + (gap ? 1 : 0) + wcslen(name);
  if (total + 1 > cap) return false;
  std::wstring joined(folder);  // out may be folder itself
  if (gap) joined += L'\\';
  joined += name;
  wmemcpy(out, joined.c_str(), joined.size() + 1);
  return true;
}

const wchar_t* WideNamePart(const wchar_t* path) {
  const wchar_t* last = wcsrchr(path, L'\\');
  return last ? last + 1 : path;
}

bool KnownFolderPathW(const GUID& id, DWORD flags, wchar_t* out, size_t cap) {
  using KnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  static const KnownFolderPathFn known = [] {
    HMODULE shell32 = LoadLibraryA("shell32.dll");
    return shell32 ? reinterpret_cast<KnownFolderPathFn>(GetProcAddress(shell32, "SHGetKnownFolderPath")) : nullptr;
  }();
  if (cap) out[0] = 0;
  PWSTR path = nullptr;
  bool ok = known && SUCCEEDED(known(id, flags, nullptr, &path)) && path && path[0] && CopyWide(out, cap, path, L"");
  if (path) CoTaskMemFree(path);
  return ok;
}
