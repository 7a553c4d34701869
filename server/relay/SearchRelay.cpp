// The geocoder and the two local searches on a Nominatim-compatible
// service (GET /search?format=jsonv2): gc gives a Placemark, ls an HTML list
// and ys a ResultSet document.
#include <algorithm>
#include <cmath>

#include "server/relay/Json.h"
#include "server/relay/WebRelay.h"

namespace rovana::server {

using namespace relay_detail;

namespace {

constexpr double kMetresPerMile = 1609.344;
constexpr double kMetresPerDegree = 111320;  // of latitude, and of longitude at the equator
constexpr double kLocalSearchMetres = 5000;  // the half width of the box of "ls"
constexpr int kMaxResults = 20;

// One place of a Nominatim reply.
struct Place {
  std::string name;
  std::string street;    // road and house number
  std::string city;      // postcode and city
  std::string state;
  std::string phone;
  std::string link;      // the OpenStreetMap page of the object
  std::string displayName;
  LatLon point;
};

std::string AddressLine(const JsonValue* address, std::initializer_list<const char*> keys) {
  if (!address) return {};
  for (const char* key : keys) {
    std::string text = address->TextOf(key);
    if (!text.empty()) return text;
  }
  return {};
}

std::vector<Place> ReadPlaces(const std::string& body, std::size_t maxPlaces) {
  std::vector<Place> places;
  const auto parsed = ParseJson(body);
  if (!parsed || !parsed->IsArray()) return places;
  for (const JsonValue& item : parsed->Items()) {
    if (places.size() >= maxPlaces) break;
    const auto latitude = item.NumberOf("lat");
    const auto longitude = item.NumberOf("lon");
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) continue;
    Place place;
    place.point = {*latitude, *longitude};
    place.displayName = item.TextOf("display_name");
    place.name = item.TextOf("name");
    if (place.name.empty()) place.name = place.displayName.substr(0, place.displayName.find(','));
    const JsonValue* address = item.Find("address");
    const std::string road = AddressLine(address, {"road", "pedestrian", "footway", "square"});
    const std::string number = AddressLine(address, {"house_number"});
    place.street = number.empty() || road.empty() ? road : road + " " + number;
    const std::string city = AddressLine(address, {"city", "town", "village", "suburb"});
    const std::string postcode = AddressLine(address, {"postcode"});
    place.city = postcode.empty() ? city : postcode + (city.empty() ? "" : " " + city);
    place.state = AddressLine(address, {"state"});
    if (const JsonValue* extra = item.Find("extratags")) {
      place.phone = extra->TextOf("phone");
      if (place.phone.empty()) place.phone = extra->TextOf("contact:phone");
    }
    const std::string type = item.TextOf("osm_type");
    const std::string id = item.TextOf("osm_id");
    if ((type == "node" || type == "way" || type == "relation") && !id.empty() &&
        id.find_first_not_of("0123456789") == std::string::npos) {
      place.link = "https://www.openstreetmap.org/" + type + "/" + id;
    }
    places.push_back(std::move(place));
  }
  return places;
}

// The viewbox parameter of a box `metres` around `centre` (lon,lat,lon,lat).
std::string ViewBox(const LatLon& centre, double metres) {
  const double dLat = metres / kMetresPerDegree;
  const double cosine = std::max(0.01, std::cos(centre.latitude * M_PI / 180));
  const double dLon = std::min(180.0, dLat / cosine);
  const double west = std::max(-180.0, centre.longitude - dLon);
  const double east = std::min(180.0, centre.longitude + dLon);
  const double south = std::max(-90.0, centre.latitude - dLat);
  const double north = std::min(90.0, centre.latitude + dLat);
  return "&viewbox=" + FormatReal(west) + "," + FormatReal(north) + "," + FormatReal(east) + "," +
         FormatReal(south) + "&bounded=1";
}

std::string SearchTarget(const std::string& text, int limit, const std::string& extra) {
  return "/search?q=" + EncodeUrlValue(text) + "&format=jsonv2&limit=" + std::to_string(limit) + extra;
}

// Control characters, legal in JSON strings but not in XML text, become
// blanks.
std::string Clean(const std::string& text) {
  std::string out;
  for (const char c : text) out.push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
  return out;
}

constexpr const char* kNoResults = "<ResultSet totalResultsAvailable=\"0\"></ResultSet>";
constexpr const char* kNoLocalResults = "<html><body></body></html>";

}  // namespace

