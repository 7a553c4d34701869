// XmlReader: token sequences, text decoding, typed reads, UTF-16 and narrow
// input, the fixed window (tokens across its edge, tokens too long for it),
// and hostile input (truncation at every byte, NUL bytes, odd UTF-16 byte
// counts, junk), which must end early and cleanly and keep what was read.
#include "app/core/XmlReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"

namespace rovana {
namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;
// Values parsed from decimal text: equal up to the last bit or two.
constexpr double kParseTolerance = 1e-12;

struct Token {
  XmlToken type;
  std::string name;  // tag name, or decoded text for text and declarations
  std::vector<std::pair<std::string, std::string>> attributes;
  bool empty = false;
  bool operator==(const Token&) const = default;
};

void PrintTo(const Token& t, std::ostream* out) {
  *out << static_cast<int>(t.type) << ":[" << t.name << "]";
  for (const auto& [n, v] : t.attributes) *out << " " << n << "=" << v;
  if (t.empty) *out << " /";
}

std::string Describe(const std::vector<Token>& tokens) {
  std::ostringstream out;
  for (const Token& t : tokens) {
    out << static_cast<int>(t.type) << ":[" << t.name << "]";
    for (const auto& [n, v] : t.attributes) out << " " << n << "=" << v;
    if (t.empty) out << " /";
    out << "\n";
  }
  return out.str();
}

// Records every token; texts decoded with UTF-8 when asked.
class Recorder : public XmlReader {
 public:
  explicit Recorder(std::unique_ptr<XmlSource> source, bool utf8 = true)
      : XmlReader(std::move(source)), utf8_(utf8) {}
  Recorder(fs::path folder, std::string name) : XmlReader(std::move(folder), std::move(name)) {}

  std::vector<Token> tokens;
  std::size_t limit = 1'000'000;  // a reader that never ends would fail here, not hang

 protected:
  void Parse() override {
    while (tokens.size() < limit && NextToken()) {
      Token t{type(), {}, {}, EmptyElement()};
      if (type() == XmlToken::StartTag || type() == XmlToken::EndTag) {
        t.name = Name();
      } else {
        t.name = Text(utf8_);
      }
      for (std::size_t i = 0; i < AttributeCount(); ++i) t.attributes.emplace_back(AttributeName(i), AttributeValue(i));
      tokens.push_back(std::move(t));
    }
  }

