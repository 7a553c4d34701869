// XmlWriter never writes a token XmlReader cannot read back: the reader's
// limit measured on files made by hand, then long texts and attribute values
// (plain, all "<", "&", characters outside the BMP, multi-byte UTF-8) cut to
// what the reader takes in both encodings, with the element after them
// still read.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/core/TextCodec.h"
#include "app/core/XmlReader.h"
#include "app/core/XmlWriter.h"
#include "tests/app/core/XmlWriterTestSupport.h"
#include "tests/support/LoggedFolder.h"

namespace rovana {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kTextLimit = XmlWriter::kMaxTextUnits;
const std::string kSmile = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units, four UTF-8 bytes

using testing_xml::Writer;
using Collector = testing_xml::TextCollector;
constexpr const char* kDoc = "doc.xml";  // every document of these tests

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

std::string FileBytes(const std::string& utf8, bool unicode) {
  if (!unicode) return utf8;
  std::string bytes = "\xFF\xFE";
  for (const char16_t u : Utf8ToUtf16(utf8)) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

class XmlWriterBoundsTest : public testing_support::LoggedFolderTest {
 protected:
  void WriteFile(const std::string& utf8, bool unicode) const {
    std::ofstream(folder_ / "doc.xml", std::ios::binary) << FileBytes(utf8, unicode);
  }
};

// The writer's bounds are exactly the reader's: the longest text and
// attribute value it would write read back, one unit more does not.
TEST_F(XmlWriterBoundsTest, BoundsAreWhatTheReaderTakes) {
  struct Case {
    const char* what;
    bool unicode;
    std::string document;
    bool readable;
  };
  const std::size_t valueLimit = XmlReader::kMaxTokenUnits - 6 - 2;  // "<e v="...">" with one-letter names
  const auto text = [](std::size_t units) {
    return "<?xml version=\"1.0\"?>\n<doc>\n <t><![CDATA[" + std::string(units, 'a') + "]]></t>\n <t>after</t>\n</doc>\n";
  };
  const auto attribute = [](std::size_t units) {
    return "<?xml version=\"1.0\"?>\n<doc>\n <e v=\"" + std::string(units, 'a') + "\"></e>\n <t>after</t>\n</doc>\n";
  };
  const std::vector<Case> cases = {
      {"text at the bound, UTF-16", true, text(kTextLimit), true},
      {"text one over, UTF-16", true, text(kTextLimit + 1), false},
      {"text at the bound, UTF-8", false, text(kTextLimit), true},
      {"text one over, UTF-8", false, text(kTextLimit + 1), false},
      {"value at the bound, UTF-16", true, attribute(valueLimit), true},
      {"value one over, UTF-16", true, attribute(valueLimit + 1), false},
      {"value at the bound, UTF-8", false, attribute(valueLimit), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(c.document, c.unicode);
    Collector reader(folder_, kDoc);
    ASSERT_TRUE(reader.Read());
    const bool after = !reader.texts.empty() && reader.texts.back() == "after";
    EXPECT_EQ(after, c.readable);
  }
}

// Regression: a text of more than about 8,000 characters (or 2,500 "<",
// escaped to 10,000) was written whole and ended the reading of the file at
// the next start; now it is cut to the longest prefix the reader takes.
TEST_F(XmlWriterBoundsTest, LongTextsAreCutToWhatTheReaderTakes) {
  struct Case {
    const char* what;
    bool unicode;
    std::string piece;    // the text is this piece repeated
    std::size_t count;
    std::size_t kept;     // pieces that survive
  };
  const std::vector<Case> cases = {
      {"plain text at the bound", true, "a", kTextLimit, kTextLimit},
      {"plain text one over", true, "a", kTextLimit + 1, kTextLimit},
      {"plain text far over", true, "b", 100000, kTextLimit},
      {"only \"<\" (4 units each)", true, "<", 2500, kTextLimit / 4},
      {"only \"&\" (5 units each)", true, "&", 2500, kTextLimit / 5},
      {"outside the BMP (pairs)", true, kSmile, 5000, kTextLimit / 2},
      {"\"<\" then a pair that would cross the bound", true, "<" + kSmile, 2000, kTextLimit / 6},
      {"UTF-8: two-byte letters", false, "\xC3\xA9", 5000, kTextLimit / 2},
      {"UTF-8: outside the BMP", false, kSmile, 3000, kTextLimit / 4},
      {"UTF-8: plain text at the bound", false, "z", kTextLimit, kTextLimit},
      {"UTF-16: two-byte letters count one unit", true, "\xC3\xA9", kTextLimit, kTextLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t logStart = LogText().size();
    const std::string text = Repeat(c.piece, c.count);
    Writer writer(folder_, kDoc, [&](Writer& w) {
      w.Raw("<doc>\n");
      w.TextElement("t", text);
      w.TextElement("t", "after");
      w.Raw("</doc>\n");
    });
    ASSERT_TRUE(writer.Save(c.unicode));
    Collector reader(folder_, kDoc);
    ASSERT_TRUE(reader.Read());
    const std::string log = LogText().substr(logStart);
    const bool cut = c.kept < c.count;
    const std::string logged = "Text of <t> in " + (folder_ / "doc.xml").string() + " cut from ";
    const bool ok = reader.texts.size() == 2 && reader.texts[0] == Repeat(c.piece, c.kept) && reader.texts[1] == "after" &&
                    (log.find(logged) != std::string::npos) == cut;
    EXPECT_TRUE(ok) << reader.texts.size() << " texts, first of " << (reader.texts.empty() ? 0 : reader.texts[0].size())
                    << " bytes; log:\n" << log;
  }
}

// The same for an attribute value, whose whole start tag is one token.
TEST_F(XmlWriterBoundsTest, LongAttributeValuesAreCut) {
  const std::size_t limit = XmlReader::kMaxTokenUnits - 6 - std::string("link").size() - std::string("v").size();
  struct Case {
    const char* what;
    bool unicode;
    std::string piece;
    std::size_t count;
    std::size_t kept;
  };
  const std::vector<Case> cases = {
      {"at the bound", true, "a", limit, limit},
      {"one over", true, "a", limit + 1, limit},
      {"quotes (6 units each)", true, "\"", 3000, limit / 6},
      {"UTF-8 pairs", false, kSmile, 3000, limit / 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string value = Repeat(c.piece, c.count);
    Writer writer(folder_, kDoc, [&](Writer& w) {
      w.Raw("<doc>\n");
      w.EmptyElement("link", "v", value);
      w.EmptyElement("e", "v", "after");
      w.Raw("</doc>\n");
    });
    ASSERT_TRUE(writer.Save(c.unicode));
    // The value of "link" is read through its own collector pass.
    struct Links : XmlReader {
      explicit Links(fs::path folder) : XmlReader(std::move(folder), "doc.xml") {}
      std::vector<std::string> values;
      void Parse() override {
        while (NextToken())
          if (type() == XmlToken::StartTag && AttributeCount() > 0) values.push_back(AttributeValue(0));
      }
    } reader(folder_);
    ASSERT_TRUE(reader.Read());
    EXPECT_TRUE(reader.values.size() == 2 && reader.values[0] == Repeat(c.piece, c.kept) && reader.values[1] == "after")
        << reader.values.size() << " values";
  }
}

}  // namespace
}  // namespace rovana
