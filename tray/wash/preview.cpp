// The Wash preview: the items ticked on the Wash page run as in a wash, told only
// to look, and what they found is shown in a dialog (resource 117): one row for
// each folder, registry key, browser data or folder left alone, with its count and
// size. The list sorts by the column whose header is clicked; Esc closes it; the
// dialog can be resized.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/dpi.h"
#include "tray/pages.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"
#include "tray/wash/rules.h"
#include "tray/wash/wash.h"

namespace {

enum : int {
  IDD_PREVIEW = 117,
  IDC_PREVIEWTOTAL = 1402,
  IDC_PREVIEWLIST = 1401,
};
enum Column { kItemColumn, kWhatColumn, kCountColumn, kSizeColumn, kColumnCount };
constexpr int kMargin = 10;  // pixels at 96 dpi, as the column widths below

// The preview on screen (the dialog is modal: one at a time) and how its list is sorted.
const WashReport* Shown = nullptr;
int SortColumn = -1;
bool SortAscending = true;
POINT MinimumSize = {};
UINT ColumnDpi = kDefaultDpi;  // the scaling the list's columns and the smallest size are for

// A row's text in a column.
void CellText(const WashTarget& t, int column, char* out, size_t cap) {
  out[0] = 0;
  switch (column) {
    case kItemColumn:
      snprintf(out, cap, "%s", RowName(t, true));
      break;
    case kWhatColumn:
      if (t.kind == kTargetFolder)
        snprintf(out, cap, LibTranslate("Files in %s", 1 | LIB_TRANSLATE_FORMAT), t.what.c_str());
      else if (t.kind == kTargetRegistry)
        snprintf(out, cap, LibTranslate("Registry key %s", 1 | LIB_TRANSLATE_FORMAT), t.what.c_str());
      else if (t.kind == kTargetHistory)
        snprintf(out, cap, LibTranslate("Browsing history in %s", 1 | LIB_TRANSLATE_FORMAT), t.what.c_str());
      else if (t.kind == kTargetLeftAlone)
        snprintf(out, cap, LibTranslate("%s is left alone: %s", 1 | LIB_TRANSLATE_FORMAT), t.what.c_str(),
                 LeftAloneReasonText(t.reason, true));
      else
        snprintf(out, cap, "%s", t.what.c_str());
      break;
    case kCountColumn:
      if (t.kind == kTargetFolder) snprintf(out, cap, "%u", t.files);
      else if (t.kind == kTargetRegistry || t.kind == kTargetHistory) snprintf(out, cap, "%u", t.entries);
      break;
    case kSizeColumn:
      if (t.kind == kTargetFolder) FormatBytes(t.bytes, out, cap);
      break;
  }
}

// What a column sorts by for numbers (count, size); -1 for the text columns.
long long SortNumber(const WashTarget& t, int column) {
  if (column == kCountColumn)
    return t.kind == kTargetFolder                                     ? t.files
           : t.kind == kTargetRegistry || t.kind == kTargetHistory ? t.entries
                                                                       : -1;
  if (column == kSizeColumn) return t.kind == kTargetFolder ? static_cast<long long>(t.bytes) : -1;
  return -1;
}

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) {
  const WashTarget& x = Shown->targets[static_cast<size_t>(a)];
  const WashTarget& y = Shown->targets[static_cast<size_t>(b)];
  int order;
  if (SortColumn == kCountColumn || SortColumn == kSizeColumn) {
    long long nx = SortNumber(x, SortColumn), ny = SortNumber(y, SortColumn);
    order = nx < ny ? -1 : nx > ny ? 1 : 0;
  } else {
    char tx[MAX_PATH * 3], ty[MAX_PATH * 3];
    CellText(x, SortColumn, tx, sizeof tx);
    CellText(y, SortColumn, ty, sizeof ty);
    order = lstrcmpiA(tx, ty);
  }
  if (order == 0) order = a < b ? -1 : a > b ? 1 : 0;  // the run's order among equals
  return SortAscending ? order : -order;
}

void AddColumns(HWND list) {
  const char* titles[kColumnCount] = {LIB_TEXT("Item"), LIB_TEXT("What"), LIB_TEXT("Count"), LIB_TEXT("Size")};
  const int widths[kColumnCount] = {130, 330, 60, 80};
  ColumnDpi = WindowDpi(list);
  for (int c = 0; c < kColumnCount; ++c) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = c >= kCountColumn ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = ScaleForDpi(widths[c], ColumnDpi);
    column.pszText = const_cast<char*>(LibTranslate(titles[c], 1));
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
}

void FillRows(HWND list) {
  for (size_t row = 0; row < Shown->targets.size(); ++row) {
    const WashTarget& t = Shown->targets[row];
    char text[MAX_PATH * 3];
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    item.lParam = static_cast<LPARAM>(row);
    CellText(t, kItemColumn, text, sizeof text);
    item.pszText = text;
    int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (int c = kWhatColumn; c < kColumnCount; ++c) {
      CellText(t, c, text, sizeof text);
      LVITEMA cell = {};
      cell.iSubItem = c;
      cell.pszText = text;
      SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&cell));
    }
  }
}

