#include "qvtest.h"

#include <algorithm>
#include <tlhelp32.h>
#include <commctrl.h>
#include <cstdio>

namespace qvt {

std::string BinDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = strrchr(path, '\\');
  if (slash) slash[1] = 0;
  return path;
}

std::string BinPath(const std::string& file) { return BinDir() + file; }

namespace {

// Starts exe with the caller's token (token null) or with token.
Process StartAs(HANDLE token, const std::string& exe, const std::string& arguments, const std::string& folder) {
  Process p;
  std::string line = "\"" + exe + "\"";
  if (!arguments.empty()) line += " " + arguments;
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  const char* in = folder.empty() ? nullptr : folder.c_str();
  if (token ? CreateProcessAsUserA(token, exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, in, &si, &pi)
            : CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, in, &si, &pi)) {
    CloseHandle(pi.hThread);
    p.process = pi.hProcess;
    p.pid = pi.dwProcessId;
    p.tid = pi.dwThreadId;
  }
  return p;
}

}  // namespace

Process Start(const std::string& exe, const std::string& arguments, const std::string& folder) {
  return StartAs(nullptr, exe, arguments, folder);
}

Process StartUnelevated(const std::string& exe, const std::string& arguments, const std::string& folder) {
  HANDLE token = nullptr, primary = nullptr;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  TOKEN_LINKED_TOKEN linked = {};
  DWORD size = 0;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Process();
  bool full = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) &&
              type == TokenElevationTypeFull;
  bool limited = full && GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size);
  CloseHandle(token);
  if (!full) return StartAs(nullptr, exe, arguments, folder);  // no limited half: as the caller runs
  Process p;
  if (limited && DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                                  &primary))
    p = StartAs(primary, exe, arguments, folder);
  if (limited) CloseHandle(linked.LinkedToken);
  if (primary) CloseHandle(primary);
  return p;
}

