// The cleaning rules: the text read into rules, and each rule washed in this
// process against browser profiles built in the prefix's own application-data
// folders (two Chrome profiles, an Edge profile, a Firefox profile), with the
// files that must stay beside the traces that must go.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "browser_profiles.h"
#include "common/widepath.h"
#include "places_support.h"
#include "support/qvtest.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/report.h"
#include "tray/wash/rules.h"
#include "tray/wash/wash.h"

void UseTrayIdentity();
void StartWashTest();

namespace {

// The wash's settings never written: the File Delete Options as they come.
void ClearWashSettings() { qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }

using profiles::Put;
std::string Folder(int csidl) { return profiles::ShellFolder(csidl); }

std::wstring Wide(const std::string& text) {
  std::vector<wchar_t> out(text.size() + 1);
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
  return out.data();
}

const CleaningRule* Named(const std::vector<CleaningRule>& rules, const wchar_t* name) {
  for (const CleaningRule& r : rules)
    if (r.name == name) return &r;
  return nullptr;
}

std::vector<CleaningRule> Parse(const std::string& text) { return ParseRules(text.data(), text.size()); }

// ---- Reading rules.

TEST(RulesParse, SectionsNumberedKeysFlagsAndExcludes) {
  std::vector<CleaningRule> rules = Parse(
      "\xEF\xBB\xBF; a comment\r\n"
      "[Vendor Cache]\r\n"
      "LangSecRef=3029\r\n"
      "Detect=HKCU\\Software\\Vendor\r\n"
      "Detect2=HKLM\\Software\\Vendor\r\n"
      "DetectFile=%LocalAppData%\\Vendor\\\r\n"
      "Default=True\r\n"
      "Process=vendor.exe\r\n"
      "Process2=Vendor Helper.EXE\r\n"
      "FileKey1=%LocalAppData%\\Vendor\\User Data\\*\\Cache|*.*|RECURSE\r\n"
      "FileKey2=%AppData%\\Vendor| History ; *.log |REMOVESELF\r\n"
      "FileKey3=%Temp%\\Vendor\r\n"
      "RegKey1=HKCU\\Software\\Vendor\\MRU\r\n"
      "RegKey2=HKEY_CURRENT_USER\\Software\\Vendor|LastFile\r\n"
      "ExcludeKey1=FILE|%LocalAppData%\\Vendor\\|keep.dat\r\n"
      "ExcludeKey2=PATH|%AppData%\\Vendor\\Saved\\|*.*\r\n"
      "ExcludeKey3=REG|HKCU\\Software\\Vendor\\MRU\\Pinned\r\n"
      "this line has no equals sign\r\n"
      "FileKey4=\r\n"
      "FileKey5=|*.*\r\n"
      "RegKey3=HKXX\\Software\\Vendor\r\n"
      "RegKey4=Software\\Vendor\r\n"
      "ExcludeKey4=DIR|C:\\x\\|*\r\n"
      "=no key\r\n"
      "\n"
      "[Nothing To Clean]\n"
      "Section=Empty\n"
      "Detect=HKCU\\Software\\Vendor\n"
      "[Second]\n"
      "Section=Windows\n"
      "RegKey1=HKCU\\Software\\Two\n");
  ASSERT_EQ(2u, rules.size()) << "the section that cleans nothing is dropped";
  const CleaningRule& r = rules[0];
  EXPECT_EQ(L"Vendor Cache", r.name);
  EXPECT_EQ(L"3029", r.group);
  EXPECT_TRUE(r.defaultOn);
  EXPECT_EQ((std::vector<std::wstring>{L"HKCU\\Software\\Vendor", L"HKLM\\Software\\Vendor"}), r.detectKeys);
  EXPECT_EQ((std::vector<std::wstring>{L"%LocalAppData%\\Vendor"}), r.detectFiles);
  EXPECT_EQ((std::vector<std::wstring>{L"vendor.exe", L"Vendor Helper.EXE"}), r.processes);
  ASSERT_EQ(3u, r.files.size()) << "empty and folderless FileKeys are skipped";
  EXPECT_EQ(L"%LocalAppData%\\Vendor\\User Data\\*\\Cache", r.files[0].folder);
  EXPECT_EQ((std::vector<std::wstring>{L"*.*"}), r.files[0].patterns);
  EXPECT_TRUE(r.files[0].recurse);
  EXPECT_FALSE(r.files[0].removeSelf);
  EXPECT_EQ((std::vector<std::wstring>{L"History", L"*.log"}), r.files[1].patterns);
  EXPECT_TRUE(r.files[1].removeSelf);
  EXPECT_FALSE(r.files[2].recurse);
  EXPECT_EQ((std::vector<std::wstring>{L"*.*"}), r.files[2].patterns) << "no pattern: every file";
  ASSERT_EQ(2u, r.regKeys.size()) << "keys of unknown or missing roots are skipped";
  EXPECT_EQ(HKEY_CURRENT_USER, r.regKeys[0].root);
  EXPECT_EQ(L"Software\\Vendor\\MRU", r.regKeys[0].key);
  EXPECT_FALSE(r.regKeys[0].oneValue);
  EXPECT_EQ(L"Software\\Vendor", r.regKeys[1].key);
  EXPECT_TRUE(r.regKeys[1].oneValue);
  EXPECT_EQ(L"LastFile", r.regKeys[1].value);
  ASSERT_EQ(3u, r.excludes.size());
  EXPECT_EQ(kExcludeFile, r.excludes[0].kind);
  EXPECT_EQ(L"%LocalAppData%\\Vendor", r.excludes[0].folder);
  EXPECT_EQ(L"keep.dat", r.excludes[0].pattern);
  EXPECT_EQ(kExcludePath, r.excludes[1].kind);
  EXPECT_EQ(kExcludeReg, r.excludes[2].kind);
  EXPECT_EQ(L"HKCU\\Software\\Vendor\\MRU\\Pinned", r.excludes[2].folder);
  EXPECT_EQ(L"Second", rules[1].name);
  EXPECT_FALSE(rules[1].defaultOn) << "Default unset: not ticked";
}

TEST(RulesParse, AnsiUtf8AndUtf16TextsGiveTheSameNames) {
  std::vector<CleaningRule> ansi = Parse("[Caf\xE9]\nRegKey1=HKCU\\Software\\Caf\xE9\n");
  std::vector<CleaningRule> utf8 = Parse("[Caf\xC3\xA9]\nRegKey1=HKCU\\Software\\Caf\xC3\xA9\n");
  std::wstring text = L"\xFEFF[Caf\x00E9]\r\nRegKey1=HKCU\\Software\\Caf\x00E9\r\n";
  std::vector<CleaningRule> utf16 = ParseRules(reinterpret_cast<const char*>(text.c_str()), text.size() * 2);
  for (const auto* rules : {&ansi, &utf8, &utf16}) {
    ASSERT_EQ(1u, rules->size());
    EXPECT_EQ(L"Caf\x00E9", (*rules)[0].name);
    EXPECT_EQ(L"Software\\Caf\x00E9", (*rules)[0].regKeys[0].key);
  }
}

TEST(RulesPaths, VariablesResolveToTheKnownFolders) {
  std::wstring out;
  ASSERT_TRUE(ExpandRuleVariables(L"%LocalAppData%\\Vendor", &out));
  EXPECT_EQ(Wide(Folder(CSIDL_LOCAL_APPDATA)) + L"Vendor", out);
  ASSERT_TRUE(ExpandRuleVariables(L"%appdata%\\V", &out)) << "names are not case-sensitive";
  EXPECT_EQ(Wide(Folder(CSIDL_APPDATA)) + L"V", out);
  ASSERT_TRUE(ExpandRuleVariables(L"%UserProfile%", &out));
  EXPECT_EQ(Wide(Folder(CSIDL_PROFILE)), out + L"\\");
  ASSERT_TRUE(ExpandRuleVariables(L"%WinDir%\\x", &out));
  EXPECT_EQ(Wide(Folder(CSIDL_WINDOWS)) + L"x", out);
  ASSERT_TRUE(ExpandRuleVariables(L"%Documents%", &out));
  EXPECT_EQ(Wide(Folder(CSIDL_PERSONAL)), out + L"\\");
  ASSERT_TRUE(ExpandRuleVariables(L"%CommonAppData%", &out));
  EXPECT_EQ(Wide(Folder(CSIDL_COMMON_APPDATA)), out + L"\\");
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  ASSERT_TRUE(ExpandRuleVariables(L"%Temp%\\y", &out));
  EXPECT_EQ(Wide(temp) + L"y", out);
  ASSERT_TRUE(ExpandRuleVariables(L"%LocalLowAppData%", &out));
  EXPECT_NE(std::wstring::npos, out.find(L"LocalLow"));
  EXPECT_FALSE(ExpandRuleVariables(L"%NoSuchFolder%\\x", &out));
  EXPECT_FALSE(ExpandRuleVariables(L"%LocalAppData\\x", &out));
}

// ---- Washing: the profiles of three browsers.

class RulesWash : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWashTest();
    profiles::Make(&fixture);
    local = fixture.local;
    roaming = fixture.roaming;
    qvt::WriteString(HKEY_CURRENT_USER, kTypedPaths, "url1", "C:\\secret");
    qvt::WriteString(HKEY_CURRENT_USER, kWordWheel, "0", "secret words");
  }
  void TearDown() override {
    if (standIn.process) qvt::Kill(standIn);
    qvt::Close(standIn);
    profiles::Remove(fixture);
    qvt::DeleteTree(HKEY_CURRENT_USER, kTypedPaths);
    qvt::DeleteTree(HKEY_CURRENT_USER, kWordWheel);
    ClearWashSettings();
  }
  std::vector<CleaningRule> Shipped() {
    std::vector<CleaningRule> rules;
    EXPECT_TRUE(ReadRulesFile(Wide(qvt::BinPath("quorvane-rules.ini")).c_str(), &rules));
    return rules;
  }
  // Every keep file byte for byte as it was, and the bookmarks row for row.
  void ExpectKeepsIntact() { EXPECT_EQ(std::vector<std::string>{}, profiles::KeepsChanged(fixture)); }
  std::vector<std::string> TracesLeft(const char* under = "") { return profiles::TracesLeft(fixture, under); }
  static constexpr const char* kTypedPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TypedPaths";
  static constexpr const char* kWordWheel = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\WordWheelQuery";
  profiles::Profiles fixture;
  std::string local, roaming;
  std::vector<std::string>& traces = fixture.traces;
  qvt::Process standIn;
  WashReport report;
};

