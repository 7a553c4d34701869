#include "server/relay/WebRelay.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "server/relay/Json.h"

namespace rovana::server {
namespace relay_detail {

std::optional<double> ParseReal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<LatLon> ParsePoint(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  const auto latitude = ParseReal(text.substr(0, comma));
  const auto longitude = ParseReal(text.substr(comma + 1));
  if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180) {
    return std::nullopt;
  }
  return LatLon{*latitude, *longitude};
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  for (const char c : EscapeXml(text)) {
    if (c == '=') out += "&#61;";
    else out.push_back(c);
  }
  return out;
}

std::string FormatDistance(double metres) {
  if (!std::isfinite(metres) || metres < 0) metres = 0;
  char text[32];
  if (metres < 100) {
    std::snprintf(text, sizeof text, "%d m", static_cast<int>(std::lround(metres)));
  } else {
    std::snprintf(text, sizeof text, "%s km", FormatReal(std::round(metres / 100) / 10).c_str());
  }
  return text;
}

std::string FormatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const long minutes = std::lround(seconds / 60);
  if (minutes < 60) return std::to_string(minutes) + " min";
  return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

}  // namespace relay_detail

using namespace relay_detail;

namespace {

// A Host header fit to be written into the catalogue: a name or address
// and an optional port, nothing that could end the quoted URL.
bool ValidHost(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  for (const char c : host) {
    const bool fine = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    if (!fine) return false;
  }
  return true;
}

// "name?key=value&..." split into the name and its parsed query.
std::pair<std::string, Query> SplitRequest(const std::string& text) {
  const std::size_t question = text.find('?');
  if (question == std::string::npos) return {text, Query()};
  return {text.substr(0, question), Query(std::string_view(text).substr(question + 1))};
}

std::string TrimmedStart(const std::string& text) {
  std::size_t at = 0;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) at = 3;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t')) ++at;
  return text.substr(at, 64);
}

// A GeoNames XML document: UTF-8 text with the root element it claims.
bool LooksLikeGeoNamesXml(const std::string& body, std::size_t cap) {
  const std::string start = TrimmedStart(body);
  if (start.rfind("<?xml", 0) != 0 && start.rfind("<geonames", 0) != 0) return false;
  if (body.find("</geonames>") == std::string::npos && body.find("<geonames/>") == std::string::npos) {
    return false;
  }
  return ValidText(body, cap, true);
}

bool IsJsonObject(const std::string& body) {
  const auto parsed = ParseJson(body);
  return parsed && parsed->IsObject();
}

constexpr const char* kNoArticles = "<geonames></geonames>";
constexpr const char* kNoWeather = "{}";
constexpr const char* kNoPhotos = "{\"count\":0,\"photos\":[]}";

}  // namespace

WebRelay::WebRelay(RelayConfig config, ServerLog& log)
    : config_(std::move(config)), log_(log), geocoder_("geocoder", config_.geocoder, config_, log),
      router_("router", config_.router, config_, log),
      geonames_("geonames", config_.geonames, config_, log),
      photos_("photos", config_.photos, config_, log) {}

RelayReply WebRelay::Answer(std::string_view action, const Query& query, const RelayRequest& request) {
  using Handler = RelayReply (WebRelay::*)(const Query&, const RelayRequest&);
  struct Row {
    std::string_view action;
    Handler handler;
  };
  static constexpr Row kRows[] = {
      {"gm", &WebRelay::MapCatalogue}, {"gc", &WebRelay::Geocode},
      {"ls", &WebRelay::LocalSearch},  {"ys", &WebRelay::ResultSetSearch},
      {"di", &WebRelay::Directions},   {"ro", &WebRelay::Route},
      {"gn", &WebRelay::GeoNames},     {"pa", &WebRelay::Photos},
  };
  try {
    for (const Row& row : kRows) {
      if (row.action == action) return (this->*row.handler)(query, request);
    }
  } catch (const std::exception& failure) {
    log_.Write("relay " + std::string(action) + " failed: " + failure.what());
  } catch (...) {
    log_.Write("relay " + std::string(action) + " failed");
  }
  return {XmlReply(kOk).Finish(), kXmlContentType};
}

