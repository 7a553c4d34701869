// Conversions per second of four operations, each three ways on the same
// points (10 000 per region, drawn with a fixed seed):
//   Internal  the projection driver on a geodetic record, as Position calls it;
//   Dispatch  a Position object through IDispatch::Invoke by dispatch
//             identifier, as a client calls it (put Latitude, put Longitude,
//             get Easting, get Northing; the inverse puts Easting/Northing and
//             gets Latitude/Longitude), the datum and grid set once;
//   Proj      PROJ's proj_trans, one point a call, on an operation made once
//             by proj_create_crs_to_crs and proj_normalize_for_visualization.
// Each benchmark iteration converts one point, so the time column is the
// time per point. UTM uses EPSG:32632 as it is; the British and Dutch grids
// are given to PROJ with the library's own ellipsoid, projection parameters
// and +towgs84 shift (the EPSG codes would pick other shifts, metres away).
// Before anything runs, the three ways are compared on a few points and the
// program stops with a message when they differ by more than a few
// millimetres, so that every row measures the same operation.
#include <benchmark/benchmark.h>

#include <proj.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "lib/component/Identifiers.h"
#include "lib/geodesy/Datums.h"
#include "lib/geodesy/GridProjection.h"
#include "lib/geodesy/Grids.h"
#include "lib/geodesy/Position.h"

namespace {

using zenolith::GeodeticRecord;

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kRadToDeg = 180.0 / std::numbers::pi;
constexpr std::size_t kPoints = 10'000;
// Largest disagreement the start-up check accepts between any two ways:
// metres on grids, and its equivalent in degrees for the inverse.
constexpr double kToleranceMetres = 0.005;
constexpr double kToleranceDegrees = kToleranceMetres / 111'000.0;

// Dispatch identifiers of the position's members.
constexpr com::DispId kDispDatum = 11, kDispGrid = 12, kDispEasting = 13, kDispNorthing = 14, kDispZone = 15,
                      kDispLatitude = 16, kDispLongitude = 17;
constexpr std::int16_t kWgs84 = 1;
constexpr std::int16_t kUtmZone = 32;

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "geodesy_bench: %s\n", message.c_str());
  std::exit(1);
}

std::int16_t GridId(std::string_view name) {
  for (std::int16_t g = 1; g <= zenolith::kBuiltInGrids; ++g)
    if (zenolith::GridName(g) == name) return g;
  Die("no grid named " + std::string(name));
}

struct Pair {
  double a = 0, b = 0;  // latitude/longitude in degrees, or easting/northing in metres
};

// Points uniform in a latitude/longitude box, the same on every run.
std::vector<Pair> PointsIn(double south, double north, double west, double east) {
  std::mt19937_64 random(42);
  const auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1p-53; };
  std::vector<Pair> points(kPoints);
  for (Pair& p : points) {
    p.a = south + (north - south) * unit();
    p.b = west + (east - west) * unit();
  }
  return points;
}

// ---- The three ways ------------------------------------------------------

// A conversion as the library's Position runs it on its record.
struct Internal {
  GeodeticRecord record;
  bool inverse = false;

  Pair Convert(Pair in) {
    GeodeticRecord work = record;
    if (inverse) {
      work.easting = in.a;
      work.northing = in.b;
      if (!zenolith::ProjectInverse(work)) return {NAN, NAN};
      return {work.latitude * kRadToDeg, work.longitude * kRadToDeg};
    }
    work.latitude = in.a * kDegToRad;
    work.longitude = in.b * kDegToRad;
    if (!zenolith::ProjectForward(work)) return {NAN, NAN};
    return {work.easting, work.northing};
  }
};

Internal MakeInternal(std::int16_t grid, bool inverse) {
  Internal internal;
  internal.record.datum = kWgs84;
  internal.record.grid = grid;
  internal.inverse = inverse;
  if (zenolith::IsUtmGrid(grid)) internal.record.zone = internal.record.forcedZone = kUtmZone;
  return internal;
}

