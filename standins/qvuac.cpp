// qvuac.exe stand-in: the family's elevated helper. This one only records:
// each start appends its argument string, exactly as received, as one line
// to the call log (QVUAC_LOG, else "qvuac-calls.txt" beside the program).
#include <windows.h>

#include "standins/standin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  AppendLogLine("QVUAC_LOG", "qvuac-calls.txt", ArgumentsOf(GetCommandLineA()));
  return 0;
}
