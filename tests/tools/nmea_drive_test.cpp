// The demo drive: valid NMEA a receiver could have sent (checksums, times a
// second apart, speeds that match the distance covered), the same bytes on
// every run, and the committed demo log is exactly the generator's output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/nmea-drive/DriveLog.h"

namespace {

struct Rmc {
  int clock = 0;
  double latitude = 0, longitude = 0, speedKmh = 0;
};

double Degrees(const std::string& value, int degreeDigits) {
  return std::stod(value.substr(0, degreeDigits)) + std::stod(value.substr(degreeDigits)) / 60;
}

std::vector<std::string> Fields(const std::string& sentence) {
  std::vector<std::string> fields;
  std::stringstream in(sentence.substr(1, sentence.find('*') - 1));
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

TEST(NmeaDrive, EverySentenceIsWellFormedAndTheFixesAgreeWithTheirSpeeds) {
  const std::string log = nmeadrive::MakeDriveLog({});
  ASSERT_EQ(log, nmeadrive::MakeDriveLog({})) << "the same bytes on every run";
  std::vector<Rmc> fixes;
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    const std::string line = log.substr(start, end - start);
    start = end + 2;
    ASSERT_EQ(line[0], '$');
    const std::size_t star = line.find('*');
    ASSERT_EQ(star + 3, line.size()) << line;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    EXPECT_EQ(std::strtoul(line.substr(star + 1).c_str(), nullptr, 16), sum) << line;
    const auto f = Fields(line);
    if (f[0] != "GPRMC") continue;
    Rmc rmc;
    rmc.clock = std::stoi(f[1].substr(0, 2)) * 3600 + std::stoi(f[1].substr(2, 2)) * 60 + std::stoi(f[1].substr(4, 2));
    rmc.latitude = Degrees(f[3], 2) * (f[4] == "S" ? -1 : 1);
    rmc.longitude = Degrees(f[5], 3) * (f[6] == "W" ? -1 : 1);
    rmc.speedKmh = std::stod(f[7]) * 1.852;
    fixes.push_back(rmc);
  }
  ASSERT_GT(fixes.size(), 600u);
  const double rad = 3.14159265358979323846 / 180;
  double metres = 0;
  for (std::size_t i = 1; i < fixes.size(); ++i) {
    EXPECT_EQ(fixes[i].clock, fixes[i - 1].clock + 1);
    const double c = std::sin(fixes[i - 1].latitude * rad) * std::sin(fixes[i].latitude * rad) +
                     std::cos(fixes[i - 1].latitude * rad) * std::cos(fixes[i].latitude * rad) *
                         std::cos((fixes[i].longitude - fixes[i - 1].longitude) * rad);
    const double step = 6366692.0724 * std::acos(std::fmin(1.0, c));
    metres += step;
    EXPECT_NEAR(step, fixes[i].speedKmh / 3.6, 0.25) << "fix " << i;
    EXPECT_LE(fixes[i].speedKmh, 32);
  }
  EXPECT_NEAR(metres, 5140, 60) << "once around the lake";
  EXPECT_EQ(fixes.front().speedKmh, 0);
  EXPECT_EQ(fixes.back().speedKmh, 0);
}

TEST(NmeaDrive, TheDemoLogIsTheGeneratorsOutput) {
  std::ifstream file(ZEN_SOURCE_DIR "/data/demo/drive.pgl", std::ios::binary);
  ASSERT_TRUE(file) << "data/demo/drive.pgl";
  const std::string committed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(committed == nmeadrive::MakeDriveLog({})) << "regenerate with: nmea-drive --out data/demo/drive.pgl";
}

}  // namespace
