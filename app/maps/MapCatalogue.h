// MapCatalogue: every raster map of the two data folders, in a fixed order
// (calibrated maps by descending ground area, then uncalibrated maps in
// discovery order), at most kMaxMaps; the selected map; which maps are
// hidden; and loading pictures for the dialogs.
//
// Settings used: primaryDataPath, secondaryDataPath (the folders scanned),
// selectedMap (the selected map's file name), hiddenMaps (names of hidden
// maps). Map pictures are files whose name ends, in any letter case, with
// ".gif", ".bmp", ".jpg", ".png" or ".ico".
//
// Threads: the user-interface thread only (Load at start-up may run on the
// loading thread while nothing else uses the catalogue or the settings).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/maps/MapImage.h"

namespace rovana {
class SettingsStore;
}

namespace rovana::maps {

class Loader;

inline constexpr std::size_t kMaxMaps = 1000;
// The extensions, in the order the folders are scanned for them.
inline constexpr std::string_view kMapExtensions[] = {".gif", ".bmp", ".jpg", ".png", ".ico"};

// Whether `name` ends with one of kMapExtensions, letter case ignored.
bool IsMapFileName(std::string_view name);

class MapCatalogue {
 public:
  // Everything must outlive the catalogue; `pictures` is the picture queue.
  MapCatalogue(SettingsStore& settings, GridConverter& grids, Loader& pictures);
  ~MapCatalogue();
  MapCatalogue(const MapCatalogue&) = delete;
  MapCatalogue& operator=(const MapCatalogue&) = delete;

  // Scans both folders (the secondary one only when it differs), reading each
  // map's calibration; `progress` gets each accepted file name. Then selects
  // the map named by selectedMap, else the first map (and stores its name).
  // Logs "Loading maps..." and "Loading %s maps from %s..." per scan.
  void Load(const std::function<void(const std::string& name)>& progress = {});
  // How many map files the same scan would accept (at most kMaxMaps).
  int CountMapFiles() const;

  // Asked before a calibration file of another picture is replaced; the
  // user interface sets it to a question box.
  void SetOverwriteHook(OverwriteHook hook) { environment_.overwrite = std::move(hook); }

  // Inserts a map by the order rule; false (and not inserted) when the
  // catalogue is full. For Load and tests.
  bool Insert(std::unique_ptr<MapImage> map);

  std::size_t size() const { return maps_.size(); }
  bool empty() const { return maps_.empty(); }
  MapImage& at(std::size_t index) const { return *maps_[index]; }
  // The maps in catalogue order.
  const std::vector<std::unique_ptr<MapImage>>& maps() const { return maps_; }
  // The maps the view may draw, in catalogue order: visible and calibrated.
  std::vector<MapImage*> VisibleCalibrated() const;
  // The first map with this name, null when none.
  MapImage* Find(std::string_view name) const;

  MapImage* selected() const { return selected_; }
  // Selects `map` (one of this catalogue's, or null) and stores its name in
  // selectedMap.
  void SetSelected(MapImage* map);

  // Adds the map's name to hiddenMaps or removes it, and sets its flag.
  void SetVisible(MapImage& map, bool visible);

  // The picture of `map` for a dialog: tries once; when not loaded, frees
  // every other map's picture and tries again up to `tries` times,
  // `sleepMs` apart. True when loaded.
  bool EnsurePictureNow(MapImage& map, int tries = 10, int sleepMs = 500);
  // Frees every picture but that of `keep` (may be null).
  void FreeOtherPictures(const MapImage* keep);

  Loader& pictures() const { return pictures_; }
  MapEnvironment& environment() { return environment_; }

 private:
  // The folders to scan, the secondary one only when it differs.
  std::vector<std::string> Folders() const;

  SettingsStore& settings_;
  Loader& pictures_;
  MapEnvironment environment_;
  std::vector<std::unique_ptr<MapImage>> maps_;
  MapImage* selected_ = nullptr;
};

}  // namespace rovana::maps
