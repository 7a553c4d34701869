// The satellite status dialog: what it says about the last GSV cycle, and
// where the sky plot puts a satellite.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/SatelliteDialog.h"
#include "tests/support/TempHome.h"

namespace {

rovana::GpsData TwoSatellites() {
  rovana::GpsData data;
  data.gsv.count = 3;
  data.gsv.inView = 2;
  data.gsv.satellites[0] = {1, 7, 44, 90, 0};   // used, east on the horizon
  data.gsv.satellites[1] = {0, 12, 0, 0, 90};   // not tracked, overhead
  data.rmc.count = 1;
  data.rmc.hour = 9;
  data.rmc.minute = 5;
  data.rmc.second = 7;
  return data;
}

TEST(SatelliteDialog, SummarisesTheLastCycleAndRefreshesFromItsSource) {
  testing_support::TempHome home;
  int reads = 0;
  rovana::GpsData served;  // nothing decoded yet
  rovana::dialogs::SatelliteDialog dialog(*home.language, [&] {
    ++reads;
    return served;
  });
  EXPECT_EQ(dialog.summary().toStdString(), home.language->Entry(rovana::lang::kSatNoData));
  served = TwoSatellites();
  served.gsv.inView = 500;  // a damaged count never reaches past the table
  dialog.Refresh();
  EXPECT_EQ(reads, 2);
  EXPECT_NE(dialog.summary().indexOf("36"), -1) << dialog.summary().toStdString();
  served = TwoSatellites();
  dialog.Refresh();
  const std::string text = dialog.summary().toStdString();
  EXPECT_NE(text.find(home.language->Entry(rovana::lang::kSatInView) + ": 2"), std::string::npos) << text;
  EXPECT_NE(text.find(home.language->Entry(rovana::lang::kSatUsed) + ": 1"), std::string::npos) << text;
  EXPECT_NE(text.find("09:05:07"), std::string::npos) << text;
}

TEST(SatelliteDialog, TheSkyPlotPutsAzimuthAroundAndElevationInwards) {
  rovana::dialogs::SkyView view;
  view.resize(200, 260);
  view.Show(TwoSatellites());
  QImage image(view.size(), QImage::Format_RGB32);
  view.render(&image);
  // The sky is the upper 195 pixels; its centre (100, 97), radius 85.
  const QColor east = image.pixelColor(185, 97);  // the used satellite, filled green
  EXPECT_GT(east.green(), east.red() + 40) << "east on the horizon";
  const QColor west = image.pixelColor(15, 97);
  EXPECT_FALSE(west.green() > west.red() + 40) << "nothing in the west";
}

}  // namespace
