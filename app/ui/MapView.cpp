#include "app/ui/MapView.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/coords/Units.h"
#include "app/ui/Symbols.h"
#include "app/waypoints/GpxParser.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::ui {

using maps::ClipBox;
using maps::ScreenPoint;

QColor ColourOfBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

std::size_t DrawRuns(QPainter& painter, const maps::ClippedPath& path) {
  std::vector<QPointF> points;
  std::size_t drawn = 0;
  for (const auto& run : path.runs()) {
    points.clear();
    points.reserve(run.size());
    for (const ScreenPoint& p : run) points.emplace_back(p.x, p.y);
    painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    drawn += points.size();
  }
  return drawn;
}

namespace {

QPointF Q(ScreenPoint p) { return {p.x, p.y}; }

// The four corners (top-left, top-right, bottom-right, bottom-left) of the
// area a map picture covers, in longitude and latitude.
bool MapBounds(const MapPicture& map, const matrixT& toGeo, GeoBounds& bounds) {
  const QSize size = map.picture.isNull() ? map.size : map.picture.size();
  if (size.isEmpty() || toGeo.rows() != 3) return false;
  for (const QPointF& c : {QPointF(0, 0), QPointF(size.width(), 0), QPointF(size.width(), size.height()),
                           QPointF(0, size.height())}) {
    const matrixT::Point g = toGeo.Apply(c.x(), c.y());
    if (!std::isfinite(g.x) || !std::isfinite(g.y)) return false;
    bounds.minLongitude = std::min(bounds.minLongitude, g.x);
    bounds.maxLongitude = std::max(bounds.maxLongitude, g.x);
    bounds.minLatitude = std::min(bounds.minLatitude, g.y);
    bounds.maxLatitude = std::max(bounds.maxLatitude, g.y);
  }
  return true;
}

const char* AnchorSymbol(PoisKind kind) {
  switch (kind) {
    case PoisKind::POIs: return "POIs";
    case PoisKind::Route: return "Route";
    default: return "Track";
  }
}

}  // namespace

MapView::MapView(SettingsStore& settings) : settings_(settings) {}

int MapView::displayGrid() const {
  if (settings_.gridAuto && autoGrid_) return *autoGrid_;
  return settings_.locatorGrid;
}

const maps::ViewTransform& MapView::Build(const screen::ViewBinding& view, const MapFrame& frame) {
  lastFrame_ = frame;
  lastView_ = view;
  maps::ViewInput in;
  in.width = frame.width;
  in.height = frame.height;
  in.dpi = frame.dpi;
  in.verticalOffsetUnits = frame.verticalOffsetUnits;
  in.panX = view.translateX ? *view.translateX : 0;
  in.panY = view.translateY ? *view.translateY : 0;
  in.zoom = view.zoom ? *view.zoom : 5215789.654483851;
  in.rotation = view.rotate ? *view.rotate : 0;
  in.headingMode = view.heading ? *view.heading : 0;
  if (settings_.followMarker && frame.marker) {
    in.centreOn = frame.marker;
  } else if (settings_.followUser && frame.user) {
    in.centreOn = frame.user;
    in.followingUser = true;
  }
  in.dragX = dragX_;
  in.dragY = dragY_;
  in.course = frame.course;
  if (inputs_.target) in.target = inputs_.target();
  if (inputs_.gridConvergence)
    in.gridConvergence = [this, grid = displayGrid()](const GeoPoint& at) { return inputs_.gridConvergence(at, grid); };
  transform_ = maps::ViewTransform::Build(in);
  // Without following, the drag has become the stored pan.
  if (!in.centreOn) ClearDrag();
  if (view.translateX) *view.translateX = transform_.panX();
  if (view.translateY) *view.translateY = transform_.panY();
  if (view.zoom) *view.zoom = transform_.zoom();
  if (view.rotate) *view.rotate = transform_.rotation();
  return transform_;
}

void MapView::PanBy(const screen::ViewBinding& view, int dx, int dy) {
  const ScreenPoint step = transform_.PixelStepToRadians(dx, dy);
  dragX_ += step.x;
  dragY_ += step.y;
  Build(view, lastFrame_);
}

std::vector<std::string> MapView::LocatorLines(const MapFrame& frame) const {
  if (!inputs_.locatorLines) return {};
  if (frame.marker) return inputs_.locatorLines(*frame.marker);
  if (frame.user) return inputs_.locatorLines(*frame.user);
  return {};
}

