// Untrusted text made safe for messages: what every quoting message (the
// registry's bad lines, rich error descriptions, zenolith's messages) relies
// on. Guards the fault where NUL bytes and invalid UTF-8 reached logs and
// terminals raw.
#include "platform/text/SafeText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SafeText, KeepsWellFormedUtf8AndEscapesEverythingElse) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const Case cases[] = {
      {"plain text, backslash kept", "C:\\x d.RotX = 1", "C:\\x d.RotX = 1"},
      {"two- to four-byte characters", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80",
       "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"NUL byte", std::string("a\0b", 3), "a\\x00b"},
      {"control bytes", "a\tb\nc\x1B\x7F", "a\\x09b\\x0ac\\x1b\\x7f"},
      {"C1 control, escaped byte by byte", "a\xC2\x85" "b", "a\\xc2\\x85b"},
      {"lone lead byte at the end", "abc\xC3", "abc\\xc3"},
      {"stray continuation byte", "a\x80" "b", "a\\x80b"},
      {"overlong slash", "a\xC0\xAF" "b", "a\\xc0\\xafb"},
      {"overlong three bytes", "\xE0\x80\xAF", "\\xe0\\x80\\xaf"},
      {"surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      {"truncated four bytes", "\xF0\x9F\x98" "x", "\\xf0\\x9f\\x98x"},
      {"0xFF", "\xFF\xFE", "\\xff\\xfe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::SafeText(c.in), c.out);
  }
}

}  // namespace
