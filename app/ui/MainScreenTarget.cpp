// The main screen's marker on objects and its navigation target commands:
// a tap near a point puts the marker on it, and View › Set target, Goto
// target and Delete target act on the marker and the target.
#include <cmath>
#include <limits>

#include "app/screen/ScreenRules.h"
#include "app/ui/MainScreen.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::ui {

void MainScreen::SetMarker(std::optional<GeoPoint> position, std::optional<MarkedPoint> object) {
  marker_ = std::move(position);
  marked_ = marker_ ? object : std::nullopt;
}

std::optional<MainScreen::MarkedPoint> MainScreen::PointNear(QPoint pixel) const {
  if (!context_.waypoints) return std::nullopt;
  const maps::ViewTransform& view = mapView_.transform();
  const double slop = screen::kMarkerToggleSlopPx;
  double best = std::numeric_limits<double>::infinity();
  std::optional<MarkedPoint> found;
  for (POIs* collection : context_.waypoints->Collections()) {
    if (!collection->visible() || !collection->bounds().Intersects(view.visible())) continue;
    const bool everyPoint = collection->kind() == PoisKind::Track;
    collection->VisitPoints([&](const GeoPoint& p) {
      if (!everyPoint && p.sym().empty()) return;  // drawn without a symbol: nothing to tap
      const maps::ScreenPoint s = view.ToScreen(p);
      const double dx = std::abs(s.x - pixel.x()), dy = std::abs(s.y - pixel.y());
      if (dx > slop || dy > slop) return;
      const double d = dx * dx + dy * dy;
      if (d < best) {
        best = d;
        found = MarkedPoint{collection, &p};
      }
    });
  }
  return found;
}

std::optional<MainScreen::MarkedPoint> MainScreen::MarkedObject() const {
  if (!marked_ || !context_.waypoints) return std::nullopt;
  // The collection or the point may have been deleted since the tap.
  for (POIs* collection : context_.waypoints->Collections()) {
    if (collection != marked_->collection) continue;
    bool present = false;
    collection->VisitPoints([&](const GeoPoint& p) { present = present || &p == marked_->point; });
    if (present) return marked_;
  }
  return std::nullopt;
}

}  // namespace rovana::ui
