// Collections of points: adding with time repair and thinning, editing,
// bounds, labels and chart series.
#include "app/waypoints/POIs.h"

#include <algorithm>
#include <cctype>
#include <random>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/waypoints/GpxParser.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {

void GeoBounds::Widen(const GeoPoint& p) {
  minLongitude = std::min(minLongitude, p.longitude());
  maxLongitude = std::max(maxLongitude, p.longitude());
  minLatitude = std::min(minLatitude, p.latitude());
  maxLatitude = std::max(maxLatitude, p.latitude());
}

void GeoBounds::Join(const GeoBounds& o) {
  minLongitude = std::min(minLongitude, o.minLongitude);
  maxLongitude = std::max(maxLongitude, o.maxLongitude);
  minLatitude = std::min(minLatitude, o.minLatitude);
  maxLatitude = std::max(maxLatitude, o.maxLatitude);
}

bool GeoBounds::Intersects(const GeoBounds& o) const {
  return minLongitude <= o.maxLongitude && o.minLongitude <= maxLongitude && minLatitude <= o.maxLatitude &&
         o.minLatitude <= maxLatitude;
}

void PlainStatistics::Add(const GeoPoint& point, double speed) {
  if (last_) distance_ += last_->Distance(point);
  last_ = point;
  if (speed >= 0) speed_ = speed;
}

void PlainStatistics::Reset() {
  last_.reset();
  distance_ = 0;
  speed_ = 0;
}

std::string WithLinkScheme(std::string_view link) {
  if (link.empty()) return {};
  // A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
  std::size_t at = 0;
  if (std::isalpha(static_cast<unsigned char>(link[0]))) {
    while (at < link.size() && (std::isalnum(static_cast<unsigned char>(link[at])) || link[at] == '+' ||
                                link[at] == '-' || link[at] == '.'))
      ++at;
    if (at < link.size() && link[at] == ':' && at > 1) return std::string(link);
  }
  return "http://" + std::string(link);
}

std::uint32_t RandomColor() {
  static std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<int> pattern(0, 2), channel(100, 255);
  const std::uint32_t a = channel(engine), b = channel(engine);
  switch (pattern(engine)) {
    case 0: return (b << 16) | (a << 8);  // no red
    case 1: return (b << 16) | a;         // no green
    default: return (b << 8) | a;         // no blue
  }
}

// Takes the collection's lock; a failure is logged and the body runs anyway.
class POIs::Lock {
 public:
  explicit Lock(std::recursive_mutex& mutex) : mutex_(mutex) {
    try {
      mutex_.lock();
      locked_ = true;
    } catch (...) {
      LogMessage("POIs::Lock failed");
    }
  }
  ~Lock() {
    if (locked_) mutex_.unlock();
  }

 private:
  std::recursive_mutex& mutex_;
  bool locked_ = false;
};

POIs::POIs(Waypoints& owner, GpxParser& file, PoisKind kind, int number)
    : owner_(owner), file_(file), kind_(kind), number_(number), statistics_(owner.NewStatistics()),
      color_(RandomColor()) {}

POIs::~POIs() { owner_.Forget(*this); }

void POIs::MarkModified() { file_.MarkModified(); }

static int SecondsBetween(int from, int to) {
  int dt = to - from;
  if (dt < 0) dt += 86400;
  return dt;
}

GeoPoint* POIs::AddPoint(std::optional<GeoPoint> p, double speed, bool update) {
  Lock lock(mutex_);
  const bool finish = !p.has_value();
  const bool recording = owner_.recordingTrack() == this;
  bool keep = true;
  if (finish) {
    keep = false;
    if (!points_.empty() && lastReceived_ &&
        (lastReceived_->latitude() != points_.back().latitude() ||
         lastReceived_->longitude() != points_.back().longitude())) {
      p = *lastReceived_;
      keep = true;
    }
  } else if (kind_ == PoisKind::Track && recording && owner_.recordingFilter()) {
    // The filter sees every candidate, the first too, so that it knows the
    // point the track starts with; the first point is stored whatever it says.
    const bool thinned = !owner_.recordingFilter()(*p, speed);
    keep = points_.empty() || !thinned;
  }
  if (p && !finish && update) {
    if (!points_.empty() && lastReceived_) {
      const int dt = SecondsBetween(lastReceived_->time(), p->time());
      if ((p->time() == 0 || dt == 0) && speed < 0) p->setTime((lastReceived_->time() + 1) % 86400);
    }
    statistics_->Add(*p, speed);
  }
  GeoPoint* stored = nullptr;
  if (keep && p) {
    MarkModified();
    if (p->sym().empty())
      p->setText(PointText::Sym, kind_ == PoisKind::POIs ? "Default" : (points_.empty() ? "Trailhead" : ""));
    points_.push_back(*p);
    stored = &points_.back();
    anchor_ = GeoPoint(points_.front().latitude(), points_.front().longitude(), points_.front().altitude());
    if (update) bounds_.Widen(*stored);
  }
  if (p && !finish) lastReceived_ = *p;
  if (finish && kind_ == PoisKind::Track && !points_.empty()) points_.back().setText(PointText::Sym, "Finish");
  if (finish && recording) owner_.SetRecordingTrack(nullptr);
  return stored;
}

