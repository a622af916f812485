// Settings files (".qvg"): export, import, damaged and foreign files.
#include "lib_support.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char* kTree = "Software\\Quorvane\\LibTestQvg";
constexpr const char* kTreePath = "HKEY_CURRENT_USER\\Software\\Quorvane\\LibTestQvg";
constexpr const char* kForeign = "Software\\LibTestNotQuorvane";

// A registry subtree read back completely: key path -> name -> (type, bytes).
using Values = std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>;
using Tree = std::map<std::string, Values>;

void ReadTree(HKEY root, const std::string& path, Tree* tree) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  Values& values = (*tree)[path];
  char name[16384];
  static BYTE data[1 << 16];
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = sizeof name, size = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values[std::string(name, nameLen)] = {type, std::vector<BYTE>(data, data + size)};
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const auto& c : children) ReadTree(root, path + "\\" + c, tree);
}

class LibQvgTest : public libt::LibTest {
 protected:
  void SetUp() override {
    LibTest::SetUp();
    qvt::DeleteTree(HKEY_CURRENT_USER, kTree);
    qvt::DeleteTree(HKEY_CURRENT_USER, kForeign);
    folder_ = qvt::TempFolder();
    file_ = folder_ + "settings.qvg";
  }
  void TearDown() override {
    qvt::DeleteTree(HKEY_CURRENT_USER, kTree);
    qvt::DeleteTree(HKEY_CURRENT_USER, kForeign);
    DeleteFileA(file_.c_str());
    RemoveDirectoryA(folder_.c_str());
    LibTest::TearDown();
  }

  static void FillTree() {
    qvt::WriteDword(HKEY_CURRENT_USER, kTree, "Number", 0x2a);
    qvt::WriteString(HKEY_CURRENT_USER, kTree, "Text", "say \"hi\" C:\\x\\ \xE4\xF6\xFC\xDF \x01\t;=[]@");
    qvt::WriteString(HKEY_CURRENT_USER, kTree, "Empty text", "");
    qvt::WriteString(HKEY_CURRENT_USER, kTree, "", "the default");
    qvt::WriteString(HKEY_CURRENT_USER, kTree, "\"quoted\" \\name\\ =", "v");
    qvt::WriteString(HKEY_CURRENT_USER, kTree, "@", "at sign");
    qvt::WriteRaw(HKEY_CURRENT_USER, kTree, "Expand", REG_EXPAND_SZ, "%TEMP%\\x", 10);
    qvt::WriteRaw(HKEY_CURRENT_USER, kTree, "Multi", REG_MULTI_SZ, "one\0two\0\0", 9);
    const BYTE binary[] = {0, 1, 2, 0xFF, 0x0D, 0x0A, 0x22};
    qvt::WriteRaw(HKEY_CURRENT_USER, kTree, "Binary", REG_BINARY, binary, sizeof binary);
    qvt::WriteRaw(HKEY_CURRENT_USER, kTree, "Empty binary", REG_BINARY, nullptr, 0);
    qvt::WriteRaw(HKEY_CURRENT_USER, kTree, "Odd dword", REG_DWORD, binary, 3);
    qvt::WriteRaw(HKEY_CURRENT_USER, kTree, "Line\r\nbreak", REG_SZ, "a\r\nb", 5);
    std::string sub = std::string(kTree) + "\\Sub";
    qvt::WriteDword(HKEY_CURRENT_USER, sub.c_str(), "Deep", 7);
    qvt::WriteDword(HKEY_CURRENT_USER, (sub + "\\Sub Sub").c_str(), "Deeper", 0xFFFFFFFF);
    HKEY empty;
    RegCreateKeyExA(HKEY_CURRENT_USER, (sub + "\\Empty key").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &empty,
                    nullptr);
    RegCloseKey(empty);
  }

  // Imports a file that must be refused: one error box, nothing changed.
  void ExpectRefused(const std::string& content, const char* reason) {
    SCOPED_TRACE(reason);
    ASSERT_TRUE(qvt::WriteFile(file_, content));
    Tree before;
    ReadTree(HKEY_CURRENT_USER, kTree, &before);
    struct Call {
      const char* path;
      int result;
    } call = {file_.c_str(), -1};
    std::string box = qvt::AnswerBoxDuring(
        [](void* p) {
          auto* c = static_cast<Call*>(p);
          c->result = LibImportSettingsFile(c->path);
        },
        &call, IDOK, 10000);
    EXPECT_EQ(0, call.result);
    EXPECT_NE(std::string::npos, box.find(file_)) << box;
    Tree after;
    ReadTree(HKEY_CURRENT_USER, kTree, &after);
    EXPECT_TRUE(before == after);
    EXPECT_EQ(0, qvt::DismissMessageBoxes(GetCurrentProcessId()));  // only one box
    lastBox_ = box;
  }

