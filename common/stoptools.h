// Closing the family's running tools: by window class, then by window title.
// Setup waits for them (up to 51 passes); the uninstaller makes a single pass.
#pragma once

#include <windows.h>

#include "common/catalogue.h"

struct StopToolsWay {
  const ToolClass* classes;
  int classCount;
  int maxPasses;              // 1: one pass; setup's wait: 51
  bool closeTweakFirst;       // the tweaking tool (first row): WM_CLOSE and pauses before WM_DESTROY
  void (*status)(const char* text);  // "Still running:" texts from the third pass; null: none
  int* runFlags;              // kRunFlagCount flags, set for every tool found; may be null
};

// The passes over the class catalogue.
void CloseToolWindows(const StopToolsWay& way);
// The title pass: every top-level window is offered each fragment in turn.
void CloseTitledWindows(const char* const* titles, int count);
// EnumWindows callback: WM_CLOSE to a window whose title (260 characters) holds the
// fragment (exact case) and no backslash (an Explorer window showing a folder of
// that name stays). Always continues.
BOOL CALLBACK CloseWindowsByTitle(HWND window, LPARAM fragment);
