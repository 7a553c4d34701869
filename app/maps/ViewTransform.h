// ViewTransform: the map screen's geometry without a window. It turns the
// view parameters (pan, zoom, rotation, heading mode) and what the view
// follows into the screen transform, a 3 x 3 homogeneous matrixT on the
// column (longitude, latitude, 1) in radians, and answers the questions the
// painter asks of it: where a position lies on the screen and back, which
// area is visible, how many metres a pixel covers, how a course looks on the
// screen.
//
// The zoom counts device pixels per radian of longitude (its limits grow with
// the screen's dpi), so the transform gives device pixels directly.
//
// Next to it: the on-screen thinning of long point lists, the clipping of
// lines to the screen plus a margin (the raster engine draws coordinates of
// the deepest zoom, around 1e9 pixels, wrongly), the grid line geometry and
// the scale bar lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "app/processing/MatrixT.h"
#include "app/waypoints/GeoPoint.h"
#include "app/waypoints/POIs.h"

namespace rovana::maps {

inline constexpr double kMinZoom = 39.79331706606942;    // pixels per radian at 96 dpi
inline constexpr double kMaxZoom = 41726317.23587081;
inline constexpr double kNorthUpTolerance = 0.03490658503988659;  // 2 degrees
inline constexpr double kPi = 3.14159265358979323846;

enum class HeadingMode : int { NorthUp = 0, CourseUp = 1, TargetUp = 2 };

// 96-dpi units to device pixels: (|v| x dpi + 48) / 96, sign kept.
int ScaleUnits(int units, int dpi);
// The zoom clamped to its limits at `dpi`: [kMinZoom x s, kMaxZoom x s] with
// s = (dpi + 48) / 96.
double ClampZoom(double zoom, int dpi);

// The vertical offset of the view centre in 96-dpi units.
struct OffsetFlags {
  bool directionsPane = false;  // dirsRefresh non-zero
  bool basicsEnabled = false;
  bool zoomEnabled = false;
  int headingMode = 0;
  bool layoutFlag = false;  // the main screen's layout switch that lowers the view
};
int VerticalOffsetUnits(const OffsetFlags& flags);

struct ViewInput {
  int width = 240, height = 320;  // device pixels
  int dpi = 96;
  int verticalOffsetUnits = -13;
  // The stored view parameters.
  double panX = 0, panY = 0;  // radians; the centre is (-panX, -panY)
  double zoom = 5215789.654483851;
  double rotation = 0;
  int headingMode = 0;
  // The position the view centres on (the marker with followMarker, else
  // the user with followUser), and whether it is the user (heading modes 1
  // and 2 turn the view only then).
  std::optional<GeoPoint> centreOn;
  bool followingUser = false;
  // Pending drag offset, radians, added to the pan.
  double dragX = 0, dragY = 0;
  double course = 0;               // the current course, for heading mode 1
  std::optional<GeoPoint> target;  // for heading mode 2
  // Angle from true north to the locator grid's north at a position; 0
  // when absent.
  std::function<double(const GeoPoint&)> gridConvergence;
};

struct ScreenPoint {
  double x = 0, y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

class ViewTransform {
 public:
  ViewTransform();  // a 240 x 320 view of (0, 0) at the default zoom
  static ViewTransform Build(const ViewInput& input);

