// Boss-Key: one global key hides and shows again the windows of the user's list.
#include "tray/qvtoolbar.h"

#include "common/paths.h"

#include <commctrl.h>
#include <cstdio>

// The show command of the next run's target state; the first run hides.
int BossShowCommand = SW_SHOW;

namespace {

constexpr int kPatternChars = 520;
constexpr int kWindowTextChars = 300;  // class name and title, at most 299 characters
constexpr int kHotkeyMessageChars = 500;

// The entry being processed by BossEnumProc.
char BossTitlePattern[kPatternChars];
char BossClassPattern[kPatternChars];

// Helper windows of the browsers that must stay hidden when the others come back.
bool IsSpecialWindow(const char* title, const char* className) {
  return lstrcmpiA(title, "NetscapeDispatchWnd") == 0 || lstrcmpiA(className, "aHiddenFrameClass") == 0 ||
         lstrcmpiA(className, "NetscapeSlaveClass") == 0;
}

// Reads the setting into a pattern buffer; false when it does not exist.
bool ReadPattern(const char* format, int index, char* pattern) {
  char name[32];
  snprintf(name, sizeof name, format, index);
  char text[LIB_SETTING_CHARS + 1] = {};
  int found = LibReadSetting(HKEY_CURRENT_USER, name, text);
  snprintf(pattern, kPatternChars, "%s", found ? text : "");
  return found != 0;
}

}  // namespace

int RegisterBossHotkey(int hotkey, int id, const char* name) {
  if (hotkey < 0) return 1;
  UINT modifiers = HotkeyModifiers(hotkey);
  UINT key = HotkeyVirtualKey(hotkey);
  UnregisterHotKey(LibAppWindow, id);
  if (RegisterHotKey(LibAppWindow, id, modifiers, key)) return 1;
  char text[kHotkeyMessageChars];
  snprintf(text, sizeof text, "%s", LibTranslate("Cannot register hotkey for ", 0));
  size_t used = strlen(text);
  snprintf(text + used, sizeof text - used, "%s", name ? name : "");
  used = strlen(text);
  snprintf(text + used, sizeof text - used, "%s", LibTranslate(". The key combination is already in use.", 0));
  MessageBoxA(nullptr, text, kProductTitle, MB_ICONERROR);
  return 0;
}

BOOL CALLBACK BossEnumProc(HWND window, LPARAM) {
  if (!BossTitlePattern[0] && !BossClassPattern[0]) return FALSE;  // an empty entry matches nothing
  char className[kWindowTextChars] = {};
  char title[kWindowTextChars] = {};
  GetClassNameA(window, className, kWindowTextChars);
  GetWindowTextA(window, title, kWindowTextChars);
  if (BossClassPattern[0] && !LibMatchText(className, BossClassPattern)) return TRUE;
  if (BossTitlePattern[0] && !LibMatchText(title, BossTitlePattern)) return TRUE;
  bool showing = BossShowCommand == SW_SHOW;
  if (showing && IsSpecialWindow(title, className)) return TRUE;
  ShowWindow(window, BossShowCommand);
  if (showing) SetForegroundWindow(window);
  return TRUE;
}

void RunBossKey() {
  BossShowCommand = BossShowCommand == SW_SHOW ? SW_HIDE : SW_SHOW;
  for (int i = 0;; ++i) {
    if (!ReadPattern("BossTitle%03i", i, BossTitlePattern)) break;
    ReadPattern("BossClass%03i", i, BossClassPattern);
    EnumWindows(BossEnumProc, 0);
  }
}
