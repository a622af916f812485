// Closing the family's running tools.
#include "common/stoptools.h"

#include <cstdio>
#include <cstring>

#include "lib/Quorvane.h"

namespace {

constexpr int kNamesChars = 2000;
constexpr int kStatusChars = 1000;
constexpr DWORD kPassPauseMs = 200;

void CloseTweak(HWND window, bool closeFirst) {
  if (closeFirst) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    Sleep(100);
  }
  PostMessageA(window, WM_DESTROY, 0, 0);
  if (closeFirst) Sleep(50);
}

// One pass over the classes: the labels of the tools found, in names.
void ClosePass(const StopToolsWay& way, char* names, size_t cap) {
  names[0] = 0;
  for (int i = 0; i < way.classCount; ++i) {
    const ToolClass& tool = way.classes[i];
    HWND window = FindWindowA(tool.windowClass, nullptr);
    if (!window) continue;
    if (tool.runFlag >= 0 && way.runFlags) way.runFlags[tool.runFlag] = 1;
    if (i == 0) CloseTweak(window, way.closeTweakFirst);
    else PostMessageA(window, WM_CLOSE, 0, 0);
    size_t used = strlen(names);
    snprintf(names + used, cap - used, "%s", tool.label);
  }
}

}  // namespace

BOOL CALLBACK CloseWindowsByTitle(HWND window, LPARAM fragment) {
  char title[MAX_PATH] = {};
  GetWindowTextA(window, title, MAX_PATH);
  const char* text = reinterpret_cast<const char*>(fragment);
  if (text && text[0] && strstr(title, text) && !strchr(title, '\\')) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

void CloseToolWindows(const StopToolsWay& way) {
  char names[kNamesChars];
  for (int pass = 0;;) {
    ClosePass(way, names, sizeof names);
    if (way.maxPasses <= 1) break;
    if (pass > 1 && names[0] && way.status) {
      char status[kStatusChars];
      char stopping[kStatusChars / 2];
      snprintf(stopping, sizeof stopping, "%s", LibTranslate("Stopping all Quorvanes...", 0));
      snprintf(status, sizeof status, "%s %s %s", stopping, LibTranslate("Still running:", 0), names);
      way.status(status);
    }
    if (++pass >= way.maxPasses) break;
    Sleep(kPassPauseMs);
    if (!names[0]) break;
  }
}

void CloseTitledWindows(const char* const* titles, int count) {
  for (int i = 0; i < count; ++i) EnumWindows(CloseWindowsByTitle, reinterpret_cast<LPARAM>(titles[i]));
}
