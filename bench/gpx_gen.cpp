// gpx_gen: writes a large GPX 1.0 file for the loading benchmark: 10 000
// waypoints with names, descriptions and symbols, and one track of about a
// million points with elevations and times (about 100 MB), the same bytes on
// every run.
//   gpx_gen FILE [TRACK_POINTS]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Time(char* out, std::size_t size, long long second) {
  const long long day = second / 86400, s = second % 86400;
  std::snprintf(out, size, "2026-%02lld-%02lldT%02lld:%02lld:%02lldZ", 6 + day / 28, 1 + day % 28, s / 3600,
                s / 60 % 60, s % 60);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc < 2 ? stderr : stdout, "usage: gpx_gen FILE [TRACK_POINTS]  (default 1000000)\n");
    return argc < 2 ? 2 : 0;
  }
  const long points = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1'000'000;
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f || points < 1) {
    std::perror(argv[1]);
    return 1;
  }
  std::fputs("<?xml version=\"1.0\"?>\n<gpx version=\"1.0\" creator=\"gpx_gen\" "
             "xmlns=\"http://www.topografix.com/GPX/1/0\">\n<name><![CDATA[Benchmark]]></name>\n", f);
  char time[32];
  for (int i = 0; i < 10'000; ++i) {
    const double lat = 53.4 + 0.3 * std::sin(i * 0.37), lon = 9.8 + 0.4 * std::cos(i * 0.23);
    Time(time, sizeof time, 36'000 + i * 7LL);
    std::fprintf(f,
                 "<wpt lat=\"%.7f\" lon=\"%.7f\">\n<ele>%.1f</ele>\n<time>%s</time>\n<name><![CDATA[Point %d]]></name>\n"
                 "<desc><![CDATA[Waypoint number %d of the benchmark]]></desc>\n<sym><![CDATA[Default]]></sym>\n</wpt>\n",
                 lat, lon, 10 + (i % 50) * 0.5, time, i, i);
  }
  std::fputs("<trk>\n<name><![CDATA[Long drive]]></name>\n<trkseg>\n", f);
  double lat = 53.55, lon = 10.0;
  for (long i = 0; i < points; ++i) {
    lat += 0.00003 * std::sin(i * 0.001);
    lon += 0.00004 * std::cos(i * 0.0007);
    Time(time, sizeof time, 30'000 + i);
    std::fprintf(f, "<trkpt lat=\"%.7f\" lon=\"%.7f\">\n<ele>%.1f</ele>\n<time>%s</time>\n</trkpt>\n", lat, lon,
                 20 + 15 * std::sin(i * 0.0013), time);
  }
  std::fputs("</trkseg>\n</trk>\n</gpx>\n", f);
  if (std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
