// The Boss-Key page of the settings window: the switch, the hotkey and the
// ordered list of windows to hide, with the flag that picks a window by dragging
// and the menu of visible windows.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "tray/pages.h"
#include "tray/qvtoolbar.h"

namespace {

enum : int {
  IDC_DEFAULT = 3,
  IDC_TITLE = 1000,
  IDC_UP = 1001,
  IDC_DOWN = 1002,
  IDC_CLASS = 1011,
  IDC_FLAG = 1012,
  IDC_WINDOWS = 1017,
  IDC_REMOVE = 1018,
  IDC_ADD = 1019,
  IDC_ADDDEFAULTS = 1020,
  IDC_HOTKEYSPOT = 1150,
  IDC_ENABLE = 1290,
  IDC_LIST = 1306,
  IDC_HOTKEY = 2456,
};

enum : int {
  IDB_FLAG = 108,
  IDB_FLAG_TAKEN = 109,
  IDC_CURSOR_OVERFLAG = 2453,
  IDC_CURSOR_DRAGGING = 2454,
};

constexpr int kFlagSize = 16;     // the flag pictures, drawn for 96 dpi
constexpr int kButtonGlyph = 16;  // the buttons' pictures: small icons at 96 dpi

// The buttons beside the list and their pictures.
struct ButtonIcon {
  int control;
  int icon;
  bool fromLibrary;
};
constexpr ButtonIcon kButtonIcons[] = {{IDC_WINDOWS, 118, true}, {IDC_REMOVE, 119, true}, {IDC_UP, 111, true},
                                       {IDC_DOWN, 112, true},    {IDC_ADDDEFAULTS, 141, false}};

constexpr int kAltSpace = 1056;
constexpr int kPatternChars = kBossPatternChars;  // what the boxes and the list hold
constexpr int kMenuSlots = 100;       // slot 0 unused
constexpr int kMenuTextChars = 100;
constexpr int kParentSteps = 7;
constexpr int kFrameWidth = 3;  // pixels at 96 dpi
constexpr DWORD kListExStyles = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;  // 0x14020

constexpr PageTip kTips[] = {
    {IDC_ENABLE,
     LIB_TEXT("Enable or disable Boss-Key. Hides all Internet Explorer Windows with one key press. Press again to unhide."),
     true},
    {IDC_DEFAULT, LIB_TEXT("Set the Boss-Key to ALT-SPACEBAR"), true},
    {IDC_TITLE,
     LIB_TEXT("Enter the title of a window here. This is the text at the top of the window. The class may be different but "
     "a part of the title always the same, e.g. 'Netscape'"),
     true},
    {IDC_CLASS,
     LIB_TEXT("Enter the class of a window here. This can help to identify a certain type of windows. The title may be "
     "different but the class always the same, e.g. 'IEFrame'."),
     true},
    {IDC_FLAG,
     LIB_TEXT("Drag the flag over the window you want to hide to get the full window title and class. You may need to shorten "
     "the title and class so it matches all windows of that kind."),
     true},
    {IDC_LIST, LIB_TEXT("This list describes windows to hide. Enter title and class above and click on Add."), true},
    {IDC_ADD, LIB_TEXT("Add the above title and class as a decription for a window to hide."), true},
    {IDC_WINDOWS, LIB_TEXT("Select one of the visible windows"), true},
    {IDC_REMOVE, LIB_TEXT("Remove the selected entry from the list."), true},
    {IDC_UP,
     LIB_TEXT("Why change the order? Because this is the order in which the windows unhide and are displayed on the taskbar."),
     true},
    {IDC_DOWN,
     LIB_TEXT("Why change the order? Because this is the order in which the windows unhide and are displayed on the taskbar."),
     true},
    {IDC_ADDDEFAULTS, LIB_TEXT("Add default entries for Internet Explorer, Netscape, and ACDSee, as an example."), true},
};
constexpr PageTip kHotkeyTip = {IDC_HOTKEY, LIB_TEXT("Enter a new Boss-Key. Press BACKSPACE for none."), true};

struct BossEntry {
  const char* title;
  const char* className;
};
constexpr BossEntry kDefaultEntries[] = {
    {"", "IEFrame"},          {"", "MozillaUIWindowClass"}, {"Netscape", ""},
    {"", "ACDBrowser"},       {"", "ACDViewer"},            {"File Download", "#32770"},
    {"Save As", "#32770"},    {"% of", "#32770"},           {" Completed", "#32770"},
};

// Page state (GUI thread only).
HWND HotkeyControl;
bool Moving;  // a swap of two entries is running
struct Picker {
  bool dragging;
  bool framed;      // the inverted frame is shown on lastWindow
  HWND lastWindow;
  HCURSOR savedCursor;
  HBITMAP flag;     // the page's own copies of the two flag pictures
  HBITMAP flagTaken;
} Drag;
UINT ColumnDpi = kDefaultDpi;  // the scaling the list's column widths are for
char MenuTitles[kMenuSlots][kMenuTextChars];
char MenuClasses[kMenuSlots][kMenuTextChars];
int MenuCount;

HWND List(HWND page) { return GetDlgItem(page, IDC_LIST); }

int ItemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

void ItemText(HWND list, int item, int column, char* out, int cap) {
  out[0] = 0;
  LVITEMA lv = {};
  lv.iSubItem = column;
  lv.pszText = out;
  lv.cchTextMax = cap;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

void SetItemText(HWND list, int item, int column, const char* text) {
  LVITEMA lv = {};
  lv.iSubItem = column;
  lv.pszText = const_cast<char*>(text);
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

// Selects and focuses the item and brings it into view.
void SelectItem(HWND list, int item) {
  LVITEMA lv = {};
  lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  lv.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
  SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
}

int NextItem(HWND list, UINT flags) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), flags));
}

