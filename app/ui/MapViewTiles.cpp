// MapView: the online tile layer. OnlineMaps plans which pictures go where;
// here each planned strip is copied from its picture rows to its screen
// rectangle. Hybrid overlays keep their alpha channel, so the satellite
// picture shows through everywhere but the labels and roads.
#include <QPainter>
#include <cmath>

#include "app/core/SettingsStore.h"
#include "app/screen/ScreenRules.h"
#include "app/ui/MapView.h"
#include "platform/picture/PictureImage.h"

namespace rovana::ui {

void MapView::PaintTiles(QPainter& painter) {
  if (!inputs_.tiles) return;
  const maps::TilePaint paint = inputs_.tiles(transform_);
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  const QRectF screen(-kClipMargin, -kClipMargin, transform_.width() + 2 * kClipMargin,
                      transform_.height() + 2 * kClipMargin);
  for (const maps::TileDraw& draw : paint.draws) {
    if (!draw.picture) continue;
    const QImage& image = platform::picture::ImageOf(*draw.picture);
    if (image.isNull()) continue;
    bool drawn = false;
    for (const maps::TileStrip& strip : draw.strips) {
      // Edges rounded outwards so that neighbouring strips leave no seam.
      const QRectF target(QPointF(std::floor(strip.left), std::floor(strip.top)),
                          QPointF(std::ceil(strip.right), std::ceil(strip.bottom)));
      if (!target.intersects(screen)) continue;
      const QRectF source(0, strip.sourceTop * image.height(), image.width(),
                          (strip.sourceBottom - strip.sourceTop) * image.height());
      painter.drawImage(target, image, source);
      drawn = true;
    }
    if (drawn) ++tilesDrawn_;
  }
  painter.restore();
}

void MapView::PaintTileStatus(QPainter& painter, const MapFrame& frame) {
  if (!inputs_.tileStatus) return;
  const std::string text = inputs_.tileStatus();
  if (text.empty()) return;
  const QString line = QString::fromStdString(text);
  const QFontMetrics metrics(painter.font());
  const int pad = screen::Scale(2, frame.dpi);
  // Under the locator box, where no button or instrument covers it.
  const screen::Rect locator = screen::LayoutButtons(frame.width, frame.height, frame.dpi).locator;
  const QRect box(locator.x, locator.y + locator.h + pad, metrics.horizontalAdvance(line) + 2 * pad,
                  metrics.height() + 2 * pad);
  painter.fillRect(box, QColor(255, 255, 255, 200));
  painter.setPen(Qt::black);
  painter.drawText(box, Qt::AlignCenter, line);
}

}  // namespace rovana::ui
