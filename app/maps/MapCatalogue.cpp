#include "app/maps/MapCatalogue.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"

namespace rovana::maps {
namespace {

namespace fs = std::filesystem;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  text.remove_prefix(text.size() - end.size());
  for (std::size_t i = 0; i < end.size(); ++i)
    if (Upper(text[i]) != Upper(end[i])) return false;
  return true;
}

// Regular files of `folder` ending with `extension`, sorted by name so that
// discovery order does not depend on the file system.
std::vector<std::string> FilesWith(const std::string& folder, std::string_view extension) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (EndsWithNoCase(name, extension)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

bool IsMapFileName(std::string_view name) {
  for (std::string_view extension : kMapExtensions)
    if (EndsWithNoCase(name, extension) && name.size() > extension.size()) return true;
  return false;
}

MapCatalogue::MapCatalogue(SettingsStore& settings, GridConverter& grids, Loader& pictures)
    : settings_(settings), pictures_(pictures), environment_{grids, settings.hiddenMaps, {}} {}

MapCatalogue::~MapCatalogue() = default;

std::vector<std::string> MapCatalogue::Folders() const {
  std::vector<std::string> folders{settings_.primaryDataPath};
  auto normal = [](const std::string& folder) {
    fs::path path = fs::path(folder).lexically_normal();
    return path.has_filename() ? path : path.parent_path();  // "data/" is "data"
  };
  const fs::path primary = normal(settings_.primaryDataPath);
  const fs::path secondary = normal(settings_.secondaryDataPath);
  if (!settings_.secondaryDataPath.empty() && secondary != primary) folders.push_back(settings_.secondaryDataPath);
  return folders;
}

bool MapCatalogue::Insert(std::unique_ptr<MapImage> map) {
  if (!map || maps_.size() >= kMaxMaps) return false;
  auto position = maps_.begin();
  if (map->calibrated()) {
    // After every calibrated map at least as large.
    while (position != maps_.end() && (*position)->calibrated() && (*position)->area() >= map->area()) ++position;
  } else {
    position = maps_.end();
  }
  try {
    maps_.insert(position, std::move(map));
  } catch (const std::bad_alloc&) {
    LogMessage("MapCatalogue: no memory for another map");
    return false;
  }
  return true;
}

void MapCatalogue::Load(const std::function<void(const std::string& name)>& progress) {
  LogMessage("Loading maps...");
  for (const std::string& folder : Folders()) {
    for (std::string_view extension : kMapExtensions) {
      const std::string ext(extension);
      LogMessage("Loading %s maps from %s...", ext.c_str(), folder.c_str());
      for (const std::string& name : FilesWith(folder, extension)) {
        if (maps_.size() >= kMaxMaps) break;
        if (name.size() <= extension.size()) continue;
        if (progress) progress(name);
        std::unique_ptr<MapImage> map(new (std::nothrow) MapImage(environment_, folder, name));
        if (!map) {
          LogMessage("MapCatalogue: no memory for %s", name.c_str());
          continue;
        }
        Insert(std::move(map));
      }
    }
  }
  selected_ = Find(settings_.selectedMap);
  if (!selected_ && !maps_.empty()) SetSelected(maps_.front().get());
}

int MapCatalogue::CountMapFiles() const {
  std::size_t count = 0;
  for (const std::string& folder : Folders())
    for (std::string_view extension : kMapExtensions)
      for (const std::string& name : FilesWith(folder, extension))
        if (name.size() > extension.size() && count < kMaxMaps) ++count;
  return static_cast<int>(count);
}

std::vector<MapImage*> MapCatalogue::VisibleCalibrated() const {
  std::vector<MapImage*> drawable;
  for (const auto& map : maps_)
    if (map->visible() && map->calibrated()) drawable.push_back(map.get());
  return drawable;
}

MapImage* MapCatalogue::Find(std::string_view name) const {
  for (const auto& map : maps_)
    if (map->name() == name) return map.get();
  return nullptr;
}

void MapCatalogue::SetSelected(MapImage* map) {
  auto listed = std::find_if(maps_.begin(), maps_.end(), [map](const auto& m) { return m.get() == map; });
  if (map && listed == maps_.end()) return;
  selected_ = map;
  if (map) settings_.selectedMap = map->name();
}

void MapCatalogue::SetVisible(MapImage& map, bool visible) {
  if (visible)
    settings_.hiddenMaps.Remove(map.name());
  else
    settings_.hiddenMaps.Add(map.name());
  map.setVisible(visible);
}

void MapCatalogue::FreeOtherPictures(const MapImage* keep) {
  for (const auto& map : maps_)
    if (map.get() != keep) map->FreePicture();
}

bool MapCatalogue::EnsurePictureNow(MapImage& map, int tries, int sleepMs) {
  if (map.EnsurePicture(pictures_)) return true;
  FreeOtherPictures(&map);
  for (int i = 0; i < tries; ++i) {
    if (map.EnsurePicture(pictures_)) return true;
    if (map.failed()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
  }
  return map.EnsurePicture(pictures_);
}

}  // namespace rovana::maps
