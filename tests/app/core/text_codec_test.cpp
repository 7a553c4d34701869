// Text conversions between UTF-8 and UTF-16.
#include "app/core/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace rovana {
namespace {

TEST(TextCodec, Utf8AndUtf16) {
  struct Case {
    const char* what;
    std::string utf8;
    std::u16string utf16;
  };
  const std::vector<Case> cases = {
      {"ASCII", "abc", u"abc"},
      {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
      {"stray continuation", "a\x80" "b", u"a\uFFFDb"},
      {"cut sequence before ASCII", "\xE2\x82" "a", u"\uFFFDa"},
      {"cut sequence at the end", "a\xF0\x9F\x98", u"a\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"invalid bytes", "\xC0\xC1\xF5\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"zero byte", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  int failures = 0;
  for (const Case& c : cases) {
    if (Utf8ToUtf16(c.utf8) != c.utf16) {
      ++failures;
      ADD_FAILURE() << c.what;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Utf16ToUtf8(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(u"a\xDC00" u"b\xD800"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(SanitizeUtf8("ok\xFF"), "ok\xEF\xBF\xBD");

  std::string narrow = "abcdef";
  ShiftLeft(narrow, 2);
  EXPECT_EQ(narrow, "cdef");
  ShiftLeft(narrow, 99);
  EXPECT_EQ(narrow, "");
  std::u16string wide = u"xyz";
  ShiftLeft(wide, 1);
  EXPECT_EQ(wide, u"yz");

  const std::pair<char, int> digits[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'F', 15}, {'g', 0}, {' ', 0}};
  for (const auto& [c, v] : digits) EXPECT_EQ(HexDigitValue(static_cast<char32_t>(c)), v) << c;
}

}  // namespace
}  // namespace rovana
