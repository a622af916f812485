// The work folder of an elevated program (see workfolder.h).
#include "common/workfolder.h"

#include <bcrypt.h>
#include <sddl.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/paths.h"

namespace {

// Full control for administrators and the system, handed down to every file and
// folder made inside; "P": nothing inherited from the parent.
constexpr const char* kWorkFolderSddl = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
constexpr int kNameTries = 8;
constexpr size_t kHexDigits = 16;

bool RandomName(char* out, size_t cap) {
  unsigned char bytes[kHexDigits / 2];
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
  int n = snprintf(out, cap, "%s", kWorkFolderPrefix);
  for (unsigned char b : bytes) n += snprintf(out + n, cap > static_cast<size_t>(n) ? cap - n : 0, "%02x", b);
  return n > 0 && static_cast<size_t>(n) < cap;
}

// The folder just made, opened without following a link and without delete
// sharing; null unless it is a plain folder.
HANDLE HoldMadeFolder(const char* path) {
  HANDLE folder = CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    CloseHandle(folder);
    return nullptr;
  }
  return folder;
}

}  // namespace

bool IsElevatedProcess() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  bool elevated =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) && elevation.TokenIsElevated;
  if (!elevated) {  // the system account, whatever its token says of elevation
    union {
      TOKEN_USER user;
      BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } user;
    elevated = GetTokenInformation(token, TokenUser, &user, sizeof user, &size) &&
               IsWellKnownSid(user.user.User.Sid, WinLocalSystemSid);
  }
  CloseHandle(token);
  return elevated;
}

PSECURITY_DESCRIPTOR WorkFolderSecurity() {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kWorkFolderSddl, SDDL_REVISION_1, &security, nullptr))
    return nullptr;
  return security;
}

bool WorkFolderParent(char* out, size_t cap) {
  if (!IsElevatedProcess()) return TempFolderPath(out, cap);
  char windows[MAX_PATH] = {};
  UINT n = GetSystemWindowsDirectoryA(windows, MAX_PATH);
  return n > 0 && n < MAX_PATH && JoinPath(out, cap, windows, "Temp") && AddTrailingBackslash(out, cap);
}

bool MakeWorkFolder(char* out, size_t cap, HANDLE* held) {
  *held = nullptr;
  char parent[MAX_PATH];
  if (!WorkFolderParent(parent, sizeof parent)) return false;
  PSECURITY_DESCRIPTOR security = WorkFolderSecurity();
  if (!security) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};
  bool made = false;
  for (int i = 0; i < kNameTries && !made; ++i) {
    char name[32];
    // A name that exists already is never taken over: another one is drawn.
    if (!RandomName(name, sizeof name) || !JoinPath(out, cap, parent, name) || !CreateDirectoryA(out, &attributes))
      continue;
    HANDLE folder = HoldMadeFolder(out);
    if (folder && AddTrailingBackslash(out, cap)) {
      *held = folder;
      made = true;
    } else {
      if (folder) CloseHandle(folder);
      RemoveDirectoryA(out);
    }
  }
  LocalFree(security);
  return made;
}

bool IsWorkFolder(const char* folder) {
  char parent[MAX_PATH], full[MAX_PATH];
  if (!folder || !WorkFolderParent(parent, sizeof parent) || !FullFolderPath(folder, full, sizeof full)) return false;
  TrimTrailingBackslashes(full);
  size_t p = strlen(parent), prefix = strlen(kWorkFolderPrefix);
  if (strlen(full) != p + prefix + kHexDigits || _strnicmp(full, parent, p) != 0 ||
      _strnicmp(full + p, kWorkFolderPrefix, prefix) != 0)
    return false;
  for (const char* c = full + p + prefix; *c; ++c)
    if (!isxdigit(static_cast<unsigned char>(*c))) return false;
  return true;
}

void LimitLibrarySearch() {
  // Looked up by name: a Windows without the function still drops the working
  // folder from the search.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto set = kernel ? reinterpret_cast<SetDirectories>(
                          reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                    : nullptr;
  if (!set || !set(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR)) SetDllDirectoryA("");
}
