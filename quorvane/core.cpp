// Identity, start-up, main window support, errors, help and version.
#include "quorvane/internal.h"

#include <commctrl.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "common/paths.h"

// Exported variables.
HINSTANCE LibResourceModule = nullptr;
HWND LibOwnerWindow = nullptr;
HWND LibAppWindow = nullptr;
HWND LibTooltipWindow = nullptr;
HWND LibFlyingIconWindow = nullptr;
char LibTrayTipText[LIB_TRAYTIP_CHARS] = {};
POINT LibTrayCursorPos = {};
HWND LibDialogWindowA = nullptr;
HWND LibDialogWindowB = nullptr;
HWND LibDialogWindowC = nullptr;

namespace qv {

Identity g_identity = {};

namespace {
bool g_settingsHotkeyReported = false;  // the start's error box about it was shown
}

void CopyText(char* dst, size_t size, const char* src) {
  if (!dst || size == 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, size - 1);
  memcpy(dst, src, n);
  dst[n] = 0;
}

bool AppendText(char* dst, size_t size, const char* src) {
  size_t have = strnlen(dst, size);
  size_t add = strlen(src);
  if (have >= size || add >= size - have) return false;
  memcpy(dst + have, src, add + 1);
  return true;
}

void ProgramFolder(char* out, size_t size) {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) path[0] = 0;
  char* slash = const_cast<char*>(LastBackslash(path));
  if (slash) slash[1] = 0;
  CopyText(out, size, path);
}

bool IsExistingFile(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFolder(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

const char* Caption() { return g_identity.longTitle[0] ? g_identity.longTitle : "Quorvane"; }

HWND MessageOwner() {
  if (LibOwnerWindow && IsWindow(LibOwnerWindow)) return LibOwnerWindow;
  if (LibAppWindow && IsWindow(LibAppWindow)) return LibAppWindow;
  return nullptr;
}

void ShowErrorText(const char* text) {
  MessageBoxA(MessageOwner(), text, Caption(), MB_ICONERROR | MB_OK | MB_SETFOREGROUND);
}

HICON LoadProgramIcon(int width, int height, bool shared) {
  int id = LibGetIconIndex() + LIB_ICON_BASE;
  if (!shared) {  // drawn from the nearest of the sizes the icon holds
    HICON icon = LoadIconAtSize(GetModuleHandleA(nullptr), id, width);
    return icon ? icon : LoadIconAtSize(LibResourceModule, 107, width);
  }
  HICON icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_SHARED));
  if (!icon)
    icon = static_cast<HICON>(
        LoadImageA(LibResourceModule, MAKEINTRESOURCEA(107), IMAGE_ICON, width, height, LR_SHARED));
  return icon;
}

int SettingsHotkeyValue() {
  int value = LibReadSettingInt(HKEY_CURRENT_USER, "GeneralHotkey");
  return (value <= 0 || (value & 0xFF) == 0) ? kDefaultSettingsHotkey : value;
}

bool RegisterSettingsHotkey(HWND window) {
  if (!window || !IsWindow(window)) return false;
  UnregisterHotKey(window, LIB_HOTKEY_SETTINGS);
  return RegisterHotkeyValue(window, LIB_HOTKEY_SETTINGS, SettingsHotkeyValue()) != 0;
}

void SettingsHotkeyTakenText(char* out, size_t size) {
  char key[100];
  HotkeyName(SettingsHotkeyValue(), key, sizeof key);
  char purpose[200];
  CopyText(purpose, sizeof purpose, LibTranslate("the settings window", 0));
  snprintf(out, size,
           LibTranslate("Cannot register the hotkey %s for %s: another program is already using that key combination.",
                        LIB_TRANSLATE_FORMAT),
           key, purpose);
}

INT_PTR OpenWithShell(HWND owner, const char* target) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
}

}  // namespace qv

using namespace qv;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      LibResourceModule = instance;
      TranslationStartup();
      break;
    case DLL_THREAD_DETACH:
      TranslationThreadDone();
      break;
    case DLL_PROCESS_DETACH:
      TranslationThreadDone();
      PagesShutdown();
      TranslationShutdown();
      break;
    default:
      break;
  }
  return TRUE;
}

