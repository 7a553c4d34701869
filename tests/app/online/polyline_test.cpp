// The encoded polyline decoder: single values, the published examples, and
// the texts it refuses (too long a value, characters outside the alphabet,
// a value cut off, a latitude without longitude).
#include "app/online/Polyline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace rovana {
namespace {

constexpr double kTolerance = 1e-9;  // degrees; values are exact multiples of 1e-5

struct ValueCase {
  const char* name;
  std::string text;
  std::vector<std::int64_t> values;
};

TEST(PolylineTest, ValuesDecode) {
  const ValueCase cases[] = {
      {"question mark is zero", "?", {0}},
      {"one, then minus one", "A@", {1, -1}},
      {"published latitude", "_p~iF", {3850000}},
      {"published longitude", "~ps|U", {-12020000}},
      {"largest positive in six characters", "}~~~~^", {536870911}},
      {"largest negative in six characters", "~~~~~^", {-536870912}},
      {"empty text", "", {}},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto values = DecodePolylineValues(c.text);
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(*values, c.values);
  }
}

struct LineCase {
  const char* name;
  std::string text;
  std::vector<PolylinePoint> points;
};

TEST(PolylineTest, LinesDecodeIntoSummedDegrees) {
  const LineCase cases[] = {
      {"published point", "_p~iF~ps|U", {{38.5, -120.2}}},
      {"published three points", "_p~iF~ps|U_ulLnnqC_mqNvxq`@", {{38.5, -120.2}, {40.7, -120.95}, {43.252, -126.453}}},
      {"origin", "??", {{0, 0}}},
      {"empty line", "", {}},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto points = DecodePolyline(c.text);
    ASSERT_TRUE(points.has_value());
    ASSERT_EQ(points->size(), c.points.size());
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_NEAR((*points)[i].latitude, c.points[i].latitude, kTolerance) << i;
      EXPECT_NEAR((*points)[i].longitude, c.points[i].longitude, kTolerance) << i;
    }
  }
}

struct RefusedCase {
  const char* name;
  std::string text;
};

TEST(PolylineTest, BadTextsAreRefused) {
  const RefusedCase cases[] = {
      {"seven characters in one value", "~~~~~~?"},
      {"a space", "_p~iF ~ps|U"},
      {"a character below the alphabet", ">?"},
      {"a byte above the alphabet", "\x7f?"},
      {"a non-ASCII byte", "_p~iF\xc3\xa4"},
      {"a NUL byte", std::string("?\0", 2)},
      {"cut off inside a value", "_p~i"},
      {"latitude without longitude", "_p~iF~ps|U_ulL"},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(DecodePolyline(c.text).has_value());
  }
  EXPECT_FALSE(DecodePolylineValues("~~~~~~?").has_value());
}

}  // namespace
}  // namespace rovana
