// Settings pages: tooltips and the right-click information popup.
#include "quorvane/internal.h"

#include <commctrl.h>
#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

constexpr int kTips = 128;             // controls with a remembered tip
constexpr UINT kPopupTimer = 1;
constexpr UINT kPopupMilliseconds = 10000;
constexpr int kTipWidth = 300;  // pixels at 96 dpi

struct Tip {
  HWND control;
  char* text;
};
Tip g_tips[kTips] = {};
int g_openPages = 0;

// The information popup: a tracking tooltip, closed by the next click or key.
HWND g_popup = nullptr;
HHOOK g_popupHook = nullptr;

void ForgetTip(Tip& tip) {
  free(tip.text);
  tip = Tip{};
}

// Drops the tips of controls that no longer exist.
void PurgeTips() {
  for (Tip& tip : g_tips)
    if (tip.control && !IsWindow(tip.control)) ForgetTip(tip);
}

Tip* FindTip(HWND control) {
  for (Tip& tip : g_tips)
    if (tip.control == control && tip.text) return &tip;
  return nullptr;
}

void ClosePopup() {
  if (g_popupHook) UnhookWindowsHookEx(g_popupHook);
  g_popupHook = nullptr;
  HWND popup = g_popup;
  g_popup = nullptr;
  if (popup && IsWindow(popup)) DestroyWindow(popup);
}

LRESULT CALLBACK PopupHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    const MSG* m = reinterpret_cast<const MSG*>(lParam);
    switch (m->message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
      case WM_NCLBUTTONDOWN:
      case WM_NCRBUTTONDOWN:
        ClosePopup();
        break;
      default:
        break;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK PopupTimeout(HWND window, UINT, UINT_PTR, DWORD) {
  if (window == g_popup) ClosePopup();
}

void ShowPopup(HWND page, const char* text, POINT at) {
  ClosePopup();
  HWND popup = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | TTS_BALLOON, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr, LibResourceModule,
                               nullptr);
  if (!popup) return;
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = page;
  tool.uId = 1;
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(popup, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageA(popup, TTM_SETMAXTIPWIDTH, 0, ScaleForWindow(page, kTipWidth));
  SendMessageA(popup, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageA(popup, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  g_popup = popup;
  SetTimer(popup, kPopupTimer, kPopupMilliseconds, PopupTimeout);
  g_popupHook = SetWindowsHookExA(WH_GETMESSAGE, PopupHook, nullptr, GetCurrentThreadId());
}

// The control a WM_CONTEXTMENU is about: wParam, or the page's child under the point.
HWND ContextControl(HWND page, WPARAM wParam, POINT* at) {
  HWND control = reinterpret_cast<HWND>(wParam);
  if (at->x == -1 && at->y == -1) {  // from the keyboard: the focused control
    control = GetFocus();
    RECT r = {};
    if (control) GetWindowRect(control, &r);
    at->x = (r.left + r.right) / 2;
    at->y = (r.top + r.bottom) / 2;
    return control;
  }
  if (control == page || !control) {
    POINT client = *at;
    ScreenToClient(page, &client);
    HWND child = ChildWindowFromPointEx(page, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (child && child != page) control = child;
  }
  return control;
}

int OnContextMenu(HWND page, WPARAM wParam, LPARAM lParam) {
  POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  HWND control = ContextControl(page, wParam, &at);
  const Tip* tip = control ? FindTip(control) : nullptr;
  if (!tip) return 0;
  ShowPopup(page, tip->text, at);
  return 1;
}

}  // namespace

void PagesShutdown() {
  for (Tip& tip : g_tips) ForgetTip(tip);
}

}  // namespace qv

using namespace qv;

void LibPageInit(void) { ++g_openPages; }

void LibPageDone(void) {
  if (g_openPages > 0) --g_openPages;
  if (g_openPages == 0) ClosePopup();
  PurgeTips();
}

HWND LibCreateTooltip(HWND dialog, int delay) {
  HWND tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                 LibResourceModule, nullptr);
  if (!tooltip) return nullptr;
  SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleForWindow(dialog, kTipWidth));
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(delay > 0 ? delay : 0, 0));
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
  return tooltip;
}

void LibAddTooltip(HWND dialog, HWND tooltip, int control, const char* text) {
  HWND item = GetDlgItem(dialog, control);
  if (!item || !text) return;
  if (tooltip) {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(item);
    tool.lpszText = const_cast<char*>(text);
    // A control that has its tip already gets the new text.
    TOOLINFOA known = {};
    known.cbSize = TTTOOLINFOA_V2_SIZE;
    known.hwnd = dialog;
    known.uId = tool.uId;
    if (SendMessageA(tooltip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&known)))
      SendMessageA(tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    else
      SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  // Remember the text for the right-click popup.
  Tip* slot = FindTip(item);
  if (!slot) {
    PurgeTips();
    for (Tip& tip : g_tips)
      if (!tip.control) {
        slot = &tip;
        break;
      }
  }
  if (!slot) return;
  char* copy = _strdup(text);
  if (!copy) return;
  free(slot->text);
  slot->control = item;
  slot->text = copy;
}

int LibPageMessage(HWND appWindow, HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CONTEXTMENU:
      return OnContextMenu(page, wParam, lParam);
    case WM_HELP:
      LibShowHelp();
      return 1;
    default:
      return 0;
  }
}
