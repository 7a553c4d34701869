// GpsSource: where GPSThread's bytes come from, read line by line.
//
// Three kinds of name:
//   "COMn:"  a serial port of the port table (platform/serial); baud 0 leaves
//            the line's speed as it is and opens the port for reading only
//            (nothing is ever written to it then);
//   "GPDn:"  gpsd, the Linux GPS multiplexer (platform/gpsd); read only, the
//            number is not used (gpsd serves every receiver it knows);
//   else     a path of a recorded log, replayed byte for byte.
// Names are matched without regard to case ("com4:" is COM4:).
//
// The raw log: when one is open, every byte taken from the source is written
// to it unchanged and the log is flushed after each line, so a ".pgl" file is
// exactly the received byte stream and replays as it came.
//
// One thread (GPSThread) uses the object; nothing here is locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace platform {
class SerialPort;
}
namespace gpsd {
class Channel;
}

namespace rovana {

enum class GpsSourceKind { None, Serial, Gpsd, File };

// The kind a name gives: Serial for "COMn:", Gpsd for "GPDn:" (n one or more
// digits, any case), None for an empty name, File for anything else.
GpsSourceKind SourceKindOf(std::string_view name);

// XOR of the characters of `text`, for "$text*hh".
std::uint8_t NmeaChecksum(std::string_view text);

class GpsSource {
 public:
  static constexpr std::size_t kLineSize = 128;        // caller's line buffer: 127 characters and a zero
  static constexpr std::size_t kReadBufferSize = 1024;
  static constexpr std::uint32_t kWriteTimeoutMs = 2000;

  // read-line and send statuses
  static constexpr int kOk = 0;
  static constexpr int kReadError = 5;
  static constexpr int kWriteFailed = 6;
  static constexpr int kWriteShort = 8;

  GpsSource();
  ~GpsSource();  // closes the source and the log
  GpsSource(const GpsSource&) = delete;
  GpsSource& operator=(const GpsSource&) = delete;

  // 0 on success, 1 on failure; logs either way ("Opened GPS connection to
  // "%s" at %d baud" / "Could not open GPS connection to "%s" at %d baud
  // (error %d)"). An open source is closed first.
  int Open(const std::string& name, int baud);
  void Close();
  bool IsOpen() const { return kind_ != GpsSourceKind::None; }
  GpsSourceKind kind() const { return kind_; }
  bool IsDevice() const { return kind_ == GpsSourceKind::Serial || kind_ == GpsSourceKind::Gpsd; }

  struct LineResult {
    int status = kOk;          // kOk or kReadError
    std::size_t consumed = 0;  // bytes taken from the source, the line end included
    std::size_t length = 0;    // characters in the line (the zero is at buffer[length])
  };
  // Copies bytes into `buffer` up to a CR or LF (taken and replaced by the
  // zero), until size - 1 bytes are copied, or until the source has nothing
  // more right now. CR LF therefore gives a line and then an empty line
  // (consumed 1). A line cut short by the source's pause is what arrived so
  // far; the rest comes with the next read. A device that failed or hung up
  // gives kReadError. `size` must be at least 1.
  LineResult ReadLine(char* buffer, std::size_t size);

  // Sends `text` as it is, or with `addChecksum` as "$text*hh\r\n". Nothing
  // is sent to a file or to gpsd (status 0). 0 when all bytes were queued, 6
  // when the port is closed, failed or opened for reading only. Logged as
  // "GPS send ok (%s)" or "GPS send error %d (%s)".
  int Send(std::string_view text, bool addChecksum);

  // The raw log, created afresh (an existing file is emptied). False, with a
  // log line, when it cannot be created.
  bool OpenLog(const std::filesystem::path& path);
  void CloseLog();
  bool IsLogging() const { return log_ != nullptr; }

 private:
  bool Refill();  // false on a device failure; fill_ 0 when nothing came

  GpsSourceKind kind_ = GpsSourceKind::None;
  bool readOnly_ = false;
  std::unique_ptr<platform::SerialPort> serial_;
  std::unique_ptr<gpsd::Channel> gpsd_;
  std::FILE* file_ = nullptr;
  std::FILE* log_ = nullptr;
  char buffer_[kReadBufferSize] = {};
  std::size_t fill_ = 0;
  std::size_t position_ = 0;
  std::string name_;
};

}  // namespace rovana
