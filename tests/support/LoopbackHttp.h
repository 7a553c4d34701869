// HTTP servers on 127.0.0.1 for the online tests: a real one (cpp-httplib,
// optionally HTTPS with a certificate made for the test) and a raw one that
// sends bytes exactly as given, for broken and hostile replies. Both count the
// requests that reached them, so a test can check that nothing was sent.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace testing_support {

// A self-signed certificate for "localhost" and 127.0.0.1 with its key, as
// PEM files in a temporary folder (removed with the object).
class TestCertificate {
 public:
  TestCertificate();
  ~TestCertificate();
  TestCertificate(const TestCertificate&) = delete;
  TestCertificate& operator=(const TestCertificate&) = delete;

  bool ok() const { return ok_; }
  std::string certificateFile() const { return (folder_ / "cert.pem").string(); }
  std::string keyFile() const { return (folder_ / "key.pem").string(); }

 private:
  std::filesystem::path folder_;
  bool ok_ = false;
};

class LoopbackServer {
 public:
  // With `certificate`, serves HTTPS with it.
  explicit LoopbackServer(const TestCertificate* certificate = nullptr);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Routes are added here before Start().
  httplib::Server& routes() { return *server_; }
  // Binds a free port and serves on a thread; false when that failed.
  bool Start();
  // "http://127.0.0.1:PORT" (https for a TLS server).
  std::string base() const;
  int port() const { return port_; }
  int requests() const { return requests_.load(); }
  // Request lines seen, "METHOD target", in order.
  std::vector<std::string> seen() const;

 private:
  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = -1;
  std::thread thread_;
  std::atomic<int> requests_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> seen_;
};

// Accepts connections one after another; for each it reads the request head
// (up to the blank line), sends `reply`, waits `holdMs`, and closes.
class RawServer {
 public:
  explicit RawServer(std::string reply, int holdMs = 0);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  bool ok() const { return listener_ >= 0; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int port() const { return port_; }
  int requests() const { return requests_.load(); }
  // The request heads received, in order.
  std::vector<std::string> heads() const;

 private:
  void Serve();

  std::string reply_;
  int holdMs_;
  int listener_ = -1;
  int port_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;
  std::thread thread_;
};

// A loopback port where nothing listens (bound once, then released).
int ClosedPort();

}  // namespace testing_support