// A Position object driven through its dispatch interface.
class Dispatch {
 public:
  Dispatch(std::int16_t grid, bool inverse) : inverse_(inverse) {
    if (com::Failed(zenolith::Position::Create(zenolith::IID_IPosition, object_.PutVoid())))
      Die("Position::Create failed");
    Put(kDispDatum, com::Variant::I2(kWgs84));
    Put(kDispGrid, com::Variant::I2(grid));
    if (zenolith::IsUtmGrid(grid)) Put(kDispZone, com::Variant::I2(kUtmZone));
  }

  Pair Convert(Pair in) {
    args_[0] = com::Variant::R8(in.a);
    object_->Invoke(inverse_ ? kDispEasting : kDispLatitude, com::kInvokePropertyPut, args_, nullptr);
    args_[0] = com::Variant::R8(in.b);
    object_->Invoke(inverse_ ? kDispNorthing : kDispLongitude, com::kInvokePropertyPut, args_, nullptr);
    object_->Invoke(inverse_ ? kDispLatitude : kDispEasting, com::kInvokePropertyGet, {}, &a_);
    object_->Invoke(inverse_ ? kDispLongitude : kDispNorthing, com::kInvokePropertyGet, {}, &b_);
    return {a_.type() == com::VarType::R8 ? a_.AsR8() : NAN, b_.type() == com::VarType::R8 ? b_.AsR8() : NAN};
  }

 private:
  void Put(com::DispId id, com::Variant value) {
    if (com::Failed(object_->Invoke(id, com::kInvokePropertyPut, {&value, 1}, nullptr)))
      Die("setting up the Position failed at dispatch identifier " + std::to_string(id));
  }

  com::ComPtr<com::IDispatch> object_;
  com::Variant args_[1];
  com::Variant a_, b_;
  bool inverse_;
};

// PROJ on lon/lat order (after normalisation); the output is reordered to
// latitude/longitude for the inverse.
class Proj {
 public:
  Proj(const std::string& source, const std::string& target, bool inverse) : inverse_(inverse) {
    context_ = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(context_, source.c_str(), target.c_str(), nullptr);
    if (!raw) Die("PROJ cannot make " + source + " -> " + target);
    transform_ = proj_normalize_for_visualization(context_, raw);
    proj_destroy(raw);
    if (!transform_) Die("PROJ cannot normalise " + source + " -> " + target);
  }
  ~Proj() {
    proj_destroy(transform_);
    proj_context_destroy(context_);
  }
  Proj(const Proj&) = delete;
  Proj& operator=(const Proj&) = delete;

  Pair Convert(Pair in) {
    const PJ_COORD c = proj_trans(transform_, PJ_FWD, inverse_ ? proj_coord(in.a, in.b, 0, 0) : proj_coord(in.b, in.a, 0, 0));
    return inverse_ ? Pair{c.xy.y, c.xy.x} : Pair{c.xy.x, c.xy.y};
  }

 private:
  PJ_CONTEXT* context_ = nullptr;
  PJ* transform_ = nullptr;
  bool inverse_;
};

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// The library's grid on its own datum as a PROJ definition.
std::string ProjGrid(std::int16_t grid, const char* projection) {
  const zenolith::GridRecord& g = zenolith::GridTable()[static_cast<std::size_t>(grid)];
  const zenolith::DatumParameters d = zenolith::ParametersOf(g.datum, nullptr);
  return std::string("+proj=") + projection + " +lat_0=" + Number(g.latitudeOfOrigin * kRadToDeg) +
         " +lon_0=" + Number(g.longitudeOfOrigin * kRadToDeg) + " +k_0=" + Number(g.scale) +
         " +x_0=" + Number(g.falseEasting) + " +y_0=" + Number(g.falseNorthing) + " +a=" + Number(d.semiMajorAxis) +
         " +es=" + Number(d.e2) + " +towgs84=" + Number(d.dx) + "," + Number(d.dy) + "," + Number(d.dz) + "," +
         Number(d.rx * zenolith::kRadiansToArcSeconds) + "," + Number(d.ry * zenolith::kRadiansToArcSeconds) + "," +
         Number(d.rz * zenolith::kRadiansToArcSeconds) + "," + Number(d.scale * 1e6) + " +units=m +no_defs +type=crs";
}

