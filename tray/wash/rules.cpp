// Cleaning rules read as data (see rules.h): the parser, the variables and "*"
// steps, detection, the running-program check, and the wash of one rule through
// the deletion routines of the Wash and the one folder walk.
#include "tray/wash/rules.h"

#include <tlhelp32.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "common/folderguard.h"
#include "common/treewalk.h"
#include "common/widepath.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/jumplists.h"
#include "tray/wash/places.h"
#include "tray/wash/report.h"
#include "tray/wash/wash.h"

namespace {

constexpr GUID kLocalAppData = {0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}};
constexpr GUID kRoamingAppData = {0x3eb685db, 0x65f9, 0x4cf6, {0xa0, 0x3a, 0xe3, 0xef, 0x65, 0x72, 0x9f, 0x3d}};
constexpr GUID kProfile = {0x5e6c858f, 0x0e22, 0x4760, {0x9a, 0xfe, 0xea, 0x33, 0x17, 0xb6, 0x71, 0x73}};
constexpr GUID kWindows = {0xf38bf404, 0x1d43, 0x42f2, {0x93, 0x05, 0x67, 0xde, 0x0b, 0x28, 0xfc, 0x23}};
constexpr GUID kProgramData = {0x62ab5d82, 0xfdc1, 0x4dc3, {0xa9, 0xdd, 0x07, 0x0d, 0x1d, 0x49, 0x5d, 0x97}};
constexpr GUID kProgramFiles = {0x905e63b6, 0xc1bf, 0x494e, {0xb2, 0x9c, 0x65, 0xb7, 0x32, 0xd3, 0xd2, 0x1a}};
constexpr GUID kDocuments = {0xfdd39ad0, 0x238f, 0x46af, {0xad, 0xb4, 0x6c, 0x85, 0x48, 0x03, 0x69, 0xc7}};
constexpr GUID kLocalAppDataLow = {0xa520a1a4, 0x1780, 0x4ff6, {0xbd, 0x18, 0x16, 0x73, 0x43, 0xc5, 0xaf, 0x16}};

struct RuleVariable {
  const wchar_t* name;  // between the percent signs
  const GUID* folder;   // null: the TEMP folder
};
constexpr RuleVariable kVariables[] = {
    {L"LocalAppData", &kLocalAppData}, {L"AppData", &kRoamingAppData},   {L"UserProfile", &kProfile},
    {L"WinDir", &kWindows},            {L"CommonAppData", &kProgramData}, {L"ProgramFiles", &kProgramFiles},
    {L"Documents", &kDocuments},       {L"LocalLowAppData", &kLocalAppDataLow}, {L"Temp", nullptr},
};

bool SameText(const std::wstring& a, const wchar_t* b) {
  size_t n = wcslen(b);
  return a.size() == n && CompareStringOrdinal(a.c_str(), static_cast<int>(n), b, static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

bool SameTextN(const wchar_t* a, const wchar_t* b, size_t n) {
  return n == 0 || CompareStringOrdinal(a, static_cast<int>(n), b, static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

std::wstring Trimmed(const std::wstring& text) {
  size_t begin = text.find_first_not_of(L" \t");
  if (begin == std::wstring::npos) return L"";
  size_t end = text.find_last_not_of(L" \t");
  return text.substr(begin, end - begin + 1);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(Trimmed(text.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start)));
    if (at == std::wstring::npos) return parts;
    start = at + 1;
  }
}

std::wstring WithoutTrailingBackslash(std::wstring text) {
  while (text.size() > 3 && text.back() == L'\\') text.pop_back();
  return text;
}

// ---- Reading the text.

// The text in UTF-16: a byte-order mark says which; without one, UTF-8 when the
// bytes are valid UTF-8, else the ANSI code page.
std::wstring WideText(const char* bytes, size_t size) {
  if (size >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text((size - 2) / 2, L'\0');
    if (!text.empty()) memcpy(&text[0], bytes + 2, text.size() * sizeof(wchar_t));
    return text;
  }
  UINT codePage = CP_UTF8;
  DWORD flags = MB_ERR_INVALID_CHARS;
  if (size >= 3 && !memcmp(bytes, "\xEF\xBB\xBF", 3)) {
    bytes += 3;
    size -= 3;
    flags = 0;
  }
  if (size == 0 || size > 0x7fffffff) return L"";
  int n = MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(size), nullptr, 0);
  if (n <= 0) {
    codePage = CP_ACP;
    n = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (n <= 0) return L"";
    flags = 0;
  }
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, bytes, static_cast<int>(size), &text[0], n);
  return text;
}

