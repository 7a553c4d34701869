// The settings dialog edits the store's keys: OK writes, Cancel does not.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>

#include "app/coords/Locator.h"
#include "app/dialogs/CoordinatePage.h"
#include "app/dialogs/SettingsDialog.h"
#include "tests/support/TempHome.h"

using rovana::dialogs::CoordinatePage;
using rovana::dialogs::SettingsDialog;

namespace {

std::string Shown(const QComboBox* box) { return box->currentText().toStdString(); }

}  // namespace

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
  EXPECT_EQ(dialog.tabs()->count(), 6) << "five tabs of keys and the coordinates page";
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

TEST(SettingsDialog, CoordinatePageListsTheCataloguesAndOpensOnTheSettings) {
  struct Case {
    const char* name;
    int tab, datum, grid;
    const char *spcs27, *spcs83, *dhdn;
    // What the pickers show.
    const char *mode, *datumName, *gridName, *spcs27Label, *spcs83Label, *dhdnLabel;
    const char *datumDescription, *gridDescription;
  } cases[] = {
      {"defaults", 1, 1, 0, "0101", "0101", "2", "Deg Min", "WGS_84", "Default", "Alabama East (0101)",
       "Alabama East (0101)", "2", "Used by the global GPS system.", "Default grid aligned to geographical north"},
      {"British grid", 3, 3, 3, "0405", "5200", "8", "Grid", "OSGB_36", "BRITISH_GRID", "California Zone 5 (0405)",
       "Puerto Rico (5200)", "8", "Used in Great Britain.", "British National Grid."},
      {"last rows", 4, 27, 51, "4904", "5010", "5", "Signed degrees", "ED_50_DENMARK", "SWEDISH_GRID_5gonV",
       "Wyoming West (4904)", "Alaska Zone 10 (5010)", "5", "ED50 Denmark (Teknisk Datum 50).",
       "Swedish grid 5gonV."},
      {"values the lists lack: first rows", 9, 99, 5, "1600", "", "9", "Deg Min", "WGS_84", "Default",
       "Alabama East (0101)", "Alabama East (0101)", "2", "Used by the global GPS system.", "Default grid"},
      {"negative identifiers", -1, -1, -1, "x", "0101 ", "1", "Deg Min", "WGS_84", "Default", "Alabama East (0101)",
       "Alabama East (0101)", "2", "Used by the global GPS system.", "Default grid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempHome home;
    rovana::SettingsStore& st = *home.settings;
    st.locatorTab = c.tab;
    st.locatorDatum = c.datum;
    st.locatorGrid = c.grid;
    st.locatorZoneSPCS27 = c.spcs27;
    st.locatorZoneSPCS83 = c.spcs83;
    st.locatorZoneDHDN = c.dhdn;
    SettingsDialog dialog(st, *home.language);
    const CoordinatePage* page = dialog.coordinatePage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(dialog.editorOf("locatorGrid"), page->gridBox());
    EXPECT_EQ(dialog.editorOf("locatorZoneDHDN"), page->dhdnBox());
    EXPECT_EQ(dialog.editorOf(""), nullptr);
    EXPECT_EQ(page->modeBox()->count(), 5);
    EXPECT_EQ(page->datumBox()->count(), 27);
    EXPECT_EQ(page->gridBox()->count(), 51);
    EXPECT_EQ(page->spcs27Box()->count(), 123);
    EXPECT_EQ(page->spcs83Box()->count(), 123);
    EXPECT_EQ(page->dhdnBox()->count(), 7);
    EXPECT_EQ(Shown(page->modeBox()), c.mode);
    EXPECT_EQ(Shown(page->datumBox()), c.datumName);
    EXPECT_EQ(Shown(page->gridBox()), c.gridName);
    EXPECT_EQ(Shown(page->spcs27Box()), c.spcs27Label);
    EXPECT_EQ(Shown(page->spcs83Box()), c.spcs83Label);
    EXPECT_EQ(Shown(page->dhdnBox()), c.dhdnLabel);
    EXPECT_EQ(page->datumDescription()->text().toStdString().rfind(c.datumDescription, 0), 0u)
        << page->datumDescription()->text().toStdString();
    EXPECT_EQ(page->gridDescription()->text().toStdString().rfind(c.gridDescription, 0), 0u)
        << page->gridDescription()->text().toStdString();
  }
}

TEST(SettingsDialog, CoordinatePageShowsTheDescriptionOfThePickedRow) {
  testing_support::TempHome home;
  SettingsDialog dialog(*home.settings, *home.language);
  CoordinatePage* page = dialog.coordinatePage();
  page->datumBox()->setCurrentIndex(rovana::DatumIndex(18));
  EXPECT_EQ(page->datumDescription()->text().toStdString(), "Also known as Potsdam. Used in Germany.");
  page->gridBox()->setCurrentIndex(rovana::GridIndex(30));
  EXPECT_EQ(page->gridDescription()->text().toStdString(),
            "State Plane Coordinate System from 1927. Based on the NAD_27 datum.");
  page->gridBox()->setCurrentIndex(rovana::GridIndex(1));
  EXPECT_EQ(page->gridDescription()->text().toStdString().rfind("Global grid north of the equator.", 0), 0u);
}

TEST(SettingsDialog, CoordinatePageOkWritesThePicksCancelKeepsTheStore) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  auto pick = [](CoordinatePage* page) {
    page->modeBox()->setCurrentIndex(3);
    page->datumBox()->setCurrentIndex(rovana::DatumIndex(3));
    page->gridBox()->setCurrentIndex(rovana::GridIndex(3));
    page->spcs27Box()->setCurrentIndex(rovana::StatePlaneZoneIndex("0405"));
    page->spcs83Box()->setCurrentIndex(rovana::StatePlaneZoneIndex("5200"));
    page->dhdnBox()->setCurrentIndex(rovana::DhdnZoneIndex("7"));
  };
  {
    SettingsDialog dialog(st, *home.language);
    pick(dialog.coordinatePage());
    dialog.reject();
  }
  EXPECT_EQ(st.locatorTab, 1);
  EXPECT_EQ(st.locatorDatum, 1);
  EXPECT_EQ(st.locatorGrid, 0);
  EXPECT_EQ(st.locatorZoneSPCS27, "0101");
  EXPECT_EQ(st.locatorZoneSPCS83, "0101");
  EXPECT_EQ(st.locatorZoneDHDN, "2");
  {
    SettingsDialog dialog(st, *home.language);
    pick(dialog.coordinatePage());
    dialog.accept();
    EXPECT_TRUE(dialog.coordinatesChanged());
  }
  EXPECT_EQ(st.locatorTab, 3);
  EXPECT_EQ(st.locatorDatum, 3);
  EXPECT_EQ(st.locatorGrid, 3);
  EXPECT_EQ(st.locatorZoneSPCS27, "0405");
  EXPECT_EQ(st.locatorZoneSPCS83, "5200");
  EXPECT_EQ(st.locatorZoneDHDN, "7");
}

