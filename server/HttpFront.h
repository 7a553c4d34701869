// The HTTP (or HTTPS) front of the service on cpp-httplib: GET
// "/online/os.asp?a=..." goes to the Service; every request is logged as one
// line with the password blanked; other paths give 404, other methods 405,
// bodies over 64 KiB 413, a failure inside a handler 500 — the server goes on.
#pragma once

#include <memory>
#include <string>

#include "server/Actions.h"
#include "server/ServerLog.h"

namespace httplib {
class Server;
}

namespace rovana::server {

inline constexpr const char* kServicePath = "/online/os.asp";

class HttpFront {
 public:
  // With `certFile` and `keyFile` (PEM) the front speaks HTTPS only.
  HttpFront(Service& service, ServerLog& log, const std::string& certFile = {},
            const std::string& keyFile = {});
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

  Service& service_;
  ServerLog& log_;
  std::unique_ptr<httplib::Server> server_;
  int listening_ = -1;  // the listening socket, once bound
};

}  // namespace rovana::server
