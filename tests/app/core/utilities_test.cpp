#include "app/core/Utilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <regex>
#include <string>

#include "app/core/VersionBanner.h"
#include "tests/support/ScopedTimeZone.h"

using namespace rovana;

namespace {

constexpr double kAngleTolerance = 1e-12;  // radians; a few ulps of 2π
double Deg(double degrees) { return degrees * kPi / 180.0; }

using testing_support::ScopedTimeZone;

// ---------------------------------------------------------------------------

TEST(PackedDate, KnownDates) {
  struct Row {
    int year, month, day;
    std::int32_t packed;
    const char* text;
  };
  const Row rows[] = {
      {2011, 7, 9, 836809, "2011-07-09"},   // 2011 × 416 + 7 × 32 + 9
      {2011, 12, 31, 2011 * 416 + 415, "2011-12-31"},  // the last day fills the year's 416 values
      {2012, 1, 1, 2012 * 416 + 33, "2012-01-01"},
      {0, 1, 1, 33, "0000-01-01"},
      {9999, 12, 31, 9999 * 416 + 415, "9999-12-31"},
      {2011, 0, 0, 2011 * 416, "2011-00-00"},  // unset month and day still fit
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(PackDate(r.year, r.month, r.day), r.packed);
    EXPECT_EQ(FormatPackedDate(r.packed), r.text);
    EXPECT_EQ(UnpackDate(r.packed), (CivilDate{r.year, r.month, r.day}));
  }
}

TEST(PackedDate, EveryMonthAndDayRoundTripsAndSortsLikeTheCalendar) {
  std::int32_t previous = INT32_MIN;
  for (int year : {0, 1, 1999, 2000, 2038, 9999, 5'000'000}) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= 31; ++day) {
        const std::int32_t packed = PackDate(year, month, day);
        EXPECT_EQ(UnpackDate(packed), (CivilDate{year, month, day})) << year << '-' << month << '-' << day;
        EXPECT_GT(packed, previous) << year << '-' << month << '-' << day;
        previous = packed;
        int y = -1, m = -1, d = -1;
        EXPECT_EQ(std::sscanf(FormatPackedDate(packed).c_str(), "%d-%d-%d", &y, &m, &d), 3);
        EXPECT_EQ((CivilDate{y, m, d}), (CivilDate{year, month, day}));
      }
    }
  }
}

TEST(PackedDate, OutOfRangeValuesSaturateAndFormatBounded) {
  EXPECT_EQ(PackDate(INT_MAX, 12, 31), INT32_MAX);
  EXPECT_EQ(PackDate(INT_MIN, 1, 1), INT32_MIN);
  EXPECT_EQ(PackDate(0, INT_MAX, INT_MAX), INT32_MAX);
  // Negative values use C's truncating division in every field.
  EXPECT_EQ(FormatPackedDate(-1), "0000-00--1");
  EXPECT_EQ(FormatPackedDate(INT32_MIN), "-5162220--4-00");
  EXPECT_EQ(FormatPackedDate(INT32_MAX), "5162220-03-31");
}

TEST(PackedDate, FromBrokenDownAndLocalTime) {
  std::tm t{};
  t.tm_year = 111, t.tm_mon = 6, t.tm_mday = 9;
  EXPECT_EQ(PackedDateOf(t), 836809);
  t.tm_year = INT_MAX;  // must not overflow while adding 1900
  EXPECT_EQ(PackedDateOf(t), INT32_MAX);

  const std::time_t july9 = 1310169600;  // 2011-07-09 00:00:00 UTC
  {
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(LocalStampOf(july9 + 45296).date, 836809);
    EXPECT_EQ(LocalStampOf(july9 + 45296).seconds, 45296);
    EXPECT_EQ(LocalStampOf(july9 - 1).date, PackDate(2011, 7, 8));
    EXPECT_EQ(LocalStampOf(july9 - 1).seconds, 86399);
  }
  {
    ScopedTimeZone east("XST-2");  // two hours ahead of UTC: 23:30 UTC is 01:30 of the next day
    EXPECT_EQ(LocalStampOf(july9 - 1800).date, 836809);
    EXPECT_EQ(LocalStampOf(july9 - 1800).seconds, 5400);
  }
}

