// The actions of Rovana's web service: one query per action, each a path and
// query on the service's host beginning with "/online/os.asp?a=<action>".
// Text values are encoded with EncodeQueryValue, reals are written as "%lf"
// (fixed, six decimals, C locale), and "%2C" is the encoded comma between the
// two coordinates of a point. The permission check, the session's "&i=&s="
// and the "&tick=" suffix are added by WebService when the request is sent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rovana {

inline constexpr std::string_view kServicePath = "/online/os.asp";

// What a request is for; each kind may be governed by a setting (see
// WebService). The numbers travel with the request to the transport.
enum ServiceKind : int {
  kKindPublic = 0,             // public services; login and registration
  kKindMapCatalogue = 1,       // "gm", governed by mapsOnlineDownload
  kKindBuddyChange = 2,        // nickname and PIN, enable, add, delete, chat send
  kKindBuddyQuery = 3,         // buddy queries and position upload, governed by vozazidEnabled
  kKindGeocoder = 4,           // "gc"
  kKindRoute = 5,              // "ro" and "di"
  kKindDirectionsRefresh = 6,  // "di" refreshed by the directions pane, governed by dirsRefresh
  kKindSearch = 7,             // "ls", "pa", "gn", "ys"
};

struct ServiceAction {
  std::string query;        // "/online/os.asp?a=..."
  int kind = kKindPublic;
  std::string_view action;  // "ul", "bl", ...: the name logs use (never the query, which may hold a password)
};

// What "ul" sends besides e-mail and password.
struct LoginDetails {
  std::string screen;    // "s": sent empty
  std::string version;   // "v": "3.4.6 <sales channel>"
  int language = 0;      // "l"
  std::string deviceId;  // "c": 32 lower-case hex digits
};

// One position upload; degrees, metres, km/h.
struct UploadFix {
  std::int32_t track = 0;     // t: the active track id
  std::int32_t interval = 0;  // p: the upload interval in seconds
  double latitude = 0;        // y
  double longitude = 0;       // x
  double altitude = 0;        // e
  double speedKmh = 0;        // v
  double courseDeg = 0;       // h
};

ServiceAction RegisterUserQuery(std::string_view email, std::string_view password);  // ur
ServiceAction LoginUserQuery(std::string_view email, std::string_view password, const LoginDetails& details);  // ul
ServiceAction ChangeIdentityQuery(std::string_view nickname, std::string_view pin);  // uc
ServiceAction CreateTrackQuery();                                                    // ct
ServiceAction UploadPositionQuery(const UploadFix& fix);                             // up
ServiceAction EnableBuddyQuery(std::int32_t buddy, bool enabled);                    // bc
ServiceAction BuddyListQuery();                                                      // bl
ServiceAction BuddyPositionsQuery();                                                 // bp
ServiceAction AddBuddyQuery(std::string_view nickname, std::string_view pin);        // ba
ServiceAction DeleteBuddyQuery(std::int32_t buddy);                                  // bd
ServiceAction SendChatQuery(std::int32_t buddy, std::string_view message);           // cs
ServiceAction ReceiveChatQuery();                                                    // cr
ServiceAction MapListQuery();                                                        // gm
ServiceAction GeocodeQuery(std::string_view text);                                   // gc
// From (latitude, longitude) to (latitude, longitude), degrees. A refresh of
// the directions pane is kind 6, any other request kind 5.
ServiceAction DirectionsQuery(double fromLat, double fromLon, double toLat, double toLon, bool refresh);  // di
ServiceAction RouteQuery(double fromLat, double fromLon, double toLat, double toLon);                     // ro
ServiceAction LocalSearchQuery(double latitude, double longitude, std::string_view text);                // ls
ServiceAction ProviderSearchPaQuery(std::string_view text);                                              // pa
ServiceAction ProviderSearchGnQuery(std::string_view text);                                              // gn
ServiceAction ProviderSearchYsQuery(std::string_view text);                                              // ys

}  // namespace rovana
