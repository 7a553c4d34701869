// Runs a shell command line for tests that drive outside tools (xmllint,
// iconv, localedef), with standard output and error together.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testing_support {

struct ShellResult {
  int status = -1;  // exit status; -1 when the shell could not run or was killed
  std::string output;
};

inline ShellResult RunShell(const std::string& line) {
  ShellResult result;
  std::FILE* pipe = ::popen((line + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace testing_support
