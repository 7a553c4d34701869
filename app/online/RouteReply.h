// The route of an "ro" reply, from its text to the points of a new route.
//
// The reply holds the encoded line after the marker `points:"` up to the
// next double quote; a backslash makes the character after it part of the
// line (so `\"` does not end it) and is itself dropped. The server doubles
// every backslash of the line, which this unescapes:
//
//   <reply><result id="0"/><route>points:"_p~iF~ps|U_ulLnnqC_mqNvxq`@"</route></reply>
//
// The points get a date and time as if driven at 10 km/h from midnight of
// the given day: the time of day is the whole seconds travelled so far, and
// past 86399 s it starts again at 0 on the next day (the date advances),
// so a route longer than 240 km keeps real times of day.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/online/Polyline.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class POIs;

inline constexpr std::string_view kRouteMarker = "points:\"";
inline constexpr std::size_t kMaxRouteChars = 131072;  // characters of the escaped line
inline constexpr double kRouteSpeed = 2.7777777777777777;  // metres per second: 10 km/h

// The unescaped line; nothing without the marker, without its closing quote,
// or when the line is longer than kMaxRouteChars.
std::optional<std::string> RouteLineOf(std::string_view reply);

// `packed` (year x 416 + month x 32 + day) moved by `days` on the civil
// calendar; a date that is no real date is returned unchanged.
std::int32_t AddDays(std::int32_t packed, std::int64_t days);

// The route's points, in radians, dated from `today` (packed) as above.
std::vector<GeoPoint> RoutePoints(const std::vector<PolylinePoint>& line, std::int32_t today);

// The points of a reply: nothing when it has no line or the line does not
// decode; an empty line gives no points.
std::optional<std::vector<GeoPoint>> RouteOfReply(std::string_view reply, std::int32_t today);

// Appends the points to `route` the way a loaded route gets them (each added
// with the time repaired and the statistics fed), then the end signal.
void AppendRoute(POIs& route, const std::vector<GeoPoint>& points);

}  // namespace rovana
