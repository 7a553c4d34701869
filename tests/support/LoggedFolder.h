// A test fixture with a fresh temporary folder whose "log.txt" is the
// program's log for the test: opened in SetUp, closed and removed (with the
// folder) in TearDown.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/Log.h"

namespace testing_support {

class LoggedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() / ("rovana-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(folder_);
    rovana::OpenLog(folder_ / "log.txt");
  }
  void TearDown() override {
    rovana::CloseLog();
    std::error_code ec;
    // A test may have taken the write permission away to make saving fail.
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(folder_, ec);
  }

  static std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::string LogText() const { return ReadBytes(folder_ / "log.txt"); }
  // The names in the folder besides the log, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder_))
      if (e.path().filename() != "log.txt") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder_;
};

}  // namespace testing_support
