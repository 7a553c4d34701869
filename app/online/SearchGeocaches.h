// The geocaching site, asked directly (not through the relay): one form POST
// of "/map/default.aspx?" for the visible area, answered with JSON-like text
// that the stream scanner reads (ScanGeocaches in SearchProviders.h).
//
// The site is the `geocacheHost` setting ("https://caches.example.org");
// without it the provider is not configured and nothing is sent.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/online/SearchProviders.h"

namespace rovana {

class OnlineConnection;

// One direct POST as it goes on the wire.
struct FormPost {
  std::string host;     // scheme, host and port
  std::string path;     // from "/"
  std::string headers;  // "Name: value" lines, CR LF separated
  std::string body;     // application/x-www-form-urlencoded
};

inline constexpr std::string_view kGeocachePath = "/map/default.aspx?";
inline constexpr std::string_view kGeocacheDetailsPath = "/seek/cache_details.aspx";

// The request for the caches in `area` on the site `host`.
FormPost GeocacheRequest(std::string_view host, const SearchArea& area);

// The host name (and port) of "scheme://host:port/...", for the Host line.
std::string HostHeaderOf(std::string_view host);

// Sends `post` through an HttpRequest on `connection` and reads its reply
// whole (at most `cap` bytes); nothing when `allowed` refuses it, the request
// fails or the reply is longer. `allowed` runs first, on the calling thread
// (it may ask the user whether to go online).
std::optional<std::string> SendFormPost(OnlineConnection& connection, const FormPost& post,
                                        const std::function<bool()>& allowed, std::size_t cap = 1024 * 1024);

}  // namespace rovana