// "Name12" -> "Name"; "Detect" stays "Detect".
std::wstring KeyBase(const std::wstring& key) {
  size_t end = key.size();
  while (end > 0 && key[end - 1] >= L'0' && key[end - 1] <= L'9') --end;
  return key.substr(0, end);
}

bool ParseRoot(const std::wstring& text, HKEY* root, std::wstring* below) {
  static const struct {
    const wchar_t* name;
    HKEY root;
  } kRoots[] = {{L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS}};
  size_t slash = text.find(L'\\');
  if (slash == std::wstring::npos) return false;
  std::wstring first = text.substr(0, slash);
  for (const auto& r : kRoots) {
    if (!SameText(first, r.name)) continue;
    *root = r.root;
    *below = WithoutTrailingBackslash(Trimmed(text.substr(slash + 1)));
    while (!below->empty() && below->back() == L'\\') below->pop_back();
    return !below->empty();
  }
  return false;
}

bool ParseFileKey(const std::wstring& value, RuleFileKey* key) {
  std::vector<std::wstring> parts = Split(value, L'|');
  key->folder = WithoutTrailingBackslash(parts[0]);
  key->recurse = key->removeSelf = false;
  if (key->folder.empty()) return false;
  if (parts.size() > 1)
    for (const std::wstring& pattern : Split(parts[1], L';'))
      if (!pattern.empty() && pattern.find_first_of(L"\\/") == std::wstring::npos) key->patterns.push_back(pattern);
  if (key->patterns.empty()) {
    if (parts.size() > 1 && !parts[1].empty()) return false;  // only patterns that name no file
    key->patterns.push_back(L"*.*");
  }
  for (size_t i = 2; i < parts.size(); ++i) {
    if (SameText(parts[i], L"RECURSE")) key->recurse = true;
    else if (SameText(parts[i], L"REMOVESELF")) key->removeSelf = key->recurse = true;
  }
  return true;
}

bool ParseRegKey(const std::wstring& value, RuleRegKey* key) {
  std::vector<std::wstring> parts = Split(value, L'|');
  if (!ParseRoot(parts[0], &key->root, &key->key)) return false;
  key->oneValue = parts.size() > 1;
  key->value = key->oneValue ? parts[1] : L"";
  return true;
}

bool ParseExclude(const std::wstring& value, RuleExclude* exclude) {
  std::vector<std::wstring> parts = Split(value, L'|');
  if (parts.size() < 2 || parts[1].empty()) return false;
  if (SameText(parts[0], L"FILE")) exclude->kind = kExcludeFile;
  else if (SameText(parts[0], L"PATH")) exclude->kind = kExcludePath;
  else if (SameText(parts[0], L"REG")) exclude->kind = kExcludeReg;
  else return false;
  exclude->folder = WithoutTrailingBackslash(parts[1]);
  while (exclude->kind == kExcludeReg && !exclude->folder.empty() && exclude->folder.back() == L'\\')
    exclude->folder.pop_back();
  exclude->pattern = parts.size() > 2 && !parts[2].empty() ? parts[2] : L"*";
  return true;
}

