// The grid catalogue: 51 built-in grids, the two State Plane zone tables and
// the zone rules.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "lib/geodesy/GridRecord.h"

namespace zenolith {

inline constexpr std::int16_t kBuiltInGrids = 51;
inline constexpr std::int16_t kCustomGridId = 52;
inline constexpr std::int16_t kGridDhdn = 29;
inline constexpr std::int16_t kGridSpcs27 = 30;
inline constexpr std::int16_t kGridSpcs83 = 31;
inline constexpr std::int16_t kGridUtmEd50Denmark = 47;
inline constexpr std::int16_t kGridSystem34 = 48;

// Records 0 (all zero) to 51; angles in radians.
std::span<const GridRecord> GridTable();
// "UTM_NORTH" for 1 ... "SWEDISH_GRID_5gonV" for 51; empty outside 1 to 51.
std::string_view GridName(std::int16_t grid);

// The State Plane zone tables in their published order: 132 zones of 1927
// (NAD 27 datums, false eastings from US survey feet) and 125 of 1983
// (NAD 83), parameters in metres and radians, zone code in `zoneCode`.
std::span<const GridRecord> StatePlane27();
std::span<const GridRecord> StatePlane83();
// The zone record of grid 30 or 31 with that code; null when absent.
const GridRecord* FindStatePlaneZone(std::int16_t grid, std::int16_t code);

// UTM grids: 1, 2, 13, 15, 16, 28, 32, 33, 47 (zones 1 to 60).
bool IsUtmGrid(std::int16_t grid);
// Whether `zone` may be set on `grid`: UTM 1 to 60, DHDN 1 to 10, State Plane
// a code of its table, SYSTEM_34 1 or 2. False for grids without zones.
bool IsValidZone(std::int16_t grid, std::int16_t zone);
// Grids on which a zone can be set at all (the zoned grids above).
bool HasZones(std::int16_t grid);

}  // namespace zenolith
