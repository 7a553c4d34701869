// Grids for the calibration tests, independent of the component library:
// UTM north and south on WGS 84 (Snyder's transverse Mercator series,
// better than a millimetre within a zone), and a plane tilted by 60 degrees
// against north, steeper than any grid the calibration follows.
#pragma once

#include <cmath>
#include <optional>
#include <vector>

#include "app/maps/GridConverter.h"

namespace testing_support {

inline constexpr int kUtmNorth = 1;
inline constexpr int kUtmSouth = 2;
inline constexpr int kSteepGrid = 40;

class TestGrids : public rovana::maps::GridConverter {
 public:
  std::optional<rovana::maps::GridCoordinates> ToGrid(double lat, double lon, int grid) override {
    ++conversions;
    if (grid == kSteepGrid) {
      const double x = kA * std::cos(kSteepLat) * lon, y = kA * lat;
      return rovana::maps::GridCoordinates{-x * std::sin(kTilt) + y * std::cos(kTilt),
                                            x * std::cos(kTilt) + y * std::sin(kTilt), 0};
    }
    if (grid != kUtmNorth && grid != kUtmSouth) return std::nullopt;
    if (std::fabs(lat) > 84 * kDeg) return std::nullopt;
    const int zone = static_cast<int>(std::floor((lon / kDeg + 180) / 6)) + 1;
    const double lon0 = (zone * 6 - 183) * kDeg;
    const double n = kA / std::sqrt(1 - kE2 * std::sin(lat) * std::sin(lat));
    const double t = std::tan(lat) * std::tan(lat), c = kEp2 * std::cos(lat) * std::cos(lat);
    const double a = (lon - lon0) * std::cos(lat);
    const double x = kK0 * n * (a + (1 - t + c) * a * a * a / 6 +
                                (5 - 18 * t + t * t + 72 * c - 58 * kEp2) * std::pow(a, 5) / 120) + 500000;
    const double y = kK0 * (Meridian(lat) + n * std::tan(lat) *
                                                (a * a / 2 + (5 - t + 9 * c + 4 * c * c) * std::pow(a, 4) / 24 +
                                                 (61 - 58 * t + t * t + 600 * c - 330 * kEp2) * std::pow(a, 6) / 720));
    return rovana::maps::GridCoordinates{y + (grid == kUtmSouth ? 10000000.0 : 0.0), x, zone};
  }

  std::optional<rovana::maps::LatLon> FromGrid(double northing, double easting, int grid, int zone) override {
    ++conversions;
    if (grid == kSteepGrid) {
      const double x = easting * std::cos(kTilt) - northing * std::sin(kTilt);
      const double y = easting * std::sin(kTilt) + northing * std::cos(kTilt);
      return rovana::maps::LatLon{y / kA, x / (kA * std::cos(kSteepLat))};
    }
    if ((grid != kUtmNorth && grid != kUtmSouth) || zone < 1 || zone > 60) return std::nullopt;
    const double lon0 = (zone * 6 - 183) * kDeg;
    const double m = (northing - (grid == kUtmSouth ? 10000000.0 : 0.0)) / kK0;
    const double mu = m / (kA * (1 - kE2 / 4 - 3 * kE2 * kE2 / 64 - 5 * std::pow(kE2, 3) / 256));
    const double e1 = (1 - std::sqrt(1 - kE2)) / (1 + std::sqrt(1 - kE2));
    const double p1 = mu + (3 * e1 / 2 - 27 * std::pow(e1, 3) / 32) * std::sin(2 * mu) +
                      (21 * e1 * e1 / 16 - 55 * std::pow(e1, 4) / 32) * std::sin(4 * mu) +
                      (151 * std::pow(e1, 3) / 96) * std::sin(6 * mu) + (1097 * std::pow(e1, 4) / 512) * std::sin(8 * mu);
    const double c1 = kEp2 * std::cos(p1) * std::cos(p1), t1 = std::tan(p1) * std::tan(p1);
    const double s2 = 1 - kE2 * std::sin(p1) * std::sin(p1);
    const double n1 = kA / std::sqrt(s2), r1 = kA * (1 - kE2) / std::pow(s2, 1.5);
    const double d = (easting - 500000) / (n1 * kK0);
    const double lat = p1 - (n1 * std::tan(p1) / r1) *
                                (d * d / 2 - (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 9 * kEp2) * std::pow(d, 4) / 24 +
                                 (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 252 * kEp2 - 3 * c1 * c1) * std::pow(d, 6) / 720);
    const double lon = lon0 + (d - (1 + 2 * t1 + c1) * std::pow(d, 3) / 6 +
                               (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 8 * kEp2 + 24 * t1 * t1) * std::pow(d, 5) / 120) /
                                  std::cos(p1);
    return rovana::maps::LatLon{lat, lon};
  }

  std::vector<rovana::maps::GridChoice> Grids() const override {
    return {{0, "Default"}, {kUtmNorth, "UTM_NORTH"}, {kUtmSouth, "UTM_SOUTH"}, {kSteepGrid, "Steep"}};
  }

  int conversions = 0;

 private:
  static double Meridian(double lat) {
    return kA * ((1 - kE2 / 4 - 3 * kE2 * kE2 / 64 - 5 * std::pow(kE2, 3) / 256) * lat -
                 (3 * kE2 / 8 + 3 * kE2 * kE2 / 32 + 45 * std::pow(kE2, 3) / 1024) * std::sin(2 * lat) +
                 (15 * kE2 * kE2 / 256 + 45 * std::pow(kE2, 3) / 1024) * std::sin(4 * lat) -
                 (35 * std::pow(kE2, 3) / 3072) * std::sin(6 * lat));
  }
  static constexpr double kDeg = 3.14159265358979323846 / 180;
  static constexpr double kA = 6378137.0;
  static constexpr double kF = 1 / 298.257223563;
  static constexpr double kE2 = kF * (2 - kF);
  static constexpr double kEp2 = kE2 / (1 - kE2);
  static constexpr double kK0 = 0.9996;
  static constexpr double kTilt = 60 * kDeg;
  static constexpr double kSteepLat = 50 * kDeg;
};

}  // namespace testing_support