TEST_F(RulesWash, ShippedRulesRemoveEveryTraceAndKeepPasswordsBookmarksAndSettings) {
  std::vector<CleaningRule> rules = Shipped();
  ASSERT_GE(rules.size(), 16u);
  for (const wchar_t* name : {L"Microsoft Edge - Cache", L"Google Chrome - History", L"Mozilla Firefox - Sessions"}) {
    const CleaningRule* rule = Named(rules, name);
    ASSERT_TRUE(rule) << DisplayText(name);
    EXPECT_EQ(1u, rule->processes.size());
  }
  for (const CleaningRule& rule : rules) {
    ASSERT_TRUE(RuleDetected(rule)) << DisplayText(rule.name.c_str());
    EXPECT_EQ(kRuleWashed, WashRule(rule, false, &report, nullptr)) << DisplayText(rule.name.c_str());
  }
  EXPECT_EQ(std::vector<std::string>{}, TracesLeft());
  ExpectKeepsIntact();
  EXPECT_FALSE(qvt::FileExists(roaming + "Mozilla\\Firefox\\Profiles\\a1b2.default-release\\sessionstore-backups\\"))
      << "REMOVESELF removes the emptied folder";
  EXPECT_TRUE(qvt::FileExists(local + "Google\\Chrome\\User Data\\Default\\Cache\\"))
      << "the cache folder itself stays";
  HKEY key;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kTypedPaths, 0, KEY_READ, &key));
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kWordWheel, 0, KEY_READ, &key));
  WashTotals totals = TotalsOf(report);
  EXPECT_EQ(traces.size(), totals.files);
  EXPECT_EQ(2u, totals.entries);
  EXPECT_EQ(0u, totals.left);
  EXPECT_EQ(0u, totals.leftAlone);
  EXPECT_EQ(0, WashErrorCount.load());
  // Firefox's history went inside its database; the file and its bookmarks stay.
  EXPECT_EQ("0|\n", placest::Dump(fixture.places, placest::kVisitCount));
  EXPECT_EQ(static_cast<unsigned>(placest::kVisits), totals.visits);
}

