// The wash run: one confirmation, then the ticked items in their fixed order and
// the ticked cleaning rules on a worker thread, and a summary of errors, warnings
// and locked files.
#include <cstdio>
#include <cstring>

#include "tray/pages.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"
#include "tray/wash/rules.h"
#include "tray/wash/wash.h"

namespace {

constexpr int IDC_WASHBUTTON = 1175;
constexpr int kSummaryChars = 520;
constexpr int kReportChars = 2000;  // the counts, a file left and a folder left alone with the reason
// The locked files not set up for the restart: the count and the first few paths.
constexpr int kLockedChars = 2000;
constexpr const char* kWashLockName = "QvToolbarWash";
// The deepest folder walk a 520-character path allows is about 260 levels of
// about 3 KB of stack each (the walk's frames), and a report box at its end
// needs the system's share: reserved explicitly, with room to spare.
constexpr SIZE_T kWorkerStack = 4 * 1024 * 1024;
constexpr UINT_PTR kCanceledTipTimer = 4711;
constexpr UINT kCanceledTipMs = 5000;
constexpr const char* kButtonTip = "Clear all selected items now";  // the button's own tip, in English

constexpr DWORD kBoxCloseMs = 200;  // at exit, the worker's boxes are closed this often

// The worker of the last run (null when none was started); kept so that the
// program can wait for it at its end.
HANDLE WashWorker;
DWORD WashWorkerId;

bool Stopping() { return StopRequested.load(std::memory_order_relaxed) != 0; }

BOOL CALLBACK CloseWorkerBox(HWND window, LPARAM) {
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, "#32770") == 0) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

bool PageOpen() { return WashPageWindow && IsWindow(WashPageWindow); }

void SetButtonCaption(const char* text) {
  if (PageOpen()) SetDlgItemTextA(WashPageWindow, IDC_WASHBUTTON, LibTranslate(text, 1));
}

// Tells the main window how far the run is; never waits for it.
void ReportProgress(WPARAM step) { PostMessageA(LibAppWindow, WMU_WASHPROGRESS, step, 0); }

// The first line: the run's errors, warnings and locked files. A folder left alone
// was not washed: such a run did not finish "successfully".
void SummaryFirstLine(bool leftAlone, char* text, size_t cap) {
  unsigned errors = static_cast<unsigned>(WashErrorCount.load(std::memory_order_relaxed));
  unsigned warnings = static_cast<unsigned>(WashWarningCount.load(std::memory_order_relaxed));
  unsigned locked = static_cast<unsigned>(WashLockedCount.load(std::memory_order_relaxed));
  const int format = 1 | LIB_TRANSLATE_FORMAT;
  if (!errors && !warnings && !locked && !leftAlone) {
    snprintf(text, cap, "%s", LibTranslate("Wash finished successfully!", 1));
  } else if (!errors && !warnings && !leftAlone) {
    snprintf(text, cap,
             LibTranslate("Wash finished successfully! (%u locked files will be deleted after reboot.)", format), locked);
  } else if (!errors && !warnings && !locked) {
    snprintf(text, cap, "%s", LibTranslate("Wash finished.", 1));
  } else if (locked) {
    snprintf(text, cap,
             LibTranslate("Wash finished. %u errors occured. %u warnings issued. (%u locked files will be deleted "
                          "after a reboot.)",
                          format),
             errors, warnings, locked);
  } else {
    snprintf(text, cap, LibTranslate("Wash finished. %u errors occured. %u warnings issued.", format), errors,
             warnings);
  }
}

// The summary: the first line, then what the run did, counted by the run itself,
// and the locked files it could not set up for the restart for want of rights.
void ShowSummary(const WashReport& report) {
  char text[kSummaryChars + kReportChars + kLockedChars] = {};
  SummaryFirstLine(TotalsOf(report).leftAlone > 0, text, sizeof text);
  size_t used = strlen(text);
  snprintf(text + used, sizeof text - used, "%s", "\r\n\r\n");
  used = strlen(text);
  ReportLines(report, text + used, sizeof text - used);
  char locked[kLockedChars];
  if (NotScheduledSentence(report, locked, sizeof locked)) {
    used = strlen(text);
    snprintf(text + used, sizeof text - used, "\r\n\r\n%s", locked);
  }
  MessageBoxA(LibOwnerWindow, text, kProductTitle, MB_ICONINFORMATION);
}

// The tip of the tray icon and of the Wash page's button.
void SetTips(const char* trayTip, const char* buttonTip) {
  snprintf(LibTrayTipText, sizeof LibTrayTipText, "%.63s", trayTip);
  if (ReadSettingInt("TrayIcon") != 0) LibAddTrayIcon(MainWindow, LibTrayTipText);
  HWND tooltip = TooltipOf(WashPageWindow);  // the page's own, not the last one made
  if (PageOpen() && tooltip) LibAddTooltip(WashPageWindow, tooltip, IDC_WASHBUTTON, buttonTip);
}

void CALLBACK RestoreTrayTip(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  if (WashRunning.load(std::memory_order_relaxed)) return;  // a new run shows its own
  char tip[LIB_TRAYTIP_CHARS];
  SetTrayTipText(tip, sizeof tip);
  if (ReadSettingInt("TrayIcon") != 0) LibAddTrayIcon(MainWindow, tip);
}

}  // namespace

