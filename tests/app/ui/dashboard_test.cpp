// The dashboard: its texts for a known state of the live analyzer and the
// filter, the arrangement of its six items per orientation, and the
// instruments it draws.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <string>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/DashboardDialog.h"
#include "app/processing/Accurator.h"
#include "app/processing/Analyzer.h"
#include "app/ui/Instruments.h"
#include "tests/support/TempHome.h"

namespace {

using rovana::dialogs::DashboardDialog;
using rovana::dialogs::DashItem;
using rovana::dialogs::kDashItems;

constexpr double kPi = 3.14159265358979323846;

rovana::GeoPoint North(double metres, double altitude) {
  return rovana::GeoPoint(metres / rovana::kEarthRadius, 0, altitude);
}

std::size_t At(DashItem item) { return static_cast<std::size_t>(item); }

// From standing to 36 km/h northwards in 10 s over 100 m while climbing
// 10 m: 0.10 g forward, a 10 % grade, 100 s per kilometre.
struct Fixture {
  testing_support::TempHome home;
  rovana::Analyzer live{[] { return 1010; }};
  rovana::Accurator filter{1, [] { return std::uint32_t{5000}; }};

  Fixture() {
    live.AddPosition(1000, North(0, 100), 0, 0, false, false);
    live.AddPosition(1010, North(100, 110), 36, 0, false, false);
    filter.AddFix(47.5, 8.25, 36, 0, 123.4);
    home.settings->unitSpeed = 0;
    home.settings->unitDistance = 0;
    home.settings->unitAltitude = 1;
    home.settings->altitudeOffset = 0;
    home.settings->timePerDistance = 1000;
  }
  std::string Entry(int entry) const { return home.language->Entry(entry); }
};

TEST(Dashboard, ShowsTheLiveValuesWithTheirUnits) {
  Fixture f;
  DashboardDialog dialog(f.live, f.filter, *f.home.settings, *f.home.language);
  const rovana::dialogs::DashboardReading& r = dialog.reading();
  struct Case {
    const char* name;
    DashItem item;
    std::string label, value;
  };
  const Case cases[] = {
      {"altitude of the filter", DashItem::Altitude, f.Entry(rovana::lang::kWordAltitude) + " (m)", "123.4"},
      {"grade", DashItem::Grade, f.Entry(rovana::lang::kWordGrade) + " (%)", "10.0"},
      {"speed", DashItem::Speed, f.Entry(rovana::lang::kWordSpeed) + " (kmh)", "36.0"},
      {"pace", DashItem::Pace, f.Entry(rovana::lang::kDashboardPacePer) + " 1.00km", "00:01:40"},
      {"acceleration", DashItem::Acceleration, f.Entry(rovana::lang::kWordAcceleration) + " (G)", "0.10"},
      {"compass", DashItem::Compass, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(r.labels[At(c.item)].toStdString(), c.label);
    EXPECT_EQ(r.values[At(c.item)].toStdString(), c.value);
  }
  EXPECT_DOUBLE_EQ(r.speedOnScale, 36.0);
  EXPECT_NEAR(r.accelerationDirection, 0.0, 1e-9) << "speeding up straight ahead";
}

TEST(Dashboard, UsesTheChosenUnitsAndLeavesThePaceEmptyWhileStanding) {
  Fixture f;
  f.home.settings->unitSpeed = 1;       // m/s
  f.home.settings->unitAltitude = 16;   // feet
  f.home.settings->unitDistance = 14;   // statute miles
  f.home.settings->timePerDistance = 1609.344;
  f.live.AddPosition(1020, North(100, 110), 0, 0, false, false);
  DashboardDialog dialog(f.live, f.filter, *f.home.settings, *f.home.language);
  const rovana::dialogs::DashboardReading& r = dialog.reading();
  EXPECT_EQ(r.labels[At(DashItem::Altitude)].toStdString(), f.Entry(rovana::lang::kWordAltitude) + " (ft)");
  EXPECT_EQ(r.values[At(DashItem::Altitude)].toStdString(), "405");
  EXPECT_EQ(r.labels[At(DashItem::Speed)].toStdString(), f.Entry(rovana::lang::kWordSpeed) + " (ms)");
  EXPECT_EQ(r.values[At(DashItem::Speed)].toStdString(), "0.0");
  EXPECT_EQ(r.labels[At(DashItem::Pace)].toStdString(), f.Entry(rovana::lang::kDashboardPacePer) + " 1.000mi");
  EXPECT_EQ(r.values[At(DashItem::Pace)].toStdString(), "") << "no pace at a standstill";
}

TEST(Dashboard, RefreshReadsTheAnalyzerAgain) {
  Fixture f;
  DashboardDialog dialog(f.live, f.filter, *f.home.settings, *f.home.language);
  f.live.AddPosition(1020, North(200, 110), 72, 0, false, false);
  EXPECT_EQ(dialog.reading().values[At(DashItem::Speed)].toStdString(), "36.0");
  dialog.Refresh();
  EXPECT_EQ(dialog.reading().values[At(DashItem::Speed)].toStdString(), "72.0");
}

TEST(Dashboard, EachOrientationKeepsTheSixItemsInsideAndApart) {
  struct Case {
    const char* name;
    int width, height;
    rovana::Orientation orientation;
  };
  const Case cases[] = {
      {"small portrait", 240, 294, rovana::Orientation::Portrait},
      {"large portrait", 480, 588, rovana::Orientation::Portrait},
      {"small landscape", 320, 214, rovana::Orientation::Landscape},
      {"large landscape", 640, 428, rovana::Orientation::Landscape},
      {"square", 480, 480, rovana::Orientation::Square},
      {"tiny square", 30, 30, rovana::Orientation::Square},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QRect page(0, 0, c.width, c.height);
    EXPECT_EQ(rovana::OrientationOf(c.width, c.height), c.orientation);
    const auto rects = rovana::dialogs::DashboardLayout(c.orientation, page);
    for (int i = 0; i < kDashItems; ++i) {
      const QRect& r = rects[static_cast<std::size_t>(i)];
      EXPECT_FALSE(r.isEmpty()) << "item " << i;
      EXPECT_TRUE(page.contains(r)) << "item " << i;
      for (int j = i + 1; j < kDashItems; ++j)
        EXPECT_FALSE(r.intersects(rects[static_cast<std::size_t>(j)])) << "items " << i << " and " << j;
    }
    // The speed dial has the largest place in every arrangement.
    const QRect& speed = rects[At(DashItem::Speed)];
    for (int i = 0; i < kDashItems; ++i) {
      const QRect& r = rects[static_cast<std::size_t>(i)];
      EXPECT_GE(speed.width() * speed.height(), r.width() * r.height()) << "item " << i;
    }
  }
}

TEST(Dashboard, TheDialogLaysItselfOutByItsOwnOrientation) {
  Fixture f;
  DashboardDialog dialog(f.live, f.filter, *f.home.settings, *f.home.language);
  dialog.resize(240, 320);
  const auto portrait = dialog.itemRects();
  EXPECT_EQ(portrait, rovana::dialogs::DashboardLayout(rovana::Orientation::Portrait, QRect(0, 0, 240, 320)));
  dialog.resize(320, 240);
  const auto landscape = dialog.itemRects();
  EXPECT_EQ(landscape, rovana::dialogs::DashboardLayout(rovana::Orientation::Landscape, QRect(0, 0, 320, 240)));
  // In landscape the dial stands beside the texts, in portrait below them.
  EXPECT_GT(landscape[At(DashItem::Speed)].left(), landscape[At(DashItem::Altitude)].right());
  EXPECT_GT(portrait[At(DashItem::Speed)].top(), portrait[At(DashItem::Altitude)].bottom());
  QImage image(dialog.size(), QImage::Format_RGB32);
  dialog.render(&image);  // paints without touching anything outside the page
}

TEST(Instruments, TheAccelerationPointerShowsItsDirectionRelativeToTravel) {
  const QRectF area(0, 0, 102, 102);  // centre (51, 51), radius 50
  struct Case {
    const char* name;
    double g, direction;
    double x, y;
  };
  const Case cases[] = {
      {"speeding up points up", 0.5, 0, 51, 26},
      {"braking points down", 0.5, kPi, 51, 76},
      {"a right turn points right", 0.5, -kPi / 2, 76, 51},
      {"beyond full scale stops at the rim", 3.0, kPi / 2, 1, 51},
      {"no number draws nothing", std::nan(""), 0, 51, 51},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const rovana::instruments::Point tip = rovana::instruments::AccelerationTip(area, c.g, c.direction);
    EXPECT_NEAR(tip.x, c.x, 1e-9);
    EXPECT_NEAR(tip.y, c.y, 1e-9);
  }
}

TEST(Instruments, TheSpeedNeedleSweepsThreeQuartersOfTheDial) {
  EXPECT_NEAR(rovana::instruments::SpeedNeedleAngle(0, 100), -0.75 * kPi, 1e-12);
  EXPECT_NEAR(rovana::instruments::SpeedNeedleAngle(50, 100), 0, 1e-12);
  EXPECT_NEAR(rovana::instruments::SpeedNeedleAngle(100, 100), 0.75 * kPi, 1e-12);
  EXPECT_NEAR(rovana::instruments::SpeedNeedleAngle(250, 100), 0.75 * kPi, 1e-12) << "clamped at the end";
  EXPECT_NEAR(rovana::instruments::SpeedNeedleAngle(-5, 100), -0.75 * kPi, 1e-12) << "clamped at 0";
}

// True where the pixel is the compass's red.
bool Red(const QImage& image, int x, int y) {
  const QColor c = image.pixelColor(x, y);
  return c.red() > 150 && c.green() < 90 && c.blue() < 90;
}

TEST(Instruments, TheCompassTurnsNorthAgainstTheHeading) {
  struct Case {
    const char* name;
    double heading;
    int northX, northY, southX, southY;  // points on the needle's halves
  };
  // 200 x 200: centre (100, 100), radius 99; the needle reaches 44 px out.
  const Case cases[] = {
      {"heading north", 0, 100, 70, 100, 130},
      {"heading east: north to the left", kPi / 2, 70, 100, 130, 100},
      {"heading south: north down", kPi, 100, 130, 100, 70},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    rovana::instruments::DrawCompass(painter, QRectF(0, 0, 200, 200), c.heading);
    painter.end();
    EXPECT_TRUE(Red(image, c.northX, c.northY));
    EXPECT_FALSE(Red(image, c.southX, c.southY));
  }
}

TEST(Instruments, NothingIsDrawnOutsideTheRectangle) {
  QImage image(300, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const QRectF area(100, 0, 100, 100);
  rovana::instruments::DrawSpeedDial(painter, area, 180, 100);
  rovana::instruments::DrawAcceleration(painter, area, 2, 1);
  rovana::instruments::DrawCompass(painter, area, 1);
  painter.end();
  for (int y = 0; y < 100; ++y)
    for (int x : {0, 50, 99, 200, 250, 299}) ASSERT_EQ(image.pixel(x, y), QColor(Qt::white).rgb()) << x << "," << y;
}

}  // namespace
