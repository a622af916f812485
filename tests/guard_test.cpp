// The folder guard on scratch folders: a scratch "profile" (USERPROFILE points
// at it) under every spelling that names it, its parents and roots, the folders
// below it; and the deletion routines refusing it while they still empty what
// lies below. The fixture (tests/guard_tests.cmake) makes, on the Linux side,
// C:\qvguardfix\Some Profile (keep.txt, Temp\t.txt), a link C:\qvguardfix\junction
// to it and a drive S: for C:\qvguardfix.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/folderguard.h"
#include "lib/Quorvane.h"
#include "support/qvtest.h"
#include "tray/wash/deletion.h"

void UseTrayIdentity();

namespace {

constexpr const char* kBase = "C:\\qvguardfix";
constexpr const char* kProfile = "C:\\qvguardfix\\Some Profile";

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(qvt::FileExists(std::string(kProfile) + "\\keep.txt")) << "the fixture is missing";
    char old[MAX_PATH] = {};
    hadProfile_ = GetEnvironmentVariableA("USERPROFILE", old, MAX_PATH) > 0;
    oldProfile_ = old;
    SetEnvironmentVariableA("USERPROFILE", kProfile);
  }
  void TearDown() override {
    SetEnvironmentVariableA("USERPROFILE", hadProfile_ ? oldProfile_.c_str() : nullptr);
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, "R:", nullptr);
  }
  static std::string Short(const std::string& path) {
    char out[MAX_PATH] = {};
    DWORD n = GetShortPathNameA(path.c_str(), out, MAX_PATH);
    return n && n < MAX_PATH ? out : "";
  }
  bool hadProfile_ = false;
  std::string oldProfile_;
};

// The profile under every spelling, and every parent and root above it.
TEST_F(GuardTest, EverySpellingOfAProtectedFolderIsThatFolder) {
  std::string p = kProfile;
  std::string shortName = Short(p);
  ASSERT_FALSE(shortName.empty());
  ASSERT_NE(shortName, p) << "no short name to try";
  ASSERT_TRUE(DefineDosDeviceA(0, "R:", kBase));  // a drive made with subst
  const std::string spellings[] = {
      p,                                         // as it is
      "c:\\QVGUARDFIX\\some profile",            // another case
      p + "\\",                                  // a trailing backslash
      "C:/qvguardfix//Some Profile/",            // forward and doubled slashes
      "\\\\?\\" + p,                             // the literal form
      "\\\\.\\" + p,                             // the device form
      "C:\\qvguardfix\\.\\Some Profile",         // "." segments
      "C:\\qvguardfix\\Other\\..\\Some Profile", // ".." segments
      "C:\\qvguardfix\\Some Profile. . ",        // trailing dots and blanks
      shortName,                                 // the short (8.3) name
      "R:\\Some Profile",                        // through subst
      "S:\\Some Profile",                        // through another drive letter
      "C:\\qvguardfix\\junction",                // through a link to it
      "S:\\junction\\",                          // both
      kBase, "S:\\", "C:\\", "\\\\?\\C:\\", "C:\\qvguardfix\\junction\\..",  // parents and roots
  };
  for (const std::string& s : spellings) EXPECT_TRUE(IsProtectedFolder(s.c_str())) << s;
}

// What lies below a protected folder is not protected by it.
TEST_F(GuardTest, FoldersBelowAndBesideAreFree) {
  for (const char* free : {"C:\\qvguardfix\\Some Profile\\Temp", "S:\\Some Profile\\Temp\\",
                           "C:\\qvguardfix\\junction\\Temp", "C:\\qvguardfix\\Some Profile\\Not There\\Deeper",
                           "C:\\qvguardfix\\Some Profile Twin"})
    EXPECT_FALSE(IsProtectedFolder(free)) << free;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  EXPECT_FALSE(IsProtectedFolder(temp)) << temp;
  // The system's own folders, read and never written.
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_TRUE(IsProtectedFolder(windows));
  EXPECT_FALSE(IsProtectedFolder((std::string(windows) + "\\Temp").c_str()));
  for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_COMMON_APPDATA, CSIDL_PERSONAL, CSIDL_STARTMENU, CSIDL_COMMON_PROGRAMS}) {
    char folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, folder))) {
      EXPECT_TRUE(IsProtectedFolder(folder)) << folder;
    }
  }
}

TEST_F(GuardTest, SameFolderReadsSpellingsAndLinks) {
  EXPECT_TRUE(SameFolder(kProfile, "c:/QVGUARDFIX/Some Profile/"));
  EXPECT_TRUE(SameFolder(kProfile, Short(kProfile).c_str()));
  EXPECT_TRUE(SameFolder(kProfile, "C:\\qvguardfix\\junction"));
  EXPECT_FALSE(SameFolder(kProfile, "C:\\qvguardfix\\Some Profile\\Temp"));
  EXPECT_FALSE(SameFolder(kProfile, kBase));
}

// The deletion routines ask the guard: under no spelling is the profile emptied
// or removed, while the folder below it still is.
TEST_F(GuardTest, TheDeletionRoutinesLeaveItAndStillEmptyWhatLiesBelow) {
  UseTrayIdentity();
  std::string keep = std::string(kProfile) + "\\keep.txt";
  // A walk that spared the profile's own files but emptied its subfolders would
  // take this one: it must stay through every protected call too.
  std::string inside = std::string(kProfile) + "\\Temp\\t.txt";
  ASSERT_TRUE(qvt::FileExists(inside)) << "the fixture is missing";
  for (std::string s : {std::string(kProfile), std::string("C:\\qvguardfix\\junction"), std::string("S:\\Some Profile"),
                        Short(kProfile), std::string("\\\\?\\C:\\qvguardfix\\Some Profile")}) {
    char path[kDeletePathChars];
    snprintf(path, sizeof path, "%s", s.c_str());
    EmptyFolder(path, 1);
    EXPECT_TRUE(qvt::FileExists(keep)) << "EmptyFolder " << s;
    EXPECT_TRUE(qvt::FileExists(inside)) << "EmptyFolder " << s;
    EXPECT_EQ(0, LibDeleteFolder(s.c_str(), 1)) << s;
    EXPECT_TRUE(qvt::FileExists(keep)) << "LibDeleteFolder " << s;
    EXPECT_TRUE(qvt::FileExists(inside)) << "LibDeleteFolder " << s;
  }
  char below[kDeletePathChars];
  snprintf(below, sizeof below, "%s\\Temp", kProfile);
  EmptyFolder(below, 1);
  EXPECT_FALSE(qvt::FileExists(std::string(kProfile) + "\\Temp\\t.txt"));
  EXPECT_TRUE(qvt::FileExists(keep));
}

// The programs under test run with Wine's menu builder off (the emulator ctest runs
// them through sees to it), so that no Start-menu shortcut a test makes reaches
// the Linux home folder's menus.
TEST(PrefixSealed, TheMenuBuilderIsOff) {
  char overrides[1024] = {};
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
  EXPECT_NE(nullptr, strstr(overrides, "winemenubuilder.exe=d")) << "WINEDLLOVERRIDES=" << overrides;
}

}  // namespace
