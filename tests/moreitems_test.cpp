// The Wash page's More Items dialog in the running qvtoolbar.exe: the cleaning
// rules found on this computer (Chrome and Firefox profiles built in the prefix,
// no Edge), grouped by program, ticked as saved or as their Default; OK keeps the
// ticks in the settings, Cancel keeps none. Read across processes through the
// program's memory, as the list view does not carry its structures over.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tray_support.h"

using namespace qvt;

namespace {

constexpr int kMoreItemsButton = 1212;
constexpr int kList = 1404;
constexpr int kNoneLine = 1405;

std::string Folder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
  return std::string(path) + "\\";
}

// fn(process, remote) with size bytes of the list's process to fill and send.
template <typename F>
bool WithRemote(HWND list, size_t size, F fn) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return false;
  char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  bool done = remote && fn(process, remote);
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return done;
}

// The header of a group of the list; "" when it cannot be read.
std::string GroupHeader(HWND list, int id) {
  std::string header;
  WithRemote(list, sizeof(LVGROUP) + 512, [&](HANDLE process, char* remote) {
    LVGROUP group = {};
    group.cbSize = sizeof group;
    group.mask = LVGF_HEADER;
    group.pszHeader = reinterpret_cast<LPWSTR>(remote + sizeof group);
    group.cchHeader = 255;
    wchar_t text[256] = {};
    LRESULT found = -1;
    if (!WriteProcessMemory(process, remote, &group, sizeof group, nullptr) ||
        !Send(list, LVM_GETGROUPINFO, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(remote), &found) ||
        found < 0 || !ReadProcessMemory(process, remote + sizeof group, text, sizeof text - sizeof(wchar_t), nullptr))
      return false;
    char ansi[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
    header = ansi;
    return true;
  });
  return header;
}

// Whether the list shows groups. Wine's list view has none (its group messages
// answer 0): the dialog then shows a flat list with the rules' whole names.
bool Grouped(HWND list) {
  LRESULT on = 0;
  return Send(list, LVM_ISGROUPVIEWENABLED, 0, 0, &on) && on;
}

// A row as it should show: "<group>: <name in the group>" in a grouped list, the
// whole name in a flat one.
std::string Shows(bool grouped, const std::string& group, const std::string& name, const std::string& whole) {
  return grouped ? group + ": " + name : whole;
}

// A row as the list shows it: "<group header>: <name>" (in a flat list the name
// only), "+" in front when ticked, "-" when not.
std::string Row(HWND list, int row) {
  int groupId = -1;
  WithRemote(list, sizeof(LVITEMW), [&](HANDLE process, char* remote) {
    LVITEMW item = {};
    item.mask = LVIF_GROUPID;
    item.iItem = row;
    LRESULT ok = 0;
    if (!WriteProcessMemory(process, remote, &item, sizeof item, nullptr) ||
        !Send(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote), &ok) || !ok ||
        !ReadProcessMemory(process, remote, &item, sizeof item, nullptr))
      return false;
    groupId = item.iGroupId;
    return true;
  });
  LRESULT state = 0;
  Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK, &state);
  std::string tick = (state >> 12) == 2 ? "+" : (state >> 12) == 1 ? "-" : "?";
  if (!Grouped(list)) return tick + ListViewText(list, row, 0);
  return tick + GroupHeader(list, groupId) + ": " + ListViewText(list, row, 0);
}

std::vector<std::string> Rows(HWND list) {
  std::vector<std::string> rows;
  for (int row = 0; row < ListViewCount(list); ++row) rows.push_back(Row(list, row));
  return rows;
}

// Ticks or unticks the row that shows name (the list's own check boxes, as a click does).
bool Tick(HWND list, const std::string& row, bool ticked) {
  for (int i = 0; i < ListViewCount(list); ++i) {
    if (Row(list, i).substr(1) != row) continue;
    return WithRemote(list, sizeof(LVITEMW), [&](HANDLE process, char* remote) {
      LVITEMW item = {};
      item.stateMask = LVIS_STATEIMAGEMASK;
      item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
      return WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
             Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
    });
  }
  return false;
}

bool Contains(const std::vector<std::string>& rows, const std::string& row) {
  for (const std::string& r : rows)
    if (r == row) return true;
  return false;
}

