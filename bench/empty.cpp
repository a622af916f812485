// The empty program of the at-rest figures (qvempty.exe): what any Win32 program with
// a window costs at rest, and nothing of ours: one hidden window and a message loop,
// kernel32 and user32 only. It ends on WM_CLOSE, and by itself after ten minutes, so
// that a benchmark cut short leaves nothing running for long.
#include "bench/bench.h"

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMs = 10 * 60 * 1000;

LRESULT CALLBACK EmptyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kLifetimeTimer) DestroyWindow(window);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = EmptyProc;
  wc.hInstance = instance;
  wc.lpszClassName = bench::kEmptyClass;
  if (!RegisterClassA(&wc)) return 1;
  HWND window = CreateWindowA(bench::kEmptyClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              instance, nullptr);
  if (!window) return 1;
  SetTimer(window, kLifetimeTimer, kLifetimeMs, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  return 0;
}
