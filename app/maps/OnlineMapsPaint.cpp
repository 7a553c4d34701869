// OnlineMaps: planning a paint. The view is north-up, so a tile's columns
// are vertical lines on the screen; its rows are not evenly spaced (the view
// is not Mercator), so a tile is drawn in horizontal strips whose edges sit
// at their true latitudes.
#include <algorithm>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/maps/OnlineMaps.h"

namespace rovana::maps {
namespace {

constexpr double kTileLimit = 512;      // screen width the chosen level's tiles stay under
constexpr double kTooLarge = 20000;     // a tile this large on both sides is not drawn
constexpr int kFillLevels = 6;          // how far up coarser tiles are looked for as fill
constexpr int kMostTilesPerKind = 400;  // a paint never asks for more tiles of one kind

double TileScreenWidth(const ViewTransform& view, int level, int x, double latitude) {
  return std::fabs(view.ToScreen(TileLongitude(level, x + 1), latitude).x -
                   view.ToScreen(TileLongitude(level, x), latitude).x);
}

}  // namespace

int ChooseLevel(const ViewTransform& view, bool hiRes) {
  const double limit = hiRes ? kTileLimit / 2 : kTileLimit;
  const GeoPoint centre = view.centre();
  for (int level = 0; level < kMaxTileLevel; ++level) {
    const TileXY t = PositionToTile(centre.latitude(), centre.longitude(), level);
    if (TileScreenWidth(view, level, t.x, centre.latitude()) < limit) return level;
  }
  return kMaxTileLevel;
}

int StripExponent(double metresPerPixel, double tileWidth) {
  int fromScale = 0;
  if (metresPerPixel < 636.6930730571107)
    fromScale = 3;
  else if (metresPerPixel < 1273.3861461142214)
    fromScale = 2;
  else if (metresPerPixel < 2546.772292228443)
    fromScale = 1;
  const double w = tileWidth / 256;
  const int fromWidth = w > 7 ? 3 : w > 3 ? 2 : w > 1 ? 1 : 0;
  return std::max(fromScale, fromWidth);
}

std::optional<TileStatus> StatusOf(const TileCounts& c, bool downloadAllowed, bool versionChanged) {
  const int loading = c[kTileDownloading] + c[kTileDownloadingAgain];
  if (loading > 0) return TileStatus{lang::kTileDownloading, loading};
  if (c[kTileDecoding] > 0) return TileStatus{lang::kTileDecoding, 0};
  const int missing = c[kTileNew] + c[kTileDownloadFailed] + c[kTileForbidden] + c[kTileRefused];
  if (!downloadAllowed && missing > 0) return TileStatus{lang::kTileDownloadOff, 0};
  if (c[kTileRefused] > 0) return TileStatus{lang::kTileOffline, 0};
  if (c[kTileForbidden] > 0) return TileStatus{versionChanged ? lang::kTileVersionUpdated : lang::kTileNoPermission, 0};
  if (c[kTileServiceError] > 0) return TileStatus{lang::kTileServiceError, 0};
  if (c[kTileDownloadFailed] > 0) return TileStatus{lang::kTileFailed, 0};
  return std::nullopt;
}

TilePaint OnlineMaps::Paint(const ViewTransform& view, const OnlineMapsConfig& config, std::int64_t now) {
  TilePaint paint;
  counts_.fill(0);
  ++paintMark_;
  versions_->Set(config.sources.mapHost, config.sources.satHost, config.sources.versions);
  for (auto& [key, tile] : tiles_) Collect(tile, now);
  if (!folder_.empty()) Plan(view, config, now, paint);
  // Tiles this paint did not ask for give their pictures and waiting jobs
  // up; records of tiles that never had a file are forgotten, so panning
  // around does not grow the set.
  for (auto it = tiles_.begin(); it != tiles_.end();) {
    OnlineTile& tile = it->second;
    if (tile.paintMark != paintMark_) {
      Free(tile);
      if (tile.state == kTileNew && tile.size == 0 && !tile.download && !tile.decode) {
        it = tiles_.erase(it);
        continue;
      }
    }
    ++it;
  }
  TrimCache(config.cacheSizeKB);
  counts_ = paint.counts;
  return paint;
}

void OnlineMaps::Plan(const ViewTransform& view, const OnlineMapsConfig& config, std::int64_t now, TilePaint& paint) {
  const int level = ChooseLevel(view, config.hiRes);
  paint.level = level;
  const GeoBounds& visible = view.visible();
  if (visible.Empty()) return;
  const TileXY first = PositionToTile(visible.maxLatitude, visible.minLongitude, level);
  const TileXY last = PositionToTile(visible.minLatitude, visible.maxLongitude, level);
  if (static_cast<long long>(last.x - first.x + 1) * (last.y - first.y + 1) > kMostTilesPerKind) return;

  const TileKind base = config.type == 2 || config.type == 0 ? TileKind::Satellite
                        : config.type == 3                   ? TileKind::Terrain
                                                             : TileKind::RoadMap;
  std::vector<const OnlineTile*> fill, chosen, overlay;
  for (const bool isOverlay : {false, true}) {
    if (isOverlay && config.type != 2) break;
    const TileKind kind = isOverlay ? TileKind::Hybrid : base;
    const std::string folder = FolderFor(config.sources, kind);
    for (int y = first.y; y <= last.y; ++y) {
      for (int x = first.x; x <= last.x; ++x) {
        OnlineTile& tile = Record(TileId{kind, level, x, y}, folder);
        const bool ready = Ask(tile, config, now) != nullptr;
        ++paint.counts[std::clamp(tile.state, 0, kTileStates - 1)];
        if (ready) {
          (isOverlay ? overlay : chosen).push_back(&tile);
          continue;
        }
        if (isOverlay) continue;
        // Fill from the nearest coarser tile that is cached; asking it
        // decodes it, it never downloads.
        for (int up = 1; up <= kFillLevels && level - up >= 0; ++up) {
          const auto at = tiles_.find(Key{folder, TileId{kind, level - up, x >> up, y >> up}});
          if (at == tiles_.end()) continue;
          OnlineTile& parent = at->second;
          if (parent.state == kTileReady || parent.state == kTileCached || parent.state == kTileDecoding ||
              parent.state == kTileDecodeFailed) {
            OnlineMapsConfig noDownload = config;
            noDownload.download = false;
            if (Ask(parent, noDownload, now)) {
              if (std::find(fill.begin(), fill.end(), &parent) == fill.end()) fill.push_back(&parent);
              break;
            }
          }
        }
      }
    }
  }
  std::stable_sort(fill.begin(), fill.end(),
                   [](const OnlineTile* a, const OnlineTile* b) { return a->id.level < b->id.level; });
  for (const OnlineTile* tile : fill) AddDraw(paint, view, *tile, false);
  for (const OnlineTile* tile : chosen) AddDraw(paint, view, *tile, false);
  for (const OnlineTile* tile : overlay) AddDraw(paint, view, *tile, true);
}

void OnlineMaps::AddDraw(TilePaint& paint, const ViewTransform& view, const OnlineTile& tile, bool overlay) {
  const int level = tile.id.level;
  const double west = TileLongitude(level, tile.id.x), east = TileLongitude(level, tile.id.x + 1);
  const double north = TileLatitude(level, tile.id.y), south = TileLatitude(level, tile.id.y + 1);
  const ScreenPoint nw = view.ToScreen(west, north), se = view.ToScreen(east, south);
  const double width = std::fabs(se.x - nw.x), height = std::fabs(se.y - nw.y);
  if (!std::isfinite(width) || !std::isfinite(height)) return;
  if (width >= kTooLarge && height >= kTooLarge) return;
  const int strips = 1 << StripExponent(view.metresPerPixel(), width);
  TileDraw draw;
  draw.id = tile.id;
  draw.picture = tile.picture.get();
  draw.overlay = overlay;
  draw.strips.reserve(strips);
  for (int i = 0; i < strips; ++i) {
    const double top = static_cast<double>(i) / strips, bottom = static_cast<double>(i + 1) / strips;
    const ScreenPoint a = view.ToScreen(west, TileLatitude(level, tile.id.y + top));
    const ScreenPoint b = view.ToScreen(east, TileLatitude(level, tile.id.y + bottom));
    draw.strips.push_back(TileStrip{top, bottom, std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                                    std::max(a.y, b.y)});
  }
  paint.draws.push_back(std::move(draw));
}

}  // namespace rovana::maps
