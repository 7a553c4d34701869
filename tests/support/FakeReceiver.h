// A fake GPS receiver on a pseudo-terminal, and the NMEA helpers the tests of
// the serial and the gpsd source share: whole sentences from their bodies, and
// the sentences a PortLink delivers.
//
// A pseudo-terminal carries bytes at any line speed. A fake receiver with a
// rate of its own therefore "speaks" only while the line is set to that rate
// (read back with tcgetattr on the master), as a real one would be heard only
// then. Every fake line starts raw at 9600 baud, so a test can tell whether
// anything ever configured the port.
#pragma once

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "lib/nmea/NmeaSentence.h"
#include "lib/nmea/PortLink.h"

namespace testing_support {

inline long long MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// "$" + `body` + "*" + its checksum (two upper-case hex digits) + CR LF.
inline std::string Nmea(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFFu);
  return "$" + body + tail;
}

// A sentence as PortLink hands it out: without its CR LF.
inline std::string WithoutLineEnd(const std::string& line) { return line.substr(0, line.find('\r')); }

// Two sentences with good checksums, as a receiver sends them.
inline const std::string kGga = Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
inline const std::string kRmc = Nmea("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");

// The text of a sentence object; empty if it is not an NmeaSentence.
inline std::string Text(const com::ComPtr<com::IDispatch>& sentence) {
  zenolith::NmeaSentence* s = zenolith::NmeaSentence::From(sentence.get());
  return s ? s->Text() : std::string();
}

// Takes up to `count` sentences from `link`, waiting at most `timeoutMs` for them.
inline std::vector<std::string> Collect(zenolith::PortLink& link, std::size_t count, std::uint32_t timeoutMs) {
  std::vector<std::string> texts;
  const auto start = std::chrono::steady_clock::now();
  while (texts.size() < count && MsSince(start) < timeoutMs) {
    while (texts.size() < count) {
      com::ComPtr<com::IDispatch> s = link.TakeSentence();
      if (!s) break;
      texts.push_back(Text(s));
    }
    if (texts.size() < count) link.dataEvent().Wait(50);
  }
  return texts;
}

// The receiver: the master side of a pseudo-terminal, whose slave() is the
// device a link or gpsd opens. Its thread looks at the line every 5 ms: it
// notes the line speed, keeps whatever was written to the device, and sends
// the next of its lines when one is due.
class FakeReceiver {
 public:
  static constexpr int kSpeakIntervalMs = 40;

  FakeReceiver() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) == 0) slave_ = name.data();
    termios tio{};
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(master_, TCSANOW, &tio);
    thread_ = std::thread([this] { Loop(); });
  }
  ~FakeReceiver() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) close(master_);
  }
  FakeReceiver(const FakeReceiver&) = delete;
  FakeReceiver& operator=(const FakeReceiver&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.empty(); }
  const std::string& slave() const { return slave_; }

  // Repeats `lines` one every kSpeakIntervalMs while the line is at `rate`
  // (0: at any rate).
  void Speak(std::vector<std::string> lines, speed_t rate) {
    {
      std::lock_guard lock(mutex_);
      lines_ = std::move(lines);
      rate_ = rate;
    }
    speaking_ = true;
  }
  void Silence() { speaking_ = false; }

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
  // Whether the line was ever seen at `speed`.
  bool Heard(speed_t speed) {
    std::lock_guard lock(mutex_);
    return seen_.count(speed) != 0;
  }
  // Whether anything was ever written to the device.
  bool heardBack() const { return heardBack_.load(); }

  void WriteRaw(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    [[maybe_unused]] ssize_t n = write(master_, bytes.data(), bytes.size());
  }
  // What was written to the device and not read yet, once there are `wanted`
  // bytes of it or `timeoutMs` has passed.
  std::string Read(std::size_t wanted, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (received_.size() >= wanted || MsSince(start) >= timeoutMs) return std::exchange(received_, {});
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

 private:
  void Loop() {
    std::size_t next = 0;
    auto lastWrite = std::chrono::steady_clock::now();
    while (!quit_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const speed_t speed = LineSpeed();
      std::lock_guard lock(mutex_);
      seen_.insert(speed);
      char buf[256];
      for (ssize_t n; (n = read(master_, buf, sizeof buf)) > 0;) {
        received_.append(buf, static_cast<std::size_t>(n));
        heardBack_ = true;
      }
      if (!speaking_ || lines_.empty() || (rate_ != 0 && speed != rate_) || MsSince(lastWrite) < kSpeakIntervalMs)
        continue;
      const std::string& line = lines_[next++ % lines_.size()];
      [[maybe_unused]] ssize_t n = write(master_, line.data(), line.size());
      lastWrite = std::chrono::steady_clock::now();
    }
  }

  int master_ = -1;
  std::string slave_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> speaking_{false};
  std::atomic<bool> heardBack_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  speed_t rate_ = 0;
  std::set<speed_t> seen_;
  std::string received_;
};

}  // namespace testing_support
