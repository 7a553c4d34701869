// The GPX files dialog: a tree of every file (in list order) with its
// collections (in collection-list order: POIs first, then routes and
// tracks). A file's check box is its shown flag, a collection's its
// visibility; a collection's line is its list label, with its kind in the
// second column. The current collection is selected when the dialog opens.
//
// Selecting a collection makes it current; selecting a file makes that file
// current with no current collection. Toggling a file's box shows or hides
// all its collections; toggling a collection's box updates its file's box.
// New route, Rename, Delete and Details act on the current file or
// collection; the tree is built again after each of them.
//
// Deleting the track being recorded stops the recording first (a track
// without points is then already gone with its recording); the collection
// is deleted with clean-up, so a file left empty is deleted from disk.
#pragma once

#include <QDialog>
#include <QString>

#include "app/dialogs/DialogAsker.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace rovana {
class GpxParser;
class LanguageTable;
class POIs;
class SettingsStore;
class TrackRecorder;
class Waypoints;
}  // namespace rovana

namespace rovana::dialogs {

class GpxDialog : public QDialog {
  Q_OBJECT

 public:
  using Asker = DialogAsker;

  // Everything must outlive the dialog. Questions, messages and the file
  // name go to `asker` (boxes for its empty members).
  GpxDialog(Waypoints& waypoints, TrackRecorder& recorder, SettingsStore& settings, const LanguageTable& language,
            QWidget* parent = nullptr, Asker asker = {});

  // Without any file: the "no GPX files" message instead of the dialog, and
  // Rejected.
  int exec() override;

  // The buttons' actions.
  void NewRoute();          // asks the route's name; a new empty route in the current file
  void RenameCurrentFile(); // asks the new name and renames the current file
  void DeleteCurrent();     // asks, then deletes the current collection
  void OpenDetails();       // the details dialog of the current collection

  // Builds the tree again from the lists and selects the current collection
  // (or the current file).
  void Rebuild();

  QTreeWidget* tree() const { return tree_; }
  // The node of a file or a collection, null when it has none.
  QTreeWidgetItem* ItemOf(const GpxParser& file) const;
  QTreeWidgetItem* ItemOf(const POIs& collection) const;
  QPushButton* newRouteButton() const { return newRoute_; }
  QPushButton* renameButton() const { return rename_; }
  QPushButton* deleteButton() const { return delete_; }
  QPushButton* detailsButton() const { return details_; }

 private:
  GpxParser* FileOf(const QTreeWidgetItem* item) const;
  POIs* CollectionOf(const QTreeWidgetItem* item) const;
  void Selected(QTreeWidgetItem* item);
  void Toggled(QTreeWidgetItem* item);
  // Check boxes from the model, signals held back.
  void SyncChecks(QTreeWidgetItem* fileItem);
  void UpdateButtons();
  bool StillListed(const GpxParser* file) const;

  Waypoints& waypoints_;
  TrackRecorder& recorder_;
  SettingsStore& settings_;
  const LanguageTable& language_;
  Asker callerAsker_;  // handed on to the details dialog
  Asker asker_;
  QTreeWidget* tree_ = nullptr;
  QPushButton* newRoute_ = nullptr;
  QPushButton* rename_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* details_ = nullptr;
};

}  // namespace rovana::dialogs
