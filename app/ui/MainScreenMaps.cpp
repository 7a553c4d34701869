// The main screen's map and position commands: the map list and the map
// details, calibration mode with its references, the position-entry dialog
// (Tools › Locator), the track analyzer, and View › Reset user pos and Goto
// user. Each dialog runs through RunModal.
#include <QAction>
#include <algorithm>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/coords/Locator.h"
#include "app/dialogs/CalibrationChoiceDialog.h"
#include "app/dialogs/LocatorDialog.h"
#include "app/dialogs/MapDetailsDialog.h"
#include "app/dialogs/OnlineMapsDialog.h"
#include "app/dialogs/MapTreeDialog.h"
#include "app/dialogs/TrackAnalyzerDialog.h"
#include "app/gps/GpsConnection.h"
#include "app/maps/MapCatalogue.h"
#include "app/maps/OnlineMaps.h"
#include "app/ui/MainScreen.h"

namespace rovana::ui {

using screen::CommandKind;

void MainScreen::OpenMapCommand(CommandKind kind) {
  const LanguageTable& language = context_.language;
  switch (kind) {
    case CommandKind::MapSelect: {
      if (!context_.catalogue || !context_.grids) break;
      dialogs::MapTreeDialog dialog(*context_.catalogue, *context_.grids, language, this, Asker(), [this] { update(); });
      RunModal(dialog);
      break;
    }
    case CommandKind::MapDetails: {
      maps::MapImage* map = context_.catalogue ? context_.catalogue->selected() : nullptr;
      if (!map || !context_.grids) break;
      if (!map->calibrated()) {
        Tell(language.Entry(lang::kMapNotCalibrated));
        break;
      }
      if (!context_.catalogue->EnsurePictureNow(*map)) {
        Tell(language.Entry(lang::kMapPictureFailed));
        break;
      }
      dialogs::MapDetailsDialog dialog(*map, *context_.grids, language, this, [this] { update(); });
      RunModal(dialog);
      break;
    }
    case CommandKind::OnlineMaps: {
      maps::OnlineMaps* tiles = context_.onlineMaps;
      std::function<void()> clear;
      if (tiles) clear = [tiles] { tiles->ClearCache(); };
      dialogs::OnlineMapsDialog dialog(context_.settings, language, this, Asker(), clear);
      if (RunModal(dialog) == QDialog::Accepted) UpdateMenuStates();
      update();
      break;
    }
    case CommandKind::Locator: {
      if (!context_.locator) break;
      context_.locator->SetPosition(marker_ ? *marker_ : UserPosition());
      dialogs::LocatorDialog dialog(*context_.locator, context_.settings, language, this);
      if (RunModal(dialog) != QDialog::Accepted) break;
      // The user is where the dialog says; the view centres there.
      const GeoPoint entered = dialog.position();
      if (context_.gps) context_.gps->thread().ResetUserPosition(entered);
      SetMarker(entered);
      update();
      break;
    }
    case CommandKind::TrackAnalyzer: {
      if (!context_.waypoints) break;
      dialogs::TrackAnalyzerDialog dialog(*context_.waypoints, context_.settings, language, this, Asker());
      RunModal(dialog);
      break;
    }
    case CommandKind::ResetUserPos: {
      // Without a fix the user says where they are: the marker, else the
      // middle of the view.
      if (!context_.gps || context_.gps->HasFix()) break;
      const GeoPoint at = marker_ ? *marker_ : mapView_.transform().centre();
      context_.gps->thread().ResetUserPosition(at);
      pan_ = {};
      mapView_.ClearDrag();
      update();
      break;
    }
    case CommandKind::GotoUser:
      SetMarker(UserPosition());
      update();
      break;
    case CommandKind::Calibrate:
      ToggleCalibration();
      break;
    case CommandKind::SetReference1:
    case CommandKind::SetReference2:
      SetCalibrationReference(kind == CommandKind::SetReference1 ? 1 : 2);
      break;
    default:
      break;
  }
}

void MainScreen::ToggleCalibration() {
  const LanguageTable& language = context_.language;
  if (calibrationMode_) {
    calibrationMode_ = false;
    if (calibrating_) {
      calibrating_->setPinned(false);
      Tell(language.Entry(lang::kCalibrationEnded) + " " + calibrating_->name());
    }
    calibrating_ = nullptr;
    update();
    return;
  }
  maps::MapImage* map = context_.catalogue ? context_.catalogue->selected() : nullptr;
  if (!map) {
    Tell(language.Entry(lang::kCalibrateNeedsMap));
    return;
  }
  if (!context_.catalogue->EnsurePictureNow(*map)) {
    Tell(language.Entry(lang::kMapPictureFailed));
    return;
  }
  dialogs::CalibrationChoiceDialog dialog(language, this);
  RunModal(dialog);
  if (dialog.choice() == dialogs::CalibrationChoice::Cancel) return;
  if (map->calibrated()) {
    FitViewToMap(*map);
  } else {
    // An uncalibrated picture is first laid onto the view.
    mapView_.Build(view_, Frame());
    const maps::ViewTransform& view = mapView_.transform();
    map->CalibrateToView(width(), height(), [&view](double x, double y) -> std::optional<maps::MapPoint> {
      const GeoPoint at = view.ToPosition(x, y);
      return maps::MapPoint{at.longitude(), at.latitude()};
    });
  }
  calibrationMode_ = true;
  calibrateByMap_ = dialog.choice() == dialogs::CalibrationChoice::ByMap;
  calibrating_ = map;
  map->setPinned(true);
  update();
}

void MainScreen::WatchCalibrationOverwrites() {
  if (!context_.catalogue) return;
  context_.catalogue->SetOverwriteHook([this](const maps::MapImage& map, const std::string& otherPicture) {
    const LanguageTable& language = context_.language;
    // "Existing file: a.txt (a.png)" / "a.jpg: Calibrate?"
    const std::string question = language.Entry(lang::kRecordExistingFile) + " " + map.calibrationName() + " (" +
                                 otherPicture + ")\n" + map.name() + ": " + language.Entry(lang::kMenuMapCalibrate) + "?";
    return dialogs::WithDefaultBoxes(Asker(), language, this).question(QString::fromStdString(question));
  });
}

void MainScreen::SetCalibrationReference(int n) {
  if (!calibrationMode_ || !calibrating_) return;
  if (!marker_) {
    Tell(context_.language.Entry(lang::kPlaceMarkerFirst));
    return;
  }
  calibrating_->SetReference(n, maps::MapPoint{marker_->longitude(), marker_->latitude()});
  update();
}

bool MainScreen::MoveCalibration(int dx, int dy) {
  if (!calibrationMode_ || !calibrateByMap_ || !calibrating_) return false;
  // The picture follows the stylus; the view stays where it is.
  const maps::ScreenPoint step = mapView_.transform().PixelStepToRadians(dx, dy);
  calibrating_->Move(step.x, step.y);
  update();
  return true;
}

void MainScreen::FitViewToMap(const maps::MapImage& map) {
  mapView_.Build(view_, Frame());
  const maps::MapBounds& b = map.bounds();
  const GeoPoint centre = mapView_.transform().centre();
  const bool inside = centre.longitude() >= b.minLon && centre.longitude() <= b.maxLon &&
                      centre.latitude() >= b.minLat && centre.latitude() <= b.maxLat;
  const double spanLon = b.maxLon - b.minLon, spanLat = b.maxLat - b.minLat;
  if (inside || !(spanLon > 0) || !(spanLat > 0) || !view_.translateX || !view_.translateY || !view_.zoom) return;
  // Following the user or the marker would pull the view away again.
  context_.settings.followUser = false;
  context_.settings.followMarker = false;
  *view_.translateX = -(b.minLon + b.maxLon) / 2;
  *view_.translateY = -(b.minLat + b.maxLat) / 2;
  // Longitude spans zoom pixels per radian, latitude zoom / cos factor.
  const double cosFactor = std::max(std::cos(*view_.translateY), 0.5);
  const QRect area = mapArea();
  *view_.zoom = 0.9 * std::min(area.width() / spanLon, area.height() * cosFactor / spanLat);
  mapView_.ClearDrag();
  pan_ = {};
  LogMessage("Calibration: view fitted to %s", map.name().c_str());
}

bool MainScreen::RotateCalibration(double radians) {
  if (!calibrationMode_ || !calibrateByMap_ || !calibrating_) return false;
  mapView_.Build(view_, Frame());
  const maps::ViewTransform& view = mapView_.transform();
  const maps::ScreenPoint c = view.centrePixel();
  matrixT to, turn, back;
  to.Translation(c.x, c.y);
  turn.Rotation(-radians);  // matrixT turns counter-clockwise on a y-down screen
  back.Translation(-c.x, -c.y);
  calibrating_->Rotate(view.screen(), to * turn * back);
  update();
  return true;
}

bool MainScreen::ScaleCalibration(double factor) {
  if (!calibrationMode_ || !calibrateByMap_ || !calibrating_) return false;
  const GeoPoint centre = mapView_.transform().centre();
  calibrating_->Scale(factor, maps::MapPoint{centre.longitude(), centre.latitude()});
  update();
  return true;
}

void MainScreen::UpdateMapMenuStates() {
  const maps::MapImage* selected = context_.catalogue ? context_.catalogue->selected() : nullptr;
  if (QAction* calibrate = actionOf(32786)) {
    calibrate->setEnabled(selected != nullptr);
    calibrate->setCheckable(true);
    calibrate->setChecked(calibrationMode_);
  }
  if (QAction* details = actionOf(32894)) details->setEnabled(selected != nullptr);
  if (QAction* first = actionOf(32842)) first->setEnabled(calibrationMode_);
  if (QAction* second = actionOf(32843))
    second->setEnabled(calibrationMode_ && calibrating_ && calibrating_->method() == maps::CalibrationMethod::TwoPoint);
}

}  // namespace rovana::ui
