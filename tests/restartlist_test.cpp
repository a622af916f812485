// The restart list written byte for byte, and its failure texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/restartlist.h"
#include "support/qvtest.h"
#include "wash_support.h"

namespace {

std::string g_lastBox;
int g_boxes;
void RecordBox(HWND, const char* text) {
  g_lastBox = text;
  ++g_boxes;
}

class RestartListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    list_ = std::string(windows) + "\\wininit.ini";
    hadList_ = qvt::ReadFile(list_, &saved_);
    DeleteFileA(list_.c_str());
    folder_ = qvt::TempFolder();
    file_ = folder_ + "locked file.txt";
    ASSERT_TRUE(qvt::WriteFile(file_, "x"));
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA(file_.c_str(), shortPath, MAX_PATH);
    entry_ = std::string("NUL=") + shortPath + "\r\n";
    g_lastBox.clear();
    g_boxes = 0;
    errors_ = 0;
  }
  void TearDown() override {
    DeleteFileA(list_.c_str());
    if (hadList_) qvt::WriteFile(list_, saved_);
    DeleteFileA(file_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  int Queue() { return QueueRestartDeletion(file_.c_str(), 1, RecordBox, &errors_); }
  std::string List() {
    std::string text;
    qvt::ReadFile(list_, &text);
    return text;
  }
  std::string list_, saved_, folder_, file_, entry_;
  bool hadList_ = false;
  std::atomic<int> errors_{0};
};

TEST_F(RestartListTest, MissingListIsCreatedWithHeaderAndEntry) {
  EXPECT_EQ(1, Queue());
  EXPECT_EQ("[rename]\r\n" + entry_, List());
  EXPECT_EQ(0, g_boxes);
}

TEST_F(RestartListTest, ListWithoutAcceptedHeaderGetsSectionAppended) {
  const std::string before = "[boot]\r\nx=1\r\n[RENAme]\r\nNUL=C:\\A.TXT\r\n";
  qvt::WriteFile(list_, before);
  EXPECT_EQ(1, Queue());
  EXPECT_EQ(before + "[rename]\r\n" + entry_, List());
}

TEST_F(RestartListTest, EntryEndsTheLastSection) {
  const std::string before = "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\A.TXT\r\n";
  qvt::WriteFile(list_, before);
  EXPECT_EQ(1, Queue());
  EXPECT_EQ(before + entry_, List());
}

TEST_F(RestartListTest, EntryIsInsertedBeforeTheNextSection) {
  qvt::WriteFile(list_, "[rename]\r\nNUL=C:\\A.TXT\r\n[other]\r\nx=y\r\n");
  EXPECT_EQ(1, Queue());
  EXPECT_EQ("[rename]\r\nNUL=C:\\A.TXT\r\n" + entry_ + "[other]\r\nx=y\r\n", List());
}

TEST_F(RestartListTest, LowerCaseHeaderWinsOverAnEarlierForm) {
  qvt::WriteFile(list_, "[Rename]\r\nNUL=C:\\A.TXT\r\n[rename]\r\nNUL=C:\\B.TXT\r\n[x]\r\n");
  EXPECT_EQ(1, Queue());
  EXPECT_EQ("[Rename]\r\nNUL=C:\\A.TXT\r\n[rename]\r\nNUL=C:\\B.TXT\r\n" + entry_ + "[x]\r\n", List());
}

TEST_F(RestartListTest, OverlongListIsLeftAloneAndReportedUncounted) {
  const std::string big(1000001, 'a');
  qvt::WriteFile(list_, big);
  EXPECT_EQ(0, Queue());
  EXPECT_EQ(big, List());
  EXPECT_EQ(1, g_boxes);
  EXPECT_EQ(0u, g_lastBox.find("Cannot read " + list_ + " to delete a locked file. Windows reported this error: "));
  EXPECT_EQ(0, errors_.load());
}

TEST_F(RestartListTest, SilentWhenReportIsClear) {
  qvt::WriteFile(list_, std::string(1000001, 'a'));
  EXPECT_EQ(0, QueueRestartDeletion(file_.c_str(), 0, RecordBox, &errors_));
  EXPECT_EQ(0, g_boxes);
}

TEST_F(RestartListTest, SameFileTwiceGivesTwoLines) {
  EXPECT_EQ(1, Queue());
  EXPECT_EQ(1, Queue());
  EXPECT_EQ("[rename]\r\n" + entry_ + entry_, List());
}

TEST_F(RestartListTest, LastLineWithoutLineEndIsEndedFirst) {
  qvt::WriteFile(list_, "[rename]\r\nNUL=C:\\A.TXT");
  EXPECT_EQ(1, Queue());
  EXPECT_EQ("[rename]\r\nNUL=C:\\A.TXT\r\n" + entry_, List());
  qvt::WriteFile(list_, "[boot]\r\nx=1");
  EXPECT_EQ(1, Queue());
  EXPECT_EQ("[boot]\r\nx=1\r\n[rename]\r\n" + entry_, List());
}

}  // namespace
