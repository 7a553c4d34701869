// A temporary folder with a registry file of its own, set as
// ZENOLITH_REGISTRY for the life of the object, so tests never touch a
// user's real registry.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testing_support {

class TempRegistry {
 public:
  TempRegistry() {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() / ("zen-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(folder_);
    file_ = folder_ / "registry";
    if (const char* old = std::getenv("ZENOLITH_REGISTRY")) old_ = old;
    setenv("ZENOLITH_REGISTRY", file_.c_str(), 1);
  }
  ~TempRegistry() {
    if (old_.empty())
      unsetenv("ZENOLITH_REGISTRY");
    else
      setenv("ZENOLITH_REGISTRY", old_.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path folder_, file_;
  std::string old_;
};

}  // namespace testing_support
