// The settings window's pages: the protocol the three pages share, and each
// page's own entry points.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>

#include "common/dpi.h"

// A control's help text; translate says whether it goes through LibTranslate first.
struct PageTip {
  int control;
  const char* text;
  bool translate;
};

// WM_INITDIALOG, the steps every page shares: the page handle, the sheet as the
// owner of message boxes, the page's texts translated, LibPageInit, the tooltip
// control and the page's tips.
void PageInit(HWND page, HWND* handle, const PageTip* tips, size_t tipCount);
// Adds more tips to the page's tooltip control.
void AddPageTips(HWND page, const PageTip* tips, size_t tipCount);
// The tooltip control that belongs to a page or dialog: made with it (and kept in
// LibTooltipWindow as well), found through it, gone with it. Null when it has none.
HWND MakeTooltip(HWND window);
HWND TooltipOf(HWND window);
void ForgetTooltip(HWND window);  // WM_DESTROY
// The sheet's notifications (set active, kill active, apply, reset, help): the
// dialog result is set and the return value of the page procedure given.
// False for every other notification.
bool PageNotify(HWND page, const NMHDR* header, INT_PTR* result);
// A command the page does not handle itself: the library's.
INT_PTR PageCommand(HWND page, WPARAM wParam, LPARAM lParam);
// WM_DESTROY: LibPageDone and the handle cleared.
void PageDone(HWND* handle);
// Tell the sheet that the page has unsaved changes, or that it was just saved.
void MarkPageChanged(HWND page);
void MarkPageSaved(HWND page);
// The page exists (it has been shown and not yet destroyed).
bool IsPageOpen(HWND page);
// A check box's state as the 1/0 the settings store.
int CheckedValue(HWND page, int control);

// The pages' procedures and their share of SaveAllSettings.
INT_PTR CALLBACK ToolbarPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BossKeyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WashPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void SaveToolbarPage(HWND page);

// The Boss-Key page's list and window picker.
void AddBossEntry(HWND list, const char* title, const char* className);
void AddDefaultBossEntries(HWND page);
void FrameWindow(HWND window, bool on);
BOOL CALLBACK ListWindowsProc(HWND window, LPARAM menu);
void SaveBossKeyPage(HWND page);
void SaveWashPage(HWND page);
