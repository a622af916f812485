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

// One item with its setting, its check box on the Wash page and its progress text.
struct WashItem {
  const char* setting;
  int checkBox;
  void (*run)();
  const char* progress;
};
// In the order of a run.
constexpr int kWashItemCount = 9;
extern const WashItem kWashItems[kWashItemCount];
constexpr int kHistoryItem = 5;  // HistoryInRun is set just before it runs in a run

// Folders an item leaves alone: a folder the folder guard protects, and a "temporary"
// folder that TMP and TEMP did not name (the system then falls back to the profile
// or the Windows folder). The first one of a run is kept with its reason.
enum LeftAloneReason { kLeftProtected = 1, kLeftNotTemporary = 2 };
void NoteFolderLeftAlone(const char* folder, LeftAloneReason reason);
// Forgets them: the start of a run or of a single clearing.
void ForgetFoldersLeftAlone();
// The translated sentence that names the first folder left alone and why (and how
// many more there were); false when none was.
bool LeftAloneSentence(char* out, size_t cap);

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

// The File Delete Options dialog (resource 115).
INT_PTR CALLBACK DeleteOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