void SetEnabledHotkey(HWND page) {
  BOOL on = CheckedValue(page, IDC_ENABLE);
  EnableWindow(HotkeyControl, on);
  EnableWindow(GetDlgItem(page, IDC_DEFAULT), on);
}

}  // namespace

// An entry equal to one in the list (case ignored) selects that one (the last such);
// any other is added at the end. Either way the list gets the focus and shows it.
void AddBossEntry(HWND list, const char* title, const char* className) {
  int found = -1;
  int count = ItemCount(list);
  for (int i = 0; i < count; ++i) {
    char itemTitle[kPatternChars + 1], itemClass[kPatternChars + 1];
    ItemText(list, i, 0, itemTitle, sizeof itemTitle);
    ItemText(list, i, 1, itemClass, sizeof itemClass);
    if (lstrcmpiA(itemTitle, title) == 0 && lstrcmpiA(itemClass, className) == 0) found = i;
  }
  if (found < 0) {
    char text[kPatternChars + 1];
    snprintf(text, sizeof text, "%s", title);
    LVITEMA lv = {};
    lv.mask = LVIF_TEXT;
    lv.iItem = count;
    lv.pszText = text;
    found = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lv)));
    snprintf(text, sizeof text, "%s", className);
    if (found >= 0) SetItemText(list, found, 1, text);
  }
  SetFocus(list);
  if (found >= 0) SelectItem(list, found);
}

void AddDefaultBossEntries(HWND page) {
  for (const BossEntry& entry : kDefaultEntries) AddBossEntry(List(page), entry.title, entry.className);
  LibWriteSettingInt(HKEY_CURRENT_USER, "FirstRun", 1);
}

