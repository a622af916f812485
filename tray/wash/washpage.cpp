// The Wash page of the settings window: one box per wash item, a button per item
// and per group that clears at once, the run's start and stop button, the File
// Delete Options dialog and the family's separate cleaning tool.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "tray/pages.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"
#include "tray/wash/wash.h"

namespace {

enum : int {
  IDC_WASH = 1175,
  IDC_DELETEOPTIONS = 1210,
  IDC_IEGROUP = 1209,
  IDC_WINDOWSGROUP = 1208,
  IDC_WASHTOOL = 1243,
  IDC_IEICON = 1317,
  IDC_WINDOWSICON = 1318,
  IDC_PREVIEW = 1211,
  IDC_MOREITEMS = 1212,
  IDD_DELETEOPTIONS = 115,
};

constexpr PageTip kTips[] = {
    {1185, "Clear the Internet Explorer drop-down list of manually typed Internet addresses.", false},
    {1187, "Clear temporary cached files for Internet Explorer.", false},
    {1055, "Remove cookies for Internet Explorer.", false},
    {1056, "Clear the history list", false},
    {1062, "Clear AutoComplete drop-downs which store what you entered in forms", false},
    {1180,
     LIB_TEXT("Clear entries in the list that will appear when you press START - Run and drop-down the 'Open:' list. Note, "
     "you need to logoff for the list to be cleared."),
     true},
    {1182,
     LIB_TEXT("Remove all entries in the START - Documents menu.\r\n\r\nImportant: The recent document entries are stored "
     "twice, once in the Recent folder, and a second time in the registry. When you use the Taskbar properties to "
     "clear the Documents Menu, only the folder is cleared. qv-Webdeck also clears the traces in the registry!"),
     true},
    {1051,
     LIB_TEXT("Clear the drop-down list which appear when you search for a file or folder in Windows Explorer (START - Search "
     "- For Files or Folders)."),
     true},
    {1050,
     LIB_TEXT("Clear the TEMP folder. This is a temporary folder used by many applications. Note: It is not recommended to "
     "clear the temporary folder while applications are running! \r\n\r\nWindows allows you to change the location "
     "of the TEMP folder, either in the autoexec.bat (Win95/98) or through START - Settings - Control Panel - System "
     "- Environment (NT/2000/XP)."),
     true},
    {IDC_WASH, "Clear all selected items now", false},
    {IDC_PREVIEW, LIB_TEXT("Show what a wash of the ticked items would delete, without deleting anything"), true},
    {IDC_MOREITEMS, LIB_TEXT("Choose more items to wash: the browsers and Windows traces found on this computer"), true},
    {IDC_IEGROUP, "Clear selected Internet Explorer items", false},
    {IDC_WINDOWSGROUP, "Clear selected Windows items", false},
};

// The single-item buttons, each beside its item's box.
struct ItemButton {
  int button;
  int item;  // index into kWashItems
};
constexpr ItemButton kItemButtons[] = {
    {1144, 0}, {1073, 1}, {1221, 2}, {1225, 3}, {1140, 4}, {1143, 5}, {1147, 6}, {1141, 7}, {1142, 8},
};
// The groups' boxes in the order their buttons clear them.
constexpr int kIeGroup[] = {1185, 1187, 1055, 1056, 1062};
constexpr int kWindowsGroup[] = {1180, 1182, 1051, 1050};

const WashItem* ItemOfBox(int box) {
  for (const WashItem& item : kWashItems)
    if (item.checkBox == box) return &item;
  return nullptr;
}

bool Confirmed(const char* question) {
  return MessageBoxA(LibOwnerWindow, LibTranslate(question, 1), kProductTitle, MB_OKCANCEL | MB_ICONQUESTION) ==
         IDOK;
}

// The end of a single clearing: a beep, or one box with the folder it left alone
// and the locked files it could not set up for the restart for want of rights.
void Done(const WashReport& report) {
  char text[3000] = {}, part[2000];
  if (LeftAloneSentence(report, part, sizeof part)) snprintf(text, sizeof text, "%s", part);
  if (NotScheduledSentence(report, part, sizeof part)) {
    size_t used = strlen(text);
    snprintf(text + used, sizeof text - used, "%s%s", used ? "\r\n\r\n" : "", part);
  }
  if (!text[0]) {
    MessageBeep(MB_ICONASTERISK);
    return;
  }
  MessageBoxA(LibOwnerWindow, text, kProductTitle, MB_ICONINFORMATION);
}

// The buttons that clear one item, or one group, at once: each shows the
// wash-now arrow, as large as the button's scaling asks and its face holds.
constexpr int kClearNowButtons[] = {1140, 1141, 1142, 1143, 1147, 1144, 1073, 1221, 1225, IDC_IEGROUP, IDC_WINDOWSGROUP};
constexpr int kClearNowIcon = 153;
constexpr int kClearNowGlyph = 8;  // pixels at 96 dpi
constexpr int kToolGlyph = 16;     // the cleaning tool's button: a small icon at 96 dpi

// Whether the groups show their other pictures (the key "5" held at the page's start).
bool OtherGroupPictures = false;

int GlyphSize(HWND button) {
  RECT face = {};
  GetClientRect(button, &face);
  int room = (face.right < face.bottom ? face.right : face.bottom) - 2;  // inside the button's edge
  int size = ScaleForWindow(button, kClearNowGlyph);
  return size < room ? size : room;
}

// Every picture of the page at the page's scaling (again after a change of it).
void SetIcons(HWND page) {
  int large = LargeIconSize(WindowDpi(page));
  SetControlIcon(GetDlgItem(page, IDC_IEICON), AppInstance, OtherGroupPictures ? 147 : 128, large);
  SetControlIcon(GetDlgItem(page, IDC_WINDOWSICON), AppInstance, OtherGroupPictures ? 162 : 130, large);
  HWND tool = GetDlgItem(page, IDC_WASHTOOL);
  SetControlIcon(tool, AppInstance, 152, ScaleForWindow(tool, kToolGlyph));
  for (int id : kClearNowButtons) {
    HWND button = GetDlgItem(page, id);
    SetControlIcon(button, AppInstance, kClearNowIcon, GlyphSize(button));
  }
}

void FreeIcons(HWND page) {
  for (int id : {IDC_IEICON, IDC_WINDOWSICON, IDC_WASHTOOL}) FreeControlIcon(GetDlgItem(page, id));
  for (int id : kClearNowButtons) FreeControlIcon(GetDlgItem(page, id));
}

INT_PTR OnInitDialog(HWND page) {
  PageInit(page, &WashPageWindow, nullptr, 0);
  OtherGroupPictures = GetAsyncKeyState('5') < 0;  // the groups' other pictures
  SetIcons(page);
  AddPageTips(page, kTips, sizeof kTips / sizeof kTips[0]);
  for (const WashItem& item : kWashItems)
    if (ReadSettingInt(item.setting) == 1) CheckDlgButton(page, item.checkBox, BST_CHECKED);
  if (WashRunning.load(std::memory_order_relaxed))  // a run that outlived an earlier page
    SetDlgItemTextA(page, IDC_WASH, LibTranslate("S&top Washing", 1));
  MarkPageSaved(page);
  return 0;
}

}  // namespace

