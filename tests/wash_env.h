// What the wash tests change around them, and put back: the shell folders the
// items empty (pointed at scratch folders), TEMP, and the control-panel
// association that makes "inetcpl.cpl" start the Internet Options stand-in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace washt {

constexpr const char* kUserShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// A registry value as it was, put back by Restore.
struct SavedValue {
  HKEY root;
  std::string key, name;
  bool existed;
  DWORD type;
  std::vector<BYTE> data;
};

class WashEnvironment {
 public:
  // scratch: a fresh folder holding temp\, recent\, history\, cache\ and cookies\.
  WashEnvironment();
  ~WashEnvironment();
  // Points a shell folder at path ("User Shell Folders" value name, e.g. "Cookies").
  void Redirect(const char* name, const std::string& path);
  // The stand-in's call log, one line a call; empty before the first call.
  std::vector<std::string> PanelCalls() const;
  // Waits until the stand-in has ended (its "end" line), at most timeoutMs.
  bool PanelEnded(DWORD timeoutMs = 5000) const;
  std::string scratch, temp, recent, history, cache, cookies, panelLog;

 private:
  void Save(HKEY root, const char* key, const char* name);
  std::vector<SavedValue> saved_;
  std::string oldTmp_, oldTemp_;
};

// Every item's setting off, the cleaning rules' too: only what a case ticks runs.
void UntickAllItems();
// The rules our rules file beside the program names (its section names), and a
// rule's tick as the More Items dialog saves it.
std::vector<std::string> ShippedRuleNames();
void SetRuleTick(const std::string& rule, bool ticked);
// The scratch Recent folder holds three files of 100 bytes, one of them in a
// subfolder, and RecentDocs a value: what the Recent item removes.
constexpr const char* kRecentDocs = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
void MakeRecent(const WashEnvironment& env);

}  // namespace washt
