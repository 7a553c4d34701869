// Runs a program with arguments and standard input, and collects its exit
// status and output, for tests of command-line tools.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

// The lines of a program's output, without their line feeds.
std::vector<std::string> SplitLines(const std::string& text);

// `program` is run directly (no shell) with the current environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

}  // namespace testing_support
