#include "standins/standin.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kOpenAttempts = 100;  // 100 x 20 ms: two seconds for a busy log file
constexpr DWORD kOpenPauseMs = 20;
constexpr DWORD kLockWaitMs = 5000;
// Appending alone is not atomic under every system (Wine loses lines when
// many processes append at once), so the writers also take turns.
constexpr char kLogMutexName[] = "qvStandinLogMutex";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Full path of the log file into path (MAX_PATH); zero when it does not fit.
int LogPath(const char* envName, const char* defaultName, char* path) {
  DWORD n = GetEnvironmentVariableA(envName, path, MAX_PATH);
  if (n >= MAX_PATH) return 0;  // a longer path is refused, never cut
  if (n > 0) return 1;
  n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  char* slash = strrchr(path, '\\');
  if (slash) slash[1] = 0;
  else path[0] = 0;
  size_t used = strlen(path);
  int written = snprintf(path + used, MAX_PATH - used, "%s", defaultName);
  return written >= 0 && static_cast<size_t>(written) < MAX_PATH - used;
}

bool IsPassingError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Opened for appending only: every write goes to the end of the file, also
// when other processes write to it at the same time.
HANDLE OpenForAppend(const char* path) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (!IsPassingError(GetLastError())) break;
    Sleep(kOpenPauseMs);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

const char* ArgumentsOf(const char* commandLine) {
  const char* p = commandLine ? commandLine : "";
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && !IsBlank(*p)) ++p;
  }
  while (IsBlank(*p)) ++p;
  return p;
}

int AppendLogLine(const char* envName, const char* defaultName, const char* text) {
  char path[MAX_PATH] = {};
  if (!LogPath(envName, defaultName, path)) return 0;
  size_t length = strlen(text);
  if (length > 0x7FFFFFF0u) return 0;
  char* line = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 2));
  if (!line) return 0;
  memcpy(line, text, length);
  line[length] = '\r';
  line[length + 1] = '\n';
  int ok = 0;
  HANDLE lock = CreateMutexA(nullptr, FALSE, kLogMutexName);
  DWORD waited = lock ? WaitForSingleObject(lock, kLockWaitMs) : WAIT_FAILED;
  bool owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  HANDLE file = OpenForAppend(path);  // after a lock timeout the line is still written
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ok = WriteFile(file, line, static_cast<DWORD>(length + 2), &written, nullptr) && written == length + 2;
    CloseHandle(file);
  }
  if (owned) ReleaseMutex(lock);
  if (lock) CloseHandle(lock);
  HeapFree(GetProcessHeap(), 0, line);
  return ok;
}