RelayReply WebRelay::Geocode(const Query& query, const RelayRequest&) {
  if (auto fixture = Fixture("gc.xml")) return {*fixture, kXmlContentType};
  const std::string address = query.Get("q").value_or("");
  if (address.empty() || !ValidText(address, 512)) return {XmlReply(kBadRequest).Finish(), kXmlContentType};
  XmlReply reply(kOk);
  if (!geocoder_.enabled()) return {reply.Finish(), kXmlContentType};
  const UpstreamReply answer = geocoder_.Get(SearchTarget(address, 1, ""));
  if (!answer.ok) return {reply.Finish(), kXmlContentType};
  const std::vector<Place> places = ReadPlaces(answer.body, 1);
  if (places.empty()) {
    if (!ParseJson(answer.body)) log_.Write("upstream geocoder: the reply is not JSON");
    return {reply.Finish(), kXmlContentType};
  }
  const Place& place = places.front();
  reply.Open("Placemark")
      .Text("address", Clean(place.displayName))
      .Open("Point")
      .Text("coordinates", FormatReal(place.point.longitude) + "," + FormatReal(place.point.latitude) + ",0")
      .Close("Point")
      .Close("Placemark");
  return {reply.Finish(), kXmlContentType};
}

// d = "lat,lon", b = the text searched for.
RelayReply WebRelay::LocalSearch(const Query& query, const RelayRequest&) {
  if (auto fixture = Fixture("ls.html")) return {*fixture, kHtmlContentType};
  const auto centre = ParsePoint(query.Get("d").value_or(""));
  const std::string text = query.Get("b").value_or("");
  if (!centre || text.empty() || !ValidText(text, 256) || !geocoder_.enabled()) {
    return {kNoLocalResults, kHtmlContentType};
  }
  const UpstreamReply answer = geocoder_.Get(
      SearchTarget(text, kMaxResults, "&addressdetails=1&extratags=1" + ViewBox(*centre, kLocalSearchMetres)));
  if (!answer.ok) return {kNoLocalResults, kHtmlContentType};
  std::string html = "<html><body>";
  for (const Place& place : ReadPlaces(answer.body, kMaxResults)) {
    html += "<div class=\"r\"><a latlng=" + std::to_string(std::llround(place.point.latitude * 1e6)) + "%2C" +
            std::to_string(std::llround(place.point.longitude * 1e6)) + ">" + EscapeHtml(Clean(place.name)) +
            "</a>";
    if (!place.phone.empty()) {
      html += " <a href=\"tel:" + EscapeHtml(Clean(place.phone)) + "\">call</a>";
    }
    html += "<br/>" + EscapeHtml(Clean(place.street));
    if (!place.city.empty()) html += "<br/>" + EscapeHtml(Clean(place.city));
    html += "</div>";
  }
  html += "</body></html>";
  return {html, kHtmlContentType};
}

// q = "latitude=..&longitude=..&radius=<miles>&query=..&results=20&sort=relevance".
RelayReply WebRelay::ResultSetSearch(const Query& query, const RelayRequest&) {
  if (auto fixture = Fixture("ys.xml")) return {*fixture, kXmlContentType};
  const Query inner(query.Get("q").value_or(""));
  const auto latitude = inner.Real("latitude");
  const auto longitude = inner.Real("longitude");
  const double miles = std::clamp(inner.Real("radius").value_or(5), 0.1, 100.0);
  const int results = static_cast<int>(std::clamp<std::int64_t>(inner.Int("results").value_or(kMaxResults), 1, 50));
  const std::string text = inner.Get("query").value_or("");
  if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180 || text.empty() ||
      !ValidText(text, 256) || !geocoder_.enabled()) {
    return {kNoResults, kXmlContentType};
  }
  const UpstreamReply answer = geocoder_.Get(SearchTarget(
      text, results, "&addressdetails=1&extratags=1" + ViewBox({*latitude, *longitude}, miles * kMetresPerMile)));
  if (!answer.ok) return {kNoResults, kXmlContentType};
  const std::vector<Place> places = ReadPlaces(answer.body, static_cast<std::size_t>(results));
  std::string xml = "<ResultSet totalResultsAvailable=\"" + std::to_string(places.size()) + "\">";
  for (const Place& place : places) {
    auto element = [&xml](const char* name, const std::string& value) {
      xml += std::string("<") + name + ">" + EscapeXml(Clean(value)) + "</" + name + ">";
    };
    xml += "<Result>";
    element("Title", place.name);
    element("Address", place.street);
    element("City", place.city);
    element("State", place.state);
    element("Phone", place.phone);
    element("Latitude", FormatReal(place.point.latitude));
    element("Longitude", FormatReal(place.point.longitude));
    element("ClickUrl", place.link);
    element("BusinessClickUrl", "");
    xml += "</Result>";
  }
  xml += "</ResultSet>";
  return {xml, kXmlContentType};
}

}  // namespace rovana::server
