// Settings and plain registry access.
//
// Settings are single values directly in one key: under HKEY_CURRENT_USER the
// identity's settings key, under HKEY_LOCAL_MACHINE the family key
// "Software\Quorvane\Quorvanes". Numbers are REG_DWORD, texts REG_SZ with
// their terminator (a number read as text comes back in decimal). Other
// roots have no settings.
#include "quorvane/internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv {

bool SettingsKeyOf(HKEY root, const char** subkey) {
  if (root == HKEY_CURRENT_USER) {
    *subkey = g_identity.settingsKey;
    return g_identity.settingsKey[0] != 0;
  }
  if (root == HKEY_LOCAL_MACHINE) {
    *subkey = kFamilyKey;
    return true;
  }
  return false;
}

bool SettingExists(HKEY root, const char* name) {
  const char* subkey;
  if (!name || !SettingsKeyOf(root, &subkey)) return false;
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

namespace {

bool WriteValue(HKEY root, const char* subkey, const char* name, DWORD type, const void* data, DWORD size) {
  if (!subkey || (size && !data)) return false;
  HKEY key;
  if (RegCreateKeyExA(root, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

// Removes key and everything below it.
bool DeleteKeyTree(HKEY parent, const char* subkey) {
  HKEY key;
  LONG rc = RegOpenKeyExA(parent, subkey, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  char name[256];
  bool ok = true;
  DWORD skipped = 0;  // children that could not be removed stay at the front
  for (;;) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(key, skipped, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (!DeleteKeyTree(key, name)) {
      ok = false;
      ++skipped;
    }
  }
  RegCloseKey(key);
  return RegDeleteKeyA(parent, subkey) == ERROR_SUCCESS && ok;
}

}  // namespace
}  // namespace qv

using namespace qv;

int LibReadSetting(HKEY root, const char* name, char* buffer) {
  if (!buffer) return 0;
  buffer[0] = 0;
  const char* subkey;
  if (!name || !SettingsKeyOf(root, &subkey)) return 0;
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  char* data = nullptr;
  if (rc == ERROR_SUCCESS) {
    data = static_cast<char*>(calloc(size + 1, 1));
    if (!data) rc = ERROR_OUTOFMEMORY;
  }
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (rc == ERROR_SUCCESS) {
    if (type == REG_DWORD && size == 4) {
      DWORD v;
      memcpy(&v, data, 4);
      snprintf(buffer, LIB_SETTING_CHARS, "%ld", static_cast<long>(static_cast<LONG>(v)));
    } else if (strlen(data) < LIB_SETTING_CHARS) {  // data is terminated (calloc'ed one byte more)
      CopyText(buffer, LIB_SETTING_CHARS, data);
    } else {
      rc = ERROR_MORE_DATA;  // refused, never cut: a cut "InstallPath" names another folder
    }
  }
  free(data);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int LibWriteSetting(HKEY root, const char* name, const char* text) {
  const char* subkey;
  if (!name || !SettingsKeyOf(root, &subkey)) return 0;
  if (!text) text = "";
  return WriteValue(root, subkey, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1)) ? 1 : 0;
}

int LibReadSettingInt(HKEY root, const char* name) {
  const char* subkey;
  if (!name || !SettingsKeyOf(root, &subkey)) return -1;
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return -1;
  DWORD type = 0, value = 0, size = sizeof value;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return -1;
  return static_cast<int>(value);
}

int LibWriteSettingInt(HKEY root, const char* name, int value) {
  const char* subkey;
  if (!name || !SettingsKeyOf(root, &subkey)) return 0;
  DWORD v = static_cast<DWORD>(value);
  return WriteValue(root, subkey, name, REG_DWORD, &v, sizeof v) ? 1 : 0;
}

int LibRegReadValue(HKEY root, const char* subkey, const char* name, void* buffer, DWORD size) {
  if (!buffer || !root) return 0;
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
  DWORD inOut = size;
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &inOut);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int LibRegWriteValue(HKEY root, const char* subkey, const char* name, DWORD type, const void* data, DWORD size) {
  if (!root) return 0;
  return WriteValue(root, subkey, name, type, data, size) ? 1 : 0;
}

int LibRegDeleteValue(HKEY root, const char* subkey, const char* name) {
  HKEY key;
  LONG rc = RegOpenKeyExA(root, subkey, 0, KEY_SET_VALUE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return 1;
  if (rc != ERROR_SUCCESS) return 0;
  rc = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? 1 : 0;
}

int LibRegDeleteTree(HKEY root, const char* subkey, int withSubkeys) {
  // An empty subkey would name the root itself: never delete a whole hive.
  if (!root || !subkey || !subkey[0] || subkey[0] == '\\') return 0;
  if (withSubkeys) return DeleteKeyTree(root, subkey) ? 1 : 0;
  HKEY key;
  LONG rc = RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return 1;
  if (rc != ERROR_SUCCESS) return 0;
  DWORD subkeys = 0, values = 0;
  rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                        nullptr, nullptr);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || subkeys || values) return 0;  // only an empty key goes
  return RegDeleteKeyA(root, subkey) == ERROR_SUCCESS ? 1 : 0;
}
