// Whose settings setup may write: the signed-in user's, when setup runs under that
// user's name. An administrator's name and password given at the elevation prompt
// run setup as that administrator, whose settings are not the user's.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "setup/setup.h"

namespace {

// The user a token belongs to; empty when it cannot be read.
std::vector<BYTE> TokenUser(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size);
  if (!size || !GetTokenInformation(token, ::TokenUser, user.data(), size, &size)) user.clear();
  return user;
}

std::vector<BYTE> ProcessUser(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  std::vector<BYTE> user = TokenUser(token);
  CloseHandle(token);
  return user;
}

// The signed-in user is the one the desktop's shell runs as.
bool RunsAsShellUser() {
  DWORD shellId = 0;
  HWND shell = GetShellWindow();
  if (!shell || !GetWindowThreadProcessId(shell, &shellId) || !shellId) return true;  // no shell: nobody else
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellId);
  if (!process) return false;
  std::vector<BYTE> shellUser = ProcessUser(process);
  CloseHandle(process);
  std::vector<BYTE> ownUser = ProcessUser(GetCurrentProcess());
  if (shellUser.empty() || ownUser.empty()) return false;
  PSID a = reinterpret_cast<TOKEN_USER*>(shellUser.data())->User.Sid;
  PSID b = reinterpret_cast<TOKEN_USER*>(ownUser.data())->User.Sid;
  return EqualSid(a, b) != FALSE;
}

bool (*g_userCheck)() = RunsAsShellUser;

}  // namespace

bool RunsAsSignedInUser() { return g_userCheck(); }

void SetSignedInUserCheck(bool (*check)()) { g_userCheck = check ? check : RunsAsShellUser; }

// The user's family settings, kept in TEMP before anything changes them; not
// when setup runs under another user's name (those settings are not the user's).
void BackUpSettings() {
  if (!WritesUserSettings) {
    SettingsNotBackedUp = 1;
    return;
  }
  char temp[MAX_PATH] = {};
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char file[MAX_PATH + 64];
  snprintf(file, sizeof file, "%s\\Quorvane Settings before Setup %02i_%02i%02i%02i", temp, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  LibExportRegistryKey(0, "HKEY_CURRENT_USER\\Software\\Quorvane", file);
}
