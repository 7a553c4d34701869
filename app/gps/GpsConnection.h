// GpsConnection: what the application holds of its GPS input, for the whole
// run. It owns the position filter, the live and trip statistics and the
// GPSThread, and lays the road of a fix through them: the thread's hooks
// give every measured fix first to both analyzers (raw), then every position
// (the start position and one the user sets too) to the filter, whose output
// goes on to the track recorder (fixes of a device only) and the buddy
// tracker once that exists.
//
// The settings store is read and written here on the user-interface thread
// only: at construction (options, start position, horizon, trip totals), in
// ApplySettings (after a dialog changed the GPS settings) and in Save (at
// quit: the filtered position, the trip totals and the horizon). The thread
// works on its own copy of the options.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/gps/GPSThread.h"
#include "app/processing/Accurator.h"
#include "app/processing/Analyzer.h"
#include "app/processing/TrackRecorder.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana {

class SettingsStore;

// The GPS settings the thread works with.
GpsOptions GpsOptionsOf(const SettingsStore& settings);

class GpsConnection {
 public:
  // Reads the settings; the thread does not run until Start. `timings` are
  // the thread's cycle, pause and time-out (tests shorten them).
  GpsConnection(const SettingsStore& settings, std::atomic<bool>& quit);
  GpsConnection(const SettingsStore& settings, std::atomic<bool>& quit, GPSThread::Timings timings);
  ~GpsConnection();  // stops the thread
  GpsConnection(const GpsConnection&) = delete;
  GpsConnection& operator=(const GpsConnection&) = delete;

  void Start();
  // Hands the thread the GPS settings as they are now; with `newLog` the
  // raw log starts afresh even under the name it had.
  void ApplySettings(const SettingsStore& settings, bool newLog = false);
  // The filtered position as the setting `position`, the trip totals and
  // the filter's horizon.
  void Save(SettingsStore& settings) const;

  Accurator& filter() { return filter_; }
  Analyzer& live() { return live_; }
  Analyzer& trip() { return trip_; }
  GPSThread& thread() { return *thread_; }
  const GPSThread& thread() const { return *thread_; }

  // The recorder that hears every filtered fix of a device (a replayed log
  // is not recorded); null for none. It must outlive the connection or be
  // unset first.
  void SetRecorder(TrackRecorder* recorder) { recorder_.store(recorder); }
  // The buddy tracker's hook, which hears every filtered fix with speed
  // (km/h) and course (degrees). Set once, before Start.
  using BuddyHook = std::function<void(const GeoPoint& filtered, double speedKmh, double courseDeg)>;
  void SetBuddy(BuddyHook hook) {
    buddyHook_ = std::move(hook);
    buddy_.store(&buddyHook_);
  }

  // A receiver's fix is there: the thread reads and the last RMC (or the
  // RMC part filled from GGA) says "A".
  bool HasFix() const;
  // Fixes delivered so far, the start position included.
  std::uint32_t fixes() const { return fixes_.load(); }

 private:
  GpsFixHooks Hooks();

  Accurator filter_;
  Analyzer live_;
  Analyzer trip_;
  // The hook outlives the thread that calls it: declared before it.
  BuddyHook buddyHook_;
  std::atomic<const BuddyHook*> buddy_{nullptr};
  std::unique_ptr<GPSThread> thread_;
  std::atomic<std::uint32_t> fixes_{0};
  std::atomic<TrackRecorder*> recorder_{nullptr};
};

}  // namespace rovana
