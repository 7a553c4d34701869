// MapView: paints the map layers of the main screen with a QPainter: the
// online tiles, the map
// pictures (or their outlines), the grid lines, the collections of points,
// routes and tracks, the direction line, the marker, the user symbol with
// its heading arrow, and the overlays the main screen places in its button
// rectangles (the compass with its rim markers, the zoom bar's scale).
//
// The geometry is maps::ViewTransform's; this class keeps the last
// transform and the pending drag offset between paints. What other rooms
// supply comes in through MapViewInputs, each part optional: without them
// the view draws without maps, with a grid convergence of 0, and leaves the
// locator lines empty.
//
// Lines and outlines are clipped to the screen plus a margin before QPainter
// sees them. UI thread only.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/maps/OnlineMaps.h"
#include "app/maps/ViewTransform.h"
#include "app/processing/MatrixT.h"
#include "app/screen/ScreenRules.h"
#include "app/waypoints/GeoPoint.h"
#include "app/waypoints/POIs.h"

class QPainter;

namespace rovana {
class SettingsStore;
class Waypoints;
}  // namespace rovana

namespace rovana::ui {

class SymbolTable;

// One map the catalogue shows in the visible area.
struct MapPicture {
  enum class State { Loaded, Loading, Failed };
  QImage picture;   // null while it is decoded or after a failure
  int grid = 0;     // the grid its calibration is aligned to
  matrixT toPixel;  // 3 x 3: (longitude, latitude, 1) in radians to picture pixels
  QSize size;       // the picture's pixel size, known before it is decoded
  State state = State::Loading;
  bool selected = false;            // the current map: calibration marks in calibration mode
  std::vector<QPoint> references;  // its calibration's reference pixels
};

// What the catalogue is asked for on every paint.
struct MapRequest {
  GeoBounds visible;
  double metresPerPixel = 0;
  bool northUp = true;  // pictures are drawn only then; otherwise outlines
  int displayGrid = 0;  // only maps aligned to it show their pictures
};

// A buddy on the map: where, and how old that position is.
struct MapBuddy {
  GeoPoint position;
  int ageSeconds = 0;
};

struct MapViewInputs {
  // Angle from true north to the north of grid `gridId` at a position.
  std::function<double(const GeoPoint&, int gridId)> gridConvergence;
  // The locator box's lines for a position.
  std::function<std::vector<std::string>(const GeoPoint&)> locatorLines;
  // The maps to draw, in catalogue order, for the visible area.
  std::function<std::vector<MapPicture>(const MapRequest&)> maps;
  // With `gridAuto`: the grid of the map the view should align to, the
  // selected map when it is in view, else the last one in view; nothing
  // when no map is.
  std::function<std::optional<int>(const MapRequest&)> autoGrid;
  // The navigation target, when one is set.
  std::function<std::optional<GeoPoint>()> target;
  // The trainer's position while it runs or has finished.
  std::function<std::optional<GeoPoint>()> trainer;
  // The direction prompt the compass shows in its centre (the Target's
  // DirectionPrompt as a number, 0 for none).
  std::function<int()> directionPrompt;
  // The buddies with a position (their nickname as the point's name).
  std::function<std::vector<MapBuddy>()> buddies;
  // A text of the language table by entry number (the compass letters).
  std::function<std::string(int entry)> text;
  // The online tiles under the maps of a north-up view (OnlineMaps::Paint
  // with the settings of the moment); none without it.
  std::function<maps::TilePaint(const maps::ViewTransform&)> tiles;
  // The tile status line shown with `labels2Enabled`; empty: none.
  std::function<std::string()> tileStatus;
};


// What changes from paint to paint.
struct MapFrame {
  int width = 240, height = 320, dpi = 96;
  std::optional<GeoPoint> user;  // the extrapolated user position
  double course = 0;             // the live moving heading, radians
  std::optional<GeoPoint> marker;
  bool calibrationMode = false;
  int verticalOffsetUnits = -13;
};

class MapView {
 public:
  explicit MapView(SettingsStore& settings);

  void SetInputs(MapViewInputs inputs) { inputs_ = std::move(inputs); }
  const MapViewInputs& inputs() const { return inputs_; }

