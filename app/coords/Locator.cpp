#include "app/coords/Locator.h"

#include <array>
#include <cmath>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/SettingsStore.h"
#include "platform/com/Runtime.h"
#include "platform/com/Variant.h"

namespace rovana {
namespace {

// The Position members the Locator calls, by dispatch identifier.
constexpr com::DispId kAltitude = 5;       // method Altitude(frm)
constexpr com::DispId kLatitudeRads = 6;   // property
constexpr com::DispId kLongitudeRads = 7;  // property
constexpr com::DispId kSetAltitude = 10;   // method SetAltitude(frm, altitude)
constexpr com::DispId kDatum = 11;         // property
constexpr com::DispId kGrid = 12;          // property
constexpr com::DispId kEasting = 13;       // property
constexpr com::DispId kNorthing = 14;      // property
constexpr com::DispId kZone = 15;          // property: text out, number (or text) in

constexpr std::int16_t kDatumHeight = 1;  // the altitude format that the datum shift changes

// A grid on which a zone put clears the Position's forced zone, and one of
// its zones: a UTM or DHDN zone, once put, stays forced across grid changes,
// and this is the interface's way to drop it.
constexpr std::int16_t kGridStatePlane83 = 31;
constexpr std::string_view kAnyStatePlaneZone = "0101";

constexpr double kGridNorthStep = 10;  // metres, for the convergence

// The UTM grids, whose zones are 1 to 60 and stay forced once put (DHDN's
// too); the other grids of zone kind Utm (the Danish systems) take a zone as
// it is.
bool IsUtmGrid(int grid) {
  static constexpr int kUtmGrids[] = {1, 2, 13, 15, 16, 28, 32, 33, 47};
  for (int g : kUtmGrids)
    if (g == grid) return true;
  return false;
}

// The grid's zone number from a zone text ("32U" -> 32); 0 when none.
int ZoneNumber(std::string_view text) {
  int value = 0;
  for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1000; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

LocatorChoice LocatorChoiceOf(const SettingsStore& settings) {
  LocatorChoice c;
  c.mode = DisplayModeOf(settings.locatorTab);
  c.datum = DatumById(settings.locatorDatum).id;
  c.grid = GridById(settings.locatorGrid).id;
  c.zoneSpcs27 = settings.locatorZoneSPCS27;
  c.zoneSpcs83 = settings.locatorZoneSPCS83;
  c.zoneDhdn = settings.locatorZoneDHDN;
  return c;
}

void StoreLocatorChoice(const LocatorChoice& choice, SettingsStore& settings) {
  settings.locatorTab = static_cast<int>(choice.mode);
  settings.locatorDatum = choice.datum;
  settings.locatorGrid = choice.grid;
  settings.locatorZoneSPCS27 = choice.zoneSpcs27;
  settings.locatorZoneSPCS83 = choice.zoneSpcs83;
  settings.locatorZoneDHDN = choice.zoneDhdn;
}

Locator::Locator(com::ComPtr<com::IDispatch> position, const SettingsStore& settings, const LanguageTable& language)
    : object_(std::move(position)),
      settings_(settings),
      language_(language),
      choice_(LocatorChoiceOf(settings)),
      units_(UnitChoiceOf(settings)) {}

Locator::Locator(const SettingsStore& settings, const LanguageTable& language) : Locator(nullptr, settings, language) {
  const com::HRESULT hr = com::CreateObject(kPositionProgId, &object_);
  if (com::Failed(hr)) {
    object_ = nullptr;
    LogMessage("Locator: %s could not be created (0x%08x)", std::string(kPositionProgId).c_str(),
               static_cast<unsigned>(hr));
  }
}

Locator::~Locator() = default;

void Locator::Select(const LocatorChoice& choice) {
  if (choice.grid != choice_.grid) {
    keptZone_.clear();
    zonePinned_ = false;
  }
  choice_ = choice;
  choice_.mode = DisplayModeOf(static_cast<int>(choice.mode));
  choice_.datum = DatumById(choice.datum).id;
  choice_.grid = GridById(choice.grid).id;
}

void Locator::FollowSettings() {
  Select(LocatorChoiceOf(settings_));
  units_ = UnitChoiceOf(settings_);
}

ZoneKind Locator::zoneKind() const { return GridById(gridId()).zoneKind; }

std::string Locator::zoneText() const {
  switch (zoneKind()) {
    case ZoneKind::Utm: return keptZone_;
    case ZoneKind::StatePlane27: return choice_.zoneSpcs27;
    case ZoneKind::StatePlane83: return choice_.zoneSpcs83;
    case ZoneKind::Dhdn: return choice_.zoneDhdn;
    default: return {};
  }
}

void Locator::SetUtmZone(std::string_view zone) {
  keptZone_ = std::string(zone);
  zonePinned_ = !keptZone_.empty();
}

void Locator::SetPosition(const GeoPoint& wgs84) {
  position_ = GeoPoint(wgs84.latitude(), wgs84.longitude(), wgs84.altitude());
  zonePinned_ = false;
}

// ---- calls into the Position object ----

bool Locator::Fail() {
  if (error_ != logged_) {
    LogMessage("Locator: %s", error_.c_str());
    logged_ = error_;
  }
  return false;
}

bool Locator::Invoke(com::DispId id, std::uint16_t flags, com::Variant* args, std::size_t count, com::Variant* result) {
  if (!object_) {
    error_ = std::string(kPositionProgId) + " is not available";
    return Fail();
  }
  com::ClearErrorInfo();
  const com::HRESULT hr = object_->Invoke(id, flags, std::span<com::Variant>(args, count), result);
  if (com::Succeeded(hr)) return true;
  const auto info = com::GetErrorInfo();
  error_ = info && !info->description.empty() ? info->description : com::DescribeStatus(hr);
  if (error_.empty()) error_ = com::FormatStatus(hr);
  return Fail();
}

bool Locator::Put(com::DispId id, com::Variant value) {
  return Invoke(id, com::kInvokePropertyPut, &value, 1, nullptr);
}

bool Locator::GetNumber(com::DispId id, double* out) {
  com::Variant value;
  if (!Invoke(id, com::kInvokePropertyGet, nullptr, 0, &value)) return false;
  if (com::Failed(value.ToDouble(out)) || !std::isfinite(*out)) {
    error_ = "the position gave no number";
    return Fail();
  }
  return true;
}

// Datum 1 with these coordinates and datum height. A Position left with
// typed grid values that do not convert refuses the datum put (it would
// convert them first): fresh coordinates clear that, and the put is tried
// again. The height is set every time, since the datum shifts of grid
// conversions depend on it a little.
bool Locator::PrepareWgs84(const GeoPoint& wgs84) {
  if (!Put(kDatum, com::Variant::I2(kDatumWgs84))) {
    if (!Put(kLatitudeRads, com::Variant::R8(wgs84.latitude())) ||
        !Put(kLongitudeRads, com::Variant::R8(wgs84.longitude())) || !Put(kDatum, com::Variant::I2(kDatumWgs84)))
      return false;
  }
  return Put(kLatitudeRads, com::Variant::R8(wgs84.latitude())) &&
         Put(kLongitudeRads, com::Variant::R8(wgs84.longitude())) && SetHeight(wgs84.altitude());
}

bool Locator::SetHeight(double metres) {
  std::array<com::Variant, 2> args{com::Variant::I2(kDatumHeight), com::Variant::R8(metres)};
  return Invoke(kSetAltitude, com::kInvokeMethod, args.data(), args.size(), nullptr);
}

// Puts the grid and its zone. UTM-style and DHDN grids first lose a forced
// zone of earlier conversions (an empty `zone` then means "computed from the
// longitude"); the other zoned grids take `zone` when it is not empty.
bool Locator::SelectGrid(std::string_view zone) {
  const auto grid = static_cast<std::int16_t>(gridId());
  const ZoneKind kind = zoneKind();
  if (IsUtmGrid(grid) || kind == ZoneKind::Dhdn) {
    if (!Put(kGrid, com::Variant::I2(kGridStatePlane83)) ||
        !Put(kZone, com::Variant::Bstr(std::string(kAnyStatePlaneZone))))
      return false;
  }
  if (!Put(kGrid, com::Variant::I2(grid))) return false;
  if (kind == ZoneKind::None || kind == ZoneKind::British || zone.empty()) return true;
  return Put(kZone, com::Variant::Bstr(std::string(zone)));
}

std::string Locator::ZoneForConversion() const {
  if (zoneKind() == ZoneKind::Utm) return zonePinned_ ? keptZone_ : std::string();
  return zoneText();
}

bool Locator::DatumViewOf(const GeoPoint& wgs84, DatumView* out) {
  std::array<com::Variant, 1> format{com::Variant::I2(kDatumHeight)};
  com::Variant altitude;
  DatumView view;
  if (!PrepareWgs84(wgs84) || !Put(kDatum, com::Variant::I2(static_cast<std::int16_t>(choice_.datum))) ||
      !GetNumber(kLatitudeRads, &view.latitude) || !GetNumber(kLongitudeRads, &view.longitude) ||
      !Invoke(kAltitude, com::kInvokeMethod, format.data(), format.size(), &altitude))
    return false;
  if (com::Failed(altitude.ToDouble(&view.altitude)) || !std::isfinite(view.altitude)) {
    error_ = "the position gave no altitude";
    return Fail();
  }
  *out = view;
  return true;
}

bool Locator::GridViewOf(const GeoPoint& wgs84, GridView* out) {
  GridView view;
  if (!PrepareWgs84(wgs84) || !SelectGrid(ZoneForConversion()) ||
      !GetNumber(kNorthing, &view.northing) || !GetNumber(kEasting, &view.easting))
    return false;
  switch (zoneKind()) {
    case ZoneKind::Utm: {
      com::Variant zone;
      if (!Invoke(kZone, com::kInvokePropertyGet, nullptr, 0, &zone)) return false;
      std::string text;
      zone.ToText(&text);
      keptZone_ = text;
      view.zone = text;
      break;
    }
    case ZoneKind::British:
      view.british = BritishGridTexts(view.easting, view.northing);
      break;
    default:
      view.zone = zoneText();
      break;
  }
  *out = std::move(view);
  return true;
}

// The WGS 84 latitude and longitude of grid coordinates, at a height on the
// chosen datum (the returned altitude is 0).
bool Locator::GeoFromGrid(double northing, double easting, double height, GeoPoint* out) {
  std::string zone = zoneKind() == ZoneKind::Utm ? keptZone_ : zoneText();
  if (IsUtmGrid(gridId())) {
    if (zone.empty()) {
      // No zone computed yet: the position's own.
      GridView view;
      if (!GridViewOf(position_, &view)) return false;
      zone = keptZone_;
    }
    const int number = ZoneNumber(zone);
    if (number < 1 || number > 60) {
      error_ = "Invalid Zone for this grid!";
      return Fail();
    }
  }
  double latitude = 0, longitude = 0;
  if (!PrepareWgs84(position_) || !Put(kDatum, com::Variant::I2(static_cast<std::int16_t>(choice_.datum))) ||
      !SetHeight(height) || !SelectGrid(zone) ||
      !Put(kNorthing, com::Variant::R8(northing)) || !Put(kEasting, com::Variant::R8(easting)) ||
      !Put(kDatum, com::Variant::I2(kDatumWgs84)) || !GetNumber(kLatitudeRads, &latitude) ||
      !GetNumber(kLongitudeRads, &longitude))
    return false;
  *out = GeoPoint(latitude, longitude, 0);
  return true;
}

// ---- conversions ----

bool Locator::ToDatumView(DatumView* out) { return DatumViewOf(position_, out); }

bool Locator::FromDatumView(double latitude, double longitude, double altitude) {
  std::array<com::Variant, 1> format{com::Variant::I2(kDatumHeight)};
  com::Variant wgs84Altitude;
  double lat = 0, lon = 0, alt = 0;
  if (!PrepareWgs84(position_) || !Put(kDatum, com::Variant::I2(static_cast<std::int16_t>(choice_.datum))) ||
      !Put(kLatitudeRads, com::Variant::R8(latitude)) || !Put(kLongitudeRads, com::Variant::R8(longitude)) ||
      !SetHeight(altitude) ||
      !Put(kDatum, com::Variant::I2(kDatumWgs84)) || !GetNumber(kLatitudeRads, &lat) ||
      !GetNumber(kLongitudeRads, &lon) ||
      !Invoke(kAltitude, com::kInvokeMethod, format.data(), format.size(), &wgs84Altitude))
    return false;
  if (com::Failed(wgs84Altitude.ToDouble(&alt)) || !std::isfinite(alt)) {
    error_ = "the position gave no altitude";
    return Fail();
  }
  position_ = GeoPoint(lat, lon, alt);
  return true;
}

bool Locator::ToGridView(GridView* out) {
  DatumView datum;
  GridView grid;
  if (!DatumViewOf(position_, &datum) || !GridViewOf(position_, &grid)) return false;
  grid.altitude = datum.altitude;
  *out = std::move(grid);
  return true;
}

bool Locator::FromGridView(double northing, double easting, double altitude) {
  GeoPoint point;
  if (!GeoFromGrid(northing, easting, altitude, &point)) return false;
  // The typed height is on the chosen datum: the WGS 84 height is what the
  // datum shift gives for it (the shift of heights is linear to well below
  // a millimetre over a few hundred metres).
  DatumView atZero;
  if (!DatumViewOf(point, &atZero)) return false;
  point.setAltitude(altitude - atZero.altitude);
  position_ = point;
  if (zoneKind() == ZoneKind::Utm) zonePinned_ = true;
  return true;
}

double Locator::GridConvergence() {
  if (choice_.grid == kGridDefault) return convergence_ = 0;
  GridView here;
  GeoPoint north;
  if (!GridViewOf(position_, &here) || !GeoFromGrid(here.northing + kGridNorthStep, here.easting, 0, &north))
    return convergence_;
  return convergence_ = position_.Course(north);
}

LocatorTexts Locator::Placeholder() const {
  LocatorTexts t;
  const bool grid = choice_.mode == DisplayMode::Grid;
  t.latitudeLabel = language_.Entry(grid ? lang::kCoordNorthing : lang::kWordLatitude);
  t.longitudeLabel = language_.Entry(grid ? lang::kCoordEasting : lang::kWordLongitude);
  t.latitude = t.longitude = std::string(kMissingText);
  t.altitude = language_.Entry(lang::kWordAltitude) + " (" + std::string(kMissingText) + ")";
  return t;
}

LocatorTexts Locator::Format() {
  LocatorTexts t = Placeholder();
  DatumView datum;
  bool ok = DatumViewOf(position_, &datum);
  if (ok) {
    const HemisphereLetters letters = HemisphereLettersOf(language_);
    switch (choice_.mode) {
      case DisplayMode::Grid: {
        GridView grid;
        ok = GridViewOf(position_, &grid);
        if (!ok) break;
        if (zoneKind() == ZoneKind::British) {
          t.latitude = grid.british.northing;
          t.longitude = grid.british.easting;
        } else {
          t.latitude = FormatGridCoordinate(grid.northing);
          t.longitude = FormatGridCoordinate(grid.easting);
          t.zone = grid.zone;
        }
        break;
      }
      default:
        t.latitude = FormatAngle(datum.latitude, choice_.mode, letters.north, letters.south);
        t.longitude = FormatAngle(datum.longitude, choice_.mode, letters.east, letters.west);
        break;
    }
  }
  if (!ok) {
    // The previous texts stay while they are of the same mode (same labels).
    if (haveTexts_ && texts_.latitudeLabel == t.latitudeLabel) return texts_;
    return t;
  }
  t.altitude = language_.Entry(lang::kWordAltitude) + " (" + FormatAltitude(units_, datum.altitude).Joined() + ")";
  texts_ = t;
  haveTexts_ = true;
  return t;
}

}  // namespace rovana
