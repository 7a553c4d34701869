#include "app/maps/LocatorGrids.h"

#include <charconv>
#include <string>

namespace rovana::maps {

void LocatorGrids::Choose(int gridId) {
  LocatorChoice choice = locator_.choice();
  if (choice.grid == gridId) return;
  choice.grid = gridId;
  locator_.Select(choice);
}

std::optional<GridCoordinates> LocatorGrids::ToGrid(double latitude, double longitude, int gridId) {
  Choose(gridId);
  locator_.SetPosition(GeoPoint(latitude, longitude));
  GridView view;
  if (!locator_.ToGridView(&view)) return std::nullopt;
  GridCoordinates out{view.northing, view.easting, 0};
  // "32U" is zone 32; State Plane and DHDN zones are the picked ones.
  std::from_chars(view.zone.data(), view.zone.data() + view.zone.size(), out.zone);
  return out;
}

std::optional<LatLon> LocatorGrids::FromGrid(double northing, double easting, int gridId, int zone) {
  Choose(gridId);
  if (zone > 0 && locator_.zoneKind() == ZoneKind::Utm) locator_.SetUtmZone(std::to_string(zone));
  if (!locator_.FromGridView(northing, easting, 0)) return std::nullopt;
  return LatLon{locator_.position().latitude(), locator_.position().longitude()};
}

double LocatorGrids::Convergence(const GeoPoint& at, int gridId) {
  Choose(gridId);
  locator_.SetPosition(at);
  return locator_.GridConvergence();
}

std::vector<GridChoice> LocatorGrids::Grids() const {
  std::vector<GridChoice> grids;
  for (const GridEntry& entry : GridCatalogue()) grids.push_back({entry.id, std::string(entry.name)});
  return grids;
}

}  // namespace rovana::maps
