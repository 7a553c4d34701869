#include "app/online/OnlineConnection.h"

#include "app/core/Log.h"

namespace rovana {

OnlineConnection::OnlineConnection(OnlineOptions options) : options_(std::move(options)) {
  if (!options_.connectivity) {
    networkManager_ = std::make_unique<platform::Connectivity>();
    options_.connectivity = [nm = networkManager_.get()] { return nm->Check(); };
  }
}

OnlineConnection::~OnlineConnection() = default;

bool OnlineConnection::allowInternet() const { return options_.allowInternet && options_.allowInternet(); }
bool OnlineConnection::useConnMgr() const { return !options_.useConnMgr || options_.useConnMgr(); }

bool OnlineConnection::EnsureConnection() {
  if (!useConnMgr()) return true;
  if (!allowInternet()) {
    // Said once until access is allowed again: every map tile asks.
    if (!toldNotAllowed_.exchange(true)) LogMessage("could not connect to internet (internet access is not allowed)");
    return false;
  }
  toldNotAllowed_ = false;
  const platform::ConnectivityAnswer answer = options_.connectivity();
  if (answer.online == platform::Online::kNoManager && !toldNoManager_.exchange(true))
    LogMessage("No connection manager (%s): taken as connected", answer.detail.c_str());
  if (answer.connected()) {
    held_ = true;
    return true;
  }
  if (held_.exchange(false)) LogMessage("The connection dropped; released");
  LogMessage("could not connect to internet (%s)", answer.detail.c_str());
  return false;
}

void OnlineConnection::ReleaseConnection() {
  if (held_.exchange(false)) LogMessage("Connection released");
}

void OnlineConnection::Reset() {
  const std::uint32_t now = ++generation_;
  LogMessage("Network reset (generation %u)", now);
}

}  // namespace rovana
