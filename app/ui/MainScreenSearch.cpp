// The main screen's search commands: GPX › Search fills the current file's
// POIs collection from a provider around the visible map area, and Tools ›
// Geocoder finds an address, shown on the map or made the target. The
// requests run on a pool thread (OnlineServices::RunBlocking) while the
// dialog waits, so that questions about going online can still be asked.
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "app/dialogs/GeocoderDialog.h"
#include "app/dialogs/SearchDialog.h"
#include "app/online/Geocoder.h"
#include "app/online/Search.h"
#include "app/processing/Target.h"
#include "app/ui/MainScreen.h"
#include "app/ui/OnlineServices.h"
#include "app/waypoints/Waypoints.h"

namespace rovana::ui {
namespace {

// Half the side of the area searched before the first paint has measured
// the visible one (radians, about 1 km).
constexpr double kDefaultHalfSpan = 1.6e-4;

}  // namespace

void MainScreen::ShowOnMap(const GeoPoint& point) {
  if (!view_.translateX || !view_.translateY) return;
  // Following would pull the view back at once.
  context_.settings.followUser = false;
  context_.settings.followMarker = false;
  *view_.translateX = -point.longitude();
  *view_.translateY = -point.latitude();
  mapView_.ClearDrag();
  pan_ = {};
  SetMarker(point);
  update();
}

void MainScreen::OpenSearch() {
  Waypoints* waypoints = context_.waypoints;
  OnlineServices* services = context_.services;
  if (!waypoints || !services) {
    LogMessage("No online services: the command is not available");
    return;
  }
  if (!waypoints->currentFile()) {
    LogMessage("Search: no current GPX file");
    return;
  }
  SettingsStore& settings = context_.settings;
  const LanguageTable& language = context_.language;
  auto run = [this, waypoints, services, &settings, &language]() -> dialogs::SearchRunResult {
    const SearchSettings s = SearchSettingsOf(settings);
    SearchArea area;
    const GeoBounds& visible = mapView_.transform().visible();
    if (!visible.Empty()) {
      area.minLongitude = visible.minLongitude;
      area.maxLongitude = visible.maxLongitude;
      area.minLatitude = visible.minLatitude;
      area.maxLatitude = visible.maxLatitude;
      area.centre = GeoPoint((visible.minLatitude + visible.maxLatitude) / 2, (visible.minLongitude + visible.maxLongitude) / 2);
    } else {
      const GeoPoint centre(view_.translateY ? -*view_.translateY : 0, view_.translateX ? -*view_.translateX : 0);
      area.centre = centre;
      area.minLatitude = centre.latitude() - kDefaultHalfSpan;
      area.maxLatitude = centre.latitude() + kDefaultHalfSpan;
      area.minLongitude = centre.longitude() - kDefaultHalfSpan;
      area.maxLongitude = centre.longitude() + kDefaultHalfSpan;
    }
    const GeocacheTexts texts = GeocacheTextsOf(language, s.geocacheHost);
    const SearchTransport transport = services->SearchRequests();
    SearchReply reply;
    services->RunBlocking([&] { reply = FetchSearch(s, area, transport, texts); });
    const SearchResult r = ApplySearch(*waypoints, std::move(reply), s, language, services->online());
    if (r.success && r.first && r.collection) {
      const GeoPoint first = *r.first;
      ShowOnMap(first);
      SetMarker(first, MarkedPoint{r.collection, r.first});
    }
    return {r.success, r.text};
  };
  dialogs::SearchDialog dialog(settings, language, run, this, Asker());
  RunModal(dialog);
  UpdateMenuStates();
  update();
}

void MainScreen::OpenGeocoder() {
  OnlineServices* services = context_.services;
  if (!services) {
    LogMessage("No online services: the command is not available");
    return;
  }
  const SettingsStore& settings = context_.settings;
  const LanguageTable& language = context_.language;
  dialogs::GeocoderActions actions;
  actions.geocode = [services, &settings, &language]() -> dialogs::GeocodeRunResult {
    const std::string address = GeocoderAddress(settings.geoCountry, settings.geoCity, settings.geoStreet);
    const auto request = services->SearchRequests().service;
    GeocodeResult r;
    services->RunBlocking([&] { r = Geocode(address, request, language, [services] { return services->online(); }); });
    return {r.success, r.point, r.text};
  };
  actions.showOnMap = [this](const GeoPoint& point) { ShowOnMap(point); };
  if (Target* target = context_.target) {
    actions.setTarget = [this, target](const GeoPoint& point) {
      target->SetPositionTarget(point);
      LogMessage("Target set on a geocoded place");
      UpdateMenuStates();
      update();
    };
  }
  dialogs::GeocoderDialog dialog(context_.settings, language, std::move(actions), this);
  RunModal(dialog);
  UpdateMenuStates();
  update();
}

}  // namespace rovana::ui
