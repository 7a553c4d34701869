// The processing room's pieces that waypoint collections work with: an
// Analyzer as a collection's statistics, and a TrackPointFilter as the
// thinning of the recording track. The waypoints room knows them only as
// CollectionStatistics and RecordingFilter.
#pragma once

#include <memory>

#include "app/processing/Analyzer.h"
#include "app/processing/TrackPointFilter.h"
#include "app/waypoints/POIs.h"

namespace rovana {

// A collection's trip statistics. Points with a speed (recorded ones) give
// it; points without one (from files and dialogs) get speed and heading
// computed from their predecessors.
class AnalyzerStatistics final : public CollectionStatistics {
 public:
  void Add(const GeoPoint& point, double speed) override;
  void Reset() override { analyzer_.Reset(); }
  double Distance() const override { return analyzer_.Distance(false); }
  double Speed() const override { return analyzer_.Speed(); }

  Analyzer& analyzer() { return analyzer_; }
  const Analyzer& analyzer() const { return analyzer_; }

 private:
  // A collection's figures come from its points' own times: the clock is
  // never read (which also keeps loading large files fast).
  Analyzer analyzer_{[] { return 0; }};
};

// The Analyzer behind a collection's statistics, or null for other kinds.
const Analyzer* AnalyzerOf(const CollectionStatistics& statistics);

std::unique_ptr<CollectionStatistics> MakeAnalyzerStatistics();

// A fresh TrackPointFilter with these settings, as the recording track's
// filter (it keeps its own state; the collection's lock covers it).
RecordingFilter MakeTrackThinning(const TrackFilterSettings& settings);

}  // namespace rovana
