#include "tools/demo-gpx/DemoGpx.h"

#include <stdlib.h>

#include <cstdint>
#include <numbers>
#include <optional>
#include <system_error>

#include "app/core/SettingsStore.h"
#include "app/gps/GpsFix.h"
#include "app/gps/NmeaScanner.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/processing/TrackRecorder.h"
#include "app/waypoints/GpxParser.h"
#include "app/waypoints/Waypoints.h"

namespace demogpx {
namespace {

using rovana::GeoPoint;
using rovana::PointText;
using rovana::POIs;
namespace fs = std::filesystem;

constexpr double kRadiansPerDegree = std::numbers::pi / 180;

// Drawing colours, 0x00BBGGRR.
constexpr std::uint32_t kRouteColor = 0x00D08020;  // blue
constexpr std::uint32_t kTrackColor = 0x002020D0;  // red

struct Fix {
  GeoPoint point;  // the receiver's UTC date and time
  double speedKmh = 0;
};

std::int32_t PackedDate(int year, int month, int day) { return year * 416 + month * 32 + day; }

// Every valid RMC fix of the log in order, with the altitude of the GGA
// before it, as the GPS thread delivers them.
std::vector<Fix> DecodeFixes(std::string_view log) {
  rovana::NmeaScanner scanner;
  std::vector<Fix> fixes;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = log.size();
    const std::uint32_t rmc = scanner.data().rmc.count;
    // One line at a time, without its line end, as the GPS thread feeds it.
    scanner.Feed(log.substr(start, end - start));
    start = end + 1;
    const rovana::GpsData& d = scanner.data();
    if (d.rmc.count == rmc || d.rmc.status != 'A') continue;
    Fix fix{GeoPoint(d.rmc.latitude * kRadiansPerDegree, d.rmc.longitude * kRadiansPerDegree, d.gga.altitude),
            d.rmc.speed * rovana::kKnotsToKmh};
    fix.point.setDate(PackedDate(d.rmc.year, d.rmc.month, d.rmc.day));
    fix.point.setTime(d.rmc.hour * 3600 + d.rmc.minute * 60 + d.rmc.second);
    fixes.push_back(std::move(fix));
  }
  return fixes;
}

const Fix& Nearest(const std::vector<Fix>& fixes, const GeoPoint& to) {
  const Fix* best = &fixes.front();
  for (const Fix& f : fixes)
    if (f.point.Distance(to) < best->point.Distance(to)) best = &f;
  return *best;
}

// A fresh folder for the settings, so that the defaults apply whatever
// settings file lies elsewhere; removed with everything in it.
class TemporaryHome {
 public:
  TemporaryHome() {
    std::string pattern = (fs::temp_directory_path(error_) / "demo-gpx-XXXXXX").string();
    if (!error_ && ::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TemporaryHome() {
    if (!path_.empty()) fs::remove_all(path_, error_);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;
  const fs::path& path() const { return path_; }

 private:
  std::error_code error_;
  fs::path path_;
};

}  // namespace

const std::vector<Landmark>& Landmarks() {
  static const std::vector<Landmark> landmarks = {
      {"Kennedybr\u00FCcke", "Bridge between the Binnenalster and the Aussenalster", "Pin", 53.5578, 10.0000},
      {"US Consulate General", "The White House on the Alster, Alsterufer 27", "Pin", 53.5610, 9.9985},
      {"Alsterpark", "Park on the western shore in Harvestehude", "Default", 53.5700, 9.9975},
      {"Krugkoppelbr\u00FCcke", "Bridge at the northern end of the lake", "Pin", 53.5770, 10.0040},
      {"Imam Ali Mosque", "The Blue Mosque, Sch\u00F6ne Aussicht 36", "Pin", 53.5720, 10.0130},
      {"Literaturhaus", "Literature house in a villa of 1868, Schwanenwik 38", "Default", 53.5640, 10.0140},
      {"Hotel Atlantic", "Grand hotel of 1909, An der Alster 72", "Target", 53.5574, 10.0055},
  };
  return landmarks;
}

const std::vector<RouteStop>& RouteStops() {
  static const std::vector<RouteStop> stops = {
      {"Pier Rabenstra\u00DFe", "Boarding on the western shore", 53.5637, 9.9990, 10 * 3600},
      {"Middle of the lake", "Sailing boats all around", 53.5675, 10.0055, 10 * 3600 + 6 * 60},
      {"Pier Uhlenhorst", "Leaving the boat on the eastern shore", 53.5725, 10.0120, 10 * 3600 + 12 * 60},
  };
  return stops;
}

std::string WriteDemoGpx(std::string_view driveLog, const fs::path& folder, const std::string& name) {
  const std::vector<Fix> fixes = DecodeFixes(driveLog);
  if (fixes.empty()) return "the drive log holds no valid fix";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return "cannot create " + folder.string() + ": " + error.message();
  const TemporaryHome home;
  if (home.path().empty()) return "no temporary folder for the settings";

  rovana::SettingsStore settings(home.path());
  settings.primaryDataPath = folder.string();
  settings.secondaryDataPath = folder.string();
  rovana::WaypointsConfig config;
  config.statisticsFactory = rovana::MakeAnalyzerStatistics;
  rovana::Waypoints waypoints(settings, config);
  rovana::GpxParser& file = waypoints.NewFile(name);
  const GeoPoint& first = fixes.front().point;
  file.SetCreated({first.date(), first.time()});

  POIs& pois = *waypoints.FirstOf(file);
  pois.SetName(kPoisName);
  pois.SetDesc("Landmarks on the demo drive's route (their places are approximate)");
  for (const Landmark& l : Landmarks()) {
    GeoPoint point = Nearest(fixes, GeoPoint(l.latitude * kRadiansPerDegree, l.longitude * kRadiansPerDegree)).point;
    point.setText(PointText::Name, l.name);
    point.setText(PointText::Desc, l.desc);
    point.setText(PointText::Sym, l.sym);
    pois.AddPoint(std::move(point), -1, true);
  }

  POIs& route = waypoints.AddCollection(file, rovana::PoisKind::Route);
  route.SetName(kRouteName);
  route.SetDesc("A boat trip between two piers");
  route.SetColor(kRouteColor);
  route.SetWidth(3);
  for (const RouteStop& s : RouteStops()) {
    GeoPoint point(s.latitude * kRadiansPerDegree, s.longitude * kRadiansPerDegree);
    point.setDate(first.date());
    point.setTime(s.time);
    point.setText(PointText::Name, s.name);
    point.setText(PointText::Desc, s.desc);
    route.AddPoint(std::move(point), -1, true);
  }
  route.AddPoint(std::nullopt, -1, true);

  // The track as a live recording makes it: every fix offered with the
  // receiver's speed, thinned by the default track filter.
  rovana::TrackRecorder recorder(waypoints);
  POIs& track = recorder.Start(file, first, rovana::TrackFilterSettingsOf(settings));
  track.SetName(kTrackName);
  track.SetColor(kTrackColor);
  track.SetWidth(3);
  for (const Fix& f : fixes) recorder.Offer(f.point, f.speedKmh);
  recorder.Stop();  // saves too, but without the bounds, which follow now

  waypoints.RecomputeBounds(file);
  if (!file.Save(false)) return "cannot write " + (folder / name).string();
  return {};
}

}  // namespace demogpx
