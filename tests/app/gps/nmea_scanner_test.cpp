// NmeaScanner: real receivers' sentences decoded into GpsData, whole captures
// fed line by line and checked against an independent checksum count, and
// the edge cases of the state machine, the field reader and each decoder.
#include "app/gps/NmeaScanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using rovana::GpsData;
using rovana::NmeaScanner;

constexpr double kDegreeTolerance = 1e-9;

std::filesystem::path DataFolder() { return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "lib" / "nmea" / "data"; }

// "$" + body + "*hh" with the body's checksum in upper-case hex.
std::string Nmea(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum & 0xFF);
  return "$" + std::string(body) + tail;
}

// Feeds each line with the zero that replaces its line end, as GPSThread does.
void FeedLines(NmeaScanner& scanner, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) scanner.Feed(line.c_str(), line.size() + 1);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// Lines as the connection's reader cuts them: at every CR and every LF.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r' || c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  return lines;
}

// An independent reading of one line: its address when it is one whole
// sentence with a good upper-case checksum, else empty.
std::string GoodSentenceAddress(const std::string& line) {
  if (line.size() < 4 || line[0] != '$') return {};
  const std::size_t star = line.find('*');
  if (star == std::string::npos || star + 3 != line.size()) return {};
  unsigned sum = 0;
  for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum);
  if (line.compare(star + 1, 2, hex) != 0) return {};
  const std::size_t comma = line.find(',');
  const std::size_t addressEnd = std::min(comma, star);
  if (addressEnd - 1 > 7 || star - addressEnd - 1 > 255) return {};
  return line.substr(1, addressEnd - 1);
}

TEST(NmeaScannerLogTest, WholeCapturesCountEverySentenceWithAGoodChecksum) {
  const char* kLogs[] = {"GPSmap-76S.log",     "bu353s4.log",    "garmin-geko201.log",
                         "nmea-fuzzy-cases.log", "sirfstarv-nmea.log", "skytraq-dgps.log",
                         "telit-he910.log",    "ublox-lea-4h.log", "ublox-lea-5h.log"};
  for (const char* name : kLogs) {
    SCOPED_TRACE(name);
    const std::vector<std::string> lines = SplitLines(ReadFile(DataFolder() / name));
    ASSERT_GT(lines.size(), 20u);
    std::map<std::string, std::uint32_t> expected;
    std::uint32_t good = 0;
    for (const std::string& line : lines) {
      const std::string address = GoodSentenceAddress(line);
      if (address.empty()) continue;
      ++good;
      ++expected[address];
    }
    NmeaScanner scanner;
    FeedLines(scanner, lines);
    const GpsData& d = scanner.data();
    EXPECT_EQ(d.total, good);
    EXPECT_EQ(d.gga.count, expected["GPGGA"]);
    EXPECT_EQ(d.gsa.count, expected["GPGSA"]);
    EXPECT_EQ(d.gsv.count, expected["GPGSV"]);
    EXPECT_EQ(d.rmb.count, expected["GPRMB"]);
    EXPECT_EQ(d.rmc.count, expected["GPRMC"]);
    EXPECT_EQ(d.zda.count, expected["GPZDA"]);
    EXPECT_LE(d.gsv.inView, rovana::kMaxSatellites);
  }
}

// Real sentences, each decoded on a fresh scanner, with what they must give.
struct DecodeCase {
  const char* name;
  std::vector<std::string> lines;
  std::function<void(const GpsData&)> check;
};

