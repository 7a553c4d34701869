// Directions (di) and route (ro) from an OSRM-compatible router
// (GET /route/v1/<profile>/<lon>,<lat>;<lon>,<lat>): di becomes an HTML page
// with one list item per step, ro the route's line as an encoded polyline
// at 5 decimals whatever geometry the router gave.
#include <cmath>

#include "server/relay/Json.h"
#include "server/relay/WebRelay.h"

namespace rovana::server {

using namespace relay_detail;

namespace {

constexpr std::size_t kMaxSteps = 500;
// The client reads at most 131072 characters of the line; thinning keeps
// the written line below that, escapes included.
constexpr std::size_t kMaxEncodedLine = 120000;

constexpr const char* kNoRoutePage =
    "<html><body><div class=\"head\"><center>No route</center></div></body></html>";

// One maneuver type of the router: the instruction with a street name and
// without one. "%m" is the modifier ("left", "slight right"), "%d" the
// compass direction of the start, "%e" the roundabout exit, "%n" the name.
struct Maneuver {
  std::string_view type;
  const char* named;
  const char* unnamed;
};

constexpr Maneuver kManeuvers[] = {
    {"depart", "Head %d on %n", "Head %d"},
    {"arrive", "Arrive at your destination", "Arrive at your destination"},
    {"turn", "Turn %m onto %n", "Turn %m"},
    {"new name", "Continue onto %n", "Continue"},
    {"continue", "Continue %m on %n", "Continue %m"},
    {"merge", "Merge %m onto %n", "Merge %m"},
    {"on ramp", "Take the ramp %m onto %n", "Take the ramp %m"},
    {"off ramp", "Take the exit %m onto %n", "Take the exit %m"},
    {"fork", "Keep %m at the fork onto %n", "Keep %m at the fork"},
    {"end of road", "Turn %m at the end of the road onto %n", "Turn %m at the end of the road"},
    {"roundabout", "At the roundabout take exit %e onto %n", "At the roundabout take exit %e"},
    {"rotary", "At the roundabout take exit %e onto %n", "At the roundabout take exit %e"},
    {"roundabout turn", "At the roundabout turn %m onto %n", "At the roundabout turn %m"},
    {"exit roundabout", "Leave the roundabout onto %n", "Leave the roundabout"},
    {"exit rotary", "Leave the roundabout onto %n", "Leave the roundabout"},
};
constexpr Maneuver kOtherManeuver = {"", "Continue on %n", "Continue"};

constexpr std::string_view kModifiers[] = {"left", "right", "slight left", "slight right",
                                           "sharp left", "sharp right", "straight"};
constexpr const char* kCompass[] = {"north", "northeast", "east", "southeast",
                                    "south", "southwest", "west", "northwest"};

std::string ModifierText(const std::string& modifier) {
  if (modifier == "uturn") return "around";
  for (std::string_view known : kModifiers) {
    if (known == modifier) return modifier;
  }
  return "straight";
}

std::string CompassText(std::optional<double> bearing) {
  if (!bearing || *bearing < 0 || *bearing > 360) return "on";
  return kCompass[static_cast<int>(std::lround(*bearing / 45)) % 8];
}

// The instruction of one step as escaped HTML text.
std::string Instruction(const JsonValue& step) {
  const JsonValue* maneuver = step.Find("maneuver");
  const std::string type = maneuver ? maneuver->TextOf("type") : "";
  const Maneuver* row = &kOtherManeuver;
  for (const Maneuver& candidate : kManeuvers) {
    if (candidate.type == type) row = &candidate;
  }
  std::string name = step.TextOf("name");
  if (name.empty()) name = step.TextOf("ref");
  const std::string pattern = name.empty() ? row->unnamed : row->named;
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      text.push_back(pattern[i]);
      continue;
    }
    switch (pattern[++i]) {
      case 'm': text += ModifierText(maneuver ? maneuver->TextOf("modifier") : ""); break;
      case 'd': text += CompassText(maneuver ? maneuver->NumberOf("bearing_after") : std::nullopt); break;
      case 'e': {
        const auto exit = maneuver ? maneuver->NumberOf("exit") : std::nullopt;
        text += exit && *exit >= 1 && *exit <= 99 ? std::to_string(static_cast<int>(*exit)) : "1";
        break;
      }
      case 'n': {
        std::string clean;
        for (const char c : name.substr(0, 200)) clean.push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
        text += EscapeHtml(clean);
        break;
      }
      default: text.push_back(pattern[i]);
    }
  }
  // "Head on on X" when the start has no bearing.
  if (const std::size_t twice = text.find("Head on on "); twice == 0) text.erase(5, 3);
  return text;
}

// The first route of a router reply, or null.
const JsonValue* FirstRoute(const std::optional<JsonValue>& parsed) {
  if (!parsed || !parsed->IsObject() || parsed->TextOf("code") != "Ok") return nullptr;
  const JsonValue* routes = parsed->Find("routes");
  if (!routes || !routes->IsArray() || routes->Items().empty()) return nullptr;
  return &routes->Items().front();
}

