// PROJ's cs2cs as an independent oracle for the geodesy tests: whether it is
// installed, and its output for a batch of points (one point a line).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testing_support {

inline bool HaveCs2cs() { return std::system("command -v cs2cs >/dev/null 2>&1") == 0; }

// Runs `cs2cs ARGS -f FORMAT` on `input`; the output lines (empty on failure).
inline std::vector<std::string> RunCs2cs(const std::string& args, const std::string& input,
                                         const std::string& format = "%.12f") {
  char path[] = "/tmp/zen_cs2cs_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {};
  const ssize_t written = write(fd, input.data(), input.size());
  close(fd);
  std::vector<std::string> lines;
  if (written == static_cast<ssize_t>(input.size())) {
    const std::string command = "cs2cs " + args + " -f " + format + " < " + path + " 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[256];
      while (std::fgets(buffer, sizeof buffer, pipe)) lines.emplace_back(buffer);
      pclose(pipe);
    }
  }
  unlink(path);
  return lines;
}

}  // namespace testing_support