TEST(PackedDate, ClockWrappersAgreeWithTheCLibrary) {
  for (int attempt = 0; attempt < 3; ++attempt) {  // retried only if the second changes meanwhile
    const std::time_t before = std::time(nullptr);
    const LocalStamp now = LocalNow();
    const std::int32_t today = TodayPacked();
    const int seconds = SecondsOfDayNow();
    if (std::time(nullptr) != before) continue;
    const LocalStamp expected = LocalStampOf(before);
    EXPECT_EQ(now.date, expected.date);
    EXPECT_EQ(now.seconds, expected.seconds);
    EXPECT_EQ(today, expected.date);
    EXPECT_EQ(seconds, expected.seconds);
    return;
  }
}

// ---------------------------------------------------------------------------

TEST(SecondsOfDay, KnownTimes) {
  struct Row {
    int h, m, s;
    int value;
    char separator;
    const char* text;
  };
  const Row rows[] = {
      {0, 0, 0, 0, ':', "00:00:00"},       {12, 34, 56, 45296, ':', "12:34:56"},
      {23, 59, 59, 86399, ':', "23:59:59"}, {23, 59, 60, 86400, ':', "24:00:00"},  // leap second
      {1, 2, 3, 3723, ' ', "01 02 03"},    {100, 0, 0, 360000, 'h', "100h00h00"},  // a long duration
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value);
    EXPECT_EQ(SecondsOfDay(r.h, r.m, r.s), r.value);
    EXPECT_EQ(FormatSecondsOfDay(r.value, r.separator), r.text);
  }
  // A zero separator is odd but must not cut the text short.
  EXPECT_EQ(FormatSecondsOfDay(25500, '\0'), std::string("07") + '\0' + "05" + '\0' + "00");
  std::tm t{};
  t.tm_hour = 12, t.tm_min = 34, t.tm_sec = 56;
  EXPECT_EQ(SecondsOfDayOf(t), 45296);
}

TEST(SecondsOfDay, EverySecondRoundTrips) {
  int failures = 0;
  for (int value = 0; value < kSecondsPerDay && failures < 10; ++value) {
    int h = -1, m = -1, s = -1;
    const std::string text = FormatSecondsOfDay(value, ':');
    const bool ok = text.size() == 8 && std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) == 3 && h < 24 && m < 60 &&
                    s < 60 && SecondsOfDay(h, m, s) == value;
    if (!ok) {
      ++failures;
      ADD_FAILURE() << value << " -> " << text;
    }
  }
}

TEST(SecondsOfDay, NegativeAndExtremeValuesStayBounded) {
  EXPECT_EQ(FormatSecondsOfDay(-1, ':'), "00:00:-1");
  EXPECT_EQ(FormatSecondsOfDay(-3661, ':'), "-1:-1:-1");
  EXPECT_EQ(FormatSecondsOfDay(INT_MIN, ':'), "-596523:-14:-8");
  EXPECT_EQ(SecondsOfDay(INT_MAX, 0, 0), INT_MAX);
  EXPECT_EQ(SecondsOfDay(INT_MIN, INT_MIN, INT_MIN), INT_MIN);
}

// ---------------------------------------------------------------------------

TEST(Angles, Normalize) {
  const double nan = std::nan("");
  struct Row {
    double in, out;
  };
  const Row rows[] = {
      {0, 0},           {kTwoPi, 0},  {-kPi / 2, 3 * kPi / 2}, {5 * kPi, kPi}, {7 * kPi / 2, 3 * kPi / 2},
      {-4 * kPi, 0},    {-1e-20, 0},  {Deg(-10), Deg(350)},    {Deg(370), Deg(10)},
  };
  for (const Row& r : rows) EXPECT_NEAR(NormalizeAngle(r.in), r.out, kAngleTolerance) << r.in;
  EXPECT_TRUE(std::isnan(NormalizeAngle(nan)));
  EXPECT_TRUE(std::isnan(NormalizeAngle(INFINITY)));

  std::mt19937 random(7);
  std::uniform_real_distribution<double> any(-1000, 1000);
  for (int i = 0; i < 2000; ++i) {
    const double a = any(random), n = NormalizeAngle(a);
    EXPECT_TRUE(n >= 0 && n < kTwoPi) << a;
    EXPECT_NEAR(std::cos(n), std::cos(a), 1e-9);
    EXPECT_NEAR(std::sin(n), std::sin(a), 1e-9);
  }
}

