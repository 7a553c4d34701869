// The map view's overlays in the main screen's button rectangles: the
// compass with its needle, direction prompt, course labels, rim markers and
// distance range, and the scale above the zoom bar.
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/core/SettingsStore.h"
#include "app/coords/Units.h"
#include "app/ui/Instruments.h"
#include "app/ui/MapView.h"
#include "app/ui/Symbols.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::ui {
namespace {

std::string DistanceText(double metres) {
  char text[32];
  if (metres >= 1000)
    std::snprintf(text, sizeof text, "%g km", metres / 1000);
  else
    std::snprintf(text, sizeof text, "%g m", metres);
  return text;
}

}  // namespace

void MapView::PaintCompass(QPainter& painter, const QRect& area, const MapFrame& frame, Waypoints* waypoints,
                           const SymbolTable* symbols) {
  if (area.isEmpty()) return;
  painter.save();
  const double convergence = transform_.convergence();
  const std::optional<GeoPoint> target = inputs_.target ? inputs_.target() : std::nullopt;
  const double toTarget = (target && frame.user) ? frame.user->Course(*target) : 0.0;
  // Which direction the rose's top stands for, by the compass heading mode.
  double up = 0;
  if (settings_.headingCompass == 1) up = frame.course - convergence;
  if (settings_.headingCompass == 2) up = toTarget - convergence;
  instruments::DrawCompass(painter, QRectF(area), up);
  const instruments::Dial dial = instruments::DialIn(QRectF(area));
  const double cx = dial.centreX, cy = dial.centreY, r = dial.radius;

  // The distance the rim stands for, written to the right of the rose.
  const double range = maps::MakeScaleBar(transform_.metresPerPixel(), std::min(frame.width, frame.height) / 2.0).metres;
  if (frame.width >= 320 && range > 0) {
    painter.setPen(Qt::black);
    painter.drawText(QPointF(area.right() + screen::Scale(4, frame.dpi), cy), QString::fromStdString(DistanceText(range)));
  }

  if (settings_.compassDirectionEnabled) {
    double needle = 0;  // course up: not turned
    if (settings_.headingCompass == 0) needle = frame.course - convergence;
    if (settings_.headingCompass == 2) needle = frame.course + convergence - toTarget;
    const double length = r * settings_.compassDirectionSize / 8;
    painter.setPen(QPen(ColourOfBgr(settings_.compassDirectionCol),
                        screen::Scale(std::max(1, settings_.compassDirectionWidth), frame.dpi), Qt::SolidLine,
                        Qt::RoundCap));
    painter.drawLine(QPointF(cx, cy), QPointF(cx + length * std::sin(needle), cy - length * std::cos(needle)));
  }

  const int prompt = inputs_.directionPrompt ? inputs_.directionPrompt() : 0;
  if (prompt > 0) instruments::DrawDirectionPrompt(painter, QPointF(cx, cy), r * 0.3, prompt);

  // Labels: the user's course above the centre, the course to the target
  // below it ("U: 123.4°"); the small layout shows the letters alone.
  const bool small = frame.width < 320;
  QFont labelFont = painter.font();
  labelFont.setPixelSize(std::max(6, static_cast<int>(r / 4)));
  painter.setFont(labelFont);
  auto label = [&](int letterEntry, double course, double dy) {
    std::string text = inputs_.text ? inputs_.text(letterEntry) : std::string();
    if (!small) text += ": " + FormatHeading(course, convergence);
    const double box = r;
    painter.setPen(Qt::black);
    painter.drawText(QRectF(cx - box, cy + dy - box / 4, 2 * box, box / 2), Qt::AlignCenter, QString::fromStdString(text));
  };
  if (settings_.compassLabelUser && frame.user) label(lang::kCompassUserLetter, frame.course, -0.45 * r);
  if (settings_.compassLabelTarget && target && frame.user) label(lang::kCompassTargetLetter, toTarget, 0.45 * r);

  // Rim markers: the trainer, the start of the recording track and the
  // target.
  if (frame.user && symbols) {
    auto place = [&](const GeoPoint& object, const std::string& symbol) {
      const double b = frame.user->Course(object) - (settings_.headingCompass == 0 ? 0 : up);
      const double distance = frame.user->Distance(object);
      const double d = range > 0 && distance < range ? r * distance / range : r;
      symbols->Draw(painter, QPoint(std::lround(cx + d * std::sin(b)), std::lround(cy - d * std::cos(b))), symbol,
                    frame.dpi, true);
    };
    if (settings_.trainerVisible && inputs_.trainer)
      if (const std::optional<GeoPoint> trainer = inputs_.trainer()) place(*trainer, settings_.trainerSymbol);
    if (waypoints && waypoints->recordingTrack())
      if (const std::optional<GeoPoint> first = waypoints->recordingTrack()->FirstPoint())
        place(*first, first->sym().empty() ? std::string("Track") : first->sym());
    if (target && settings_.targetEnabled) place(*target, settings_.targetSymbol);
  }
  painter.restore();
}

void MapView::PaintScale(QPainter& painter, const QRect& zoomBar, int dpi) {
  if (zoomBar.isEmpty()) return;
  const maps::ScaleBar bar = maps::MakeScaleBar(transform_.metresPerPixel(), zoomBar.width() / 3.0);
  if (bar.pixels <= 0) return;
  painter.save();
  const int x = zoomBar.left() + screen::Scale(4, dpi);
  const int y = zoomBar.top() - screen::Scale(4, dpi);
  const int tick = screen::Scale(3, dpi);
  painter.setPen(QPen(Qt::black, screen::Scale(2, dpi)));
  const QPointF a(x, y), b(x + bar.pixels, y);
  painter.drawLine(a, b);
  painter.drawLine(a, a - QPointF(0, tick));
  painter.drawLine(b, b - QPointF(0, tick));
  painter.drawText(QPointF(b.x() + screen::Scale(4, dpi), y), QString::fromStdString(DistanceText(bar.metres)));
  painter.restore();
}

}  // namespace rovana::ui
