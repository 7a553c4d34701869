// The relay's own readers and writers: the encoded polyline both ways and
// the bounded JSON reader, on good, hostile and cut input.
#include <gtest/gtest.h>

#include <cmath>

#include "server/relay/Json.h"
#include "server/relay/Polyline.h"
#include "server/relay/Upstream.h"

using rovana::server::DecodePolyline;
using rovana::server::EncodePolyline;
using rovana::server::LatLon;
using rovana::server::ParseJson;

namespace {

constexpr double kDegreeTolerance = 1e-9;
const std::vector<LatLon> kExample = {{38.5, -120.2}, {40.7, -120.95}, {43.252, -126.453}};

TEST(RelayPolyline, DecodesThePublishedExample) {
  const auto points = DecodePolyline("_p~iF~ps|U_ulLnnqC_mqNvxq`@", 5);
  ASSERT_TRUE(points);
  ASSERT_EQ(points->size(), kExample.size());
  for (std::size_t i = 0; i < kExample.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR((*points)[i].latitude, kExample[i].latitude, kDegreeTolerance);
    EXPECT_NEAR((*points)[i].longitude, kExample[i].longitude, kDegreeTolerance);
  }
}

TEST(RelayPolyline, EncodesThePublishedExample) {
  EXPECT_EQ(EncodePolyline(kExample), "_p~iF~ps|U_ulLnnqC_mqNvxq`@");
  EXPECT_EQ(EncodePolyline({}), "");
}

TEST(RelayPolyline, SixDecimalInputIsReEncodedAtFive) {
  // The example's points at 1e-6 degree, as a router's "polyline6" gives them.
  std::string six;
  {
    // Encode by hand at 1e6: the same algorithm with another scale.
    long long lat = 0;
    long long lon = 0;
    auto append = [&six](long long value) {
      unsigned long long bits = value < 0 ? ~(static_cast<unsigned long long>(value) << 1)
                                          : static_cast<unsigned long long>(value) << 1;
      while (bits >= 0x20) {
        six.push_back(static_cast<char>((0x20 | (bits & 0x1F)) + 63));
        bits >>= 5;
      }
      six.push_back(static_cast<char>(bits + 63));
    };
    for (const LatLon& p : kExample) {
      const long long a = std::llround(p.latitude * 1e6);
      const long long b = std::llround(p.longitude * 1e6);
      append(a - lat);
      append(b - lon);
      lat = a;
      lon = b;
    }
  }
  const auto points = DecodePolyline(six, 6);
  ASSERT_TRUE(points);
  EXPECT_EQ(EncodePolyline(*points), "_p~iF~ps|U_ulLnnqC_mqNvxq`@");
  // Read at the wrong precision the latitudes leave the globe: refused.
  EXPECT_FALSE(DecodePolyline(six, 5));
}

TEST(RelayPolyline, RefusesMalformedText) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"character below ?", "_p~iF~ps|U!"},
      {"cut in a value", "_p~iF~ps|"},
      {"latitude without longitude", "_p~iF"},
      {"endless continuation", std::string(40, '~')},
      {"beyond the pole", EncodePolyline({{91, 0}})},
      {"beyond the date line", EncodePolyline({{0, 181}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(DecodePolyline(c.text, 5));
  }
  EXPECT_FALSE(DecodePolyline("??", 4)) << "only 5 and 6 decimals";
  const auto zero = DecodePolyline("??", 5);
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->size(), 1u);
}

TEST(RelayJson, ReadsValues) {
  const auto value = ParseJson(
      R"( {"a":"x\"y\\z\u00fc\ud83d\ude00","n":-12.5e1,"t":true,"f":false,"z":null,"l":[1,"2",{}],"s":"53.5"} )");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->TextOf("a"), "x\"y\\z\xC3\xBC\xF0\x9F\x98\x80");
  EXPECT_EQ(value->NumberOf("n").value_or(0), -125);
  EXPECT_EQ(value->Find("t")->type(), rovana::server::JsonValue::Type::Bool);
  EXPECT_EQ(value->Find("z")->type(), rovana::server::JsonValue::Type::Null);
  EXPECT_EQ(value->Find("l")->Items().size(), 3u);
  EXPECT_EQ(value->NumberOf("s").value_or(0), 53.5) << "numbers written as strings read as numbers";
  EXPECT_EQ(value->Find("missing"), nullptr);
  EXPECT_EQ(value->TextOf("t"), "");
}

TEST(RelayJson, RefusesBrokenAndHostileText) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"empty", ""},
      {"cut object", R"({"a":1)"},
      {"cut string", R"({"a":"xy)"},
      {"trailing comma", R"([1,2,])"},
      {"two values", R"({} {})"},
      {"bare word", "nul"},
      {"raw control character", "[\"a\x01\"]"},
      {"lone low surrogate", R"(["\udc00"])"},
      {"high surrogate alone", R"(["\ud800x"])"},
      {"bad escape", R"(["\q"])"},
      {"invalid UTF-8", "[\"\xC3\x28\"]"},
      {"leading zero dot", "[.5]"},
      {"number overflow", "[1e999]"},
      {"html page", "<html><body>Error</body></html>"},
      {"deep nesting", std::string(1000, '[') + std::string(1000, ']')},
      {"key not a string", "{1:2}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(ParseJson(c.text));
  }
  const std::string nested = std::string(rovana::server::kMaxJsonDepth, '[') +
                             std::string(rovana::server::kMaxJsonDepth, ']');
  EXPECT_TRUE(ParseJson(nested)) << "nesting up to the limit is fine";
}

TEST(RelayUrl, ValuesArePercentEncodedAsUtf8) {
  EXPECT_EQ(rovana::server::EncodeUrlValue("An der Alster 72, Hamburg&x=1"),
            "An%20der%20Alster%2072%2C%20Hamburg%26x%3D1");
  EXPECT_EQ(rovana::server::EncodeUrlValue("M\xC3\xBChle~_.-"), "M%C3%BChle~_.-");
}

TEST(RelayThrottle, SpacesRequestsAndRefusesLongWaits) {
  using namespace std::chrono;
  rovana::server::Throttle throttle(milliseconds(1000));
  const auto start = steady_clock::time_point(seconds(100));
  struct Step {
    const char* name;
    milliseconds at;
    std::optional<milliseconds> wait;
  };
  const Step steps[] = {
      {"first goes at once", milliseconds(0), milliseconds(0)},
      {"second waits for its second", milliseconds(200), milliseconds(800)},
      {"third waits behind it", milliseconds(300), milliseconds(1700)},
      {"a wait over the limit is refused", milliseconds(400), std::nullopt},
      {"after a pause at once again", milliseconds(5000), milliseconds(0)},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ(throttle.Reserve(start + step.at, milliseconds(2000)), step.wait);
  }
}

}  // namespace
