// The online dialogs over scripted actions: the account's log in and out
// with the result in words, the online services' switches and traffic, and
// the VozazId pages calling the buddy and chat actions and writing their
// settings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/core/LanguageEntries.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/AccountDialog.h"
#include "app/dialogs/OnlineServicesDialog.h"
#include "app/dialogs/VozazIdDialog.h"
#include "tests/support/TempHome.h"

namespace {

using namespace rovana::dialogs;

// Actions that record what was asked and answer as the test says.
struct Service {
  bool in = false;
  int answer = 0;
  std::vector<std::string> calls;
  std::vector<BuddyRow> buddies;
  OnlineActions Actions() {
    OnlineActions a;
    a.login = [this] { calls.push_back("login"); in = answer == 0; return answer; };
    a.logout = [this] { calls.push_back("logout"); in = false; };
    a.loggedIn = [this] { return in; };
    a.setIdentity = [this](const std::string& n, const std::string& p) { calls.push_back("uc " + n + " " + p); return answer; };
    a.addBuddy = [this](const std::string& n, const std::string& p) { calls.push_back("ba " + n + " " + p); return answer; };
    a.deleteBuddy = [this](int id) { calls.push_back("bd " + std::to_string(id)); return answer; };
    a.enableBuddy = [this](int id, bool on) { calls.push_back("bc " + std::to_string(id) + (on ? " 1" : " 0")); return answer; };
    a.sendChat = [this](int id, const std::string& m) { calls.push_back("cs " + std::to_string(id) + " " + m); return answer; };
    a.buddies = [this] { return buddies; };
    a.bytesSent = [] { return std::uint64_t{1536}; };
    a.bytesReceived = [] { return std::uint64_t{3 * 1024 * 1024}; };
    a.resultText = [](int code) { return code == 0 ? std::string("logged in") : "ERROR " + std::to_string(code); };
    return a;
  }
};

TEST(OnlineDialogs, TheAccountLogsInWithWhatIsTypedAndOut) {
  struct Row {
    int answer;
    bool loggedIn;
    const char* status;
  } rows[] = {{0, true, "logged in"}, {1, false, "ERROR 1"}};
  for (const Row& r : rows) {
    testing_support::TempHome home;
    Service service;
    service.answer = r.answer;
    AccountDialog dialog(*home.settings, *home.language, service.Actions());
    dialog.emailEdit()->setText(" me@example.org ");
    dialog.passwordEdit()->setText("s3cret");
    QTest::mouseClick(dialog.loginButton(), Qt::LeftButton);
    EXPECT_EQ(home.settings->trackerEmail, "me@example.org") << "the login reads the account typed";
    EXPECT_EQ(home.settings->trackerPassword, "s3cret");
    EXPECT_EQ(dialog.loginButton()->isChecked(), r.loggedIn);
    EXPECT_EQ(dialog.statusText().toStdString(), r.status);
    if (r.loggedIn) {
      QTest::mouseClick(dialog.loginButton(), Qt::LeftButton);
      EXPECT_EQ(service.calls.back(), "logout");
      EXPECT_FALSE(dialog.loginButton()->isChecked());
    }
  }
}

TEST(OnlineDialogs, OnlineServicesShowTrafficAndWriteTheSwitchesOnOk) {
  testing_support::TempHome home;
  Service service;
  home.settings->allowInternet = false;
  home.settings->useConnMgr = true;
  for (const bool ok : {false, true}) {
    OnlineServicesDialog dialog(*home.settings, *home.language, service.Actions());
    EXPECT_NE(dialog.trafficText().toStdString().find("1.5 KB"), std::string::npos) << dialog.trafficText().toStdString();
    EXPECT_NE(dialog.trafficText().toStdString().find("3.0 MB"), std::string::npos);
    dialog.allowBox()->setChecked(true);
    dialog.connectionManagerBox()->setChecked(false);
    dialog.hostEdit()->setText(" https://rovana.example:8443 ");
    dialog.geocacheHostEdit()->setText("https://caches.example.org ");
    ok ? dialog.accept() : dialog.reject();
    EXPECT_EQ(home.settings->allowInternet, ok);
    EXPECT_EQ(home.settings->useConnMgr, !ok);
    EXPECT_EQ(home.settings->serviceHost, ok ? "https://rovana.example:8443" : "http://127.0.0.1:8642");
    EXPECT_EQ(home.settings->geocacheHost, ok ? "https://caches.example.org" : "");
  }
  EXPECT_EQ(TrafficBytes(0), "0 B");
  EXPECT_EQ(TrafficBytes(1023), "1023 B");
}

TEST(OnlineDialogs, VozazIdPagesCallTheBuddyAndChatActions) {
  testing_support::TempHome home;
  rovana::SettingsStore& s = *home.settings;
  s.trackerNickname = "anna";
  s.trackerPINprivate = "1111";
  s.chatMessages.Add("2026-12-09 10:00:00 received bob:\r\nhello", true);
  Service service;
  service.buddies = {{7, "bob", true, true, 5}, {9, "carl", false, false, -1}};
  VozazIdDialog dialog(s, *home.language, service.Actions(), VozazIdDialog::kChat);
  EXPECT_EQ(dialog.tabs()->currentIndex(), VozazIdDialog::kChat);
  ASSERT_EQ(dialog.buddyList()->count(), 2);
  EXPECT_EQ(dialog.buddyList()->item(0)->checkState(), Qt::Checked);
  EXPECT_NE(dialog.chatLog()->toPlainText().indexOf("hello"), -1);

  dialog.chatBuddyBox()->setCurrentIndex(1);
  dialog.chatLineEdit()->setText("see you");
  dialog.sendButton()->click();
  dialog.buddyList()->item(1)->setCheckState(Qt::Checked);
  dialog.addNicknameEdit()->setText("dora");
  dialog.addPinEdit()->setText("4242");
  dialog.addButton()->click();
  dialog.buddyList()->setCurrentRow(0);
  dialog.deleteButton()->click();
  EXPECT_EQ(service.calls, (std::vector<std::string>{"cs 9 see you", "bc 9 1", "ba dora 4242", "bd 7"}));
  EXPECT_TRUE(dialog.chatLineEdit()->text().isEmpty()) << "a line sent is cleared";
  EXPECT_TRUE(dialog.addNicknameEdit()->text().isEmpty());

  // OK: the mode and the identity (sent because it changed), the page kept.
  dialog.modeBox()->setCurrentIndex(2);
  dialog.nicknameEdit()->setText("anna2");
  dialog.tabs()->setCurrentIndex(VozazIdDialog::kOptions);
  dialog.accept();
  EXPECT_EQ(s.vozazidEnabled, 2);
  EXPECT_EQ(s.trackerNickname, "anna2");
  EXPECT_EQ(service.calls.back(), "uc anna2 1111");
  EXPECT_EQ(s.vozazidTab, VozazIdDialog::kOptions);
}

}  // namespace
