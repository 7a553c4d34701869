// Where a new track recording goes: a new GPX file (its name proposed from
// the clock, "YYYY-MM-DD_hh-mm-ss.gpx") or one of the files already in the
// list, and optionally the track's name.
//
// OK with a new file checks its name (at least one character before
// ".gpx", a bare file name, no file of that name in the list, any case); a
// refused name shows the language's message and the dialog stays open. An
// accepted new name creates the file in `primaryDataPath` (written by its
// first save) and makes its POIs collection current; an existing file that
// was unloaded is read again. The caller then starts the recording in
// file() and names the track trackName().
#pragma once

#include <QDialog>
#include <QString>
#include <ctime>
#include <string>
#include <vector>

#include "app/dialogs/DialogAsker.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace rovana {
class GpxParser;
class LanguageTable;
class SettingsStore;
class Waypoints;
}  // namespace rovana

namespace rovana::dialogs {

// "%04d-%02d-%02d_%02d-%02d-%02d.gpx" of the local time `when`.
std::string ProposedTrackFileName(std::time_t when);

class RecordTrackDialog : public QDialog {
  Q_OBJECT

 public:
  using Asker = DialogAsker;

  // `waypoints` must outlive the dialog. Messages go to `asker` (message
  // boxes for its empty members).
  RecordTrackDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                    QWidget* parent = nullptr, Asker asker = {});

  // Checks and creates as above; stays open when the name is refused.
  void accept() override;

  // After Accepted: the file to record to, and the track name typed
  // (trimmed, may be empty). Null before.
  GpxParser* file() const { return chosen_; }
  std::string trackName() const { return trackName_; }

  QRadioButton* newFileButton() const { return newFile_; }
  QRadioButton* existingFileButton() const { return existingFile_; }
  QLineEdit* newNameEdit() const { return newName_; }
  // One entry per file of the list, in list order.
  QComboBox* existingCombo() const { return existing_; }
  QLineEdit* trackNameEdit() const { return trackNameEdit_; }

 private:
  void UpdateEnabled();

  Waypoints& waypoints_;
  const LanguageTable& language_;
  Asker asker_;
  std::vector<GpxParser*> files_;  // the combo's entries
  QRadioButton* newFile_ = nullptr;
  QRadioButton* existingFile_ = nullptr;
  QLineEdit* newName_ = nullptr;
  QComboBox* existing_ = nullptr;
  QLineEdit* trackNameEdit_ = nullptr;
  GpxParser* chosen_ = nullptr;
  std::string trackName_;
};

}  // namespace rovana::dialogs
