#include "tools/zenolith/Systems.h"

#include <cctype>
#include <charconv>

namespace zenolith::tools {
namespace {

constexpr NamedId kDatums[] = {
    {1, "WGS_84"},         {2, "ETRS_89"},          {3, "OSGB_36"},          {4, "CH_1903_PLUS"},
    {5, "RT_90"},          {6, "IRELAND_65"},       {7, "FINLAND_HAYFORD"},  {8, "LUREF"},
    {9, "WGS_72"},         {10, "AGD_84"},          {11, "GDA_94"},          {12, "MGI"},
    {13, "NZGD_49"},       {14, "NZGD_2000"},       {15, "NTF"},             {16, "BD_72"},
    {17, "ED_50"},         {18, "DHDN_RAUENBERG"},  {19, "NAD_83"},          {20, "NAD_27_US_ALASKA"},
    {21, "NAD_27_US_EAST"}, {22, "NAD_27_US_CONUS"}, {23, "NAD_27_US_WEST"}, {24, "AMERSFOORT"},
    {25, "ROME_40"},       {26, "NGO_48"},          {27, "ED_50_DENMARK"},
};

constexpr NamedId kGrids[] = {
    {1, "UTM_NORTH"},
    {2, "UTM_SOUTH"},
    {3, "BRITISH_GRID"},
    {4, "IRISH_GRID"},
    {5, "IRISH_TM"},
    {6, "SWEDISH_GRID"},
    {7, "SWISS_GRID"},
    {8, "SWISS_GRID_LV95"},
    {9, "FINNISH_GRID_ZONE_1"},
    {10, "FINNISH_GRID_ZONE_2"},
    {11, "FINNISH_GRID_ZONE_3"},
    {12, "FINNISH_GRID_ZONE_4"},
    {13, "UTM_ETRS_89"},
    {14, "LUXEMBOURG_GRID"},
    {15, "UTM_AMG_84"},
    {16, "UTM_MGA_94"},
    {17, "AUSTRIAN_GRID_M28"},
    {18, "AUSTRIAN_GRID_M31"},
    {19, "AUSTRIAN_GRID_M34"},
    {20, "NZTM"},
    {21, "NZMG"},
    {22, "BELGIUM_GRID"},
    {23, "FRENCH_GRID_ZONE_1"},
    {24, "FRENCH_GRID_ZONE_2"},
    {25, "FRENCH_GRID_ZONE_3"},
    {26, "FRENCH_GRID_ZONE_4"},
    {27, "FRENCH_GRID_RGF_93"},
    {28, "UTM_ED_50"},
    {29, "DHDN"},
    {30, "SPCS_27"},
    {31, "SPCS_83"},
    {32, "UTM_NAD_27"},
    {33, "UTM_NAD_83"},
    {34, "DUTCH_GRID"},
    {35, "ITALIAN_GRID_ZONE_1"},
    {36, "ITALIAN_GRID_ZONE_2"},
    {37, "NORWEGIAN_GRID_ZONE_1"},
    {38, "NORWEGIAN_GRID_ZONE_2"},
    {39, "NORWEGIAN_GRID_ZONE_3"},
    {40, "NORWEGIAN_GRID_ZONE_4"},
    {41, "NORWEGIAN_GRID_ZONE_5"},
    {42, "NORWEGIAN_GRID_ZONE_6"},
    {43, "NORWEGIAN_GRID_ZONE_7"},
    {44, "NORWEGIAN_GRID_ZONE_8"},
    {45, "FRENCH_GRID_ZONE_2_ETENDU"},
    {46, "FRENCH_GRID_GRAND_CHAMP"},
    {47, "UTM_ED_50_DENMARK"},
    {48, "SYSTEM_34"},
    {49, "SYSTEM_45"},
    {50, "SWEDEN_LINKOPING"},
    {51, "SWEDISH_GRID_5gonV"},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::optional<std::int16_t> Number(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < -32768 || value > 32767) return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::optional<std::int16_t> Lookup(std::span<const NamedId> table, std::string_view text) {
  if (auto n = Number(text)) {
    for (const NamedId& entry : table)
      if (entry.id == *n) return n;
    return std::nullopt;
  }
  for (const NamedId& entry : table)
    if (SameName(entry.name, text)) return entry.id;
  return std::nullopt;
}

}  // namespace

std::span<const NamedId> DatumNames() { return kDatums; }
std::span<const NamedId> GridNames() { return kGrids; }

std::optional<CoordinateSystem> ParseSystem(std::string_view text, std::string* error) {
  std::string_view parts[4];
  std::size_t count = 0;
  while (count < 4) {
    const std::size_t slash = text.find('/');
    parts[count++] = text.substr(0, slash);
    if (slash == std::string_view::npos) break;
    text.remove_prefix(slash + 1);
  }
  if (count == 4 || parts[0].empty()) {
    *error = "a system is DATUM, DATUM/GRID or DATUM/GRID/ZONE";
    return std::nullopt;
  }
  CoordinateSystem system;
  auto datum = Lookup(kDatums, parts[0]);
  if (!datum) {
    *error = "unknown datum '" + std::string(parts[0]) + "' (see --list)";
    return std::nullopt;
  }
  system.datum = *datum;
  if (count >= 2) {
    auto grid = Lookup(kGrids, parts[1]);
    if (!grid) {
      *error = "unknown grid '" + std::string(parts[1]) + "' (see --list)";
      return std::nullopt;
    }
    system.grid = *grid;
  }
  if (count == 3) {
    auto zone = Number(parts[2]);
    if (!zone) {
      *error = "a zone is a number, not '" + std::string(parts[2]) + "'";
      return std::nullopt;
    }
    system.zone = *zone;
    system.hasZone = true;
  }
  return system;
}

}  // namespace zenolith::tools
