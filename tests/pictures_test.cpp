// The picture collector of the running qvtoolbar.exe: the toolbar's timer
// message, the move from the drop folder into "OpPicsFolder", and what stays.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include "tray_support.h"

using namespace qvt;

namespace {

constexpr UINT kPictureTimer = WM_USER + 32;
constexpr DWORD kDelayMs = 300;

// The drop folder the browser toolbar writes to.
std::string DropFolder() {
  char base[MAX_PATH] = {};
  PWSTR wide = nullptr;
  // FOLDERID_LocalAppDataLow
  const GUID lowId = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
  if (SUCCEEDED(SHGetKnownFolderPath(lowId, 0x9000, nullptr, &wide))) {
    WideCharToMultiByte(CP_ACP, 0, wide, -1, base, MAX_PATH, nullptr, nullptr);
    CoTaskMemFree(wide);
  }
  return std::string(base) + "\\Quorvane\\WebdeckPics\\";
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    drop = DropFolder();
    CreateDirectoryA(drop.substr(0, drop.size() - strlen("WebdeckPics\\")).c_str(), nullptr);
    CreateDirectoryA(drop.c_str(), nullptr);
    qvt::EmptyTree(drop);
    target = TempFolder();
  }
  void TearDown() override {
    EndTray(proc, main);
    qvt::EmptyTree(drop);
    qvt::RemoveTree(target);
    ResetTray();
  }
  void Run() {
    proc = StartTray("/s", &main);
    ASSERT_NE(main, nullptr);
  }
  void Arm() { ASSERT_TRUE(PostMessageA(main, kPictureTimer, kDelayMs, 0)); }
  void SetTarget(const std::string& folder) {
    WriteString(HKEY_CURRENT_USER, kToolbarKey, "OpPicsFolder", folder.c_str());
  }
  // Waits long enough for any armed timer to have run; the program then answers.
  void Settle() {
    Sleep(3 * kDelayMs);
    ASSERT_TRUE(Send(main, WM_NULL, 0, 0));
  }
  std::string drop, target;
  Process proc;
  HWND main = nullptr;
};

TEST_F(Pictures, FilesMoveOnceAfterTheLastTimerMessage) {
  SetTarget(target);
  ASSERT_TRUE(WriteFile(drop + "a.jpg", "A"));
  Run();
  constexpr DWORD burstDelay = 1000;  // wide margins around both expiries
  ASSERT_TRUE(PostMessageA(main, kPictureTimer, burstDelay, 0));
  Sleep(burstDelay / 2);
  ASSERT_TRUE(WriteFile(drop + "b.jpg", "B"));
  ASSERT_TRUE(PostMessageA(main, kPictureTimer, burstDelay, 0));  // restarts the delay
  // The first delay has run out here, the second not yet.
  Sleep(burstDelay / 2 + burstDelay / 5);
  EXPECT_TRUE(FileExists(drop + "a.jpg")) << "the second message restarts the delay";
  EXPECT_TRUE(WaitUntil([&] { return FileExists(target + "a.jpg") && FileExists(target + "b.jpg"); }, 5000));
  EXPECT_FALSE(FileExists(drop + "a.jpg"));
  EXPECT_FALSE(FileExists(drop + "b.jpg"));
  std::string bytes;
  EXPECT_TRUE(ReadFile(target + "b.jpg", &bytes));
  EXPECT_EQ(bytes, "B");
  // The timer is one-shot: a file that arrives later stays until the next message.
  ASSERT_TRUE(WriteFile(drop + "c.jpg", "C"));
  Settle();
  EXPECT_TRUE(FileExists(drop + "c.jpg"));
}