// One "key=value" line of a section.
void TakeLine(CleaningRule& rule, const std::wstring& key, const std::wstring& value) {
  std::wstring base = KeyBase(key);
  if (SameText(key, L"LangSecRef") || SameText(key, L"Section")) {
    rule.group = value;
  } else if (SameText(key, L"Default")) {
    rule.defaultOn = SameText(value, L"True");
  } else if (SameText(base, L"Detect")) {
    if (!value.empty()) rule.detectKeys.push_back(value);
  } else if (SameText(base, L"DetectFile")) {
    if (!value.empty()) rule.detectFiles.push_back(WithoutTrailingBackslash(value));
  } else if (SameText(base, L"Process")) {
    if (!value.empty() && value.find_first_of(L"\\/") == std::wstring::npos) rule.processes.push_back(value);
  } else if (SameText(base, L"FileKey")) {
    RuleFileKey fileKey;
    if (ParseFileKey(value, &fileKey)) rule.files.push_back(fileKey);
  } else if (SameText(base, L"RegKey")) {
    RuleRegKey regKey;
    if (ParseRegKey(value, &regKey)) rule.regKeys.push_back(regKey);
  } else if (SameText(base, L"Places")) {
    if (!value.empty()) rule.places.push_back(value);
  } else if (SameText(key, L"KeepTabs")) {
    rule.keepTabs = value;
  } else if (SameText(key, L"JumpLists")) {
    rule.jumpLists = SameText(value, L"True");
  } else if (SameText(base, L"ExcludeKey")) {
    RuleExclude exclude;
    if (ParseExclude(value, &exclude)) rule.excludes.push_back(exclude);
  }
}

void Keep(std::vector<CleaningRule>& rules, CleaningRule& rule, bool open) {
  if (open && !rule.name.empty() &&
      (!rule.files.empty() || !rule.regKeys.empty() || !rule.places.empty() || rule.jumpLists))
    rules.push_back(rule);
}

// ---- Paths.

