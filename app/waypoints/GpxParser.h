// GpxParser: one GPX file on disk ("folder/name") and its reading; its
// collections live in the owner's (Waypoints) global list.
//
// Reading keeps whatever could be read: a truncated or damaged file ends the
// data early, an unfinished route or track gets no end signal. GPX 1.0 and
// 1.1 are read (a name, desc, time or bounds at any depth outside points,
// routes and tracks, so 1.1 metadata counts; extensions and unknown elements
// are skipped whole). First-load mode (load state 0) creates the collections;
// reload mode (an unloaded file read again) appends points to the existing
// collections matched by number, without statistics.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/core/XmlReader.h"
#include "app/waypoints/POIs.h"

namespace rovana {

enum class LoadState : int { Reading = 0, Loaded = 1, Unloaded = 2 };

// "YYYY-MM-DDThh:mm:ssZ" read leniently: fields that are missing stay 0,
// fractions of seconds and time zones are ignored (no zone conversion).
struct GpxTime {
  std::int32_t date = 0;  // packed
  std::int32_t time = 0;  // seconds of the day
};
GpxTime ParseGpxTime(std::string_view text);
std::string FormatGpxTime(std::int32_t date, std::int32_t time);

class GpxParser final : public XmlReader {
 public:
  // Made by Waypoints. Created = the local clock now.
  GpxParser(Waypoints& owner, std::filesystem::path folder, std::string name, bool secondary, LoadState state);

  // Reads the file in the mode its load state gives; then the state is
  // Loaded and modified is cleared. False when it could not be opened.
  bool Load();
  // Writes the file when modified (temporary file, sync, atomic rename);
  // modified stays set when that fails. True when nothing is left unsaved.
  bool SaveIfModified(bool unicode);
  bool Save(bool unicode);

  bool secondary() const { return secondary_; }
  LoadState loadState() const { return loadState_; }
  void SetLoadState(LoadState state) { loadState_ = state; }
  bool modified() const { return modified_.load(); }
  // Changes while the file is being read do not count.
  void MarkModified();
  void ClearModified() { modified_ = false; }
  bool pinned() const { return pinned_; }
  void SetPinned(bool pinned) { pinned_ = pinned; }
  bool shown() const { return shown_; }
  void SetShown(bool shown) { shown_ = shown; }
  GeoBounds bounds() const { return bounds_; }
  void SetBounds(const GeoBounds& bounds) { bounds_ = bounds; }
  GpxTime created() const { return created_; }
  void SetCreated(GpxTime created) { created_ = created; }
  int NextNumber() { return counter_++; }
  void SetCounter(int counter) { counter_ = counter; }
  Waypoints& owner() const { return owner_; }
  // Where the file's attachments (audio notes) lie.
  std::filesystem::path AttachmentFolder() const { return PathWithoutExtension(); }

 protected:
  void Parse() override;

 private:
  void ReadGpx();
  void ReadRoute();
  void ReadTrack();
  void ReadTrackSegment(POIs& track);
  // Reads a wpt/rtept/trkpt whose start tag is the current token.
  std::optional<GeoPoint> ReadPoint(std::string_view tag, bool trackPoint);
  // The text of the element whose start tag is the current token, up to its
  // end tag (CDATA sections joined, comments left out).
  std::string ElementText(std::string_view tag);
  // Skips the element whose start tag is the current token, children too.
  void SkipElement();
  POIs* CollectionForReading(PoisKind kind);

  Waypoints& owner_;
  bool secondary_;
  LoadState loadState_;
  GpxTime created_;
  int counter_ = 0;
  // Set by the GPS thread too, when it appends to the recording track.
  std::atomic<bool> modified_{false};
  bool reading_ = false;
  bool pinned_ = false;
  bool shown_ = true;
  GeoBounds bounds_;
};

}  // namespace rovana
