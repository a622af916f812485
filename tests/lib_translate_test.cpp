// LibTranslate: English texts, line breaks, language files and dialogs.
#include "lib_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kProgramFile = std::string(libt::kInternalName) + "_Lang.txt";

class LibTranslateTest : public libt::LibTest {
 protected:
  void SetUp() override {
    LibTest::SetUp();
    RemoveFiles();
  }
  void TearDown() override {
    RemoveFiles();
    LibTest::TearDown();
    LibTranslate("reload", 0);  // back to English for later tests
  }
  static void RemoveFiles() {
    DeleteFileA(qvt::BinPath(kProgramFile).c_str());
    DeleteFileA(qvt::BinPath("Common_Lang.txt").c_str());
    DeleteFileA(qvt::BinPath("Languages\\" + kProgramFile).c_str());
    RemoveDirectoryA(qvt::BinPath("Languages").c_str());
  }
  static void SetLanguage(int n) { LibWriteSettingInt(HKEY_CURRENT_USER, "GeneralLanguage", n); }
};

const char kProgramLanguages[] =
    "; test language file\r\n"
    "Toolbar\tIgnored before any section\r\n"
    "[1]\r\n"
    "Toolbar\tLanguage one\r\n"
    "[2]\r\n"
    "Toolbar\tWerkzeugleiste\r\n"
    "Tab\\there\tTab\\tda\r\n"
    "Back\\\\slash\tR\\\\uck\r\n"
    "Keep running?::::Yes\tWeiter?::::Ja\r\n"
    "Shared\tFrom the program file\r\n"
    "no tab on this line\r\n"
    "[3]\r\n"
    "Toolbar\tLanguage three\n";  // LF alone ends a line too

const char kCommonLanguages[] =
    "[2]\n"
    "Shared\tFrom the common file\n"
    "Common only\tNur gemeinsam\n";

// A language's own code page: a text that the system's code page can show is shown
// in it, one that it cannot show stays English, and "\r" and "\n" are line ends.
// (Run where the system's code page is 1252.)
TEST_F(LibTranslateTest, ATranslationInAnotherCodePageIsShownOnlyWhereItCanBe) {
  if (GetACP() != 1252) GTEST_SKIP() << "the system's code page is " << GetACP();
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath(kProgramFile),
                             "[7] codepage 1250\r\n"
                             "Cafe\tKav\xE1rna\r\n"                // a with acute: 0xE1 in both code pages
                             "Czech\t\xC8" "e\x9Atina\r\n"        // C with caron: not in 1252
                             "Lines\tRadek\\r\\nDruh\xFD\r\n"   // y with acute, and a line end
                             "Empty\t\r\n"                        // not translated yet
                             "[8] codepage 1251\r\n"
                             "Cafe\t\xCA\xE0\xF4\xE5\r\n"));    // Cyrillic
  SetLanguage(7);
  EXPECT_STREQ("Kav\xE1rna", LibTranslate("Cafe", 0));
  EXPECT_STREQ("Czech", LibTranslate("Czech", 0)) << "never shown as other letters";
  EXPECT_STREQ("Radek\r\nDruh\xFD", LibTranslate("Lines", 0));
  EXPECT_STREQ("Empty", LibTranslate("Empty", 0));
  SetLanguage(8);
  EXPECT_STREQ("Cafe", LibTranslate("Cafe", 0));
}

TEST_F(LibTranslateTest, EnglishPassesThroughWithLineBreaks) {
  EXPECT_STREQ("Toolbar", LibTranslate("Toolbar", 1));
  EXPECT_STREQ("One\r\nTwo", LibTranslate("One::Two", 0));
  EXPECT_STREQ("Keep?\r\n\r\nYes", LibTranslate("Keep?::::Yes", 0));
  EXPECT_STREQ("a:b", LibTranslate("a:b", 0));
  EXPECT_STREQ("", LibTranslate("", 0));
  EXPECT_STREQ("", LibTranslate(nullptr, 0));
}

TEST_F(LibTranslateTest, ResultsStayValidForSeveralCalls) {
  const char* a = LibTranslate("first", 0);
  const char* b = LibTranslate("second", 0);
  const char* c = LibTranslate("third", 0);
  EXPECT_STREQ("first", a);
  EXPECT_STREQ("second", b);
  EXPECT_STREQ("third", c);
}

