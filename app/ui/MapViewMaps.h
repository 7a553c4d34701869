// The map view's maps input over the raster map catalogue: on every paint,
// the visible, calibrated maps in catalogue order whose bounds meet the
// visible area. A map no larger than 10 x 10 screen pixels, or outside the
// view, has its picture freed and is left out; a map in view asks for its
// picture when the view is north-up (it shows grey while it is decoded,
// light red when that failed) and frees it otherwise (it shows as its
// outline). A map aligned to another grid than the view's shows as its
// outline too: its picture would not lie square on the screen.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "app/ui/MapView.h"

namespace rovana::maps {
class MapCatalogue;
}

namespace rovana::ui {

// `catalogue` must outlive the functions.
std::function<std::vector<MapPicture>(const MapRequest&)> CatalogueMaps(maps::MapCatalogue& catalogue);
// The map view's `autoGrid`: the grid of the last map in view in catalogue
// order, or of the selected map when it is in view.
std::function<std::optional<int>(const MapRequest&)> CatalogueGrid(maps::MapCatalogue& catalogue);

}  // namespace rovana::ui
