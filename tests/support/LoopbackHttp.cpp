#include "tests/support/LoopbackHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#endif

#include <cstdio>
#include <cstdlib>

namespace testing_support {
namespace {

int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(address.sin_port);
  return fd;
}

#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
bool WritePem(const std::filesystem::path& file, X509* certificate, EVP_PKEY* key) {
  std::FILE* out = std::fopen(file.c_str(), "w");
  if (!out) return false;
  const bool ok = certificate ? PEM_write_X509(out, certificate) == 1
                              : PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  return std::fclose(out) == 0 && ok;
}
#endif

}  // namespace

TestCertificate::TestCertificate() {
  char pattern[] = "/tmp/rovana-cert-XXXXXX";
  if (!::mkdtemp(pattern)) return;
  folder_ = pattern;
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* certificate = X509_new();
  if (key && certificate) {
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    bool extensions = true;
    for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                              std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
      X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
      extensions = extensions && extension && X509_add_ext(certificate, extension, -1) == 1;
      X509_EXTENSION_free(extension);
    }
    ok_ = extensions && X509_sign(certificate, key, EVP_sha256()) > 0 &&
          WritePem(certificateFile(), certificate, nullptr) && WritePem(keyFile(), nullptr, key);
  }
  X509_free(certificate);
  EVP_PKEY_free(key);
#endif
}

TestCertificate::~TestCertificate() {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

LoopbackServer::LoopbackServer(const TestCertificate* certificate) {
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
  if (certificate) {
    tls_ = true;
    server_ = std::make_unique<httplib::SSLServer>(certificate->certificateFile().c_str(),
                                                   certificate->keyFile().c_str());
  }
#else
  (void)certificate;
#endif
  if (!server_) server_ = std::make_unique<httplib::Server>();
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
    ++requests_;
    std::lock_guard lock(mutex_);
    seen_.push_back(request.method + " " + request.target);
    return httplib::Server::HandlerResponse::Unhandled;
  });
}

LoopbackServer::~LoopbackServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

bool LoopbackServer::Start() {
  if (!server_->is_valid()) return false;
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return false;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  for (int waited = 0; waited < 5000 && !server_->is_running(); waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return server_->is_running();
}

std::string LoopbackServer::base() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> LoopbackServer::seen() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

RawServer::RawServer(std::string reply, int holdMs) : reply_(std::move(reply)), holdMs_(holdMs) {
  listener_ = ListenOnLoopback(port_);
  if (listener_ >= 0) thread_ = std::thread(&RawServer::Serve, this);
}

RawServer::~RawServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

std::vector<std::string> RawServer::heads() const {
  std::lock_guard lock(mutex_);
  return heads_;
}

void RawServer::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::string head;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end && !stop_) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      head.append(buffer, static_cast<std::size_t>(n));
    }
    ++requests_;
    {
      std::lock_guard lock(mutex_);
      heads_.push_back(head);
    }
    std::size_t sent = 0;
    while (sent < reply_.size()) {
      const ssize_t n = ::send(fd, reply_.data() + sent, reply_.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    for (int held = 0; held < holdMs_ && !stop_; held += 10) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::close(fd);
  }
}

int ClosedPort() {
  int port = -1;
  const int fd = ListenOnLoopback(port);
  if (fd >= 0) ::close(fd);
  return port;
}

}  // namespace testing_support
