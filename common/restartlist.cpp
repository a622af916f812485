// Writing the restart list: read it, splice in the entry, write it back.
#include "common/restartlist.h"

#include <cstdio>
#include <cstdlib>

#include "common/restartsplice.h"
#include "lib/Quorvane.h"

namespace {

constexpr DWORD kListSizeLimit = 1000000;
constexpr DWORD kReadSlack = 1040;

struct Reporter {
  int report;
  RestartErrorBox showError;
  std::atomic<int>* errorCount;
};

void Fail(const Reporter& r, const char* first, const char* listPath, const char* middle, bool counted) {
  if (!r.report) return;
  DWORD error = GetLastError();
  char text[1000];
  snprintf(text, sizeof text, "%s%s%s Windows reported this error: ", first, listPath, middle);
  if (r.showError) {
    SetLastError(error);
    r.showError(LibOwnerWindow, text);
  }
  if (counted && r.errorCount) r.errorCount->fetch_add(1, std::memory_order_relaxed);
}

int WriteAll(HANDLE file, const char* bytes, DWORD n) {
  DWORD written = 0;
  return WriteFile(file, bytes, n, &written, nullptr) && written == n;
}

int CreateList(const char* listPath, const char* shortPath, const Reporter& r) {
  HANDLE file = CreateFileA(listPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(r, "Couldn't create ", listPath, " to delete a locked file.", true);
    return 0;
  }
  char text[MAX_PATH + 32];
  size_t n = SpliceRestartEntry("", 0, shortPath, text, sizeof text);
  WriteAll(file, text, static_cast<DWORD>(n));
  CloseHandle(file);
  return 1;
}

}  // namespace

int QueueRestartDeletion(const char* path, int report, RestartErrorBox showError, std::atomic<int>* errorCount) {
  Reporter r = {report, showError, errorCount};
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  char listPath[MAX_PATH + 16];
  snprintf(listPath, sizeof listPath, "%s\\wininit.ini", windows);
  char shortPath[MAX_PATH] = {};
  if (GetShortPathNameA(path, shortPath, MAX_PATH) >= MAX_PATH) shortPath[0] = 0;

  HANDLE file = CreateFileA(listPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return CreateList(listPath, shortPath, r);

  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  if (high != 0 || size > kListSizeLimit) {
    CloseHandle(file);
    Fail(r, "Cannot read ", listPath, " to delete a locked file.", false);
    return 0;
  }
  size_t cap = size + kReadSlack;
  char* old = static_cast<char*>(malloc(cap));
  char* fresh = static_cast<char*>(malloc(cap));
  if (!old || !fresh) {
    free(old);
    free(fresh);
    CloseHandle(file);
    Fail(r, "Insufficient memory", "", " to delete a locked file.", true);
    return 0;
  }
  DWORD got = 0;
  if (!ReadFile(file, old, size, &got, nullptr)) got = 0;
  CloseHandle(file);
  old[got] = 0;
  size_t n = SpliceRestartEntry(old, got, shortPath, fresh, cap);

  int ok = 0;
  file = CreateFileA(listPath, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(r, "Cannot write to ", listPath, " to delete a locked file.", true);
  } else {
    ok = n > 0 && WriteAll(file, fresh, static_cast<DWORD>(n));
    CloseHandle(file);
  }
  free(old);
  free(fresh);
  return ok;
}
