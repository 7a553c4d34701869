// The main screen's GPX menu: the files and collections dialog, the details
// of the current collection, adding a POI and its details, and starting and
// stopping track recording. Each dialog runs through RunModal.
#include <QMessageBox>
#include <QTimer>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/CollectionDetailsDialog.h"
#include "app/dialogs/GpxDialog.h"
#include "app/dialogs/PoiDialog.h"
#include "app/dialogs/RecordTrackDialog.h"
#include "app/gps/GpsConnection.h"
#include "app/processing/TrackRecorder.h"
#include "app/ui/MainScreen.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::ui {

using screen::CommandKind;

namespace {

constexpr int kRecordTrackCommand = 32828;

}  // namespace

GeoPoint MainScreen::UserPosition() const {
  // New tracks start at the user; new POIs at the marker when there is one.
  return context_.gps ? context_.gps->filter().GetPosition(false) : GeoPoint();
}

void MainScreen::Tell(const std::string& text) {
  LogMessage("Message: %s", text.c_str());
  if (context_.automatic) return;
  QMessageBox box(QMessageBox::Information, QString::fromStdString(context_.language.Entry(lang::kMessageCaption)),
                  QString::fromStdString(text), QMessageBox::Ok, this);
  StopTimer();
  box.exec();
  StartTimer();
}

dialogs::DialogAsker MainScreen::Asker() const {
  dialogs::DialogAsker asker;
  if (context_.automatic) {
    // An unattended run answers OK and reads its messages in the log.
    asker.question = [](const QString&) { return true; };
    asker.message = [](const QString& text) { LogMessage("Message: %s", text.toStdString().c_str()); };
  }
  return asker;
}

void MainScreen::OpenGpxCommand(CommandKind kind) {
  Waypoints* waypoints = context_.waypoints;
  if (!waypoints || !context_.recorder) {
    LogMessage("No waypoint store: the GPX command is not available");
    return;
  }
  SettingsStore& settings = context_.settings;
  const LanguageTable& language = context_.language;
  switch (kind) {
    case CommandKind::GpxSelect: {
      dialogs::GpxDialog dialog(*waypoints, *context_.recorder, settings, language, this, Asker());
      RunModal(dialog);
      break;
    }
    case CommandKind::GpxDetails: {
      POIs* current = waypoints->current();
      if (!current) break;
      dialogs::CollectionDetailsDialog dialog(*current, *waypoints, settings, language, this, Asker());
      RunModal(dialog);
      break;
    }
    case CommandKind::AddPoi:
    case CommandKind::PoiDetails: {
      if (!waypoints->current()) {
        Tell(language.Entry(lang::kPoiNeedsFile));
        break;
      }
      dialogs::PoiDialogHooks hooks;
      hooks.asker = Asker();
      const SymbolTable& symbols = Symbols();
      if (kind == CommandKind::AddPoi) {
        dialogs::PoiDialog dialog(*waypoints, settings, language, symbols, marker_ ? *marker_ : UserPosition(), this, hooks);
        if (dialog.ready()) RunModal(dialog);
      } else {
        dialogs::PoiDialog dialog(*waypoints, settings, language, symbols, this, hooks);
        if (dialog.ready()) RunModal(dialog);
      }
      break;
    }
    case CommandKind::RecordTrack:
      if (context_.recorder->recording())
        StopRecording();
      else
        StartRecording();
      break;
    default:
      break;
  }
}

void MainScreen::StartRecording() {
  dialogs::RecordTrackDialog dialog(*context_.waypoints, context_.settings, context_.language, this, Asker());
  if (RunModal(dialog) != QDialog::Accepted || !dialog.file()) return;
  POIs& track = context_.recorder->Start(*dialog.file(), UserPosition(), TrackFilterSettingsOf(context_.settings));
  if (!dialog.trackName().empty()) track.SetName(dialog.trackName());
  UpdateMenuStates();
}

void MainScreen::StopRecording() {
  const TrackRecorder::Stopped stopped = context_.recorder->Stop();
  UpdateMenuStates();
  if (!stopped.wasRecording) return;
  const LanguageTable& language = context_.language;
  if (stopped.hadPoints)
    Tell(language.Entry(lang::kRecordStopped) + "\n" + stopped.label + "\n" + language.Entry(lang::kRecordStoredIn) +
         "\n" + stopped.fileName);
  else
    Tell(language.Entry(lang::kRecordEmpty));
}

void MainScreen::OfferToResumeRecording() {
  if (!context_.settings.trackRecording || !context_.waypoints || !context_.recorder) return;
  if (context_.automatic) {
    LogMessage("A track was being recorded at the last quit; an unattended run does not resume it");
    return;
  }
  LogMessage("A track was being recorded at the last quit: the record dialog is offered again");
  QTimer::singleShot(0, this, [this] {
    if (!context_.recorder->recording()) StartRecording();
  });
}

bool MainScreen::Recording() const { return context_.recorder && context_.recorder->recording(); }

void MainScreen::UpdateGpxMenuStates() {
  const Waypoints* waypoints = context_.waypoints;
  const POIs* current = waypoints ? waypoints->current() : nullptr;
  if (QAction* details = actionOf(32859)) details->setEnabled(current != nullptr);
  if (QAction* poi = actionOf(32881)) poi->setEnabled(current && current->count() > 0);
  if (QAction* record = actionOf(kRecordTrackCommand)) {
    record->setEnabled(waypoints != nullptr);
    record->setCheckable(true);
    record->setChecked(Recording());
  }
}

const SymbolTable& MainScreen::Symbols() {
  if (!symbols_) symbols_ = std::make_unique<SymbolTable>(context_.symbolFolders);
  return *symbols_;
}

}  // namespace rovana::ui
