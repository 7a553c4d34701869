// The text forms of a position: degrees-minutes-seconds caches, DMS and NMEA
// texts, longitude normalisation and zone texts.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "lib/geodesy/Grids.h"
#include "lib/geodesy/Position.h"

namespace zenolith {
namespace {

constexpr double kRadToDeg = 180.0 / std::numbers::pi;

Dms BuildDms(double angle, double nudge) {
  const double d = std::fabs(angle) * kRadToDeg;
  if (!std::isfinite(d) || d > 32767) return {};  // a NaN or absurd angle gives zeros, not overflow
  Dms dms;
  dms.degrees = static_cast<std::int16_t>(std::trunc(d + nudge));
  dms.minutes = static_cast<std::int16_t>(std::trunc((d - dms.degrees) * 60 + nudge));
  double seconds = d * 3600 - dms.degrees * 3600.0 - dms.minutes * 60.0;
  seconds = std::trunc(seconds * 1000 + 0.5) * 0.001;
  if (seconds >= 60) {
    seconds -= 60;
    ++dms.minutes;
  }
  if (dms.minutes > 59) {
    dms.minutes -= 60;
    ++dms.degrees;
  }
  dms.seconds = seconds;
  return dms;
}

// Adds 0.0005 s for printing two decimals and carries a full minute on;
// `seconds` receives the seconds to print (0 after a carry).
Dms RoundForText(Dms dms, double* printed, double* plain) {
  *printed = dms.seconds + 0.0005;
  *plain = dms.seconds;
  if (*printed >= 60) {
    ++dms.minutes;
    *printed = 0;
    *plain = 0;
  }
  if (dms.minutes >= 60) {
    ++dms.degrees;
    dms.minutes = 0;
  }
  return dms;
}

}  // namespace

Dms LatitudeDms(double latitude) { return BuildDms(latitude, 5e-11); }
Dms LongitudeDms(double longitude) { return BuildDms(longitude, 0); }

std::string DmsText(const Dms& cache, char hemisphere) {
  double printed = 0, plain = 0;
  const Dms dms = RoundForText(cache, &printed, &plain);
  char text[64];
  std::snprintf(text, sizeof text, "%d %d'%.2f %c", dms.degrees, dms.minutes, printed, hemisphere);
  return text;
}

std::string DmsDecimalMinutes(const Dms& cache, int degreeDigits) {
  double printed = 0, plain = 0;
  const Dms dms = RoundForText(cache, &printed, &plain);
  // The cached seconds are already rounded to 0.001 s, far finer than the
  // five decimals of a minute, so they go in without the printing nudge.
  const double minutes = dms.minutes + plain / 60;
  char text[64];
  if (degreeDigits == 3)
    std::snprintf(text, sizeof text, dms.minutes < 10 ? "%03d0%.5f" : "%03d%.5f", dms.degrees, minutes);
  else
    std::snprintf(text, sizeof text, dms.minutes < 10 ? "%02d0%.5f" : "%02d%.5f", dms.degrees, minutes);
  return text;
}

double NormaliseLongitude(double longitude) {
  constexpr double kPi = std::numbers::pi;
  if (longitude > kPi || longitude < -kPi) longitude -= 2 * kPi * std::trunc(longitude / (2 * kPi));
  if (longitude > kPi)
    longitude -= 2 * kPi;
  else if (longitude < -kPi)
    longitude += 2 * kPi;
  return longitude;
}

std::string ZoneText(std::int16_t grid, std::int16_t zone, double latitude) {
  if (grid == 0) return {};
  if (IsUtmGrid(grid)) {
    // Latitude bands of 8 degrees from 80 S, lettered from C without I and O.
    const double band = std::trunc((latitude * kRadToDeg + 80) / 8);
    int letter = 'C' + (std::isfinite(band) ? static_cast<int>(std::fmax(-2, std::fmin(band, 30))) : 0);
    if (letter > 'H') ++letter;
    if (letter > 'N') ++letter;
    return std::to_string(zone) + static_cast<char>(letter);
  }
  if (grid == kGridDhdn) return std::to_string(zone);
  return zone != 0 ? std::to_string(zone) : std::string();
}

}  // namespace zenolith
