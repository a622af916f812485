// Shortcuts: creating them and removing the family's ones from a special folder.
#include "lib_support.h"

#include <shlobj.h>
#include <string>

namespace {

std::string TargetOf(const std::string& link) {
  std::string target;
  CoInitialize(nullptr);
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shellLink)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
      char path[MAX_PATH] = {};
      if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
        target = path;
      file->Release();
    }
    shellLink->Release();
  }
  CoUninitialize();
  return target;
}

class LibShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hadInstallPath_ = qvt::ReadString(HKEY_LOCAL_MACHINE, libt::kFamilyKey, "InstallPath", &savedInstallPath_);
    targets_ = qvt::TempFolder();
    for (const char* folder : {"Quorvane Test", "Other", "QuorvaneFan"})
      ASSERT_NE(0, LibCreateFolder((targets_ + folder).c_str()));
    for (const char* f : {"Quorvane Test\\tool.exe", "Quorvane Test\\setup.exe", "Other\\qvhavrel.exe",
                          "Other\\qvhelper.exe", "Other\\notepad2.exe", "QuorvaneFan\\tool.exe"})
      ASSERT_TRUE(qvt::WriteFile(targets_ + f, "MZ"));
    // The family's install folder, as setup records it.
    qvt::WriteString(HKEY_LOCAL_MACHINE, libt::kFamilyKey, "InstallPath", (targets_ + "Quorvane Test").c_str());
    char folder[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FAVORITES, TRUE));
    special_ = folder;
    DWORD a = GetFileAttributesA(folder);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) GTEST_SKIP() << "no private Favorites";
    special_ += "\\";
  }
  void TearDown() override {
    for (const char* f : {"qvt family.lnk", "qvt setup.lnk", "qvt other.lnk", "qvt stranger.lnk", "qvt fan.lnk"})
      DeleteFileA((special_ + f).c_str());
    LibDeleteFolder((special_ + "QvtGroup").c_str(), 1);
    LibDeleteFolder(targets_.c_str(), 1);
    if (hadInstallPath_)
      qvt::WriteString(HKEY_LOCAL_MACHINE, libt::kFamilyKey, "InstallPath", savedInstallPath_.c_str());
    else
      LibRegDeleteValue(HKEY_LOCAL_MACHINE, libt::kFamilyKey, "InstallPath");
  }
  void Make(const std::string& link, const char* target) {
    ASSERT_NE(0, LibCreateShortcut((special_ + link).c_str(), (targets_ + target).c_str(), "", nullptr, 0)) << link;
  }
  std::string targets_, special_, savedInstallPath_;
  bool hadInstallPath_ = false;
};

TEST_F(LibShortcutTest, CreatesALinkToTheTarget) {
  std::string link = special_ + "QvtGroup\\New Folder\\qvt family.lnk";  // folders made as needed
  std::string target = targets_ + "Quorvane Test\\tool.exe";
  ASSERT_NE(0, LibCreateShortcut(link.c_str(), target.c_str(), "Family tool", targets_.c_str(), 0));
  EXPECT_TRUE(qvt::FileExists(link));
  EXPECT_EQ(0, lstrcmpiA(target.c_str(), TargetOf(link).c_str())) << TargetOf(link);
  EXPECT_EQ(0, LibCreateShortcut("", target.c_str(), "x", nullptr, 0));
}

// The family's shortcuts point at a name only the family uses, or at a name it shares
// with others ("setup.exe") in its install folder. A program of the user's in the
// install folder, a "Quorvane" somewhere in the path or a "qv" prefix is not enough.
TEST_F(LibShortcutTest, DeletesOnlyTheFamilysLinks) {
  Make("qvt family.lnk", "Quorvane Test\\tool.exe");          // the user's program in the install folder
  Make("qvt setup.lnk", "Quorvane Test\\setup.exe");          // a shared name, in the install folder
  Make("qvt other.lnk", "Other\\notepad2.exe");               // somebody else's
  Make("qvt stranger.lnk", "Other\\qvhelper.exe");            // named like the family, but not one of it
  Make("qvt fan.lnk", "QuorvaneFan\\tool.exe");               // a user's folder named "QuorvaneFan"
  Make("QvtGroup\\qvt havrel.lnk", "Other\\qvhavrel.exe");    // a family program, in a subfolder
  Make("QvtGroup\\Deeper\\qvt deep.lnk", "Other\\qvhavrel.exe");  // two levels down: not looked at
  EXPECT_EQ(2, LibDeleteShortcuts(CSIDL_FAVORITES));
  EXPECT_FALSE(qvt::FileExists(special_ + "qvt setup.lnk"));
  EXPECT_FALSE(qvt::FileExists(special_ + "QvtGroup\\qvt havrel.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt family.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt other.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt stranger.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt fan.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "QvtGroup\\Deeper\\qvt deep.lnk"));
  EXPECT_EQ(0, LibDeleteShortcuts(CSIDL_FAVORITES));
}

// A shared name outside the install folder is somebody else's.
TEST_F(LibShortcutTest, ASharedNameCountsOnlyInTheInstallFolder) {
  ASSERT_TRUE(qvt::WriteFile(targets_ + "Other\\setup.exe", "MZ"));
  ASSERT_TRUE(qvt::WriteFile(targets_ + "Other\\uninstall.exe", "MZ"));
  Make("qvt other.lnk", "Other\\setup.exe");
  Make("qvt stranger.lnk", "Other\\uninstall.exe");
  EXPECT_EQ(0, LibDeleteShortcuts(CSIDL_FAVORITES));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt other.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt stranger.lnk"));
}

// A damaged "InstallPath" naming a drive root makes nothing the family's: the files
// there stay, and so does every shortcut, even one to a family program.
TEST_F(LibShortcutTest, ARootAsInstallFolderClaimsNothing) {
  Make("qvt other.lnk", "Other\\notepad2.exe");
  Make("qvt family.lnk", "Other\\qvhavrel.exe");
  qvt::WriteString(HKEY_LOCAL_MACHINE, libt::kFamilyKey, "InstallPath", targets_.substr(0, 3).c_str());
  EXPECT_EQ(0, LibDeleteShortcuts(CSIDL_FAVORITES));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt other.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt family.lnk"));
}

}  // namespace
