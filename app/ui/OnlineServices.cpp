#include "app/ui/OnlineServices.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/online/Directions.h"
#include "app/online/DirectionsThread.h"
#include "app/online/ServiceTransport.h"
#include "app/online/OnlineConnection.h"
#include "app/online/Search.h"
#include "app/online/Tracker.h"
#include "app/online/TrackerThread.h"
#include "app/online/WebService.h"
#include "app/online/WebServiceDeviceId.h"

namespace rovana::ui {
namespace {

constexpr int kFollowMs = 1000;

// The pool the dialogs' actions run on; waited for before the session goes.
QThreadPool& ActionPool() {
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(2);
    return p;
  }();
  return *pool;
}

int ResultOf(bool ok, const WebService& service) {
  if (ok) return 0;
  const int last = service.lastResult();
  return last != 0 ? last : -2;
}

}  // namespace

OnlineServices::OnlineServices(SettingsStore& settings, const LanguageTable& language, const std::atomic<bool>& quit)
    : settings_(settings), language_(language), quit_(quit) {
  allowInternet_ = settings_.allowInternet;
  useConnMgr_ = settings_.useConnMgr;
  OnlineOptions options;
  options.allowInternet = [this] { return allowInternet_.load(); };
  options.useConnMgr = [this] { return useConnMgr_.load(); };
  connection_ = std::make_unique<OnlineConnection>(options);

  ServiceHooks hooks;
  hooks.transport = HttpTransport(*connection_);
  // Settings change on the UI thread only.
  hooks.post = [this](SettingsChange change) {
    QMetaObject::invokeMethod(this, [this, change = std::move(change)] {
      change(settings_);
      allowInternet_ = settings_.allowInternet;
    }, Qt::QueuedConnection);
  };
  hooks.ask = [this](const UserQuestion& q) {
    return AskOnUiThread(q.text, q.buttons != UserQuestion::Buttons::Ok);
  };
  hooks.openAccount = [this] {
    QMetaObject::invokeMethod(this, [this] { if (onOpenAccount) onOpenAccount(); }, Qt::QueuedConnection);
  };
  service_ = std::make_unique<WebService>(language_, hooks, MachineDeviceId());

  TrackerHooks trackerHooks;
  trackerHooks.post = hooks.post;
  trackerHooks.chatReceived = [this](const std::string&) {
    QMetaObject::invokeMethod(this, [this] { if (onChat) onChat(); }, Qt::QueuedConnection);
  };
  tracker_ = std::make_unique<Tracker>(*service_, language_, trackerHooks);
  FollowSettings();

  dialogs::OnlineActions& a = actions_;
  WebService* service = service_.get();
  Tracker* tracker = tracker_.get();
  a.login = [service] { return service->Login(); };
  a.logout = [service] { service->Logout(); };
  a.loggedIn = [service] { return service->loggedIn(); };
  a.setIdentity = [service, tracker](const std::string& n, const std::string& p) {
    return ResultOf(tracker->ChangeIdentity(n, p), *service);
  };
  a.addBuddy = [service, tracker](const std::string& n, const std::string& p) {
    return ResultOf(tracker->AddBuddy(n, p), *service);
  };
  a.deleteBuddy = [service, tracker](int id) { return ResultOf(tracker->DeleteBuddy(id), *service); };
  a.enableBuddy = [service, tracker](int id, bool on) { return ResultOf(tracker->EnableBuddy(id, on), *service); };
  a.sendChat = [service, tracker](int id, const std::string& text) {
    return ResultOf(tracker->SendChat(id, text), *service);
  };
  a.buddies = [tracker] {
    std::vector<dialogs::BuddyRow> rows;
    for (const Buddy& b : tracker->Buddies())
      rows.push_back({b.id, b.nickname, b.enabled, b.hasPosition, b.hasPosition ? b.age : -1});
    return rows;
  };
  OnlineConnection* connection = connection_.get();
  a.bytesSent = [connection] { return connection->requestBytes(); };
  a.bytesReceived = [connection] { return connection->replyBytes(); };
  a.resultText = [service](int code) { return service->ResultText(code); };
  // What the dialog typed is in the settings: the session reads it first,
  // on this thread; the action runs on the pool, its result comes back here.
  a.run = [this](std::function<int()> work, std::function<void(int)> done) {
    FollowSettings();
    ActionPool().start([this, work = std::move(work), done = std::move(done)] {
      const int result = work();
      QMetaObject::invokeMethod(this, [done, result] { done(result); }, Qt::QueuedConnection);
    });
  };

  connect(&timer_, &QTimer::timeout, this, &OnlineServices::FollowSettings);
  timer_.start(kFollowMs);
}

