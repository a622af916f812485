// Writing the restart list: read it, splice in the entry, write it back.
#include "common/restartlist.h"

#include <cstdio>
#include <cstdlib>

#include "common/paths.h"
#include "common/restartsplice.h"

namespace {

constexpr DWORD kListSizeLimit = 1000000;
constexpr DWORD kReadSlack = 1040;

void Fail(const RestartReport& r, const char* first, const char* listPath, const char* middle, bool counted) {
  if (!r.report) return;
  DWORD error = GetLastError();
  char text[1000];
  snprintf(text, sizeof text, "%s%s%s Windows reported this error: ", first, listPath, middle);
  if (r.showError) {
    SetLastError(error);
    r.showError(r.owner, text);
  }
  if (counted && r.errorCount) r.errorCount->fetch_add(1, std::memory_order_relaxed);
}

int WriteAll(HANDLE file, const char* bytes, DWORD n) {
  DWORD written = 0;
  return WriteFile(file, bytes, n, &written, nullptr) && written == n;
}

// A new list holding only the section and the entry. The file is made only when
// none is there (an existing list that could not be read is never replaced), and
// a new file whose text could not be written is removed again.
int CreateList(const char* listPath, const char* shortPath, const RestartReport& r) {
  char text[MAX_PATH + 32];
  size_t n = SpliceRestartEntry("", 0, shortPath, text, sizeof text);
  HANDLE file = CreateFileA(listPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(r, "Couldn't create ", listPath, " to delete a locked file.", true);
    return 0;
  }
  int ok = n > 0 && WriteAll(file, text, static_cast<DWORD>(n));
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(listPath);
    SetLastError(error);
    Fail(r, "Couldn't create ", listPath, " to delete a locked file.", true);
  }
  return ok;
}

// The whole list text into a new buffer of size + kReadSlack bytes, terminated;
// 0 when it is too large or could not be read completely (*failure says which).
char* ReadList(HANDLE file, DWORD* length, const char** failure) {
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || size > kListSizeLimit) {
    *failure = "read";
    return nullptr;
  }
  char* text = static_cast<char*>(malloc(size + kReadSlack));
  if (!text) {
    *failure = "memory";
    return nullptr;
  }
  DWORD got = 0;
  if (!ReadFile(file, text, size, &got, nullptr) || got != size) {
    if (GetLastError() == NO_ERROR) SetLastError(ERROR_READ_FAULT);
    free(text);
    *failure = "read";
    return nullptr;
  }
  text[got] = 0;
  *length = got;
  return text;
}

}  // namespace

int QueueRestartDeletion(const char* path, const RestartReport& r) {
  char listPath[MAX_PATH + 16];
  if (!WindowsFolderFile(listPath, sizeof listPath, kRestartListName)) return 0;
  // Without its short form there is nothing to put on the right side of the entry.
  char shortPath[MAX_PATH] = {};
  DWORD shortLength = GetShortPathNameA(path, shortPath, MAX_PATH);
  if (shortLength == 0 || shortLength >= MAX_PATH) return 0;

  HANDLE file = CreateFileA(listPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return CreateList(listPath, shortPath, r);

  DWORD length = 0;
  const char* failure = nullptr;
  char* old = ReadList(file, &length, &failure);
  DWORD readError = GetLastError();
  CloseHandle(file);
  if (!old) {
    SetLastError(readError);
    if (failure[0] == 'm') Fail(r, "Insufficient memory", "", " to delete a locked file.", true);
    else Fail(r, "Cannot read ", listPath, " to delete a locked file.", false);
    return 0;
  }
  size_t cap = length + kReadSlack;
  char* fresh = static_cast<char*>(malloc(cap));
  if (!fresh) {
    free(old);
    Fail(r, "Insufficient memory", "", " to delete a locked file.", true);
    return 0;
  }
  size_t n = SpliceRestartEntry(old, length, shortPath, fresh, cap);

  int ok = 0;
  file = CreateFileA(listPath, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(r, "Cannot write to ", listPath, " to delete a locked file.", true);
  } else {
    // The new text is the old one with the entry added, so it covers the old length.
    ok = n > 0 && WriteAll(file, fresh, static_cast<DWORD>(n));
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
      SetLastError(error);
      Fail(r, "Cannot write to ", listPath, " to delete a locked file.", true);
    }
  }
  free(old);
  free(fresh);
  return ok;
}
