// The Wash page's More Items dialog (resource 118): the cleaning rules that apply
// on this computer, each with its tick, grouped under the program it cleans
// ("Google Chrome", "Windows"; a rule without a group under "Other"). OK keeps
// every rule's tick, Cancel and Esc keep nothing; the dialog can be resized.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/dpi.h"
#include "common/widepath.h"
#include "tray/pages.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/rules.h"
#include "tray/wash/wash.h"

namespace {

enum : int {
  IDD_MOREITEMS = 118,
  IDC_MORETEXT = 1403,
  IDC_MORELIST = 1404,
  IDC_MORENONE = 1405,
};
constexpr int kMargin = 10;  // pixels at 96 dpi

// The rules on show (the dialog is modal: one at a time); a row's lParam is its
// rule's index here.
std::vector<CleaningRule> Shown;
POINT MinimumSize = {};
UINT SizeDpi = kDefaultDpi;  // the scaling MinimumSize is for

std::wstring Translated(const char* english) {
  wchar_t text[512];
  return WideFromAnsi(LibTranslate(english, 1), text, sizeof text / sizeof text[0]) ? text : L"";
}

// What our own rules clean, in the user's language (a user's rule named alike too).
constexpr const char* kRuleParts[] = {
    LIB_TEXT("Cache"),       LIB_TEXT("Cookies"),     LIB_TEXT("History"),      LIB_TEXT("Sessions"),
    LIB_TEXT("Form history"), LIB_TEXT("Typed paths"), LIB_TEXT("Search words"), LIB_TEXT("Jump lists"),
};

std::wstring TranslatedPart(const std::wstring& part) {
  for (const char* english : kRuleParts) {
    wchar_t wide[64];
    if (WideFromAnsi(english, wide, sizeof wide / sizeof wide[0]) && part == wide) {
      std::wstring text = Translated(english);
      return text.empty() ? part : text;
    }
  }
  return part;
}

// The name under its group: "Google Chrome - History" shows as "History" (in the
// user's language) under "Google Chrome", or as "Google Chrome - History" in a list
// without groups.
std::wstring ShownName(const CleaningRule& rule, bool grouped) {
  std::wstring prefix = rule.group + L" - ";
  if (rule.group.empty() || rule.name.size() <= prefix.size() || rule.name.compare(0, prefix.size(), prefix) != 0)
    return rule.name;
  std::wstring part = TranslatedPart(rule.name.substr(prefix.size()));
  return grouped ? part : prefix + part;
}

// The groups in the order their first rule comes; a rule's group id is its group's
// place in groups plus one.
int GroupId(const CleaningRule& rule, std::vector<std::wstring>* groups) {
  for (size_t i = 0; i < groups->size(); ++i)
    if ((*groups)[i] == rule.group) return static_cast<int>(i) + 1;
  groups->push_back(rule.group);
  return static_cast<int>(groups->size());
}

// One group header per program; false when the list cannot show groups (a common
// controls library before version 6), which then stays a flat list.
bool AddGroups(HWND list, std::vector<int>* ids) {
  SendMessageW(list, LVM_ENABLEGROUPVIEW, TRUE, 0);
  if (!SendMessageW(list, LVM_ISGROUPVIEWENABLED, 0, 0)) return false;
  std::vector<std::wstring> groups;
  for (const CleaningRule& rule : Shown) ids->push_back(GroupId(rule, &groups));
  for (size_t i = 0; i < groups.size(); ++i) {
    std::wstring header = groups[i].empty() ? Translated(LIB_TEXT("Other")) : groups[i];
    LVGROUP group = {};
    group.cbSize = sizeof group;
    group.mask = LVGF_HEADER | LVGF_GROUPID;
    group.pszHeader = &header[0];
    group.iGroupId = static_cast<int>(i) + 1;
    if (SendMessageW(list, LVM_INSERTGROUP, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&group)) < 0) {
      SendMessageW(list, LVM_REMOVEALLGROUPS, 0, 0);
      SendMessageW(list, LVM_ENABLEGROUPVIEW, FALSE, 0);
      return false;
    }
  }
  return true;
}

