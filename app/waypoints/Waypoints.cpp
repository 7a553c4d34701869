// The registry of GPX files and collections: finding and loading files,
// current and recording collections, deletion with clean-up, unloading.
#include "app/waypoints/Waypoints.h"

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <cctype>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/SettingsStore.h"

namespace rovana {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool EndsWithGpx(std::string_view name) { return name.size() >= 4 && Upper(name.substr(name.size() - 4)) == ".GPX"; }

bool BareName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// rename() that never replaces an existing file.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

}  // namespace

Waypoints::Waypoints(SettingsStore& settings, WaypointsConfig config)
    : settings_(settings), config_(std::move(config)) {}

Waypoints::~Waypoints() {
  recording_ = nullptr;
  collections_.clear();
  files_.clear();
}

std::unique_ptr<CollectionStatistics> Waypoints::NewStatistics() const {
  if (config_.statisticsFactory)
    if (auto made = config_.statisticsFactory()) return made;
  return std::make_unique<PlainStatistics>();
}

std::vector<std::string> Waypoints::DataFolders() const {
  std::vector<std::string> folders{settings_.secondaryDataPath};
  if (settings_.primaryDataPath != settings_.secondaryDataPath) folders.push_back(settings_.primaryDataPath);
  return folders;
}

int Waypoints::CountFiles() const {
  int count = 0;
  for (const std::string& folder : DataFolders()) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
      if (EndsWithGpx(it->path().filename().string()) && it->is_regular_file(error)) ++count;
  }
  return count;
}