void MapView::PaintLayers(QPainter& painter, const MapFrame& frame, Waypoints* waypoints,
                          const SymbolTable* symbols) {
  mapsDrawn_ = collectionsDrawn_ = audioMarksDrawn_ = buddiesDrawn_ = tilesDrawn_ = 0;
  verticesDrawn_ = 0;
  arrow_.reset();
  labels_.clear();
  if (waypoints) waypoints->UnloadOutside(transform_.visible());
  painter.save();
  // Online tiles need a north-up view: they are drawn as upright rectangles.
  if (transform_.northUp() && (settings_.hyperzooming || settings_.mapsOnlineEnabled)) PaintTiles(painter);
  PaintMaps(painter, frame);
  if (settings_.gridEnabled && settings_.gridWidth > 0) PaintGrid(painter);
  if (waypoints) PaintCollections(painter, frame, *waypoints, symbols);

  const ClipBox box = ClipBox::Screen(frame.width, frame.height, kClipMargin);
  const std::optional<GeoPoint> target = inputs_.target ? inputs_.target() : std::nullopt;
  if (target && settings_.targetEnabled) DrawSymbol(painter, *target, settings_.targetSymbol, symbols, frame.dpi);
  if (inputs_.buddies) {
    // "anna (0:00:12)": the nickname and the age of the position.
    for (const MapBuddy& b : inputs_.buddies()) {
      GeoPoint labelled(b.position.latitude(), b.position.longitude());
      labelled.setText(PointText::Name, b.position.name() + " (" + FormatDuration(std::max(0, b.ageSeconds), false) + ")");
      DrawSymbol(painter, labelled, "Buddy", symbols, frame.dpi);
      ++buddiesDrawn_;
    }
  }
  if (settings_.trainerVisible && inputs_.trainer)
    if (const std::optional<GeoPoint> trainer = inputs_.trainer())
      DrawSymbol(painter, *trainer, settings_.trainerSymbol, symbols, frame.dpi);
  if (target && frame.user && settings_.directionEnabled) {
    ScreenPoint a = transform_.ToScreen(*frame.user), b = transform_.ToScreen(*target);
    const ScreenPoint tip = b;
    if (maps::ClipSegment(a, b, box)) {
      painter.setPen(QPen(ColourOfBgr(settings_.directionCol), screen::Scale(settings_.directionWidth, frame.dpi)));
      painter.drawLine(Q(a), Q(b));
      if (box.Contains(tip)) {
        // An arrow head at the target, `directionSize` long.
        const double angle = std::atan2(tip.x - a.x, -(tip.y - a.y));
        const double size = screen::Scale(settings_.directionSize, frame.dpi);
        for (double side : {-0.4, 0.4})
          painter.drawLine(Q(tip), QPointF(tip.x - size * std::sin(angle + side), tip.y + size * std::cos(angle + side)));
      }
    }
  }
  if (frame.marker) {
    const ScreenPoint m = transform_.ToScreen(*frame.marker);
    if (box.Contains(m)) {
      const double s = screen::Scale(6, frame.dpi);
      painter.setPen(QPen(Qt::red, screen::Scale(2, frame.dpi)));
      painter.drawLine(QPointF(m.x - s, m.y - s), QPointF(m.x + s, m.y + s));
      painter.drawLine(QPointF(m.x - s, m.y + s), QPointF(m.x + s, m.y - s));
    }
  }
  PaintUser(painter, frame, symbols);
  if (settings_.labels2Enabled && !labels_.empty()) {
    painter.setPen(ColourOfBgr(settings_.labelCol));
    const int shift = screen::Scale(10, frame.dpi);
    for (const Label& label : labels_)
      painter.drawText(label.at + QPointF(shift, shift / 2), QString::fromStdString(label.text));
  }
  if (settings_.labels2Enabled) PaintTileStatus(painter, frame);
  painter.restore();
}

