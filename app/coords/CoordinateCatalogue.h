// The coordinate systems Rovana offers: the datum and grid catalogues with the
// names and descriptions the settings pages show, the State Plane and DHDN
// zone lists of the position-entry dialog, and how each grid takes a zone.
//
// Identifiers are the component library's: datums 1 to 27, grids 1 to 51
// (IRISH_TM, 5, is not offered), grid 0 `Default` meaning "no grid" (shown on
// UTM_NORTH by the Locator). The settings `locatorDatum` and `locatorGrid`
// store these identifiers; an identifier that is not in a catalogue selects
// its first row.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rovana {

// How a grid's zone is chosen and shown.
enum class ZoneKind : int {
  None = 0,          // the grid has no zone
  Utm = 1,           // the library computes the zone ("32U"); it is shown and reused (also
                     // the Danish systems, whose zone text is the region the user set)
  StatePlane27 = 2,  // picked from the State Plane list (locatorZoneSPCS27)
  StatePlane83 = 3,  // picked from the State Plane list (locatorZoneSPCS83)
  Dhdn = 4,          // picked from "2" to "8" (locatorZoneDHDN)
  British = 5,       // no zone; shown with the 100-km square letters
};

struct DatumEntry {
  int id = 0;
  std::string_view name;         // "WGS_84"
  std::string_view description;  // one or two sentences for the settings pages
};

struct GridEntry {
  int id = 0;
  ZoneKind zoneKind = ZoneKind::None;
  std::string_view name;
  std::string_view description;
};

inline constexpr int kDatumWgs84 = 1;
inline constexpr int kGridDefault = 0;
inline constexpr int kGridUtmNorth = 1;  // what `Default` is converted on

// 27 rows, identifiers 1 to 27 in order.
std::span<const DatumEntry> DatumCatalogue();
// 51 rows: `Default` (0), then the grids 1 to 51 except 5, in identifier order.
std::span<const GridEntry> GridCatalogue();

// The row with that identifier, else the first row (WGS_84, Default).
const DatumEntry& DatumById(int id);
const GridEntry& GridById(int id);
// The row's position in its catalogue (for pickers); 0 when absent.
int DatumIndex(int id);
int GridIndex(int id);

// The State Plane zone list shared by both State Plane grids: 123 rows, the
// codes as four-digit texts ("0101") with the zone's name ("Alabama East").
// Every code is in the 1983 table of the library; some (2300, 1703, ...) are
// not in the 1927 table, where the library refuses them.
struct StatePlaneZone {
  std::string_view code;
  std::string_view name;
};
std::span<const StatePlaneZone> StatePlaneZones();
// "Alabama East (0101)".
std::string StatePlaneZoneLabel(const StatePlaneZone& zone);
// The row of a code, -1 when the list has none.
int StatePlaneZoneIndex(std::string_view code);

// The DHDN zones offered: "2" to "8" (value and label equal).
std::span<const std::string_view> DhdnZones();
int DhdnZoneIndex(std::string_view zone);  // -1 when not offered

}  // namespace rovana
