// The plain records of the routed sentences and the field readers under
// them: numbers, times and dates, one table of sentences per record type.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/SentenceRecords.h"

namespace {

using namespace zenolith;

constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;

// A sentence read the way the parser reads one, on the stack: no object is handed out.
struct Text {
  explicit Text(std::string_view body) { sentence.SetText("$" + std::string(body) + "*00"); }
  NmeaSentence sentence;
};

std::string Describe(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}
std::string Describe(const UtcTime& u) {
  return Describe("%d-%d-%d %d:%d:%d.%03d", u.year, u.month, u.day, u.hour, u.minute, u.second, u.millisecond);
}
std::string Describe(const Place& p) {
  return Describe("%.5f %.5f %.1f/%.1f", p.latitude * kRadToDeg, p.longitude * kRadToDeg, p.aboveSeaLevel,
                  p.datumHeight);
}

}  // namespace

TEST(FieldReaders, NumbersTimesAndDates) {
  struct Real {
    std::string_view text;
    double value;
  };
  const Real reals[] = {{"4807.038", 4807.038}, {"4807.038x", 4807.038}, {"", 0},      {"  -1.5", -1.5},
                        {"+2", 2},              {"1e3", 1000},            {"12e", 12},  {"nan", 0},
                        {"inf", 0},             {"0x1A", 0},              {".5", 0.5},  {"1e999", 0},
                        {"-", 0},               {"5.", 5}};
  for (const Real& r : reals) EXPECT_DOUBLE_EQ(ParseReal(r.text), r.value) << "'" << r.text << "'";
  EXPECT_EQ(ParseInt32("08"), 8);
  EXPECT_EQ(ParseInt32("12.9"), 12);
  EXPECT_EQ(ParseInt32("99999999999"), 2147483647);
  EXPECT_EQ(ParseInt32("-99999999999"), -2147483647 - 1);
  const Text s("GPXYZ,70000,-1,,A");
  EXPECT_EQ(FieldInt16(s.sentence, 1), 4464) << "the low 16 bits";
  EXPECT_EQ(FieldInt16(s.sentence, 2), -1);
  EXPECT_EQ(FieldInt16(s.sentence, 9), 0) << "absent field";
  EXPECT_EQ(FieldFirst(s.sentence, 4), 'A');

  struct Time {
    double field;
    UtcTime utc;
  };
  const Time times[] = {{235959.999, {0, 0, 0, 23, 59, 59, 999}},
                        {123519, {0, 0, 0, 12, 35, 19, 0}},
                        {83723.5, {0, 0, 0, 8, 37, 23, 500}},
                        {0, {}}};
  for (const Time& t : times) EXPECT_EQ(DecodeTime(t.field), t.utc) << t.field;
  EXPECT_EQ(DecodeTime(1e300).hour, 2147483647) << "garbage saturates instead of overflowing";

  struct Date {
    std::int32_t field;
    int year, month, day;
  };
  const Date dates[] = {{10180, 1980, 1, 1}, {311279, 2079, 12, 31}, {230394, 1994, 3, 23}, {0, 2000, 0, 0}};
  for (const Date& d : dates) {
    UtcTime utc;
    DecodeDate(d.field, utc);
    EXPECT_EQ(utc.year, d.year) << d.field;
    EXPECT_EQ(utc.month, d.month) << d.field;
    EXPECT_EQ(utc.day, d.day) << d.field;
  }
}

TEST(SentenceRecords, EachTypeReadsItsFields) {
  const auto gga = [](std::string_view body) {
    const GgaRecord r = ParseGga(Text(body).sentence);
    return Describe("%d ", r.valid) + Describe(r.utc) + " " + Describe(r.place) +
           Describe(" %d %.1f", r.satellitesInView, r.hdop);
  };
  const auto gll = [](std::string_view body) {
    const GllRecord r = ParseGll(Text(body).sentence);
    return Describe("%d ", r.valid) + Describe(r.utc) + " " + Describe(r.place);
  };
  const auto rmc = [](std::string_view body) {
    const RmcRecord r = ParseRmc(Text(body).sentence);
    return Describe("%d ", r.valid) + Describe(r.utc) + " " + Describe(r.place) +
           Describe(" %.1f %.1f %.1f", r.knots, r.heading, r.magneticVariation);
  };
  const auto vtg = [](std::string_view body) {
    const VtgRecord r = ParseVtg(Text(body).sentence);
    return Describe("%d %.1f %.1f %.1f", r.valid, r.heading, r.knots, r.magneticVariation);
  };
  const auto gsa = [](std::string_view body) {
    const GsaRecord r = ParseGsa(Text(body).sentence);
    return Describe("%d %d %d %.1f %.1f %.1f", r.used[0], r.used[7], r.used[11], r.pdop, r.hdop, r.vdop);
  };
  const auto gsv = [](std::string_view body) {
    const Text text(body);
    const GsvRecord r = ParseGsv(text.sentence);
    std::string described = Describe("%d/%d", r.number, r.messages);
    for (int block = 0; block < r.blocks; ++block) {
      const GsvSatellite v = ParseGsvSatellite(text.sentence, block);
      described += Describe(" %d:%d,%d,%d", v.id, v.elevation, v.azimuth, v.snr);
    }
    return described;
  };
  const struct {
    std::string got, want;
  } rows[] = {
      {gga("GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000"),
       "1 0-0-0 3:7:19.000 -37.78479 175.31490 59.9/83.6 8 1.1"},
      {gga("GPGGA,030719,3747.0873,S,17518.8938,E,0,08,1.1,59.9,M,23.7,M,,"),
       "0 0-0-0 3:7:19.000 -37.78479 175.31490 59.9/83.6 8 1.1"},
      {gga("GPGGA,,9999.999,N,,,,,,,,,,,"), "0 0-0-0 0:0:0.000 0.00000 0.00000 0.0/0.0 0 0.0"},
      {gga("GPGGA"), "1 0-0-0 0:0:0.000 0.00000 0.00000 0.0/0.0 0 0.0"},
      {gll("GPGLL,5155.55442,N,00434.65873,W,083723.00,A,A"), "1 0-0-0 8:37:23.000 51.92591 -4.57765 0.0/0.0"},
      {gll("GPGLL,5155.55442,N,00434.65873,E,083723.00,V,N"), "0 0-0-0 8:37:23.000 51.92591 4.57765 0.0/0.0"},
      {rmc("GPRMC,123520.250,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
       "1 1994-3-23 12:35:20.250 48.11730 11.51667 0.0/0.0 22.4 84.4 -3.1"},
      {rmc("GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,E,S"),
       "0 2011-10-24 12:51:6.000 38.90848 -77.44087 0.0/0.0 0.0 0.0 10.5"},
      {vtg("GPVTG,0.0,T,10.5,M,0.0,N,0.0,K"), "1 0.0 0.0 -10.5"},
      {vtg("GPVTG,054.7,T,,M,005.5,N,010.2,K"), "1 54.7 5.5 0.0"},
      {vtg("GPVTG,054.7,X,034.4,M,005.5,N,010.2,K"), "0 54.7 5.5 20.3"},
      {gsa("GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5"), "17 13 0 1.8 1.1 1.5"},
      {gsa("GPGSA,A,1"), "0 0 0 0.0 0.0 0.0"},
      {gsv("GPGSV,3,1,12,17,72,207,32,28,59,095,31"), "1/3 17:72,207,32 28:59,95,31"},
      {gsv("GPGSV,1,1,02,17,72,207,,05"), "1/1 17:72,207,0"},
      {gsv("GPGSV,1,1,00"), "1/1"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.got, row.want);
}
