// Quorvane.dll: the family's shared runtime library.
//
// Every program of the family links this library at load time and imports
// its functions and variables by ordinal only (see quorvane/Quorvane.def).
// All functions use the C calling convention and ANSI texts.
#pragma once

#include <windows.h>

#ifdef QUORVANE_BUILD
#define QVLIB_DATA extern "C"
#else
#define QVLIB_DATA extern "C" __declspec(dllimport)
#endif
#define QVLIB extern "C"

// Sizes of the caller-supplied buffers the library fills.
constexpr int LIB_SETTING_CHARS = 260;   // LibReadSetting
constexpr int LIB_BROWSE_CHARS = 520;    // LibBrowseForFile
constexpr int LIB_VERSION_CHARS = 100;   // LibGetVersionText
constexpr int LIB_TRAYTIP_CHARS = 64;    // LibTrayTipText

// Identifiers the library and the programs agree on.
constexpr UINT LIB_WM_TRAYNOTIFY = WM_USER + 1;  // tray icon events, lParam = mouse message
constexpr UINT LIB_TRAY_ICON_ID = 1;             // wParam of LIB_WM_TRAYNOTIFY
constexpr int LIB_MENU_TRAY = 2484;              // the caller's tray menu resource
constexpr int LIB_IDM_GETPAGES = 2560;           // WM_COMMAND asking for the three page records
constexpr int LIB_IDM_CLOSEFLYINGICON = 2455;    // WM_COMMAND closing the floating icon
constexpr int LIB_HOTKEY_SETTINGS = 3333;        // hotkey registered on the main window
constexpr int LIB_SETTINGS_PAGES = 3;            // pages of the settings sheet
constexpr int LIB_ICON_BASE = 20;                // icon LibGetIconIndex() + 20 of the caller

// Identity and start-up.
QVLIB void LibSetProductInfo(HINSTANCE instance, const char* longTitle, const char* shortTitle,
                             const char* windowClass, const char* internalName1,
                             const char* internalName2, const char* settingsKey,
                             const char* helpFile, const char* helpPage, const char* exeName,
                             int reserved1, int reserved2, int reserved3, int reserved4,
                             int productNumber, int familyNumber, const char* webPage,
                             const char* unused, int flag);
QVLIB void LibInitialize(int mode, int version);
QVLIB int LibHandleCommandLine(const char* loweredArguments);
QVLIB int LibInitInstance(HINSTANCE instance);
QVLIB int LibRegisterMainClass(HINSTANCE instance, WNDPROC procedure);
QVLIB int LibCreateMainWindow(HINSTANCE instance, int showCommand);

// Settings: under HKEY_CURRENT_USER in the identity's settings key, under
// HKEY_LOCAL_MACHINE in "Software\Quorvane\Quorvanes". One value per setting.
QVLIB int LibReadSetting(HKEY root, const char* name, char* buffer /* 260 */);
QVLIB int LibWriteSetting(HKEY root, const char* name, const char* text);
QVLIB int LibReadSettingInt(HKEY root, const char* name);  // -1 when never written
QVLIB int LibWriteSettingInt(HKEY root, const char* name, int value);

// Plain registry access; write creates missing keys, deletes are silent when absent.
QVLIB int LibRegReadValue(HKEY root, const char* subkey, const char* name, void* buffer, DWORD size);
QVLIB int LibRegWriteValue(HKEY root, const char* subkey, const char* name, DWORD type,
                           const void* data, DWORD size);
QVLIB int LibRegDeleteValue(HKEY root, const char* subkey, const char* name);
QVLIB int LibRegDeleteTree(HKEY root, const char* subkey, int withSubkeys);

// Settings files (".qvg").
QVLIB int LibExportRegistryKey(int flags, const char* keyPath, const char* file);
QVLIB int LibImportSettingsFile(const char* path);

