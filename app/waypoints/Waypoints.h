// Waypoints: the registry of GPX files and their collections: the file list
// in load order, the collection list (POIs collections at the front, routes
// and tracks at the back), the current collection and the recording track.
// One object owns them all (the application); the lists are changed from
// the user-interface thread only.
#pragma once

#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/waypoints/GpxParser.h"
#include "app/waypoints/POIs.h"

namespace rovana {

class SettingsStore;

// Language texts and hooks the registry needs from the application.
struct WaypointsConfig {
  std::string poisName = "POIs";          // default name of a POIs collection
  std::string routeName = "Route/Track";  // default name of a route or track
  // Distance text in the user's unit for list labels.
  std::function<std::string(double metres)> distanceText;
  // Statistics for each new collection; PlainStatistics without one.
  std::function<std::unique_ptr<CollectionStatistics>()> statisticsFactory;
};

class Waypoints {
 public:
  Waypoints(SettingsStore& settings, WaypointsConfig config = {});
  ~Waypoints();
  Waypoints(const Waypoints&) = delete;
  Waypoints& operator=(const Waypoints&) = delete;

  // Finds "*.gpx" files (the end of the name, any case) in
  // `secondaryDataPath`, then in `primaryDataPath` when it differs, and
  // reads each completely. Returns the number of files found.
  // `progress` hears each file read, with the number found. The first
  // file's POIs collection becomes current when the setting names none.
  int LoadAll(const std::function<void(int loaded, int total)>& progress = {});
  // The number of "*.gpx" files LoadAll would find.
  int CountFiles() const;

  // A new file object in `folder` (nothing read) with its empty POIs
  // collection.
  GpxParser& AddFile(const std::filesystem::path& folder, std::string name, bool secondary, LoadState state);
  // A new empty file in `primaryDataPath`, loaded, written by its first save.
  GpxParser& NewFile(std::string name);
  // At least 5 characters, ending in ".gpx" (any case), a bare file name,
  // and no loaded file of that name (any case).
  enum class NameCheck { Good, Bad, Exists };
  NameCheck CheckNewName(std::string_view name) const;
  // Moves the file (and its attachment folder) to `newName` in its folder;
  // never replaces an existing file. False when refused or failed.
  bool RenameFile(GpxParser& file, const std::string& newName);
  // Deletes the file on disk; the object stays.
  bool DeleteFileOnDisk(GpxParser& file);

  POIs& AddCollection(GpxParser& file, PoisKind kind);
  // Refused (false) while the file is pinned and for the recording track. With `cleanUp`, a file left
  // without routes, tracks or points is deleted from disk and dropped;
  // otherwise a file whose POIs collection went gets a new empty one.
  bool DeleteCollection(POIs& collection, bool cleanUp);

  const std::list<std::unique_ptr<GpxParser>>& files() const { return files_; }
  std::vector<POIs*> Collections() const;
  std::vector<POIs*> CollectionsOf(const GpxParser& file) const;
  POIs* FindByFullName(std::string_view fullName) const;
  POIs* Find(const GpxParser& file, int number) const;
  // The file's first POIs collection, or with `routeOrTrack` its first route
  // or track.
  POIs* FirstOf(const GpxParser& file, bool routeOrTrack = false) const;

  // Stores the full name in `selectedPOIs` (null: no current collection).
  void MakeCurrent(POIs* collection);
  POIs* current() const { return current_; }
  GpxParser* currentFile() const { return currentFile_; }
  void SetCurrentFile(GpxParser* file);
  // The track that GPS positions go to; the filter decides what it keeps
  // (every point without one).
  void SetRecordingTrack(POIs* track, RecordingFilter filter = {});
  POIs* recordingTrack() const { return recording_; }
  const RecordingFilter& recordingFilter() const { return recordingFilter_; }

  // Union of the file's collections' bounds.
  void RecomputeBounds(GpxParser& file);
  // Shown when any collection of the file is visible.
  void RecomputeShown(GpxParser& file);
  // Saves (when modified) and drops the points of every loaded, unpinned
  // file outside `visible` that holds neither the current collection nor the
  // recording track. A file that cannot be saved keeps its points.
  void UnloadOutside(const GeoBounds& visible);
  // Reads an unloaded file again; true when its points are in memory.
  bool EnsureLoaded(GpxParser& file);
  // Saves every modified file; true when all were saved.
  bool SaveAll();

  SettingsStore& settings() const { return settings_; }
  const WaypointsConfig& config() const { return config_; }
  std::unique_ptr<CollectionStatistics> NewStatistics() const;
  // `secondaryDataPath`, then `primaryDataPath` when it differs.
  std::vector<std::string> DataFolders() const;

  // For POIs: forgets a collection being destroyed.
  void Forget(const POIs& collection);
  // For POIs: a renamed collection may have become current.
  void NameChanged(POIs& collection);

 private:
  SettingsStore& settings_;
  WaypointsConfig config_;
  std::list<std::unique_ptr<GpxParser>> files_;
  std::list<std::unique_ptr<POIs>> collections_;
  POIs* current_ = nullptr;
  GpxParser* currentFile_ = nullptr;
  POIs* recording_ = nullptr;
  RecordingFilter recordingFilter_;
};

}  // namespace rovana
