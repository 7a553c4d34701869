// The map view's paint at 480 x 640 (192 dpi) against QPainter drawing the
// same things directly, in the same run:
//  - a track of 100 000 points through MapView::PaintLayers (the copy of
//    the points under the collection's lock, the thinning, the culling and
//    the clipping included) against drawPolyline of all its points turned
//    to screen pixels, both with the same pen, antialiased; once with the
//    whole track in view and once zoomed in on its middle;
//  - a screen of map pictures (twelve 256 x 256 pictures covering the
//    screen) through the map layer against drawImage of the same pictures
//    into the same rectangles.
// The ratio rows (ours / direct) are printed at the end.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "app/core/SettingsStore.h"
#include "app/ui/MapView.h"
#include "app/waypoints/Waypoints.h"

using namespace rovana;
using rovana::ui::MapFrame;
using rovana::ui::MapPicture;
using rovana::ui::MapView;

namespace {

constexpr int kW = 480, kH = 640;
constexpr double kDeg = maps::kPi / 180;
constexpr std::size_t kTrackPoints = 100000;

struct World {
  std::filesystem::path folder;
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<Waypoints> waypoints;
  POIs* track = nullptr;
  std::vector<GeoPoint> points;

  World() {
    std::random_device rd;
    folder = std::filesystem::temp_directory_path() / ("rovana-mapbench-" + std::to_string(rd()));
    std::filesystem::create_directories(folder / "data");
    setenv("ZENOLITH_REGISTRY", (folder / "registry").c_str(), 1);
    settings = std::make_unique<SettingsStore>(folder);
    settings->primaryDataPath = settings->secondaryDataPath = (folder / "data").string();
    settings->gridEnabled = false;
    settings->followUser = settings->followMarker = false;
    settings->heading = 0;
    waypoints = std::make_unique<Waypoints>(*settings);
    GpxParser& file = waypoints->NewFile("Bench.gpx");
    track = &waypoints->AddCollection(file, PoisKind::Track);
    track->SetColor(0x0000FF);
    track->SetWidth(2);
    // A wandering walk of about 5 m steps around 52.5 N 13.4 E.
    std::mt19937 random(42);
    std::uniform_real_distribution<double> turn(-0.3, 0.3);
    GeoPoint p(52.5 * kDeg, 13.4 * kDeg);
    double course = 0;
    for (std::size_t i = 0; i < kTrackPoints; ++i) {
      track->AddPoint(p, -1, true);
      course += turn(random);
      p.Offset(5 * std::cos(course), 5 * std::sin(course));
    }
    track->AddPoint(std::nullopt, -1, true);
    points = track->Points();
    waypoints->MakeCurrent(track);  // kept loaded whatever the view shows
  }
  ~World() {
    waypoints.reset();
    settings.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

World& TheWorld() {
  static World world;
  return world;
}

// Centre and metres per pixel of a view on the track: the whole of it, or
// its middle at 1 m per pixel.
void LookAt(SettingsStore& s, bool whole, const std::vector<GeoPoint>& points) {
  GeoBounds b;
  for (const GeoPoint& p : points) b.Widen(p);
  const double lat = whole ? (b.minLatitude + b.maxLatitude) / 2 : points[points.size() / 2].latitude();
  const double lon = whole ? (b.minLongitude + b.maxLongitude) / 2 : points[points.size() / 2].longitude();
  s.translateX = -lon;
  s.translateY = -lat;
  const double fit = std::max((b.maxLongitude - b.minLongitude) / kW, (b.maxLatitude - b.minLatitude) / kH);
  s.zoomN3 = whole ? 1 / fit : kEarthRadius * std::cos(lat) / 1.0;
}

MapFrame Frame() {
  MapFrame frame;
  frame.width = kW;
  frame.height = kH;
  frame.dpi = 192;
  return frame;
}

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> seconds;
  return seconds;
}

void Record(benchmark::State& state, const std::string& name, double seconds) {
  Seconds()[name] = seconds / static_cast<double>(state.iterations());
}

void TrackMapView(benchmark::State& state) {
  World& w = TheWorld();
  const bool whole = state.range(0) != 0;
  LookAt(*w.settings, whole, w.points);
  MapView view(*w.settings);
  const screen::ViewBinding binding = screen::BindView(*w.settings);
  QImage image(kW, kH, QImage::Format_RGB32);
  double total = 0;
  std::size_t vertices = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    view.Build(binding, Frame());
    view.PaintLayers(painter, Frame(), w.waypoints.get(), nullptr);
    painter.end();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    vertices = view.verticesDrawn();
  }
  state.counters["vertices"] = static_cast<double>(vertices);
  Record(state, whole ? "track whole: map view" : "track zoomed: map view", total);
}

void TrackDirect(benchmark::State& state) {
  World& w = TheWorld();
  const bool whole = state.range(0) != 0;
  LookAt(*w.settings, whole, w.points);
  MapView view(*w.settings);
  const screen::ViewBinding binding = screen::BindView(*w.settings);
  const maps::ViewTransform t = view.Build(binding, Frame());
  QImage image(kW, kH, QImage::Format_RGB32);
  std::vector<QPointF> screen(w.points.size());
  QPen pen(QColor(255, 0, 0), 4);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < w.points.size(); ++i) {
      const maps::ScreenPoint p = t.ToScreen(w.points[i]);
      screen[i] = QPointF(p.x, p.y);
    }
    painter.setPen(pen);
    painter.drawPolyline(screen.data(), static_cast<int>(screen.size()));
    painter.end();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, whole ? "track whole: direct" : "track zoomed: direct", total);
}