 private:
  bool utf8_ = true;
};

std::vector<Token> Tokens(const std::string& bytes, bool utf8 = true, bool* read = nullptr) {
  Recorder r(std::make_unique<XmlMemorySource>(bytes), utf8);
  const bool ok = r.Read();
  if (read) *read = ok;
  return r.tokens;
}

std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

Token Start(std::string name, std::vector<std::pair<std::string, std::string>> attributes = {}, bool empty = false) {
  return Token{XmlToken::StartTag, std::move(name), std::move(attributes), empty};
}
Token End(std::string name) { return Token{XmlToken::EndTag, std::move(name), {}}; }
Token Text(std::string text) { return Token{XmlToken::Text, std::move(text), {}}; }
Token Decl(std::string text) { return Token{XmlToken::Declaration, std::move(text), {}}; }

class XmlReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() / ("xml-reader-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(folder_);
    OpenLog(folder_ / "log.txt");
  }
  void TearDown() override {
    CloseLog();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string LogText() const {
    std::ifstream in(folder_ / "log.txt");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  fs::path folder_;
};

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

TEST_F(XmlReaderTest, LongestTokensThatFit) {
  // 8000 characters fit in the window wherever they start: right at the
  // start, before the first compaction (which waits for 4097 consumed bytes)
  // and after it.
  int failures = 0;
  for (const bool unicode : {false, true}) {
    for (const std::size_t pad : {0, 1500, 3000}) {
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

TEST_F(XmlReaderTest, TooLongTokenEndsTheDataAndKeepsWhatCameBefore) {
  struct Case {
    const char* what;
    std::string huge;
  };
  const std::vector<Case> cases = {
      {"text", "<a>" + std::string(20000, 'x') + "</a>"},
      {"tag", "<a " + std::string(20000, 'y') + ">"},
      {"CDATA", "<a><![CDATA[" + std::string(20000, 'z') + "]]></a>"},
      {"comment", "<!--" + std::string(20000, '-') + "-->"},
  };
  for (const Case& c : cases) {
    OpenLog(folder_ / "log.txt");
    WriteFile("huge.xml", "<r><before>1</before>" + c.huge + "<after>2</after></r>");
    Recorder r(folder_, "huge.xml");
    EXPECT_TRUE(r.Read()) << c.what;
    ASSERT_GE(r.tokens.size(), 4u) << c.what;
    EXPECT_EQ(r.tokens[2], Text("1")) << c.what;
    for (const Token& t : r.tokens) EXPECT_NE(t.name, "after") << c.what << ": reading must stop at the long token";
    EXPECT_NE(LogText().find("too long"), std::string::npos) << c.what;
  }
}

TEST_F(XmlReaderTest, LongWhitespaceRunsAreSkipped) {
  const std::string doc = "<a>1</a>" + std::string(50000, ' ') + "\n<b>2</b>";
  const std::vector<Token> got = Tokens(doc);
  const std::vector<Token> expected = {Start("a"), Text("1"), End("a"), Start("b"), Text("2"), End("b")};
  EXPECT_EQ(got, expected) << Describe(got);
}

// Cut a document after every byte: the tokens read are always the full
// document's tokens up to the cut, the last one possibly shortened.
TEST_F(XmlReaderTest, TruncatedAtEveryByteKeepsWhatWasRead) {
  const std::string doc =
      "<?xml version=\"1.0\"?>\n<settings>\n <a>12</a>\n <b x=\"1\" y='2'/>\n <c><![CDATA[t&amp;t]]></c>\n"
      " <!-- note -->\n <d>caf\xC3\xA9</d>\n</settings>\n";
  for (const bool unicode : {false, true}) {
    const std::string full = unicode ? Utf16File(Utf8ToUtf16(doc)) : doc;
    const std::vector<Token> all = Tokens(full);
    int failures = 0;
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
      bool read = false;
      const std::vector<Token> got = Tokens(full.substr(0, cut), true, &read);
      if (read != (cut >= 2)) {
        ++failures;
        ADD_FAILURE() << "unicode " << unicode << " cut " << cut << ": Read() gave " << read;
      }
      bool prefix = got.size() <= all.size();
      for (std::size_t i = 0; prefix && i < got.size(); ++i) {
        if (got[i] == all[i]) continue;
        // Only a trailing text may be cut short.
        prefix = i + 1 == got.size() && got[i].type == XmlToken::Text && all[i].type == XmlToken::Text &&
                 all[i].name.compare(0, got[i].name.size(), got[i].name) == 0;
        if (!prefix && unicode == false && got[i].type == XmlToken::Text && i + 1 == got.size()) {
          // a cut inside a UTF-8 sequence ends the text with U+FFFD
          const std::string stem = got[i].name.substr(0, got[i].name.size() - 3);
          prefix = got[i].name.ends_with("\xEF\xBF\xBD") && all[i].name.compare(0, stem.size(), stem) == 0;
        }
      }
      if (!prefix) {
        ++failures;
        ADD_FAILURE() << "unicode " << unicode << " cut " << cut << ":\n" << Describe(got);
      }
    }
    EXPECT_EQ(failures, 0) << "unicode " << unicode;
  }
}

TEST_F(XmlReaderTest, HostileInputEndsCleanly) {
  std::mt19937 random(20240517);  // fixed seed: the same junk every run
  std::vector<std::pair<const char*, std::string>> inputs = {
      {"not XML at all", "The quick brown fox jumps over the lazy dog.\n"},
      {"only <", std::string(40000, '<')},
      {"only >", std::string(40000, '>')},
      {"only quotes", "<a " + std::string(40000, '"')},
      {"open declarations", std::string(40000, '!') + "<!" + std::string(20000, '[')},
      {"NUL bytes", std::string(40000, '\0')},
      {"NULs in tags", std::string("<a\0b c=\"\0\">\0</a\0>", 17)},
      {"BOM only", "\xFF\xFE"},
      {"BOM and one byte", "\xFF\xFE<"},
      {"UTF-16 BOM then odd junk", "\xFF\xFE" + std::string(33333, '\x3C')},
      {"nested CDATA openings", "<a><![CDATA[<![CDATA[<![CDATA[x]]>]]>]]></a>"},
  };
  for (int n = 0; n < 6; ++n) {
    std::string junk(30000 + n * 1111, '\0');
    for (char& c : junk) c = static_cast<char>(random() & 0xFF);
    if (n % 2) junk.insert(0, "\xFF\xFE");
    inputs.emplace_back("random bytes", std::move(junk));
  }
  // Random markup-ish soup: the characters the tokenizer reacts to.
  const std::string soup = "<>/!?[]-\"'= \r\n&;#xCDATA";
  for (int n = 0; n < 6; ++n) {
    std::string text(50000, ' ');
    for (char& c : text) c = soup[random() % soup.size()];
    inputs.emplace_back("markup soup", std::move(text));
  }
  for (const auto& [what, bytes] : inputs) {
    Recorder r(std::make_unique<XmlMemorySource>(bytes));
    r.Read();
    EXPECT_LT(r.tokens.size(), r.limit) << what;  // ended by itself
  }
}

TEST_F(XmlReaderTest, ReadResultAndLoggedReasons) {
  Recorder missing(folder_, "missing.xml");
  EXPECT_FALSE(missing.Read());
  EXPECT_NE(LogText().find("Error opening file"), std::string::npos);

  WriteFile("one.xml", "<");
  Recorder one(folder_, "one.xml");
  EXPECT_FALSE(one.Read());
  EXPECT_NE(LogText().find("too short"), std::string::npos);

  WriteFile("two.xml", "<a");
  Recorder two(folder_, "two.xml");
  EXPECT_TRUE(two.Read());
  EXPECT_TRUE(two.tokens.empty());

  fs::create_directories(folder_ / "folder.xml");
  Recorder folder(folder_, "folder.xml");
  EXPECT_FALSE(folder.Read());
  EXPECT_NE(LogText().find("folder.xml: not a regular file"), std::string::npos);

  // A FIFO without a writer would block a plain open; a device such as
  // /dev/urandom would never end.
  ASSERT_EQ(::mkfifo((folder_ / "fifo.xml").c_str(), 0600), 0);
  Recorder fifo(folder_, "fifo.xml");
  EXPECT_FALSE(fifo.Read());
  fs::create_symlink("/dev/urandom", folder_ / "random.xml");
  Recorder random(folder_, "random.xml");
  EXPECT_FALSE(random.Read());

  Recorder none{std::unique_ptr<XmlSource>()};
  EXPECT_FALSE(none.Read());
}

// A source that fails once it has handed out `failAt` bytes.
class FailingSource : public XmlSource {
 public:
  FailingSource(std::string bytes, std::size_t failAt)
      : XmlSource("/nowhere", "failing.xml"), bytes_(std::move(bytes)), failAt_(failAt) {}
  bool Open() override { return true; }
  long Read(void* buffer, std::size_t size) override {
    if (position_ >= failAt_) return -1;
    const std::size_t n = std::min({size, bytes_.size() - position_, failAt_ - position_});
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return static_cast<long>(n);
  }
  void Close() override {}

 private:
  std::string bytes_;
  std::size_t failAt_;
  std::size_t position_ = 0;
};

TEST_F(XmlReaderTest, FailedBlockReadKeepsWhatWasRead) {
  std::string doc = "<r>";
  for (int i = 0; i < 2000; ++i) doc += "<v>" + std::to_string(i) + "</v>";  // longer than one window
  Recorder r(std::make_unique<FailingSource>(doc, 20000));
  EXPECT_TRUE(r.Read());
  EXPECT_GT(r.tokens.size(), 100u);
  EXPECT_LT(r.tokens.size(), 1 + 3 * 2000u);  // the end of the document was never seen
  EXPECT_EQ(r.tokens[2], Text("0"));
  EXPECT_NE(LogText().find("Error reading file /nowhere/failing.xml"), std::string::npos);
}

TEST_F(XmlReaderTest, FileOperations) {
  WriteFile("track.gpx", "<gpx/>");
  Recorder r(folder_, "track.gpx");
  EXPECT_EQ(r.PathWithoutExtension(), folder_ / "track");
  EXPECT_TRUE(r.RenameFile("moved.gpx"));
  EXPECT_EQ(r.name(), "moved.gpx");
  EXPECT_TRUE(fs::exists(folder_ / "moved.gpx"));
  EXPECT_FALSE(fs::exists(folder_ / "track.gpx"));
  EXPECT_TRUE(r.Read());  // the source follows the new name
  EXPECT_EQ(r.tokens.size(), 1u);
  EXPECT_FALSE(r.RenameFile("../escape.gpx"));
  EXPECT_FALSE(r.RenameFile(""));
  EXPECT_EQ(r.name(), "moved.gpx");
  EXPECT_TRUE(r.DeleteFile());
  EXPECT_FALSE(r.DeleteFile());
  EXPECT_FALSE(r.RenameFile("again.gpx"));  // gone
  EXPECT_EQ(r.name(), "moved.gpx");

  Recorder shortName(folder_, "ab");
  EXPECT_EQ(shortName.PathWithoutExtension(), folder_ / "");
}

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
