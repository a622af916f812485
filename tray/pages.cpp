// The three pages of the settings window and the protocol they share.
#include "tray/qvtoolbar.h"

#include <commctrl.h>
#include <cstdio>

HWND ToolbarPageWindow;
HWND BossKeyPageWindow;
HWND WashPageWindow;

namespace {

constexpr int kPageTitleChars = 520;
char PageTitles[LIB_SETTINGS_PAGES][kPageTitleChars];

struct PageInfo {
  const char* title;
  int dialog;
  DLGPROC procedure;
};

INT_PTR CALLBACK ToolbarPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BossKeyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WashPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

constexpr PageInfo kPages[LIB_SETTINGS_PAGES] = {
    {"Toolbar", IDD_TOOLBARPAGE, ToolbarPageProc},
    {"Boss-Key", IDD_BOSSKEYPAGE, BossKeyPageProc},
    {"Wash", IDD_WASHPAGE, WashPageProc},
};

void PageInitDialog(HWND page, HWND* handle) {
  *handle = page;
  LibOwnerWindow = GetParent(page);
  LibTranslate(reinterpret_cast<const char*>(page), 1);
  LibPageInit();
  LibTooltipWindow = LibCreateTooltip(page, 250);
}

INT_PTR PageNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      LibOwnerWindow = header->hwndFrom;
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return 1;
    case PSN_KILLACTIVE:
      SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return 1;
    case PSN_APPLY:
      SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
      return 1;
    case PSN_RESET:
      return 1;
    case PSN_HELP:
      LibDoCommand(LibAppWindow, page, IDM_HELP, 0);
      return 1;
  }
  return 0;
}

// The protocol every page follows; the page's own messages come afterwards.
INT_PTR PageMessage(HWND page, HWND* handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (LibPageMessage(LibAppWindow, page, message, wParam, lParam)) return 0;
  switch (message) {
    case WM_INITDIALOG:
      PageInitDialog(page, handle);
      return 1;
    case WM_NOTIFY:
      return PageNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      return LibDoCommand(LibAppWindow, page, wParam, lParam);
    case WM_DESTROY:
      LibPageDone();
      *handle = nullptr;
      return 0;
  }
  return 0;
}

INT_PTR CALLBACK ToolbarPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageMessage(page, &ToolbarPageWindow, message, wParam, lParam);
}

INT_PTR CALLBACK BossKeyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageMessage(page, &BossKeyPageWindow, message, wParam, lParam);
}

INT_PTR CALLBACK WashPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageMessage(page, &WashPageWindow, message, wParam, lParam);
}

}  // namespace

#ifndef _WIN64
// The shipped 32-bit library reads its page records with this stride.
static_assert(sizeof(PROPSHEETPAGEA_V3) == 52, "the library expects 52-byte page records");
#endif

void FillSettingsPages(LPARAM records) {
  auto* pages = reinterpret_cast<PROPSHEETPAGEA_V3*>(records);
  if (!pages) return;
  for (int i = 0; i < LIB_SETTINGS_PAGES; ++i) {
    snprintf(PageTitles[i], kPageTitleChars, "%s", LibTranslate(kPages[i].title, 1));
    PROPSHEETPAGEA_V3& record = pages[i];
    record = PROPSHEETPAGEA_V3{};
    record.dwSize = sizeof(PROPSHEETPAGEA_V3);
    record.dwFlags = PSP_USETITLE | PSP_HASHELP;
    record.hInstance = AppInstance;
    record.pszTemplate = MAKEINTRESOURCEA(kPages[i].dialog);
    record.pszTitle = PageTitles[i];
    record.pfnDlgProc = kPages[i].procedure;
    record.lParam = 0;
  }
}
