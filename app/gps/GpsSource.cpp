#include "app/gps/GpsSource.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "app/core/Log.h"
#include "platform/gpsd/Channel.h"
#include "platform/serial/PortTable.h"
#include "platform/serial/SerialPort.h"

namespace rovana {

namespace {

// "COMn:" / "GPDn:" with `prefix`, any case, one or more digits.
bool IsPortName(std::string_view name, std::string_view prefix) {
  if (name.size() < prefix.size() + 2 || name.back() != ':') return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
  for (std::size_t i = prefix.size(); i + 1 < name.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

GpsSourceKind SourceKindOf(std::string_view name) {
  if (name.empty()) return GpsSourceKind::None;
  if (IsPortName(name, "COM")) return GpsSourceKind::Serial;
  if (IsPortName(name, "GPD")) return GpsSourceKind::Gpsd;
  return GpsSourceKind::File;
}

std::uint8_t NmeaChecksum(std::string_view text) {
  std::uint8_t sum = 0;
  for (char c : text) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

GpsSource::GpsSource() = default;

GpsSource::~GpsSource() {
  Close();
  CloseLog();
}

int GpsSource::Open(const std::string& name, int baud) {
  Close();
  const GpsSourceKind kind = SourceKindOf(name);
  std::string reason;
  switch (kind) {
    case GpsSourceKind::None:
      reason = "no source named";
      break;
    case GpsSourceKind::File: {
      std::error_code ec;
      if (std::filesystem::is_directory(name, ec)) {
        reason = "a folder, not a log file";
        break;
      }
      file_ = std::fopen(name.c_str(), "rb");
      if (file_ == nullptr) reason = std::strerror(errno);
      break;
    }
    case GpsSourceKind::Serial: {
      auto port = std::make_unique<platform::SerialPort>(platform::PortNumber(Upper(name)));
      platform::SerialSettings s;
      s.baudRate = baud;  // 0 keeps the line's speed
      s.dataBits = 8;
      s.parity = 0;
      s.stopBits = 0;
      s.handshake = 0;
      s.rtsOn = true;
      s.dtrOn = true;
      s.timeoutMode = 1;
      s.writeTimeoutConstant = static_cast<std::int32_t>(kWriteTimeoutMs);
      s.deliverWriteCompletions = false;
      s.watchModemLines = false;
      if (!port->SetSettings(s) || !port->Open()) {
        reason = port->error().message;
        break;
      }
      port->Purge(true, true);
      serial_ = std::move(port);
      readOnly_ = baud == 0;
      break;
    }
    case GpsSourceKind::Gpsd: {
      auto channel = std::make_unique<gpsd::Channel>();
      if (!channel->Connect()) {
        reason = "gpsd at " + channel->address().host + ":" + channel->address().port + ": " +
                 std::strerror(channel->lastError());
        break;
      }
      gpsd_ = std::move(channel);
      break;
    }
  }
  if (!reason.empty()) {
    LogMessage("Could not open GPS connection to \"%s\" at %d baud (error %d)", name.c_str(), baud, 1);
    LogMessage("GPS connection: %s", reason.c_str());
    Close();
    return 1;
  }
  kind_ = kind;
  name_ = name;
  fill_ = position_ = 0;
  LogMessage("Opened GPS connection to \"%s\" at %d baud", name.c_str(), baud);
  return 0;
}

void GpsSource::Close() {
  if (serial_) serial_->Close();
  serial_.reset();
  if (gpsd_) gpsd_->Close();
  gpsd_.reset();
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  kind_ = GpsSourceKind::None;
  readOnly_ = false;
  fill_ = position_ = 0;
}

bool GpsSource::Refill() {
  fill_ = position_ = 0;
  auto take = [this](std::optional<std::vector<std::uint8_t>> chunk) {
    if (!chunk) return;
    fill_ = std::min(chunk->size(), sizeof buffer_);
    std::memcpy(buffer_, chunk->data(), fill_);
  };
  switch (kind_) {
    case GpsSourceKind::Serial:
      if (serial_->errorEvent().IsSet() || !serial_->IsOpen()) return false;
      take(serial_->TakeReceived());
      return true;
    case GpsSourceKind::Gpsd:
      take(gpsd_->TakeReceived());
      // What gpsd sent before it hung up is still read first.
      return fill_ > 0 || gpsd_->IsConnected();
    case GpsSourceKind::File:
      std::clearerr(file_);  // a log that is still growing goes on being read
      fill_ = std::fread(buffer_, 1, sizeof buffer_, file_);
      return true;
    case GpsSourceKind::None:
      return true;
  }
  return true;
}

GpsSource::LineResult GpsSource::ReadLine(char* buffer, std::size_t size) {
  LineResult result;
  if (buffer == nullptr || size == 0) return result;
  std::size_t copied = 0;
  while (copied + 1 < size) {
    if (position_ >= fill_) {
      if (!Refill()) {
        result.status = kReadError;
        break;
      }
      if (fill_ == 0) break;
    }
    const char c = buffer_[position_++];
    ++result.consumed;
    if (log_ != nullptr) std::fputc(static_cast<unsigned char>(c), log_);
    if (c == '\r' || c == '\n') break;
    buffer[copied++] = c;
  }
  buffer[copied] = '\0';
  result.length = copied;
  if (log_ != nullptr && result.consumed > 0) std::fflush(log_);
  return result;
}

int GpsSource::Send(std::string_view text, bool addChecksum) {
  if (kind_ == GpsSourceKind::File || kind_ == GpsSourceKind::Gpsd) return kOk;
  std::string out;
  if (addChecksum) {
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", NmeaChecksum(text));
    out = "$" + std::string(text) + tail;
  } else {
    out = std::string(text);
  }
  const std::string shown(text);
  int status = kOk;
  if (kind_ != GpsSourceKind::Serial || readOnly_ || !serial_->IsOpen() || serial_->errorEvent().IsSet()) {
    status = kWriteFailed;
  } else {
    serial_->Write(reinterpret_cast<const std::uint8_t*>(out.data()), out.size());
  }
  if (status == kOk)
    LogMessage("GPS send ok (%s)", shown.c_str());
  else
    LogMessage("GPS send error %d (%s)", status, shown.c_str());
  return status;
}

bool GpsSource::OpenLog(const std::filesystem::path& path) {
  CloseLog();
  log_ = std::fopen(path.c_str(), "wb");
  if (log_ == nullptr) {
    LogMessage("Could not create the GPS log \"%s\": %s", path.c_str(), std::strerror(errno));
    return false;
  }
  LogMessage("Logging GPS data to \"%s\"", path.c_str());
  return true;
}

void GpsSource::CloseLog() {
  if (log_ != nullptr) std::fclose(log_);
  log_ = nullptr;
}

}  // namespace rovana
