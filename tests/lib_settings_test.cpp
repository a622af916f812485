// Settings and plain registry access of Quorvane.dll.
#include "lib_support.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using libt::kFamilyKey;
using libt::kSettingsKey;

constexpr const char* kScratch = "Software\\Quorvane\\LibTestScratch";

class LibSettingsTest : public libt::LibTest {
 protected:
  void SetUp() override {
    LibTest::SetUp();
    qvt::DeleteTree(HKEY_CURRENT_USER, kScratch);
  }
  void TearDown() override {
    qvt::DeleteTree(HKEY_CURRENT_USER, kScratch);
    LibTest::TearDown();
  }
};

TEST_F(LibSettingsTest, NeverWrittenAndWrongTypesReadMinusOne) {
  EXPECT_EQ(-1, LibReadSettingInt(HKEY_CURRENT_USER, "NeverWritten"));
  char buffer[LIB_SETTING_CHARS] = "junk";
  EXPECT_EQ(0, LibReadSetting(HKEY_CURRENT_USER, "NeverWritten", buffer));
  EXPECT_STREQ("", buffer);
  // A text or an 8-byte value is no number setting.
  qvt::WriteString(HKEY_CURRENT_USER, kSettingsKey, "Text", "5");
  const BYTE eight[8] = {5};
  qvt::WriteRaw(HKEY_CURRENT_USER, kSettingsKey, "Long", REG_QWORD, eight, 8);
  EXPECT_EQ(-1, LibReadSettingInt(HKEY_CURRENT_USER, "Text"));
  EXPECT_EQ(-1, LibReadSettingInt(HKEY_CURRENT_USER, "Long"));
  // Roots without settings.
  EXPECT_EQ(-1, LibReadSettingInt(HKEY_CLASSES_ROOT, "Text"));
  EXPECT_EQ(0, LibWriteSettingInt(HKEY_USERS, "X", 1));
}

TEST_F(LibSettingsTest, NumbersAndTextsLandDirectlyInTheSettingsKey) {
  ASSERT_NE(0, LibWriteSettingInt(HKEY_CURRENT_USER, "Number", 42));
  ASSERT_NE(0, LibWriteSettingInt(HKEY_CURRENT_USER, "Negative", -7));
  ASSERT_NE(0, LibWriteSetting(HKEY_CURRENT_USER, "Text", "C:\\Sounds\\knock.wav"));
  DWORD value = 0;
  ASSERT_TRUE(qvt::ReadDword(HKEY_CURRENT_USER, kSettingsKey, "Number", &value));
  EXPECT_EQ(42u, value);
  std::vector<BYTE> raw;
  DWORD type = 0;
  ASSERT_TRUE(qvt::ReadRaw(HKEY_CURRENT_USER, kSettingsKey, "Text", &raw, &type));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(std::string("C:\\Sounds\\knock.wav", 20), std::string(raw.begin(), raw.end()));  // with terminator
  EXPECT_EQ(42, LibReadSettingInt(HKEY_CURRENT_USER, "Number"));
  EXPECT_EQ(-7, LibReadSettingInt(HKEY_CURRENT_USER, "Negative"));
  char buffer[LIB_SETTING_CHARS];
  ASSERT_NE(0, LibReadSetting(HKEY_CURRENT_USER, "Text", buffer));
  EXPECT_STREQ("C:\\Sounds\\knock.wav", buffer);
}

TEST_F(LibSettingsTest, MachineSettingsUseTheFamilyKey) {
  std::string before;
  bool had = qvt::ReadString(HKEY_LOCAL_MACHINE, kFamilyKey, "LibTestValue", &before);
  ASSERT_FALSE(had);
  ASSERT_NE(0, LibWriteSetting(HKEY_LOCAL_MACHINE, "LibTestValue", "machine"));
  std::string text;
  EXPECT_TRUE(qvt::ReadString(HKEY_LOCAL_MACHINE, kFamilyKey, "LibTestValue", &text));
  EXPECT_EQ("machine", text);
  EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, kSettingsKey, "LibTestValue"));
  LibRegDeleteValue(HKEY_LOCAL_MACHINE, kFamilyKey, "LibTestValue");
  EXPECT_FALSE(qvt::ValueExists(HKEY_LOCAL_MACHINE, kFamilyKey, "LibTestValue"));
}

// A text that does not fit the 260-character buffer is refused, never cut: a cut
// "InstallPath" would name another folder. 259 characters still fit.
TEST_F(LibSettingsTest, ATextLongerThanTheBufferIsRefusedNotCut) {
  for (size_t length : {size_t{1000}, size_t{260}, size_t{259}}) {
    std::string text(length, 'a');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    qvt::WriteString(HKEY_CURRENT_USER, kSettingsKey, "Long", text.c_str());
    char buffer[LIB_SETTING_CHARS + 16];
    memset(buffer, 'G', sizeof buffer);
    int read = LibReadSetting(HKEY_CURRENT_USER, "Long", buffer);
    if (length < LIB_SETTING_CHARS) {
      EXPECT_NE(0, read) << length;
      EXPECT_EQ(text, std::string(buffer));
    } else {
      EXPECT_EQ(0, read) << length;
      EXPECT_STREQ("", buffer) << length;
    }
    for (size_t i = LIB_SETTING_CHARS; i < sizeof buffer; ++i) ASSERT_EQ('G', buffer[i]) << i;
  }
}

