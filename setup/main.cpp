// setup: the entry sequence, the install steps on the progress page, the final
// texts, and the clean-up of a self-extracting package's folder.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/cleanupbatch.h"
#include "common/folderguard.h"
#include "common/installrecord.h"
#include "common/paths.h"
#include "common/treewalk.h"
#include "common/widepath.h"
#include "common/workfolder.h"
#include "setup/cmdline.h"
#include "setup/setup.h"

namespace {

constexpr long long kFiletimeWeek = 6048000000000LL;
constexpr int kStarterWaitRounds = 30;  // 100 ms apart

// The whole command line, lower-cased; null when it is too long to be read whole.
char* LoweredCommandLine() {
  const char* full = GetCommandLineA();
  size_t n = strlen(full);
  if (n >= kSetupCommandLineChars) return nullptr;
  char* line = static_cast<char*>(malloc(n + 1));
  if (!line) return nullptr;
  memcpy(line, full, n + 1);
  CharLowerA(line);
  return line;
}

// The argument part: after the program, which is quoted or runs to the first blank.
const char* ArgumentsOf(const char* line) {
  const char* p = line;
  if (*p == '"') {
    p = strchr(p + 1, '"');
    p = p ? p + 1 : line + strlen(line);
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

void ImportPackageSettings(const SetupCommandLine& line) {
  if (!line.hasPackage) return;  // without "/sfxpath:" no settings file is looked for
  char file[MAX_PATH];
  if (!JoinPath(file, sizeof file, line.packageFolder, "settings.qvg")) return;
  if (GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES) LibImportSettingsFile(file);
}

void RegisterPlaceholderClass(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PlaceholderWndProc;
  wc.hInstance = instance;
  wc.lpszClassName = "qvDummyClass";
  RegisterClassExA(&wc);
}

void FillWebdeckRecord() {
  ToolRecord& record = ToolCatalogue[kWebdeckTool];
  record.selected = 1;
  snprintf(record.name, sizeof record.name, "%s", "Webdeck");
  snprintf(record.files, sizeof record.files, "%s", "qvtoolbar.exe qvtoolbar.dll Toolbar_Lang.txt");
}

void DefaultInstallFolder() {
  if (InstallFolder[0]) return;
  char stored[LIB_SETTING_CHARS + 1] = {};
  if (LibReadSetting(HKEY_LOCAL_MACHINE, "InstallPath", stored) && stored[0]) {
    snprintf(InstallFolder, sizeof InstallFolder, "%s", stored);
    return;
  }
  char programs[MAX_PATH + 1] = "C:\\Program Files";
  char read[MAX_PATH + 1] = {};
  if (LibRegReadValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", read,
                      MAX_PATH) && read[0])
    snprintf(programs, sizeof programs, "%s", read);
  if (!JoinPath(InstallFolder, sizeof InstallFolder, programs, "Quorvane")) InstallFolder[0] = 0;
}

void RemoveTrailingBackslash() {
  if (EndsWithBackslash(InstallFolder)) InstallFolder[strlen(InstallFolder) - 1] = 0;
}

void WriteUpdateStamp() {
  if (!WritesUserSettings) return;  // the stamp is the user's
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  DWORD weeks = static_cast<DWORD>(ticks / kFiletimeWeek);
  LibRegWriteValue(HKEY_CURRENT_USER, kFamilyKey, "AboutUpdateLast", REG_DWORD, &weeks, 4);
}

void RunInstallSteps() {
  StopRunningTools(1);
  ShowProgress("Removing old shortcuts...", 0);
  RemoveOldShortcuts();
  SetProgressBar(100);
  ShowProgress("Removing old files...", 50);
  RemoveOldFiles();
  SetProgressBar(100);
  ShowProgress("Copying Files: 0%", 0);
  CopySetupFiles();
  SetProgressBar(100);
  ShowProgress("Creating file associations...", 50);
  RegisterProduct();
  SetProgressBar(100);
  ShowProgress("Creating shortcuts in Start - Programs...", 0);
  OleInitialize(nullptr);
  if (CreateShortcutsOption) CreateStartMenuShortcuts();
  OleUninitialize();
  WriteUpdateStamp();
  SetProgressBar(100);
  if (StartAfterSetupOption) RestartStoppedTools(1);
  StartViaRunAs(nullptr, nullptr, nullptr, 0);
}

void SetProgressText(int control, const char* text) {
  if (ProgressPage) SetDlgItemTextA(ProgressPage, control, text);
}

// The last status: the files that were not installed, or the success text.
void SetOutcomeText(const char* successFormat) {
  char done[MAX_PATH + 400];
  if (FilesNotInstalled)
    snprintf(done, sizeof done, LibTranslate("%u files could not be installed; the first is %s.", LIB_TRANSLATE_FORMAT),
             static_cast<unsigned>(FilesNotInstalled), FirstFileNotInstalled);
  else
    snprintf(done, sizeof done, LibTranslate(successFormat, LIB_TRANSLATE_FORMAT), kProductTitle);
  SetProgressText(IDC_STATUS, done);
}

// The explanation of the last page, with the line about the settings not backed up.
void SetExplanation(const char* text) {
  char line[1200];
  snprintf(line, sizeof line, "%s", text);
  if (SettingsNotBackedUp) {
    size_t used = strlen(line);
    snprintf(line + used, sizeof line - used, "%s%s", used ? "\r\n" : "",
             LibTranslate("Your settings were not backed up: setup runs under another user's name.", 0));
  }
  SetProgressText(IDC_EXPLANATION, line);
}

void FinishFirstInstallation() {
  SetExplanation(LibTranslate("See Online Help for an overview how the Quorvane can help you with your work at the computer!", 0));
  SetOutcomeText(LIB_TEXT("%s installed successfully!"));
  MSG message;
  while (!ProgressClosed && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (ProgressPage && IsDialogMessageA(ProgressPage, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void FinishUpdate() {
  SetExplanation(LogoffNeeded ? LibTranslate("Note: You need to logoff for qv-Tweak/qv-Webdeck to use the new version.", 0)
                              : "");
  SetOutcomeText(LIB_TEXT("%s updated successfully!"));
  for (int counter = 32; !ProgressClosed && counter > 0; --counter) {
    PumpMessages();
    Sleep(100);
    if (counter % 10 == 0) {
      char closing[100];
      snprintf(closing, sizeof closing, LibTranslate("&Closing in %i", LIB_TRANSLATE_FORMAT), counter / 10);
      SetProgressText(IDOK, closing);
    }
  }
}

void ShowEnd() {
  SetProgressText(IDC_SUBTITLE, FilesNotInstalled ? LibTranslate("The installation is not complete.", 0)
                                                  : LibTranslate("The installation is complete.", 0));
  ReleaseCapture();
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  if (ProgressPage) {
    EnableWindow(GetDlgItem(ProgressPage, IDOK), TRUE);
    EnableWindow(GetDlgItem(ProgressPage, IDCANCEL), TRUE);
  }
  SetProgressText(IDOK, LibTranslate("&Close", 0));
  PumpMessages();
  MessageBeep(FilesNotInstalled ? MB_ICONEXCLAMATION : MB_ICONASTERISK);
  if (FilesNotInstalled) SetOutcomeText("");  // also in silent mode, for the page's last look
  // Without a page (silent, closed, or never made) nothing waits for it.
  if (SilentMode || !ProgressPage) return;
  if (AnyToolWasRunning()) FinishUpdate();
  else FinishFirstInstallation();
}

// The folder the running setup lies in, without a trailing backslash.
bool SetupFolder(char* out, size_t cap) {
  char program[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !FolderPart(out, cap, program)) return false;
  if (EndsWithBackslash(out)) out[strlen(out) - 1] = 0;
  return true;
}

// A folder below the TEMP folder, where a self-extracting package unpacks.
bool IsBelowTemp(const char* folder) {
  char temp[MAX_PATH] = {}, fullTemp[MAX_PATH], fullFolder[MAX_PATH];
  if (!TempFolderPath(temp, sizeof temp) || !MakeFullPath(temp, fullTemp, sizeof fullTemp) ||
      !MakeFullPath(folder, fullFolder, sizeof fullFolder) || !AddTrailingBackslash(fullTemp, sizeof fullTemp))
    return false;
  size_t t = strlen(fullTemp);
  return strlen(fullFolder) > t && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, fullFolder, static_cast<int>(t),
                                                  fullTemp, static_cast<int>(t)) == CSTR_EQUAL;
}

// One pass of the one walk over the package folder's files (its subfolders are not
// the package's to remove): each deleted through the folder the walk holds; the
// names of those that stay (a name the batch could not spell is left to the restart).
struct PackagePass {
  std::vector<std::string> left;
};

bool RemovePackageFile(void* context, const WalkEntry& entry) {
  DWORD error = RemoveInFolder(entry.folder, entry.name);
  char name[MAX_PATH];
  if (error && error != ERROR_FILE_NOT_FOUND && AnsiForDisplay(entry.name, name, sizeof name))
    static_cast<PackagePass*>(context)->left.push_back(name);
  return true;
}

// Deletes what it can of the package folder now; the names of the files that stay.
// The run-as starter was just told to end: its file is given a few seconds.
std::vector<std::string> DeleteWhatCanGo(const char* folder) {
  std::vector<wchar_t> wide(kLongPathChars), literal(kLongPathChars);
  PackagePass pass;
  if (!WideFromAnsi(folder, wide.data(), wide.size()) || !LiteralFullPath(wide.data(), literal.data(), literal.size()))
    return pass.left;
  for (int round = 0; round < kStarterWaitRounds; ++round) {
    pass.left.clear();
    WalkRules rules = {nullptr, 0, false, false, false, false, RemovePackageFile, nullptr, nullptr, nullptr, &pass, nullptr};
    WalkTree(literal.data(), rules);
    bool onlyOurs = true;  // the running setup and its library cannot go before setup ends
    for (const std::string& name : pass.left)
      onlyOurs = onlyOurs && (lstrcmpiA(name.c_str(), "setup.exe") == 0 || lstrcmpiA(name.c_str(), "Quorvane.dll") == 0);
    if (onlyOurs) break;
    Sleep(100);
  }
  return pass.left;
}

// With "/sfxstart": the package's folder goes. What setup cannot delete at its end
// (itself, the library, a starter still ending) the batch retries from a work
// folder of its own, then removes the folder. Only a folder inside TEMP that the
// folder guard does not protect: "/sfxstart" given to a setup in any other folder
// deletes nothing.
void WriteCleanupBatch(bool sfxStart) {
  if (!sfxStart) return;
  char folder[MAX_PATH];
  if (!SetupFolder(folder, sizeof folder) || !IsBelowTemp(folder) || IsProtectedFolder(folder)) return;
  std::vector<std::string> left = DeleteWhatCanGo(folder);
  std::vector<const char*> names;
  for (const std::string& name : left) names.push_back(name.c_str());
  char work[MAX_PATH];
  HANDLE held = nullptr;
  bool made = MakeWorkFolder(work, sizeof work, &held);
  CleanupBatch batch = {folder, names.data(), static_cast<int>(names.size()), true, made ? work : nullptr};
  WriteAndStartCleanupBatch(batch);
  if (held) CloseHandle(held);  // the batch, working in it, holds it from here
}

void RefuseCommandLine(const char* what) {
  char text[300];
  snprintf(text, sizeof text, "%s", LibTranslate(what, 0));
  MessageBoxA(nullptr, text, kProductTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  LimitLibrarySearch();
  LibSetProductInfo(instance, kProductTitle, "qv-Webdeck", "qvToolbarClass", "Toolbar", "Toolbar", kSettingsKey,
                    "Quorvane.hlp", "toolbar.htm", "qvtoolbar.exe", 0, 0, 0, 0, 85, 71, kWebPage, "unused", 1);
  LibInitialize(0, 49);
  WritesUserSettings = RunsAsSignedInUser() ? 1 : 0;
  RegisterPlaceholderClass(instance);
  char* line = LoweredCommandLine();
  bool lineRead = line != nullptr;
  SetupCommandLine options = ParseSetupCommandLine(line ? ArgumentsOf(line) : "", line ? line : "");
  free(line);
  ImportPackageSettings(options);
  StopRunningTools(0);
  FillWebdeckRecord();
  BackUpSettings();
  // What does not fit is refused, never cut: a cut folder would be another folder.
  if (!lineRead || options.pathTooLong) {
    if (!options.silent)
      RefuseCommandLine(!lineRead ? LIB_TEXT("The command line is too long.")
                                    : LIB_TEXT("The install folder given with /path: is too long."));
    RestartStoppedTools(0);
    WriteCleanupBatch(options.sfxStart);
    return kSetupNotInstalled;
  }
  // Only the files the package lists are installed; without its list nothing is.
  if (!ReadPackageList()) {
    if (!options.silent) {
      char text[MAX_PATH + 300];
      snprintf(text, sizeof text,
               LibTranslate("The package is incomplete: its file list %s is missing or damaged.", LIB_TRANSLATE_FORMAT),
               kPackageListName);
      MessageBoxA(nullptr, text, kProductTitle, MB_OK | MB_ICONERROR);
    }
    RestartStoppedTools(0);
    WriteCleanupBatch(options.sfxStart);
    return kSetupNotInstalled;
  }
  SilentMode = options.silent;
  if (options.noShortcuts) CreateShortcutsOption = 0;
  if (options.noStart) StartAfterSetupOption = 0;
  if (options.hasPath) snprintf(InstallFolder, sizeof InstallFolder, "%s", options.path);
  if (options.hasLanguage) CommandLineLanguage = options.language;
  DefaultInstallFolder();
  INT_PTR chosen = SilentMode ? 1 : DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, OptionsPageProc, 0);
  if (chosen != 1) {  // cancelled, or the page could not be shown
    RestartStoppedTools(0);
    StartViaRunAs(nullptr, nullptr, nullptr, 0);
    WriteCleanupBatch(options.sfxStart);
    return chosen == 2 ? kSetupCanceled : kSetupNotInstalled;
  }
  OwnerWindow = nullptr;
  RemoveTrailingBackslash();
  // Without the options page nothing has made the install folder yet.
  if (SilentMode && MakeInstallFolder() != kFolderReady) {
    RestartStoppedTools(0);
    WriteCleanupBatch(options.sfxStart);
    return kSetupNotInstalled;
  }
  InitCommonControls();
  ProgressPage = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressPageProc, 0);
  if (ProgressPage) {
    ShowWindow(ProgressPage, SW_SHOW);
    SetCapture(ProgressPage);
  }
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  RunInstallSteps();
  ShowEnd();
  if (ProgressPage) DestroyWindow(ProgressPage);
  ProgressPage = nullptr;
  WriteCleanupBatch(options.sfxStart);
  return FilesNotInstalled ? kSetupFilesMissing : kSetupDone;
}
