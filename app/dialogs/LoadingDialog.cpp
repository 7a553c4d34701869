#include "app/dialogs/LoadingDialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/ProgramFolders.h"
#include "app/core/SettingsStore.h"
#include "app/maps/MapCatalogue.h"
#include "app/screen/ScreenRules.h"
#include "app/waypoints/Waypoints.h"
#include "platform/sync/Thread.h"

namespace rovana::dialogs {

using screen::Scale;

LoadingDialog::LoadingDialog(SettingsStore& settings, const LanguageTable& language, const QString& banner, int dpi,
                             Waypoints* waypoints, maps::MapCatalogue* catalogue, QWidget* parent)
    : QDialog(parent), settings_(settings), waypoints_(waypoints), catalogue_(catalogue), dpi_(dpi) {
  setWindowTitle(QString::fromStdString(language.Entry(lang::kMessageCaption)));
  banner_ = new QLabel(banner, this);
  icon_ = new QLabel(this);
  icon_->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(Scale(32, dpi_), Scale(32, dpi_)));
  mapsLabel_ = new QLabel(QString::fromStdString(language.Entry(lang::kLoadingMaps) + ":"), this);
  dataLabel_ = new QLabel(QString::fromStdString(language.Entry(lang::kLoadingData) + ":"), this);
  maps_ = new QProgressBar(this);
  data_ = new QProgressBar(this);
  for (QProgressBar* bar : {maps_, data_}) {
    bar->setRange(0, 1);
    bar->setValue(0);
  }
  resize(Scale(220, dpi_), Scale(150, dpi_));
}

LoadingDialog::~LoadingDialog() {
  if (thread_.joinable()) thread_.join();
}

void LoadingDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // 96-dpi layout: banner on top, icon beside it, bars 10 units from the left
  // and 10 units short of the right edge, stacked from 62 units down.
  const int w = width();
  const int left = Scale(10, dpi_);
  const int barWidth = std::max(1, w - 2 * left);
  icon_->setGeometry(left, Scale(8, dpi_), Scale(32, dpi_), Scale(32, dpi_));
  banner_->setGeometry(Scale(48, dpi_), Scale(4, dpi_), std::max(1, w - Scale(52, dpi_)), Scale(54, dpi_));
  banner_->setWordWrap(true);
  mapsLabel_->setGeometry(left, Scale(62, dpi_), barWidth, Scale(14, dpi_));
  maps_->setGeometry(left, Scale(76, dpi_), barWidth, Scale(14, dpi_));
  dataLabel_->setGeometry(left, Scale(96, dpi_), barWidth, Scale(14, dpi_));
  data_->setGeometry(left, Scale(110, dpi_), barWidth, Scale(14, dpi_));
}

void LoadingDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  CreateFolder(settings_.primaryDataPath);
  CreateFolder(settings_.secondaryDataPath);
  platform::StartedThread started = platform::StartThread([this] { LoadThread(); });
  thread_ = std::move(started.thread);
  LogMessage("LoadThread=0x%x", started.id);
}

void LoadingDialog::Progress(QProgressBar* bar, int value, int maximum) {
  QMetaObject::invokeMethod(
      this, [bar, value, maximum] {
        bar->setRange(0, std::max(1, maximum));
        bar->setValue(maximum <= 0 ? 1 : value);
      },
      Qt::QueuedConnection);
}

void LoadingDialog::LoadThread() {
  // The navigation target and the waypoint files would be cleared here.
  const int maps = catalogue_ ? catalogue_->CountMapFiles() : 0;
  Progress(maps_, 0, maps);
  if (catalogue_) {
    int scanned = 0;
    catalogue_->Load([this, &scanned, maps](const std::string&) { Progress(maps_, ++scanned, maps); });
  }
  LogMessage("LoadThread: %d maps", maps);
  // The user-interface thread only shows this dialog meanwhile, so the
  // waypoint lists are built here.
  const int files = waypoints_ ? waypoints_->CountFiles() : 0;
  Progress(data_, 0, files);
  if (waypoints_) waypoints_->LoadAll([this](int loaded, int total) { Progress(data_, loaded, total); });
  LogMessage("LoadThread: %d data files", files);
  QMetaObject::invokeMethod(this, &QDialog::accept, Qt::QueuedConnection);
}

}  // namespace rovana::dialogs
