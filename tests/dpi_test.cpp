// Display scaling: the programs declare per-monitor awareness in their manifests,
// every icon holds the sizes the usual scalings ask for, and the running tray
// program lays out its lists and pictures for the system's dpi (raised through
// HKCU\Control Panel\Desktop "LogPixels", which a new process reads).
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/dpi.h"
#include "tray_support.h"

using namespace qvt;

namespace {

constexpr int kApply = 0x3021;  // the sheet's Apply button
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
// Where the scaling tests keep the user's own "LogPixels" while they change it,
// so that the clean-up test can put it back even after a test died half-way.
constexpr const char* kSavedKey = "Software\\QuorvaneTests\\Dpi";
constexpr DWORD kNoValue = 0xFFFFFFFF;

// ---- Resources read from the built files.

// A module of the build folder loaded as data only (nothing of it runs).
struct DataModule {
  explicit DataModule(const char* file)
      : module(LoadLibraryExA(BinPath(file).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~DataModule() {
    if (module) FreeLibrary(module);
  }
  HMODULE module;
};

std::string ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return "";
  HGLOBAL loaded = LoadResource(module, found);
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return data ? std::string(data, SizeofResource(module, found)) : "";
}

#pragma pack(push, 2)
struct GroupEntry {  // an entry of an RT_GROUP_ICON resource
  BYTE width, height, colours, reserved;
  WORD planes, bits;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

std::vector<GroupEntry> GroupEntries(HMODULE module, LPCSTR group) {
  std::string bytes = ResourceBytes(module, MAKEINTRESOURCEA(14), group);  // RT_GROUP_ICON
  std::vector<GroupEntry> entries;
  if (bytes.size() < 6) return entries;
  WORD count = *reinterpret_cast<const WORD*>(bytes.data() + 4);
  for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupEntry) <= bytes.size(); ++i)
    entries.push_back(*reinterpret_cast<const GroupEntry*>(bytes.data() + 6 + i * sizeof(GroupEntry)));
  return entries;
}

BOOL CALLBACK CollectGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<std::string>*>(names)->push_back(
      IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name));
  return TRUE;
}

LPCSTR GroupName(const std::string& name) {
  return name[0] == '#' ? MAKEINTRESOURCEA(std::stoi(name.substr(1))) : name.c_str();
}

constexpr const char* kProducts[] = {"qvtoolbar.exe", "setup.exe", "uninstall.exe", "Quorvane.dll"};

// Each program declares per-monitor (v2) awareness for Windows 10 and the
// older dpiAware form for the Windows before it, both inside the application
// element's windowsSettings, where Windows looks for them.
TEST(DpiManifest, EveryProgramDeclaresPerMonitorAwarenessWithTheOlderFormBeside) {
  for (const char* file : {"qvtoolbar.exe", "setup.exe", "uninstall.exe"}) {
    DataModule data(file);
    ASSERT_NE(data.module, nullptr) << file;
    std::string manifest = ResourceBytes(data.module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));  // RT_MANIFEST 1
    ASSERT_FALSE(manifest.empty()) << file;
    size_t application = manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">");
    size_t settings = manifest.find("<windowsSettings>", application);
    size_t aware = manifest.find(
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>", settings);
    size_t awareness = manifest.find(
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, "
        "PerMonitor</dpiAwareness>",
        settings);
    size_t end = manifest.find("</windowsSettings>", settings);
    ASSERT_NE(application, std::string::npos) << file;
    ASSERT_NE(settings, std::string::npos) << file;
    EXPECT_NE(aware, std::string::npos) << file;
    EXPECT_NE(awareness, std::string::npos) << file;
    EXPECT_LT(aware, end) << file;
    EXPECT_LT(awareness, end) << file;
    EXPECT_EQ(std::string::npos, manifest.find("<dpiAware>", 0)) << file << ": a dpiAware without its namespace";
  }
}

// Every icon of every program and of the library holds the small and large
// sizes of 100 to 200 % scaling and the 256-pixel image, which Windows reads.
TEST(DpiIcons, EveryIconHoldsTheSevenSizesAndTheLargestLoads) {
  const std::set<int> wanted = {16, 20, 24, 32, 40, 48, 256};
  for (const char* file : kProducts) {
    DataModule data(file);
    ASSERT_NE(data.module, nullptr) << file;
    std::vector<std::string> groups;
    EnumResourceNamesA(data.module, MAKEINTRESOURCEA(14), CollectGroup, reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_FALSE(groups.empty()) << file;
    for (const std::string& group : groups) {
      std::set<int> sizes;
      WORD largest = 0;
      for (const GroupEntry& e : GroupEntries(data.module, GroupName(group))) {
        int size = e.width ? e.width : 256;
        sizes.insert(size);
        if (size == 256) largest = e.id;
      }
      for (int size : wanted) EXPECT_TRUE(sizes.count(size)) << file << " icon " << group << " lacks " << size;
      ASSERT_NE(largest, 0) << file << " icon " << group;
      std::string image = ResourceBytes(data.module, MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(largest));  // RT_ICON
      HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]), static_cast<DWORD>(image.size()),
                                            TRUE, 0x00030000, 256, 256, LR_DEFAULTCOLOR);
      ASSERT_NE(icon, nullptr) << file << " icon " << group << ": the 256-pixel image does not load";
      ICONINFO info = {};
      BITMAP bitmap = {};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
      EXPECT_EQ(256, bitmap.bmWidth) << file << " icon " << group;
      for (HBITMAP b : {info.hbmColor, info.hbmMask})
        if (b) DeleteObject(b);
      DestroyIcon(icon);
    }
  }
}

