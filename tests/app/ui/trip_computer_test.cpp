// The trip computer: what its two tabs show for analyzers fed with real
// positions, in the user's units, and which analyzer Reset clears.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <string>
#include <vector>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/TripComputerDialog.h"
#include "app/processing/Analyzer.h"
#include "tests/support/TempHome.h"

namespace {

using rovana::dialogs::TripComputerDialog;
using rovana::dialogs::TripLine;
using rovana::dialogs::TripTab;

rovana::GeoPoint North(double metres, double altitude) {
  return rovana::GeoPoint(metres / rovana::kEarthRadius, 0, altitude);
}

// The clock the analyzers read for their live times.
struct TestClock {
  int now = 2000;
  rovana::Analyzer::Clock Function() {
    return [this] { return now; };
  }
};

// Live: 60 m north and 10 m up in 10 s (21.6 km/h, one completed climb
// segment), then 10 s standing still. Trip: 100 m in 10 s (36 km/h).
struct Fixture {
  testing_support::TempHome home;
  TestClock clock;
  rovana::Analyzer live{clock.Function()};
  rovana::Analyzer trip{clock.Function()};
  std::vector<QString> questions;
  bool answer = false;

  Fixture() {
    live.AddPositionComputed(1000, North(0, 100));
    live.AddPositionComputed(1010, North(60, 110));
    live.AddPositionComputed(1020, North(60, 110));
    trip.AddPositionComputed(1000, North(0, 50));
    trip.AddPositionComputed(1010, North(100, 50));
    rovana::SettingsStore& s = *home.settings;
    s.excludeStops = true;
    s.unitSpeed = 2;      // knots
    s.unitDistance = 16;  // feet
    s.unitAltitude = 16;  // feet
    s.altitudeOffset = 10;
  }
  TripComputerDialog::Asker Asker() {
    return [this](const QString& question) {
      questions.push_back(question);
      return answer;
    };
  }
};

TEST(TripComputer, ShowsTheLiveAnalyzerInTheChosenUnits) {
  Fixture f;
  TripComputerDialog dialog(f.live, f.trip, *f.home.settings, *f.home.language, nullptr, f.Asker());
  struct Case {
    const char* name;
    TripLine line;
    std::string value;
  };
  const Case cases[] = {
      {"moving time", TripLine::Time, "00:00:10"},
      {"distance in feet", TripLine::Distance, "197"},
      {"average without stops", TripLine::AverageSpeed, "11.7kts"},
      {"lowest speed", TripLine::MinSpeed, "0.0kts"},
      {"highest speed", TripLine::MaxSpeed, "11.7kts"},
      {"average altitude with offset", TripLine::AverageAltitude, "394ft"},
      {"lowest altitude with offset", TripLine::MinAltitude, "361ft"},
      {"highest altitude with offset", TripLine::MaxAltitude, "394ft"},
      {"climb without the offset", TripLine::Climb, "33ft"},
      {"no descent", TripLine::Descent, "0ft"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dialog.valueText(TripTab::Live, c.line).toStdString(), c.value);
  }
  EXPECT_EQ(dialog.labelText(TripTab::Live, TripLine::Distance).toStdString(),
            f.home.language->Entry(rovana::lang::kWordDistance) + " (ft):");
  EXPECT_EQ(dialog.labelText(TripTab::Live, TripLine::Time).toStdString(),
            f.home.language->Entry(rovana::lang::kTripMovingTime) + ":");
  EXPECT_EQ(dialog.valueText(TripTab::Trip, TripLine::MaxSpeed).toStdString(), "19.4kts");
}

TEST(TripComputer, TheAutomaticDistanceRowPutsItsChoiceIntoTheLabel) {
  Fixture f;
  f.home.settings->unitDistance = 0;
  TripComputerDialog dialog(f.live, f.trip, *f.home.settings, *f.home.language, nullptr, f.Asker());
  EXPECT_EQ(dialog.labelText(TripTab::Live, TripLine::Distance).toStdString(),
            f.home.language->Entry(rovana::lang::kWordDistance) + " (m):");
  EXPECT_EQ(dialog.valueText(TripTab::Live, TripLine::Distance).toStdString(), "60.0");
}

TEST(TripComputer, TheStopsBoxSwitchesTimeAndAverageAndEditsTheSetting) {
  Fixture f;
  TripComputerDialog dialog(f.live, f.trip, *f.home.settings, *f.home.language, nullptr, f.Asker());
  ASSERT_TRUE(dialog.excludeStopsBox()->isChecked());
  dialog.excludeStopsBox()->setChecked(false);
  EXPECT_FALSE(f.home.settings->excludeStops);
  EXPECT_EQ(dialog.labelText(TripTab::Live, TripLine::Time).toStdString(),
            f.home.language->Entry(rovana::lang::kTripTotalTime) + ":");
  EXPECT_EQ(dialog.valueText(TripTab::Live, TripLine::Time).toStdString(), "00:00:20");
  EXPECT_EQ(dialog.valueText(TripTab::Live, TripLine::AverageSpeed).toStdString(), "5.8kts");
  dialog.excludeStopsBox()->setChecked(true);
  EXPECT_TRUE(f.home.settings->excludeStops);
  EXPECT_EQ(dialog.valueText(TripTab::Live, TripLine::Time).toStdString(), "00:00:10");
}

TEST(TripComputer, TimesGrowWhileTheDialogIsOpen) {
  Fixture f;
  f.home.settings->excludeStops = false;
  TripComputerDialog dialog(f.live, f.trip, *f.home.settings, *f.home.language, nullptr, f.Asker());
  f.clock.now += 5;
  dialog.Refresh();
  EXPECT_EQ(dialog.valueText(TripTab::Live, TripLine::Time).toStdString(), "00:00:25");
  EXPECT_EQ(dialog.valueText(TripTab::Trip, TripLine::Time).toStdString(), "00:00:15");
}

TEST(TripComputer, ResetAsksAndClearsOnlyTheShownTabsAnalyzerOnOk) {
  Fixture f;
  TripComputerDialog dialog(f.live, f.trip, *f.home.settings, *f.home.language, nullptr, f.Asker());
  dialog.showTab(TripTab::Trip);
  ASSERT_EQ(dialog.shownTab(), TripTab::Trip);

  f.answer = false;
  dialog.resetButton()->click();
  ASSERT_EQ(f.questions.size(), 1u);
  EXPECT_EQ(f.questions[0].toStdString(), f.home.language->Entry(rovana::lang::kTripResetQuestion) + "?");
  EXPECT_EQ(f.trip.MaxSpeed(), 36.0) << "Cancel keeps the trip";
  EXPECT_EQ(dialog.valueText(TripTab::Trip, TripLine::MaxSpeed).toStdString(), "19.4kts");

  f.answer = true;
  dialog.resetButton()->click();
  EXPECT_EQ(f.questions.size(), 2u);
  EXPECT_EQ(f.trip.Distance(false), 0.0);
  EXPECT_EQ(dialog.valueText(TripTab::Trip, TripLine::MinSpeed).toStdString(), "?");
  EXPECT_EQ(dialog.valueText(TripTab::Trip, TripLine::Time).toStdString(), "00:00:00");
  EXPECT_NEAR(f.live.Distance(false), 60.0, 0.01) << "the live analyzer is not the one shown";
  EXPECT_EQ(dialog.valueText(TripTab::Live, TripLine::MaxSpeed).toStdString(), "11.7kts");
}

TEST(TripComputer, ResetOnTheFirstTabClearsTheLiveAnalyzer) {
  Fixture f;
  f.answer = true;
  TripComputerDialog dialog(f.live, f.trip, *f.home.settings, *f.home.language, nullptr, f.Asker());
  dialog.showTab(TripTab::Live);
  dialog.ResetShown();
  EXPECT_EQ(f.live.Distance(false), 0.0);
  EXPECT_EQ(f.trip.MaxSpeed(), 36.0);
}

}  // namespace
