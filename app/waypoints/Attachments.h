// Attachments of a point: the audio note files that lie in the attachment
// folder of the point's GPX file (GpxParser::AttachmentFolder(), the file's
// path without ".gpx"), and the temporary file a note is recorded to.
//
// A point's wav text is only ever used as a bare file name inside that
// folder: the text comes from a GPX file, and a value such as "../../x" or
// "/etc/passwd" must never be opened, moved or deleted. Files are moved
// without replacing anything: a name that is taken gets a suffix
// ("audio_10_00_00-2.wav"), so notes recorded at the same time of day on
// different days keep their own files.
//
// Every function logs its failures (LogMessage) and reports them in its
// result; nothing throws.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace rovana {

class GeoPoint;

// Name of the file a note is recorded to, in `primaryDataPath`.
inline constexpr std::string_view kTemporaryRecordingName = "audio_tmp.wav";
// Suffixes tried after the plain name ("-2" up to this).
inline constexpr int kMaxNoteSuffix = 999;

// primaryDataPath / "audio_tmp.wav".
std::filesystem::path TemporaryRecordingPath(const std::filesystem::path& primaryDataPath);

// "audio_hh_mm_ss.wav" of a time of day in seconds (taken modulo a day).
std::string AudioNoteName(std::int32_t secondsOfDay);
// The n-th candidate for a time: n = 1 the plain name, n >= 2
// "audio_hh_mm_ss-n.wav".
std::string AudioNoteName(std::int32_t secondsOfDay, int n);

// True for a name that stays inside a folder: not empty, no "/", no NUL,
// not "." or "..".
bool IsBareFileName(std::string_view name);

// The file a wav value names inside `folder`; nullopt for an empty or not
// bare value (the latter logged).
std::optional<std::filesystem::path> AttachmentPath(const std::filesystem::path& folder, std::string_view wav);

// Creates the folder (and its parents) when it does not exist yet.
bool EnsureAttachmentFolder(const std::filesystem::path& folder);

// Moves `from` to `to` without ever replacing an existing `to`, across file
// systems too (copy, then remove). False (logged) when `to` exists or the
// move failed; `from` is then left where it was.
bool MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Moves `file` into `folder` (created on demand) under the first free
// candidate name for `secondsOfDay`. Returns the bare name it got, nullopt
// (logged) when it could not be moved.
std::optional<std::string> StoreAudioNote(const std::filesystem::path& file, const std::filesystem::path& folder,
                                          std::int32_t secondsOfDay);

// Moves the point's note from the attachment folder `from` to `to` (created
// on demand) when the point goes to a collection of another file; a name
// taken in `to` gets a suffix and the point's wav text follows it. True
// when there is nothing to move (no note, the same folder, the file is
// missing) or the move succeeded; false (logged) when a file was there and
// stays where it was, with the point's text unchanged.
bool MoveAudioNote(GeoPoint& point, const std::filesystem::path& from, const std::filesystem::path& to);

// For playing a point's note: copies it to `temporary` (replacing it), or,
// when the point has no readable note, deletes `temporary`. True when the
// temporary file now holds the note.
bool PrepareTemporaryNote(const GeoPoint& point, const std::filesystem::path& folder,
                          const std::filesystem::path& temporary);

}  // namespace rovana
