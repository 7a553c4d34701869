#include "app/maps/ViewTransform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rovana::maps {
namespace {

constexpr double kTwoPi = 2 * kPi;

double Finite(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// The six affine elements of a 3 x 3 transform, row by row.
void Elements(const matrixT& m, double* out) {
  for (int i = 0; i < 6; ++i) out[i] = m.rows() == 3 && m.columns() == 3 ? m.at(i / 3, i % 3) : (i == 0 || i == 4);
}

}  // namespace

int ScaleUnits(int units, int dpi) {
  if (dpi <= 0) dpi = 96;
  const long long magnitude = (static_cast<long long>(std::llabs(units)) * dpi + 48) / 96;
  return static_cast<int>(units < 0 ? -magnitude : magnitude);
}

double ClampZoom(double zoom, int dpi) {
  const int s = std::max(1, (std::max(dpi, 1) + 48) / 96);
  if (!std::isfinite(zoom)) zoom = kMinZoom * s;
  return std::clamp(zoom, kMinZoom * s, kMaxZoom * s);
}

int VerticalOffsetUnits(const OffsetFlags& f) {
  int v = f.directionsPane ? 29 : -13;
  if (f.basicsEnabled) v -= 14;
  if (f.zoomEnabled) v += 14;
  if (f.headingMode == 1 || f.headingMode == 2) v += 10;
  if (f.layoutFlag) v += 13;
  return v;
}

ViewTransform::ViewTransform() { *this = Build(ViewInput{}); }

ViewTransform ViewTransform::Build(const ViewInput& in) {
  ViewTransform t{Raw{}};
  t.width_ = std::max(1, in.width);
  t.height_ = std::max(1, in.height);
  t.dpi_ = in.dpi > 0 ? in.dpi : 96;
  t.headingMode_ = in.headingMode;

  double panX = Finite(in.panX, 0), panY = Finite(in.panY, 0);
  if (in.centreOn) {
    panX = -in.centreOn->longitude();
    panY = -in.centreOn->latitude();
  }
  panX += Finite(in.dragX, 0);
  panY += Finite(in.dragY, 0);
  t.panX_ = std::clamp(panX, -kPi, kPi);
  t.panY_ = std::clamp(panY, -kPi / 2, kPi / 2);

  const GeoPoint centre = t.centre();
  double convergence = in.gridConvergence ? in.gridConvergence(centre) : 0.0;
  if (!std::isfinite(convergence)) convergence = 0;
  t.convergence_ = convergence;

  double rotation = Finite(in.rotation, 0);
  switch (in.headingMode) {
    case 0: rotation = convergence; break;
    case 1:
      if (in.followingUser) rotation = Finite(in.course, 0);
      break;
    case 2:
      if (in.followingUser) rotation = in.target ? centre.Course(*in.target) : convergence;
      break;
    default: break;
  }
  t.rotation_ = rotation;
  t.zoom_ = ClampZoom(in.zoom, t.dpi_);
  t.cosFactor_ = std::max(std::cos(t.panY_), 0.5);

  matrixT pan, zoom, rotate, rotateGrid, centreShift;
  pan.Translation(t.panX_, t.panY_);
  zoom.Scaling(t.zoom_, -t.zoom_ / t.cosFactor_);
  rotate.Rotation(rotation);
  rotateGrid.Rotation(rotation - convergence);
  centreShift.Translation(t.width_ / 2.0, t.height_ / 2.0 + ScaleUnits(in.verticalOffsetUnits, t.dpi_));
  t.SetMatrices(centreShift * rotate * zoom * pan, centreShift * rotateGrid * zoom * pan);
  return t;
}

void ViewTransform::SetMatrices(const matrixT& screen, const matrixT& grid) {
  screen_ = screen;
  grid_ = grid;
  Elements(screen_, a_);
  Elements(grid_, g_);
  Elements(!screen_, inv_);
  double gridInverse[6];
  Elements(!grid_, gridInverse);
  visible_ = GeoBounds{};
  const double corners[4][2] = {{0, 0}, {double(width_), 0}, {double(width_), double(height_)}, {0, double(height_)}};
  for (const auto& c : corners) {
    const double lon = gridInverse[0] * c[0] + gridInverse[1] * c[1] + gridInverse[2];
    const double lat = gridInverse[3] * c[0] + gridInverse[4] * c[1] + gridInverse[5];
    visible_.minLongitude = std::min(visible_.minLongitude, lon);
    visible_.maxLongitude = std::max(visible_.maxLongitude, lon);
    visible_.minLatitude = std::min(visible_.minLatitude, lat);
    visible_.maxLatitude = std::max(visible_.maxLatitude, lat);
  }
}

GeoPoint ViewTransform::centre() const { return GeoPoint(-panY_, -panX_); }

GeoPoint ViewTransform::ToPosition(double x, double y) const {
  const double lon = inv_[0] * x + inv_[1] * y + inv_[2];
  const double lat = inv_[3] * x + inv_[4] * y + inv_[5];
  return GeoPoint(lat, lon);  // the point clamps to the valid range
}

ScreenPoint ViewTransform::PixelStepToRadians(double dx, double dy) const {
  return {inv_[0] * dx + inv_[1] * dy, inv_[3] * dx + inv_[4] * dy};
}

double ViewTransform::metresPerPixel() const { return (1 / zoom_) * kEarthRadius * std::cos(-panY_); }

bool ViewTransform::northUp() const {
  return headingMode_ == 0 && std::fabs(rotation_ - convergence_) < kNorthUpTolerance;
}

double ViewTransform::ScreenAngle(const GeoPoint& at, double course) const {
  // A small step along the course, through the linear part of the transform.
  const double cosLat = std::max(std::cos(at.latitude()), 1e-9);
  const double dLon = std::sin(course) / cosLat, dLat = std::cos(course);
  const double dx = a_[0] * dLon + a_[1] * dLat, dy = a_[3] * dLon + a_[4] * dLat;
  if (dx == 0 && dy == 0) return 0;
  double angle = std::atan2(dx, -dy);
  if (angle < 0) angle += kTwoPi;
  return angle >= kTwoPi ? 0 : angle;
}

// ---- collections on the screen ---------------------------------------------------

int PointSkip(std::size_t count, double distance, double metresPerPixel, int dpi) {
  if (count == 0 || !(distance > 0) || !std::isfinite(distance) || !std::isfinite(metresPerPixel)) return 0;
  const double sevenPixels = (std::fabs(7 * metresPerPixel) * dpi + 48) / 96;
  const double skip = sevenPixels / (distance / static_cast<double>(count));
  if (!(skip > 0)) return 0;
  return static_cast<int>(std::min(skip, 1e9));
}

std::vector<std::size_t> VisitedIndices(std::size_t count, int skip) {
  std::vector<std::size_t> out;
  if (count == 0) return out;
  const std::size_t step = static_cast<std::size_t>(std::max(skip, 0)) + 1;
  out.reserve(count / step + 2);
  for (std::size_t i = 0; i < count; i += step) out.push_back(i);
  if (out.back() != count - 1) out.push_back(count - 1);
  return out;
}

ScreenExtent ExtentOnScreen(const GeoBounds& b, double metresPerPixel) {
  ScreenExtent e;
  if (b.Empty() || !(metresPerPixel > 0)) return e;
  const GeoPoint topLeft(b.maxLatitude, b.minLongitude), topRight(b.maxLatitude, b.maxLongitude);
  const GeoPoint bottomLeft(b.minLatitude, b.minLongitude);
  e.width = std::max(10.0, topLeft.Distance(topRight) / metresPerPixel);
  e.height = std::max(10.0, topLeft.Distance(bottomLeft) / metresPerPixel);
  return e;
}

// ---- clipping ---------------------------------------------------------------------

ClipBox ClipBox::Screen(int width, int height, double margin) {
  return {-margin, -margin, width + margin, height + margin};
}

bool ClipSegment(ScreenPoint& a, ScreenPoint& b, const ClipBox& box) {
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return false;
  const double dx = b.x - a.x, dy = b.y - a.y;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - box.left, box.right - a.x, a.y - box.top, box.bottom - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
  }
  const ScreenPoint start = a;
  if (t0 > 0) a = {start.x + t0 * dx, start.y + t0 * dy};
  if (t1 < 1) b = {start.x + t1 * dx, start.y + t1 * dy};
  // The cut ends are inside up to rounding; keep them exactly inside.
  for (ScreenPoint* e : {&a, &b}) {
    e->x = std::clamp(e->x, box.left, box.right);
    e->y = std::clamp(e->y, box.top, box.bottom);
  }
  return true;
}