TEST(NmeaScannerDecodeTest, RealSentencesFillTheirParts) {
  const std::vector<DecodeCase> kCases = {
      {"GGA southern and eastern hemisphere (SiRF IV)",
       {"$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D"},
       [](const GpsData& d) {
         EXPECT_EQ(d.gga.hour, 3);
         EXPECT_EQ(d.gga.minute, 7);
         EXPECT_EQ(d.gga.second, 19);
         EXPECT_NEAR(d.gga.latitude, -(37 + 47.0873 / 60), kDegreeTolerance);
         EXPECT_NEAR(d.gga.longitude, 175 + 18.8938 / 60, kDegreeTolerance);
         EXPECT_EQ(d.gga.fixQuality, 1);
         EXPECT_EQ(d.gga.satellitesUsed, 8);
         EXPECT_DOUBLE_EQ(d.gga.hdop, 1.1);
         EXPECT_DOUBLE_EQ(d.gga.altitude, 59.9);
         EXPECT_EQ(d.gga.count, 1u);
       }},
      {"RMC with date, speed and course (SiRF IV)",
       {"$GPRMC,030719.000,A,3747.0873,S,17518.8938,E,0.69,181.39,311214,,,A*7D"},
       [](const GpsData& d) {
         EXPECT_EQ(d.rmc.status, 'A');
         EXPECT_NEAR(d.rmc.latitude, -(37 + 47.0873 / 60), kDegreeTolerance);
         EXPECT_DOUBLE_EQ(d.rmc.speed, 0.69);
         EXPECT_DOUBLE_EQ(d.rmc.course, 181.39);
         EXPECT_EQ(d.rmc.day, 31);
         EXPECT_EQ(d.rmc.month, 12);
         EXPECT_EQ(d.rmc.year, 2014);
         EXPECT_DOUBLE_EQ(d.rmc.magneticVariation, 0);
       }},
      {"RMC void with western variation (Garmin GPSmap 76S)",
       {"$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28"},
       [](const GpsData& d) {
         EXPECT_EQ(d.rmc.status, 'V');
         EXPECT_NEAR(d.rmc.longitude, -(77 + 26.4523 / 60), kDegreeTolerance);
         EXPECT_DOUBLE_EQ(d.rmc.magneticVariation, -10.5);
         EXPECT_EQ(d.rmc.year, 2011);
       }},
      {"GSA then GSV marks the satellites used (SiRF IV)",
       {"$GPGSA,A,3,17,28,06,01,30,20,26,13,,,,,1.8,1.1,1.5*33",
        "$GPGSV,3,1,12,17,72,207,32,28,59,095,31,06,35,347,25,01,29,132,23*7B",
        "$GPGSV,3,3,12,11,12,132,04,08,38,008,,02,35,348,,03,14,091,*73"},
       [](const GpsData& d) {
         EXPECT_EQ(d.gsa.mode, 'A');
         EXPECT_EQ(d.gsa.fixType, 3);
         EXPECT_EQ(d.gsa.satellites[0], 17);
         EXPECT_EQ(d.gsa.satellites[8], 0);
         EXPECT_DOUBLE_EQ(d.gsa.vdop, 1.5);
         EXPECT_EQ(d.gsv.inView, 12);
         EXPECT_EQ(d.gsv.satellites[0].number, 17);
         EXPECT_EQ(d.gsv.satellites[0].elevation, 72);
         EXPECT_EQ(d.gsv.satellites[0].azimuth, 207);
         EXPECT_EQ(d.gsv.satellites[0].snr, 32);
         EXPECT_EQ(d.gsv.satellites[0].used, 1u);
         EXPECT_EQ(d.gsv.satellites[8].number, 11);
         EXPECT_EQ(d.gsv.satellites[8].used, 0u) << "11 is not in the GSA";
         EXPECT_EQ(d.gsv.satellites[9].snr, 0) << "an absent SNR gives 0";
         EXPECT_EQ(d.gsv.satellites[4].number, 0) << "message 2 never came";
         EXPECT_EQ(d.gsv.count, 2u);
       }},
      {"RMB without a route, arrival given (Garmin GPSmap 76S)",
       {"$GPRMB,V,,,,,,,,,,,,A,S*0E"},
       [](const GpsData& d) {
         EXPECT_EQ(d.rmb.status, 'V');
         EXPECT_EQ(d.rmb.steer, '?');
         EXPECT_EQ(d.rmb.origin, "");
         EXPECT_EQ(d.rmb.arrival, 'A');
         EXPECT_EQ(d.rmb.count, 1u);
       }},
      {"RMB with a route",
       {Nmea("GPRMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,V")},
       [](const GpsData& d) {
         EXPECT_EQ(d.rmb.status, 'A');
         EXPECT_DOUBLE_EQ(d.rmb.crossTrackError, 0.66);
         EXPECT_EQ(d.rmb.steer, 'L');
         EXPECT_EQ(d.rmb.origin, "003");
         EXPECT_EQ(d.rmb.destination, "004");
         EXPECT_NEAR(d.rmb.destinationLatitude, 49 + 17.24 / 60, kDegreeTolerance);
         EXPECT_NEAR(d.rmb.destinationLongitude, -(123 + 9.57 / 60), kDegreeTolerance);
         EXPECT_DOUBLE_EQ(d.rmb.range, 1.3);
         EXPECT_DOUBLE_EQ(d.rmb.bearing, 52.5);
         EXPECT_DOUBLE_EQ(d.rmb.closingVelocity, 0.5);
       }},
      {"ZDA (u-blox LEA-4H)",
       {"$GPZDA,030807.00,10,08,2006,00,00*67"},
       [](const GpsData& d) {
         EXPECT_EQ(d.zda.hour, 3);
         EXPECT_EQ(d.zda.minute, 8);
         EXPECT_EQ(d.zda.second, 7);
         EXPECT_EQ(d.zda.day, 10);
         EXPECT_EQ(d.zda.month, 8);
         EXPECT_EQ(d.zda.year, 2006);
         EXPECT_EQ(d.zda.count, 1u);
       }},
      {"GGA without a fix keeps everything but the quality (Telit HE910)",
       {"$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D", "$GPGGA,,,,,,0,,,,M,,M,,*66"},
       [](const GpsData& d) {
         EXPECT_EQ(d.gga.fixQuality, 0);
         EXPECT_NEAR(d.gga.latitude, -(37 + 47.0873 / 60), kDegreeTolerance);
         EXPECT_EQ(d.gga.second, 19);
         EXPECT_DOUBLE_EQ(d.gga.altitude, 59.9);
         EXPECT_EQ(d.gga.count, 2u);
       }},
  };
  for (const DecodeCase& c : kCases) {
    SCOPED_TRACE(c.name);
    NmeaScanner scanner;
    FeedLines(scanner, c.lines);
    EXPECT_EQ(scanner.data().total, c.lines.size());
    c.check(scanner.data());
  }
}

