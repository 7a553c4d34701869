// The server's log: one line per request or problem, each starting with the
// UTC time ("2026-12-09T10:15:00Z "), appended to a file or written to
// standard error. Safe from any thread; every line is flushed.
#pragma once

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

namespace rovana::server {

class ServerLog {
 public:
  ServerLog() = default;
  ~ServerLog();
  ServerLog(const ServerLog&) = delete;
  ServerLog& operator=(const ServerLog&) = delete;

  // Appends to `file` from now on; false (and standard error kept) when it
  // cannot be opened.
  bool Open(const std::filesystem::path& file);
  // Line breaks and other control bytes in `line` are written as "\xHH".
  void Write(std::string_view line);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

}  // namespace rovana::server
