// The projection driver: picks the grid (or State Plane zone, or custom grid)
// record, brings the position to the grid's datum, applies the zone rules of
// the UTM grids and DHDN, and runs the algorithm of the record. Everything is
// computed on copies and written back only on success.
#include "lib/geodesy/GridProjection.h"

#include <cmath>
#include <numbers>

#include "lib/geodesy/Algorithms.h"
#include "lib/geodesy/DanishRegions.h"
#include "lib/geodesy/Datums.h"
#include "lib/geodesy/Grids.h"

namespace zenolith {
namespace {

constexpr const char* kGridNotSet = "Grid not set!";
constexpr const char* kZoneRequired = "Zone must be specified for this grid";
constexpr const char* kUnknownAlgorithm = "Unknown algorithm for grid projection";
constexpr const char* kOutsideGrid = "Position outside grid";

constexpr double kPi = std::numbers::pi;
// The width of a UTM zone in radians as the stored grid values were made
// with it (one unit in the last place above pi/30), and of a DHDN strip.
constexpr double kUtmZoneWidth = 0.10471975511965978;
constexpr double kDhdnZoneWidth = kUtmZoneWidth / 2;
constexpr double kUtmZoneWidthDegrees = 6;
constexpr double kDhdnZoneWidthDegrees = 3;
// UTM zone numbers count from 1 at 180 W, so the zone whose west edge is
// k * 6 degrees is k + 31.
constexpr int kUtmZoneOffset = 31;
// A strip index beyond this cannot come from a longitude in range; such
// input (huge or NaN) gets zone 0 rather than an overflowing conversion.
constexpr double kMaxStripIndex = 1000;

// The Danish systems go through UTM zone 32 on ED 50 (Denmark).
constexpr std::int16_t kDatumEd50Denmark = 27;
constexpr std::int16_t kDanishUtmZone = 32;
constexpr std::int16_t kSystem34ZealandZone = 2;

enum Algorithm : std::int16_t {
  kTransverseMercator1 = 1,
  kSwissOblique = 2,
  kTransverseMercator3 = 3,
  kNzmg = 4,
  kLambert = 5,
  kLambertBelgium = 6,
  kObliqueStereographic = 8,
  kDanishSystem34 = 9,
  kDanishSystem45 = 10,
  kDanishSystem34Zealand = 11,
};

// The grid as one projection sees it: its record and its datum.
struct ResolvedGrid {
  GridRecord record;
  std::int16_t datum = 0;   // 0: the position's own datum; 28: `custom`
  DatumParameters params;   // ellipsoid and shift of that datum
};

// Forward and inverse steps 1 and 2: the record of the grid or zone in use.
const char* Resolve(const GeodeticRecord& r, ResolvedGrid* out) {
  if (r.grid == 0) return kGridNotSet;
  if (r.grid == kGridSpcs27 || r.grid == kGridSpcs83) {
    const GridRecord* zone = r.zone != 0 ? FindStatePlaneZone(r.grid, r.zone) : nullptr;
    if (!zone) return kZoneRequired;
    out->record = *zone;
  } else if (r.grid == kCustomGridId) {
    if (!r.customGrid) return kUnknownAlgorithm;
    const CustomGridParameters& c = *r.customGrid;
    out->record = GridRecord{c.datum,    c.algorithm, c.falseEasting, c.falseNorthing, c.longitudeOfOrigin,
                             c.latitudeOfOrigin, c.scale, c.sp1, c.sp2, 0};
    if (c.datum == kCustomDatumId) {
      out->datum = kCustomDatumId;
      out->params = ParametersOf(kCustomDatumId, c.customDatum);
      return nullptr;
    }
  } else if (r.grid > 0 && r.grid <= kBuiltInGrids) {
    out->record = GridTable()[static_cast<std::size_t>(r.grid)];
  } else {
    return kUnknownAlgorithm;
  }
  out->datum = out->record.datum;
  out->params = out->datum == 0 ? ParametersOf(r.datum, r.customDatum) : ParametersOf(out->datum, nullptr);
  return nullptr;
}

// Whether a position on `position` must be shifted to use a grid on `grid`
// (or back). A custom grid datum is always shifted to: the shift itself
// leaves the position alone when both datums are the same.
bool NeedsShift(std::int16_t position, std::int16_t grid) {
  if (grid == kCustomDatumId) return true;
  if (grid == 0 || grid == position) return false;
  return !(IsNad27(position) && IsNad27(grid));
}

// k in the zone rules: the index of the strip whose west edge is k * width,
// counted from Greenwich; the strip of a negative longitude is the one below
// the truncated quotient, so -6 degrees lies in the strip from -12 to -6.
double StripIndex(double longitude, double widthDegrees) {
  double k = std::trunc(longitude * 180.0 / kPi / widthDegrees);
  if (longitude < 0) k -= 1;
  return k;
}

std::int16_t ZoneNumber(double value) {
  if (!(std::abs(value) <= kMaxStripIndex)) return 0;
  return static_cast<std::int16_t>(value);
}

int DanishRegion(std::int16_t algorithm, std::int16_t zone) {
  if (algorithm == kDanishSystem45) return kRegionBornholm;
  if (algorithm == kDanishSystem34Zealand) return kRegionZealand;
  return zone == kSystem34ZealandZone ? kRegionZealand : kRegionJutland;
}

bool IsDanish(std::int16_t algorithm) {
  return algorithm == kDanishSystem34 || algorithm == kDanishSystem45 || algorithm == kDanishSystem34Zealand;
}

// Runs the record's algorithm; false for codes without one.
bool Forward(const GridRecord& g, const Ellipsoid& e, GeoCoord point, PlanePoint* out) {
  switch (g.algorithm) {
    case kTransverseMercator1:
    case kTransverseMercator3: *out = TransverseMercatorForward(g, e, point); return true;
    case kSwissOblique: *out = SwissObliqueForward(g, e, point); return true;
    case kNzmg: *out = NzmgForward(point); return true;
    case kLambert:
    case kLambertBelgium: *out = LambertForward(g, e, point); return true;
    case kObliqueStereographic: *out = ObliqueStereographicForward(g, e, point); return true;
    default: return false;
  }
}

bool Inverse(const GridRecord& g, const Ellipsoid& e, PlanePoint point, GeoCoord* out) {
  switch (g.algorithm) {
    case kTransverseMercator1:
    case kTransverseMercator3: *out = TransverseMercatorInverse(g, e, point); return true;
    case kSwissOblique: *out = SwissObliqueInverse(g, e, point); return true;
    case kNzmg: *out = NzmgInverse(point); return true;
    case kLambert:
    case kLambertBelgium: *out = LambertInverse(g, e, point); return true;
    case kObliqueStereographic: *out = ObliqueStereographicInverse(g, e, point); return true;
    default: return false;
  }
}

// Danish systems: UTM zone 32 on ED 50 (Denmark), then the region polynomial.
Outcome DanishForward(GeodeticRecord& record, std::int16_t algorithm) {
  GeodeticRecord utm = record;
  utm.grid = kGridUtmEd50Denmark;
  utm.forcedZone = kDanishUtmZone;
  if (Outcome outcome = ProjectForward(utm); !outcome) return outcome;
  double northing = utm.northing, easting = utm.easting;
  if (ConvertDanishRegion(DanishRegion(algorithm, record.zone), 1, &northing, &easting) != 0) return {kOutsideGrid};
  record.easting = easting;
  record.northing = northing;
  return {};
}

// Back to UTM zone 32 and from there to latitude/longitude on ED 50 (Denmark).
Outcome DanishInverse(const GeodeticRecord& record, std::int16_t algorithm, GeoCoord* out) {
  double northing = record.northing, easting = record.easting;
  if (ConvertDanishRegion(DanishRegion(algorithm, record.zone), -1, &northing, &easting) != 0) return {kOutsideGrid};
  GeodeticRecord utm;
  utm.datum = kDatumEd50Denmark;
  utm.grid = kGridUtmEd50Denmark;
  utm.zone = kDanishUtmZone;
  utm.forcedZone = kDanishUtmZone;
  utm.easting = easting;
  utm.northing = northing;
  if (Outcome outcome = ProjectInverse(utm); !outcome) return outcome;
  *out = GeoCoord{utm.latitude, utm.longitude};
  return {};
}

Ellipsoid EllipsoidOf(const DatumParameters& d) { return Ellipsoid{d.semiMajorAxis, d.e2}; }

}  // namespace

bool CustomGridParameters::SameAs(const CustomGridParameters& other) const {
  if (datum != other.datum || algorithm != other.algorithm) return false;
  if (falseEasting != other.falseEasting || falseNorthing != other.falseNorthing ||
      longitudeOfOrigin != other.longitudeOfOrigin || latitudeOfOrigin != other.latitudeOfOrigin ||
      scale != other.scale || sp1 != other.sp1 || sp2 != other.sp2)
    return false;
  if (datum != kCustomDatumId) return true;
  return ParametersOf(kCustomDatumId, customDatum) == ParametersOf(kCustomDatumId, other.customDatum);
}

Outcome ProjectForward(GeodeticRecord& record) {
  ResolvedGrid grid;
  if (const char* error = Resolve(record, &grid)) return {error};
  const std::int16_t algorithm = grid.record.algorithm;
  if (IsDanish(algorithm)) return DanishForward(record, algorithm);

  // The position on the grid's datum, on working copies.
  double latitude = record.latitude, longitude = record.longitude, height = record.altitude;
  if (NeedsShift(record.datum, grid.datum))
    ShiftDatum(&latitude, &longitude, &height, ParametersOf(record.datum, record.customDatum), grid.params);

  // Zones: reduce the longitude to the offset from the zone's west edge (the
  // records' origin is the offset of the central meridian).
  std::int16_t zone = record.zone;
  if (IsUtmGrid(record.grid)) {
    const double k = StripIndex(longitude, kUtmZoneWidthDegrees);
    longitude -= k * kUtmZoneWidth;
    if (record.forcedZone != 0)
      longitude += (k - record.forcedZone + kUtmZoneOffset) * kUtmZoneWidth;
    else
      zone = ZoneNumber(k + kUtmZoneOffset);
  } else if (record.grid == kGridDhdn) {
    const double k = StripIndex(longitude, kDhdnZoneWidthDegrees);
    longitude -= k * kDhdnZoneWidth;
    if (record.forcedZone != 0)
      longitude += (k - record.forcedZone) * kDhdnZoneWidth;
    else
      zone = ZoneNumber(k);
  }

  PlanePoint plane;
  if (!Forward(grid.record, EllipsoidOf(grid.params), GeoCoord{latitude, longitude}, &plane))
    return {kUnknownAlgorithm};
  record.easting = plane.easting;
  record.northing = plane.northing;
  record.zone = zone;
  return {};
}

Outcome ProjectInverse(GeodeticRecord& record) {
  ResolvedGrid grid;
  if (const char* error = Resolve(record, &grid)) return {error};
  const std::int16_t algorithm = grid.record.algorithm;

  GeoCoord point;
  std::int16_t resultDatum = grid.datum;
  DatumParameters resultParams = grid.params;
  if (IsDanish(algorithm)) {
    if (Outcome outcome = DanishInverse(record, algorithm, &point); !outcome) return outcome;
    // The Danish path always ends on ED 50 (Denmark), whatever a custom
    // grid's datum says, so that it mirrors the forward path.
    resultDatum = kDatumEd50Denmark;
    resultParams = ParametersOf(kDatumEd50Denmark, nullptr);
  } else {
    if (!Inverse(grid.record, EllipsoidOf(grid.params), PlanePoint{record.easting, record.northing}, &point))
      return {kUnknownAlgorithm};
    if (IsUtmGrid(record.grid))
      point.longitude += (record.zone - kUtmZoneOffset) * kUtmZoneWidth;
    else if (record.grid == kGridDhdn)
      point.longitude += record.zone * kDhdnZoneWidth;
  }

  // From the grid's datum to the position's; the position's own altitude is
  // taken as the height, and the record keeps its altitude.
  double height = record.altitude;
  if (NeedsShift(record.datum, resultDatum))
    ShiftDatum(&point.latitude, &point.longitude, &height, resultParams,
               ParametersOf(record.datum, record.customDatum));
  record.latitude = point.latitude;
  record.longitude = point.longitude;
  return {};
}

}  // namespace zenolith
