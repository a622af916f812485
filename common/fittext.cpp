#include "common/fittext.h"

#include "common/dpi.h"

int CaptionWidth(HWND control) {
  char text[512] = {};
  GetWindowTextA(control, text, sizeof text);
  HDC dc = GetDC(control);
  if (!dc) return 0;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT need = {0, 0, 0, 0};
  DrawTextA(dc, text, -1, &need, DT_SINGLELINE | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return need.right - need.left;
}

namespace {

// The control's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

void FitCheckBoxAndFollower(HWND checkBox, HWND follower, int maxRight) {
  if (!checkBox || !follower) return;
  RECT box = PlaceOf(checkBox);
  RECT next = PlaceOf(follower);
  int gap = ScaleForWindow(checkBox, 4);
  // The box itself, the space the control leaves between box and text, and a margin.
  int width = MetricForWindow(checkBox, SM_CXMENUCHECK) + CaptionWidth(checkBox) + 2 * gap;
  int followerWidth = next.right - next.left;
  if (box.left + width + gap + followerWidth > maxRight) width = maxRight - followerWidth - gap - box.left;
  if (width <= 0) return;
  SetWindowPos(checkBox, nullptr, 0, 0, width, box.bottom - box.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(follower, nullptr, box.left + width + gap, next.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
