// The details of one map, its calibration tab: name, size in pixels, the
// method (1-point / 2-point), the grid the map is aligned to, reference 1
// (pixel x, y and position), the ground width in metres and reference 2.
//
// OK reads the pixels as whole numbers and the width and the positions
// (decimal degrees) as C-locale numbers; a field that does not read keeps
// the map's value. It then calibrates by the chosen method with the chosen
// grid, writing the calibration file, and calls `applied` (the map view
// redraws the map's area).
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace rovana {
class LanguageTable;
}
namespace rovana::maps {
class GridConverter;
class MapImage;
}  // namespace rovana::maps

namespace rovana::dialogs {

class MapDetailsDialog : public QDialog {
  Q_OBJECT

 public:
  // `map` and `grids` must outlive the dialog.
  MapDetailsDialog(maps::MapImage& map, maps::GridConverter& grids, const LanguageTable& language,
                   QWidget* parent = nullptr, std::function<void()> applied = {});

  void accept() override;

  // The editors, for tests.
  enum Field { X1, Y1, Lat1, Lon1, WidthM, X2, Y2, Lat2, Lon2 };
  QLineEdit* edit(Field field) const { return edits_[field]; }
  QRadioButton* onePointButton() const { return onePoint_; }
  QRadioButton* twoPointButton() const { return twoPoint_; }
  QComboBox* gridBox() const { return grid_; }
  QLabel* nameLabel() const { return name_; }
  QLabel* sizeLabel() const { return size_; }

 private:
  void UpdateEnabled();

  maps::MapImage& map_;
  std::function<void()> applied_;
  std::array<QLineEdit*, 9> edits_{};
  QRadioButton* onePoint_ = nullptr;
  QRadioButton* twoPoint_ = nullptr;
  QComboBox* grid_ = nullptr;
  QLabel* name_ = nullptr;
  QLabel* size_ = nullptr;
};

}  // namespace rovana::dialogs