// ---- The helper itself.

int IconWidth(HICON icon) {
  ICONINFO info = {};
  BITMAP bitmap = {};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  for (HBITMAP b : {info.hbmColor, info.hbmMask})
    if (b) DeleteObject(b);
  return bitmap.bmWidth;
}

// Values meant at 96 dpi scale and come back; the icon sizes follow the dpi;
// an icon loads at exactly the size asked, also between the sizes it holds.
TEST(DpiHelper, ValuesScaleAndIconsLoadAtTheSizeAsked) {
  EXPECT_EQ(150, ScaleForDpi(100, 144));
  EXPECT_EQ(100, UnscaleForDpi(150, 144));
  EXPECT_EQ(125, ScaleForDpi(100, 120));
  EXPECT_EQ(16, SmallIconSize(96));
  EXPECT_EQ(24, SmallIconSize(144));
  EXPECT_EQ(48, LargeIconSize(144));
  HMODULE library = LoadLibraryA(BinPath("Quorvane.dll").c_str());
  ASSERT_NE(library, nullptr);
  for (int size : {16, 20, 24, 28, 32, 40, 48, 64}) {
    HICON icon = LoadIconAtSize(library, 107, size);
    EXPECT_EQ(size, IconWidth(icon)) << size;
    if (icon) DestroyIcon(icon);
  }
  EXPECT_EQ(nullptr, LoadIconAtSize(library, 9999, 16));
  FreeLibrary(library);
}

// ---- The tray program at a raised system dpi.

// Windows reads the user's scaling at the start of a process: the tests set it
// before they start the tray program. The user's own value is kept aside first.
void SetSystemDpi(DWORD dpi) {
  DWORD saved = 0;
  if (!ReadDword(HKEY_CURRENT_USER, kSavedKey, "LogPixels", &saved)) {
    DWORD own = kNoValue;
    ReadDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", &own);
    WriteDword(HKEY_CURRENT_USER, kSavedKey, "LogPixels", own);
  }
  WriteDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", dpi);
}

void RestoreSystemDpi() {
  DWORD saved = kNoValue;
  if (!ReadDword(HKEY_CURRENT_USER, kSavedKey, "LogPixels", &saved)) return;
  if (saved == kNoValue) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
  } else {
    WriteDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", saved);
  }
  DeleteTree(HKEY_CURRENT_USER, kSavedKey);
}

class DpiTray : public ::testing::Test {
 protected:
  explicit DpiTray(int dpi) : dpi(dpi) {}
  void SetUp() override {
    ResetTray();
    SetSystemDpi(static_cast<DWORD>(dpi));
  }
  void TearDown() override {
    EndTray(proc, main);
    ResetTray();
    RestoreSystemDpi();
  }
  int Scaled(int value) const { return MulDiv(value, dpi, 96); }
  HWND OpenPage(int index) { return OpenSettingsPage(&proc, &main, &sheet, index); }
  static int ColumnWidth(HWND list, int column) {
    LRESULT width = -1;
    Send(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0, &width);
    return static_cast<int>(width);
  }
  DWORD Setting(const char* name) {
    DWORD value = 0xDEAD;
    ReadDword(HKEY_CURRENT_USER, kToolbarKey, name, &value);
    return value;
  }
  void BossKeyColumns();
  void PreviewColumns();
  void ClearNowButtons();
  const int dpi;
  Process proc;
  HWND main = nullptr;
  HWND sheet = nullptr;
};

// The same at the usual scaling and at 150 %.
class DpiAt96 : public DpiTray {
 protected:
  DpiAt96() : DpiTray(96) {}
};
class DpiAt144 : public DpiTray {
 protected:
  DpiAt144() : DpiTray(144) {}
};

// The stored Boss-Key column widths are pixels at 96 dpi: the list shows them
// scaled, and Apply stores them back as they were.
void DpiTray::BossKeyColumns() {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossColumnWidth0", 100);
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "BossColumnWidth1", 120);
  HWND page = OpenPage(1);
  ASSERT_NE(page, nullptr);
  HWND list = GetDlgItem(page, 1306);
  EXPECT_EQ(Scaled(100), ColumnWidth(list, 0));
  EXPECT_EQ(Scaled(120), ColumnWidth(list, 1));
  Send(sheet, WM_COMMAND, MAKEWPARAM(kApply, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(sheet, kApply)));
  EXPECT_EQ(100u, Setting("BossColumnWidth0"));
  EXPECT_EQ(120u, Setting("BossColumnWidth1"));
}

