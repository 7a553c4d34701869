#include "app/online/SearchGeocaches.h"

#include <numbers>

#include "app/core/Log.h"
#include "app/online/HttpRequest.h"
#include "app/online/QueryText.h"
#include "app/online/ReplyScanner.h"

namespace rovana {
namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr std::size_t kObjectBytes = kSearchFieldBytes + 1;

// The site's page state, sent back unchanged with every request.
constexpr std::string_view kViewState = "/wEPDwULLTE2MjcxNzAwMDZkZA==";
constexpr std::string_view kUserAgent = "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0";
// The cache types asked for, sent as unnamed form values.
constexpr int kCacheTypes[] = {2, 3, 4, 5, 1858, 6, 8, 11, 137, 13, 453};

struct TypeSymbol {
  int type;
  std::string_view symbol;
};
constexpr TypeSymbol kTypeSymbols[] = {
    {2, "CacheTrad"},    {3, "CacheMulti"},   {4, "CacheVirtual"}, {5, "CacheHybrid"},
    {6, "CacheEvent"},   {8, "CacheMyst"},    {11, "CacheWebcam"}, {13, "CacheInOut"},
    {137, "CacheEarth"}, {453, "CacheMega"},
};

}  // namespace

std::string_view GeocacheSymbol(int type, bool available) {
  if (!available) return "CacheDefect";
  for (const TypeSymbol& row : kTypeSymbols)
    if (row.type == type) return row.symbol;
  return "CacheUnknown";
}

std::string HostHeaderOf(std::string_view host) {
  if (const std::size_t scheme = host.find("://"); scheme != std::string_view::npos) host.remove_prefix(scheme + 3);
  if (const std::size_t slash = host.find('/'); slash != std::string_view::npos) host = host.substr(0, slash);
  return std::string(host);
}

FormPost GeocacheRequest(std::string_view host, const SearchArea& area) {
  FormPost post;
  post.host = std::string(host);
  while (!post.host.empty() && post.host.back() == '/') post.host.pop_back();
  post.path = std::string(kGeocachePath);
  post.headers = "Host: " + HostHeaderOf(host) +
                 "\r\nContent-Type: application/x-www-form-urlencoded"
                 "\r\nUser-Agent: " + std::string(kUserAgent) +
                 "\r\nAccept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5"
                 "\r\nAccept-Language: nl,en-us;q=0.7,en;q=0.3";
  // max latitude, min latitude, max longitude, min longitude, degrees.
  const std::string bounds = QueryReal(area.maxLatitude * kDegreesPerRadian) + "|" +
                             QueryReal(area.minLatitude * kDegreesPerRadian) + "|" +
                             QueryReal(area.maxLongitude * kDegreesPerRadian) + "|" +
                             QueryReal(area.minLongitude * kDegreesPerRadian);
  const std::string param = "{\"c\":1,\"m\":\"\",\"d\":\"" + bounds + "\"}";
  std::string& b = post.body;
  b = "eo_cb_id=ctl00_ContentBody_cbAjax";
  b += "&eo_cb_param=" + EncodeQueryValue(param);  // the bars become "%7C"
  b += "&__eo_obj_states=";
  b += "&__VIEWSTATE=" + EncodeQueryValue(kViewState);
  b += "&eo_version=5.0.44.2";
  for (const int type : kCacheTypes) b += "&=" + QueryInt(type);
  b += "&__EVENTTARGET=&__EVENTARGUMENT=";
  return post;
}

void ScanGeocaches(ReplyStream& stream, SearchContext& context, const GeocacheFilters& filters,
                   const GeocacheTexts& texts) {
  ReplyScanner scan(stream);
  if (!scan.ScanTo("\"cs\":")) return;
  std::string head;
  if (!scan.ScanTo("\"cc\":", &head, kObjectBytes)) return;
  context.reported = static_cast<int>(NumberOf(head, "count"));
  while (std::optional<std::string> object = scan.ObjectText(kObjectBytes)) {
    const bool found = FlagOf(*object, "f");
    const bool own = FlagOf(*object, "o");
    if (!filters.Keeps(found, own)) continue;
    // Only an explicit "ia":false marks a cache unavailable.
    const std::string ia = ValueOf(*object, "ia");
    const bool available = ia.empty() || FlagOf(*object, "ia");
    GeoPoint& point = context.NewPoint();
    point.setLatitude(NumberOf(*object, "lat") / kDegreesPerRadian);
    point.setLongitude(NumberOf(*object, "lon") / kDegreesPerRadian);
    point.setText(PointText::Name, CutText(ValueOf(*object, "nn")));
    point.setText(PointText::Sym, GeocacheSymbol(static_cast<int>(NumberOf(*object, "ctid")), available));
    std::string desc;
    if (const std::string code = ValueOf(*object, "gc"); !code.empty()) {
      desc = "waypoint " + code;
      std::string site = texts.siteHost;
      while (!site.empty() && site.back() == '/') site.pop_back();
      point.setText(PointText::Link, CutText(site + std::string(kGeocacheDetailsPath) + "?wp=" + EncodeQueryValue(code) +
                                             "&pf=y&log=y&numlogs=5&decrypt=y"));
    }
    for (const std::string& line : {texts.foundLabel + " " + (found ? texts.yes : texts.no),
                                   texts.ownLabel + " " + (own ? texts.yes : texts.no)})
      desc += (desc.empty() ? "" : "\r\n") + line;
    point.setText(PointText::Desc, CutText(std::move(desc)));
  }
}

std::optional<std::string> SendFormPost(OnlineConnection& connection, const FormPost& post,
                                        const std::function<bool()>& allowed, std::size_t cap) {
  HttpRequest request(connection, post.host, post.path, kPublicService, post.headers, post.body);
  request.prepare = [&allowed](const HttpRequest& r) -> std::optional<std::string> {
    if (allowed && !allowed()) return std::nullopt;
    return r.path();
  };
  request.setReplyCap(cap);
  if (!request.Open()) return std::nullopt;
  std::string body;
  char buffer[8192];
  for (;;) {
    const StreamRead read = request.Read(buffer, sizeof buffer);
    // A reply that breaks off keeps what came of it.
    if (!read.ok) return body.empty() ? std::nullopt : std::optional<std::string>(body);
    if (read.bytes == 0) return body;
    body.append(buffer, read.bytes);
    if (body.size() > cap) {
      LogMessage("Geocaches: a reply over %zu bytes dropped", cap);
      return std::nullopt;
    }
  }
}

}  // namespace rovana
