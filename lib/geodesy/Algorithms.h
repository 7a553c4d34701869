// The projection algorithms on one ellipsoid with one grid record, forward
// (latitude/longitude to easting/northing) and inverse. Angles in radians,
// lengths in metres. None of them checks ranges: a point far outside a
// grid's area gives whatever the formulas give (possibly NaN), never a crash.
#pragma once

#include "lib/geodesy/GridRecord.h"

namespace zenolith {

// Codes 1 and 3: Snyder's series (USGS Professional Paper 1395, 8-9, 8-10;
// inverse by the footpoint latitude, 8-12 and 8-17 to 8-25).
PlanePoint TransverseMercatorForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point);
GeoCoord TransverseMercatorInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point);

// Code 2: Swiss oblique conformal cylindrical projection (double projection
// through a conformal sphere); the record's scale factor is not used.
PlanePoint SwissObliqueForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point);
GeoCoord SwissObliqueInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point);

// Code 4: New Zealand Map Grid with its fixed constants and published
// coefficients; the record's parameters and the ellipsoid are not used.
PlanePoint NzmgForward(GeoCoord point);
GeoCoord NzmgInverse(PlanePoint point);

// Codes 5 and 6: Lambert conformal conic with two standard parallels (Snyder
// 15-1 to 15-9); code 6 is the Belgian 1972 variant (rho0 = 0, the angle
// shifted by 29.2985"). The record's scale factor is not used.
PlanePoint LambertForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point);
GeoCoord LambertInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point);

// Code 8: oblique stereographic, the double stereographic method (EPSG 9809).
PlanePoint ObliqueStereographicForward(const GridRecord& grid, const Ellipsoid& ellipsoid, GeoCoord point);
GeoCoord ObliqueStereographicInverse(const GridRecord& grid, const Ellipsoid& ellipsoid, PlanePoint point);

}  // namespace zenolith
