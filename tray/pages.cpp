// The settings window: the page records handed to the library, the protocol the
// three pages share, the one save routine and the elevated helper.
#include "tray/pages.h"

#include <shellapi.h>
#include <cstdio>

#include "common/paths.h"
#include "tray/qvtoolbar.h"

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

constexpr PageInfo kPages[LIB_SETTINGS_PAGES] = {
    {LIB_TEXT("Toolbar"), IDD_TOOLBARPAGE, ToolbarPageProc},
    {LIB_TEXT("Boss-Key"), IDD_BOSSKEYPAGE, BossKeyPageProc},
    {LIB_TEXT("Wash"), IDD_WASHPAGE, WashPageProc},
};

constexpr int kTooltipDelay = 250;
constexpr const char* kTooltipProperty = "QvTooltip";

INT_PTR SetResult(HWND page, LONG_PTR result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return 1;
}

}  // namespace

void PageInit(HWND page, HWND* handle, const PageTip* tips, size_t tipCount) {
  *handle = page;
  LibOwnerWindow = GetParent(page);
  LibTranslate(reinterpret_cast<const char*>(page), 1);
  LibPageInit();
  MakeTooltip(page);
  AddPageTips(page, tips, tipCount);
}

HWND MakeTooltip(HWND window) {
  HWND tooltip = LibCreateTooltip(window, kTooltipDelay);
  LibTooltipWindow = tooltip;
  SetPropA(window, kTooltipProperty, tooltip);
  return tooltip;
}

HWND TooltipOf(HWND window) {
  HWND tooltip = window && IsWindow(window) ? static_cast<HWND>(GetPropA(window, kTooltipProperty)) : nullptr;
  return tooltip && IsWindow(tooltip) ? tooltip : nullptr;
}

void ForgetTooltip(HWND window) { RemovePropA(window, kTooltipProperty); }

void AddPageTips(HWND page, const PageTip* tips, size_t tipCount) {
  HWND tooltip = TooltipOf(page);
  for (size_t i = 0; i < tipCount; ++i)
    LibAddTooltip(page, tooltip, tips[i].control,
                  tips[i].translate ? LibTranslate(tips[i].text, 1) : tips[i].text);
}

bool PageNotify(HWND page, const NMHDR* header, INT_PTR* result) {
  switch (header->code) {
    case PSN_SETACTIVE:
      LibOwnerWindow = header->hwndFrom;
      *result = SetResult(page, 0);
      return true;
    case PSN_KILLACTIVE:
      *result = SetResult(page, 0);
      return true;
    case PSN_APPLY:
      SaveAllSettings();
      *result = SetResult(page, PSNRET_NOERROR);
      return true;
    case PSN_RESET:
      *result = 1;
      return true;
    case PSN_HELP:
      LibDoCommand(LibAppWindow, page, IDM_HELP, 0);
      *result = 1;
      return true;
  }
  return false;
}

INT_PTR PageCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  return LibDoCommand(LibAppWindow, page, wParam, lParam);
}

void PageDone(HWND* handle) {
  if (*handle) ForgetTooltip(*handle);
  LibPageDone();
  *handle = nullptr;
}

void MarkPageChanged(HWND page) { SendMessageA(LibOwnerWindow, PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0); }

void MarkPageSaved(HWND page) { SendMessageA(LibOwnerWindow, PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0); }

bool IsPageOpen(HWND page) { return page && IsWindow(page); }

int CheckedValue(HWND page, int control) { return IsDlgButtonChecked(page, control) == BST_CHECKED ? 1 : 0; }

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

// Every page that exists, in this order; a page never shown has no window and
// keeps its stored settings.
void SaveAllSettings() {
  if (IsPageOpen(BossKeyPageWindow)) {
    SaveBossKeyPage(BossKeyPageWindow);
    MarkPageSaved(BossKeyPageWindow);
  }
  if (IsPageOpen(WashPageWindow)) {
    SaveWashPage(WashPageWindow);
    MarkPageSaved(WashPageWindow);
  }
  if (IsPageOpen(ToolbarPageWindow)) {
    SaveToolbarPage(ToolbarPageWindow);
    MarkPageSaved(ToolbarPageWindow);
  }
}

void StartElevatedHelper(const char* arguments) {
  char program[1000] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  char helper[1000];
  if (n == 0 || n >= sizeof program || !FolderPart(helper, sizeof helper, program) ||
      !JoinPath(helper, sizeof helper, helper, "qvuac.exe")) {
    LibShowError(LIB_TEXT("Cannot start qvuac.exe"));
    return;
  }
  INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, helper, arguments, nullptr, SW_SHOWNORMAL));
  if (result <= 32) LibShowError(LIB_TEXT("Cannot start qvuac.exe"));
}