TEST_F(LibSettingsTest, WriteValueStoresExactlyTheGivenBytes) {
  ASSERT_NE(0, LibRegWriteValue(HKEY_CURRENT_USER, kScratch, "Yes", REG_SZ, "yes", 4));
  ASSERT_NE(0, LibRegWriteValue(HKEY_CURRENT_USER, kScratch, "No", REG_SZ, "no", 3));
  const BYTE bytes[5] = {1, 0, 2, 0, 3};
  ASSERT_NE(0, LibRegWriteValue(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Deep\\Er", "Bin", REG_BINARY,
                                bytes, 5));
  ASSERT_NE(0, LibRegWriteValue(HKEY_CURRENT_USER, kScratch, nullptr, REG_SZ, "default", 8));
  std::vector<BYTE> raw;
  DWORD type = 0;
  ASSERT_TRUE(qvt::ReadRaw(HKEY_CURRENT_USER, kScratch, "Yes", &raw, &type));
  EXPECT_EQ(4u, raw.size());
  ASSERT_TRUE(qvt::ReadRaw(HKEY_CURRENT_USER, kScratch, "No", &raw, &type));
  EXPECT_EQ(3u, raw.size());
  ASSERT_TRUE(qvt::ReadRaw(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Deep\\Er", "Bin", &raw, &type));
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 5), raw);
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  std::string text;
  ASSERT_TRUE(qvt::ReadString(HKEY_CURRENT_USER, kScratch, "", &text));
  EXPECT_EQ("default", text);
}

TEST_F(LibSettingsTest, ReadValueNeverPassesTheBufferSize) {
  std::string text(100, 'x');
  qvt::WriteString(HKEY_CURRENT_USER, kScratch, "Text", text.c_str());
  char buffer[64];
  memset(buffer, 'G', sizeof buffer);
  EXPECT_EQ(0, LibRegReadValue(HKEY_CURRENT_USER, kScratch, "Text", buffer, 16));
  for (size_t i = 16; i < sizeof buffer; ++i) ASSERT_EQ('G', buffer[i]) << i;
  // Exactly fitting works, also for the default value and binary data.
  memset(buffer, 'G', sizeof buffer);
  qvt::WriteString(HKEY_CURRENT_USER, kScratch, "", "abc");
  ASSERT_NE(0, LibRegReadValue(HKEY_CURRENT_USER, kScratch, nullptr, buffer, 4));
  EXPECT_STREQ("abc", buffer);
  EXPECT_EQ('G', buffer[4]);
  DWORD number = 0;
  qvt::WriteDword(HKEY_CURRENT_USER, kScratch, "N", 77);
  ASSERT_NE(0, LibRegReadValue(HKEY_CURRENT_USER, kScratch, "N", &number, sizeof number));
  EXPECT_EQ(77u, number);
  EXPECT_EQ(0, LibRegReadValue(HKEY_CURRENT_USER, kScratch, "Missing", buffer, sizeof buffer));
  EXPECT_EQ(0, LibRegReadValue(HKEY_CURRENT_USER, "Software\\Quorvane\\NoSuchKeyHere", "N", buffer, sizeof buffer));
}

TEST_F(LibSettingsTest, DeleteValueAndTree) {
  qvt::WriteDword(HKEY_CURRENT_USER, kScratch, "A", 1);
  qvt::WriteDword(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Sub\\SubSub", "B", 2);
  EXPECT_NE(0, LibRegDeleteValue(HKEY_CURRENT_USER, kScratch, "A"));
  EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, kScratch, "A"));
  LibRegDeleteValue(HKEY_CURRENT_USER, kScratch, "A");                           // absent: silent
  LibRegDeleteValue(HKEY_CURRENT_USER, "Software\\Quorvane\\NoSuchKeyHere", "A");  // no key: silent
  // Without subkeys allowed, a key that still holds some stays.
  EXPECT_EQ(0, LibRegDeleteTree(HKEY_CURRENT_USER, kScratch, 0));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key));
  RegCloseKey(key);
  EXPECT_NE(0, LibRegDeleteTree(HKEY_CURRENT_USER, kScratch, 1));
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key));
  // An empty key goes with 0 as well.
  qvt::WriteDword(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Empty", "X", 1);
  LibRegDeleteValue(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Empty", "X");
  EXPECT_NE(0, LibRegDeleteTree(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Empty", 0));
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quorvane\\LibTestScratch\\Empty", 0, KEY_READ, &key));
}

TEST_F(LibSettingsTest, DeleteTreeRefusesAWholeHive) {
  EXPECT_EQ(0, LibRegDeleteTree(HKEY_CURRENT_USER, "", 1));
  EXPECT_EQ(0, LibRegDeleteTree(HKEY_CURRENT_USER, nullptr, 1));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key));
  RegCloseKey(key);
}

}  // namespace
