// The Wash: its nine items, the Internet Options automation, the run on a worker
// thread, the Wash page and the File Delete Options dialog.
#pragma once

#include <windows.h>

// The nine items, each clearing one kind of trace. They run on the wash worker
// during a run and on the GUI thread from the Wash page's buttons.
void WashRunMru();
void WashRecentDocs();
void WashFindMru();
void WashTempFolders();
void WashTypedUrls();
void WashIeHistory();
void WashAutoComplete();
void WashIeCache();
void WashIeCookies();

// One item with its setting, its check box on the Wash page, its progress text and
// its name in reports.
struct WashItem {
  const char* setting;
  int checkBox;
  void (*run)();
  const char* progress;
  const char* name;
};
// In the order of a run.
constexpr int kWashItemCount = 9;
extern const WashItem kWashItems[kWashItemCount];
constexpr int kHistoryItem = 5;  // HistoryInRun is set just before it runs in a run

// Folders an item leaves alone: a folder the folder guard protects, and a "temporary"
// folder that TMP and TEMP did not name (the system then falls back to the profile
// or the Windows folder). Each goes into the thread's report (report.h) with its reason.
// A TMP or TEMP that is not a full path names a folder relative to wherever the
// program was started: left alone as well.
// A cleaning rule's files are left alone while the program that keeps them runs.
enum LeftAloneReason {
  kLeftNothing = 0,
  kLeftProtected = 1,
  kLeftNotTemporary = 2,
  kLeftRelative = 3,
  kLeftProgramRunning = 4,
  kLeftProtectedKey = 5,  // a registry key the rules' guard refuses
  kLeftInUse = 6,         // a database another program holds
  kLeftTabsKept = 7       // a browser profile that opens its last tabs again: the user's choice
};
void NoteFolderLeftAlone(const char* folder, LeftAloneReason reason);
// Why, in a sentence part ("it is a folder of Windows or of a user"), translated or in English.
const char* LeftAloneReasonText(int reason, bool translated);

// Only one wash at a time, in this program or in another started with "/autowash":
// the lock is held by the thread that washes. Null when another wash holds it.
HANDLE TakeWashLock();
void ReleaseWashLock(HANDLE lock);
// The box that says a wash is already running.
void ShowWashRunning();
// A run's error, warning and locked-file counts back at zero, as a run starts.
void ResetWashCounts();

// The Wash page's immediate clearing of items (indexes into kWashItems) on this
// thread, holding the wash lock, with a report of its own; a beep at its end, or
// one box with what it left.
void ClearItemsNow(const int* items, size_t count);

// The run: asks, then clears the ticked items on a worker thread.
void StartWash();
DWORD WINAPI WashThreadProc(void* unused);
// At the program's end: asks a running wash to stop and waits for its worker (its
// report boxes closed, this thread's messages pumped) at most timeoutMs, so that no
// file is left half overwritten.
void EndWashAtExit(DWORD timeoutMs);

// The progress the worker reports without waiting (posted to the main window):
// wParam is the item's index, or one of these.
constexpr UINT WMU_WASHPROGRESS = WM_APP + 1;
constexpr WPARAM kWashFinished = 100;
constexpr WPARAM kWashCanceled = 101;
// Shows the progress in the tray tip and in the tip of the Wash page's button.
void ShowWashProgress(WPARAM step);

// The preview: what a wash of the items ticked on the page would do, found by the same
// walk told only to look, shown in a dialog (resource 117) that can be sorted by column.
void PreviewWash(HWND page);

// The More Items dialog (resource 118): the cleaning rules that apply here, grouped
// by program, each ticked or not for every wash; OK keeps the ticks.
void ShowMoreItems();

// "/autowash" on the command line: the saved selection washed without a question and
// without windows ("/preview": only looked at; "/log:<path>": a plain-text log).
// True when the command line asks for it; the exit code (0 all washed, 1 something
// left or scheduled, 2 no wash could run) in *exitCode.
// Each switch counts only as a whole argument.
bool RunUnattendedWashIfAsked(const wchar_t* commandLine, int* exitCode);

// The File Delete Options dialog (resource 115).
INT_PTR CALLBACK DeleteOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
