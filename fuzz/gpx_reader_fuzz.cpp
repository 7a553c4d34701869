// libFuzzer target: arbitrary bytes as a GPX file, loaded the way Rovana
// loads its data folder. Besides memory safety it checks what a loaded
// collection must look like: coordinates within their ranges, attachment
// names that are bare file names, and counts that match the points.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/core/SettingsStore.h"
#include "app/waypoints/POIs.h"
#include "app/waypoints/Waypoints.h"
#include "fuzz/FuzzCheck.h"

namespace {

constexpr const char* kTarget = "gpx_reader_fuzz";

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("gpx-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(f);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path file = Folder() / "input.gpx";
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                               static_cast<std::streamsize>(size));
  rovana::SettingsStore settings(Folder());
  settings.primaryDataPath = Folder().string();
  settings.secondaryDataPath = Folder().string();
  rovana::Waypoints waypoints(settings);
  fuzz::Check(waypoints.LoadAll() == 1, kTarget, "the file was not found");
  for (const auto& gpx : waypoints.files())
    for (int number = 0;; ++number) {
      rovana::POIs* pois = waypoints.Find(*gpx, number);
      if (!pois) break;
      const auto points = pois->Points();
      fuzz::Check(points.size() == pois->count(), kTarget, "count and points disagree");
      for (const rovana::GeoPoint& p : points) {
        fuzz::Check(std::abs(p.latitude()) <= 1.5707963267948966 && std::abs(p.longitude()) <= 3.141592653589793,
                    kTarget, "a coordinate out of range");
        const std::string& wav = p.text(rovana::PointText::Wav);
        fuzz::Check(wav.find('/') == std::string::npos && wav != ".." && wav != ".", kTarget, "a wav name that is a path");
      }
    }
  return 0;
}
