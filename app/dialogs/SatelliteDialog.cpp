#include "app/dialogs/SatelliteDialog.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"

namespace rovana::dialogs {
namespace {

constexpr int kRefreshMs = 1000;
constexpr double kPi = 3.14159265358979323846;
constexpr int kStrongSignal = 50;  // dB-Hz that fills a bar

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }

// The satellites worth drawing: a number, within the table.
int SatelliteCount(const GpsData& data) {
  return static_cast<int>(std::min<std::size_t>(data.gsv.inView, kMaxSatellites));
}

}  // namespace

SatelliteDialog::SatelliteDialog(const LanguageTable& language, std::function<GpsData()> source, QWidget* parent)
    : QDialog(parent), language_(language), source_(std::move(source)) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsSatelliteStatus)));
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("summary");
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  sky_ = new SkyView(this);
  sky_->setObjectName("sky");
  layout->addWidget(sky_, 1);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* back = buttons->addButton(Text(language, lang::kButtonBack), QDialogButtonBox::RejectRole);
  connect(back, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &SatelliteDialog::Refresh);
  timer_->start(kRefreshMs);
  Refresh();
}

void SatelliteDialog::Refresh() {
  if (source_) data_ = source_();
  summary_->setText(summary());
  sky_->Show(data_);
}

QString SatelliteDialog::summary() const {
  if (data_.gsv.count == 0) return Text(language_, lang::kSatNoData);
  int used = 0;
  for (int i = 0; i < SatelliteCount(data_); ++i) used += data_.gsv.satellites[static_cast<std::size_t>(i)].used ? 1 : 0;
  const RmcPart& time = data_.rmc.count ? data_.rmc : RmcPart{};
  const std::uint8_t hour = data_.rmc.count ? time.hour : data_.gga.hour;
  const std::uint8_t minute = data_.rmc.count ? time.minute : data_.gga.minute;
  const std::uint8_t second = data_.rmc.count ? time.second : data_.gga.second;
  return QString("%1: %2    %3: %4\n%5: %6:%7:%8")
      .arg(Text(language_, lang::kSatInView))
      .arg(SatelliteCount(data_))
      .arg(Text(language_, lang::kSatUsed))
      .arg(used)
      .arg(Text(language_, lang::kSatUtcTime))
      .arg(hour, 2, 10, QChar('0'))
      .arg(minute, 2, 10, QChar('0'))
      .arg(second, 2, 10, QChar('0'));
}

SkyView::SkyView(QWidget* parent) : QWidget(parent) { setMinimumSize(160, 200); }

void SkyView::Show(const GpsData& data) {
  data_ = data;
  update();
}

void SkyView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::white);
  const int count = SatelliteCount(data_);
  // The upper part is the sky, the lower quarter the signal bars.
  const int barsHeight = std::max(40, height() / 4);
  const QRect skyArea(0, 0, width(), height() - barsHeight);
  const int radius = std::max(10, std::min(skyArea.width(), skyArea.height()) / 2 - 12);
  const QPointF centre = skyArea.center();

  p.setPen(QPen(Qt::gray, 1));
  for (int elevation : {0, 30, 60}) {
    const double r = radius * (90 - elevation) / 90.0;
    p.drawEllipse(centre, r, r);
  }
  p.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
  p.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
  p.setPen(Qt::black);
  p.drawText(QPointF(centre.x() - 4, centre.y() - radius - 2), "N");

  QFont small = font();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
  p.setFont(small);
  for (int i = 0; i < count; ++i) {
    const GpsSatellite& s = data_.gsv.satellites[static_cast<std::size_t>(i)];
    if (s.number == 0) continue;
    const double r = radius * (90 - std::min<int>(s.elevation, 90)) / 90.0;
    const double a = (s.azimuth % 360) * kPi / 180;
    const QPointF at(centre.x() + r * std::sin(a), centre.y() - r * std::cos(a));
    const QColor colour = s.used ? QColor(0x20, 0x80, 0x20) : (s.snr ? QColor(0xc0, 0x90, 0x10) : Qt::gray);
    p.setPen(colour);
    p.setBrush(s.used ? QBrush(colour) : Qt::NoBrush);
    p.drawEllipse(at, 6, 6);
    p.drawText(at + QPointF(8, 4), QString::number(s.number));
  }

  // Signal bars: one per satellite, as wide as the row allows.
  if (count == 0) return;
  const int slot = std::max(4, width() / std::max(count, 12));
  const int top = height() - barsHeight;
  const int barArea = barsHeight - 14;
  for (int i = 0; i < count; ++i) {
    const GpsSatellite& s = data_.gsv.satellites[static_cast<std::size_t>(i)];
    const int h = barArea * std::min<int>(s.snr, kStrongSignal) / kStrongSignal;
    const QRect bar(i * slot + 2, top + barArea - h, slot - 4, h);
    p.fillRect(bar, s.used ? QColor(0x20, 0x80, 0x20) : QColor(0xc0, 0x90, 0x10));
    p.setPen(Qt::black);
    p.drawText(QRect(i * slot, top + barArea, slot, 14), Qt::AlignCenter, QString::number(s.number));
  }
}

}  // namespace rovana::dialogs
