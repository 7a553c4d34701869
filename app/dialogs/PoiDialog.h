// The POI dialog, in its two uses:
//
// - Add POI: a new point at a given position (the marker or the user's
//   position), stamped now with the symbol `poiStyle`; OK adds it to the
//   chosen collection (the current one unless the user picks another) with
//   speed -1 and update on. Without a current collection there is nothing
//   to add to: the user is told to select or create a GPX file first.
// - POI details: the selected point of the current collection, edited in
//   place.
//
// Two pages. General: name, description, symbol (the symbol table's named
// symbols with their 20 x 20 icons), the collection (every POIs collection
// and route of the files, and the point's own), the position (read-only).
// Attachments: picture (a file chosen in a file dialog), link ("http://" put
// in front only when the text names no scheme), phone with Call (hands
// "tel:<number>" to the desktop), audio note with Record, Play and Delete.
// The page last shown is kept in the setting `poiTab`.
//
// Audio notes: a recording goes to "audio_tmp.wav" in `primaryDataPath`;
// when the dialog opens on a point with a note, the note is copied there for
// playing, else that file is deleted. OK moves a new recording into the
// attachment folder of the chosen collection's file ("audio_hh_mm_ss.wav"
// of the point's time, with a suffix when that name is taken); a point that
// moves to a collection of another file takes its note along. Delete asks
// "<question> (<file name>)?" and on Yes deletes the note at once.
//
// On OK: name, description, symbol, picture, link and phone are stored in
// the point, the symbol becomes the new `poiStyle`, the point moves to the
// chosen collection when it is another one (removed from the old one, whose
// file is read again first when it was unloaded), becomes the selected point,
// its collection becomes the current one and is reclassified, and the file is
// marked modified.
//
// User-interface thread only; the collections are changed through their own
// locks.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/dialogs/DialogAsker.h"
#include "app/waypoints/GeoPoint.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace rovana {
class LanguageTable;
class POIs;
class SettingsStore;
class Waypoints;
}  // namespace rovana

namespace rovana::ui {
class SymbolTable;
}

namespace rovana::dialogs {

class AudioNote;

enum class PoiTab { General = 0, Attachments = 1 };

// The file dialog's filters for pictures.
inline constexpr const char* kPictureFilters = "jpg (*.jpg);;gif (*.gif);;png (*.png);;All (*.*)";

// What the dialog asks of the user and the desktop; each hook left empty
// gets the real thing (message boxes, QDesktopServices::openUrl,
// QFileDialog).
struct PoiDialogHooks {
  // Questions (the audio note's delete question) and messages.
  DialogAsker asker;
  // Hands a URL to the desktop ("tel:+4930123" for Call); false when none
  // takes it.
  std::function<bool(const QUrl& url)> openUrl;
  // Picks a picture file, starting at `start`; empty when cancelled.
  std::function<QString(const QString& start, const QString& filters)> pickPicture;
  // The audio input to record from (QAudioDevice::id); empty: the default.
  QByteArray audioInput;
};

class PoiDialog : public QDialog {
  Q_OBJECT

