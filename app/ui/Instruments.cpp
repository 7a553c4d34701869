#include "app/ui/Instruments.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <algorithm>
#include <array>
#include <cmath>

namespace rovana::instruments {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSweep = 1.5 * kPi;  // the speed dial's 270 degrees

double Finite(double value) { return std::isfinite(value) ? value : 0.0; }

// A point at `angle` (clockwise from up) and `distance` from the centre.
QPointF Polar(const Dial& dial, double angle, double distance) {
  return {dial.centreX + distance * std::sin(angle), dial.centreY - distance * std::cos(angle)};
}

void DrawFace(QPainter& painter, const Dial& dial) {
  painter.setPen(QPen(QColor(0x30, 0x30, 0x30), std::max(1.0, dial.radius / 40)));
  painter.setBrush(QColor(0xf4, 0xf4, 0xf4));
  painter.drawEllipse(QPointF(dial.centreX, dial.centreY), dial.radius, dial.radius);
}

// Keeps the painter's state and clips to the instrument's rectangle.
class Scope {
 public:
  Scope(QPainter& painter, const QRectF& area) : painter_(painter) {
    painter_.save();
    painter_.setClipRect(area, Qt::IntersectClip);
    painter_.setRenderHint(QPainter::Antialiasing);
  }
  ~Scope() { painter_.restore(); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  QPainter& painter_;
};

}  // namespace

Dial DialIn(const QRectF& area) {
  const double side = std::max(0.0, std::min(area.width(), area.height()));
  // One pixel in from the edge so the rim's pen stays inside.
  return {area.center().x(), area.center().y(), std::max(0.0, side / 2 - 1)};
}

Point AccelerationTip(const QRectF& area, double acceleration, double direction, double fullScale) {
  const Dial dial = DialIn(area);
  const double scale = fullScale > 0 && std::isfinite(fullScale) ? fullScale : 1.0;
  const double share = std::clamp(std::fabs(Finite(acceleration)) / scale, 0.0, 1.0);
  // The compass direction relative to travel is minus the analyzer's angle.
  const QPointF tip = Polar(dial, -Finite(direction), share * dial.radius);
  return {tip.x(), tip.y()};
}

void DrawAcceleration(QPainter& painter, const QRectF& area, double acceleration, double direction,
                      double fullScale) {
  Scope scope(painter, area);
  const Dial dial = DialIn(area);
  if (dial.radius <= 0) return;
  DrawFace(painter, dial);
  const QPointF centre(dial.centreX, dial.centreY);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 1));
  for (int ring = 1; ring < 4; ++ring) painter.drawEllipse(centre, dial.radius * ring / 4, dial.radius * ring / 4);
  painter.drawLine(Polar(dial, 0, dial.radius), Polar(dial, kPi, dial.radius));
  painter.drawLine(Polar(dial, kPi / 2, dial.radius), Polar(dial, -kPi / 2, dial.radius));

  const Point tip = AccelerationTip(area, acceleration, direction, fullScale);
  const QColor colour(0xc0, 0x20, 0x20);
  painter.setPen(QPen(colour, std::max(2.0, dial.radius / 15), Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(centre, QPointF(tip.x, tip.y));
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  const double dot = std::max(2.0, dial.radius / 10);
  painter.drawEllipse(QPointF(tip.x, tip.y), dot, dot);
}

double SpeedNeedleAngle(double speed, double scaleEnd) {
  const double end = scaleEnd > 0 && std::isfinite(scaleEnd) ? scaleEnd : 100.0;
  const double share = std::clamp(Finite(speed) / end, 0.0, 1.0);
  return -kSweep / 2 + share * kSweep;
}

void DrawSpeedDial(QPainter& painter, const QRectF& area, double speed, double scaleEnd) {
  Scope scope(painter, area);
  const Dial dial = DialIn(area);
  if (dial.radius <= 0) return;
  const double end = scaleEnd > 0 && std::isfinite(scaleEnd) ? scaleEnd : 100.0;
  DrawFace(painter, dial);

  QFont font = painter.font();
  font.setPixelSize(std::max(6, static_cast<int>(dial.radius / 6)));
  painter.setFont(font);
  for (int tick = 0; tick <= 10; ++tick) {
    const double angle = -kSweep / 2 + kSweep * tick / 10;
    const bool major = tick % 5 == 0;
    painter.setPen(QPen(Qt::black, major ? std::max(2.0, dial.radius / 30) : 1));
    painter.drawLine(Polar(dial, angle, dial.radius * (major ? 0.78 : 0.85)), Polar(dial, angle, dial.radius * 0.95));
    if (!major) continue;
    const QPointF at = Polar(dial, angle, dial.radius * 0.6);
    const double box = dial.radius * 0.5;
    painter.drawText(QRectF(at.x() - box / 2, at.y() - box / 4, box, box / 2), Qt::AlignCenter,
                     QString::number(end * tick / 10, 'g', 4));
  }

  const double angle = SpeedNeedleAngle(speed, end);
  painter.setPen(QPen(QColor(0xc0, 0x20, 0x20), std::max(2.0, dial.radius / 20), Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(Polar(dial, angle + kPi, dial.radius * 0.1), Polar(dial, angle, dial.radius * 0.85));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x30, 0x30, 0x30));
  const double hub = std::max(2.0, dial.radius / 12);
  painter.drawEllipse(QPointF(dial.centreX, dial.centreY), hub, hub);
}

void DrawCompass(QPainter& painter, const QRectF& area, double heading) {
  Scope scope(painter, area);
  const Dial dial = DialIn(area);
  if (dial.radius <= 0) return;
  DrawFace(painter, dial);
  // North lies at minus the heading from the top of the face.
  const double north = -Finite(heading);

  painter.setPen(QPen(Qt::black, 1));
  for (int tick = 0; tick < 16; ++tick) {
    const double angle = north + kPi * tick / 8;
    const double inner = tick % 4 == 0 ? 0.8 : 0.88;
    painter.drawLine(Polar(dial, angle, dial.radius * inner), Polar(dial, angle, dial.radius * 0.95));
  }
  QFont font = painter.font();
  font.setPixelSize(std::max(6, static_cast<int>(dial.radius / 5)));
  font.setBold(true);
  painter.setFont(font);
  static constexpr std::array<const char*, 4> kPoints = {"N", "E", "S", "W"};
  for (std::size_t i = 0; i < kPoints.size(); ++i) {
    const QPointF at = Polar(dial, north + kPi / 2 * static_cast<double>(i), dial.radius * 0.62);
    const double box = dial.radius * 0.4;
    painter.setPen(i == 0 ? QColor(0xc0, 0x20, 0x20) : QColor(Qt::black));
    painter.drawText(QRectF(at.x() - box / 2, at.y() - box / 2, box, box), Qt::AlignCenter, kPoints[i]);
  }

  // The rose's needle: red half to north, grey half to south.
  const double width = dial.radius * 0.12;
  const QPointF left = Polar(dial, north - kPi / 2, width);
  const QPointF right = Polar(dial, north + kPi / 2, width);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xc0, 0x20, 0x20));
  painter.drawPolygon(QPolygonF({Polar(dial, north, dial.radius * 0.45), left, right}));
  painter.setBrush(QColor(0x90, 0x90, 0x90));
  painter.drawPolygon(QPolygonF({Polar(dial, north + kPi, dial.radius * 0.45), left, right}));

  // The fixed mark of the direction of travel.
  painter.setBrush(QColor(0x20, 0x20, 0x20));
  const double mark = dial.radius * 0.1;
  painter.drawPolygon(QPolygonF({QPointF(dial.centreX, dial.centreY - dial.radius + 1),
                                 QPointF(dial.centreX - mark, dial.centreY - dial.radius - 1 + 2 * mark),
                                 QPointF(dial.centreX + mark, dial.centreY - dial.radius - 1 + 2 * mark)}));
}