void LibSetProductInfo(HINSTANCE instance, const char* longTitle, const char* shortTitle,
                       const char* windowClass, const char* internalName1, const char* internalName2,
                       const char* settingsKey, const char* helpFile, const char* helpPage,
                       const char* exeName, int reserved1, int reserved2, int reserved3, int reserved4,
                       int productNumber, int familyNumber, const char* webPage, const char* unused,
                       int flag) {
  Identity& id = g_identity;
  id.instance = instance;
  CopyText(id.longTitle, sizeof id.longTitle, longTitle);
  CopyText(id.shortTitle, sizeof id.shortTitle, shortTitle);
  CopyText(id.windowClass, sizeof id.windowClass, windowClass);
  CopyText(id.internalName1, sizeof id.internalName1, internalName1);
  CopyText(id.internalName2, sizeof id.internalName2, internalName2);
  CopyText(id.settingsKey, sizeof id.settingsKey, settingsKey);
  CopyText(id.helpFile, sizeof id.helpFile, helpFile);
  CopyText(id.helpPage, sizeof id.helpPage, helpPage);
  CopyText(id.exeName, sizeof id.exeName, exeName);
  id.reserved[0] = reserved1;
  id.reserved[1] = reserved2;
  id.reserved[2] = reserved3;
  id.reserved[3] = reserved4;
  id.productNumber = productNumber;
  id.familyNumber = familyNumber;
  CopyText(id.webPage, sizeof id.webPage, webPage);
  CopyText(id.unused, sizeof id.unused, unused);
  id.flag = flag;
}

void LibInitialize(int mode, int version) {
  g_identity.mode = mode;
  g_identity.version = version;
  ReloadLanguage();
}

int LibHandleCommandLine(const char* loweredArguments) {
  if (!loweredArguments) return 0;
  const char* p = loweredArguments;
  while (*p == ' ' || *p == '\t') ++p;
  char path[MAX_PATH] = {};
  size_t n = 0;
  char end = ' ';
  if (*p == '"') {
    end = '"';
    ++p;
  }
  for (; *p && *p != end && !(end == ' ' && *p == '\t'); ++p) {
    if (n + 1 >= sizeof path) return 0;  // no path this long exists
    path[n++] = *p;
  }
  path[n] = 0;
  if (n < 4 || lstrcmpiA(path + n - 4, ".qvg") != 0 || !IsExistingFile(path)) return 0;
  LibImportSettingsFile(path);
  return 1;
}

int LibInitInstance(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                               ICC_UPDOWN_CLASS | ICC_HOTKEY_CLASS | ICC_PROGRESS_CLASS |
                                               ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  if (!InitCommonControlsEx(&icc)) InitCommonControls();
  return 1;
}

int LibRegisterMainClass(HINSTANCE instance, WNDPROC procedure) {
  if (!procedure || !g_identity.windowClass[0]) return 0;
  // The class lives as long as the process: its icons, at the system's scaling, too.
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconAtSize(instance, LibGetIconIndex() + LIB_ICON_BASE, LargeIconSize(SystemDpi()));
  wc.hIconSm = LoadIconAtSize(instance, LibGetIconIndex() + LIB_ICON_BASE, SystemSmallIconSize());
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = g_identity.windowClass;
  if (RegisterClassExA(&wc)) return 1;
  for (HICON icon : {wc.hIcon, wc.hIconSm})
    if (icon) DestroyIcon(icon);
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
}

int LibCreateMainWindow(HINSTANCE instance, int showCommand) {
  // The main window is only a message endpoint: it is never shown.
  HWND w = CreateWindowExA(0, g_identity.windowClass, g_identity.longTitle, WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                           instance, nullptr);
  return w ? 1 : 0;
}

void LibMainWindowCreated(HWND window) {
  if (RegisterSettingsHotkey(window) || g_settingsHotkeyReported) return;
  // Said once a run: the key stays taken until the user chooses another.
  g_settingsHotkeyReported = true;
  char text[600];
  SettingsHotkeyTakenText(text, sizeof text);
  ShowErrorText(text);
}

void LibMainWindowDestroyed(HWND window) {
  for (HWND* dialog : {&LibDialogWindowA, &LibDialogWindowB, &LibDialogWindowC}) {
    HWND w = *dialog;
    *dialog = nullptr;
    if (w && IsWindow(w)) DestroyWindow(w);
  }
}

LRESULT LibDefMainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (TrayWindowMessage(window, message, wParam)) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

