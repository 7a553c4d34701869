// XmlReader on damaged and hostile input: tokens too long for the window,
// unbalanced quotes, truncation at every byte, NUL bytes, junk and failing
// reads, which must end early and cleanly and keep what was read; and the
// file operations around a read.
#include "app/core/XmlReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
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

// Regression: a tag with an unbalanced quote ('<wpt lat="1' lon="2">') had
// no ">" outside quotes, so the rest of the file was lost as a too-long token.
TEST_F(XmlReaderTest, UnbalancedQuoteDamagesOnlyItsOwnTag) {
  // Waypoints "<wpt lat=.. lon=..><name>Pn</name></wpt>"; the one at `bad`
  // has a stray apostrophe. The closing "<last h="x>y"/>" holds a ">" that the
  // stray quote would pair up as lying outside quotes.
  const auto gpx = [](int count, int bad) {
    std::string doc = "<?xml version=\"1.0\"?>\n<gpx>\n";
    for (int i = 0; i < count; ++i) {
      const std::string n = std::to_string(i);
      if (i == bad) {
        doc += "<wpt lat=\"" + n + "' lon=\"" + n + "\">";
      } else {
        doc += "<wpt lat=\"" + n + "\" lon=\"" + n + "\">";
      }
      doc += "<name>P" + n + "</name></wpt>\n";
    }
    return doc + "<last h=\"x>y\"/></gpx>\n";
  };
  struct Case {
    const char* what;
    int count, bad;
    bool unicode;
  };
  // 300 waypoints lie past the first window and a refill, so the damaged tag
  // at 200 is scanned after a compaction.
  const Case cases[] = {
      {"small file", 3, 1, false},         {"small file, UTF-16", 3, 1, true},
      {"long file", 300, 0, false},        {"long file, UTF-16", 300, 0, true},
      {"after a refill", 300, 200, false}, {"after a refill, UTF-16", 300, 200, true},
  };
  int failures = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenLog(folder_ / "log.txt");
    const std::string doc = gpx(c.count, c.bad);
    WriteFile("quote.gpx", c.unicode ? Utf16File(Utf8ToUtf16(doc)) : doc);
    Recorder r(folder_, "quote.gpx");
    ASSERT_TRUE(r.Read());
    // Declaration, <gpx>, five tokens per waypoint, <last/>, </gpx>.
    const std::size_t expectedCount = 2 + 5 * static_cast<std::size_t>(c.count) + 2;
    if (r.tokens.size() != expectedCount) {
      ++failures;
      ADD_FAILURE() << r.tokens.size() << " tokens instead of " << expectedCount;
      continue;
    }
    for (int i = 0; i < c.count; ++i) {
      const std::size_t at = 2 + 5 * static_cast<std::size_t>(i);
      const std::string n = std::to_string(i);
      const Token& wpt = r.tokens[at];
      const bool tagOk = i == c.bad ? wpt.type == XmlToken::StartTag && wpt.name == "wpt"
                                    : wpt == Start("wpt", {{"lat", n}, {"lon", n}});
      if (!tagOk || r.tokens[at + 1] != Start("name") || r.tokens[at + 2] != Text("P" + n) ||
          r.tokens[at + 3] != End("name") || r.tokens[at + 4] != End("wpt")) {
        ++failures;
        ADD_FAILURE() << "waypoint " << i << ":\n" << Describe({r.tokens.begin() + at, r.tokens.begin() + at + 5});
      }
    }
    EXPECT_EQ(r.tokens[expectedCount - 2], Start("last", {{"h", "x>y"}}, true)) << "a > inside quotes still belongs to the value";
    EXPECT_EQ(r.tokens.back(), End("gpx"));
    const std::string log = LogText();
    EXPECT_NE(log.find("unbalanced quote in " + (folder_ / "quote.gpx").string()), std::string::npos) << log;
    EXPECT_EQ(log.find("too long"), std::string::npos) << log;
  }
  EXPECT_EQ(failures, 0);

  // Damaged tags of other shapes: the data goes on after the tag's first ">";
  // a tag with no ">" at all still ends the data. Raw markup inside a value
  // is no sign of a stray quote and stays in the value.
  const std::string plain(8185, 'y');  // with "<a b="x>", exactly one window: no "<" in reach
  struct Shape {
    const char* what;
    std::string input;
    std::vector<Token> expected;
  };
  const std::vector<Shape> shapes = {
      {"open double quote", "<r><a b=\"x></r>", {Start("r"), Start("a", {{"b", "x"}}), End("r")}},
      {"open apostrophe", "<r><a b='x></r>", {Start("r"), Start("a", {{"b", "x"}}), End("r")}},
      {"quote in an end tag", "<r><a>1</a\"><b>2</b></r>",
       {Start("r"), Start("a"), Text("1"), End("a"), Start("b"), Text("2"), End("b"), End("r")}},
      {"open quote at the end of the file", "<r><a b=\"x>", {Start("r"), Start("a", {{"b", "x"}})}},
      {"open quote through a full window", "<a b=\"x>" + plain + "</a><c>2</c>",
       {Start("a", {{"b", "x"}}), Text(plain), End("a"), Start("c"), Text("2"), End("c")}},
      {"no > after the quote", "<r><a b=\"x", {Start("r")}},
      {"markup kept raw in a value", "<r><a t=\"<b>x</b>\">1</a></r>",
       {Start("r"), Start("a", {{"t", "<b>x</b>"}}), Text("1"), End("a"), End("r")}},
  };
  for (const Shape& s : shapes) {
    for (const bool unicode : {false, true}) {
      const std::vector<Token> got = Tokens(unicode ? Utf16File(Utf8ToUtf16(s.input)) : s.input);
      if (got != s.expected) {
        ++failures;
        ADD_FAILURE() << s.what << (unicode ? ", UTF-16" : "") << "\n got:\n" << Describe(got);
      }
    }
  }
  EXPECT_EQ(failures, 0);
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

