// qvinetcpl.exe stand-in for the browser's Internet Options control panel: a
// sheet titled "Internet Properties" with the pages "General" (buttons 1489
// Clear History and 624 Delete Files), "Security" and "Content" (button 321
// AutoComplete, which opens "AutoComplete Settings" with button 758), and the
// confirmations titled "Internet Options" and the "Delete Files" dialog.
//
// Every command a window of it receives is recorded, in order, as one line
// "<window title>: <command id>" in the call log (QV_INETCPL_LOG, else
// "inetcpl-calls.txt" beside the program); its start is recorded as "start",
// a tab change as "<sheet title>: select <index>".
// QV_INETCPL_MODE=mute: the buttons open nothing (a panel that never answers);
// QV_INETCPL_MODE=absent: the program ends at once without a window.
// QV_INETCPL_SHOWDELAY=<ms> (at most 5000): the sheet and every dialog take that
// long in their initialisation before they show themselves (a dialog shows
// itself after WM_INITDIALOG, when its thread first runs out of messages), so
// that a hide that comes early is undone by the window's own show.
// QV_INETCPL_SEEN=<file>: every command is also recorded there as
// "<window title>: <command id> shown|hidden", with whether the top-level window
// it went to (the sheet, for a page) was visible when it arrived.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standins/standin.h"

namespace {

constexpr const char* kLogVariable = "QV_INETCPL_LOG";
constexpr const char* kLogName = "inetcpl-calls.txt";
enum : int {
  IDD_GENERAL = 101,
  IDD_SECURITY = 102,
  IDD_CONTENT = 103,
  IDD_CONFIRM_YESNO = 110,
  IDD_CONFIRM_OKCANCEL = 111,
  IDD_AUTOCOMPLETE = 112,
  IDD_DELETEFILES = 113,
};

constexpr const char* kSeenVariable = "QV_INETCPL_SEEN";
constexpr DWORD kLongestShowDelayMs = 5000;

HINSTANCE Instance;
WNDPROC SheetProc;
bool Mute;
DWORD ShowDelayMs;
bool RecordSeen;

// The slow start of a window: it shows itself only after this.
void DelayOwnShow() {
  if (ShowDelayMs) Sleep(ShowDelayMs);
}

void Record(HWND window, const char* what) {
  char title[128] = {};
  GetWindowTextA(window, title, sizeof title);
  char line[256];
  snprintf(line, sizeof line, "%s: %s", title, what);
  AppendLogLine(kLogVariable, kLogName, line);
}

void RecordCommand(HWND window, WPARAM wParam) {
  char id[16];
  snprintf(id, sizeof id, "%u", static_cast<unsigned>(LOWORD(wParam)));
  Record(window, id);
  if (!RecordSeen) return;
  char title[128] = {}, line[256];
  GetWindowTextA(window, title, sizeof title);
  snprintf(line, sizeof line, "%s: %s %s", title, id, IsWindowVisible(GetAncestor(window, GA_ROOT)) ? "shown" : "hidden");
  AppendLogLine(kSeenVariable, "inetcpl-seen.txt", line);
}

// The modal dialogs: each command is recorded; the closing ones end the dialog.
INT_PTR CALLBACK ModalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    DelayOwnShow();
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  RecordCommand(dialog, wParam);
  int id = LOWORD(wParam);
  if (id == 758 && !Mute) DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_CONFIRM_OKCANCEL), dialog, ModalProc, 0);
  if (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO) EndDialog(dialog, id);
  return TRUE;
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_COMMAND) return FALSE;
  RecordCommand(page, wParam);
  int dialog = 0;
  switch (LOWORD(wParam)) {
    case 1489: dialog = IDD_CONFIRM_YESNO; break;
    case 624: dialog = IDD_DELETEFILES; break;
    case 321: dialog = IDD_AUTOCOMPLETE; break;
  }
  if (dialog && !Mute) DialogBoxParamA(Instance, MAKEINTRESOURCEA(dialog), GetParent(page), ModalProc, 0);
  return TRUE;
}

// The sheet records what it is told before doing it.
LRESULT CALLBACK RecordingSheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) RecordCommand(sheet, wParam);
  if (message == PSM_SETCURSEL) {
    char what[32];
    snprintf(what, sizeof what, "select %u", static_cast<unsigned>(wParam));
    Record(sheet, what);
  }
  return CallWindowProcA(SheetProc, sheet, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message != PSCB_INITIALIZED) return 0;
  DelayOwnShow();
  SheetProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingSheetProc)));
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Instance = instance;
  char mode[32] = {};
  GetEnvironmentVariableA("QV_INETCPL_MODE", mode, sizeof mode);
  AppendLogLine(kLogVariable, kLogName, "start");
  if (lstrcmpiA(mode, "absent") == 0) return 0;
  Mute = lstrcmpiA(mode, "mute") == 0;
  char number[16] = {};
  if (GetEnvironmentVariableA("QV_INETCPL_SHOWDELAY", number, sizeof number) && number[0]) {
    unsigned long ms = strtoul(number, nullptr, 10);
    ShowDelayMs = ms > kLongestShowDelayMs ? kLongestShowDelayMs : static_cast<DWORD>(ms);
  }
  char seen[MAX_PATH] = {};
  DWORD seenChars = GetEnvironmentVariableA(kSeenVariable, seen, sizeof seen);
  RecordSeen = seenChars > 0 && seenChars < sizeof seen;
  InitCommonControls();
  PROPSHEETPAGEA pages[3] = {};
  const int templates[3] = {IDD_GENERAL, IDD_SECURITY, IDD_CONTENT};
  for (int i = 0; i < 3; ++i) {
    pages[i].dwSize = sizeof pages[i];
    pages[i].hInstance = instance;
    pages[i].pszTemplate = MAKEINTRESOURCEA(templates[i]);
    pages[i].pfnDlgProc = PageProc;
  }
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
  header.hInstance = instance;
  header.pszCaption = "Internet Properties";
  header.nPages = 3;
  header.ppsp = pages;
  header.pfnCallback = SheetCallback;
  PropertySheetA(&header);
  AppendLogLine(kLogVariable, kLogName, "end");
  return 0;
}
