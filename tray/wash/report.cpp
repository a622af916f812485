// The report of a wash or a preview (see report.h).
#include "tray/wash/report.h"

#include <cstdio>
#include <cstring>

#include "tray/qvtoolbar.h"
#include "tray/wash/wash.h"

namespace {

thread_local WashReport* Active = nullptr;
thread_local int ActiveItemIndex = 0;
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

void WriteLine(HANDLE file, const char* text) {
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
}

void AddCounts(WashTotals& sum, const WashTarget& t) {
  sum.files += t.files;
  sum.bytes += t.bytes;
  sum.scheduled += t.scheduled;
  sum.left += t.left;
  sum.entries += t.entries;
  if (t.kind == kTargetLeftAlone) ++sum.leftAlone;
}

// One item's counts over its rows.
WashTotals ItemTotals(const WashReport& report, int item, bool* any, bool* browser) {
  WashTotals sum{0, 0, 0, 0, 0, 0};
  *any = *browser = false;
  for (const WashTarget& t : report.targets) {
    if (t.item != item) continue;
    *any = true;
    *browser = *browser || t.kind == kTargetBrowser;
    AddCounts(sum, t);
  }
  return sum;
}

}  // namespace

WashTotals TotalsOf(const WashReport& report) {
  WashTotals totals{0, 0, 0, 0, 0, 0};
  for (const WashTarget& t : report.targets) AddCounts(totals, t);
  return totals;
}

void SetActiveReport(WashReport* report) { Active = report; }
void SetQuietReports(bool quiet) { Quiet = quiet; }
bool QuietReports() { return Quiet; }
void SetActiveItem(int item) { ActiveItemIndex = item; }
WashReport* ActiveReport() { return Active; }
bool IsPreview() { return Active && Active->preview; }

void ReportTarget(WashTargetKind kind, const char* what) {
  if (Active) Active->targets.push_back(WashTarget{ActiveItemIndex, kind, what ? what : "", 0, 0, 0, 0, 0, 0});
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
  if (LeftAloneSentence(report, line, sizeof line)) AddLine(out, cap, line);
}

bool LeftAloneSentence(const WashReport& report, char* out, size_t cap) {
  const WashTarget* first = nullptr;
  unsigned count = 0;
  for (const WashTarget& t : report.targets) {
    if (t.kind != kTargetLeftAlone) continue;
    if (!first) first = &t;
    ++count;
  }
  if (!first || cap == 0) return false;
  char reason[300];
  snprintf(reason, sizeof reason, "%s", LeftAloneReasonText(first->reason, true));
  snprintf(out, cap, LibTranslate("The folder '%s' was left alone: %s.", 1 | LIB_TRANSLATE_FORMAT),
           first->what.c_str(), reason);
  if (count > 1) {
    size_t used = strlen(out);
    snprintf(out + used, cap - used, LibTranslate(" (%u more folders were left alone.)", 1 | LIB_TRANSLATE_FORMAT),
             count - 1);
  }
  return true;
}

const char* ItemName(int item, bool translated) {
  if (item < 0 || item >= kWashItemCount) return "";
  return translated ? LibTranslate(kWashItems[item].name, 1) : kWashItems[item].name;
}

bool WriteWashLog(const wchar_t* path, const WashReport& report, int exitCode, const char* note) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[MAX_PATH * 3];
  snprintf(line, sizeof line, "%s %s, %04u-%02u-%02u %02u:%02u:%02u", kProductTitle,
           report.preview ? "wash preview" : "wash", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
           now.wSecond);
  WriteLine(file, line);
  for (int item = 0; item < kWashItemCount; ++item) {
    bool any = false, browser = false;
    WashTotals t = ItemTotals(report, item, &any, &browser);
    if (!any) continue;
    if (report.preview) {
      snprintf(line, sizeof line, "%s: %u files, %llu bytes, %u registry entries would be removed%s", ItemName(item, false),
               t.files, t.bytes, t.entries, browser ? "; the browser would clear its own data" : "");
      size_t used = strlen(line);
      if (t.left) snprintf(line + used, sizeof line - used, "; %u could not be reached", t.left);
    } else {
      snprintf(line, sizeof line,
               "%s: %u files deleted, %llu bytes freed, %u scheduled for the next restart, %u left, %u registry "
               "entries removed%s",
               ItemName(item, false), t.files, t.bytes, t.scheduled, t.left, t.entries,
               browser ? "; the browser was asked to clear its own data" : "");
    }
    WriteLine(file, line);
  }
  // Paths are written whole, however long.
  for (const WashTarget& t : report.targets) {
    if (t.kind != kTargetLeftAlone) continue;
    WriteLine(file, ("left alone: " + t.what + " (" + LeftAloneReasonText(t.reason, false) + ")").c_str());
  }
  for (const std::string& left : report.leftFiles) WriteLine(file, ("left: " + left).c_str());
  if (note) {
    snprintf(line, sizeof line, "no wash: %s", note);
    WriteLine(file, line);
  }
  snprintf(line, sizeof line, "exit code: %d", exitCode);
  WriteLine(file, line);
  bool ok = FlushFileBuffers(file) != 0;
  CloseHandle(file);
  return ok;
}