// The preview's columns are laid out for 96 dpi and shown at the system's.
void DpiTray::PreviewColumns() {
  WriteDword(HKEY_CURRENT_USER, kToolbarKey, "ClearRun", 1);
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(1211, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, 1211)));
  HWND preview = WaitTop("#32770", "Wash Preview", proc.pid, 10000);
  ASSERT_NE(preview, nullptr);
  HWND list = GetDlgItem(preview, 1401);
  const int widths[] = {130, 330, 60, 80};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(Scaled(widths[c]), ColumnWidth(list, c)) << "column " << c;
  PostMessageA(preview, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(preview); }, 5000));
}

// The buttons that clear one item or group at once carry the arrow, as large as
// the scaling asks and never larger than the button's face.
// The box around the button's bluish pixels (the arrow; the face is grey), read
// from the screen in the button's client coordinates. An icon handle of another
// process cannot be asked for its size under Wine, what shows on screen can.
RECT BlueBox(HWND button) {
  RECT face = {};
  GetClientRect(button, &face);
  POINT origin = {0, 0};
  ClientToScreen(button, &origin);
  int w = face.right, h = face.bottom;
  RECT box = {w, h, -1, -1};
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP shot = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (shot && bits) {
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const BYTE* p = static_cast<const BYTE*>(bits);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const BYTE* px = p + (y * w + x) * 4;  // blue, green, red
        if (px[0] > px[2] + 60) {
          if (x < box.left) box.left = x;
          if (y < box.top) box.top = y;
          if (x > box.right) box.right = x;
          if (y > box.bottom) box.bottom = y;
        }
      }
    SelectObject(memory, old);
  }
  if (shot) DeleteObject(shot);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return box;
}

void DpiTray::ClearNowButtons() {
  HWND page = OpenPage(2);
  ASSERT_NE(page, nullptr);
  Send(page, WM_NULL, 0, 0);  // the page has painted
  RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);
  for (int id : {1140, 1141, 1142, 1143, 1147, 1144, 1073, 1221, 1225, 1209, 1208}) {
    HWND button = GetDlgItem(page, id);
    ASSERT_NE(button, nullptr) << id;
    EXPECT_TRUE(GetWindowLongA(button, GWL_STYLE) & BS_ICON) << id;
    LRESULT image = 0;
    ASSERT_TRUE(Send(button, BM_GETIMAGE, IMAGE_ICON, 0, &image)) << id;
    EXPECT_NE(image, 0) << id;
    RECT face = {};
    GetClientRect(button, &face);
    RECT arrow = BlueBox(button);
    ASSERT_GE(arrow.right, arrow.left) << id << ": no arrow on the button";
    int width = arrow.right - arrow.left + 1, height = arrow.bottom - arrow.top + 1;
    // The arrow fills about five sixths of its icon, which is 8 pixels at 96 dpi.
    int wanted = Scaled(8), room = (face.right < face.bottom ? face.right : face.bottom) - 2;
    int icon = wanted < room ? wanted : room;
    EXPECT_GE(width, icon * 2 / 3) << id << " (button " << face.right << "x" << face.bottom << ")";
    EXPECT_LE(width, icon) << id;
    EXPECT_LE(height, icon) << id;
    EXPECT_GE(arrow.left, 1) << id << ": the arrow reaches the button's edge";
    EXPECT_GE(arrow.top, 1) << id;
    EXPECT_LE(arrow.right, face.right - 2) << id;
    EXPECT_LE(arrow.bottom, face.bottom - 2) << id;
  }
}

TEST_F(DpiAt96, TheBossKeyColumnsAreScaledAndStoredAtNinetySixDpi) { BossKeyColumns(); }
TEST_F(DpiAt144, TheBossKeyColumnsAreScaledAndStoredAtNinetySixDpi) { BossKeyColumns(); }
TEST_F(DpiAt96, ThePreviewColumnsAreScaled) { PreviewColumns(); }
TEST_F(DpiAt144, ThePreviewColumnsAreScaled) { PreviewColumns(); }
TEST_F(DpiAt96, TheClearNowButtonsShowAnArrowThatFitsThem) { ClearNowButtons(); }
TEST_F(DpiAt144, TheClearNowButtonsShowAnArrowThatFitsThem) { ClearNowButtons(); }

// Runs after the scaling tests, also when one of them died before its clean-up.
TEST(DpiRestore, TheUsersScalingIsBack) {
  RestoreSystemDpi();
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kSavedKey, "LogPixels"));
}

}  // namespace

// The test reads the tray program's windows in their own pixels.
static const bool kAware = [] {
  SetProcessDPIAware();
  return true;
}();