bool WaitExit(Process& p, DWORD timeoutMs, DWORD* exitCode) {
  if (!p.process) return false;
  DWORD start = GetTickCount();
  for (;;) {
    if (WaitForSingleObject(p.process, 20) == WAIT_OBJECT_0) break;
    if (GetTickCount() - start >= timeoutMs) return false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  if (exitCode) GetExitCodeProcess(p.process, exitCode);
  return true;
}

void Kill(Process& p) {
  if (p.process && WaitForSingleObject(p.process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(p.process, 99);
    WaitForSingleObject(p.process, 5000);
  }
}

void Close(Process& p) {
  Kill(p);
  if (p.process) CloseHandle(p.process);
  p = Process{};
}

std::vector<DWORD> ProcessIds(const char* exeName) {
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 pe = {};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
    if (lstrcmpiA(pe.szExeFile, exeName) == 0 && pe.th32ProcessID != GetCurrentProcessId()) ids.push_back(pe.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

void KillAll(const char* exeName, DWORD timeoutMs, const std::vector<DWORD>& spared) {
  std::vector<HANDLE> killed;
  for (DWORD id : ProcessIds(exeName)) {
    if (std::find(spared.begin(), spared.end(), id) != spared.end()) continue;
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (h) {
      TerminateProcess(h, 99);
      killed.push_back(h);
    }
  }
  for (HANDLE h : killed) {
    WaitForSingleObject(h, timeoutMs);
    CloseHandle(h);
  }
}

bool IsRunning(const char* exeName) { return !ProcessIds(exeName).empty(); }

int SuspendProcess(DWORD pid, bool suspend) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  int changed = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (!thread) continue;
    DWORD before = suspend ? SuspendThread(thread) : ResumeThread(thread);
    if (before != static_cast<DWORD>(-1)) ++changed;
    CloseHandle(thread);
  }
  CloseHandle(snap);
  return changed;
}

std::wstring LongPath(const std::string& path) {
  std::wstring wide(path.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
  wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  return wide.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC\\" + wide.substr(2) : L"\\\\?\\" + wide;
}

bool WriteFileW(const std::wstring& path, const std::string& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

bool ExistsW(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void EmptyTreeW(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      RemoveDirectoryW(path.c_str());  // a link: never entered
      DeleteFileW(path.c_str());
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyTreeW(path + L"\\");
      RemoveDirectoryW(path.c_str());
    } else {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

void EmptyTree(const std::string& folder) { EmptyTreeW(LongPath(folder)); }

void RemoveTree(const std::string& folder) {
  EmptyTree(folder);
  RemoveDirectoryW(LongPath(folder).c_str());
}

namespace {
struct FindData {
  const char* cls;
  const char* title;
  DWORD pid;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
  auto* d = reinterpret_cast<FindData*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (d->pid && pid != d->pid) return TRUE;
  if (d->visibleOnly && !IsWindowVisible(w)) return TRUE;
  if (d->cls && *d->cls && ClassOf(w) != d->cls) return TRUE;
  if (d->title && *d->title && WindowText(w) != d->title) return TRUE;
  d->found.push_back(w);
  return TRUE;
}
}  // namespace

std::vector<HWND> ListTop(const char* cls, DWORD pid) {
  FindData d{cls, nullptr, pid, false, {}};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

HWND FindTop(const char* cls, const char* title, DWORD pid, bool visibleOnly) {
  FindData d{cls, title, pid, visibleOnly, {}};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
  return d.found.empty() ? nullptr : d.found.front();
}

HWND WaitTop(const char* cls, const char* title, DWORD pid, DWORD timeoutMs, bool visibleOnly) {
  HWND w = nullptr;
  WaitUntil([&] { return (w = FindTop(cls, title, pid, visibleOnly)) != nullptr; }, timeoutMs);
  return w;
}

std::string WindowText(HWND w) {
  char text[2048] = {};
  // WM_GETTEXT with a bounded wait, so a hung window cannot block the test.
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                           3000, &len))
    return "";
  return text;
}

std::string ClassOf(HWND w) {
  char cls[256] = {};
  GetClassNameA(w, cls, sizeof cls);
  return cls;
}

bool Send(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD timeoutMs) {
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, timeoutMs, &r)) return false;
  if (result) *result = static_cast<LRESULT>(r);
  return true;
}

bool IsMessageBox(HWND w) { return ClassOf(w) == "#32770" && GetDlgItem(w, 0xFFFF) != nullptr; }

HWND WaitMessageBox(DWORD pid, const char* caption, DWORD timeoutMs) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : ListTop("#32770", pid)) {
          if (IsMessageBox(w) && (!caption || WindowText(w) == caption)) {
            box = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return box;
}

int ListViewCount(HWND list) {
  LRESULT count = 0;
  return Send(list, LVM_GETITEMCOUNT, 0, 0, &count) ? static_cast<int>(count) : 0;
}

std::string ListViewText(HWND list, int item, int subItem) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return "";
  constexpr SIZE_T kText = 1024;
  char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kText, MEM_COMMIT, PAGE_READWRITE));
  std::string text;
  if (remote) {
    LVITEMA request = {};
    request.iSubItem = subItem;
    request.pszText = remote + sizeof(LVITEMA);
    request.cchTextMax = static_cast<int>(kText);
    char buffer[kText] = {};
    LRESULT length = 0;
    if (WriteProcessMemory(process, remote, &request, sizeof request, nullptr) &&
        Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote), &length) &&
        ReadProcessMemory(process, remote + sizeof(LVITEMA), buffer, kText - 1, nullptr))
      text = buffer;
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return text;
}

std::string MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

bool PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) return false;
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

int DismissMessageBoxes(DWORD pid) {
  int n = 0;
  for (HWND w : ListTop("#32770", pid)) {
    if (!IsMessageBox(w)) continue;
    for (int id : {IDOK, IDCANCEL, IDNO, IDYES}) {
      if (GetDlgItem(w, id)) {
        PressButton(w, id);
        ++n;
        break;
      }
    }
  }
  return n;
}

namespace {
struct WorkerArgs {
  void (*fn)(void*);
  void* arg;
};
DWORD WINAPI WorkerThread(LPVOID p) {
  auto* a = static_cast<WorkerArgs*>(p);
  a->fn(a->arg);
  return 0;
}
}  // namespace

