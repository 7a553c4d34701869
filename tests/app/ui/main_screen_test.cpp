// The main screen: menu bar from the command table, the modal runner and its
// timer, stylus taps and pans, the menu-bar button and the quit path.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>

#include "app/core/LanguageEntries.h"
#include "app/ui/MainScreen.h"
#include "app/dialogs/LanguageDialog.h"
#include "app/dialogs/QuickMenuDialog.h"
#include "tests/support/TempHome.h"

using rovana::ui::AppContext;
using rovana::ui::MainScreen;

namespace {

struct Fixture {
  testing_support::TempHome home;
  std::atomic<bool> quit{false};
  int shutdowns = 0;
  AppContext context{*home.settings, *home.language, quit, true, [this] { ++shutdowns; }};
};

QPoint InWindow(const MainScreen& screen, QPoint inMap) { return inMap + screen.mapArea().topLeft(); }

// Hands the next modal widget of type T to `act` once it is up (polled, so it
// works whichever event loop the modal runs in).
template <typename T, typename Act>
void OnNextModal(Act act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    if (T* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      act(modal);
    }
  });
  poll->start(10);
}

}  // namespace

TEST(MainScreen, MenuBarHoldsEveryCommandGreyedUntilItsRoomExists) {
  Fixture f;
  MainScreen screen(f.context, 480, 640);
  int failures = 0;
  for (const auto& item : rovana::lang::kMenuItemTexts) {
    QAction* action = screen.actionOf(item.command);
    if (!action || action->text().toStdString() != f.home.language->Entry(item.entry)) {
      ++failures;
      ADD_FAILURE() << item.command;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(screen.menuBar()->actions().size(), 5);
  EXPECT_TRUE(screen.actionOf(32870)->isEnabled());   // Map › GoogleMaps...: the online maps dialog
  EXPECT_TRUE(screen.actionOf(32856)->isEnabled());   // Language...
  EXPECT_TRUE(screen.actionOf(32896)->isChecked());   // followUser defaults to true
  screen.ExecuteCommand(32896);
  screen.UpdateMenuStates();
  EXPECT_FALSE(f.home.settings->followUser);
  EXPECT_FALSE(screen.actionOf(32896)->isChecked());
}

TEST(MainScreen, ModalDialogStopsTheTimerAndRestartsIt) {
  Fixture f;
  MainScreen screen(f.context, 240, 320);
  ASSERT_TRUE(screen.timerActive());
  const int generation = screen.layoutGeneration();
  QDialog dialog;
  bool activeDuring = true;
  QTimer::singleShot(0, &dialog, [&] {
    activeDuring = screen.timerActive();
    dialog.accept();
  });
  EXPECT_EQ(screen.RunModal(dialog), QDialog::Accepted);
  EXPECT_FALSE(activeDuring);
  EXPECT_TRUE(screen.timerActive());
  EXPECT_GT(screen.layoutGeneration(), generation);
}

TEST(MainScreen, TimerRepaintsAtThePaintRate) {
  Fixture f;
  MainScreen screen(f.context, 240, 320);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  const int before = screen.paints();
  QTest::qWait(700);  // three or so paint periods of 200 ms
  const int painted = screen.paints() - before;
  EXPECT_GE(painted, 2);
  EXPECT_LE(painted, 5);
}

TEST(MainScreen, TapSetsAndRemovesTheMarkerDragPans) {
  Fixture f;
  f.home.settings->followMarker = false;  // with it the view centres on every new marker
  MainScreen screen(f.context, 480, 640);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  const QPoint p = InWindow(screen, {240, 300});
  QTest::mouseClick(&screen, Qt::LeftButton, {}, p);
  ASSERT_TRUE(screen.marker().has_value());
  EXPECT_EQ(*screen.marker(), QPoint(240, 300));
  QTest::mouseClick(&screen, Qt::LeftButton, {}, p + QPoint(10, -10));  // within 15 pixels: removed
  EXPECT_FALSE(screen.marker().has_value());
  QTest::mouseClick(&screen, Qt::LeftButton, {}, p);

  // A small move stays a tap; a long one pans the view and sets no marker.
  QTest::mousePress(&screen, Qt::LeftButton, {}, p + QPoint(0, 100));
  QTest::mouseMove(&screen, p + QPoint(20, 110));
  EXPECT_EQ(screen.panOffset(), QPoint(0, 0));
  QTest::mouseMove(&screen, p + QPoint(120, 100));
  QTest::mouseRelease(&screen, Qt::LeftButton, {}, p + QPoint(120, 100));
  EXPECT_EQ(screen.panOffset(), QPoint(100, -10));  // the offset since the previous move
  EXPECT_EQ(*screen.marker(), QPoint(340, 290));  // moved with the picture
}

TEST(MainScreen, MenuBarButtonTogglesTheBarAndZoomButtonsZoom) {
  Fixture f;
  MainScreen screen(f.context, 480, 640);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  ASSERT_TRUE(screen.menuBarHidden());
  const auto& b = screen.buttons();
  QTest::mouseClick(&screen, Qt::LeftButton, {}, InWindow(screen, {b.menuBar.x + 4, b.menuBar.y + 4}));
  EXPECT_FALSE(screen.menuBarHidden());
  screen.repaint();
  EXPECT_TRUE(screen.menuBar()->isVisible());
  const double zoom = f.home.settings->zoomN3;
  const auto& b2 = screen.buttons();  // laid out again for the smaller map area
  QTest::mouseClick(&screen, Qt::LeftButton, {}, InWindow(screen, {b2.zoomIn.x + 4, b2.zoomIn.y + 4}));
  EXPECT_DOUBLE_EQ(f.home.settings->zoomN3, zoom * 2);
  QTest::mouseClick(&screen, Qt::LeftButton, {}, InWindow(screen, {b2.hyperzoom.x + 4, b2.hyperzoom.y + 4}));
  EXPECT_TRUE(f.home.settings->hyperzooming);
  QTest::keyClick(&screen, Qt::Key_Up, Qt::ControlModifier);  // the zoom case of "up"
  // The hyperzoom set's default is below the 192-dpi limit: the paint clamped it first.
  EXPECT_DOUBLE_EQ(f.home.settings->zoomH3, 39.79331706606942 * 2 * 2);
  EXPECT_DOUBLE_EQ(f.home.settings->zoomN3, zoom * 2);
}

TEST(MainScreen, QuitRunsTheShutdownOnceAndEndsTheScreen) {
  Fixture f;
  MainScreen screen(f.context, 240, 320);
  QTimer::singleShot(0, &screen, [&screen] { screen.ExecuteCommand(18); });
  EXPECT_EQ(screen.exec(), 0);
  EXPECT_TRUE(f.quit.load());
  EXPECT_EQ(f.shutdowns, 1);
  EXPECT_TRUE(screen.Quit());  // a second quit does not save again
  EXPECT_EQ(f.shutdowns, 1);
}

TEST(MainScreen, ScreenshotHasTheWindowSize) {
  Fixture f;
  MainScreen screen(f.context, 320, 240);
  const QString file = QString::fromStdString((f.home.folder() / "s.png").string());
  ASSERT_TRUE(screen.SaveScreenshot(file));
  const QImage image(file);
  EXPECT_EQ(image.size(), QSize(320, 240));
}

TEST(MainScreen, CancellingTheQuitQuestionKeepsTheTimerRunningAndSavesNothing) {
  Fixture f;
  f.context.automatic = false;
  MainScreen screen(f.context, 240, 320);
  OnNextModal<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Cancel));
    box->button(QMessageBox::Cancel)->click();
  });
  EXPECT_FALSE(screen.Quit());
  EXPECT_TRUE(screen.timerActive());
  EXPECT_FALSE(f.quit.load());
  EXPECT_EQ(f.shutdowns, 0);

  OnNextModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
  EXPECT_TRUE(screen.Quit());
  EXPECT_TRUE(f.quit.load());
  EXPECT_EQ(f.shutdowns, 1);
}

