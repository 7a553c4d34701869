// The Locator over a real ZenolithCE.Position (the library registered into a
// temporary registry): display modes, grids and zones, failures the library
// reports, grid convergence and the heading text, with PROJ's cs2cs as an
// independent oracle for the datum shift.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "app/coords/Locator.h"
#include "app/core/LanguageEntries.h"
#include "platform/com/Runtime.h"
#include "tests/support/Cs2cs.h"
#include "tests/support/TempHome.h"

namespace {

using namespace rovana;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;
const char* const kLibrary = ZEN_LIBRARY_PATH;

GeoPoint At(double latitude, double longitude, double altitude = 0) {
  return GeoPoint(latitude * kRad, longitude * kRad, altitude);
}

class LocatorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(com::RegisterServer(kLibrary), com::S_OK); }
  void TearDown() override { com::CoFreeUnusedLibraries(); }

  SettingsStore& settings() { return *home_.settings; }
  const LanguageTable& language() { return *home_.language; }
  std::string Entry(int entry) { return home_.language->Entry(entry); }
  LocatorChoice Choice(DisplayMode mode, int datum, int grid) {
    LocatorChoice c;
    c.mode = mode;
    c.datum = datum;
    c.grid = grid;
    return c;
  }

  testing_support::TempHome home_;
};

TEST_F(LocatorTest, ReadsTheSettingsAndFallsBackForUnknownIdentifiers) {
  settings().locatorTab = 9;
  settings().locatorDatum = 99;
  settings().locatorGrid = 5;  // IRISH_TM is not offered
  settings().locatorZoneDHDN = "4";
  Locator locator(settings(), language());
  ASSERT_TRUE(locator.HasPositionObject());
  EXPECT_EQ(locator.choice().mode, DisplayMode::DegMin);
  EXPECT_EQ(locator.datum().name, "WGS_84");
  EXPECT_EQ(locator.grid().name, "Default");
  EXPECT_EQ(locator.choice().zoneDhdn, "4");
}

// The angle texts of every mode are PositionText's (its own table); here the
// box's lines come through the library in one of them.
TEST_F(LocatorTest, TheBoxShowsTheWorkedExampleThroughTheLibrary) {
  Locator locator(settings(), language());
  locator.SetPosition(At(51.5, -7.0 / 60, 100));
  locator.Select(Choice(DisplayMode::DegMin, kDatumWgs84, kGridDefault));
  const LocatorTexts t = locator.Format();
  EXPECT_EQ(t.latitudeLabel, Entry(lang::kWordLatitude));
  EXPECT_EQ(t.latitude, "51\u00B030.000'N");
  EXPECT_EQ(t.longitudeLabel, Entry(lang::kWordLongitude));
  EXPECT_EQ(t.longitude, "0\u00B007.000'W");
  EXPECT_EQ(t.zone, "");
  EXPECT_EQ(t.altitude, Entry(lang::kWordAltitude) + " (100.0m)");
}

TEST_F(LocatorTest, DefaultGridIsShownOnUtmNorth) {
  Locator locator(settings(), language());
  locator.SetPosition(At(52, 9));
  locator.Select(Choice(DisplayMode::Grid, kDatumWgs84, kGridDefault));
  const LocatorTexts byDefault = locator.Format();
  EXPECT_EQ(byDefault.latitudeLabel, Entry(lang::kCoordNorthing));
  EXPECT_EQ(byDefault.latitude, "5761038.21");
  EXPECT_EQ(byDefault.longitudeLabel, Entry(lang::kCoordEasting));
  EXPECT_EQ(byDefault.longitude, "500000.00");
  EXPECT_EQ(byDefault.zone, "32U");
  locator.Select(Choice(DisplayMode::Grid, kDatumWgs84, kGridUtmNorth));
  const LocatorTexts utm = locator.Format();
  EXPECT_EQ(utm.latitude, byDefault.latitude);
  EXPECT_EQ(utm.longitude, byDefault.longitude);
  EXPECT_EQ(utm.zone, byDefault.zone);
}

