// Display scaling: the dots per inch a window is shown at, pixel values scaled to
// it, and icons loaded at the size it asks for. The programs declare per-monitor
// awareness, so Windows no longer stretches their windows: every pixel value of
// our own goes through here (dialog templates stay in dialog units).
#pragma once

#include <windows.h>

// The messages of a change of scaling (older headers lack the second).
constexpr UINT kWmDpiChanged = 0x02E0;             // to a top-level window; lParam the suggested rectangle
constexpr UINT kWmDpiChangedAfterParent = 0x02E3;  // to each child after its top-level window handled it

constexpr UINT kDefaultDpi = 96;

// The dpi the window is shown at (Windows 10 1607 and later: its monitor's);
// before that, the system's, which is what the whole process sees there.
UINT WindowDpi(HWND window);
// The system's dpi (the primary monitor's at sign-in).
UINT SystemDpi();

// A value meant at 96 dpi, at that dpi (MulDiv(value, dpi, 96)), and back.
int ScaleForDpi(int value, UINT dpi);
int UnscaleForDpi(int value, UINT dpi);
// The same at the window's dpi.
int ScaleForWindow(HWND window, int value);
int UnscaleForWindow(HWND window, int value);

// A system metric (GetSystemMetrics) at the window's dpi.
int MetricForWindow(HWND window, int metric);

// The small (window caption, list) and large (Alt+Tab, desktop) icon sizes at a dpi.
int SmallIconSize(UINT dpi);
int LargeIconSize(UINT dpi);
// The small icon size at the system's dpi: the tray icon's.
int SystemSmallIconSize();

// Icon resource `icon` of the module at size x size pixels, drawn from the
// nearest image the icon holds (scaled down from a larger one when it has not
// that size). Not shared: the caller destroys it. Null when there is none.
HICON LoadIconAtSize(HINSTANCE module, int icon, int size);

// Gives a button (BM_SETIMAGE) or a static (STM_SETIMAGE) the icon at that size;
// the control keeps it until the next call or FreeControlIcon, which destroys it.
// Call again with the new size after a change of scaling.
void SetControlIcon(HWND control, HINSTANCE module, int icon, int size);
// The same with an icon already loaded (not a shared one): the control takes it over.
void SetControlIconHandle(HWND control, HICON icon);
void FreeControlIcon(HWND control);

// Sets the window class's large and small icons (GCLP_HICON, GCLP_HICONSM) to
// icon resource `icon` of the module at the window's scaling. The icons this set
// on the class before are destroyed; those set by others are left alone.
void SetClassIcons(HWND window, HINSTANCE module, int icon);

// A copy of the bitmap stretched to width x height with smoothing (halftone),
// for pictures that have one size only. The caller deletes both.
HBITMAP StretchedBitmap(HBITMAP bitmap, int width, int height);
