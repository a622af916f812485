// The deletion routines on real files: walks, masks, the guard, stops, the shredder,
// locked files and links.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/qvtest.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/wash.h"
#include "wash_env.h"
#include "wash_support.h"

namespace {

std::atomic<int> g_stopOnBox{0};

struct BoxRun {
  void (*fn)(void*);
  void* arg;
};

DWORD WINAPI RunBoxWorker(void* p) {
  BoxRun* run = static_cast<BoxRun*>(p);
  run->fn(run->arg);
  return 0;
}

}  // namespace

std::vector<std::string> BoxesDuring(void (*fn)(void*), void* arg, unsigned timeoutMs) {
  BoxRun run = {fn, arg};
  HANDLE thread = CreateThread(nullptr, 0, RunBoxWorker, &run, 0, nullptr);
  std::vector<std::string> texts;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(thread, 20) == WAIT_TIMEOUT) {
    HWND box = qvt::WaitMessageBox(GetCurrentProcessId(), nullptr, 0);
    if (box && IsWindowVisible(box)) {
      texts.push_back(qvt::MessageBoxText(box));
      if (g_stopOnBox.load()) StopRequested = 1;
      if (!qvt::PressButton(box, IDOK)) qvt::DismissMessageBoxes(GetCurrentProcessId());
      qvt::WaitUntil([&] { return !IsWindow(box); }, 3000);
    }
    if (GetTickCount() - start > timeoutMs) {
      qvt::DismissMessageBoxes(GetCurrentProcessId());
      if (WaitForSingleObject(thread, 2000) == WAIT_TIMEOUT) TerminateThread(thread, 1);
      texts.push_back("<timeout>");
      break;
    }
  }
  CloseHandle(thread);
  return texts;
}

void SetSetting(const char* name, int value) { LibWriteSettingInt(HKEY_CURRENT_USER, name, value); }

void ClearWashSettings() { qvt::DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }

namespace {

std::string SystemText(DWORD error) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 1024,
                 reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = text ? text : "";
  LocalFree(text);
  return s;
}

std::string Windows(const char* tail) {
  char folder[MAX_PATH] = {};
  GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + tail;
}

std::string System(const char* tail) {
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder) + tail;
}

void Empty(const std::string& path, int recurse) {
  char buffer[kDeletePathChars] = {};
  snprintf(buffer, sizeof buffer, "%s", path.c_str());
  EmptyFolder(buffer, recurse);
}

bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void Tree(const std::string& root) {
  CreateDirectoryA((root + "sub").c_str(), nullptr);
  CreateDirectoryA((root + "sub\\deeper").c_str(), nullptr);
  for (const char* name : {"a.tmp", "b.txt", "sub\\c.tmp", "sub\\d.dat", "sub\\deeper\\e.tmp", "sub\\deeper\\f.txt"})
    qvt::WriteFile(root + name, name);
  SetFileAttributesA((root + "b.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((root + "sub\\d.dat").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((root + "sub\\deeper\\f.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

class DeletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWashTest();
    g_stopOnBox = 0;
    root_ = qvt::TempFolder();
  }
  void TearDown() override {
    StopRequested = 0;
    ClearWashSettings();
    char buffer[kDeletePathChars] = {};
    snprintf(buffer, sizeof buffer, "%s", root_.c_str());
    EmptyFolder(buffer, 1);
    RemoveDirectoryA(root_.c_str());
  }
  std::string root_;
};

TEST_F(DeletionTest, FolderIsEmptiedWhateverTheAttributes) {
  Tree(root_);
  Empty(root_, 1);
  EXPECT_TRUE(IsFolder(root_));
  EXPECT_FALSE(IsFolder(root_ + "sub"));
  EXPECT_FALSE(qvt::FileExists(root_ + "b.txt"));
  EXPECT_EQ(0, WashErrorCount.load());
}

TEST_F(DeletionTest, MaskWithRecursionKeepsFoldersAndOtherFiles) {
  Tree(root_);
  Empty(root_ + "*.tmp", 1);
  EXPECT_FALSE(qvt::FileExists(root_ + "a.tmp"));
  EXPECT_FALSE(qvt::FileExists(root_ + "sub\\c.tmp"));
  EXPECT_FALSE(qvt::FileExists(root_ + "sub\\deeper\\e.tmp"));
  EXPECT_TRUE(qvt::FileExists(root_ + "b.txt"));
  EXPECT_TRUE(qvt::FileExists(root_ + "sub\\d.dat"));
  EXPECT_TRUE(qvt::FileExists(root_ + "sub\\deeper\\f.txt"));
  EXPECT_TRUE(IsFolder(root_ + "sub\\deeper"));
  Empty(root_ + "*.txt", 0);
  EXPECT_FALSE(qvt::FileExists(root_ + "b.txt"));
  EXPECT_TRUE(qvt::FileExists(root_ + "sub\\deeper\\f.txt"));
  Empty(root_ + "s*b\\*.dat", 1);  // wildcards only in the last component
  EXPECT_TRUE(qvt::FileExists(root_ + "sub\\d.dat"));
}

TEST_F(DeletionTest, GuardKeepsSystemFolderFilesButNotWindowsTemp) {
  const std::string inTemp = Windows("\\temp\\qvguard.qvgtest");
  const std::string inSystem = System("\\qvguard.qvgtest");
  ASSERT_TRUE(qvt::WriteFile(inTemp, "t"));
  ASSERT_TRUE(qvt::WriteFile(inSystem, "s"));
  SetSetting("NotWinOrSys", 1);
  Empty(Windows("\\temp\\*.qvgtest"), 0);
  EXPECT_FALSE(qvt::FileExists(inTemp));
  EXPECT_EQ(0, SecureDeleteFile(inSystem.c_str()));
  EXPECT_TRUE(qvt::FileExists(inSystem));
  Empty(System("\\*.qvgtest"), 0);
  EXPECT_TRUE(qvt::FileExists(inSystem));
  SetSetting("NotWinOrSys", 0);
  EXPECT_EQ(1, SecureDeleteFile(inSystem.c_str()));
  EXPECT_FALSE(qvt::FileExists(inSystem));
  DeleteFileA(inSystem.c_str());
  DeleteFileA(inTemp.c_str());
}

TEST_F(DeletionTest, StopRequestEndsTheWalk) {
  Tree(root_);
  StopRequested = 1;
  Empty(root_, 1);
  EXPECT_TRUE(qvt::FileExists(root_ + "a.tmp"));
  EXPECT_EQ(0, SecureDeleteFile((root_ + "a.tmp").c_str()));
  EXPECT_EQ(0, OverwriteFile((root_ + "a.tmp").c_str()));
  StopRequested = 0;
  // A stop set while the first locked file's report is open ends the walk there.
  for (int i = 0; i < 20; ++i) qvt::WriteFile(root_ + "f" + std::to_string(i) + ".txt", "x");
  SetSetting("QueueForNextRestart", 0);
  HANDLE lock = CreateFileA((root_ + "f10.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  g_stopOnBox = 1;
  std::string root = root_;
  auto boxes = BoxesDuring([](void* p) { Empty(*static_cast<std::string*>(p), 1); }, &root);
  CloseHandle(lock);
  EXPECT_EQ(1u, boxes.size());
  int left = 0;
  for (int i = 0; i < 20; ++i) left += qvt::FileExists(root_ + "f" + std::to_string(i) + ".txt");
  EXPECT_GT(left, 1);
  EXPECT_LT(left, 20);
  EXPECT_TRUE(IsFolder(root_ + "sub"));
}

TEST_F(DeletionTest, ShredderRewritesTheLengthOnceWithOneBlock) {
  const std::string file = root_ + "shred.bin";
  const size_t length = 17 * 8192 + 880;  // past the first calls' worth of copies
  ASSERT_TRUE(qvt::WriteFile(file, std::string(length, '\0')));
  ContentsOverwritten = 0;
  SeedRandom(12345);
  EXPECT_EQ(1, OverwriteFile(file.c_str()));
  EXPECT_EQ(1, ContentsOverwritten.load());
  std::string bytes;
  ASSERT_TRUE(qvt::ReadFile(file, &bytes));
  ASSERT_EQ(length, bytes.size());
  SeedRandom(12345);
  std::string block;
  for (int i = 0; i < 8192; ++i) block += static_cast<char>(NextRandom());
  EXPECT_NE(std::string(8192, '\0'), block);
  for (size_t at = 0; at < length; at += 8192) EXPECT_EQ(block.substr(0, length - at), bytes.substr(at, 8192)) << at;

  const std::string empty = root_ + "empty.bin";
  ASSERT_TRUE(qvt::WriteFile(empty, ""));
  ContentsOverwritten = 0;
  EXPECT_EQ(1, OverwriteFile(empty.c_str()));
  EXPECT_EQ(1, ContentsOverwritten.load());
  ASSERT_TRUE(qvt::ReadFile(empty, &bytes));
  EXPECT_EQ(0u, bytes.size());
  EXPECT_EQ(1, OverwriteFile((root_ + "missing.bin").c_str()));
}

bool PendingRenameNames(const std::string& path) {
  std::vector<BYTE> raw;
  DWORD type = 0;
  if (!qvt::ReadRaw(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                    "PendingFileRenameOperations", &raw, &type))
    return false;
  std::string all(raw.begin(), raw.end());
  for (char& c : all) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  std::string want = path;
  for (char& c : want) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return all.find(want) != std::string::npos;
}

struct LockedCase {
  std::string path;
  int result;
};

void DeleteLocked(void* p) {
  LockedCase* c = static_cast<LockedCase*>(p);
  c->result = SecureDeleteFile(c->path.c_str());
}

TEST_F(DeletionTest, LockedFileIsScheduledOverwrittenAndReported) {
  LockedCase c = {root_ + "locked.dat", -1};
  ASSERT_TRUE(qvt::WriteFile(c.path, std::string(100, 'k')));
  HANDLE lock = CreateFileA(c.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  auto boxes = BoxesDuring(DeleteLocked, &c);
  CloseHandle(lock);
  EXPECT_EQ(1, c.result);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Could not delete '" + c.path +
                "' because it is locked. The contents, however, has been overwritten with random numbers. "
                "The file will be deleted at next computer restart. Windows issued this error: " +
                SystemText(ERROR_SHARING_VIOLATION),
            boxes[0]);
  EXPECT_EQ(1, WashLockedCount.load());
  EXPECT_EQ(0, WashErrorCount.load());
  EXPECT_TRUE(PendingRenameNames(c.path));
  std::string bytes;
  qvt::ReadFile(c.path, &bytes);
  EXPECT_NE(std::string(100, 'k'), bytes);
}

TEST_F(DeletionTest, LockedFileWithoutRestartQueueGetsTheHint) {
  SetSetting("QueueForNextRestart", 0);
  LockedCase c = {root_ + "held.dat", -1};
  ASSERT_TRUE(qvt::WriteFile(c.path, "held"));
  HANDLE lock = CreateFileA(c.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  auto boxes = BoxesDuring(DeleteLocked, &c);
  CloseHandle(lock);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Could not delete '" + c.path +
                "' because it is locked. Check 'Delete locked files at next computer restart' in Delete Options. "
                "Windows issued this error: " +
                SystemText(ERROR_SHARING_VIOLATION),
            boxes[0]);
  EXPECT_EQ(1, WashErrorCount.load());
  EXPECT_EQ(0, WashLockedCount.load());
  EXPECT_FALSE(PendingRenameNames(c.path));
}

// A file beyond 4 GB (sparse: its holes cost no disk) is overwritten to its last
// byte, across the 4 GB mark, and keeps its length.
TEST_F(DeletionTest, TheShredderOverwritesAFileBeyondFourGigabytesToItsEnd) {
  const std::string file = root_ + "big.bin";
  const long long size = (4LL << 30) + 3 * 8192 + 100;
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD ignored = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = size;
  ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h));
  CloseHandle(h);
  ContentsOverwritten = 0;
  EXPECT_EQ(1, OverwriteFile(file.c_str()));
  EXPECT_EQ(1, ContentsOverwritten.load());
  h = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  LARGE_INTEGER length;
  ASSERT_TRUE(GetFileSizeEx(h, &length));
  EXPECT_EQ(size, length.QuadPart);
  for (long long at : {(4LL << 30) - 64, size - 200}) {  // across the 4 GB mark, and the tail
    LARGE_INTEGER where;
    where.QuadPart = at;
    char bytes[200] = {};
    DWORD read = 0;
    ASSERT_TRUE(SetFilePointerEx(h, where, nullptr, FILE_BEGIN) && ::ReadFile(h, bytes, sizeof bytes, &read, nullptr));
    ASSERT_EQ(sizeof bytes, read);
    EXPECT_NE(std::string(sizeof bytes, '\0'), std::string(bytes, sizeof bytes)) << "not overwritten at " << at;
  }
  CloseHandle(h);
  DeleteFileA(file.c_str());
}

TEST_F(DeletionTest, LinkedFolderIsRemovedWithoutItsTarget) {
  const std::string tree = "C:\\qvwashlink\\tree\\";
  if (!IsFolder(tree + "link")) GTEST_SKIP() << "link fixture missing";
  DWORD a = GetFileAttributesA((tree + "link").c_str());
  ASSERT_TRUE(a & FILE_ATTRIBUTE_REPARSE_POINT);
  Empty(tree, 1);
  EXPECT_TRUE(qvt::FileExists("C:\\qvwashlink\\target\\keep.txt"));
  EXPECT_TRUE(qvt::FileExists("C:\\qvwashlink\\target\\inner\\keep2.txt"));
  EXPECT_FALSE(qvt::FileExists(tree + "sub\\file.txt"));
  // Wine 8 cannot remove a Unix link to a folder through RemoveDirectory: the link stays there.
}

// A file with a second name outside the washed folder keeps its data there:
// only its name in the folder goes.
TEST_F(DeletionTest, AHardLinkedFileIsNotShreddedThroughItsOtherName) {
  std::string outside = qvt::TempFolder();
  ASSERT_TRUE(qvt::WriteFile(outside + "outside.txt", "keep these bytes"));
  ASSERT_TRUE(CreateHardLinkA((root_ + "hard.txt").c_str(), (outside + "outside.txt").c_str(), nullptr));
  ContentsOverwritten = 0;
  EXPECT_EQ(0, OverwriteFile((root_ + "hard.txt").c_str()));
  EXPECT_EQ(0, ContentsOverwritten.load());
  SetSetting("ShredInternal", 1);
  Empty(root_, 1);
  EXPECT_FALSE(qvt::FileExists(root_ + "hard.txt"));
  std::string bytes;
  ASSERT_TRUE(qvt::ReadFile(outside + "outside.txt", &bytes));
  EXPECT_EQ("keep these bytes", bytes);
  EXPECT_EQ(0, WashErrorCount.load());
  DeleteFileA((outside + "outside.txt").c_str());
  RemoveDirectoryA(outside.c_str());
}

// An entry named like a device is that file: the shredder writes the file and
// never the device, and the walk deletes it. A path that does name the device
// is not written and not claimed.
TEST_F(DeletionTest, AnEntryNamedNulIsTheFileNotTheDevice) {
  const std::string literal = "\\\\?\\" + root_ + "nul";
  ASSERT_TRUE(qvt::WriteFile(literal, std::string(100, 'n')));
  ContentsOverwritten = 0;
  EXPECT_EQ(1, OverwriteFile((root_ + "nul").c_str()));
  EXPECT_EQ(1, ContentsOverwritten.load());
  std::string bytes;
  ASSERT_TRUE(qvt::ReadFile(literal, &bytes));
  EXPECT_EQ(100u, bytes.size());
  EXPECT_NE(std::string(100, 'n'), bytes);
  ContentsOverwritten = 0;
  EXPECT_EQ(0, OverwriteFile("nul"));  // the device itself
  EXPECT_EQ(0, ContentsOverwritten.load());
  SetSetting("ShredInternal", 1);
  Empty(root_, 1);
  EXPECT_FALSE(qvt::FileExists(literal));
  EXPECT_EQ(0, WashErrorCount.load());
}

// A folder named "name." is walked itself, not its sibling "name".
TEST_F(DeletionTest, AFolderWithATrailingDotIsWalkedNotItsSibling) {
  CreateDirectoryA((root_ + "twin").c_str(), nullptr);
  ASSERT_TRUE(qvt::WriteFile(root_ + "twin\\keep.tmp", "k"));
  ASSERT_TRUE(CreateDirectoryA(("\\\\?\\" + root_ + "twin.").c_str(), nullptr));
  ASSERT_TRUE(qvt::WriteFile("\\\\?\\" + root_ + "twin.\\gone.tmp", "g"));
  Empty("\\\\?\\" + root_ + "twin.\\*.tmp", 1);
  EXPECT_TRUE(qvt::FileExists(root_ + "twin\\keep.tmp"));
  EXPECT_FALSE(qvt::FileExists("\\\\?\\" + root_ + "twin.\\gone.tmp"));
  Empty(root_, 1);
  EXPECT_FALSE(qvt::FileExists(root_ + "twin"));
}

// A file that another program (or a single-item clearing) removed between the
// listing and its deletion counts as deleted: no report, no count, nothing scheduled.
TEST_F(DeletionTest, AFileAlreadyGoneCountsAsDeleted) {
  struct Gone {
    std::string path;
    int result[2];
  } gone = {root_ + "gone.dat", {-1, -1}};
  auto boxes = BoxesDuring(
      [](void* p) {
        Gone* g = static_cast<Gone*>(p);
        g->result[0] = DeleteOrScheduleFile(g->path.c_str(), 1);
        g->result[1] = DeleteOrScheduleFile((g->path + "\\..\\nofolder\\x.dat").c_str(), 1);
      },
      &gone);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(1, gone.result[0]);
  EXPECT_EQ(1, gone.result[1]);
  EXPECT_EQ(0, WashErrorCount.load());
  EXPECT_EQ(0, WashLockedCount.load());
  EXPECT_FALSE(PendingRenameNames(gone.path));
}

// ---- Locked files of a wash without the rights for the restart list (as for a
// user who is not an administrator on Windows; Wine lets everybody use it).

BOOL WINAPI MoveWithoutRights(LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
LONG WINAPI KeyWithoutRights(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return ERROR_ACCESS_DENIED; }

constexpr const char* kRightsWarning =
    "To delete a locked file you need either Administrator rights, or write permission to: "
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kNotSetUp = "Locked files that could NOT be set up for deletion at next computer restart: ";

class LockedWashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTrayIdentity();
    ClearWashSettings();
    washt::UntickAllItems();
    SetSetting("ClearTemp", 1);
    StopRequested = 0;
    ResetWashCounts();
  }
  void TearDown() override {
    SetRestartListCalls(nullptr, nullptr);
    for (HANDLE h : locks_) CloseHandle(h);
    ClearWashSettings();
  }
  // count files in the scratch TEMP, held open without delete sharing.
  std::vector<std::string> Lock(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      std::string path = env.temp + "locked" + std::to_string(i) + ".dat";
      qvt::WriteFile(path, "locked");
      locks_.push_back(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
      paths.push_back(path);
    }
    return paths;
  }
  static size_t Count(const std::vector<std::string>& boxes, const std::string& begin) {
    size_t n = 0;
    for (const std::string& b : boxes) n += b.compare(0, begin.size(), begin) == 0;
    return n;
  }
  washt::WashEnvironment env;
  std::vector<HANDLE> locks_;
};

