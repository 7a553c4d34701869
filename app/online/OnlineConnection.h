// The state all online requests share: the settings gate, the connection
// check, the reset generation and the traffic totals. One object for the
// program, made at start-up and handed to every HttpRequest; its methods are
// safe from any thread (the counters and the generation are atomics).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/http/Connectivity.h"
#include "platform/http/HttpTransfer.h"

namespace rovana {

struct OnlineOptions {
  // The settings allowInternet and useConnMgr as worker threads may read
  // them (an atomic mirror the UI thread keeps, never the settings object
  // itself). Empty: allowInternet false, useConnMgr true.
  std::function<bool()> allowInternet;
  std::function<bool()> useConnMgr;
  // The connectivity check; empty: NetworkManager on the system bus.
  std::function<platform::ConnectivityAnswer()> connectivity;
  // Time-outs, the reply cap and the trusted certificates of every request.
  platform::HttpOptions http;
};

class OnlineConnection {
 public:
  explicit OnlineConnection(OnlineOptions options = {});
  ~OnlineConnection();
  OnlineConnection(const OnlineConnection&) = delete;
  OnlineConnection& operator=(const OnlineConnection&) = delete;

  bool allowInternet() const;
  bool useConnMgr() const;

  // Makes sure a connection exists before a request goes out. Always true
  // when useConnMgr is false; else false while allowInternet is false or
  // when the machine is offline, logging "could not connect to internet"
  // (for internet access not allowed, once until it is allowed again).
  bool EnsureConnection();
  // A connection was found by the last check and not released since.
  bool connectionHeld() const { return held_.load(); }
  // Forgets the held connection (at shutdown; the next request checks anew).
  void ReleaseConnection();

  // The reset generation: requests made before a Reset() fail to open.
  std::uint32_t generation() const { return generation_.load(); }
  void Reset();

  // Traffic totals in bytes, as shown to the user.
  void CountRequest(std::uint64_t bytes) { requestBytes_ += bytes; }
  void CountReply(std::uint64_t bytes) { replyBytes_ += bytes; }
  std::uint64_t requestBytes() const { return requestBytes_.load(); }
  std::uint64_t replyBytes() const { return replyBytes_.load(); }

  const platform::HttpOptions& http() const { return options_.http; }

 private:
  OnlineOptions options_;
  std::unique_ptr<platform::Connectivity> networkManager_;  // when no check was given in
  std::atomic<bool> held_{false};
  std::atomic<bool> toldNoManager_{false};
  std::atomic<bool> toldNotAllowed_{false};
  std::atomic<std::uint32_t> generation_{0};
  std::atomic<std::uint64_t> requestBytes_{0};
  std::atomic<std::uint64_t> replyBytes_{0};
};

}  // namespace rovana
