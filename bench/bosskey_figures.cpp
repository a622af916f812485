// The Boss-Key on 300 matching windows of a helper process: the running program
// hides and then shows them (message 1057, as the browser toolbar sends it),
// against a bare loop of the same number of ShowWindowAsync calls on the same
// windows. Both are timed until the helper has carried the last one out.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"

namespace bench {
namespace {

constexpr int kWindows = 300;
constexpr int kRounds = 5;
constexpr UINT kBossKeyMessage = WM_USER + 33;
constexpr const char* kSettingsKey = "Software\\AppDataLow\\Software\\Quorvane\\Toolbar";
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

// The best of the rounds of one hide and one show, each until the helper has done it.
double BestRound(const std::vector<HWND>& list, void (*toggle)(const std::vector<HWND>&, bool, HWND), HWND main) {
  double best = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    double start = Now();
    toggle(list, false, main);
    if (!WaitAll(list, false)) return -1;
    toggle(list, true, main);
    if (!WaitAll(list, true)) return -1;
    double t = Now() - start;
    if (t < best) best = t;
  }
  return best;
}

void BareLoop(const std::vector<HWND>& list, bool show, HWND) {
  for (HWND w : list) ShowWindowAsync(w, show ? SW_SHOW : SW_HIDE);
}

void BossKeyRun(const std::vector<HWND>&, bool, HWND main) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(main, kBossKeyMessage, 0, 0, SMTO_NORMAL, 30000, &result);
}

void WriteText(const char* name, const char* text) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(key);
}

HWND WaitMainWindow(DWORD pid) {
  for (double start = Now(); Now() - start < kTimeout; Sleep(50)) {
    for (HWND w = FindWindowExA(nullptr, nullptr, "qvToolbarClass", nullptr); w;
         w = FindWindowExA(nullptr, w, "qvToolbarClass", nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == pid) return w;
    }
  }
  return nullptr;
}

void EndProcess(PROCESS_INFORMATION& pi, HWND main) {
  if (main) PostMessageA(main, WM_CLOSE, 0, 0);
  if (pi.hProcess && WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
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
  Figure figure{"Boss-Key, hide and show 300 windows / ShowWindowAsync loop (time)", "-", "-", 0, kAtMost, 1.5, false};
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReadyEvent);
  HANDLE end = CreateEventA(nullptr, TRUE, FALSE, kEndEvent);
  ResetEvent(end);
  PROCESS_INFORMATION helper = StartProcess("\"" + SelfPath() + "\" windows " + std::to_string(kWindows));
  PROCESS_INFORMATION tray = {};
  HWND main = nullptr;
  Windows windows{helper.dwProcessId, {}};
  if (helper.hProcess && WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0) {
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    // One entry: every window of the bench's class, whatever its title.
    WriteText("BossTitle000", "");
    WriteText("BossClass000", kBenchClass);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "BossTitle001");
      RegCloseKey(key);
    }
    tray = StartProcess("\"" + BinFolder() + "qvtoolbar.exe\" /s");
    main = tray.hProcess ? WaitMainWindow(tray.dwProcessId) : nullptr;
  }
  if (static_cast<int>(windows.list.size()) == kWindows && main) {
    double reference = BestRound(windows.list, BareLoop, nullptr);
    double ours = BestRound(windows.list, BossKeyRun, main);
    if (reference > 0 && ours > 0) {
      char text[32];
      snprintf(text, sizeof text, "%.0f ms", ours * 1000);
      figure.ours = text;
      snprintf(text, sizeof text, "%.0f ms", reference * 1000);
      figure.reference = text;
      figure.value = ours / reference;
      figure.measured = true;
    }
  }
  EndProcess(tray, main);
  SetEvent(end);
  EndProcess(helper, nullptr);
  CloseHandle(ready);
  CloseHandle(end);
  figures.push_back(figure);
}

}  // namespace bench
