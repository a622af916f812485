#include "wash_env.h"

#include <cstdio>
#include <initializer_list>

#include "support/qvtest.h"

namespace washt {

namespace {

std::string Variable(const char* name) {
  char value[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA(name, value, MAX_PATH);
  return n && n < MAX_PATH ? value : "";
}

}  // namespace

WashEnvironment::WashEnvironment() {
  scratch = qvt::TempFolder();
  temp = scratch + "temp\\";
  recent = scratch + "recent\\";
  history = scratch + "history\\";
  cache = scratch + "cache\\";
  cookies = scratch + "cookies\\";
  for (const std::string* f : {&temp, &recent, &history, &cache, &cookies}) CreateDirectoryA(f->c_str(), nullptr);
  panelLog = scratch + "panel.txt";
  oldTmp_ = Variable("TMP");
  oldTemp_ = Variable("TEMP");
  SetEnvironmentVariableA("TMP", temp.c_str());
  SetEnvironmentVariableA("TEMP", temp.c_str());
  SetEnvironmentVariableA("QV_INETCPL_LOG", panelLog.c_str());
  Redirect("Recent", recent);
  Redirect("History", history);
  Redirect("Cache", cache);
  Redirect("Cookies", cookies);
  // ShellExecute of "inetcpl.cpl" starts the stand-in (Wine reads HKCR itself).
  std::string command = "\"" + qvt::BinPath("qvinetcpl.exe") + "\" %1";
  for (const char* verb : {"cplfile\\shell\\cplopen\\command", "cplfile\\shell\\open\\command"}) {
    Save(HKEY_CLASSES_ROOT, verb, nullptr);
    qvt::WriteString(HKEY_CLASSES_ROOT, verb, nullptr, command.c_str());
  }
}

WashEnvironment::~WashEnvironment() {
  qvt::KillAll("qvinetcpl.exe");
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->existed) {
      qvt::WriteRaw(it->root, it->key.c_str(), it->name.empty() ? nullptr : it->name.c_str(), it->type,
                    it->data.data(), static_cast<DWORD>(it->data.size()));
    } else {
      HKEY key;
      if (RegOpenKeyExA(it->root, it->key.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, it->name.empty() ? nullptr : it->name.c_str());
        RegCloseKey(key);
      }
    }
  }
  SetEnvironmentVariableA("TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
  SetEnvironmentVariableA("TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
  SetEnvironmentVariableA("QV_INETCPL_LOG", nullptr);
  SetEnvironmentVariableA("QV_INETCPL_MODE", nullptr);
  SetEnvironmentVariableA("QV_INETCPL_SHOWDELAY", nullptr);
  SetEnvironmentVariableA("QV_INETCPL_SEEN", nullptr);
  qvt::EmptyTree(scratch);
  RemoveDirectoryA(scratch.c_str());
}

void WashEnvironment::Save(HKEY root, const char* key, const char* name) {
  SavedValue v = {root, key, name ? name : "", false, 0, {}};
  v.existed = qvt::ReadRaw(root, key, name, &v.data, &v.type);
  saved_.push_back(v);
}

void WashEnvironment::Redirect(const char* name, const std::string& path) {
  Save(HKEY_CURRENT_USER, kUserShellFolders, name);
  qvt::WriteString(HKEY_CURRENT_USER, kUserShellFolders, name, path.c_str());
}

std::vector<std::string> WashEnvironment::PanelCalls() const {
  std::vector<std::string> lines;
  std::string text;
  if (!qvt::ReadFile(panelLog, &text)) return lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(text.substr(at, end - at));
  return lines;
}

bool WashEnvironment::PanelEnded(DWORD timeoutMs) const {
  return qvt::WaitUntil(
      [&] {
        std::vector<std::string> calls = PanelCalls();
        return !calls.empty() && calls.back() == "end";
      },
      timeoutMs);
}

void UntickAllItems() {
  for (const char* s : {"ClearRun", "ClearRecent", "ClearFind", "ClearTemp", "ClearIE", "ClearIEHistory",
                        "ClearIEAutoComp", "ClearIECache", "ClearIECookies"})
    qvt::WriteDword(HKEY_CURRENT_USER, qvt::kToolbarKey, s, 0);
  for (const std::string& rule : ShippedRuleNames()) SetRuleTick(rule, false);
}

std::vector<std::string> ShippedRuleNames() {
  std::vector<std::string> names;
  std::string text;
  if (!qvt::ReadFile(qvt::BinPath("quorvane-rules.ini"), &text)) return names;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    size_t close = line.find(']');
    if (!line.empty() && line[0] == '[' && close != std::string::npos) names.push_back(line.substr(1, close - 1));
  }
  return names;
}

void SetRuleTick(const std::string& rule, bool ticked) {
  qvt::WriteDword(HKEY_CURRENT_USER, qvt::kToolbarKey, ("Rule:" + rule).c_str(), ticked ? 1 : 0);
}

void MakeRecent(const WashEnvironment& env) {
  CreateDirectoryA((env.recent + "sub").c_str(), nullptr);
  for (const char* file : {"a.lnk", "b.lnk", "sub\\c.lnk"}) qvt::WriteFile(env.recent + file, std::string(100, 'r'));
  qvt::WriteString(HKEY_CURRENT_USER, kRecentDocs, "0", "document");
}

}  // namespace washt