// A row for each rule, ticked as saved (or as the rule's Default), in the order read.
void FillRows(HWND list) {
  std::vector<int> ids;
  bool grouped = AddGroups(list, &ids);
  for (size_t i = 0; i < Shown.size(); ++i) {
    std::wstring name = ShownName(Shown[i], grouped);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | (grouped ? LVIF_GROUPID : 0);
    item.iItem = static_cast<int>(i);
    item.pszText = &name[0];
    item.lParam = static_cast<LPARAM>(i);
    item.iGroupId = grouped ? ids[i] : 0;
    LRESULT row = SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    // The tick once the row is there: a new row of a list with check boxes starts unticked.
    LVITEMW tick = {};
    tick.stateMask = LVIS_STATEIMAGEMASK;
    tick.state = INDEXTOSTATEIMAGEMASK(RuleTicked(Shown[i]) ? 2 : 1);
    if (row >= 0) SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&tick));
  }
}

bool RowTicked(HWND list, int row) {
  UINT state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
  return (state >> 12) == 2;
}

void SaveTicks(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_MORELIST);
  int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) continue;
    size_t index = static_cast<size_t>(item.lParam);
    if (index < Shown.size()) SetRuleTicked(Shown[index], RowTicked(list, row));
  }
}

int HeightOf(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  return r.bottom - r.top;
}

// The text on top, OK and Cancel at the bottom right, the line that says no rule
// applies above them (only then), the list in between with its one column as wide as it.
void Layout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  HWND text = GetDlgItem(dialog, IDC_MORETEXT), none = GetDlgItem(dialog, IDC_MORENONE);
  HWND ok = GetDlgItem(dialog, IDOK), cancel = GetDlgItem(dialog, IDCANCEL), list = GetDlgItem(dialog, IDC_MORELIST);
  RECT button;
  GetWindowRect(ok, &button);
  int bw = button.right - button.left, bh = button.bottom - button.top;
  int margin = ScaleForWindow(dialog, kMargin), width = client.right - 2 * margin;
  int buttonTop = client.bottom - margin - bh;
  MoveWindow(cancel, client.right - margin - bw, buttonTop, bw, bh, TRUE);
  MoveWindow(ok, client.right - margin - 2 * bw - margin / 2, buttonTop, bw, bh, TRUE);
  int textHeight = HeightOf(text);
  MoveWindow(text, margin, margin, width, textHeight, TRUE);
  int top = margin + textHeight + margin / 2, bottom = buttonTop - margin / 2;
  if (IsWindowVisible(none)) {
    int noneHeight = HeightOf(none);
    bottom -= noneHeight + margin / 2;
    MoveWindow(none, margin, bottom + margin / 2, width, noneHeight, TRUE);
  }
  MoveWindow(list, margin, top, width, bottom > top ? bottom - top : 0, TRUE);
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
}

INT_PTR OnInitDialog(HWND dialog) {
  LibTranslate(reinterpret_cast<const char*>(dialog), 1);
  SetWindowTextA(dialog, LibTranslate("More Items", 1));
  RECT frame;
  GetWindowRect(dialog, &frame);
  MinimumSize = POINT{(frame.right - frame.left) * 2 / 3, (frame.bottom - frame.top) / 2};
  SizeDpi = WindowDpi(dialog);
  HWND list = GetDlgItem(dialog, IDC_MORELIST);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  LVCOLUMNW column = {};
  column.mask = LVCF_WIDTH;
  column.cx = ScaleForWindow(dialog, 200);
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  FillRows(list);
  ShowWindow(GetDlgItem(dialog, IDC_MORENONE), Shown.empty() ? SW_SHOW : SW_HIDE);
  Layout(dialog);
  return TRUE;
}

// Moved to a monitor of another scaling: the dialog manager scales the dialog and
// its controls; the smallest size follows.
INT_PTR OnDpiChanged(WPARAM dpi) {
  UINT now = LOWORD(dpi);
  MinimumSize = POINT{MulDiv(MinimumSize.x, static_cast<int>(now), static_cast<int>(SizeDpi)),
                      MulDiv(MinimumSize.y, static_cast<int>(now), static_cast<int>(SizeDpi))};
  SizeDpi = now;
  return FALSE;
}

INT_PTR OnMinMax(LPARAM lParam) {
  reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = MinimumSize;
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDOK:
      SaveTicks(dialog);
      EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK MoreItemsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_SIZE: Layout(dialog); return TRUE;
    case WM_GETMINMAXINFO: return OnMinMax(lParam);
    case kWmDpiChanged: return OnDpiChanged(wParam);
    case WM_COMMAND: return OnCommand(dialog, wParam);
  }
  return FALSE;
}

}  // namespace

void ShowMoreItems() {
  Shown = ShownRules();
  DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_MOREITEMS), LibOwnerWindow, MoreItemsProc, 0);
  Shown.clear();
}
