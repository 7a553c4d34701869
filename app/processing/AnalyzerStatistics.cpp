#include "app/processing/AnalyzerStatistics.h"

namespace rovana {

void AnalyzerStatistics::Add(const GeoPoint& point, double speed) {
  if (speed < 0)
    analyzer_.AddPositionComputed(point.time(), point);
  else
    analyzer_.AddPosition(point.time(), point, speed, 0, true, false);
}

const Analyzer* AnalyzerOf(const CollectionStatistics& statistics) {
  const auto* own = dynamic_cast<const AnalyzerStatistics*>(&statistics);
  return own ? &own->analyzer() : nullptr;
}

std::unique_ptr<CollectionStatistics> MakeAnalyzerStatistics() { return std::make_unique<AnalyzerStatistics>(); }

RecordingFilter MakeTrackThinning(const TrackFilterSettings& settings) {
  auto filter = std::make_shared<TrackPointFilter>();
  return [filter, settings](const GeoPoint& candidate, double speed) {
    GeoPoint copy(candidate);
    return filter->Offer(copy, speed, settings) != TrackRule::None;
  };
}

}  // namespace rovana
