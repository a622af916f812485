// The one folder walk under what real folders hold: names the code page cannot
// spell (and whose "best fit" would be a separator or a dot), trees deeper than
// the ANSI path limit, a folder swapped for a link while the walk holds its
// parent, a TMP that is not a full path. Run in this process through the TEMP
// item, with TEMP a scratch folder beside a "victim" folder of the user's.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/treewalk.h"
#include "support/qvtest.h"
#include "tray/qvtoolbar.h"
#include "tray/wash/deletion.h"
#include "tray/wash/report.h"
#include "tray/wash/wash.h"
#include "wash_env.h"
#include "wash_support.h"

namespace {

constexpr int kTempItem = 3;

// The code page cannot spell the name (the ANSI functions would see another one).
bool Unspellable(const std::wstring& name) {
  BOOL lossy = FALSE;
  char out[MAX_PATH];
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, out, sizeof out, nullptr, &lossy);
  return lossy != FALSE;
}

class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWashTest();
    temp = qvt::LongPath(env.temp);
    victim = qvt::LongPath(env.scratch) + L"victim\\";
    CreateDirectoryW(victim.c_str(), nullptr);
    ASSERT_TRUE(qvt::WriteFileW(victim + L"report.doc", "mine"));
    ASSERT_TRUE(qvt::WriteFileW(victim + L"photo.jpg", "mine too"));
  }
  void TearDown() override {
    SetWalkEnterHook(nullptr);
    ClearWashSettings();
  }
  // The TEMP item as a run calls it; the report's row of the scratch TEMP.
  WashTarget WashTemp() {
    report = WashReport();
    SetActiveReport(&report);
    SetActiveItem(kTempItem);
    WashTempFolders();
    SetActiveReport(nullptr);
    for (const WashTarget& t : report.targets)
      if (t.kind == kTargetFolder && t.what == env.temp) return t;
    return WashTarget{-1, kTargetFolder, "<no row for TEMP>", 0, 0, 0, 0, 0, 0, ""};
  }
  bool VictimIntact() { return qvt::ExistsW(victim + L"report.doc") && qvt::ExistsW(victim + L"photo.jpg"); }
  washt::WashEnvironment env;
  std::wstring temp, victim;
  WashReport report;
};

// "..∕victim" lists as "../victim" to the ANSI functions, "a／b.tmp" as "a/b.tmp",
// "．．" as ".."; a Cyrillic name as "????", which cannot be entered. Each is the
// entry it names: washed whole, and the folder beside TEMP is untouched.
TEST_F(WalkTest, NamesTheCodePageCannotSpellAreWashedAsTheyAre) {
  const std::wstring dotsVictim = L"..\x2215victim", slashed = L"a\xFF0F" L"b.tmp", dots = L"\xFF0E\xFF0E",
                     cyrillic = L"\x0422\x0435\x0441\x0442-\x0142";
  for (const std::wstring& name : {dotsVictim, slashed, dots, cyrillic}) ASSERT_TRUE(Unspellable(name));
  for (const std::wstring& folder : {dotsVictim, dots, cyrillic}) {
    ASSERT_TRUE(CreateDirectoryW((temp + folder).c_str(), nullptr));
    ASSERT_TRUE(qvt::WriteFileW(temp + folder + L"\\report.doc", "in temp"));
  }
  ASSERT_TRUE(qvt::WriteFileW(temp + slashed, "in temp"));
  WashTarget row = WashTemp();
  EXPECT_TRUE(VictimIntact()) << "the walk left TEMP";
  for (const std::wstring& name : {dotsVictim, slashed, dots, cyrillic})
    EXPECT_FALSE(qvt::ExistsW(temp + name)) << qvt::ExistsW(temp + name);
  EXPECT_EQ(4u, row.files) << row.what;
  EXPECT_EQ(0u, row.left);
  EXPECT_EQ(0, WashErrorCount.load());
}

// 19 levels with a file on each, the deepest at about 700 characters: every file
// and every folder goes, and the run counts each file.
TEST_F(WalkTest, ATreeBeyondTheAnsiPathLimitIsWashedWhole) {
  // Each level adds its name and a backslash; rounded up so that the deepest file
  // reaches 700 characters whatever the length of TEMP on this machine.
  const size_t plainTemp = temp.size() - 4, fileName = 7;
  const size_t levelChars = (700 - plainTemp - fileName + 18) / 19;
  std::wstring folder = temp;
  size_t longest = 0;
  for (int level = 0; level < 19; ++level) {
    std::wstring name(levelChars - 1, static_cast<wchar_t>(L'a' + level));
    folder += name + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << folder.size();
    std::wstring file = folder + L"f" + std::to_wstring(level) + L".tmp";
    ASSERT_TRUE(qvt::WriteFileW(file, "deep"));
    longest = file.size() - 4;  // without the "\\?\" prefix
  }
  ASSERT_GE(longest, 700u);
  WashTarget row = WashTemp();
  EXPECT_EQ(19u, row.files);
  EXPECT_EQ(0u, row.left);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((temp + L"*").c_str(), &found);
  int entries = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do entries += wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..");
    while (FindNextFileW(find, &found));
    FindClose(find);
  }
  EXPECT_EQ(0, entries) << "TEMP still holds the tree";
}