void MapView::PaintMaps(QPainter& painter, const MapFrame& frame) {
  if (!inputs_.maps) return;
  if (settings_.gridAuto && inputs_.autoGrid) {
    const std::optional<int> grid = inputs_.autoGrid({transform_.visible(), transform_.metresPerPixel(), true, 0});
    if (grid && grid != autoGrid_) {
      // The view turns to the new grid's north before anything is drawn.
      autoGrid_ = grid;
      Build(lastView_, lastFrame_);
    }
  }
  const bool northUp = transform_.northUp();
  const double mpp = transform_.metresPerPixel();
  const std::vector<MapPicture> maps = inputs_.maps({transform_.visible(), mpp, northUp, displayGrid()});
  const ClipBox box = ClipBox::Screen(frame.width, frame.height, kClipMargin);
  for (const MapPicture& map : maps) {
    if (map.toPixel.rows() != 3 || map.toPixel.columns() != 3) continue;  // not calibrated
    const matrixT toGeo = !map.toPixel;
    GeoBounds b;
    if (toGeo.empty() || !MapBounds(map, toGeo, b)) continue;
    if (!b.Intersects(transform_.visible())) continue;
    if (maps::ExtentOnScreen(b, mpp).area() <= 100) continue;
    const ScreenPoint corners[4] = {transform_.ToScreen(b.minLongitude, b.maxLatitude),
                                    transform_.ToScreen(b.maxLongitude, b.maxLatitude),
                                    transform_.ToScreen(b.maxLongitude, b.minLatitude),
                                    transform_.ToScreen(b.minLongitude, b.minLatitude)};
    ++mapsDrawn_;
    if (northUp && map.grid == displayGrid() && !map.picture.isNull()) {
      double left = corners[0].x, right = left, top = corners[0].y, bottom = top;
      for (const ScreenPoint& c : corners) {
        left = std::min(left, c.x), right = std::max(right, c.x);
        top = std::min(top, c.y), bottom = std::max(bottom, c.y);
      }
      // Only the part on the screen goes to the painter, cut from the picture.
      const QRectF target(left, top, right - left, bottom - top);
      const QRectF shown = target & QRectF(box.left, box.top, box.right - box.left, box.bottom - box.top);
      if (shown.isEmpty() || target.width() <= 0 || target.height() <= 0) continue;
      const double sx = map.picture.width() / target.width(), sy = map.picture.height() / target.height();
      const QRectF source((shown.left() - left) * sx, (shown.top() - top) * sy, shown.width() * sx,
                          shown.height() * sy);
      painter.drawImage(shown, map.picture, source);
    } else {
      const std::vector<ScreenPoint> outline = maps::ClipPolygon(corners, box);
      if (outline.size() < 3) continue;
      QPolygonF polygon;
      for (const ScreenPoint& p : outline) polygon << Q(p);
      const QColor fill = map.state == MapPicture::State::Failed ? QColor(255, 200, 200) : QColor(200, 200, 200);
      painter.setPen(QPen(Qt::black, screen::Scale(2, frame.dpi)));
      painter.setBrush(fill);
      painter.drawPolygon(polygon);
      painter.setBrush(Qt::NoBrush);
    }
    if (frame.calibrationMode && map.selected) {
      painter.setPen(QPen(Qt::red, screen::Scale(1, frame.dpi)));
      const double s = screen::Scale(5, frame.dpi);
      for (const QPoint& ref : map.references) {
        const matrixT::Point g = toGeo.Apply(ref.x(), ref.y());
        const ScreenPoint p = transform_.ToScreen(g.x, g.y);
        if (!box.Contains(p)) continue;
        painter.drawLine(QPointF(p.x - s, p.y), QPointF(p.x + s, p.y));
        painter.drawLine(QPointF(p.x, p.y - s), QPointF(p.x, p.y + s));
        char text[48];
        std::snprintf(text, sizeof text, "%d,%d", ref.x(), ref.y());
        painter.drawText(QPointF(p.x + s, p.y - s), text);
        painter.drawText(QPointF(p.x + s, p.y + 3 * s), "x,y (px)");
      }
    }
  }
}

void MapView::PaintGrid(QPainter& painter) {
  const maps::GridLines grid = maps::MakeGridLines(transform_, settings_.gridStep, settings_.gridWidth,
                                                   settings_.gridCol, settings_.backgroundCol, kClipMargin);
  if (!grid.draw) return;
  painter.setPen(QPen(ColourOfBgr(grid.colour), settings_.gridWidth));
  for (const auto& [a, b] : grid.lines) painter.drawLine(Q(a), Q(b));
}