TEST(Angles, Difference) {
  struct Row {
    double a, b, diff;
  };
  const Row rows[] = {
      {0, kPi / 2, kPi / 2},        {kPi / 2, 0, -kPi / 2},    {Deg(350), Deg(10), Deg(20)},
      {Deg(10), Deg(350), Deg(-20)}, {0, kPi, kPi},            {kPi, 0, kPi},  // half a turn is +π, never −π
      {3 * kPi, 0, kPi},            {0, -kPi / 2, -kPi / 2},   {Deg(-720), Deg(725), Deg(5)},
  };
  for (const Row& r : rows) EXPECT_NEAR(AngleDifference(r.a, r.b), r.diff, kAngleTolerance) << r.a << " " << r.b;

  std::mt19937 random(11);
  std::uniform_real_distribution<double> any(-20, 20);
  for (int i = 0; i < 2000; ++i) {
    const double a = any(random), b = any(random), d = AngleDifference(a, b);
    EXPECT_TRUE(d > -kPi && d <= kPi) << a << " " << b;
    EXPECT_NEAR(std::cos(a + d), std::cos(b), 1e-9);
    EXPECT_NEAR(std::sin(a + d), std::sin(b), 1e-9);
  }
}

TEST(Angles, Mean) {
  struct Row {
    double a, b, mean;
  };
  const Row rows[] = {
      {Deg(350), Deg(10), 0},        {Deg(10), Deg(350), 0},        {Deg(10), Deg(30), Deg(20)},
      {Deg(170), Deg(190), Deg(180)}, {0, 0, 0},                     {Deg(-10), Deg(10), 0},
      {Deg(720), 0, 0},              {Deg(0), Deg(180), Deg(270)},  // exactly opposite: the rule's pick
      {Deg(359), Deg(1), 0},
  };
  for (const Row& r : rows) {
    const double m = AngleMean(r.a, r.b);
    // 0 and 2π are the same direction; compare on the circle.
    EXPECT_NEAR(std::fabs(AngleDifference(m, r.mean)), 0, kAngleTolerance) << r.a << " " << r.b << " -> " << m;
    EXPECT_TRUE(m >= 0 && m < kTwoPi);
  }

  // The mean lies halfway along the shorter arc.
  std::mt19937 random(13);
  std::uniform_real_distribution<double> any(-10, 10);
  for (int i = 0; i < 2000; ++i) {
    const double a = any(random), b = any(random);
    if (std::fabs(std::fabs(AngleDifference(a, b)) - kPi) < 1e-6) continue;
    const double m = AngleMean(a, b);
    EXPECT_NEAR(AngleDifference(a, m), AngleDifference(m, b), 1e-9) << a << " " << b;
    EXPECT_LT(std::fabs(AngleDifference(a, m)), kPi / 2 + 1e-9);
  }
}

// ---------------------------------------------------------------------------

TEST(UrlEncoding, Table) {
  struct Row {
    std::u16string_view in;
    const char* out;
  };
  const Row rows[] = {
      {u"", ""},
      {u"abcXYZ0189", "abcXYZ0189"},
      {u"a b", "a+b"},
      {u"  ", "++"},
      {u".*_<>/\"", ".*_<>/\""},
      {u"&", "%26"},
      {u"-~%+=?#", "%2D%7E%25%2B%3D%3F%23"},
      {u"\t\n", "%09%0A"},
      {std::u16string_view(u"a\0b", 3), "a%00b"},
      {u"\u00FC", "%FC"},  // ü: a letter, but not an ASCII one
      {u"\u00E9\u00DF", "%E9%DF"},
      {u"\u20AC", "%20AC"},
      {u"\u0100", "%100"},
      {u"\uFFFF", "%FFFF"},
      {u"\xD83D\xDE00", "%D83D%DE00"},  // one character outside the basic plane: two units
      {u"Z\u00FCrich Hbf/Gleis 1&2", "Z%FCrich+Hbf/Gleis+1%262"},
  };
  for (const Row& r : rows) EXPECT_EQ(UrlEncode(r.in), r.out) << r.out;
}