TEST_F(LocatorTest, BritishGridShowsTheSquareLetters) {
  Locator locator(settings(), language());
  locator.Select(Choice(DisplayMode::Grid, 3, 3));
  ASSERT_TRUE(locator.FromGridView(180000, 530000, 0)) << locator.lastError();
  const LocatorTexts t = locator.Format();
  EXPECT_EQ(t.latitude, "BNG 80000.00");
  EXPECT_EQ(t.longitude, "TQ 30000.00");
  EXPECT_EQ(t.zone, "");
  // London, about 51.5 N 0.12 W.
  EXPECT_NEAR(locator.position().latitude() / kRad, 51.50, 0.02);
  EXPECT_NEAR(locator.position().longitude() / kRad, -0.13, 0.02);
}

// The settings pages change the store; FollowSettings re-reads the six
// locator settings and the units, and the position stays.
TEST_F(LocatorTest, FollowSettingsTakesTheStoredChoiceAndKeepsThePosition) {
  Locator locator(settings(), language());
  const GeoPoint london = At(51.5, -0.12, 30);
  locator.SetPosition(london);
  EXPECT_EQ(locator.Format().latitude, "51\u00B030.000'N");
  settings().locatorTab = 3;
  settings().locatorDatum = 3;
  settings().locatorGrid = 3;
  settings().unitAltitude = 1;  // metres
  EXPECT_EQ(locator.Format().latitude, "51\u00B030.000'N") << "nothing changes until told";
  locator.FollowSettings();
  EXPECT_EQ(locator.choice().mode, DisplayMode::Grid);
  EXPECT_EQ(locator.zoneKind(), ZoneKind::British);
  const LocatorTexts t = locator.Format();
  EXPECT_EQ(t.latitude.rfind("BNG ", 0), 0u) << t.latitude;
  EXPECT_EQ(t.longitude.rfind("TQ ", 0), 0u) << t.longitude;
  EXPECT_EQ(locator.position().latitude(), london.latitude());

  settings().locatorGrid = 30;
  settings().locatorZoneSPCS27 = "0405";
  settings().locatorDatum = 99;  // not in the catalogue: WGS_84
  locator.FollowSettings();
  EXPECT_EQ(locator.datum().name, "WGS_84");
  EXPECT_EQ(locator.zoneText(), "0405");
}

TEST_F(LocatorTest, AStatePlaneCodeMissingFrom1927KeepsThePreviousTexts) {
  Locator locator(settings(), language());
  locator.SetPosition(At(32.4, -86.3));  // Alabama
  LocatorChoice c = Choice(DisplayMode::Grid, kDatumWgs84, 30);
  c.zoneSpcs27 = "0101";
  locator.Select(c);
  const LocatorTexts before = locator.Format();
  ASSERT_EQ(locator.lastError(), "");
  EXPECT_EQ(before.zone, "0101");
  c.zoneSpcs27 = "2300";
  locator.Select(c);
  const LocatorTexts after = locator.Format();
  // The library refuses the zone when it is put, before any projection.
  EXPECT_EQ(locator.lastError(), "Invalid Zone for this grid!");
  EXPECT_EQ(after.latitude, before.latitude);
  EXPECT_EQ(after.longitude, before.longitude);
  EXPECT_EQ(after.zone, before.zone);
  const GeoPoint kept = locator.position();
  EXPECT_FALSE(locator.FromGridView(1000, 1000, 0));
  EXPECT_EQ(locator.position().latitude(), kept.latitude());
  EXPECT_EQ(locator.position().longitude(), kept.longitude());
}

