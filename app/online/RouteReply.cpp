#include "app/online/RouteReply.h"

#include <chrono>
#include <cmath>

#include "app/core/Utilities.h"
#include "app/waypoints/POIs.h"

namespace rovana {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

}  // namespace

std::optional<std::string> RouteLineOf(std::string_view reply) {
  const std::size_t marker = reply.find(kRouteMarker);
  if (marker == std::string_view::npos) return std::nullopt;
  std::string line;
  std::size_t at = marker + kRouteMarker.size();
  std::size_t read = 0;  // characters of the escaped line
  while (at < reply.size() && read < kMaxRouteChars) {
    const char c = reply[at++];
    ++read;
    if (c == '"') return line;
    if (c == '\\') {
      if (at >= reply.size()) return std::nullopt;
      line.push_back(reply[at++]);
      ++read;
      continue;
    }
    line.push_back(c);
  }
  if (at < reply.size() && reply[at] == '"') return line;  // exactly kMaxRouteChars before the quote
  return std::nullopt;
}

std::int32_t AddDays(std::int32_t packed, std::int64_t days) {
  using namespace std::chrono;
  const CivilDate civil = UnpackDate(packed);
  const year_month_day date{year{civil.year}, month{static_cast<unsigned>(civil.month)},
                            day{static_cast<unsigned>(civil.day)}};
  if (civil.month < 1 || civil.day < 1 || !date.ok()) return packed;
  const year_month_day moved{sys_days{date} + std::chrono::days{days}};
  return PackDate(static_cast<int>(moved.year()), static_cast<int>(static_cast<unsigned>(moved.month())),
                  static_cast<int>(static_cast<unsigned>(moved.day())));
}

std::vector<GeoPoint> RoutePoints(const std::vector<PolylinePoint>& line, std::int32_t today) {
  std::vector<GeoPoint> points;
  points.reserve(line.size());
  double travelled = 0;  // seconds since the first point, not yet rounded
  for (const PolylinePoint& p : line) {
    GeoPoint point(p.latitude * kRadiansPerDegree, p.longitude * kRadiansPerDegree);
    if (!points.empty()) travelled += points.back().Distance(point) / kRouteSpeed;
    const auto seconds = static_cast<std::int64_t>(std::floor(travelled));
    point.setDate(AddDays(today, seconds / kSecondsPerDay));
    point.setTime(static_cast<std::int32_t>(seconds % kSecondsPerDay));
    points.push_back(std::move(point));
  }
  return points;
}

std::optional<std::vector<GeoPoint>> RouteOfReply(std::string_view reply, std::int32_t today) {
  const std::optional<std::string> line = RouteLineOf(reply);
  if (!line) return std::nullopt;
  const std::optional<std::vector<PolylinePoint>> decoded = DecodePolyline(*line);
  if (!decoded) return std::nullopt;
  return RoutePoints(*decoded, today);
}

void AppendRoute(POIs& route, const std::vector<GeoPoint>& points) {
  for (const GeoPoint& p : points) route.AddPoint(p, -1.0, true);
  route.AddPoint(std::nullopt, -1.0, true);
}

}  // namespace rovana