void LibShowError(const char* text) { ShowErrorText(LibTranslate(text ? text : "", 0)); }

void LibShowStartError(INT_PTR result, const char* text) {
  const char* reason;
  switch (result) {
    case 0: reason = LIB_TEXT("The system is out of memory or resources."); break;
    case ERROR_FILE_NOT_FOUND: reason = LIB_TEXT("The file was not found."); break;
    case ERROR_PATH_NOT_FOUND: reason = LIB_TEXT("The path was not found."); break;
    case SE_ERR_ACCESSDENIED: reason = LIB_TEXT("Access was denied."); break;
    case SE_ERR_OOM: reason = LIB_TEXT("There was not enough memory."); break;
    case ERROR_BAD_FORMAT: reason = LIB_TEXT("The file is not a valid program."); break;
    case SE_ERR_SHARE: reason = LIB_TEXT("A sharing violation occurred."); break;
    case SE_ERR_ASSOCINCOMPLETE: reason = LIB_TEXT("The file association is incomplete or invalid."); break;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: reason = LIB_TEXT("The program did not answer the request."); break;
    case SE_ERR_NOASSOC: reason = LIB_TEXT("No program is associated with this kind of file."); break;
    case SE_ERR_DLLNOTFOUND: reason = LIB_TEXT("A library the program needs was not found."); break;
    default: reason = nullptr; break;
  }
  char message[1400];
  char code[64];
  if (!reason) snprintf(code, sizeof code, "Error code %d.", static_cast<int>(result));
  snprintf(message, sizeof message, "%s\r\n\r\n%s", LibTranslate(text ? text : "", 0),
           reason ? LibTranslate(reason, 0) : code);
  ShowErrorText(message);
}

void LibShowHelp(void) {
  char folder[MAX_PATH];
  ProgramFolder(folder, sizeof folder);
  char path[MAX_PATH * 2];
  const char* chosen = nullptr;
  if (g_identity.helpPage[0]) {
    char help[MAX_PATH];
    if (JoinPath(help, sizeof help, folder, "Help") && JoinPath(path, MAX_PATH, help, g_identity.helpPage) &&
        IsExistingFile(path))
      chosen = path;
  }
  if (!chosen && g_identity.helpFile[0]) {
    if (JoinPath(path, MAX_PATH, folder, g_identity.helpFile) && IsExistingFile(path)) chosen = path;
  }
  if (!chosen) {
    char message[600];
    snprintf(message, sizeof message, LibTranslate("Cannot find the help file %s.", LIB_TRANSLATE_FORMAT), g_identity.helpFile);
    ShowErrorText(message);
    return;
  }
  INT_PTR result = OpenWithShell(MessageOwner(), chosen);
  if (result <= 32) LibShowStartError(result, LIB_TEXT("Cannot open the help file."));
}

void LibGetVersionText(char* buffer) {
  if (!buffer) return;
  CopyText(buffer, LIB_VERSION_CHARS, "Version 1.0");
  HMODULE exe = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(exe, MAKEINTRESOURCEA(VS_VERSION_INFO), reinterpret_cast<LPCSTR>(RT_VERSION));
  if (!info) return;
  HGLOBAL data = LoadResource(exe, info);
  const BYTE* bytes = static_cast<const BYTE*>(data ? LockResource(data) : nullptr);
  DWORD size = SizeofResource(exe, info);
  if (!bytes) return;
  // The fixed file information follows the key "VS_VERSION_INFO" on a 4-byte boundary.
  for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, bytes + at, sizeof fixed);
    if (fixed.dwSignature != 0xFEEF04BD) continue;
    snprintf(buffer, LIB_VERSION_CHARS, "%s %u.%u.%u", LibTranslate("Version", 0),
             static_cast<unsigned>(HIWORD(fixed.dwFileVersionMS)),
             static_cast<unsigned>(LOWORD(fixed.dwFileVersionMS)),
             static_cast<unsigned>(HIWORD(fixed.dwFileVersionLS)));
    return;
  }
}

int LibGetIconIndex(void) { return 0; }

int LibKeepWindowSize(void) {
  RECT area = {};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) return 0;
  return (area.right - area.left < 700 || area.bottom - area.top < 830) ? 1 : 0;
}

void LibFreeIdList(void* idList) {
  if (idList) CoTaskMemFree(idList);
}
