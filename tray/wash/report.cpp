// The report of a wash or a preview (see report.h).
#include "tray/wash/report.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/folderacl.h"
#include "common/treewalk.h"
#include "common/widepath.h"
#include "common/workfolder.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/rules.h"
#include "tray/wash/wash.h"

namespace {

thread_local WashReport* Active = nullptr;
thread_local int ActiveItemIndex = 0;
thread_local std::string ActiveRuleName;
thread_local bool Quiet = false;

// The row the counts go to: the last one of the active item (one is made when the
// item has none yet).
WashTarget* CurrentTarget() {
  if (!Active) return nullptr;
  if (Active->targets.empty() || Active->targets.back().item != ActiveItemIndex)
    ReportTarget(kTargetFolder, "");
  return &Active->targets.back();
}

// Appends a line to out, after a line break when out holds one already.
void AddLine(char* out, size_t cap, const char* line) {
  size_t used = strlen(out);
  if (used < cap) snprintf(out + used, cap - used, "%s%s", used ? "\r\n" : "", line);
}

bool WriteText(HANDLE file, const char* text) {
  DWORD length = static_cast<DWORD>(strlen(text)), written = 0;
  return WriteFile(file, text, length, &written, nullptr) && written == length;
}

bool WriteLine(HANDLE file, const char* text) { return WriteText(file, text) && WriteText(file, "\r\n"); }

// ---- The log file. It is never followed through a link, never truncated, and
// written only when it is a wash log: made new, or an existing file that begins
// as a wash log, appended to.

// Every run's lines begin with "<product> wash, <time>" ("wash preview" for a
// preview); so does a wash log's first line.
constexpr const char* kRunKinds[] = {"wash", "wash preview"};
// Reading (the first line) and appending only: no write lands on what is there.
constexpr DWORD kLogAccess = FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// path in its literal full form; a relative path is taken from the current
// folder, as the system would take it.
bool LogLiteralPath(const wchar_t* path, std::vector<wchar_t>& literal) {
  std::vector<wchar_t> full(kLongPathChars);
  if (!IsFullPathText(path)) {
    DWORD n = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return false;
    path = full.data();
  }
  return LiteralFullPath(path, literal.data(), literal.size()) && IsBelowLiteralRoot(literal.data());
}

// The folder of a literal path: up to its last backslash, which a root keeps.
bool LogFolderPath(const wchar_t* literal, std::wstring* folder) {
  const wchar_t* name = WideNamePart(literal);
  size_t chars = static_cast<size_t>(name - literal);
  if (!name[0] || chars == 0) return false;
  if (chars > LiteralRootLength(literal)) --chars;
  folder->assign(literal, chars);
  return true;
}

bool BeginsAsWashLog(HANDLE file) {
  char head[64] = {}, begin[64];
  DWORD got = 0;
  if (!ReadFile(file, head, sizeof head - 1, &got, nullptr)) return false;
  for (const char* kind : kRunKinds) {
    snprintf(begin, sizeof begin, "%s %s, ", kProductTitle, kind);
    if (strncmp(head, begin, strlen(begin)) == 0) return true;
  }
  return false;
}

// The log at literal in the held folder, made new or opened when it is a wash
// log; INVALID_HANDLE_VALUE when it is refused or cannot be opened or begun.
HANDLE OpenLogFile(HANDLE folder, const wchar_t* folderPath, const wchar_t* literal) {
  HANDLE file = CreateFileW(literal, kLogAccess | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  bool made = file != INVALID_HANDLE_VALUE;
  if (!made) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
    file = CreateFileW(literal, kLogAccess, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  }
  if (IsPlainFileAt(file, literal) && IsAtPath(folder, folderPath) && (made || BeginsAsWashLog(file))) return file;
  DWORD unused = 0;
  if (made) MarkDeleted(file, &unused);  // what it made in a place it refuses goes again
  CloseHandle(file);
  return INVALID_HANDLE_VALUE;
}

HANDLE OpenWashLog(const wchar_t* path) {
  std::vector<wchar_t> literal(kLongPathChars);
  std::wstring folderPath;
  if (!LogLiteralPath(path, literal) || !LogFolderPath(literal.data(), &folderPath)) return INVALID_HANDLE_VALUE;
  // The folder is held (it cannot be moved meanwhile) and judged on that handle:
  // an elevated run (or one as the system) writes only where nobody but
  // administrators can put a link for it.
  DWORD error = 0;
  HANDLE folder = OpenHeldFolder(folderPath.c_str(), kHoldItself | kHoldReadSecurity, &error);
  if (!folder) return INVALID_HANDLE_VALUE;
  bool accepted = !IsElevatedProcess() || OnlyAdministratorsCanWriteFolder(folder);
  HANDLE file = accepted ? OpenLogFile(folder, folderPath.c_str(), literal.data()) : INVALID_HANDLE_VALUE;
  CloseHandle(folder);
  return file;
}

void AddCounts(WashTotals& sum, const WashTarget& t) {
  sum.files += t.files;
  sum.bytes += t.bytes;
  sum.scheduled += t.scheduled;
  sum.left += t.left;
  (t.kind == kTargetHistory ? sum.visits : sum.entries) += t.entries;
  // Tabs the browser is set to open again are kept by the user's own choice: not a
  // failure of the wash.
  if (t.kind == kTargetLeftAlone && t.reason != kLeftTabsKept) ++sum.leftAlone;
}

// The rows that a line of the log sums up: an item's own (not its rules'), or one rule's.
bool InLogLine(const WashTarget& t, int item, const std::string* rule) {
  return rule ? t.item == kRulesReportItem && t.rule == *rule : t.item == item && t.rule.empty();
}

// One item's counts over its rows (or, with rule, one cleaning rule's).
WashTotals ItemTotals(const WashReport& report, int item, const std::string* rule, bool* any, bool* browser) {
  WashTotals sum{0, 0, 0, 0, 0, 0, 0};
  *any = *browser = false;
  for (const WashTarget& t : report.targets) {
    if (!InLogLine(t, item, rule)) continue;
    *any = true;
    *browser = *browser || t.kind == kTargetBrowser;
    AddCounts(sum, t);
  }
  return sum;
}

}  // namespace

WashTotals TotalsOf(const WashReport& report) {
  WashTotals totals{0, 0, 0, 0, 0, 0, 0};
  for (const WashTarget& t : report.targets) AddCounts(totals, t);
  return totals;
}

void SetActiveReport(WashReport* report) { Active = report; }
void SetQuietReports(bool quiet) { Quiet = quiet; }
bool QuietReports() { return Quiet; }
void SetActiveItem(int item) { ActiveItemIndex = item; }
void SetActiveRule(const char* name) { ActiveRuleName = name ? name : ""; }
WashReport* ActiveReport() { return Active; }
bool IsPreview() { return Active && Active->preview; }

void ReportTarget(WashTargetKind kind, const char* what) {
  if (Active)
    Active->targets.push_back(WashTarget{ActiveItemIndex, kind, what ? what : "", 0, 0, 0, 0, 0, 0, ActiveRuleName});
}

void ReportFile(unsigned long long bytes) {
  if (WashTarget* t = CurrentTarget()) {
    ++t->files;
    t->bytes += bytes;
  }
}

void ReportScheduled() {
  if (WashTarget* t = CurrentTarget()) ++t->scheduled;
}

void ReportLeft(const char* path) {
  if (WashTarget* t = CurrentTarget()) ++t->left;
  if (Active && Active->leftFiles.size() < kLeftFilesKept) Active->leftFiles.push_back(path);
}

void ReportEntry() {
  if (WashTarget* t = CurrentTarget()) ++t->entries;
}

void FormatBytes(unsigned long long bytes, char* out, size_t cap) {
  constexpr const char* kUnits[] = {LIB_TEXT("KB"), LIB_TEXT("MB"), LIB_TEXT("GB"), LIB_TEXT("TB")};
  if (bytes < 1024) {
    char count[32];
    snprintf(count, sizeof count, "%llu", bytes);
    snprintf(out, cap, LibTranslate("%s bytes", LIB_TRANSLATE_FORMAT), count);
    return;
  }
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  snprintf(out, cap, "%.1f %s", value, LibTranslate(kUnits[unit], 0));
}

void ReportLines(const WashReport& report, char* out, size_t cap) {
  if (!cap) return;
  out[0] = 0;
  WashTotals totals = TotalsOf(report);
  const int format = 1 | LIB_TRANSLATE_FORMAT;
  char size[64], line[MAX_PATH * 2 + 200];
  FormatBytes(totals.bytes, size, sizeof size);
  snprintf(line, sizeof line, LibTranslate("Files deleted: %u (%s freed).", format), totals.files, size);
  AddLine(out, cap, line);
  if (totals.scheduled) {
    snprintf(line, sizeof line, LibTranslate("Files to be deleted at the next restart: %u.", format), totals.scheduled);
    AddLine(out, cap, line);
  }
  if (totals.left) {
    snprintf(line, sizeof line, LibTranslate("Files that could not be deleted: %u; the first: %s", format), totals.left,
             report.leftFiles.empty() ? "" : report.leftFiles.front().c_str());
    AddLine(out, cap, line);
  }
  snprintf(line, sizeof line, LibTranslate("Registry entries removed: %u.", format), totals.entries);
  AddLine(out, cap, line);
  if (totals.visits) {
    snprintf(line, sizeof line, LibTranslate("Visits removed from browser histories: %u.", format), totals.visits);
    AddLine(out, cap, line);
  }
  RunningProgramLines(report, out, cap);
  if (LeftAloneSentence(report, line, sizeof line)) AddLine(out, cap, line);
}

void RunningProgramLines(const WashReport& report, char* out, size_t cap) {
  std::vector<std::string> named;
  for (const WashTarget& t : report.targets) {
    if (t.kind != kTargetLeftAlone || t.reason != kLeftProgramRunning) continue;
    bool again = false;
    for (const std::string& n : named) again = again || n == t.what;
    if (again) continue;
    named.push_back(t.what);
    char line[MAX_PATH * 2];
    snprintf(line, sizeof line, LibTranslate("Left alone: %s is running.", 1 | LIB_TRANSLATE_FORMAT), t.what.c_str());
    AddLine(out, cap, line);
  }
}

bool LeftAloneSentence(const WashReport& report, char* out, size_t cap) {
  const WashTarget* first = nullptr;
  unsigned count = 0;
  for (const WashTarget& t : report.targets) {
    if (t.kind != kTargetLeftAlone || t.reason == kLeftProgramRunning) continue;  // those have their lines
    if (!first) first = &t;
    ++count;
  }
  if (!first || cap == 0) return false;
  char reason[300];
  snprintf(reason, sizeof reason, "%s", LeftAloneReasonText(first->reason, true));
  const char* sentence = first->reason == kLeftProtectedKey ? LIB_TEXT("The registry key '%s' was left alone: %s.")
                         : first->reason == kLeftInUse      ? LIB_TEXT("The file '%s' was left alone: %s.")
                                                            : LIB_TEXT("The folder '%s' was left alone: %s.");
  snprintf(out, cap, LibTranslate(sentence, 1 | LIB_TRANSLATE_FORMAT), first->what.c_str(), reason);
  if (count > 1) {
    size_t used = strlen(out);
    snprintf(out + used, cap - used, LibTranslate(" (%u more folders were left alone.)", 1 | LIB_TRANSLATE_FORMAT),
             count - 1);
  }
  return true;
}

bool FirstRightsWarning() {
  if (!Active) return true;
  bool first = !Active->rightsWarned;
  Active->rightsWarned = true;
  return first;
}

bool KeepNotScheduled(const char* path) {
  if (!Active || Active->preview) return false;
  ++Active->notScheduled;
  if (Active->notScheduledFiles.size() < kNotScheduledNamed) Active->notScheduledFiles.push_back(path);
  return true;
}

bool NotScheduledSentence(const WashReport& report, char* out, size_t cap) {
  if (!report.notScheduled || cap == 0) return false;
  snprintf(out, cap,
           LibTranslate("Locked files that could NOT be set up for deletion at next computer restart: %u; the first:",
                        1 | LIB_TRANSLATE_FORMAT),
           report.notScheduled);
  for (const std::string& path : report.notScheduledFiles) AddLine(out, cap, path.c_str());
  unsigned named = static_cast<unsigned>(report.notScheduledFiles.size());
  if (report.notScheduled > named) {
    char more[200];
    snprintf(more, sizeof more, LibTranslate("... and %u more.", 1 | LIB_TRANSLATE_FORMAT), report.notScheduled - named);
    AddLine(out, cap, more);
  }
  return true;
}

const char* ItemName(int item, bool translated) {
  if (item < 0 || item >= kWashItemCount) return "";
  return translated ? LibTranslate(kWashItems[item].name, 1) : kWashItems[item].name;
}

const char* RowName(const WashTarget& target, bool translated) {
  return target.rule.empty() ? ItemName(target.item, translated) : target.rule.c_str();
}

namespace {

// A line of the log with the counts of one item or one cleaning rule; nothing for
// one that has no rows.
bool WriteCountsLine(HANDLE file, const WashReport& report, int item, const std::string* rule) {
  bool any = false, browser = false;
  WashTotals t = ItemTotals(report, item, rule, &any, &browser);
  if (!any) return true;
  const char* name = rule ? rule->c_str() : ItemName(item, false);
  char line[MAX_PATH * 3];
  if (report.preview) {
    snprintf(line, sizeof line, "%s: %u files, %llu bytes, %u registry entries would be removed%s", name, t.files,
             t.bytes, t.entries, browser ? "; the browser would clear its own data" : "");
    size_t used = strlen(line);
    if (t.visits) snprintf(line + used, sizeof line - used, "; %u history visits would be removed", t.visits);
    used = strlen(line);
    if (t.left) snprintf(line + used, sizeof line - used, "; %u could not be reached", t.left);
  } else {
    snprintf(line, sizeof line,
             "%s: %u files deleted, %llu bytes freed, %u scheduled for the next restart, %u left, %u registry "
             "entries removed%s",
             name, t.files, t.bytes, t.scheduled, t.left, t.entries,
             browser ? "; the browser was asked to clear its own data" : "");
    size_t used = strlen(line);
    if (t.visits) snprintf(line + used, sizeof line - used, "; %u history visits removed", t.visits);
  }
  return WriteLine(file, line);
}

}  // namespace

bool WriteWashLog(const wchar_t* path, const WashReport& report, int exitCode, const char* note) {
  HANDLE file = OpenWashLog(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[MAX_PATH * 3];
  snprintf(line, sizeof line, "%s %s, %04u-%02u-%02u %02u:%02u:%02u", kProductTitle,
           kRunKinds[report.preview ? 1 : 0], now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
           now.wSecond);
  ok = WriteLine(file, line) && ok;
  // One line for each item, then one for each cleaning rule, in the order they ran.
  std::vector<std::string> rules;
  for (const WashTarget& t : report.targets) {
    bool again = t.rule.empty();
    for (const std::string& r : rules) again = again || r == t.rule;
    if (!again) rules.push_back(t.rule);
  }
  for (size_t row = 0; row < kWashItemCount + rules.size(); ++row) {
    const std::string* rule = row < kWashItemCount ? nullptr : &rules[row - kWashItemCount];
    int item = rule ? kRulesReportItem : static_cast<int>(row);
    ok = WriteCountsLine(file, report, item, rule) && ok;
  }
  // Paths are written whole, however long.
  // A program that runs leaves each of its rules alone: one line says it.
  std::vector<std::string> written;
  for (const WashTarget& t : report.targets) {
    if (t.kind != kTargetLeftAlone) continue;
    std::string aloneLine = "left alone: " + t.what + " (" + LeftAloneReasonText(t.reason, false) + ")";
    bool again = false;
    for (const std::string& w : written) again = again || w == aloneLine;
    if (again) continue;
    written.push_back(aloneLine);
    ok = WriteLine(file, aloneLine.c_str()) && ok;
  }
  for (const std::string& left : report.leftFiles) ok = WriteLine(file, ("left: " + left).c_str()) && ok;
  if (note) {
    snprintf(line, sizeof line, "no wash: %s", note);
    ok = WriteLine(file, line) && ok;
  }
  snprintf(line, sizeof line, "exit code: %d", exitCode);
  ok = WriteLine(file, line) && ok;
  ok = FlushFileBuffers(file) && ok;
  CloseHandle(file);
  return ok;
}