// Inverts a frame along the inside of the window's rectangle; drawing it again removes it.
void FrameWindow(HWND window, bool on) {
  Drag.framed = on;
  if (!window || !IsWindow(window)) return;
  RECT r;
  GetWindowRect(window, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  int frame = ScaleForWindow(BossKeyPageWindow, kFrameWidth);  // as wide as the page's scaling makes it
  HDC dc = GetWindowDC(window);
  if (!dc) return;
  PatBlt(dc, 0, 0, width, frame, DSTINVERT);
  PatBlt(dc, 0, frame, frame, height - 2 * frame, DSTINVERT);
  PatBlt(dc, width - frame, frame, frame, height - 2 * frame, DSTINVERT);
  PatBlt(dc, 0, height - frame, width, frame, DSTINVERT);
  ReleaseDC(window, dc);
}

BOOL CALLBACK ListWindowsProc(HWND window, LPARAM menuHandle) {
  if (MenuCount >= kMenuSlots) return FALSE;
  HMENU menu = reinterpret_cast<HMENU>(menuHandle);
  char title[kMenuTextChars] = {}, className[kMenuTextChars] = {};
  GetWindowTextA(window, title, sizeof title);
  GetClassNameA(window, className, sizeof className);
  snprintf(MenuTitles[MenuCount], kMenuTextChars, "%s", title);
  snprintf(MenuClasses[MenuCount], kMenuTextChars, "%s", className);
  if (!IsWindowVisible(window)) return TRUE;
  char item[2 * kMenuTextChars + 8];
  snprintf(item, sizeof item, "%s - %s", title, className);
  InsertMenuA(menu, static_cast<UINT>(MenuCount - 1), MF_BYPOSITION | MF_STRING, static_cast<UINT_PTR>(MenuCount),
              item);
  ++MenuCount;
  return TRUE;
}

namespace {

// The menu of visible windows at the cursor; the chosen one becomes an entry.
void ChooseVisibleWindow(HWND page) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  MenuCount = 1;
  EnumWindows(ListWindowsProc, reinterpret_cast<LPARAM>(menu));
  InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, 0, LibTranslate("= ACTIVE WINDOWS =", 1));
  POINT at;
  GetCursorPos(&at);
  int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, page, nullptr);
  DestroyMenu(menu);
  if (chosen > 0 && chosen < kMenuSlots) AddBossEntry(List(page), MenuTitles[chosen], MenuClasses[chosen]);
}

void RemoveSelected(HWND page) {
  HWND list = List(page);
  int item = NextItem(list, LVNI_SELECTED);
  if (item < 0) {
    MessageBeep(0);
    return;
  }
  SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(item), 0);
  MarkPageChanged(page);
  int count = ItemCount(list);
  if (count > 0) SelectItem(list, item < count ? item : count - 1);
}

// Swaps the focused entry with its neighbour (-1 up, +1 down).
void MoveFocused(HWND page, int step) {
  if (Moving) return;
  HWND list = List(page);
  int item = NextItem(list, LVNI_FOCUSED);
  int other = item + step;
  if (item < 0 || other < 0 || other >= ItemCount(list)) {
    MessageBeep(0);
    return;
  }
  Moving = true;
  for (int column = 0; column < 2; ++column) {
    char a[kPatternChars + 1], b[kPatternChars + 1];
    ItemText(list, item, column, a, sizeof a);
    ItemText(list, other, column, b, sizeof b);
    SetItemText(list, item, column, b);
    SetItemText(list, other, column, a);
  }
  Moving = false;
  SelectItem(list, other);
  MarkPageChanged(page);
}

void AddTypedEntry(HWND page) {
  char title[kPatternChars + 1] = {}, className[kPatternChars + 1] = {};
  GetDlgItemTextA(page, IDC_TITLE, title, sizeof title);
  GetDlgItemTextA(page, IDC_CLASS, className, sizeof className);
  AddBossEntry(List(page), title, className);
}

// ---- The flag: drag it over a window to read that window's title and class.