  std::string folder_, file_, lastBox_;
};

TEST_F(LibQvgTest, ExportClearImportGivesTheSameBytes) {
  FillTree();
  Tree original;
  ReadTree(HKEY_CURRENT_USER, kTree, &original);
  ASSERT_EQ(4u, original.size());
  ASSERT_NE(0, LibExportRegistryKey(0, kTreePath, file_.c_str()));
  std::string text;
  ASSERT_TRUE(qvt::ReadFile(file_, &text));
  EXPECT_EQ(0u, text.find("Quorvane Settings File 1\r\n"));
  EXPECT_NE(std::string::npos, text.find("\"Number\"=dword:0000002a\r\n"));
  EXPECT_NE(std::string::npos, text.find("End of settings: 14 values\r\n"));
  EXPECT_FALSE(qvt::FileExists(file_ + ".qvtmp"));
  qvt::DeleteTree(HKEY_CURRENT_USER, kTree);
  ASSERT_NE(0, LibImportSettingsFile(file_.c_str()));
  Tree imported;
  ReadTree(HKEY_CURRENT_USER, kTree, &imported);
  EXPECT_TRUE(original == imported);
  for (const auto& [key, values] : original) {
    ASSERT_TRUE(imported.count(key)) << key;
    for (const auto& [name, value] : values) {
      ASSERT_TRUE(imported[key].count(name)) << key << " " << name;
      EXPECT_EQ(value.first, imported[key][name].first) << name;
      EXPECT_EQ(value.second, imported[key][name].second) << name;
    }
  }
}

TEST_F(LibQvgTest, HandWrittenFileWithLfAndShortRootNames) {
  std::string content =
      "Quorvane Settings File 1\n"
      "; comment\n"
      "[HKCU\\Software\\Quorvane\\LibTestQvg]\n"
      "\"A\"=dword:00000001\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\AppDataLow\\Software\\Quorvane\\LibTest]\n"
      "\"B\"=\"x\\x41y\"\n"
      "End of settings: 2 values\n";
  ASSERT_TRUE(qvt::WriteFile(file_, content));
  ASSERT_NE(0, LibImportSettingsFile(file_.c_str()));
  DWORD a = 0;
  EXPECT_TRUE(qvt::ReadDword(HKEY_CURRENT_USER, kTree, "A", &a));
  EXPECT_EQ(1u, a);
  std::string b;
  EXPECT_TRUE(qvt::ReadString(HKEY_CURRENT_USER, libt::kSettingsKey, "B", &b));
  EXPECT_EQ("xAy", b);
}

TEST_F(LibQvgTest, DamagedFilesChangeNothing) {
  FillTree();
  ASSERT_NE(0, LibExportRegistryKey(0, kTreePath, file_.c_str()));
  std::string good;
  ASSERT_TRUE(qvt::ReadFile(file_, &good));
  // Import must also not add what the file holds: change one value first.
  qvt::WriteDword(HKEY_CURRENT_USER, kTree, "Number", 1);
  size_t endLine = good.find("End of settings");
  ASSERT_NE(std::string::npos, endLine);
  ExpectRefused(good.substr(0, endLine), "end line missing");
  EXPECT_NE(std::string::npos, lastBox_.find("damaged or incomplete")) << lastBox_;
  ExpectRefused(good.substr(0, good.size() - 9), "end line cut");
  ExpectRefused(good.substr(0, good.size() / 2), "cut in the middle");
  ExpectRefused(good.substr(0, good.find("\r\n") + 2 + 10), "cut in the first key line");
  std::string wrongCount = good;
  wrongCount.replace(wrongCount.find("14 values"), 9, "13 values");
  ExpectRefused(wrongCount, "wrong count");
  std::string garbage = good;
  garbage.insert(good.find("\"Number\""), "this is no line of a settings file\r\n");
  ExpectRefused(garbage, "garbage line");
  std::string badHex = good;
  badHex.insert(good.find("\"Number\""), "\"X\"=hex(3):01,0g\r\n");
  ExpectRefused(badHex, "bad hex");
  std::string afterEnd = good + "\"Late\"=dword:00000001\r\n";
  ExpectRefused(afterEnd, "value after the end line");
  ExpectRefused("Quorvane Settings File 2\r\nEnd of settings: 0 values\r\n", "wrong header");
  EXPECT_NE(std::string::npos, lastBox_.find("is not a Quorvane settings file")) << lastBox_;
  ExpectRefused("", "empty file");
  ExpectRefused(std::string("Quorvane Settings File 1\r\n\0\r\n", 29), "zero byte");
  DWORD number = 0;
  EXPECT_TRUE(qvt::ReadDword(HKEY_CURRENT_USER, kTree, "Number", &number));
  EXPECT_EQ(1u, number);
}