// Texts, errors, help, version.
// LibTranslate flags: with LIB_TRANSLATE_FORMAT the text is a printf format, and
// its translation is used only when it has the same conversions as the English
// text, in the same order (the arguments are the English text's); otherwise the
// English text is returned.
constexpr int LIB_TRANSLATE_FORMAT = 2;
QVLIB const char* LibTranslate(const char* textOrDialog, int flag);
// Marks a text that is handed to LibTranslate later, where it is used (a table's
// text, a text given to a routine that translates it). The language files' keys
// are the texts of LibTranslate("...") calls, of these marks and of the resources.
#define LIB_TEXT(text) text
QVLIB void LibShowError(const char* text);
QVLIB void LibShowStartError(INT_PTR shellExecuteResult, const char* text);
QVLIB void LibShowHelp(void);
QVLIB void LibGetVersionText(char* buffer /* 100 */);

// Message loop and main window.
QVLIB int LibPreTranslateMessage(HWND mainWindow, MSG* message);
QVLIB void LibNextPage(MSG* message);
QVLIB void LibPrevPage(MSG* message);
QVLIB void LibMainWindowCreated(HWND window);
QVLIB void LibMainWindowDestroyed(HWND window);
QVLIB LRESULT LibDefMainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tray icon and menu.
QVLIB int LibAddTrayIcon(HWND window, const char* tip);
QVLIB void LibRemoveTrayIcon(HWND window);
QVLIB void LibShowTrayMenu(HWND window);

// Settings sheet and its pages.
QVLIB void LibShowSettings(int page);
QVLIB void LibPageInit(void);
QVLIB void LibPageDone(void);
QVLIB int LibPageMessage(HWND appWindow, HWND page, UINT message, WPARAM wParam, LPARAM lParam);
QVLIB int LibDoCommand(HWND appWindow, HWND window, WPARAM command, LPARAM lParam);

// Tooltips and icons.
QVLIB HWND LibCreateTooltip(HWND dialog, int delay);
QVLIB void LibAddTooltip(HWND dialog, HWND tooltip, int control, const char* text);
QVLIB int LibGetIconIndex(void);

// Floating icon.
QVLIB int LibCreateFlyingIcon(HINSTANCE module, HWND owner, HWND* outWindow, int icon, int flags,
                              WNDPROC procedure);
QVLIB LRESULT CALLBACK LibFlyingIconProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Files, folders, shortcuts, shell.
QVLIB int LibBrowseForFile(HWND owner, char* path /* 520 */, const char* title,
                           const char* englishTitle, int flags);
QVLIB int LibBrowseForFolder(HWND owner, char* path /* 260 */, const char* title);
// LibMatchText: nonzero when pattern matches any part of text ("net" matches
// "Netscape - page"). Case is ignored as the system lower-cases the ANSI code
// page (CharLower); '*' stands for any run of characters (also none), '?' for
// exactly one character. An empty pattern or a null argument matches nothing.
// The work is bounded by length(text) x length(pattern), however many '*'.
QVLIB int LibMatchText(const char* text, const char* pattern);
QVLIB int LibRunFamilyTool(const char* exeName, int flags, const char* settingsKey,
                           const char* webPage);
QVLIB int LibCreateFolder(const char* path);
QVLIB int LibDeleteFolder(const char* path, int withContents);
QVLIB int LibCreateShortcut(const char* link, const char* target, const char* description,
                            const char* workingFolder, int flags);
QVLIB int LibDeleteShortcuts(int csidl);
QVLIB void LibCloseExplorerWindows(void);
QVLIB void LibReopenExplorerWindows(void);
QVLIB int LibKeepWindowSize(void);
QVLIB void LibFreeIdList(void* idList);

// Exported variables.
QVLIB_DATA HINSTANCE LibResourceModule;   // shared icons 107, 111, 112, 118, 119, 2551, 2552, 2741
QVLIB_DATA HWND LibOwnerWindow;           // the open settings sheet or 0
QVLIB_DATA HWND LibAppWindow;             // the program's main window
QVLIB_DATA HWND LibTooltipWindow;
QVLIB_DATA HWND LibFlyingIconWindow;
QVLIB_DATA char LibTrayTipText[LIB_TRAYTIP_CHARS];
QVLIB_DATA POINT LibTrayCursorPos;
QVLIB_DATA HWND LibDialogWindowA;
QVLIB_DATA HWND LibDialogWindowB;
QVLIB_DATA HWND LibDialogWindowC;
