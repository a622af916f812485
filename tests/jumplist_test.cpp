// Jump lists: pinned lists survive the Recent item and the jump-list step; the
// lists of recent entries only go.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "support/qvtest.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/jumplists.h"
#include "tray/wash/wash.h"
#include "wash_env.h"
#include "wash_support.h"

namespace {

// A compound file as the shell writes an automatic jump list: a "DestList"
// stream whose header counts the entries and the pinned ones.
bool WriteJumpList(const std::string& path, DWORD version, DWORD entries, DWORD pinned) {
  std::wstring wide(path.begin(), path.end());
  IStorage* storage = nullptr;
  if (FAILED(StgCreateStorageEx(wide.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STGFMT_DOCFILE, 0,
                                nullptr, nullptr, IID_IStorage, reinterpret_cast<void**>(&storage))))
    return false;
  IStream* stream = nullptr;
  bool written = false;
  if (SUCCEEDED(storage->CreateStream(L"DestList", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream))) {
    DWORD header[8] = {version, entries, pinned, 0, entries, 0, 7, 0};
    std::vector<BYTE> body(sizeof header + 130 * entries, 0x5a);
    memcpy(body.data(), header, sizeof header);
    ULONG done = 0;
    written = SUCCEEDED(stream->Write(body.data(), static_cast<ULONG>(body.size()), &done)) && done == body.size();
    stream->Release();
  }
  storage->Release();
  return written;
}

std::vector<unsigned char> Bytes(const std::string& path) {
  std::string text;
  qvt::ReadFile(path, &text);
  return std::vector<unsigned char>(text.begin(), text.end());
}

class JumpLists : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWashTest();
    automatic = env.recent + "AutomaticDestinations\\";
    custom = env.recent + "CustomDestinations\\";
    CreateDirectoryA(automatic.c_str(), nullptr);
    CreateDirectoryA(custom.c_str(), nullptr);
    ASSERT_TRUE(WriteJumpList(automatic + "pinned.automaticDestinations-ms", 4, 5, 2));
    ASSERT_TRUE(WriteJumpList(automatic + "recent.automaticDestinations-ms", 4, 5, 0));
    ASSERT_TRUE(WriteJumpList(automatic + "seven.automaticDestinations-ms", 1, 3, 0));
    ASSERT_TRUE(WriteJumpList(automatic + "future.automaticDestinations-ms", 9, 3, 0));
    ASSERT_TRUE(qvt::WriteFile(automatic + "damaged.automaticDestinations-ms", std::string(2048, 'x')));
    ASSERT_TRUE(qvt::WriteFile(automatic + "other.dat", "not a list"));
    ASSERT_TRUE(qvt::WriteFile(custom + "app.customDestinations-ms", std::string(600, 'c')));
    ASSERT_TRUE(qvt::WriteFile(env.recent + "report.lnk", "a shortcut"));
    pinned = Bytes(automatic + "pinned.automaticDestinations-ms");
  }
  void TearDown() override { ClearWashSettings(); }
  void Run(void (*item)()) {
    BoxesDuring([](void* p) { reinterpret_cast<void (*)()>(p)(); }, reinterpret_cast<void*>(item), 30000);
  }
  bool Has(const std::string& path) { return qvt::FileExists(path); }
  washt::WashEnvironment env;
  std::string automatic, custom;
  std::vector<unsigned char> pinned;
};

TEST_F(JumpLists, TheRecentItemLeavesEveryJumpListAsItIs) {
  Run(WashRecentDocs);
  EXPECT_FALSE(Has(env.recent + "report.lnk"));
  for (const char* name : {"pinned", "recent", "seven", "future", "damaged"})
    EXPECT_TRUE(Has(automatic + name + ".automaticDestinations-ms")) << name;
  EXPECT_TRUE(Has(automatic + "other.dat"));
  EXPECT_TRUE(Has(custom + "app.customDestinations-ms"));
  EXPECT_EQ(0, WashErrorCount.load());
}

TEST_F(JumpLists, TheJumpListStepTakesListsWithoutPinsAndKeepsPinnedAndUnreadableOnes) {
  Run(WashJumpLists);
  EXPECT_FALSE(Has(automatic + "recent.automaticDestinations-ms"));
  EXPECT_FALSE(Has(automatic + "seven.automaticDestinations-ms"));
  EXPECT_FALSE(Has(custom + "app.customDestinations-ms"));
  EXPECT_EQ(pinned, Bytes(automatic + "pinned.automaticDestinations-ms"));
  EXPECT_TRUE(Has(automatic + "future.automaticDestinations-ms")) << "a format not known is kept";
  EXPECT_TRUE(Has(automatic + "damaged.automaticDestinations-ms"));
  EXPECT_TRUE(Has(automatic + "other.dat"));
  EXPECT_TRUE(Has(env.recent + "report.lnk")) << "the step touches the jump lists only";
  EXPECT_EQ(0, WashErrorCount.load());
}

}  // namespace
