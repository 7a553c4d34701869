// The settings dialog edits the store's keys: OK writes, Cancel does not.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>

#include "app/dialogs/SettingsDialog.h"
#include "tests/support/TempHome.h"

using rovana::dialogs::SettingsDialog;

TEST(SettingsDialog, EveryRowNamesAKeyAndGetsAnEditor) {
  testing_support::TempHome home;
  SettingsDialog dialog(*home.settings, *home.language);
  int failures = 0;
  for (const auto& row : rovana::dialogs::SettingsRows())
    if (!rovana::FindSettingKey(row.key) || !dialog.editorOf(row.key)) {
      ++failures;
      ADD_FAILURE() << row.key;
    }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(dialog.tabs()->count(), 5);
}

TEST(SettingsDialog, OkWritesTheEditedValuesCancelKeepsThem) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  const bool zoom = st.zoomEnabled;
  {
    SettingsDialog dialog(st, *home.language);
    static_cast<QCheckBox*>(dialog.editorOf("zoomEnabled"))->setChecked(!zoom);
    static_cast<QSpinBox*>(dialog.editorOf("wakeupInterval"))->setValue(77);
    static_cast<QDoubleSpinBox*>(dialog.editorOf("gridStep"))->setValue(250.5);
    static_cast<QLineEdit*>(dialog.editorOf("CacheDataPath"))->setText("/tmp/tiles");
    dialog.tabs()->setCurrentIndex(3);
    dialog.reject();
  }
  EXPECT_EQ(st.zoomEnabled, zoom);
  EXPECT_EQ(st.wakeupInterval, 3600);
  EXPECT_EQ(st.settingsTab, 3);  // the page is remembered either way
  {
    SettingsDialog dialog(st, *home.language);
    EXPECT_EQ(dialog.tabs()->currentIndex(), 3);
    static_cast<QCheckBox*>(dialog.editorOf("zoomEnabled"))->setChecked(!zoom);
    static_cast<QSpinBox*>(dialog.editorOf("wakeupInterval"))->setValue(77);
    static_cast<QDoubleSpinBox*>(dialog.editorOf("gridStep"))->setValue(250.5);
    static_cast<QLineEdit*>(dialog.editorOf("CacheDataPath"))->setText("/tmp/tiles");
    dialog.accept();
  }
  EXPECT_EQ(st.zoomEnabled, !zoom);
  EXPECT_EQ(st.wakeupInterval, 77);
  EXPECT_DOUBLE_EQ(st.gridStep, 250.5);
  EXPECT_EQ(st.CacheDataPath, "/tmp/tiles");
}

// Guards values the widgets cannot show exactly: opening the dialog and
// pressing OK must not round or clamp what the user never touched.
TEST(SettingsDialog, OkKeepsUntouchedValuesExact) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  st.eastingOffset = 0.0000004;
  st.northingOffset = 3.5e15;
  st.backgroundCol = 0x7F000000;
  {
    SettingsDialog dialog(st, *home.language);
    static_cast<QSpinBox*>(dialog.editorOf("wakeupInterval"))->setValue(78);
    dialog.accept();
  }
  EXPECT_EQ(st.wakeupInterval, 78);
  EXPECT_EQ(st.eastingOffset, 0.0000004);
  EXPECT_EQ(st.northingOffset, 3.5e15);
  EXPECT_EQ(st.backgroundCol, 0x7F000000);
}
