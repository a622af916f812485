// Settings the benchmark sets for a while, and gives back as the user had them: at
// the end of the run, or when the run is cut short with Ctrl+C.
#include <cstring>

#include "bench/bench.h"
#include "tray/qvtoolbar.h"

namespace bench {
namespace {

struct SavedSetting {
  std::string name;
  bool existed;
  DWORD type;
  std::vector<BYTE> data;
};
std::vector<SavedSetting> Saved;  // each pinned name's value, or its absence, before the first pin
bool KeyExisted = true;            // false when a pin made the key
CRITICAL_SECTION Lock;             // the run's thread and a Ctrl+C handler's

BOOL WINAPI RestoreOnBreak(DWORD) {
  RestoreSettings();
  return FALSE;  // and the program ends as it would have
}

void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  InitializeCriticalSection(&Lock);
  SetConsoleCtrlHandler(RestoreOnBreak, TRUE);
}

HKEY OpenKey(REGSAM access) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, access, nullptr, &key, &disposition) !=
      ERROR_SUCCESS)
    return nullptr;
  if (disposition == REG_CREATED_NEW_KEY) KeyExisted = false;
  return key;
}

// Remembers the value as it is now (its type and bytes, or its absence), once a name.
void Save(HKEY key, const char* name) {
  for (const SavedSetting& s : Saved)
    if (s.name == name) return;
  SavedSetting s{name, false, REG_NONE, {}};
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
    s.data.resize(size);
    s.existed = RegQueryValueExA(key, name, nullptr, &s.type, size ? s.data.data() : nullptr, &size) ==
                ERROR_SUCCESS;
    s.data.resize(size);
  }
  Saved.push_back(s);
}

void Pin(const char* name, DWORD type, const void* data, DWORD size) {
  Start();
  EnterCriticalSection(&Lock);
  HKEY key = OpenKey(KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (key) {
    Save(key, name);
    if (data) RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    else RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
  LeaveCriticalSection(&Lock);
}

}  // namespace

void PinDword(const char* name, DWORD value) { Pin(name, REG_DWORD, &value, sizeof value); }

void PinText(const char* name, const char* text) { Pin(name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1)); }

void PinAbsent(const char* name) { Pin(name, REG_NONE, nullptr, 0); }

void RestoreSettings() {
  Start();
  EnterCriticalSection(&Lock);
  HKEY key = nullptr;
  if (Saved.empty() ||
      RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    Saved.clear();
    LeaveCriticalSection(&Lock);
    return;
  }
  for (auto s = Saved.rbegin(); s != Saved.rend(); ++s) {
    if (s->existed)
      RegSetValueExA(key, s->name.c_str(), 0, s->type, s->data.empty() ? nullptr : s->data.data(),
                     static_cast<DWORD>(s->data.size()));
    else
      RegDeleteValueA(key, s->name.c_str());
  }
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  if (!KeyExisted && subkeys == 0 && values == 0) RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  Saved.clear();
  LeaveCriticalSection(&Lock);
}

}  // namespace bench
