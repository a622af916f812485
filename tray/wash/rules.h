// Cleaning rules as data: sections of an ini text in the format the well-known
// Windows cleaners read ("winapp2.ini"), from our own rules file beside the program
// and from a user's "winapp2.ini" put beside it.
//
//   [Rule name]
//   LangSecRef=3029  or  Section=Browsers   the group it shows in
//   Detect=HKCU\Software\Vendor             a registry key (DetectN: any of them)
//   DetectFile=%LocalAppData%\Vendor        a path, "*" allowed in a folder step (DetectFileN)
//   Default=True|False                      ticked out of the box
//   Process=vendor.exe                      our own key: while that image runs, the rule's
//                                           files are left alone (ProcessN: several)
//   FileKey1=folder|pattern[;pattern...][|RECURSE|REMOVESELF]
//   RegKey1=HKCU\key[|value]                a key with everything below it, or one value
//   ExcludeKey1=FILE|folder\|pattern        held back: files directly in the folder,
//   ExcludeKey2=PATH|folder\|pattern        files in the folder or below it,
//   ExcludeKey3=REG|HKCU\key                a registry key and what lies below it
//   Places1=%AppData%\...\places.sqlite     our own key: Firefox history databases,
//                                           cleared row by row (places.h), never deleted
//   JumpLists=True                          our own key: the jump lists' recent entries
//                                           (jumplists.h)
//   KeepTabs=Chromium[|policy key]          our own key: a profile whose browser opens
//   KeepTabs=Firefox                        the last session's tabs again at its start
//                                           keeps the rule's files (the user's tabs)
//
// Folders may begin with the variables %LocalAppData%, %AppData%, %UserProfile%,
// %WinDir%, %CommonAppData%, %ProgramFiles%, %Documents%, %LocalLowAppData% and
// %Temp%, resolved through the known-folder functions; a folder step with "*" or
// "?" stands for every subfolder whose name matches it (never a link).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

struct WashReport;

struct RuleFileKey {
  std::wstring folder;                 // as written: variables and "*" steps not resolved
  std::vector<std::wstring> patterns;  // at least one; "*.*" when none was written
  bool recurse;                        // RECURSE: files below the folder too
  bool removeSelf;                     // REMOVESELF: the folder goes once emptied
};

struct RuleRegKey {
  HKEY root;
  std::wstring key;    // below root
  std::wstring value;  // one value of the key; empty: the key itself
  bool oneValue;
};

enum RuleExcludeKind { kExcludeFile, kExcludePath, kExcludeReg };
struct RuleExclude {
  RuleExcludeKind kind;
  std::wstring folder;   // FILE/PATH: the folder as written; REG: the key as written
  std::wstring pattern;  // FILE/PATH: file name pattern ("*" when none)
};

struct CleaningRule {
  std::wstring name;
  std::wstring group;  // LangSecRef or Section, as written
  bool defaultOn;
  std::vector<std::wstring> detectKeys;   // full key texts ("HKCU\...")
  std::vector<std::wstring> detectFiles;  // paths as written
  std::vector<std::wstring> processes;    // image names ("msedge.exe")
  std::vector<RuleFileKey> files;
  std::vector<RuleRegKey> regKeys;
  std::vector<RuleExclude> excludes;
  std::vector<std::wstring> places;  // paths of Firefox history databases, as written
  bool jumpLists;
  std::wstring keepTabs;  // "Chromium", "Firefox" or empty
};

// The rules of an ini text: UTF-8 (with or without its byte-order mark), UTF-16
// with its mark, or else the ANSI code page; converted once here. Lines that are
// not understood (no "=", an unknown key, a FileKey without a folder, a RegKey of an
// unknown root) are skipped; so is a section that names nothing to clean.
std::vector<CleaningRule> ParseRules(const char* bytes, size_t size);
// The same for a file; false (and no rules) when it cannot be read.
bool ReadRulesFile(const wchar_t* path, std::vector<CleaningRule>* rules);
// The rules that come with the program and the user's (our file, then "winapp2.ini"),
// both beside the program; a file that is not there adds nothing.
constexpr const wchar_t* kOwnRulesFile = L"quorvane-rules.ini";
constexpr const wchar_t* kUserRulesFile = L"winapp2.ini";
std::vector<CleaningRule> LoadAllRules();

