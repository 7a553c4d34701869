// A GPS receiver on a pseudo-terminal for the connection tests: the master
// side is the receiver, the slave path is the device registered in the
// serial port table as "COMn:". It sends what a test gives it (waiting while
// the terminal's buffer is full) and keeps whatever the program wrote to the
// device.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

namespace gps_testing {

inline long long MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// Waits up to `timeoutMs` for `done`, looking every 5 ms.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (MsSince(start) > timeoutMs) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// "$" + body + "*hh" with the body's checksum (upper-case hex), no line end.
inline std::string Nmea(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum & 0xFF);
  return "$" + std::string(body) + tail;
}

inline std::filesystem::path DataFolder() { return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "lib" / "nmea" / "data"; }

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

class PtyReceiver {
 public:
  PtyReceiver() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) == 0) slave_ = name.data();
    termios tio{};
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(master_, TCSANOW, &tio);
    // Keeps the slave side alive (and its path present) until the test says
    // otherwise, so the program's open and close do not hang the line up.
    keeper_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  ~PtyReceiver() { Unplug(); }
  PtyReceiver(const PtyReceiver&) = delete;
  PtyReceiver& operator=(const PtyReceiver&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& slave() const { return slave_; }

  // Sends all of `bytes`, waiting while the terminal is full; false after
  // `timeoutMs` or when the receiver was unplugged.
  bool Send(std::string_view bytes, int timeoutMs = 5000) {
    const auto start = std::chrono::steady_clock::now();
    while (!bytes.empty()) {
      std::lock_guard lock(mutex_);
      if (master_ < 0) return false;
      const ssize_t n = write(master_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (MsSince(start) > timeoutMs) return false;
      DrainLocked();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  // What the program wrote to the device so far (and not taken yet).
  std::string Heard() {
    std::lock_guard lock(mutex_);
    DrainLocked();
    return std::exchange(heard_, {});
  }

  speed_t LineSpeed() const {
    termios tio{};
    tcgetattr(master_, &tio);
    return cfgetospeed(&tio);
  }
  void SetLineSpeed(speed_t speed) {
    termios tio{};
    tcgetattr(master_, &tio);
    cfsetspeed(&tio, speed);
    tcsetattr(master_, TCSANOW, &tio);
  }

  // The receiver goes away: the terminal closes and its device vanishes.
  void Unplug() {
    std::lock_guard lock(mutex_);
    if (keeper_ >= 0) close(keeper_);
    keeper_ = -1;
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  void DrainLocked() {
    if (master_ < 0) return;
    char buf[512];
    for (ssize_t n; (n = read(master_, buf, sizeof buf)) > 0;) heard_.append(buf, static_cast<std::size_t>(n));
  }

  int master_ = -1;
  int keeper_ = -1;
  std::string slave_;
  std::mutex mutex_;
  std::string heard_;
};

}  // namespace gps_testing