TEST_F(RulesWash, APreviewCountsWhatWouldGoAndChangesNothing) {
  for (const CleaningRule& rule : Shipped()) WashRule(rule, true, &report, nullptr);
  EXPECT_EQ(traces.size(), TracesLeft().size());
  ExpectKeepsIntact();
  WashTotals totals = TotalsOf(report);
  EXPECT_EQ(traces.size(), totals.files);
  EXPECT_EQ(2u, totals.entries);
  EXPECT_EQ(static_cast<unsigned>(placest::kVisits), totals.visits);
  EXPECT_EQ("8|\n", placest::Dump(fixture.places, placest::kVisitCount));
  EXPECT_TRUE(qvt::ValueExists(HKEY_CURRENT_USER, kTypedPaths, "url1"));
}

// A profile whose browser opens its last tabs again at its start keeps the files
// of those tabs: the user chose to keep them. The other traces of that profile go,
// and so do the sessions of a profile set otherwise; a kept profile is no failure.
TEST_F(RulesWash, AProfileThatOpensItsLastTabsAgainKeepsItsSessions) {
  std::string chrome = local + "Google\\Chrome\\User Data\\";
  std::string fx = roaming + "Mozilla\\Firefox\\Profiles\\a1b2.default-release\\";
  auto keep = [&](const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(profiles::Put(path, bytes));
    fixture.keeps[path] = bytes;
  };
  keep(chrome + "Profile 1\\Preferences", "{\"browser\":{\"x\":1},\"session\":{\"restore_on_startup\": 1,\"startup_urls\":[]}}");
  keep(chrome + "Default\\Preferences", "{\"session\":{\"restore_on_startup\":5}}");  // the New Tab page
  keep(fx + "prefs.js", "user_pref(\"browser.startup.homepage\", \"about:home\");\nuser_pref(\"browser.startup.page\", 3);\n");
  for (const CleaningRule& rule : Shipped())
    EXPECT_EQ(kRuleWashed, WashRule(rule, false, &report, nullptr)) << DisplayText(rule.name.c_str());
  std::vector<std::string> kept;
  for (const std::string& t : traces) {
    bool tabs = t.find("Session") != std::string::npos || t.find("Tabs") != std::string::npos ||
                t.find("sessionstore") != std::string::npos;
    if (tabs && (t.find("Profile 1") != std::string::npos || t.find("Firefox") != std::string::npos)) kept.push_back(t);
  }
  ASSERT_EQ(9u, kept.size());
  EXPECT_EQ(kept, TracesLeft());
  ExpectKeepsIntact();
  unsigned tabsKept = 0;
  for (const WashTarget& t : report.targets) tabsKept += t.kind == kTargetLeftAlone && t.reason == kLeftTabsKept;
  EXPECT_EQ(4u, tabsKept) << "Profile 1, its Sessions folder, Firefox's profile and its backups";
  EXPECT_EQ(0u, TotalsOf(report).leftAlone);

  // user.js has the last word over prefs.js; a folder that is no profile restores nothing.
  ASSERT_TRUE(profiles::Put(fx + "user.js", "user_pref(\"browser.startup.page\", 1);\n"));
  EXPECT_FALSE(ProfileRestoresTabs(Wide(fx + "sessionstore-backups"), L"Firefox"));
  EXPECT_TRUE(ProfileRestoresTabs(Wide(chrome + "Profile 1\\Sessions"), L"Chromium"));
  EXPECT_FALSE(ProfileRestoresTabs(Wide(chrome + "Profile 1"), L"Firefox"));
  EXPECT_FALSE(ProfileRestoresTabs(Wide(chrome + "Default"), L"Chromium"));
  EXPECT_FALSE(ProfileRestoresTabs(Wide(chrome), L"Chromium"));
  // Pages and the last session (6) open it too; an administrator's policy wins.
  ASSERT_TRUE(profiles::Put(chrome + "Default\\Preferences", "{\"session\":{\"restore_on_startup\":6}}"));
  EXPECT_TRUE(ProfileRestoresTabs(Wide(chrome + "Default"), L"Chromium"));
  const char* policy = "Software\\Policies\\QvTestBrowser";
  qvt::WriteDword(HKEY_CURRENT_USER, policy, "RestoreOnStartup", 5);
  EXPECT_FALSE(ProfileRestoresTabs(Wide(chrome + "Default"), L"Chromium|Software\\Policies\\QvTestBrowser"));
  EXPECT_TRUE(ProfileRestoresTabs(Wide(chrome + "Default"), L"Chromium|Software\\Policies\\Other"));
  ASSERT_TRUE(profiles::Put(chrome + "Default\\Preferences", "{\"session\":{\"restore_on_startup\":5}}"));
  qvt::WriteDword(HKEY_CURRENT_USER, policy, "RestoreOnStartup", 1);
  EXPECT_TRUE(ProfileRestoresTabs(Wide(chrome + "Default\\Sessions"), L"Chromium|Software\\Policies\\QvTestBrowser"));
  qvt::DeleteTree(HKEY_CURRENT_USER, policy);
}

