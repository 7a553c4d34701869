// The reply scanner: markers, escapes and captures whatever the pieces the
// stream delivers, entity references, the value readers, recorded replies
// from files and the network, and hostile replies.
#include "app/online/ReplyScanner.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>

#include "app/core/TextCodec.h"
#include "app/online/HttpRequest.h"
#include "tests/support/LoggedFolder.h"
#include "tests/support/LoopbackHttp.h"

namespace {

using rovana::ReplyScanner;
using rovana::StreamRead;

const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "data";

// Bytes from memory in pieces of at most `piece`, optionally failing at the end.
class MemoryStream final : public rovana::ReplyStream {
 public:
  explicit MemoryStream(std::string bytes, std::size_t piece = 1 << 20, bool failAtEnd = false)
      : bytes_(std::move(bytes)), piece_(piece), failAtEnd_(failAtEnd) {}
  bool Open() override { return true; }
  void Close() override {}
  StreamRead Read(char* buffer, std::size_t length) override {
    if (at_ == bytes_.size()) return {!failAtEnd_, 0};
    const std::size_t n = std::min({length, piece_, bytes_.size() - at_});
    bytes_.copy(buffer, n, at_);
    at_ += n;
    return {true, n};
  }

 private:
  std::string bytes_;
  std::size_t piece_;
  bool failAtEnd_;
  std::size_t at_ = 0;
};

bool IsUtf8(const std::string& s) { return rovana::SanitizeUtf8(s) == s; }

TEST(ReplyScannerTest, ScanToInEveryPieceSize) {
  struct Case {
    const char* name;
    std::string input;
    std::string marker;
    std::size_t capacity;
    bool found;
    std::string capture;
  };
  const Case cases[] = {
      {"marker found", "abc:def", ":", 100, true, "abc"},
      {"marker at the start", ":abc", ":", 100, true, ""},
      {"no marker", "no marker here", ":", 100, false, "no marker here"},
      {"empty input", "", ":", 100, false, ""},
      {"longer marker", "xx\"name\":\"y\"", "\"name\":", 100, true, "xx"},
      {"overlapping start", "aaab", "aab", 100, true, "a"},
      {"escaped marker character", "a\\:b:c", ":", 100, true, "a\\:b"},
      {"escaped backslash", "a\\\\:b", ":", 100, true, "a\\\\"},
      {"escape inside a longer marker", "x\\\"a\":\"a\":", "\"a\":", 100, true, "x\\\"a\":"},
      {"capacity cuts the capture", "abcdefgh:", ":", 4, true, "abc"},
      {"capacity one keeps nothing", "abc:", ":", 1, true, ""},
      {"capacity zero keeps nothing", "abc:", ":", 0, true, ""},
      {"cut never splits a character", "a\xC3\xA9:", ":", 3, true, "a"},
      {"UTF-8 kept", "K\xC3\xB6ln \xE2\x82\xAC \xF0\x9F\x97\xBD:", ":", 100, true, "K\xC3\xB6ln \xE2\x82\xAC \xF0\x9F\x97\xBD"},
      {"malformed UTF-8 repaired", "a\xFF" "b\xC3:", ":", 100, true, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
      {"entities replaced", "K&ouml;ln &amp; Bonn:", ":", 100, true, "K\xC3\xB6ln & Bonn"},
      {"entity before the marker", "x&amp;}", "}", 100, true, "x&"},
      {"unfinished entity before the marker", "x&amp}", "}", 100, true, "x&amp"},
      {"entity cut by the capacity", "ab&auml;:", ":", 4, true, "ab"},
      {"marker inside an entity is still the marker", "a&amp;b", ";", 100, true, "a&amp"},
      {"empty marker", "abc", "", 100, true, ""},
  };
  for (const Case& c : cases) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{256}}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      MemoryStream stream(c.input, piece);
      ReplyScanner scanner(stream);
      std::string capture = "stale";
      EXPECT_EQ(scanner.ScanTo(c.marker, &capture, c.capacity), c.found);
      EXPECT_EQ(capture, c.capture);
    }
  }
}

