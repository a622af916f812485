// Test support: programs, windows, messages, registry and message boxes.
// Every wait is bounded; nothing here can hang on a dialog.
#pragma once

#include <windows.h>
#include <string>
#include <vector>
#include <initializer_list>

namespace qvt {

// Folder of the test program (the build's bin folder), with a trailing backslash.
std::string BinDir();
std::string BinPath(const std::string& file);

// A started program. Close() kills it when it is still running.
struct Process {
  HANDLE process = nullptr;
  DWORD pid = 0;
  DWORD tid = 0;
};
Process Start(const std::string& exe, const std::string& arguments, const std::string& folder = "");
// The same without elevation, as a user's own start or scheduled task runs it: an
// elevated caller starts it with its linked limited token (Wine starts every
// program elevated, with such a token beside). No process when that fails.
Process StartUnelevated(const std::string& exe, const std::string& arguments, const std::string& folder = "");
bool WaitExit(Process& p, DWORD timeoutMs, DWORD* exitCode = nullptr);
void Kill(Process& p);
void Close(Process& p);
// The processes of that program name (the test process itself left out).
std::vector<DWORD> ProcessIds(const char* exeName);
// Ends every running process of that file name (e.g. "qvtoolbar.exe") but the
// spared ones; waits up to timeoutMs for each.
void KillAll(const char* exeName, DWORD timeoutMs = 5000, const std::vector<DWORD>& spared = {});
// A process of that file name runs (other than this one).
bool IsRunning(const char* exeName);
// Suspends (or resumes) every thread of that process, so that it stays where it
// is, holding what it holds, until the test lets it go on; the threads changed.
int SuspendProcess(DWORD pid, bool suspend);

// Polls every 20 ms until cond() is true or the time is up.
template <typename F>
bool WaitUntil(F cond, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(20);
  }
}

// Top-level windows; pid 0 means any process, an empty text means any.
HWND FindTop(const char* cls, const char* title, DWORD pid = 0, bool visibleOnly = false);
HWND WaitTop(const char* cls, const char* title, DWORD pid, DWORD timeoutMs, bool visibleOnly = false);
std::vector<HWND> ListTop(const char* cls, DWORD pid);
std::string WindowText(HWND w);
std::string ClassOf(HWND w);

// Sends with a bounded wait; false when the call timed out or failed.
bool Send(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result = nullptr, DWORD timeoutMs = 5000);

// Message boxes ("#32770" with the static 0xFFFF).
bool IsMessageBox(HWND w);
HWND WaitMessageBox(DWORD pid, const char* caption, DWORD timeoutMs);
std::string MessageBoxText(HWND box);
bool PressButton(HWND dialog, int id);
// Closes every message box that process shows; returns how many.
int DismissMessageBoxes(DWORD pid);
// Runs fn on a worker thread and answers the first message box of this process with
// button id; returns the box's text, "" when no box came within timeoutMs.
std::string AnswerBoxDuring(void (*fn)(void*), void* arg, int buttonId, DWORD timeoutMs);

// A list view's row count, and a cell's text read through the owning process's
// memory (LVM_GETITEMTEXT is not carried across processes); "" when it cannot be read.
int ListViewCount(HWND list);
std::string ListViewText(HWND list, int item, int subItem);

// Property sheet of a process by title, and its current page index.
HWND WaitSheet(DWORD pid, const char* title, DWORD timeoutMs);
int SheetPageIndex(HWND sheet);

// Registry.
void DeleteTree(HKEY root, const char* path);
bool ReadDword(HKEY root, const char* path, const char* name, DWORD* out);
bool ReadString(HKEY root, const char* path, const char* name, std::string* out);
bool ReadRaw(HKEY root, const char* path, const char* name, std::vector<BYTE>* out, DWORD* type);
bool ValueExists(HKEY root, const char* path, const char* name);
void WriteDword(HKEY root, const char* path, const char* name, DWORD value);
void WriteString(HKEY root, const char* path, const char* name, const char* text);
void WriteRaw(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size);

// Files.
bool FileExists(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
bool ReadFile(const std::string& path, std::string* bytes);
std::string TempFolder();  // a fresh folder under %TEMP%, trailing backslash
// Deletes everything in the folder (its name ends in a backslash), names the code
// page cannot spell and paths of any length included, links removed and never
// entered; RemoveTree also the folder.
void EmptyTree(const std::string& folder);
void RemoveTree(const std::string& folder);
// Wide files for names the code page cannot spell: the literal ("\\?\") form of a
// full ANSI path, a file written, a name that exists, a folder (ending in "\") emptied.
std::wstring LongPath(const std::string& path);
bool WriteFileW(const std::wstring& path, const std::string& bytes);
bool ExistsW(const std::wstring& path);
void EmptyTreeW(const std::wstring& folder);
// Calls fn(name, found) for every entry of the folder (its name ends in a
// backslash) but "." and "..".
template <typename F>
void ForEachEntry(const std::string& folder, F fn) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") fn(name, found);
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// The tray program's settings key (HKEY_CURRENT_USER).
constexpr const char* kToolbarKey = "Software\\AppDataLow\\Software\\Quorvane\\Toolbar";
constexpr const char* kTrayClass = "qvToolbarClass";

}  // namespace qvt

namespace qvt {
// Presses the keys in order and releases them in reverse (SendInput).
void PressKeys(std::initializer_list<WORD> keys);
}  // namespace qvt

namespace qvt {
// The import address table entry through which module calls dll!function, or
// null when module does not import it: a test replaces one system call of a
// program's code in this process with SetImport, and gives it back the same way.
void** ImportSlot(HMODULE module, const char* dll, const char* function);
// Writes value into the slot; returns what it held.
void* SetImport(void** slot, void* value);
}  // namespace qvt
