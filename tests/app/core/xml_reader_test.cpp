// XmlReader: token sequences, text decoding, typed reads, UTF-16 and narrow
// input, and the fixed window (tokens across its edge, the longest that fit).
#include "app/core/XmlReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"
#include "tests/app/core/XmlReaderTestSupport.h"

namespace rovana {
namespace {

using namespace xml_test;
namespace fs = std::filesystem;

TEST_F(XmlReaderTest, TokenSequences) {
  struct Case {
    const char* what;
    std::string input;
    std::vector<Token> expected;
  };
  const std::vector<Case> cases = {
      {"declaration, element, attribute", "<?xml version=\"1.0\"?>\n<a b=\"1\">x</a>",
       {Decl("<?xml version=\"1.0\"?>"), Start("a", {{"b", "1"}}), Text("x"), End("a")}},
      {"whitespace between tags is no token", "<a>\r\n\t <b> </b>\n</a>\n", {Start("a"), Start("b"), End("b"), End("a")}},
      {"text keeps its leading blanks", "<a>  x y</a>", {Start("a"), Text("  x y"), End("a")}},
      {"comment holding a >", "<a><!-- 1 > 0 --></a>", {Start("a"), Decl("<!-- 1 > 0 -->"), End("a")}},
      {"CDATA holding markup", "<a><![CDATA[<b>x</b>]]></a>", {Start("a"), Decl("<b>x</b>"), End("a")}},
      {"empty element", "<a x='1'/><b/>", {Start("a", {{"x", "1"}}, true), Start("b", {}, true)}},
      {"apostrophe inside double quotes", "<a n=\"O'Brien\" m='say \"hi\"'>",
       {Start("a", {{"n", "O'Brien"}, {"m", "say \"hi\""}})}},
      {"> inside a value", "<a h=\"x>y\">t</a>", {Start("a", {{"h", "x>y"}}), Text("t"), End("a")}},
      {"spaced equals, unquoted and bare words", "<a b = \"1\" c=2 d e>", {Start("a", {{"b", "1"}, {"c", "2"}, {"d", "e"}})}},
      {"entity in a value", "<a u=\"x?a=1&amp;b=2\">", {Start("a", {{"u", "x?a=1&b=2"}})}},
      {"twelve attributes keep the first ten",
       "<t a1='1' a2='2' a3='3' a4='4' a5='5' a6='6' a7='7' a8='8' a9='9' a10='10' a11='11' a12='12'>",
       {Start("t", {{"a1", "1"}, {"a2", "2"}, {"a3", "3"}, {"a4", "4"}, {"a5", "5"}, {"a6", "6"}, {"a7", "7"},
                    {"a8", "8"}, {"a9", "9"}, {"a10", "10"}})}},
      {"trailing text is the last token", "<a>1</a>tail", {Start("a"), Text("1"), End("a"), Text("tail")}},
      {"unterminated tag ends the data", "<a>1</a", {Start("a"), Text("1")}},
      {"unterminated CDATA ends the data", "<a><![CDATA[x</a>", {Start("a")}},
      {"unterminated comment ends the data", "<a><!-- x <b>", {Start("a")}},
      {"a lone < at the end", "<a><", {Start("a")}},
      {"separators only", " \r\n\t'\"=? ", {}},
      {"empty end tag", "<a></a>", {Start("a"), End("a")}},
      {"UTF-8 byte-order mark is dropped", "\xEF\xBB\xBF<a>1</a>", {Start("a"), Text("1"), End("a")}},
  };
  int failures = 0;
  for (const Case& c : cases) {
    const std::vector<Token> got = Tokens(c.input);
    if (got != c.expected) {
      ++failures;
      ADD_FAILURE() << c.what << "\n got:\n" << Describe(got) << " expected:\n" << Describe(c.expected);
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(XmlReaderTest, TextDecoding) {
  struct Case {
    const char* what;
    std::string body;  // inside <a>...</a> of a narrow file
    bool utf8;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"named references", "&lt;&gt;&amp;&apos;&quot;", false, "<>&'\""},
      {"references decode once (amp then lt)", "&amp;lt;", false, "&lt;"},
      {"references decode once (amp then number)", "&amp;#60;", false, "&#60;"},
      {"references decode once (amp then quot)", "&amp;quot;", false, "&quot;"},
      {"decimal and hex references", "&#65;&#x42;&#X43;&#0068;", false, "ABCD"},
      {"reference beyond the BMP", "&#128512;", false, "\xF0\x9F\x98\x80"},
      {"reference to NUL", "a&#0;b", false, "a\xEF\xBF\xBD" "b"},
      {"reference to a surrogate", "&#xD800;", false, "\xEF\xBF\xBD"},
      {"reference beyond U+10FFFF", "&#1114112;&#9999999999;", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"unknown and broken references stay", "&nbsp; &# &#x; & &amp", false, "&nbsp; &# &#x; & &amp"},
      {"CDATA with a reference inside", "<![CDATA[a &lt; b]]>", false, "a < b"},
      {"narrow UTF-8 decoded", "caf\xC3\xA9 \xE2\x82\xAC", true, "caf\xC3\xA9 \xE2\x82\xAC"},
      {"narrow bytes without UTF-8 are Latin-1", "caf\xC3\xA9", false, "caf\xC3\x83\xC2\xA9"},
      {"character reference survives UTF-8 decoding", "caf&#233;", true, "caf\xC3\xA9"},
      {"malformed UTF-8 replaced", "a\xC3(\xFF" "b\xE2\x82", true, "a\xEF\xBF\xBD(\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
      {"overlong UTF-8 replaced", "\xC0\xAF", true, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"plain ASCII text", "20.5 m", true, "20.5 m"},
      {"CDATA of plain ASCII", "<![CDATA[Point 7]]>", true, "Point 7"},
      {"CDATA end marker in a text is removed", "a]]>b", true, "ab"},
      {"brackets alone stay", "a]]b ] [x]", true, "a]]b ] [x]"},
      {"markers removed in turn: the first removal makes the second", "<![CDATA[]]<![CDATA[>]]>", true, ""},
      {"CDATA with UTF-8 inside", "<![CDATA[Caf\xC3\xA9]]>", true, "Caf\xC3\xA9"},
      {"CDATA with UTF-8 taken as Latin-1", "<![CDATA[\xC3\xA9]]>", false, "\xC3\x83\xC2\xA9"},
      {"ASCII reference to a character beyond ASCII", "<![CDATA[&#x20AC;5]]>", true, "\xE2\x82\xAC" "5"},
  };
  int failures = 0;
  for (const Case& c : cases) {
    const std::vector<Token> got = Tokens("<a>" + c.body + "</a>", c.utf8);
    const std::string text = got.size() >= 2 ? got[1].name : "<missing>";
    if (text != c.expected) {
      ++failures;
      ADD_FAILURE() << c.what << ": got [" << text << "] expected [" << c.expected << "]";
    }
  }
  EXPECT_EQ(failures, 0);
}

// Tag and attribute names are compared as their UTF-8 text, exactly: case,
// length and characters beyond ASCII count, in narrow and UTF-16 files.
class NameProbe : public XmlReader {
 public:
  NameProbe(std::string bytes, std::string tag, std::string attribute)
      : XmlReader(std::make_unique<XmlMemorySource>(std::move(bytes))), tag_(std::move(tag)),
        attribute_(std::move(attribute)) {}
  bool startMatched = false, endMatched = false;
  std::optional<std::string> value;

 protected:
  void Parse() override {
    while (NextToken()) {
      if (IsTag(XmlToken::StartTag, tag_)) {
        startMatched = true;
        value = Attribute(attribute_);
      }
      if (IsTag(XmlToken::EndTag, tag_)) endMatched = true;
      EXPECT_FALSE(IsTag(XmlToken::Text, tag_)) << "a text is no tag";
    }
  }

 private:
  std::string tag_, attribute_;
};

TEST_F(XmlReaderTest, TagAndAttributeNamesMatchExactly) {
  struct Case {
    const char* what;
    std::string document, tag, attribute;
    bool matches;
    std::optional<std::string> value;
  };
  const std::vector<Case> cases = {
      {"ASCII", "<trkpt lat=\"1.5\">x</trkpt>", "trkpt", "lat", true, "1.5"},
      {"case counts", "<Trkpt LAT=\"1\"></Trkpt>", "trkpt", "lat", false, std::nullopt},
      {"a longer name is another", "<trkptx lat=\"1\"></trkptx>", "trkpt", "lat", false, std::nullopt},
      {"a shorter name is another", "<trk lat=\"1\"></trk>", "trkpt", "lat", false, std::nullopt},
      {"attribute prefix is another", "<a latitude=\"1\" lat=\"2\"></a>", "a", "lat", true, "2"},
      {"UTF-8 names", "<m\xC3\xA4p \xC3\xBC=\"v\"></m\xC3\xA4p>", "m\xC3\xA4p", "\xC3\xBC", true, "v"},
      {"UTF-8 name against ASCII", "<m\xC3\xA4p a=\"v\"></m\xC3\xA4p>", "map", "a", false, std::nullopt},
      {"ASCII name against UTF-8", "<map a=\"v\"></map>", "m\xC3\xA4p", "a", false, std::nullopt},
      {"the first of equal attributes", "<a k=\"1\" k=\"2\"/>", "a", "k", true, "1"},
      {"missing attribute", "<a k=\"1\"/>", "a", "q", true, std::nullopt},
  };
  int failures = 0;
  for (const Case& c : cases) {
    for (const bool unicode : {false, true}) {
      NameProbe probe(unicode ? Utf16File(Utf8ToUtf16(c.document)) : c.document, c.tag, c.attribute);
      ASSERT_TRUE(probe.Read()) << c.what;
      const bool endExpected = c.matches && c.document.find("/>") == std::string::npos;
      if (probe.startMatched != c.matches || probe.endMatched != endExpected || probe.value != c.value) {
        ++failures;
        ADD_FAILURE() << c.what << (unicode ? " (UTF-16)" : " (narrow)") << ": start " << probe.startMatched << " end "
                      << probe.endMatched << " value " << probe.value.value_or("<none>");
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(XmlReaderTest, NulEndsTheText) {
  const std::vector<Token> got = Tokens(std::string("<a>ab\0cd</a><b>2</b>", 20));
  ASSERT_EQ(got.size(), 6u) << Describe(got);
  EXPECT_EQ(got[1].name, "ab");
  EXPECT_EQ(got[4].name, "2");
}

TEST_F(XmlReaderTest, Utf16File) {
  // A character outside the BMP (surrogate pair) and an umlaut, in a tag
  // name, an attribute and a text; the UTF-8 option changes nothing here.
  const std::u16string doc = u"<?xml version=\"1.0\"?>\n<m\u00E4p n=\"\u00FC\U0001F600\">\u20AC &amp; \U0001F600</m\u00E4p>";
  for (const bool utf8 : {false, true}) {
    Recorder r(std::make_unique<XmlMemorySource>(Utf16File(doc)), utf8);
    ASSERT_TRUE(r.Read());
    EXPECT_TRUE(r.unicode());
    const std::vector<Token> expected = {Decl("<?xml version=\"1.0\"?>"),
                                         Start("m\xC3\xA4p", {{"n", "\xC3\xBC\xF0\x9F\x98\x80"}}),
                                         Text("\xE2\x82\xAC & \xF0\x9F\x98\x80"), End("m\xC3\xA4p")};
    EXPECT_EQ(r.tokens, expected) << Describe(r.tokens);
  }
}

TEST_F(XmlReaderTest, Utf16OddLengthAndUnpairedSurrogate) {
  std::string bytes = Utf16File(u"<a>x\xD800y</a><b>");
  bytes += 'z';  // half a unit at the end
  const std::vector<Token> got = Tokens(bytes);
  const std::vector<Token> expected = {Start("a"), Text("x\xEF\xBF\xBDy"), End("a"), Start("b")};
  EXPECT_EQ(got, expected) << Describe(got);
}

// A reader that takes one typed value after each start tag "v".
class TypedRecorder : public XmlReader {
 public:
  enum class Kind { Int, Real, Bool, Position, MultiLine };
  TypedRecorder(std::string bytes, Kind kind) : XmlReader(std::make_unique<XmlMemorySource>(std::move(bytes))), kind_(kind) {}
  std::int32_t i = -1;
  double d = -1;
  bool b = true;
  LatLonAlt p{-1, -1, -1};
  std::string s = "unset";

 protected:
  void Parse() override {
    while (NextToken()) {
      if (!IsTag(XmlToken::StartTag, "v")) continue;
      switch (kind_) {
        case Kind::Int: i = ReadInt(); break;
        case Kind::Real: d = ReadReal(); break;
        case Kind::Bool: b = ReadBool(); break;
        case Kind::Position: p = ReadPosition(); break;
        case Kind::MultiLine: s = ReadMultiLineText(); break;
      }
    }
  }

 private:
  Kind kind_;
};

TEST_F(XmlReaderTest, TypedReads) {
  struct IntCase {
    std::string text;
    std::int32_t expected;
  };
  const std::vector<IntCase> ints = {
      {"42", 42},       {" \t-7", -7},          {"+5", 5},          {"12abc", 12},         {"abc", 0},
      {"", 0},          {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<std::int32_t>::min()}, {"2147483648", 0},
      {"99999999999999999999999", 0}, {"+-5", 0}, {"0x10", 0},
  };
  int failures = 0;
  for (const IntCase& c : ints) {
    TypedRecorder r("<v>" + c.text + "</v>", TypedRecorder::Kind::Int);
    r.Read();
    if (r.i != c.expected) {
      ++failures;
      ADD_FAILURE() << "int [" << c.text << "] read " << r.i;
    }
  }
  struct RealCase {
    std::string text;
    double expected;
  };
  const std::vector<RealCase> reals = {
      {"1.500000", 1.5}, {"-0.25", -0.25}, {"1e3", 1000}, {" +2.5", 2.5}, {".5", 0.5},
      {"3,5", 3},        {"x", 0},         {"", 0},       {"5215789.654484", 5215789.654484},
  };
  for (const RealCase& c : reals) {
    TypedRecorder r("<v>" + c.text + "</v>", TypedRecorder::Kind::Real);
    r.Read();
    if (std::abs(r.d - c.expected) > kParseTolerance * std::max(1.0, std::abs(c.expected))) {
      ++failures;
      ADD_FAILURE() << "real [" << c.text << "] read " << r.d;
    }
  }
  struct BoolCase {
    std::string text;
    bool expected;
  };
  for (const BoolCase& c : std::vector<BoolCase>{{"1", true}, {"0", false}, {"2", true}, {"-1", true}, {"true", false}, {"", false}}) {
    TypedRecorder r("<v>" + c.text + "</v>", TypedRecorder::Kind::Bool);
    r.Read();
    if (r.b != c.expected) {
      ++failures;
      ADD_FAILURE() << "bool [" << c.text << "] read " << r.b;
    }
  }
  struct PositionCase {
    std::string text;
    LatLonAlt degrees;  // latitude and longitude in degrees here
  };
  const std::vector<PositionCase> positions = {
      {"52.500000#-1.250000#100.500000", {52.5, -1.25, 100.5}},
      {"10#20", {10, 20, 0}},
      {"10", {10, 0, 0}},
      {"10 # 20 # 30", {10, 0, 0}},  // "#" must follow the number directly
      {"x#1#2", {0, 0, 0}},
      {"", {0, 0, 0}},
  };
  for (const PositionCase& c : positions) {
    TypedRecorder r("<v>" + c.text + "</v>", TypedRecorder::Kind::Position);
    r.Read();
    const double lat = c.degrees.latitude * kPi / 180, lon = c.degrees.longitude * kPi / 180;
    if (std::abs(r.p.latitude - lat) > kParseTolerance || std::abs(r.p.longitude - lon) > kParseTolerance ||
        std::abs(r.p.altitude - c.degrees.altitude) > kParseTolerance) {
      ++failures;
      ADD_FAILURE() << "position [" << c.text << "] read " << r.p.latitude << " " << r.p.longitude << " " << r.p.altitude;
    }
  }
  struct LineCase {
    std::string text, expected;
  };
  for (const LineCase& c : std::vector<LineCase>{{"a\nb\n", "a\r\nb\r\n"}, {"a\r\nb", "a\r\nb"}, {"x\ny", "x\r\ny"}, {"ab", "ab"}}) {
    TypedRecorder r("<v>" + c.text + "</v>", TypedRecorder::Kind::MultiLine);
    r.Read();
    if (r.s != c.expected) {
      ++failures;
      ADD_FAILURE() << "multi-line read [" << r.s << "]";
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_F(XmlReaderTest, TypedReadAtTheEndOfData) {
  TypedRecorder i("<v>", TypedRecorder::Kind::Int);
  EXPECT_TRUE(i.Read());
  EXPECT_EQ(i.i, 0);
  TypedRecorder s("<v>", TypedRecorder::Kind::MultiLine);
  s.Read();
  EXPECT_EQ(s.s, "");
}

// Values spread over several windows, shifted by one character at a time so
// that every kind of token (start tag, text, end tag, CDATA) lies across the
// edge of the first window fill and of later refills.
TEST_F(XmlReaderTest, TokensAcrossTheWindowEdge) {
  constexpr int kValues = 260;  // about 11000 characters: the first fill's edge and a refill's
  int failures = 0;
  for (const bool unicode : {false, true}) {
    for (int shift = 0; shift < 46; ++shift) {  // one record is at most 46 characters
      std::string doc = "<?xml version=\"1.0\"?>\n<r>" + std::string(static_cast<std::size_t>(shift), ' ');
      for (int i = 0; i < kValues; ++i) {
        doc += "<value" + std::to_string(i % 7) + ">" + std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i % 13), 'x') +
               "</value" + std::to_string(i % 7) + "><c><![CDATA[" + std::to_string(i) + "]]></c>\n";
      }
      doc += "</r>";
      const std::string bytes = unicode ? Utf16File(Utf8ToUtf16(doc)) : doc;
      const std::vector<Token> got = Tokens(bytes);
      // declaration and <r>, six tokens per value, </r>
      const std::size_t expectedCount = 2 + 6 * kValues + 1;
      if (got.size() != expectedCount) {
        ++failures;
        ADD_FAILURE() << "unicode " << unicode << " shift " << shift << ": " << got.size() << " tokens";
        continue;
      }
      for (int i = 0; i < kValues; ++i) {
        const std::size_t at = 2 + 6 * static_cast<std::size_t>(i);
        const std::string tag = "value" + std::to_string(i % 7);
        const std::string text = std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i % 13), 'x');
        if (got[at] != Start(tag) || got[at + 1] != Text(text) || got[at + 2] != End(tag) ||
            got[at + 3] != Start("c") || got[at + 4] != Decl(std::to_string(i)) || got[at + 5] != End("c")) {
          ++failures;
          ADD_FAILURE() << "unicode " << unicode << " shift " << shift << " value " << i;
          break;
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// Guards texts that begin with blanks or quotes: when a read ended inside
// those leading separators, the reader dropped them from the text.
TEST_F(XmlReaderTest, TextsKeepTheirLeadingSeparatorsWhereverAReadEnds) {
  const std::string doc = "<?xml version=\"1.0\"?>\n<s><p>  \t two blanks and a tab</p><q>\"=? quoted</q></s>";
  for (const bool unicode : {false, true}) {
    const std::string bytes = unicode ? Utf16File(Utf8ToUtf16(doc)) : doc;
    const std::vector<Token> whole = Tokens(bytes);
    ASSERT_EQ(whole.size(), 9u);
    EXPECT_EQ(whole[3], Text("  \t two blanks and a tab"));
    for (std::size_t piece = 1; piece < bytes.size(); ++piece) {
      SCOPED_TRACE("unicode " + std::to_string(unicode) + ", pieces of " + std::to_string(piece));
      Recorder r(std::make_unique<PieceSource>(bytes, piece));
      ASSERT_TRUE(r.Read());
      EXPECT_EQ(Describe(r.tokens), Describe(whole));
    }
  }
}

TEST_F(XmlReaderTest, LongestTokensThatFit) {
  // 8000 characters fit in the window wherever they start: right at the
  // start, before the first compaction (which waits for half of the window's
  // data to be consumed), across it and after it.
  int failures = 0;
  for (const bool unicode : {false, true}) {
    for (const std::size_t pad : {0, 1500, 3000, 4090, 4500, 7000, 7900}) {
      std::string doc = "<r><pad>" + std::string(pad, 'p') + "</pad><a>" + std::string(8000, 'x') + "</a><b>after</b></r>";
      const std::vector<Token> got = Tokens(unicode ? Utf16File(Utf8ToUtf16(doc)) : doc);
      const std::size_t text = pad ? 5 : 4;  // no text token for an empty pad
      if (got.size() != text + 6 || got[text].name != std::string(8000, 'x') || got[text + 3].name != "after") {
        ++failures;
        ADD_FAILURE() << "unicode " << unicode << " pad " << pad << ": " << got.size() << " tokens";
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace rovana
