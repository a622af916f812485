// The self-deleting batch file (see cleanupbatch.h).
#include "common/cleanupbatch.h"

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/paths.h"

namespace {

constexpr int kBatchNames = 200;
constexpr size_t kCmdPathChars = MAX_PATH * 3;  // a path with every "%" doubled
// Only administrators and the system: full access; nobody else anything.
constexpr const char* kAdminsOnly = "D:P(A;;FA;;;BA)(A;;FA;;;SY)";

// text with every "%" doubled; false when it does not fit.
bool Escaped(const char* text, char* out, size_t cap) {
  size_t n = 0;
  for (const char* p = text; *p; ++p) {
    size_t need = *p == '%' ? 2 : 1;
    if (n + need + 1 > cap) return false;
    out[n++] = *p;
    if (*p == '%') out[n++] = '%';
  }
  out[n] = 0;
  return true;
}

// wide in the OEM code page; false when a character has no exact spelling there.
bool ToOem(const wchar_t* wide, char* out, size_t cap) {
  UINT oem = GetOEMCP();
  BOOL lossy = FALSE;
  int n = oem == CP_UTF8 ? WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(cap), nullptr, nullptr)
                         : WideCharToMultiByte(oem, WC_NO_BEST_FIT_CHARS, wide, -1, out, static_cast<int>(cap),
                                               nullptr, &lossy);
  return n > 0 && !lossy;
}

struct Text {
  char* out;
  size_t cap;
  size_t used;
  bool ok;
};

void Line(Text& t, const char* format, const char* a = "", const char* b = "") {
  if (!t.ok) return;
  int n = snprintf(t.out + t.used, t.cap - t.used, format, a, b);
  if (n < 0 || static_cast<size_t>(n) + 2 >= t.cap - t.used) {
    t.ok = false;
    return;
  }
  t.used += static_cast<size_t>(n);
  memcpy(t.out + t.used, "\r\n", 3);
  t.used += 2;
}

bool IsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                  elevation.TokenIsElevated;
  CloseHandle(token);
  return elevated;
}

// A new batch file in TEMP: "delme<n>.bat" for the first n that can be made. An old
// unused one is replaced when asked (deleted, then made anew, so that it never
// keeps another owner's security).
HANDLE CreateBatchFile(const char* temp, bool overwriteOld, char* name, size_t nameCap) {
  PSECURITY_DESCRIPTOR security = CleanupBatchSecurity();
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int i = 1; i <= kBatchNames && file == INVALID_HANDLE_VALUE; ++i) {
    char path[MAX_PATH];
    snprintf(name, nameCap, "delme%i.bat", i);
    if (!JoinPath(path, sizeof path, temp, name)) break;
    if (overwriteOld) DeleteFileA(path);
    file = CreateFileA(path, GENERIC_WRITE, 0, security ? &attributes : nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN,
                       nullptr);
  }
  if (security) LocalFree(security);
  return file;
}

// Starts the batch hidden by its bare name, with TEMP as the working folder.
bool StartBatch(const char* temp, const char* name) {
  char system[MAX_PATH] = {}, cmd[MAX_PATH];
  UINT n = GetSystemDirectoryA(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !JoinPath(cmd, sizeof cmd, system, "cmd.exe")) return false;
  char line[64];
  snprintf(line, sizeof line, "cmd.exe /c %s", name);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(cmd, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, temp, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Without a batch: every file, then the folder, for the next restart.
CleanupOutcome ScheduleAll(const CleanupBatch& batch) {
  bool all = true;
  for (int i = 0; i < batch.fileCount; ++i) {
    char path[MAX_PATH];
    all = JoinPath(path, sizeof path, batch.folder, batch.files[i]) &&
          MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) && all;
  }
  if (batch.removeFolder) all = MoveFileExA(batch.folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) && all;
  return all ? kCleanupScheduled : kCleanupFailed;
}

}  // namespace

