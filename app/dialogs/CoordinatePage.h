// The coordinates page of the settings dialog: how positions are shown and
// typed (the display mode, `locatorTab`), on which datum (`locatorDatum`) and
// grid (`locatorGrid`), and the zones of the State Plane 1927 and 1983 grids
// and of DHDN (`locatorZoneSPCS27`, `locatorZoneSPCS83`, `locatorZoneDHDN`).
//
// Each picker opens on its setting; a datum or grid identifier or a zone
// that its list does not hold shows the list's first row. The selected
// datum's and grid's descriptions are shown beneath their pickers. Store()
// writes only the pickers the user changed, so a stored value the lists do
// not hold survives opening and OK. After Store() the application's Locators
// take the new choice through Locator::FollowSettings().
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class CoordinatePage : public QWidget {
 public:
  CoordinatePage(const SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr);

  // Writes the changed picks into `settings` (on the UI thread); returns
  // whether any changed.
  bool Store(SettingsStore& settings) const;

  // The widgets, for tests. Items carry their value as data: the mode
  // number, the datum or grid identifier, the zone text.
  QComboBox* modeBox() const { return mode_; }
  QComboBox* datumBox() const { return datum_; }
  QComboBox* gridBox() const { return grid_; }
  QComboBox* spcs27Box() const { return spcs27_; }
  QComboBox* spcs83Box() const { return spcs83_; }
  QComboBox* dhdnBox() const { return dhdn_; }
  QLabel* datumDescription() const { return datumText_; }
  QLabel* gridDescription() const { return gridText_; }

 private:
  void ShowDescriptions();

  QComboBox* mode_ = nullptr;
  QComboBox* datum_ = nullptr;
  QComboBox* grid_ = nullptr;
  QComboBox* spcs27_ = nullptr;
  QComboBox* spcs83_ = nullptr;
  QComboBox* dhdn_ = nullptr;
  QLabel* datumText_ = nullptr;
  QLabel* gridText_ = nullptr;
  // The rows shown at opening, in the order of the pickers above.
  int opened_[6] = {};
};

}  // namespace rovana::dialogs
