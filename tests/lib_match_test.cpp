// LibMatchText: the Boss-Key's title and class patterns.
#include "lib_support.h"

#include <string>

namespace {

struct MatchCase {
  const char* text;
  const char* pattern;
  int expected;
};

TEST(LibMatchTextTest, Table) {
  const MatchCase cases[] = {
      {"Netscape - page", "net", 1},        // any part, case ignored
      {"Netscape - page", "PAGE", 1},
      {"Netscape - page", "scape - p", 1},
      {"Netscape - page", "pages", 0},
      {"Netscape - page", "n*e", 1},
      {"Netscape - page", "n*page", 1},
      {"Netscape - page", "page*net", 0},
      {"Netscape - page", "N?tscape", 1},
      {"Netscape - page", "N??scape", 1},
      {"Netscape - page", "Ne?scape?-", 1},
      {"Netscape - page", "Nets?ape - page?", 0},  // '?' needs one character
      {"abc", "*", 1},
      {"", "*", 1},
      {"", "?", 0},
      {"abc", "", 0},                        // empty pattern matches nothing
      {"", "", 0},
      {"Microsoft Internet Explorer", "*internet*explorer*", 1},
      {"Microsoft Internet Explorer", "explorer*internet", 0},
      {"aaaaab", "a*a*a*b", 1},
      {"\xC4rger \xFC" "ber", "\xE4RGER", 1},  // system lower-casing of the code page
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, LibMatchText(c.text, c.pattern)) << "'" << c.text << "' / '" << c.pattern << "'";
}

TEST(LibMatchTextTest, NullArgumentsMatchNothing) {
  EXPECT_EQ(0, LibMatchText(nullptr, "a"));
  EXPECT_EQ(0, LibMatchText("a", nullptr));
  EXPECT_EQ(0, LibMatchText(nullptr, nullptr));
}

TEST(LibMatchTextTest, ManyStarsOnALongTextStillAnswer) {
  // Exponential backtracking would never finish these.
  std::string text(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "a*";
  EXPECT_EQ(0, LibMatchText(text.c_str(), (pattern + "b").c_str()));
  EXPECT_EQ(1, LibMatchText((text + "b").c_str(), (pattern + "b").c_str()));
  EXPECT_EQ(0, LibMatchText(text.c_str(), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*c"));
}

}  // namespace
