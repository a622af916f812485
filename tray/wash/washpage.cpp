// The Wash page of the settings window: one box per wash item.
#include "tray/pages.h"
#include "tray/qvtoolbar.h"

namespace {

struct WashBox {
  int control;
  const char* setting;
};
// In the order the settings are stored.
constexpr WashBox kBoxes[] = {
    {1180, "ClearRun"},       {1182, "ClearRecent"},    {1051, "ClearFind"},
    {1050, "ClearTemp"},      {1185, "ClearIE"},        {1187, "ClearIECache"},
    {1055, "ClearIECookies"}, {1056, "ClearIEHistory"}, {1062, "ClearIEAutoComp"},
};

INT_PTR OnInitDialog(HWND page) {
  PageInit(page, &WashPageWindow, nullptr, 0);
  for (const WashBox& box : kBoxes)
    if (ReadSettingInt(box.setting) == 1) CheckDlgButton(page, box.control, BST_CHECKED);
  MarkPageSaved(page);
  return 0;
}

INT_PTR OnCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  for (const WashBox& box : kBoxes) {
    if (LOWORD(wParam) == box.control) {
      MarkPageChanged(page);
      return 0;
    }
  }
  return PageCommand(page, wParam, lParam);
}

}  // namespace

INT_PTR CALLBACK WashPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (LibPageMessage(LibAppWindow, page, message, wParam, lParam)) return 0;
  INT_PTR result = 0;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page);
    case WM_NOTIFY:
      return PageNotify(page, reinterpret_cast<const NMHDR*>(lParam), &result) ? result : 0;
    case WM_COMMAND:
      return OnCommand(page, wParam, lParam);
    case WM_DESTROY:
      PageDone(&WashPageWindow);
      return 0;
  }
  return 0;
}

void SaveWashPage(HWND page) {
  for (const WashBox& box : kBoxes) LibWriteSettingInt(HKEY_CURRENT_USER, box.setting, CheckedValue(page, box.control));
}
