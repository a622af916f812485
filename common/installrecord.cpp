// The record of what setup wrote into the install folder (see installrecord.h).
#include "common/installrecord.h"

#include <bcrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/treewalk.h"

namespace {

constexpr const char* kFamilyKey = "Software\\Quorvane\\Quorvanes";
constexpr DWORD kReadChunk = 1 << 16;

bool Sha256(HANDLE file, unsigned long long* size, unsigned char digest[32]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  bool ok = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  std::vector<unsigned char> chunk(kReadChunk);
  LARGE_INTEGER start = {};
  ok = ok && SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
  *size = 0;
  for (DWORD got = 1; ok && got > 0;) {
    ok = ReadFile(file, chunk.data(), kReadChunk, &got, nullptr) &&
         BCRYPT_SUCCESS(BCryptHashData(hash, chunk.data(), got, 0));
    *size += got;
  }
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, 32, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok;
}

bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() >= MAX_PATH || name == "." || name == "..") return false;
  return name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

// "name|size|hash"; false when the line is not one.
bool ParseLine(const char* line, InstalledFile* file) {
  const char* bar = strchr(line, '|');
  const char* second = bar ? strchr(bar + 1, '|') : nullptr;
  if (!bar || !second || strlen(second + 1) != kFingerprintChars - 1) return false;
  char* end = nullptr;
  if (bar[1] < '0' || bar[1] > '9') return false;  // a size of digits only, never empty or signed
  unsigned long long size = strtoull(bar + 1, &end, 10);
  if (end != second) return false;
  file->name.assign(line, bar);
  file->size = size;
  file->hash = second + 1;
  return IsPlainName(file->name);
}

}  // namespace

bool FileFingerprint(HANDLE file, unsigned long long* size, std::string* hash) {
  unsigned char digest[32];
  if (!Sha256(file, size, digest)) return false;
  char hex[kFingerprintChars];
  for (int i = 0; i < 32; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  *hash = hex;
  return true;
}

bool ReadInstallRecord(std::vector<InstalledFile>* files) {
  files->clear();
  DWORD size = 0;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kFamilyKey, kInstalledFilesSetting, RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS)
    return false;
  std::vector<char> data(size + 2);
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kFamilyKey, kInstalledFilesSetting, RRF_RT_REG_MULTI_SZ, nullptr, data.data(),
                   &size) != ERROR_SUCCESS)
    return false;
  for (const char* line = data.data(); *line; line += strlen(line) + 1) {
    InstalledFile file;
    if (ParseLine(line, &file)) files->push_back(file);
  }
  return true;
}

bool WriteInstallRecord(const std::vector<InstalledFile>& files) {
  std::string data;
  for (const InstalledFile& file : files) {
    data += file.name + "|" + std::to_string(file.size) + "|" + file.hash;
    data.push_back('\0');
  }
  data.push_back('\0');
  if (files.empty()) data.push_back('\0');
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFamilyKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExA(key, kInstalledFilesSetting, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

void DeleteInstallRecord() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFamilyKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, kInstalledFilesSetting);
  RegCloseKey(key);
}

const InstalledFile* FindRecorded(const std::vector<InstalledFile>& files, const char* name) {
  for (const InstalledFile& file : files)
    if (lstrcmpiA(file.name.c_str(), name) == 0) return &file;
  return nullptr;
}

bool ParsePackageList(const std::string& text, std::vector<std::string>* names) {
  names->clear();
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    size_t first = line.find_first_not_of(" \t\r"), last = line.find_last_not_of(" \t\r");
    line = first == std::string::npos ? "" : line.substr(first, last - first + 1);
    if (!line.empty()) {
      if (!IsPlainName(line)) return false;
      names->push_back(line);
    }
    at = end + 1;
  }
  return true;
}

RecordMatch MatchRecord(HANDLE folder, const wchar_t* name, const InstalledFile& recorded, HANDLE* opened) {
  *opened = nullptr;
  DWORD error = 0;
  HANDLE file = OpenInFolder(folder, name, DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ, FILE_NON_DIRECTORY_FILE, &error);
  if (file) {
    *opened = file;
  } else if (error == ERROR_SHARING_VIOLATION) {
    file = OpenInFolder(folder, name, FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_NON_DIRECTORY_FILE, &error);
  }
  if (!file && error == ERROR_SHARING_VIOLATION) return kRecordInUse;
  if (!file) return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kRecordGone : kRecordChanged;
  BY_HANDLE_FILE_INFORMATION info;
  unsigned long long size = 0;
  std::string hash;
  bool same = GetFileInformationByHandle(file, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
              info.nNumberOfLinks == 1 && FileFingerprint(file, &size, &hash) && size == recorded.size &&
              hash == recorded.hash;
  if (file != *opened) CloseHandle(file);
  return same ? kRecordMatches : kRecordChanged;
}
