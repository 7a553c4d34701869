// The road of a fix in Rovana at full speed: GPSThread replays a receiver's
// log with no pause between its cycles (15 lines each), and every fix goes
// through the decoder, both analyzers and the position filter, exactly as in
// a run. One iteration replays the whole log (the demo drive, five laps, with
// satellites every fifth second); the rate is fixes per second. A run paces
// this work at 15 lines per 500 ms, so the cost per fix must stay far below
// that cycle.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "app/core/SettingsStore.h"
#include "app/gps/GpsConnection.h"
#include "tools/nmea-drive/DriveLog.h"

namespace {

namespace fs = std::filesystem;

struct Replay {
  fs::path folder;
  std::uint32_t fixes = 0;  // RMC sentences in the log
  Replay() {
    folder = fs::temp_directory_path() / ("replay-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    nmeadrive::DriveOptions options;
    options.laps = 5;
    const std::string log = nmeadrive::MakeDriveLog(options);
    std::ofstream(folder / "drive.pgl", std::ios::binary) << log;
    for (std::size_t at = log.find("$GPRMC"); at != std::string::npos; at = log.find("$GPRMC", at + 1)) ++fixes;
  }
  ~Replay() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

void BM_WholeReplay(benchmark::State& state) {
  static const Replay replay;
  rovana::SettingsStore settings(replay.folder);
  settings.gpsName = (replay.folder / "drive.pgl").string();
  settings.gpsEnabled = true;
  settings.gpsLogging.clear();
  std::uint64_t fixes = 0;
  for (auto _ : state) {
    std::atomic<bool> quit{false};
    rovana::GpsConnection connection(settings, quit, rovana::GPSThread::Timings{0, 0, 4000});
    connection.Start();
    // The start position, then one fix per RMC (and the first GGA).
    while (connection.fixes() < replay.fixes + 1) std::this_thread::sleep_for(std::chrono::microseconds(200));
    quit = true;
    fixes += replay.fixes;
    benchmark::DoNotOptimize(connection.live().Distance(false));
  }
  state.counters["fixes/s"] = benchmark::Counter(static_cast<double>(fixes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholeReplay)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
