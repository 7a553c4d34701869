// Map › Select...: every map of the catalogue in catalogue order by name,
// with a check box (checked = visible) and an icon (calibrated,
// uncalibrated, picture failed to load). The selected map is highlighted;
// picking an entry makes its map the selected one (stored in selectedMap)
// and calls `redraw`. "Details" loads the picture at once (other pictures
// are freed for it) and opens the map details dialog, or says that the
// picture cannot be loaded. An empty catalogue shows the message that maps
// are to be copied into the data folder instead of the dialog.
#pragma once

#include <QDialog>
#include <QIcon>
#include <functional>

#include "app/dialogs/DialogAsker.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace rovana {
class LanguageTable;
}
namespace rovana::maps {
class GridConverter;
class MapCatalogue;
class MapImage;
}  // namespace rovana::maps

namespace rovana::dialogs {

class MapDetailsDialog;

enum class MapIcon { Calibrated = 0, Uncalibrated = 1, Failed = 2 };

class MapTreeDialog : public QDialog {
  Q_OBJECT

 public:
  using Asker = DialogAsker;
  // Runs the details dialog; the default runs it modally. Tests answer it.
  using DetailsRunner = std::function<void(MapDetailsDialog& dialog)>;

  // Everything must outlive the dialog. Messages go to `asker`.
  MapTreeDialog(maps::MapCatalogue& catalogue, maps::GridConverter& grids, const LanguageTable& language,
                QWidget* parent = nullptr, Asker asker = {}, std::function<void()> redraw = {},
                DetailsRunner details = {});

  // Without maps: the "no maps" message instead of the dialog, and Rejected.
  int exec() override;

  // The Details button.
  void OpenDetails();
  // Builds the list again from the catalogue.
  void Rebuild();

  static MapIcon IconOf(const maps::MapImage& map);

  QTreeWidget* tree() const { return tree_; }
  QTreeWidgetItem* ItemOf(const maps::MapImage& map) const;
  QPushButton* detailsButton() const { return details_; }

 private:
  maps::MapImage* MapOf(const QTreeWidgetItem* item) const;

  maps::MapCatalogue& catalogue_;
  maps::GridConverter& grids_;
  const LanguageTable& language_;
  Asker asker_;
  std::function<void()> redraw_;
  DetailsRunner runDetails_;
  QIcon icons_[3];
  QTreeWidget* tree_ = nullptr;
  QPushButton* details_ = nullptr;
};

}  // namespace rovana::dialogs