OnlineServices::~OnlineServices() {
  timer_.stop();
  directionsThread_.reset();  // joins; its last download may still be running
  thread_.reset();  // joins the tracker's thread (the quit flag is set by now)
  ActionPool().waitForDone();
  connection_->ReleaseConnection();
}

void OnlineServices::Start() {
  thread_ = std::make_unique<TrackerThread>(*tracker_, quit_);  // logs its id
}

void OnlineServices::StartDirections(const std::filesystem::path& tempFolder) {
  if (directions_) return;
  DirectionsHooks hooks;
  WebService* service = service_.get();
  hooks.request = [service](const ServiceAction& action) { return service->Request(action); };
  hooks.online = [this] { return allowInternet_.load(); };
  directions_ = std::make_unique<Directions>(language_, tempFolder, std::move(hooks));
  directions_->SetRefresh(settings_.dirsRefresh != 0);
  directionsThread_ = std::make_unique<DirectionsThread>(*directions_, quit_);  // logs its id
}

std::function<void(const GeoPoint&, double, double)> OnlineServices::FixHook() { return tracker_->FixHook(); }

void OnlineServices::FollowSettings() {
  allowInternet_ = settings_.allowInternet;
  useConnMgr_ = settings_.useConnMgr;
  service_->Configure(ServiceSettingsOf(settings_));
  tracker_->Configure(TrackerSettingsOf(settings_));
  if (directions_) directions_->SetRefresh(settings_.dirsRefresh != 0);
}

std::vector<BuddyMark> OnlineServices::Buddies() const {
  std::vector<BuddyMark> out;
  for (const Buddy& b : tracker_->Buddies()) {
    if (!b.hasPosition || !b.enabled) continue;
    GeoPoint p(b.latitude, b.longitude);
    p.setText(PointText::Name, b.nickname);
    out.push_back({std::move(p), b.age});
  }
  return out;
}

SearchTransport OnlineServices::SearchRequests() {
  SearchTransport t;
  WebService* service = service_.get();
  OnlineConnection* connection = connection_.get();
  t.service = [service](const ServiceAction& action) { return service->Request(action); };
  t.post = [service, connection](const FormPost& post) {
    // A public site: the question to go online, no login.
    return SendFormPost(*connection, post, [service] { return service->Prepare(kKindPublic).has_value(); });
  };
  return t;
}

void OnlineServices::RunBlocking(const std::function<void()>& work) {
  FollowSettings();
  QEventLoop loop;
  ActionPool().start([&work, &loop] {
    work();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool OnlineServices::AskOnUiThread(const std::string& text, bool yesNo) {
  if (quit_.load()) return false;
  auto ask = [this, text, yesNo] {
    const QString caption = QString::fromStdString(language_.Entry(lang::kMessageCaption));
    const auto buttons = yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    const int answer = QMessageBox::question(QApplication::activeWindow(), caption, QString::fromStdString(text),
                                             buttons, yesNo ? QMessageBox::No : QMessageBox::Ok);
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
  };
  if (QThread::currentThread() == thread()) return ask();
  // The worker waits for the answer but not for ever: once the program
  // shuts down (the UI thread then waits for this very worker) it is "no".
  struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    bool done = false, yes = false;
  };
  auto answer = std::make_shared<Answer>();
  QMetaObject::invokeMethod(this, [this, answer, ask] {
    const bool yes = !quit_.load() && ask();
    std::lock_guard lock(answer->mutex);
    answer->yes = yes;
    answer->done = true;
    answer->given.notify_all();
  }, Qt::QueuedConnection);
  std::unique_lock lock(answer->mutex);
  while (!answer->done)
    if (!answer->given.wait_for(lock, std::chrono::milliseconds(100), [&] { return answer->done; }) && quit_.load())
      return false;
  return answer->yes;
}

}  // namespace rovana::ui
