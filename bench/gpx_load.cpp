// gpx_load: loads every GPX file of a folder the way Rovana does at start-up
// (Waypoints::LoadAll with the application's statistics factory, the folder
// as both data folders) and reports what it cost: the points stored, wall
// and CPU time of the loading, peak resident memory, and the memory each
// stored point took ((peak RSS - RSS before loading) / points).
//   gpx_load FOLDER
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "app/core/SettingsStore.h"
#include "app/processing/AnalyzerStatistics.h"
#include "app/waypoints/Waypoints.h"

namespace {

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Resident bytes now, from /proc/self/statm (0 when it cannot be read).
long long CurrentRss() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long long size = 0, resident = 0;
  const int read = std::fscanf(f, "%lld %lld", &size, &resident);
  std::fclose(f);
  return read == 2 ? resident * ::sysconf(_SC_PAGESIZE) : 0;
}

long long PeakRss() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<long long>(usage.ru_maxrss) * 1024;  // Linux reports kilobytes
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc != 2 ? stderr : stdout, "usage: gpx_load FOLDER  (loads FOLDER/*.gpx as Rovana does)\n");
    return argc != 2 ? 2 : 0;
  }
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(argv[1], error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    std::fprintf(stderr, "gpx_load: %s is no folder\n", argv[1]);
    return 1;
  }
  rovana::SettingsStore settings(folder);
  settings.primaryDataPath = folder.string();
  settings.secondaryDataPath = folder.string();
  rovana::WaypointsConfig config;
  config.statisticsFactory = rovana::MakeAnalyzerStatistics;
  rovana::Waypoints waypoints(settings, config);

  const long long rssBefore = CurrentRss();
  const double wallStart = Seconds(CLOCK_MONOTONIC), cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  const int files = waypoints.LoadAll();
  const double wall = Seconds(CLOCK_MONOTONIC) - wallStart, cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  const long long peak = PeakRss();

  unsigned long long waypointsCount = 0, trackPoints = 0;
  int collections = 0;
  for (rovana::POIs* c : waypoints.Collections()) {
    ++collections;
    (c->kind() == rovana::PoisKind::POIs ? waypointsCount : trackPoints) += c->count();
  }
  const unsigned long long points = waypointsCount + trackPoints;
  std::printf("gpx_load: %d files, %d collections, %llu points (%llu waypoints, %llu route and track points)\n",
              files, collections, points, waypointsCount, trackPoints);
  std::printf("gpx_load: %.3f s wall, %.3f s CPU; peak RSS %.1f MB, %.1f MB before loading\n", wall, cpu,
              static_cast<double>(peak) / 1e6, static_cast<double>(rssBefore) / 1e6);
  std::printf("gpx_load: %.1f bytes per stored point\n",
              points ? static_cast<double>(peak - rssBefore) / static_cast<double>(points) : 0.0);
  return points ? 0 : 1;
}
