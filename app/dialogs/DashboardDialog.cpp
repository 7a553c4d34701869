#include "app/dialogs/DashboardDialog.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "app/coords/Units.h"
#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/SettingsStore.h"
#include "app/processing/Accurator.h"
#include "app/processing/Analyzer.h"
#include "app/ui/Instruments.h"

namespace rovana::dialogs {
namespace {

constexpr int kRefreshMs = 500;
constexpr int kGap = 4;  // pixels between items
constexpr double kSpeedScaleEnd = 100.0;

QString Text(const LanguageTable& language, int entry) { return QString::fromStdString(language.Entry(entry)); }
QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<int>(text.size())); }

// An item's place in a grid of equal cells.
struct Cell {
  int column, row, columns, rows;
};
struct Arrangement {
  int columns, rows;
  std::array<Cell, kDashItems> cells;  // by DashItem
};

// Landscape: the three texts down the left, the speed dial large in the
// middle, acceleration above the compass on the right.
constexpr Arrangement kLandscape = {4, 6, {{{0, 0, 1, 2}, {0, 2, 1, 2}, {1, 0, 2, 6}, {0, 4, 1, 2}, {3, 0, 1, 3},
                                            {3, 3, 1, 3}}}};
// Portrait: altitude and grade side by side, the pace below them, the speed
// dial across the page, acceleration and compass side by side at the foot.
constexpr Arrangement kPortrait = {2, 6, {{{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 2, 2, 2}, {0, 1, 2, 1}, {0, 4, 1, 2},
                                           {1, 4, 1, 2}}}};
// Square: the texts across the top, the speed dial in the lower left four
// cells, acceleration and compass down the right.
constexpr Arrangement kSquare = {3, 3, {{{0, 0, 1, 1}, {1, 0, 1, 1}, {0, 1, 2, 2}, {2, 0, 1, 1}, {2, 1, 1, 1},
                                         {2, 2, 1, 1}}}};

const Arrangement& ArrangementOf(Orientation orientation) {
  switch (orientation) {
    case Orientation::Landscape: return kLandscape;
    case Orientation::Portrait: return kPortrait;
    case Orientation::Square: break;
  }
  return kSquare;
}

// Cell edges by integer division, so neighbouring cells share an edge and
// the gap taken off each side keeps them apart.
int Edge(int start, int length, int index, int count) { return start + length * index / count; }

// The largest pixel size up to `largest` at which `text` fits `width`.
int FittingSize(QFont font, const QString& text, int largest, int width) {
  int size = std::max(6, largest);
  while (size > 6) {
    font.setPixelSize(size);
    if (QFontMetrics(font).horizontalAdvance(text) <= width) break;
    size = std::max(6, size * 9 / 10);
  }
  return size;
}

// Draws `text` in `r` at the largest size up to `largest` that fits.
void DrawFitted(QPainter& p, const QRect& r, const QString& text, int largest, bool bold, Qt::Alignment align,
                const QColor& colour) {
  QFont font = p.font();
  font.setBold(bold);
  font.setPixelSize(FittingSize(font, text, largest, r.width() - 4));
  p.setFont(font);
  p.setPen(colour);
  p.drawText(r, align | Qt::AlignVCenter, QFontMetrics(font).elidedText(text, Qt::ElideRight, r.width()));
}

const QColor kLabelColour(0x40, 0x40, 0x40);

// A text item: the label small at the top, the value large below it.
void DrawTextItem(QPainter& p, const QRect& r, const QString& label, const QString& value) {
  const int labelHeight = std::max(8, r.height() / 3);
  const QRect top(r.left() + 2, r.top(), r.width() - 4, labelHeight);
  const QRect bottom(r.left() + 2, r.top() + labelHeight, r.width() - 4, r.height() - labelHeight);
  DrawFitted(p, top, label, labelHeight * 2 / 3, false, Qt::AlignLeft, kLabelColour);
  DrawFitted(p, bottom, value, bottom.height() * 2 / 3, true, Qt::AlignRight, Qt::black);
}

// An instrument item: the label in a line at the top, the value in the line
// below it on the right, the instrument's rectangle below (returned).
QRect DrawInstrumentBand(QPainter& p, const QRect& r, const QString& label, const QString& value) {
  const int line = std::max(8, r.height() / 10);
  DrawFitted(p, QRect(r.left() + 2, r.top(), r.width() - 4, line), label, line * 4 / 5, false, Qt::AlignLeft,
             kLabelColour);
  DrawFitted(p, QRect(r.left() + 2, r.top() + line, r.width() - 4, line), value, line * 4 / 5, true,
             Qt::AlignRight, Qt::black);
  return QRect(r.left(), r.top() + 2 * line, r.width(), std::max(0, r.height() - 2 * line));
}

}  // namespace

