// The floating icon: a small always-on-top window showing one icon. A click
// opens the settings window, a drag moves it (the place is kept in the
// settings "FlyingIconX"/"FlyingIconY"), a right click shows the tray menu.
#include "quorvane/internal.h"

#include <cstdlib>

namespace qv {
namespace {

constexpr const char* kFlyingClass = "qvFlyingIconClass";
constexpr int kSize = 32;    // at 96 dpi: the large icon size
constexpr int kMargin = 64;  // from the work area's top right edge, at 96 dpi
constexpr int kIdmSettings = 2457;
constexpr COLORREF kTransparent = RGB(255, 0, 255);
// Window extra bytes: the icon shown, and the module and resource it comes from.
constexpr int kIconSlot = 0;
constexpr int kModuleSlot = sizeof(LONG_PTR);
constexpr int kResourceSlot = 2 * sizeof(LONG_PTR);

// The drag in progress (one floating icon at a time).
struct Drag {
  bool pressed;
  bool moved;
  POINT start;   // cursor at the button press, screen
  POINT origin;  // window position at the press
};
Drag g_drag = {};

HWND OwnerOf(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  return owner ? owner : LibAppWindow;
}

// The stored place when the icon would be fully on a screen, else near the top right.
POINT StartPosition(int size) {
  int x = LibReadSettingInt(HKEY_CURRENT_USER, "FlyingIconX");
  int y = LibReadSettingInt(HKEY_CURRENT_USER, "FlyingIconY");
  if (SettingExists(HKEY_CURRENT_USER, "FlyingIconX") && SettingExists(HKEY_CURRENT_USER, "FlyingIconY")) {
    RECT r = {x, y, x + size, y + size};
    HMONITOR monitor = MonitorFromRect(&r, MONITOR_DEFAULTTONULL);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoA(monitor, &info) && r.left >= info.rcMonitor.left &&
        r.top >= info.rcMonitor.top && r.right <= info.rcMonitor.right && r.bottom <= info.rcMonitor.bottom)
      return POINT{x, y};
  }
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  int margin = ScaleForDpi(kMargin, SystemDpi());
  return POINT{area.right - size - margin, area.top + margin};
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  HBRUSH back = CreateSolidBrush(kTransparent);
  FillRect(dc, &r, back);
  DeleteObject(back);
  HICON icon = reinterpret_cast<HICON>(GetWindowLongPtrA(window, kIconSlot));
  if (icon) DrawIconEx(dc, 0, 0, icon, r.right, r.bottom, 0, nullptr, DI_NORMAL);
  EndPaint(window, &ps);
}

void OnButtonDown(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  g_drag.pressed = true;
  g_drag.moved = false;
  GetCursorPos(&g_drag.start);
  g_drag.origin = POINT{r.left, r.top};
  SetCapture(window);
}

void OnMouseMove(HWND window) {
  if (!g_drag.pressed) return;
  POINT now;
  GetCursorPos(&now);
  int dx = now.x - g_drag.start.x, dy = now.y - g_drag.start.y;
  if (!g_drag.moved && abs(dx) < GetSystemMetrics(SM_CXDRAG) && abs(dy) < GetSystemMetrics(SM_CYDRAG)) return;
  g_drag.moved = true;
  SetWindowPos(window, nullptr, g_drag.origin.x + dx, g_drag.origin.y + dy, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnButtonUp(HWND window) {
  if (!g_drag.pressed) return;
  g_drag.pressed = false;
  ReleaseCapture();
  if (g_drag.moved) {
    RECT r;
    GetWindowRect(window, &r);
    LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIconX", r.left);
    LibWriteSettingInt(HKEY_CURRENT_USER, "FlyingIconY", r.top);
  } else {
    PostMessageA(OwnerOf(window), WM_COMMAND, kIdmSettings, 0);
  }
}

// The icon drawn for the window's scaling; the old one is destroyed.
void LoadFlyingImage(HWND window, int size) {
  HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, kModuleSlot));
  int resource = static_cast<int>(GetWindowLongPtrA(window, kResourceSlot));
  HICON image = LoadIconAtSize(module, resource, size);
  HICON old = reinterpret_cast<HICON>(SetWindowLongPtrA(window, kIconSlot, reinterpret_cast<LONG_PTR>(image)));
  if (old) DestroyIcon(old);
}

// Moved to another monitor's scaling: the suggested place, the icon at the new size.
void OnDpiChanged(HWND window, WPARAM dpi, const RECT* suggested) {
  int size = ScaleForDpi(kSize, LOWORD(dpi));
  LoadFlyingImage(window, size);
  SetWindowPos(window, nullptr, suggested->left, suggested->top, size, size, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window, nullptr, TRUE);
}

void OnDestroy(HWND window) {
  if (LibFlyingIconWindow == window) LibFlyingIconWindow = nullptr;
  HICON icon = reinterpret_cast<HICON>(SetWindowLongPtrA(window, kIconSlot, 0));
  if (icon) DestroyIcon(icon);
  g_drag = Drag{};
}

}  // namespace
}  // namespace qv

using namespace qv;

int LibCreateFlyingIcon(HINSTANCE module, HWND owner, HWND* outWindow, int icon, int flags, WNDPROC procedure) {
  if (LibFlyingIconWindow && IsWindow(LibFlyingIconWindow)) {  // never two of them
    if (outWindow) *outWindow = LibFlyingIconWindow;
    return 1;
  }
  WNDCLASSA wc = {};
  if (!GetClassInfoA(LibResourceModule, kFlyingClass, &wc)) {
    wc.lpfnWndProc = procedure ? procedure : LibFlyingIconProc;
    wc.cbWndExtra = 3 * sizeof(LONG_PTR);
    wc.hInstance = LibResourceModule;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    wc.lpszClassName = kFlyingClass;
    if (!RegisterClassA(&wc)) return 0;
  }
  int size = ScaleForDpi(kSize, SystemDpi());
  POINT at = StartPosition(size);
  HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_LAYERED, kFlyingClass, "", WS_POPUP, at.x,
                                at.y, size, size, owner, nullptr, LibResourceModule, nullptr);
  if (!window) return 0;
  SetLayeredWindowAttributes(window, kTransparent, 0, LWA_COLORKEY);
  SetWindowLongPtrA(window, kModuleSlot, reinterpret_cast<LONG_PTR>(module));
  SetWindowLongPtrA(window, kResourceSlot, icon);
  int shown = ScaleForWindow(window, kSize);  // a monitor of another scaling than the system's
  if (shown != size) SetWindowPos(window, nullptr, 0, 0, shown, shown, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  LoadFlyingImage(window, shown);
  LibFlyingIconWindow = window;
  if (outWindow) *outWindow = window;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return 1;
}

LRESULT CALLBACK LibFlyingIconProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
      OnButtonDown(window);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(window);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(window);
      return 0;
    case WM_CAPTURECHANGED:
      g_drag.pressed = false;
      return 0;
    case WM_RBUTTONUP:
      LibShowTrayMenu(OwnerOf(window));
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == LIB_IDM_CLOSEFLYINGICON) {
        DestroyWindow(window);
        return 0;
      }
      break;
    case kWmDpiChanged:
      OnDpiChanged(window, wParam, reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      OnDestroy(window);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
