// The trainer page: what it shows of the race as the Target runs it, the
// restart button, and what OK writes back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/coords/Units.h"
#include "app/dialogs/TrainerDialog.h"
#include "app/processing/Target.h"
#include "tests/app/ui/WaypointsFixture.h"

namespace {

using rovana::dialogs::TrainerDialog;
using Line = TrainerDialog::Line;

struct Fixture : testing_support::WaypointsFixture {
  std::uint32_t now = 1000;
  std::optional<rovana::GeoPoint> user;
  rovana::Target target{*home.settings, *waypoints, [](std::string_view) {}};
  Fixture() {
    rovana::SettingsStore& s = *home.settings;
    s.trainerEnabled = true;
    s.trainerVisible = true;
    s.trainerConstant = true;
    s.trainerConstantVal = 20;
    s.trainerRelativeVal = 1;
    s.targetReverseTrack = false;
    s.soundEnabled = false;
    LoadSamples();
  }
  TrainerDialog::Sources Sources() {
    return {[this] { return now; }, [] { return 3.6; }, [this] { return user; }};
  }
  QString Distance(double metres) const {
    return QString::fromStdString(rovana::FormatDistanceText(rovana::UnitChoiceOf(*home.settings), metres));
  }
};

TEST(TrainerDialog, ShowsTheRaceAsTheTargetRunsItAndRestartsTheTrainer) {
  Fixture f;
  {
    TrainerDialog dialog(f.target, *f.home.settings, *f.home.language, nullptr, f.Sources());
    EXPECT_EQ(dialog.statusText().toStdString(), f.Entry(rovana::lang::kTrainerNeedsTrack));
    EXPECT_FALSE(dialog.restartButton()->isEnabled());
    EXPECT_EQ(dialog.valueText(Line::DistanceToGo).toStdString(), "-") << "no target";
  }
  rovana::POIs& walk = *f.Collection("Home.gpx/Walk");
  f.target.SetCollectionTarget(*walk.FirstPoint(), walk);
  TrainerDialog dialog(f.target, *f.home.settings, *f.home.language, nullptr, f.Sources());
  EXPECT_EQ(dialog.statusText().toStdString(), f.Entry(rovana::lang::kTrainerStatusReady));

  // The user stands at the start for 9.1 s: a 20 km/h trainer is 50.6 m ahead.
  rovana::TargetInputs in;
  in.user = *walk.FirstPoint();
  for (; f.now <= 10100; f.now += f.now == 10000 ? 100 : 200) {
    in.now = f.now;
    f.target.Tick(in);
  }
  f.now = 10100;
  dialog.Refresh();
  EXPECT_EQ(dialog.statusText().toStdString(), f.Entry(rovana::lang::kTrainerStatusBehind));
  EXPECT_NEAR(f.target.trainerAlong(), 50.56, 0.05);
  EXPECT_EQ(dialog.valueText(Line::Trainer), f.Distance(f.target.trainerAlong()));
  EXPECT_EQ(dialog.valueText(Line::Gap), f.Distance(f.target.Summary(f.now, 3.6).gap));
  EXPECT_EQ(dialog.valueText(Line::TimeGap).toStdString(), "00:00:50") << "50 m at the user's 1 m/s";
  // The whole walk lies ahead; at 1 m/s it takes as many seconds as metres.
  f.user = *walk.FirstPoint();
  dialog.Refresh();
  const double toGo = f.target.DistanceToGo(*f.user);
  EXPECT_NEAR(toGo, walk.statistics().Distance(), 1.0);
  EXPECT_EQ(dialog.valueText(Line::DistanceToGo), f.Distance(toGo));
  EXPECT_EQ(dialog.valueText(Line::TimeToGo).toStdString(), rovana::FormatDuration(toGo, false));

  QTest::mouseClick(dialog.restartButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.statusText().toStdString(), f.Entry(rovana::lang::kTrainerStatusReady));
  EXPECT_EQ(f.target.trainerState(), rovana::TrainerState::Ready);
}

TEST(TrainerDialog, OkWritesWhatWasChangedAndCancelNothing) {
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    Fixture f;
    f.home.settings->trainerConstantVal = 20.04;  // shown as 20.0: not rounded unless typed in
    TrainerDialog dialog(f.target, *f.home.settings, *f.home.language, nullptr, f.Sources());
    EXPECT_TRUE(dialog.constantButton()->isChecked());
    dialog.visibleBox()->setChecked(false);
    dialog.reverseBox()->setChecked(true);
    dialog.relativeButton()->click();
    dialog.factorEdit()->clear();
    QTest::keyClicks(dialog.factorEdit(), "2.5");
    ok ? dialog.accept() : dialog.reject();
    const rovana::SettingsStore& s = *f.home.settings;
    EXPECT_TRUE(s.trainerEnabled);
    EXPECT_EQ(s.trainerVisible, !ok);
    EXPECT_EQ(s.targetReverseTrack, ok);
    EXPECT_EQ(s.trainerConstant, !ok);
    EXPECT_DOUBLE_EQ(s.trainerRelativeVal, ok ? 2.5 : 1.0);
    EXPECT_DOUBLE_EQ(s.trainerConstantVal, 20.04);
  }
}

}  // namespace