class MoreItems : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTray();
    local = Folder(CSIDL_LOCAL_APPDATA);
    roaming = Folder(CSIDL_APPDATA);
    RemoveProfiles();
    ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExA(nullptr, (local + "Google\\Chrome\\User Data\\Default").c_str(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              SHCreateDirectoryExA(nullptr, (roaming + "Mozilla\\Firefox\\Profiles\\a1b2.default").c_str(), nullptr));
  }
  void TearDown() override {
    if (dialog && IsWindow(dialog)) PressButton(dialog, IDCANCEL);
    EndTray(proc, main);
    ResetTray();
    RemoveProfiles();
    if (!copy.empty()) RemoveTree(copy);
  }
  void RemoveProfiles() {
    RemoveTree(local + "Google\\");
    RemoveTree(local + "Microsoft\\Edge\\");
    RemoveTree(roaming + "Mozilla\\");
  }
  // Opens the dialog from the Wash page (the program started unless it runs).
  HWND Open(const char* title = "More Items") {
    if (!page) page = OpenSettingsPage(&proc, &main, &sheet, 2);
    if (!page) return nullptr;
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(kMoreItemsButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, kMoreItemsButton)));
    dialog = WaitTop("#32770", title, proc.pid, 10000, true);
    return dialog;
  }
  // Presses OK or Cancel and waits until the dialog is gone.
  bool Close(int button) {
    PressButton(dialog, button);
    return WaitUntil([&] { return !IsWindow(dialog); }, 5000);
  }
  DWORD Setting(const std::string& name) {
    DWORD value = 0xDEAD;
    ReadDword(HKEY_CURRENT_USER, kToolbarKey, name.c_str(), &value);
    return value;
  }
  std::string local, roaming, copy;
  Process proc;
  HWND main = nullptr, sheet = nullptr, page = nullptr, dialog = nullptr;
};

// Chrome and Firefox are there, Edge is not: their rules under their programs,
// the Windows rules under theirs, each ticked as its Default says.
TEST_F(MoreItems, TheRulesFoundHereShowUnderTheirProgramsTickedAsTheirDefaults) {
  ASSERT_NE(nullptr, Open());
  HWND list = GetDlgItem(dialog, kList);
  bool grouped = Grouped(list);
  std::vector<std::string> rows = Rows(list);
  std::string all;
  for (const std::string& r : rows) all += r + "\n";
  ASSERT_LE(12u, rows.size()) << all;
  std::vector<std::string> browsers;
  const char* kChrome[][2] = {{"+", "Cache"}, {"-", "Cookies"}, {"+", "History"}, {"+", "Sessions"}};
  const char* kFirefox[][2] = {{"+", "Cache"}, {"-", "Cookies"}, {"+", "Sessions"}, {"+", "Form history"}, {"+", "History"}};
  for (auto& r : kChrome)
    browsers.push_back(r[0] + Shows(grouped, "Google Chrome", r[1], std::string("Google Chrome - ") + r[1]));
  for (auto& r : kFirefox)
    browsers.push_back(r[0] + Shows(grouped, "Mozilla Firefox", r[1], std::string("Mozilla Firefox - ") + r[1]));
  EXPECT_EQ(browsers, std::vector<std::string>(rows.begin(), rows.begin() + 9)) << all;
  EXPECT_TRUE(Contains(rows, "+" + Shows(grouped, "Windows Explorer", "Typed paths",
                                         "Windows Explorer - Typed paths"))) << all;
  EXPECT_TRUE(Contains(rows, "+" + Shows(grouped, "Windows", "Jump lists", "Windows - Jump lists"))) << all;
  for (const std::string& r : rows) EXPECT_EQ(std::string::npos, r.find("Edge")) << all;
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kNoneLine)));
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // Esc
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
}

