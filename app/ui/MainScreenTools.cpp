// The main screen's tool dialogs: the GPS settings, the satellites, the
// position filter and the statistics. Each runs through RunModal; what a
// dialog changed in the settings reaches the GPS connection afterwards.
#include <QApplication>
#include <QDialog>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/dialogs/DashboardDialog.h"
#include "app/dialogs/FilterDialog.h"
#include "app/dialogs/GpsSettingsDialog.h"
#include "app/dialogs/SatelliteDialog.h"
#include "app/dialogs/SpeedAlertDialog.h"
#include "app/dialogs/StopwatchDialog.h"
#include "app/dialogs/TripComputerDialog.h"
#include "app/gps/GpsConnection.h"
#include "app/ui/MainScreen.h"

namespace rovana::ui {

using screen::CommandKind;

void MainScreen::OpenToolDialog(CommandKind kind) {
  GpsConnection* gps = context_.gps;
  if (!gps) {
    LogMessage("No GPS connection: the dialog is not available");
    return;
  }
  SettingsStore& settings = context_.settings;
  switch (kind) {
    case CommandKind::GpsSettings: {
      dialogs::GpsSettingsDialog dialog(settings, context_.language, this);
      if (RunModal(dialog) == QDialog::Accepted) gps->ApplySettings(settings, dialog.newLog());
      break;
    }
    case CommandKind::SatelliteStatus: {
      dialogs::SatelliteDialog dialog(context_.language, [gps] { return gps->thread().data(); }, this);
      RunModal(dialog);
      break;
    }
    case CommandKind::Filter: {
      dialogs::FilterDialog dialog(gps->filter(), settings, context_.language, dpi_, this);
      RunModal(dialog);
      break;
    }
    case CommandKind::TripComputer: {
      // An unattended run answers the reset question itself.
      dialogs::TripComputerDialog::Asker asker;
      if (context_.automatic) asker = [](const QString&) { return true; };
      dialogs::TripComputerDialog dialog(gps->live(), gps->trip(), settings, context_.language, this, asker);
      RunModal(dialog);
      break;
    }
    case CommandKind::Dashboard: {
      dialogs::DashboardDialog dialog(gps->live(), gps->filter(), settings, context_.language, this);
      RunModal(dialog);
      break;
    }
    case CommandKind::Stopwatch: {
      dialogs::StopwatchDialog dialog(gps->live(), settings, context_.language, this);
      RunModal(dialog);
      break;
    }
    case CommandKind::SpeedAlert: {
      dialogs::SpeedAlertDialog dialog(settings, context_.language, this);
      RunModal(dialog);
      break;
    }
    default:
      LogMessage("Command kind %d is not available yet", static_cast<int>(kind));
      break;
  }
}

void MainScreen::TickSpeedAlert() {
  GpsConnection* gps = context_.gps;
  if (!gps || !gps->HasFix()) return;
  speedAlert_.Update(SpeedAlertSettingsOf(context_.settings), gps->live().Speed(), TickCount(), std::nullopt);
}

void MainScreen::ApplySettingsToGps() {
  GpsConnection* gps = context_.gps;
  if (!gps) return;
  context_.settings.horizon = gps->filter().SetHorizon(context_.settings.horizon);
  gps->ApplySettings(context_.settings);
}

}  // namespace rovana::ui
