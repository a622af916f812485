// setup.exe: its command line, the wizard driven through its windows, the
// language of the options page and the stop of running tools.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "setup/cmdline.h"
#include "setup_support.h"
#include "support/langfile.h"

using namespace setupt;

namespace {

// ---- The command line.

SetupCommandLine Parse(const std::string& arguments) {
  return ParseSetupCommandLine(arguments.c_str(), ("\"c:\\pkg\\setup.exe\" " + arguments).c_str());
}

TEST(SetupCommandLine, PathLanguageAndPackageForms) {
  EXPECT_STREQ("c:\\my folder", Parse("/silent /path:\"c:\\my folder\" /nostart").path);
  EXPECT_STREQ("c:\\tools", Parse("/path: c:\\tools /noshort").path);
  EXPECT_STREQ(":\\tools", Parse("/path:c:\\tools").path);  // the character after the colon is skipped
  SetupCommandLine all = Parse("/noshort /nostart /silent");
  EXPECT_TRUE(all.silent && all.noShortcuts && all.noStart && !all.hasPath);
  EXPECT_EQ(3, Parse("/language:3").language);
  EXPECT_EQ(7, Parse("/language:  +7x").language);
  EXPECT_EQ(-2, Parse("/language:-2").language);
  EXPECT_EQ(0, Parse("/language:x").language);
  EXPECT_STREQ("c:\\temp\\pkg\\", ParseSetupCommandLine("", "setup.exe /sfxpath:c:\\temp\\pkg\\webdeck.exe").packageFolder);
  EXPECT_FALSE(ParseSetupCommandLine("", "setup.exe /sfxpath:\"c:\\temp\\pkg\\webdeck.exe\"").hasPackage);
  EXPECT_STREQ("c:\\a\\", ParseSetupCommandLine("", "setup.exe \"/sfxpath:c:\\a\\b.exe\" /sfxstart").packageFolder);
  EXPECT_TRUE(ParseSetupCommandLine("", "setup.exe /sfxstart").sfxStart);
  SetupCommandLine longPath = Parse("/path: c:\\" + std::string(300, 'x'));
  EXPECT_TRUE(longPath.pathTooLong);
  EXPECT_FALSE(longPath.hasPath);
  EXPECT_STREQ("", longPath.path) << "refused, never cut to another folder";
}

// ---- The wizard.

// A window of the tray program's class, as a running qvtoolbar would have; it
// records WM_CLOSE and, unless told to stay, goes.
bool g_stay = false;
std::map<HWND, int> g_closes;  // WM_CLOSE received, by window
LRESULT CALLBACK ToolProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CLOSE) {
    ++g_closes[w];
    if (g_stay) return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

HWND MakeWindow(const char* cls, const char* title) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ToolProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = cls;
  RegisterClassA(&wc);
  return CreateWindowA(cls, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
}

std::string Lower(std::string text) {
  CharLowerA(&text[0]);
  return text;
}

bool Checked(HWND dialog, int id) {
  LRESULT state = 0;
  qvt::Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, &state);
  return state == BST_CHECKED;
}

TEST(SetupWizard, AFirstInstallationWaitsForClose) {
  SetupRun run;
  run.Start("");
  HWND options = WaitDialog(run.process, kOptionsTitle);
  ASSERT_NE(nullptr, options);
  EXPECT_FALSE(Checked(options, 1003)) << "nothing was running";
  EXPECT_EQ("&Start Quorvane Webdeck after setup is complete", ControlText(options, 1003));
  qvt::PressButton(options, IDOK);
  HWND progress = WaitDialog(run.process, kProgressTitle);
  ASSERT_NE(nullptr, progress);
  EXPECT_TRUE(qvt::WaitUntil([&] { return ControlText(progress, 1015) == "Quorvane Webdeck installed successfully!"; },
                             30000));
  EXPECT_EQ("&Close", ControlText(progress, IDOK));
  EXPECT_FALSE(run.Ends(1500)) << "it waits for Close";
  qvt::PressButton(progress, IDOK);
  EXPECT_TRUE(run.Ends(5000));
  EXPECT_TRUE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
}

