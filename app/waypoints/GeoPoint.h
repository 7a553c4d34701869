// GeoPoint: the point record Rovana passes around (fixes, waypoints, route
// and track points), with the spherical geometry the filter, the statistics,
// track thinning, target following and the map code share.
//
// Latitude and longitude are radians on WGS 84, clamped on every store to
// [-pi/2, pi/2] and [-pi, pi] (a value that is no number stores 0); altitude
// is metres. The date is packed (year x 416 + month x 32 + day, 0 = none) and
// the time is seconds of the day. Seven optional texts (UTF-8) are absent
// when empty; they live in one block allocated only for points that have
// any, so track points without texts stay small.
//
// The geometry is on a sphere of radius kEarthRadius: distances in metres,
// courses in radians clockwise from north (0 to 2 pi).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace rovana {

inline constexpr double kEarthRadius = 6366692.0724;  // metres

enum class PointText : std::uint8_t { Name, Desc, Sym, Pic, Link, Phone, Wav };
inline constexpr std::size_t kPointTexts = 7;

class GeoPoint {
 public:
  GeoPoint() = default;  // 0, 0, altitude 0, no date, time or texts
  GeoPoint(double latitude, double longitude, double altitude = 0);
  // Copies coordinates, altitude, date, time and every text.
  GeoPoint(const GeoPoint& other);
  GeoPoint& operator=(const GeoPoint& other);
  GeoPoint(GeoPoint&&) noexcept = default;
  GeoPoint& operator=(GeoPoint&&) noexcept = default;

  double latitude() const { return latitude_; }
  double longitude() const { return longitude_; }
  double altitude() const { return altitude_; }
  void setLatitude(double radians);
  void setLongitude(double radians);
  void setAltitude(double metres) { altitude_ = metres; }

  std::int32_t date() const { return date_; }  // packed, 0 = none
  std::int32_t time() const { return time_; }  // seconds of the day
  void setDate(std::int32_t packed) { date_ = packed; }
  void setTime(std::int32_t seconds) { time_ = seconds; }

  // An absent text reads as empty; setting empty text removes it.
  const std::string& text(PointText which) const;
  void setText(PointText which, std::string_view value);
  const std::string& name() const { return text(PointText::Name); }
  const std::string& sym() const { return text(PointText::Sym); }

  // Date and time from the local clock (one reading, so both agree across
  // midnight) and sym = `poiStyle`.
  void StampNow(std::string_view poiStyle);

  // The name if present, else the time as "hh:mm:ss".
  std::string DisplayName() const;
  // "%04d-%02d-%02d" of the packed date.
  std::string DateText() const;
  // Whether the point has details of its own (what tells a route from a
  // track): a name, a description, a symbol other than "Trailhead" on the
  // first point of its list and other than "Finish" on the last, or any of
  // picture, link, phone and audio note.
  bool HasDetails(bool firstOfList, bool lastOfList) const;
  // Deletes the audio note's file (a bare file name inside `attachmentFolder`;
  // anything else is left alone) and clears the text. False when a file was
  // there and could not be deleted.
  bool ClearAudioNote(const std::filesystem::path& attachmentFolder);

  // Central angle to `to` in radians (0 to pi).
  double CentralAngle(const GeoPoint& to) const;
  double Distance(const GeoPoint& to) const { return kEarthRadius * CentralAngle(to); }
  // Course to `to` in radians clockwise from north, 0 to 2 pi; 0 for the same
  // place. From a pole every course is along a meridian: pi from the north
  // pole, 0 from the south pole.
  double Course(const GeoPoint& to) const;
  // Moves `north` metres along the meridian, then `east` metres along the new
  // parallel. A move across the date line comes out on the other side.
  void Offset(double north, double east);
  // Moves `distance` metres along the course to `to`.
  void MoveTowards(const GeoPoint& to, double distance);

  // Track thinning works on latitude/longitude differences as plane vectors:
  // this minus `other` per coordinate (not clamped), and such a vector scaled
  // to unit length (unchanged when it is zero).
  struct Vector {
    double latitude = 0, longitude = 0;
    bool operator==(const Vector&) const = default;
  };
  Vector Minus(const GeoPoint& other) const;
  static Vector Normalised(Vector v);

 private:
  double latitude_ = 0;
  double longitude_ = 0;
  double altitude_ = 0;
  std::int32_t date_ = 0;
  std::int32_t time_ = 0;
  std::unique_ptr<std::array<std::string, kPointTexts>> texts_;  // null: no texts
};

}  // namespace rovana
