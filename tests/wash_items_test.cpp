// The nine wash items, run in this process against scratch folders, and the
// Internet Options automation against the control-panel stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/qvtest.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/wash.h"
#include "wash_env.h"
#include "wash_support.h"

namespace {

using Calls = std::vector<std::string>;
constexpr const char* kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kIe = "Software\\Microsoft\\Internet Explorer";
constexpr const char* kSearchBar = "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}";

bool KeyExists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void MakeKey(const std::string& path) { qvt::WriteString(HKEY_CURRENT_USER, path.c_str(), "a", "entry"); }

class WashItems : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWashTest();
    HistoryInRun = 0;
  }
  void TearDown() override {
    ClearWashSettings();
    HistoryInRun = 0;
  }
  // Runs an item on a worker, answering any box; the boxes' texts.
  std::vector<std::string> Run(void (*item)()) {
    return BoxesDuring([](void* p) { reinterpret_cast<void (*)()>(p)(); }, reinterpret_cast<void*>(item), 30000);
  }
  washt::WashEnvironment env;
};

TEST_F(WashItems, RegistryItemsDeleteTheirKeysAndAMissingKeyIsNoError) {
  const std::string keys[] = {std::string(kExplorer) + "\\RunMRU", std::string(kExplorer) + "\\Doc Find Spec MRU",
                              std::string(kSearchBar) + "\\FilesNamedMRU", std::string(kSearchBar) + "\\ContainingTextMRU",
                              "Software\\Microsoft\\Search Assistant\\ACMru\\5603", std::string(kIe) + "\\TypedURLs",
                              std::string(kExplorer) + "\\RecentDocs\\.txt"};
  for (int round = 0; round < 2; ++round) {  // the second time every key is missing
    if (round == 0)
      for (const std::string& key : keys) MakeKey(key);
    MakeKey(std::string(kExplorer) + "\\KeepMe");
    for (void (*item)() : {WashRunMru, WashFindMru, WashTypedUrls, WashRecentDocs})
      EXPECT_TRUE(Run(item).empty());
    for (const std::string& key : keys) EXPECT_FALSE(KeyExists(key)) << key;
    EXPECT_FALSE(KeyExists(std::string(kExplorer) + "\\RecentDocs"));
    EXPECT_TRUE(KeyExists(std::string(kExplorer) + "\\KeepMe"));
  }
  EXPECT_EQ(0, WashErrorCount.load());
  qvt::DeleteTree(HKEY_CURRENT_USER, (std::string(kExplorer) + "\\KeepMe").c_str());
}

TEST_F(WashItems, FolderItemsEmptyTheirFoldersAndCookiesLeaveSubfolders) {
  for (const std::string* folder : {&env.temp, &env.recent, &env.history, &env.cache, &env.cookies}) {
    CreateDirectoryA((*folder + "sub").c_str(), nullptr);
    ASSERT_TRUE(qvt::WriteFile(*folder + "a.dat", "a"));
    ASSERT_TRUE(qvt::WriteFile(*folder + "sub\\b.dat", "b"));
  }
  for (void (*item)() : {WashTempFolders, WashRecentDocs, WashIeHistory, WashIeCache, WashIeCookies}) Run(item);
  for (const std::string* folder : {&env.temp, &env.recent, &env.history, &env.cache}) {
    EXPECT_FALSE(qvt::FileExists(*folder + "a.dat")) << *folder;
    EXPECT_FALSE(qvt::FileExists(*folder + "sub")) << *folder;
    EXPECT_TRUE(qvt::FileExists(*folder)) << "the folder itself stays";
  }
  EXPECT_FALSE(qvt::FileExists(env.cookies + "a.dat"));
  EXPECT_TRUE(qvt::FileExists(env.cookies + "sub\\b.dat"));
  EXPECT_EQ(0, WashErrorCount.load());
}

// A shell folder naming a drive root, or nothing, empties nothing. (Wine writes the
// special folder's path into "Shell Folders" at every lookup, so the fallback to
// that value cannot be given a path of its own here.)
TEST_F(WashItems, ARootOrEmptyShellFolderEmptiesNothing) {
  const std::string sentinel = "C:\\qvwash_root_sentinel.txt";
  ASSERT_TRUE(qvt::WriteFile(sentinel, "keep"));
  env.Redirect("History", "C:\\");
  env.Redirect("Cookies", "C:\\");
  env.Redirect("Cache", "");
  for (void (*item)() : {WashIeHistory, WashIeCookies, WashIeCache}) EXPECT_TRUE(Run(item).empty());
  EXPECT_TRUE(qvt::FileExists(sentinel));
  DeleteFileA(sentinel.c_str());
}

// ---- The Internet Options sheet, driven through the stand-in.

TEST_F(WashItems, EachBrowserItemDrivesTheSheetAlone) {
  Run(WashIeHistory);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "General: 1489", "Internet Options: 6", "Internet Properties: 2", "end"}), env.PanelCalls());
  DeleteFileA(env.panelLog.c_str());
  MakeKey(std::string(kIe) + "\\IntelliForms\\SPW");
  Run(WashAutoComplete);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "Internet Properties: select 2", "Content: 321", "AutoComplete Settings: 758",
                   "Internet Options: 1", "AutoComplete Settings: 2", "Internet Properties: 2", "end"}),
            env.PanelCalls());
  EXPECT_FALSE(KeyExists(std::string(kIe) + "\\IntelliForms\\SPW"));
  DeleteFileA(env.panelLog.c_str());
  Run(WashIeCache);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "General: 624", "Delete Files: 1", "Internet Properties: 2", "end"}), env.PanelCalls());
}