POIs::PointList::iterator POIs::Find(const GeoPoint* point) {
  return std::find_if(points_.begin(), points_.end(), [point](const GeoPoint& p) { return &p == point; });
}

bool POIs::RemovePoint(const GeoPoint* point) {
  Lock lock(mutex_);
  const auto at = Find(point);
  if (at == points_.end()) return false;
  points_.erase(at);
  MarkModified();
  RecomputeBounds();
  return true;
}

bool POIs::DeletePoint(const GeoPoint* point) {
  Lock lock(mutex_);
  auto at = Find(point);
  if (at == points_.end()) return false;
  at->ClearAudioNote(file_.AttachmentFolder());
  at = points_.erase(at);
  if (at != points_.end()) selectedName_ = at->DisplayName();
  MarkModified();
  Reclassify();
  RecomputeBounds();
  return true;
}

bool POIs::ReplacePoint(const GeoPoint* point, const GeoPoint& updated) {
  Lock lock(mutex_);
  const auto at = Find(point);
  if (at == points_.end()) return false;
  *at = updated;
  if (at == points_.begin()) anchor_ = GeoPoint(at->latitude(), at->longitude(), at->altitude());
  MarkModified();
  RecomputeBounds();
  return true;
}

bool POIs::MovePointUp(const GeoPoint* point) {
  Lock lock(mutex_);
  const auto at = Find(point);
  if (at == points_.end() || at == points_.begin()) return false;
  points_.splice(std::prev(at), points_, at);
  MarkModified();
  return true;
}

bool POIs::MovePointDown(const GeoPoint* point) {
  Lock lock(mutex_);
  const auto at = Find(point);
  if (at == points_.end() || std::next(at) == points_.end()) return false;
  points_.splice(at, points_, std::next(at));
  MarkModified();
  return true;
}

void POIs::Clear() {
  Lock lock(mutex_);
  points_.clear();
  unloadedCount_ = 0;
}

void POIs::Unload() {
  Lock lock(mutex_);
  unloadedCount_ = points_.size();
  points_.clear();
}

std::string POIs::name() const { Lock lock(mutex_); return name_; }
std::string POIs::desc() const { Lock lock(mutex_); return desc_; }
std::uint32_t POIs::color() const { Lock lock(mutex_); return color_; }
int POIs::width() const { Lock lock(mutex_); return width_; }

void POIs::SetName(std::string_view name) {
  Lock lock(mutex_);
  if (name_ == name) return;
  name_ = name;
  MarkModified();
  owner_.NameChanged(*this);
}

void POIs::SetDesc(std::string_view desc) {
  Lock lock(mutex_);
  if (desc_ == desc) return;
  desc_ = desc;
  MarkModified();
}

void POIs::SetColor(std::uint32_t color) {
  Lock lock(mutex_);
  if (color_ == color) return;
  color_ = color;
  MarkModified();
}

void POIs::SetWidth(int width) {
  Lock lock(mutex_);
  if (width_ == width) return;
  width_ = width;
  MarkModified();
}

std::size_t POIs::count() const {
  Lock lock(mutex_);
  return points_.empty() ? unloadedCount_ : points_.size();
}

std::vector<GeoPoint> POIs::Points() const {
  Lock lock(mutex_);
  return {points_.begin(), points_.end()};
}

void POIs::VisitPoints(const std::function<void(const GeoPoint&)>& visit) const {
  Lock lock(mutex_);
  for (const GeoPoint& point : points_) visit(point);
}

const GeoPoint* POIs::PointAt(std::size_t index) const {
  Lock lock(mutex_);
  if (index >= points_.size()) return nullptr;
  return &*std::next(points_.begin(), static_cast<std::ptrdiff_t>(index));
}

std::optional<GeoPoint> POIs::FirstPoint() const {
  Lock lock(mutex_);
  if (points_.empty()) return std::nullopt;
  return points_.front();
}

std::optional<GeoPoint> POIs::LastPoint() const {
  Lock lock(mutex_);
  if (points_.empty()) return std::nullopt;
  return points_.back();
}