TEST_F(Pictures, SubfoldersAndNameClashesStayInTheDropFolder) {
  SetTarget(target);
  ASSERT_TRUE(CreateDirectoryA((drop + "series").c_str(), nullptr));
  ASSERT_TRUE(WriteFile(drop + "series\\inner.jpg", "I"));
  ASSERT_TRUE(WriteFile(drop + "clash.jpg", "new"));
  ASSERT_TRUE(WriteFile(target + "clash.jpg", "old"));
  ASSERT_TRUE(WriteFile(drop + "free.jpg", "F"));
  Run();
  Arm();
  EXPECT_TRUE(WaitUntil([&] { return FileExists(target + "free.jpg"); }, 5000));
  EXPECT_TRUE(FileExists(drop + "series\\inner.jpg"));
  EXPECT_FALSE(FileExists(target + "series"));
  EXPECT_TRUE(FileExists(drop + "clash.jpg"));
  std::string bytes;
  EXPECT_TRUE(ReadFile(target + "clash.jpg", &bytes));
  EXPECT_EQ(bytes, "old") << "an existing picture is never overwritten";
}

// A picture whose name the code page cannot spell is moved as it is.
TEST_F(Pictures, ANameTheCodePageCannotSpellIsMovedAsItIs) {
  const std::wstring name = L"\x0424\x043E\x0442\x043E-\x0142.jpg";
  SetTarget(target);
  ASSERT_TRUE(WriteFileW(LongPath(drop) + name, "photo"));
  Run();
  Arm();
  EXPECT_TRUE(WaitUntil([&] { return ExistsW(LongPath(target) + name); }, 5000));
  EXPECT_FALSE(ExistsW(LongPath(drop) + name));
}

TEST_F(Pictures, ATrailingBackslashOrNoneGivesTheSameMove) {
  for (const std::string& folder : {target, target.substr(0, target.size() - 1)}) {
    SetTarget(folder);
    ASSERT_TRUE(WriteFile(drop + "p.jpg", "P"));
    if (!proc.process) Run();
    Arm();
    EXPECT_TRUE(WaitUntil([&] { return FileExists(target + "p.jpg"); }, 5000)) << folder;
    DeleteFileA((target + "p.jpg").c_str());
  }
}

TEST_F(Pictures, AMissingOrEmptyPictureFolderMovesNothing) {
  ASSERT_TRUE(WriteFile(drop + "keep.jpg", "K"));
  Run();
  Arm();
  Settle();
  EXPECT_TRUE(FileExists(drop + "keep.jpg"));
  SetTarget("");
  Arm();
  Settle();
  EXPECT_TRUE(FileExists(drop + "keep.jpg"));
}

TEST_F(Pictures, TheDropFolderIsCreatedWhenMissing) {
  RemoveDirectoryA(drop.c_str());
  ASSERT_FALSE(FileExists(drop));
  SetTarget(target);
  Run();
  Arm();
  EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesA(drop.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000));
}

// The ctest fixture replaced the drop folder by a Unix link to another folder
// holding a picture: nothing may be taken from the link's target.
TEST(PicturesLink, ADropFolderReplacedByALinkMovesNothing) {
  ResetTray();
  std::string drop = DropFolder();
  drop.pop_back();
  DWORD attributes = GetFileAttributesA(drop.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    GTEST_SKIP() << "drop-folder link fixture missing (run through ctest)";
  ASSERT_TRUE(FileExists(drop + "\\victim.jpg"));
  std::string target = TempFolder();
  WriteString(HKEY_CURRENT_USER, kToolbarKey, "OpPicsFolder", target.c_str());
  HWND main = nullptr;
  Process proc = StartTray("/s", &main);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PostMessageA(main, kPictureTimer, kDelayMs, 0));
  Sleep(3 * kDelayMs);
  ASSERT_TRUE(Send(main, WM_NULL, 0, 0));
  EXPECT_TRUE(FileExists(drop + "\\victim.jpg"));
  EXPECT_FALSE(FileExists(target + "victim.jpg"));
  CloseTray(proc, main);
  Close(proc);
  RemoveDirectoryA(target.c_str());
  ResetTray();
}

}  // namespace