// Guards stored values the lists do not hold: opening the page shows the
// first rows, and OK without touching them must not overwrite the store.
TEST(SettingsDialog, CoordinatePageOkKeepsUntouchedValues) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  st.locatorTab = 7;
  st.locatorDatum = 99;
  st.locatorGrid = 5;
  st.locatorZoneSPCS27 = "2300";  // offered, but absent from the 1927 table
  st.locatorZoneSPCS83 = "1600";
  st.locatorZoneDHDN = "9";
  {
    SettingsDialog dialog(st, *home.language);
    dialog.coordinatePage()->gridBox()->setCurrentIndex(rovana::GridIndex(29));
    dialog.accept();
  }
  EXPECT_EQ(st.locatorGrid, 29);
  EXPECT_EQ(st.locatorTab, 7);
  EXPECT_EQ(st.locatorDatum, 99);
  EXPECT_EQ(st.locatorZoneSPCS27, "2300");
  EXPECT_EQ(st.locatorZoneSPCS83, "1600");
  EXPECT_EQ(st.locatorZoneDHDN, "9");
  {
    SettingsDialog dialog(st, *home.language);
    dialog.accept();
    EXPECT_FALSE(dialog.coordinatesChanged());
  }
  EXPECT_EQ(st.locatorDatum, 99);
}

// After OK a Locator made before the dialog takes the new choice when told
// to follow the settings.
TEST(SettingsDialog, ALocatorFollowsTheCoordinatePageAfterOk) {
  testing_support::TempHome home;
  rovana::SettingsStore& st = *home.settings;
  rovana::Locator locator(nullptr, st, *home.language);
  ASSERT_EQ(locator.choice().grid, 0);
  {
    SettingsDialog dialog(st, *home.language);
    CoordinatePage* page = dialog.coordinatePage();
    page->modeBox()->setCurrentIndex(3);
    page->datumBox()->setCurrentIndex(rovana::DatumIndex(18));
    page->gridBox()->setCurrentIndex(rovana::GridIndex(29));
    page->dhdnBox()->setCurrentIndex(rovana::DhdnZoneIndex("4"));
    dialog.accept();
  }
  EXPECT_EQ(locator.choice().grid, 0) << "the Locator keeps its choice until told";
  locator.FollowSettings();
  EXPECT_EQ(locator.choice().mode, rovana::DisplayMode::Grid);
  EXPECT_EQ(locator.datum().name, "DHDN_RAUENBERG");
  EXPECT_EQ(locator.grid().name, "DHDN");
  EXPECT_EQ(locator.zoneText(), "4");
}
