#include "app/online/SearchProviders.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/online/QueryText.h"
#include "app/online/ReplyScanner.h"

namespace rovana {
namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kMetresPerMile = 1609.344;
constexpr const char* kDegreeSign = "\xC2\xB0";

double Degrees(double radians) { return radians / kRadiansPerDegree; }

void SetPosition(GeoPoint& point, double latitudeDeg, double longitudeDeg) {
  point.setLatitude(latitudeDeg * kRadiansPerDegree);
  point.setLongitude(longitudeDeg * kRadiansPerDegree);
}

void SetText(GeoPoint& point, PointText which, std::string value) { point.setText(which, CutText(std::move(value))); }

// "%d" at text[at]: optional sign and digits; false when none.
bool ScanDecimal(std::string_view text, std::size_t& at, long long& value) {
  std::size_t i = at;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t digits = i;
  long long v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (v < 1000000000000LL) v = v * 10 + (text[i] - '0');
    ++i;
  }
  if (i == digits) return false;
  value = negative ? -v : v;
  at = i;
  return true;
}

// Appends the weather line `format` (one "%s") when `key` has a value.
void WeatherLine(std::string& desc, std::string_view object, std::string_view key, std::string_view prefix,
                 std::string_view suffix) {
  const std::string value = ValueOf(object, key);
  if (value.empty()) return;
  desc += prefix;
  desc += value;
  desc += suffix;
}

// A weather number shown "%.0lf" with a unit.
void WeatherNumber(std::string& desc, std::string_view object, std::string_view key, std::string_view prefix,
                   std::string_view suffix) {
  if (ValueOf(object, key).empty()) return;
  char number[64];
  std::snprintf(number, sizeof number, "%.0f", NumberOf(object, key));
  desc += prefix;
  desc += number;
  desc += suffix;
}

}  // namespace

GeoPoint& SearchContext::NewPoint() {
  GeoPoint& point = points.emplace_back();
  point.StampNow(poiStyle);
  return point;
}

