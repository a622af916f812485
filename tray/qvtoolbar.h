// qvtoolbar: the tray program. Process-wide state and the routines shared
// between its source files.
#pragma once

#include <windows.h>
#include <atomic>

#include "lib/Quorvane.h"

// Identity.
constexpr const char* kProductTitle = "Quorvane Webdeck";
constexpr const char* kShortTitle = "qv-Webdeck";
constexpr const char* kMainClass = "qvToolbarClass";
constexpr const char* kSettingsKey = "Software\\AppDataLow\\Software\\Quorvane\\Toolbar";
constexpr const char* kWebPage = "https://www.quorvane.com/webdeck";

// Private messages of the main window (the browser toolbar module relies on the numbers).
constexpr UINT WMU_TRAYNOTIFY = WM_USER + 1;       // 1025
constexpr UINT WMU_RESTORETRAY = WM_USER + 2;      // 1026
constexpr UINT WMU_OPENSETTINGS = WM_USER + 17;    // 1041
constexpr UINT WMU_SETPICTURETIMER = WM_USER + 32; // 1056
constexpr UINT WMU_BOSSKEY = WM_USER + 33;         // 1057
constexpr UINT WMU_SETIMAGES = WM_USER + 34;       // 1058
constexpr UINT WMU_SETACTIVEX = WM_USER + 35;      // 1059
constexpr UINT WMU_SETSHOCKWAVE = WM_USER + 36;    // 1060
constexpr UINT WMU_SETSTOPLOAD = WM_USER + 37;     // 1061
constexpr UINT WMU_PROTECTHOME = WM_USER + 38;     // 1062
constexpr UINT WMU_RESTOREHOME = WM_USER + 39;     // 1063
constexpr UINT WMU_SETANIMATIONS = WM_USER + 40;   // 1064
constexpr UINT WMU_SETSOUNDS = WM_USER + 41;       // 1065

// Commands.
constexpr int IDM_BOSSKEYNOW = 1314;
constexpr int IDM_CLOSEFLYINGICON = 2455;
constexpr int IDM_SETTINGS = 2457;
constexpr int IDM_GENERALOPTIONS = 2472;
constexpr int IDM_HELP = 2478;
constexpr int IDM_HOMEPAGE = 2481;
constexpr int IDM_SUPPORTMAIL = 2482;
constexpr int IDM_EXIT = 2483;
constexpr int IDM_ABOUT = 2540;
constexpr int IDM_GETPAGES = 2560;

// Hotkeys, timers, resources.
constexpr int HOTKEY_SETTINGS = 3333;
constexpr int HOTKEY_BOSSKEY = 3340;
constexpr UINT_PTR TIMER_PICTURES = 108;
constexpr int IDR_TRAYMENU = 2484;
constexpr int IDD_TOOLBARPAGE = 106;
constexpr int IDD_BOSSKEYPAGE = 158;
constexpr int IDD_WASHPAGE = 111;

constexpr int kLoweredCommandLineChars = 523;
constexpr int kSettingsTitleChars = 100;

// Start-up and the message loop.
extern HINSTANCE AppInstance;
extern HWND MainWindow;
extern char LoweredCommandLine[kLoweredCommandLineChars + 1];

// Flags and counters shared by the GUI thread and the wash worker.
extern std::atomic<int> StopRequested;
extern std::atomic<int> WashRunning;
extern std::atomic<int> WashErrorCount;
extern std::atomic<int> WashWarningCount;
extern std::atomic<int> WashLockedCount;
extern std::atomic<int> ContentsOverwritten;
extern std::atomic<int> HistoryInRun;

// Settings pages: each page's window from WM_INITDIALOG to WM_DESTROY, else 0.
extern HWND ToolbarPageWindow;
extern HWND BossKeyPageWindow;
extern HWND WashPageWindow;

void RunMessageLoopStep(MSG* message);

// The program's pseudo-random generator (the shredder's bytes).
void SeedRandom(unsigned seed);
unsigned NextRandom();  // 0..0x7fff

// Main window.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetTrayTipText(char* tip, int tipChars);
void ShowSystemError(HWND owner, const char* text);
int QueryRegistryValue(HKEY root, const char* subkey, const char* name, void* buffer, DWORD* size);
int ReadSettingInt(const char* name);  // library setting under HKEY_CURRENT_USER

// Browser setting switches (WMU_SETIMAGES .. WMU_SETSOUNDS); each returns the message result.
LRESULT SetImages(WPARAM on);
LRESULT SetActiveX(WPARAM on);
LRESULT SetShockwave(WPARAM on);
LRESULT SetStopLoad(WPARAM on);
LRESULT ProtectHomepage(WPARAM on);
LRESULT RestoreHomepage(WPARAM unused);
LRESULT SetAnimations(WPARAM on);
LRESULT SetSounds(WPARAM on);

// Boss-Key.
extern int BossShowCommand;  // SW_SHOW or SW_HIDE: the target of the next run
// An entry's title or class pattern: at most this many characters.
constexpr int kBossPatternChars = 260;
enum PatternRead { kPatternMissing, kPatternRead, kPatternUnusable };
// Reads "BossTitle%03i" or "BossClass%03i" of entry index into out (kBossPatternChars
// + 1 characters): missing, read whole, or unusable (too long, not a text), never cut.
PatternRead ReadBossPattern(const char* format, int index, char* out);
int RegisterBossHotkey(int hotkey, int id, const char* name);
void RunBossKey();
BOOL CALLBACK BossEnumProc(HWND window, LPARAM unused);

// Picture collector: the one-shot timer of WMU_SETPICTURETIMER.
void CALLBACK PictureTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
// The drop folder (a literal path), created; false when there is none or a link stands in its place.
bool MakePictureFolder(wchar_t* out, size_t cap);
// Moves the plain files of the drop folder into the picture folder (literal paths),
// never over a file of the same name.
void MoveFolderFiles(const wchar_t* source, const wchar_t* destination);

// Settings window: the page records for the library, the save of every open
// page (on Apply of any page), and the elevated helper "qvuac.exe".
void FillSettingsPages(LPARAM records);
void SaveAllSettings();
void StartElevatedHelper(const char* arguments);
