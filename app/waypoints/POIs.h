// POIs: one collection of a GPX file: its waypoints (kind POIs), a route or
// a track, with its own statistics and its own lock.
//
// Points are kept in list order; references to them stay valid until they
// are removed. Every public operation takes the collection's re-entrant lock
// for its whole body, so the GPS thread may add points to the recording
// track while the user-interface thread draws, edits and saves. A lock that
// cannot be taken is logged ("POIs::Lock failed") and the operation goes on.
//
// Statistics and track thinning live in the processing room, which builds on
// this one; they reach a collection through CollectionStatistics (made by the
// owner's factory) and the RecordingFilter of the recording track.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/waypoints/GeoPoint.h"

namespace rovana {

class GpxParser;
class Waypoints;

enum class PoisKind : int { POIs = 0, Route = 1, Track = 2 };

// Longitude and latitude extremes in radians; Empty() until a point widens it.
struct GeoBounds {
  double minLongitude = 1.7976931348623157e308, maxLongitude = -1.7976931348623157e308;
  double minLatitude = 1.7976931348623157e308, maxLatitude = -1.7976931348623157e308;
  bool Empty() const { return minLongitude > maxLongitude || minLatitude > maxLatitude; }
  void Widen(const GeoPoint& p);
  void Join(const GeoBounds& other);
  // min <= other max on both axes.
  bool Intersects(const GeoBounds& other) const;
  bool operator==(const GeoBounds&) const = default;
};

// Trip statistics of one collection, fed with each point added while loading
// or recording (time already repaired). `speed` is km/h, negative when the
// point has none.
class CollectionStatistics {
 public:
  virtual ~CollectionStatistics() = default;
  virtual void Add(const GeoPoint& point, double speed) = 0;
  virtual void Reset() = 0;
  virtual double Distance() const = 0;  // metres
  virtual double Speed() const = 0;     // the latest speed, km/h
};

// The statistics used when the owner has no factory: distance along the
// points and the latest speed given.
class PlainStatistics final : public CollectionStatistics {
 public:
  void Add(const GeoPoint& point, double speed) override;
  void Reset() override;
  double Distance() const override { return distance_; }
  double Speed() const override { return speed_; }

 private:
  std::optional<GeoPoint> last_;
  double distance_ = 0;
  double speed_ = 0;
};

// Whether the recording track stores a candidate offered with the receiver's
// speed (km/h). It is asked for every candidate, the track's first point too
// (which is stored whatever the answer). The application wraps its
// TrackPointFilter in one.
using RecordingFilter = std::function<bool(const GeoPoint& candidate, double speed)>;

class POIs {
 public:
  // Made by Waypoints only, which links it into its lists.
  POIs(Waypoints& owner, GpxParser& file, PoisKind kind, int number);
  ~POIs();
  POIs(const POIs&) = delete;
  POIs& operator=(const POIs&) = delete;

  // The one entry for loading, recording and the dialogs. `point` absent is
  // the end signal of a route, a track or a recording: a last position that
  // was thinned away is appended, a track's last point becomes "Finish" and
  // recording ends. `speed` is negative for points from files and dialogs;
  // `update` repairs the time, feeds the statistics and widens the bounds
  // (off while an unloaded file is read again). Returns the stored point, or
  // null when it was not kept.
  GeoPoint* AddPoint(std::optional<GeoPoint> point, double speed, bool update);
  // Takes the point out of the list; false when it is not in it.
  bool RemovePoint(const GeoPoint* point);
  // Removes the point, reclassifies a route or track, deletes its audio note
  // (given the attachment folder) and selects the next point.
  bool DeletePoint(const GeoPoint* point);
  // Overwrites the stored point with `updated` (position, date, time and
  // texts) in place, so that references to it stay valid; marks the file
  // modified and recomputes the bounds. False when it is not in the list.
  bool ReplacePoint(const GeoPoint* point, const GeoPoint& updated);
  bool MovePointUp(const GeoPoint* point);    // swap with its predecessor
  bool MovePointDown(const GeoPoint* point);  // swap with its successor
  void Clear();
  // Frees the points of a file being unloaded; count() stays what it was
  // until the file is read again.
  void Unload();