// Every zone the pickers offer against the library's own tables: all of them
// are State Plane 1983 zones, and exactly the codes the 1927 table lacks are
// refused there.
TEST_F(LocatorTest, ZonePickersOfferZonesTheLibraryKnows) {
  Locator locator(settings(), language());
  locator.SetPosition(At(40, -100));
  std::set<std::string> refused27;
  for (const StatePlaneZone& z : StatePlaneZones()) {
    SCOPED_TRACE(z.code);
    LocatorChoice c = Choice(DisplayMode::Grid, kDatumWgs84, 31);
    c.zoneSpcs83 = std::string(z.code);
    c.zoneSpcs27 = std::string(z.code);
    locator.Select(c);
    GridView view;
    EXPECT_TRUE(locator.ToGridView(&view)) << locator.lastError();
    EXPECT_EQ(view.zone, z.code);
    c.grid = 30;
    locator.Select(c);
    if (!locator.ToGridView(&view)) refused27.insert(std::string(z.code));
  }
  EXPECT_EQ(refused27, (std::set<std::string>{"2300", "2500", "2600", "3900", "5200"}));

  // DHDN: each zone's central meridian is at 3 x zone degrees east.
  for (std::string_view zone : DhdnZones()) {
    SCOPED_TRACE(zone);
    LocatorChoice c = Choice(DisplayMode::Grid, kDatumWgs84, 29);
    c.zoneDhdn = std::string(zone);
    locator.Select(c);
    locator.SetPosition(At(50, 3.0 * ReadInteger(zone)));
    GridView view;
    ASSERT_TRUE(locator.ToGridView(&view)) << locator.lastError();
    EXPECT_EQ(view.zone, zone);
    EXPECT_NEAR(view.easting, 500000, 300) << "the datum shift moves it by metres, not kilometres";
  }
}

TEST_F(LocatorTest, DatumViewRoundTripsAndAgreesWithCs2cs) {
  Locator locator(settings(), language());
  locator.Select(Choice(DisplayMode::Degrees, 3, kGridDefault));  // OSGB_36
  const double lat = 52.657570301, lon = 1.717921581, height = 50;
  ASSERT_TRUE(locator.FromDatumView(lat * kRad, lon * kRad, height)) << locator.lastError();
  DatumView back;
  ASSERT_TRUE(locator.ToDatumView(&back));
  EXPECT_NEAR(back.latitude / kRad, lat, 1e-9);
  EXPECT_NEAR(back.longitude / kRad, lon, 1e-9);
  EXPECT_NEAR(back.altitude, height, 1e-3);

  if (!testing_support::HaveCs2cs()) GTEST_SKIP() << "cs2cs (Debian proj-bin) is not installed";
  char input[96];
  std::snprintf(input, sizeof input, "%.9f %.9f %.3f\n", lon, lat, height);
  const auto lines = testing_support::RunCs2cs(
      "+proj=longlat +a=6377563.396 +es=0.00667054 +towgs84=375,-111,431,0,0,0,0 +to +proj=longlat +datum=WGS84",
      input);
  ASSERT_EQ(lines.size(), 1u);
  double x = 0, y = 0, z = 0;
  std::istringstream(lines[0]) >> x >> y >> z;
  EXPECT_NEAR(locator.position().longitude() / kRad, x, 1e-7);
  EXPECT_NEAR(locator.position().latitude() / kRad, y, 1e-7);
  // cs2cs keeps heights of geographic systems as they are; the library
  // shifts them as ellipsoidal heights, so only the horizontal is compared.
  (void)z;
}

TEST_F(LocatorTest, ARefusedLatitudeLeavesThePosition) {
  Locator locator(settings(), language());
  locator.SetPosition(At(10, 20));
  EXPECT_FALSE(locator.FromDatumView(1.6, 0, 0));
  EXPECT_EQ(locator.lastError(), "Invalid latitude. Must be between -PI/2 and PI/2");
  EXPECT_NEAR(locator.position().latitude(), 10 * kRad, 1e-15);
}

