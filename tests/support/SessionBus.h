// A private D-Bus daemon for one test, and a screen saver service on it that
// answers the freedesktop screen-saver calls and counts them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace testing_support {

// Runs `dbus-daemon` with a minimal configuration in a temporary folder (no
// activatable services, so a missing service stays missing). address() is
// empty when the daemon could not be started.
class SessionBus {
 public:
  SessionBus();
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  const std::string& address() const { return address_; }

 private:
  std::filesystem::path folder_;
  std::string address_;
  pid_t pid_ = -1;
};

// Owns org.freedesktop.ScreenSaver on the bus at `address` and answers
// Inhibit (cookies 1, 2, ...), UnInhibit and SimulateActivity.
class FakeScreenSaver {
 public:
  explicit FakeScreenSaver(const std::string& address);
  ~FakeScreenSaver();
  FakeScreenSaver(const FakeScreenSaver&) = delete;
  FakeScreenSaver& operator=(const FakeScreenSaver&) = delete;

  bool serving() const { return serving_; }  // the name was taken

  struct Counts {
    int activity = 0;
    std::vector<std::uint32_t> inhibits;    // cookies handed out
    std::vector<std::uint32_t> uninhibits;  // cookies given back
    std::vector<std::string> applications;  // first argument of each Inhibit
  };
  Counts counts() const;

  // Waits up to `timeoutMs` until `done(counts())` holds.
  template <typename Done>
  bool WaitFor(Done done, int timeoutMs) const {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
      if (done(counts())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done(counts());
  }

 private:
  void Serve();

  void* connection_ = nullptr;  // DBusConnection*, kept out of the tests' includes
  bool serving_ = false;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  Counts counts_;
  std::thread thread_;
};

}  // namespace testing_support
