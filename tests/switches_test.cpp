// The browser setting switches of the running qvtoolbar.exe: each message and
// command-line switch, with the registry read back byte for byte.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tray_support.h"

using namespace qvt;

namespace {

constexpr const char* kIeMain = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kZone = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
constexpr const char* kBand = "AppEvents\\Schemes\\Apps\\Explorer\\SecurityBand\\.current";
constexpr const char* kControls[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{1171A62F-05D2-11D1-83FC-00A0C9089C5A}",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{D27CDB6E-AE6D-11cf-96B8-444553540000}",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{D27CDB70-AE6D-11cf-96B8-444553540000}",
};

constexpr UINT kImages = WM_USER + 34, kActiveX = WM_USER + 35, kShockwave = WM_USER + 36,
               kStopLoad = WM_USER + 37, kProtect = WM_USER + 38, kRestore = WM_USER + 39,
               kAnimations = WM_USER + 40, kSounds = WM_USER + 41;

std::vector<BYTE> Bytes(const void* data, size_t size) {
  const BYTE* p = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(p, p + size);
}

// The raw value and its type; an empty vector and type 0 when missing.
std::vector<BYTE> Raw(const char* key, const char* name, DWORD* type) {
  std::vector<BYTE> out;
  *type = 0;
  if (!ReadRaw(HKEY_CURRENT_USER, key, name, &out, type)) out.clear();
  return out;
}

void ExpectText(const char* key, const char* name, const char* text) {
  DWORD type = 0;
  EXPECT_EQ(Raw(key, name, &type), Bytes(text, strlen(text) + 1)) << name;
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
}

void ExpectDword(const char* key, const char* name, DWORD value) {
  DWORD type = 0;
  EXPECT_EQ(Raw(key, name, &type), Bytes(&value, 4)) << name;
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
}

bool KeyExists(const char* key) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void ClearBrowserKeys() {
  DeleteTree(HKEY_CURRENT_USER, kIeMain);
  DeleteTree(HKEY_CURRENT_USER, kZone);
  DeleteTree(HKEY_CURRENT_USER, kBand);
  for (const char* key : kControls) DeleteTree(HKEY_CURRENT_USER, key);
}

class Switches : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    ClearBrowserKeys();
  }
  void TearDown() override {
    EndTray(proc, main);
    ResetTray();
    ClearBrowserKeys();
  }
  void Run(const std::string& arguments = "/s") {
    proc = StartTray(arguments, &main);
    ASSERT_NE(main, nullptr);
  }
  void Allow(DWORD value) { WriteDword(HKEY_CURRENT_USER, kToolbarKey, "EnableChangePolicies", value); }
  // Sends the switch message and requires the answer 1.
  void Switch(UINT message, WPARAM on) {
    LRESULT result = 0;
    ASSERT_TRUE(Send(main, message, on, 0, &result));
    EXPECT_EQ(result, 1) << "message " << message;
  }
  Process proc;
  HWND main = nullptr;
};

TEST_F(Switches, YesNoValuesAreWrittenWithTheirTerminatorForEveryOnValue) {
  Allow(1);
  Run();
  struct Case {
    UINT message;
    const char* name;
  };
  const Case cases[] = {{kImages, "Display Inline Images"},
                        {kAnimations, "Play_Animations"},
                        {kSounds, "Play_Background_Sounds"}};
  for (const Case& c : cases) {
    Switch(c.message, 0);
    ExpectText(kIeMain, c.name, "no");
    Switch(c.message, 7);  // any nonzero is on
    ExpectText(kIeMain, c.name, "yes");
  }
}

TEST_F(Switches, StopWhenLoadedIsTheProgramsOwnSetting) {
  Run();
  Switch(kStopLoad, 1);
  ExpectDword(kToolbarKey, "StopWhenLoaded", 1);
  Switch(kStopLoad, 0);
  ExpectDword(kToolbarKey, "StopWhenLoaded", 0);
}

