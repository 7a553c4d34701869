#include "server/HttpFront.h"

#include <httplib.h>

namespace rovana::server {
namespace {

constexpr std::size_t kMaxBodyBytes = 64 * 1024;
constexpr const char* kXmlType = "text/xml; charset=utf-8";

// What the handler learnt of a request, for the log line that cpp-httplib's
// logger writes after the reply on the same thread.
struct RequestNote {
  std::string action;
  int result = -1;
};
thread_local RequestNote tNote;

std::string QueryOf(const std::string& target) {
  const std::size_t question = target.find('?');
  return question == std::string::npos ? std::string() : target.substr(question + 1);
}

}  // namespace

HttpFront::HttpFront(Service& service, ServerLog& log, const std::string& certFile,
                     const std::string& keyFile)
    : service_(service), log_(log) {
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
  server_->set_default_headers({{"Cache-Control", "no-store"}});

  server_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    tNote = RequestNote{};
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server_->Get(kServicePath, [this](const httplib::Request& request, httplib::Response& response) {
    const ServiceReply reply = service_.Handle(QueryOf(request.target), request.remote_addr);
    tNote.action = reply.action;
    tNote.result = reply.result;
    response.set_content(reply.body, kXmlType);
  });
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

int HttpFront::Bind(const std::string& host, int port) {
  if (port == 0) return server_->bind_to_any_port(host);
  return server_->bind_to_port(host, port) ? port : -1;
}

bool HttpFront::Run() { return server_->listen_after_bind(); }

void HttpFront::Stop() {
  if (server_) server_->stop();
}

bool HttpFront::running() const { return server_->is_running(); }

}  // namespace rovana::server
