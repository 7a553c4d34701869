// MapImage calibration: the 1-point and 2-point methods, the transform and
// what follows from it, and the interactive edits.
#include "app/maps/MapImage.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/waypoints/GeoPoint.h"

namespace rovana::maps {
namespace {

constexpr double kMaxRotation = kPi / 4;  // steeper grids are not followed

matrixT TranslateBy(double x, double y) {
  matrixT m;
  m.Translation(x, y);
  return m;
}
matrixT RotateBy(double radians) {
  matrixT m;
  m.Rotation(radians);
  return m;
}
matrixT ScaleBy(double sx, double sy) {
  matrixT m;
  m.Scaling(sx, sy);
  return m;
}

bool Finite(double v) { return std::isfinite(v); }
bool Finite(MapPoint p) { return Finite(p.x) && Finite(p.y); }

// A 3 x 3 transform whose inverse exists and holds only numbers.
matrixT Inverse(const matrixT& transform) {
  if (transform.rows() != 3 || transform.columns() != 3) return {};
  matrixT inverse = !transform;
  if (inverse.rows() != 3) return {};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (!Finite(inverse.at(r, c))) return {};
  return inverse;
}

MapPoint Apply(const matrixT& m, MapPoint p) {
  matrixT::Point q = m.Apply(p.x, p.y);
  return {q.x, q.y};
}

GeoPoint Geo(MapPoint position) { return GeoPoint(position.y, position.x); }

}  // namespace

MapImage::MapImage(MapEnvironment& environment, std::string folder, std::string name)
    : env_(environment), folder_(std::move(folder)), name_(std::move(name)) {
  calibrationName_ = name_.size() >= 3 ? name_.substr(0, name_.size() - 3) + "txt" : name_ + ".txt";
  std::vector<GridChoice> grids = env_.grids.Grids();
  grid_ = grids.empty() ? 0 : grids.front().id;
  SetHiddenFromSettings();
  LoadCalibration();
}

std::string MapImage::picturePath() const { return folder_ + "/" + name_; }
std::string MapImage::calibrationPath() const { return folder_ + "/" + calibrationName_; }

void MapImage::SetHiddenFromSettings() { visible_ = !env_.hiddenMaps.Contains(name_); }

std::optional<MapImage::GridPoint> MapImage::ToGrid(MapPoint position, int gridId) const {
  std::optional<GridCoordinates> g = env_.grids.ToGrid(position.y, position.x, gridId);
  if (!g || !Finite(g->northing) || !Finite(g->easting)) return std::nullopt;
  return GridPoint{g->northing, g->easting, g->zone};
}

std::optional<MapPoint> MapImage::FromGrid(const GridPoint& point, int gridId) const {
  std::optional<LatLon> p = env_.grids.FromGrid(point.northing, point.easting, gridId, point.zone);
  if (!p || !Finite(p->latitude) || !Finite(p->longitude)) return std::nullopt;
  return MapPoint{p->longitude, p->latitude};
}

bool MapImage::Calibrate1Point(double x1, double y1, double lon1, double lat1, double widthM, int gridId,
                               bool write) {
  if (width_ <= 0 || height_ <= 0) {
    LogMessage("MapImage: %s has no size yet and cannot be calibrated", name_.c_str());
    return false;
  }
  if (!Finite(x1) || !Finite(y1) || !Finite(lon1) || !Finite(lat1) || std::fabs(lat1) > kPi / 2) {
    LogMessage("MapImage: %s: reference 1 is not a usable point", name_.c_str());
    return false;
  }
  const double w = Finite(widthM) ? std::max(widthM, kMinWidthM) : kMinWidthM;
  const double h = w * height_ / width_;
  const MapPoint p1{lon1, lat1};
  MapPoint a, b, d;  // east of, south of and south-east of reference 1
  if (gridId == 0) {
    // The default grid follows the meridians: offsets on the sphere.
    GeoPoint ga = Geo(p1), gb = Geo(p1), gd = Geo(p1);
    ga.Offset(0, w);
    gb.Offset(-h, 0);
    gd.Offset(-h, w);
    a = {ga.longitude(), ga.latitude()};
    b = {gb.longitude(), gb.latitude()};
    d = {gd.longitude(), gd.latitude()};
  } else {
    std::optional<GridPoint> g1 = ToGrid(p1, gridId);
    std::optional<MapPoint> pa, pb, pd;
    if (g1) {
      pa = FromGrid({g1->northing, g1->easting + w, g1->zone}, gridId);
      pb = FromGrid({g1->northing - h, g1->easting, g1->zone}, gridId);
      pd = FromGrid({g1->northing - h, g1->easting + w, g1->zone}, gridId);
    }
    if (!pa || !pb || !pd) {
      LogMessage("MapImage: %s: reference 1 lies outside grid %d; calibration unchanged", name_.c_str(), gridId);
      return false;
    }
    a = *pa, b = *pb, d = *pd;
  }
  double rotation = 0;
  if (gridId != 0) {
    const double k1 = Geo(b).Course(Geo(p1));
    const double k2 = Geo(d).Course(Geo(a));
    rotation = AngleMean(k1, k2);
    const double signedRotation = rotation > kPi ? rotation - kTwoPi : rotation;
    if (std::fabs(signedRotation) > kMaxRotation) rotation = 0;
  }
  const double sx = (width_ / (d.x - b.x) + width_ / (a.x - p1.x)) / 2;
  const double sy = (height_ / (d.y - a.y) + height_ / (b.y - p1.y)) / 2;
  if (!Finite(sx) || !Finite(sy) || sx == 0 || sy == 0) {
    LogMessage("MapImage: %s: no scale from grid %d; calibration unchanged", name_.c_str(), gridId);
    return false;
  }
  method_ = CalibrationMethod::OnePoint;
  ref1Pixel_ = {x1, y1};
  ref2Pixel_ = {static_cast<double>(width_), static_cast<double>(height_)};
  ref1Position_ = p1;
  widthM_ = w;
  grid_ = gridId;
  matrixT transform = TranslateBy(x1, y1) * RotateBy(rotation) * ScaleBy(sx, sy) * TranslateBy(-lon1, -lat1);
  return SetTransform(transform, {.bothReferences = true, .write = write});
}

void MapImage::Calibrate2Point(MapPoint pixel1, MapPoint position1, MapPoint pixel2, MapPoint position2,
                               int gridId) {
  if (!Finite(pixel1) || !Finite(pixel2) || !Finite(position1) || !Finite(position2)) return;
  double dE = 0, dN = 0;
  if (gridId == 0) {
    dE = kEarthRadius * std::cos((position1.y + position2.y) / 2) * (position2.x - position1.x);
    dN = kEarthRadius * (position2.y - position1.y);
  } else {
    std::optional<GridPoint> g1 = ToGrid(position1, gridId);
    std::optional<GridPoint> g2 = ToGrid(position2, gridId);
    if (!g1 || !g2) {
      LogMessage("MapImage: %s: a reference lies outside grid %d; calibration unchanged", name_.c_str(), gridId);
      return;
    }
    dE = g2->easting - g1->easting;
    dN = g2->northing - g1->northing;
  }
  const double sx = dE == 0 ? 0 : std::fabs(pixel2.x - pixel1.x) / std::fabs(dE);
  const double sy = dN == 0 ? 0 : std::fabs(pixel2.y - pixel1.y) / std::fabs(dN);
  const double s = std::max(sx, sy);  // pixels per metre
  if (s == 0 || !Finite(s)) return;
  if (!Calibrate1Point(pixel1.x, pixel1.y, position1.x, position1.y, width_ / s, gridId, false)) return;
  method_ = CalibrationMethod::TwoPoint;
  ref2Pixel_ = pixel2;
  ref2Position_ = position2;
  grid_ = gridId;
  WriteCalibration(loadingFile_);
}

bool MapImage::SetTransform(const matrixT& transform, TransformFlags flags) {
  matrixT inverse = Inverse(transform);
  if (inverse.empty()) {
    calibrated_ = false;
    LogMessage("MapImage: %s: the calibration transform cannot be inverted; the map stays uncalibrated",
               name_.c_str());
    return false;
  }
  calibrated_ = true;
  SetHiddenFromSettings();
  transform_ = transform;
  ComputeCorners(inverse);
  if (flags.reference1AndWidth) {
    ref1Position_ = Apply(inverse, ref1Pixel_);
    RecomputeWidth();
  }
  if (flags.bothReferences) {
    ref1Position_ = Apply(inverse, ref1Pixel_);
    ref2Position_ = Apply(inverse, ref2Pixel_);
  }
  if (flags.write) WriteCalibration();
  return true;
}

void MapImage::ComputeCorners(const matrixT& inverse) {
  const double right = width_ + 1.7, bottom = height_ + 1.1;
  const MapPoint pixels[4] = {{0, 0}, {right, 0}, {right, bottom}, {0, bottom}};
  for (int i = 0; i < 4; ++i) corners_[i] = Apply(inverse, pixels[i]);
  bounds_ = {corners_[0].x, corners_[0].x, corners_[0].y, corners_[0].y};
  for (const MapPoint& c : corners_) {
    bounds_.minLon = std::min(bounds_.minLon, c.x);
    bounds_.maxLon = std::max(bounds_.maxLon, c.x);
    bounds_.minLat = std::min(bounds_.minLat, c.y);
    bounds_.maxLat = std::max(bounds_.maxLat, c.y);
  }
  area_ = std::fabs((bounds_.maxLon - bounds_.minLon) * (bounds_.maxLat - bounds_.minLat));
}

void MapImage::RecomputeWidth() {
  const MapPoint &tl = corners_[0], &tr = corners_[1], &br = corners_[2], &bl = corners_[3];
  double w = 0, h = 0;
  if (grid_ == 0) {
    w = (Geo(tl).Distance(Geo(tr)) + Geo(bl).Distance(Geo(br))) / 2;
    h = (Geo(tr).Distance(Geo(br)) + Geo(tl).Distance(Geo(bl))) / 2;
  } else {
    std::optional<GridPoint> gtl = ToGrid(tl, grid_), gtr = ToGrid(tr, grid_), gbr = ToGrid(br, grid_),
                             gbl = ToGrid(bl, grid_);
    if (!gtl || !gtr || !gbr || !gbl) {
      LogMessage("MapImage: %s: a corner lies outside grid %d; width kept", name_.c_str(), grid_);
      return;
    }
    w = ((gtr->easting - gtl->easting) + (gbr->easting - gbl->easting)) / 2;
    h = ((gtr->northing - gbr->northing) + (gtl->northing - gbl->northing)) / 2;
  }
  double width = h < w ? w : static_cast<double>(width_) * h / height_;
  widthM_ = Finite(width) ? std::max(width, kMinWidthM) : kMinWidthM;
}

void MapImage::SetReference(int n, MapPoint position) {
  if (!calibrated_ || (n != 1 && n != 2)) return;
  matrixT inverse = Inverse(transform_);
  if (inverse.empty()) return;
  MapPoint pixel = Apply(transform_, position);
  constexpr double kLimit = std::numeric_limits<int>::max();
  if (!Finite(pixel) || std::fabs(pixel.x) > kLimit || std::fabs(pixel.y) > kLimit) return;
  pixel = {std::trunc(pixel.x), std::trunc(pixel.y)};
  const MapPoint at = Apply(inverse, pixel);
  if (method_ == CalibrationMethod::OnePoint) {
    if (n == 1) Calibrate1Point(pixel.x, pixel.y, at.x, at.y, widthM_, grid_, true);
  } else if (n == 1) {
    Calibrate2Point(pixel, at, ref2Pixel_, ref2Position_, grid_);
  } else {
    Calibrate2Point(ref1Pixel_, ref1Position_, pixel, at, grid_);
  }
}

bool MapImage::CalibrateToView(int screenWidth, int screenHeight, const ScreenToPosition& screenToPosition) {
  if (calibrated_ || width_ <= 0 || height_ <= 0 || screenWidth <= 0 || screenHeight <= 0 || !screenToPosition)
    return false;
  env_.hiddenMaps.Remove(name_);
  visible_ = true;
  const double scale = std::min(0.8 * screenWidth / width_, 0.8 * screenHeight / height_);
  const double fittedWidth = width_ * scale, fittedHeight = height_ * scale;
  const double left = (screenWidth - fittedWidth) / 2, top = (screenHeight - fittedHeight) / 2;
  std::optional<MapPoint> topLeft = screenToPosition(left, top);
  std::optional<MapPoint> topRight = screenToPosition(left + fittedWidth, top);
  if (!topLeft || !topRight || !Finite(*topLeft) || !Finite(*topRight)) return false;
  const double widthM = Geo(*topLeft).Distance(Geo(*topRight));
  Calibrate1Point(0, 0, topLeft->x, topLeft->y, widthM, grid_, false);
  return calibrated_;
}

void MapImage::Move(double dLon, double dLat) {
  if (!calibrated_ || !Finite(dLon) || !Finite(dLat)) return;
  SetTransform(transform_ * TranslateBy(-dLon, -dLat), {.reference1AndWidth = true, .bothReferences = true});
}

void MapImage::Scale(double factor, MapPoint about) {
  if (!calibrated_ || !Finite(factor) || factor == 0 || !Finite(about)) return;
  const MapPoint before = Apply(transform_, about);
  matrixT scaled = ScaleBy(1 / factor, 1 / factor) * transform_;
  const MapPoint after = Apply(scaled, about);
  SetTransform(TranslateBy(before.x - after.x, before.y - after.y) * scaled,
               {.reference1AndWidth = true, .bothReferences = true});
}

void MapImage::Rotate(const matrixT& view, const matrixT& rotation) {
  if (!calibrated_) return;
  matrixT pixelToPosition = Inverse(transform_);
  matrixT screenToPosition = Inverse(view);
  if (pixelToPosition.empty() || screenToPosition.empty() || rotation.rows() != 3 || rotation.columns() != 3)
    return;
  // Picture pixel to screen, turned on the screen, back to positions.
  matrixT turned = screenToPosition * rotation * view * pixelToPosition;
  matrixT transform = Inverse(turned);
  if (transform.empty()) return;
  SetTransform(transform, {.reference1AndWidth = true, .bothReferences = true});
}

void MapImage::Decalibrate() {
  calibrated_ = false;
  visible_ = false;
  WriteCalibration();
}

std::optional<MapPoint> MapImage::ToPixel(double lon, double lat) const {
  if (!calibrated_) return std::nullopt;
  return Apply(transform_, {lon, lat});
}

std::optional<MapPoint> MapImage::ToPosition(double x, double y) const {
  if (!calibrated_) return std::nullopt;
  matrixT inverse = Inverse(transform_);
  if (inverse.empty()) return std::nullopt;
  return Apply(inverse, {x, y});
}

}  // namespace rovana::maps
