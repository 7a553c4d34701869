#include "app/dialogs/DirectionsDialog.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <thread>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/online/RouteReply.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::dialogs {
namespace {

constexpr int kFollowMs = 200;
constexpr const char* kPending = "...";

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

}  // namespace

bool ShowDirectionsPage(QTextBrowser& browser, const std::filesystem::path& page, std::int64_t changeCount,
                        std::int64_t& shown, bool force) {
  if (!force && changeCount == shown) return false;
  shown = changeCount;
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(page.string()));
  // The same source is not read again by setSource; reload() reads it.
  if (browser.source() == url)
    browser.reload();
  else
    browser.setSource(url);
  return true;
}

DirectionsDialog::DirectionsDialog(Directions& directions, Waypoints& waypoints, SettingsStore& settings,
                                   const LanguageTable& language, DirectionsDialogHooks hooks, QWidget* parent)
    : QDialog(parent),
      directions_(directions),
      waypoints_(waypoints),
      settings_(settings),
      language_(language),
      hooks_(std::move(hooks)) {
  hooks_.asker = WithDefaultBoxes(std::move(hooks_.asker), language_, this);
  setWindowTitle(QString::fromStdString(language_.Title(lang::kMenuToolsDirections)));
  auto* layout = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("directionsPage");
  browser_->setOpenLinks(false);
  layout->addWidget(browser_, 1);

  auto* row = new QHBoxLayout;
  refresh_ = new QPushButton(Text(language_, lang::kDirectionsRefresh), this);
  refresh_->setObjectName("refresh");
  route_ = new QPushButton(Text(language_, lang::kDirectionsMakeRoute), this);
  route_->setObjectName("createRoute");
  row->addWidget(refresh_);
  row->addWidget(route_);
  layout->addLayout(row);
  auto_ = new QCheckBox(Text(language_, lang::kDirectionsAutoRefresh), this);
  auto_->setObjectName("dirsRefresh");
  auto_->setChecked(settings_.dirsRefresh != 0);
  layout->addWidget(auto_);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Text(language_, lang::kButtonOk), QDialogButtonBox::AcceptRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);

  connect(refresh_, &QPushButton::clicked, this, &DirectionsDialog::Refresh);
  connect(route_, &QPushButton::clicked, this, &DirectionsDialog::CreateRoute);
  // 2 (refresh only while online) stays as it is until the user changes it.
  connect(auto_, &QCheckBox::toggled, this, [this](bool on) {
    settings_.dirsRefresh = on ? 1 : 0;
    directions_.SetRefresh(on);
  });
  connect(&timer_, &QTimer::timeout, this, &DirectionsDialog::FollowDirections);
  timer_.start(kFollowMs);

  if (directions_.FetchPending())
    browser_->setPlainText(kPending);
  else
    ShowDirectionsPage(*browser_, directions_.bodyPage(), directions_.ChangeCount(), shown_, true);
}

void DirectionsDialog::Refresh() {
  if (hooks_.user) directions_.SetPlaces(hooks_.user(), hooks_.target ? hooks_.target() : std::nullopt);
  directions_.RequestFetch();
  browser_->setPlainText(kPending);
  // Whatever the count is now, the page of the requested fetch is still to come.
  shown_ = directions_.ChangeCount();
}

void DirectionsDialog::FollowDirections() {
  if (directions_.FetchPending()) return;
  ShowDirectionsPage(*browser_, directions_.bodyPage(), directions_.ChangeCount(), shown_, false);
}

Directions::RouteFetch DirectionsDialog::FetchOffThread(const GeoPoint& from, const GeoPoint& to, std::int32_t today) {
  // The session may ask the user (go online?) from the worker: this thread
  // keeps its events running meanwhile, so the question can be answered.
  Directions::RouteFetch fetch;
  QEventLoop loop;
  std::thread worker([&] {
    fetch = directions_.FetchRoute(from, to, today);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return fetch;
}

void DirectionsDialog::CreateRoute() {
  const std::optional<GeoPoint> target = hooks_.target ? hooks_.target() : std::nullopt;
  if (!target) {
    hooks_.asker.message(Text(language_, lang::kDirectionsNoTarget));
    return;
  }
  GpxParser* file = waypoints_.currentFile();
  if (!file) {
    hooks_.asker.message(Text(language_, lang::kPoiNeedsFile));
    return;
  }
  const std::optional<QString> name = hooks_.asker.input(Text(language_, lang::kGpxRouteNamePrompt), QString());
  if (!name) return;
  const GeoPoint from = hooks_.user ? hooks_.user() : GeoPoint();
  const std::int32_t today = hooks_.today ? hooks_.today() : LocalNow().date;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const Directions::RouteFetch fetch = FetchOffThread(from, *target, today);
  QApplication::restoreOverrideCursor();

  switch (fetch.outcome) {
    case Directions::RouteFetch::Outcome::Offline: hooks_.asker.message(Text(language_, lang::kNetOffline)); return;
    case Directions::RouteFetch::Outcome::Failed: hooks_.asker.message(Text(language_, lang::kNetRequestFailed)); return;
    case Directions::RouteFetch::Outcome::NoRoute: hooks_.asker.message(Text(language_, lang::kDirectionsNoRoute)); return;
    case Directions::RouteFetch::Outcome::Ok: break;
  }
  // The file may have gone while the fetch ran (this thread kept running).
  if (waypoints_.currentFile() != file) {
    hooks_.asker.message(Text(language_, lang::kPoiNeedsFile));
    return;
  }
  POIs& route = waypoints_.AddCollection(*file, PoisKind::Route);
  route.SetName(name->trimmed().toStdString());
  AppendRoute(route, fetch.points);
  file->MarkModified();
  waypoints_.RecomputeBounds(*file);
  waypoints_.MakeCurrent(&route);
  created_ = &route;
  LogMessage("Directions: route '%s' with %zu points", route.name().c_str(), fetch.points.size());
  if (hooks_.routeCreated) hooks_.routeCreated(route);
}

}  // namespace rovana::dialogs
