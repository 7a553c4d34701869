// Owns org.freedesktop.NetworkManager on a test bus and answers
// org.freedesktop.DBus.Properties.Get for "Connectivity" and "State" with the
// values set here; a negative value makes that property an error (as an old
// NetworkManager without it would answer).
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace testing_support {

class FakeNetworkManager {
 public:
  explicit FakeNetworkManager(const std::string& address);
  ~FakeNetworkManager();
  FakeNetworkManager(const FakeNetworkManager&) = delete;
  FakeNetworkManager& operator=(const FakeNetworkManager&) = delete;

  bool serving() const { return serving_; }
  void Set(int connectivity, int state) {
    connectivity_ = connectivity;
    state_ = state;
  }
  int calls() const { return calls_.load(); }

 private:
  void Serve();

  void* connection_ = nullptr;  // DBusConnection*
  bool serving_ = false;
  std::atomic<int> connectivity_{4};
  std::atomic<int> state_{70};
  std::atomic<int> calls_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace testing_support
