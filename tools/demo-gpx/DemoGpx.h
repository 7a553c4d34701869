// The demo GPX file: the demo drive (a receiver's NMEA output) recorded as a
// track the way Rovana records one, with a collection of named points on the
// route and a short route across the lake. The same drive gives the same
// bytes on every run, so the committed file can be checked against it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace demogpx {

inline constexpr const char* kFileName = "Alster.gpx";
inline constexpr const char* kPoisName = "Around the Aussenalster";
inline constexpr const char* kRouteName = "Across the lake by boat";
inline constexpr const char* kTrackName = "Drive around the Aussenalster";

// A landmark by the lake. Its point in the file is the drive's position
// nearest to these coordinates (degrees, approximate), so it lies on the
// route, with that position's altitude and time.
struct Landmark {
  const char* name;
  const char* desc;
  const char* sym;
  double latitude, longitude;
};
const std::vector<Landmark>& Landmarks();

// A point of the route, at these coordinates (degrees), with its own time
// (seconds of the drive's day, UTC).
struct RouteStop {
  const char* name;
  const char* desc;
  double latitude, longitude;
  int time;
};
const std::vector<RouteStop>& RouteStops();

// Decodes `driveLog` (NMEA sentences, one a line) and writes `folder/name`:
// every valid RMC fix is offered with its speed to a TrackRecorder, so the
// track is thinned as a live recording with the default track filter would
// be. Times are the receiver's UTC. Returns "" on success, else what went
// wrong (no valid fix in the log, the file could not be written).
std::string WriteDemoGpx(std::string_view driveLog, const std::filesystem::path& folder,
                         const std::string& name = kFileName);

}  // namespace demogpx