void ShowFlag(HWND page, HBITMAP picture) {
  SendDlgItemMessageA(page, IDC_FLAG, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

// The window at a point of the page's client area (the mouse is captured): the
// top-level window, climbing at most seven parents, or with Ctrl the child itself.
HWND WindowAt(HWND page, LPARAM position, WPARAM keys) {
  POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  ClientToScreen(page, &at);
  HWND window = WindowFromPoint(at);
  bool ctrl = (keys & MK_CONTROL) || GetKeyState(VK_CONTROL) < 0;
  for (int i = 0; window && !ctrl && i < kParentSteps; ++i) {
    HWND parent = GetAncestor(window, GA_PARENT);
    if (!parent || parent == GetDesktopWindow()) break;
    window = parent;
  }
  return window;
}

void ShowWindowTexts(HWND page, HWND window) {
  char title[kPatternChars + 1] = {}, className[kPatternChars + 1] = {};
  if (window) {
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
  }
  SetDlgItemTextA(page, IDC_TITLE, title);
  SetDlgItemTextA(page, IDC_CLASS, className);
}

void StartDrag(HWND page) {
  Drag.dragging = true;
  Drag.framed = false;
  Drag.lastWindow = nullptr;
  SetCapture(page);
  Drag.savedCursor = SetCursor(LoadCursorA(AppInstance, MAKEINTRESOURCEA(IDC_CURSOR_DRAGGING)));
  ShowFlag(page, Drag.flagTaken);
}

// Ends a drag: the frame removed, the capture released, cursor and flag back.
void EndDrag(HWND page) {
  if (Drag.framed) FrameWindow(Drag.lastWindow, false);
  Drag.dragging = false;
  Drag.lastWindow = nullptr;
  if (GetCapture() == page) ReleaseCapture();
  SetCursor(Drag.savedCursor ? Drag.savedCursor : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  ShowFlag(page, Drag.flag);
}

void OnDragMove(HWND page, WPARAM keys, LPARAM position) {
  HWND window = WindowAt(page, position, keys);
  if (window != Drag.lastWindow && Drag.framed) FrameWindow(Drag.lastWindow, false);
  if (!Drag.framed) FrameWindow(window, true);
  Drag.lastWindow = window;
  ShowWindowTexts(page, window);
}

void OnDragDrop(HWND page, WPARAM keys, LPARAM position) {
  HWND window = WindowAt(page, position, keys);
  EndDrag(page);
  ShowWindowTexts(page, window);
}

// One flag picture at the page's scaling: the pictures are drawn for 96 dpi
// and stretched smoothly for any other.
HBITMAP LoadFlagPicture(HWND page, int resource) {
  // The picture's background (its first pixel) becomes the page's, and its
  // greys the system's 3-D colours.
  constexpr UINT kLoad = LR_LOADTRANSPARENT | LR_LOADMAP3DCOLORS;
  HBITMAP drawn = static_cast<HBITMAP>(LoadImageA(AppInstance, MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0, kLoad));
  int size = ScaleForWindow(page, kFlagSize);
  if (!drawn || size == kFlagSize) return drawn;
  HBITMAP stretched = StretchedBitmap(drawn, size, size);
  if (!stretched) return drawn;
  DeleteObject(drawn);
  return stretched;
}

void LoadFlagPictures(HWND page) {
  if (!Drag.flag) Drag.flag = LoadFlagPicture(page, IDB_FLAG);
  if (!Drag.flagTaken) Drag.flagTaken = LoadFlagPicture(page, IDB_FLAG_TAKEN);
}

void FreeFlagPictures() {
  for (HBITMAP* picture : {&Drag.flag, &Drag.flagTaken}) {
    if (*picture) DeleteObject(*picture);
    *picture = nullptr;
  }
}

// ---- Start-up of the page.

// The small size fits the small buttons beside the list.
void SetButtonIcon(HWND page, int control, HINSTANCE module, int icon) {
  HWND button = GetDlgItem(page, control);
  SetControlIcon(button, module, icon, ScaleForWindow(button, kButtonGlyph));
}

// The buttons' pictures at the page's scaling (again after a change of it).
void SetButtonIcons(HWND page) {
  for (const ButtonIcon& b : kButtonIcons)
    SetButtonIcon(page, b.control, b.fromLibrary ? LibResourceModule : AppInstance, b.icon);
}

// The hotkey control sits where the hidden edit 1150 marks its place, after the switch in the tab order.
void CreateHotkeyControl(HWND page) {
  HWND spot = GetDlgItem(page, IDC_HOTKEYSPOT);
  RECT r = {};
  GetWindowRect(spot, &r);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
  HotkeyControl = CreateWindowExA(0, HOTKEY_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, page,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_HOTKEY)), AppInstance, nullptr);
  SetWindowPos(HotkeyControl, GetDlgItem(page, IDC_ENABLE), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  LRESULT font = SendDlgItemMessageA(page, IDC_ENABLE, WM_GETFONT, 0, 0);
  SendMessageA(HotkeyControl, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  int hotkey = ReadSettingInt("BossKey");
  SendMessageA(HotkeyControl, HKM_SETHOTKEY, static_cast<WPARAM>(hotkey > 0 ? hotkey : kAltSpace), 0);
}

void SetUpColumns(HWND page) {
  HWND list = List(page);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kListExStyles, kListExStyles);
  // The stored widths are pixels at 96 dpi; the list shows them at its scaling.
  ColumnDpi = WindowDpi(list);
  int width0 = ReadSettingInt("BossColumnWidth0");
  if (width0 == -1) {
    RECT r = {};
    GetWindowRect(list, &r);
    width0 = (r.right - r.left - 2 * MetricForWindow(list, SM_CXEDGE) - MetricForWindow(list, SM_CXVSCROLL) -
              ScaleForDpi(2, ColumnDpi)) / 2;
  } else {
    width0 = ScaleForDpi(width0, ColumnDpi);
  }
  int width1 = ReadSettingInt("BossColumnWidth1");
  width1 = width1 == -1 ? width0 : ScaleForDpi(width1, ColumnDpi);
  const char* names[2] = {LIB_TEXT("Title"), LIB_TEXT("Class")};
  int widths[2] = {width0, width1};
  for (int i = 0; i < 2; ++i) {
    char name[64];
    snprintf(name, sizeof name, "%s", LibTranslate(names[i], 1));
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = widths[i];
    column.pszText = name;
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
}

// The stored entries (an entry with a pattern that cannot be read whole is passed
// over), or the defaults when there are none.
void ShowEntries(HWND page) {
  char title[kPatternChars + 1], className[kPatternChars + 1];
  PatternRead first = ReadBossPattern("BossTitle%03i", 0, title);
  if (first == kPatternMissing) {
    AddDefaultBossEntries(page);
  } else {
    for (int i = 0;; ++i) {
      PatternRead read = ReadBossPattern("BossTitle%03i", i, title);
      if (read == kPatternMissing) break;
      if (read == kPatternRead && ReadBossPattern("BossClass%03i", i, className) != kPatternUnusable)
        AddBossEntry(List(page), title, className);
    }
  }
  SelectItem(List(page), 0);
}

INT_PTR OnInitDialog(HWND page) {
  PageInit(page, &BossKeyPageWindow, kTips, sizeof kTips / sizeof kTips[0]);
  SetButtonIcons(page);
  InitCommonControls();
  LoadFlagPictures(page);
  ShowFlag(page, Drag.flag);
  CreateHotkeyControl(page);
  AddPageTips(page, &kHotkeyTip, 1);
  CheckDlgButton(page, IDC_ENABLE, ReadSettingInt("BossKeyYes") == 1 ? BST_CHECKED : BST_UNCHECKED);
  SetEnabledHotkey(page);
  SetDlgItemTextA(page, IDC_TITLE, "");
  SetDlgItemTextA(page, IDC_CLASS, "IEFrame");
  SendDlgItemMessageA(page, IDC_TITLE, EM_LIMITTEXT, kPatternChars, 0);
  SendDlgItemMessageA(page, IDC_CLASS, EM_LIMITTEXT, kPatternChars, 0);
  SetUpColumns(page);
  ShowEntries(page);
  return 1;
}

INT_PTR OnCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDC_DEFAULT:
      SendMessageA(HotkeyControl, HKM_SETHOTKEY, kAltSpace, 0);
      break;
    case IDC_ENABLE:
      SetEnabledHotkey(page);
      break;
    case IDC_HOTKEY:
      break;
    case IDC_ADD:
      AddTypedEntry(page);
      break;
    case IDC_ADDDEFAULTS:
      AddDefaultBossEntries(page);
      break;
    case IDC_REMOVE:
      RemoveSelected(page);  // marks the change itself, not on a beep
      return 0;
    case IDC_UP:
    case IDC_DOWN:
      MoveFocused(page, LOWORD(wParam) == IDC_UP ? -1 : 1);
      return 0;
    case IDC_WINDOWS:
      ChooseVisibleWindow(page);
      break;
    case IDC_FLAG:
      if (HIWORD(wParam) == STN_CLICKED) StartDrag(page);
      return 0;
    default:
      return PageCommand(page, wParam, lParam);
  }
  MarkPageChanged(page);
  return 0;
}

void OnListKey(HWND page, const NMLVKEYDOWN* key) {
  bool ctrl = GetKeyState(VK_CONTROL) < 0 || GetAsyncKeyState(VK_CONTROL) < 0;
  if (ctrl && key->wVKey == VK_UP) PostMessageA(page, WM_COMMAND, IDC_UP, 0);
  else if (ctrl && key->wVKey == VK_DOWN) PostMessageA(page, WM_COMMAND, IDC_DOWN, 0);
  else if (key->wVKey == VK_DELETE) SendMessageA(page, WM_COMMAND, IDC_REMOVE, 0);
}

void OnItemChanged(HWND page, const NMLISTVIEW* change) {
  if (!(change->uChanged & LVIF_STATE)) return;
  HWND list = List(page);
  int item = NextItem(list, LVNI_FOCUSED);
  if (item < 0) return;
  char title[kPatternChars + 1], className[kPatternChars + 1];
  ItemText(list, item, 0, title, sizeof title);
  ItemText(list, item, 1, className, sizeof className);
  SetDlgItemTextA(page, IDC_TITLE, title);
  SetDlgItemTextA(page, IDC_CLASS, className);
}

INT_PTR OnEndLabelEdit(HWND page, const NMLVDISPINFOA* edit) {
  if (!edit->item.pszText || !edit->item.pszText[0]) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
    return 1;
  }
  SetItemText(List(page), edit->item.iItem, 0, edit->item.pszText);
  MarkPageChanged(page);
  SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);
  return 1;
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  INT_PTR result = 0;
  if (PageNotify(page, header, &result)) return result;
  switch (header->code) {
    case HDN_DIVIDERDBLCLICKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_ENDTRACKA:
    case HDN_ENDTRACKW:
      MarkPageChanged(page);  // the widths are stored on Apply
      return 0;
  }
  if (header->idFrom != IDC_LIST) return 0;
  switch (header->code) {
    case LVN_KEYDOWN:
      OnListKey(page, reinterpret_cast<const NMLVKEYDOWN*>(header));
      return 0;
    case LVN_ITEMCHANGED:
      OnItemChanged(page, reinterpret_cast<const NMLISTVIEW*>(header));
      return 0;
    case LVN_ENDLABELEDITA:
      return OnEndLabelEdit(page, reinterpret_cast<const NMLVDISPINFOA*>(header));
  }
  return 0;
}

