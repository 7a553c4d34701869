// gpsd::Channel: a client's connection to gpsd, the Linux GPS multiplexer,
// over a TCP socket. Connect sends ?WATCH={"enable":true,"nmea":true} and
// waits for gpsd's VERSION report; a reader thread then queues the raw NMEA
// bytes gpsd relays, in chunks of at most 256 bytes, with a received event and
// an error event that a reader waits on exactly like those of a serial port.
// Both the library's port link and the application's GPS connection read
// "GPDn:" through it.
//
// gpsd also sends its JSON reports (VERSION, DEVICES, WATCH, DEVICE, ...),
// each on a line of its own that begins with '{'. They are dropped here and
// never reach the line buffer: gpsd relays a receiver's sentence with whatever
// line end it came with, and a sentence that ended in a bare line feed would
// run on into the next JSON line up to that line's "\r\n" and be accepted
// together with it (its checksum still matches).
//
// All calls may come from any thread; Connect and Close from one at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sync/Event.h"

namespace gpsd {

struct Address {
  std::string host;  // a name or a literal address (IPv6 without brackets)
  std::string port;  // decimal service port
};

class Channel {
 public:
  static constexpr std::uint32_t kConnectTimeoutMs = 500;  // for the TCP connection, and again for gpsd's reply
  static constexpr std::size_t kChunkSize = 256;           // bytes per queued chunk at most
  static constexpr std::size_t kMaxQueuedChunks = 256;     // the oldest chunk goes when the link falls behind

  // $ZENOLITH_GPSD as "host:port" or "[v6-address]:port" when set and well
  // formed (port 1 to 65535), else 127.0.0.1:2947.
  static Address AddressFromEnvironment();
  static Address ParseAddress(const char* text);  // the same rule for any text; null gives the default

  Channel();  // the address from the environment, read now
  explicit Channel(Address address);
  ~Channel();  // closes
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  const Address& address() const { return address_; }

  // Connects, asks for raw NMEA and waits for gpsd's VERSION report, each step
  // within kConnectTimeoutMs; then starts the reader thread. True while
  // connected already. False when gpsd does not answer in time (or Cancel was
  // called): nothing is left running and lastError() holds the system error
  // number (ETIMEDOUT for silence, EPROTO when the peer is not gpsd).
  bool Connect();
  // Ends the reader thread, closes the socket and empties the queue. The
  // error event is not set by a requested close.
  void Close();
  bool IsConnected() const { return connected_.load(); }

  // Makes a running Connect return false at once, and every later one; for
  // the owner that must stop without waiting out a time-out.
  void Cancel();

  // One received chunk, or nothing.
  std::optional<std::vector<std::uint8_t>> TakeReceived();
  platform::Event& receivedEvent() { return received_; }  // auto-reset, set after each queued chunk
  platform::Event& errorEvent() { return error_; }        // auto-reset, set when gpsd hung up or a read failed
  int lastError() const { return lastError_.load(); }

 private:
  bool Handshake(int fd);
  void ReadThread(int fd);
  // Queues `count` bytes after dropping gpsd's JSON lines.
  void Deliver(const char* bytes, std::size_t count);
  bool WaitFd(int fd, short events, std::uint32_t timeoutMs);

  Address address_;
  int fd_ = -1;
  int wakeFd_ = -1;  // eventfd: wakes the reader thread and an ongoing Connect
  std::thread reader_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<int> lastError_{0};

  // The JSON filter's state; touched by Connect before the reader starts and
  // by the reader afterwards only.
  bool atLineStart_ = true;
  bool inJsonLine_ = false;

  std::mutex queueMutex_;
  std::deque<std::vector<std::uint8_t>> queue_;
  platform::Event received_{false};
  platform::Event error_{false};
};

}  // namespace gpsd