void SetTotal(HWND dialog) {
  WashTotals totals = TotalsOf(*Shown);
  char size[64], text[MAX_PATH * 3];
  FormatBytes(totals.bytes, size, sizeof size);
  snprintf(text, sizeof text,
           LibTranslate("A wash would delete %u files (%s) and remove %u registry entries. Nothing has been changed.",
                        1 | LIB_TRANSLATE_FORMAT),
           totals.files, size, totals.entries);
  if (totals.visits) {
    char visits[200];
    snprintf(visits, sizeof visits,
             LibTranslate("It would remove %u visits from browser histories.", 1 | LIB_TRANSLATE_FORMAT), totals.visits);
    size_t used = strlen(text);
    snprintf(text + used, sizeof text - used, " %s", visits);
  }
  if (totals.left) {  // what the walk could not reach, a wash would leave
    char left[MAX_PATH * 2];
    snprintf(left, sizeof left, LibTranslate("Entries a wash could not reach: %u; the first: %s", 1 | LIB_TRANSLATE_FORMAT),
             totals.left, Shown->leftFiles.empty() ? "" : Shown->leftFiles.front().c_str());
    size_t used = strlen(text);
    snprintf(text + used, sizeof text - used, " %s", left);
  }
  SetDlgItemTextA(dialog, IDC_PREVIEWTOTAL, text);
}

// The list fills the dialog but for the total above it and the Close button below it.
void Layout(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  HWND close = GetDlgItem(dialog, IDCANCEL), total = GetDlgItem(dialog, IDC_PREVIEWTOTAL);
  RECT button, label;
  GetWindowRect(close, &button);
  GetWindowRect(total, &label);
  int bw = button.right - button.left, bh = button.bottom - button.top, lh = label.bottom - label.top;
  int margin = ScaleForWindow(dialog, kMargin);
  int width = client.right - 2 * margin;
  MoveWindow(total, margin, margin, width, lh, TRUE);
  MoveWindow(close, client.right - margin - bw, client.bottom - margin - bh, bw, bh, TRUE);
  int top = margin + lh + margin / 2;
  MoveWindow(GetDlgItem(dialog, IDC_PREVIEWLIST), margin, top, width, client.bottom - top - bh - 2 * margin, TRUE);
}

INT_PTR OnInitDialog(HWND dialog, LPARAM report) {
  Shown = reinterpret_cast<const WashReport*>(report);
  SortColumn = -1;
  SortAscending = true;
  LibTranslate(reinterpret_cast<const char*>(dialog), 1);
  SetWindowTextA(dialog, LibTranslate("Wash Preview", 1));
  RECT frame;
  GetWindowRect(dialog, &frame);
  MinimumSize = POINT{(frame.right - frame.left) / 2, (frame.bottom - frame.top) / 2};
  HWND list = GetDlgItem(dialog, IDC_PREVIEWLIST);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  AddColumns(list);
  FillRows(list);
  SetTotal(dialog);
  Layout(dialog);
  return TRUE;
}

INT_PTR OnNotify(const NMHDR* header) {
  if (header->idFrom != IDC_PREVIEWLIST || header->code != LVN_COLUMNCLICK) return FALSE;
  int column = reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem;
  SortAscending = column == SortColumn ? !SortAscending : true;
  SortColumn = column;
  SendMessageA(header->hwndFrom, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRows));
  return TRUE;
}

// Moved to a monitor of another scaling: the dialog manager scales the dialog and
// its controls; the columns keep their share and the smallest size follows.
INT_PTR OnDpiChanged(HWND dialog, WPARAM dpi) {
  UINT now = LOWORD(dpi);
  HWND list = GetDlgItem(dialog, IDC_PREVIEWLIST);
  for (int c = 0; c < kColumnCount; ++c) {
    int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, c, MulDiv(width, static_cast<int>(now), static_cast<int>(ColumnDpi)));
  }
  MinimumSize = POINT{MulDiv(MinimumSize.x, static_cast<int>(now), static_cast<int>(ColumnDpi)),
                      MulDiv(MinimumSize.y, static_cast<int>(now), static_cast<int>(ColumnDpi))};
  ColumnDpi = now;
  return FALSE;  // the dialog manager goes on to move and scale the dialog
}

INT_PTR OnMinMax(LPARAM lParam) {
  MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
  info->ptMinTrackSize = MinimumSize;
  return TRUE;
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog, lParam);
    case WM_SIZE: Layout(dialog); return TRUE;
    case WM_GETMINMAXINFO: return OnMinMax(lParam);
    case kWmDpiChanged: return OnDpiChanged(dialog, wParam);
    case WM_NOTIFY: return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void PreviewWash(HWND page) {
  WashReport report;
  report.preview = true;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  SetActiveReport(&report);
  for (int i = 0; i < kWashItemCount; ++i) {
    if (!CheckedValue(page, kWashItems[i].checkBox)) continue;
    SetActiveItem(i);
    kWashItems[i].run();
  }
  WashTickedRules(ShownRules());  // the items ticked in the More Items dialog
  SetActiveReport(nullptr);
  SetCursor(previous);
  DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PREVIEW), LibOwnerWindow, PreviewProc,
                  reinterpret_cast<LPARAM>(&report));
  Shown = nullptr;
}
