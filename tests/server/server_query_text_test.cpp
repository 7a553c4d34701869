// Query decoding, text checks, the log's password blanking and the reply's
// escaping and number format.
#include <gtest/gtest.h>

#include <clocale>

#include "server/QueryText.h"
#include "server/XmlReply.h"

using namespace rovana::server;

namespace {

TEST(ServerQueryText, DecodesPercentBytesAndPlusAsTheClientEncodesThem) {
  struct Case {
    const char* name;
    const char* encoded;
    std::string decoded;
  };
  const Case cases[] = {
      {"plain", "abc.*_-", "abc.*_-"},
      {"plus is a space", "Hallo+Welt", "Hallo Welt"},
      {"at sign", "me%40example.org", "me@example.org"},
      {"euro sign as UTF-8 bytes", "%E2%82%AC", "\xE2\x82\xAC"},
      {"lower-case hex", "%e2%82%ac", "\xE2\x82\xAC"},
      {"encoded plus stays a plus", "1%2B1", "1+1"},
      {"encoded comma", "52.5%2C13.4", "52.5,13.4"},
      {"percent at the end", "100%", "100%"},
      {"percent with one digit", "%4", "%4"},
      {"percent with no hex", "%zz", "%zz"},
      {"NUL byte", "a%00b", std::string("a\0b", 3)},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeQueryValue(c.encoded), c.decoded);
  }
}

TEST(ServerQueryText, SplitsPairsAndTakesTheFirstOfRepeatedKeys) {
  const Query query("a=ul&e=me%40example.org&&p=&flag&e=second&tick=99");
  EXPECT_EQ(query.Get("a"), "ul");
  EXPECT_EQ(query.Get("e"), "me@example.org");
  EXPECT_EQ(query.Get("p"), "");
  EXPECT_EQ(query.Get("flag"), "");
  EXPECT_FALSE(query.Get("missing").has_value());
  EXPECT_EQ(query.Int("tick"), 99);
  EXPECT_EQ(query.size(), 6u);
}

TEST(ServerQueryText, ReadsNumbersInTheCLocaleOnly) {
  struct Case {
    const char* name;
    const char* value;
    std::optional<std::int64_t> integer;
    std::optional<double> real;
  };
  const Case cases[] = {
      {"integer", "42", 42, 42.0},
      {"negative", "-7", -7, -7.0},
      {"encoded leading plus", "%2B3", 3, 3.0},
      {"plus is a space, not a sign", "+3", std::nullopt, std::nullopt},
      {"fixed notation", "52.5166667", std::nullopt, 52.5166667},
      {"exponent", "1e3", std::nullopt, 1000.0},
      {"decimal comma", "52,5", std::nullopt, std::nullopt},
      {"trailing junk", "12abc", std::nullopt, std::nullopt},
      {"empty", "", std::nullopt, std::nullopt},
      {"space", "+", std::nullopt, std::nullopt},
      {"beyond 64 bits", "99999999999999999999", std::nullopt, 1e20},
      {"not a number", "nan", std::nullopt, std::nullopt},
      {"infinite", "inf", std::nullopt, std::nullopt},
      {"overflowing real", "1e999", std::nullopt, std::nullopt},
  };
  // A decimal-comma locale must not change what the server reads.
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Query query(std::string("v=") + c.value);
    EXPECT_EQ(query.Int("v"), c.integer);
    EXPECT_EQ(query.Real("v"), c.real);
  }
  std::setlocale(LC_NUMERIC, "C");
}

TEST(ServerQueryText, AcceptsOnlyValidUtf8WithoutControls) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t max;
    bool lineBreaks;
    bool valid;
  };
  const Case cases[] = {
      {"ascii", "Hello", 10, false, true},
      {"umlaut", "Gr\xC3\xBC\xC3\x9F" "e", 10, false, true},
      {"four-byte emoji", "\xF0\x9F\x98\x80", 10, false, true},
      {"too long", "abcdef", 5, false, false},
      {"NUL", std::string("a\0b", 3), 10, false, false},
      {"line feed refused", "a\nb", 10, false, false},
      {"line feed allowed", "a\r\nb", 10, true, true},
      {"tab", "a\tb", 10, false, true},
      {"delete", "a\x7f", 10, false, false},
      {"lone continuation byte", "\x80", 10, false, false},
      {"overlong slash", "\xC0\xAF", 10, false, false},
      {"overlong three bytes", "\xE0\x80\xAF", 10, false, false},
      {"surrogate", "\xED\xA0\x80", 10, false, false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", 10, false, false},
      {"cut sequence", "\xE2\x82", 10, false, false},
      {"C1 control", "\xC2\x85", 10, false, false},
      {"Latin-1 byte", "caf\xE9", 10, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ValidText(c.text, c.max, c.lineBreaks), c.valid);
  }
}

TEST(ServerQueryText, LogLinesNeverHoldThePassword) {
  struct Case {
    const char* name;
    const char* target;
    const char* logged;
  };
  const Case cases[] = {
      {"login", "/online/os.asp?a=ul&e=me%40x.org&p=hunter2&tick=5",
       "/online/os.asp?a=ul&e=me%40x.org&p=***&tick=5"},
      {"register, password last", "/online/os.asp?a=ur&e=a%40b.c&p=hunter2",
       "/online/os.asp?a=ur&e=a%40b.c&p=***"},
      {"encoded key", "/online/os.asp?a=ul&%70=hunter2", "/online/os.asp?a=ul&%70=***"},
      {"repeated key", "/x?p=one&p=two", "/x?p=***&p=***"},
      {"other keys kept", "/x?pp=1&ap=2", "/x?pp=1&ap=2"},
      {"no query", "/online/os.asp", "/online/os.asp"},
      {"control bytes escaped", "/x?m=a\nb", "/x?m=a\\x0Ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoggableTarget(c.target), c.logged);
  }
}

TEST(ServerXmlReply, EscapesMarkupAndFormatsNumbersInTheCLocale) {
  EXPECT_EQ(EscapeXml("<a href=\"x\">Tom & Jerry's</a>"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&apos;s&lt;/a&gt;");
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {{52.5, "52.5"}, {-0.1234567, "-0.1234567"}, {13, "13"},
                        {0, "0"},       {-0.00000001, "0"},         {1e300 * 1e300, "0"}};
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatReal(c.value), c.text);
  }
  std::setlocale(LC_NUMERIC, "C");
  XmlReply reply(14);
  reply.Open("buddy", 3).Text("nickname", "a<b").Close("buddy");
  EXPECT_EQ(reply.Finish(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<reply>\n<result id=\"14\"/>\n"
            "<buddy id=\"3\"><nickname>a&lt;b</nickname></buddy>\n</reply>\n");
}

}  // namespace
