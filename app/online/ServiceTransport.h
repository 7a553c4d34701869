// The web service's transport over HTTP: each request an HttpRequest on the
// program's connection, its reply read whole (at most 1 MiB; a longer one
// counts as no reply).
#pragma once

#include <cstddef>

#include "app/online/WebServiceTypes.h"

namespace rovana {

class OnlineConnection;

inline constexpr std::size_t kServiceReplyCap = 1024 * 1024;

// `connection` must outlive the transport.
Transport HttpTransport(OnlineConnection& connection, std::size_t cap = kServiceReplyCap);

}  // namespace rovana