void StartWash() {
  int answer = MessageBoxA(LibOwnerWindow, LibTranslate("Clear all information for the selected items?", 1),
                           kProductTitle, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND);
  if (answer != IDOK) {
    SetButtonCaption(LIB_TEXT("Clear Selected Items"));
    StopRequested.store(0, std::memory_order_relaxed);
    WashRunning.store(0, std::memory_order_relaxed);
    return;
  }
  if (WashRunning.load(std::memory_order_relaxed) == 1) return;
  WashRunning.store(1, std::memory_order_relaxed);
  SetButtonCaption(LIB_TEXT("S&top Washing"));
  if (WashWorker) CloseHandle(WashWorker);  // an earlier run, long ended
  WashWorker = CreateThread(nullptr, kWorkerStack, WashThreadProc, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION,
                            &WashWorkerId);
  if (WashWorker) return;
  // Without a worker there is no run: nothing may stay marked as running.
  DWORD error = GetLastError();
  WashRunning.store(0, std::memory_order_relaxed);
  SetButtonCaption(LIB_TEXT("Clear Selected Items"));
  SetLastError(error);
  ShowSystemError(LibOwnerWindow, LibTranslate("Cannot start the wash. Windows reported this error: ", 1));
}

void ResetWashCounts() {
  WashErrorCount.store(0, std::memory_order_relaxed);
  WashWarningCount.store(0, std::memory_order_relaxed);
  WashLockedCount.store(0, std::memory_order_relaxed);
}

DWORD WINAPI WashThreadProc(void*) {
  ResetWashCounts();
  HANDLE lock = TakeWashLock();
  if (!lock) ShowWashRunning();  // an unattended wash of another program holds it
  WashReport report;
  SetActiveReport(&report);
  bool stopped = !lock;
  for (int i = 0; i < kWashItemCount && !stopped; ++i) {
    if (ReadSettingInt(kWashItems[i].setting) == 1) {
      ReportProgress(static_cast<WPARAM>(i));
      if (i == kHistoryItem) HistoryInRun.store(1, std::memory_order_relaxed);
      SetActiveItem(i);
      kWashItems[i].run();
    }
    stopped = Stopping();
  }
  if (!stopped) {  // then the items ticked in the More Items dialog
    std::vector<CleaningRule> rules = ShownRules();
    if (AnyRuleTicked(rules)) {
      ReportProgress(static_cast<WPARAM>(kRulesReportItem));
      stopped = !WashTickedRules(rules);
    }
  }
  SetActiveReport(nullptr);
  if (!stopped) ShowSummary(report);
  ReleaseWashLock(lock);
  SetButtonCaption(LIB_TEXT("Clear Selected Items"));
  bool beep = Stopping();
  if (beep && PageOpen()) MessageBeep(0);
  ReportProgress(beep ? kWashCanceled : kWashFinished);
  StopRequested.store(0, std::memory_order_relaxed);
  WashRunning.store(0, std::memory_order_relaxed);
  HistoryInRun.store(0, std::memory_order_relaxed);
  return 1;
}

// On the GUI thread, from the main window: the current item's text while the run
// lasts, then the product title again ("Wash canceled." for a while after a stop).
void ShowWashProgress(WPARAM step) {
  if (step <= static_cast<WPARAM>(kRulesReportItem)) {
    char text[LIB_TRAYTIP_CHARS];
    const char* progress = step < kWashItemCount ? kWashItems[step].progress : LIB_TEXT("Washing more items...");
    snprintf(text, sizeof text, "%s", LibTranslate(progress, 1));
    SetTips(text, text);
    return;
  }
  char title[LIB_TRAYTIP_CHARS];
  SetTrayTipText(title, sizeof title);
  if (step == kWashCanceled) {
    SetTips(LibTranslate("Wash canceled.", 1), kButtonTip);
    SetTimer(MainWindow, kCanceledTipTimer, kCanceledTipMs, RestoreTrayTip);
  } else if (step == kWashFinished) {
    SetTips(title, kButtonTip);
  }
}

void EndWashAtExit(DWORD timeoutMs) {
  if (!WashWorker) return;
  StopRequested.store(1, std::memory_order_relaxed);
  DWORD start = GetTickCount(), lastClose = start - kBoxCloseMs;
  for (;;) {
    DWORD now = GetTickCount();
    if (now - start >= timeoutMs) break;
    // A report the worker shows would hold it: its boxes are closed (they have OK only).
    if (now - lastClose >= kBoxCloseMs) {
      EnumThreadWindows(WashWorkerId, CloseWorkerBox, 0);
      lastClose = now;
    }
    DWORD wait = timeoutMs - (now - start);
    if (wait > kBoxCloseMs) wait = kBoxCloseMs;
    DWORD result = MsgWaitForMultipleObjects(1, &WashWorker, FALSE, wait, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) break;
    MSG message;  // the worker may be waiting on this thread's windows
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  CloseHandle(WashWorker);
  WashWorker = nullptr;
}

HANDLE TakeWashLock() {
  // Across the user's sessions where the system lets this program make a global
  // lock (an unattended wash may run in another session), else in this one.
  char name[64];
  snprintf(name, sizeof name, "Global\\%s", kWashLockName);
  HANDLE lock = CreateMutexA(nullptr, FALSE, name);
  if (!lock) lock = CreateMutexA(nullptr, FALSE, kWashLockName);
  if (!lock) return nullptr;
  DWORD taken = WaitForSingleObject(lock, 0);
  if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) return lock;
  CloseHandle(lock);
  return nullptr;
}

void ReleaseWashLock(HANDLE lock) {
  if (!lock) return;
  ReleaseMutex(lock);
  CloseHandle(lock);
}

void ShowWashRunning() {
  MessageBoxA(LibOwnerWindow, LibTranslate("A wash is already running. Try again when it has finished.", 1),
              kProductTitle, MB_ICONINFORMATION);
}