// What a rule may remove from the registry, whoever wrote the rule: a user's
// winapp2.ini naming the shell's keys, the file types or a whole vendor's key
// changes nothing there and is reported; a program's own key deep enough goes.
TEST_F(RulesWash, TheRegistryGuardKeepsSharedKeysWhateverARuleSays) {
  const char* explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
  const char* shared[] = {explorer, "Software\\QvGuardVendor", "Software\\Classes\\qvguard.file",
                          "Software\\Microsoft\\QvGuardProduct", "Software\\Policies\\QvGuardVendor\\App",
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
  for (const char* key : shared) qvt::WriteString(HKEY_CURRENT_USER, key, "qvguard", "keep");
  qvt::WriteString(HKEY_CURRENT_USER, "Software\\QvGuardVendor\\App\\MRU", "a", "secret");
  qvt::WriteString(HKEY_CURRENT_USER, "Environment", "QVGUARD", "keep");
  std::vector<CleaningRule> rules = Parse(
      "[Mine]\n"
      "RegKey1=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\n"
      "RegKey2=HKCU\\Software\\QvGuardVendor\n"
      "RegKey3=HKCU\\Software\\Classes\\qvguard.file\n"
      "RegKey4=HKCU\\Software\\Microsoft\\QvGuardProduct\n"
      "RegKey5=HKCU\\Software\\Policies\\QvGuardVendor\\App\n"
      "RegKey6=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run|qvguard\n"
      "RegKey7=HKCU\\Environment|QVGUARD\n"
      "RegKey8=HKCU\\Software\\Wow6432Node\\..\\QvGuardVendor\\App\n"
      "RegKey9=HKCU\\Software\\QvGuardVendor\\App\\MRU\n");
  ASSERT_EQ(1u, rules.size());
  EXPECT_EQ(kRuleWashed, WashRule(rules[0], false, &report, nullptr));
  for (const char* key : shared) {
    bool oneValueRule = key == shared[5];  // one value of a program's own may go, even in Run
    EXPECT_EQ(!oneValueRule, qvt::ValueExists(HKEY_CURRENT_USER, key, "qvguard")) << key;
  }
  EXPECT_TRUE(qvt::ValueExists(HKEY_CURRENT_USER, "Environment", "QVGUARD")) << "only below Software";
  EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, "Software\\QvGuardVendor\\App\\MRU", "a"));
  unsigned guarded = 0;
  for (const WashTarget& t : report.targets) guarded += t.kind == kTargetLeftAlone && t.reason == kLeftProtectedKey;
  EXPECT_EQ(6u, guarded) << "each refused key is reported (a key with \"..\" names none)";
  EXPECT_EQ(2u, TotalsOf(report).entries);
  char sentence[600];
  ASSERT_TRUE(LeftAloneSentence(report, sentence, sizeof sentence));
  EXPECT_EQ(0u, std::string(sentence).find("The registry key 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows"))
      << sentence;
  auto deleteValue = [](const char* key, const char* name) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
    RegDeleteValueA(opened, name);
    RegCloseKey(opened);
  };
  for (const char* key : shared) deleteValue(key, "qvguard");
  qvt::DeleteTree(HKEY_CURRENT_USER, "Software\\QvGuardVendor");
  qvt::DeleteTree(HKEY_CURRENT_USER, "Software\\Classes\\qvguard.file");
  qvt::DeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\QvGuardProduct");
  qvt::DeleteTree(HKEY_CURRENT_USER, "Software\\Policies\\QvGuardVendor");
  deleteValue("Environment", "QVGUARD");
}

