// The self-deleting batch file.
#include "common/cleanupbatch.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "common/paths.h"

namespace {

constexpr int kBatchNames = 200;
constexpr size_t kBatchChars = 2600;
constexpr int kBatchTries = 120;  // about one second apart

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

}  // namespace

bool BuildCleanupBatchText(const CleanupBatch& batch, const char* batchPath, char* out, size_t cap) {
  char folder[MAX_PATH * 2], program[MAX_PATH * 2], library[MAX_PATH * 2], self[MAX_PATH * 2];
  char plainProgram[MAX_PATH], plainLibrary[MAX_PATH];
  if (!JoinPath(plainProgram, sizeof plainProgram, batch.folder, batch.program) ||
      !JoinPath(plainLibrary, sizeof plainLibrary, batch.folder, "Quorvane.dll"))
    return false;
  if (!Escaped(batch.folder, folder, sizeof folder) || !Escaped(plainProgram, program, sizeof program) ||
      !Escaped(plainLibrary, library, sizeof library) || !Escaped(batchPath, self, sizeof self))
    return false;
  char tries[16];
  snprintf(tries, sizeof tries, "%d", kBatchTries);
  Text t = {out, cap, 0, cap > 0};
  if (t.ok) out[0] = 0;
  Line(t, "%s");
  Line(t, "@echo off");
  Line(t, "set /a qvTries=0");
  Line(t, ":myLabel");
  Line(t, "del \"%s\"", program);
  Line(t, "del \"%s\"", library);
  Line(t, "set /a qvTries+=1");
  Line(t, "if %%qvTries%% GEQ %s goto qvDone", tries);
  Line(t, "if exist \"%s\" ping -n 2 127.0.0.1 >nul", program);
  Line(t, "if exist \"%s\" goto myLabel", program);
  Line(t, "if exist \"%s\" ping -n 2 127.0.0.1 >nul", library);
  Line(t, "if exist \"%s\" goto myLabel", library);
  Line(t, ":qvDone");
  if (batch.removeFolder) Line(t, "rd \"%s\"", folder);
  Line(t, "del \"%s\"", self);
  return t.ok;
}

bool WriteAndStartCleanupBatch(const CleanupBatch& batch) {
  char temp[MAX_PATH] = {};
  if (!TempFolderPath(temp, sizeof temp)) return false;
  char path[MAX_PATH];
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int i = 1; i <= kBatchNames && file == INVALID_HANDLE_VALUE; ++i) {
    if (snprintf(path, sizeof path, "%sdelme%i.bat", temp, i) >= static_cast<int>(sizeof path)) return false;
    file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, batch.overwriteOld ? CREATE_ALWAYS : CREATE_NEW,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  char text[kBatchChars];
  bool ok = BuildCleanupBatchText(batch, path, text, sizeof text);
  DWORD written = 0;
  DWORD length = ok ? static_cast<DWORD>(strlen(text)) : 0;
  ok = ok && WriteFile(file, text, length, &written, nullptr) && written == length;
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(path);
    return false;
  }
  INT_PTR started =
      reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, path, nullptr, batch.workingFolder, SW_HIDE));
  return started > 32;
}