void DrawDirectionPrompt(QPainter& painter, QPointF centre, double radius, int prompt) {
  if (prompt < 1 || prompt > 5 || !(radius > 2)) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::white);
  painter.drawEllipse(centre, radius, radius);
  const double s = radius * 0.65;
  painter.setPen(QPen(QColor(0x20, 0x20, 0x20), std::max(2.0, radius / 5), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  // An arrow from the bottom of the disc, straight up and then bent towards
  // `turn` (-1 left, 0 straight, +1 right).
  auto arrow = [&](double turn) {
    const QPointF base = centre + QPointF(0, s), knee = centre + QPointF(0, turn == 0 ? -s : 0);
    const QPointF tip = turn == 0 ? knee : centre + QPointF(turn * s, 0);
    painter.drawPolyline(QPolygonF({base, knee, tip}));
    const double head = s * 0.45;
    const QPointF back = turn == 0 ? QPointF(0, head) : QPointF(-turn * head, 0);
    const QPointF side = turn == 0 ? QPointF(head, 0) : QPointF(0, head);
    painter.drawPolyline(QPolygonF({tip + back - side, tip, tip + back + side}));
  };
  switch (prompt) {
    case 1: {  // turn around: up, over the top, and down with the head
      QPainterPath path(centre + QPointF(s * 0.5, s));
      path.lineTo(centre + QPointF(s * 0.5, -s * 0.2));
      path.arcTo(QRectF(centre.x() - s * 0.5, centre.y() - s * 0.7, s, s), 0, 180);
      path.lineTo(centre + QPointF(-s * 0.5, s * 0.5));
      painter.drawPath(path);
      const QPointF tip = centre + QPointF(-s * 0.5, s * 0.6);
      painter.drawPolyline(QPolygonF({tip + QPointF(-s * 0.4, -s * 0.4), tip, tip + QPointF(s * 0.4, -s * 0.4)}));
      break;
    }
    case 2: arrow(-1); break;
    case 3: arrow(0); break;
    case 4: arrow(1); break;
    case 5: {  // arrived: a flag on a pole
      painter.drawLine(centre + QPointF(-s * 0.5, s), centre + QPointF(-s * 0.5, -s));
      painter.setBrush(QColor(0xc0, 0x20, 0x20));
      painter.setPen(Qt::NoPen);
      painter.drawPolygon(QPolygonF({centre + QPointF(-s * 0.5, -s), centre + QPointF(s * 0.8, -s * 0.55),
                                     centre + QPointF(-s * 0.5, -s * 0.1)}));
      break;
    }
  }
  painter.restore();
}

}  // namespace rovana::instruments
