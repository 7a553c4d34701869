// GPSThread: the application's GPS connection. Its thread opens the
// configured source (GpsSource.h), reads at most 15 lines every cycle, feeds
// them to the NmeaScanner and hands each new valid fix, through GpsFixHooks,
// to the trip statistics, the position filter, the track recorder and the
// buddy tracker.
//
// Cycle (every cycleMs, 500 by default): with GPS enabled and not paused, an
// *open* connection is opened (no name: *no source*; failure: *open failed*),
// a *reading* one is read; in every other case but *idle* with GPS disabled
// the source is closed, the thread waits reopenPauseMs (2000), resets the
// GpsData record and goes to *open* (GPS enabled) or *idle*, clearing the
// pause flag. A failure is thus retried every cycle plus pause (2.5 s).
//
// A device that sends nothing for dataTimeoutMs (4000), fails, or sends more
// than 255 bytes without a '$' (garbage, or the wrong line speed) ends in
// *read failed* and is reopened that way. A replayed file never times out:
// at its end the last fix stays and the thread reads nothing more.
//
// Receivers that send GGA but never RMC get the RMC part filled from the
// GGA, with speed and course from the distance and bearing between
// successive positions.
//
// Each fix is stamped with one consistent date and time: the RMC's UTC date
// and time turned into local time by the C library when an RMC came since
// the connection opened, else one reading of the local clock.
//
// Threads: the GPS thread is the only writer of the connection state and the
// GpsData record. Everything else here may be called from any thread (the
// UI thread sets the options; GPSThread never touches the settings store).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/gps/GpsData.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

// The settings the connection reads, as the UI thread hands them over.
struct GpsOptions {
  bool gpsEnabled = true;
  std::string gpsName;      // "COMn:", "GPDn:" or a log file path; empty: no source
  int baudRate = 0;         // 0 leaves the port's speed as it is
  bool configGPS = false;   // send the SiRF configuration after a device opens
  std::string gpsLogging;   // raw log path; empty: no log
  bool useGPSHeading = true;
  bool useGPSSpeed = true;
};

// Where a fix goes, called on the GPS thread in this order. Each may be
// empty. Angles of the point are radians; speeds km/h.
struct GpsFixHooks {
  // The live and trip statistics take the raw point; the flags ask them to
  // compute speed and heading themselves from successive points.
  std::function<void(const GeoPoint& point, double speedKmh, double courseRad, bool computeSpeed, bool computeHeading)>
      analyzers;
  // Called before `filter` when the position was not measured (the start
  // position, a position set by the user) while there is no valid fix or GPS
  // is disabled: the point then passes the filter unsmoothed.
  std::function<void()> resetFilter;
  // The position filter takes the fix and gives back the filtered point;
  // without it the raw point is used.
  std::function<GeoPoint(double latitudeDeg, double longitudeDeg, double speedKmh, double courseRad, double altitude)>
      filter;
  // The track recorder gets the filtered point with the receiver's speed
  // (not while paused). `recordable` is true for a fix measured by a device
  // (serial or gpsd); a replayed log, the start position and a position the
  // user set are no way travelled now and are not recorded.
  std::function<void(const GeoPoint& filtered, double speedKmh, bool recordable)> track;
  // The buddy tracker gets the filtered point with speed and course (degrees).
  std::function<void(const GeoPoint& filtered, double speedKmh, double courseDeg)> buddy;
  // After every cycle, with the lines read in it (for views that follow the
  // connection, and tests).
  std::function<void(std::uint32_t linesThisCycle)> cycleDone;
};

class GPSThread {
 public:
  enum class State { Idle, Open, Reading, NoSource, OpenFailed, ReadFailed };

  static constexpr std::uint32_t kLinesPerCycle = 15;
  static constexpr std::uint32_t kGarbageBytes = 255;  // more without a '$' is garbage

  struct Timings {
    std::uint32_t cycleMs = 500;
    std::uint32_t reopenPauseMs = 2000;
    std::uint32_t dataTimeoutMs = 4000;  // devices only
  };

  // The SiRF commands sent (with checksums, in this order) after a device
  // opens when configGPS is set: development messages on, then RMC, GGA,
  // GSA and GSV once per second.
  static constexpr std::array<const char*, 5> kSirfConfiguration = {
      "PSRF105,1", "PSRF103,04,00,01,01", "PSRF103,00,00,01,01", "PSRF103,02,00,01,01", "PSRF103,03,00,01,01"};

  // `quit` is the application's quit flag (set by its owner only); the
  // thread ends within one wait slice after it is set. `startPosition` is
  // delivered first, stamped now, with speed and course 0.
  GPSThread(std::atomic<bool>& quit, GpsFixHooks hooks, GpsOptions options, const GeoPoint& startPosition);
  GPSThread(std::atomic<bool>& quit, GpsFixHooks hooks, GpsOptions options, const GeoPoint& startPosition,
            Timings timings);
  ~GPSThread();  // ends and joins the thread even when `quit` was never set
  GPSThread(const GPSThread&) = delete;
  GPSThread& operator=(const GPSThread&) = delete;

  // Starts the thread once (logs "GPSThread=0x%x" with its id); later calls do nothing.
  void Start();
  // Waits for the thread to end (after `quit` was set).
  void Join();

  // A changed name or baud rate reconnects (as the pause flag does); a
  // changed log path closes the log and, when not empty, creates it afresh.
  void SetOptions(const GpsOptions& options);
  GpsOptions options() const;

  // The pause flag: the next cycle closes the source, waits the pause and
  // opens it again, and clears the flag. While set, no point is recorded.
  void Pause();
  bool paused() const { return paused_.load(); }

  // Takes `position` as the user's position: delivered on the GPS thread
  // like a fix, stamped now, with speed and course 0.
  void ResetUserPosition(const GeoPoint& position);

  State state() const { return state_.load(); }
  GpsData data() const;  // a copy of the latest record
  std::uint16_t satellitesInView() const;
  std::array<GpsSatellite, kMaxSatellites> satellites() const;  // copied from the last GSV
  std::uint32_t linesRead() const { return linesRead_.load(); }   // since the source opened
  std::uint32_t sentences() const { return sentences_.load(); }   // good checksums since the last reset
  std::uint32_t connections() const { return connections_.load(); }  // successful opens so far
  std::uint32_t openFailures() const { return openFailures_.load(); }

 private:
  class Worker;
  friend class Worker;

  bool Quitting() const;
  // Sleeps `ms` in short slices, returning early when quitting; false then.
  bool Sleep(std::uint32_t ms) const;
  void Run();

  std::atomic<bool>& quit_;
  std::atomic<bool> stop_{false};
  const Timings timings_;
  const GpsFixHooks hooks_;
  const GeoPoint startPosition_;

  mutable std::mutex optionsMutex_;
  GpsOptions options_;
  std::uint32_t logGeneration_ = 0;  // bumped whenever the log path changes
  std::optional<GeoPoint> userPosition_;

  mutable std::mutex dataMutex_;
  GpsData data_;
  std::uint16_t inView_ = 0;
  std::array<GpsSatellite, kMaxSatellites> satellites_{};

  std::atomic<State> state_{State::Open};
  std::atomic<bool> paused_{false};
  std::atomic<std::uint32_t> linesRead_{0};
  std::atomic<std::uint32_t> sentences_{0};
  std::atomic<std::uint32_t> connections_{0};
  std::atomic<std::uint32_t> openFailures_{0};

  std::thread thread_;
};

}  // namespace rovana
