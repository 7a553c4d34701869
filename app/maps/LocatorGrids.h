// The map calibration's grid conversions through a Locator of its own (the
// component library's Position), and the grid catalogue as the list of
// grids a map may be aligned to.
#pragma once

#include <memory>

#include "app/coords/Locator.h"
#include "app/maps/GridConverter.h"

namespace rovana::maps {

class LocatorGrids final : public GridConverter {
 public:
  // `locator` is used on the user-interface thread only, as calibration is.
  explicit LocatorGrids(Locator& locator) : locator_(locator) {}

  std::optional<GridCoordinates> ToGrid(double latitude, double longitude, int gridId) override;
  std::optional<LatLon> FromGrid(double northing, double easting, int gridId, int zone) override;
  std::vector<GridChoice> Grids() const override;
  // The angle from true north to the grid's north at a position (0 for the
  // grid "Default"); what the map view turns by when it shows maps of that
  // grid north-up.
  double Convergence(const GeoPoint& at, int gridId);

 private:
  void Choose(int gridId);

  Locator& locator_;
};

}  // namespace rovana::maps
