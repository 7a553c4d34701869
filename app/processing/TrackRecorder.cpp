#include "app/processing/TrackRecorder.h"

#include "app/core/Log.h"
#include "app/processing/AnalyzerStatistics.h"

namespace rovana {

bool TrackRecorder::recording() const {
  std::lock_guard lock(mutex_);
  return track_ != nullptr;
}

POIs* TrackRecorder::track() const {
  std::lock_guard lock(mutex_);
  return track_;
}

POIs& TrackRecorder::Start(GpxParser& file, const GeoPoint& position, const TrackFilterSettings& settings) {
  if (recording()) Stop();
  POIs& track = waypoints_.AddCollection(file, PoisKind::Track);
  track.SetAnchor(GeoPoint(position.latitude(), position.longitude(), position.altitude()));
  std::lock_guard lock(mutex_);
  waypoints_.SetRecordingTrack(&track, MakeTrackThinning(settings));
  waypoints_.MakeCurrent(&track);
  track_ = &track;
  LogMessage("Recording track %d to %s", track.number(), file.name().c_str());
  return track;
}

void TrackRecorder::Offer(const GeoPoint& position, double speedKmh) {
  std::lock_guard lock(mutex_);
  if (!track_) return;
  track_->AddPoint(position, speedKmh < 0 ? 0 : speedKmh, true);
}

TrackRecorder::Stopped TrackRecorder::Stop() {
  Stopped result;
  POIs* track = nullptr;
  {
    std::lock_guard lock(mutex_);
    track = track_;
    if (!track) return result;
    track->AddPoint(std::nullopt, -1, true);  // the end signal also ends the recording in Waypoints
    waypoints_.SetRecordingTrack(nullptr);
    track_ = nullptr;
  }
  result.wasRecording = true;
  result.fileName = track->file().name();
  result.label = track->ListLabel();
  result.hadPoints = track->count() > 0;
  if (result.hadPoints) {
    result.saved = waypoints_.SaveAll();
    LogMessage("Recording stopped: %s in %s, %zu points%s", result.label.c_str(), result.fileName.c_str(),
               track->count(), result.saved ? "" : " (not every file could be saved)");
  } else {
    LogMessage("Recording stopped without points: the track is deleted");
    waypoints_.DeleteCollection(*track, true);
  }
  return result;
}

}  // namespace rovana
