// The main screen's marker on objects and its navigation target commands:
// a tap near a point puts the marker on it, and View › Set target, Goto
// target and Delete target act on the marker and the target.
#include <QAction>
#include <cmath>
#include <limits>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/coords/Locator.h"
#include "app/dialogs/LocatorDialog.h"
#include "app/dialogs/TrainerDialog.h"
#include "app/gps/GpsConnection.h"
#include "app/processing/Target.h"
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

void MainScreen::TickGuidance() {
  GpsConnection* gps = context_.gps;
  if (!context_.target) {
    TickSpeedAlert();
    return;
  }
  if (!gps) return;
  TargetInputs in;
  in.now = TickCount();
  in.user = gps->filter().GetPosition(true);
  in.speed = gps->HasFix() ? gps->live().Speed() : 0;
  in.course = gps->live().MovingHeading();
  in.averageSpeed = gps->live().AverageSpeed(true);
  context_.target->Tick(in);
}

void MainScreen::OpenTargetCommand(screen::CommandKind kind) {
  Target* target = context_.target;
  if (!target) {
    LogMessage("No navigation target: the command is not available");
    return;
  }
  switch (kind) {
    case screen::CommandKind::SetTarget:
      SetTargetFromMarker();
      break;
    case screen::CommandKind::GotoTarget: {
      const std::optional<GeoPoint> at = target->TargetPoint();
      if (!at || !view_.translateX || !view_.translateY) break;
      // Following would pull the view back at once.
      context_.settings.followUser = false;
      context_.settings.followMarker = false;
      *view_.translateX = -at->longitude();
      *view_.translateY = -at->latitude();
      mapView_.ClearDrag();
      pan_ = {};
      break;
    }
    case screen::CommandKind::DeleteTarget:
      SetMarker(std::nullopt);
      target->Clear();
      break;
    case screen::CommandKind::Trainer: {
      GpsConnection* gps = context_.gps;
      dialogs::TrainerDialog::Sources sources;
      sources.ticks = [] { return TickCount(); };
      if (gps) {
        sources.averageSpeed = [gps] { return gps->live().AverageSpeed(true); };
        sources.user = [gps]() -> std::optional<GeoPoint> { return gps->filter().GetPosition(true); };
      }
      dialogs::TrainerDialog dialog(*target, context_.settings, context_.language, this, sources);
      RunModal(dialog);
      break;
    }
    default:
      break;
  }
  UpdateMenuStates();
  update();
}

void MainScreen::SetTargetFromMarker() {
  Target& target = *context_.target;
  if (const std::optional<MarkedPoint> object = MarkedObject()) {
    // The marker lies on a point: that object becomes the target.
    if (object->collection->kind() == PoisKind::POIs) {
      target.SetPositionTarget(*object->point, StoredPointSource(*context_.waypoints, *object->collection, object->point));
    } else {
      target.SetCollectionTarget(*object->point, *object->collection);
    }
    LogMessage("Target set on %s", object->collection->FullName().c_str());
    return;
  }
  if (!context_.locator) return;
  context_.locator->SetPosition(marker_ ? *marker_ : UserPosition());
  dialogs::LocatorDialog dialog(*context_.locator, context_.settings, context_.language, this);
  if (RunModal(dialog) != QDialog::Accepted) return;
  const GeoPoint entered = dialog.position();
  SetMarker(entered);
  target.SetPositionTarget(entered);
}

void MainScreen::UpdateTargetMenuStates() {
  const Target* target = context_.target;
  const bool set = target && target->state() != TargetState::None;
  if (QAction* a = actionOf(32826)) a->setEnabled(target != nullptr);
  if (QAction* a = actionOf(32825)) a->setEnabled(set);
  if (QAction* a = actionOf(32833)) a->setEnabled(set);
  if (QAction* a = actionOf(32875)) {
    a->setEnabled(target != nullptr);
    a->setChecked(target && context_.settings.trainerEnabled && target->collection() != nullptr);
  }
}

}  // namespace rovana::ui
