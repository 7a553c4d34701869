// nmea-drive: writes a made-up drive as raw NMEA (a receiver's output, as a
// ".pgl" log records it) to standard output or a file.
//   nmea-drive [--laps N] [--out FILE] [--help]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/nmea-drive/DriveLog.h"

int main(int argc, char** argv) {
  nmeadrive::DriveOptions options;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf(
          "usage: nmea-drive [--laps N] [--out FILE]\n"
          "Writes a drive around the Aussenalster in Hamburg as a GPS receiver's NMEA output\n"
          "(RMC and GGA every second, GSA and GSV every fifth, CR LF line ends): the same\n"
          "bytes on every run. Rovana replays such a file when its GPS source is the file.\n"
          "  --laps N    times around the lake (default 1: about 5 km in 13 minutes)\n"
          "  --out FILE  write to FILE instead of standard output\n");
      return 0;
    }
    if (arg == "--laps" && i + 1 < argc) {
      char* end = nullptr;
      const long laps = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || laps < 1 || laps > 20) {
        std::fprintf(stderr, "nmea-drive: --laps wants a number from 1 to 20\n");
        return 2;
      }
      options.laps = static_cast<int>(laps);
    } else if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else {
      std::fprintf(stderr, "nmea-drive: unknown argument %s (try --help)\n", argv[i]);
      return 2;
    }
  }
  const std::string log = nmeadrive::MakeDriveLog(options);
  std::FILE* file = out ? std::fopen(out, "wb") : stdout;
  if (!file) {
    std::perror(out);
    return 1;
  }
  const bool written = std::fwrite(log.data(), 1, log.size(), file) == log.size();
  const bool closed = out ? std::fclose(file) == 0 : std::fflush(file) == 0;
  if (!written || !closed) {
    std::fprintf(stderr, "nmea-drive: cannot write %s\n", out ? out : "standard output");
    return 1;
  }
  return 0;
}