TEST(SetupWizard, AnUpdateStartsTheClosedToolAndClosesItself) {
  SetupRun run;
  g_stay = false;
  HWND tool = MakeWindow("qvToolbarClass", "");
  ASSERT_NE(nullptr, tool);
  run.Start("");
  HWND options = WaitDialog(run.process, kOptionsTitle);
  ASSERT_NE(nullptr, options);
  EXPECT_FALSE(IsWindow(tool)) << "the early stop closed it";
  EXPECT_TRUE(Checked(options, 1003));
  qvt::PressButton(options, IDOK);
  HWND progress = WaitDialog(run.process, kProgressTitle);
  ASSERT_NE(nullptr, progress);
  EXPECT_TRUE(qvt::WaitUntil([&] { return ControlText(progress, 1015) == "Quorvane Webdeck updated successfully!"; },
                             30000));
  EXPECT_TRUE(run.Ends(10000)) << "the countdown closes the page";
  // The install folder comes lower-cased from the command line, as every switch's value.
  std::string started = Lower("request: /keeprunas \"" + run.installFolder + "qvtoolbar.exe\" /s");
  bool found = false;
  qvt::WaitUntil(
      [&] {
        for (const std::string& line : run.RunAsCalls()) found = found || Lower(line) == started;
        return found;
      },
      5000);
  EXPECT_TRUE(found) << "the tool that was running is started again";
}

TEST(SetupWizard, SilentWithoutStartShowsOnlyProgressAndDoesNotWait) {
  SetupRun run;
  run.Start("/silent /nostart");
  EXPECT_NE(nullptr, WaitDialog(run.process, kProgressTitle));
  EXPECT_TRUE(run.Ends(30000));
  EXPECT_EQ(nullptr, qvt::FindTop("#32770", kOptionsTitle, run.process.pid));
  for (const std::string& line : run.RunAsCalls()) EXPECT_EQ(std::string::npos, line.find("qvtoolbar.exe")) << line;
  EXPECT_TRUE(qvt::FileExists(run.installFolder + "qvtoolbar.exe"));
}

TEST(SetupWizard, CancelAsksAndStartsTheStoppedToolsAgain) {
  SetupRun run;
  g_stay = false;
  HWND tool = MakeWindow("qvToolbarClass", "");
  ASSERT_NE(nullptr, tool);
  // The stopped tools are started from the recorded install folder.
  qvt::WriteString(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath", run.setupFolder.substr(0, run.setupFolder.size() - 1).c_str());
  run.Start("");
  HWND options = WaitDialog(run.process, kOptionsTitle);
  ASSERT_NE(nullptr, options);
  qvt::PressButton(options, IDCANCEL);
  HWND box = qvt::WaitMessageBox(run.process.pid, kProductTitle, 5000);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(0u, qvt::MessageBoxText(box).find("Setup is not complete."));
  qvt::PressButton(box, IDYES);
  EXPECT_TRUE(run.Ends(10000));
  EXPECT_EQ(3, run.ExitCode()) << "cancelled on the options page";
  std::string restarted = "request: /keeprunas \"" + run.setupFolder + "qvtoolbar.exe\" /s";
  bool found = false;
  qvt::WaitUntil(
      [&] {
        for (const std::string& line : run.RunAsCalls()) found = found || line == restarted;
        return found;
      },
      5000);
  EXPECT_TRUE(found);
  EXPECT_FALSE(qvt::FileExists(run.installFolder + "qvtoolbar.exe")) << "nothing was installed";
}

// ---- The language of the options page.

struct SavedLocale {
  std::vector<BYTE> locale, country;
  bool hadLocale, hadCountry;
  DWORD localeType = 0, countryType = 0;
  SavedLocale() {
    hadLocale = qvt::ReadRaw(HKEY_CURRENT_USER, "Control Panel\\International", "Locale", &locale, &localeType);
    hadCountry = qvt::ReadRaw(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", &country, &countryType);
  }
  ~SavedLocale() {
    Put("Locale", hadLocale, locale, localeType);
    Put("iCountry", hadCountry, country, countryType);
  }
  static void Put(const char* name, bool had, const std::vector<BYTE>& data, DWORD type) {
    if (had) {
      qvt::WriteRaw(HKEY_CURRENT_USER, "Control Panel\\International", name, type, data.data(), static_cast<DWORD>(data.size()));
    } else {
      HKEY key;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name);
        RegCloseKey(key);
      }
    }
  }
};

