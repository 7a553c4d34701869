// The tool's number text against what it replaced: com::FormatNumber's for
// JSON numbers, printf's "%.*f" and "%0*d" for coordinates and times.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "platform/com/Variant.h"
#include "tools/zenolith/OutputText.h"

namespace {

using namespace zenolith::tools;

std::string Number(double v) {
  std::string out = "x";  // appends, never replaces
  com::AppendNumber(out, v);
  return out.substr(1);
}

std::string Fixed(double v, int decimals) {
  std::string out;
  AppendFixed(out, v, decimals);
  return out;
}

std::string Printf(const char* format, double v, int n) {
  char text[400];
  std::snprintf(text, sizeof text, format, n, v);
  return text;
}

double FromBits(std::uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

const double kAwkward[] = {0.0, -0.0, 1e-7, 9.999999999999999e-8, 1e-6, 0.1 + 0.2, 1e21, 9.999999999999999e20, 1e20,
                           123456789012345680000.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, -1e-300,
                           1000000, 0.0001, 48.11729999999999, -3.1, 0.5, 1.5, 2.5, 0.0005, 0.0015, 0.0025, 1.0005,
                           2.675, 1e-10, -0.0004, -0.0005, -0.0006, 5e-10, 1.5e-9, 2.5e-9, 305346.5905, 5789734.4285,
                           1, -1, 7, 359, -45, 999999999999999, 1e15, -1e15, 1e15 + 1, 9007199254740991.0,
                           9007199254740992.0, 123456789012345678.0,
                           std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};

// JSON numbers come from com::AppendNumber: it appends, reads back to the
// same double, is plain exactly from 1e-6 up to 1e21, and prints integers
// (its short way) as the shortest digits would.
TEST(OutputText, NumbersReadBackAndAreAppended) {
  for (const double v : kAwkward) {
    const std::string text = Number(v);
    SCOPED_TRACE(text);
    if (!std::isfinite(v)) continue;
    double back = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_TRUE(ec == std::errc() && end == text.data() + text.size() && back == v);
    const double size = std::fabs(v);
    EXPECT_EQ(text.find('e') == std::string::npos, v == 0 || (size >= 1e-6 && size < 1e21));
  }
  const std::pair<double, const char*> exact[] = {{1e15, "1000000000000000"}, {-45, "-45"},
                                                  {9007199254740992.0, "9007199254740992"},
                                                  {123456789012345678.0, "123456789012345680"}, {-0.0, "0"}};
  for (const auto& [v, text] : exact) EXPECT_EQ(Number(v), text);
}

TEST(OutputText, FixedAsPrintf) {
  for (const int decimals : {0, 3, 9}) {
    for (const double v : kAwkward) {
      SCOPED_TRACE(Printf("%.*g", v, 17) + " with " + std::to_string(decimals));
      EXPECT_EQ(Fixed(v, decimals), Printf("%.*f", v, decimals));
    }
  }
  EXPECT_EQ(Fixed(-0.0, 3), "-0.000");
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> coordinate(-1e7, 1e7);
  for (int i = 0; i < 200000; ++i) {
    // Random doubles of every size, and values with few decimals where
    // rounding ties are frequent.
    const double v = i % 2 ? FromBits(random()) : std::round(coordinate(random) * 10000) / 10000;
    if (std::isnan(v)) continue;
    ASSERT_EQ(Fixed(v, 3), Printf("%.*f", v, 3)) << Printf("%.*g", v, 17);
    ASSERT_EQ(Fixed(v / 1e5, 9), Printf("%.*f", v / 1e5, 9)) << Printf("%.*g", v / 1e5, 17);
  }
}

TEST(OutputText, PaddedAsPrintf) {
  for (const int v : {0, 7, 59, 99, 100, 999, 1899, 9999, 12345, -1, -42, std::numeric_limits<int>::min()}) {
    for (const int width : {2, 3, 4}) {
      char text[32];
      std::snprintf(text, sizeof text, "%0*d", width, v);
      std::string out;
      AppendPadded(out, v, width);
      EXPECT_EQ(out, text) << v << " in " << width;
    }
  }
}

}  // namespace
