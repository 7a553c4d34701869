// A whole unattended run on a replayed receiver log: what Rovana keeps in
// settings.xml (trip totals and the last position) equals what a plain
// computation over the same log gives.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/SettingsStore.h"
#include "tests/support/Process.h"
#include "tests/support/TempHome.h"
#include "tools/nmea-drive/DriveLog.h"

namespace {

constexpr double kEarthRadius = 6366692.0724;
constexpr double kRad = 3.14159265358979323846 / 180;

struct Fix {
  int time;
  double latitude, longitude, kmh;  // radians, km/h
};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream in(line.substr(1, line.find('*') - 1));
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  return out;
}

double Angle(const std::string& text, int degreeDigits, const std::string& hemisphere) {
  const double v = std::stod(text.substr(0, degreeDigits)) + std::stod(text.substr(degreeDigits)) / 60;
  return (hemisphere == "S" || hemisphere == "W" ? -v : v) * kRad;
}

double Haversine(const Fix& a, const Fix& b) {
  const double s1 = std::sin((b.latitude - a.latitude) / 2), s2 = std::sin((b.longitude - a.longitude) / 2);
  return 2 * kEarthRadius * std::asin(std::sqrt(s1 * s1 + std::cos(a.latitude) * std::cos(b.latitude) * s2 * s2));
}

TEST(ReplayRun, TheTotalsInTheSettingsAreThoseOfTheLog) {
  // The first 40 seconds of the demo drive, RMC and GGA only, one line each
  // (LF ends): 80 lines, replayed in 6 cycles of 15.
  const std::string drive = nmeadrive::MakeDriveLog({});
  std::string log;
  std::vector<Fix> fixes;
  std::istringstream in(drive);
  for (std::string line; std::getline(in, line) && fixes.size() < 40;) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("$GPRMC", 0) != 0 && line.rfind("$GPGGA", 0) != 0) continue;
    log += line + "\n";
    const auto f = Fields(line);
    if (f[0] == "GPRMC")
      fixes.push_back({std::stoi(f[1].substr(0, 2)) * 3600 + std::stoi(f[1].substr(2, 2)) * 60 + std::stoi(f[1].substr(4, 2)),
                       Angle(f[3], 2, f[4]), Angle(f[5], 3, f[6]), std::stod(f[7]) * 1.852});
  }
  double distance = 0, maxSpeed = 0;
  int moving = 0;
  for (std::size_t i = 1; i < fixes.size(); ++i) {
    maxSpeed = std::max(maxSpeed, fixes[i].kmh);
    if (fixes[i].kmh > 0) {
      distance += Haversine(fixes[i - 1], fixes[i]);
      moving += fixes[i].time - fixes[i - 1].time;
    }
  }
  ASSERT_GT(distance, 100) << "the drive has begun";

  testing_support::TempHome home;
  const std::filesystem::path file = home.folder() / "drive.pgl";
  std::ofstream(file, std::ios::binary) << log;
  home.settings->gpsName = file.string();
  home.settings->gpsEnabled = true;
  home.settings->horizon = 1;  // the position is then the last fix itself
  home.settings->languageInit = true;
  ASSERT_TRUE(home.settings->Save());

  const auto result = testing_support::RunProcess(ROVANA_PATH, {"--home", home.folder().string(), "--quit-after", "6000"});
  ASSERT_EQ(result.status, 0) << result.err;

  const rovana::SettingsStore after(home.folder());
  EXPECT_NEAR(after.distTotal, distance, 1e-6 * distance);
  EXPECT_EQ(after.timeTotal, fixes.back().time - fixes.front().time);
  EXPECT_EQ(after.timeRunning, moving);
  EXPECT_NEAR(after.speedMax, maxSpeed, 1e-9);
  EXPECT_NEAR(after.position.latitude, fixes.back().latitude, 1e-9);
  EXPECT_NEAR(after.position.longitude, fixes.back().longitude, 1e-9);
}

}  // namespace