std::array<QRect, kDashItems> DashboardLayout(Orientation orientation, const QRect& area) {
  const Arrangement& a = ArrangementOf(orientation);
  std::array<QRect, kDashItems> rects;
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const Cell& c = a.cells[i];
    const int left = Edge(area.left(), area.width(), c.column, a.columns);
    const int right = Edge(area.left(), area.width(), c.column + c.columns, a.columns);
    const int top = Edge(area.top(), area.height(), c.row, a.rows);
    const int bottom = Edge(area.top(), area.height(), c.row + c.rows, a.rows);
    // QRect's right and bottom are inclusive: the cell is [left, right).
    QRect r(QPoint(left, top), QPoint(right - 1, bottom - 1));
    const int gapX = std::min(kGap / 2, std::max(0, (r.width() - 1) / 2));
    const int gapY = std::min(kGap / 2, std::max(0, (r.height() - 1) / 2));
    rects[i] = r.adjusted(gapX, gapY, -gapX, -gapY);
  }
  return rects;
}

DashboardDialog::DashboardDialog(const Analyzer& live, const Accurator& filter, const SettingsStore& settings,
                                 const LanguageTable& language, QWidget* parent)
    : QDialog(parent), live_(live), filter_(filter), settings_(settings), language_(language) {
  setWindowTitle(QString::fromStdString(language.Title(lang::kMenuToolsDashboard)));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 120);
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &DashboardDialog::Refresh);
  timer_->start(kRefreshMs);
  reading_ = Read();
}

void DashboardDialog::Refresh() {
  reading_ = Read();
  update();
}

DashboardReading DashboardDialog::Read() const {
  const UnitChoice units = UnitChoiceOf(settings_);
  DashboardReading r;
  auto at = [](DashItem item) { return static_cast<std::size_t>(item); };

  const UnitText altitude = FormatAltitude(units, filter_.GetPosition(true).altitude());
  r.labels[at(DashItem::Altitude)] = QString("%1 (%2)").arg(Text(language_, lang::kWordAltitude), Q(altitude.shortName));
  r.values[at(DashItem::Altitude)] = Q(altitude.value);

  r.labels[at(DashItem::Grade)] = QString("%1 (%)").arg(Text(language_, lang::kWordGrade));
  r.values[at(DashItem::Grade)] = Q(FormatFixed(live_.Grade(), 1));

  const double speed = live_.Speed();
  const UnitText speedText = FormatSpeed(units, speed);
  r.labels[at(DashItem::Speed)] = QString("%1 (%2)").arg(Text(language_, lang::kWordSpeed), Q(speedText.shortName));
  r.values[at(DashItem::Speed)] = Q(speedText.value);
  const double factor = SpeedUnits()[static_cast<std::size_t>(SpeedRow(units.unitSpeed))].factor;
  r.speedOnScale = IsMissing(speed) ? 0 : speed * factor;

  r.labels[at(DashItem::Pace)] = QString("%1 %2").arg(Text(language_, lang::kDashboardPacePer),
                                                     Q(FormatDistanceText(units, settings_.timePerDistance)));
  const double pace = live_.Pace(settings_.timePerDistance);
  r.values[at(DashItem::Pace)] = pace < 0 ? QString() : Q(FormatDuration(pace, false));

  r.acceleration = live_.Acceleration();
  r.accelerationDirection = live_.AccelerationDirection();
  r.labels[at(DashItem::Acceleration)] = QString("%1 (G)").arg(Text(language_, lang::kWordAcceleration));
  r.values[at(DashItem::Acceleration)] = Q(FormatFixed(r.acceleration, 2));

  r.heading = live_.MovingHeading();
  return r;
}

std::array<QRect, kDashItems> DashboardDialog::itemRects() const {
  return DashboardLayout(OrientationOf(width(), height()), rect());
}

void DashboardDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const std::array<QRect, kDashItems> rects = itemRects();
  const DashboardReading& r = reading_;
  auto at = [](DashItem item) { return static_cast<std::size_t>(item); };
  p.setPen(QColor(0xc0, 0xc0, 0xc0));
  for (const QRect& cell : rects) p.drawRect(cell);

  for (DashItem item : {DashItem::Altitude, DashItem::Grade, DashItem::Pace})
    DrawTextItem(p, rects[at(item)], r.labels[at(item)], r.values[at(item)]);

  const QRect speed = DrawInstrumentBand(p, rects[at(DashItem::Speed)], r.labels[at(DashItem::Speed)],
                                         r.values[at(DashItem::Speed)]);
  instruments::DrawSpeedDial(p, speed, r.speedOnScale, kSpeedScaleEnd);
  const QRect acceleration = DrawInstrumentBand(p, rects[at(DashItem::Acceleration)],
                                                r.labels[at(DashItem::Acceleration)],
                                                r.values[at(DashItem::Acceleration)]);
  instruments::DrawAcceleration(p, acceleration, r.acceleration, r.accelerationDirection);
  instruments::DrawCompass(p, rects[at(DashItem::Compass)], r.heading);
}

void DashboardDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    reject();
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

}  // namespace rovana::dialogs
