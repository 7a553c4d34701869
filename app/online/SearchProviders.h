// The search providers: for each, the request it sends and the scanner that
// turns its reply into points. Requests 0, 1, 3, 4 and 5 go through the web
// service as relay actions (kind 7); the geocaching site (2) is asked
// directly with a form POST (SearchGeocaches.h).
//
//   SearchArea area = ...;                      // the visible map, radians
//   ServiceAction a = ProviderRequest(SearchProvider::Photos, area, "");
//   TextReplyStream reply(*service.Request(a));
//   SearchContext found{"Default"};
//   ScanProviderReply(SearchProvider::Photos, reply, found, {});
//   // found.points: stamped now with the "Default" symbol, filled in
//
// Every scanner keeps what it read when the reply stops early; a number or
// coordinate that does not scan leaves its field at 0. Replies give degrees;
// points hold radians. Nothing here throws or touches the settings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/online/ReplyStream.h"
#include "app/online/WebServiceQueries.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

// The values of `searchDB`.
enum class SearchProvider : int {
  LocalA = 0,     // local search A, HTML ("ls")
  LocalB = 1,     // local search B, XML ("ys")
  Geocaches = 2,  // the geocaching site, JSON-like, direct POST
  Articles = 3,   // encyclopedia articles, XML ("gn")
  Photos = 4,     // photos, JSON-like ("pa")
  Weather = 5,    // the nearest weather observation, JSON-like ("gn")
};
inline constexpr int kSearchProviders = 6;

// The visible map area and the view centre, radians.
struct SearchArea {
  double minLongitude = 0, maxLongitude = 0;
  double minLatitude = 0, maxLatitude = 0;
  GeoPoint centre;
};

// Which geocaches are kept: `searchGeoF`, `searchGeoNF`, `searchGeoO`,
// `searchGeoNO`. A cache is kept when any flag matching it is on.
struct GeocacheFilters {
  bool found = true, notFound = true, own = true, notOwn = true;
  bool Keeps(bool isFound, bool isOwn) const {
    return (isFound && found) || (!isFound && notFound) || (isOwn && own) || (!isOwn && notOwn);
  }
};

// Where the geocaching site's caches point their details pages and the
// texts of the two lines each cache's description ends with.
struct GeocacheTexts {
  std::string siteHost;  // "https://caches.example.org": the link's scheme and host
  std::string foundLabel = "Found by me:", ownLabel = "Owned by me:";
  std::string yes = "Yes", no = "No";
};

// One request's results.
struct SearchContext {
  std::string poiStyle;            // the symbol every new point is stamped with
  std::vector<GeoPoint> points;    // in reply order
  int reported = -1;               // the total the reply names (local search B, geocaches), -1 none
  // A new point at the end: stamped now (date, time, `poiStyle`).
  GeoPoint& NewPoint();
};

// Text fields of a point are cut to this many bytes (on a character boundary).
inline constexpr std::size_t kSearchFieldBytes = 520;
// The most a provider returns: photos and articles ask for 50 and local
// search B for 20; the geocaching site sends at most 500.
inline constexpr int kSearchMaxPhotos = 50;
inline constexpr int kSearchMaxArticles = 50;
inline constexpr int kSearchMaxLocalB = 20;
inline constexpr int kSearchMaxGeocaches = 500;

// Radius of local search B: miles from the view centre to the middle of the
// visible area's northern edge.
double SearchRadiusMiles(const SearchArea& area);

// The relay request of providers 0, 1, 3, 4 and 5 (`what` is the text
// searched for by 0 and 1); nothing for the geocaching site and for values
// out of range.
std::optional<ServiceAction> ProviderRequest(SearchProvider provider, const SearchArea& area, std::string_view what);

// Reads an opened reply of `provider` into `context`. Geocaches need
// `filters` and `texts`; the others ignore them.
void ScanProviderReply(SearchProvider provider, ReplyStream& reply, SearchContext& context,
                       const GeocacheFilters& filters = {}, const GeocacheTexts& texts = {});

// The single scanners.
void ScanLocalSearchA(ReplyStream& reply, SearchContext& context);
void ScanLocalSearchB(ReplyStream& reply, SearchContext& context);
void ScanArticles(ReplyStream& reply, SearchContext& context);
void ScanPhotos(ReplyStream& reply, SearchContext& context);
void ScanWeather(ReplyStream& reply, SearchContext& context);
void ScanGeocaches(ReplyStream& reply, SearchContext& context, const GeocacheFilters& filters,
                   const GeocacheTexts& texts);

// The symbol of a geocache type ("ctid"); "CacheDefect" when the cache is
// not available, whatever its type.
std::string_view GeocacheSymbol(int type, bool available);

// The description of local search A from the text after its first "<br/>":
// each further "<br/>" a line break, tags removed, blanks at the start of
// each line dropped.
std::string LocalSearchDescription(std::string_view html);

// "270.0°": a direction in degrees as the heading texts show it.
std::string CompassText(double degrees);

// Cuts `text` to at most `bytes` bytes without splitting a character.
std::string CutText(std::string text, std::size_t bytes = kSearchFieldBytes);

}  // namespace rovana
