// The HTTP (or HTTPS) front of the service on cpp-httplib: GET
// "/online/os.asp?a=..." goes to the Service; with a TileStore, the tile paths
// "/kh?...", "/mt?..." and "/tiles/<kind>/<z>/<x>/<y>.png" are served from it
// (ETag, 304 on If-None-Match, 404 for a missing tile). Every request is
// logged as one line with the password blanked; other paths give 404, other
// methods 405, bodies over 64 KiB 413, a failure inside a handler 500 — the
// server goes on.
#pragma once

#include <memory>
#include <string>

#include "server/Actions.h"
#include "server/ServerLog.h"
#include "server/relay/TileStore.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}

namespace rovana::server {

inline constexpr const char* kServicePath = "/online/os.asp";

class HttpFront {
 public:
  // With `certFile` and `keyFile` (PEM) the front speaks HTTPS only.
  // `tiles`, when given, outlives the front.
  HttpFront(Service& service, ServerLog& log, const std::string& certFile = {},
            const std::string& keyFile = {}, const TileStore* tiles = nullptr);
  ~HttpFront();
  HttpFront(const HttpFront&) = delete;
  HttpFront& operator=(const HttpFront&) = delete;

  // False when the certificate or key could not be loaded.
  bool valid() const;
  // Binds to `host`:`port`; port 0 takes a free one. The bound port, or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop(); false when it could not start.
  bool Run();
  // Safe from any thread (a signal watcher, a test).
  void Stop();
  bool running() const;

 private:
  void Route();
  void RouteTiles();
  void ServeTile(const std::optional<TileAddress>& address, const httplib::Request& request,
                 httplib::Response& response) const;

  Service& service_;
  ServerLog& log_;
  const TileStore* tiles_;
  bool secure_;
  std::unique_ptr<httplib::Server> server_;
  int listening_ = -1;  // the listening socket, once bound
};

}  // namespace rovana::server
