// The settings dialog: five tabs (display, map, track, units, system) over
// keys of the settings store, one row per key in a table, each edited by the
// widget of its kind (check box, number field, text field). OK writes back
// the rows the user changed, so a value the widget cannot show exactly (more
// decimals, out of the field's range) is not rounded by merely opening the
// dialog; Cancel leaves the store as it was. The tab shown last is kept in
// `settingsTab`. Widgets are named after their keys.
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
  QWidget* editorOf(std::string_view key) const;

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
};

}  // namespace rovana::dialogs