TEST_F(XmlReaderTest, FailedBlockReadKeepsWhatWasRead) {
  std::string doc = "<r>";
  for (int i = 0; i < 2000; ++i) doc += "<v>" + std::to_string(i) + "</v>";  // longer than one window
  Recorder r(std::make_unique<PieceSource>(doc, SIZE_MAX, 20000));
  EXPECT_TRUE(r.Read());
  EXPECT_GT(r.tokens.size(), 100u);
  EXPECT_LT(r.tokens.size(), 1 + 3 * 2000u);  // the end of the document was never seen
  EXPECT_EQ(r.tokens[2], Text("0"));
  EXPECT_NE(LogText().find("Error reading file /pieces/pieces.xml"), std::string::npos);
}

// problem() tells a reader that read everything from one that stopped early
// (the settings store keeps such a file instead of overwriting it).
TEST_F(XmlReaderTest, ProblemSaysWhatEndedTheReadingEarly) {
  std::string longDoc = "<r>";
  for (int i = 0; i < 2000; ++i) longDoc += "<v>" + std::to_string(i) + "</v>";
  longDoc += "</r>";
  fs::create_directories(folder_ / "folder.xml");
  WriteFile("one.xml", "<");
  struct Case {
    const char* what;
    std::function<std::unique_ptr<XmlSource>()> source;
    std::string problem;
  };
  const auto memory = [](std::string bytes) { return [bytes] { return std::make_unique<XmlMemorySource>(bytes); }; };
  const std::vector<Case> cases = {
      {"whole document", memory(longDoc), ""},
      {"trailing text", memory("<r></r>tail"), ""},
      {"token too long", memory("<r><a>" + std::string(20000, 'x') + "</a><b/></r>"), "an XML token too long to read"},
      {"attribute too long", memory("<r a='" + std::string(20000, 'x') + "'/>"), "an XML token too long to read"},
      {"cut inside a tag", memory("<r><ab"), "the data ends inside a token"},
      {"cut inside a comment", memory("<r><!-- no end"), "the data ends inside a token"},
      {"read error", [&] { return std::make_unique<PieceSource>(longDoc, SIZE_MAX, 20000); }, "a read error"},
      {"missing file", [&] { return std::make_unique<XmlFileSource>(folder_, "missing.xml"); }, "No such file or directory"},
      {"a folder", [&] { return std::make_unique<XmlFileSource>(folder_, "folder.xml"); }, "not a regular file"},
      {"one byte", [&] { return std::make_unique<XmlFileSource>(folder_, "one.xml"); }, "it is too short to hold XML"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder r(c.source());
    r.Read();
    EXPECT_EQ(r.problem(), c.problem);
  }
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

}  // namespace
}  // namespace rovana