TEST(MainScreen, ChoosingALanguageFromTheMenuRelabelsTheMenus) {
  Fixture f;
  MainScreen screen(f.context, 480, 640);
  const QString englishQuit = screen.actionOf(32873)->text();
  OnNextModal<rovana::dialogs::LanguageDialog>([](rovana::dialogs::LanguageDialog* dialog) {
    const auto& items = dialog->languages().items;
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].name == "German") dialog->Choose(static_cast<int>(i));
    dialog->accept();
  });
  screen.ExecuteCommand(32856);
  ASSERT_EQ(f.home.language->language(), "German");
  int failures = 0;
  for (const auto& item : rovana::lang::kMenuItemTexts) {
    if (screen.actionOf(item.command)->text().toStdString() != f.home.language->Entry(item.entry)) {
      ++failures;
      ADD_FAILURE() << "not relabelled: " << item.command;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_NE(screen.actionOf(32873)->text(), englishQuit);
}

TEST(MainScreen, KeysZeroAndFiveOpenTheQuickMenuOnTheLastPageShown) {
  Fixture f;
  MainScreen screen(f.context, 240, 320);
  screen.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
  int openedOn = -1;
  OnNextModal<rovana::dialogs::QuickMenuDialog>([&openedOn](rovana::dialogs::QuickMenuDialog* menu) {
    openedOn = menu->page();
    menu->ShowPage(3);
    menu->reject();
  });
  QTest::keyClick(&screen, Qt::Key_0);
  EXPECT_EQ(openedOn, 0);
  EXPECT_EQ(screen.quickPage(), 3);

  OnNextModal<rovana::dialogs::QuickMenuDialog>([&openedOn](rovana::dialogs::QuickMenuDialog* menu) {
    openedOn = menu->page();
    menu->reject();
  });
  QTest::keyClick(&screen, Qt::Key_5);
  EXPECT_EQ(openedOn, 3);
  EXPECT_TRUE(screen.timerActive());
}
