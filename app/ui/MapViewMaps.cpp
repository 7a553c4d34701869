#include "app/ui/MapViewMaps.h"

#include "app/maps/MapCatalogue.h"
#include "app/maps/MapImage.h"
#include "platform/picture/PictureImage.h"

namespace rovana::ui {

std::function<std::vector<MapPicture>(const MapRequest&)> CatalogueMaps(maps::MapCatalogue& catalogue) {
  return [&catalogue](const MapRequest& request) {
    std::vector<MapPicture> out;
    for (maps::MapImage* map : catalogue.VisibleCalibrated()) {
      const maps::MapBounds& mb = map->bounds();
      GeoBounds bounds;
      bounds.minLongitude = mb.minLon;
      bounds.maxLongitude = mb.maxLon;
      bounds.minLatitude = mb.minLat;
      bounds.maxLatitude = mb.maxLat;
      if (!bounds.Intersects(request.visible) || maps::ExtentOnScreen(bounds, request.metresPerPixel).area() <= 100) {
        map->FreePicture();
        continue;
      }
      if (request.northUp)
        map->EnsurePicture(catalogue.pictures());
      else
        map->FreePicture();
      MapPicture shown;
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