GeoPoint POIs::anchor() const { Lock lock(mutex_); return anchor_; }
void POIs::SetAnchor(const GeoPoint& anchor) { Lock lock(mutex_); anchor_ = anchor; }
GeoBounds POIs::bounds() const { Lock lock(mutex_); return bounds_; }

void POIs::RecomputeBounds() {
  Lock lock(mutex_);
  bounds_ = GeoBounds{};
  for (const GeoPoint& p : points_) bounds_.Widen(p);
}

std::string POIs::FullName() const {
  Lock lock(mutex_);
  const std::string& fallback = kind_ == PoisKind::POIs ? owner_.config().poisName : owner_.config().routeName;
  return file_.name() + "/" + (name_.empty() ? fallback : name_);
}

std::string POIs::ListLabel() const {
  Lock lock(mutex_);
  std::string label = name_.empty()
                          ? (kind_ == PoisKind::POIs ? owner_.config().poisName : owner_.config().routeName)
                          : name_;
  if (kind_ == PoisKind::POIs) return label + " (" + std::to_string(points_.size()) + ")";
  const double metres = statistics_->Distance();
  const auto& text = owner_.config().distanceText;
  label += " (" + (text ? text(metres) : std::to_string(static_cast<long>(metres)) + " m");
  if (owner_.recordingTrack() == this) label += "...";
  return label + ")";
}

std::optional<GeoPoint> POIs::SelectedPoint() const {
  Lock lock(mutex_);
  if (points_.empty()) return std::nullopt;
  for (const GeoPoint& p : points_)
    if (p.DisplayName() == selectedName_) return p;
  return points_.front();
}

const GeoPoint* POIs::SelectedStoredPoint() const {
  Lock lock(mutex_);
  if (points_.empty()) return nullptr;
  for (const GeoPoint& p : points_)
    if (p.DisplayName() == selectedName_) return &p;
  return &points_.front();
}

void POIs::SelectPoint(const GeoPoint& point) { Lock lock(mutex_); selectedName_ = point.DisplayName(); }

bool POIs::visible() const { Lock lock(mutex_); return visible_; }

void POIs::SetVisible(bool visible) {
  Lock lock(mutex_);
  visible_ = visible;
  TextList& hidden = owner_.settings().hiddenPOIs;
  const std::string full = FullName();
  if (visible)
    hidden.Remove(full);
  else if (!hidden.Contains(full))
    hidden.Add(full);
  owner_.RecomputeShown(file_);
}

void POIs::SetVisibleFromSettings() {
  Lock lock(mutex_);
  visible_ = !owner_.settings().hiddenPOIs.Contains(FullName());
}

void POIs::Reclassify() {
  Lock lock(mutex_);
  if (kind_ == PoisKind::POIs) return;
  bool details = false;
  for (auto it = points_.begin(); it != points_.end() && !details; ++it)
    details = it->HasDetails(it == points_.begin(), std::next(it) == points_.end());
  kind_ = details ? PoisKind::Route : PoisKind::Track;
}

std::vector<double> POIs::Reversed(std::vector<double> a) {
  // Differences counted from the other end, so that the series starts at 0.
  std::reverse(a.begin(), a.end());
  std::vector<double> out(a.size(), 0);
  for (std::size_t i = 1; i < a.size(); ++i) out[i] = out[i - 1] + (a[i - 1] - a[i]);
  return out;
}

std::vector<double> POIs::TimeSeries(bool reverse) const {
  Lock lock(mutex_);
  std::vector<double> out;
  double total = 0;
  const GeoPoint* before = nullptr;
  for (const GeoPoint& p : points_) {
    if (before) total += SecondsBetween(before->time(), p.time());
    out.push_back(total);
    before = &p;
  }
  return reverse ? Reversed(std::move(out)) : out;
}

std::vector<double> POIs::DistanceSeries(bool reverse) const {
  Lock lock(mutex_);
  std::vector<double> out;
  double total = 0;
  const GeoPoint* before = nullptr;
  for (const GeoPoint& p : points_) {
    if (before) total += before->Distance(p);
    out.push_back(total);
    before = &p;
  }
  return reverse ? Reversed(std::move(out)) : out;
}

std::vector<double> POIs::StatisticsSeries(bool reverse,
                                           const std::function<double(const CollectionStatistics&)>& value) const {
  Lock lock(mutex_);
  const auto fresh = owner_.NewStatistics();
  std::vector<double> out;
  for (const GeoPoint& p : points_) {
    fresh->Add(p, -1);
    out.push_back(value(*fresh));
  }
  return reverse ? Reversed(std::move(out)) : out;
}

}  // namespace rovana
