// qvuac.exe stand-in: the family's elevated helper. This one only records:
// each start appends its argument string, exactly as received, as one line
// to the call log (QVUAC_LOG, else "qvuac-calls.txt" beside the program); with
// QVUAC_WHERE set, its own path to that log too (where it was started from).
#include <windows.h>

#include "standins/standin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  AppendLogLine("QVUAC_LOG", "qvuac-calls.txt", ArgumentsOf(GetCommandLineA()));
  char self[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (GetEnvironmentVariableA("QVUAC_WHERE", nullptr, 0) && n > 0 && n < MAX_PATH)
    AppendLogLine("QVUAC_WHERE", "qvuac-where.txt", self);
  return 0;
}
