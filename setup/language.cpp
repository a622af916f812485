// The language of the product, chosen on setup's options page: preselected from
// the stored choice, else from the Windows locale, else English; "/language:" wins.
#include <cstdio>
#include <cstring>

#include "setup/setup.h"

namespace {

constexpr int kLanguages = kLanguageCount;
// In the Windows-1252 code page.
constexpr const char* kLanguageNames[kLanguages] = {
    "English - English",
    "French - Fran\xe7" "ais",
    "German - Deutsch",
    "Japanese - Nihongo",
    "Spanish - Espa\xf1" "ol",
    "Swedish - Svenska",
    "Italian - Italiano",
    "Czech - Czech",
    "Russian - Russian",
    "Dutch - Dutch",
    "Simple Chinese - Simple Chinese",
    "Norwegian - Norsk",
    "Icelandic - Islandic",
    "Danish - Danish",
    "Polish - Polish",
    "Romanian - Romanian",
    "Portuguese - Portuguese",
    "Finnish - Finnish",
    "Traditional Chinese - Traditional Chinese",
    "Greek - Greek",
};

struct LocaleLanguage {
  const char* text;
  int language;
};
// Locale and country texts of the Windows settings, upper-case.
constexpr LocaleLanguage kLocales[] = {
    {"0000040C", 1}, {"0000080C", 1}, {"00000C0C", 1}, {"00001009", 1}, {"0000100C", 1}, {"0000140C", 1},
    {"0000180C", 1}, {"00000407", 2}, {"00000807", 2}, {"00000C07", 2}, {"00001007", 2}, {"00001407", 2},
    {"43", 2},       {"49", 2},       {"00000411", 3}, {"E0010411", 3}, {"00002C0A", 4}, {"0000400A", 4},
    {"0000340A", 4}, {"0000240A", 4}, {"0000140A", 4}, {"00001C0A", 4}, {"0000300A", 4}, {"0000440A", 4},
    {"0000100A", 4}, {"0000480A", 4}, {"0000080A", 4}, {"00000C0A", 4}, {"00004C0A", 4}, {"0000180A", 4},
    {"00003C0A", 4}, {"0000280A", 4}, {"0000500A", 4}, {"0000040A", 4}, {"0000380A", 4}, {"0000200A", 4},
    {"0001040A", 4}, {"54", 4},       {"591", 4},      {"56", 4},       {"57", 4},       {"506", 4},
    {"593", 4},      {"503", 4},      {"502", 4},      {"504", 4},      {"52", 4},       {"34", 4},
    {"505", 4},      {"595", 4},      {"51", 4},       {"598", 4},      {"58", 4},       {"0000041D", 5},
    {"0000081D", 5}, {"46", 5},       {"00000410", 6}, {"00010410", 6}, {"00000810", 6}, {"39", 6},
};

constexpr const char* kInternational = "Control Panel\\International";

int LanguageOfLocale() {
  char text[101] = {};
  if (!LibRegReadValue(HKEY_CURRENT_USER, kInternational, "Locale", text, 100) &&
      !LibRegReadValue(HKEY_CURRENT_USER, kInternational, "iCountry", text, 100))
    text[0] = 0;
  text[100] = 0;
  CharUpperA(text);
  for (const LocaleLanguage& locale : kLocales)
    if (strcmp(text, locale.text) == 0) return locale.language;
  return 0;
}

// The choice is stored for the machine, where the program takes it at its first
// start for each user; the user's own settings only when setup runs as the user
// who is signed in (not under an administrator's name given at the prompt).
void WriteLanguage(int language) {
  LibWriteSettingInt(HKEY_LOCAL_MACHINE, "GeneralLanguage", language);
  DWORD value = static_cast<DWORD>(language);
  if (WritesUserSettings) LibRegWriteValue(HKEY_CURRENT_USER, kSettingsKey, "GeneralLanguage", REG_DWORD, &value, 4);
}

// The language chosen before: the user's own, else the one stored for the machine.
int EarlierLanguage() {
  int language = -1;
  if (!WritesUserSettings || !LibRegReadValue(HKEY_CURRENT_USER, kSettingsKey, "GeneralLanguage", &language, 4))
    language = -1;
  if (language < 0 || language >= kLanguages) language = LibReadSettingInt(HKEY_LOCAL_MACHINE, "GeneralLanguage");
  return language;
}

void StoreSelection(HWND page) {
  int chosen = static_cast<int>(SendDlgItemMessageA(page, IDC_LANGUAGE, CB_GETCURSEL, 0, 0));
  WriteLanguage(chosen);
}

}  // namespace

void FillLanguageList(HWND page) {
  for (const char* name : kLanguageNames)
    SendDlgItemMessageA(page, IDC_LANGUAGE, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
  int language = EarlierLanguage();
  if (language < 0 || language >= kLanguages) language = LanguageOfLocale();
  if (CommandLineLanguage >= 0 && CommandLineLanguage < kLanguages) language = static_cast<int>(CommandLineLanguage);
  SendDlgItemMessageA(page, IDC_LANGUAGE, CB_SETCURSEL, static_cast<WPARAM>(language), 0);
  StoreSelection(page);
}

void StoreChosenLanguage(HWND page) {
  StoreSelection(page);
  SetOptionsPageTexts(page);
}

void SetOptionsPageTexts(HWND page) {
  struct Caption {
    int control;
    const char* text;
  };
  constexpr Caption kCaptions[] = {
      {IDC_BACK, LIB_TEXT("< &Back")},
      {IDOK, LIB_TEXT("&Next >")},
      {IDCANCEL, LIB_TEXT("Cancel")},
      {IDC_TITLE, LIB_TEXT("Thank you for installing Quorvane software!")},
      {IDC_SUBTITLE, LIB_TEXT("Verify the following options and press Next to continue.")},
      {IDC_EXPLANATION, LIB_TEXT("You may change the installation options here. Click Next to accept the installation defaults.")},
      {IDC_FOLDERLABEL, LIB_TEXT("&Install to:")},
      {IDC_LANGUAGELABEL, LIB_TEXT("&Language:")},
      {IDC_BROWSE, LIB_TEXT("Browse...")},
      {IDC_SELECTTOOLS, LIB_TEXT("Select &Quorvanes to install...")},
  };
  for (const Caption& caption : kCaptions) SetDlgItemTextA(page, caption.control, LibTranslate(caption.text, 0));
  char start[200];
  snprintf(start, sizeof start, LibTranslate("&Start %s after setup is complete", LIB_TRANSLATE_FORMAT), kProductTitle);
  SetDlgItemTextA(page, IDC_STARTAFTER, start);
  SetDlgItemTextA(page, IDC_SHORTCUTS, LibTranslate("&Create shortcuts in Start - Programs", 0));
}
