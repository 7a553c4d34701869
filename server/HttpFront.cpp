#include "server/HttpFront.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace rovana::server {
namespace {

constexpr std::size_t kMaxBodyBytes = 64 * 1024;

// What the handler learnt of a request, for the log line that cpp-httplib's
// logger writes after the reply on the same thread.
struct RequestNote {
  std::string action;
  int result = -1;
};
constexpr std::size_t kWorkers = 64;  // threads answering requests
constexpr int kBacklog = 1024;        // connections waiting to be accepted
thread_local RequestNote tNote;

std::string QueryOf(const std::string& target) {
  const std::size_t question = target.find('?');
  return question == std::string::npos ? std::string() : target.substr(question + 1);
}

}  // namespace

HttpFront::HttpFront(Service& service, ServerLog& log, const std::string& certFile,
                     const std::string& keyFile, const TileStore* tiles)
    : service_(service), log_(log), tiles_(tiles),
      secure_(!certFile.empty() || !keyFile.empty()) {
  if (!certFile.empty() || !keyFile.empty()) {
    server_ = std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  Route();
}

HttpFront::~HttpFront() { Stop(); }

bool HttpFront::valid() const { return server_->is_valid(); }

void HttpFront::Route() {
  server_->set_payload_max_length(kMaxBodyBytes);
  server_->set_read_timeout(10, 0);
  server_->set_write_timeout(10, 0);
  server_->set_keep_alive_max_count(100);
  // Instead of the library's options (SO_REUSEPORT would let a second server
  // share the port unseen): the address is reusable at once after a restart,
  // and the socket is kept for raising its backlog.
  server_->set_socket_options([this](int sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listening_ = sock;
  });
  // A kept-alive connection holds its worker until it idles out: many
  // workers, and a short idle time, so that hundreds of devices are served.
  server_->set_keep_alive_timeout(1);
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_->set_default_headers({{"Cache-Control", "no-store"}});

  server_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    tNote = RequestNote{};
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->Get(kServicePath, [this](const httplib::Request& request, httplib::Response& response) {
    const RelayRequest relay{request.get_header_value("Host"), secure_};
    const ServiceReply reply = service_.Handle(QueryOf(request.target), request.remote_addr, relay);
    tNote.action = reply.action;
    tNote.result = reply.result;
    response.set_content(reply.body, reply.contentType.c_str());
  });
  if (tiles_) RouteTiles();
  auto notAllowed = [](const httplib::Request&, httplib::Response& response) {
    response.status = 405;
    response.set_header("Allow", "GET");
    response.set_content("method not allowed\n", "text/plain");
  };
  server_->Post(kServicePath, notAllowed);
  server_->Put(kServicePath, notAllowed);
  server_->Delete(kServicePath, notAllowed);
  server_->Patch(kServicePath, notAllowed);

  server_->set_exception_handler(
      [this](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        std::string what = "unknown";
        try {
          if (failure) std::rethrow_exception(failure);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        log_.Write("request failed: " + what);
        response.status = 500;
        response.set_content("internal error\n", "text/plain");
      });
  server_->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
    std::string line = request.remote_addr + " " + request.method + " " +
                       LoggableTarget(request.target) + " " + std::to_string(response.status);
    if (tNote.result >= 0) line += " a=" + tNote.action + " result=" + std::to_string(tNote.result);
    log_.Write(line);
    tNote = RequestNote{};
  });
}

void HttpFront::RouteTiles() {
  server_->Get("/kh", [this](const httplib::Request& request, httplib::Response& response) {
    ServeTile(SatelliteTileAddress(Query(QueryOf(request.target))), request, response);
  });
  server_->Get("/mt", [this](const httplib::Request& request, httplib::Response& response) {
    ServeTile(MapTileAddress(Query(QueryOf(request.target))), request, response);
  });
  // The parts are matched as short names and digits, and read as numbers.
  server_->Get(R"(/tiles/([a-z]{3})/([0-9]{1,2})/([0-9]{1,7})/([0-9]{1,7})\.(png|jpg))",
               [this](const httplib::Request& request, httplib::Response& response) {
                 const auto& m = request.matches;
                 ServeTile(XyzTileAddress(m[1].str(), m[2].str(), m[3].str(), m[4].str()), request, response);
               });
}

void HttpFront::ServeTile(const std::optional<TileAddress>& address, const httplib::Request& request,
                          httplib::Response& response) const {
  const std::optional<Tile> tile = address ? tiles_->Find(*address) : std::nullopt;
  if (!tile) {
    response.status = 404;
    response.set_content("no such tile\n", "text/plain");
    return;
  }
  // Tiles may be kept for a day, unlike the service's replies.
  response.headers.erase("Cache-Control");
  response.set_header("Cache-Control", "max-age=86400");
  response.set_header("ETag", tile->etag);
  if (request.has_header("If-None-Match") && EtagMatches(request.get_header_value("If-None-Match"), tile->etag)) {
    response.status = 304;
    return;
  }
  response.set_content(tile->bytes, tile->contentType.c_str());
}

int HttpFront::Bind(const std::string& host, int port) {
  const int bound = port == 0 ? server_->bind_to_any_port(host) : (server_->bind_to_port(host, port) ? port : -1);
  // The library listens with a backlog of 5, so hundreds of devices
  // connecting in the same second would wait for SYN retries; listening
  // again on the bound socket raises it.
  if (bound > 0 && listening_ >= 0 && ::listen(listening_, kBacklog) != 0)
    log_.Write(std::string("listen backlog not raised: ") + std::strerror(errno));
  return bound;
}

bool HttpFront::Run() { return server_->listen_after_bind(); }

void HttpFront::Stop() {
  if (server_) server_->stop();
}

bool HttpFront::running() const { return server_->is_running(); }

}  // namespace rovana::server
