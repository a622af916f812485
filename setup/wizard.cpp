// The wizard's two pages (options, progress), their common look, the placeholder
// window shown between them, and the message pump that keeps the progress page alive.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/dpi.h"
#include "common/fittext.h"
#include "setup/setup.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kPageColour = RGB(247, 247, 251);

// Each page's brushes and title font, made at its start and deleted at its end.
struct PageLook {
  HBRUSH white;
  HBRUSH page;
  HFONT title;
  HBITMAP header;  // the header picture at the page's scaling, when it is not 96 dpi
};
constexpr int kHeaderSize = 32;  // the header picture is drawn for 96 dpi
constexpr int kBrowseGlyph = 16;  // the Browse button's picture: a small icon at 96 dpi
constexpr int kLabelMargin = 4;   // after the setup label's text, at 96 dpi
PageLook OptionsLook, ProgressLook;

// The header picture stretched to the page's scaling; at 96 dpi the page's own.
void ShowHeaderPicture(HWND page, PageLook& look) {
  int size = ScaleForWindow(page, kHeaderSize);
  if (size == kHeaderSize || look.header) return;
  HBITMAP drawn = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_HEADER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  look.header = StretchedBitmap(drawn, size, size);
  if (drawn) DeleteObject(drawn);
  if (look.header)
    SendDlgItemMessageA(page, IDC_HEADERBITMAP, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(look.header));
}

void MakeLook(HWND page, PageLook& look, std::initializer_list<int> titled) {
  if (!look.white) look.white = CreateSolidBrush(kWhite);
  if (!look.page) look.page = CreateSolidBrush(kPageColour);
  if (!look.title) {
    int height = -MulDiv(7, static_cast<int>(WindowDpi(page)), 72);
    look.title = CreateFontA(height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS, 0, 0, 0,
                             LibTranslate("MS Sans Serif", 0));
  }
  for (int control : titled) SendDlgItemMessageA(page, control, WM_SETFONT, reinterpret_cast<WPARAM>(look.title), TRUE);
  ShowHeaderPicture(page, look);
}

// Shown at another scaling: the title font and the pictures made anew (the dialog
// manager has moved and scaled the page and its controls).
void RemakeLook(HWND page, PageLook& look, std::initializer_list<int> titled) {
  HFONT oldFont = look.title;
  look.title = nullptr;
  HBITMAP oldHeader = look.header;
  look.header = nullptr;
  MakeLook(page, look, titled);
  if (oldFont) DeleteObject(oldFont);
  if (oldHeader) DeleteObject(oldHeader);
}

void FreeLook(PageLook& look) {
  for (HGDIOBJ* object : {reinterpret_cast<HGDIOBJ*>(&look.white), reinterpret_cast<HGDIOBJ*>(&look.page),
                          reinterpret_cast<HGDIOBJ*>(&look.title), reinterpret_cast<HGDIOBJ*>(&look.header)}) {
    if (*object) DeleteObject(*object);
    *object = nullptr;
  }
}

// The header band and its texts are white; every other static has the page colour.
INT_PTR OnStaticColour(PageLook& look, HDC dc, HWND control) {
  int id = GetDlgCtrlID(control);
  bool header = id == IDC_SUBTITLE || id == IDC_TITLE || id == IDC_HEADERBAND;
  SetBkColor(dc, header ? kWhite : kPageColour);
  return reinterpret_cast<INT_PTR>(header ? look.white : look.page);
}

void SetSetupCaption(HWND window) {
  char caption[200];
  snprintf(caption, sizeof caption, LibTranslate("%s Setup", LIB_TRANSLATE_FORMAT), kProductTitle);
  SetWindowTextA(window, caption);
}

// The program icon as the window class's icons, at the window's scaling.
void SetClassIconOf(HWND window) {
  SetClassIcons(window, GetModuleHandleA(nullptr), LibGetIconIndex() + LIB_ICON_BASE);
}

void DestroyPlaceholder() {
  if (PlaceholderWindow) DestroyWindow(PlaceholderWindow);
  PlaceholderWindow = nullptr;
}