// The line of a route: an encoded polyline (at the precision asked for, or
// the other one when that does not fit the globe) or GeoJSON.
std::optional<std::vector<LatLon>> RouteLine(const JsonValue& geometry, int precision) {
  if (geometry.IsString()) {
    const std::string text = geometry.Text().value_or("");
    const int first = precision == 5 ? 5 : 6;
    if (auto points = DecodePolyline(text, first)) return points;
    return DecodePolyline(text, first == 5 ? 6 : 5);
  }
  const JsonValue* coordinates = geometry.Find("coordinates");
  if (!coordinates || !coordinates->IsArray()) return std::nullopt;
  std::vector<LatLon> points;
  for (const JsonValue& pair : coordinates->Items()) {
    if (!pair.IsArray() || pair.Items().size() < 2) return std::nullopt;
    const auto longitude = pair.Items()[0].Number();
    const auto latitude = pair.Items()[1].Number();
    if (!longitude || !latitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) return std::nullopt;
    points.push_back({*latitude, *longitude});
  }
  return points;
}

std::string EscapeBackslashes(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out.push_back(c);
    if (c == '\\') out.push_back('\\');
  }
  return out;
}

}  // namespace

namespace {

// "/route/v1/driving/10,53.5;10.1,53.6?..." from sa and da ("lat,lon").
std::optional<std::string> RouteTarget(const RelayConfig& config, const Query& query, bool withSteps) {
  const auto from = ParsePoint(query.Get("sa").value_or(""));
  const auto to = ParsePoint(query.Get("da").value_or(""));
  if (!from || !to) return std::nullopt;
  std::string target = "/route/v1/" + config.routerProfile + "/" + FormatReal(from->longitude) + "," +
                       FormatReal(from->latitude) + ";" + FormatReal(to->longitude) + "," +
                       FormatReal(to->latitude);
  if (withSteps) return target + "?overview=false&steps=true";
  const char* geometry = config.routerPrecision == 5 ? "polyline" : config.routerPrecision == 6 ? "polyline6" : "geojson";
  return target + "?overview=full&steps=false&geometries=" + geometry;
}

}  // namespace

RelayReply WebRelay::Directions(const Query& query, const RelayRequest&) {
  if (auto fixture = Fixture("di.html")) return {*fixture, kHtmlContentType};
  const auto target = RouteTarget(config_, query, true);
  if (!target || !router_.enabled()) return {kNoRoutePage, kHtmlContentType};
  const UpstreamReply answer = router_.Get(*target);
  if (!answer.ok) return {kNoRoutePage, kHtmlContentType};
  const auto parsed = ParseJson(answer.body);
  const JsonValue* route = FirstRoute(parsed);
  if (!route) {
    if (!parsed) log_.Write("upstream router: the reply is not JSON");
    return {kNoRoutePage, kHtmlContentType};
  }
  std::string items;
  std::size_t count = 0;
  if (const JsonValue* legs = route->Find("legs")) {
    for (const JsonValue& leg : legs->Items()) {
      const JsonValue* steps = leg.Find("steps");
      if (!steps) continue;
      for (const JsonValue& step : steps->Items()) {
        if (!step.IsObject() || ++count > kMaxSteps) break;
        items += "<li>" + Instruction(step) + "<br />" + FormatDistance(step.NumberOf("distance").value_or(0)) +
                 "<br /></li>";
      }
    }
  }
  if (items.empty()) return {kNoRoutePage, kHtmlContentType};
  const std::string head = FormatDistance(route->NumberOf("distance").value_or(0)) + ", " +
                           FormatDuration(route->NumberOf("duration").value_or(0));
  return {"<html><body><div class=\"head\"><center>" + head + "</center></div><ol>" + items +
              "</ol></body></html>",
          kHtmlContentType};
}

RelayReply WebRelay::Route(const Query& query, const RelayRequest&) {
  if (auto fixture = Fixture("ro.txt")) return {*fixture, kXmlContentType};
  const std::string empty = XmlReply(kOk).Finish();
  const auto target = RouteTarget(config_, query, false);
  if (!target || !router_.enabled()) return {empty, kXmlContentType};
  const UpstreamReply answer = router_.Get(*target);
  if (!answer.ok) return {empty, kXmlContentType};
  const auto parsed = ParseJson(answer.body);
  const JsonValue* route = FirstRoute(parsed);
  const JsonValue* geometry = route ? route->Find("geometry") : nullptr;
  auto points = geometry ? RouteLine(*geometry, config_.routerPrecision) : std::nullopt;
  if (!points || points->empty()) {
    if (!parsed || (geometry && !points)) log_.Write("upstream router: no readable route line in the reply");
    return {empty, kXmlContentType};
  }
  std::string line = EscapeBackslashes(EncodePolyline(*points));
  while (line.size() > kMaxEncodedLine && points->size() > 2) {
    std::vector<LatLon> thinner;
    for (std::size_t i = 0; i < points->size(); i += 2) thinner.push_back((*points)[i]);
    if (points->size() % 2 == 0) thinner.push_back(points->back());
    *points = std::move(thinner);
    line = EscapeBackslashes(EncodePolyline(*points));
  }
  // Written by hand: the marker's quotes must stay quotes, not entities.
  std::string body = empty;
  body.insert(body.rfind("</reply>"), "<route>points:\"" + line + "\"</route>\n");
  return {body, kXmlContentType};
}

}  // namespace rovana::server