// A program of the name the rule gives keeps its profile: a stand-in named
// chrome.exe runs while the Chrome rules are washed; Edge's are washed all the same.
TEST_F(RulesWash, ARunningBrowserKeepsItsProfileAndIsReported) {
  std::string scratch = qvt::TempFolder();
  standIn = profiles::StartNamedLike(scratch, "chrome.exe");
  ASSERT_TRUE(standIn.process);
  std::vector<CleaningRule> rules = Shipped();
  int chromeRules = 0;
  for (const CleaningRule& rule : rules) {
    std::wstring program;
    RuleOutcome outcome = WashRule(rule, false, &report, &program);
    if (rule.name.find(L"Google Chrome") == 0) {
      ++chromeRules;
      EXPECT_EQ(kRuleRunning, outcome) << DisplayText(rule.name.c_str());
      EXPECT_EQ(L"chrome.exe", program);
    } else {
      EXPECT_EQ(kRuleWashed, outcome) << DisplayText(rule.name.c_str());
    }
  }
  EXPECT_EQ(4, chromeRules);
  EXPECT_TRUE(qvt::IsRunning("chrome.exe")) << "the stand-in ended during the wash (no display?)";
  qvt::Kill(standIn);
  qvt::Close(standIn);
  EXPECT_EQ(std::vector<std::string>{}, TracesLeft("Microsoft\\Edge"));
  size_t chromeTraces = 0;
  for (const std::string& t : traces) chromeTraces += t.find("Google\\Chrome") != std::string::npos;
  EXPECT_EQ(chromeTraces, TracesLeft("Google\\Chrome").size()) << "the running browser's files were touched";
  ExpectKeepsIntact();
  unsigned running = 0;
  for (const WashTarget& t : report.targets) {
    if (t.kind != kTargetLeftAlone) continue;
    EXPECT_EQ(kLeftProgramRunning, t.reason);
    EXPECT_EQ("Google Chrome", t.what) << "named as people know the program";
    EXPECT_EQ(0u, t.rule.find("Google Chrome - ")) << t.rule;
    ++running;
  }
  EXPECT_EQ(4u, running);
  qvt::RemoveTree(scratch);
}

