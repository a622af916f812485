// Boss-Key: one global key hides and shows again the windows of the user's list.
#include "tray/qvtoolbar.h"

#include "common/paths.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <vector>

// The show command of the next run's target state; the first run hides.
int BossShowCommand = SW_SHOW;

namespace {

constexpr int kPatternChars = kBossPatternChars + 1;
constexpr int kWindowTextChars = 300;  // class name and title, at most 299 characters
constexpr int kHotkeyMessageChars = 500;

// The entry being processed by BossEnumProc.
char BossTitlePattern[kPatternChars];
char BossClassPattern[kPatternChars];

// A window's title as the system keeps it: never a message to the window's thread,
// which may not be answering.
void WindowTitle(HWND window, char* out, int cap) {
  wchar_t wide[kWindowTextChars] = {};
  InternalGetWindowText(window, wide, kWindowTextChars);
  char ansi[kWindowTextChars * 2] = {};
  if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr)) ansi[0] = 0;
  // At most cap - 1 bytes, ending on a whole character.
  const char* end = ansi;
  for (const char* next; *end && (next = CharNextA(end)) - ansi < cap;) end = next;
  memcpy(out, ansi, static_cast<size_t>(end - ansi));
  out[end - ansi] = 0;
}

// The windows of the entry being processed that match it, in the z-order.
std::vector<HWND> BossMatches;

// Shows or hides one window. Another thread's window (another program's above all)
// is only asked: a program that has stopped answering must not hold the Boss-Key;
// its window goes as soon as it answers again.
void ShowOrHide(HWND window, int command) {
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
    ShowWindowAsync(window, command);
    return;
  }
  ShowWindow(window, command);
  if (command == SW_SHOW) SetForegroundWindow(window);
}

// Shown in the z-order, each activated in turn, so that the last one ends in front;
// hidden from the bottom up, so that the active window goes last and the activation
// does not pass from window to window.
void ApplyToMatches() {
  if (BossShowCommand == SW_SHOW) {
    for (HWND window : BossMatches) ShowOrHide(window, SW_SHOW);
  } else {
    for (auto it = BossMatches.rbegin(); it != BossMatches.rend(); ++it) ShowOrHide(*it, SW_HIDE);
  }
}

// Helper windows of the browsers that must stay hidden when the others come back.
bool IsSpecialWindow(const char* title, const char* className) {
  return lstrcmpiA(title, "NetscapeDispatchWnd") == 0 || lstrcmpiA(className, "aHiddenFrameClass") == 0 ||
         lstrcmpiA(className, "NetscapeSlaveClass") == 0;
}

}  // namespace

PatternRead ReadBossPattern(const char* format, int index, char* out) {
  char name[32];
  snprintf(name, sizeof name, format, index);
  out[0] = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return kPatternMissing;
  char text[kBossPatternChars + 2] = {};  // one byte more than read: a text without its zero stays terminated
  DWORD size = kBossPatternChars + 1, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (rc == ERROR_FILE_NOT_FOUND) return kPatternMissing;
  // Refused, never cut: a pattern cut short may match more windows.
  if (rc != ERROR_SUCCESS || type != REG_SZ || strlen(text) > kBossPatternChars) return kPatternUnusable;
  memcpy(out, text, strlen(text) + 1);
  return kPatternRead;
}

int RegisterBossHotkey(int hotkey, int id, const char* name) {
  if (hotkey < 0) return 1;
  UnregisterHotKey(LibAppWindow, id);
  if (RegisterHotkeyValue(LibAppWindow, id, hotkey)) return 1;
  char key[100];
  HotkeyName(hotkey, key, sizeof key);
  char text[kHotkeyMessageChars];
  snprintf(text, sizeof text,
           LibTranslate("Cannot register the hotkey %s for %s: another program is already using that key combination.",
                        LIB_TRANSLATE_FORMAT),
           key, name ? name : "");
  MessageBoxA(nullptr, text, kProductTitle, MB_ICONERROR);
  return 0;
}

BOOL CALLBACK BossEnumProc(HWND window, LPARAM) {
  if (!BossTitlePattern[0] && !BossClassPattern[0]) return FALSE;  // an empty entry matches nothing
  char className[kWindowTextChars] = {};
  char title[kWindowTextChars] = {};
  GetClassNameA(window, className, kWindowTextChars);
  WindowTitle(window, title, kWindowTextChars);
  if (BossClassPattern[0] && !LibMatchText(className, BossClassPattern)) return TRUE;
  if (BossTitlePattern[0] && !LibMatchText(title, BossTitlePattern)) return TRUE;
  bool showing = BossShowCommand == SW_SHOW;
  if (showing && IsSpecialWindow(title, className)) return TRUE;
  BossMatches.push_back(window);
  return TRUE;
}

void RunBossKey() {
  BossShowCommand = BossShowCommand == SW_SHOW ? SW_HIDE : SW_SHOW;
  for (int i = 0;; ++i) {
    PatternRead title = ReadBossPattern("BossTitle%03i", i, BossTitlePattern);
    if (title == kPatternMissing) break;
    // An entry with a pattern that cannot be read whole is passed over.
    if (title == kPatternUnusable || ReadBossPattern("BossClass%03i", i, BossClassPattern) == kPatternUnusable)
      continue;
    BossMatches.clear();
    EnumWindows(BossEnumProc, 0);
    ApplyToMatches();
  }
  BossMatches.clear();
}
