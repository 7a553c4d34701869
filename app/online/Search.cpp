#include "app/online/Search.h"

#include <cstdio>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/online/ReplyScanner.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {
namespace {

// The provider's maximum and whether its count or its reported total is
// compared with it.
struct Limit {
  int maximum = 0;     // 0: no limit
  bool byTotal = false;
};

Limit LimitOf(SearchProvider provider) {
  switch (provider) {
    case SearchProvider::Photos: return {kSearchMaxPhotos, false};
    case SearchProvider::Articles: return {kSearchMaxArticles, false};
    case SearchProvider::LocalB: return {kSearchMaxLocalB, true};
    case SearchProvider::Geocaches: return {kSearchMaxGeocaches, true};
    default: return {};
  }
}

std::string Format(const char* format, const std::string& a, long long n, const std::string& b = {},
                   const std::string& c = {}) {
  // Every format here takes its texts and the number in this order.
  std::string out;
  const std::string number = std::to_string(n);
  const std::string* texts[] = {&a, &b, &c};
  std::size_t next = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      if (next < 3) out += *texts[next++];
      ++p;
    } else if (p[0] == '%' && p[1] == 'd') {
      out += number;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

SearchSettings SearchSettingsOf(const SettingsStore& store) {
  SearchSettings s;
  s.provider = store.searchDB;
  s.what = store.searchWhat;
  s.deletePois = store.searchDeletePOIs;
  s.filters = {store.searchGeoF, store.searchGeoNF, store.searchGeoO, store.searchGeoNO};
  s.geocacheHost = store.geocacheHost;
  s.poiStyle = store.poiStyle;
  return s;
}

GeocacheTexts GeocacheTextsOf(const LanguageTable& language, std::string siteHost) {
  GeocacheTexts t;
  t.siteHost = std::move(siteHost);
  t.foundLabel = language.Entry(lang::kSearchCacheFoundLabel);
  t.ownLabel = language.Entry(lang::kSearchCacheOwnLabel);
  t.yes = language.Entry(lang::kButtonYes);
  t.no = language.Entry(lang::kButtonNo);
  return t;
}

SearchReply FetchSearch(const SearchSettings& settings, const SearchArea& area, const SearchTransport& transport,
                        const GeocacheTexts& texts) {
  SearchReply reply;
  reply.found.poiStyle = settings.poiStyle;
  if (settings.provider < 0 || settings.provider >= kSearchProviders) {
    reply.status = SearchStatus::UnknownProvider;
    return reply;
  }
  const auto provider = static_cast<SearchProvider>(settings.provider);
  std::optional<std::string> body;
  if (provider == SearchProvider::Geocaches) {
    if (settings.geocacheHost.empty()) {
      LogMessage("Search: no geocaching site is configured (geocacheHost)");
      reply.status = SearchStatus::NotConfigured;
      return reply;
    }
    if (transport.post) body = transport.post(GeocacheRequest(settings.geocacheHost, area));
  } else if (const std::optional<ServiceAction> action = ProviderRequest(provider, area, settings.what)) {
    if (transport.service) body = transport.service(*action);
  }
  if (!body) {
    LogMessage("Search: provider %d gave no reply", settings.provider);
    reply.status = SearchStatus::Failed;
    return reply;
  }
  GeocacheTexts siteTexts = texts;
  if (siteTexts.siteHost.empty()) siteTexts.siteHost = settings.geocacheHost;
  TextReplyStream stream(std::move(*body));
  stream.Open();
  ScanProviderReply(provider, stream, reply.found, settings.filters, siteTexts);
  reply.status = SearchStatus::Replied;
  LogMessage("Search: provider %d found %zu", settings.provider, reply.found.points.size());
  return reply;
}

std::string SearchCountText(SearchProvider provider, std::size_t count, int reported, const LanguageTable& language) {
  if (count == 0)
    return Format("%s.\n\n%s.", language.Entry(lang::kSearchNothingFound), 0, language.Entry(lang::kSearchAdvice));
  const std::string found = language.Entry(lang::kSearchFoundCount);
  const Limit limit = LimitOf(provider);
  if (limit.maximum > 0 && !limit.byTotal && count >= static_cast<std::size_t>(limit.maximum))
    return Format("%s (%d). %s.\n\n%s.", found, static_cast<long long>(count), language.Entry(lang::kSearchMoreExist),
                  language.Entry(lang::kSearchLimitHint));
  if (limit.maximum > 0 && limit.byTotal && reported > limit.maximum)
    return Format("%s (>%d).\n\n%s.", found, limit.maximum, language.Entry(lang::kSearchLimitHint));
  return Format("%s (%d).", found, static_cast<long long>(count));
}

SearchResult ApplySearch(Waypoints& waypoints, SearchReply reply, const SearchSettings& settings,
                         const LanguageTable& language, bool online) {
  SearchResult result;
  GpxParser* file = waypoints.currentFile();
  if (!file) return result;
  POIs* target = waypoints.FirstOf(*file);
  // Earlier results go only once new ones came.
  if (reply.status == SearchStatus::Replied && settings.deletePois && target) {
    if (waypoints.DeleteCollection(*target, false)) {
      target = waypoints.FirstOf(*file);
    } else {
      target->Clear();
    }
  }
  if (!target) target = &waypoints.AddCollection(*file, PoisKind::POIs);
  waypoints.MakeCurrent(target);
  result.collection = target;

  switch (reply.status) {
    case SearchStatus::UnknownProvider:
      result.text = "?";
      return result;
    case SearchStatus::NotConfigured:
      result.text = language.Entry(lang::kSearchGeocaches) + ": " + language.Entry(lang::kNetRequestFailed);
      return result;
    case SearchStatus::Failed:
      result.text = language.Entry(online ? lang::kNetRequestFailed : lang::kNetOffline);
      return result;
    case SearchStatus::Replied:
      break;
  }
  result.success = true;
  for (GeoPoint& point : reply.found.points) {
    GeoPoint* stored = target->AddPoint(std::move(point), -1, true);
    if (!stored) continue;
    if (!result.first) result.first = stored;
    ++result.added;
  }
  target->RecomputeBounds();
  waypoints.RecomputeBounds(*file);
  if (result.first) target->SelectPoint(*result.first);
  result.text = SearchCountText(static_cast<SearchProvider>(settings.provider), result.added, reply.found.reported,
                                language);
  return result;
}

}  // namespace rovana
