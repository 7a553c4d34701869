// The GPS settings dialog: what it shows of the settings, the replay and log
// questions (answered here without a file dialog) and what OK writes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialogs/GpsSettingsDialog.h"
#include "tests/support/TempHome.h"

namespace {

using rovana::dialogs::GpsSettingsDialog;

TEST(GpsSettingsDialog, ShowsTheSettingsAndOkWritesTheChoices) {
  testing_support::TempHome home;
  rovana::SettingsStore& s = *home.settings;
  s.gpsName = "GPD1:";
  s.baudRate = 4800;
  s.gpsEnabled = true;
  s.useGPSSpeed = true;
  std::vector<GpsSettingsDialog::FileQuestion> asked;
  std::string answer = "/tmp/drive.pgl";
  GpsSettingsDialog dialog(s, *home.language, nullptr, [&](GpsSettingsDialog::FileQuestion q, const std::string&) {
    asked.push_back(q);
    return answer;
  });
  EXPECT_EQ(dialog.ports()->currentText(), "GPD1");
  EXPECT_EQ(dialog.bauds()->currentText(), "4800");
  EXPECT_TRUE(dialog.bauds()->isEnabled()) << "a device";

  // The replay entry asks for a file; the baud rate is then moot.
  dialog.ports()->activated(0);
  EXPECT_EQ(dialog.chosenSource(), "/tmp/drive.pgl");
  EXPECT_NE(dialog.ports()->itemText(0).indexOf("(drive.pgl)"), -1);
  EXPECT_FALSE(dialog.bauds()->isEnabled());
  // A cancelled question keeps the log off.
  answer.clear();
  dialog.logToFile()->setChecked(true);
  EXPECT_FALSE(dialog.logToFile()->isChecked());
  EXPECT_FALSE(dialog.newLog());
  answer = "/tmp/gpslog.pgl";
  dialog.logToFile()->setChecked(true);
  EXPECT_EQ(dialog.logPath()->text(), "/tmp/gpslog.pgl");
  EXPECT_TRUE(dialog.newLog());
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], GpsSettingsDialog::FileQuestion::Replay);
  EXPECT_EQ(asked[2], GpsSettingsDialog::FileQuestion::Log);

  dialog.useSpeed()->setChecked(false);
  dialog.enable()->setChecked(false);
  dialog.accept();
  EXPECT_EQ(s.gpsName, "/tmp/drive.pgl");
  EXPECT_EQ(s.gpsLogging, "/tmp/gpslog.pgl");
  EXPECT_FALSE(s.useGPSSpeed);
  EXPECT_FALSE(s.gpsEnabled);
  EXPECT_EQ(s.baudRate, 4800);
}

TEST(GpsSettingsDialog, ACancelledReplayKeepsThePort) {
  testing_support::TempHome home;
  home.settings->gpsName = "COM4:";
  GpsSettingsDialog dialog(*home.settings, *home.language, nullptr,
                           [](GpsSettingsDialog::FileQuestion, const std::string&) { return std::string(); });
  const int before = dialog.ports()->currentIndex();
  dialog.ports()->setCurrentIndex(0);
  dialog.ports()->activated(0);
  EXPECT_EQ(dialog.ports()->currentIndex(), before);
  EXPECT_EQ(dialog.chosenSource(), "COM4:");
  dialog.logToFile()->setChecked(false);
  dialog.accept();
  EXPECT_EQ(home.settings->gpsName, "COM4:");
  EXPECT_EQ(home.settings->gpsLogging, "");
}

}  // namespace