TEST(UrlEncoding, Utf8InputIsEncodedByItsUnits) {
  EXPECT_EQ(UrlEncode(std::string_view("Z\xC3\xBCrich & Co")), "Z%FCrich+%26+Co");
  EXPECT_EQ(UrlEncode(std::string_view("\xE2\x82\xAC")), "%20AC");
  EXPECT_EQ(UrlEncode(std::string_view("\xF0\x9F\x98\x80")), "%D83D%DE00");
  EXPECT_EQ(UrlEncode(std::string_view("a\xFF" "b")), "a%FFFDb");  // malformed byte
  EXPECT_EQ(UrlEncode(std::string_view("")), "");
}

TEST(UrlEncoding, EveryUnitDecodesBack) {
  int failures = 0;
  for (unsigned u = 0; u <= 0xFFFF && failures < 10; ++u) {
    const char16_t unit = static_cast<char16_t>(u);
    const std::string e = UrlEncode(std::u16string_view(&unit, 1));
    const bool alnum = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
    const bool kept = alnum || std::u16string_view(u".*_<>/\"").find(unit) != std::u16string_view::npos;
    bool ok;
    if (kept)
      ok = e.size() == 1 && static_cast<unsigned char>(e[0]) == u;
    else if (u == ' ')
      ok = e == "+";
    else
      ok = e.size() >= 3 && e.size() <= 5 && e[0] == '%' && std::strtoul(e.c_str() + 1, nullptr, 16) == u &&
           e.find_first_not_of("0123456789ABCDEF", 1) == std::string::npos;
    if (!ok) {
      ++failures;
      ADD_FAILURE() << "unit " << u << " -> " << e;
    }
  }
}

TEST(UrlEncoding, BoundedBufferKeepsWholeUnitsAndTheZero) {
  const std::u16string_view in = u"a&b\u20AC c";
  const std::string full = UrlEncode(in);  // "a%26b%20AC+c"
  const std::size_t unitEnds[] = {0, 1, 4, 5, 10, 11, 12};
  for (std::size_t capacity = 0; capacity <= full.size() + 2; ++capacity) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    const std::size_t n = UrlEncodeInto(in, buffer, capacity);
    std::size_t expected = 0;
    for (std::size_t end : unitEnds)
      if (end < capacity) expected = end;
    SCOPED_TRACE(capacity);
    EXPECT_EQ(n, expected);
    if (capacity > 0) {
      EXPECT_EQ(std::string(buffer), full.substr(0, expected));
    }
    for (std::size_t k = capacity; k < sizeof buffer; ++k) ASSERT_EQ(buffer[k], '#') << "written past the capacity";
  }
  EXPECT_EQ(UrlEncodeInto(in, nullptr, 10), 0u);
}

// ---------------------------------------------------------------------------

TEST(ResolutionScaling, DpiRule) {
  struct Row {
    int w, h, dpi;
  };
  const Row rows[] = {{240, 320, 96}, {320, 240, 96},  {479, 479, 96},  {480, 479, 192}, {479, 480, 192},
                      {480, 640, 192}, {640, 480, 192}, {0, 0, 96},     {-1000, -1000, 96}};
  for (const Row& r : rows) EXPECT_EQ(DpiForScreen(r.w, r.h), r.dpi) << r.w << "x" << r.h;
}

TEST(ResolutionScaling, ToScreenRoundsHalfUpAwayFromZero) {
  struct Row {
    int v, dpi, out;
  };
  const Row rows[] = {
      {0, 96, 0},    {0, 192, 0},    {1, 96, 1},     {-1, 96, -1},   {1, 192, 2},   {-1, 192, -2},
      {10, 192, 20}, {-10, 192, -20}, {1, 144, 2},    {-1, 144, -2},  {1, 120, 1},   {3, 120, 4},
      {2, 120, 3},   {-2, 120, -3},  {1, 48, 1},     {1, 47, 0},     {-1, 47, 0},   {5, 0, 5},
      {5, -192, 5},  {INT_MAX, 96, INT_MAX}, {INT_MAX, 192, INT_MAX}, {INT_MIN, 96, INT_MIN},
      {INT_MIN, 192, INT_MIN},
  };
  for (const Row& r : rows) EXPECT_EQ(ScaleToScreen(r.v, r.dpi), r.out) << r.v << " at " << r.dpi;
}