// Keeps the closing page's picture on screen until the next page shows.
void MakePlaceholder(HWND page) {
  RECT r;
  GetWindowRect(page, &r);
  PlaceholderWindow = CreateWindowExA(0, "qvDummyClass", LibTranslate("Quorvane Setup", 0), WS_VISIBLE | WS_SYSMENU,
                                      r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
}

// The label at the lower line: as wide as its text, and the line starts after it.
void FitSetupLabel(HWND page) {
  HWND label = GetDlgItem(page, IDC_SETUPLABEL);
  HWND line = GetDlgItem(page, IDC_SETUPLINE);
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
  int width = CaptionWidth(label) + ScaleForWindow(label, kLabelMargin);
  SetWindowPos(label, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
  if (!line) return;
  RECT l;
  GetWindowRect(line, &l);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&l), 2);
  LONG left = r.left + width + ScaleForWindow(label, 2);
  if (left > l.right - ScaleForWindow(label, 8)) left = l.right - ScaleForWindow(label, 8);
  SetWindowPos(line, nullptr, left, l.top, l.right - left, l.bottom - l.top, SWP_NOZORDER);
}

int NamedRecords() {
  int named = 0;
  for (const ToolRecord& record : ToolCatalogue)
    if (record.name[0] && ++named >= 2) break;
  return named;
}

// The small picture fits the button beside its text.
void SetBrowseIcon(HWND page) {
  HWND browse = GetDlgItem(page, IDC_BROWSE);
  SetControlIcon(browse, LibResourceModule, 2551, ScaleForWindow(browse, kBrowseGlyph));
}

void SetProgressIcon(HWND page) {
  SetControlIcon(GetDlgItem(page, IDC_PROGRESSICON), LibResourceModule, 107, LargeIconSize(WindowDpi(page)));
}

INT_PTR OnOptionsDpiChanged(HWND page) {
  SetClassIconOf(page);
  SetBrowseIcon(page);
  RemakeLook(page, OptionsLook, {IDC_TITLE});
  FitSetupLabel(page);
  return FALSE;  // the dialog manager moves and scales the page
}

INT_PTR OnProgressDpiChanged(HWND page) {
  SetProgressIcon(page);
  RemakeLook(page, ProgressLook, {IDC_TITLE, IDC_THANKS});
  return FALSE;
}

INT_PTR OnOptionsInit(HWND page) {
  LibTranslate(reinterpret_cast<const char*>(page), 0);
  OwnerWindow = page;
  SetClassIconOf(page);
  SetSetupCaption(page);
  MakeLook(page, OptionsLook, {IDC_TITLE});
  SetFocus(GetDlgItem(page, IDOK));
  // As many characters as InstallFolder holds, and as many as are read back.
  SendDlgItemMessageA(page, IDC_FOLDER, EM_LIMITTEXT, MAX_PATH - 1, 0);
  SetDlgItemTextA(page, IDC_FOLDER, InstallFolder);
  if (NamedRecords() < 2) ShowWindow(GetDlgItem(page, IDC_SELECTTOOLS), SW_HIDE);
  FitSetupLabel(page);
  CheckDlgButton(page, IDC_SHORTCUTS, CreateShortcutsOption ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDC_STARTAFTER, StartAfterSetupOption && AnyToolWasRunning() ? BST_CHECKED : BST_UNCHECKED);
  FillLanguageList(page);
  SetOptionsPageTexts(page);
  SetBrowseIcon(page);
  ShowWindow(page, SW_SHOW);
  DestroyPlaceholder();
  return FALSE;
}

void OnBrowse(HWND page) {
  char folder[MAX_PATH + 1] = {};
  GetDlgItemTextA(page, IDC_FOLDER, folder, MAX_PATH);
  LibBrowseForFolder(page, folder, "");
  SetDlgItemTextA(page, IDC_FOLDER, folder);
}

