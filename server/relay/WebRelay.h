// The relay actions answered from outside services, canned files or the
// configuration: gm (tile version paths), gc (geocoder), ls and ys (local
// searches), di and ro (directions and route), gn (encyclopedia and weather)
// and pa (photos). Requests to an upstream are re-built from the parsed
// query values, never forwarded as written; replies are capped, parsed,
// checked and written in the shapes the application reads. An action without
// a source, or whose upstream fails, gets a well-formed "nothing found"
// reply (and a log line).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/Actions.h"
#include "server/ServerLog.h"
#include "server/relay/Polyline.h"
#include "server/relay/RelayConfig.h"
#include "server/relay/Upstream.h"

namespace rovana::server {

inline constexpr const char* kHtmlContentType = "text/html; charset=utf-8";
inline constexpr const char* kJsonContentType = "application/json";
inline constexpr const char* kTextContentType = "text/plain; charset=utf-8";

class WebRelay final : public RelayAdapter {
 public:
  WebRelay(RelayConfig config, ServerLog& log);

  RelayReply Answer(std::string_view action, const Query& query,
                    const RelayRequest& request) override;

 private:
  RelayReply MapCatalogue(const Query& query, const RelayRequest& request);
  RelayReply Geocode(const Query& query, const RelayRequest& request);
  RelayReply LocalSearch(const Query& query, const RelayRequest& request);
  RelayReply ResultSetSearch(const Query& query, const RelayRequest& request);
  RelayReply Directions(const Query& query, const RelayRequest& request);
  RelayReply Route(const Query& query, const RelayRequest& request);
  RelayReply GeoNames(const Query& query, const RelayRequest& request);
  RelayReply Photos(const Query& query, const RelayRequest& request);

  // The text of fixture `name` ("gc.xml"), when a fixture folder is set and
  // holds it as a regular file within the reply cap.
  std::optional<std::string> Fixture(const char* name) const;

  RelayConfig config_;
  ServerLog& log_;
  Upstream geocoder_;
  Upstream router_;
  Upstream geonames_;
  Upstream photos_;
};

// Helpers shared by the adapters' files.
namespace relay_detail {

// "lat,lon" in degrees (the client sends "%2C", decoded to ","); nothing
// when malformed or out of range.
std::optional<LatLon> ParsePoint(std::string_view text);
// A finite real in the C locale, wholly read.
std::optional<double> ParseReal(std::string_view text);
// XML text; besides the entities, the markers the client scans for in
// HTML ("latlng=", "href=", "<form") cannot appear in escaped text.
std::string EscapeHtml(std::string_view text);
// "0.4 km" from 100 m on, "35 m" below.
std::string FormatDistance(double metres);
// "15 min", "1 h 5 min".
std::string FormatDuration(double seconds);

}  // namespace relay_detail
}  // namespace rovana::server