bool CommandProcessorPath(const char* path, char* out, size_t cap) {
  wchar_t wide[MAX_PATH * 2];
  if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, MAX_PATH * 2)) return false;
  char oem[kCmdPathChars];
  if (!ToOem(wide, oem, sizeof oem)) {
    wchar_t shortName[MAX_PATH * 2];
    DWORD n = GetShortPathNameW(wide, shortName, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2 || !ToOem(shortName, oem, sizeof oem)) return false;
  }
  return !strchr(oem, '"') && Escaped(oem, out, cap);
}

bool BuildCleanupBatchText(const char* folder, const char* const* files, int fileCount, const char* batchName,
                           char* out, size_t cap) {
  char tries[16];
  snprintf(tries, sizeof tries, "%d", kCleanupTries);
  Text t = {out, cap, 0, cap > 0};
  if (t.ok) out[0] = 0;
  Line(t, "%s");
  Line(t, "@echo off");
  Line(t, "set /a qvTries=0");
  Line(t, ":myLabel");
  for (int i = 0; i < fileCount; ++i) Line(t, "del \"%s\"", files[i]);
  Line(t, "set /a qvTries+=1");
  Line(t, "if %%qvTries%% GEQ %s goto qvDone", tries);
  Line(t, "set /a qvLeft=0");
  for (int i = 0; i < fileCount; ++i) Line(t, "if exist \"%s\" set /a qvLeft+=1", files[i]);
  Line(t, "if %%qvLeft%% GTR 0 ping -n 2 127.0.0.1 >nul");
  Line(t, "if %%qvLeft%% GTR 0 goto myLabel");
  Line(t, ":qvDone");
  if (folder) Line(t, "rd \"%s\"", folder);
  Line(t, "del \"%s\"", batchName);
  return t.ok;
}

PSECURITY_DESCRIPTOR CleanupBatchSecurity() {
  if (!IsElevated()) return nullptr;
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminsOnly, SDDL_REVISION_1, &security, nullptr))
    return nullptr;
  return security;
}

CleanupOutcome WriteAndStartCleanupBatch(const CleanupBatch& batch) {
  char temp[MAX_PATH] = {};
  if (!TempFolderPath(temp, sizeof temp)) return ScheduleAll(batch);
  // Every path as the command processor will read it; one it cannot read means no batch.
  std::vector<std::vector<char>> files(static_cast<size_t>(batch.fileCount), std::vector<char>(kCmdPathChars));
  std::vector<const char*> names;
  for (int i = 0; i < batch.fileCount; ++i) {
    char path[MAX_PATH];
    if (!JoinPath(path, sizeof path, batch.folder, batch.files[i]) ||
        !CommandProcessorPath(path, files[i].data(), kCmdPathChars))
      return ScheduleAll(batch);
    names.push_back(files[i].data());
  }
  char folder[kCmdPathChars];
  if (batch.removeFolder && !CommandProcessorPath(batch.folder, folder, sizeof folder)) return ScheduleAll(batch);
  char name[32];
  HANDLE file = CreateBatchFile(temp, batch.overwriteOld, name, sizeof name);
  if (file == INVALID_HANDLE_VALUE) return kCleanupFailed;
  size_t cap = (static_cast<size_t>(batch.fileCount) * 2 + 2) * (kCmdPathChars + 40) + 512;
  std::vector<char> text(cap);
  bool ok = BuildCleanupBatchText(batch.removeFolder ? folder : nullptr, names.data(), batch.fileCount, name,
                                  text.data(), cap);
  DWORD written = 0;
  DWORD length = ok ? static_cast<DWORD>(strlen(text.data())) : 0;
  ok = ok && WriteFile(file, text.data(), length, &written, nullptr) && written == length;
  CloseHandle(file);
  char path[MAX_PATH];
  JoinPath(path, sizeof path, temp, name);
  if (!ok || !StartBatch(temp, name)) {
    DeleteFileA(path);
    return ScheduleAll(batch);
  }
  return kCleanupStarted;
}
