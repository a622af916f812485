// Who may change a folder (see folderacl.h).
#include "common/folderacl.h"

#include <aclapi.h>

namespace {

// FILE_ADD_FILE is FILE_WRITE_DATA and FILE_ADD_SUBDIRECTORY is FILE_APPEND_DATA
// on a file: the same bits.
constexpr ACCESS_MASK kWriteRights =
    FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464, the
// TrustedInstaller service.
struct TrustedInstallerSid {
  BYTE revision;
  BYTE count;
  SID_IDENTIFIER_AUTHORITY authority;
  DWORD sub[6];
};
const TrustedInstallerSid kTrustedInstaller = {
    SID_REVISION, 6, SECURITY_NT_AUTHORITY, {80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}};

bool IsTrusted(PSID sid) {
  if (!sid || !IsValidSid(sid)) return false;
  return IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid) ||
         EqualSid(sid, const_cast<TrustedInstallerSid*>(&kTrustedInstaller));
}

}  // namespace

bool OnlyAdministratorsCanWrite(PSECURITY_DESCRIPTOR security) {
  if (!security || !IsValidSecurityDescriptor(security)) return false;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(security, &owner, &defaulted) || (owner && !IsTrusted(owner))) return false;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted) || !present || !dacl) return false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return false;
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    // Every allowing ACE keeps its mask right after the header.
    ACCESS_MASK mask = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->Mask;
    switch (header->AceType) {
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        if ((mask & kWriteRights) && !IsTrusted(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart))
          return false;
        break;
      case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
      case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        if (mask & kWriteRights) return false;
        break;
      default:  // denying, auditing and label ACEs grant nothing
        break;
    }
  }
  return true;
}

bool OnlyAdministratorsCanWriteFolder(HANDLE folder) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                      nullptr, nullptr, nullptr, &security) != ERROR_SUCCESS)
    return false;
  bool only = OnlyAdministratorsCanWrite(security);
  LocalFree(security);
  return only;
}

namespace {
PSECURITY_DESCRIPTOR (*g_securityReader)(const char* path) = nullptr;
}  // namespace

void SetFolderSecurityReader(PSECURITY_DESCRIPTOR (*reader)(const char* path)) { g_securityReader = reader; }

bool FolderClosedToOthers(const char* path) {
  if (g_securityReader) {
    PSECURITY_DESCRIPTOR security = g_securityReader(path);
    bool closed = security && OnlyAdministratorsCanWrite(security);
    if (security) LocalFree(security);
    return closed;
  }
  HANDLE folder = CreateFileA(path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool closed = GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && OnlyAdministratorsCanWriteFolder(folder);
  CloseHandle(folder);
  return closed;
}
