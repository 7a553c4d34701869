// Plain records shared by the datum shift and the grid projections.
// Angles are radians, lengths metres.
#pragma once

#include <cstdint>

namespace zenolith {

struct Ellipsoid {
  double a = 0;   // semi-major axis, metres
  double e2 = 0;  // first eccentricity squared
};

struct GeoCoord {
  double latitude = 0;   // radians
  double longitude = 0;  // radians
};

struct PlanePoint {
  double easting = 0;   // metres
  double northing = 0;  // metres
};

// One grid (or State Plane zone): its datum, projection algorithm and parameters.
struct GridRecord {
  std::int16_t datum = 0;      // datum identifier; 0 means the position's own datum
  std::int16_t algorithm = 0;  // 1/3 transverse Mercator, 2 Swiss oblique, 4 NZMG, 5 Lambert 2SP,
                               // 6 Lambert Belgian 1972, 8 oblique stereographic, 9/10/11 Danish
  double falseEasting = 0;
  double falseNorthing = 0;
  double longitudeOfOrigin = 0;  // radians
  double latitudeOfOrigin = 0;   // radians
  double scale = 0;              // scale factor at origin
  double sp1 = 0;                // first standard parallel, radians
  double sp2 = 0;                // second standard parallel, radians
  std::int16_t zoneCode = 0;     // State Plane zone code (101 for Alabama East); 0 elsewhere
};

}  // namespace zenolith
