// The settings dialog: five tabs (display, map, track, units, system) over
// keys of the settings store, one row per key in a table, each edited by the
// widget of its kind (check box, number field, text field), and a sixth, the
// coordinates page (CoordinatePage: display mode, datum, grid and zones). OK
// writes back the rows the user changed, so a value the widget cannot show
// exactly (more decimals, out of the field's range) is not rounded by merely
// opening the dialog; Cancel leaves the store as it was. The tab shown last
// is kept in `settingsTab`. Widgets are named after their keys.
//
// After OK the caller lets its Locators follow the settings
// (Locator::FollowSettings); coordinatesChanged() tells whether that page
// changed anything.
#pragma once

#include <QDialog>
#include <QVariant>
#include <string_view>
#include <vector>

class QTabWidget;

namespace rovana {
class LanguageTable;
class SettingsStore;
}  // namespace rovana

namespace rovana::dialogs {

class CoordinatePage;

enum class EditStyle { Plain, Colour };  // Colour: 0xRRGGBB in hexadecimal

struct SettingsRow {
  int tab;               // 0 display, 1 map, 2 track, 3 units, 4 system
  std::string_view key;  // a key of the settings table
  int label;             // language entry; -1 for a value that belongs to the row above
  EditStyle style = EditStyle::Plain;
};

// Every edited key. Exposed for the test that checks each names a real key.
std::vector<SettingsRow> SettingsRows();

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  SettingsDialog(SettingsStore& settings, const LanguageTable& language, QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  // The widget that edits `key` (the coordinates page's pickers included);
  // null for a key the dialog does not edit.
  QWidget* editorOf(std::string_view key) const;
  CoordinatePage* coordinatePage() const { return coordinates_; }
  // After accept(): whether the coordinates page wrote a locator setting.
  bool coordinatesChanged() const { return coordinatesChanged_; }

  void accept() override;
  void reject() override;

 private:
  struct Editor {
    const void* row;  // the SettingKey
    QWidget* widget;
    QVariant shown;   // what the widget showed when the dialog opened
  };

  SettingsStore& settings_;
  QTabWidget* tabs_ = nullptr;
  std::vector<Editor> editors_;
  CoordinatePage* coordinates_ = nullptr;
  bool coordinatesChanged_ = false;
};

}  // namespace rovana::dialogs