std::string AnswerBoxDuring(void (*fn)(void*), void* arg, int buttonId, DWORD timeoutMs) {
  WorkerArgs a{fn, arg};
  HANDLE thread = CreateThread(nullptr, 0, WorkerThread, &a, 0, nullptr);
  std::string text;
  DWORD start = GetTickCount();
  bool answered = false;
  // Messages are pumped while waiting: a box owned by a window of this thread
  // sends to it (WM_ENABLE, activation) before it shows.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 20, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (!answered) {
      HWND box = WaitMessageBox(GetCurrentProcessId(), nullptr, 0);
      if (box) {
        text = MessageBoxText(box);
        if (!PressButton(box, buttonId)) DismissMessageBoxes(GetCurrentProcessId());
        answered = true;
      }
    }
    if (GetTickCount() - start > timeoutMs) {
      // Unblock the worker whatever it shows, then give up.
      DismissMessageBoxes(GetCurrentProcessId());
      if (WaitForSingleObject(thread, 2000) == WAIT_TIMEOUT) TerminateThread(thread, 1);
      break;
    }
  }
  CloseHandle(thread);
  return text;
}

HWND WaitSheet(DWORD pid, const char* title, DWORD timeoutMs) {
  HWND sheet = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : ListTop("#32770", pid)) {
          if (!IsMessageBox(w) && IsWindowVisible(w) && (!title || WindowText(w) == title)) {
            sheet = w;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return sheet;
}

int SheetPageIndex(HWND sheet) {
  LRESULT tab = 0;
  if (!Send(sheet, PSM_GETTABCONTROL, 0, 0, &tab) || !tab) return -1;
  LRESULT index = -1;
  Send(reinterpret_cast<HWND>(tab), TCM_GETCURSEL, 0, 0, &index);
  return static_cast<int>(index);
}

void DeleteTree(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[512];
  for (;;) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::string child = std::string(path) + "\\" + name;
    DeleteTree(root, child.c_str());
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, path);
}

bool ReadRaw(HKEY root, const char* path, const char* name, std::vector<BYTE>* out, DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0, t = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    out->assign(size, 0);
    rc = RegQueryValueExA(key, name, nullptr, &t, out->data(), &size);
    out->resize(size);
  }
  RegCloseKey(key);
  if (type) *type = t;
  return rc == ERROR_SUCCESS;
}

bool ReadDword(HKEY root, const char* path, const char* name, DWORD* out) {
  std::vector<BYTE> data;
  DWORD type = 0;
  if (!ReadRaw(root, path, name, &data, &type) || type != REG_DWORD || data.size() != 4) return false;
  memcpy(out, data.data(), 4);
  return true;
}

bool ReadString(HKEY root, const char* path, const char* name, std::string* out) {
  std::vector<BYTE> data;
  DWORD type = 0;
  if (!ReadRaw(root, path, name, &data, &type) || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  out->assign(reinterpret_cast<const char*>(data.data()), data.size());
  while (!out->empty() && out->back() == 0) out->pop_back();
  return true;
}

bool ValueExists(HKEY root, const char* path, const char* name) {
  std::vector<BYTE> data;
  return ReadRaw(root, path, name, &data, nullptr);
}

void WriteRaw(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void WriteDword(HKEY root, const char* path, const char* name, DWORD value) {
  WriteRaw(root, path, name, REG_DWORD, &value, 4);
}

void WriteString(HKEY root, const char* path, const char* name, const char* text) {
  WriteRaw(root, path, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, n);
  fclose(f);
  return true;
}

std::string TempFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  static int counter = 0;
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%sqvt%lu_%d_%lu\\", temp, GetCurrentProcessId(), ++counter, GetTickCount());
  CreateDirectoryA(name, nullptr);
  return name;
}

}  // namespace qvt

namespace qvt {
void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD vk : keys) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    inputs.push_back(in);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    --it;
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}
}  // namespace qvt

namespace qvt {
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
  HMODULE owner = GetModuleHandleA(dll);
  void* target = owner ? reinterpret_cast<void*>(GetProcAddress(owner, function)) : nullptr;
  if (!module || !target) return nullptr;
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); import->Name; ++import) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
    // The bound entries hold the functions' addresses: the one holding target is it.
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk); slot->u1.Function; ++slot)
      if (reinterpret_cast<void*>(slot->u1.Function) == target) return reinterpret_cast<void**>(&slot->u1.Function);
  }
  return nullptr;
}

void* SetImport(void** slot, void* value) {
  DWORD was = 0;
  if (!slot || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was)) return nullptr;
  void* old = *slot;
  *slot = value;
  VirtualProtect(slot, sizeof *slot, was, &was);
  return old;
}
}  // namespace qvt
