#include "app/dialogs/FilterDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/core/Utilities.h"
#include "app/screen/ScreenRules.h"

namespace rovana::dialogs {
namespace {

namespace L = lang;

constexpr int kRefreshMs = 1000;
constexpr int kPlotMargin = 8;    // 96-dpi units
constexpr int kPlotSize = 120;    // 96-dpi units, the least height and width
constexpr int kRingRadius = 3;    // 96-dpi units
constexpr int kDiscRadius = 4;    // 96-dpi units
constexpr int kCrossHalf = 4;     // 96-dpi units

const QColor kMeasuredColour(0xD0, 0x30, 0x30);
const QColor kFilteredColour(0x20, 0x50, 0xC0);
const QColor kContinuationColour(0x20, 0x90, 0x30);
const QColor kGuideColour(0xD8, 0xD8, 0xD8);

// Language texts break lines with CR LF; a label wants LF.
QString Text(const LanguageTable& language, int entry) {
  return QString::fromStdString(language.Entry(entry)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString Metres(double metres) { return QString::number(metres, 'f', 1) + QStringLiteral(" m"); }

// The longest of 1, 2 and 5 times a power of ten that is at most `metres`.
double ScaleBarLength(double metres) {
  if (!(metres > 0) || !std::isfinite(metres)) return 0;
  const double power = std::pow(10.0, std::floor(std::log10(metres)));
  for (double step : {5.0, 2.0, 1.0})
    if (step * power <= metres) return step * power;
  return power;
}

}  // namespace

matrixT FitTransform(double minX, double minY, double maxX, double maxY, int width, int height, int margin) {
  const double spanX = std::max(maxX - minX, kMinPlotSpan);
  const double spanY = std::max(maxY - minY, kMinPlotSpan);
  const double usableX = std::max(width - 2.0 * margin, 1.0);
  const double usableY = std::max(height - 2.0 * margin, 1.0);
  double scale = std::min(usableX / spanX, usableY / spanY);
  if (!std::isfinite(scale) || scale <= 0) scale = 1;
  matrixT centre, flip, shift;
  centre.Translation(width / 2.0, height / 2.0);
  flip.Scaling(scale, -scale);  // north up
  shift.Translation(-(minX + maxX) / 2, -(minY + maxY) / 2);
  return centre * flip * shift;
}

FilterPlot::FilterPlot(int dpi, QWidget* parent) : QWidget(parent), dpi_(dpi) {
  setMinimumSize(screen::Scale(kPlotSize, dpi_), screen::Scale(kPlotSize, dpi_));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FilterPlot::SetSamples(const std::vector<Accurator::Sample>& samples, const Accurator::Quality& quality) {
  measured_.clear();
  filtered_.clear();
  hasContinuation_ = false;
  if (!samples.empty()) {
    // Metres east and north of the newest output, on the sphere of the
    // filter; longitudes taken the short way round the date line.
    const double latitude0 = samples.back().filteredLatitude;
    const double longitude0 = samples.back().filteredLongitude;
    const double eastScale = std::cos(latitude0) * kEarthRadius;
    auto local = [&](double latitude, double longitude) {
      return Local{std::remainder(longitude - longitude0, kTwoPi) * eastScale, (latitude - latitude0) * kEarthRadius};
    };
    for (const Accurator::Sample& s : samples) {
      measured_.push_back(local(s.measuredLatitude, s.measuredLongitude));
      filtered_.push_back(local(s.filteredLatitude, s.filteredLongitude));
    }
    if (quality.available && samples.size() >= 3) {
      hasContinuation_ = true;
      continuation_ = local(quality.latitude, quality.longitude);
    }
  }
  update();
}

matrixT FilterPlot::Transform() const {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;  // the newest output is the origin
  auto take = [&](const Local& l) {
    minX = std::min(minX, l.east);
    maxX = std::max(maxX, l.east);
    minY = std::min(minY, l.north);
    maxY = std::max(maxY, l.north);
  };
  for (const Local& l : measured_) take(l);
  for (const Local& l : filtered_) take(l);
  if (hasContinuation_) take(continuation_);
  return FitTransform(minX, minY, maxX, maxY, width(), height(), screen::Scale(kPlotMargin, dpi_));
}

void FilterPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::white);
  p.setPen(kGuideColour);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (filtered_.empty()) return;

  const matrixT transform = Transform();
  auto at = [&transform](const Local& l) {
    const matrixT::Point q = transform.Apply(l.east, l.north);
    return QPointF(q.x, q.y);
  };
  const QPointF origin = at(Local{});
  p.drawLine(QPointF(0, origin.y()), QPointF(width(), origin.y()));
  p.drawLine(QPointF(origin.x(), 0), QPointF(origin.x(), height()));

  QPolygonF line;
  for (const Local& l : filtered_) line << at(l);
  p.setPen(QPen(kFilteredColour, screen::Scale(2, dpi_)));
  p.drawPolyline(line);

  const double ring = screen::Scale(kRingRadius, dpi_);
  p.setPen(QPen(kMeasuredColour, screen::Scale(1, dpi_)));
  p.setBrush(Qt::NoBrush);
  for (const Local& l : measured_) p.drawEllipse(at(l), ring, ring);

  const double disc = screen::Scale(kDiscRadius, dpi_);
  p.setPen(Qt::NoPen);
  p.setBrush(kFilteredColour);
  p.drawEllipse(origin, disc, disc);

  if (hasContinuation_) {
    const QPointF c = at(continuation_);
    const double half = screen::Scale(kCrossHalf, dpi_);
    p.setPen(QPen(kContinuationColour, screen::Scale(2, dpi_)));
    p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    p.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
  }

  // Scale bar: a round length of at most a quarter of the width.
  const double pixelsPerMetre = transform.at(0, 0);
  const double length = pixelsPerMetre > 0 ? ScaleBarLength(width() / 4.0 / pixelsPerMetre) : 0;
  if (length > 0) {
    const double margin = screen::Scale(kPlotMargin, dpi_);
    const QPointF left(margin, height() - margin);
    const QPointF right(margin + length * pixelsPerMetre, height() - margin);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(left, right);
    p.drawLine(left, left - QPointF(0, margin / 2));
    p.drawLine(right, right - QPointF(0, margin / 2));
    QFont font("Arial");
    font.setPixelSize(screen::Scale(9, dpi_));
    p.setFont(font);
    const QString label = length >= 1 ? QString::number(length, 'f', 0) + QStringLiteral(" m")
                                      : QString::number(length, 'g', 3) + QStringLiteral(" m");
    p.drawText(left + QPointF(0, -margin / 2 - 2), label);
  }
}

FilterDialog::FilterDialog(Accurator& filter, SettingsStore& settings, const LanguageTable& language, int dpi,
                           QWidget* parent)
    : QDialog(parent), filter_(filter), settings_(settings) {
  setWindowTitle(QString::fromStdString(language.Title(L::kMenuToolsAccurator)));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(Text(language, L::kFilterExplanation), this);
  intro->setWordWrap(true);
  layout->addWidget(intro);

  auto* form = new QFormLayout;
  horizon_ = new QSpinBox(this);
  horizon_->setObjectName(QStringLiteral("horizon"));
  horizon_->setRange(Accurator::kMinHorizon, Accurator::kMaxHorizon);
  horizon_->setValue(filter_.GetHorizon());
  form->addRow(Text(language, L::kFilterHorizon), horizon_);
  spread_ = new QLabel(this);
  spread_->setObjectName(QStringLiteral("spread"));
  form->addRow(Text(language, L::kFilterSpread), spread_);
  deviation_ = new QLabel(this);
  deviation_->setObjectName(QStringLiteral("deviation"));
  form->addRow(Text(language, L::kFilterDeviation), deviation_);
  layout->addLayout(form);
  note_ = new QLabel(Text(language, L::kFilterNoValues), this);
  note_->setWordWrap(true);
  layout->addWidget(note_);

  plot_ = new FilterPlot(dpi, this);
  layout->addWidget(plot_, 1);

  auto* box = new QDialogButtonBox(this);
  box->addButton(Text(language, L::kButtonOk), QDialogButtonBox::AcceptRole);
  box->addButton(Text(language, L::kButtonCancel), QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &FilterDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &FilterDialog::reject);
  layout->addWidget(box);

  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMs);
  connect(timer_, &QTimer::timeout, this, &FilterDialog::Refresh);
  Refresh();
}

void FilterDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  timer_->start();
}

void FilterDialog::hideEvent(QHideEvent* event) {
  timer_->stop();
  QDialog::hideEvent(event);
}

void FilterDialog::Refresh() {
  filter_.UpdateQuality();
  const Accurator::Quality quality = filter_.GetQuality();
  spread_->setText(quality.available ? Metres(quality.spread) : QStringLiteral("?"));
  deviation_->setText(quality.available ? Metres(quality.deviation) : QStringLiteral("?"));
  note_->setVisible(!quality.available);  // says why the values are missing
  plot_->SetSamples(filter_.Samples(), quality);
}

void FilterDialog::accept() {
  settings_.horizon = filter_.SetHorizon(horizon_->value());
  QDialog::accept();
}

}  // namespace rovana::dialogs
