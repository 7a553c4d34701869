// demo-maps: draws the demo's raster maps of the made-up town around the
// demo drive, each with its calibration file (run from the checkout).
//   demo-maps [--out FOLDER] [--help]
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "tools/demo-maps/DemoMaps.h"

int main(int argc, char** argv) {
  std::filesystem::path out = "data/demo/examples";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf(
          "usage: demo-maps [--out FOLDER]\n"
          "Draws three synthetic maps of the area around the demo drive (the Aussenalster in\n"
          "Hamburg) at different scales, as PNG pictures with their calibration files (.txt):\n"
          "the same pixels on every run on the same machine.\n"
          "  --out FOLDER  where to write them (default data/demo/examples)\n");
      return 0;
    }
    if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else {
      std::fprintf(stderr, "demo-maps: unknown argument %s (try --help)\n", argv[i]);
      return 2;
    }
  }
  const std::string problem = demomaps::WriteDemoMaps(out);
  if (!problem.empty()) {
    std::fprintf(stderr, "demo-maps: %s\n", problem.c_str());
    return 1;
  }
  for (const demomaps::MapSheet& sheet : demomaps::DemoMapSheets())
    std::printf("%s\n%s\n", (out / sheet.fileName).c_str(), (out / demomaps::CalibrationName(sheet)).c_str());
  return 0;
}
