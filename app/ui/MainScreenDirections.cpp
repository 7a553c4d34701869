// Tools › Directions and the directions pane of the main screen.
#include <QTextBrowser>

#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/dialogs/CollectionDetailsDialog.h"
#include "app/dialogs/DirectionsDialog.h"
#include "app/online/Directions.h"
#include "app/processing/Target.h"
#include "app/screen/ScreenRules.h"
#include "app/ui/MainScreen.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::ui {
namespace {

// The pane: 83 units high, 12 units from the left edge to the right edge,
// just above the zoom bar.
constexpr int kPaneLeftUnits = 12;
constexpr int kPaneHeightUnits = 83;
constexpr int kPaneBottomUnits = 26;  // the zoom bar and a gap

}  // namespace

void MainScreen::OpenDirections() {
  Directions* directions = context_.directions;
  if (!directions || !context_.waypoints) {
    LogMessage("Command 32877: the directions are not available");
    return;
  }
  dialogs::DirectionsDialogHooks hooks;
  hooks.user = [this] { return UserPosition(); };
  Target* target = context_.target;
  hooks.target = [target]() -> std::optional<GeoPoint> { return target ? target->TargetPoint() : std::nullopt; };
  hooks.routeCreated = [this](POIs& route) {
    dialogs::CollectionDetailsDialog details(route, *context_.waypoints, context_.settings, context_.language, this,
                                             Asker());
    details.exec();
    update();
  };
  hooks.asker = Asker();
  dialogs::DirectionsDialog dialog(*directions, *context_.waypoints, context_.settings, context_.language,
                                   std::move(hooks), this);
  RunModal(dialog);
  paneShown_ = -1;  // the pane may have missed changes while the timer was stopped
}

void MainScreen::TickDirections() {
  Directions* directions = context_.directions;
  if (!directions) return;
  directions->SetPlaces(UserPosition(), context_.target ? context_.target->TargetPoint() : std::nullopt);
  const bool shown = context_.settings.dirsRefresh != 0;
  if (!shown) {
    if (directionsPane_) directionsPane_->hide();
    return;
  }
  if (!directionsPane_) {
    directionsPane_ = new QTextBrowser(this);
    directionsPane_->setObjectName("directionsPane");
    directionsPane_->setOpenLinks(false);
    directionsPane_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  const QRect area = mapArea();
  const int left = screen::Scale(kPaneLeftUnits, dpi_);
  const int height = screen::Scale(kPaneHeightUnits, dpi_);
  const QRect pane(area.left() + left, area.bottom() + 1 - screen::Scale(kPaneBottomUnits, dpi_) - height,
                   area.width() - left, height);
  if (directionsPane_->geometry() != pane) directionsPane_->setGeometry(pane);
  if (!directionsPane_->isVisible()) directionsPane_->show();
  dialogs::ShowDirectionsPage(*directionsPane_, directions->headlinePage(), directions->ChangeCount(), paneShown_,
                              false);
}

}  // namespace rovana::ui