TEST(ReplyScannerTest, ScansGoOnWhereTheLastEnded) {
  MemoryStream stream("a=1;b=2;c=3", 2);
  ReplyScanner scanner(stream);
  std::string value;
  const char* expected[] = {"a=1", "b=2"};
  for (const char* e : expected) {
    EXPECT_TRUE(scanner.ScanTo(";", &value, 10));
    EXPECT_EQ(value, e);
  }
  EXPECT_FALSE(scanner.ScanTo(";", &value, 10));
  EXPECT_EQ(value, "c=3");
  EXPECT_TRUE(scanner.ended());
  EXPECT_FALSE(scanner.failed());
  EXPECT_FALSE(scanner.ScanTo(";"));
}

TEST(ReplyScannerTest, AFailedReadEndsTheScan) {
  MemoryStream stream("abc", 256, true);
  ReplyScanner scanner(stream);
  std::string capture;
  EXPECT_FALSE(scanner.ScanTo(":", &capture, 10));
  EXPECT_EQ(capture, "abc");
  EXPECT_TRUE(scanner.failed());
}

TEST(EntitiesTest, References) {
  struct Case {
    const char* text;
    const char* decoded;
  };
  const Case cases[] = {
      {"&amp;", "&"},
      {"&lt;&gt;&quot;&apos;", "<>\"'"},
      {"&nbsp;", "\xC2\xA0"},
      {"&iexcl;", "\xC2\xA1"},
      {"&times;&divide;", "\xC3\x97\xC3\xB7"},
      {"&Auml;&auml;", "\xC3\x84\xC3\xA4"},
      {"&szlig;&yuml;", "\xC3\x9F\xC3\xBF"},
      {"&euro;&ndash;&hellip;", "\xE2\x82\xAC\xE2\x80\x93\xE2\x80\xA6"},
      {"&#65;&#x42;&#X43;", "ABC"},
      {"&#8364;&#x1F5FD;", "\xE2\x82\xAC\xF0\x9F\x97\xBD"},
      {"&#0;", "\xEF\xBF\xBD"},
      {"&#xD800;", "\xEF\xBF\xBD"},
      {"&#x110000;", "\xEF\xBF\xBD"},
      {"&#99999999;", "\xEF\xBF\xBD"},
      {"&#;&#x;&#12a;&#xZ;", "&#;&#x;&#12a;&#xZ;"},
      {"&bogus;", "&bogus;"},
      {"&AMP;", "&AMP;"},
      {"&amp", "&amp"},
      {"& x", "& x"},
      {"&&amp;", "&&"},
      {"&amp;lt;", "&lt;"},
      {"&averyveryverylongname;", "&averyveryverylongname;"},
      {"a&b&c", "a&b&c"},
      {"&", "&"},
      {"&#", "&#"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(rovana::DecodeEntities(c.text), c.decoded);
  }
}

TEST(ReplyScannerTest, ValueReaders) {
  const std::string object =
      "\"name\":\"Main St, 5\",\"lat\":48.5,\"lon\": -11.25 ,\"ok\":true,\"bad\":false,\"esc\":\"a\\\"b\\\\c\\/d\","
      "\"u\":\"\\u00e4\\ud83d\\uddfd\\ud800x\",\"ctl\":\"1\\n2\\t3\",\"empty\":\"\",\"up\":\"True\",\"exp\":\"1e3\","
      "\"plus\":\"+5\",\"nan\":\"nan\",\"inf\":\"inf\",\"xname\":\"not this\",\"word\":yes,\"last\":7}";
  struct Case {
    const char* key;
    std::string value;
    double number;
    bool flag;
  };
  const Case cases[] = {
      {"name", "Main St, 5", 0, false},
      {"lat", "48.5", 48.5, false},
      {"lon", "-11.25", -11.25, false},
      {"ok", "true", 0, true},
      {"bad", "false", 0, false},
      {"esc", "a\"b\\c/d", 0, false},
      {"u", "\xC3\xA4\xF0\x9F\x97\xBD\xEF\xBF\xBDx", 0, false},
      {"ctl", "1\n2\t3", 1, false},
      {"empty", "", 0, false},
      {"up", "True", 0, true},
      {"exp", "1e3", 1000, false},
      {"plus", "+5", 5, false},
      {"nan", "nan", 0, false},
      {"inf", "inf", 0, false},
      {"word", "yes", 0, false},
      {"last", "7", 7, false},
      {"missing", "", 0, false},
      {"xname", "not this", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(rovana::ValueOf(object, c.key), c.value);
    EXPECT_EQ(rovana::NumberOf(object, c.key), c.number);
    EXPECT_EQ(rovana::FlagOf(object, c.key), c.flag);
  }
  EXPECT_EQ(rovana::ValueOf("\"xname\":1,\"name\":2", "name"), "2") << "a key is matched whole";
  EXPECT_EQ(rovana::ValueOf("\"name\" : \"spaced\"", "name"), "spaced");
  EXPECT_EQ(rovana::ValueOf("\"name\"", "name"), "");
  EXPECT_EQ(rovana::ValueOf("\"name\":", "name"), "");
}

TEST(ReplyScannerTest, NumbersIgnoreTheUsersLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no comma locale on this machine";
  EXPECT_EQ(rovana::NumberOf("\"lat\":48.125", "lat"), 48.125);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

struct Place {
  std::string name;
  double lat, lon, importance;
  bool open;
};

std::vector<Place> ReadPlaces(rovana::ReplyStream& stream) {
  std::vector<Place> places;
  ReplyScanner scanner(stream);
  while (const std::optional<std::string> o = scanner.ObjectText(1024))
    places.push_back({rovana::ValueOf(*o, "display_name"), rovana::NumberOf(*o, "lat"), rovana::NumberOf(*o, "lon"),
                      rovana::NumberOf(*o, "importance"), rovana::FlagOf(*o, "open")});
  return places;
}

void ExpectSearchReply(const std::vector<Place>& places) {
  const Place expected[] = {
      {"M\xC3\xBCnchen, Bayern, Deutschland", 48.1371079, 11.5753822, 0.8, true},
      {"Z\xC3\xBCrich, Schweiz/Suisse/Svizzera/Svizra", 47.3768866, 8.541694, 0.77, false},
      {"Sydney, \"Harbour City\", NSW", -33.8698439, 151.2082848, 0.71, true},
      {"New York & Co, \xC3\xA9t\xC3\xA9 \xF0\x9F\x97\xBD", 40.7127281, -74.0060152, 0.9, false},
      {"Oslo \xE2\x80\x93 Norge \xC3\xA6\xC3\xB8\xC3\xA5", 59.9133301, 10.7389701, 0.6, false},
  };
  ASSERT_EQ(places.size(), std::size(expected));
  for (std::size_t i = 0; i < places.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(places[i].name, expected[i].name);
    EXPECT_DOUBLE_EQ(places[i].lat, expected[i].lat);
    EXPECT_DOUBLE_EQ(places[i].lon, expected[i].lon);
    EXPECT_DOUBLE_EQ(places[i].importance, expected[i].importance);
    EXPECT_EQ(places[i].open, expected[i].open);
  }
}

class RecordedReplyTest : public testing_support::LoggedFolderTest {};

TEST_F(RecordedReplyTest, SearchReplyFromACachedFile) {
  rovana::FileReplyStream stream(kData, "search_reply.json");
  ASSERT_TRUE(stream.Open());
  ExpectSearchReply(ReadPlaces(stream));
}

TEST_F(RecordedReplyTest, SearchReplyFromTheNetwork) {
  testing_support::LoopbackServer server;
  const std::string reply = ReadBytes(kData / "search_reply.json");
  server.routes().Get("/search", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(reply, "application/json");
  });
  ASSERT_TRUE(server.Start());
  rovana::OnlineOptions options;
  options.allowInternet = [] { return true; };
  options.connectivity = [] { return platform::ConnectivityAnswer{platform::Online::kConnected, ""}; };
  rovana::OnlineConnection online(options);
  rovana::HttpRequest request(online, server.base(), "/search?q=city");
  ASSERT_TRUE(request.Open());
  ExpectSearchReply(ReadPlaces(request));
  EXPECT_EQ(request.bytesReceived(), reply.size());
}

TEST_F(RecordedReplyTest, NestedObjectsEndAtTheFirstBrace) {
  rovana::FileReplyStream stream(kData, "geocoder_reply.json");
  ASSERT_TRUE(stream.Open());
  ReplyScanner scanner(stream);
  ASSERT_TRUE(scanner.ScanTo("\"features\":"));
  const std::optional<std::string> feature = scanner.ObjectText(512);
  ASSERT_TRUE(feature);
  EXPECT_EQ(rovana::NumberOf(*feature, "osm_id"), 1234);
  EXPECT_EQ(rovana::ValueOf(*feature, "city"), "M\xC3\xBCnchen");
  EXPECT_EQ(rovana::ValueOf(*feature, "rank"), "") << "beyond the first closing brace";
  ASSERT_TRUE(scanner.ScanTo("\"coordinates\":["));
  std::string coordinates;
  ASSERT_TRUE(scanner.ScanTo("]", &coordinates, 64));
  EXPECT_EQ(coordinates, "11.5754,48.1374");
}

TEST_F(RecordedReplyTest, EntitiesOfARecordedReply) {
  rovana::FileReplyStream stream(kData, "entities_reply.txt");
  ASSERT_TRUE(stream.Open());
  ReplyScanner scanner(stream);
  const char* expected[] = {
      "Caf\xC3\xA9 \xC2\xABZur Post\xC2\xBB",
      "Fish &amp chips &bogus; &#; &#x; &#12a; & more",
      "<b>bold</b> \"quoted\" 'single'",
      "\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD \xF4\x8F\xBF\xBF",
      "\xC3\x86sop \xC3\x9F \xC3\xBF \xC2\xA0x",
  };
  for (const char* e : expected) {
    SCOPED_TRACE(e);
    std::string name;
    ASSERT_TRUE(scanner.ScanTo("name="));
    ASSERT_TRUE(scanner.ScanTo("|", &name, 200));
    EXPECT_EQ(name, e);
  }
  EXPECT_FALSE(scanner.ScanTo("name="));
}

TEST(HostileReplyTest, NothingBreaksTheScanner) {
  std::mt19937 random(20261209);
  std::string binary(300000, '\0');
  for (char& c : binary) c = static_cast<char>(random() & 0xFF);
  std::string entities;
  while (entities.size() < 200000) entities += "&#x10FFFF;&amp&#;&lt;&&&#99999999999;&auml";
  struct Case {
    const char* name;
    std::string reply;
  };
  const Case cases[] = {
      {"unterminated object", "[{\"name\":\"never closed" + std::string(5000, 'x')},
      {"huge without a marker", std::string(5 * 1024 * 1024, 'a')},
      {"random binary", binary},
      {"backslashes only", std::string(100000, '\\')},
      {"broken entities", entities},
      {"opening braces only", std::string(100000, '{')},
      {"truncated UTF-8 everywhere", std::string(50000, '\xE2')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryStream stream(c.reply, 977);
    ReplyScanner scanner(stream);
    int objects = 0;
    while (const std::optional<std::string> o = scanner.ObjectText(300)) {
      EXPECT_LT(o->size(), 300u);
      EXPECT_TRUE(IsUtf8(*o));
      EXPECT_TRUE(IsUtf8(rovana::ValueOf(*o, "name")));
      (void)rovana::NumberOf(*o, "lat");
      ++objects;
    }
    EXPECT_TRUE(scanner.ended());
    MemoryStream again(c.reply, 977);
    ReplyScanner capture(again);
    std::string text;
    EXPECT_FALSE(capture.ScanTo("\x01never\x02", &text, 4096));
    EXPECT_LT(text.size(), 4096u);
    EXPECT_TRUE(IsUtf8(text));
  }
}

}  // namespace