TEST_F(Switches, WithoutThePolicyGateTheThreePolicySwitchesWriteNothing) {
  Allow(0);
  Run();
  for (UINT message : {kImages, kActiveX, kShockwave}) {
    Switch(message, 0);
    Switch(message, 1);
  }
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kIeMain, "Display Inline Images"));
  EXPECT_FALSE(KeyExists(kZone));
  EXPECT_FALSE(KeyExists(kBand));
  for (const char* key : kControls) EXPECT_FALSE(KeyExists(key));
  // The gate is read anew for every message.
  Allow(1);
  Switch(kImages, 0);
  ExpectText(kIeMain, "Display Inline Images", "no");
}

TEST_F(Switches, CommandLineImagesOffNeedsTheGateAnimatedOffDoesNot) {
  Allow(0);
  Run("/s /imagesoff");
  ASSERT_TRUE(Send(main, WM_NULL, 0, 0));  // the posted switch has been handled
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kIeMain, "Display Inline Images"));
  CloseTray(proc, main);
  Close(proc);
  Run("/s /animatedoff");
  EXPECT_TRUE(WaitUntil([] { return ValueExists(HKEY_CURRENT_USER, kIeMain, "Play_Animations"); }, 5000));
  ExpectText(kIeMain, "Play_Animations", "no");
}

// The whole command line is tested, however long: a switch far down still counts.
TEST_F(Switches, ASwitchAfterALongArgumentIsSeen) {
  Run("/s " + std::string(1500, 'x') + " /animatedoff");
  EXPECT_TRUE(WaitUntil([] { return ValueExists(HKEY_CURRENT_USER, kIeMain, "Play_Animations"); }, 5000));
  ExpectText(kIeMain, "Play_Animations", "no");
}

TEST_F(Switches, CommandLineImagesOffWithTheGateWritesNo) {
  Allow(1);
  Run("/s /imagesoff");
  EXPECT_TRUE(WaitUntil([] { return ValueExists(HKEY_CURRENT_USER, kIeMain, "Display Inline Images"); }, 5000));
  ExpectText(kIeMain, "Display Inline Images", "no");
}

TEST_F(Switches, ActiveXOffKeepsTheSoundAndOnPutsItBack) {
  Allow(1);
  WriteString(HKEY_CURRENT_USER, kBand, "", "C:\\Windows\\Media\\band.wav");
  Run();
  Switch(kActiveX, 0);
  ExpectDword(kZone, "1200", 3);
  ExpectText(kBand, "", "");
  ExpectText(kBand, "SavedByqvWebdeck", "C:\\Windows\\Media\\band.wav");
  Switch(kActiveX, 0);  // a second switch-off keeps the sound saved the first time
  ExpectText(kBand, "SavedByqvWebdeck", "C:\\Windows\\Media\\band.wav");
  Switch(kActiveX, 1);
  ExpectDword(kZone, "1200", 0);
  ExpectText(kBand, "", "C:\\Windows\\Media\\band.wav");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kBand, "SavedByqvWebdeck"));
}

TEST_F(Switches, ActiveXOnWithAnEmptySavedSoundLeavesTheDefaultValue) {
  Allow(1);
  WriteString(HKEY_CURRENT_USER, kBand, "", "current.wav");
  WriteString(HKEY_CURRENT_USER, kBand, "SavedByqvWebdeck", "");
  Run();
  Switch(kActiveX, 1);
  ExpectText(kBand, "", "current.wav");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kBand, "SavedByqvWebdeck"));
}

TEST_F(Switches, ActiveXOffWithoutASoundSavesTheEmptyText) {
  Allow(1);
  Run();
  Switch(kActiveX, 0);
  ExpectText(kBand, "SavedByqvWebdeck", "");
  ExpectText(kBand, "", "");
}

