// TrackRecorder: the recording of one track at a time. The user-interface
// thread starts and stops it; the GPS thread offers every filtered position
// of a receiver while it runs.
//
// The recorder's mutex is held while a position goes into the track and
// while the recording starts or stops, so the track never goes away under
// the GPS thread. Waypoints refuses to delete the recording track; the GPX
// dialog stops the recording first.
#pragma once

#include <mutex>
#include <string>

#include "app/processing/TrackPointFilter.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {

class TrackRecorder {
 public:
  explicit TrackRecorder(Waypoints& waypoints) : waypoints_(waypoints) {}
  TrackRecorder(const TrackRecorder&) = delete;
  TrackRecorder& operator=(const TrackRecorder&) = delete;

  bool recording() const;
  // The track being recorded, or null.
  POIs* track() const;

  // A new track in `file`, anchored at `position`, thinned with `settings`,
  // becomes the recording track and the current collection. A recording
  // that runs is stopped first.
  POIs& Start(GpxParser& file, const GeoPoint& position, const TrackFilterSettings& settings);

  // From the GPS thread: a filtered position and the receiver's speed
  // (km/h). Nothing happens while no recording runs.
  void Offer(const GeoPoint& position, double speedKmh);

  struct Stopped {
    bool wasRecording = false;
    bool hadPoints = false;  // else the empty track was deleted
    std::string label;       // the track's list label
    std::string fileName;
    bool saved = true;  // every modified file was saved
  };
  // Ends the track (a position thinned away last is appended and the last
  // point becomes "Finish"). A track with points is kept and every modified
  // file saved; an empty one is deleted with clean-up.
  Stopped Stop();

 private:
  Waypoints& waypoints_;
  mutable std::mutex mutex_;
  POIs* track_ = nullptr;
};

}  // namespace rovana
