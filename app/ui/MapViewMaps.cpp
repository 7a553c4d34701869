#include "app/ui/MapViewMaps.h"

#include "app/maps/MapCatalogue.h"
#include "app/maps/MapImage.h"
#include "platform/picture/PictureImage.h"

namespace rovana::ui {

namespace {

bool InView(const maps::MapImage& map, const MapRequest& request) {
  const maps::MapBounds& mb = map.bounds();
  GeoBounds bounds;
  bounds.minLongitude = mb.minLon;
  bounds.maxLongitude = mb.maxLon;
  bounds.minLatitude = mb.minLat;
  bounds.maxLatitude = mb.maxLat;
  return bounds.Intersects(request.visible) && maps::ExtentOnScreen(bounds, request.metresPerPixel).area() > 100;
}

}  // namespace

std::function<std::optional<int>(const MapRequest&)> CatalogueGrid(maps::MapCatalogue& catalogue) {
  return [&catalogue](const MapRequest& request) -> std::optional<int> {
    std::optional<int> grid;
    for (const maps::MapImage* map : catalogue.VisibleCalibrated())
      if (InView(*map, request)) grid = map->grid();
    const maps::MapImage* selected = catalogue.selected();
    if (selected && selected->calibrated() && selected->visible() && InView(*selected, request)) grid = selected->grid();
    return grid;
  };
}

std::function<std::vector<MapPicture>(const MapRequest&)> CatalogueMaps(maps::MapCatalogue& catalogue) {
  return [&catalogue](const MapRequest& request) {
    std::vector<MapPicture> out;
    for (maps::MapImage* map : catalogue.VisibleCalibrated()) {
      if (!InView(*map, request)) {
        map->FreePicture();
        continue;
      }
      if (request.northUp && map->grid() == request.displayGrid)
        map->EnsurePicture(catalogue.pictures());
      else
        map->FreePicture();
      MapPicture shown;
      shown.grid = map->grid();
      shown.toPixel = map->transform();
      shown.size = QSize(map->width(), map->height());
      if (map->loaded() && map->picture()) {
        shown.picture = platform::picture::ImageOf(*map->picture());
        shown.state = MapPicture::State::Loaded;
      } else {
        shown.state = map->failed() ? MapPicture::State::Failed : MapPicture::State::Loading;
      }
      shown.selected = map == catalogue.selected();
      const maps::MapPoint r1 = map->reference1Pixel(), r2 = map->reference2Pixel();
      shown.references.emplace_back(static_cast<int>(r1.x), static_cast<int>(r1.y));
      if (map->method() == maps::CalibrationMethod::TwoPoint)
        shown.references.emplace_back(static_cast<int>(r2.x), static_cast<int>(r2.y));
      out.push_back(std::move(shown));
    }
    return out;
  };
}

}  // namespace rovana::ui