TEST_F(Switches, ShockwaveOffMarksTheThreeControlsAndOnDeletesTheirKeys) {
  Allow(1);
  Run();
  Switch(kShockwave, 0);
  for (const char* key : kControls) {
    ExpectDword(key, "Flags", 1);
    ExpectText(key, "Version", "*");
  }
  // A key with a subkey stays; the others go.
  char sub[300];
  snprintf(sub, sizeof sub, "%s\\Child", kControls[1]);
  WriteDword(HKEY_CURRENT_USER, sub, "x", 1);
  Switch(kShockwave, 1);
  EXPECT_FALSE(KeyExists(kControls[0]));
  EXPECT_TRUE(KeyExists(kControls[1]));
  EXPECT_FALSE(KeyExists(kControls[2]));
}

TEST_F(Switches, ProtectionKeepsBothStartPagesAndRestorePutsThemBack) {
  const char pages[] = "http://a.example/\0http://b.example/\0";  // two strings and the final zero
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://home.example/");
  WriteRaw(HKEY_CURRENT_USER, kIeMain, "Secondary Start Pages", REG_MULTI_SZ, pages, sizeof pages);
  Run();
  Switch(kProtect, 1);
  ExpectDword(kToolbarKey, "ProtectHomepage", 1);
  std::string stored;
  EXPECT_TRUE(ReadString(HKEY_CURRENT_USER, kToolbarKey, "ProtectedHomepage", &stored));
  EXPECT_EQ(stored, "http://home.example/");
  DWORD type = 0;
  EXPECT_EQ(Raw(kToolbarKey, "ProtectedHomepg2", &type), Bytes(pages, sizeof pages));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

  // Someone changes the start pages; restore brings the kept ones back.
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://hijack.example/");
  WriteRaw(HKEY_CURRENT_USER, kIeMain, "Secondary Start Pages", REG_MULTI_SZ, "x\0\0", 3);
  Switch(kRestore, 1);
  ExpectText(kIeMain, "Start Page", "http://home.example/");
  EXPECT_EQ(Raw(kIeMain, "Secondary Start Pages", &type), Bytes(pages, sizeof pages));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
}

TEST_F(Switches, ProtectionWithoutSecondaryPagesRestoresOnlyTheStartPage) {
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://home.example/");
  Run();
  Switch(kProtect, 1);
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "ProtectedHomepg2"));
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://hijack.example/");
  Switch(kRestore, 1);
  ExpectText(kIeMain, "Start Page", "http://home.example/");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kIeMain, "Secondary Start Pages"));
}

TEST_F(Switches, ProtectionOffForgetsThePagesSoRestoreChangesNothing) {
  const char pages[] = "http://a.example/\0";
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://home.example/");
  WriteRaw(HKEY_CURRENT_USER, kIeMain, "Secondary Start Pages", REG_MULTI_SZ, pages, sizeof pages);
  Run("/s /protecton");
  EXPECT_TRUE(WaitUntil([] { return ValueExists(HKEY_CURRENT_USER, kToolbarKey, "ProtectedHomepg2"); }, 5000));
  Switch(kProtect, 0);
  ExpectDword(kToolbarKey, "ProtectHomepage", 0);
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "ProtectedHomepage"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kToolbarKey, "ProtectedHomepg2"));
  DeleteTree(HKEY_CURRENT_USER, kIeMain);
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", "http://new.example/");
  Switch(kRestore, 1);
  ExpectText(kIeMain, "Start Page", "http://new.example/");
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kIeMain, "Secondary Start Pages"));
}

TEST_F(Switches, AnOverlongStartPageIsKeptCutNotOverrun) {
  std::string longPage(400, 'p');
  WriteString(HKEY_CURRENT_USER, kIeMain, "Start Page", longPage.c_str());
  Run();
  Switch(kProtect, 1);
  EXPECT_TRUE(IsWindow(main));
  std::string stored = "unread";
  ReadString(HKEY_CURRENT_USER, kToolbarKey, "ProtectedHomepage", &stored);
  EXPECT_LE(stored.size(), 260u);
}

}  // namespace