// OK keeps every rule's tick as "Rule:<name>"; the next opening shows them; Cancel
// after a change keeps nothing.
TEST_F(MoreItems, OkKeepsTheTicksAndCancelKeepsNothing) {
  ASSERT_NE(nullptr, Open());
  HWND list = GetDlgItem(dialog, kList);
  bool grouped = Grouped(list);
  std::string chromeCookies = Shows(grouped, "Google Chrome", "Cookies", "Google Chrome - Cookies");
  std::string chromeCache = Shows(grouped, "Google Chrome", "Cache", "Google Chrome - Cache");
  std::string firefoxSessions = Shows(grouped, "Mozilla Firefox", "Sessions", "Mozilla Firefox - Sessions");
  ASSERT_TRUE(Tick(list, chromeCookies, true));
  ASSERT_TRUE(Tick(list, firefoxSessions, false));
  EXPECT_EQ(0xDEADu, Setting("Rule:Google Chrome - Cookies")) << "saved before OK";
  ASSERT_TRUE(Close(IDOK));
  EXPECT_EQ(1u, Setting("Rule:Google Chrome - Cookies"));
  EXPECT_EQ(0u, Setting("Rule:Mozilla Firefox - Sessions"));
  EXPECT_EQ(1u, Setting("Rule:Google Chrome - Cache"));

  ASSERT_NE(nullptr, Open());
  list = GetDlgItem(dialog, kList);
  std::vector<std::string> rows = Rows(list);
  EXPECT_TRUE(Contains(rows, "+" + chromeCookies));
  EXPECT_TRUE(Contains(rows, "-" + firefoxSessions));
  ASSERT_TRUE(Tick(list, chromeCookies, false));
  ASSERT_TRUE(Tick(list, chromeCache, false));
  ASSERT_TRUE(Close(IDCANCEL));
  EXPECT_EQ(1u, Setting("Rule:Google Chrome - Cookies"));
  EXPECT_EQ(1u, Setting("Rule:Google Chrome - Cache"));

  ASSERT_NE(nullptr, Open());
  EXPECT_TRUE(Contains(Rows(GetDlgItem(dialog, kList)), "+" + chromeCookies));
}

// In German our rules show what they clean in German under the programs' own
// names; a user's rule keeps its name as written.
TEST_F(MoreItems, InGermanOurRulesAreNamedInGermanAndAUsersRuleAsWritten) {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "GeneralLanguage", 2);
  copy = TempFolder();
  for (const char* file : {"qvtoolbar.exe", "Quorvane.dll", "quorvane-rules.ini", "Common_Lang_2.txt"})
    ASSERT_TRUE(CopyFileA(BinPath(file).c_str(), (copy + file).c_str(), FALSE)) << file;
  ASSERT_TRUE(WriteFile(copy + "winapp2.ini", "[Vendor - History]\r\nFileKey1=%LocalAppData%\\QvVendor|*.log\r\n"));
  proc = Start(copy + "qvtoolbar.exe", "/s");
  main = WaitTop(kTrayClass, nullptr, proc.pid, 10000);
  ASSERT_NE(nullptr, Open("Weitere Elemente"));
  HWND list = GetDlgItem(dialog, kList);
  bool grouped = Grouped(list);
  std::vector<std::string> rows = Rows(list);
  std::string all;
  for (const std::string& r : rows) all += r + "\n";
  for (const char* row : {"+Google Chrome|Verlauf", "+Mozilla Firefox|Sitzungen", "+Mozilla Firefox|Formulardaten",
                          "+Windows Explorer|Eingegebene Pfade", "+Windows|Sprunglisten", "-Other|Vendor - History"}) {
    std::string text = row + 1, group = text.substr(0, text.find('|')), name = text.substr(text.find('|') + 1);
    if (group == "Other") group = "Andere";
    std::string whole = group == "Andere" ? name : group + " - " + name;
    EXPECT_TRUE(Contains(rows, row[0] + Shows(grouped, group, name, whole))) << row << "\n" << all;
  }
}

// Beside a program without any rules file nothing applies, and a line says so; a
// user's rule without a group comes under "Other" with its whole name.
TEST_F(MoreItems, WithoutRulesTheListIsEmptyAndSaysSoAndARuleWithoutGroupIsOther) {
  copy = TempFolder();
  for (const char* file : {"qvtoolbar.exe", "Quorvane.dll"})
    ASSERT_TRUE(CopyFileA(BinPath(file).c_str(), (copy + file).c_str(), FALSE)) << file;
  proc = Start(copy + "qvtoolbar.exe", "/s");
  main = WaitTop(kTrayClass, nullptr, proc.pid, 10000);
  ASSERT_NE(nullptr, Open());
  EXPECT_EQ(0, ListViewCount(GetDlgItem(dialog, kList)));
  HWND none = GetDlgItem(dialog, kNoneLine);
  EXPECT_TRUE(IsWindowVisible(none));
  EXPECT_EQ("No browser or other program with cleaning rules was found on this computer.", WindowText(none));
  ASSERT_TRUE(Close(IDCANCEL));

  ASSERT_TRUE(WriteFile(copy + "winapp2.ini", "[Vendor - Logs]\r\nFileKey1=%LocalAppData%\\QvVendor|*.log\r\n"));
  ASSERT_NE(nullptr, Open());
  HWND list = GetDlgItem(dialog, kList);
  EXPECT_EQ((std::vector<std::string>{"-" + Shows(Grouped(list), "Other", "Vendor - Logs", "Vendor - Logs")}), Rows(list));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kNoneLine)));
}

}  // namespace
