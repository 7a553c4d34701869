// The Danish regional systems System 34 (Jutland, Zealand) and System 45
// (Bornholm), converted to and from transverse Mercator zone 32 on the Danish
// ED 50 realisation by the survey agency's published polynomials.
#pragma once

namespace zenolith {

inline constexpr int kRegionJutland = 106;   // System 34 Jutland
inline constexpr int kRegionZealand = 115;   // System 34 Zealand
inline constexpr int kRegionBornholm = 98;   // System 45 Bornholm

// direction 1: zone 32 northing/easting to the region's system; -1: back.
// In the regional systems the first coordinate is kept as the northing and
// the second as the easting, as the polynomials give them. Returns 0 on
// success; non-zero (and the inputs untouched) when the point lies outside
// the region's box or boundary polygon, when the round trip misses the input
// by more than 40 mm, or for an unknown region or direction.
int ConvertDanishRegion(int region, int direction, double* northing, double* easting);

}  // namespace zenolith