void OnNext(HWND page) {
  CreateShortcutsOption = IsDlgButtonChecked(page, IDC_SHORTCUTS) == BST_CHECKED;
  StartAfterSetupOption = IsDlgButtonChecked(page, IDC_STARTAFTER) == BST_CHECKED;
  char folder[MAX_PATH + 1] = {};
  GetDlgItemTextA(page, IDC_FOLDER, folder, MAX_PATH);
  size_t n = strlen(folder);
  if (n && folder[n - 1] == '\\' && CharPrevA(folder, folder + n) == folder + n - 1) folder[n - 1] = 0;
  snprintf(InstallFolder, sizeof InstallFolder, "%s", folder);
  InstallFolderResult made = MakeInstallFolder();
  if (made == kFolderProtected || made == kFolderTaken) {
    char text[MAX_PATH * 3 + 300];
    if (made == kFolderTaken) TakenFolderText(text, sizeof text);
    else RefusedFolderText(text, sizeof text);
    MessageBoxA(OwnerWindow, text, kProductTitle, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (made != kFolderReady) {
    MessageBoxA(OwnerWindow, "Cannot create folder.", kProductTitle, MB_OK);
    return;
  }
  MakePlaceholder(page);
  FreeLook(OptionsLook);
  EndDialog(page, 1);
}

void OnCancel(HWND page) {
  const char* question = LibTranslate(
      "Setup is not complete. If you quit now, the program will not be installed.::::You may run the Setup program "
      "again at another time to complete the installation.::::Exit Setup?",
      0);
  if (MessageBoxA(page, question, kProductTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  FreeLook(OptionsLook);
  EndDialog(page, 2);
}

INT_PTR OnOptionsCommand(HWND page, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDC_BROWSE: OnBrowse(page); return TRUE;
    case IDOK: OnNext(page); return TRUE;
    case IDCANCEL: OnCancel(page); return TRUE;
    case IDC_LANGUAGE: StoreChosenLanguage(page); return TRUE;
  }
  return FALSE;
}

INT_PTR OnProgressInit(HWND page) {
  LibTranslate(reinterpret_cast<const char*>(page), 0);
  MakeLook(page, ProgressLook, {IDC_TITLE, IDC_THANKS});
  FitSetupLabel(page);
  SetProgressIcon(page);
  SendDlgItemMessageA(page, IDC_PROGRESSBAR, PBM_SETRANGE32, 0, 100);
  ShowWindow(page, SW_SHOW);
  DestroyPlaceholder();
  return TRUE;
}

void CloseProgressPage(HWND page) {
  FreeLook(ProgressLook);
  DestroyWindow(page);
  ProgressPage = nullptr;
  ProgressClosed = 1;
}

}  // namespace

bool AnyToolWasRunning() {
  for (int flag : ToolWasRunning)
    if (flag) return true;
  return false;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (ProgressPage && IsWindow(ProgressPage) && IsDialogMessageA(ProgressPage, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void ShowProgress(const char* text, int position) {
  if (ProgressPage) SetDlgItemTextA(ProgressPage, IDC_STATUS, text);
  SetProgressBar(position);
}

void SetProgressBar(int position) {
  if (ProgressPage) SendDlgItemMessageA(ProgressPage, IDC_PROGRESSBAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  PumpMessages();
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnOptionsInit(page);
    case WM_COMMAND: return OnOptionsCommand(page, wParam);
    case WM_CTLCOLORSTATIC: return OnStaticColour(OptionsLook, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(OptionsLook.page);
    case kWmDpiChanged: return OnOptionsDpiChanged(page);
    case WM_DESTROY: FreeControlIcon(GetDlgItem(page, IDC_BROWSE)); return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnProgressInit(page);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) CloseProgressPage(page);
      return TRUE;
    case WM_CTLCOLORSTATIC: return OnStaticColour(ProgressLook, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(ProgressLook.page);
    case kWmDpiChanged: return OnProgressDpiChanged(page);
    case WM_DESTROY:
      FreeControlIcon(GetDlgItem(page, IDC_PROGRESSICON));
      FreeLook(ProgressLook);
      ProgressPage = nullptr;
      return FALSE;
  }
  return FALSE;
}

LRESULT CALLBACK PlaceholderWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    SetClassIconOf(window);
    SetSetupCaption(window);
    return 0;
  }
  if (message == kWmDpiChanged) {  // the suggested place for the new scaling
    const RECT* r = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
