// demo-gpx: records the demo drive into the demo GPX file, as Rovana would
// record it, with landmarks and a route (run from the checkout).
//   demo-gpx [--drive FILE] [--out FILE] [--help]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "tools/demo-gpx/DemoGpx.h"

int main(int argc, char** argv) {
  std::string drive = "data/demo/drive.pgl";
  std::filesystem::path out = "data/demo/examples/Alster.gpx";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf(
          "usage: demo-gpx [--drive FILE] [--out FILE]\n"
          "Records a receiver's NMEA log as Rovana records a track (the default track filter),\n"
          "adds landmarks around the Aussenalster and a short route, and writes a GPX file:\n"
          "the same bytes on every run.\n"
          "  --drive FILE  the NMEA log (default data/demo/drive.pgl)\n"
          "  --out FILE    the GPX file (default data/demo/examples/Alster.gpx)\n");
      return 0;
    }
    if (arg == "--drive" && i + 1 < argc) {
      drive = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else {
      std::fprintf(stderr, "demo-gpx: unknown argument %s (try --help)\n", argv[i]);
      return 2;
    }
  }
  std::ifstream in(drive, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "demo-gpx: cannot read %s\n", drive.c_str());
    return 1;
  }
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (out.filename().empty()) {
    std::fprintf(stderr, "demo-gpx: --out wants a file name\n");
    return 2;
  }
  const std::filesystem::path folder = out.has_parent_path() ? out.parent_path() : std::filesystem::path(".");
  const std::string problem = demogpx::WriteDemoGpx(log, folder, out.filename().string());
  if (!problem.empty()) {
    std::fprintf(stderr, "demo-gpx: %s\n", problem.c_str());
    return 1;
  }
  return 0;
}
