// What the main screen shows of the GPS connection at each paint: the fix
// line of the locator box (the connection's state until a fix, then the
// position), the values of the four trip buttons in the chosen units, and
// the compass needle. Read from the connection, the filter and the live
// statistics under their own locks.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace rovana {
class GpsConnection;
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::ui {

struct LiveTexts {
  std::string fix;                    // "No position fix", "GPS switched off", ... or the position
  std::array<std::string, 4> basics;  // statistics, speed, satellites, speed alert
  std::optional<double> heading;      // the needle, radians clockwise from north, while moving with a fix
};

// `gps` may be null (a screen without a connection): every value then reads
// as absent.
LiveTexts MakeLiveTexts(GpsConnection* gps, const SettingsStore& settings, const LanguageTable& language);

// "53.56650°N 10.00550°E" of radians; the coordinate formats of the locator
// replace it later.
std::string PositionText(double latitude, double longitude);

}  // namespace rovana::ui
