// Query values: the encoding table (the at sign, the space, multi-byte
// characters, the characters that would break a query or a path), a
// round trip of random bytes through an independent decoder, and numbers in
// the C locale even while the process runs under a decimal-comma locale.
#include "app/online/QueryText.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>

namespace rovana {
namespace {

struct EncodeCase {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(QueryText, EncodingTable) {
  const EncodeCase cases[] = {
      {"at sign", "anna@example.org", "anna%40example.org"},
      {"space", "two words", "two+words"},
      {"euro sign as three UTF-8 bytes", "\xE2\x82\xAC", "%E2%82%AC"},
      {"u umlaut", "M\xC3\xBCnchen", "M%C3%BCnchen"},
      {"character outside the basic plane", "\xF0\x9F\x98\x80", "%F0%9F%98%80"},
      {"letters, digits and the copied marks", "AZaz09.*_-", "AZaz09.*_-"},
      // Regression: the quote, angle brackets and slash once went out raw.
      {"quote, angle brackets, slash", "\"<>/", "%22%3C%3E%2F"},
      {"query delimiters", "&=?#", "%26%3D%3F%23"},
      {"per cent and plus", "%+", "%25%2B"},
      {"comma", "a,b", "a%2Cb"},
      {"line break and tab", "a\nb\tc", "a%0Ab%09c"},
      {"tilde", "~", "%7E"},
      {"a byte that is no UTF-8", "\xFF", "%FF"},
      {"a NUL byte", std::string("a\0b", 3), "a%00b"},
      {"empty", "", ""},
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeQueryValue(c.input), c.expected);
  }
}

// Reads "+" and "%XX" back, as a server's query parser would.
std::string Decode(const std::string& encoded, bool& ok) {
  std::string out;
  ok = true;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= encoded.size()) {
        ok = false;
        return out;
      }
      out += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

TEST(QueryText, RandomBytesRoundTripAndStayInTheSafeSet) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 2000; ++round) {
    std::string input(random() % 40, '\0');
    for (char& c : input) c = static_cast<char>(random() % 256);
    const std::string encoded = EncodeQueryValue(input);
    bool ok = false;
    const std::string decoded = Decode(encoded, ok);
    const bool safe = encoded.find_first_not_of(
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.*_-+%") == std::string::npos;
    if (!ok || decoded != input || !safe) {
      ADD_FAILURE() << "round " << round << ": " << encoded;
      return;
    }
  }
}

struct RealCase {
  const char* name;
  double value;
  const char* expected;
};

TEST(QueryText, RealsAsFixedWithSixDecimals) {
  const RealCase cases[] = {
      {"a half", 12.5, "12.500000"},
      {"rounded at the sixth decimal", 48.1234567, "48.123457"},
      {"negative", -11.25, "-11.250000"},
      {"tiny negative keeps its sign", -0.0000004, "-0.000000"},
      {"zero", 0.0, "0.000000"},
      {"large", 1e20, "100000000000000000000.000000"},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), "0.000000"},
      {"infinite", std::numeric_limits<double>::infinity(), "0.000000"},
      {"minus infinite", -std::numeric_limits<double>::infinity(), "0.000000"},
  };
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QueryReal(c.value), c.expected);
  }
  // The largest double is written whole.
  char expected[400];
  std::snprintf(expected, sizeof expected, "%f", std::numeric_limits<double>::max());
  EXPECT_EQ(QueryReal(std::numeric_limits<double>::max()), expected);
}

TEST(QueryText, RealsAgreeWithPrintfInTheCLocale) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> degrees(-400, 400);
  for (int i = 0; i < 5000; ++i) {
    const double v = degrees(random);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%lf", v);
    ASSERT_EQ(QueryReal(v), expected) << v;
  }
}

TEST(QueryText, Integers) {
  EXPECT_EQ(QueryInt(0), "0");
  EXPECT_EQ(QueryInt(-17), "-17");
  EXPECT_EQ(QueryInt(4294967295LL), "4294967295");
  EXPECT_EQ(QueryInt(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

// A locale whose decimal sign is a comma: an installed one, else one built
// with localedef into `folder` (found through LOCPATH).
const char* CommaLocale(const std::filesystem::path& folder) {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name)) return name;
  std::filesystem::create_directories(folder);
  const std::string command = "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return nullptr;
  setenv("LOCPATH", folder.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") ? "de_DE.UTF-8" : nullptr;
}

TEST(QueryText, NumbersIgnoreADecimalCommaLocale) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("rovana-query-locale-" + std::to_string(::getpid()));
  const char* comma = CommaLocale(folder);
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed or can be built";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  const std::string seen = probe;
  const std::string real = QueryReal(48.125);
  const std::string integer = QueryInt(1234567);
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
  std::filesystem::remove_all(folder);
  ASSERT_EQ(seen, "1,5") << comma;
  EXPECT_EQ(real, "48.125000");
  EXPECT_EQ(integer, "1234567");
}

}  // namespace
}  // namespace rovana
