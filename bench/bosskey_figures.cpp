// The Boss-Key on 300 matching windows of a helper process: the running program
// hides and then shows them (message 1057, as the browser toolbar sends it),
// against a bare loop of the same number of ShowWindowAsync calls on the same
// windows. Both are timed until the helper has carried the last one out, in rounds
// that take turns at going first; the figure is the median of the rounds' ratios.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tray/qvtoolbar.h"

namespace bench {
namespace {

constexpr int kWindows = 300;
constexpr int kRounds = 10;
constexpr double kTimeout = 30;

struct Windows {
  DWORD pid;
  std::vector<HWND> list;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
  Windows* windows = reinterpret_cast<Windows*>(data);
  char cls[64] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == windows->pid && GetClassNameA(window, cls, sizeof cls) && strcmp(cls, kBenchClass) == 0)
    windows->list.push_back(window);
  return TRUE;
}

// Waits until every window is shown (or every one hidden); false after the timeout.
bool WaitAll(const std::vector<HWND>& list, bool visible) {
  double start = Now();
  for (;;) {
    bool all = true;
    for (HWND w : list) all = all && ((IsWindowVisible(w) != FALSE) == visible);
    if (all) return true;
    if (Now() - start > kTimeout) return false;
    Sleep(1);
  }
}

struct BossKeyRace {
  std::vector<HWND> list;
  HWND main;
};

// One hide and one show of every window, each until the helper has done it.
double HideAndShow(BossKeyRace* race, void (*toggle)(const BossKeyRace&, bool), std::string* failure) {
  double start = Now();
  toggle(*race, false);
  bool hidden = WaitAll(race->list, false);
  if (hidden) toggle(*race, true);
  if (!hidden || !WaitAll(race->list, true)) {
    *failure = hidden ? "the windows were not all shown again within 30 s" : "the windows were not all hidden within 30 s";
    return -1;
  }
  return Now() - start;
}

void BareLoop(const BossKeyRace& race, bool show) {
  for (HWND w : race.list) ShowWindowAsync(w, show ? SW_SHOW : SW_HIDE);
}

void BossKeyRun(const BossKeyRace& race, bool) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(race.main, WMU_BOSSKEY, 0, 0, SMTO_NORMAL, 30000, &result);
}

double Ours(void* context, int, std::string* failure) {
  return HideAndShow(static_cast<BossKeyRace*>(context), BossKeyRun, failure);
}

double Reference(void* context, int, std::string* failure) {
  return HideAndShow(static_cast<BossKeyRace*>(context), BareLoop, failure);
}

std::string Milliseconds(double seconds) { return Formatted("%.0f ms", seconds * 1000); }

HWND WaitMainWindow(DWORD pid) {
  for (double start = Now(); Now() - start < kTimeout; Sleep(50)) {
    for (HWND w = FindWindowExA(nullptr, nullptr, kMainClass, nullptr); w;
         w = FindWindowExA(nullptr, w, kMainClass, nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == pid) return w;
    }
  }
  return nullptr;
}

}  // namespace

int WindowsHelper(int count) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kBenchClass;
  RegisterClassA(&wc);
  for (int i = 0; i < count; ++i) {
    char title[32];
    snprintf(title, sizeof title, "bench window %d", i);
    CreateWindowA(kBenchClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10 + i % 50, 10 + i % 40, 200, 100, nullptr,
                  nullptr, wc.hInstance, nullptr);
  }
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
  HANDLE end = OpenEventA(SYNCHRONIZE, FALSE, kEndEvent);
  if (ready) SetEvent(ready);
  for (;;) {
    DWORD woke = MsgWaitForMultipleObjects(end ? 1 : 0, &end, FALSE, 120000, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + (end ? 1 : 0)) break;  // the end, or two idle minutes
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  return 0;
}

void BossKeyFigures(std::vector<Figure>& figures) {
  const char* name = "Boss-Key, hide and show 300 windows / ShowWindowAsync loop (time)";
  Figure figure = NotMeasured(name, kAtMost, 1.5);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReadyEvent);
  HANDLE end = CreateEventA(nullptr, TRUE, FALSE, kEndEvent);
  ResetEvent(end);
  PROCESS_INFORMATION helper = StartProcess("\"" + SelfPath() + "\" windows " + std::to_string(kWindows));
  PROCESS_INFORMATION tray = {};
  BossKeyRace race{{}, nullptr};
  Windows windows{helper.dwProcessId, {}};
  if (helper.hProcess && WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0) {
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    // One entry: every window of the bench's class, whatever its title.
    PinText("BossTitle000", "");
    PinText("BossClass000", kBenchClass);
    PinAbsent("BossTitle001");
    tray = StartProcess("\"" + BinFolder() + "qvtoolbar.exe\" /s");
    race.main = tray.hProcess ? WaitMainWindow(tray.dwProcessId) : nullptr;
  }
  race.list = windows.list;
  if (static_cast<int>(race.list.size()) == kWindows && race.main) {
    Race pair{"Boss-Key", false, nullptr, Ours, Reference, nullptr, &race};
    figure = RaceFigure(name, RunRace(pair, kRounds), Milliseconds, kAtMost, 1.5);
  }
  CloseProgram(tray, kMainClass);
  SetEvent(end);
  CloseProgram(helper, kBenchClass);
  CloseHandle(ready);
  CloseHandle(end);
  figures.push_back(figure);
}

}  // namespace bench