std::string CutText(std::string text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

double SearchRadiusMiles(const SearchArea& area) {
  GeoPoint edge(area.maxLatitude, area.centre.longitude());
  return area.centre.Distance(edge) / kMetresPerMile;
}

std::optional<ServiceAction> ProviderRequest(SearchProvider provider, const SearchArea& area, std::string_view what) {
  const double lat = Degrees(area.centre.latitude()), lon = Degrees(area.centre.longitude());
  const std::string north = QueryReal(Degrees(area.maxLatitude)), south = QueryReal(Degrees(area.minLatitude));
  const std::string east = QueryReal(Degrees(area.maxLongitude)), west = QueryReal(Degrees(area.minLongitude));
  switch (provider) {
    case SearchProvider::LocalA:
      return LocalSearchQuery(lat, lon, what);
    case SearchProvider::LocalB:
      return ProviderSearchYsQuery("latitude=" + QueryReal(lat) + "&longitude=" + QueryReal(lon) +
                                   "&radius=" + QueryReal(SearchRadiusMiles(area)) + "&query=" + EncodeQueryValue(what) +
                                   "&results=" + QueryInt(kSearchMaxLocalB) + "&sort=relevance");
    case SearchProvider::Articles:
      return ProviderSearchGnQuery("wikipediaBoundingBox?maxRows=" + QueryInt(kSearchMaxArticles) + "&north=" + north +
                                   "&south=" + south + "&east=" + east + "&west=" + west);
    case SearchProvider::Photos:
      return ProviderSearchPaQuery("/map/get_panoramas.php?order=popularity&set=public&from=0&to=" +
                                   QueryInt(kSearchMaxPhotos) + "&maxy=" + north + "&miny=" + south + "&minx=" + west +
                                   "&maxx=" + east);
    case SearchProvider::Weather:
      return ProviderSearchGnQuery("findNearByWeatherJSON?lat=" + QueryReal(lat) + "&lng=" + QueryReal(lon));
    case SearchProvider::Geocaches:
      break;
  }
  return std::nullopt;
}

void ScanProviderReply(SearchProvider provider, ReplyStream& reply, SearchContext& context,
                       const GeocacheFilters& filters, const GeocacheTexts& texts) {
  switch (provider) {
    case SearchProvider::LocalA: ScanLocalSearchA(reply, context); break;
    case SearchProvider::LocalB: ScanLocalSearchB(reply, context); break;
    case SearchProvider::Geocaches: ScanGeocaches(reply, context, filters, texts); break;
    case SearchProvider::Articles: ScanArticles(reply, context); break;
    case SearchProvider::Photos: ScanPhotos(reply, context); break;
    case SearchProvider::Weather: ScanWeather(reply, context); break;
  }
}

std::string LocalSearchDescription(std::string_view html) {
  // Line breaks first, then the tags, so that a break inside a tag's
  // neighbourhood survives.
  std::string text;
  for (std::size_t at = 0; at < html.size();) {
    if (html.compare(at, 5, "<br/>") == 0) {
      text += "\r\n   ";
      at += 5;
    } else {
      text += html[at++];
    }
  }
  std::string untagged;
  bool inTag = false;
  for (const char c : text) {
    if (c == '<') inTag = true;
    else if (c == '>' && inTag) inTag = false;
    else if (!inTag) untagged += c;
  }
  std::string out;
  bool lineStart = true;
  for (const char c : untagged) {
    if (lineStart && (c == ' ' || c == '\t')) continue;
    out += c;
    lineStart = c == '\n';
  }
  return out;
}

void ScanLocalSearchA(ReplyStream& stream, SearchContext& context) {
  ReplyScanner scan(stream);
  while (scan.ScanTo("latlng=")) {
    std::string div;
    // A result the reply cut off is left out; those before it stay.
    if (!scan.ScanTo("</div>", &div, kSearchFieldBytes + 1)) break;
    GeoPoint& point = context.NewPoint();
    // "%d%%2C%d": millionths of a degree, latitude first.
    std::size_t at = 0;
    long long lat = 0, lon = 0;
    if (ScanDecimal(div, at, lat) && div.compare(at, 3, "%2C") == 0) {
      at += 3;
      if (!ScanDecimal(div, at, lon)) lon = 0;
    }
    SetPosition(point, static_cast<double>(lat) / 1e6, static_cast<double>(lon) / 1e6);
    const std::size_t open = div.find('>');
    if (open != std::string::npos) {
      const std::size_t close = div.find("</a>", open + 1);
      SetText(point, PointText::Name, div.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
    }
    constexpr std::string_view kTel = "href=\"tel:";
    if (const std::size_t tel = div.find(kTel); tel != std::string::npos) {
      const std::size_t from = tel + kTel.size();
      const std::size_t quote = div.find('"', from);
      SetText(point, PointText::Phone, div.substr(from, quote == std::string::npos ? std::string::npos : quote - from));
    }
    if (const std::size_t br = div.find("<br/>"); br != std::string::npos)
      SetText(point, PointText::Desc, LocalSearchDescription(std::string_view(div).substr(br + 5)));
  }
}

void ScanPhotos(ReplyStream& stream, SearchContext& context) {
  ReplyScanner scan(stream);
  if (!scan.ScanTo("\"photos\":")) return;
  while (std::optional<std::string> object = scan.ObjectText(kSearchFieldBytes + 1)) {
    GeoPoint& point = context.NewPoint();
    SetPosition(point, NumberOf(*object, "latitude"), NumberOf(*object, "longitude"));
    SetText(point, PointText::Name, ValueOf(*object, "photo_title"));
    SetText(point, PointText::Pic, ValueOf(*object, "photo_file_url"));
    SetText(point, PointText::Link, ValueOf(*object, "photo_url"));
  }
}

std::string CompassText(double degrees) {
  if (!std::isfinite(degrees)) degrees = 0;
  degrees = std::fmod(degrees, 360.0);
  if (degrees < 0) degrees += 360.0;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%s", degrees, kDegreeSign);
  return text;
}

void ScanWeather(ReplyStream& stream, SearchContext& context) {
  ReplyScanner scan(stream);
  if (!scan.ScanTo("\"weatherObservation\":")) return;
  const std::optional<std::string> object = scan.ObjectText(kSearchFieldBytes + 1);
  if (!object) return;
  GeoPoint& point = context.NewPoint();
  SetPosition(point, NumberOf(*object, "lat"), NumberOf(*object, "lng"));
  SetText(point, PointText::Name, ValueOf(*object, "stationName"));
  const std::string degreesC = std::string(kDegreeSign) + "C\r\n";
  std::string desc;
  WeatherLine(desc, *object, "datetime", "date/time: ", "\r\n");
  WeatherLine(desc, *object, "temperature", "temperature: ", degreesC);
  WeatherLine(desc, *object, "dewPoint", "dew point: ", degreesC);
  WeatherLine(desc, *object, "windSpeed", "wind speed: ", "\r\n");
  if (!ValueOf(*object, "windDirection").empty())
    desc += "wind direction: " + CompassText(NumberOf(*object, "windDirection")) + "\r\n";
  WeatherNumber(desc, *object, "humidity", "humidity: ", "%\r\n");
  WeatherLine(desc, *object, "clouds", "clouds: ", "\r\n");
  WeatherLine(desc, *object, "weatherCondition", "weather condition: ", "\r\n");
  WeatherNumber(desc, *object, "hectoPascAltimeter", "altimeter: ", "Pascal\r\n");
  WeatherNumber(desc, *object, "elevation", "elevation: ", "m\r\n");
  WeatherLine(desc, *object, "ICAO", "ICAO: ", "\r\n");
  WeatherLine(desc, *object, "countryCode", "country code: ", "\r\n");
  WeatherLine(desc, *object, "observation", "observation: ", "\r\n");
  SetText(point, PointText::Desc, std::move(desc));
}

}  // namespace rovana
