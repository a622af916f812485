// The shared path helpers: roots, full and literal forms, joins that never cut,
// double-byte texts, and the hotkey modifiers.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/catalogue.h"
#include "common/paths.h"
#include "support/qvtest.h"

namespace {

std::string Full(const char* path) {
  char out[600] = {};
  return MakeFullPath(path, out, sizeof out) ? out : "<refused>";
}

TEST(PathRoots, RootsOfEveryFormAndWhatLiesBelowThem) {
  EXPECT_EQ(3u, PathRootLength("C:\\x"));
  EXPECT_EQ(0u, PathRootLength("C:x"));
  EXPECT_EQ(0u, PathRootLength("\\x"));
  EXPECT_EQ(0u, PathRootLength("x\\y"));
  EXPECT_EQ(strlen("\\\\srv\\share\\"), PathRootLength("\\\\srv\\share\\x"));
  EXPECT_EQ(strlen("\\\\srv\\share"), PathRootLength("\\\\srv\\share"));
  EXPECT_EQ(0u, PathRootLength("\\\\srv"));
  EXPECT_EQ(7u, PathRootLength("\\\\?\\C:\\x"));
  EXPECT_EQ(strlen("\\\\?\\UNC\\srv\\share\\"), PathRootLength("\\\\?\\UNC\\srv\\share\\x"));
  EXPECT_EQ(strlen("\\\\?\\Volume{1}\\"), PathRootLength("\\\\?\\Volume{1}\\x"));
  EXPECT_EQ(0u, PathRootLength("\\\\.\\nul"));
  EXPECT_EQ(0u, PathRootLength("\\\\?\\GLOBALROOT\\Device\\x"));

  for (const char* root : {"C:\\", "\\\\srv\\share", "\\\\srv\\share\\", "\\\\?\\C:\\", "\\\\?\\C:\\x\\..",
                           "\\\\?\\UNC\\srv\\share\\", "\\\\?\\Volume{1}\\", "C:x", "x"})
    EXPECT_FALSE(IsBelowRoot(root)) << root;
  for (const char* below : {"C:\\x", "\\\\srv\\share\\x", "\\\\?\\C:\\x.", "\\\\?\\Volume{1}\\x"})
    EXPECT_TRUE(IsBelowRoot(below)) << below;

  EXPECT_EQ("C:\\", Full("C:\\x\\.."));
  EXPECT_EQ("C:\\", Full("C:/"));
  EXPECT_EQ("C:\\y", Full("C:/x/../y"));
  EXPECT_EQ("\\\\srv\\share\\", Full("\\\\srv\\share\\."));
  EXPECT_EQ("\\\\?\\C:\\x.", Full("\\\\?\\C:\\x."));  // literal: as it stands
  for (const char* refused : {"C:", "C:x", "*.tmp", "\\x", "", "C:\\dir\\nul"})
    EXPECT_EQ("<refused>", Full(refused)) << refused;
}

TEST(PathJoins, LiteralFormsAndJoinsThatNeverCut) {
  char out[64];
  EXPECT_TRUE(LiteralPath("C:\\d\\nul", out, sizeof out));
  EXPECT_STREQ("\\\\?\\C:\\d\\nul", out);
  EXPECT_TRUE(LiteralPath("\\\\srv\\share\\x.", out, sizeof out));
  EXPECT_STREQ("\\\\?\\UNC\\srv\\share\\x.", out);
  EXPECT_FALSE(LiteralPath("C:\\d\\..\\x", out, sizeof out));  // only the plain form resolves ".."
  EXPECT_STREQ("C:\\d\\..\\x", out);
  EXPECT_FALSE(LiteralPath("relative", out, sizeof out));
  char wide[600];
  std::string longPath = "C:\\" + std::string(MAX_PATH - 6, 'x');  // fits MAX_PATH only without the prefix
  EXPECT_FALSE(LiteralPath(longPath.c_str(), wide, sizeof wide));
  EXPECT_EQ(longPath, wide);

  char small[8] = "C:\\ab";
  EXPECT_FALSE(JoinPath(small, sizeof small, small, "cde"));  // 9 characters do not fit
  EXPECT_STREQ("C:\\ab", small);                              // and nothing was cut in
  EXPECT_TRUE(JoinPath(small, sizeof small, small, "c"));
  EXPECT_STREQ("C:\\ab\\c", small);
  EXPECT_TRUE(JoinPath(out, sizeof out, "C:\\", "x"));
  EXPECT_STREQ("C:\\x", out);
  EXPECT_TRUE(JoinPath(out, sizeof out, "", "x"));
  EXPECT_STREQ("x", out);
  char full[4] = "abc";
  EXPECT_FALSE(AddTrailingBackslash(full, sizeof full));
  EXPECT_TRUE(FolderPart(out, sizeof out, "C:\\d\\f.txt"));
  EXPECT_STREQ("C:\\d\\", out);
  EXPECT_STREQ("f.txt", FileNamePart("C:\\d\\f.txt"));
  EXPECT_TRUE(IsDotsEntry("..") && IsDotsEntry(".") && !IsDotsEntry("...") && !IsDotsEntry(".x"));
}

// Run by ctest in a Japanese locale (code page 932): the trail byte 0x5C of a
// double-byte character is no backslash.
TEST(PathDoubleByte, ATrailByteBackslashIsNoSeparator) {
  if (GetACP() != 932) GTEST_SKIP() << "needs code page 932 (ctest sets the locale)";
  const char folder[] = "C:\\\x95\x5c";  // "C:\" and one double-byte character ending in 0x5C
  EXPECT_FALSE(EndsWithBackslash(folder));
  EXPECT_EQ(folder + 2, LastBackslash(folder));
  char out[32];
  EXPECT_TRUE(JoinPath(out, sizeof out, folder, "x"));
  EXPECT_STREQ("C:\\\x95\x5c\\x", out);
  snprintf(out, sizeof out, "%s", folder);
  EXPECT_TRUE(AddTrailingBackslash(out, sizeof out));
  EXPECT_STREQ("C:\\\x95\x5c\\", out);
  EXPECT_STREQ("\x95\x5c", FileNamePart(folder));
}

TEST(Hotkeys, FlagsMapToModifiersAndTheExtendedFlagToTheWindowsKey) {
  int all = ((HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | 'Q';
  EXPECT_EQ(static_cast<UINT>(MOD_SHIFT | MOD_CONTROL | MOD_ALT), HotkeyModifiers(all));
  EXPECT_EQ(static_cast<UINT>('Q'), HotkeyVirtualKey(all));
  EXPECT_EQ(static_cast<UINT>(MOD_WIN), HotkeyModifiers((HOTKEYF_EXT << 8) | VK_SPACE));
  EXPECT_EQ(static_cast<UINT>(MOD_ALT), HotkeyModifiers(1056));  // Alt+Space
}

std::string HotkeyText(int value, size_t cap = 100) {
  char out[100];
  memset(out, 'x', sizeof out);
  HotkeyName(value, out, cap);
  return out;
}

TEST(Hotkeys, NamesAreTheModifiersThenTheKeyAsTheLayoutNamesIt) {
  EXPECT_EQ("Ctrl+Shift+Alt+F11", HotkeyText(((HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_ALT) << 8) | VK_F11));
  EXPECT_EQ("Shift+Win+F7", HotkeyText(((HOTKEYF_EXT | HOTKEYF_SHIFT) << 8) | VK_F7));
  EXPECT_EQ("Ctrl+Q", HotkeyText((HOTKEYF_CONTROL << 8) | 'Q'));
  EXPECT_EQ("Alt+", HotkeyText(1056).substr(0, 4));  // Alt+Space, named by the layout
  EXPECT_GT(HotkeyText(1056).size(), 4u);
  EXPECT_EQ("Ctrl+", HotkeyText((HOTKEYF_CONTROL << 8) | VK_F11, 6).substr(0, 5));  // cut, terminated
  EXPECT_LT(HotkeyText((HOTKEYF_CONTROL << 8) | VK_F11, 6).size(), 6u);
}

// GetKeyNameText as the helper calls it.
std::vector<LONG> g_keyNameRequests;
int WINAPI RecordKeyName(LONG lParam, LPSTR out, int cap) {
  g_keyNameRequests.push_back(lParam);
  return snprintf(out, static_cast<size_t>(cap), "key");
}

// Page Up shares its scan code with the number pad's 9, Delete with its decimal
// point: only the extended flag tells them apart (Wine names them apart without it).
TEST(Hotkeys, KeysBesideTheNumberPadAreAskedForAsExtended) {
  void** slot = qvt::ImportSlot(GetModuleHandleA(nullptr), "user32.dll", "GetKeyNameTextA");
  ASSERT_NE(nullptr, slot);
  void* real = qvt::SetImport(slot, reinterpret_cast<void*>(RecordKeyName));
  struct Asked {
    int key;
    bool extended;
    std::vector<LONG> requests;
  };
  Asked asked[] = {{VK_PRIOR, true, {}}, {VK_NUMPAD9, false, {}}, {VK_DELETE, true, {}},
                   {VK_DECIMAL, false, {}}, {VK_F11, false, {}}};
  for (Asked& a : asked) {
    g_keyNameRequests.clear();
    HotkeyText(a.key);
    a.requests = g_keyNameRequests;
  }
  qvt::SetImport(slot, real);
  const LONG extendedFlag = 1 << 24;
  for (const Asked& a : asked) {
    // (A key without a scan code here is named by its number, without asking.)
    if (a.extended) {
      ASSERT_EQ(1u, a.requests.size()) << a.key;
    }
    for (LONG lParam : a.requests) EXPECT_EQ(a.extended, (lParam & extendedFlag) != 0) << a.key;
  }
}

// RegisterHotKey as the helper calls it, through this program's import table.
struct HotkeyCall {
  UINT modifiers;
  UINT key;
};
std::vector<HotkeyCall> g_hotkeyCalls;
bool g_noRepeatUnknown;  // answers as Vista does

BOOL WINAPI RecordRegisterHotKey(HWND, int, UINT modifiers, UINT key) {
  g_hotkeyCalls.push_back({modifiers, key});
  if (g_noRepeatUnknown && (modifiers & MOD_NOREPEAT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

TEST(Hotkeys, AHeldKeyFiresOnceAndSystemsWithoutThatFlagGetTheKeyAnyway) {
  void** slot = qvt::ImportSlot(GetModuleHandleA(nullptr), "user32.dll", "RegisterHotKey");
  ASSERT_NE(nullptr, slot);
  void* real = qvt::SetImport(slot, reinterpret_cast<void*>(RecordRegisterHotKey));
  const int value = ((HOTKEYF_CONTROL | HOTKEYF_SHIFT) << 8) | VK_F9;
  g_hotkeyCalls.clear();
  g_noRepeatUnknown = false;
  EXPECT_TRUE(RegisterHotkeyValue(nullptr, 1, value));
  std::vector<HotkeyCall> plain = g_hotkeyCalls;
  g_hotkeyCalls.clear();
  g_noRepeatUnknown = true;
  EXPECT_TRUE(RegisterHotkeyValue(nullptr, 1, value));
  std::vector<HotkeyCall> vista = g_hotkeyCalls;
  qvt::SetImport(slot, real);
  ASSERT_EQ(1u, plain.size());
  EXPECT_EQ(static_cast<UINT>(MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT), plain[0].modifiers);
  EXPECT_EQ(static_cast<UINT>(VK_F9), plain[0].key);
  ASSERT_EQ(2u, vista.size());
  EXPECT_EQ(static_cast<UINT>(MOD_CONTROL | MOD_SHIFT), vista[1].modifiers);
  EXPECT_EQ(static_cast<UINT>(VK_F9), vista[1].key);
}

// Every row of every table is filled: a missing row would be a null name.
TEST(Catalogue, EveryRowIsFilled) {
  for (const FamilyTool& tool : kFamilyTools) EXPECT_TRUE(tool.name && tool.files);
  for (const ToolClass& row : kSetupClasses) EXPECT_TRUE(row.windowClass && row.label && row.runFlag < kRunFlagCount);
  for (const ToolClass& row : kUninstallClasses) EXPECT_TRUE(row.windowClass && row.label);
  auto filled = [](const char* const* rows, int count) {
    for (int i = 0; i < count; ++i)
      if (!rows[i] || !rows[i][0]) return false;
    return true;
  };
  EXPECT_TRUE(filled(kSetupTitles, kSetupTitleCount));
  EXPECT_TRUE(filled(kUninstallTitles, kUninstallTitleCount));
  EXPECT_TRUE(filled(kHelpValues, kHelpValueCount));
  EXPECT_TRUE(filled(kProgramNames, kProgramNameCount));
  EXPECT_TRUE(filled(kToolFiles, kToolFileCount));
  EXPECT_TRUE(filled(kShellExtensions, kShellExtensionCount));
  EXPECT_TRUE(filled(kToolLogs, kToolLogCount));
  for (const ToolRestart& row : kToolRestarts) EXPECT_TRUE(row.exe && row.startSwitch && row.runFlag < kRunFlagCount);
  for (const ToolShortcut& row : kToolShortcuts) EXPECT_TRUE(row.label && row.description && row.exe && row.tool < kFamilyToolCount);
  // The rows the product itself relies on.
  EXPECT_STREQ("qvToolbarClass", kSetupClasses[8].windowClass);
  EXPECT_STREQ("Toolbar, ", kSetupClasses[8].label);
  EXPECT_STREQ("Webdeck ", kToolShortcuts[0].label);
  for (const char* title : kSetupTitles) {
    EXPECT_EQ(nullptr, strstr("Quorvane Webdeck Setup", title)) << "would close setup's own page";
    EXPECT_EQ(nullptr, strstr("Quorvane Setup", title));
  }
}

TEST(Catalogue, OnlyTheFamilysProgramNamesExactly) {
  EXPECT_STREQ("Webdeck", kFamilyTools[kWebdeckTool].name);
  for (const char* name : {"qvtoolbar.exe", "QVTOOLBAR.EXE", "qvhavrel.exe", "qvuac.exe", "qvrunas.exe"})
    EXPECT_TRUE(IsFamilyProgramName(name)) << name;
  for (const char* name : {"qvhelper.exe", "qvtoolbar.dll", "Toolbar_Lang.txt", "xqvtoolbar.exe", "qvtoolbar",
                           "setup.exe", "uninstall.exe", ""})
    EXPECT_FALSE(IsFamilyProgramName(name)) << name;
}

}  // namespace