// A user's rule that points at the Windows folder, the profile or the
// application-data root: nothing there changes, and each is reported left alone.
TEST_F(RulesWash, AUserRuleOnAProtectedFolderChangesNothingThere) {
  std::string profile = Folder(CSIDL_PROFILE), windows = Folder(CSIDL_WINDOWS);
  ASSERT_TRUE(qvt::WriteFile(profile + "qv-rules-mine.txt", "mine"));
  ASSERT_TRUE(qvt::WriteFile(local + "qv-rules-mine.txt", "mine"));
  std::vector<CleaningRule> rules = Parse(
      "[Greedy]\r\n"
      "FileKey1=%WinDir%|qv-rules-none.txt\r\n"
      "FileKey2=%UserProfile%|qv-rules-mine.txt|RECURSE\r\n"
      "FileKey3=%LocalAppData%|*.txt\r\n"
      "FileKey4=%UserProfile%\\..|*.*|RECURSE|REMOVESELF\r\n");
  ASSERT_EQ(1u, rules.size());
  EXPECT_EQ(kRuleWashed, WashRule(rules[0], false, &report, nullptr));
  EXPECT_TRUE(qvt::FileExists(profile + "qv-rules-mine.txt"));
  EXPECT_TRUE(qvt::FileExists(local + "qv-rules-mine.txt"));
  ExpectKeepsIntact();
  EXPECT_EQ(traces.size(), TracesLeft().size());
  std::vector<std::string> alone;
  for (const WashTarget& t : report.targets)
    if (t.kind == kTargetLeftAlone && t.reason == kLeftProtected) alone.push_back(t.what);
  EXPECT_EQ(3u, alone.size()) << "Windows, the profile and LocalAppData; \"..\" names nothing";
  EXPECT_EQ(0u, TotalsOf(report).files);
  DeleteFileA((profile + "qv-rules-mine.txt").c_str());
  DeleteFileA((local + "qv-rules-mine.txt").c_str());
}

