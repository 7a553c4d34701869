// Locator: shows Rovana's WGS 84 positions in the user's coordinate system
// and takes typed coordinates back, through one ZenolithCE.Position object
// called by dispatch identifier (the library's Position interface).
//
// The chosen system is a datum, a grid (0 = `Default`, converted on
// UTM_NORTH), the zone texts of the zoned grids and a display mode (the
// locator settings, see LocatorChoice). Conversions:
// - datum view: the position's latitude, longitude (radians) and height on
//   the chosen datum, and back;
// - grid view: northing, easting (metres) and zone on the chosen grid, and
//   back. A UTM-style zone is the one the library computes for the position,
//   except after typed grid coordinates (FromGridView, SetUtmZone): then the
//   zone the user works in is kept until the next SetPosition, so a point
//   typed just across a zone edge still reads in the typed zone.
//
// Failure: a conversion the library refuses (its error text, for example
// "Zone must be specified for this grid" or "Invalid latitude. Must be
// between -PI/2 and PI/2") is abandoned, the position and the last texts
// stay, lastError() holds the text and the log gets it once (a repeat of the
// same failure, as the locator box repaints, is not logged again). Without a
// Position object every conversion fails that way.
//
// Use on one thread (the UI thread): the object is not locked.
#pragma once

#include <string>
#include <string_view>

#include "app/coords/CoordinateCatalogue.h"
#include "app/coords/PositionText.h"
#include "app/coords/Units.h"
#include "app/waypoints/GeoPoint.h"
#include "platform/com/Unknown.h"

namespace rovana {

class LanguageTable;
class SettingsStore;

inline constexpr std::string_view kPositionProgId = "ZenolithCE.Position";

// The six locator settings as plain values.
struct LocatorChoice {
  DisplayMode mode = DisplayMode::DegMin;  // locatorTab
  int datum = kDatumWgs84;                 // locatorDatum
  int grid = kGridDefault;                 // locatorGrid
  std::string zoneSpcs27 = "0101";         // locatorZoneSPCS27
  std::string zoneSpcs83 = "0101";         // locatorZoneSPCS83
  std::string zoneDhdn = "2";              // locatorZoneDHDN
};
// Reads the settings; a datum or grid identifier not in its catalogue
// becomes the catalogue's first row, a mode outside 0 to 4 the default.
LocatorChoice LocatorChoiceOf(const SettingsStore& settings);
// Writes the six settings (on the UI thread).
void StoreLocatorChoice(const LocatorChoice& choice, SettingsStore& settings);

// Latitude and longitude in radians, height in metres, on the chosen datum.
struct DatumView {
  double latitude = 0, longitude = 0, altitude = 0;
};

// Metres on the chosen grid. `zone` is the library's zone text for UTM-style
// grids ("32U") and the picked zone for State Plane and DHDN, else empty;
// `british` is filled on BRITISH_GRID; `altitude` is the datum-view height.
struct GridView {
  double northing = 0, easting = 0;
  std::string zone;
  BritishGridText british;
  double altitude = 0;
};

// The locator box texts: two label/value lines, the zone of a zoned grid in
// grid mode (empty otherwise; the box shows it when not empty), and the
// altitude line "Altitude (123.4m)". Grid mode labels the lines Northing and
// Easting; the British grid's values are "BNG 80000.00" and "TQ 30000.00".
struct LocatorTexts {
  std::string latitudeLabel, latitude;
  std::string longitudeLabel, longitude;
  std::string zone;
  std::string altitude;
};

class Locator {
 public:
  // Over an existing Position object (Application's), which may be null. The
  // choice and the units are read from `settings` now; the language table is
  // read at every Format, so a language change shows at once. Both must
  // outlive the Locator.
  Locator(com::ComPtr<com::IDispatch> position, const SettingsStore& settings, const LanguageTable& language);
  // The same with a Position object of its own, created by ProgID (null, and
  // the failure logged, when the library is not registered).
  Locator(const SettingsStore& settings, const LanguageTable& language);
  ~Locator();
  Locator(const Locator&) = delete;
  Locator& operator=(const Locator&) = delete;

  bool HasPositionObject() const { return static_cast<bool>(object_); }

  const LocatorChoice& choice() const { return choice_; }
  // Chooses another system. A change of grid forgets the kept UTM zone.
  void Select(const LocatorChoice& choice);
  // Select(LocatorChoiceOf(settings)) and the unit choice again: call after
  // the settings pages changed them.
  void FollowSettings();
  const DatumEntry& datum() const { return DatumById(choice_.datum); }
  const GridEntry& grid() const { return GridById(choice_.grid); }
  // The grid the library is asked for: `Default` is UTM_NORTH.
  int gridId() const { return choice_.grid == kGridDefault ? kGridUtmNorth : choice_.grid; }
  ZoneKind zoneKind() const;
  // The zone text the grid view uses: the kept UTM zone ("32U"; empty until
  // a grid view computed one), the picked State Plane or DHDN zone, else "".
  std::string zoneText() const;
  // The zone typed for a UTM-style grid; it is kept for the following
  // conversions (see above).
  void SetUtmZone(std::string_view zone);

  // WGS 84, radians and metres; only latitude, longitude and altitude.
  const GeoPoint& position() const { return position_; }
  void SetPosition(const GeoPoint& wgs84);

  bool ToDatumView(DatumView* out);
  // Typed coordinates on the chosen datum become the position.
  bool FromDatumView(double latitude, double longitude, double altitude);
  bool ToGridView(GridView* out);
  // Typed grid coordinates (and the height on the chosen datum) become the
  // position, in the kept UTM zone or the picked zone.
  bool FromGridView(double northing, double easting, double altitude);

  // The course (radians clockwise from true north, GeoPoint's) from the
  // position to the point 10 m grid north of it; 0 on `Default`. A failed
  // conversion gives the last value computed. The position stays.
  double GridConvergence();

  // The locator box texts of the position in the chosen mode; after a failed
  // conversion the previous texts (at first "?" values).
  LocatorTexts Format();

  const std::string& lastError() const { return error_; }

 private:
  bool Fail();
  bool Invoke(com::DispId id, std::uint16_t flags, com::Variant* args, std::size_t count, com::Variant* result);
  bool Put(com::DispId id, com::Variant value);
  bool GetNumber(com::DispId id, double* out);
  bool PrepareWgs84(const GeoPoint& wgs84);
  bool SetHeight(double metres);
  bool SelectGrid(std::string_view zone);
  bool DatumViewOf(const GeoPoint& wgs84, DatumView* out);
  bool GridViewOf(const GeoPoint& wgs84, GridView* out);
  bool GeoFromGrid(double northing, double easting, double height, GeoPoint* out);
  std::string ZoneForConversion() const;
  LocatorTexts Placeholder() const;

  com::ComPtr<com::IDispatch> object_;
  const SettingsStore& settings_;
  const LanguageTable& language_;
  LocatorChoice choice_;
  UnitChoice units_;
  GeoPoint position_;
  std::string keptZone_;     // the UTM zone text of the last grid view or the typed one
  bool zonePinned_ = false;  // keptZone_ was typed: conversions stay in it
  double convergence_ = 0;
  LocatorTexts texts_;
  bool haveTexts_ = false;
  std::string error_;
  std::string logged_;  // the last failure written to the log
};

}  // namespace rovana