// Guards against a UTM zone that stays forced in the Position object: after
// typed coordinates in zone 32 (and after a convergence), a new position
// shows its own zone.
TEST_F(LocatorTest, TypedUtmZoneIsKeptUntilANewPosition) {
  Locator locator(settings(), language());
  locator.Select(Choice(DisplayMode::Grid, kDatumWgs84, kGridUtmNorth));
  locator.SetPosition(At(52, 11.9));
  EXPECT_EQ(locator.Format().zone, "32U");
  // 720 km east is past the zone's edge at 12 E.
  ASSERT_TRUE(locator.FromGridView(5761038, 720000, 0)) << locator.lastError();
  EXPECT_GT(locator.position().longitude() / kRad, 12.0);
  LocatorTexts typed = locator.Format();
  EXPECT_EQ(typed.zone, "32U");
  EXPECT_EQ(typed.longitude, "720000.00");
  EXPECT_EQ(typed.latitude, "5761038.00");

  locator.SetPosition(At(52, 13));
  EXPECT_EQ(locator.Format().zone, "33U");
  locator.GridConvergence();
  locator.SetPosition(At(52, 11));
  EXPECT_EQ(locator.Format().zone, "32U");
  locator.SetUtmZone("31");
  EXPECT_EQ(locator.Format().zone, "31U") << "a typed zone is used as it is";
  locator.SetUtmZone("0");
  EXPECT_FALSE(locator.FromGridView(5761038, 500000, 0));
  EXPECT_EQ(locator.lastError(), "Invalid Zone for this grid!");
}

TEST_F(LocatorTest, GridConvergenceAndTheHeadingText) {
  Locator locator(settings(), language());
  const GeoPoint start = At(52, 12);
  const GeoPoint northOfStart = At(52.01, 12);
  const double northward = start.Course(northOfStart);
  locator.SetPosition(start);
  EXPECT_EQ(locator.GridConvergence(), 0) << "Default is aligned to the meridians";
  EXPECT_EQ(FormatHeading(northward, locator.GridConvergence()), "0.0\u00B0");

  locator.Select(Choice(DisplayMode::Grid, kDatumWgs84, kGridUtmNorth));
  struct Case {
    const char* name;
    double latitude, longitude;
    double convergence;  // degrees, clockwise: atan(tan(dlon) sin(lat))
    const char* heading;  // of a northward course
  } cases[] = {
      {"central meridian", 52, 9, 0, "0.0\u00B0"},
      {"2 degrees east of it", 52, 11, std::atan(std::tan(2 * kRad) * std::sin(52 * kRad)) / kRad, "358.4\u00B0"},
      {"2 degrees west of it", 45, 13, std::atan(std::tan(-2 * kRad) * std::sin(45 * kRad)) / kRad, "1.4\u00B0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    locator.SetPosition(At(c.latitude, c.longitude));
    double gamma = locator.GridConvergence();
    if (gamma > kPi) gamma -= 2 * kPi;
    EXPECT_NEAR(gamma / kRad, c.convergence, 0.01);
    EXPECT_NEAR(locator.position().latitude(), c.latitude * kRad, 1e-15) << "the position stays";
    const GeoPoint p = At(c.latitude, c.longitude);
    EXPECT_EQ(FormatHeading(p.Course(At(c.latitude + 0.01, c.longitude)), locator.GridConvergence()), c.heading);
  }
}

TEST_F(LocatorTest, WithoutAPositionObjectEveryConversionFailsQuietly) {
  Locator locator(nullptr, settings(), language());
  EXPECT_FALSE(locator.HasPositionObject());
  const LocatorTexts t = locator.Format();
  EXPECT_EQ(t.latitude, "?");
  EXPECT_EQ(t.longitude, "?");
  EXPECT_NE(locator.lastError().find("ZenolithCE.Position"), std::string::npos);
  EXPECT_FALSE(locator.FromDatumView(0.1, 0.1, 0));
  EXPECT_EQ(locator.GridConvergence(), 0);
}

}  // namespace
