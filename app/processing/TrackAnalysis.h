// Track analysis: the series the track analyzer draws - one value per point
// of a track, against the distance along it or the time since its start -
// their axis labels, and the tab-separated ".tsf" export of them.
//
// The y values come from replaying the points through a fresh Analyzer and
// reading one of its figures after each point. With `reverse` (following
// the track from its end) the series run from the last point to the first
// and the x values are accumulated from the end; the y values are those of
// the track as recorded, listed in that order (a replay backwards in time
// would have no speeds).
#pragma once

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/coords/Units.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class SettingsStore;

// xSelector: 0 distance from the first point (metres), 1 seconds since the
// first point (the clock passing midnight adds a day). Other values count
// as 0.
inline constexpr int kXDistance = 0;
inline constexpr int kXTime = 1;
inline constexpr int kXSelectors = 2;
// leftSelector, rightSelector: 0 none, 1 altitude (m), 2 grade (%), 3 speed
// (km/h), 4 acceleration, 5 longitudinal and 6 lateral acceleration (g).
// Other values count as 0.
inline constexpr int kYNone = 0;
inline constexpr int kYAltitude = 1;
inline constexpr int kYGrade = 2;
inline constexpr int kYSpeed = 3;
inline constexpr int kYAcceleration = 4;
inline constexpr int kYLongitudinal = 5;
inline constexpr int kYLateral = 6;
inline constexpr int kYSelectors = 7;

struct TrackSeriesChoice {
  int xSelector = kXDistance;
  int leftSelector = kYAltitude;
  int rightSelector = kYSpeed;
  bool reverse = false;  // targetReverseTrack
};
// xSelector, leftSelector, rightSelector and targetReverseTrack.
TrackSeriesChoice TrackSeriesChoiceOf(const SettingsStore& settings);

// One value per point, in track order or reversed; empty for y selector 0.
std::vector<double> TrackXSeries(std::span<const GeoPoint> points, int xSelector, bool reverse);
std::vector<double> TrackYSeries(std::span<const GeoPoint> points, int ySelector, bool reverse);

struct TrackSeries {
  std::vector<double> x, left, right;  // left/right empty when not chosen
};
TrackSeries BuildTrackSeries(std::span<const GeoPoint> points, const TrackSeriesChoice& choice);

// A graph label for a value of a series: the distance ("1.23km") or the
// time ("00:12:05") for x; for y the altitude and speed in their units
// ("361ft", "54.0kts"), the grade as "16.7%" and accelerations as "0.25G".
std::string XSeriesLabel(const UnitChoice& units, int xSelector, double value);
std::string YSeriesLabel(const UnitChoice& units, int ySelector, double value);

// ---- the ".tsf" export -------------------------------------------------------

inline constexpr std::string_view kTsfFilter = "Tab Separated Files (*.tsf)|*.tsf||";
inline constexpr std::string_view kTsfExtension = "tsf";

// The column titles in the user's language: x[xSelector], y[ySelector]
// (y[0] is unused).
struct TsfLabels {
  std::array<std::string, kXSelectors> x;
  std::array<std::string, kYSelectors> y;
};

// The file's text. Header: "<x label> (<distance unit>)" or
// "<x label> (s)", then per chosen y series (left, then right)
// "\t<label> (<altitude or speed unit>)", "\t<label> (%)" for the grade or
// "\t<label> (G)" for accelerations, then "\n". Then one line per point:
// the x value and each y value in the display units (distance and altitude
// in the fixed row of their unit, altitudes with altitudeOffset, speeds in
// the speed unit) with six decimals in the C locale, tab-separated.
std::string TsfText(const TrackSeries& series, const TrackSeriesChoice& choice, const TsfLabels& labels,
                    const UnitChoice& units);

// Writes `text` to `file` through a temporary file in the same folder that
// is flushed to disk and renamed into place, so the file is either the old
// one or the whole new one. False (and logged) when it could not be
// written; nothing is left behind then.
bool WriteTsfFile(const std::filesystem::path& file, std::string_view text);

// The default file name: the track's name with ".tsf" ("track.tsf" for an
// empty name); characters that cannot be in a file name become '_'.
std::string DefaultTsfName(std::string_view trackName);

}  // namespace rovana
