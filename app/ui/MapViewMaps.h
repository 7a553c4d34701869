// The map view's maps input over the raster map catalogue: on every paint,
// the visible, calibrated maps in catalogue order whose bounds meet the
// visible area. A map no larger than 10 x 10 screen pixels, or outside the
// view, has its picture freed and is left out; a map in view asks for its
// picture when the view is north-up (it shows grey while it is decoded,
// light red when that failed) and frees it otherwise (it shows as its
// outline).
#pragma once

#include <functional>
#include <vector>

#include "app/ui/MapView.h"

namespace rovana::maps {
class MapCatalogue;
}

namespace rovana::ui {

// `catalogue` must outlive the function.
std::function<std::vector<MapPicture>(const MapRequest&)> CatalogueMaps(maps::MapCatalogue& catalogue);

}  // namespace rovana::ui
