// Forward and inverse grid projection of one geodetic record, with the zone
// rules and the shift to and from the grid's datum.
//
// The record is the state of one Position; the caller (the Position object)
// holds the library lock and keeps the custom objects the pointers refer to
// alive. Failures leave latitude and longitude unchanged and return one of the
// messages "Grid not set!", "Zone must be specified for this grid",
// "Unknown algorithm for grid projection", "Position outside grid".
#pragma once

#include <cstdint>

#include "lib/geodesy/DatumParameters.h"
#include "lib/geodesy/GridRecord.h"

namespace zenolith {

// A grid of the caller's own (grid 52), as the CustomGrid object keeps it.
struct CustomGridParameters {
  std::int16_t datum = 28;  // 1 to 28; 28: `customDatum`
  std::int16_t algorithm = 3;
  double falseEasting = 0, falseNorthing = 0;
  double longitudeOfOrigin = 0, latitudeOfOrigin = 0;  // radians
  double scale = 1.0;
  double sp1 = 0, sp2 = 0;  // radians
  const DatumParameters* customDatum = nullptr;  // for datum 28 (null reads as all zero)

  // Equal when datum, algorithm and the seven doubles are equal and, for
  // datum 28, the custom datums are equal.
  bool SameAs(const CustomGridParameters& other) const;
};

struct GeodeticRecord {
  double longitude = 0;  // radians
  double latitude = 0;   // radians
  double altitude = 0;   // height on the datum, metres; changed by every shift
  double easting = 0, northing = 0;
  std::int16_t datum = 1;
  std::int16_t grid = 0;
  std::int16_t zone = 0;        // the zone in use
  std::int16_t forcedZone = 0;  // a UTM or DHDN zone the caller set
  const DatumParameters* customDatum = nullptr;       // for datum 28
  const CustomGridParameters* customGrid = nullptr;  // for grid 52
};

struct Outcome {
  const char* error = nullptr;  // null on success; a static message otherwise
  explicit operator bool() const { return error == nullptr; }
};

// Latitude/longitude to easting/northing (and the computed zone for zoned
// grids without a forced zone). Latitude, longitude, altitude and datum are
// left as they were.
Outcome ProjectForward(GeodeticRecord& record);
// Easting/northing (and zone) to latitude/longitude in the record's own datum.
Outcome ProjectInverse(GeodeticRecord& record);

}  // namespace zenolith
