// Removing one file of an installation.
#include <windows.h>
#include "common/deletefile.h"

#include <windows.h>
#include <shlobj.h>

#include "common/paths.h"

DeleteOutcome DeleteFileWithRetry(const char* folder, const char* name) {
  char path[MAX_PATH];
  if (!JoinPath(path, sizeof path, folder, name)) return kNothingThere;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return kNothingThere;
  for (int failures = 0; !DeleteFileA(path);) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND || ++failures > 10) break;
    Sleep(100);
  }
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA, path, nullptr);
    return kDeleted;
  }
  return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? kScheduled : kNotScheduled;
}