void ClearItemsNow(const int* items, size_t count) {
  HANDLE lock = TakeWashLock();
  if (!lock) {
    ShowWashRunning();
    return;
  }
  WashReport report;
  SetActiveReport(&report);
  for (size_t i = 0; i < count; ++i) {
    SetActiveItem(items[i]);
    kWashItems[items[i]].run();
  }
  SetActiveReport(nullptr);
  ReleaseWashLock(lock);
  Done(report);
}

namespace {

int IndexOf(const WashItem* item) { return static_cast<int>(item - kWashItems); }

// A group button: the ticked items of its group, at once, on this thread.
void ClearGroup(HWND page, const int* boxes, size_t count, const char* question) {
  if (!Confirmed(question)) return;
  int items[kWashItemCount];
  size_t n = 0;
  for (size_t i = 0; i < count && n < kWashItemCount; ++i) {
    const WashItem* item = ItemOfBox(boxes[i]);
    if (item && CheckedValue(page, boxes[i])) items[n++] = IndexOf(item);
  }
  ClearItemsNow(items, n);
}

void ClearOne(int item) {
  if (!Confirmed(LIB_TEXT("Are you sure?"))) return;
  ClearItemsNow(&item, 1);
}

void WashOrStop(HWND page) {
  if (WashRunning.load(std::memory_order_relaxed) == 1) {
    StopRequested.store(1, std::memory_order_relaxed);
    return;
  }
  SaveAllSettings();
  SetDlgItemTextA(page, IDC_WASH, LibTranslate("S&top Washing", 1));
  StartWash();
}

INT_PTR OnCommand(HWND page, WPARAM wParam, LPARAM lParam) {
  int control = LOWORD(wParam);
  if (ItemOfBox(control)) {
    MarkPageChanged(page);
    return 0;
  }
  for (const ItemButton& b : kItemButtons) {
    if (b.button == control) {
      ClearOne(b.item);
      return 0;
    }
  }
  switch (control) {
    case IDC_IEGROUP:
      ClearGroup(page, kIeGroup, sizeof kIeGroup / sizeof kIeGroup[0], LIB_TEXT("Clear selected Internet Explorer items now?"));
      return 0;
    case IDC_WINDOWSGROUP:
      ClearGroup(page, kWindowsGroup, sizeof kWindowsGroup / sizeof kWindowsGroup[0],
                 LIB_TEXT("Clear selected Windows items now?"));
      return 0;
    case IDC_WASH:
      WashOrStop(page);
      return 0;
    case IDC_PREVIEW:
      PreviewWash(page);
      return 0;
    case IDC_MOREITEMS:
      ShowMoreItems();
      return 0;
    case IDC_DELETEOPTIONS:
      DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_DELETEOPTIONS), LibOwnerWindow, DeleteOptionsProc, 0);
      return 0;
    case IDC_WASHTOOL:
      LibRunFamilyTool("qvwash.exe", 0, "Software\\Quorvane\\Wash", "https://www.quorvane.com/wash");
      return 0;
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
    case kWmDpiChangedAfterParent:
      SetIcons(page);
      return 0;
    case WM_DESTROY:
      FreeIcons(page);
      PageDone(&WashPageWindow);
      return 0;
  }
  return 0;
}

void SaveWashPage(HWND page) {
  // The Windows items first, then the browser's, in the order the page lists them.
  constexpr int kSaveOrder[] = {1180, 1182, 1051, 1050, 1185, 1187, 1055, 1056, 1062};
  for (int box : kSaveOrder)
    LibWriteSettingInt(HKEY_CURRENT_USER, ItemOfBox(box)->setting, CheckedValue(page, box));
}
