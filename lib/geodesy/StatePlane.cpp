// GENERATED FILE, do not edit: written by tools/spcs/make_state_plane.py from the EPSG
// dataset v10.076 (proj.db of PROJ 9.1.1). To regenerate, from the repository root:
//   apt-get install proj-data && python3 tools/spcs/make_state_plane.py
//
// The State Plane Coordinate System zones of 1927 and 1983, in the tables' order. Each
// record: datum, algorithm (3 transverse Mercator, 5 Lambert conformal conic with two
// parallels, 2 for Alaska zone 1), false easting and northing in metres, latitude and
// longitude of origin, scale, standard parallels (the southern one first; degrees here,
// radians in the record) and the zone code. Sources: EPSG conversion 1XXYY for SPCS27
// zone XXYY and 1XXYY + 30 for the SPCS83 metre definition; each was checked against its
// zone by name. SPCS27 lengths are US survey feet times 1200/3937; the latitude of a
// Lambert record is EPSG's latitude of false origin, its scale 1.
//
// Datums of the 1927 zones follow the regions of NIMA TR 8350.2, whose regional shifts the
// four NAD 27 datums carry: NAD_27_US_EAST for the states east of the Mississippi and
// Louisiana, Minnesota, Missouri; NAD_27_US_WEST for the other conterminous states;
// NAD_27_US_ALASKA for Alaska; NAD_27_US_CONUS for Hawaii, Puerto Rico and St. Croix,
// which were never on NAD 27 and have no regional value. The 1983 zones are on NAD_83.
//
// Where a record departs from the plain EPSG record at its code:
//   - 1927 5001 Alaska Zone 1: EPSG 15001 is Hotine oblique Mercator (azimuth 323.130102 deg,
//     FE/FN 5000000.0010/-5000000.0010 m); stored as algorithm 2 about the centre with FE/FN
//     0.0/0.0 m (about the same centre and grid north: the coordinates differ from published zone
//     1 values by the false origin and, over the panhandle, by up to about 110 m more, as the
//     generator's report shows)
//   - 1927 0407 California Zone 7: EPSG 10407 is deprecated; taken from EPSG 10408 (Northing at
//     false origin 416926.74 -> 4160926.74)
//   - 1927 2111 Michigan North: EPSG 12111 is deprecated; taken from EPSG 6965 (method 9802 ->
//     1051, Ellipsoid scaling factor (absent) -> 1.0000382); its Lambert is on Clarke 1866
//     enlarged by 1.0000382, folded exactly into the parallels: 45.4833333333, 47.0833333333 ->
//     45.6608876152, 46.9073300238 deg (coordinates agree to 0.000000 mm)
//   - 1927 2112 Michigan Central: EPSG 12112 is deprecated; taken from EPSG 6198 (method 9802 ->
//     1051, Ellipsoid scaling factor (absent) -> 1.0000382); its Lambert is on Clarke 1866
//     enlarged by 1.0000382, folded exactly into the parallels: 44.1833333333, 45.7000000000 ->
//     44.3736977068, 45.5111167520 deg (coordinates agree to 0.000002 mm)
//   - 1927 2113 Michigan South: EPSG 12113 is deprecated; taken from EPSG 6199 (method 9802 ->
//     1051, Ellipsoid scaling factor (absent) -> 1.0000382); its Lambert is on Clarke 1866
//     enlarged by 1.0000382, folded exactly into the parallels: 42.1000000000, 43.6666666667 ->
//     42.2824326153, 43.4856140554 deg (coordinates agree to 0.000001 mm)
//   - 1927 3104 New York Long Island: EPSG 13104 is deprecated; taken from EPSG 4454 (Easting at
//     false origin 1000000.0 -> 2000000.0, Northing at false origin 0.0 -> 100000.0)
//   - 1927 3702 Pennsylvania South: EPSG 13702 is deprecated; taken from EPSG 4436 (Latitude of
//     1st standard parallel 39.56 -> 40.58, Latitude of 2nd standard parallel 40.48 -> 39.56)
//   - 1927 4100 Tennessee: EPSG 14100 is deprecated; taken from EPSG 15302 (Easting at false
//     origin 100000.0 -> 2000000.0, Northing at false origin 0.0 -> 100000.0)
//   - 1983 5001 Alaska Zone 1: EPSG 15031 is Hotine oblique Mercator (azimuth 323.130102 deg,
//     FE/FN 5000000.0000/-5000000.0000 m); stored as algorithm 2 about the centre with FE/FN
//     5000000.0/-5000000.0 m (about the same centre and grid north: the coordinates differ from
//     published zone 1 values by the false origin and, over the panhandle, by up to about 110 m
//     more, as the generator's report shows)
//   - 1983 1601 Kentucky North: EPSG 11631 is deprecated; taken from EPSG 15303 (Latitude of 2nd
//     standard parallel 37.58 -> 38.58)
//   - 1983 2300 Mississippi Transverse Mercator: SPCS83 has no zone 2300 (EPSG 12330 does not
//     exist); Mississippi's statewide NAD 83 system, Mississippi Transverse Mercator, stands for
//     it; taken from EPSG 3813
//   - 1927 5101 Hawaii Zone 1, 5102 Hawaii Zone 2, 5103 Hawaii Zone 3, 5104 Hawaii Zone 4, 5105
//     Hawaii Zone 5: EPSG defines them on the Old Hawaiian datum; the records name kNad27Conus
//   - 1927 5201 Puerto Rico, 5202 St. Croix: EPSG defines them on the Puerto Rico datum; the
//     records name kNad27Conus

#include <cstdint>
#include <numbers>
#include <span>

#include "lib/geodesy/Grids.h"

