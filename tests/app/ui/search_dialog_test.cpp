// The Search and Geocoder dialogs offscreen over scripted runs: what OK
// stores before the search, the message and whether the dialog closes, the
// filters following the provider, and the geocoder's result with its two
// actions.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QApplication>
#include <QRadioButton>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/core/SettingsStore.h"
#include "app/dialogs/GeocoderDialog.h"
#include "app/dialogs/SearchDialog.h"
#include "app/ui/OnlineServices.h"
#include "tests/support/TempHome.h"

namespace {

using namespace rovana::dialogs;

TEST(SearchDialog, OkStoresTheChoicesRunsAndClosesOnlyOnSuccess) {
  struct Case {
    const char* name;
    int provider;
    bool success;
    std::string text;
    std::string storedWhat;  // the local searches store the text, the others leave it
    int result;
  };
  const Case cases[] = {
      {"local search found", 0, true, "Points found (2).", "pizza", QDialog::Accepted},
      {"business directory failed", 1, false, "The online request failed.", "pizza", QDialog::Rejected},
      {"photos found", 4, true, "Points found (1).", "earlier", QDialog::Accepted},
      {"success without a text", 5, true, "", "earlier", QDialog::Accepted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempHome home;
    home.settings->searchWhat = "earlier";
    home.settings->searchGeoNF = false;
    int runs = 0;
    int providerAtRun = -1;
    std::vector<QString> shown;
    DialogAsker asker;
    asker.message = [&](const QString& text) { shown.push_back(text); };
    SearchDialog dialog(*home.settings, *home.language, [&]() -> SearchRunResult {
      ++runs;
      providerAtRun = home.settings->searchDB;
      return {c.success, c.text};
    }, nullptr, asker);
    dialog.findChild<QRadioButton*>(QString("provider%1").arg(c.provider))->click();
    dialog.findChild<QLineEdit*>("searchWhat")->setText("  pizza ");
    dialog.findChild<QCheckBox*>("searchDeletePOIs")->setChecked(true);
    dialog.accept();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(providerAtRun, c.provider) << "the settings are stored before the run";
    EXPECT_EQ(home.settings->searchWhat, c.storedWhat);
    EXPECT_TRUE(home.settings->searchDeletePOIs);
    EXPECT_FALSE(home.settings->searchGeoNF);
    EXPECT_EQ(shown.size(), c.text.empty() ? 0u : 1u);
    if (!shown.empty()) {
      EXPECT_EQ(shown[0].toStdString(), c.text);
    }
    EXPECT_EQ(dialog.result(), c.result);
  }
}

TEST(SearchDialog, FiltersAndTextFollowTheProvider) {
  struct Case {
    int provider;
    bool textEnabled, filtersEnabled;
  };
  const Case cases[] = {{0, true, false}, {1, true, false}, {2, false, true}, {3, false, false}, {5, false, false}};
  testing_support::TempHome home;
  SearchDialog dialog(*home.settings, *home.language, {});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.provider);
    dialog.findChild<QRadioButton*>(QString("provider%1").arg(c.provider))->click();
    EXPECT_EQ(dialog.findChild<QLineEdit*>("searchWhat")->isEnabled(), c.textEnabled);
    for (const char* name : {"searchGeoF", "searchGeoNF", "searchGeoO", "searchGeoNO"})
      EXPECT_EQ(dialog.findChild<QCheckBox*>(name)->isEnabled(), c.filtersEnabled) << name;
  }
}

TEST(GeocoderDialog, LookupShowsTheResultAndOffersItsActions) {
  struct Case {
    const char* name;
    bool success;
    std::string text;
    const char* press;  // the action pressed afterwards, or null
    std::string done;
  };
  const Case cases[] = {
      {"found and shown", true, "Alster\nHamburg", "showOnMap", "show"},
      {"found and made the target", true, "Alster\nHamburg", "setTarget", "target"},
      {"not found", false, "The address was not found.", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempHome home;
    std::string asked, done;
    GeocoderActions actions;
    const rovana::GeoPoint place(0.93, 0.17);
    actions.geocode = [&]() -> GeocodeRunResult {
      asked = home.settings->geoStreet + "|" + home.settings->geoCity + "|" + home.settings->geoCountry;
      return {c.success, place, c.text};
    };
    actions.showOnMap = [&](const rovana::GeoPoint& p) { done = p.latitude() == 0.93 ? "show" : "wrong point"; };
    actions.setTarget = [&](const rovana::GeoPoint& p) { done = p.longitude() == 0.17 ? "target" : "wrong point"; };
    GeocoderDialog dialog(*home.settings, *home.language, actions);
    dialog.findChild<QLineEdit*>("geoCountry")->setText("Germany");
    dialog.findChild<QLineEdit*>("geoCity")->setText(" Hamburg ");
    dialog.findChild<QLineEdit*>("geoStreet")->setText("Jungfernstieg");
    dialog.findChild<QPushButton*>("lookup")->click();
    EXPECT_EQ(asked, "Jungfernstieg|Hamburg|Germany");
    EXPECT_EQ(dialog.resultText().toStdString(), c.text);
    auto* show = dialog.findChild<QPushButton*>("showOnMap");
    auto* target = dialog.findChild<QPushButton*>("setTarget");
    EXPECT_EQ(show->isEnabled(), c.success);
    EXPECT_EQ(target->isEnabled(), c.success);
    if (c.press) dialog.findChild<QPushButton*>(c.press)->click();
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(dialog.result(), c.press ? QDialog::Accepted : QDialog::Rejected);
  }
}

TEST(GeocoderDialog, EmptyFieldsAskNothing) {
  testing_support::TempHome home;
  int runs = 0;
  GeocoderActions actions;
  actions.geocode = [&]() -> GeocodeRunResult { ++runs; return {}; };
  GeocoderDialog dialog(*home.settings, *home.language, actions);
  dialog.findChild<QPushButton*>("lookup")->click();
  EXPECT_EQ(runs, 0);
}

// A search's worker that needs the user-interface thread (to ask whether to
// go online) gets it while the dialog waits: no deadlock.
TEST(SearchRun, TheWorkerReachesTheUiThreadWhileTheDialogWaits) {
  testing_support::TempHome home;
  std::atomic<bool> quit{false};
  rovana::ui::OnlineServices services(*home.settings, *home.language, quit);
  bool servedOnUi = false;
  QThread* worker = nullptr;
  services.RunBlocking([&] {
    worker = QThread::currentThread();
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    QMetaObject::invokeMethod(qApp, [&] {
      servedOnUi = QThread::currentThread() == qApp->thread();
      std::lock_guard lock(m);
      done = true;
      cv.notify_all();
    }, Qt::QueuedConnection);
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return done; });
  });
  EXPECT_TRUE(servedOnUi);
  EXPECT_NE(worker, qApp->thread());
}

}  // namespace
