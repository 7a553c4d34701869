// The position-entry dialog over a real ZenolithCE.Position: what it opens
// with, typed positions on every page, the zone pickers, refused
// conversions, OK and Cancel, and coordinates typed in one grid read back in
// another as `zenolith convert` and PROJ's cs2cs give them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app/coords/Locator.h"
#include "app/dialogs/LocatorDialog.h"
#include "platform/com/Runtime.h"
#include "tests/support/Cs2cs.h"
#include "tests/support/Process.h"
#include "tests/support/TempHome.h"

namespace {

using namespace rovana;
using rovana::dialogs::LocatorDialog;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

GeoPoint At(double latitude, double longitude, double altitude = 0) {
  return GeoPoint(latitude * kRad, longitude * kRad, altitude);
}

void Type(QLineEdit* edit, const std::string& text) {
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  QTest::keyClicks(edit, QString::fromStdString(text));
}

std::string Text(QLineEdit* edit) { return edit->text().toStdString(); }

std::vector<double> Numbers(const std::string& line) {
  std::vector<double> values;
  std::istringstream in(line);
  for (double v; in >> v;) values.push_back(v);
  return values;
}

struct Fixture {
  testing_support::TempHome home;
  Fixture() {
    EXPECT_EQ(com::RegisterServer(ZEN_LIBRARY_PATH), com::S_OK);
    settings().unitAltitude = 1;  // metres
  }
  ~Fixture() { com::CoFreeUnusedLibraries(); }
  SettingsStore& settings() { return *home.settings; }
  const LanguageTable& language() { return *home.language; }
  void Choose(int tab, int datum, int grid) {
    settings().locatorTab = tab;
    settings().locatorDatum = datum;
    settings().locatorGrid = grid;
  }
};

TEST(LocatorDialog, OpensOnTheModeOfTheSettingsFilledFromTheLocator) {
  Fixture f;
  Locator locator(f.settings(), f.language());
  locator.SetPosition(At(51.5, -7.0 / 60, 100));
  LocatorDialog dialog(locator, f.settings(), f.language());
  EXPECT_EQ(dialog.tabs()->count(), kDisplayModes);
  EXPECT_EQ(dialog.tabs()->currentIndex(), 1) << "locatorTab defaults to degrees and minutes";
  EXPECT_EQ(Text(dialog.degreesEdit(DisplayMode::DegMin, 0)), "51");
  EXPECT_EQ(Text(dialog.minutesEdit(DisplayMode::DegMin, 0)), "30.000");
  EXPECT_EQ(dialog.hemisphereBox(DisplayMode::DegMin, 0)->currentText().toStdString(), "N");
  EXPECT_EQ(Text(dialog.degreesEdit(DisplayMode::DegMin, 1)), "0");
  EXPECT_EQ(Text(dialog.minutesEdit(DisplayMode::DegMin, 1)), "07.000");
  EXPECT_EQ(dialog.hemisphereBox(DisplayMode::DegMin, 1)->currentText().toStdString(), "W");
  EXPECT_EQ(Text(dialog.altitudeEdit()), "100.0");
  EXPECT_EQ(dialog.secondsEdit(DisplayMode::DegMin, 0), nullptr);
  EXPECT_EQ(dialog.hemisphereBox(DisplayMode::Signed, 0), nullptr);
  EXPECT_EQ(dialog.statusLabel()->text().toStdString(), "");
}

TEST(LocatorDialog, TypedDegreesMinutesSecondsBecomeThePosition) {
  Fixture f;
  f.Choose(2, kDatumWgs84, kGridDefault);
  Locator locator(f.settings(), f.language());
  LocatorDialog dialog(locator, f.settings(), f.language());
  Type(dialog.degreesEdit(DisplayMode::DegMinSec, 0), "33");
  Type(dialog.minutesEdit(DisplayMode::DegMinSec, 0), "51");
  Type(dialog.secondsEdit(DisplayMode::DegMinSec, 0), "36");
  dialog.hemisphereBox(DisplayMode::DegMinSec, 0)->setCurrentIndex(1);  // S
  Type(dialog.degreesEdit(DisplayMode::DegMinSec, 1), "151");
  Type(dialog.minutesEdit(DisplayMode::DegMinSec, 1), "12");
  Type(dialog.secondsEdit(DisplayMode::DegMinSec, 1), "36.5");
  Type(dialog.altitudeEdit(), "25");
  EXPECT_NEAR(dialog.position().latitude() / kRad, -(33 + 51 / 60.0 + 36 / 3600.0), 1e-12);
  EXPECT_NEAR(dialog.position().longitude() / kRad, 151 + 12 / 60.0 + 36.5 / 3600.0, 1e-12);
  EXPECT_NEAR(dialog.position().altitude(), 25, 1e-9);
}

TEST(LocatorDialog, AnEditRefreshesTheOtherFieldsOfThePage) {
  Fixture f;
  Locator locator(f.settings(), f.language());
  locator.SetPosition(At(10, 20));
  LocatorDialog dialog(locator, f.settings(), f.language());
  QLineEdit* minutes = dialog.minutesEdit(DisplayMode::DegMin, 0);
  Type(minutes, "75");  // 10°75' is 11°15'
  EXPECT_EQ(Text(minutes), "75") << "the field being typed in stays as typed";
  EXPECT_EQ(Text(dialog.degreesEdit(DisplayMode::DegMin, 0)), "11");
  EXPECT_NEAR(dialog.position().latitude() / kRad, 11.25, 1e-12);
}

TEST(LocatorDialog, ARefusedLatitudeShowsTheLibrarysMessageAndKeepsThePosition) {
  Fixture f;
  f.Choose(0, kDatumWgs84, kGridDefault);
  Locator locator(f.settings(), f.language());
  locator.SetPosition(At(10, 20));
  LocatorDialog dialog(locator, f.settings(), f.language());
  Type(dialog.degreesEdit(DisplayMode::Degrees, 0), "91");  // "9" converts, "91" does not
  EXPECT_NE(dialog.statusLabel()->text().toStdString().find("Invalid latitude"), std::string::npos);
  EXPECT_NEAR(dialog.position().latitude() / kRad, 9, 1e-12) << "the last position that converted";
  EXPECT_EQ(Text(dialog.degreesEdit(DisplayMode::Degrees, 1)), "20.00000000");
  Type(dialog.degreesEdit(DisplayMode::Degrees, 0), "9");
  EXPECT_EQ(dialog.statusLabel()->text().toStdString(), "") << "a good value clears the message";
}

// Each page's own texts, typed back, give the position to the page's
// precision.
TEST(LocatorDialog, EveryPageRoundTripsItsOwnTexts) {
  struct Case {
    DisplayMode page;
    int datum, grid;
    double latitude, longitude;  // somewhere the grid is meant for
    double tolerance;            // metres: the page's precision, plus the datum shift's own round trip
  } cases[] = {
      {DisplayMode::Degrees, kDatumWgs84, kGridDefault, 52.123456789, 4.987654321, 0.001},
      {DisplayMode::DegMin, 3, kGridDefault, 52.123456789, -1.987654321, 1.0},
      {DisplayMode::DegMinSec, 17, kGridDefault, 48.123456789, 7.987654321, 0.2},
      {DisplayMode::Signed, 24, kGridDefault, 52.123456789, 4.987654321, 0.01},
      {DisplayMode::Grid, kDatumWgs84, kGridUtmNorth, 52.123456789, 4.987654321, 0.01},
      {DisplayMode::Grid, 3, 3, 52.123456789, -1.987654321, 0.01},
      {DisplayMode::Grid, kDatumWgs84, 34, 52.123456789, 4.987654321, 0.01},
      {DisplayMode::Grid, kDatumWgs84, 29, 50.123456789, 7.987654321, 0.01},
  };
  for (const Case& c : cases) {
    const GeoPoint start = At(c.latitude, c.longitude, 12);
    SCOPED_TRACE(std::to_string(static_cast<int>(c.page)) + " datum " + std::to_string(c.datum) + " grid " +
                 std::to_string(c.grid));
    Fixture f;
    f.Choose(static_cast<int>(c.page), c.datum, c.grid);
    Locator locator(f.settings(), f.language());
    locator.SetPosition(start);
    LocatorDialog dialog(locator, f.settings(), f.language());
    QLineEdit* first = c.page == DisplayMode::Grid ? dialog.northingEdit() : dialog.degreesEdit(c.page, 0);
    QLineEdit* second = c.page == DisplayMode::Grid ? dialog.eastingEdit() : dialog.degreesEdit(c.page, 1);
    Type(first, Text(first));
    Type(second, Text(second));
    EXPECT_EQ(dialog.statusLabel()->text().toStdString(), "");
    EXPECT_LE(start.Distance(dialog.position()), c.tolerance);
  }
}

TEST(LocatorDialog, ZonePickersListTheZonesAndPreselectTheSettings) {
  Fixture f;
  f.Choose(3, kDatumWgs84, 30);
  f.settings().locatorZoneSPCS27 = "0405";
  f.settings().locatorZoneSPCS83 = "1600";  // not offered: the first row
  f.settings().locatorZoneDHDN = "9";       // not offered: the first row
  Locator locator(f.settings(), f.language());
  locator.SetPosition(At(34, -118));
  LocatorDialog dialog(locator, f.settings(), f.language());
  EXPECT_EQ(dialog.spcs27Box()->count(), 123);
  EXPECT_EQ(dialog.spcs27Box()->currentData().toString().toStdString(), "0405");
  EXPECT_EQ(dialog.spcs27Box()->currentText().toStdString(), "California Zone 5 (0405)");
  EXPECT_EQ(dialog.spcs83Box()->currentText().toStdString(), "Alabama East (0101)");
  ASSERT_EQ(dialog.dhdnBox()->count(), 7);
  EXPECT_EQ(dialog.dhdnBox()->itemText(0).toStdString(), "2");
  EXPECT_EQ(dialog.dhdnBox()->itemText(6).toStdString(), "8");
  EXPECT_EQ(dialog.dhdnBox()->currentText().toStdString(), "2");
  EXPECT_TRUE(dialog.spcs27Box()->isVisibleTo(&dialog) || !dialog.isVisible());
  EXPECT_EQ(static_cast<QStackedWidget*>(dialog.spcs27Box()->parentWidget())->currentWidget(), dialog.spcs27Box());
  dialog.gridBox()->setCurrentIndex(GridIndex(29));
  EXPECT_EQ(static_cast<QStackedWidget*>(dialog.dhdnBox()->parentWidget())->currentWidget(), dialog.dhdnBox());
  dialog.gridBox()->setCurrentIndex(GridIndex(kGridDefault));
  EXPECT_EQ(static_cast<QStackedWidget*>(dialog.utmZoneEdit()->parentWidget())->currentWidget(), dialog.utmZoneEdit());
  EXPECT_EQ(Text(dialog.utmZoneEdit()), "11S") << "Default is shown on UTM_NORTH";
}

TEST(LocatorDialog, AStatePlaneCodeThe1927TableLacksLeavesTheFields) {
  Fixture f;
  f.Choose(3, kDatumWgs84, 30);
  Locator locator(f.settings(), f.language());
  locator.SetPosition(At(32.4, -86.3));
  LocatorDialog dialog(locator, f.settings(), f.language());
  const std::string northing = Text(dialog.northingEdit()), easting = Text(dialog.eastingEdit());
  const GeoPoint before = dialog.position();
  dialog.spcs27Box()->setCurrentIndex(StatePlaneZoneIndex("2300"));
  EXPECT_NE(dialog.statusLabel()->text().toStdString().find("Invalid Zone for this grid!"), std::string::npos);
  EXPECT_EQ(Text(dialog.northingEdit()), northing);
  EXPECT_EQ(Text(dialog.eastingEdit()), easting);
  EXPECT_EQ(dialog.position().latitude(), before.latitude());
  EXPECT_EQ(dialog.position().longitude(), before.longitude());
}

TEST(LocatorDialog, BritishGridShowsTheSquareTexts) {
  Fixture f;
  f.Choose(3, 3, 3);
  Locator locator(f.settings(), f.language());
  locator.SetPosition(At(52, -1));
  LocatorDialog dialog(locator, f.settings(), f.language());
  Type(dialog.northingEdit(), "180000");
  Type(dialog.eastingEdit(), "530000");
  EXPECT_EQ(dialog.britishLabel()->text().toStdString(), "TQ 30000.00   BNG 80000.00");
}

TEST(LocatorDialog, BritishGridFieldsShowTheSquareLettersAndTheMetresInsideTheSquare) {
  Fixture f;
  f.Choose(3, kDatumWgs84, 3);
  Locator locator(f.settings(), f.language());
  ASSERT_TRUE(locator.FromGridView(180000, 530000, 0));
  LocatorDialog dialog(locator, f.settings(), f.language());
  EXPECT_EQ(Text(dialog.northingEdit()), "BNG 80000.00");
  EXPECT_EQ(Text(dialog.eastingEdit()), "TQ 30000.00");
  dialog.gridBox()->setCurrentIndex(GridIndex(kGridUtmNorth));
  EXPECT_EQ(Text(dialog.eastingEdit()).find("TQ"), std::string::npos) << "other grids show full metres";
}

// The WGS 84 position `zenolith convert` gives for British grid metres.
GeoPoint BritishGridInWgs84(double easting, double northing) {
  char line[64];
  std::snprintf(line, sizeof line, "%.3f %.3f\n", easting, northing);
  const auto run =
      testing_support::RunProcess(ZEN_TOOL_PATH, {"convert", "--from", "WGS_84/BRITISH_GRID", "--to", "WGS_84"}, line);
  EXPECT_EQ(run.status, 0) << run.err << run.out;
  const auto numbers = Numbers(run.out);
  if (numbers.size() < 2) {
    ADD_FAILURE() << run.out;
    return {};
  }
  return At(numbers[0], numbers[1]);
}

// Square texts typed back, letter by letter as a user types them, end on the
// position the library's own conversion gives for the full metres; a whole
// reference typed in the easting field also rewrites the northing field.
TEST(LocatorDialog, TypedSquareTextsReadBackAsTheLibraryConvertsTheFullMetres) {
  struct Case {
    const char* name;
    const char* northing;  // typed first; null: left as the page shows it
    const char* easting;
    double fullEasting, fullNorthing;
    const char* northingAfter;  // the northing field afterwards
  } cases[] = {
      {"the page's example", "BNG 80000.00", "TQ 30000.00", 530000, 180000, "BNG 80000.00"},
      {"lower case, blanks", " bng  71288 ", "nn   16666", 216666, 771288, " bng  71288 "},
      {"whole reference in the easting field", nullptr, "tq 30000 80000", 530000, 180000, "BNG 80000.00"},
      {"grid reference to 10 m", nullptr, "SU 1234 5678", 412340, 156780, "BNG 56780.00"},
      {"Shetland", "BNG 41000.00", "HU 46000.00", 446000, 1141000, "BNG 41000.00"},
      {"bare full numbers", "313177.27", "651409.90", 651409.90, 313177.27, "313177.27"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Choose(3, kDatumWgs84, 3);
    Locator locator(f.settings(), f.language());
    locator.SetPosition(At(52, -1));
    LocatorDialog dialog(locator, f.settings(), f.language());
    if (c.northing) Type(dialog.northingEdit(), c.northing);
    Type(dialog.eastingEdit(), c.easting);
    EXPECT_EQ(dialog.statusLabel()->text().toStdString(), "");
    EXPECT_EQ(Text(dialog.eastingEdit()), c.easting) << "the field being typed in stays as typed";
    EXPECT_EQ(Text(dialog.northingEdit()), c.northingAfter);
    const GeoPoint expected = BritishGridInWgs84(c.fullEasting, c.fullNorthing);
    EXPECT_LE(expected.Distance(dialog.position()), 0.01);
  }
}

// Guards the unreadable-letters case: the easting counts 0 (the northing
// keeps its row), nothing is refused, and good letters read again.
TEST(LocatorDialog, UnknownSquareLettersCountTheEastingZero) {
  Fixture f;
  f.Choose(3, kDatumWgs84, 3);
  Locator locator(f.settings(), f.language());
  ASSERT_TRUE(locator.FromGridView(180000, 530000, 0));
  LocatorDialog dialog(locator, f.settings(), f.language());
  Type(dialog.eastingEdit(), "TI 30000");
  EXPECT_EQ(dialog.statusLabel()->text().toStdString(), "");
  EXPECT_LE(BritishGridInWgs84(0, 180000).Distance(dialog.position()), 0.01);
  Type(dialog.eastingEdit(), "TQ 30000");
  EXPECT_LE(BritishGridInWgs84(530000, 180000).Distance(dialog.position()), 0.01);
}

TEST(LocatorDialog, OkStoresThePageAndThePicksCancelRestores) {
  Fixture f;
  Locator locator(f.settings(), f.language());
  const GeoPoint start = At(47, 8);
  locator.SetPosition(start);
  {
    LocatorDialog dialog(locator, f.settings(), f.language());
    dialog.tabs()->setCurrentIndex(3);
    dialog.gridBox()->setCurrentIndex(GridIndex(7));
    dialog.datumBox()->setCurrentIndex(DatumIndex(4));
    Type(dialog.northingEdit(), "200000");
    Type(dialog.eastingEdit(), "600000");
    dialog.reject();
  }
  EXPECT_EQ(f.settings().locatorTab, 1);
  EXPECT_EQ(f.settings().locatorGrid, 0);
  EXPECT_EQ(locator.choice().grid, 0) << "Cancel gives the Locator its choice back";
  EXPECT_EQ(locator.position().latitude(), start.latitude());
  {
    LocatorDialog dialog(locator, f.settings(), f.language());
    dialog.tabs()->setCurrentIndex(3);
    dialog.gridBox()->setCurrentIndex(GridIndex(7));
    dialog.datumBox()->setCurrentIndex(DatumIndex(4));
    Type(dialog.northingEdit(), "200000");
    Type(dialog.eastingEdit(), "600000");
    dialog.accept();
    // The origin of the Swiss grid, 46°57'08.66" N 7°26'22.50" E on CH1903.
    EXPECT_NEAR(dialog.position().latitude() / kRad, 46.95108, 0.001);
    EXPECT_NEAR(dialog.position().longitude() / kRad, 7.43863, 0.001);
  }
  EXPECT_EQ(f.settings().locatorTab, 3);
  EXPECT_EQ(f.settings().locatorGrid, 7);
  EXPECT_EQ(f.settings().locatorDatum, 4);
}

// The oracle: a grid coordinate typed on the grid page and shown again on
// another grid reads as `zenolith convert` converts it; for the British grid
// also as PROJ's cs2cs does.
TEST(LocatorDialog, ACoordinateTypedInOneGridReadsBackInAnotherAsZenolithConvertGivesIt) {
  struct Case {
    const char* name;
    int fromGrid;
    const char* zone;  // typed into the UTM zone field, or a setting's zone
    double northing, easting;
    int toGrid;
    const char* toZone;  // DHDN or State Plane zone setting of the target
    const char* from;     // zenolith convert systems
    const char* to;
    const char* proj;  // cs2cs from and to, or null
  } cases[] = {
      {"British grid to UTM", 3, "", 180000, 530000, 1, "", "WGS_84/BRITISH_GRID", "WGS_84/UTM_NORTH",
       "+proj=tmerc +lat_0=49 +lon_0=-2 +k=0.9996012717 +x_0=400000 +y_0=-100000 +a=6377563.396 +es=0.00667054 "
       "+towgs84=375,-111,431,0,0,0,0 +to +proj=utm +zone=30 +datum=WGS84"},
      {"UTM zone 32 to DHDN zone 3", 1, "32", 5761038.213, 500000, 29, "3", "WGS_84/UTM_NORTH/32",
       "WGS_84/DHDN/3", nullptr},
      {"State Plane 1983 California 5 to UTM", 31, "0405", 560000, 1970000, 1, "", "WGS_84/SPCS_83/0405",
       "WGS_84/UTM_NORTH", nullptr},
      {"Dutch grid to UTM on ETRS 89", 34, "", 463000, 155000, 13, "", "WGS_84/DUTCH_GRID", "WGS_84/UTM_ETRS_89",
       nullptr},
      {"Swiss grid to Swiss LV95", 7, "", 200000, 600000, 8, "", "WGS_84/SWISS_GRID", "WGS_84/SWISS_GRID_LV95",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Choose(3, kDatumWgs84, c.fromGrid);
    if (c.fromGrid == 31) f.settings().locatorZoneSPCS83 = c.zone;
    if (c.toGrid == 29) f.settings().locatorZoneDHDN = c.toZone;
    Locator locator(f.settings(), f.language());
    locator.SetPosition(At(50, 10));
    LocatorDialog dialog(locator, f.settings(), f.language());
    if (c.fromGrid == 1) Type(dialog.utmZoneEdit(), c.zone);
    char number[64];
    std::snprintf(number, sizeof number, "%.3f", c.northing);
    Type(dialog.northingEdit(), number);
    std::snprintf(number, sizeof number, "%.3f", c.easting);
    Type(dialog.eastingEdit(), number);
    ASSERT_EQ(dialog.statusLabel()->text().toStdString(), "");
    dialog.gridBox()->setCurrentIndex(GridIndex(c.toGrid));
    ASSERT_EQ(dialog.statusLabel()->text().toStdString(), "");
    const double northing = ReadDecimal(Text(dialog.northingEdit()));
    const double easting = ReadDecimal(Text(dialog.eastingEdit()));

    std::snprintf(number, sizeof number, "%.3f %.3f\n", c.easting, c.northing);
    const auto zenolith = testing_support::RunProcess(ZEN_TOOL_PATH, {"convert", "--from", c.from, "--to", c.to}, number);
    ASSERT_EQ(zenolith.status, 0) << zenolith.err << zenolith.out;
    const auto expected = Numbers(zenolith.out);
    ASSERT_GE(expected.size(), 2u) << zenolith.out;
    EXPECT_NEAR(easting, expected[0], 0.006);
    EXPECT_NEAR(northing, expected[1], 0.006);
    const std::string zenolithZone = zenolith.out.substr(zenolith.out.find_last_of(' ') + 1);
    if (c.toGrid == 1 || c.toGrid == 13) {
      EXPECT_EQ(Text(dialog.utmZoneEdit()) + "\n", zenolithZone);
    }

    if (c.proj && testing_support::HaveCs2cs()) {
      const auto lines = testing_support::RunCs2cs(c.proj, std::to_string(c.easting) + " " + std::to_string(c.northing) + "\n", "%.4f");
      ASSERT_EQ(lines.size(), 1u);
      const auto theirs = Numbers(lines[0]);
      ASSERT_GE(theirs.size(), 2u);
      EXPECT_LE(std::hypot(easting - theirs[0], northing - theirs[1]), 0.05);
    }
  }
}

}  // namespace