std::vector<ScreenPoint> ClipPolygon(std::span<const ScreenPoint> polygon, const ClipBox& box) {
  std::vector<ScreenPoint> out(polygon.begin(), polygon.end());
  for (const ScreenPoint& p : out)
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return {};
  // One edge of the box at a time: inside(p) and the crossing of a-b with it.
  for (int edge = 0; edge < 4 && !out.empty(); ++edge) {
    auto inside = [&](const ScreenPoint& p) {
      switch (edge) {
        case 0: return p.x >= box.left;
        case 1: return p.x <= box.right;
        case 2: return p.y >= box.top;
        default: return p.y <= box.bottom;
      }
    };
    auto cross = [&](const ScreenPoint& a, const ScreenPoint& b) {
      const double limit = edge == 0 ? box.left : edge == 1 ? box.right : edge == 2 ? box.top : box.bottom;
      const double t = edge < 2 ? (limit - a.x) / (b.x - a.x) : (limit - a.y) / (b.y - a.y);
      ScreenPoint c{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
      if (edge < 2) c.x = limit; else c.y = limit;
      return c;
    };
    std::vector<ScreenPoint> next;
    for (std::size_t i = 0; i < out.size(); ++i) {
      const ScreenPoint& a = out[i];
      const ScreenPoint& b = out[(i + 1) % out.size()];
      const bool ia = inside(a), ib = inside(b);
      if (ia) next.push_back(a);
      if (ia != ib) next.push_back(cross(a, b));
    }
    out = std::move(next);
  }
  return out;
}

void ClippedPath::MoveTo(ScreenPoint p) {
  last_ = p;
  haveLast_ = true;
  open_ = false;
}

void ClippedPath::LineTo(ScreenPoint p) {
  if (!haveLast_) return MoveTo(p);
  ScreenPoint a = last_, b = p;
  const bool startInside = box_.Contains(last_);
  if (ClipSegment(a, b, box_)) {
    if (!(open_ && startInside)) runs_.push_back({a});
    runs_.back().push_back(b);
    open_ = box_.Contains(p);
  } else {
    open_ = false;
  }
  last_ = p;
}

std::size_t ClippedPath::vertices() const {
  std::size_t n = 0;
  for (const auto& run : runs_) n += run.size();
  return n;
}

namespace {

bool SegmentMeets(const GeoPoint& a, const GeoPoint& b, const GeoBounds& visible) {
  GeoBounds box;
  box.Widen(a);
  box.Widen(b);
  return box.Intersects(visible);
}

}  // namespace

ClippedPath TracePoints(std::span<const GeoPoint> points, int skip, const ViewTransform& view,
                        const std::optional<GeoPoint>& end, double margin) {
  PointTracer tracer(view, points.size(), skip, margin);
  for (const GeoPoint& p : points) tracer.Add(p);
  return tracer.Finish(end);
}

PointTracer::PointTracer(const ViewTransform& view, std::size_t count, int skip, double margin)
    : view_(view),
      path_(ClipBox::Screen(view.width(), view.height(), margin)),
      count_(count),
      stride_(static_cast<std::size_t>(std::max(skip, 0)) + 1) {}

void PointTracer::Step(const GeoPoint& p) {
  if (!previous_) {
    path_.MoveTo(view_.ToScreen(p));
  } else if (SegmentMeets(*previous_, p, view_.visible())) {
    if (!connected_) path_.MoveTo(view_.ToScreen(*previous_));
    path_.LineTo(view_.ToScreen(p));
    connected_ = true;
  } else {
    connected_ = false;
  }
  previous_ = &p;
}

void PointTracer::Add(const GeoPoint& point) {
  const std::size_t i = index_++;
  if (i >= count_) return;  // more points than announced: the pattern ended
  if (i % stride_ != 0 && i + 1 != count_) return;
  Step(point);
  // The last visited point may be gone before Finish; keep its position.
  if (i + 1 == count_) {
    previousCopy_ = GeoPoint(point.latitude(), point.longitude());
    previous_ = &previousCopy_;
  }
}

ClippedPath PointTracer::Finish(const std::optional<GeoPoint>& end) {
  if (end && previous_) Step(*end);
  return std::move(path_);
}

// ---- grid and scale ---------------------------------------------------------------

std::uint32_t BlendColour(std::uint32_t from, std::uint32_t to, double weight) {
  weight = std::clamp(Finite(weight, 0), 0.0, 1.0);
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const double a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
    out |= static_cast<std::uint32_t>(std::lround(a + (b - a) * weight)) << shift;
  }
  return out;
}

