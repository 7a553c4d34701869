// Whether the machine is online, as NetworkManager sees it, over D-Bus.
//
// Asks org.freedesktop.NetworkManager (object /org/freedesktop/NetworkManager)
// for its "Connectivity" property and, when that is unknown (the check is
// switched off in many installations), for its "State". Only a definite "no"
// counts as offline: connectivity none, or the states asleep, disconnected
// and disconnecting; a portal, limited connectivity or a local network may
// still reach a self-hosted or loopback server. A machine without
// NetworkManager (or without a system bus) is taken to be connected.
//
// One object may be shared by threads: calls are serialised inside, and each
// blocks for at most kCallTimeoutMs.
#pragma once

#include <memory>
#include <mutex>
#include <string>

struct DBusConnection;

namespace platform {

enum class Online {
  kConnected,    // NetworkManager reports a connection
  kOffline,      // NetworkManager reports none
  kNoManager,    // no system bus or no NetworkManager on it: taken as connected
};

struct ConnectivityAnswer {
  Online online = Online::kNoManager;
  bool connected() const { return online != Online::kOffline; }
  std::string detail;  // what was asked and answered, for the log
};

class Connectivity {
 public:
  static constexpr int kCallTimeoutMs = 1000;

  // `busAddress`: a D-Bus address; empty means the system bus
  // (DBUS_SYSTEM_BUS_ADDRESS, else unix:path=/run/dbus/system_bus_socket).
  explicit Connectivity(std::string busAddress = {});
  ~Connectivity();
  Connectivity(const Connectivity&) = delete;
  Connectivity& operator=(const Connectivity&) = delete;

  ConnectivityAnswer Check();

 private:
  bool Connect(std::string& why);
  void Disconnect();

  std::mutex mutex_;
  std::string address_;
  DBusConnection* connection_ = nullptr;
};

}  // namespace platform
