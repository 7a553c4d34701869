#include "tools/nmea-drive/DriveLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string_view>

namespace nmeadrive {
namespace {

constexpr double kEarthRadius = 6371000.0;  // metres; only for placing the loop
constexpr double kKnotsPerKmh = 1 / 1.852;

struct Fix {
  int second = 0;  // seconds since the start
  double latitude = 0, longitude = 0;  // degrees
  double speedKmh = 0, courseDegrees = 0, altitude = 0;
};

// Text in the C locale whatever the process locale: the numbers are built
// from integers.
std::string Fixed(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const long long units = std::llround(std::abs(value) * scale);
  const long long whole = units / static_cast<long long>(scale);
  const long long fraction = units % static_cast<long long>(scale);
  char text[48];
  if (decimals == 0)
    std::snprintf(text, sizeof text, "%s%lld", value < 0 && units ? "-" : "", whole);
  else
    std::snprintf(text, sizeof text, "%s%lld.%0*lld", value < 0 && units ? "-" : "", whole, decimals, fraction);
  return text;
}

// ddmm.mmmm or dddmm.mmmm and the hemisphere letter.
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
  const double magnitude = std::abs(degrees);
  int whole = static_cast<int>(magnitude);
  double minutes = (magnitude - whole) * 60;
  if (std::llround(minutes * 10000) >= 600000) {
    ++whole;
    minutes = 0;
  }
  char head[8];
  std::snprintf(head, sizeof head, "%0*d", degreeDigits, whole);
  std::string minutesText = Fixed(minutes, 4);
  if (minutes < 10) minutesText.insert(0, "0");
  return std::string(head) + minutesText + "," + (degrees < 0 ? negative : positive);
}

std::string Clock(int secondOfDay) {
  char text[16];
  secondOfDay %= 86400;
  std::snprintf(text, sizeof text, "%02d%02d%02d.00", secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
  return text;
}

// The loop as an ellipse walked clockwise from its southern end, by arc length.
class Loop {
 public:
  explicit Loop(const DriveOptions& o) : o_(o) {
    for (int i = 0; i <= kSteps; ++i) {
      const auto [n, e] = At(static_cast<double>(i) / kSteps);
      if (i > 0) length_ += std::hypot(n - lastN_, e - lastE_);
      lengths_[i] = length_;
      lastN_ = n;
      lastE_ = e;
    }
  }
  double length() const { return length_; }
  // North and east metres from the centre after `metres` along the loop.
  std::pair<double, double> Place(double metres) const {
    metres = std::fmod(metres, length_);
    const auto* upper = std::lower_bound(lengths_, lengths_ + kSteps + 1, metres);
    const int i = static_cast<int>(std::clamp<std::ptrdiff_t>(upper - lengths_, 1, kSteps));
    const double share = (metres - lengths_[i - 1]) / std::max(lengths_[i] - lengths_[i - 1], 1e-9);
    return At((i - 1 + share) / kSteps);
  }

 private:
  static constexpr int kSteps = 4096;
  std::pair<double, double> At(double turn) const {
    const double a = turn * 2 * std::numbers::pi;
    // A little unevenness so that the shore is no perfect ellipse.
    const double wobble = 1 + 0.06 * std::sin(3 * a) + 0.03 * std::cos(5 * a);
    return {-o_.radiusNorth * wobble * std::cos(a), -o_.radiusEast * wobble * std::sin(a)};
  }
  DriveOptions o_;
  double lengths_[kSteps + 1] = {};
  double length_ = 0, lastN_ = 0, lastE_ = 0;
};

void AppendSatellites(std::string& out) {
  // Eleven satellites in view, eight used; fixed, as a receiver under open sky.
  static constexpr int kSatellites[11][4] = {{2, 61, 83, 44},  {5, 38, 295, 41}, {7, 12, 40, 30},
                                             {9, 45, 140, 43}, {13, 27, 201, 38}, {15, 8, 330, 22},
                                             {18, 71, 250, 45}, {20, 19, 105, 33}, {24, 5, 170, 18},
                                             {29, 53, 10, 42}, {30, 33, 60, 39}};
  out += Sentence("GPGSA,A,3,02,05,07,09,13,18,29,30,,,,,1.8,0.9,1.5");
  for (int message = 0; message < 3; ++message) {
    std::string body = "GPGSV,3," + std::to_string(message + 1) + ",11";
    for (int i = message * 4; i < std::min(11, message * 4 + 4); ++i) {
      char block[24];
      std::snprintf(block, sizeof block, ",%02d,%02d,%03d,%02d", kSatellites[i][0], kSatellites[i][1],
                    kSatellites[i][2], kSatellites[i][3]);
      body += block;
    }
    out += Sentence(body);
  }
}

void AppendFix(std::string& out, const Fix& fix, const DriveOptions& o) {
  const int clock = o.startSecondOfDay + fix.second;
  int day = o.day;  // a drive over midnight would need a calendar; the demo stays within one day
  char date[8];
  std::snprintf(date, sizeof date, "%02d%02d%02d", day, o.month, o.year % 100);
  const std::string latitude = Angle(fix.latitude, 2, 'N', 'S');
  const std::string longitude = Angle(fix.longitude, 3, 'E', 'W');
  out += Sentence("GPGGA," + Clock(clock) + "," + latitude + "," + longitude + ",1,08,0.9," +
                  Fixed(fix.altitude, 1) + ",M,40.1,M,,");
  out += Sentence("GPRMC," + Clock(clock) + ",A," + latitude + "," + longitude + "," +
                  Fixed(fix.speedKmh * kKnotsPerKmh, 2) + "," + Fixed(fix.courseDegrees, 1) + "," + date + ",2.1,E,A");
  if (fix.second % 5 == 0) AppendSatellites(out);
}

}  // namespace

std::string Sentence(const std::string& body) {
  unsigned checksum = 0;
  for (const char c : body) checksum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", checksum);
  return "$" + body + tail;
}

std::string MakeDriveLog(const DriveOptions& o) {
  const Loop loop(o);
  std::mt19937 random(o.seed);
  std::uniform_real_distribution<double> jitter(-1, 1);
  const double total = loop.length() * std::max(o.laps, 1);
  const double metresPerDegreeNorth = kEarthRadius * std::numbers::pi / 180;
  const double metresPerDegreeEast = metresPerDegreeNorth * std::cos(o.centreLatitude * std::numbers::pi / 180);

  std::string out;
  double travelled = 0, speed = 0, nextStop = o.stopEveryMetres;
  int standing = 5, second = 0;
  double previousN = loop.Place(0).first, previousE = loop.Place(0).second, course = 0;
  while (true) {
    Fix fix;
    fix.second = second;
    const double before = travelled;
    if (standing > 0) {
      --standing;
      speed = 0;
    } else if (travelled >= total) {
      break;
    } else {
      // Accelerate towards cruise, brake before the next stop or the end.
      const double toStop = std::min(nextStop, total) - travelled;
      const double brakeTo = std::sqrt(std::max(0.0, 2 * 1.2 * toStop)) * 3.6;  // 1.2 m/s² braking
      const double target = std::min(o.cruiseKmh * (1 + 0.05 * jitter(random)), brakeTo);
      speed = std::max(std::clamp(target, speed - 4.3, speed + 5.0), 2.0);  // about 1.2-1.4 m/s² either way
      // Never past the stop line: the last metres before it end the step there.
      const double stopAt = std::min(nextStop, total);
      travelled = std::min(travelled + speed / 3.6, stopAt);
      if (travelled >= stopAt - 0.5) {
        travelled = stopAt;
        nextStop += o.stopEveryMetres;
        standing = travelled < total ? o.stopSeconds : 5;
        speed = 0;
      }
    }
    const auto [n, e] = loop.Place(travelled);
    if (std::hypot(n - previousN, e - previousE) > 0.05)
      course = std::fmod(std::atan2(e - previousE, n - previousN) * 180 / std::numbers::pi + 360, 360);
    previousN = n;
    previousE = e;
    fix.latitude = o.centreLatitude + n / metresPerDegreeNorth;
    fix.longitude = o.centreLongitude + e / metresPerDegreeEast;
    fix.speedKmh = (travelled - before) * 3.6;  // what the receiver saw over the last second
    fix.courseDegrees = course;
    fix.altitude = 8 + 4 * std::sin(travelled / 700) + 0.3 * jitter(random);
    AppendFix(out, fix, o);
    ++second;
    if (second > 86400) break;  // no options make a drive longer than a day
  }
  return out;
}

}  // namespace nmeadrive
