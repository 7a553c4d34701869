#include "app/online/WebServiceQueries.h"

#include <initializer_list>

#include "app/online/QueryText.h"

namespace rovana {
namespace {

// One query parameter: its key and its value as it is sent.
struct Param {
  std::string_view key;
  std::string value;
};

ServiceAction Make(std::string_view action, int kind, std::initializer_list<Param> params) {
  ServiceAction out;
  out.query.reserve(64);
  out.query += kServicePath;
  out.query += "?a=";
  out.query += action;
  for (const Param& p : params) {
    out.query += '&';
    out.query += p.key;
    out.query += '=';
    out.query += p.value;
  }
  out.kind = kind;
  out.action = action;
  return out;
}

std::string Text(std::string_view value) { return EncodeQueryValue(value); }
std::string Int(std::int64_t value) { return QueryInt(value); }
// Latitude and longitude joined by an encoded comma.
std::string Point(double latitude, double longitude) { return QueryReal(latitude) + "%2C" + QueryReal(longitude); }

}  // namespace

ServiceAction RegisterUserQuery(std::string_view email, std::string_view password) {
  return Make("ur", kKindPublic, {{"e", Text(email)}, {"p", Text(password)}});
}

ServiceAction LoginUserQuery(std::string_view email, std::string_view password, const LoginDetails& details) {
  return Make("ul", kKindPublic,
              {{"e", Text(email)},
               {"p", Text(password)},
               {"s", Text(details.screen)},
               {"v", Text(details.version)},
               {"l", Int(details.language)},
               {"d", "PPC"},
               {"c", Text(details.deviceId)}});
}

ServiceAction ChangeIdentityQuery(std::string_view nickname, std::string_view pin) {
  return Make("uc", kKindBuddyChange, {{"n", Text(nickname)}, {"c", Text(pin)}});
}

ServiceAction CreateTrackQuery() { return Make("ct", kKindBuddyQuery, {}); }

ServiceAction UploadPositionQuery(const UploadFix& fix) {
  return Make("up", kKindBuddyQuery,
              {{"t", Int(fix.track)},
               {"p", Int(fix.interval)},
               {"y", QueryReal(fix.latitude)},
               {"x", QueryReal(fix.longitude)},
               {"e", QueryReal(fix.altitude)},
               {"v", QueryReal(fix.speedKmh)},
               {"h", QueryReal(fix.courseDeg)}});
}

ServiceAction EnableBuddyQuery(std::int32_t buddy, bool enabled) {
  return Make("bc", kKindBuddyChange, {{"b", Int(buddy)}, {"e", Int(enabled ? 1 : 0)}});
}

ServiceAction BuddyListQuery() { return Make("bl", kKindBuddyQuery, {}); }
ServiceAction BuddyPositionsQuery() { return Make("bp", kKindBuddyQuery, {}); }

ServiceAction AddBuddyQuery(std::string_view nickname, std::string_view pin) {
  return Make("ba", kKindBuddyChange, {{"n", Text(nickname)}, {"c", Text(pin)}});
}

ServiceAction DeleteBuddyQuery(std::int32_t buddy) { return Make("bd", kKindBuddyChange, {{"b", Int(buddy)}}); }

ServiceAction SendChatQuery(std::int32_t buddy, std::string_view message) {
  return Make("cs", kKindBuddyChange, {{"b", Int(buddy)}, {"m", Text(message)}});
}

ServiceAction ReceiveChatQuery() { return Make("cr", kKindBuddyQuery, {}); }
ServiceAction MapListQuery() { return Make("gm", kKindMapCatalogue, {}); }
ServiceAction GeocodeQuery(std::string_view text) { return Make("gc", kKindGeocoder, {{"q", Text(text)}}); }

ServiceAction DirectionsQuery(double fromLat, double fromLon, double toLat, double toLon, bool refresh) {
  return Make("di", refresh ? kKindDirectionsRefresh : kKindRoute,
              {{"sa", Point(fromLat, fromLon)}, {"da", Point(toLat, toLon)}});
}

ServiceAction RouteQuery(double fromLat, double fromLon, double toLat, double toLon) {
  return Make("ro", kKindRoute, {{"sa", Point(fromLat, fromLon)}, {"da", Point(toLat, toLon)}});
}

ServiceAction LocalSearchQuery(double latitude, double longitude, std::string_view text) {
  return Make("ls", kKindSearch, {{"d", Point(latitude, longitude)}, {"b", Text(text)}});
}

ServiceAction ProviderSearchPaQuery(std::string_view text) { return Make("pa", kKindSearch, {{"q", Text(text)}}); }
ServiceAction ProviderSearchGnQuery(std::string_view text) { return Make("gn", kKindSearch, {{"q", Text(text)}}); }
ServiceAction ProviderSearchYsQuery(std::string_view text) { return Make("ys", kKindSearch, {{"q", Text(text)}}); }

}  // namespace rovana