// A run: the warning once, no box for each file, and the summary names them.
TEST_F(LockedWashTest, WithoutRightsARunWarnsOnceAndReportsTheFilesInItsSummary) {
  SetRestartListCalls(MoveWithoutRights, KeyWithoutRights);
  std::vector<std::string> paths = Lock(3);
  auto boxes = BoxesDuring([](void*) { WashThreadProc(nullptr); }, nullptr);
  ASSERT_EQ(2u, boxes.size()) << (boxes.empty() ? "" : boxes.back());
  EXPECT_EQ(kRightsWarning, boxes[0]);
  EXPECT_EQ(0u, boxes[1].find("Wash finished. 3 errors occured. 3 warnings issued.\r\n")) << boxes[1];
  EXPECT_NE(std::string::npos, boxes[1].find("Files that could not be deleted: 3; the first: " + paths[0]));
  EXPECT_NE(std::string::npos,
            boxes[1].find(std::string(kNotSetUp) + "3; the first:\r\n" + paths[0] + "\r\n" + paths[1] + "\r\n" +
                          paths[2]))
      << boxes[1];
  EXPECT_EQ(std::string::npos, boxes[1].find("more."));
  EXPECT_EQ(3, WashErrorCount.load());
  EXPECT_EQ(3, WashWarningCount.load());
  EXPECT_EQ(0, WashLockedCount.load());
}