INT_PTR OnSetCursor(HWND page, WPARAM over, LPARAM lParam) {
  if (reinterpret_cast<HWND>(over) == GetDlgItem(page, IDC_FLAG)) {
    SetCursor(LoadCursorA(AppInstance, MAKEINTRESOURCEA(IDC_CURSOR_OVERFLAG)));
    SetWindowLongPtrA(page, DWLP_MSGRESULT, TRUE);  // keep it: the default would put the arrow back
    return 1;
  }
  return LibPageMessage(LibAppWindow, page, WM_SETCURSOR, over, lParam);
}

// Shown at another scaling (the sheet has scaled the page and its controls):
// the columns keep their share, the pictures are made for the new size.
INT_PTR OnDpiChanged(HWND page) {
  HWND list = List(page);
  UINT dpi = WindowDpi(list);
  for (int i = 0; i < 2; ++i) {
    int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, i, MulDiv(width, static_cast<int>(dpi), static_cast<int>(ColumnDpi)));
  }
  ColumnDpi = dpi;
  // The hotkey control is ours, not the template's: it goes where its marker went, in the new font.
  RECT spot = {};
  GetWindowRect(GetDlgItem(page, IDC_HOTKEYSPOT), &spot);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&spot), 2);
  SetWindowPos(HotkeyControl, nullptr, spot.left, spot.top, spot.right - spot.left, spot.bottom - spot.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(HotkeyControl, WM_SETFONT, static_cast<WPARAM>(SendDlgItemMessageA(page, IDC_ENABLE, WM_GETFONT, 0, 0)),
               TRUE);
  SetButtonIcons(page);
  ShowFlag(page, nullptr);
  FreeFlagPictures();
  LoadFlagPictures(page);
  ShowFlag(page, Drag.dragging ? Drag.flagTaken : Drag.flag);
  return 0;
}