TEST_F(LibTranslateTest, LanguageSwitchIsAnsweredAtOnce) {
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath(kProgramFile), kProgramLanguages));
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath("Common_Lang.txt"), kCommonLanguages));
  EXPECT_STREQ("Toolbar", LibTranslate("Toolbar", 1));
  SetLanguage(2);
  EXPECT_STREQ("Werkzeugleiste", LibTranslate("Toolbar", 1));
  EXPECT_STREQ("Tab\tda", LibTranslate("Tab\there", 1));
  EXPECT_STREQ("R\\uck", LibTranslate("Back\\slash", 1));
  EXPECT_STREQ("Weiter?\r\n\r\nJa", LibTranslate("Keep running?::::Yes", 1));
  EXPECT_STREQ("From the program file", LibTranslate("Shared", 1));
  EXPECT_STREQ("Nur gemeinsam", LibTranslate("Common only", 1));
  EXPECT_STREQ("toolbar", LibTranslate("toolbar", 1));   // exact, case-sensitive
  EXPECT_STREQ("Toolbar ", LibTranslate("Toolbar ", 1));  // the whole text
  EXPECT_STREQ("no tab on this line", LibTranslate("no tab on this line", 1));
  SetLanguage(3);
  EXPECT_STREQ("Language three", LibTranslate("Toolbar", 1));
  SetLanguage(0);
  EXPECT_STREQ("Toolbar", LibTranslate("Toolbar", 1));
  SetLanguage(25);  // out of range: English
  EXPECT_STREQ("Toolbar", LibTranslate("Toolbar", 1));
}

TEST_F(LibTranslateTest, FilesInTheLanguagesFolderAreFound) {
  ASSERT_TRUE(CreateDirectoryA(qvt::BinPath("Languages").c_str(), nullptr));
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath("Languages\\" + kProgramFile), kProgramLanguages));
  SetLanguage(1);
  EXPECT_STREQ("Language one", LibTranslate("Toolbar", 1));
}

TEST_F(LibTranslateTest, LongTextsAreCutSafely) {
  std::string text(10000, 'x');
  const char* result = LibTranslate(text.c_str(), 0);
  size_t len = strlen(result);
  EXPECT_GT(len, 4000u);
  EXPECT_LT(len, 4096u);
  // A line break is never split at the end.
  std::string breaks;
  for (int i = 0; i < 3000; ++i) breaks += "::";
  result = LibTranslate(breaks.c_str(), 0);
  len = strlen(result);
  EXPECT_LT(len, 4096u);
  EXPECT_EQ(0u, len % 2);
  EXPECT_EQ('\n', result[len - 1]);
}

struct WorkerArgs {
  char text[64];
};

DWORD WINAPI WorkerTranslate(LPVOID p) {
  auto* a = static_cast<WorkerArgs*>(p);
  strcpy(a->text, LibTranslate("worker::text", 0));
  return 0;
}

TEST_F(LibTranslateTest, OtherThreadsHaveTheirOwnResults) {
  WorkerArgs args = {};
  HANDLE thread = CreateThread(nullptr, 0, WorkerTranslate, &args, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
  CloseHandle(thread);
  EXPECT_STREQ("worker\r\ntext", args.text);
}

TEST_F(LibTranslateTest, DialogCaptionAndLabelsAreTranslated) {
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath(kProgramFile),
                             "[2]\r\nOptions\tOptionen\r\nEnable\tEinschalten\r\nLabel\tBeschriftung\r\n"));
  SetLanguage(2);
  HWND dialog = CreateWindowExA(0, "STATIC", "Options", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, dialog);
  HWND button = CreateWindowExA(0, "BUTTON", "Enable", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 80, 20, dialog, nullptr,
                                nullptr, nullptr);
  HWND label = CreateWindowExA(0, "STATIC", "Label", WS_CHILD, 0, 30, 80, 20, dialog, nullptr, nullptr, nullptr);
  HWND edit = CreateWindowExA(0, "EDIT", "Enable", WS_CHILD, 0, 60, 80, 20, dialog, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExA(0, "BUTTON", "Untranslated", WS_CHILD, 90, 0, 80, 20, dialog, nullptr, nullptr, nullptr);
  EXPECT_STREQ("", LibTranslate(reinterpret_cast<const char*>(dialog), 1));
  EXPECT_EQ("Optionen", qvt::WindowText(dialog));
  EXPECT_EQ("Einschalten", qvt::WindowText(button));
  EXPECT_EQ("Beschriftung", qvt::WindowText(label));
  EXPECT_EQ("Enable", qvt::WindowText(edit));  // the user's data stays
  EXPECT_EQ("Untranslated", qvt::WindowText(other));
  DestroyWindow(dialog);
}

