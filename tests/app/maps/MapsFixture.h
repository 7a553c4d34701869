// A temporary maps folder with the program's log, the test grids and a
// hiddenMaps list, for the map calibration and catalogue tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/core/SettingsStore.h"
#include "app/maps/MapImage.h"
#include "tests/app/maps/TestGrids.h"
#include "tests/support/LoggedFolder.h"

namespace testing_support {

inline constexpr double kDeg = 3.14159265358979323846 / 180;

class MapsFolderTest : public LoggedFolderTest {
 protected:
  void SetUp() override {
    LoggedFolderTest::SetUp();
    maps_ = folder_ / "maps";
    std::filesystem::create_directories(maps_);
  }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream out(maps_ / name, std::ios::binary);
    out << text;
  }
  std::string Read(const std::string& name) const { return ReadBytes(maps_ / name); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(maps_ / name); }

  // A map of `name` whose calibration file gives only its size.
  std::unique_ptr<rovana::maps::MapImage> SizedMap(const std::string& name, int width, int height) {
    std::string stem = name.substr(0, name.size() - 3);
    Write(name, "");
    Write(stem + "txt", "width = " + std::to_string(width) + "\nheight = " + std::to_string(height) + "\n");
    return Open(name);
  }
  std::unique_ptr<rovana::maps::MapImage> Open(const std::string& name) {
    return std::make_unique<rovana::maps::MapImage>(env_, maps_.string(), name);
  }

  std::filesystem::path maps_;
  TestGrids grids_;
  rovana::TextList hidden_;
  rovana::maps::MapEnvironment env_{grids_, hidden_, {}};
};

}  // namespace testing_support
