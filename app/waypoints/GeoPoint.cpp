#include "app/waypoints/GeoPoint.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "app/core/Utilities.h"

namespace rovana {
namespace {

const std::string kNoText;

double Clamped(double value, double limit) {
  if (std::isnan(value)) return 0;
  return std::clamp(value, -limit, limit);
}

// Into [-pi, pi], for moves that cross the date line.
double Wrapped(double longitude) {
  if (!std::isfinite(longitude)) return longitude;
  longitude = std::remainder(longitude, kTwoPi);
  return longitude;
}

}  // namespace

GeoPoint::GeoPoint(double latitude, double longitude, double altitude) : altitude_(altitude) {
  setLatitude(latitude);
  setLongitude(longitude);
}

GeoPoint::GeoPoint(const GeoPoint& other)
    : latitude_(other.latitude_),
      longitude_(other.longitude_),
      altitude_(other.altitude_),
      date_(other.date_),
      time_(other.time_),
      texts_(other.texts_ ? std::make_unique<std::array<std::string, kPointTexts>>(*other.texts_) : nullptr) {}

GeoPoint& GeoPoint::operator=(const GeoPoint& other) {
  if (this != &other) {
    GeoPoint copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void GeoPoint::setLatitude(double radians) { latitude_ = Clamped(radians, kPi / 2); }
void GeoPoint::setLongitude(double radians) { longitude_ = Clamped(radians, kPi); }

const std::string& GeoPoint::text(PointText which) const {
  return texts_ ? (*texts_)[static_cast<std::size_t>(which)] : kNoText;
}

void GeoPoint::setText(PointText which, std::string_view value) {
  if (value.empty()) {
    if (!texts_) return;
    std::string& slot = (*texts_)[static_cast<std::size_t>(which)];
    slot.clear();
    slot.shrink_to_fit();
    if (std::all_of(texts_->begin(), texts_->end(), [](const std::string& t) { return t.empty(); })) texts_.reset();
    return;
  }
  if (!texts_) texts_ = std::make_unique<std::array<std::string, kPointTexts>>();
  (*texts_)[static_cast<std::size_t>(which)].assign(value);
}

void GeoPoint::StampNow(std::string_view poiStyle) {
  const LocalStamp now = LocalNow();
  date_ = now.date;
  time_ = now.seconds;
  setText(PointText::Sym, poiStyle);
}

std::string GeoPoint::DisplayName() const {
  const std::string& own = name();
  return own.empty() ? FormatSecondsOfDay(time_, ':') : own;
}

std::string GeoPoint::DateText() const { return FormatPackedDate(date_); }

bool GeoPoint::HasDetails(bool firstOfList, bool lastOfList) const {
  if (!texts_) return false;
  if (!text(PointText::Name).empty() || !text(PointText::Desc).empty()) return true;
  const std::string& symbol = sym();
  if (!symbol.empty() && !(firstOfList && symbol == "Trailhead") && !(lastOfList && symbol == "Finish")) return true;
  for (PointText t : {PointText::Pic, PointText::Link, PointText::Phone, PointText::Wav})
    if (!text(t).empty()) return true;
  return false;
}

bool GeoPoint::ClearAudioNote(const std::filesystem::path& attachmentFolder) {
  const std::string wav = text(PointText::Wav);
  if (wav.empty()) return true;
  setText(PointText::Wav, {});
  // Only a bare name inside the folder: a name from a file must not reach
  // anything outside it.
  const std::filesystem::path name(wav);
  if (name != name.filename() || wav == "." || wav == "..") return true;
  std::error_code ec;
  std::filesystem::remove(attachmentFolder / name, ec);
  return !ec;
}

double GeoPoint::CentralAngle(const GeoPoint& to) const {
  // The haversine form of acos(sin lat1 sin lat2 + cos lat1 cos lat2 cos dlon):
  // the same angle, but the acos of a value next to 1 loses half the digits,
  // so one place gave some 9 cm to itself and close fixes never read as a stop.
  const double dlon = std::remainder(to.longitude_ - longitude_, kTwoPi);
  const double sinHalfLat = std::sin((to.latitude_ - latitude_) / 2);
  const double sinHalfLon = std::sin(dlon / 2);
  const double h = sinHalfLat * sinHalfLat + std::cos(latitude_) * std::cos(to.latitude_) * sinHalfLon * sinHalfLon;
  return 2 * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

double GeoPoint::Course(const GeoPoint& to) const {
  const double c = CentralAngle(to);
  if (c == 0) return 0;
  const double denominator = std::cos(latitude_) * std::sin(c);
  if (denominator == 0) return latitude_ > 0 ? kPi : 0;
  const double k =
      std::acos(std::clamp((std::sin(to.latitude_) - std::sin(latitude_) * std::cos(c)) / denominator, -1.0, 1.0));
  return std::sin(to.longitude_ - longitude_) < 0 ? kTwoPi - k : k;
}

void GeoPoint::Offset(double north, double east) {
  setLatitude(latitude_ + north / kEarthRadius);
  setLongitude(Wrapped(longitude_ + (east / kEarthRadius) / std::cos(latitude_)));
}

void GeoPoint::MoveTowards(const GeoPoint& to, double distance) {
  const double k = Course(to);
  Offset(distance * std::cos(k), distance * std::sin(k));
}

GeoPoint::Vector GeoPoint::Minus(const GeoPoint& other) const {
  return {latitude_ - other.latitude_, longitude_ - other.longitude_};
}

GeoPoint::Vector GeoPoint::Normalised(Vector v) {
  const double length = std::sqrt(v.latitude * v.latitude + v.longitude * v.longitude);
  if (!(length > 0)) return v;
  return {v.latitude / length, v.longitude / length};
}

}  // namespace rovana