// A translated printf format stands in for the English one only with the same
// conversions in the same order; anything else would read the arguments wrongly.
TEST_F(LibTranslateTest, AFormatTranslationNeedsTheSameConversions) {
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath(kProgramFile),
                             "[2]\r\n"
                             "Locked '%s'.\tGesperrt: '%s'.\r\n"
                             "Line %d of %s.\t%s, Zeile %d.\r\n"
                             "Cannot open %s.\t%s nicht offen %n\r\n"
                             "Size %5.2f%% of %s\tGroesse %.1f%% von %s\r\n"
                             "Count %d\tAnzahl %s\r\n"
                             "Width %*d\tBreite %d\r\n"
                             "Plain text\tEinfach %s\r\n"));
  SetLanguage(2);
  const int f = LIB_TRANSLATE_FORMAT;
  EXPECT_STREQ("Gesperrt: '%s'.", LibTranslate("Locked '%s'.", f));
  EXPECT_STREQ("Groesse %.1f%% von %s", LibTranslate("Size %5.2f%% of %s", f));  // widths may differ
  EXPECT_STREQ("Line %d of %s.", LibTranslate("Line %d of %s.", f));             // another order
  EXPECT_STREQ("Cannot open %s.", LibTranslate("Cannot open %s.", f));           // %n
  EXPECT_STREQ("Count %d", LibTranslate("Count %d", f));                         // another kind
  EXPECT_STREQ("Width %*d", LibTranslate("Width %*d", f));                       // one argument fewer
  EXPECT_STREQ("Plain text", LibTranslate("Plain text", f));                     // one more
  EXPECT_STREQ("Anzahl %s", LibTranslate("Count %d", 0));  // as plain text the translation stands
}

// The sound file chooser's filter list holds translated names; names too long
// for it fall back to English instead of running past its end.
struct BrowseRun {
  char path[LIB_BROWSE_CHARS];
  int result;
};

DWORD WINAPI BrowseWorker(void* p) {
  BrowseRun* run = static_cast<BrowseRun*>(p);
  run->result = LibBrowseForFile(nullptr, run->path, "Pick a qvt sound", "Pick a qvt sound", 0);
  return 0;
}

std::vector<std::string> FilterNames(HWND dialog) {
  std::vector<std::string> names;
  HWND combo = GetDlgItem(dialog, 0x470);  // the "files of type" list
  LRESULT count = 0;
  if (!combo || !qvt::Send(combo, CB_GETCOUNT, 0, 0, &count)) return names;
  for (LRESULT i = 0; i < count; ++i) {
    char text[600] = {};
    qvt::Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    names.push_back(text);
  }
  return names;
}

std::vector<std::string> ChooserFilterNames() {
  BrowseRun run = {};
  HANDLE thread = CreateThread(nullptr, 0, BrowseWorker, &run, 0, nullptr);
  std::vector<std::string> names;
  HWND dialog = qvt::WaitTop("#32770", "Pick a qvt sound", GetCurrentProcessId(), 10000);
  if (dialog) {
    qvt::WaitUntil([&] { return (names = FilterNames(dialog)).size() == 2; }, 5000);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0) names.push_back("<chooser did not close>");
  CloseHandle(thread);
  return names;
}

TEST_F(LibTranslateTest, AnOverlongTranslatedFilterFallsBackToEnglish) {
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath(kProgramFile), "[2]\r\nSound files (*.wav)\t" + std::string(300, 'S') +
                                                             "\r\nAll files (*.*)\tAlle Dateien\r\n"));
  SetLanguage(2);
  std::vector<std::string> english = {"Sound files (*.wav)", "All files (*.*)"};
  EXPECT_EQ(english, ChooserFilterNames());
  // Translations that fit are used.
  ASSERT_TRUE(qvt::WriteFile(qvt::BinPath(kProgramFile),
                             "[2]\r\nSound files (*.wav)\tKlaenge\r\nAll files (*.*)\tAlle Dateien\r\n"));
  SetLanguage(0);
  LibTranslate("reload", 0);
  SetLanguage(2);
  std::vector<std::string> german = {"Klaenge", "Alle Dateien"};
  EXPECT_EQ(german, ChooserFilterNames());
}

}  // namespace
