// The main screen's map and position commands: the map list and the map
// details, the position-entry dialog (Tools › Locator), the track analyzer,
// and View › Reset user pos and Goto user. Each dialog runs through RunModal.
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/coords/Locator.h"
#include "app/dialogs/LocatorDialog.h"
#include "app/dialogs/MapDetailsDialog.h"
#include "app/dialogs/MapTreeDialog.h"
#include "app/dialogs/TrackAnalyzerDialog.h"
#include "app/gps/GpsConnection.h"
#include "app/maps/MapCatalogue.h"
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
    case CommandKind::Locator: {
      if (!context_.locator) break;
      context_.locator->SetPosition(marker_ ? *marker_ : UserPosition());
      dialogs::LocatorDialog dialog(*context_.locator, context_.settings, language, this);
      if (RunModal(dialog) != QDialog::Accepted) break;
      // The user is where the dialog says; the view centres there.
      const GeoPoint entered = dialog.position();
      if (context_.gps) context_.gps->thread().ResetUserPosition(entered);
      marker_ = entered;
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
      marker_ = UserPosition();
      update();
      break;
    default:
      break;
  }
}

}  // namespace rovana::ui
