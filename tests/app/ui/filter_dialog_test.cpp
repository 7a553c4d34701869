// The filter dialog over a real filter: the figures, the "?" of a short
// horizon, the horizon stored on OK, and the plot of fixes against outputs.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <cmath>

#include "app/core/Utilities.h"
#include "app/dialogs/FilterDialog.h"
#include "tests/support/TempHome.h"

namespace {

using rovana::Accurator;
using rovana::matrixT;
using rovana::dialogs::FilterDialog;
using rovana::dialogs::FilterPlot;

constexpr int kDpi = 96;

// A walk north-east with some noise: enough fixes for every figure.
void FeedWalk(Accurator& filter, int fixes) {
  for (int i = 0; i < fixes; ++i) {
    const double noise = (i % 3 - 1) * 0.00002;
    filter.AddFix(48.0 + i * 0.0001 + noise, 11.0 + i * 0.0001 - noise, 5, 0.8, 500 + i);
  }
}

bool Inside(const QWidget& widget, const matrixT& transform, const FilterPlot::Local& l) {
  const matrixT::Point p = transform.Apply(l.east, l.north);
  return p.x >= 0 && p.y >= 0 && p.x <= widget.width() && p.y <= widget.height();
}

TEST(FilterDialog, ShowsTheFiguresOfAFedFilter) {
  testing_support::TempHome home;
  Accurator filter(5);
  FeedWalk(filter, 6);
  FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
  EXPECT_EQ(dialog.windowTitle(), "Accurator");
  EXPECT_EQ(dialog.horizon()->value(), 5);
  EXPECT_TRUE(dialog.spread()->text().endsWith(" m")) << dialog.spread()->text().toStdString();
  EXPECT_TRUE(dialog.deviation()->text().endsWith(" m")) << dialog.deviation()->text().toStdString();
  EXPECT_TRUE(dialog.note()->isHidden());
  EXPECT_EQ(dialog.plot()->measured().size(), 6u);
  EXPECT_EQ(dialog.plot()->filtered().size(), 6u);
}

TEST(FilterDialog, ShowsQuestionMarksForAHorizonOfTwo) {
  testing_support::TempHome home;
  for (int horizon : {1, 2}) {
    SCOPED_TRACE(horizon);
    Accurator filter(horizon);
    FeedWalk(filter, 4);
    FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
    EXPECT_EQ(dialog.spread()->text(), "?");
    EXPECT_EQ(dialog.deviation()->text(), "?");
    EXPECT_FALSE(dialog.note()->isHidden()) << "the note says why";
    EXPECT_EQ(dialog.note()->text(), "Spread and deviation need a horizon of 3 or more.");
  }
}

TEST(FilterDialog, OkStoresTheClampedHorizonCancelKeepsIt) {
  struct Case {
    const char* name;
    int typed, want;
  };
  const Case cases[] = {{"below", 0, 1}, {"above", 99, 50}, {"inside", 12, 12}, {"the last", 50, 50}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempHome home;
    home.settings->horizon = 5;
    Accurator filter(home.settings->horizon);
    FeedWalk(filter, 3);
    {
      FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
      dialog.horizon()->setValue(c.typed);
      dialog.reject();
    }
    EXPECT_EQ(home.settings->horizon, 5);
    EXPECT_EQ(filter.GetHorizon(), 5);
    {
      FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
      dialog.horizon()->setValue(c.typed);
      dialog.accept();
    }
    EXPECT_EQ(home.settings->horizon, c.want);
    EXPECT_EQ(filter.GetHorizon(), c.want);
  }
}

TEST(FilterDialog, RefreshTakesTheFixesThatArrivedSinceOpening) {
  testing_support::TempHome home;
  Accurator filter(3);
  FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
  EXPECT_TRUE(dialog.plot()->filtered().empty());
  FeedWalk(filter, 4);
  dialog.Refresh();
  EXPECT_EQ(dialog.plot()->filtered().size(), 4u);
  EXPECT_NE(dialog.spread()->text(), "?");
}

TEST(FilterDialog, PlotFitsEveryPointAndPaintsThem) {
  testing_support::TempHome home;
  Accurator filter(5);
  FeedWalk(filter, 20);
  FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
  FilterPlot& plot = *dialog.plot();
  for (QSize size : {QSize(200, 150), QSize(120, 400), QSize(640, 480)}) {
    SCOPED_TRACE(size.width());
    plot.resize(size);
    const matrixT t = plot.Transform();
    for (const auto& l : plot.measured()) EXPECT_TRUE(Inside(plot, t, l));
    for (const auto& l : plot.filtered()) EXPECT_TRUE(Inside(plot, t, l));
    const matrixT::Point newest = t.Apply(0, 0);
    EXPECT_GT(newest.x, 0);
    EXPECT_LT(newest.y, size.height());
  }
  const QImage image = plot.grab().toImage();
  bool red = false, blue = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      red |= c == QColor(0xD0, 0x30, 0x30);
      blue |= c == QColor(0x20, 0x50, 0xC0);
    }
  EXPECT_TRUE(red) << "measured fixes drawn";
  EXPECT_TRUE(blue) << "outputs drawn";
}

TEST(FilterDialog, PlotTakesTheShortWayAcrossTheDateLine) {
  testing_support::TempHome home;
  Accurator filter(3);
  for (double lon : {179.9995, -179.9998, -179.9996}) filter.AddFix(0, lon, 0, 0, 0);
  FilterDialog dialog(filter, *home.settings, *home.language, kDpi);
  for (const auto& l : dialog.plot()->measured()) EXPECT_LT(std::fabs(l.east), 100) << l.east;
}

TEST(FitTransform, CentresTheBoxNorthUpWithOneScale) {
  struct Case {
    const char* name;
    double minX, minY, maxX, maxY;
    int width, height, margin;
    double wantScale;
  };
  const Case cases[] = {
      {"wide box", -50, -10, 50, 10, 220, 220, 10, 2},
      {"tall box", 0, 0, 10, 100, 400, 220, 10, 2},
      {"one point", 5, 5, 5, 5, 120, 120, 10, 100},  // the least span of 1 m
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const matrixT t = rovana::dialogs::FitTransform(c.minX, c.minY, c.maxX, c.maxY, c.width, c.height, c.margin);
    const matrixT::Point centre = t.Apply((c.minX + c.maxX) / 2, (c.minY + c.maxY) / 2);
    EXPECT_NEAR(centre.x, c.width / 2.0, 1e-9);
    EXPECT_NEAR(centre.y, c.height / 2.0, 1e-9);
    const matrixT::Point northEast = t.Apply(c.maxX, c.maxY);
    const matrixT::Point southWest = t.Apply(c.minX, c.minY);
    EXPECT_NEAR(t.at(0, 0), c.wantScale, 1e-12);
    EXPECT_NEAR(t.at(1, 1), -c.wantScale, 1e-12) << "north is up";
    EXPECT_GE(southWest.x, c.margin - 1e-9);
    EXPECT_LE(northEast.x, c.width - c.margin + 1e-9);
    EXPECT_GE(northEast.y, c.margin - 1e-9);
    EXPECT_LE(southWest.y, c.height - c.margin + 1e-9);
  }
}

}  // namespace