  // The resulting view parameters, to be stored back: the clamped pan and
  // zoom and the rotation of the heading mode.
  double panX() const { return panX_; }
  double panY() const { return panY_; }
  double zoom() const { return zoom_; }
  double rotation() const { return rotation_; }
  double convergence() const { return convergence_; }
  double cosFactor() const { return cosFactor_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int dpi() const { return dpi_; }
  GeoPoint centre() const;
  // The screen point the centre lies on.
  ScreenPoint centrePixel() const { return ToScreen(-panX_, -panY_); }

  const matrixT& screen() const { return screen_; }
  const matrixT& grid() const { return grid_; }

  ScreenPoint ToScreen(double longitude, double latitude) const {
    return {a_[0] * longitude + a_[1] * latitude + a_[2], a_[3] * longitude + a_[4] * latitude + a_[5]};
  }
  ScreenPoint ToScreen(const GeoPoint& p) const { return ToScreen(p.longitude(), p.latitude()); }
  ScreenPoint GridToScreen(double longitude, double latitude) const {
    return {g_[0] * longitude + g_[1] * latitude + g_[2], g_[3] * longitude + g_[4] * latitude + g_[5]};
  }
  // The position under a screen point (clamped to the valid range).
  GeoPoint ToPosition(double x, double y) const;
  // The change of (longitude, latitude) that moves the picture by (dx, dy) pixels.
  ScreenPoint PixelStepToRadians(double dx, double dy) const;

  // Longitude and latitude extremes of the four screen corners through the
  // inverse grid transform.
  const GeoBounds& visible() const { return visible_; }
  // (1 / zoom) x earth radius x cos(view latitude).
  double metresPerPixel() const;
  // Heading mode 0 and the rotation within 2 degrees of the grid convergence.
  bool northUp() const;
  // How the course `course` (radians clockwise from north) at `at` points on
  // the screen, radians clockwise from straight up.
  double ScreenAngle(const GeoPoint& at, double course) const;

 private:
  struct Raw {};
  explicit ViewTransform(Raw) {}
  void SetMatrices(const matrixT& screen, const matrixT& grid);

  int width_ = 240, height_ = 320, dpi_ = 96;
  int headingMode_ = 0;
  double panX_ = 0, panY_ = 0, zoom_ = 5215789.654483851, rotation_ = 0, convergence_ = 0, cosFactor_ = 1;
  matrixT screen_, grid_;
  double a_[6] = {}, g_[6] = {}, inv_[6] = {};
  GeoBounds visible_;
};

// ---- collections on the screen ---------------------------------------------------

// The point skip of a route or track: n = int(((|7 x mpp| x dpi + 48) / 96) /
// (distance / count)) when count > 0 and distance > 0, else 0; the line
// visits every (n + 1)-th point, about one per 7 pixels.
int PointSkip(std::size_t count, double distanceMetres, double metresPerPixel, int dpi);
// The indexes visited with skip n: 0, n + 1, 2 (n + 1), ... and always the
// last one.
std::vector<std::size_t> VisitedIndices(std::size_t count, int skip);

// The screen extent of a bounds: the ground lengths of its top and left
// edges divided by metres per pixel, each at least 10.
struct ScreenExtent {
  double width = 10, height = 10;
  double area() const { return width * height; }
};
ScreenExtent ExtentOnScreen(const GeoBounds& bounds, double metresPerPixel);

// ---- clipping ---------------------------------------------------------------------

struct ClipBox {
  double left = 0, top = 0, right = 0, bottom = 0;
  // The screen grown by `margin` pixels on every side.
  static ClipBox Screen(int width, int height, double margin);
  bool Contains(ScreenPoint p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
};

// Cuts the segment to the box (Liang-Barsky). False when nothing of it is
// inside or a coordinate is no finite number.
bool ClipSegment(ScreenPoint& a, ScreenPoint& b, const ClipBox& box);

// Cuts a polygon to the box (Sutherland-Hodgman); empty when nothing of it
// is inside or a vertex is no finite number.
std::vector<ScreenPoint> ClipPolygon(std::span<const ScreenPoint> polygon, const ClipBox& box);

// Builds polylines from a path whose vertices may lie far outside the box:
// every segment is clipped, and consecutive segments that join stay one run.
class ClippedPath {
 public:
  explicit ClippedPath(const ClipBox& box) : box_(box) {}
  void MoveTo(ScreenPoint p);
  void LineTo(ScreenPoint p);
  const std::vector<std::vector<ScreenPoint>>& runs() const { return runs_; }
  std::size_t vertices() const;

 private:
  ClipBox box_;
  ScreenPoint last_;
  bool haveLast_ = false;
  bool open_ = false;  // the last run ends at last_
  std::vector<std::vector<ScreenPoint>> runs_;
};

// A route or track as screen polylines: the visited points (VisitedIndices),
// a segment drawn only when its bounding box meets `visible`, the line
// broken where one was skipped, and a last segment to `end` when given (the
// recording track's current position).
ClippedPath TracePoints(std::span<const GeoPoint> points, int skip, const ViewTransform& view,
                        const std::optional<GeoPoint>& end, double margin);

// The same, fed one point at a time in list order (a collection visited
// under its lock): Add every point, then Finish. `count` is the number of
// points that will be added. A point given to Add must stay where it is
// until the next Add or Finish.
class PointTracer {
 public:
  PointTracer(const ViewTransform& view, std::size_t count, int skip, double margin);
  void Add(const GeoPoint& point);
  ClippedPath Finish(const std::optional<GeoPoint>& end);

 private:
  void Step(const GeoPoint& point);

  const ViewTransform& view_;
  ClippedPath path_;
  std::size_t count_, stride_, index_ = 0;
  const GeoPoint* previous_ = nullptr;
  GeoPoint previousCopy_;  // the last point, kept for Finish's step to `end`
  bool connected_ = true;
};

// ---- grid and scale ---------------------------------------------------------------

struct GridLines {
  bool draw = false;
  std::uint32_t colour = 0;  // 0x00BBGGRR, blended towards the background when thin
  double spacing = 0;        // pixels between lines
  std::vector<std::pair<ScreenPoint, ScreenPoint>> lines;  // clipped to the screen plus margin
};
GridLines MakeGridLines(const ViewTransform& view, double gridStepMetres, int gridWidth, std::uint32_t gridColour,
                        std::uint32_t backgroundColour, double margin);
// Channel by channel from `from` towards `to` by `weight` (0 to 1).
std::uint32_t BlendColour(std::uint32_t from, std::uint32_t to, double weight);

// A round length (1, 2 or 5 times a power of ten metres) that fits into
// `maxPixels`, and its length in pixels.
struct ScaleBar {
  double metres = 0;
  double pixels = 0;
};
ScaleBar MakeScaleBar(double metresPerPixel, double maxPixels);

}  // namespace rovana::maps