  // Builds the transform from the bound view parameters (following the
  // marker or the user as the settings say) and stores pan, zoom and
  // rotation back.
  const maps::ViewTransform& Build(const screen::ViewBinding& view, const MapFrame& frame);
  const maps::ViewTransform& transform() const { return transform_; }
  // Moves the picture by (dx, dy) pixels and rebuilds the transform.
  void PanBy(const screen::ViewBinding& view, int dx, int dy);
  // Forgets the drag offset kept while the view follows the user.
  void ClearDrag() { dragX_ = dragY_ = 0; }

  // The layers under the overlays, in paint order; `waypoints` and
  // `symbols` may be null. Offers files outside the view for unloading.
  void PaintLayers(QPainter& painter, const MapFrame& frame, Waypoints* waypoints, const SymbolTable* symbols);
  // The compass rose in `area` with its needle, rim markers and range.
  void PaintCompass(QPainter& painter, const QRect& area, const MapFrame& frame, Waypoints* waypoints,
                    const SymbolTable* symbols);
  // The scale bar and its label above the zoom bar.
  void PaintScale(QPainter& painter, const QRect& zoomBar, int dpi);
  // The grid whose north is up: the locator's grid, or with `gridAuto` the
  // grid of the maps in view.
  int displayGrid() const;
  // The locator box's lines for the marker, else the user; empty without
  // the input.
  std::vector<std::string> LocatorLines(const MapFrame& frame) const;

  // What the last paint drew, for tests and the status of the screen.
  struct Arrow {
    QPointF from, to;
    double angle = 0;  // radians clockwise from straight up
  };
  const std::optional<Arrow>& headingArrow() const { return arrow_; }
  int mapsDrawn() const { return mapsDrawn_; }
  int collectionsDrawn() const { return collectionsDrawn_; }
  std::size_t verticesDrawn() const { return verticesDrawn_; }
  int audioMarksDrawn() const { return audioMarksDrawn_; }
  int buddiesDrawn() const { return buddiesDrawn_; }
  int tilesDrawn() const { return tilesDrawn_; }

  static constexpr double kClipMargin = 64;  // pixels beyond the screen edges

 private:
  void PaintMaps(QPainter& painter, const MapFrame& frame);
  // The online tiles (MapViewTiles.cpp), and their status line on top.
  void PaintTiles(QPainter& painter);
  void PaintTileStatus(QPainter& painter, const MapFrame& frame);
  void PaintGrid(QPainter& painter);
  void PaintCollections(QPainter& painter, const MapFrame& frame, Waypoints& waypoints, const SymbolTable* symbols);
  void PaintUser(QPainter& painter, const MapFrame& frame, const SymbolTable* symbols);
  // The screen rectangle the symbol took, empty when nothing was drawn.
  QRect DrawSymbol(QPainter& painter, const GeoPoint& at, const std::string& name, const SymbolTable* symbols,
                   int dpi);
  // A collection's point: its own symbol, and the note mark when it has an
  // audio note.
  void DrawPoint(QPainter& painter, const GeoPoint& point, const SymbolTable* symbols, int dpi);

  SettingsStore& settings_;
  MapViewInputs inputs_;
  maps::ViewTransform transform_;
  MapFrame lastFrame_;
  screen::ViewBinding lastView_;
  std::optional<int> autoGrid_;  // the last grid `gridAuto` chose
  double dragX_ = 0, dragY_ = 0;
  std::optional<Arrow> arrow_;
  int mapsDrawn_ = 0, collectionsDrawn_ = 0, audioMarksDrawn_ = 0, buddiesDrawn_ = 0, tilesDrawn_ = 0;
  std::size_t verticesDrawn_ = 0;
  struct Label {
    QPointF at;
    std::string text;
  };
  std::vector<Label> labels_;
};

// 0x00BBGGRR as a colour.
QColor ColourOfBgr(std::uint32_t bgr);
// Draws the clipped runs as polylines; returns the vertices drawn.
std::size_t DrawRuns(QPainter& painter, const maps::ClippedPath& path);

}  // namespace rovana::ui
