#include "common/dpi.h"

#include <commctrl.h>

#include <initializer_list>

namespace {

// Functions that not every Windows has, looked up once.
using DpiForWindowFn = UINT(WINAPI*)(HWND);
using DpiForSystemFn = UINT(WINAPI*)();
using MetricsForDpiFn = int(WINAPI*)(int, UINT);
using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

template <typename F>
F User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

// LoadIconWithScaleDown is in version 6 of the common controls only: the
// manifest makes that the comctl32 the process loads.
ScaleDownFn ScaleDown() {
  HMODULE comctl = GetModuleHandleA("comctl32.dll");
  if (!comctl) comctl = LoadLibraryA("comctl32.dll");
  return comctl ? reinterpret_cast<ScaleDownFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "LoadIconWithScaleDown")))
                : nullptr;
}

UINT DeviceDpi(HWND window) {
  HDC dc = GetDC(window);
  if (!dc) return kDefaultDpi;
  int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(window, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

// The metric at a dpi; before Windows 10 1607 the process sees one dpi, the system's.
int MetricForDpi(int metric, UINT dpi) {
  static MetricsForDpiFn forDpi = User32Function<MetricsForDpiFn>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(metric, dpi);
  return MulDiv(GetSystemMetrics(metric), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

constexpr const char* kIconProp = "qvDpiIcon";

// STM_SETIMAGE for a static, BM_SETIMAGE for a button.
UINT ImageMessage(HWND control) {
  char className[16] = {};
  GetClassNameA(control, className, sizeof className);
  return lstrcmpiA(className, "Static") == 0 ? STM_SETIMAGE : BM_SETIMAGE;
}

}  // namespace

UINT WindowDpi(HWND window) {
  static DpiForWindowFn forWindow = User32Function<DpiForWindowFn>("GetDpiForWindow");
  if (forWindow && window) {
    UINT dpi = forWindow(window);
    if (dpi) return dpi;
  }
  return window ? DeviceDpi(window) : SystemDpi();
}

UINT SystemDpi() {
  static DpiForSystemFn forSystem = User32Function<DpiForSystemFn>("GetDpiForSystem");
  if (forSystem) {
    UINT dpi = forSystem();
    if (dpi) return dpi;
  }
  return DeviceDpi(nullptr);
}

int ScaleForDpi(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), kDefaultDpi); }

int UnscaleForDpi(int value, UINT dpi) { return dpi ? MulDiv(value, kDefaultDpi, static_cast<int>(dpi)) : value; }

int ScaleForWindow(HWND window, int value) { return ScaleForDpi(value, WindowDpi(window)); }

int UnscaleForWindow(HWND window, int value) { return UnscaleForDpi(value, WindowDpi(window)); }

int MetricForWindow(HWND window, int metric) { return MetricForDpi(metric, WindowDpi(window)); }

int SmallIconSize(UINT dpi) { return MetricForDpi(SM_CXSMICON, dpi); }

int LargeIconSize(UINT dpi) { return MetricForDpi(SM_CXICON, dpi); }

int SystemSmallIconSize() { return SmallIconSize(SystemDpi()); }

HICON LoadIconAtSize(HINSTANCE module, int icon, int size) {
  if (size <= 0) return nullptr;
  static ScaleDownFn scaleDown = ScaleDown();
  HICON loaded = nullptr;
  if (scaleDown && SUCCEEDED(scaleDown(module, MAKEINTRESOURCEW(icon), size, size, &loaded)) && loaded) return loaded;
  return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(icon), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void SetControlIcon(HWND control, HINSTANCE module, int icon, int size) {
  if (control) SetControlIconHandle(control, LoadIconAtSize(module, icon, size));
}

void SetControlIconHandle(HWND control, HICON icon) {
  if (!control || !icon) {
    if (icon) DestroyIcon(icon);
    return;
  }
  SendMessageA(control, ImageMessage(control), IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  HICON old = static_cast<HICON>(GetPropA(control, kIconProp));
  SetPropA(control, kIconProp, icon);
  if (old) DestroyIcon(old);  // only ever one of ours, never a shared one
}

void FreeControlIcon(HWND control) {
  if (!control) return;
  HICON old = static_cast<HICON>(RemovePropA(control, kIconProp));
  if (!old) return;
  SendMessageA(control, ImageMessage(control), IMAGE_ICON, 0);
  DestroyIcon(old);
}

void SetClassIcons(HWND window, HINSTANCE module, int icon) {
  if (!window) return;
  UINT dpi = WindowDpi(window);
  HICON large = LoadIconAtSize(module, icon, LargeIconSize(dpi));
  HICON small = LoadIconAtSize(module, icon, SmallIconSize(dpi));
  HICON old[2] = {reinterpret_cast<HICON>(SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(large))),
                  reinterpret_cast<HICON>(SetClassLongPtrA(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small)))};
  // The class icons this made before: a class replaced only its own, so those go.
  static HICON made[8] = {};
  for (HICON replaced : old)
    for (HICON& ours : made)
      if (replaced && ours == replaced) {
        DestroyIcon(ours);
        ours = nullptr;
      }
  for (HICON fresh : {large, small})
    for (HICON& slot : made)
      if (fresh && !slot) {
        slot = fresh;
        break;
      }
}

HBITMAP StretchedBitmap(HBITMAP bitmap, int width, int height) {
  BITMAP info = {};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info) || width <= 0 || height <= 0) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
  HBITMAP result = CreateCompatibleBitmap(screen, width, height);
  if (from && to && result) {
    HGDIOBJ oldFrom = SelectObject(from, bitmap), oldTo = SelectObject(to, result);
    SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  ReleaseDC(nullptr, screen);
  return result;
}