TEST(NmeaScannerEdgeTest, AGgaWithAnEmptyLatitudeKeepsThePreviousLatitude) {
  NmeaScanner scanner;
  FeedLines(scanner, {Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
                      Nmea("GPGGA,123520,,N,01132.000,E,1,08,0.9,545.4,M,46.9,M,,")});
  EXPECT_NEAR(scanner.data().gga.latitude, 48 + 7.038 / 60, kDegreeTolerance);
  EXPECT_NEAR(scanner.data().gga.longitude, 11 + 32.0 / 60, kDegreeTolerance);
}

TEST(NmeaScannerEdgeTest, AnRmcWithoutSpeedSetsTheSpeedTo0) {
  NmeaScanner scanner;
  FeedLines(scanner, {Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
                      Nmea("GPRMC,123520,A,4807.038,N,01131.000,E,,084.4,230394,003.1,W")});
  EXPECT_DOUBLE_EQ(scanner.data().rmc.speed, 0);
  EXPECT_DOUBLE_EQ(scanner.data().rmc.course, 84.4);
}

TEST(NmeaScannerEdgeTest, AnotherTalkerIsCountedButNotDecoded) {
  NmeaScanner scanner;
  FeedLines(scanner, {"$GNRMC,132827.20,A,4134.49941239,N,09345.03495785,W,0.482,33.532,180320,11.5985,E,D*01"});
  EXPECT_EQ(scanner.data().rmc.count, 0u);
  EXPECT_EQ(scanner.data().rmc.status, 'V');
  EXPECT_EQ(scanner.data().total, 1u);
}

TEST(NmeaScannerEdgeTest, GsvNumbersOutOfRangeDropTheSentence) {
  struct Row {
    const char* name;
    const char* body;
  };
  const Row kRows[] = {
      {"9 messages", "GPGSV,9,1,12,17,72,207,32,28,59,095,31,06,35,347,25,01,29,132,23"},
      {"0 messages", "GPGSV,0,1,12,17,72,207,32"},
      {"message 0", "GPGSV,3,0,12,17,72,207,32"},
      {"message 10", "GPGSV,3,10,12,17,72,207,32"},
      {"no message number", "GPGSV,3,,12,17,72,207,32"},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    NmeaScanner scanner;
    FeedLines(scanner, {Nmea(row.body)});
    EXPECT_EQ(scanner.data().gsv.count, 0u);
    EXPECT_EQ(scanner.data().gsv.inView, 0);
    EXPECT_EQ(scanner.data().gsv.satellites[0].number, 0);
  }
}

TEST(NmeaScannerEdgeTest, GsvMessage9FillsTheLastFourEntries) {
  NmeaScanner scanner;
  FeedLines(scanner, {Nmea("GPGSV,8,9,36,101,10,20,30,102,11,21,31,103,12,22,32,104,13,23,33")});
  EXPECT_EQ(scanner.data().gsv.satellites[32].number, 101);
  EXPECT_EQ(scanner.data().gsv.satellites[35].snr, 33);
}

// Regression: a receiver claiming more satellites than the table holds.
TEST(NmeaScannerEdgeTest, SatellitesInViewAreClampedToTheTable) {
  NmeaScanner scanner;
  FeedLines(scanner, {Nmea("GPGSV,3,1,99,17,72,207,32")});
  EXPECT_EQ(scanner.data().gsv.inView, rovana::kMaxSatellites);
}