bool IsLinkAttributes(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The subfolders of folder (a full path) whose names match step, links left out.
void MatchingSubfolders(const std::wstring& folder, const std::wstring& step, std::vector<std::wstring>* out) {
  std::vector<wchar_t> literal(kLongPathChars);
  if (!LiteralFullPath(folder.c_str(), literal.data(), literal.size())) return;
  std::wstring search = literal.data();
  if (search.back() != L'\\') search += L'\\';
  search += L'*';
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(search.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsLinkAttributes(found.dwFileAttributes)) continue;
    if (!NameMatches(found.cFileName, step.c_str())) continue;
    std::wstring path = folder;
    if (path.back() != L'\\') path += L'\\';
    out->push_back(path + found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

DWORD AttributesOf(const std::wstring& path) {
  std::vector<wchar_t> literal(kLongPathChars);
  if (!LiteralFullPath(path.c_str(), literal.data(), literal.size())) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(literal.data());
}

// A whole file of at most most bytes, read through a literal path; false when it
// is not there, cannot be read or is larger.
bool ReadWholeFile(const std::wstring& path, LONGLONG most, std::vector<char>* bytes) {
  bytes->clear();
  std::vector<wchar_t> literal(kLongPathChars);
  if (!LiteralFullPath(path.c_str(), literal.data(), literal.size())) return false;
  HANDLE file = CreateFileW(literal.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < most;
  if (ok) bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  ok = ok && (bytes->empty() || (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
                                 read == bytes->size()));
  CloseHandle(file);
  if (!ok) bytes->clear();
  return ok;
}

// The whole number after the last "name" in text, past blanks and one separator
// (":" in JSON, "," in prefs.js); -1 when name is not there or no number follows.
long NumberAfterLast(const std::vector<char>& text, const char* name, char separator) {
  long found = -1;
  size_t n = strlen(name);
  for (size_t at = 0; at + n <= text.size(); ++at) {
    if (memcmp(text.data() + at, name, n) != 0) continue;
    size_t i = at + n;
    auto blanks = [&] {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    };
    blanks();
    if (i >= text.size() || text[i] != separator) continue;
    ++i;
    blanks();
    if (i >= text.size() || text[i] < '0' || text[i] > '9') continue;
    long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) value = value * 10 + (text[i++] - '0');
    found = value;
  }
  return found;
}

// A literal path's folder part and name.
void SplitLiteral(const wchar_t* path, std::wstring* folder, const wchar_t** name) {
  *name = WideNamePart(path);
  folder->assign(path, *name > path ? static_cast<size_t>(*name - path - 1) : 0);
}

// ---- The wash of one rule.

struct ResolvedExclude {
  RuleExcludeKind kind;
  std::wstring folder;  // literal
  std::wstring pattern;
};

bool KeptByExcludes(void* context, const WalkEntry& entry) {
  const wchar_t* path = entry.path;
  const auto* excludes = static_cast<const std::vector<ResolvedExclude>*>(context);
  std::wstring folder;
  const wchar_t* name;
  SplitLiteral(path, &folder, &name);
  for (const ResolvedExclude& e : *excludes) {
    if (!NameMatches(name, e.pattern.c_str())) continue;
    size_t n = e.folder.size();
    if (folder.size() == n && SameTextN(folder.c_str(), e.folder.c_str(), n)) return true;
    if (e.kind == kExcludePath && folder.size() > n && folder[n] == L'\\' && SameTextN(folder.c_str(), e.folder.c_str(), n))
      return true;
  }
  return false;
}

std::vector<ResolvedExclude> ResolveExcludes(const CleaningRule& rule) {
  std::vector<ResolvedExclude> resolved;
  for (const RuleExclude& e : rule.excludes) {
    if (e.kind == kExcludeReg) continue;
    std::vector<std::wstring> folders;
    ResolveRulePaths(e.folder, false, &folders);
    for (const std::wstring& folder : folders) {
      std::vector<wchar_t> literal(kLongPathChars);
      if (LiteralFullPath(folder.c_str(), literal.data(), literal.size()))
        resolved.push_back(ResolvedExclude{e.kind, WithoutTrailingBackslash(literal.data()), e.pattern});
    }
  }
  return resolved;
}

// A REG exclude holds the entry back when it names the key or a key above it, and,
// for a key removed with everything below it, a key below it too.
bool KeyExcluded(const CleaningRule& rule, const RuleRegKey& key) {
  for (const RuleExclude& e : rule.excludes) {
    HKEY root;
    std::wstring below;
    if (e.kind != kExcludeReg || !ParseRoot(e.folder, &root, &below) || root != key.root) continue;
    if (key.oneValue && below.size() > key.key.size()) continue;
    size_t shorter = below.size() < key.key.size() ? below.size() : key.key.size();
    const std::wstring& longer = below.size() < key.key.size() ? key.key : below;
    if (SameTextN(below.c_str(), key.key.c_str(), shorter) && (longer.size() == shorter || longer[shorter] == L'\\'))
      return true;
  }
  return false;
}

const wchar_t* RootName(HKEY root) {
  if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
  if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
  return L"HKEY_USERS";
}

// The shown form of a rule's key ("HKEY_CURRENT_USER\...", "|value" for one value).
std::wstring ShownKey(const RuleRegKey& key) {
  return std::wstring(RootName(key.root)) + L"\\" + key.key + (key.oneValue ? L"|" + key.value : L"");
}

// Whether the key (or its one value) is there now.
bool RegistryThere(const RuleRegKey& key) {
  HKEY opened;
  if (RegOpenKeyExW(key.root, key.key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  bool there = !key.oneValue || RegQueryValueExW(opened, key.value.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                                    ERROR_SUCCESS;
  RegCloseKey(opened);
  return there;
}

// A key (with everything below it) or one value, through the library; the report
// counts what was there and is gone. The library takes ANSI texts: a key the code
// page cannot spell exactly is left.
void WashRegKey(const RuleRegKey& key) {
  if (!RegistryThere(key)) return;
  std::wstring shown = ShownKey(key);
  if (!RegistryKeyMayGo(key)) {
    NoteFolderLeftAlone(DisplayText(shown.c_str()).c_str(), kLeftProtectedKey);
    return;
  }
  ReportTarget(kTargetRegistry, DisplayText(shown.c_str()).c_str());
  if (IsPreview()) {
    ReportEntry();
    return;
  }
  std::vector<char> subkey(key.key.size() * 2 + 8), value(key.value.size() * 2 + 8);
  if (!AnsiForDisplay(key.key.c_str(), subkey.data(), subkey.size()) ||
      !AnsiForDisplay(key.value.c_str(), value.data(), value.size())) {
    ReportLeft(DisplayText(shown.c_str()).c_str());
    return;
  }
  if (key.oneValue) LibRegDeleteValue(key.root, subkey.data(), value.data());
  else LibRegDeleteTree(key.root, subkey.data(), 1);
  if (!RegistryThere(key)) ReportEntry();
  else ReportLeft(DisplayText(shown.c_str()).c_str());
}

bool Stopping() { return StopRequested.load(std::memory_order_relaxed) != 0; }

// One Firefox history database: its history cleared inside it (places.h), never
// the file deleted. A database another program holds is left alone and reported.
void WashPlaces(const std::wstring& path) {
  std::string shown = DisplayText(path.c_str());
  std::wstring folder(path.c_str(), static_cast<size_t>(WideNamePart(path.c_str()) - path.c_str()));
  if (IsProtectedFolderW(WithoutTrailingBackslash(folder).c_str())) {
    NoteFolderLeftAlone(shown.c_str(), kLeftProtected);
    return;
  }
  PlacesCounts counts = {};
  PlacesResult result = ClearFirefoxHistory(path.c_str(), IsPreview(), &counts);
  if (result == kPlacesNotPlaces) return;  // not a history database: nothing of the rule's
  if (result == kPlacesBusy) {
    NoteFolderLeftAlone(shown.c_str(), kLeftInUse);
    return;
  }
  ReportTarget(kTargetHistory, shown.c_str());
  if (result == kPlacesDone) {
    if (WashReport* report = ActiveReport()) report->targets.back().entries += static_cast<unsigned>(counts.visits);
    return;
  }
  ReportLeft(shown.c_str());
  if (!IsPreview()) WashErrorCount.fetch_add(1, std::memory_order_relaxed);
}

// The files of one FileKey: every folder it names, asked of the guard, each
// pattern through the Wash's walk. False when a stop ended it.
bool WashFileKey(const CleaningRule& rule, const RuleFileKey& key, std::vector<ResolvedExclude>& excludes) {
  std::vector<std::wstring> folders;
  ResolveRulePaths(key.folder, false, &folders);
  for (const std::wstring& folder : folders) {
    std::string shown = DisplayText(folder.c_str());
    if (IsProtectedFolderW(folder.c_str())) {
      NoteFolderLeftAlone(shown.c_str(), kLeftProtected);
      continue;
    }
    if (!rule.keepTabs.empty() && ProfileRestoresTabs(folder, rule.keepTabs)) {
      NoteFolderLeftAlone(shown.c_str(), kLeftTabsKept);
      continue;
    }
    for (size_t i = 0; i < key.patterns.size(); ++i) {
      ReportTarget(kTargetFolder, (shown + "\\" + DisplayText(key.patterns[i].c_str())).c_str());
      // A file the program keeps locked is left: its program runs under another name.
      EmptyChoice choice = {key.patterns[i].c_str(), key.recurse, true, key.removeSelf && i + 1 == key.patterns.size(),
                            excludes.empty() ? nullptr : KeptByExcludes, &excludes, nullptr, true};
      EmptyOutcome outcome = EmptyFolderChosen(folder.c_str(), choice);
      if (outcome == kEmptyStopped) return false;
      if (outcome == kEmptyRefused) {
        NoteFolderLeftAlone(shown.c_str(), kLeftProtected);
        break;
      }
    }
  }
  return !Stopping();
}

}  // namespace

std::vector<CleaningRule> ParseRules(const char* bytes, size_t size) {
  std::vector<CleaningRule> rules;
  if (!bytes) return rules;
  std::wstring text = WideText(bytes, size);
  CleaningRule rule{};
  bool open = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    line = Trimmed(line);
    if (line.empty() || line[0] == L';' || line[0] == L'#') continue;
    if (line[0] == L'[') {
      Keep(rules, rule, open);
      rule = CleaningRule{};
      size_t close = line.find(L']');
      open = close != std::wstring::npos;
      if (open) rule.name = Trimmed(line.substr(1, close - 1));
      continue;
    }
    size_t equals = line.find(L'=');
    if (!open || equals == std::wstring::npos || equals == 0) continue;
    TakeLine(rule, Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
  }
  Keep(rules, rule, open);
  return rules;
}

bool ReadRulesFile(const wchar_t* path, std::vector<CleaningRule>* rules) {
  rules->clear();
  constexpr LONGLONG kMostBytes = 64ll * 1024 * 1024;  // far beyond any rules file
  std::vector<char> bytes;
  if (!ReadWholeFile(path, kMostBytes, &bytes)) return false;
  *rules = ParseRules(bytes.data(), bytes.size());
  return true;
}

// Chromium's start-up choices that open the last session again: "Continue where you
// left off" (1), and a list of pages with the last session (6).
bool RestoresLastSession(long choice) { return choice == 1 || choice == 6; }

// The RestoreOnStartup policy below key, the machine's before the user's; -1 when
// neither is set.
long StartupPolicy(const std::wstring& key) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    DWORD value = 0, size = sizeof value, type = 0;
    HKEY opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) continue;
    LONG rc = RegQueryValueExW(opened, L"RestoreOnStartup", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(opened);
    if (rc == ERROR_SUCCESS && type == REG_DWORD) return static_cast<long>(value);
  }
  return -1;
}

bool ProfileRestoresTabs(const std::wstring& folder, const std::wstring& keepTabs) {
  std::vector<std::wstring> parts = Split(keepTabs, L'|');
  std::wstring browser = parts.empty() ? L"" : Trimmed(parts[0]);
  bool chromium = SameText(browser, L"Chromium");
  if (!chromium && !SameText(browser, L"Firefox")) return false;
  if (chromium && parts.size() > 1) {  // a policy the administrator set wins over the user's choice
    long policy = StartupPolicy(Trimmed(parts[1]));
    if (policy != -1) return RestoresLastSession(policy);
  }
  constexpr LONGLONG kMostBytes = 32ll * 1024 * 1024;  // settings files are far smaller
  std::wstring profile = WithoutTrailingBackslash(folder);
  for (int up = 0; up < 2; ++up) {
    std::vector<char> text;
    if (chromium) {
      if (ReadWholeFile(profile + L"\\Preferences", kMostBytes, &text))
        return RestoresLastSession(NumberAfterLast(text, "\"restore_on_startup\"", ':'));
    } else if (ReadWholeFile(profile + L"\\prefs.js", kMostBytes, &text)) {
      long page = NumberAfterLast(text, "\"browser.startup.page\"", ',');
      std::vector<char> user;
      if (ReadWholeFile(profile + L"\\user.js", kMostBytes, &user)) {
        long chosen = NumberAfterLast(user, "\"browser.startup.page\"", ',');
        if (chosen != -1) page = chosen;
      }
      return page == 3;
    }
    size_t cut = profile.find_last_of(L'\\');
    if (cut == std::wstring::npos) return false;
    profile.resize(cut);
  }
  return false;
}

std::vector<CleaningRule> LoadAllRules() {
  std::vector<CleaningRule> all;
  std::vector<wchar_t> module(kLongPathChars);
  DWORD n = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
  if (n == 0 || n >= module.size()) return all;
  std::wstring folder(module.data(), static_cast<size_t>(WideNamePart(module.data()) - module.data()));
  for (const wchar_t* name : {kOwnRulesFile, kUserRulesFile}) {
    std::vector<CleaningRule> some;
    if (ReadRulesFile((folder + name).c_str(), &some)) all.insert(all.end(), some.begin(), some.end());
  }
  return all;
}

bool ExpandRuleVariables(const std::wstring& text, std::wstring* out) {
  out->clear();
  if (text.empty() || text[0] != L'%') {
    *out = text;
    return !text.empty();
  }
  size_t close = text.find(L'%', 1);
  if (close == std::wstring::npos) return false;
  std::wstring name = text.substr(1, close - 1);
  for (const RuleVariable& v : kVariables) {
    if (!SameText(name, v.name)) continue;
    std::vector<wchar_t> folder(kLongPathChars);
    if (v.folder) {
      if (!KnownFolderPathW(*v.folder, 0, folder.data(), folder.size())) return false;
    } else {
      DWORD n = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
      if (n == 0 || n >= folder.size()) return false;
    }
    *out = WithoutTrailingBackslash(folder.data()) + text.substr(close + 1);
    return true;
  }
  return false;
}

void ResolveRulePaths(const std::wstring& text, bool files, std::vector<std::wstring>* out) {
  out->clear();
  std::wstring expanded;
  if (!ExpandRuleVariables(text, &expanded) || !IsFullPathText(expanded.c_str())) return;
  std::vector<std::wstring> steps = Split(expanded, L'\\');
  std::vector<std::wstring> now = {steps[0]};
  for (size_t i = 1; i < steps.size(); ++i) {
    const std::wstring& step = steps[i];
    if (step.empty() && i + 1 == steps.size()) break;
    if (step == L"." || step == L"..") return;  // a rule names folders downwards only
    std::vector<std::wstring> next;
    for (const std::wstring& folder : now) {
      if (step.find_first_of(L"*?") != std::wstring::npos) MatchingSubfolders(folder, step, &next);
      else next.push_back(folder + L"\\" + step);
    }
    now.swap(next);
  }
  for (const std::wstring& path : now) {
    DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    // A folder named by a rule is never a link: what it leads to is not the rule's.
    if (!files && (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || IsLinkAttributes(attributes))) continue;
    out->push_back(path);
  }
}

bool RuleDetected(const CleaningRule& rule) {
  if (rule.detectKeys.empty() && rule.detectFiles.empty()) return true;
  for (const std::wstring& text : rule.detectKeys) {
    RuleRegKey key{};
    if (ParseRoot(text, &key.root, &key.key) && RegistryThere(key)) return true;
  }
  for (const std::wstring& text : rule.detectFiles) {
    std::vector<std::wstring> found;
    ResolveRulePaths(text, true, &found);
    if (!found.empty()) return true;
  }
  return false;
}

bool RuleRunningProgram(const CleaningRule& rule, std::wstring* name) {
  if (rule.processes.empty()) return false;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  bool running = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !running; more = Process32NextW(snapshot, &entry)) {
    std::wstring image = WideNamePart(entry.szExeFile);
    for (const std::wstring& process : rule.processes) {
      if (!SameText(image, process.c_str())) continue;
      running = true;
      if (name) *name = process;
      break;
    }
  }
  CloseHandle(snapshot);
  return running;
}

RuleOutcome WashRule(const CleaningRule& rule, bool preview, WashReport* report, std::wstring* program) {
  if (program) program->clear();
  if (!RuleDetected(rule)) return kRuleNotDetected;
  WashReport* before = ActiveReport();
  if (report) {
    report->preview = preview;
    SetActiveReport(report);
  }
  SetActiveItem(kRulesReportItem);
  SetActiveRule(DisplayText(rule.name.c_str()).c_str());
  RuleOutcome outcome = kRuleWashed;
  std::wstring running;
  if (RuleRunningProgram(rule, &running)) {
    // Named as people know the program: the rule's group ("Google Chrome"), else the image.
    if (program) *program = running;
    NoteFolderLeftAlone(DisplayText((rule.group.empty() ? running : rule.group).c_str()).c_str(), kLeftProgramRunning);
    outcome = kRuleRunning;
  } else if (!preview || ActiveReport()) {  // without a report a preview has nothing to tell
    std::vector<ResolvedExclude> excludes = ResolveExcludes(rule);
    for (const RuleFileKey& key : rule.files) {
      if (!WashFileKey(rule, key, excludes)) {
        outcome = kRuleStopped;
        break;
      }
    }
    for (size_t i = 0; outcome == kRuleWashed && i < rule.regKeys.size(); ++i) {
      if (Stopping()) outcome = kRuleStopped;
      else if (!KeyExcluded(rule, rule.regKeys[i])) WashRegKey(rule.regKeys[i]);
    }
    for (size_t i = 0; outcome == kRuleWashed && i < rule.places.size(); ++i) {
      std::vector<std::wstring> found;
      ResolveRulePaths(rule.places[i], true, &found);
      for (const std::wstring& path : found) WashPlaces(path);
      if (Stopping()) outcome = kRuleStopped;
    }
    if (outcome == kRuleWashed && rule.jumpLists) WashJumpLists();
  }
  SetActiveRule(nullptr);
  if (report) SetActiveReport(before);
  return outcome;
}

bool RegistryKeyMayGo(const RuleRegKey& key) {
  if (key.root != HKEY_CURRENT_USER && key.root != HKEY_LOCAL_MACHINE) return false;
  std::vector<std::wstring> steps;
  for (const std::wstring& step : Split(key.key, L'\\')) {
    if (step.empty() || step == L"." || step == L"..") return false;
    steps.push_back(step);
  }
  // The 32-bit view of HKEY_LOCAL_MACHINE's software is judged as the software it mirrors.
  if (steps.size() > 1 && SameText(steps[1], L"Wow6432Node")) steps.erase(steps.begin() + 1);
  if (steps.empty() || !SameText(steps[0], L"Software")) return false;
  if (steps.size() > 1 && (SameText(steps[1], L"Classes") || SameText(steps[1], L"Policies"))) return false;
  if (key.oneValue) return steps.size() >= 2;
  size_t least = 3;
  bool microsoft = steps.size() > 1 && SameText(steps[1], L"Microsoft");
  bool windows = microsoft && steps.size() > 2 && (SameText(steps[2], L"Windows") || SameText(steps[2], L"Windows NT"));
  bool current = windows && steps.size() > 3 && SameText(steps[3], L"CurrentVersion");
  if (microsoft) least = 4;
  if (windows) least = 5;
  if (current) {
    least = 6;
    if (steps.size() > 4 && SameText(steps[4], L"Policies")) return false;
    if (steps.size() > 5 && SameText(steps[4], L"Explorer") &&
        (SameText(steps[5], L"Shell Folders") || SameText(steps[5], L"User Shell Folders")))
      return false;
  }
  return steps.size() >= least;
}

std::vector<CleaningRule> ShownRules() {
  std::vector<CleaningRule> shown;
  for (CleaningRule& rule : LoadAllRules()) {
    bool again = false;
    for (const CleaningRule& s : shown) again = again || SameText(s.name, rule.name.c_str());
    if (!again && RuleDetected(rule)) shown.push_back(std::move(rule));
  }
  return shown;
}

bool RuleSettingName(const CleaningRule& rule, char* out, size_t cap) {
  constexpr const char kPrefix[] = "Rule:";
  std::vector<char> ansi(rule.name.size() * 2 + 1);
  BOOL inexact = FALSE;
  int chars = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, rule.name.c_str(), -1, ansi.data(),
                                  static_cast<int>(ansi.size()), nullptr, &inexact);
  if (chars > 0 && !inexact) {
    int n = snprintf(out, cap, "%s%s", kPrefix, ansi.data());
    return n > 0 && static_cast<size_t>(n) < cap;
  }
  // A name the code page cannot spell: its UTF-16 text in hex, which no other name gives.
  std::string hex = std::string(kPrefix) + "#";
  for (wchar_t c : rule.name) {
    char four[8];
    snprintf(four, sizeof four, "%04x", static_cast<unsigned>(c));
    hex += four;
  }
  int n = snprintf(out, cap, "%s", hex.c_str());
  return n > 0 && static_cast<size_t>(n) < cap;
}

bool RuleTicked(const CleaningRule& rule) {
  char name[kRuleSettingChars];
  if (!RuleSettingName(rule, name, sizeof name)) return false;
  int value = ReadSettingInt(name);
  return value == -1 ? rule.defaultOn : value == 1;
}

void SetRuleTicked(const CleaningRule& rule, bool ticked) {
  char name[kRuleSettingChars];
  if (RuleSettingName(rule, name, sizeof name)) LibWriteSettingInt(HKEY_CURRENT_USER, name, ticked ? 1 : 0);
}

bool AnyRuleTicked(const std::vector<CleaningRule>& rules) {
  for (const CleaningRule& rule : rules)
    if (RuleTicked(rule)) return true;
  return false;
}

bool WashTickedRules(const std::vector<CleaningRule>& rules) {
  for (const CleaningRule& rule : rules) {
    if (Stopping()) return false;
    if (RuleTicked(rule) && WashRule(rule, IsPreview(), nullptr, nullptr) == kRuleStopped) return false;
  }
  return !Stopping();
}