// ---- The operations --------------------------------------------------------

struct Operation {
  const char* name;
  std::vector<Pair> points;
  Internal internal;
  Dispatch dispatch;
  Proj proj;
  bool inverse;
};

Operation* MakeOperations() {
  const std::int16_t utm = GridId("UTM_NORTH"), british = GridId("BRITISH_GRID"), dutch = GridId("DUTCH_GRID");
  static Operation operations[] = {
      {"Utm32", PointsIn(47.5, 55.0, 6.0, 12.0), MakeInternal(utm, false), Dispatch(utm, false),
       Proj("EPSG:4326", "EPSG:32632", false), false},
      {"BritishGrid", PointsIn(50.0, 58.5, -6.0, 1.5), MakeInternal(british, false), Dispatch(british, false),
       Proj("EPSG:4326", ProjGrid(british, "tmerc"), false), false},
      {"DutchGrid", PointsIn(50.8, 53.5, 3.4, 7.2), MakeInternal(dutch, false), Dispatch(dutch, false),
       Proj("EPSG:4326", ProjGrid(dutch, "sterea"), false), false},
      {"Utm32Inverse", {}, MakeInternal(utm, true), Dispatch(utm, true), Proj("EPSG:32632", "EPSG:4326", true), true},
  };
  // The inverse starts from the forward results of the UTM points.
  for (const Pair& p : operations[0].points) operations[3].points.push_back(operations[0].internal.Convert(p));
  return operations;
}

Operation* Operations() {
  static Operation* operations = MakeOperations();
  return operations;
}

// Stops the program when the three ways disagree on the first points.
void CheckAgreement() {
  for (int o = 0; o < 4; ++o) {
    Operation& op = Operations()[o];
    const double tolerance = op.inverse ? kToleranceDegrees : kToleranceMetres;
    double worst = 0;
    for (std::size_t i = 0; i < 20; ++i) {
      const Pair a = op.internal.Convert(op.points[i]), b = op.dispatch.Convert(op.points[i]),
                 c = op.proj.Convert(op.points[i]);
      const double miss = std::max({std::abs(a.a - b.a), std::abs(a.b - b.b), std::abs(a.a - c.a),
                                    std::abs(a.b - c.b)});
      if (!(miss <= tolerance)) {
        std::fprintf(stderr,
                     "geodesy_bench: %s disagrees at (%.9f, %.9f): internal %.4f %.4f, dispatch %.4f %.4f, "
                     "PROJ %.4f %.4f\n",
                     op.name, op.points[i].a, op.points[i].b, a.a, a.b, b.a, b.b, c.a, c.b);
        std::exit(1);
      }
      worst = std::max(worst, miss);
    }
    std::fprintf(stderr, "agreement %-13s largest difference %.3g %s over 20 points\n", op.name,
                 op.inverse ? worst * 111'000.0 : worst, "m");
  }
}

template <class Way>
void Run(benchmark::State& state, const std::vector<Pair>& points, Way& way) {
  std::size_t i = 0;
  double sum = 0;
  for (auto _ : state) {
    const Pair out = way.Convert(points[i]);
    sum += out.a + out.b;
    if (++i == points.size()) i = 0;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_Internal(benchmark::State& state, int o) { Run(state, Operations()[o].points, Operations()[o].internal); }
void BM_Dispatch(benchmark::State& state, int o) { Run(state, Operations()[o].points, Operations()[o].dispatch); }
void BM_Proj(benchmark::State& state, int o) { Run(state, Operations()[o].points, Operations()[o].proj); }

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CheckAgreement();
  for (int o = 0; o < 4; ++o) {
    const std::string name = Operations()[o].name;
    benchmark::RegisterBenchmark((name + "/Internal").c_str(), BM_Internal, o);
    benchmark::RegisterBenchmark((name + "/Dispatch").c_str(), BM_Dispatch, o);
    benchmark::RegisterBenchmark((name + "/Proj").c_str(), BM_Proj, o);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
