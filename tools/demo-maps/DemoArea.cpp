#include "tools/demo-maps/DemoArea.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <string_view>

#include "tools/demo-gpx/DemoGpx.h"
#include "tools/nmea-drive/DriveLog.h"

namespace demomaps {
namespace {

constexpr double kPi = std::numbers::pi;
// The drive's own way of placing its loop, so that the lake fits it.
constexpr double kEarthRadius = 6371000.0;

// North and east metres from the drive's centre.
struct Local {
  double n = 0, e = 0;
};

class Frame {
 public:
  explicit Frame(const nmeadrive::DriveOptions& o) : o_(o) {
    perNorth_ = kEarthRadius * kPi / 180;
    perEast_ = perNorth_ * std::cos(o.centreLatitude * kPi / 180);
  }
  LatLon operator()(Local p) const { return {o_.centreLatitude + p.n / perNorth_, o_.centreLongitude + p.e / perEast_}; }
  Local ToLocal(LatLon p) const { return {(p.lat - o_.centreLatitude) * perNorth_, (p.lon - o_.centreLongitude) * perEast_}; }
  // The drive's loop at turn angle `a` (radians; 0 is its southern end,
  // growing clockwise through the west), `scale` times its size.
  Local Loop(double a, double scale) const {
    const double wobble = 1 + 0.06 * std::sin(3 * a) + 0.03 * std::cos(5 * a);
    return {-o_.radiusNorth * wobble * std::cos(a) * scale, -o_.radiusEast * wobble * std::sin(a) * scale};
  }
  std::vector<LatLon> Converted(const std::vector<Local>& points) const {
    std::vector<LatLon> out;
    out.reserve(points.size());
    for (const Local& p : points) out.push_back((*this)(p));
    return out;
  }