QRect MapView::DrawSymbol(QPainter& painter, const GeoPoint& at, const std::string& name, const SymbolTable* symbols,
                          int dpi) {
  const ScreenPoint p = transform_.ToScreen(at);
  if (p.x < 0 || p.y < 0 || p.x >= transform_.width() || p.y >= transform_.height()) return {};
  const QPoint pixel(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
  QRect drawn;
  if (symbols) drawn = symbols->Draw(painter, pixel, name, dpi, settings_.shrinkSymbols);
  if (!at.name().empty()) labels_.push_back({QPointF(pixel), at.name()});
  return drawn;
}

void MapView::DrawPoint(QPainter& painter, const GeoPoint& point, const SymbolTable* symbols, int dpi) {
  const QRect drawn = DrawSymbol(painter, point, point.sym(), symbols, dpi);
  // A point with an audio note carries the note mark inside its symbol's
  // top-left corner.
  if (symbols && !drawn.isEmpty() && !point.text(PointText::Wav).empty()) {
    const int inset = screen::Scale(2, dpi);
    symbols->DrawAudioMark(painter, drawn.topLeft() + QPoint(inset, inset), dpi);
    ++audioMarksDrawn_;
  }
}

void MapView::PaintCollections(QPainter& painter, const MapFrame& frame, Waypoints& waypoints,
                               const SymbolTable* symbols) {
  const double mpp = transform_.metresPerPixel();
  const GeoBounds& visible = transform_.visible();
  for (POIs* collection : waypoints.Collections()) {
    if (!collection->visible()) continue;
    const bool recording = collection == waypoints.recordingTrack();
    const GeoBounds bounds = collection->bounds();
    if (!recording && !bounds.Intersects(visible)) continue;
    // A collection no larger than 10 x 10 pixels shows as its anchor (the
    // extent is at least 10 each way, so "below 100" would never happen).
    if (!recording && collection->count() > 1 && maps::ExtentOnScreen(bounds, mpp).area() <= 100) {
      DrawSymbol(painter, collection->anchor(), AnchorSymbol(collection->kind()), symbols, frame.dpi);
      continue;
    }
    if (collection->file().loadState() == LoadState::Unloaded && !waypoints.EnsureLoaded(collection->file())) continue;
    const std::size_t count = collection->count();
    if (count == 0) continue;
    ++collectionsDrawn_;
    const PoisKind kind = collection->kind();
    if (kind != PoisKind::POIs) {
      QPen pen(ColourOfBgr(collection->color()), screen::Scale(std::max(1, collection->width()), frame.dpi));
      pen.setCapStyle(Qt::RoundCap);
      pen.setJoinStyle(Qt::RoundJoin);
      painter.setPen(pen);
      const int skip = maps::PointSkip(count, collection->statistics().Distance(), mpp, frame.dpi);
      maps::PointTracer tracer(transform_, count, skip, kClipMargin);
      collection->VisitPoints([&tracer](const GeoPoint& p) { tracer.Add(p); });
      const std::optional<GeoPoint> end = recording ? frame.user : std::nullopt;
      verticesDrawn_ += DrawRuns(painter, tracer.Finish(end));
    }
    if (kind == PoisKind::Track) {
      const std::optional<GeoPoint> first = collection->FirstPoint(), last = collection->LastPoint();
      if (first) DrawPoint(painter, *first, symbols, frame.dpi);
      if (!recording && last && count > 1) DrawPoint(painter, *last, symbols, frame.dpi);
    } else {
      collection->VisitPoints([&](const GeoPoint& p) {
        if (!p.sym().empty()) DrawPoint(painter, p, symbols, frame.dpi);
      });
    }
  }
}

void MapView::PaintUser(QPainter& painter, const MapFrame& frame, const SymbolTable* symbols) {
  if (!frame.user) return;
  if (settings_.userEnabled && symbols) {
    const ScreenPoint p = transform_.ToScreen(*frame.user);
    if (p.x >= 0 && p.y >= 0 && p.x < frame.width && p.y < frame.height)
      symbols->Draw(painter, QPoint(std::lround(p.x), std::lround(p.y)), settings_.userSymbol, frame.dpi,
                    settings_.shrinkSymbols);
  }
  if (!settings_.directionEnabled) return;
  const ScreenPoint from = transform_.ToScreen(*frame.user);
  const ClipBox box = ClipBox::Screen(frame.width, frame.height, kClipMargin);
  if (!box.Contains(from)) return;
  const double angle = transform_.ScreenAngle(*frame.user, frame.course);
  const double length = screen::Scale(settings_.directionSize * 5, frame.dpi);
  const QPointF tail(from.x, from.y), tip(from.x + length * std::sin(angle), from.y - length * std::cos(angle));
  painter.setPen(QPen(ColourOfBgr(settings_.directionCol), screen::Scale(std::max(1, settings_.directionWidth), frame.dpi),
                      Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(tail, tip);
  const double head = length / 3;
  for (double side : {-0.5, 0.5})
    painter.drawLine(tip, tip - QPointF(head * std::sin(angle + side), -head * std::cos(angle + side)));
  arrow_ = Arrow{tail, tip, angle};
}

}  // namespace rovana::ui
