#include "app/coords/CoordinateCatalogue.h"

#include <array>

namespace rovana {
namespace {

constexpr DatumEntry kDatums[] = {
    {1, "WGS_84", "Used by the global GPS system."},
    {2, "ETRS_89", "Datum used by many European countries. Very simular to WGS_84."},
    {3, "OSGB_36", "Used in Great Britain."},
    {4, "CH_1903_PLUS", "Used in Switzerland."},
    {5, "RT_90", "Used in Sweden."},
    {6, "IRELAND_65", "Used on Ireland."},
    {7, "FINLAND_HAYFORD", "Used in Finland."},
    {8, "LUREF", "Used in Luxembourg."},
    {9, "WGS_72", "Global geocentric datum."},
    {10, "AGD_84", "Australian Geodetic Datum."},
    {11, "GDA_94", "Geodetic Datum of Australia. Almost identical to WGS84."},
    {12, "MGI", "Used in Austria. Aka \"Hermannskugel\"."},
    {13, "NZGD_49", "New Zealand Geodetic Datum 1949."},
    {14, "NZGD_2000", "New Zealand Geodetic Datum 2000. Almost identical to WGS84."},
    {15, "NTF", "Used in France."},
    {16, "BD_72", "Belgium 1972."},
    {17, "ED_50", "European Datum 1950. Used in France, Germany, Denmark, etc."},
    {18, "DHDN_RAUENBERG", "Also known as Potsdam. Used in Germany."},
    {19, "NAD_83", "Used in North America."},
    {20, "NAD_27_US_ALASKA", "Used in Alaska."},
    {21, "NAD_27_US_EAST", "Used in the U.S."},
    {22, "NAD_27_US_CONUS", "Used in the U.S."},
    {23, "NAD_27_US_WEST", "Used in the U.S."},
    {24, "AMERSFOORT", "Used in the Netherlands."},
    {25, "ROME_40", "Used in Italy."},
    {26, "NGO_48", "Used in Norway."},
    {27, "ED_50_DENMARK", "ED50 Denmark (Teknisk Datum 50)."},
};

using K = ZoneKind;
constexpr GridEntry kGrids[] = {
    {0, K::None, "Default",
     "Default grid aligned to geographical north, for maps whose edges follow the meridians. Free maps of this "
     "kind are listed on the Rovana web site."},
    {1, K::Utm, "UTM_NORTH",
     "Global grid north of the equator. Used in most countries. Based on the WGS_84 datum. See also UTM_ETRS_89 "
     "and UTM_ED_50."},
    {2, K::Utm, "UTM_SOUTH", "Global grid south of the equator. Based on the WGS_84 datum."},
    {3, K::British, "BRITISH_GRID",
     "British National Grid. Local grid used in Great Britain. Based on the OSGB_36 datum. Conv. to OSGB square "
     "zones."},
    {4, K::None, "IRISH_GRID", "Irish National Grid. Used in Ireland. Based on the IRELAND_65 datum."},
    {6, K::None, "SWEDISH_GRID", "Swedish national grid (RT 90 2.5 gon V). Based on the RT_90 datum."},
    {7, K::None, "SWISS_GRID", "Swiss grid LV03. Used in Switzerland. Based on the CH_1903_PLUS datum."},
    {8, K::None, "SWISS_GRID_LV95", "Swiss grid LV95. Used in Switzerland. Based on the CH_1903_PLUS datum."},
    {9, K::None, "FINNISH_GRID_ZONE_1", "Finnish grid (KKJ), zone 1. Based on the FINLAND_HAYFORD datum."},
    {10, K::None, "FINNISH_GRID_ZONE_2", "Finnish grid (KKJ), zone 2. Based on the FINLAND_HAYFORD datum."},
    {11, K::None, "FINNISH_GRID_ZONE_3", "Finnish grid (KKJ), zone 3. Used in most of Finland. Based on the "
                                         "FINLAND_HAYFORD datum."},
    {12, K::None, "FINNISH_GRID_ZONE_4", "Finnish grid (KKJ), zone 4. Based on the FINLAND_HAYFORD datum."},
    {13, K::Utm, "UTM_ETRS_89", "UTM grid on the ETRS_89 datum. Used in many European countries."},
    {14, K::None, "LUXEMBOURG_GRID", "Luxembourg grid (Gauss). Based on the LUREF datum."},
    {15, K::Utm, "UTM_AMG_84", "Australian Map Grid. Used in Australia. Based on the AGD_84 datum."},
    {16, K::Utm, "UTM_MGA_94", "Map Grid of Australia. Used in Australia. Based on the GDA_94 datum."},
    {17, K::None, "AUSTRIAN_GRID_M28", "Austrian grid (Gauss-Krueger), meridian 28 (west). Based on the MGI datum."},
    {18, K::None, "AUSTRIAN_GRID_M31", "Austrian grid (Gauss-Krueger), meridian 31 (centre). Based on the MGI "
                                       "datum."},
    {19, K::None, "AUSTRIAN_GRID_M34", "Austrian grid (Gauss-Krueger), meridian 34 (east). Based on the MGI datum."},
    {20, K::None, "NZTM", "New Zealand Transverse Mercator. Based on the NZGD_2000 datum."},
    {21, K::None, "NZMG", "New Zealand Map Grid. Based on the NZGD_49 datum."},
    {22, K::None, "BELGIUM_GRID", "Belgian Lambert 72. Used in Belgium. Based on the BD_72 datum."},
    {23, K::None, "FRENCH_GRID_ZONE_1", "French Lambert zone I (north). Based on the NTF datum."},
    {24, K::None, "FRENCH_GRID_ZONE_2", "French Lambert zone II (centre). Based on the NTF datum."},
    {25, K::None, "FRENCH_GRID_ZONE_3", "French Lambert zone III (south). Based on the NTF datum."},
    {26, K::None, "FRENCH_GRID_ZONE_4", "French Lambert zone IV (Corsica). Based on the NTF datum."},
    {27, K::None, "FRENCH_GRID_RGF_93", "French Lambert 93. Used in France. Based on the ETRS_89 datum (RGF 93)."},
    {28, K::Utm, "UTM_ED_50", "UTM grid on the ED_50 datum. Used in several European countries."},
    {29, K::Dhdn, "DHDN", "German Gauss-Krueger grid. Used in Germany. Based on the DHDN_RAUENBERG datum."},
    {30, K::StatePlane27, "SPCS_27", "State Plane Coordinate System from 1927. Based on the NAD_27 datum."},
    {31, K::StatePlane83, "SPCS_83", "State Plane Coordinate System from 1983. Based on the NAD_83 datum."},
    {32, K::Utm, "UTM_NAD_27", "UTM grid on the NAD_27 datum. Used in North America."},
    {33, K::Utm, "UTM_NAD_83", "UTM grid on the NAD_83 datum. Used in North America."},
    {34, K::None, "DUTCH_GRID", "Dutch grid (RD). Used in the Netherlands. Based on the AMERSFOORT datum."},
    {35, K::None, "ITALIAN_GRID_ZONE_1", "Italian grid (Gauss-Boaga), west zone. Based on the ROME_40 datum."},
    {36, K::None, "ITALIAN_GRID_ZONE_2", "Italian grid (Gauss-Boaga), east zone. Based on the ROME_40 datum."},
    {37, K::None, "NORWEGIAN_GRID_ZONE_1", "Norwegian grid (NGO), zone I. Based on the NGO_48 datum."},
    {38, K::None, "NORWEGIAN_GRID_ZONE_2", "Norwegian grid (NGO), zone II. Based on the NGO_48 datum."},
    {39, K::None, "NORWEGIAN_GRID_ZONE_3", "Norwegian grid (NGO), zone III. Based on the NGO_48 datum."},
    {40, K::None, "NORWEGIAN_GRID_ZONE_4", "Norwegian grid (NGO), zone IV. Based on the NGO_48 datum."},
    {41, K::None, "NORWEGIAN_GRID_ZONE_5", "Norwegian grid (NGO), zone V. Based on the NGO_48 datum."},
    {42, K::None, "NORWEGIAN_GRID_ZONE_6", "Norwegian grid (NGO), zone VI. Based on the NGO_48 datum."},
    {43, K::None, "NORWEGIAN_GRID_ZONE_7", "Norwegian grid (NGO), zone VII. Based on the NGO_48 datum."},
    {44, K::None, "NORWEGIAN_GRID_ZONE_8", "Norwegian grid (NGO), zone VIII. Based on the NGO_48 datum."},
    {45, K::None, "FRENCH_GRID_ZONE_2_ETENDU", "French Lambert II extended. Used in all of France. Based on the "
                                               "NTF datum."},
    {46, K::None, "FRENCH_GRID_GRAND_CHAMP", "French Lambert Grand Champ. Used in France. Based on the NTF datum."},
    {47, K::Utm, "UTM_ED_50_DENMARK", "UTM grid on the ED_50_DENMARK datum. Used in Denmark."},
    {48, K::Utm, "SYSTEM_34", "Denmark mainland."},
    {49, K::Utm, "SYSTEM_45", "Danish System 45. Used on Bornholm. Based on the ED_50_DENMARK datum."},
    {50, K::None, "SWEDEN_LINKOPING", "Local grid of Linkoping, Sweden. Based on the ETRS_89 datum."},
    {51, K::None, "SWEDISH_GRID_5gonV", "Swedish grid 5gonV."},
};

constexpr StatePlaneZone kStatePlaneZones[] = {
    {"0101", "Alabama East"}, {"0102", "Alabama West"},
    {"5002", "Alaska Zone 2"}, {"5003", "Alaska Zone 3"}, {"5004", "Alaska Zone 4"}, {"5005", "Alaska Zone 5"},
    {"5006", "Alaska Zone 6"}, {"5007", "Alaska Zone 7"}, {"5008", "Alaska Zone 8"}, {"5009", "Alaska Zone 9"},
    {"5010", "Alaska Zone 10"},
    {"0201", "Arizona East"}, {"0202", "Arizona Central"}, {"0203", "Arizona West"},
    {"0301", "Arkansas North"}, {"0302", "Arkansas South"},
    {"0401", "California Zone 1"}, {"0402", "California Zone 2"}, {"0403", "California Zone 3"},
    {"0404", "California Zone 4"}, {"0405", "California Zone 5"}, {"0406", "California Zone 6"},
    {"0501", "Colorado North"}, {"0502", "Colorado Central"}, {"0503", "Colorado South"},
    {"0600", "Connecticut"}, {"0700", "Delaware"},
    {"0901", "Florida East"}, {"0902", "Florida West"}, {"0903", "Florida North"},
    {"1001", "Georgia East"}, {"1002", "Georgia West"},
    {"5101", "Hawaii Zone 1"}, {"5102", "Hawaii Zone 2"}, {"5103", "Hawaii Zone 3"}, {"5104", "Hawaii Zone 4"},
    {"5105", "Hawaii Zone 5"},
    {"1101", "Idaho East"}, {"1102", "Idaho Central"}, {"1103", "Idaho West"},
    {"1201", "Illinois East"}, {"1202", "Illinois West"},
    {"1301", "Indiana East"}, {"1302", "Indiana West"},
    {"1401", "Iowa North"}, {"1402", "Iowa South"},
    {"1501", "Kansas North"}, {"1502", "Kansas South"},
    {"1601", "Kentucky North"}, {"1602", "Kentucky South"},
    {"1701", "Louisiana North"}, {"1702", "Louisiana South"}, {"1703", "Louisiana Offshore"},
    {"1801", "Maine East"}, {"1802", "Maine West"},
    {"1900", "Maryland"},
    {"2001", "Massachusetts Mainland"}, {"2002", "Massachusetts Island"},
    {"2111", "Michigan North"}, {"2112", "Michigan Central"}, {"2113", "Michigan South"},
    {"2201", "Minnesota North"}, {"2202", "Minnesota Central"}, {"2203", "Minnesota South"},
    {"2300", "Mississippi"}, {"2301", "Mississippi East"}, {"2302", "Mississippi West"},
    {"2401", "Missouri East"}, {"2402", "Missouri Central"}, {"2403", "Missouri West"},
    {"2500", "Montana"}, {"2600", "Nebraska"},
    {"2701", "Nevada East"}, {"2702", "Nevada Central"}, {"2703", "Nevada West"},
    {"2800", "New Hampshire"}, {"2900", "New Jersey"},
    {"3001", "New Mexico East"}, {"3002", "New Mexico Central"}, {"3003", "New Mexico West"},
    {"3101", "New York East"}, {"3102", "New York Central"}, {"3103", "New York West"},
    {"3104", "New York Long Island"},
    {"3200", "North Carolina"},
    {"3301", "North Dakota North"}, {"3302", "North Dakota South"},
    {"3401", "Ohio North"}, {"3402", "Ohio South"},
    {"3501", "Oklahoma North"}, {"3502", "Oklahoma South"},
    {"3601", "Oregon North"}, {"3602", "Oregon South"},
    {"3701", "Pennsylvania North"}, {"3702", "Pennsylvania South"},
    {"3800", "Rhode Island"}, {"3900", "South Carolina"},
    {"4001", "South Dakota North"}, {"4002", "South Dakota South"},
    {"4100", "Tennessee"},
    {"4201", "Texas North"}, {"4202", "Texas North Central"}, {"4203", "Texas Central"},
    {"4204", "Texas South Central"}, {"4205", "Texas South"},
    {"4301", "Utah North"}, {"4302", "Utah Central"}, {"4303", "Utah South"},
    {"4400", "Vermont"},
    {"4501", "Virginia North"}, {"4502", "Virginia South"},
    {"4601", "Washington North"}, {"4602", "Washington South"},
    {"4701", "West Virginia North"}, {"4702", "West Virginia South"},
    {"4801", "Wisconsin North"}, {"4802", "Wisconsin Central"}, {"4803", "Wisconsin South"},
    {"4901", "Wyoming East"}, {"4902", "Wyoming East Central"}, {"4903", "Wyoming West Central"},
    {"4904", "Wyoming West"},
    {"5200", "Puerto Rico"},
};
static_assert(std::size(kStatePlaneZones) == 123);
static_assert(std::size(kGrids) == 51);

constexpr std::string_view kDhdnZones[] = {"2", "3", "4", "5", "6", "7", "8"};

template <class Row>
int IndexOf(std::span<const Row> rows, int id) {
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].id == id) return static_cast<int>(i);
  return 0;
}

}  // namespace