namespace zenolith {
namespace {

constexpr std::int16_t kNad83 = 19;
constexpr std::int16_t kNad27Alaska = 20;
constexpr std::int16_t kNad27East = 21;
constexpr std::int16_t kNad27Conus = 22;
constexpr std::int16_t kNad27West = 23;

constexpr std::int16_t kObliqueConformal = 2;
constexpr std::int16_t kTransverseMercator = 3;
constexpr std::int16_t kLambert = 5;

constexpr double Deg(double degrees) { return degrees * (std::numbers::pi / 180.0); }

// Origins and parallels in decimal degrees, latitude first.
constexpr GridRecord Tm(std::int16_t datum, std::int16_t code, double fe, double fn, double lat0,
                        double lon0, double k) {
  return {datum, kTransverseMercator, fe, fn, Deg(lon0), Deg(lat0), k, 0, 0, code};
}
constexpr GridRecord Lambert(std::int16_t datum, std::int16_t code, double fe, double fn,
                             double lat0, double lon0, double sp1, double sp2) {
  return {datum, kLambert, fe, fn, Deg(lon0), Deg(lat0), 1, Deg(sp1), Deg(sp2), code};
}
constexpr GridRecord Oblique(std::int16_t datum, std::int16_t code, double fe, double fn,
                             double lat0, double lon0, double k) {
  return {datum, kObliqueConformal, fe, fn, Deg(lon0), Deg(lat0), k, 0, 0, code};
}

// 132 zones of 1927.
constexpr GridRecord kZones1927[] = {
    // 0101 Alabama East (EPSG 10101)
    Tm(kNad27East, 101, 152400.3048006096, 0, 30.5, -85.83333333333333, 0.99996),
    // 0102 Alabama West (EPSG 10102)
    Tm(kNad27East, 102, 152400.3048006096, 0, 30, -87.5, 0.999933333),
    // 5001 Alaska Zone 1 (EPSG 15001)
    Oblique(kNad27Alaska, 5001, 0, 0, 57, -133.66666666666666, 0.9999),
    // 5002 Alaska Zone 2 (EPSG 15002)
    Tm(kNad27Alaska, 5002, 152400.3048006096, 0, 54, -142, 0.9999),
    // 5003 Alaska Zone 3 (EPSG 15003)
    Tm(kNad27Alaska, 5003, 152400.3048006096, 0, 54, -146, 0.9999),
    // 5004 Alaska Zone 4 (EPSG 15004)
    Tm(kNad27Alaska, 5004, 152400.3048006096, 0, 54, -150, 0.9999),
    // 5005 Alaska Zone 5 (EPSG 15005)
    Tm(kNad27Alaska, 5005, 152400.3048006096, 0, 54, -154, 0.9999),
    // 5006 Alaska Zone 6 (EPSG 15006)
    Tm(kNad27Alaska, 5006, 152400.3048006096, 0, 54, -158, 0.9999),
    // 5007 Alaska Zone 7 (EPSG 15007)
    Tm(kNad27Alaska, 5007, 213360.42672085343, 0, 54, -162, 0.9999),
    // 5008 Alaska Zone 8 (EPSG 15008)
    Tm(kNad27Alaska, 5008, 152400.3048006096, 0, 54, -166, 0.9999),
    // 5009 Alaska Zone 9 (EPSG 15009)
    Tm(kNad27Alaska, 5009, 182880.3657607315, 0, 54, -170, 0.9999),
    // 5010 Alaska Zone 10 (EPSG 15010)
    Lambert(kNad27Alaska, 5010, 914401.8288036576, 0, 51, -176, 51.833333333333336, 53.833333333333336),
    // 0201 Arizona East (EPSG 10201)
    Tm(kNad27West, 201, 152400.3048006096, 0, 31, -110.16666666666667, 0.9999),
    // 0202 Arizona Central (EPSG 10202)
    Tm(kNad27West, 202, 152400.3048006096, 0, 31, -111.91666666666667, 0.9999),
    // 0203 Arizona West (EPSG 10203)
    Tm(kNad27West, 203, 152400.3048006096, 0, 31, -113.75, 0.999933333),
    // 0301 Arkansas North (EPSG 10301)
    Lambert(kNad27West, 301, 609601.2192024384, 0, 34.333333333333336, -92, 34.93333333333333, 36.233333333333334),
    // 0302 Arkansas South (EPSG 10302)
    Lambert(kNad27West, 302, 609601.2192024384, 0, 32.666666666666664, -92, 33.3, 34.766666666666666),
    // 0401 California Zone 1 (EPSG 10401)
    Lambert(kNad27West, 401, 609601.2192024384, 0, 39.333333333333336, -122, 40, 41.666666666666664),
    // 0402 California Zone 2 (EPSG 10402)
    Lambert(kNad27West, 402, 609601.2192024384, 0, 37.666666666666664, -122, 38.333333333333336, 39.833333333333336),
    // 0403 California Zone 3 (EPSG 10403)
    Lambert(kNad27West, 403, 609601.2192024384, 0, 36.5, -120.5, 37.06666666666667, 38.43333333333333),
    // 0404 California Zone 4 (EPSG 10404)
    Lambert(kNad27West, 404, 609601.2192024384, 0, 35.333333333333336, -119, 36, 37.25),
    // 0405 California Zone 5 (EPSG 10405)
    Lambert(kNad27West, 405, 609601.2192024384, 0, 33.5, -118, 34.03333333333333, 35.46666666666667),
    // 0406 California Zone 6 (EPSG 10406)
    Lambert(kNad27West, 406, 609601.2192024384, 0, 32.166666666666664, -116.25, 32.78333333333333, 33.88333333333333),
    // 0407 California Zone 7 (EPSG 10408)
    Lambert(kNad27West, 407, 1276106.4505969011, 1268253.0068580138, 34.13333333333333, -118.33333333333333, 33.86666666666667, 34.416666666666664),
    // 0501 Colorado North (EPSG 10501)
    Lambert(kNad27West, 501, 609601.2192024384, 0, 39.333333333333336, -105.5, 39.71666666666667, 40.78333333333333),
    // 0502 Colorado Central (EPSG 10502)
    Lambert(kNad27West, 502, 609601.2192024384, 0, 37.833333333333336, -105.5, 38.45, 39.75),
    // 0503 Colorado South (EPSG 10503)
    Lambert(kNad27West, 503, 609601.2192024384, 0, 36.666666666666664, -105.5, 37.233333333333334, 38.43333333333333),
    // 0600 Connecticut (EPSG 10600)
    Lambert(kNad27East, 600, 182880.3657607315, 0, 40.833333333333336, -72.75, 41.2, 41.86666666666667),
    // 0700 Delaware (EPSG 10700)
    Tm(kNad27East, 700, 152400.3048006096, 0, 38, -75.41666666666667, 0.999995),
    // 0901 Florida East (EPSG 10901)
    Tm(kNad27East, 901, 152400.3048006096, 0, 24.333333333333332, -81, 0.999941177),
    // 0902 Florida West (EPSG 10902)
    Tm(kNad27East, 902, 152400.3048006096, 0, 24.333333333333332, -82, 0.999941177),
    // 0903 Florida North (EPSG 10903)
    Lambert(kNad27East, 903, 609601.2192024384, 0, 29, -84.5, 29.583333333333332, 30.75),
    // 1001 Georgia East (EPSG 11001)
    Tm(kNad27East, 1001, 152400.3048006096, 0, 30, -82.16666666666667, 0.9999),
    // 1002 Georgia West (EPSG 11002)
    Tm(kNad27East, 1002, 152400.3048006096, 0, 30, -84.16666666666667, 0.9999),
    // 5101 Hawaii Zone 1 (EPSG 15101)
    Tm(kNad27Conus, 5101, 152400.3048006096, 0, 18.833333333333332, -155.5, 0.999966667),
    // 5102 Hawaii Zone 2 (EPSG 15102)
    Tm(kNad27Conus, 5102, 152400.3048006096, 0, 20.333333333333332, -156.66666666666666, 0.999966667),
    // 5103 Hawaii Zone 3 (EPSG 15103)
    Tm(kNad27Conus, 5103, 152400.3048006096, 0, 21.166666666666668, -158, 0.99999),
    // 5104 Hawaii Zone 4 (EPSG 15104)
    Tm(kNad27Conus, 5104, 152400.3048006096, 0, 21.833333333333332, -159.5, 0.99999),
    // 5105 Hawaii Zone 5 (EPSG 15105)
    Tm(kNad27Conus, 5105, 152400.3048006096, 0, 21.666666666666668, -160.16666666666666, 1),
    // 1101 Idaho East (EPSG 11101)
    Tm(kNad27West, 1101, 152400.3048006096, 0, 41.666666666666664, -112.16666666666667, 0.999947368),
    // 1102 Idaho Central (EPSG 11102)
    Tm(kNad27West, 1102, 152400.3048006096, 0, 41.666666666666664, -114, 0.999947368),
    // 1103 Idaho West (EPSG 11103)
    Tm(kNad27West, 1103, 152400.3048006096, 0, 41.666666666666664, -115.75, 0.999933333),
    // 1201 Illinois East (EPSG 11201)
    Tm(kNad27East, 1201, 152400.3048006096, 0, 36.666666666666664, -88.33333333333333, 0.999975),
    // 1202 Illinois West (EPSG 11202)
    Tm(kNad27East, 1202, 152400.3048006096, 0, 36.666666666666664, -90.16666666666667, 0.999941177),
    // 1301 Indiana East (EPSG 11301)
    Tm(kNad27East, 1301, 152400.3048006096, 0, 37.5, -85.66666666666667, 0.999966667),
    // 1302 Indiana West (EPSG 11302)
    Tm(kNad27East, 1302, 152400.3048006096, 0, 37.5, -87.08333333333333, 0.999966667),
    // 1401 Iowa North (EPSG 11401)
    Lambert(kNad27West, 1401, 609601.2192024384, 0, 41.5, -93.5, 42.06666666666667, 43.266666666666666),
    // 1402 Iowa South (EPSG 11402)
    Lambert(kNad27West, 1402, 609601.2192024384, 0, 40, -93.5, 40.61666666666667, 41.78333333333333),
    // 1501 Kansas North (EPSG 11501)
    Lambert(kNad27West, 1501, 609601.2192024384, 0, 38.333333333333336, -98, 38.71666666666667, 39.78333333333333),
    // 1502 Kansas South (EPSG 11502)
    Lambert(kNad27West, 1502, 609601.2192024384, 0, 36.666666666666664, -98.5, 37.266666666666666, 38.56666666666667),
    // 1601 Kentucky North (EPSG 11601)
    Lambert(kNad27East, 1601, 609601.2192024384, 0, 37.5, -84.25, 37.96666666666667, 38.96666666666667),
    // 1602 Kentucky South (EPSG 11602)
    Lambert(kNad27East, 1602, 609601.2192024384, 0, 36.333333333333336, -85.75, 36.733333333333334, 37.93333333333333),
    // 1701 Louisiana North (EPSG 11701)
    Lambert(kNad27East, 1701, 609601.2192024384, 0, 30.666666666666668, -92.5, 31.166666666666668, 32.666666666666664),
    // 1702 Louisiana South (EPSG 11702)
    Lambert(kNad27East, 1702, 609601.2192024384, 0, 28.666666666666668, -91.33333333333333, 29.3, 30.7),
    // 1703 Louisiana Offshore (EPSG 11703)
    Lambert(kNad27East, 1703, 609601.2192024384, 0, 25.666666666666668, -91.33333333333333, 26.166666666666668, 27.833333333333332),
    // 1801 Maine East (EPSG 11801)
    Tm(kNad27East, 1801, 152400.3048006096, 0, 43.833333333333336, -68.5, 0.9999),
    // 1802 Maine West (EPSG 11802)
    Tm(kNad27East, 1802, 152400.3048006096, 0, 42.833333333333336, -70.16666666666667, 0.999966667),
    // 1900 Maryland (EPSG 11900)
    Lambert(kNad27East, 1900, 243840.48768097535, 0, 37.833333333333336, -77, 38.3, 39.45),
    // 2001 Massachusetts Mainland (EPSG 12001)
    Lambert(kNad27East, 2001, 182880.3657607315, 0, 41, -71.5, 41.71666666666667, 42.68333333333333),
    // 2002 Massachusetts Island (EPSG 12002)
    Lambert(kNad27East, 2002, 60960.12192024384, 0, 41, -70.5, 41.28333333333333, 41.483333333333334),
    // 2101 Michigan East (EPSG 12101)
    Tm(kNad27East, 2101, 152400.3048006096, 0, 41.5, -83.66666666666667, 0.999942857),
    // 2102 Michigan Old Central (EPSG 12102)
    Tm(kNad27East, 2102, 152400.3048006096, 0, 41.5, -85.75, 0.999909091),
    // 2103 Michigan West (EPSG 12103)
    Tm(kNad27East, 2103, 152400.3048006096, 0, 41.5, -88.75, 0.999909091),
    // 2111 Michigan North (EPSG 6965)
    Lambert(kNad27East, 2111, 609601.2192024384, 0, 44.78333333333333, -87, 45.660887615189225, 46.9073300237874),
    // 2112 Michigan Central (EPSG 6198)
    Lambert(kNad27East, 2112, 609601.2192024384, 0, 43.31666666666667, -84.33333333333333, 44.37369770676035, 45.51111675196706),
    // 2113 Michigan South (EPSG 6199)
    Lambert(kNad27East, 2113, 609601.2192024384, 0, 41.5, -84.33333333333333, 42.282432615283824, 43.48561405542322),
    // 2201 Minnesota North (EPSG 12201)
    Lambert(kNad27East, 2201, 609601.2192024384, 0, 46.5, -93.1, 47.03333333333333, 48.63333333333333),
    // 2202 Minnesota Central (EPSG 12202)
    Lambert(kNad27East, 2202, 609601.2192024384, 0, 45, -94.25, 45.61666666666667, 47.05),
    // 2203 Minnesota South (EPSG 12203)
    Lambert(kNad27East, 2203, 609601.2192024384, 0, 43, -94, 43.78333333333333, 45.21666666666667),
    // 2301 Mississippi East (EPSG 12301)
    Tm(kNad27East, 2301, 152400.3048006096, 0, 29.666666666666668, -88.83333333333333, 0.99996),
    // 2302 Mississippi West (EPSG 12302)
    Tm(kNad27East, 2302, 152400.3048006096, 0, 30.5, -90.33333333333333, 0.999941177),
    // 2401 Missouri East (EPSG 12401)
    Tm(kNad27East, 2401, 152400.3048006096, 0, 35.833333333333336, -90.5, 0.999933333),
    // 2402 Missouri Central (EPSG 12402)
    Tm(kNad27East, 2402, 152400.3048006096, 0, 35.833333333333336, -92.5, 0.999933333),
    // 2403 Missouri West (EPSG 12403)
    Tm(kNad27East, 2403, 152400.3048006096, 0, 36.166666666666664, -94.5, 0.999941177),
    // 2501 Montana North (EPSG 12501)
    Lambert(kNad27West, 2501, 609601.2192024384, 0, 47, -109.5, 47.85, 48.71666666666667),
    // 2502 Montana Central (EPSG 12502)
    Lambert(kNad27West, 2502, 609601.2192024384, 0, 45.833333333333336, -109.5, 46.45, 47.88333333333333),
    // 2503 Montana South (EPSG 12503)
    Lambert(kNad27West, 2503, 609601.2192024384, 0, 44, -109.5, 44.86666666666667, 46.4),
    // 2601 Nebraska North (EPSG 12601)
    Lambert(kNad27West, 2601, 609601.2192024384, 0, 41.333333333333336, -100, 41.85, 42.81666666666667),
    // 2602 Nebraska South (EPSG 12602)
    Lambert(kNad27West, 2602, 609601.2192024384, 0, 39.666666666666664, -99.5, 40.28333333333333, 41.71666666666667),
    // 2701 Nevada East (EPSG 12701)
    Tm(kNad27West, 2701, 152400.3048006096, 0, 34.75, -115.58333333333333, 0.9999),
    // 2702 Nevada Central (EPSG 12702)
    Tm(kNad27West, 2702, 152400.3048006096, 0, 34.75, -116.66666666666667, 0.9999),
    // 2703 Nevada West (EPSG 12703)
    Tm(kNad27West, 2703, 152400.3048006096, 0, 34.75, -118.58333333333333, 0.9999),
    // 2800 New Hampshire (EPSG 12800)
    Tm(kNad27East, 2800, 152400.3048006096, 0, 42.5, -71.66666666666667, 0.999966667),
    // 2900 New Jersey (EPSG 12900)
    Tm(kNad27East, 2900, 609601.2192024384, 0, 38.833333333333336, -74.66666666666667, 0.999975),
    // 3001 New Mexico East (EPSG 13001)
    Tm(kNad27West, 3001, 152400.3048006096, 0, 31, -104.33333333333333, 0.999909091),
    // 3002 New Mexico Central (EPSG 13002)
    Tm(kNad27West, 3002, 152400.3048006096, 0, 31, -106.25, 0.9999),
    // 3003 New Mexico West (EPSG 13003)
    Tm(kNad27West, 3003, 152400.3048006096, 0, 31, -107.83333333333333, 0.999916667),
    // 3101 New York East (EPSG 13101)
    Tm(kNad27East, 3101, 152400.3048006096, 0, 40, -74.33333333333333, 0.999966667),
    // 3102 New York Central (EPSG 13102)
    Tm(kNad27East, 3102, 152400.3048006096, 0, 40, -76.58333333333333, 0.9999375),
    // 3103 New York West (EPSG 13103)
    Tm(kNad27East, 3103, 152400.3048006096, 0, 40, -78.58333333333333, 0.9999375),
    // 3104 New York Long Island (EPSG 4454)
    Lambert(kNad27East, 3104, 609601.2192024384, 30480.06096012192, 40.5, -74, 40.666666666666664, 41.03333333333333),
    // 3200 North Carolina (EPSG 13200)
    Lambert(kNad27East, 3200, 609601.2192024384, 0, 33.75, -79, 34.333333333333336, 36.166666666666664),
    // 3301 North Dakota North (EPSG 13301)
    Lambert(kNad27West, 3301, 609601.2192024384, 0, 47, -100.5, 47.43333333333333, 48.733333333333334),
    // 3302 North Dakota South (EPSG 13302)
    Lambert(kNad27West, 3302, 609601.2192024384, 0, 45.666666666666664, -100.5, 46.18333333333333, 47.483333333333334),
    // 3401 Ohio North (EPSG 13401)
    Lambert(kNad27East, 3401, 609601.2192024384, 0, 39.666666666666664, -82.5, 40.43333333333333, 41.7),
    // 3402 Ohio South (EPSG 13402)
    Lambert(kNad27East, 3402, 609601.2192024384, 0, 38, -82.5, 38.733333333333334, 40.03333333333333),
    // 3501 Oklahoma North (EPSG 13501)
    Lambert(kNad27West, 3501, 609601.2192024384, 0, 35, -98, 35.56666666666667, 36.766666666666666),
    // 3502 Oklahoma South (EPSG 13502)
    Lambert(kNad27West, 3502, 609601.2192024384, 0, 33.333333333333336, -98, 33.93333333333333, 35.233333333333334),
    // 3601 Oregon North (EPSG 13601)
    Lambert(kNad27West, 3601, 609601.2192024384, 0, 43.666666666666664, -120.5, 44.333333333333336, 46),
    // 3602 Oregon South (EPSG 13602)
    Lambert(kNad27West, 3602, 609601.2192024384, 0, 41.666666666666664, -120.5, 42.333333333333336, 44),
    // 3701 Pennsylvania North (EPSG 13701)
    Lambert(kNad27East, 3701, 609601.2192024384, 0, 40.166666666666664, -77.75, 40.88333333333333, 41.95),
    // 3702 Pennsylvania South (EPSG 4436)
    Lambert(kNad27East, 3702, 609601.2192024384, 0, 39.333333333333336, -77.75, 39.93333333333333, 40.96666666666667),
    // 3800 Rhode Island (EPSG 13800)
    Tm(kNad27East, 3800, 152400.3048006096, 0, 41.083333333333336, -71.5, 0.9999938),
    // 3901 South Carolina North (EPSG 13901)
    Lambert(kNad27East, 3901, 609601.2192024384, 0, 33, -81, 33.766666666666666, 34.96666666666667),
    // 3902 South Carolina South (EPSG 13902)
    Lambert(kNad27East, 3902, 609601.2192024384, 0, 31.833333333333332, -81, 32.333333333333336, 33.666666666666664),
    // 4001 South Dakota North (EPSG 14001)
    Lambert(kNad27West, 4001, 609601.2192024384, 0, 43.833333333333336, -100, 44.416666666666664, 45.68333333333333),
    // 4002 South Dakota South (EPSG 14002)
    Lambert(kNad27West, 4002, 609601.2192024384, 0, 42.333333333333336, -100.33333333333333, 42.833333333333336, 44.4),
    // 4100 Tennessee (EPSG 15302)
    Lambert(kNad27East, 4100, 609601.2192024384, 30480.06096012192, 34.666666666666664, -86, 35.25, 36.416666666666664),
    // 4201 Texas North (EPSG 14201)
    Lambert(kNad27West, 4201, 609601.2192024384, 0, 34, -101.5, 34.65, 36.18333333333333),
    // 4202 Texas North Central (EPSG 14202)
    Lambert(kNad27West, 4202, 609601.2192024384, 0, 31.666666666666668, -97.5, 32.13333333333333, 33.96666666666667),
    // 4203 Texas Central (EPSG 14203)
    Lambert(kNad27West, 4203, 609601.2192024384, 0, 29.666666666666668, -100.33333333333333, 30.116666666666667, 31.883333333333333),
    // 4204 Texas South Central (EPSG 14204)
    Lambert(kNad27West, 4204, 609601.2192024384, 0, 27.833333333333332, -99, 28.383333333333333, 30.283333333333335),
    // 4205 Texas South (EPSG 14205)
    Lambert(kNad27West, 4205, 609601.2192024384, 0, 25.666666666666668, -98.5, 26.166666666666668, 27.833333333333332),
    // 4301 Utah North (EPSG 14301)
    Lambert(kNad27West, 4301, 609601.2192024384, 0, 40.333333333333336, -111.5, 40.71666666666667, 41.78333333333333),
    // 4302 Utah Central (EPSG 14302)
    Lambert(kNad27West, 4302, 609601.2192024384, 0, 38.333333333333336, -111.5, 39.016666666666666, 40.65),
    // 4303 Utah South (EPSG 14303)
    Lambert(kNad27West, 4303, 609601.2192024384, 0, 36.666666666666664, -111.5, 37.21666666666667, 38.35),
    // 4400 Vermont (EPSG 14400)
    Tm(kNad27East, 4400, 152400.3048006096, 0, 42.5, -72.5, 0.999964286),
    // 4501 Virginia North (EPSG 14501)
    Lambert(kNad27East, 4501, 609601.2192024384, 0, 37.666666666666664, -78.5, 38.03333333333333, 39.2),
    // 4502 Virginia South (EPSG 14502)
    Lambert(kNad27East, 4502, 609601.2192024384, 0, 36.333333333333336, -78.5, 36.766666666666666, 37.96666666666667),
    // 4601 Washington North (EPSG 14601)
    Lambert(kNad27West, 4601, 609601.2192024384, 0, 47, -120.83333333333333, 47.5, 48.733333333333334),
    // 4602 Washington South (EPSG 14602)
    Lambert(kNad27West, 4602, 609601.2192024384, 0, 45.333333333333336, -120.5, 45.833333333333336, 47.333333333333336),
    // 4701 West Virginia North (EPSG 14701)
    Lambert(kNad27East, 4701, 609601.2192024384, 0, 38.5, -79.5, 39, 40.25),
    // 4702 West Virginia South (EPSG 14702)
    Lambert(kNad27East, 4702, 609601.2192024384, 0, 37, -81, 37.483333333333334, 38.88333333333333),
    // 4801 Wisconsin North (EPSG 14801)
    Lambert(kNad27East, 4801, 609601.2192024384, 0, 45.166666666666664, -90, 45.56666666666667, 46.766666666666666),
    // 4802 Wisconsin Central (EPSG 14802)
    Lambert(kNad27East, 4802, 609601.2192024384, 0, 43.833333333333336, -90, 44.25, 45.5),
    // 4803 Wisconsin South (EPSG 14803)
    Lambert(kNad27East, 4803, 609601.2192024384, 0, 42, -90, 42.733333333333334, 44.06666666666667),
    // 4901 Wyoming East (EPSG 14901)
    Tm(kNad27West, 4901, 152400.3048006096, 0, 40.666666666666664, -105.16666666666667, 0.999941177),
    // 4902 Wyoming East Central (EPSG 14902)
    Tm(kNad27West, 4902, 152400.3048006096, 0, 40.666666666666664, -107.33333333333333, 0.999941177),
    // 4903 Wyoming West Central (EPSG 14903)
    Tm(kNad27West, 4903, 152400.3048006096, 0, 40.666666666666664, -108.75, 0.999941177),
    // 4904 Wyoming West (EPSG 14904)
    Tm(kNad27West, 4904, 152400.3048006096, 0, 40.666666666666664, -110.08333333333333, 0.999941177),
    // 5201 Puerto Rico (EPSG 15201)
    Lambert(kNad27Conus, 5201, 152400.3048006096, 0, 17.833333333333332, -66.43333333333334, 18.033333333333335, 18.433333333333334),
    // 5202 St. Croix (EPSG 15202)
    Lambert(kNad27Conus, 5202, 152400.3048006096, 30480.06096012192, 17.833333333333332, -66.43333333333334, 18.033333333333335, 18.433333333333334),
};

// 125 zones of 1983.
constexpr GridRecord kZones1983[] = {
    // 0101 Alabama East (EPSG 10131)
    Tm(kNad83, 101, 200000, 0, 30.5, -85.83333333333333, 0.99996),
    // 0102 Alabama West (EPSG 10132)
    Tm(kNad83, 102, 600000, 0, 30, -87.5, 0.999933333),
    // 5001 Alaska Zone 1 (EPSG 15031)
    Oblique(kNad83, 5001, 5000000, -5000000, 57, -133.66666666666666, 0.9999),
    // 5002 Alaska Zone 2 (EPSG 15032)
    Tm(kNad83, 5002, 500000, 0, 54, -142, 0.9999),
    // 5003 Alaska Zone 3 (EPSG 15033)
    Tm(kNad83, 5003, 500000, 0, 54, -146, 0.9999),
    // 5004 Alaska Zone 4 (EPSG 15034)
    Tm(kNad83, 5004, 500000, 0, 54, -150, 0.9999),
    // 5005 Alaska Zone 5 (EPSG 15035)
    Tm(kNad83, 5005, 500000, 0, 54, -154, 0.9999),
    // 5006 Alaska Zone 6 (EPSG 15036)
    Tm(kNad83, 5006, 500000, 0, 54, -158, 0.9999),
    // 5007 Alaska Zone 7 (EPSG 15037)
    Tm(kNad83, 5007, 500000, 0, 54, -162, 0.9999),
    // 5008 Alaska Zone 8 (EPSG 15038)
    Tm(kNad83, 5008, 500000, 0, 54, -166, 0.9999),
    // 5009 Alaska Zone 9 (EPSG 15039)
    Tm(kNad83, 5009, 500000, 0, 54, -170, 0.9999),
    // 5010 Alaska Zone 10 (EPSG 15040)
    Lambert(kNad83, 5010, 1000000, 0, 51, -176, 51.833333333333336, 53.833333333333336),
    // 0201 Arizona East (EPSG 10231)
    Tm(kNad83, 201, 213360, 0, 31, -110.16666666666667, 0.9999),
    // 0202 Arizona Central (EPSG 10232)
    Tm(kNad83, 202, 213360, 0, 31, -111.91666666666667, 0.9999),
    // 0203 Arizona West (EPSG 10233)
    Tm(kNad83, 203, 213360, 0, 31, -113.75, 0.999933333),
    // 0301 Arkansas North (EPSG 10331)
    Lambert(kNad83, 301, 400000, 0, 34.333333333333336, -92, 34.93333333333333, 36.233333333333334),
    // 0302 Arkansas South (EPSG 10332)
    Lambert(kNad83, 302, 400000, 400000, 32.666666666666664, -92, 33.3, 34.766666666666666),
    // 0401 California Zone 1 (EPSG 10431)
    Lambert(kNad83, 401, 2000000, 500000, 39.333333333333336, -122, 40, 41.666666666666664),
    // 0402 California Zone 2 (EPSG 10432)
    Lambert(kNad83, 402, 2000000, 500000, 37.666666666666664, -122, 38.333333333333336, 39.833333333333336),
    // 0403 California Zone 3 (EPSG 10433)
    Lambert(kNad83, 403, 2000000, 500000, 36.5, -120.5, 37.06666666666667, 38.43333333333333),
    // 0404 California Zone 4 (EPSG 10434)
    Lambert(kNad83, 404, 2000000, 500000, 35.333333333333336, -119, 36, 37.25),
    // 0405 California Zone 5 (EPSG 10435)
    Lambert(kNad83, 405, 2000000, 500000, 33.5, -118, 34.03333333333333, 35.46666666666667),
    // 0406 California Zone 6 (EPSG 10436)
    Lambert(kNad83, 406, 2000000, 500000, 32.166666666666664, -116.25, 32.78333333333333, 33.88333333333333),
    // 0501 Colorado North (EPSG 10531)
    Lambert(kNad83, 501, 914401.8289, 304800.6096, 39.333333333333336, -105.5, 39.71666666666667, 40.78333333333333),
    // 0502 Colorado Central (EPSG 10532)
    Lambert(kNad83, 502, 914401.8289, 304800.6096, 37.833333333333336, -105.5, 38.45, 39.75),
    // 0503 Colorado South (EPSG 10533)
    Lambert(kNad83, 503, 914401.8289, 304800.6096, 36.666666666666664, -105.5, 37.233333333333334, 38.43333333333333),
    // 0600 Connecticut (EPSG 10630)
    Lambert(kNad83, 600, 304800.6096, 152400.3048, 40.833333333333336, -72.75, 41.2, 41.86666666666667),
    // 0700 Delaware (EPSG 10730)
    Tm(kNad83, 700, 200000, 0, 38, -75.41666666666667, 0.999995),
    // 0901 Florida East (EPSG 10931)
    Tm(kNad83, 901, 200000, 0, 24.333333333333332, -81, 0.999941177),
    // 0902 Florida West (EPSG 10932)
    Tm(kNad83, 902, 200000, 0, 24.333333333333332, -82, 0.999941177),
    // 0903 Florida North (EPSG 10933)
    Lambert(kNad83, 903, 600000, 0, 29, -84.5, 29.583333333333332, 30.75),
    // 1001 Georgia East (EPSG 11031)
    Tm(kNad83, 1001, 200000, 0, 30, -82.16666666666667, 0.9999),
    // 1002 Georgia West (EPSG 11032)
    Tm(kNad83, 1002, 700000, 0, 30, -84.16666666666667, 0.9999),
    // 5101 Hawaii Zone 1 (EPSG 15131)
    Tm(kNad83, 5101, 500000, 0, 18.833333333333332, -155.5, 0.999966667),
    // 5102 Hawaii Zone 2 (EPSG 15132)
    Tm(kNad83, 5102, 500000, 0, 20.333333333333332, -156.66666666666666, 0.999966667),
    // 5103 Hawaii Zone 3 (EPSG 15133)
    Tm(kNad83, 5103, 500000, 0, 21.166666666666668, -158, 0.99999),
    // 5104 Hawaii Zone 4 (EPSG 15134)
    Tm(kNad83, 5104, 500000, 0, 21.833333333333332, -159.5, 0.99999),
    // 5105 Hawaii Zone 5 (EPSG 15135)
    Tm(kNad83, 5105, 500000, 0, 21.666666666666668, -160.16666666666666, 1),
    // 1101 Idaho East (EPSG 11131)
    Tm(kNad83, 1101, 200000, 0, 41.666666666666664, -112.16666666666667, 0.999947368),
    // 1102 Idaho Central (EPSG 11132)
    Tm(kNad83, 1102, 500000, 0, 41.666666666666664, -114, 0.999947368),
    // 1103 Idaho West (EPSG 11133)
    Tm(kNad83, 1103, 800000, 0, 41.666666666666664, -115.75, 0.999933333),
    // 1201 Illinois East (EPSG 11231)
    Tm(kNad83, 1201, 300000, 0, 36.666666666666664, -88.33333333333333, 0.999975),
    // 1202 Illinois West (EPSG 11232)
    Tm(kNad83, 1202, 700000, 0, 36.666666666666664, -90.16666666666667, 0.999941177),
    // 1301 Indiana East (EPSG 11331)
    Tm(kNad83, 1301, 100000, 250000, 37.5, -85.66666666666667, 0.999966667),
    // 1302 Indiana West (EPSG 11332)
    Tm(kNad83, 1302, 900000, 250000, 37.5, -87.08333333333333, 0.999966667),
    // 1401 Iowa North (EPSG 11431)
    Lambert(kNad83, 1401, 1500000, 1000000, 41.5, -93.5, 42.06666666666667, 43.266666666666666),
    // 1402 Iowa South (EPSG 11432)
    Lambert(kNad83, 1402, 500000, 0, 40, -93.5, 40.61666666666667, 41.78333333333333),
    // 1501 Kansas North (EPSG 11531)
    Lambert(kNad83, 1501, 400000, 0, 38.333333333333336, -98, 38.71666666666667, 39.78333333333333),
    // 1502 Kansas South (EPSG 11532)
    Lambert(kNad83, 1502, 400000, 400000, 36.666666666666664, -98.5, 37.266666666666666, 38.56666666666667),
    // 1600 Kentucky Single (EPSG 11630)
    Lambert(kNad83, 1600, 1500000, 1000000, 36.333333333333336, -85.75, 37.083333333333336, 38.666666666666664),
    // 1601 Kentucky North (EPSG 15303)
    Lambert(kNad83, 1601, 500000, 0, 37.5, -84.25, 37.96666666666667, 38.96666666666667),
    // 1602 Kentucky South (EPSG 11632)
    Lambert(kNad83, 1602, 500000, 500000, 36.333333333333336, -85.75, 36.733333333333334, 37.93333333333333),
    // 1701 Louisiana North (EPSG 11731)
    Lambert(kNad83, 1701, 1000000, 0, 30.5, -92.5, 31.166666666666668, 32.666666666666664),
    // 1702 Louisiana South (EPSG 11732)
    Lambert(kNad83, 1702, 1000000, 0, 28.5, -91.33333333333333, 29.3, 30.7),
    // 1703 Louisiana Offshore (EPSG 11733)
    Lambert(kNad83, 1703, 1000000, 0, 25.5, -91.33333333333333, 26.166666666666668, 27.833333333333332),
    // 1801 Maine East (EPSG 11831)
    Tm(kNad83, 1801, 300000, 0, 43.666666666666664, -68.5, 0.9999),
    // 1802 Maine West (EPSG 11832)
    Tm(kNad83, 1802, 900000, 0, 42.833333333333336, -70.16666666666667, 0.999966667),
    // 1900 Maryland (EPSG 11930)
    Lambert(kNad83, 1900, 400000, 0, 37.666666666666664, -77, 38.3, 39.45),
    // 2001 Massachusetts Mainland (EPSG 12031)
    Lambert(kNad83, 2001, 200000, 750000, 41, -71.5, 41.71666666666667, 42.68333333333333),
    // 2002 Massachusetts Island (EPSG 12032)
    Lambert(kNad83, 2002, 500000, 0, 41, -70.5, 41.28333333333333, 41.483333333333334),
    // 2111 Michigan North (EPSG 12141)
    Lambert(kNad83, 2111, 8000000, 0, 44.78333333333333, -87, 45.483333333333334, 47.083333333333336),
    // 2112 Michigan Central (EPSG 12142)
    Lambert(kNad83, 2112, 6000000, 0, 43.31666666666667, -84.36666666666666, 44.18333333333333, 45.7),
    // 2113 Michigan South (EPSG 12143)
    Lambert(kNad83, 2113, 4000000, 0, 41.5, -84.36666666666666, 42.1, 43.666666666666664),
    // 2201 Minnesota North (EPSG 12231)
    Lambert(kNad83, 2201, 800000, 100000, 46.5, -93.1, 47.03333333333333, 48.63333333333333),
    // 2202 Minnesota Central (EPSG 12232)
    Lambert(kNad83, 2202, 800000, 100000, 45, -94.25, 45.61666666666667, 47.05),
    // 2203 Minnesota South (EPSG 12233)
    Lambert(kNad83, 2203, 800000, 100000, 43, -94, 43.78333333333333, 45.21666666666667),
    // 2300 Mississippi Transverse Mercator (EPSG 3813)
    Tm(kNad83, 2300, 500000, 1300000, 32.5, -89.75, 0.9998335),
    // 2301 Mississippi East (EPSG 12331)
    Tm(kNad83, 2301, 300000, 0, 29.5, -88.83333333333333, 0.99995),
    // 2302 Mississippi West (EPSG 12332)
    Tm(kNad83, 2302, 700000, 0, 29.5, -90.33333333333333, 0.99995),
    // 2401 Missouri East (EPSG 12431)
    Tm(kNad83, 2401, 250000, 0, 35.833333333333336, -90.5, 0.999933333),
    // 2402 Missouri Central (EPSG 12432)
    Tm(kNad83, 2402, 500000, 0, 35.833333333333336, -92.5, 0.999933333),
    // 2403 Missouri West (EPSG 12433)
    Tm(kNad83, 2403, 850000, 0, 36.166666666666664, -94.5, 0.999941177),
    // 2500 Montana (EPSG 12530)
    Lambert(kNad83, 2500, 600000, 0, 44.25, -109.5, 45, 49),
    // 2600 Nebraska (EPSG 12630)
    Lambert(kNad83, 2600, 500000, 0, 39.833333333333336, -100, 40, 43),
    // 2701 Nevada East (EPSG 12731)
    Tm(kNad83, 2701, 200000, 8000000, 34.75, -115.58333333333333, 0.9999),
    // 2702 Nevada Central (EPSG 12732)
    Tm(kNad83, 2702, 500000, 6000000, 34.75, -116.66666666666667, 0.9999),
    // 2703 Nevada West (EPSG 12733)
    Tm(kNad83, 2703, 800000, 4000000, 34.75, -118.58333333333333, 0.9999),
    // 2800 New Hampshire (EPSG 12830)
    Tm(kNad83, 2800, 300000, 0, 42.5, -71.66666666666667, 0.999966667),
    // 2900 New Jersey (EPSG 12930)
    Tm(kNad83, 2900, 150000, 0, 38.833333333333336, -74.5, 0.9999),
    // 3001 New Mexico East (EPSG 13031)
    Tm(kNad83, 3001, 165000, 0, 31, -104.33333333333333, 0.999909091),
    // 3002 New Mexico Central (EPSG 13032)
    Tm(kNad83, 3002, 500000, 0, 31, -106.25, 0.9999),
    // 3003 New Mexico West (EPSG 13033)
    Tm(kNad83, 3003, 830000, 0, 31, -107.83333333333333, 0.999916667),
    // 3101 New York East (EPSG 13131)
    Tm(kNad83, 3101, 150000, 0, 38.833333333333336, -74.5, 0.9999),
    // 3102 New York Central (EPSG 13132)
    Tm(kNad83, 3102, 250000, 0, 40, -76.58333333333333, 0.9999375),
    // 3103 New York West (EPSG 13133)
    Tm(kNad83, 3103, 350000, 0, 40, -78.58333333333333, 0.9999375),
    // 3104 New York Long Island (EPSG 13134)
    Lambert(kNad83, 3104, 300000, 0, 40.166666666666664, -74, 40.666666666666664, 41.03333333333333),
    // 3200 North Carolina (EPSG 13230)
    Lambert(kNad83, 3200, 609601.22, 0, 33.75, -79, 34.333333333333336, 36.166666666666664),
    // 3301 North Dakota North (EPSG 13331)
    Lambert(kNad83, 3301, 600000, 0, 47, -100.5, 47.43333333333333, 48.733333333333334),
    // 3302 North Dakota South (EPSG 13332)
    Lambert(kNad83, 3302, 600000, 0, 45.666666666666664, -100.5, 46.18333333333333, 47.483333333333334),
    // 3401 Ohio North (EPSG 13431)
    Lambert(kNad83, 3401, 600000, 0, 39.666666666666664, -82.5, 40.43333333333333, 41.7),
    // 3402 Ohio South (EPSG 13432)
    Lambert(kNad83, 3402, 600000, 0, 38, -82.5, 38.733333333333334, 40.03333333333333),
    // 3501 Oklahoma North (EPSG 13531)
    Lambert(kNad83, 3501, 600000, 0, 35, -98, 35.56666666666667, 36.766666666666666),
    // 3502 Oklahoma South (EPSG 13532)
    Lambert(kNad83, 3502, 600000, 0, 33.333333333333336, -98, 33.93333333333333, 35.233333333333334),
    // 3601 Oregon North (EPSG 13631)
    Lambert(kNad83, 3601, 2500000, 0, 43.666666666666664, -120.5, 44.333333333333336, 46),
    // 3602 Oregon South (EPSG 13632)
    Lambert(kNad83, 3602, 1500000, 0, 41.666666666666664, -120.5, 42.333333333333336, 44),
    // 3701 Pennsylvania North (EPSG 13731)
    Lambert(kNad83, 3701, 600000, 0, 40.166666666666664, -77.75, 40.88333333333333, 41.95),
    // 3702 Pennsylvania South (EPSG 13732)
    Lambert(kNad83, 3702, 600000, 0, 39.333333333333336, -77.75, 39.93333333333333, 40.96666666666667),
    // 3800 Rhode Island (EPSG 13830)
    Tm(kNad83, 3800, 100000, 0, 41.083333333333336, -71.5, 0.99999375),
    // 3900 South Carolina (EPSG 13930)
    Lambert(kNad83, 3900, 609600, 0, 31.833333333333332, -81, 32.5, 34.833333333333336),
    // 4001 South Dakota North (EPSG 14031)
    Lambert(kNad83, 4001, 600000, 0, 43.833333333333336, -100, 44.416666666666664, 45.68333333333333),
    // 4002 South Dakota South (EPSG 14032)
    Lambert(kNad83, 4002, 600000, 0, 42.333333333333336, -100.33333333333333, 42.833333333333336, 44.4),
    // 4100 Tennessee (EPSG 14130)
    Lambert(kNad83, 4100, 600000, 0, 34.333333333333336, -86, 35.25, 36.416666666666664),
    // 4201 Texas North (EPSG 14231)
    Lambert(kNad83, 4201, 200000, 1000000, 34, -101.5, 34.65, 36.18333333333333),
    // 4202 Texas North Central (EPSG 14232)
    Lambert(kNad83, 4202, 600000, 2000000, 31.666666666666668, -98.5, 32.13333333333333, 33.96666666666667),
    // 4203 Texas Central (EPSG 14233)
    Lambert(kNad83, 4203, 700000, 3000000, 29.666666666666668, -100.33333333333333, 30.116666666666667, 31.883333333333333),
    // 4204 Texas South Central (EPSG 14234)
    Lambert(kNad83, 4204, 600000, 4000000, 27.833333333333332, -99, 28.383333333333333, 30.283333333333335),
    // 4205 Texas South (EPSG 14235)
    Lambert(kNad83, 4205, 300000, 5000000, 25.666666666666668, -98.5, 26.166666666666668, 27.833333333333332),
    // 4301 Utah North (EPSG 14331)
    Lambert(kNad83, 4301, 500000, 1000000, 40.333333333333336, -111.5, 40.71666666666667, 41.78333333333333),
    // 4302 Utah Central (EPSG 14332)
    Lambert(kNad83, 4302, 500000, 2000000, 38.333333333333336, -111.5, 39.016666666666666, 40.65),
    // 4303 Utah South (EPSG 14333)
    Lambert(kNad83, 4303, 500000, 3000000, 36.666666666666664, -111.5, 37.21666666666667, 38.35),
    // 4400 Vermont (EPSG 14430)
    Tm(kNad83, 4400, 500000, 0, 42.5, -72.5, 0.999964286),
    // 4501 Virginia North (EPSG 14531)
    Lambert(kNad83, 4501, 3500000, 2000000, 37.666666666666664, -78.5, 38.03333333333333, 39.2),
    // 4502 Virginia South (EPSG 14532)
    Lambert(kNad83, 4502, 3500000, 1000000, 36.333333333333336, -78.5, 36.766666666666666, 37.96666666666667),
    // 4601 Washington North (EPSG 14631)
    Lambert(kNad83, 4601, 500000, 0, 47, -120.83333333333333, 47.5, 48.733333333333334),
    // 4602 Washington South (EPSG 14632)
    Lambert(kNad83, 4602, 500000, 0, 45.333333333333336, -120.5, 45.833333333333336, 47.333333333333336),
    // 4701 West Virginia North (EPSG 14731)
    Lambert(kNad83, 4701, 600000, 0, 38.5, -79.5, 39, 40.25),
    // 4702 West Virginia South (EPSG 14732)
    Lambert(kNad83, 4702, 600000, 0, 37, -81, 37.483333333333334, 38.88333333333333),
    // 4801 Wisconsin North (EPSG 14831)
    Lambert(kNad83, 4801, 600000, 0, 45.166666666666664, -90, 45.56666666666667, 46.766666666666666),
    // 4802 Wisconsin Central (EPSG 14832)
    Lambert(kNad83, 4802, 600000, 0, 43.833333333333336, -90, 44.25, 45.5),
    // 4803 Wisconsin South (EPSG 14833)
    Lambert(kNad83, 4803, 600000, 0, 42, -90, 42.733333333333334, 44.06666666666667),
    // 4901 Wyoming East (EPSG 14931)
    Tm(kNad83, 4901, 200000, 0, 40.5, -105.16666666666667, 0.9999375),
    // 4902 Wyoming East Central (EPSG 14932)
    Tm(kNad83, 4902, 400000, 100000, 40.5, -107.33333333333333, 0.9999375),
    // 4903 Wyoming West Central (EPSG 14933)
    Tm(kNad83, 4903, 600000, 0, 40.5, -108.75, 0.9999375),
    // 4904 Wyoming West (EPSG 14934)
    Tm(kNad83, 4904, 800000, 100000, 40.5, -110.08333333333333, 0.9999375),
    // 5200 Puerto Rico & Virgin Islands (EPSG 15230)
    Lambert(kNad83, 5200, 200000, 200000, 17.833333333333332, -66.43333333333334, 18.033333333333335, 18.433333333333334),
};

}  // namespace

std::span<const GridRecord> StatePlane27() { return kZones1927; }
std::span<const GridRecord> StatePlane83() { return kZones1983; }

const GridRecord* FindStatePlaneZone(std::int16_t grid, std::int16_t code) {
  std::span<const GridRecord> zones;
  if (grid == kGridSpcs27) {
    zones = kZones1927;
  } else if (grid == kGridSpcs83) {
    zones = kZones1983;
  } else {
    return nullptr;
  }
  for (const GridRecord& zone : zones) {
    if (zone.zoneCode == code) return &zone;
  }
  return nullptr;
}

}  // namespace zenolith
