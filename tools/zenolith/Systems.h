// The datum and grid names a user types on the command line, with their
// identifiers as the library numbers them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zenolith::tools {

struct NamedId {
  std::int16_t id;
  std::string_view name;
};

std::span<const NamedId> DatumNames();  // 1 to 27
std::span<const NamedId> GridNames();   // 1 to 51

// A coordinate system as the convert command takes it: DATUM, DATUM/GRID or
// DATUM/GRID/ZONE, each part by name (any case) or by number.
struct CoordinateSystem {
  std::int16_t datum = 1;
  std::int16_t grid = 0;
  std::int16_t zone = 0;
  bool hasZone = false;
};

// Parses "WGS_84", "ED_50/UTM_ED_50/32", "19/31/0101"; on failure returns
// nothing and sets *error.
std::optional<CoordinateSystem> ParseSystem(std::string_view text, std::string* error);

}  // namespace zenolith::tools
