// Internal helpers of Quorvane.dll shared between its source files.
#pragma once

#include "lib/Quorvane.h"
#include "common/dpi.h"

#include <commctrl.h>

#include <cstddef>

namespace qv {

// The identity handed over by LibSetProductInfo and LibInitialize.
struct Identity {
  HINSTANCE instance;
  char longTitle[100];
  char shortTitle[64];
  char windowClass[64];
  char internalName1[64];
  char internalName2[64];
  char settingsKey[MAX_PATH];
  char helpFile[MAX_PATH];
  char helpPage[MAX_PATH];
  char exeName[64];
  int reserved[4];
  int productNumber;
  int familyNumber;
  char webPage[MAX_PATH];
  char unused[64];
  int flag;
  int mode;
  int version;
};
extern Identity g_identity;

// The family's machine-wide key under HKEY_LOCAL_MACHINE.
constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";
// Default hotkey of the settings window, as a hotkey-control value:
// Ctrl+Shift+Alt+F11. Windows reports AltGr as Ctrl+Alt, so a Ctrl+Alt letter
// would take a character from AltGr keyboards (Ctrl+Alt+Q is "@" on German ones),
// and AltGr+Shift gives characters too (US-International): only a function key is
// safe. F12 is kept for debuggers and the Windows key for the system.
constexpr int kDefaultSettingsHotkey = ((HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT) << 8) | VK_F11;

// Copies src (null = "") into dst of size bytes, always terminated, cut when longer.
void CopyText(char* dst, size_t size, const char* src);
// Appends src to the text in dst; false (dst unchanged) when it would not fit.
bool AppendText(char* dst, size_t size, const char* src);
// Folder of the running program (GetModuleFileName(NULL)) with a trailing backslash.
void ProgramFolder(char* out, size_t size);
bool IsExistingFile(const char* path);
bool IsExistingFolder(const char* path);
// The long title, or a neutral caption before the identity is known.
const char* Caption();
// Owner of the library's message boxes: the settings sheet, else the main window.
HWND MessageOwner();
// An error box with a text that is already translated.
void ShowErrorText(const char* text);
// Icon resource n + 20 of the program, falling back to the library's own icon;
// a shared icon (the size Windows caches it at) must not be destroyed, the
// other is drawn for that width and belongs to the caller.
HICON LoadProgramIcon(int width, int height, bool shared);
// The settings window's hotkey: the setting "GeneralHotkey", or the default.
int SettingsHotkeyValue();
// (Re-)registers hotkey 3333 on window from the setting "GeneralHotkey"; true when registered.
bool RegisterSettingsHotkey(HWND window);
// The error text for a settings hotkey that another program holds, translated.
void SettingsHotkeyTakenText(char* out, size_t size);
// Opens a document, folder or address with ShellExecute "open"; the ShellExecute result.
INT_PTR OpenWithShell(HWND owner, const char* target);
// Settings key of a settings root; false for roots without one.
bool SettingsKeyOf(HKEY root, const char** subkey);
// True when the setting exists (any type).
bool SettingExists(HKEY root, const char* name);

// Translation support (translate.cpp).
void TranslationStartup();
void TranslationShutdown();
void TranslationThreadDone();
void ReloadLanguage();

// Tray icon (tray.cpp): the shell's restart and changes of the icon size as they
// reach the main window; true when the message was the shell's restart.
bool TrayWindowMessage(HWND window, UINT message, WPARAM wParam);

// Tooltip table (pages.cpp).
void PagesShutdown();

}  // namespace qv