TEST(ResolutionScaling, ToDesign) {
  struct Row {
    int v, dpi, out;
  };
  const Row rows[] = {
      {0, 192, 0},   {1, 192, 1},    {2, 192, 1},       {3, 192, 2},    {5, 192, 3},   {480, 192, 240},
      {640, 192, 320}, {-3, 192, -2}, {-480, 192, -240}, {1, 96, 1},     {-7, 96, -7},  {1, 144, 1},
      {2, 144, 1},   {3, 144, 2},    {-3, 144, -2},     {9, 0, 9},      {INT_MAX, 1, INT_MAX}, {INT_MIN, 1, INT_MIN},
  };
  for (const Row& r : rows) EXPECT_EQ(ScaleToDesign(r.v, r.dpi), r.out) << r.v << " at " << r.dpi;
}

TEST(ResolutionScaling, SignIsKeptAndTheTwoDpisRoundTrip) {
  int failures = 0;
  for (int dpi : {96, 120, 144, 192}) {
    for (int v = -2000; v <= 2000 && failures < 10; ++v) {
      const bool symmetric =
          ScaleToScreen(-v, dpi) == -ScaleToScreen(v, dpi) && ScaleToDesign(-v, dpi) == -ScaleToDesign(v, dpi);
      const bool roundTrips = (dpi != 96 && dpi != 192) || ScaleToDesign(ScaleToScreen(v, dpi), dpi) == v;
      const bool ok = symmetric && roundTrips;
      if (!ok) {
        ++failures;
        ADD_FAILURE() << v << " at " << dpi;
      }
    }
  }
}

TEST(ResolutionScaling, LayoutStep) {
  struct Row {
    int w, h, dpi;
    ClientRect loRes;
    Orientation orientation;
  };
  const Row rows[] = {
      {480, 640, 192, {0, 0, 240, 320}, Orientation::Portrait},
      {320, 240, 96, {0, 0, 320, 240}, Orientation::Landscape},
      {480, 480, 192, {0, 0, 240, 240}, Orientation::Square},
      {240, 320, 96, {0, 0, 240, 320}, Orientation::Portrait},
      {640, 480, 192, {0, 0, 320, 240}, Orientation::Landscape},
      {800, 481, 192, {0, 0, 400, 241}, Orientation::Landscape},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h));
    const ScreenLayout layout = LayoutForScreen(r.w, r.h);
    EXPECT_EQ(layout.dpiX, r.dpi);
    EXPECT_EQ(layout.dpiY, r.dpi);
    EXPECT_EQ(layout.full, (ClientRect{0, 0, r.w, r.h}));
    EXPECT_EQ(layout.loRes, r.loRes);
    EXPECT_EQ(layout.orientation, r.orientation);
  }
  EXPECT_EQ(static_cast<int>(Orientation::Landscape), 0);
  EXPECT_EQ(static_cast<int>(Orientation::Portrait), 1);
  EXPECT_EQ(static_cast<int>(Orientation::Square), 2);
}

// ---------------------------------------------------------------------------

TEST(Strings, ShiftLeftAndHexDigit) {
  struct Row {
    const char* in;
    std::size_t n;
    const char* out;
  };
  const Row rows[] = {{"abcdef", 2, "cdef"}, {"abcdef", 0, "abcdef"}, {"abcdef", 6, ""},
                      {"abcdef", 7, ""},     {"", 3, ""},             {"abc", SIZE_MAX, ""}};
  for (const Row& r : rows) {
    std::string narrow = r.in;
    ShiftLeft(narrow, r.n);
    EXPECT_EQ(narrow, r.out) << r.in << " by " << r.n;
    std::u16string wide(narrow.begin(), narrow.end());
    std::u16string source(r.in, r.in + std::char_traits<char>::length(r.in));
    ShiftLeft(source, r.n);
    EXPECT_EQ(source, wide);
  }

  const std::string_view digits = "0123456789abcdef";
  for (int c = 0; c < 256; ++c) {
    const std::size_t lower = digits.find(static_cast<char>(std::tolower(c)));
    const int expected = c != 0 && lower != std::string_view::npos && std::isxdigit(c) ? static_cast<int>(lower) : 0;
    EXPECT_EQ(HexDigitValue(static_cast<char32_t>(c)), expected) << c;
    EXPECT_EQ(IsHexDigit(static_cast<char32_t>(c)), std::isxdigit(c) != 0) << c;
  }
  EXPECT_EQ(HexDigitValue(U'\uFF10'), 0);  // full-width zero is not a hex digit
  EXPECT_EQ(HexDigitValue(static_cast<char32_t>(static_cast<unsigned char>('\xFF'))), 0);
}

