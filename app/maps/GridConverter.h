// How map calibration reaches the map grids: conversions between WGS 84
// latitude/longitude and a grid's northing/easting, and the list of grids a
// calibration may be aligned to. The application's implementation goes
// through the coordinate locator (the component library's Position); tests
// use a small UTM of their own.
//
// Grid 0 ("Default", aligned to geographic north) is never asked for: the
// calibration measures such maps on the sphere itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rovana::maps {

struct GridCoordinates {
  double northing = 0;  // metres
  double easting = 0;   // metres
  int zone = 0;         // the zone the forward conversion used; 0 for unzoned grids
};

struct LatLon {
  double latitude = 0;   // radians, WGS 84
  double longitude = 0;  // radians, WGS 84
};

struct GridChoice {
  int id = 0;
  std::string name;
};

class GridConverter {
 public:
  virtual ~GridConverter() = default;
  // Nothing when the position lies outside the grid or the grid is unknown.
  virtual std::optional<GridCoordinates> ToGrid(double latitude, double longitude, int gridId) = 0;
  // Back from grid coordinates in `gridId` and `zone` (the zone ToGrid gave).
  virtual std::optional<LatLon> FromGrid(double northing, double easting, int gridId, int zone) = 0;
  // The grid catalogue in the order the user sees it; its first entry is
  // the grid of a map whose file names none.
  virtual std::vector<GridChoice> Grids() const = 0;
  bool HasGrid(int gridId) const {
    for (const GridChoice& grid : Grids())
      if (grid.id == gridId) return true;
    return false;
  }
};

}  // namespace rovana::maps