// TMP names a folder relative to wherever the program started ("victim", or the
// current folder of drive C: as "C:"): the item leaves it alone and says why.
TEST_F(WalkTest, ATempThatIsNotAFullPathIsLeftAlone) {
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(qvt::LongPath(env.scratch).c_str()));
  for (const char* relative : {"victim", "C:"}) {
    SetEnvironmentVariableA("TMP", relative);
    SetEnvironmentVariableA("TEMP", relative);
    WashTemp();
    EXPECT_TRUE(VictimIntact()) << relative;
    bool said = false;
    for (const WashTarget& t : report.targets) said = said || (t.kind == kTargetLeftAlone && t.reason == kLeftRelative);
    EXPECT_TRUE(said) << relative;
  }
  SetCurrentDirectoryW(previous);
}

// The hook runs after "sub" was listed and before it is entered: the test moves
// the folder away and puts a link to the victim folder in its place (made on the
// Linux side, as Wine's programs cannot make one). The walk decides on the folder
// it opened: the link is never entered, the victim's files stay.
std::wstring g_swapTarget;
bool g_swapped = false;
bool g_linkMade = false;

std::string UnixPathOf(const std::wstring& path) {
  using UnixNameFn = char*(CDECL*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixNameFn>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
  char* name = unixName ? unixName(path.c_str()) : nullptr;
  std::string text = name ? name : "";
  if (name) HeapFree(GetProcessHeap(), 0, name);
  return text;
}

// Starts a Linux program (Wine cannot wait for one: the caller looks for its effect).
bool StartUnix(const wchar_t* program, const std::string& line) {
  std::wstring wide(line.begin(), line.end());
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(program, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

void SwapForLink(const wchar_t* path) {
  std::wstring folder = path;
  if (g_swapped || folder.size() < 4 || folder.compare(folder.size() - 4, 4, L"\\sub") != 0) return;
  g_swapped = true;
  if (!MoveFileW(path, (folder + L".moved").c_str())) return;
  if (!StartUnix(L"Z:\\bin\\ln", "/bin/ln -s \"" + UnixPathOf(g_swapTarget) + "\" \"" + UnixPathOf(folder) + "\""))
    return;
  g_linkMade = qvt::WaitUntil(
      [&] {
        DWORD attributes = GetFileAttributesW(path);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
      },
      10000);
}

TEST_F(WalkTest, AFolderSwappedForALinkAfterTheListingIsNeverEntered) {
  if (UnixPathOf(temp).empty()) GTEST_SKIP() << "not under Wine: no Linux side to make the link";
  CreateDirectoryW((temp + L"sub").c_str(), nullptr);
  ASSERT_TRUE(qvt::WriteFileW(temp + L"sub\\inner.tmp", "x"));
  g_swapTarget = victim.substr(0, victim.size() - 1);
  g_swapped = g_linkMade = false;
  SetWalkEnterHook(SwapForLink);
  WashTemp();
  SetWalkEnterHook(nullptr);
  ASSERT_TRUE(g_swapped) << "the walk never came to \"sub\"";
  ASSERT_TRUE(g_linkMade) << "the link was not in place";
  EXPECT_TRUE(VictimIntact()) << "the walk entered the link";
  DWORD after = GetFileAttributesW((temp + L"sub").c_str());
  EXPECT_TRUE(after == INVALID_FILE_ATTRIBUTES || (after & FILE_ATTRIBUTE_REPARSE_POINT))
      << "removed as a link, or left as one";
  // Wine's programs cannot remove a Unix link: the Linux side does.
  if (after != INVALID_FILE_ATTRIBUTES && StartUnix(L"Z:\\bin\\rm", "/bin/rm -f \"" + UnixPathOf(temp + L"sub") + "\""))
    qvt::WaitUntil([&] { return !qvt::ExistsW(temp + L"sub"); }, 10000);
}

// A name holds no separator and no "." or ".." is ever entered: the pattern of a
// mask is matched whole, case-insensitively, with "*" and "?".
TEST(WalkNames, MasksMatchTheWholeName) {
  EXPECT_TRUE(NameMatches(L"a.TMP", L"*.tmp"));
  EXPECT_TRUE(NameMatches(L"a.b.tmp", L"*.tmp"));
  EXPECT_FALSE(NameMatches(L"a.tmpx", L"*.tmp"));
  EXPECT_TRUE(NameMatches(L"noext", L"*.*"));
  EXPECT_TRUE(NameMatches(L"f1.dat", L"f?.dat"));
  EXPECT_FALSE(NameMatches(L"f12.dat", L"f?.dat"));
  EXPECT_TRUE(NameMatches(L"\x0422\x0435\x0441\x0442.tmp", L"*.TMP"));
}

}  // namespace
