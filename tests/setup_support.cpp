#include "setup_support.h"

#include "common/workfolder.h"

#include <shlobj.h>

#include <cstdio>

namespace setupt {

namespace {

int g_runs = 0;

const char* const kSetupFiles[] = {"setup.exe", "setup.lst", "uninstall.exe", "Quorvane.dll", "qvtoolbar.exe", "qvuac.exe", "qvrunas.exe",
                                   "quorvane-rules.ini"};

std::string CommonPrograms() {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_PROGRAMS, FALSE);
  return path;
}

// Setup opens an Explorer window on the new group through the run-as helper; that
// window's process would outlive the test and keep the test runner waiting on its
// output. It is closed here, after waiting for it when it was asked for; a process
// that stays is ended with the other new Explorers afterwards.
void CloseGroupWindow(const std::string& group, bool opened) {
  HWND window = nullptr;
  auto find = [&] {
    for (const char* cls : {"ExplorerWClass", "CabinetWClass"})
      for (const char* title : {group.c_str(), kProductTitle})
        if ((window = FindWindowA(cls, title)) != nullptr) return true;
    return false;
  };
  if (!(opened ? qvt::WaitUntil(find, 5000) : find())) return;
  PostMessageA(window, WM_CLOSE, 0, 0);
  qvt::WaitUntil([&] { return !IsWindow(window); }, 5000);
}

void DeleteValue(HKEY root, const char* path, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

}  // namespace

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text;
  if (!qvt::ReadFile(path, &text)) return lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(text.substr(at, end - at));
  return lines;
}

SetupRun::SetupRun(bool inTemp) {
  ++g_runs;
  char name[64];
  snprintf(name, sizeof name, "qvsetup%lu_%d\\", GetCurrentProcessId(), g_runs);
  setupFolder = inTemp ? qvt::TempFolder() : std::string("C:\\") + name;
  CreateDirectoryA(setupFolder.c_str(), nullptr);
  for (const char* file : kSetupFiles) CopyFileA(qvt::BinPath(file).c_str(), (setupFolder + file).c_str(), FALSE);
  for (int language = 1; language < 20; ++language) {  // the language files a package carries
    std::string file = "Common_Lang_" + std::to_string(language) + ".txt";
    CopyFileA(qvt::BinPath(file).c_str(), (setupFolder + file).c_str(), FALSE);
  }
  snprintf(name, sizeof name, "C:\\qvinstall%lu_%d\\", GetCurrentProcessId(), g_runs);
  installFolder = name;
  logs_ = qvt::TempFolder();
  explorersBefore_ = qvt::ProcessIds("explorer.exe");
  runAsLog = logs_ + "runas.txt";
  uacLog = logs_ + "uac.txt";
  SetEnvironmentVariableA("QVRUNAS_LOG", runAsLog.c_str());
  SetEnvironmentVariableA("QVUAC_LOG", uacLog.c_str());
}

SetupRun::~SetupRun() {
  if (process.process && !qvt::WaitExit(process, 0)) {
    qvt::DismissMessageBoxes(process.pid);
    qvt::Kill(process);
  }
  qvt::Close(process);
  std::string group = CommonPrograms() + "\\" + kProductTitle;
  bool explorerAsked = false;
  for (const std::string& line : RunAsCalls()) explorerAsked = explorerAsked || line.find("explorer.exe") != std::string::npos;
  CloseGroupWindow(group, explorerAsked);
  qvt::KillAll("qvrunas.exe");
  qvt::KillAll("qvtoolbar.exe");
  // An Explorer that was still starting when its window was looked for (the desktop's stays).
  qvt::KillAll("explorer.exe", 5000, explorersBefore_);
  RemoveTree(group + "\\");
  RemoveTree(installFolder);
  RemoveTree(setupFolder);
  RemoveTree(logs_);
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qvToolbarClass");
  for (const char* key : {".qvg", "ZeltSettings", "CLSID\\{00000000-000a-5A45-4C54-0040f2b7c15e}",
                          "CLSID\\{00000000-000b-5A45-4C54-0040f2b7c15e}"})
    qvt::DeleteTree(HKEY_CLASSES_ROOT, key);
  for (const char* value : {"{00000000-000a-5A45-4C54-0040f2b7c15e}", "{00000000-000b-5A45-4C54-0040f2b7c15e}"})
    DeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", value);
  DeleteValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\Help", "helpComplete.chm");
  qvt::DeleteTree(HKEY_LOCAL_MACHINE, kFamilyKey);
  qvt::DeleteTree(HKEY_CURRENT_USER, kFamilyKey);
  qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
  // The settings backups the runs left in TEMP.
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((std::string(temp) + "Quorvane Settings before Setup *").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do DeleteFileA((std::string(temp) + found.cFileName).c_str());
    while (FindNextFileA(find, &found));
    FindClose(find);
  }
  SetEnvironmentVariableA("QVRUNAS_LOG", nullptr);
  SetEnvironmentVariableA("QVUAC_LOG", nullptr);
}

qvt::Process SetupRun::Start(const std::string& arguments, bool withPath, const std::string& workingFolder) {
  std::string line = arguments;
  if (withPath) line += " /path:\"" + installFolder.substr(0, installFolder.size() - 1) + "\"";
  if (process.process) qvt::Close(process);
  process = qvt::Start(setupFolder + "setup.exe", line, workingFolder);
  return process;
}

long SetupRun::ExitCode() {
  DWORD code = 0;
  return qvt::WaitExit(process, 0, &code) ? static_cast<long>(code) : -1;
}

bool SetupRun::Ends(DWORD timeoutMs) { return qvt::WaitExit(process, timeoutMs); }

std::vector<std::string> SetupRun::RunAsCalls() const { return Lines(runAsLog); }
std::vector<std::string> SetupRun::UacCalls() const { return Lines(uacLog); }

HWND WaitDialog(const qvt::Process& p, const char* title, DWORD timeoutMs) {
  return qvt::WaitTop("#32770", title, p.pid, timeoutMs, true);
}

std::string ControlText(HWND dialog, int id) { return qvt::WindowText(GetDlgItem(dialog, id)); }

std::string WorkParent() {
  char parent[MAX_PATH] = {};
  WorkFolderParent(parent, sizeof parent);
  return parent;
}

bool NoWorkFolderLeft() {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((WorkParent() + "qvwork-*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return true;
  FindClose(find);
  return false;
}

}  // namespace setupt
