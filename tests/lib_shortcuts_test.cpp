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
    targets_ = qvt::TempFolder();
    ASSERT_NE(0, LibCreateFolder((targets_ + "Quorvane Test").c_str()));
    ASSERT_NE(0, LibCreateFolder((targets_ + "Other").c_str()));
    for (const char* f : {"Quorvane Test\\tool.exe", "Quorvane Test\\setup.exe", "Other\\qvhelper.exe",
                          "Other\\notepad2.exe", "Other\\aqv.exe"})
      ASSERT_TRUE(qvt::WriteFile(targets_ + f, "MZ"));
    char folder[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FAVORITES, TRUE));
    special_ = folder;
    DWORD a = GetFileAttributesA(folder);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) GTEST_SKIP() << "no private Favorites";
    special_ += "\\";
  }
  void TearDown() override {
    for (const char* f : {"qvt family.lnk", "qvt setup.lnk", "qvt other.lnk", "qvt aqv.lnk"})
      DeleteFileA((special_ + f).c_str());
    LibDeleteFolder((special_ + "QvtGroup").c_str(), 1);
    LibDeleteFolder(targets_.c_str(), 1);
  }
  std::string targets_, special_;
};

TEST_F(LibShortcutTest, CreatesALinkToTheTarget) {
  std::string link = special_ + "QvtGroup\\New Folder\\qvt family.lnk";  // folders made as needed
  std::string target = targets_ + "Quorvane Test\\tool.exe";
  ASSERT_NE(0, LibCreateShortcut(link.c_str(), target.c_str(), "Family tool", targets_.c_str(), 0));
  EXPECT_TRUE(qvt::FileExists(link));
  EXPECT_EQ(0, lstrcmpiA(target.c_str(), TargetOf(link).c_str())) << TargetOf(link);
  EXPECT_EQ(0, LibCreateShortcut("", target.c_str(), "x", nullptr, 0));
}

TEST_F(LibShortcutTest, DeletesOnlyTheFamilysLinks) {
  auto make = [&](const std::string& link, const char* target) {
    ASSERT_NE(0, LibCreateShortcut((special_ + link).c_str(), (targets_ + target).c_str(), "", nullptr, 0)) << link;
  };
  make("qvt family.lnk", "Quorvane Test\\tool.exe");         // inside a Quorvane folder
  make("qvt setup.lnk", "Quorvane Test\\setup.exe");
  make("qvt other.lnk", "Other\\notepad2.exe");              // somebody else's
  make("qvt aqv.lnk", "Other\\aqv.exe");                     // "qv" not at the start
  make("QvtGroup\\qvt helper.lnk", "Other\\qvhelper.exe");   // a family program, in a subfolder
  make("QvtGroup\\Deeper\\qvt deep.lnk", "Other\\qvhelper.exe");  // two levels down: not looked at
  EXPECT_EQ(3, LibDeleteShortcuts(CSIDL_FAVORITES));
  EXPECT_FALSE(qvt::FileExists(special_ + "qvt family.lnk"));
  EXPECT_FALSE(qvt::FileExists(special_ + "qvt setup.lnk"));
  EXPECT_FALSE(qvt::FileExists(special_ + "QvtGroup\\qvt helper.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt other.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "qvt aqv.lnk"));
  EXPECT_TRUE(qvt::FileExists(special_ + "QvtGroup\\Deeper\\qvt deep.lnk"));
  EXPECT_EQ(0, LibDeleteShortcuts(CSIDL_FAVORITES));
}

}  // namespace
