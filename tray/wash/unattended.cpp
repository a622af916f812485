// An unattended wash: "qvtoolbar.exe /autowash" washes the items ticked in the
// settings, without the question and without any window (reports are written, not
// shown), whether the tray program runs or not, and never beside another wash.
// "/preview" only looks; "/log:<path>" (quoted when it holds blanks) writes a
// plain-text log. The exit code: 0 everything ticked was washed, 1 something was
// left or scheduled for the next restart, 2 no wash could run (nothing ticked,
// another wash running).
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"
#include "tray/wash/wash.h"

namespace {

constexpr int kAllWashed = 0;
constexpr int kSomethingLeft = 1;
constexpr int kNoWash = 2;
constexpr size_t kLogPathChars = MAX_PATH * 2;

// The value of "/log:" as typed (its case kept): a quoted path up to the closing
// quote, else up to the next blank. Empty when there is none or it does not fit.
void LogPathOf(const char* line, char* out, size_t cap) {
  out[0] = 0;
  const char* at = nullptr;
  for (const char* p = line; *p && !at; ++p)
    if (_strnicmp(p, "/log:", 5) == 0) at = p + 5;
  if (!at) return;
  const char* end;
  if (*at == '"') {
    ++at;
    end = strchr(at, '"');
    if (!end) end = at + strlen(at);
  } else {
    end = at;
    while (*end && *end != ' ' && *end != '\t') ++end;
  }
  size_t n = static_cast<size_t>(end - at);
  if (n == 0 || n + 1 > cap) return;  // refused, never cut to another file
  memcpy(out, at, n);
  out[n] = 0;
}

bool AnyItemTicked() {
  for (const WashItem& item : kWashItems)
    if (ReadSettingInt(item.setting) == 1) return true;
  return false;
}

// Runs the ticked items in a run's order, on this thread, into report.
void RunTickedItems(WashReport& report) {
  ResetWashCounts();
  StopRequested.store(0, std::memory_order_relaxed);
  SetQuietReports(true);
  SetActiveReport(&report);
  for (int i = 0; i < kWashItemCount; ++i) {
    if (ReadSettingInt(kWashItems[i].setting) != 1) continue;
    if (i == kHistoryItem) HistoryInRun.store(1, std::memory_order_relaxed);
    SetActiveItem(i);
    kWashItems[i].run();
  }
  SetActiveReport(nullptr);
  SetQuietReports(false);
  HistoryInRun.store(0, std::memory_order_relaxed);
}

int ExitCodeOf(const WashReport& report) {
  if (report.preview) return kAllWashed;
  WashTotals totals = TotalsOf(report);
  bool left = totals.left || totals.scheduled || totals.leftAlone ||
              WashErrorCount.load(std::memory_order_relaxed) || WashWarningCount.load(std::memory_order_relaxed);
  return left ? kSomethingLeft : kAllWashed;
}

int UnattendedWash(bool preview, const char* logPath) {
  WashReport report{preview, {}, {}};
  const char* note = nullptr;
  HANDLE lock = nullptr;
  int code;
  if (!AnyItemTicked()) {
    code = kNoWash;
    note = "no item is ticked";
  } else if (!preview && !(lock = TakeWashLock())) {  // a preview changes nothing: it may run beside a wash
    code = kNoWash;
    note = "another wash is running";
  } else {
    OleInitialize(nullptr);
    RunTickedItems(report);
    OleUninitialize();
    code = ExitCodeOf(report);
  }
  ReleaseWashLock(lock);
  if (logPath[0]) WriteWashLog(logPath, report, code, note);
  return code;
}

}  // namespace

bool RunUnattendedWashIfAsked(const char* commandLine, int* exitCode) {
  std::string lowered = commandLine ? commandLine : "";
  if (lowered.empty()) return false;
  CharLowerA(&lowered[0]);
  if (lowered.find("/autowash") == std::string::npos) return false;
  char logPath[kLogPathChars];
  LogPathOf(commandLine, logPath, sizeof logPath);
  *exitCode = UnattendedWash(lowered.find("/preview") != std::string::npos, logPath);
  return true;
}
