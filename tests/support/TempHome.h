// A temporary program folder with the shipped language files, and the
// settings store and language table of a run in it, over a registry of its
// own (the store reads the GPS driver key from it).
#pragma once

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "tests/support/TempRegistry.h"

namespace testing_support {

inline std::filesystem::path SourceDir() {
  // tests/support/TempHome.h -> the checkout
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

class TempHome {
 public:
  TempHome() {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() / ("rovana-ui-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(folder_ / "Language");
    for (const char* name : {"English.txt", "German.txt"})
      std::filesystem::copy_file(SourceDir() / "data" / "Language" / name, folder_ / "Language" / name);
    settings = std::make_unique<rovana::SettingsStore>(folder_);
    language = std::make_unique<rovana::LanguageTable>(folder_);
    language->Load("English");
  }
  ~TempHome() {
    language.reset();
    settings.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::filesystem::path& folder() const { return folder_; }

  std::unique_ptr<rovana::SettingsStore> settings;
  std::unique_ptr<rovana::LanguageTable> language;

 private:
  TempRegistry registry_;  // first in, last out
  std::filesystem::path folder_;
};

}  // namespace testing_support