std::span<const DatumEntry> DatumCatalogue() { return kDatums; }
std::span<const GridEntry> GridCatalogue() { return kGrids; }

int DatumIndex(int id) { return IndexOf(DatumCatalogue(), id); }
int GridIndex(int id) { return IndexOf(GridCatalogue(), id); }
const DatumEntry& DatumById(int id) { return kDatums[DatumIndex(id)]; }
const GridEntry& GridById(int id) { return kGrids[GridIndex(id)]; }

std::span<const StatePlaneZone> StatePlaneZones() { return kStatePlaneZones; }

std::string StatePlaneZoneLabel(const StatePlaneZone& zone) {
  std::string label(zone.name);
  label += " (";
  label += zone.code;
  label += ")";
  return label;
}

int StatePlaneZoneIndex(std::string_view code) {
  for (std::size_t i = 0; i < std::size(kStatePlaneZones); ++i)
    if (kStatePlaneZones[i].code == code) return static_cast<int>(i);
  return -1;
}

std::span<const std::string_view> DhdnZones() { return kDhdnZones; }

int DhdnZoneIndex(std::string_view zone) {
  for (std::size_t i = 0; i < std::size(kDhdnZones); ++i)
    if (kDhdnZones[i] == zone) return static_cast<int>(i);
  return -1;
}

}  // namespace rovana
