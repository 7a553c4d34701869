#include "app/processing/TrackAnalysis.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/processing/Analyzer.h"

namespace rovana {
namespace {

int XIn(int selector) { return selector >= 0 && selector < kXSelectors ? selector : kXDistance; }
int YIn(int selector) { return selector >= 0 && selector < kYSelectors ? selector : kYNone; }

double Figure(const Analyzer& a, int ySelector) {
  switch (ySelector) {
    case kYAltitude: return a.LastAltitude();
    case kYGrade: return a.Grade();
    case kYSpeed: return a.Speed();
    case kYAcceleration: return a.Acceleration();
    case kYLongitudinal: return a.LongitudinalAcceleration();
    default: return a.LateralAcceleration();
  }
}

// The rows that give distances and altitudes a unit name in a file: an
// automatic row has none of its own, its fixed row has the same factor.
const UnitRow& DistanceFileRow(const UnitChoice& units) {
  return DistanceUnits()[DistanceRow(units.unitDistance, true)];
}
const UnitRow& AltitudeFileRow(const UnitChoice& units) {
  return DistanceUnits()[DistanceRow(AltitudeRow(units.unitAltitude), true)];
}

double YForFile(const UnitChoice& units, int ySelector, double value) {
  switch (ySelector) {
    case kYAltitude: return (value + units.altitudeOffset) * AltitudeFileRow(units).factor;
    case kYSpeed: return value * SpeedUnits()[SpeedRow(units.unitSpeed)].factor;
    default: return value;
  }
}

std::string YUnitName(const UnitChoice& units, int ySelector) {
  switch (ySelector) {
    case kYAltitude: return std::string(AltitudeFileRow(units).shortName);
    case kYSpeed: return std::string(SpeedUnits()[SpeedRow(units.unitSpeed)].shortName);
    case kYGrade: return "%";
    default: return "G";
  }
}

}  // namespace

TrackSeriesChoice TrackSeriesChoiceOf(const SettingsStore& settings) {
  TrackSeriesChoice choice;
  choice.xSelector = settings.xSelector;
  choice.leftSelector = settings.leftSelector;
  choice.rightSelector = settings.rightSelector;
  choice.reverse = settings.targetReverseTrack;
  return choice;
}

std::vector<double> TrackXSeries(std::span<const GeoPoint> points, int xSelector, bool reverse) {
  const bool time = XIn(xSelector) == kXTime;
  std::vector<double> x;
  x.reserve(points.size());
  const std::size_t n = points.size();
  double sum = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = reverse ? n - 1 - k : k;
    if (k > 0) {
      const GeoPoint& previous = points[reverse ? i + 1 : i - 1];
      const GeoPoint& point = points[i];
      if (time) {
        // Forwards each point is later than the one before; backwards each
        // one is earlier. A step the wrong way round is midnight.
        int step = reverse ? previous.time() - point.time() : point.time() - previous.time();
        if (step < 0) step += kSecondsPerDay;
        sum += step;
      } else {
        sum += previous.Distance(point);
      }
    }
    x.push_back(sum);
  }
  return x;
}

std::vector<double> TrackYSeries(std::span<const GeoPoint> points, int ySelector, bool reverse) {
  const int selector = YIn(ySelector);
  std::vector<double> y;
  if (selector == kYNone) return y;
  y.reserve(points.size());
  Analyzer replay([] { return 0; });
  for (const GeoPoint& point : points) {
    replay.AddPositionComputed(point.time(), point);
    y.push_back(Figure(replay, selector));
  }
  if (reverse) std::reverse(y.begin(), y.end());
  return y;
}

TrackSeries BuildTrackSeries(std::span<const GeoPoint> points, const TrackSeriesChoice& choice) {
  TrackSeries series;
  series.x = TrackXSeries(points, choice.xSelector, choice.reverse);
  series.left = TrackYSeries(points, choice.leftSelector, choice.reverse);
  series.right = TrackYSeries(points, choice.rightSelector, choice.reverse);
  return series;
}

std::string XSeriesLabel(const UnitChoice& units, int xSelector, double value) {
  if (XIn(xSelector) == kXTime) return FormatDuration(value, false);
  return FormatDistanceText(units, value);
}

std::string YSeriesLabel(const UnitChoice& units, int ySelector, double value) {
  switch (YIn(ySelector)) {
    case kYNone: return {};
    case kYAltitude: return FormatAltitude(units, value).Joined();
    case kYGrade: return FormatFixed(value, 1) + "%";
    case kYSpeed: return FormatSpeed(units, value).Joined();
    default: return FormatFixed(value, 2) + "G";
  }
}

std::string TsfText(const TrackSeries& series, const TrackSeriesChoice& choice, const TsfLabels& labels,
                    const UnitChoice& units) {
  const int xSelector = XIn(choice.xSelector);
  struct Column {
    int selector;
    const std::vector<double>* values;
  };
  std::vector<Column> columns;
  for (const auto& [selector, values] : {std::pair{choice.leftSelector, &series.left},
                                         std::pair{choice.rightSelector, &series.right}}) {
    if (YIn(selector) != kYNone) columns.push_back({selector, values});
  }

  std::string text = labels.x[xSelector];
  text += xSelector == kXTime ? " (s)" : " (" + std::string(DistanceFileRow(units).shortName) + ")";
  for (const Column& c : columns) text += "\t" + labels.y[c.selector] + " (" + YUnitName(units, c.selector) + ")";
  text += "\n";

  const double xFactor = xSelector == kXTime ? 1.0 : DistanceFileRow(units).factor;
  for (std::size_t i = 0; i < series.x.size(); ++i) {
    text += FormatFixed(series.x[i] * xFactor, 6);
    for (const Column& c : columns) {
      const double y = i < c.values->size() ? (*c.values)[i] : 0.0;
      text += "\t" + FormatFixed(YForFile(units, c.selector, y), 6);
    }
    text += "\n";
  }
  return text;
}

bool WriteTsfFile(const std::filesystem::path& file, std::string_view text) {
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  std::string temp = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    LogMessage("cannot create a temporary file for %s: %s", file.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  // mkstemp makes the file private; an export is for reading elsewhere.
  // (Asking the umask would change it for every thread for a moment.)
  ok = ok && ::fchmod(fd, 0644) == 0;
  ok = ok && ::fsync(fd) == 0;
  const int error = errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && std::rename(temp.c_str(), file.c_str()) == 0) return true;
  LogMessage("cannot write %s: %s", file.c_str(), std::strerror(ok ? errno : error));
  ::unlink(temp.c_str());
  return false;
}

std::string DefaultTsfName(std::string_view trackName) {
  std::string name(trackName.empty() ? std::string_view("track") : trackName);
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
        static_cast<unsigned char>(c) < 0x20) {
      c = '_';
    }
  }
  if (name == "." || name == "..") name = "track";
  return name + "." + std::string(kTsfExtension);
}

}  // namespace rovana