INT_PTR OnDestroy(HWND page) {
  if (Drag.dragging) EndDrag(page);
  for (const ButtonIcon& b : kButtonIcons) FreeControlIcon(GetDlgItem(page, b.control));
  ShowFlag(page, nullptr);
  FreeFlagPictures();
  HotkeyControl = nullptr;
  PageDone(&BossKeyPageWindow);
  return 0;
}

}  // namespace

INT_PTR CALLBACK BossKeyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SETCURSOR && LibPageMessage(LibAppWindow, page, message, wParam, lParam)) return 0;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page);
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      return OnCommand(page, wParam, lParam);
    case WM_SETCURSOR:
      return OnSetCursor(page, wParam, lParam);
    case WM_MOUSEMOVE:
      if (Drag.dragging) OnDragMove(page, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      if (Drag.dragging) OnDragDrop(page, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      if (Drag.dragging) EndDrag(page);
      return 0;
    case WM_CAPTURECHANGED:
      if (Drag.dragging && reinterpret_cast<HWND>(lParam) != page) EndDrag(page);
      return 0;
    case kWmDpiChangedAfterParent:
      return OnDpiChanged(page);
    case WM_DESTROY:
      return OnDestroy(page);
  }
  return 0;
}

void SaveBossKeyPage(HWND page) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "BossKeyYes", CheckedValue(page, IDC_ENABLE));
  if (ReadSettingInt("BossKeyYes") != 0) {
    int hotkey = static_cast<int>(SendMessageA(HotkeyControl, HKM_GETHOTKEY, 0, 0)) & 0xFFFF;
    if ((hotkey & 0xFF) == 0) hotkey = 0;
    LibWriteSettingInt(HKEY_CURRENT_USER, "BossKey", hotkey);
    if (hotkey > 0) RegisterBossHotkey(hotkey, HOTKEY_BOSSKEY, "Boss-Key");
    else UnregisterHotKey(LibAppWindow, HOTKEY_BOSSKEY);
  } else {
    UnregisterHotKey(LibAppWindow, HOTKEY_BOSSKEY);
  }
  HWND list = List(page);
  int count = ItemCount(list);
  for (int i = 0; i < count; ++i) {
    char name[32], text[kPatternChars + 1];
    ItemText(list, i, 0, text, sizeof text);
    snprintf(name, sizeof name, "BossTitle%03i", i);
    LibWriteSetting(HKEY_CURRENT_USER, name, text);
    ItemText(list, i, 1, text, sizeof text);
    snprintf(name, sizeof name, "BossClass%03i", i);
    LibWriteSetting(HKEY_CURRENT_USER, name, text);
  }
  // The entries above the new count go, up to the first one that is not there.
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    for (int i = count;; ++i) {
      char name[32];
      snprintf(name, sizeof name, "BossTitle%03i", i);
      if (RegDeleteValueA(key, name) != ERROR_SUCCESS) break;
      snprintf(name, sizeof name, "BossClass%03i", i);
      RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
  }
  for (int i = 0; i < 2; ++i) {
    char name[32];
    snprintf(name, sizeof name, "BossColumnWidth%i", i);
    int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
    LibWriteSettingInt(HKEY_CURRENT_USER, name, UnscaleForWindow(list, width));  // as pixels at 96 dpi
  }
}