  std::string name() const;
  std::string desc() const;
  std::uint32_t color() const;
  int width() const;
  // Setters mark the file modified only when the value changes; a new name
  // makes the collection current when `selectedPOIs` names it, and visible
  // or hidden as `hiddenPOIs` says.
  void SetName(std::string_view name);
  void SetDesc(std::string_view desc);
  void SetColor(std::uint32_t color);
  void SetWidth(int width);

  PoisKind kind() const { return kind_; }
  int number() const { return number_; }
  GpxParser& file() const { return file_; }
  std::size_t count() const;
  // Copies, so that nothing escapes the lock.
  std::vector<GeoPoint> Points() const;
  // Calls `visit` once for every point in list order, under the lock and
  // without copying: what painting does. `visit` must not keep references
  // to the points nor change the collection.
  void VisitPoints(const std::function<void(const GeoPoint&)>& visit) const;
  // The stored point at `index` in list order, null past the end: how the
  // dialogs name a point to DeletePoint and the moves. Only its address is
  // meant to be used; it stays valid until the point is removed.
  const GeoPoint* PointAt(std::size_t index) const;
  std::optional<GeoPoint> FirstPoint() const;
  std::optional<GeoPoint> LastPoint() const;
  GeoPoint anchor() const;
  void SetAnchor(const GeoPoint& anchor);
  GeoBounds bounds() const;
  void RecomputeBounds();

  // "file name/collection name", an empty name replaced by the default text.
  std::string FullName() const;
  // The name (or default) with " (count)" for POIs, or " (distance)" for
  // routes and tracks ("..." inside while it is the recording track).
  std::string ListLabel() const;

  // The point whose display name was selected last, else the first point.
  std::optional<GeoPoint> SelectedPoint() const;
  // The stored point SelectedPoint() copies, null when the list is empty;
  // valid until it is removed.
  const GeoPoint* SelectedStoredPoint() const;
  void SelectPoint(const GeoPoint& point);
  const std::string& selectedName() const { return selectedName_; }

  bool visible() const;
  // Adds or removes the full name in `hiddenPOIs` and updates the file's
  // shown flag.
  void SetVisible(bool visible);
  void SetVisibleFromSettings();
  // Routes and tracks: Route when any point has details, else Track.
  void Reclassify();

  CollectionStatistics& statistics() { return *statistics_; }

  // Chart series, one value per point (reversed when `reverse`): seconds
  // since the first point, and cumulative metres.
  std::vector<double> TimeSeries(bool reverse) const;
  std::vector<double> DistanceSeries(bool reverse) const;
  // Feeds the points one by one into fresh statistics and takes `value` of
  // them after each.
  std::vector<double> StatisticsSeries(bool reverse, const std::function<double(const CollectionStatistics&)>& value) const;

  // For Waypoints: while the file is reloaded, points go to existing lists.
  void SetKindFromFile(PoisKind kind) { kind_ = kind; }

 private:
  class Lock;
  using PointList = std::list<GeoPoint>;
  PointList::iterator Find(const GeoPoint* point);
  void MarkModified();
  static std::vector<double> Reversed(std::vector<double> series);

  mutable std::recursive_mutex mutex_;
  Waypoints& owner_;
  GpxParser& file_;
  PoisKind kind_;
  int number_;
  std::unique_ptr<CollectionStatistics> statistics_;
  GeoPoint anchor_;
  std::string name_, desc_;
  std::uint32_t color_ = 0;
  int width_ = 2;
  PointList points_;
  std::size_t unloadedCount_ = 0;  // the count while the file is unloaded
  std::string selectedName_;
  std::optional<GeoPoint> lastReceived_;
  bool visible_ = true;
  GeoBounds bounds_;
};

// A link as the user typed it, with "http://" put in front only when it
// names no scheme ("https://x", "mailto:a@b" and "geo:1,2" stay as they are).
std::string WithLinkScheme(std::string_view link);

// A random drawing colour (0x00BBGGRR): one channel 0, the other two 100..255.
std::uint32_t RandomColor();

}  // namespace rovana
