#include "app/ui/LiveTexts.h"

#include <cmath>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/gps/GpsConnection.h"

namespace rovana::ui {
namespace {

constexpr double kDegreesPerRadian = 180 / 3.14159265358979323846;
constexpr double kMovingKmh = 1.0;  // the needle follows the course from this speed on

int StateEntry(GPSThread::State state) {
  switch (state) {
    case GPSThread::State::Idle: return lang::kGpsStateOff;
    case GPSThread::State::NoSource: return lang::kGpsStateNoSource;
    case GPSThread::State::OpenFailed: return lang::kGpsStateOpenFailed;
    case GPSThread::State::ReadFailed: return lang::kGpsStateReadFailed;
    case GPSThread::State::Open:
    case GPSThread::State::Reading: break;
  }
  return lang::kGpsNoFix;
}

}  // namespace

std::string PositionText(double latitude, double longitude) {
  const double lat = latitude * kDegreesPerRadian, lon = longitude * kDegreesPerRadian;
  return FormatFixed(std::abs(lat), 5) + "\u00B0" + (lat < 0 ? "S" : "N") + " " + FormatFixed(std::abs(lon), 5) +
         "\u00B0" + (lon < 0 ? "W" : "E");
}

LiveTexts MakeLiveTexts(GpsConnection* gps, const SettingsStore& settings, const LanguageTable& language) {
  LiveTexts texts;
  const UnitChoice units = UnitChoiceOf(settings);
  const std::string alert = FormatSpeed(units, settings.speedSelected).Joined() + " " +
                            language.Entry(settings.speedAlertEnabled ? lang::kWordOn : lang::kWordOff);
  texts.basics[3] = alert;
  if (!gps) {
    texts.fix = language.Entry(lang::kGpsNoFix);
    return texts;
  }
  const bool fix = gps->HasFix();
  if (fix) {
    const GeoPoint p = gps->filter().GetPosition(true);
    texts.fix = PositionText(p.latitude(), p.longitude());
  } else {
    texts.fix = language.Entry(StateEntry(gps->thread().state()));
  }
  Analyzer& live = gps->live();
  texts.basics[0] = FormatDistanceText(units, live.Distance(true));
  texts.basics[1] = fix ? FormatSpeed(units, live.Speed()).Joined() : "?";
  const GpsData data = gps->thread().data();
  int used = 0;
  for (std::size_t i = 0; i < std::min<std::size_t>(data.gsv.inView, kMaxSatellites); ++i)
    used += data.gsv.satellites[i].used ? 1 : 0;
  texts.basics[2] = std::to_string(used) + "/" + std::to_string(std::min<std::size_t>(data.gsv.inView, kMaxSatellites));
  if (fix && live.Speed() >= kMovingKmh) texts.heading = live.MovingHeading();
  return texts;
}

}  // namespace rovana::ui
