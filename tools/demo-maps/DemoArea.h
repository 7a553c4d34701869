// The made-up town around the demo drive: the lake the drive goes round
// (the Aussenalster), the small lake south of it, the river and a canal,
// a wide river at the south edge, parks and woods, main roads (the drive's
// own loop among them, drawn along the drive's fixes) and streets, and
// the names on them. Everything is in degrees (WGS 84 latitude and
// longitude) and derived from the demo drive's options, so the maps drawn
// from it line up with the demo drive and the demo GPX file.
#pragma once

#include <string>
#include <vector>

namespace demomaps {

struct LatLon {
  double lat = 0, lon = 0;  // degrees
};

enum class AreaKind { Water, Park, Wood, Building };
struct Area {
  AreaKind kind;
  std::vector<LatLon> outline;  // closed
};

enum class LineKind { River, Street, MainRoad, Ferry };
struct Line {
  LineKind kind;
  std::vector<LatLon> points;
  double widthMetres = 0;  // water and roads
};

enum class LabelKind { Water, Park, Road, Landmark, Pier, Place };
struct Label {
  LabelKind kind;
  std::string text;  // UTF-8
  LatLon at;
  double angleDegrees = 0;    // text direction, counter-clockwise from east
  double maxMetresPerPixel = 1e9;  // shown only on maps at least this detailed
};

struct Scene {
  std::vector<Area> areas;    // drawn in order
  std::vector<Line> lines;    // drawn by kind: rivers, streets, main roads, ferry
  std::vector<Label> labels;
  std::vector<LatLon> drive;  // the demo drive's fixes, standing still removed
};

// The town: built once from the demo drive (its log decoded for the loop
// road) and the demo GPX file's landmarks and piers.
const Scene& DemoScene();

// The streets of the grid: a square grid of `spacingMetres`, turned a
// little, over the square of `halfSizeMetres` around the lake's centre.
std::vector<Line> StreetGrid(double spacingMetres, double halfSizeMetres);
// The houses between those streets: a block a little inside each square
// of the grid, some squares split in two and some left open.
std::vector<Area> HouseBlocks(double spacingMetres, double halfSizeMetres);

}  // namespace demomaps