// text with its leading variable resolved (a text without one is taken as it is);
// false for an unknown variable or one that cannot be resolved.
bool ExpandRuleVariables(const std::wstring& text, std::wstring* out);
// The existing folders (or, with files, paths of any kind) that a path with
// variables and "*" steps names, each a full path. A step with a wildcard enters
// only plain folders, never a link.
void ResolveRulePaths(const std::wstring& text, bool files, std::vector<std::wstring>* out);

// The browser profile that folder is (or whose subfolder it is: "Sessions") opens
// the last session's tabs again at its start, so its session files are the tabs the
// user chose to keep. keepTabs is the rule's KeepTabs: "Chromium" reads the
// profile's "Preferences" (session.restore_on_startup 1 or 6), unless the
// RestoreOnStartup policy under the key named after "|" (HKLM, then HKCU) decides;
// "Firefox" reads browser.startup.page 3 in "prefs.js" (or "user.js", which wins).
bool ProfileRestoresTabs(const std::wstring& folder, const std::wstring& keepTabs);

// A rule is shown and applied only when something it detects is there (a rule
// without Detect and DetectFile counts as there).
bool RuleDetected(const CleaningRule& rule);
// A program the rule names with Process is running (a Toolhelp32 snapshot, image
// names compared without regard to case): true and its name in *name.
bool RuleRunningProgram(const CleaningRule& rule, std::wstring* name);

enum RuleOutcome {
  kRuleWashed,       // its files and keys went (what could not is counted as left)
  kRuleNotDetected,  // nothing it detects is there: nothing done
  kRuleRunning,      // its program runs: its files were left alone, its keys too
  kRuleStopped       // a stop ended it
};
// Washes (or, with preview, only looks at) what the rule names, into report (which
// the calling thread's report becomes while it runs; its preview flag is set from
// preview). Every folder goes through the folder guard and the one walk of the
// Wash: a protected folder is left alone and reported so; excluded files and keys
// stay; a link is never followed. A running program of the rule is reported as a
// target left alone, "<rule name> (<program>)". *program gets the running
// program's name (may be null).
RuleOutcome WashRule(const CleaningRule& rule, bool preview, WashReport* report, std::wstring* program);
// The index the rules' rows carry in a report (after the nine items).
constexpr int kRulesReportItem = 9;

// What a rule may remove from the registry, whoever wrote it: keys and values of
// HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE below "Software" only, never below
// "Software\Classes" (file types) or "Software\Policies"; a whole key only three
// steps or more below the root ("Software\Vendor\Program"), four below
// "Software\Microsoft", five below "...\Microsoft\Windows" or "Windows NT", six
// below their "CurrentVersion", never their "Policies" or the shell's folder keys.
// A key the guard refuses is left alone and reported so.
bool RegistryKeyMayGo(const RuleRegKey& key);

// The rules of the "More Items" dialog, in the order read (ours, then the user's):
// those whose Detect finds something here, a name read twice shown once (the first).
std::vector<CleaningRule> ShownRules();
// Each rule's tick is the setting "Rule:<name>" (1 ticked, 0 not); never saved, the
// rule's Default. A name the ANSI code page cannot spell exactly is kept under
// "Rule:#<hex of its UTF-16 text>". False when out is too small.
constexpr size_t kRuleSettingChars = 1024;  // a longer name is never ticked
bool RuleSettingName(const CleaningRule& rule, char* out, size_t cap);
bool RuleTicked(const CleaningRule& rule);
void SetRuleTicked(const CleaningRule& rule, bool ticked);
// The ticked rules among rules, on this thread into its report (a preview only
// looks), each after the other; false when a stop ended them.
bool WashTickedRules(const std::vector<CleaningRule>& rules);
bool AnyRuleTicked(const std::vector<CleaningRule>& rules);