TEST(NmeaScannerEdgeTest, ChecksumDigitCase) {
  // A sentence whose checksum ends in a letter.
  std::string letterSecond;
  for (char c = '0'; c <= 'Z' && letterSecond.empty(); ++c) {
    const std::string candidate = Nmea(std::string("GPZDA,201530.00,04,07,2002,00,0") + c);
    if (candidate.back() >= 'A') letterSecond = candidate;
  }
  ASSERT_FALSE(letterSecond.empty());
  std::string lowerSecond = letterSecond;
  lowerSecond.back() = static_cast<char>(lowerSecond.back() - 'A' + 'a');
  struct Row {
    const char* name;
    std::string line;
    bool decoded;
  };
  const Row kRows[] = {
      {"upper-case digits", letterSecond, true},
      {"lower-case second digit never matches", lowerSecond, false},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    NmeaScanner scanner;
    FeedLines(scanner, {row.line});
    EXPECT_EQ(scanner.data().zda.count, row.decoded ? 1u : 0u) << row.line;
  }
  // Only 8-bit text gives a checksum above 7F, whose first digit is a
  // letter: lower case there reads the same.
  std::string letterFirst;
  for (int a = 0x80; a <= 0xFF && letterFirst.empty(); ++a) {
    const std::string candidate = Nmea(std::string("GPZDA,201530.00,04,07,2002,00,00,") + static_cast<char>(a));
    if (candidate[candidate.size() - 2] >= 'A') letterFirst = candidate;
  }
  ASSERT_FALSE(letterFirst.empty());
  letterFirst[letterFirst.size() - 2] = static_cast<char>(letterFirst[letterFirst.size() - 2] - 'A' + 'a');
  NmeaScanner scanner;
  FeedLines(scanner, {letterFirst});
  EXPECT_EQ(scanner.data().zda.count, 1u) << letterFirst;
}

TEST(NmeaScannerEdgeTest, AnRmbWithoutItsArrivalFieldHasArrivalV) {
  NmeaScanner scanner;
  FeedLines(scanner, {Nmea("GPRMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5")});
  EXPECT_EQ(scanner.data().rmb.count, 1u);
  EXPECT_EQ(scanner.data().rmb.arrival, 'V');
}

TEST(NmeaScannerEdgeTest, AChecksumLessSentenceTakesTheNextOneWithIt) {
  NmeaScanner scanner;
  FeedLines(scanner, {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
                      Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
                      Nmea("GPZDA,201530.00,04,07,2002,00,00")});
  EXPECT_EQ(scanner.data().gga.count, 0u);
  EXPECT_EQ(scanner.data().rmc.count, 0u);
  EXPECT_EQ(scanner.data().zda.count, 1u);
  EXPECT_EQ(scanner.data().total, 1u);
}

// Regression: a sentence the reader cut in two (the source paused in the
// middle) lost its second half to the zero after the first.
TEST(NmeaScannerEdgeTest, ASentenceCutInTwoLinesIsDecodedWhole) {
  const std::string gga = Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  for (std::size_t cut = 1; cut < gga.size(); ++cut) {
    SCOPED_TRACE(cut);
    NmeaScanner scanner;
    FeedLines(scanner, {gga.substr(0, cut), gga.substr(cut)});
    EXPECT_EQ(scanner.data().gga.count, 1u);
    EXPECT_DOUBLE_EQ(scanner.data().gga.altitude, 545.4);
  }
}

// Regression: short time, date and coordinate fields were read past their end.
TEST(NmeaScannerEdgeTest, FieldsTooShortForTheirFormatAreAbsent) {
  NmeaScanner scanner;
  FeedLines(scanner, {Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
                      Nmea("GPRMC,12,A,4,N,01,E,022.4,084.4,2303,003.1,W")});
  const rovana::RmcPart& r = scanner.data().rmc;
  EXPECT_EQ(r.count, 2u);
  EXPECT_EQ(r.hour, 12);
  EXPECT_EQ(r.minute, 35);
  EXPECT_EQ(r.second, 19);
  EXPECT_NEAR(r.latitude, 48 + 7.038 / 60, kDegreeTolerance);
  EXPECT_NEAR(r.longitude, 11 + 31.0 / 60, kDegreeTolerance);
  EXPECT_EQ(r.day, 23);
  EXPECT_EQ(r.month, 3);
  EXPECT_EQ(r.year, 2094) << "yy 94 reads as 2094";
}