std::optional<std::string> WebRelay::Fixture(const char* name) const {
  if (config_.fixtures.empty()) return std::nullopt;
  const std::filesystem::path file = config_.fixtures / name;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > config_.replyCap) {
    log_.Write(std::string("fixture ") + name + " is larger than the reply cap: skipped");
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

// versions(["http://HOST/mt?n=404&v=w2.61&","http://HOST/kh?...",...]): road
// map, satellite, hybrid, terrain. Only when this server has tiles to serve.
RelayReply WebRelay::MapCatalogue(const Query&, const RelayRequest& request) {
  if (!config_.HasTiles() || !ValidHost(request.host)) return {XmlReply(kOk).Finish(), kXmlContentType};
  const std::string base = (request.secure ? "https://" : "http://") + request.host;
  std::string text = "versions([";
  for (int kind : {kTileMap, kTileSat, kTileHyb, kTileTer}) {
    if (kind != kTileMap) text += ",";
    text += "\"" + base + config_.versions[kind] + "\"";
  }
  text += "])";
  return {text, kTextContentType};
}

// q = "wikipediaBoundingBox?maxRows=50&north=..&south=..&east=..&west=.." or
// "findNearByWeatherJSON?lat=..&lng=..".
RelayReply WebRelay::GeoNames(const Query& query, const RelayRequest&) {
  const auto [name, inner] = SplitRequest(query.Get("q").value_or(""));
  const std::string user = "&username=" + EncodeUrlValue(config_.geonamesUser);
  if (name == "wikipediaBoundingBox") {
    if (auto fixture = Fixture("gn-wikipedia.xml")) return {*fixture, kXmlContentType};
    const auto north = inner.Real("north");
    const auto south = inner.Real("south");
    const auto east = inner.Real("east");
    const auto west = inner.Real("west");
    const std::int64_t rows = std::clamp<std::int64_t>(inner.Int("maxRows").value_or(50), 1, 500);
    if (!north || !south || !east || !west || std::fabs(*north) > 90 || std::fabs(*south) > 90 ||
        std::fabs(*east) > 180 || std::fabs(*west) > 180 || !geonames_.enabled()) {
      return {kNoArticles, kXmlContentType};
    }
    const UpstreamReply reply = geonames_.Get(
        "/wikipediaBoundingBox?north=" + FormatReal(*north) + "&south=" + FormatReal(*south) +
        "&east=" + FormatReal(*east) + "&west=" + FormatReal(*west) +
        "&maxRows=" + std::to_string(rows) + user);
    if (!reply.ok) return {kNoArticles, kXmlContentType};
    if (!LooksLikeGeoNamesXml(reply.body, config_.replyCap)) {
      log_.Write("upstream geonames: the article reply is not GeoNames XML");
      return {kNoArticles, kXmlContentType};
    }
    return {reply.body, kXmlContentType};
  }
  if (name == "findNearByWeatherJSON") {
    if (auto fixture = Fixture("gn-weather.json")) return {*fixture, kJsonContentType};
    const auto latitude = inner.Real("lat");
    const auto longitude = inner.Real("lng");
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180 ||
        !geonames_.enabled()) {
      return {kNoWeather, kJsonContentType};
    }
    const UpstreamReply reply = geonames_.Get("/findNearByWeatherJSON?lat=" + FormatReal(*latitude) +
                                              "&lng=" + FormatReal(*longitude) + user);
    if (!reply.ok) return {kNoWeather, kJsonContentType};
    if (!IsJsonObject(reply.body)) {
      log_.Write("upstream geonames: the weather reply is not a JSON object");
      return {kNoWeather, kJsonContentType};
    }
    return {reply.body, kJsonContentType};
  }
  return {kNoArticles, kXmlContentType};
}

// q = "/map/get_panoramas.php?order=popularity&set=public&from=0&to=50&maxy=..&miny=..&minx=..&maxx=..".
RelayReply WebRelay::Photos(const Query& query, const RelayRequest&) {
  const auto [name, inner] = SplitRequest(query.Get("q").value_or(""));
  if (name != "/map/get_panoramas.php") return {kNoPhotos, kJsonContentType};
  if (auto fixture = Fixture("pa.json")) return {*fixture, kJsonContentType};
  const auto maxy = inner.Real("maxy");
  const auto miny = inner.Real("miny");
  const auto minx = inner.Real("minx");
  const auto maxx = inner.Real("maxx");
  const std::int64_t from = std::clamp<std::int64_t>(inner.Int("from").value_or(0), 0, 1000);
  const std::int64_t to = std::clamp<std::int64_t>(inner.Int("to").value_or(50), from, from + 100);
  const std::string order = inner.Get("order").value_or("") == "upload_date" ? "upload_date" : "popularity";
  std::string set = inner.Get("set").value_or("public");
  if (set != "public" && set != "full" &&
      (set.empty() || set.size() > 12 || set.find_first_not_of("0123456789") != std::string::npos)) {
    set = "public";
  }
  if (!maxy || !miny || !minx || !maxx || std::fabs(*maxy) > 90 || std::fabs(*miny) > 90 ||
      std::fabs(*minx) > 180 || std::fabs(*maxx) > 180 || !photos_.enabled()) {
    return {kNoPhotos, kJsonContentType};
  }
  const UpstreamReply reply = photos_.Get(
      "/map/get_panoramas.php?order=" + order + "&set=" + set + "&from=" + std::to_string(from) +
      "&to=" + std::to_string(to) + "&maxy=" + FormatReal(*maxy) + "&miny=" + FormatReal(*miny) +
      "&minx=" + FormatReal(*minx) + "&maxx=" + FormatReal(*maxx));
  if (!reply.ok) return {kNoPhotos, kJsonContentType};
  if (!IsJsonObject(reply.body)) {
    log_.Write("upstream photos: the reply is not a JSON object");
    return {kNoPhotos, kJsonContentType};
  }
  return {reply.body, kJsonContentType};
}

}  // namespace rovana::server
