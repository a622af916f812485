// An unattended wash: "qvtoolbar.exe /autowash" washes the items ticked in the
// settings and then the ticked cleaning rules, without the question and without
// any window (reports are written, not shown), whether the tray program runs or
// not, and never beside another wash. A rule whose program runs is left alone: 1.
// "/preview" only looks; "/log:<path>" (quoted when it holds blanks) writes a
// plain-text log. The exit code: 0 everything ticked was washed, 1 something was
// left or scheduled for the next restart, 2 no wash could run (nothing ticked,
// another wash running), 3 the log could not be written (refused, or it could not
// be made or written); 3 stands in place of 1 or 2, which the log would have
// explained.
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"
#include "tray/wash/rules.h"
#include "tray/wash/wash.h"

namespace {

constexpr int kAllWashed = 0;
constexpr int kSomethingLeft = 1;
constexpr int kNoWash = 2;
constexpr int kLogNotWritten = 3;

// The switches of an unattended wash: each a whole argument of its own, as the
// system splits a command line ("/preview" inside a log path is no switch).
struct UnattendedSwitches {
  bool autowash;
  bool preview;
  std::wstring log;  // the value of "/log:" (its quotes removed); empty when none
};

UnattendedSwitches SwitchesOf(const wchar_t* commandLine) {
  UnattendedSwitches found = {false, false, L""};
  int count = 0;
  LPWSTR* arguments = commandLine && commandLine[0] ? CommandLineToArgvW(commandLine, &count) : nullptr;
  if (!arguments) return found;
  for (int i = 1; i < count; ++i) {  // the first is the program
    const wchar_t* a = arguments[i];
    if (lstrcmpiW(a, L"/autowash") == 0) found.autowash = true;
    else if (lstrcmpiW(a, L"/preview") == 0) found.preview = true;
    else if (_wcsnicmp(a, L"/log:", 5) == 0) found.log = a + 5;
  }
  LocalFree(arguments);
  return found;
}

bool AnyItemTicked(const std::vector<CleaningRule>& rules) {
  for (const WashItem& item : kWashItems)
    if (ReadSettingInt(item.setting) == 1) return true;
  return AnyRuleTicked(rules);
}

// Runs the ticked items in a run's order, then the ticked cleaning rules, on this
// thread, into report.
void RunTickedItems(WashReport& report, const std::vector<CleaningRule>& rules) {
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
  WashTickedRules(rules);
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

int UnattendedWash(bool preview, const wchar_t* logPath) {
  WashReport report;
  report.preview = preview;
  const char* note = nullptr;
  HANDLE lock = nullptr;
  int code;
  std::vector<CleaningRule> rules = ShownRules();
  if (!AnyItemTicked(rules)) {
    code = kNoWash;
    note = "no item is ticked";
  } else if (!preview && !(lock = TakeWashLock())) {  // a preview changes nothing: it may run beside a wash
    code = kNoWash;
    note = "another wash is running";
  } else {
    OleInitialize(nullptr);
    RunTickedItems(report, rules);
    OleUninitialize();
    code = ExitCodeOf(report);
  }
  ReleaseWashLock(lock);
  // What the wash did stays; only the code tells that its log is missing.
  if (logPath[0] && !WriteWashLog(logPath, report, code, note)) code = kLogNotWritten;
  return code;
}

}  // namespace

bool RunUnattendedWashIfAsked(const wchar_t* commandLine, int* exitCode) {
  UnattendedSwitches switches = SwitchesOf(commandLine);
  if (!switches.autowash) return false;
  *exitCode = UnattendedWash(switches.preview, switches.log.c_str());
  return true;
}
