// The File Delete Options dialog: shredding, restart-time deletion of locked
// files, overwriting locked files and the Windows/System folder guard.
#include "tray/pages.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/wash.h"

namespace {

struct DeleteOption {
  int box;
  const char* setting;
  bool onByDefault;  // ticked while never written (tested for nonzero, not for 1)
  const char* tip;
};
// In the order the dialog ticks them; they are stored in kStoreOrder.
constexpr DeleteOption kOptions[] = {
    {1153, "QueueForNextRestart", true,
     LIB_TEXT("If files are in use by Windows or applications, they are usually locked, they cannot be deleted. Selecting "
     "this option will delete them at the next restart of Windows before any other application can access them. "
     "(That is, the security relevant information is still on your disk when you turn OFF your computer. You would "
     "need to RESTART Windows to make sure all files are removed.)")},
    {1154, "ShredInternal", false, LIB_TEXT("The included shredder overwrites all files once")},
    {1155, "OverwriteLocked", true,
     LIB_TEXT("Try to overwrite locked files. Some files can at least be overwritten, although they cannot be deleted (e.g. "
     "index.dat)")},
    {1059, "NotWinOrSys", false,
     LIB_TEXT("Secure files in your Windows and Windows-System folders. This is an additional precaution, especially when you "
     "free up space. If you are sure you want to clean up files in the Windows folder, too, you need to uncheck this "
     "option.")},
};
constexpr int kStoreOrder[] = {1154, 1153, 1155, 1059};
constexpr int kTipOrder[] = {1154, 1153, 1155, 1059};

const DeleteOption& OptionOf(int box) {
  for (const DeleteOption& option : kOptions)
    if (option.box == box) return option;
  return kOptions[0];
}

void SetClassIcon(HWND dialog, int icon) { SetClassIcons(dialog, AppInstance, icon); }

// Over the settings window when it shows, without changing the dialog's size.
void CentreOverOwner(HWND dialog) {
  if (!LibOwnerWindow || !IsWindow(LibOwnerWindow) || IsIconic(LibOwnerWindow)) return;
  RECT owner, own;
  GetWindowRect(LibOwnerWindow, &owner);
  GetWindowRect(dialog, &own);
  int left = owner.left + ((owner.right - owner.left) - (own.right - own.left)) / 2;
  int top = owner.top + ((owner.bottom - owner.top) - (own.bottom - own.top)) / 2;
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

INT_PTR OnInitDialog(HWND dialog) {
  LibTranslate(reinterpret_cast<const char*>(dialog), 1);
  SetWindowTextA(dialog, LibTranslate("File Delete Options", 1));
  SetClassIcon(dialog, 140);
  CentreOverOwner(dialog);
  HWND tooltip = MakeTooltip(dialog);
  for (int box : kTipOrder) LibAddTooltip(dialog, tooltip, box, LibTranslate(OptionOf(box).tip, 1));
  for (const DeleteOption& option : kOptions) {
    int value = ReadSettingInt(option.setting);
    bool ticked = option.onByDefault ? value != 0 : value == 1;
    CheckDlgButton(dialog, option.box, ticked ? BST_CHECKED : BST_UNCHECKED);
  }
  return 0;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK:
      // All four at once, also those not changed.
      for (int box : kStoreOrder)
        LibWriteSettingInt(HKEY_CURRENT_USER, OptionOf(box).setting, CheckedValue(dialog, box));
      [[fallthrough]];
    case IDCANCEL:
      EndDialog(dialog, 0);
      SetClassIcon(dialog, LibGetIconIndex() + LIB_ICON_BASE);
      return 1;
  }
  return LibDoCommand(LibAppWindow, dialog, wParam, lParam);
}

}  // namespace

INT_PTR CALLBACK DeleteOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (LibPageMessage(LibAppWindow, dialog, message, wParam, lParam)) return 0;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      return OnCommand(dialog, wParam, lParam);
    case kWmDpiChanged:
      SetClassIcon(dialog, 140);
      return 0;  // the dialog manager moves and scales the dialog
    case WM_DESTROY:
      ForgetTooltip(dialog);
      return 0;
  }
  return 0;
}
