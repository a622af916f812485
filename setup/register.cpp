// Setup's registry step: the install folder, the uninstall entry, the browser
// toolbar objects, the settings file type and the help folder; an older toolbar
// object and the family's "don't show the update message" choices go.
#include <windows.h>
#include <shlobj.h>
#include <cstdio>
#include <cstring>

#include "setup/setup.h"

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\qvToolbarClass";
constexpr const char* kApprovedKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr const char* kOldBand = "{00000000-0008-5A45-4C54-0040f2b7c15e}";

struct ToolbarObject {
  const char* clsid;
  const char* name;
};
constexpr ToolbarObject kToolbarObjects[] = {
    {"{00000000-000a-5A45-4C54-0040f2b7c15e}", "QV-Toolbar BHO"},
    {"{00000000-000b-5A45-4C54-0040f2b7c15e}", "QV-Toolbar"},
};

// A text value with its terminating zero (the default value when name is null).
void WriteText(HKEY root, const char* key, const char* name, const char* text) {
  LibRegWriteValue(root, key, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

// lead + folder + tail; empty when it does not fit (a value that cannot be right is not written).
void InFolder(char* out, size_t cap, const char* tail, const char* lead = "") {
  if (snprintf(out, cap, "%s%s%s", lead, InstallFolder, tail) >= static_cast<int>(cap)) out[0] = 0;
}

void WriteUninstallEntry() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  char uninstaller[MAX_PATH * 2];
  InFolder(uninstaller, sizeof uninstaller, "\\uninstall.exe");
  RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kProductTitle),
                 static_cast<DWORD>(strlen(kProductTitle) + 1));
  if (uninstaller[0])
    RegSetValueExA(key, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(uninstaller),
                   static_cast<DWORD>(strlen(uninstaller) + 1));
  RegCloseKey(key);
}

void RegisterSettingsFileType() {
  WriteText(HKEY_CLASSES_ROOT, ".qvg", nullptr, "ZeltSettings");
  char name[500];
  snprintf(name, sizeof name, "%s", LibTranslate("Quorvane Settings", 0));
  WriteText(HKEY_CLASSES_ROOT, "ZeltSettings", nullptr, name);
  char text[MAX_PATH * 2];
  InFolder(text, sizeof text, "\\Quorvane.dll,0");
  if (text[0]) WriteText(HKEY_CLASSES_ROOT, "ZeltSettings\\DefaultIcon", nullptr, text);
  WriteText(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell", nullptr, "open");
  WriteText(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\open", nullptr, "&Import Settings");
  // The program path quoted: in a folder with a blank ("C:\Program Files\Quorvane")
  // an unquoted path would start "C:\Program.exe" where one lies.
  InFolder(text, sizeof text, "\\qvtoolbar.exe\" \"%1\" %*", "\"");
  if (text[0]) WriteText(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\open\\command", nullptr, text);
  WriteText(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\edit", nullptr, "&Edit");
  WriteText(HKEY_CLASSES_ROOT, "ZeltSettings\\Shell\\edit\\command", nullptr, "NOTEPAD.EXE \"%1\"");
}

}  // namespace

void RegisterToolbarObjects() {
  char module[MAX_PATH * 2];
  InFolder(module, sizeof module, "\\qvtoolbar.dll");
  for (const ToolbarObject& object : kToolbarObjects) {
    char key[128], server[160];
    snprintf(key, sizeof key, "CLSID\\%s", object.clsid);
    snprintf(server, sizeof server, "%s\\InProcServer32", key);
    WriteText(HKEY_CLASSES_ROOT, key, nullptr, object.name);
    if (module[0]) WriteText(HKEY_CLASSES_ROOT, server, nullptr, module);
    WriteText(HKEY_CLASSES_ROOT, server, "ThreadingModel", "Apartment");
    WriteText(HKEY_LOCAL_MACHINE, kApprovedKey, object.clsid, object.name);
  }
}

void RegisterProduct() {
  LibWriteSetting(HKEY_LOCAL_MACHINE, "InstallPath", InstallFolder);
  LibWriteSettingInt(HKEY_LOCAL_MACHINE, kInstallFolderCreatedSetting, InstallFolderCreated);
  WriteUninstallEntry();
  if (ToolCatalogue[kWebdeckTool].selected) RegisterToolbarObjects();
  RegisterSettingsFileType();
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  SHChangeNotify(0, SHCNF_FLUSH, nullptr, nullptr);
  WriteText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\Help", "helpComplete.chm", InstallFolder);
  // The older browser band object.
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", kOldBand);
  char oldKey[80];
  snprintf(oldKey, sizeof oldKey, "CLSID\\%s", kOldBand);
  LibRegDeleteTree(HKEY_CLASSES_ROOT, oldKey, 1);
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kApprovedKey, kOldBand);
  // Update reminders appear again after an installation (for the user, when setup
  // runs as the user).
  if (!WritesUserSettings) return;
  LibRegDeleteValue(HKEY_CURRENT_USER, "Software\\Quorvane", "UpdateMsgMin");
  LibRegDeleteValue(HKEY_CURRENT_USER, "Software\\Quorvane", "DontShowUpdateMsg");
  for (int i = 0; i < 10; ++i) {
    char name[32];
    snprintf(name, sizeof name, "DontShowUpdateMsg%i", i);
    LibRegDeleteValue(HKEY_CURRENT_USER, "Software\\Quorvane", name);
  }
}
