// Quick menu paging, focus keys and command choice, driven like a user.
#include <gtest/gtest.h>

#include <QTest>

#include "app/core/LanguageEntries.h"
#include "app/dialogs/QuickMenuDialog.h"
#include "tests/support/TempHome.h"

using rovana::dialogs::QuickMenuDialog;

TEST(QuickMenu, TapsPageThroughAndChooseACommand) {
  testing_support::TempHome home;
  QuickMenuDialog menu(*home.language, 0, nullptr, 96);
  menu.resize(240, 300);
  menu.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  QTest::mouseClick(menu.grid(), Qt::LeftButton, {}, menu.ButtonRect(3).center());  // View
  EXPECT_EQ(menu.page(), 1);
  QTest::mouseClick(menu.grid(), Qt::LeftButton, {}, menu.ButtonRect(0).center());  // previous: Config
  EXPECT_EQ(menu.page(), 6);
  QTest::mouseClick(menu.grid(), Qt::LeftButton, {}, menu.ButtonRect(2).center());  // next: View again
  EXPECT_EQ(menu.page(), 1);
  EXPECT_EQ(menu.Caption(8).toStdString(), home.language->Entry(rovana::lang::kMenuViewFollowUser));
  QTest::mouseClick(menu.grid(), Qt::LeftButton, {}, menu.ButtonRect(8).center());
  EXPECT_EQ(menu.chosenCommand(), 32896);
  EXPECT_EQ(menu.result(), QDialog::Accepted);
}

TEST(QuickMenu, KeysMoveTheFocusAndPressTheButton) {
  testing_support::TempHome home;
  QuickMenuDialog menu(*home.language, 6, nullptr, 96);
  EXPECT_EQ(menu.focus(), 0);
  QTest::keyClick(&menu, Qt::Key_Left);
  EXPECT_EQ(menu.focus(), 8);  // wrapped
  QTest::keyClick(&menu, Qt::Key_Up);
  EXPECT_EQ(menu.focus(), 5);
  QTest::keyClick(&menu, Qt::Key_Left);
  EXPECT_EQ(menu.focus(), 4);  // the empty button of the Config page
  QTest::keyClick(&menu, Qt::Key_Return);
  EXPECT_EQ(menu.chosenCommand(), 0);  // an empty button does nothing
  QTest::keyClick(&menu, Qt::Key_Down);
  QTest::keyClick(&menu, Qt::Key_Right);
  QTest::keyClick(&menu, Qt::Key_Return);
  EXPECT_EQ(menu.chosenCommand(), 32873);  // Quit
}

TEST(QuickMenu, OpensOnTheGivenPageAndHighlightsSwitches) {
  testing_support::TempHome home;
  int asked = 0;
  QuickMenuDialog menu(*home.language, 4, [&asked](int command) { ++asked; return command == 32878 ? 1 : 0; }, 96);
  EXPECT_EQ(menu.page(), 4);
  menu.resize(240, 300);
  menu.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
  menu.grid()->repaint();
  EXPECT_GT(asked, 0);
  QuickMenuDialog bad(*home.language, 42, nullptr, 96);
  EXPECT_EQ(bad.page(), 0);
}