TEST_F(LibQvgTest, KeysOutsideTheFamilyTreesAreRefused) {
  const char* foreign[] = {
      "[HKEY_CURRENT_USER\\Software\\LibTestNotQuorvane]",
      "[HKEY_CURRENT_USER\\Software\\QuorvaneEvil]",
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]",
      "[HKEY_LOCAL_MACHINE\\Software\\AppDataLow\\Software\\Quorvane\\X]",
      // Machine-wide family keys ("InstallPath" lives there): a file never writes them.
      "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Quorvanes]",
      "[HKLM\\Software\\Quorvane]",
      "[HKEY_CLASSES_ROOT\\.qvg]",
      "[HKEY_CURRENT_USER\\Software\\Quorvane\\\\X]",
  };
  for (const char* key : foreign) {
    std::string content = std::string("Quorvane Settings File 1\r\n[HKEY_CURRENT_USER\\Software\\Quorvane\\LibTestQvg]\r\n"
                                      "\"First\"=dword:00000001\r\n") +
                          key + "\r\n\"Bad\"=dword:00000001\r\nEnd of settings: 2 values\r\n";
    ExpectRefused(content, key);
    EXPECT_NE(std::string::npos, lastBox_.find("outside")) << lastBox_;
    EXPECT_FALSE(qvt::ValueExists(HKEY_CURRENT_USER, kTree, "First"));
  }
  HKEY key;
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kForeign, 0, KEY_READ, &key));
}

TEST_F(LibQvgTest, ExportOfAMissingKeyFailsAndLeavesNoFile) {
  EXPECT_EQ(0, LibExportRegistryKey(0, kTreePath, file_.c_str()));
  EXPECT_FALSE(qvt::FileExists(file_));
  EXPECT_EQ(0, LibExportRegistryKey(0, "HKEY_NOWHERE\\Software", file_.c_str()));
  // A failed export keeps an earlier file as it was.
  ASSERT_TRUE(qvt::WriteFile(file_, "old"));
  EXPECT_EQ(0, LibExportRegistryKey(0, kTreePath, file_.c_str()));
  std::string text;
  ASSERT_TRUE(qvt::ReadFile(file_, &text));
  EXPECT_EQ("old", text);
}

TEST_F(LibQvgTest, CommandLineImportsAnExistingSettingsFile) {
  qvt::WriteDword(HKEY_CURRENT_USER, kTree, "Number", 5);
  ASSERT_NE(0, LibExportRegistryKey(0, kTreePath, file_.c_str()));
  qvt::DeleteTree(HKEY_CURRENT_USER, kTree);
  std::string quoted = "\"" + file_ + "\" /s";
  CharLowerA(&quoted[0]);
  EXPECT_EQ(1, LibHandleCommandLine(quoted.c_str()));
  DWORD number = 0;
  EXPECT_TRUE(qvt::ReadDword(HKEY_CURRENT_USER, kTree, "Number", &number));
  EXPECT_EQ(5u, number);
  EXPECT_EQ(0, LibHandleCommandLine(""));
  EXPECT_EQ(0, LibHandleCommandLine("/s /wash"));
  EXPECT_EQ(0, LibHandleCommandLine(nullptr));
  std::string missing = "\"" + folder_ + "missing.qvg\"";
  EXPECT_EQ(0, LibHandleCommandLine(missing.c_str()));
  std::string other = folder_ + "other.txt";
  ASSERT_TRUE(qvt::WriteFile(other, "x"));
  EXPECT_EQ(0, LibHandleCommandLine(other.c_str()));
  DeleteFileA(other.c_str());
}

TEST_F(LibQvgTest, CommandLineEndsEvenWhenTheImportFails) {
  ASSERT_TRUE(qvt::WriteFile(file_, "not a settings file\r\n"));
  struct Call {
    std::string args;
    int result;
  } call = {file_, -1};
  std::string box = qvt::AnswerBoxDuring(
      [](void* p) {
        auto* c = static_cast<Call*>(p);
        c->result = LibHandleCommandLine(c->args.c_str());
      },
      &call, IDOK, 10000);
  EXPECT_EQ(1, call.result);
  EXPECT_NE(std::string::npos, box.find("not a Quorvane settings file")) << box;
}

}  // namespace
