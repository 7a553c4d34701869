#include "server/ServerLog.h"

#include <ctime>

namespace rovana::server {

ServerLog::~ServerLog() {
  if (file_) std::fclose(file_);
}

bool ServerLog::Open(const std::filesystem::path& file) {
  std::FILE* opened = std::fopen(file.c_str(), "a");
  if (!opened) return false;
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = opened;
  return true;
}

void ServerLog::Write(std::string_view line) {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ ", &utc);
  std::string text = stamp;
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    } else {
      text.push_back(c);
    }
  }
  text.push_back('\n');
  std::lock_guard lock(mutex_);
  std::FILE* out = file_ ? file_ : stderr;
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

}  // namespace rovana::server