// The language the options page selects and stores; the page is then cancelled.
int ChosenLanguage(const std::string& arguments = "") {
  SetupRun run;
  run.Start(arguments);
  HWND options = WaitDialog(run.process, kOptionsTitle);
  if (!options) return -100;
  LRESULT chosen = -1;
  qvt::Send(GetDlgItem(options, 1157), CB_GETCURSEL, 0, 0, &chosen);
  DWORD stored = 0xDEAD;
  qvt::ReadDword(HKEY_CURRENT_USER, kSettingsKey, "GeneralLanguage", &stored);
  qvt::PressButton(options, IDCANCEL);
  if (HWND box = qvt::WaitMessageBox(run.process.pid, kProductTitle, 5000)) qvt::PressButton(box, IDYES);
  run.Ends(10000);
  return stored == static_cast<DWORD>(chosen) ? static_cast<int>(chosen) : -200;
}

// ---- The install folder.

std::string ProgramFiles() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder);
  return folder;
}

// Program Files itself (one Browse away) is refused on the options page, which
// stays; a silent setup installs nothing there.
TEST(SetupFolder, AProtectedInstallFolderIsRefused) {
  std::string programs = ProgramFiles();
  ASSERT_FALSE(programs.empty());
  {
    SetupRun run;
    run.Start("/path:\"" + programs + "\"", false);
    HWND options = WaitDialog(run.process, kOptionsTitle);
    ASSERT_NE(nullptr, options);
    qvt::PressButton(options, IDOK);
    HWND box = qvt::WaitMessageBox(run.process.pid, kProductTitle, 10000);
    ASSERT_NE(nullptr, box);
    std::string text = qvt::MessageBoxText(box);
    EXPECT_EQ(0u, Lower(text).find(Lower(programs) + " is a folder of windows or of a user")) << text;
    qvt::PressButton(box, IDOK);
    EXPECT_TRUE(qvt::WaitUntil([&] { return !IsWindow(box); }, 5000));
    EXPECT_TRUE(IsWindow(options)) << "the page stays";
    EXPECT_EQ(nullptr, qvt::FindTop("#32770", kProgressTitle, run.process.pid));
  }
  SetupRun silent;
  silent.Start("/silent /nostart /noshort /path:\"" + programs + "\"", false);
  EXPECT_TRUE(silent.Ends(20000));
  EXPECT_EQ(4, silent.ExitCode()) << "the folder was refused";
  EXPECT_FALSE(qvt::FileExists(programs + "\\qvtoolbar.exe"));
  EXPECT_FALSE(qvt::ValueExists(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPath"));
}

// Setup records whether it made the install folder: a new folder is its own, a
// folder that was there is not, and an update into its own folder stays its own.
TEST(SetupFolder, SetupRecordsWhetherItMadeTheFolder) {
  SetupRun run;
  run.Start("/silent /nostart /noshort");
  ASSERT_TRUE(run.Ends(30000));
  DWORD made = 7;
  EXPECT_TRUE(qvt::ReadDword(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPathCreated", &made));
  EXPECT_EQ(1u, made);
  qvt::Close(run.process);
  run.Start("/silent /nostart /noshort");  // the update, into the folder it made
  ASSERT_TRUE(run.Ends(30000));
  EXPECT_TRUE(qvt::ReadDword(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPathCreated", &made));
  EXPECT_EQ(1u, made);
  SetupRun shared;
  CreateDirectoryA(shared.installFolder.c_str(), nullptr);
  shared.Start("/silent /nostart /noshort");
  ASSERT_TRUE(shared.Ends(30000));
  EXPECT_TRUE(qvt::ReadDword(HKEY_LOCAL_MACHINE, kFamilyKey, "InstallPathCreated", &made));
  EXPECT_EQ(0u, made);
}

TEST(SetupLanguage, StoredChoiceThenLocaleThenCountryAndTheCommandLineWins) {
  SavedLocale saved;
  auto locale = [](const char* text) { qvt::WriteString(HKEY_CURRENT_USER, "Control Panel\\International", "Locale", text); };
  auto reset = [] { qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey); };
  locale("00000407");
  qvt::WriteDword(HKEY_CURRENT_USER, kSettingsKey, "GeneralLanguage", 3);
  EXPECT_EQ(3, ChosenLanguage()) << "stored: Japanese whatever the locale";
  reset();
  EXPECT_EQ(2, ChosenLanguage()) << "00000407";
  reset();
  locale("0000040c");
  EXPECT_EQ(1, ChosenLanguage()) << "upper-cased before the look-up";
  reset();
  locale("00000419");
  EXPECT_EQ(0, ChosenLanguage()) << "Russian is in the list but never derived";
  reset();
  SavedLocale::Put("Locale", false, {}, 0);
  qvt::WriteString(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", "49");
  EXPECT_EQ(2, ChosenLanguage()) << "iCountry when Locale cannot be read";
  qvt::WriteDword(HKEY_CURRENT_USER, kSettingsKey, "GeneralLanguage", 3);
  EXPECT_EQ(7, ChosenLanguage("/language:7"));
}

// The options page chosen in a language shows that language's labels.
void ExpectOptionsPageIn(int language) {
  std::map<std::string, std::string> texts = qvt::LanguageFile(language);
  ASSERT_FALSE(texts.empty()) << "no language file " << language;
  SetupRun run;
  run.Start("/language:" + std::to_string(language));
  HWND options = qvt::WaitTop("#32770", nullptr, run.process.pid, 15000, true);
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(qvt::WaitUntil([&] { return ControlText(options, 1009) == texts["&Install to:"]; }, 10000))
      << ControlText(options, 1009);
  EXPECT_EQ(texts["&Language:"], ControlText(options, 1010));
  EXPECT_EQ(texts["&Create shortcuts in Start - Programs"], ControlText(options, 1002));
  EXPECT_EQ(texts["Cancel"], ControlText(options, IDCANCEL));
  EXPECT_EQ(texts["&Next >"], ControlText(options, IDOK));
  char start[300];
  snprintf(start, sizeof start, texts["&Start %s after setup is complete"].c_str(), kProductTitle);
  EXPECT_EQ(start, ControlText(options, 1003));
  for (const char* english : {"&Install to:", "&Language:", "Cancel"})
    EXPECT_NE(english, texts[english]) << "translated";
  qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
}

TEST(SetupSpeaks, French) { ExpectOptionsPageIn(1); }

// Run again under a Japanese code page (tests/setup_tests.cmake): there the labels are Japanese.
TEST(SetupSpeaks, JapaneseUnderItsCodePage) {
  if (GetACP() != 932) GTEST_SKIP() << "the system's code page is " << GetACP();
  ExpectOptionsPageIn(3);
}

// ---- Stopping running tools.

// A tool that ignores WM_CLOSE: from the third pass the status names it, and setup
// goes on after 51 passes. A window whose title is a path is left open.
TEST(SetupStop, AToolThatStaysIsNamedAndSetupGoesOn) {
  SetupRun run;
  g_stay = true;
  g_closes.clear();
  HWND stubborn = MakeWindow("qvToolbarClass", "");
  HWND path = MakeWindow("QvtTitled", "C:\\Program Files\\Quorvane Toolbar");
  HWND named = MakeWindow("QvtTitled", "Quorvane Toolbar Options - 2 windows");
  run.Start("/silent /nostart /noshort");
  HWND progress = WaitDialog(run.process, kProgressTitle);
  ASSERT_NE(nullptr, progress);
  bool named3 = qvt::WaitUntil(
      [&] { return ControlText(progress, 1015) == "Stopping all Quorvanes... Still running: Toolbar, "; }, 10000);
  EXPECT_TRUE(named3);
  EXPECT_TRUE(run.Ends(40000)) << "setup goes on after 51 passes";
  qvt::WaitUntil([] { return false; }, 300);  // what was posted here arrives
  EXPECT_GE(g_closes[stubborn], 50);
  EXPECT_EQ(0, g_closes[path]) << "a title with a backslash is a folder's";
  EXPECT_GE(g_closes[named], 1);
  g_stay = false;
  for (HWND w : {stubborn, path, named}) DestroyWindow(w);
}

}  // namespace