// A clearing from the Wash page: the warning once, then one box for all files.
TEST_F(LockedWashTest, WithoutRightsAClearingFromThePageWarnsOnceAndReportsOnce) {
  SetRestartListCalls(MoveWithoutRights, KeyWithoutRights);
  std::vector<std::string> paths = Lock(4);
  auto boxes = BoxesDuring(
      [](void*) {
        const int temp = 3;
        ClearItemsNow(&temp, 1);
      },
      nullptr);
  ASSERT_EQ(2u, boxes.size()) << (boxes.empty() ? "" : boxes.back());
  EXPECT_EQ(kRightsWarning, boxes[0]);
  EXPECT_EQ(std::string(kNotSetUp) + "4; the first:\r\n" + paths[0] + "\r\n" + paths[1] + "\r\n" + paths[2] +
                "\r\n... and 1 more.",
            boxes[1]);
  EXPECT_EQ(4, WashErrorCount.load());
  EXPECT_EQ(4, WashWarningCount.load());
}

// With the rights each locked file keeps its own report, and no warning.
TEST_F(LockedWashTest, WithRightsEachLockedFileHasItsReport) {
  Lock(3);
  auto boxes = BoxesDuring([](void*) { WashThreadProc(nullptr); }, nullptr);
  ASSERT_EQ(4u, boxes.size());
  EXPECT_EQ(3u, Count(boxes, "Could not delete '"));
  EXPECT_EQ(0u, Count(boxes, kRightsWarning));
  EXPECT_EQ(0u, boxes[3].find("Wash finished successfully! (3 locked files will be deleted after reboot.)"));
  EXPECT_EQ(std::string::npos, boxes[3].find(kNotSetUp));
  EXPECT_EQ(3, WashLockedCount.load());
  EXPECT_EQ(0, WashWarningCount.load());
}

// Drive Q: is a scratch folder made by the ctest fixture; the current folder is on it.
TEST(DeletionRootTest, RootsAndRelativePathsAreNeverWalked) {
  if (!qvt::FileExists("Q:\\sentinel.txt")) GTEST_SKIP() << "drive fixture missing (run through ctest)";
  CreateDirectoryA("Q:\\x", nullptr);
  ASSERT_TRUE(qvt::WriteFile("Q:\\x\\inner.txt", "i"));
  UseTrayIdentity();
  ClearWashSettings();
  StopRequested = 0;
  char previous[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA("Q:\\x"));
  for (const char* path : {"Q:", "*.txt", "Q:\\", "Q:\\.", "Q:/", "Q:\\x\\..", "Q:\\*.txt", "\\\\?\\Q:\\*.txt", "x"})
    Empty(path, 0);
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(qvt::FileExists("Q:\\sentinel.txt"));
  EXPECT_TRUE(qvt::FileExists("Q:\\x\\inner.txt"));
  Empty("Q:\\x\\*.txt", 0);  // below the root it works
  EXPECT_FALSE(qvt::FileExists("Q:\\x\\inner.txt"));
}

}  // namespace