// Excludes hold files back, a FileKey without RECURSE takes only the folder's own
// files, a Detect that finds nothing keeps the rule from running, and a rule takes
// one registry value or a key but not what REG excludes.
TEST_F(RulesWash, ExcludesFlagsDetectionAndRegistryValues) {
  std::string v = local + "QvRuleVendor\\";
  for (const char* f : {"a.log", "keep.log", "sub\\b.log", "sub\\c.dat", "Saved\\d.log", "deep\\e.log"}) Put(v + f, "x");
  qvt::WriteString(HKEY_CURRENT_USER, "Software\\QvRuleVendor", "LastFile", "secret");
  qvt::WriteString(HKEY_CURRENT_USER, "Software\\QvRuleVendor", "Setting", "keep");
  qvt::WriteString(HKEY_CURRENT_USER, "Software\\QvRuleVendor\\MRU", "a", "secret");
  qvt::WriteString(HKEY_CURRENT_USER, "Software\\QvRuleVendor\\Pinned", "a", "keep");
  std::vector<CleaningRule> rules = Parse(
      "[Vendor logs]\n"
      "Detect=HKCU\\Software\\QvRuleVendor\n"
      "FileKey1=%LocalAppData%\\QvRuleVendor|*.log|RECURSE\n"
      "FileKey2=%LocalAppData%\\QvRuleVendor\\sub|*.dat\n"
      "ExcludeKey1=FILE|%LocalAppData%\\QvRuleVendor\\|keep.log\n"
      "ExcludeKey2=PATH|%LocalAppData%\\QvRuleVendor\\Saved\\|*.*\n"
      "RegKey1=HKCU\\Software\\QvRuleVendor|LastFile\n"
      "RegKey2=HKCU\\Software\\QvRuleVendor\\MRU\n"
      "RegKey3=HKCU\\Software\\QvRuleVendor\\Pinned\n"
      "RegKey4=HKCU\\Software\\QvRuleVendor\n"
      "ExcludeKey3=REG|HKCU\\Software\\QvRuleVendor\\Pinned\n"
      "[Vendor top only]\n"
      "FileKey1=%LocalAppData%\\QvRuleVendor\\deep\\..\\sub|*.*\n"
      "[Not installed]\n"
      "Detect=HKCU\\Software\\QvRuleNoSuchVendor\n"
      "DetectFile=%LocalAppData%\\QvRuleNoSuch*\\x\n"
      "FileKey1=%LocalAppData%\\QvRuleVendor|*.*|RECURSE\n");
  ASSERT_EQ(3u, rules.size());
  EXPECT_FALSE(RuleDetected(rules[2]));
  EXPECT_EQ(kRuleNotDetected, WashRule(rules[2], false, &report, nullptr));
  EXPECT_EQ(kRuleWashed, WashRule(rules[0], false, &report, nullptr));
  EXPECT_FALSE(qvt::FileExists(v + "a.log"));
  EXPECT_FALSE(qvt::FileExists(v + "sub\\b.log"));
  EXPECT_FALSE(qvt::FileExists(v + "deep\\e.log"));
  EXPECT_FALSE(qvt::FileExists(v + "sub\\c.dat"));
  EXPECT_TRUE(qvt::FileExists(v + "keep.log")) << "FILE exclude";
  EXPECT_TRUE(qvt::FileExists(v + "Saved\\d.log")) << "PATH exclude";
  EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, "Software\\QvRuleVendor", "LastFile"));
  EXPECT_TRUE(qvt::ValueExists(HKEY_CURRENT_USER, "Software\\QvRuleVendor", "Setting"));
  EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, "Software\\QvRuleVendor\\MRU", "a"));
  EXPECT_TRUE(qvt::ValueExists(HKEY_CURRENT_USER, "Software\\QvRuleVendor\\Pinned", "a")) << "REG exclude";
  EXPECT_EQ(2u, TotalsOf(report).entries);
  EXPECT_EQ(0u, TotalsOf(report).left);
  // Without RECURSE only the folder's own files; "." and ".." steps name nothing.
  Put(v + "sub\\f.txt", "x");
  Put(v + "sub\\inner\\g.txt", "x");
  EXPECT_EQ(kRuleWashed, WashRule(rules[1], false, &report, nullptr));
  EXPECT_TRUE(qvt::FileExists(v + "sub\\f.txt"));
  std::vector<CleaningRule> top = Parse("[Top]\nFileKey1=%LocalAppData%\\QvRuleVendor\\sub|*.*\n");
  EXPECT_EQ(kRuleWashed, WashRule(top[0], false, &report, nullptr));
  EXPECT_FALSE(qvt::FileExists(v + "sub\\f.txt"));
  EXPECT_TRUE(qvt::FileExists(v + "sub\\inner\\g.txt"));
  qvt::RemoveTree(v);
  qvt::DeleteTree(HKEY_CURRENT_USER, "Software\\QvRuleVendor");
}

// A "*" step never enters a link, and the walk of a folder removes a link in it as
// a link: what it leads to stays.
TEST_F(RulesWash, LinksAreNeverFollowed) {
  std::vector<CleaningRule> rules = Parse(
      "[Through links]\n"
      "FileKey1=C:\\qvruleslink\\tree\\*|*.*|RECURSE\n"
      "FileKey2=C:\\qvruleslink\\tree|*.*|RECURSE\n");
  ASSERT_TRUE(qvt::FileExists("C:\\qvruleslink\\target\\keep.txt")) << "the link fixture is missing";
  std::vector<std::wstring> folders;
  ResolveRulePaths(L"C:\\qvruleslink\\tree\\*", false, &folders);
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\qvruleslink\\tree\\sub"}), folders);
  EXPECT_EQ(kRuleWashed, WashRule(rules[0], false, &report, nullptr));
  EXPECT_FALSE(qvt::FileExists("C:\\qvruleslink\\tree\\sub\\file.txt"));
  EXPECT_TRUE(qvt::FileExists("C:\\qvruleslink\\target\\keep.txt"));
  EXPECT_TRUE(qvt::FileExists("C:\\qvruleslink\\target\\inner\\keep2.txt"));
}

}  // namespace