int Waypoints::LoadAll(const std::function<void(int loaded, int total)>& progress) {
  LogMessage("Loading GpxParser files (*.gpx)...");
  int found = 0;
  for (const std::string& folder : DataFolders()) {
    LogMessage("Loading GpxParser files from %s...", folder.c_str());
    std::error_code error;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (EndsWithGpx(name) && it->is_regular_file(error)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (std::string& name : names) {
      AddFile(folder, std::move(name), folder == settings_.primaryDataPath, LoadState::Reading);
      ++found;
    }
  }
  int loaded = 0;
  for (const auto& file : files_) {
    if (file->loadState() != LoadState::Reading) continue;
    file->Load();
    if (progress) progress(++loaded, found);
  }
  // Without a remembered collection the first file's POIs are current (the
  // setting is written only when the user chooses).
  if (!current_ && !files_.empty()) {
    currentFile_ = files_.front().get();
    current_ = FirstOf(*currentFile_);
  }
  return found;
}

GpxParser& Waypoints::AddFile(const std::filesystem::path& folder, std::string name, bool secondary,
                              LoadState state) {
  files_.push_back(std::make_unique<GpxParser>(*this, folder, std::move(name), secondary, state));
  GpxParser& file = *files_.back();
  AddCollection(file, PoisKind::POIs);
  return file;
}

GpxParser& Waypoints::NewFile(std::string name) {
  return AddFile(settings_.primaryDataPath, std::move(name), true, LoadState::Loaded);
}

Waypoints::NameCheck Waypoints::CheckNewName(std::string_view name) const {
  if (name.size() < 5 || !EndsWithGpx(name) || !BareName(name)) return NameCheck::Bad;
  for (const auto& file : files_)
    if (Upper(file->name()) == Upper(name)) return NameCheck::Exists;
  return NameCheck::Good;
}

bool Waypoints::RenameFile(GpxParser& file, const std::string& newName) {
  if (!BareName(newName) || newName.find("..") != std::string::npos) return false;
  const std::filesystem::path oldAttachments = file.AttachmentFolder();
  if (!RenameNoReplace(file.path(), file.folder() / newName)) {
    LogMessage("Cannot rename %s to %s", file.path().c_str(), newName.c_str());
    return false;
  }
  file.SetSource(file.folder(), newName);
  std::error_code error;
  if (std::filesystem::is_directory(oldAttachments, error))
    RenameNoReplace(oldAttachments, file.AttachmentFolder());  // a failure leaves the notes where they are
  return true;
}

bool Waypoints::DeleteFileOnDisk(GpxParser& file) { return file.DeleteFile(); }

POIs& Waypoints::AddCollection(GpxParser& file, PoisKind kind) {
  auto made = std::make_unique<POIs>(*this, file, kind, file.NextNumber());
  POIs& collection = *made;
  if (kind == PoisKind::POIs)
    collections_.push_front(std::move(made));
  else
    collections_.push_back(std::move(made));
  collection.SetVisibleFromSettings();
  return collection;
}

bool Waypoints::DeleteCollection(POIs& collection, bool cleanUp) {
  GpxParser& file = collection.file();
  // The recording track is deleted only once its recording stopped: the
  // GPS thread may be appending to it.
  if (file.pinned() || &collection == recording_) return false;
  file.MarkModified();
  const bool wasPois = collection.kind() == PoisKind::POIs;
  collections_.remove_if([&](const auto& c) { return c.get() == &collection; });
  bool keepsSomething = false;
  for (POIs* c : CollectionsOf(file))
    keepsSomething = keepsSomething || c->kind() != PoisKind::POIs || c->count() > 0;
  if (cleanUp && !keepsSomething) {
    file.DeleteFile();
    collections_.remove_if([&](const auto& c) { return &c->file() == &file; });
    if (currentFile_ == &file) currentFile_ = nullptr;
    files_.remove_if([&](const auto& f) { return f.get() == &file; });
    return true;
  }
  if (wasPois && !FirstOf(file)) AddCollection(file, PoisKind::POIs);
  RecomputeBounds(file);
  return true;
}

std::vector<POIs*> Waypoints::Collections() const {
  std::vector<POIs*> out;
  for (const auto& c : collections_) out.push_back(c.get());
  return out;
}

std::vector<POIs*> Waypoints::CollectionsOf(const GpxParser& file) const {
  std::vector<POIs*> out;
  for (const auto& c : collections_)
    if (&c->file() == &file) out.push_back(c.get());
  return out;
}

POIs* Waypoints::FindByFullName(std::string_view fullName) const {
  for (const auto& c : collections_)
    if (c->FullName() == fullName) return c.get();
  return nullptr;
}

POIs* Waypoints::Find(const GpxParser& file, int number) const {
  for (const auto& c : collections_)
    if (&c->file() == &file && c->number() == number) return c.get();
  return nullptr;
}

POIs* Waypoints::FirstOf(const GpxParser& file, bool routeOrTrack) const {
  for (const auto& c : collections_)
    if (&c->file() == &file && (c->kind() != PoisKind::POIs) == routeOrTrack) return c.get();
  return nullptr;
}

void Waypoints::MakeCurrent(POIs* collection) {
  current_ = collection;
  if (collection) {
    currentFile_ = &collection->file();
    // Unchanged while a file is read on the loading thread.
    if (std::string name = collection->FullName(); name != settings_.selectedPOIs) settings_.selectedPOIs = std::move(name);
  }
}

void Waypoints::SetCurrentFile(GpxParser* file) {
  currentFile_ = file;
  current_ = nullptr;
}

void Waypoints::SetRecordingTrack(POIs* track, RecordingFilter filter) {
  recording_ = track;
  recordingFilter_ = track ? std::move(filter) : RecordingFilter{};
}

void Waypoints::RecomputeBounds(GpxParser& file) {
  GeoBounds bounds;
  for (POIs* c : CollectionsOf(file)) bounds.Join(c->bounds());
  file.SetBounds(bounds);
}

void Waypoints::RecomputeShown(GpxParser& file) {
  bool shown = false;
  for (POIs* c : CollectionsOf(file)) shown = shown || c->visible();
  file.SetShown(shown);
}

void Waypoints::UnloadOutside(const GeoBounds& visible) {
  for (const auto& file : files_) {
    if (file->loadState() == LoadState::Unloaded || file->pinned()) continue;
    if (file->bounds().Intersects(visible)) continue;
    if ((current_ && &current_->file() == file.get()) || (recording_ && &recording_->file() == file.get())) continue;
    if (!file->SaveIfModified(settings_.saveDataUnicode)) continue;  // keep unsaved points in memory
    for (POIs* c : CollectionsOf(*file)) c->Unload();
    file->SetLoadState(LoadState::Unloaded);
  }
}

bool Waypoints::EnsureLoaded(GpxParser& file) {
  if (file.loadState() != LoadState::Unloaded) return true;
  file.SetCounter(1);
  return file.Load();
}

bool Waypoints::SaveAll() {
  bool all = true;
  for (const auto& file : files_) all = file->SaveIfModified(settings_.saveDataUnicode) && all;
  return all;
}

void Waypoints::Forget(const POIs& collection) {
  if (current_ == &collection) current_ = nullptr;
  if (recording_ == &collection) SetRecordingTrack(nullptr);
}

void Waypoints::NameChanged(POIs& collection) {
  collection.SetVisibleFromSettings();
  if (!settings_.selectedPOIs.empty() && collection.FullName() == settings_.selectedPOIs) MakeCurrent(&collection);
}

}  // namespace rovana
