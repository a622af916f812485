// Every text fits its control in every language: the settings window's three pages,
// the File Delete Options dialog, the Wash preview, More Items and setup's options page, shown
// by the real programs in each language whose code page is the system's. Run once
// per code page (tests/lang_fit_tests.cmake), so that every language is looked at
// where its texts can be shown.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/catalogue.h"
#include "setup_support.h"
#include "support/langfile.h"
#include "tray_support.h"

namespace {

constexpr UINT kOpenSettings = WM_USER + 17;

// A dialog font as the dialog manager makes it from a template: that face, that
// size in points, DEFAULT_CHARSET.
HFONT DialogFont(const std::string& face, int points, int weight = FW_DONTCARE) {
  HDC screen = GetDC(nullptr);
  int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

// The fonts a window's controls are drawn in: one for all, and some controls' own;
// and the other captions that some controls take while the program runs.
struct Fonts {
  HFONT all;
  std::map<int, HFONT> own;
  std::map<int, std::vector<std::string>> laterCaptions;
};

// The room a control gives its text, in pixels, and how the control lays the text
// out there; false for controls that show no text of ours or cut it on purpose.
bool TextRoom(HWND control, HDC dc, RECT* room, UINT* format) {
  std::string cls = qvt::ClassOf(control);
  LONG style = GetWindowLongA(control, GWL_STYLE);
  GetClientRect(control, room);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  if (lstrcmpiA(cls.c_str(), "Button") == 0) {
    *format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON: {
        InflateRect(room, -3, 0);
        LRESULT image = 0;
        if (qvt::Send(control, BM_GETIMAGE, IMAGE_ICON, 0, &image) && image) room->left += 18;
        return true;
      }
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        room->left += 13 + metrics.tmAveCharWidth / 2;
        return true;
      case BS_GROUPBOX:
        InflateRect(room, -7, 0);
        *format = DT_SINGLELINE;
        return true;
      default:
        return false;
    }
  }
  if (lstrcmpiA(cls.c_str(), "Static") != 0 || (style & SS_ELLIPSISMASK)) return false;
  switch (style & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
      *format = DT_WORDBREAK;
      break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
      *format = DT_SINGLELINE;
      break;
    default:
      return false;
  }
  if (style & SS_NOPREFIX) *format |= DT_NOPREFIX;
  return true;
}

// What does not fit, one line per control: where, the text, and the room it lacks.
struct Check {
  HWND window;
  bool ownOnly;  // only the window's own controls, not those of its child dialogs
  HDC dc;
  const Fonts* fonts;
  std::string where;
  std::vector<std::string>* faults;
};

// A control that draws in the room beside the text: not a group box (it frames
// others) and not a control that only holds others.
bool TakesRoomOnItsLine(HWND sibling) {
  if (!IsWindowVisible(sibling)) return false;
  LONG style = GetWindowLongA(sibling, GWL_STYLE);
  std::string cls = qvt::ClassOf(sibling);
  if (lstrcmpiA(cls.c_str(), "Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX) return false;
  if (lstrcmpiA(cls.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ETCHEDFRAME) return false;
  return lstrcmpiA(cls.c_str(), "#32770") != 0;
}

// How far the control's text may reach to the right, in its own client pixels: to
// the first control beside it whose box starts right of the text's start and
// shares a pixel row with the text's lines. A picture set into the text's leading
// blanks is part of the caption, not a neighbour.
LONG RoomBeforeNeighbour(HWND control, const RECT& room, int textHeight, int blanks, int* neighbour) {
  HWND parent = GetParent(control);
  RECT mine;
  GetWindowRect(control, &mine);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&mine), 2);
  LONG textLeft = mine.left + room.left;
  LONG top = mine.top, bottom = mine.top + textHeight;
  if (bottom > mine.bottom) bottom = mine.bottom;
  // A text one line high is drawn in the middle of a check box or button, a group
  // box's at its top.
  bool group = (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
               lstrcmpiA(qvt::ClassOf(control).c_str(), "Button") == 0;
  if (!group && textHeight < mine.bottom - mine.top) {
    top = mine.top + (mine.bottom - mine.top - textHeight) / 2;
    bottom = top + textHeight;
  }
  LONG limit = room.right;
  for (HWND sibling = GetWindow(parent, GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling == control || !TakesRoomOnItsLine(sibling)) continue;
    RECT other;
    GetWindowRect(sibling, &other);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&other), 2);
    if (other.left <= textLeft || other.right <= textLeft + blanks || other.top >= bottom || other.bottom <= top)
      continue;
    LONG reach = other.left - mine.left;
    if (reach < limit) {
      limit = reach;
      *neighbour = GetDlgCtrlID(sibling);
    }
  }
  return limit;
}

void CheckControl(HWND control, const Check& check) {
  if (!IsWindowVisible(control) || (check.ownOnly && GetParent(control) != check.window)) return;
  std::vector<std::string> texts = {qvt::WindowText(control)};
  auto later = check.fonts->laterCaptions.find(GetDlgCtrlID(control));
  if (later != check.fonts->laterCaptions.end()) texts.insert(texts.end(), later->second.begin(), later->second.end());
  auto own = check.fonts->own.find(GetDlgCtrlID(control));
  HGDIOBJ old = SelectObject(check.dc, own != check.fonts->own.end() ? own->second : check.fonts->all);
  RECT room;
  UINT format = 0;
  TEXTMETRICA metrics = {};
  GetTextMetricsA(check.dc, &metrics);
  int line = metrics.tmHeight > 0 ? metrics.tmHeight : 1;
  for (const std::string& text : texts) {
    if (text.find_first_not_of(" ") == std::string::npos || !TextRoom(control, check.dc, &room, &format)) continue;
    RECT need = {0, 0, room.right - room.left, 0};
    DrawTextA(check.dc, text.c_str(), -1, &need, format | DT_CALCRECT | DT_EXPANDTABS);
    // The room ends at the next control on the text's lines, not at the control's edge.
    int textHeight = (format & DT_SINGLELINE) ? line : static_cast<int>(need.bottom);
    SIZE blanks = {};
    size_t leading = text.find_first_not_of(' ');
    if (leading > 0) GetTextExtentPoint32A(check.dc, text.c_str(), static_cast<int>(leading), &blanks);
    int neighbour = 0;
    room.right = RoomBeforeNeighbour(control, room, textHeight > 0 ? textHeight : line, blanks.cx, &neighbour);
    int width = room.right - room.left;
    if (width < 1) width = 1;
    need = {0, 0, width, 0};
    DrawTextA(check.dc, text.c_str(), -1, &need, format | DT_CALCRECT | DT_EXPANDTABS);
    // A label one line high may be a pixel or two lower than the font's line.
    int lines = (format & DT_SINGLELINE) ? 1 : (need.bottom + line / 2) / line;
    int roomLines = (format & DT_SINGLELINE) ? 1 : (room.bottom - room.top + line / 3) / line;
    if (roomLines < 1) roomLines = 1;
    if (need.right <= width && lines <= roomLines) continue;
    char fault[600];
    char until[40] = "";
    if (neighbour) snprintf(until, sizeof until, " (up to control %d beside it)", neighbour);
    snprintf(fault, sizeof fault, "%s, control %d \"%s\": needs %ld px and %d lines, has %d px%s and %d lines",
             check.where.c_str(), GetDlgCtrlID(control), text.c_str(), need.right, lines, width, until, roomLines);
    check.faults->push_back(fault);
  }
  SelectObject(check.dc, old);
}

BOOL CALLBACK CheckChild(HWND control, LPARAM context) {
  CheckControl(control, *reinterpret_cast<const Check*>(context));
  return TRUE;
}

void CheckWindow(HWND window, const Fonts& fonts, const std::string& where, std::vector<std::string>* faults,
                 bool ownOnly = false) {
  ASSERT_NE(nullptr, window) << where << " did not show";
  HDC dc = CreateCompatibleDC(nullptr);
  Check check = {window, ownOnly, dc, &fonts, where, faults};
  EnumChildWindows(window, CheckChild, reinterpret_cast<LPARAM>(&check));
  DeleteDC(dc);
}

// A visible top-level dialog of that process other than the given one.
HWND WaitOtherDialog(DWORD pid, HWND other) {
  HWND found = nullptr;
  qvt::WaitUntil(
      [&] {
        for (HWND w : qvt::ListTop("#32770", pid))
          if (w != other && IsWindowVisible(w) && !qvt::IsMessageBox(w)) found = w;
        return found != nullptr;
      },
      10000);
  return found;
}

std::string Translated(const std::map<std::string, std::string>& texts, const char* english) {
  auto hit = texts.find(english);
  return hit == texts.end() || hit->second.empty() ? english : hit->second;
}

// The settings window's pages, then the three dialogs the Wash page opens.
void CheckTrayIn(int language, std::vector<std::string>* faults) {
  std::map<std::string, std::string> texts = qvt::LanguageFile(language);
  qvt::ResetTray();
  qvt::WriteDword(HKEY_CURRENT_USER, qvt::kToolbarKey, "GeneralLanguage", static_cast<DWORD>(language));
  HWND main = nullptr;
  qvt::Process tray = qvt::StartTray("/s", &main);
  ASSERT_NE(nullptr, main);
  Fonts fonts = {DialogFont("MS Shell Dlg", 8),
                 {{2471, DialogFont(Translated(texts, "Arial"), 7)}},
                 {{1175, {Translated(texts, "Clear Selected Items"), Translated(texts, "S&top Washing")}}}};
  std::string name = "language " + std::to_string(language) + ", ";
  PostMessageA(main, kOpenSettings, 0, 0);
  HWND sheet = qvt::WaitSettings(tray.pid);
  ASSERT_NE(nullptr, sheet) << name << "the settings window did not show";
  HWND washPage = nullptr;
  for (int index = 0; index < 3; ++index) {
    qvt::Send(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    // Measured only once it is the page asked for: else one page is measured twice.
    ASSERT_TRUE(qvt::WaitUntil([&] { return qvt::SheetPageIndex(sheet) == index; }, 3000))
        << name << "settings page " << index << " did not show";
    LRESULT page = 0;
    qvt::Send(sheet, PSM_GETCURRENTPAGEHWND, 0, 0, &page);
    washPage = reinterpret_cast<HWND>(page);
    CheckWindow(washPage, fonts, name + "settings page " + std::to_string(index), faults);
  }
  // The language measured is the one asked for: the Wash page's first button speaks it.
  std::string clearAll = Translated(texts, "Clear All Selected Items");
  EXPECT_TRUE(qvt::WaitUntil([&] { return qvt::WindowText(GetDlgItem(washPage, 1175)) == clearAll; }, 5000))
      << name << "the Wash page shows \"" << qvt::WindowText(GetDlgItem(washPage, 1175)) << "\", not \"" << clearAll
      << "\"";
  CheckWindow(sheet, fonts, name + "settings window", faults, true);
  for (int button : {1210, 1211, 1212}) {
    PostMessageA(washPage, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    HWND dialog = WaitOtherDialog(tray.pid, sheet);
    const char* title = button == 1210 ? "File Delete Options" : button == 1211 ? "Wash Preview" : "More Items";
    EXPECT_EQ(Translated(texts, title), dialog ? qvt::WindowText(dialog) : "<none>") << name << title;
    CheckWindow(dialog, fonts, name + title, faults);
    if (dialog) qvt::PressButton(dialog, IDCANCEL);
    qvt::WaitUntil([&] { return !IsWindow(dialog); }, 5000);
  }
  qvt::EndTray(tray, main);
  for (auto& own : fonts.own) DeleteObject(own.second);
  DeleteObject(fonts.all);
}

// Setup's options page in that language (its title is drawn in a smaller bold font).
void CheckSetupIn(int language, std::vector<std::string>* faults) {
  std::map<std::string, std::string> texts = qvt::LanguageFile(language);
  std::string face = Translated(texts, "MS Sans Serif");
  Fonts fonts = {DialogFont("MS Sans Serif", 8), {{1011, DialogFont(face, 7, FW_BOLD)}}, {}};
  {
    setupt::SetupRun run;
    run.Start("/language:" + std::to_string(language));
    HWND options = qvt::WaitTop("#32770", nullptr, run.process.pid, 15000, true);
    std::string install = Translated(texts, "&Install to:");
    EXPECT_TRUE(qvt::WaitUntil([&] { return setupt::ControlText(options, 1009) == install; }, 10000))
        << "language " << language << ", setup options: the label reads \"" << setupt::ControlText(options, 1009)
        << "\", not \"" << install << "\"";
    CheckWindow(options, fonts, "language " + std::to_string(language) + ", setup options", faults);
    qvt::Kill(run.process);
  }
  qvt::DeleteTree(HKEY_CURRENT_USER, setupt::kSettingsKey);
  for (auto& own : fonts.own) DeleteObject(own.second);
  DeleteObject(fonts.all);
}

// One language a run (ctest names it: LanguageFit.EveryTextFitsItsControl.<code>),
// QV_FIT_LANGUAGE, under a code page that shows it (ctest sets the locale). A
// language the system's code page cannot show fails: its texts would stay English.
TEST(LanguageFit, EveryTextFitsItsControl) {
  char value[16] = {};
  ASSERT_GT(GetEnvironmentVariableA("QV_FIT_LANGUAGE", value, sizeof value), 0u) << "QV_FIT_LANGUAGE is not set";
  int language = atoi(value);
  ASSERT_TRUE(language >= 0 && language < kLanguageCount) << value;
  unsigned codePage = language == 0 ? 1252u : qvt::LanguageCodePage(language);
  ASSERT_EQ(codePage, GetACP()) << "language " << language << " needs code page " << codePage;
  std::vector<std::string> faults;
  CheckTrayIn(language, &faults);
  CheckSetupIn(language, &faults);
  std::string all;
  for (const std::string& fault : faults) all += fault + "\n";
  EXPECT_TRUE(faults.empty()) << faults.size() << " texts do not fit (language " << language << "):\n" << all;
  qvt::ResetTray();
}

}  // namespace