GridLines MakeGridLines(const ViewTransform& view, double gridStep, int gridWidth, std::uint32_t gridColour,
                        std::uint32_t background, double margin) {
  GridLines out;
  if (gridWidth <= 0 || !(gridStep > 0) || !std::isfinite(gridStep)) return out;
  // The spacing stays fixed while the view moves within a 100 km band.
  const double band = 100000.0 / kEarthRadius;
  const double lat0 = std::trunc(view.centre().latitude() / band) * band;
  double c = std::cos(lat0);
  if (c <= 0) c = 1;
  const double radians = gridStep / c / kEarthRadius;
  const double s = radians * view.zoom();
  if (!(s > 0) || !std::isfinite(s)) return out;
  const double q = gridWidth / s;
  if (q >= 0.05) return out;
  out.draw = true;
  out.spacing = s;
  out.colour = q > 0.01 ? BlendColour(gridColour, background, (q - 0.01) / 0.04) : gridColour;

  const ClipBox box = ClipBox::Screen(view.width(), view.height(), margin);
  const double w = view.width(), h = view.height();
  const double reach = std::hypot(w, h) + 2 * margin;  // half-length of each line
  const GeoPoint centre = view.centre();
  // Family 0: meridians `radians` apart; family 1: parallels s pixels apart.
  const double latStep = s * view.cosFactor() / view.zoom();
  const double steps[2] = {radians, latStep};
  for (int family = 0; family < 2; ++family) {
    const double step = steps[family];
    // Screen directions of one step across the lines and along them.
    const ScreenPoint o = view.GridToScreen(0, 0);
    const ScreenPoint across = family == 0 ? view.GridToScreen(step, 0) : view.GridToScreen(0, step);
    const ScreenPoint along = family == 0 ? view.GridToScreen(0, 1) : view.GridToScreen(1, 0);
    double ax = along.x - o.x, ay = along.y - o.y;
    const double alen = std::hypot(ax, ay);
    if (!(alen > 0)) continue;
    ax /= alen;
    ay /= alen;
    const double cx = across.x - o.x, cy = across.y - o.y;
    // Screen extent across the lines, in lines, plus three.
    const double extent = std::fabs(w * ay) + std::fabs(h * ax);
    const int count = static_cast<int>(std::min(extent / s, 10000.0)) + 3;
    const double first = std::floor((family == 0 ? centre.longitude() : centre.latitude()) / step) - count / 2;
    const ScreenPoint base = view.GridToScreen(family == 0 ? first * step : centre.longitude(),
                                               family == 0 ? centre.latitude() : first * step);
    for (int i = 0; i < count; ++i) {
      const double px = base.x + i * cx, py = base.y + i * cy;
      ScreenPoint a{px - ax * reach, py - ay * reach}, b{px + ax * reach, py + ay * reach};
      if (ClipSegment(a, b, box)) out.lines.emplace_back(a, b);
    }
  }
  return out;
}

ScaleBar MakeScaleBar(double metresPerPixel, double maxPixels) {
  ScaleBar bar;
  if (!(metresPerPixel > 0) || !(maxPixels > 0) || !std::isfinite(metresPerPixel * maxPixels)) return bar;
  const double most = metresPerPixel * maxPixels;
  double power = std::pow(10.0, std::floor(std::log10(most)));
  double metres = power;
  for (double m : {5.0, 2.0, 1.0})
    if (m * power <= most) {
      metres = m * power;
      break;
    }
  bar.metres = metres;
  bar.pixels = metres / metresPerPixel;
  return bar;
}

}  // namespace rovana::maps