TEST(NmeaScannerEdgeTest, OverlongAddressOrDataRestartTheSearch) {
  struct Row {
    const char* name;
    std::string line;
  };
  const Row kRows[] = {
      {"8-character address", Nmea("GPGGAXYZ,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")},
      {"256 data characters", Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M," + std::string(220, '0'))},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    NmeaScanner scanner;
    FeedLines(scanner, {row.line, Nmea("GPZDA,201530.00,04,07,2002,00,00")});
    EXPECT_EQ(scanner.data().gga.count, 0u);
    EXPECT_EQ(scanner.data().zda.count, 1u) << "the next sentence is found again";
  }
  NmeaScanner longest;
  FeedLines(longest, {Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M," + std::string(195, '0'))});
  EXPECT_EQ(longest.data().gga.count, 1u) << "255 data characters still fit";
}

TEST(NmeaScannerEdgeTest, ResetGivesTheResetValues) {
  NmeaScanner scanner;
  const std::vector<std::string> lines = SplitLines(ReadFile(DataFolder() / "GPSmap-76S.log"));
  FeedLines(scanner, lines);
  ASSERT_GT(scanner.data().total, 0u);
  scanner.Feed("$GPZDA,2015");  // half a sentence is forgotten as well
  scanner.Reset();
  const GpsData& d = scanner.data();
  EXPECT_EQ(d.total, 0u);
  EXPECT_EQ(d.gsa.mode, 'M');
  EXPECT_EQ(d.gsa.fixType, 1);
  EXPECT_EQ(d.rmb.status, 'V');
  EXPECT_EQ(d.rmb.steer, '?');
  EXPECT_EQ(d.rmb.arrival, 'V');
  EXPECT_EQ(d.rmc.status, 'V');
  EXPECT_EQ(d.rmc.day, 1);
  EXPECT_EQ(d.rmc.month, 1);
  EXPECT_EQ(d.rmc.year, 2000);
  EXPECT_EQ(d.zda.year, 2000);
  EXPECT_EQ(d.gga.count + d.gsa.count + d.gsv.count + d.rmb.count + d.rmc.count, 0u);
  EXPECT_EQ(d.gsv.satellites[3].number, 0);
  FeedLines(scanner, {"00,04,07,2002,00,00*6A"});
  EXPECT_EQ(scanner.data().zda.count, 0u);
}

TEST(NmeaScannerFieldTest, GetFieldCopiesAtMost24CharactersAndReportsAbsence) {
  struct Row {
    const char* name;
    int n;
    bool present;
    const char* text;
  };
  const std::string data = "A,,three," + std::string(30, 'x') + ",last";
  const Row kRows[] = {
      {"first", 0, true, "A"},
      {"empty", 1, false, ""},
      {"middle", 2, true, "three"},
      {"cut to 24", 3, true, "xxxxxxxxxxxxxxxxxxxxxxxx"},
      {"last", 4, true, "last"},
      {"beyond the end", 5, false, ""},
      {"negative", -1, false, ""},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    char out[NmeaScanner::kFieldSize] = "junk";
    EXPECT_EQ(NmeaScanner::GetField(data, row.n, out, sizeof out), row.present);
    EXPECT_STREQ(out, row.text);
  }
  char small[4];
  EXPECT_TRUE(NmeaScanner::GetField("abcdef*12", 0, small, sizeof small));
  EXPECT_STREQ(small, "abc");
  EXPECT_FALSE(NmeaScanner::GetField("a*b,c", 1, small, sizeof small)) << "a '*' ends the data";
}

TEST(NmeaScannerRobustnessTest, RandomBytesAndDamagedCapturesNeverBreakIt) {
  std::mt19937 random(20261209);
  const std::string capture = ReadFile(DataFolder() / "telit-he910.log");
  NmeaScanner scanner;
  std::string damaged = capture;
  for (int i = 0; i < 5000; ++i) damaged[random() % damaged.size()] = static_cast<char>(random() % 256);
  scanner.Feed(damaged);
  std::string noise(100000, '\0');
  for (char& c : noise) c = "$,*0123456789ABCDEFGPGGARMCSVZDA\r\n"[random() % 34];
  scanner.Feed(noise);
  EXPECT_LE(scanner.data().gsv.inView, rovana::kMaxSatellites);
  EXPECT_LE(scanner.data().rmb.origin.size(), 24u);
  scanner.Feed(nullptr, 10);
  // The machine still works afterwards.
  scanner.Reset();
  FeedLines(scanner, {Nmea("GPZDA,201530.00,04,07,2002,00,00")});
  EXPECT_EQ(scanner.data().zda.count, 1u);
}

}  // namespace