// ---------------------------------------------------------------------------

TEST(Utf8Decoding, MalformedInputBecomesReplacementCharacters) {
  const std::u16string_view r = u"\uFFFD";
  struct Row {
    std::string_view in;
    std::u16string out;
  };
  const Row rows[] = {
      {"", u""},
      {"abc", u"abc"},
      {"\xC3\xBC", u"\u00FC"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},  // outside the basic plane: a surrogate pair
      {std::string_view("a\0b", 3), std::u16string(u"a\0b", 3)},  // a zero byte is a character
      {"\x80", std::u16string(r)},                                   // lone continuation byte
      {"a\x80" "b", u"a" + std::u16string(r) + u"b"},
      {"\xC3", std::u16string(r)},                                   // cut short at the end
      {"\xE2\x82", std::u16string(r)},                               // one replacement for the cut sequence
      {"\xE2\x82" "a", std::u16string(r) + u"a"},                    // the breaking byte is decoded afresh
      {"\xC0\xAF", std::u16string(r) + std::u16string(r)},           // overlong form
      {"\xED\xA0\x80", std::u16string(r) + std::u16string(r) + std::u16string(r)},  // encoded surrogate
      {"\xF4\x90\x80\x80", std::u16string(4, r[0])},                 // above U+10FFFF
      {"\xFE\xFF", std::u16string(2, r[0])},
      {"\xFE\x80\x80\x80\x80\x80\x80", std::u16string(7, r[0])},     // seven leading ones
  };
  for (const Row& row : rows) EXPECT_EQ(Utf8ToUtf16(row.in), row.out) << testing::PrintToString(std::string(row.in));
}

TEST(Utf8Decoding, RandomBytesGiveWellFormedText) {
  std::mt19937 random(17);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 64);
  for (int i = 0; i < 3000; ++i) {
    std::string bytes(static_cast<std::size_t>(length(random)), '\0');
    for (char& c : bytes) c = static_cast<char>(byte(random));
    const std::u16string units = Utf8ToUtf16(bytes);
    ASSERT_LE(units.size(), bytes.size());
    // Well-formed UTF-16 survives a trip through UTF-8 unchanged.
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(units)), units) << testing::PrintToString(bytes);
  }
}

// ---------------------------------------------------------------------------

TEST(VersionBanner, Lines) {
  EXPECT_EQ(VersionBanner("Jul  9 2011", 0),
            "Rovana 3.4.6 (Jul  9 2011)\nGPS navigation and track recording\nDirect download");
  EXPECT_EQ(VersionBanner("Jul  9 2011", -1), "Rovana 3.4.6 (Jul  9 2011)\nGPS navigation and track recording\n?");
  for (int channel : {3, 99, INT_MIN, INT_MAX}) EXPECT_EQ(SalesChannelName(channel), "?") << channel;
  EXPECT_EQ(SalesChannelName(1), "Linux distribution");
  const std::string longDate(2000, 'x');  // no fixed buffer cuts it
  EXPECT_EQ(VersionBanner(longDate, -1), "Rovana 3.4.6 (" + longDate + ")\n" + std::string(kBannerDescription) + "\n?");

  EXPECT_TRUE(std::regex_match(std::string(BuildDate()), std::regex("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4}")))
      << BuildDate();
  const std::string banner = VersionBanner();
  EXPECT_EQ(banner, VersionBanner(BuildDate(), BuildSalesChannel()));
  EXPECT_EQ(std::count(banner.begin(), banner.end(), '\n'), 2);
}

}  // namespace
