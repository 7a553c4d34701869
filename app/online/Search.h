// The GPX menu's search: fills the current GPX file's POIs collection with
// what one of the six providers finds around the visible map area.
//
// It runs in two halves so that the network never blocks the user
// interface and the collections change on the user-interface thread only:
//
//   SearchSettings s = SearchSettingsOf(store);           // UI thread
//   SearchReply reply = FetchSearch(s, area, transport);   // a worker: blocks
//   SearchResult r = ApplySearch(waypoints, std::move(reply), s, language, online);  // UI thread
//   if (!r.text.empty()) show(r.text);
//
// ApplySearch empties the collection first when `searchDeletePOIs` is on,
// but only once a reply came: a search that failed (offline, refused, no
// reply) leaves the user's points alone.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "app/online/SearchGeocaches.h"
#include "app/online/SearchProviders.h"
#include "app/online/WebServiceQueries.h"

namespace rovana {

class LanguageTable;
class POIs;
class SettingsStore;
class Waypoints;

// The settings a search reads, copied on the user-interface thread.
struct SearchSettings {
  int provider = 0;              // searchDB
  std::string what;              // searchWhat
  bool deletePois = false;       // searchDeletePOIs
  GeocacheFilters filters;       // searchGeoF, searchGeoNF, searchGeoO, searchGeoNO
  std::string geocacheHost;      // geocacheHost; empty: the geocaching site is not configured
  std::string poiStyle = "Default";
};
SearchSettings SearchSettingsOf(const SettingsStore& store);

// How requests go out: relay actions through the web service (kind 7), the
// geocaching site's form POST directly. Both block; an empty member or an
// empty answer is no reply.
struct SearchTransport {
  std::function<std::optional<std::string>(const ServiceAction&)> service;
  std::function<std::optional<std::string>(const FormPost&)> post;
};

enum class SearchStatus {
  Replied,          // a reply came and was read (it may hold nothing)
  Failed,           // refused or no reply
  NotConfigured,    // the geocaching site has no host
  UnknownProvider,  // searchDB out of range
};

struct SearchReply {
  SearchStatus status = SearchStatus::Failed;
  SearchContext found;
};

// Builds the provider's request, sends it and scans the reply. `texts` gives
// the geocaches' description lines (GeocacheTextsOf).
SearchReply FetchSearch(const SearchSettings& settings, const SearchArea& area, const SearchTransport& transport,
                        const GeocacheTexts& texts = {});

// The geocache description texts in the user's language.
GeocacheTexts GeocacheTextsOf(const LanguageTable& language, std::string siteHost);

struct SearchResult {
  bool success = false;      // a reply came
  std::string text;          // for the message box; empty: nothing to show
  std::size_t added = 0;     // points added to the collection
  const GeoPoint* first = nullptr;  // the first new point as stored (selected), null without one
  POIs* collection = nullptr;       // the collection searched into
};

// Puts the reply's points into the current file's POIs collection (which
// becomes the current collection), stamped and added with speed -1 and
// update on; recomputes the bounds and selects the first new point.
// `online`: whether the device is online now, for the text of a failure.
// Without a current file nothing happens (empty text, no success).
SearchResult ApplySearch(Waypoints& waypoints, SearchReply reply, const SearchSettings& settings,
                         const LanguageTable& language, bool online);

// The result text for `count` new points of `provider` (`reported`: the
// total the reply named, -1 none).
std::string SearchCountText(SearchProvider provider, std::size_t count, int reported, const LanguageTable& language);

}  // namespace rovana
