// Browser setting switches driven by the toolbar module and the command line.
// Each handler answers the message with 1; nothing is shown or reported.
#include "tray/qvtoolbar.h"

#include <cstring>

namespace {

constexpr const char* kIeMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kInternetZoneKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
constexpr const char* kSecurityBandKey = "AppEvents\\Schemes\\Apps\\Explorer\\SecurityBand\\.current";
constexpr const char* kSavedSoundName = "SavedByqvWebdeck";
constexpr const char* kShockwaveKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{1171A62F-05D2-11D1-83FC-00A0C9089C5A}",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{D27CDB6E-AE6D-11cf-96B8-444553540000}",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{D27CDB70-AE6D-11cf-96B8-444553540000}",
};

constexpr DWORD kTextLimit = 260;
constexpr DWORD kHomepageBufferBytes = 26000;
constexpr DWORD kMultiStringLimit = 25740;

// The protected homepage and the secondary start pages share this buffer.
char HomepageBuffer[kHomepageBufferBytes];

bool PoliciesAllowed() { return ReadSettingInt("EnableChangePolicies") == 1; }

void WriteText(const char* subkey, const char* name, const char* text) {
  LibRegWriteValue(HKEY_CURRENT_USER, subkey, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

void WriteDword(const char* subkey, const char* name, DWORD value) {
  LibRegWriteValue(HKEY_CURRENT_USER, subkey, name, REG_DWORD, &value, sizeof value);
}

// "yes" (4 bytes) or "no" (3 bytes) in the browser's main key.
void WriteYesNo(const char* name, WPARAM on) { WriteText(kIeMainKey, name, on ? "yes" : "no"); }

// A text value read with the usual limit into a buffer that always ends in a zero.
void ReadText(const char* subkey, const char* name, char (&text)[kTextLimit + 1]) {
  memset(text, 0, sizeof text);
  if (!LibRegReadValue(HKEY_CURRENT_USER, subkey, name, text, kTextLimit)) memset(text, 0, sizeof text);
}

void RestoreInfoBarSound() {
  char saved[kTextLimit + 1];
  ReadText(kSecurityBandKey, kSavedSoundName, saved);
  if (saved[0]) WriteText(kSecurityBandKey, "", saved);
  LibRegDeleteValue(HKEY_CURRENT_USER, kSecurityBandKey, kSavedSoundName);
}

// Keeps the user's sound and silences the information bar. When the sound is
// already silenced (a second switch-off), the sound saved the first time stays.
void SilenceInfoBarSound() {
  char current[kTextLimit + 1];
  ReadText(kSecurityBandKey, "", current);
  char saved[kTextLimit + 1];
  ReadText(kSecurityBandKey, kSavedSoundName, saved);
  if (current[0] || !saved[0]) WriteText(kSecurityBandKey, kSavedSoundName, current);
  WriteText(kSecurityBandKey, "", "");
}

// Copies a multi-string value at exactly the size read; false when it could not be read.
bool CopyMultiString(const char* fromKey, const char* fromName, const char* toKey, const char* toName) {
  DWORD size = kMultiStringLimit;
  if (!QueryRegistryValue(HKEY_CURRENT_USER, fromKey, fromName, HomepageBuffer, &size)) return false;
  LibRegWriteValue(HKEY_CURRENT_USER, toKey, toName, REG_MULTI_SZ, HomepageBuffer, size);
  return true;
}

}  // namespace

LRESULT SetImages(WPARAM on) {
  if (PoliciesAllowed()) WriteYesNo("Display Inline Images", on);
  return 1;
}

LRESULT SetActiveX(WPARAM on) {
  if (!PoliciesAllowed()) return 1;
  WriteDword(kInternetZoneKey, "1200", on ? 0 : 3);
  if (on)
    RestoreInfoBarSound();
  else
    SilenceInfoBarSound();
  return 1;
}

LRESULT SetShockwave(WPARAM on) {
  if (!PoliciesAllowed()) return 1;
  if (on) {
    // A plain deletion: a key with subkeys stays.
    for (const char* key : kShockwaveKeys) RegDeleteKeyA(HKEY_CURRENT_USER, key);
    return 1;
  }
  for (const char* key : kShockwaveKeys) WriteDword(key, "Flags", 1);
  for (const char* key : kShockwaveKeys) WriteText(key, "Version", "*");
  return 1;
}

LRESULT SetStopLoad(WPARAM on) {
  LibWriteSettingInt(HKEY_CURRENT_USER, "StopWhenLoaded", on ? 1 : 0);
  return 1;
}

LRESULT ProtectHomepage(WPARAM on) {
  if (!on) {
    LibWriteSettingInt(HKEY_CURRENT_USER, "ProtectHomepage", 0);
    LibRegDeleteValue(HKEY_CURRENT_USER, kSettingsKey, "ProtectedHomepage");
    LibRegDeleteValue(HKEY_CURRENT_USER, kSettingsKey, "ProtectedHomepg2");
    return 1;
  }
  LibWriteSettingInt(HKEY_CURRENT_USER, "ProtectHomepage", 1);
  memset(HomepageBuffer, 0, sizeof HomepageBuffer);
  if (!LibRegReadValue(HKEY_CURRENT_USER, kIeMainKey, "Start Page", HomepageBuffer, kTextLimit))
    memset(HomepageBuffer, 0, kTextLimit + 1);
  HomepageBuffer[kTextLimit] = 0;
  LibWriteSetting(HKEY_CURRENT_USER, "ProtectedHomepage", HomepageBuffer);
  CopyMultiString(kIeMainKey, "Secondary Start Pages", kSettingsKey, "ProtectedHomepg2");
  return 1;
}

LRESULT RestoreHomepage(WPARAM) {
  memset(HomepageBuffer, 0, sizeof HomepageBuffer);
  LibReadSetting(HKEY_CURRENT_USER, "ProtectedHomepage", HomepageBuffer);
  HomepageBuffer[LIB_SETTING_CHARS - 1] = 0;
  if (HomepageBuffer[0]) WriteText(kIeMainKey, "Start Page", HomepageBuffer);
  CopyMultiString(kSettingsKey, "ProtectedHomepg2", kIeMainKey, "Secondary Start Pages");
  return 1;
}

LRESULT SetAnimations(WPARAM on) {
  WriteYesNo("Play_Animations", on);
  return 1;
}

LRESULT SetSounds(WPARAM on) {
  WriteYesNo("Play_Background_Sounds", on);
  return 1;
}