 public:
  // Add POI at `position` (latitude, longitude and altitude are taken).
  PoiDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
            const ui::SymbolTable& symbols, const GeoPoint& position, QWidget* parent = nullptr,
            PoiDialogHooks hooks = {});
  // POI details of the selected point of the current collection.
  PoiDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
            const ui::SymbolTable& symbols, QWidget* parent = nullptr, PoiDialogHooks hooks = {});
  ~PoiDialog() override;

  // The menu commands: run the dialog; true when OK stored the point.
  // Without a current collection the user is told so (kPoiNeedsFile) and
  // nothing opens; details of an empty collection open nothing either.
  static bool AddPoi(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                     const ui::SymbolTable& symbols, const GeoPoint& position, QWidget* parent = nullptr,
                     PoiDialogHooks hooks = {});
  static bool ShowDetails(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
                          const ui::SymbolTable& symbols, QWidget* parent = nullptr, PoiDialogHooks hooks = {});

  // A new point at `position` straight into the current collection, without
  // the dialog: stamped now with `poiStyle`, speed -1, update on, selected.
  // Null without a current collection.
  static GeoPoint* AddPointNow(Waypoints& waypoints, const SettingsStore& settings, const GeoPoint& position);

  // False when there is no point to edit or no collection to add to; OK
  // then only closes the dialog.
  bool ready() const { return ready_; }
  // OK: stores the point as described above.
  void accept() override;
  void done(int result) override;

  // The collection the point was stored in by OK, and the stored point.
  POIs* storedIn() const { return storedIn_; }
  const GeoPoint* storedPoint() const { return storedPoint_; }
  // The collections offered, in the order of the collection box.
  const std::vector<POIs*>& offeredCollections() const { return collections_; }

  // What the dialog does when a recording ended; `ok`: the temporary file
  // holds a new recording.
  void RecordingFinished(bool ok);
  // The temporary file recordings go to and notes are played from.
  const std::filesystem::path& temporaryFile() const { return temporary_; }

  QTabWidget* tabs() const { return tabs_; }
  QLineEdit* nameEdit() const { return name_; }
  QPlainTextEdit* descEdit() const { return desc_; }
  QComboBox* symbolBox() const { return symbol_; }
  QComboBox* collectionBox() const { return collection_; }
  QLabel* positionLabel() const { return position_; }
  QLineEdit* pictureEdit() const { return picture_; }
  QPushButton* pictureButton() const { return pickPicture_; }
  QLineEdit* linkEdit() const { return link_; }
  QLineEdit* phoneEdit() const { return phone_; }
  QPushButton* callButton() const { return call_; }
  QLabel* audioLabel() const { return audioLabel_; }
  QPushButton* recordButton() const { return record_; }
  QPushButton* playButton() const { return play_; }
  QPushButton* deleteAudioButton() const { return deleteAudio_; }

 private:
  PoiDialog(Waypoints& waypoints, SettingsStore& settings, const LanguageTable& language,
            const ui::SymbolTable& symbols, QWidget* parent, PoiDialogHooks hooks, bool adding);
  void Build();
  QWidget* BuildGeneralPage();
  QWidget* BuildAttachmentsPage();
  void FillCollections();
  void Load();
  void InstallDefaultHooks();
  QString Text(int entry) const;

  void PickPicture();
  void CompleteLink();
  void Call();
  AudioNote& Audio();  // made and connected on the first use
  void ToggleRecording();
  void TogglePlaying();
  void DeleteAudioNote();
  void UpdateAudioControls();
  void StopAudio();
  std::filesystem::path SourceFolder() const;

  Waypoints& waypoints_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  const ui::SymbolTable& symbols_;
  PoiDialogHooks hooks_;
  const bool adding_;
  bool ready_ = false;

  POIs* source_ = nullptr;             // details: the point's collection; adding: null
  const GeoPoint* point_ = nullptr;    // details: the stored point
  GeoPoint working_;                   // the point as it will be stored
  std::vector<POIs*> collections_;
  std::filesystem::path temporary_;
  bool hasNote_ = false;       // the temporary file holds a note to play
  bool newRecording_ = false;  // ... and it is a new recording
  std::unique_ptr<AudioNote> audio_;

  POIs* storedIn_ = nullptr;
  const GeoPoint* storedPoint_ = nullptr;

  QTabWidget* tabs_ = nullptr;
  QLineEdit* name_ = nullptr;
  QPlainTextEdit* desc_ = nullptr;
  QComboBox* symbol_ = nullptr;
  QComboBox* collection_ = nullptr;
  QLabel* position_ = nullptr;
  QLineEdit* picture_ = nullptr;
  QPushButton* pickPicture_ = nullptr;
  QLineEdit* link_ = nullptr;
  QLineEdit* phone_ = nullptr;
  QPushButton* call_ = nullptr;
  QLabel* audioLabel_ = nullptr;
  QPushButton* record_ = nullptr;
  QPushButton* play_ = nullptr;
  QPushButton* deleteAudio_ = nullptr;
};

}  // namespace rovana::dialogs