// In a run with History, AutoComplete and Cache the sheet starts once and only Cache closes it.
TEST_F(WashItems, ThreeBrowserItemsOfOneRunShareOneSheet) {
  SetSetting("ClearIECache", 1);
  SetSetting("ClearIEAutoComp", 1);
  HistoryInRun = 1;
  for (void (*item)() : {WashIeHistory, WashAutoComplete, WashIeCache}) Run(item);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "General: 1489", "Internet Options: 6", "Internet Properties: select 2", "Content: 321",
                   "AutoComplete Settings: 758", "Internet Options: 1", "AutoComplete Settings: 2", "General: 624",
                   "Delete Files: 1", "Internet Properties: 2", "end"}),
            env.PanelCalls());
}

TEST_F(WashItems, AnOpenSheetIsReusedAndHidden) {
  qvt::Process panel = qvt::Start(qvt::BinPath("qvinetcpl.exe"), "");
  HWND sheet = qvt::WaitTop("#32770", "Internet Properties", panel.pid, 5000);
  ASSERT_NE(nullptr, sheet);
  Run(WashIeCache);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "General: 624", "Delete Files: 1", "Internet Properties: 2", "end"}), env.PanelCalls());
  qvt::Close(panel);
}

// A panel in another language than the program's: the English titles are found,
// except "Content" and "AutoComplete Settings", which are looked for translated only.
TEST_F(WashItems, EnglishTitlesAreTheFallbackButNotForContent) {
  const std::string languages = qvt::BinPath("Toolbar_Lang.txt");
  ASSERT_TRUE(qvt::WriteFile(languages,
                             "[2]\r\nInternet Properties\tInternet-Eigenschaften\r\nGeneral\tAllgemein\r\n"
                             "Content\tInhalte\r\nDelete Files\tDateien loeschen\r\n"));
  SetSetting("GeneralLanguage", 2);
  MakeKey(std::string(kIe) + "\\IntelliForms\\SPW");
  Run(WashAutoComplete);
  Run(WashIeCache);
  DeleteFileA(languages.c_str());
  SetSetting("GeneralLanguage", 0);
  LibTranslate("reload", 0);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "Internet Properties: select 2", "Internet Properties: 2", "end", "start", "General: 624",
                   "Delete Files: 1", "Internet Properties: 2", "end"}),
            env.PanelCalls());
  EXPECT_FALSE(KeyExists(std::string(kIe) + "\\IntelliForms\\SPW"));
}

// A panel whose windows come up slowly: each shows itself some hundred ms after it
// was made, so a hide sent at once would be undone by its own show. Every command
// reaches a window that is hidden, and a sheet kept for a later item stays hidden.
TEST_F(WashItems, SlowWindowsAreToldOnlyWhenHidden) {
  const std::string seenLog = env.scratch + "seen.txt";
  SetEnvironmentVariableA("QV_INETCPL_SHOWDELAY", "600");
  SetEnvironmentVariableA("QV_INETCPL_SEEN", seenLog.c_str());
  auto sheetHidden = [] {
    HWND sheet = FindWindowA("#32770", "Internet Properties");
    return sheet && !IsWindowVisible(sheet);
  };
  Run(WashIeHistory);  // alone: the sheet is closed
  ASSERT_TRUE(env.PanelEnded());
  SetSetting("ClearIECache", 1);
  SetSetting("ClearIEAutoComp", 1);
  HistoryInRun = 1;
  Run(WashIeHistory);
  EXPECT_TRUE(sheetHidden()) << "kept for AutoComplete";
  Run(WashAutoComplete);
  EXPECT_TRUE(sheetHidden()) << "kept for Cache";
  Run(WashIeCache);
  ASSERT_TRUE(env.PanelEnded());
  std::string text;
  ASSERT_TRUE(qvt::ReadFile(seenLog, &text));
  const std::string expected =
      "General: 1489 hidden\r\nInternet Options: 6 hidden\r\nInternet Properties: 2 hidden\r\n"
      "General: 1489 hidden\r\nInternet Options: 6 hidden\r\nContent: 321 hidden\r\n"
      "AutoComplete Settings: 758 hidden\r\nInternet Options: 1 hidden\r\nAutoComplete Settings: 2 hidden\r\n"
      "General: 624 hidden\r\nDelete Files: 1 hidden\r\nInternet Properties: 2 hidden\r\n";
  EXPECT_EQ(expected, text);
}

// A panel that never answers: the item waits its four seconds and goes on, without an error.
TEST_F(WashItems, APanelThatNeverAnswersIsLeftAfterTheWait) {
  SetEnvironmentVariableA("QV_INETCPL_MODE", "mute");
  DWORD start = GetTickCount();
  Run(WashIeHistory);
  EXPECT_GE(GetTickCount() - start, 3500u);
  ASSERT_TRUE(env.PanelEnded());
  EXPECT_EQ((Calls{"start", "General: 1489", "Internet Properties: 2", "end"}), env.PanelCalls());
  EXPECT_EQ(0, WashErrorCount.load());
}

}  // namespace