// Twelve 256 x 256 pictures in a 3 x 4 grid, each 0.002 x 0.0012 degrees,
// around 52.5 N 13.4 E; the view shows the middle of the grid.
struct Pictures {
  std::vector<MapPicture> maps;
  Pictures() {
    for (int row = 0; row < 4; ++row)
      for (int col = 0; col < 3; ++col) {
        QImage picture(256, 256, QImage::Format_RGB32);
        picture.fill(QColor(40 * col + 80, 30 * row + 60, 120));
        const double west = (13.397 + col * 0.002) * kDeg, east = west + 0.002 * kDeg;
        const double north = (52.5024 - row * 0.0012) * kDeg, south = north - 0.0012 * kDeg;
        MapPicture map;
        map.picture = picture;
        map.size = picture.size();
        map.state = MapPicture::State::Loaded;
        map.toPixel.Identity();
        map.toPixel.Resize(3, 3);
        map.toPixel(0, 0) = 256 / (east - west);
        map.toPixel(0, 2) = -west * 256 / (east - west);
        map.toPixel(1, 1) = -256 / (north - south);
        map.toPixel(1, 2) = north * 256 / (north - south);
        map.toPixel(2, 2) = 1;
        maps.push_back(map);
      }
  }
};

void LookAtPictures(SettingsStore& s) {
  s.translateX = -13.4 * kDeg;
  s.translateY = -52.5 * kDeg;
  // The grid's 0.006 degrees of longitude a little wider than the screen.
  s.zoomN3 = kW / (0.0055 * kDeg);
}

void PicturesMapView(benchmark::State& state) {
  World& w = TheWorld();
  static Pictures pictures;
  LookAtPictures(*w.settings);
  MapView view(*w.settings);
  view.SetInputs({.maps = [](const ui::MapRequest&) { return pictures.maps; }});
  const screen::ViewBinding binding = screen::BindView(*w.settings);
  QImage image(kW, kH, QImage::Format_RGB32);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    image.fill(Qt::white);
    QPainter painter(&image);
    view.Build(binding, Frame());
    view.PaintLayers(painter, Frame(), nullptr, nullptr);
    painter.end();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["maps"] = view.mapsDrawn();
  Record(state, "pictures: map view", total);
}

void PicturesDirect(benchmark::State& state) {
  World& w = TheWorld();
  static Pictures pictures;
  LookAtPictures(*w.settings);
  MapView view(*w.settings);
  const screen::ViewBinding binding = screen::BindView(*w.settings);
  const maps::ViewTransform t = view.Build(binding, Frame());
  // The same screen rectangles, worked out once.
  std::vector<QRectF> targets;
  for (const MapPicture& map : pictures.maps) {
    const matrixT toGeo = !map.toPixel;
    const matrixT::Point a = toGeo.Apply(0, 0), b = toGeo.Apply(256, 256);
    const maps::ScreenPoint p = t.ToScreen(a.x, a.y), q = t.ToScreen(b.x, b.y);
    targets.emplace_back(QPointF(p.x, p.y), QPointF(q.x, q.y));
  }
  QImage image(kW, kH, QImage::Format_RGB32);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    image.fill(Qt::white);
    QPainter painter(&image);
    for (std::size_t i = 0; i < targets.size(); ++i)
      painter.drawImage(targets[i], pictures.maps[i].picture, QRectF(0, 0, 256, 256));
    painter.end();
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "pictures: direct", total);
}

BENCHMARK(TrackMapView)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(TrackDirect)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(PicturesMapView)->Unit(benchmark::kMillisecond);
BENCHMARK(PicturesDirect)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  auto& s = Seconds();
  std::printf("\nMap view / direct QPainter (aim <= 1.5x):\n");
  for (const char* what : {"track whole", "track zoomed", "pictures"}) {
    const std::string ours = std::string(what) + ": map view", direct = std::string(what) + ": direct";
    if (!s.count(ours) || !s.count(direct) || s[direct] <= 0) continue;
    const double ratio = s[ours] / s[direct];
    std::printf("%s: %.2fx  (%.3f ms vs %.3f ms per paint%s)\n", what, ratio, s[ours] * 1e3, s[direct] * 1e3,
                ratio <= 1.5 ? "" : ", MISSED");
  }
  return 0;
}