 private:
  nmeadrive::DriveOptions o_;
  double perNorth_ = 1, perEast_ = 1;
};

double Field(std::string_view text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// ddmm.mmmm (or dddmm.mmmm) and its hemisphere letter to degrees.
double Degrees(std::string_view text, std::string_view hemisphere) {
  const double v = Field(text);
  const double whole = std::floor(v / 100);
  const double degrees = whole + (v - whole * 100) / 60;
  return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

// The valid RMC positions of the drive, a point only where it moved.
std::vector<LatLon> DriveFixes(const std::string& log) {
  std::vector<LatLon> fixes;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string_view line(log.data() + start, end - start);
    start = end + 1;
    if (!line.starts_with("$GPRMC,")) continue;
    std::vector<std::string_view> fields;
    std::size_t from = 0;
    while (from <= line.size()) {
      std::size_t comma = line.find(',', from);
      if (comma == std::string_view::npos) comma = line.size();
      fields.push_back(line.substr(from, comma - from));
      from = comma + 1;
    }
    if (fields.size() < 7 || fields[2] != "A") continue;
    const LatLon p{Degrees(fields[3], fields[4]), Degrees(fields[5], fields[6])};
    if (fixes.empty() || std::abs(p.lat - fixes.back().lat) > 1e-7 || std::abs(p.lon - fixes.back().lon) > 1e-7)
      fixes.push_back(p);
  }
  return fixes;
}

LatLon Nearest(const std::vector<LatLon>& points, LatLon to, const Frame& frame) {
  LatLon best = points.front();
  double bestDistance = 1e300;
  const Local t = frame.ToLocal(to);
  for (const LatLon& p : points) {
    const Local l = frame.ToLocal(p);
    const double d = std::hypot(l.n - t.n, l.e - t.e);
    if (d < bestDistance) {
      bestDistance = d;
      best = p;
    }
  }
  return best;
}

// The band between the lake's shore and the loop road from angle a0 to a1.
std::vector<Local> ShoreBand(const Frame& f, double a0, double a1, double inner, double outer) {
  std::vector<Local> band;
  constexpr int kSteps = 64;
  for (int i = 0; i <= kSteps; ++i) band.push_back(f.Loop(a0 + (a1 - a0) * i / kSteps, outer));
  for (int i = kSteps; i >= 0; --i) band.push_back(f.Loop(a0 + (a1 - a0) * i / kSteps, inner));
  return band;
}

// The lake's shore: a little inside the loop and a little uneven.
constexpr double kLakeScale = 0.84;
Local Shore(const Frame& f, double a) {
  const Local p = f.Loop(a, kLakeScale);
  const double bumps = 1 + 0.025 * std::sin(7 * a) + 0.015 * std::cos(11 * a);
  return {p.n * bumps, p.e * bumps};
}

// A closed outline round a centre with radii that vary by angle.
std::vector<Local> Blob(Local centre, double radiusN, double radiusE, double turn, std::uint32_t seed) {
  std::vector<Local> out;
  constexpr int kSteps = 48;
  for (int i = 0; i < kSteps; ++i) {
    const double a = 2 * kPi * i / kSteps;
    const double r = 1 + 0.12 * std::sin(3 * a + seed) + 0.07 * std::cos(5 * a + 2 * seed);
    const double n = radiusN * r * std::cos(a), e = radiusE * r * std::sin(a);
    out.push_back({centre.n + n * std::cos(turn) - e * std::sin(turn), centre.e + n * std::sin(turn) + e * std::cos(turn)});
  }
  return out;
}

// The angle of the direction from `a` to `b` as the text runs, kept
// readable (never upside down).
double TextAngle(Local a, Local b) {
  double degrees = std::atan2(b.n - a.n, b.e - a.e) * 180 / kPi;
  if (degrees > 90) degrees -= 180;
  if (degrees < -90) degrees += 180;
  return degrees;
}

// The north bank of the wide river in the south; streets stop short of it.
constexpr double kRiverBank = -2150;
constexpr double kBankRoad = -2090;
double BankAt(double e) { return kRiverBank + 60 * std::sin(e / 900); }

// A line split where it runs south of the bank road.
void AddClipped(Scene& scene, LineKind kind, double width, const std::vector<Local>& points, const Frame& f) {
  std::vector<Local> part;
  auto flush = [&] {
    if (part.size() > 1) scene.lines.push_back({kind, f.Converted(part), width});
    part.clear();
  };
  for (const Local& p : points) {
    if (p.n < BankAt(p.e) + 60) flush();
    else part.push_back(p);
  }
  flush();
}

Scene Build() {
  const nmeadrive::DriveOptions options;
  const Frame f(options);
  Scene s;
  s.drive = DriveFixes(nmeadrive::MakeDriveLog(options));

  // ---- areas: woods and parks first, water over their edges
  s.areas.push_back({AreaKind::Park, f.Converted(ShoreBand(f, 0.9, 2.75, kLakeScale * 0.97, 0.955))});
  s.areas.push_back({AreaKind::Park, f.Converted(ShoreBand(f, 3.5, 5.55, kLakeScale * 0.97, 0.955))});
  s.areas.push_back({AreaKind::Wood, f.Converted(Blob({2350, 2100}, 420, 700, 0.2, 1))});
  s.areas.push_back({AreaKind::Park, f.Converted(Blob({-1150, -1650}, 260, 420, -0.5, 2))});
  s.areas.push_back({AreaKind::Wood, f.Converted(Blob({1850, -1350}, 300, 380, 0.6, 3))});
  s.areas.push_back({AreaKind::Park, f.Converted(Blob({-450, 1750}, 160, 220, 0.3, 4))});
  s.areas.push_back({AreaKind::Wood, f.Converted(Blob({-2900, 2600}, 250, 600, 0.1, 5))});

  std::vector<Local> lake;
  for (int i = 0; i < 180; ++i) lake.push_back(Shore(f, 2 * kPi * i / 180));
  s.areas.push_back({AreaKind::Water, f.Converted(lake)});
  // The small lake south-west of the big one.
  s.areas.push_back({AreaKind::Water, f.Converted(Blob({-1330, -700}, 190, 260, 0.6, 6))});
  // The wide river along the south edge, with two harbour basins.
  std::vector<Local> elbe;
  for (double e = -7000; e <= 7000; e += 250) elbe.push_back({BankAt(e), e});
  for (double e = 7000; e >= -7000; e -= 250) elbe.push_back({-2700 + 40 * std::cos(e / 1300), e});
  s.areas.push_back({AreaKind::Water, f.Converted(elbe)});
  s.areas.push_back({AreaKind::Water, f.Converted({{-2650, -3300}, {-2650, -3000}, {-3500, -2950}, {-3500, -3250}})});
  s.areas.push_back({AreaKind::Water, f.Converted({{-2650, -1300}, {-2650, -950}, {-3400, -900}, {-3400, -1250}})});

  // ---- rivers and canals, under the bridges where the demo GPX file has them
  auto bridge = [&](std::string_view prefix) {
    for (const demogpx::Landmark& l : demogpx::Landmarks())
      if (std::string_view(l.name).starts_with(prefix)) return f.ToLocal(Nearest(s.drive, {l.latitude, l.longitude}, f));
    return Local{};
  };
  const Local north = Shore(f, kPi), northBridge = bridge("Krugkoppel");
  s.lines.push_back({LineKind::River,
                     f.Converted({{north.n - 40, north.e}, northBridge, {1150, 30}, {1450, -50}, {1750, -10}, {2050, 130},
                                  {2350, 210}, {2700, 150}, {3100, 270}, {3600, 320}, {4500, 520}}),
                     40});
  // The channel under the bridge to the small lake.
  const Local crossing = bridge("Kennedy");
  s.lines.push_back({LineKind::River,
                     f.Converted({{crossing.n * 0.8, crossing.e * 0.8}, crossing,
                                  {crossing.n * 1.15, crossing.e * 1.15}, {-1220, -560}}),
                     70});
  const Local canalStart = Shore(f, 4.3);
  s.lines.push_back({LineKind::River,
                     f.Converted({canalStart, {canalStart.n + 40, canalStart.e + 500}, {450, 1500},
                                  {520, 2300}, {700, 3200}, {760, 4500}}),
                     25});

  // ---- streets and main roads
  s.lines.push_back({LineKind::MainRoad, s.drive, 14});
  for (const double scale : {1.75, 2.7}) {
    std::vector<Local> ring;
    for (int i = 0; i <= 240; ++i) ring.push_back(f.Loop(2 * kPi * i / 240, scale));
    AddClipped(s, LineKind::MainRoad, 12, ring, f);
  }
  std::vector<Local> bank;
  for (double e = -7000; e <= 7000; e += 250) bank.push_back({BankAt(e) + 60, e});
  s.lines.push_back({LineKind::MainRoad, f.Converted(bank), 12});

  struct Spoke {
    double angle;
    const char* name;
  };
  static constexpr Spoke kSpokes[] = {
      {0.25, "Ferdinandstor"},   {0.95, "Rothenbaumchaussee"}, {1.6, "Mittelweg"}, {2.25, "Milchstra\u00DFe"},
      {2.9, "Leinpfad"},         {3.6, "Hofweg"},               {4.2, "Karlstra\u00DFe"},
      {4.85, "L\u00FCbecker Stra\u00DFe"}, {5.5, "Lange Reihe"}};
  for (const Spoke& spoke : kSpokes) {
    const Local start = f.Loop(spoke.angle, 1.0);
    const double length = std::hypot(start.n, start.e);
    const Local dir{start.n / length, start.e / length};
    std::vector<Local> road;
    for (double d = 0; d <= 6500; d += 100) {
      // A gentle bend, so that the spokes are no ruler lines.
      const double bend = 120 * std::sin(d / 1800 + spoke.angle);
      road.push_back({start.n + dir.n * d - dir.e * bend * d / 6500, start.e + dir.e * d + dir.n * bend * d / 6500});
    }
    AddClipped(s, LineKind::MainRoad, 12, road, f);
    const Local at = road[4], next = road[5];
    s.labels.push_back({LabelKind::Road, spoke.name, f(at), TextAngle(at, next), 2.5});
  }

  std::vector<LatLon> ferry;
  for (const demogpx::RouteStop& stop : demogpx::RouteStops()) {
    ferry.push_back({stop.latitude, stop.longitude});
    if (std::string_view(stop.name).starts_with("Pier"))
      s.labels.push_back({LabelKind::Pier, stop.name, {stop.latitude, stop.longitude}, 0, 2.5});
  }
  s.lines.push_back({LineKind::Ferry, ferry, 0});

  // ---- names
  s.labels.push_back({LabelKind::Water, "Aussenalster", f({0, 0}), 80, 1e9});
  s.labels.push_back({LabelKind::Water, "Binnenalster", f({-1330, -700}), 35, 6});
  s.labels.push_back({LabelKind::Water, "Alster", f({1800, 90}), 75, 6});
  s.labels.push_back({LabelKind::Water, "Osterbek", f({450, 1900}), 5, 6});
  s.labels.push_back({LabelKind::Water, "Elbe", f({-2420, -1800}), 0, 1e9});
  s.labels.push_back({LabelKind::Park, "Alsterpark", f(f.Loop(2.25, 0.9)), 70, 6});
  s.labels.push_back({LabelKind::Park, "Alstervorland", f(f.Loop(4.05, 0.9)), -70, 6});
  s.labels.push_back({LabelKind::Park, "Stadtpark", f({2350, 2100}), 0, 1e9});
  s.labels.push_back({LabelKind::Park, "Planten un Blomen", f({-1150, -1650}), 0, 6});
  s.labels.push_back({LabelKind::Park, "Eichenpark", f({1850, -1350}), 0, 6});
  s.labels.push_back({LabelKind::Park, "Lohmühlenpark", f({-450, 1750}), 0, 6});
  s.labels.push_back({LabelKind::Park, "Entenwerder", f({-2900, 2600}), 0, 1e9});

  struct Shoreline {
    double angle;
    const char* name;
  };
  static constexpr Shoreline kShore[] = {{1.2, "Alsterufer"}, {2.35, "Harvestehuder Weg"},
                                         {3.85, "Sch\u00F6ne Aussicht"}, {5.35, "An der Alster"}};
  for (const Shoreline& road : kShore) {
    const Local at = f.Loop(road.angle, 1.0), next = f.Loop(road.angle + 0.02, 1.0);
    s.labels.push_back({LabelKind::Road, road.name, f(at), TextAngle(at, next), 2.5});
  }
  for (const auto& [scale, name] : {std::pair{1.75, "Ring 1"}, std::pair{2.7, "Ring 2"}}) {
    const Local at = f.Loop(1.9, scale), next = f.Loop(1.92, scale);
    s.labels.push_back({LabelKind::Road, name, f(at), TextAngle(at, next), 6});
  }

  struct Place {
    const char* name;
    Local at;
  };
  static constexpr Place kPlaces[] = {{"HARVESTEHUDE", {950, -1600}}, {"UHLENHORST", {650, 1350}},
                                      {"ST. GEORG", {-1550, 700}},     {"ROTHERBAUM", {-450, -1500}},
                                      {"WINTERHUDE", {2500, 600}},     {"NEUSTADT", {-1850, -2300}},
                                      {"HOHENFELDE", {-1100, 2200}},   {"BARMBEK", {1600, 3300}},
                                      {"EIMSB\u00DCTTEL", {1200, -3600}}, {"HAMMERBROOK", {-1900, 2900}}};
  for (const Place& place : kPlaces) s.labels.push_back({LabelKind::Place, place.name, f(place.at), 0, 6});

  // Landmarks where the demo GPX file has them: at the drive's nearest fix.
  for (const demogpx::Landmark& l : demogpx::Landmarks())
    s.labels.push_back({LabelKind::Landmark, l.name, Nearest(s.drive, {l.latitude, l.longitude}, f), 0, 2.5});
  return s;
}

}  // namespace

const Scene& DemoScene() {
  static const Scene scene = Build();
  return scene;
}

std::vector<Line> StreetGrid(double spacing, double halfSize) {
  const Frame f{nmeadrive::DriveOptions{}};
  constexpr double kTurn = 12 * kPi / 180;
  const double c = std::cos(kTurn), s = std::sin(kTurn);
  std::vector<Line> lines;
  const int count = static_cast<int>(halfSize / spacing);
  for (int family = 0; family < 2; ++family) {
    for (int k = -count; k <= count; ++k) {
      // Along u at offset k along v, u and v the grid's turned axes.
      const double u0 = -halfSize, u1 = halfSize, v = k * spacing;
      auto at = [&](double u) -> Local {
        const double x = family == 0 ? u : v, y = family == 0 ? v : u;  // x east, y north
        return {x * s + y * c, x * c - y * s};
      };
      std::vector<Local> points;
      for (double u = u0; u <= u1; u += spacing) points.push_back(at(u));
      std::vector<Local> part;
      auto flush = [&] {
        if (part.size() > 1) lines.push_back({LineKind::Street, f.Converted(part), 6});
        part.clear();
      };
      for (const Local& p : points) {
        if (p.n < BankAt(p.e) + 60) flush();
        else part.push_back(p);
      }
      flush();
    }
  }
  return lines;
}

}  // namespace demomaps

namespace demomaps {

std::vector<Area> HouseBlocks(double spacing, double halfSize) {
  const Frame f{nmeadrive::DriveOptions{}};
  constexpr double kTurn = 12 * kPi / 180;
  constexpr double kInset = 16;  // metres from the street's middle
  constexpr double kGap = 10;    // between the two houses of a split square
  const double c = std::cos(kTurn), s = std::sin(kTurn);
  auto at = [&](double x, double y) -> Local { return {x * s + y * c, x * c - y * s}; };
  std::vector<Area> blocks;
  const int count = static_cast<int>(halfSize / spacing);
  for (int i = -count; i < count; ++i) {
    for (int j = -count; j < count; ++j) {
      const std::uint32_t h = (static_cast<std::uint32_t>(i) * 73856093u) ^ (static_cast<std::uint32_t>(j) * 19349663u);
      if (h % 9 == 0) continue;  // a square or a yard
      const double x0 = i * spacing + kInset, x1 = (i + 1) * spacing - kInset;
      const double y0 = j * spacing + kInset, y1 = (j + 1) * spacing - kInset;
      std::vector<std::array<double, 4>> parts;
      if (h % 3 == 1) {
        const double middle = (x0 + x1) / 2;
        parts.push_back({x0, middle - kGap / 2, y0, y1});
        parts.push_back({middle + kGap / 2, x1, y0, y1});
      } else {
        parts.push_back({x0, x1, y0, y1});
      }
      for (const auto& [a0, a1, b0, b1] : parts) {
        const std::vector<Local> corners = {at(a0, b0), at(a1, b0), at(a1, b1), at(a0, b1)};
        bool onLand = true;
        for (const Local& p : corners) onLand = onLand && p.n >= BankAt(p.e) + 60;
        if (onLand) blocks.push_back({AreaKind::Building, f.Converted(corners)});
      }
    }
  }
  return blocks;
}

}  // namespace demomaps
