// The self-deleting batch file (see cleanupbatch.h).
#include "common/cleanupbatch.h"

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/paths.h"
#include "common/workfolder.h"

namespace {

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

// The batch file, new beside its work folder: the folder's path and ".bat".
HANDLE CreateBatchFile(const char* workFolder, char* path, size_t cap) {
  int n = snprintf(path, cap, "%s", workFolder);
  if (n <= 0 || static_cast<size_t>(n) >= cap) return INVALID_HANDLE_VALUE;
  TrimTrailingBackslashes(path);
  size_t used = strlen(path);
  n = snprintf(path + used, cap - used, "%s", ".bat");
  if (n <= 0 || static_cast<size_t>(n) >= cap - used) return INVALID_HANDLE_VALUE;
  PSECURITY_DESCRIPTOR security = CleanupBatchSecurity();
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, security ? &attributes : nullptr, CREATE_NEW,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (security) LocalFree(security);
  return file;
}

// A program of the system folder by its full path.
bool SystemProgram(const char* name, char* out, size_t cap) {
  char system[MAX_PATH] = {};
  UINT n = GetSystemDirectoryA(system, MAX_PATH);
  return n > 0 && n < MAX_PATH && JoinPath(out, cap, system, name);
}

// Starts the batch (path) hidden by its bare name, in the folder it lies in.
bool StartBatch(const char* path) {
  char cmd[MAX_PATH], folder[MAX_PATH];
  if (!SystemProgram("cmd.exe", cmd, sizeof cmd) || !FolderPart(folder, sizeof folder, path)) return false;
  char line[MAX_PATH + 32];
  snprintf(line, sizeof line, "cmd.exe /d /v:off /c %s", FileNamePart(path));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(cmd, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Without a batch: every file, then the folder, then the work folder (which holds
// nothing else by then, or only files of this list), for the next restart.
CleanupOutcome ScheduleAll(const CleanupBatch& batch) {
  bool all = true;
  for (int i = 0; i < batch.fileCount; ++i) {
    char path[MAX_PATH];
    all = JoinPath(path, sizeof path, batch.folder, batch.files[i]) &&
          MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) && all;
  }
  if (batch.removeFolder) all = MoveFileExA(batch.folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) && all;
  if (batch.workFolder && !RemoveDirectoryA(batch.workFolder))
    MoveFileExA(batch.workFolder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return all ? kCleanupScheduled : kCleanupFailed;
}

// The paths the batch names besides the files, in the command processor's form.
struct BatchPlaces {
  char folder[kCmdPathChars];
  char pause[kCmdPathChars];
  char workFolder[kCmdPathChars];
};

bool PlacesOf(const CleanupBatch& batch, BatchPlaces* places) {
  char ping[MAX_PATH], work[MAX_PATH];
  snprintf(work, sizeof work, "%s", batch.workFolder);
  TrimTrailingBackslashes(work);
  return SystemProgram("ping.exe", ping, sizeof ping) && CommandProcessorPath(ping, places->pause, kCmdPathChars) &&
         CommandProcessorPath(work, places->workFolder, kCmdPathChars) &&
         (!batch.removeFolder || CommandProcessorPath(batch.folder, places->folder, kCmdPathChars));
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

bool BuildCleanupBatchText(const CleanupBatchPaths& paths, char* out, size_t cap) {
  char tries[16];
  snprintf(tries, sizeof tries, "%d", kCleanupTries);
  Text t = {out, cap, 0, cap > 0};
  if (t.ok) out[0] = 0;
  Line(t, "%s");
  Line(t, "@echo off");
  Line(t, "set /a qvTries=0");
  Line(t, ":myLabel");
  for (int i = 0; i < paths.fileCount; ++i) Line(t, "del \"%s\"", paths.files[i]);
  Line(t, "set /a qvTries+=1");
  Line(t, "if %%qvTries%% GEQ %s goto qvDone", tries);
  Line(t, "set /a qvLeft=0");
  for (int i = 0; i < paths.fileCount; ++i) Line(t, "if exist \"%s\" set /a qvLeft+=1", paths.files[i]);
  Line(t, "if %%qvLeft%% GTR 0 \"%s\" -n 2 127.0.0.1 >nul", paths.pause);
  Line(t, "if %%qvLeft%% GTR 0 goto myLabel");
  Line(t, ":qvDone");
  if (paths.folder) Line(t, "rd \"%s\"", paths.folder);
  Line(t, "rd /s /q \"%s\"", paths.workFolder);
  Line(t, "del \"%s\"", paths.batchName);
  return t.ok;
}

PSECURITY_DESCRIPTOR CleanupBatchSecurity() {
  if (!IsElevatedProcess()) return nullptr;
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdminsOnly, SDDL_REVISION_1, &security, nullptr))
    return nullptr;
  return security;
}

CleanupOutcome WriteAndStartCleanupBatch(const CleanupBatch& batch) {
  if (!batch.workFolder) return ScheduleAll(batch);
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
  BatchPlaces places;
  if (!PlacesOf(batch, &places)) return ScheduleAll(batch);
  char path[MAX_PATH];
  HANDLE file = CreateBatchFile(batch.workFolder, path, sizeof path);
  if (file == INVALID_HANDLE_VALUE) return ScheduleAll(batch);
  size_t cap = (static_cast<size_t>(batch.fileCount) * 2 + 5) * (kCmdPathChars + 40) + 512;
  std::vector<char> text(cap);
  CleanupBatchPaths paths = {names.data(), batch.fileCount, batch.removeFolder ? places.folder : nullptr,
                             places.pause, places.workFolder, FileNamePart(path)};
  bool ok = BuildCleanupBatchText(paths, text.data(), cap);
  DWORD written = 0;
  DWORD length = ok ? static_cast<DWORD>(strlen(text.data())) : 0;
  ok = ok && WriteFile(file, text.data(), length, &written, nullptr) && written == length;
  CloseHandle(file);
  if (!ok || !StartBatch(path)) {
    DeleteFileA(path);
    return ScheduleAll(batch);
  }
  return kCleanupStarted;
}
