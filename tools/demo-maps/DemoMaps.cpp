#include "tools/demo-maps/DemoMaps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace demomaps {
namespace {

constexpr double kPi = std::numbers::pi;

// WGS 84, for true ground metres at a map's centre.
constexpr double kSemiMajor = 6378137.0;
constexpr double kEccentricity2 = 0.00669437999014;
// Transverse Mercator scale at the central meridian of UTM.
constexpr double kUtmScale = 0.9996;

// Colours of the map.
constexpr QRgb kLand = 0xFFF2EFE9;
constexpr QRgb kStreet = 0xFFFFFFFF;
constexpr QRgb kStreetCasing = 0xFFCFC6BC;
constexpr QRgb kMainRoad = 0xFFFCD68A;
constexpr QRgb kMainCasing = 0xFFC0914A;
constexpr QRgb kWater = 0xFFAAD3F2;
constexpr QRgb kShore = 0xFF78ABD6;
constexpr QRgb kPark = 0xFFCDE8B8;
constexpr QRgb kWood = 0xFFAAD193;
constexpr QRgb kTree = 0xFF86B870;
constexpr QRgb kHouse = 0xFFE2DBD0;
constexpr QRgb kHouseEdge = 0xFFCEC4B6;
constexpr QRgb kFerry = 0xFF2F62B0;
constexpr QRgb kText = 0xFF333333;
constexpr QRgb kWaterText = 0xFF2A5C9A;
constexpr QRgb kParkText = 0xFF3D6B2A;
constexpr QRgb kPlaceText = 0xFF6E6A66;
constexpr QRgb kLandmark = 0xFFC0392B;

const char* const kFontFiles[] = {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                                  "LiberationSans-Italic.ttf", "LiberationSans-BoldItalic.ttf"};
const char* const kFontFolders[] = {"/usr/share/fonts/truetype/liberation", "/usr/share/fonts/truetype/liberation2"};

QString g_family;

// "%.*f" without the process locale.
std::string Fixed(double value, int decimals) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

double MetresPerDegreeNorth(double lat) {
  const double s = std::sin(lat * kPi / 180);
  return kSemiMajor * (1 - kEccentricity2) / std::pow(1 - kEccentricity2 * s * s, 1.5) * kPi / 180;
}
double MetresPerDegreeEast(double lat) {
  const double s = std::sin(lat * kPi / 180);
  return kSemiMajor / std::sqrt(1 - kEccentricity2 * s * s) * std::cos(lat * kPi / 180) * kPi / 180;
}

// The ground width as a UTM easting difference, which is what a 1-point
// calibration reads: true metres times the projection's scale there.
double GridWidth(const MapSheet& sheet) {
  const double zoneMeridian = std::floor(sheet.centre.lon / 6) * 6 + 3;
  const double x = (sheet.centre.lon - zoneMeridian) * MetresPerDegreeEast(sheet.centre.lat);
  const double radius2 = MetresPerDegreeNorth(sheet.centre.lat) * MetresPerDegreeEast(sheet.centre.lat) /
                         std::cos(sheet.centre.lat * kPi / 180) * (180 / kPi) * (180 / kPi);
  return sheet.width * sheet.metresPerPixel * kUtmScale * (1 + x * x / (2 * radius2));
}

QFont Font(int pixels, bool bold = false, bool italic = false) {
  QFont font(g_family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(true);
  return font;
}

class MapPainter {
 public:
  MapPainter(QImage& image, const MapSheet& sheet) : p_(&image), sheet_(sheet), proj_(sheet) {
    p_.setRenderHint(QPainter::Antialiasing);
    p_.setRenderHint(QPainter::TextAntialiasing);
  }

  void Draw() {
    const double mpp = proj_.metresPerPixel();
    const Scene& scene = DemoScene();
    // Streets first: parks and water cover them where they lie.
    const double spacing = mpp <= 2.5 ? 160 : 320;
    if (mpp <= 2.5)
      for (const Area& block : HouseBlocks(spacing, 7000)) Fill(block);
    const std::vector<Line> streets = StreetGrid(spacing, 7000);
    Strokes(streets, mpp <= 2.5 ? 6 : 3, 1.2, kStreetCasing, kStreet);
    for (const Area& a : scene.areas)
      if (a.kind != AreaKind::Water) Fill(a);
    // Water: shores first, then the water over them, so that lakes and
    // rivers flow into each other without a line between them.
    p_.setBrush(Qt::NoBrush);
    for (const Area& a : scene.areas)
      if (a.kind == AreaKind::Water) {
        p_.setPen(QPen(QColor::fromRgb(kShore), 3));
        p_.drawPolygon(Polygon(a.outline));
      }
    std::vector<Line> rivers;
    for (const Line& l : scene.lines)
      if (l.kind == LineKind::River) rivers.push_back(l);
    Strokes(rivers, 0, 3, kShore, kWater);
    for (const Area& a : scene.areas)
      if (a.kind == AreaKind::Water) Fill(a);
    StrokesFill(rivers, 3, kWater);

    std::vector<Line> roads;
    for (const Line& l : scene.lines)
      if (l.kind == LineKind::MainRoad) roads.push_back(l);
    Strokes(roads, 0, mpp <= 2.5 ? 5 : 3.5, kMainCasing, kMainRoad);
    for (const Line& l : scene.lines)
      if (l.kind == LineKind::Ferry) Ferry(l);
    for (const Label& label : scene.labels)
      if (mpp <= label.maxMetresPerPixel) Name(label);
    Legend();
    NorthArrow();
    p_.setPen(QPen(QColor::fromRgb(kText), 2));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(QRectF(1, 1, sheet_.width - 2, sheet_.height - 2));
  }

 private:
  QPointF Px(LatLon at) const { return {proj_.X(at.lon), proj_.Y(at.lat)}; }
  QPolygonF Polygon(const std::vector<LatLon>& points) const {
    QPolygonF polygon;
    for (const LatLon& at : points) polygon << Px(at);
    return polygon;
  }
  double Width(const Line& line, double least) const { return std::max(least, line.widthMetres / proj_.metresPerPixel()); }

  void Fill(const Area& area) {
    const QPolygonF polygon = Polygon(area.outline);
    const QRgb colour = area.kind == AreaKind::Water      ? kWater
                        : area.kind == AreaKind::Park     ? kPark
                        : area.kind == AreaKind::Building ? kHouse
                                                          : kWood;
    p_.setPen(area.kind == AreaKind::Building ? QPen(QColor::fromRgb(kHouseEdge), 1) : QPen(Qt::NoPen));
    p_.setBrush(QColor::fromRgb(colour));
    p_.drawPolygon(polygon);
    if (area.kind != AreaKind::Wood) return;
    // Trees on a staggered grid of the picture, where the wood is.
    p_.setBrush(QColor::fromRgb(kTree));
    const QRectF box = polygon.boundingRect();
    constexpr double kStep = 16;
    for (double y = std::floor(box.top() / kStep) * kStep; y < box.bottom(); y += kStep) {
      const double shift = std::fmod(y / kStep, 2.0) == 0 ? 0 : kStep / 2;
      for (double x = std::floor(box.left() / kStep) * kStep + shift; x < box.right(); x += kStep)
        if (polygon.containsPoint(QPointF(x, y), Qt::OddEvenFill)) p_.drawEllipse(QPointF(x, y), 3.5, 3.5);
    }
  }

  // Every line's casing, then every line's fill, so that crossings join.
  void Strokes(const std::vector<Line>& lines, double metres, double least, QRgb casing, QRgb fill) {
    for (int pass = 0; pass < 2; ++pass) {
      for (const Line& l : lines) {
        const double width = metres > 0 ? std::max(least, metres / proj_.metresPerPixel()) : Width(l, least);
        p_.setPen(QPen(QColor::fromRgb(pass == 0 ? casing : fill), pass == 0 ? width + 2 : width, Qt::SolidLine,
                       Qt::RoundCap, Qt::RoundJoin));
        p_.setBrush(Qt::NoBrush);
        p_.drawPolyline(Polygon(l.points));
      }
    }
  }
  void StrokesFill(const std::vector<Line>& lines, double least, QRgb fill) {
    for (const Line& l : lines) {
      p_.setPen(QPen(QColor::fromRgb(fill), Width(l, least), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p_.drawPolyline(Polygon(l.points));
    }
  }

  void Ferry(const Line& line) {
    QPen pen(QColor::fromRgb(kFerry), 2.5, Qt::DashLine, Qt::FlatCap, Qt::RoundJoin);
    pen.setDashPattern({4, 3});
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
    p_.drawPolyline(Polygon(line.points));
  }

  // Text centred on `at`, turned by `degrees`, with a pale halo.
  void Text(const QString& text, const QFont& font, QPointF at, double degrees, QRgb colour, QRgb halo = kLand,
            bool centred = true) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF box = path.boundingRect();
    p_.save();
    p_.translate(at);
    p_.rotate(-degrees);
    if (centred) p_.translate(-box.center());
    else p_.translate(0, -box.center().y());
    p_.setPen(QPen(QColor::fromRgb(halo), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p_.setBrush(Qt::NoBrush);
    p_.drawPath(path);
    p_.setPen(Qt::NoPen);
    p_.setBrush(QColor::fromRgb(colour));
    p_.drawPath(path);
    p_.restore();
  }

  // Text from its baseline's start. Every text is drawn as an outline path,
  // never through the glyph cache, whose state would let the same text
  // come out differently later in a run.
  void Written(const QString& text, const QFont& font, QPointF baseline, QRgb colour) {
    QPainterPath path;
    path.addText(baseline, font, text);
    p_.setPen(Qt::NoPen);
    p_.setBrush(QColor::fromRgb(colour));
    p_.drawPath(path);
  }

  void Name(const Label& label) {
    const QPointF at = Px(label.at);
    // Only names whose place is on the picture, clear of its edge.
    if (at.x() < 40 || at.y() < 20 || at.x() > sheet_.width - 40 || at.y() > sheet_.height - 20) return;
    const bool overview = proj_.metresPerPixel() >= 4;
    const QString text = QString::fromUtf8(label.text.c_str());
    switch (label.kind) {
      case LabelKind::Water:
        Text(text, Font(overview ? 18 : 28, false, true), at, label.angleDegrees, kWaterText, kWater);
        break;
      case LabelKind::Park:
        Text(text, Font(overview ? 13 : 17, false, true), at, label.angleDegrees, kParkText, kPark);
        break;
      case LabelKind::Road:
        Text(text, Font(overview ? 12 : 13), at, label.angleDegrees, kText, kMainRoad);
        break;
      case LabelKind::Place: {
        QFont font = Font(overview ? 14 : 18, true);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
        Text(text, font, at, 0, kPlaceText);
        break;
      }
      case LabelKind::Landmark:
        p_.setPen(QPen(QColor::fromRgb(0xFFFFFFFF), 2));
        p_.setBrush(QColor::fromRgb(kLandmark));
        p_.drawEllipse(at, 6, 6);
        Text(text, Font(14, true), at + QPointF(10, 0), 0, kLandmark, 0xFFFFFFFF, false);
        break;
      case LabelKind::Pier:
        p_.setPen(QPen(QColor::fromRgb(0xFFFFFFFF), 2));
        p_.setBrush(QColor::fromRgb(kFerry));
        p_.drawRect(QRectF(at.x() - 5, at.y() - 5, 10, 10));
        Text(text, Font(14, true), at + QPointF(10, -12), 0, kFerry, 0xFFFFFFFF, false);
        break;
    }
  }

  // A round length about a fifth of the legend's width.
  static int ScaleMetres(double metresPerPixel) {
    for (const int metres : {100, 200, 250, 500, 1000, 2000})
      if (metres / metresPerPixel >= 110) return metres;
    return 5000;
  }

  void Legend() {
    constexpr double kWidth = 330, kHeight = 296, kMargin = 16;
    const QRectF box(sheet_.width - kWidth - kMargin, sheet_.height - kHeight - kMargin, kWidth, kHeight);
    p_.setPen(QPen(QColor::fromRgb(kText), 1.5));
    p_.setBrush(QColor::fromRgb(0xF0FFFFFF));
    p_.drawRect(box);
    const double left = box.left() + 14;
    double y = box.top() + 26;
    auto line = [&](const QString& text, const QFont& font, QRgb colour, double advance) {
      Written(text, font, QPointF(left, y), colour);
      y += advance;
    };
    line(QString::fromUtf8(sheet_.title), Font(18, true), kText, 22);
    line("SYNTHETIC DEMO MAP", Font(14, true), kLandmark, 19);
    line("Made-up streets and shapes around the", Font(13), kText, 16);
    line("Rovana demo drive: not a real map,", Font(13), kText, 16);
    line("not for navigation.", Font(13), kText, 24);

    struct Key {
      const char* text;
      int kind;  // 0 road, 1 street, 2 area, 3 ferry, 4 landmark
      QRgb fill, edge;
    };
    const Key keys[] = {{"Main road", 0, kMainRoad, kMainCasing}, {"Street", 1, kStreet, kStreetCasing},
                        {"Water", 2, kWater, kShore},             {"Park", 2, kPark, kPark},
                        {"Wood", 2, kWood, kTree},                {"Ferry", 3, kFerry, kFerry},
                        {"Houses", 2, kHouse, kHouseEdge},        {"Landmark", 4, kLandmark, 0xFFFFFFFF}};
    for (int i = 0; i < 8; ++i) {
      const Key& k = keys[i];
      const double x = left + (i % 2) * 150, top = y + (i / 2) * 24;
      const QRectF swatch(x, top - 11, 34, 12);
      if (k.kind == 4) {
        p_.setPen(QPen(QColor::fromRgb(k.edge), 2));
        p_.setBrush(QColor::fromRgb(k.fill));
        p_.drawEllipse(swatch.center(), 6, 6);
      } else if (k.kind == 2) {
        p_.setPen(QPen(QColor::fromRgb(k.edge), 1.5));
        p_.setBrush(QColor::fromRgb(k.fill));
        p_.drawRect(swatch);
      } else {
        const double mid = swatch.center().y();
        if (k.kind == 3) {
          QPen pen(QColor::fromRgb(k.fill), 2.5, Qt::DashLine, Qt::FlatCap);
          pen.setDashPattern({4, 3});
          p_.setPen(pen);
        } else {
          p_.setPen(QPen(QColor::fromRgb(k.edge), k.kind == 0 ? 8 : 5, Qt::SolidLine, Qt::FlatCap));
          p_.drawLine(QPointF(swatch.left(), mid), QPointF(swatch.right(), mid));
          p_.setPen(QPen(QColor::fromRgb(k.fill), k.kind == 0 ? 6 : 3, Qt::SolidLine, Qt::FlatCap));
        }
        p_.drawLine(QPointF(swatch.left(), mid), QPointF(swatch.right(), mid));
      }
      Written(k.text, Font(13), QPointF(x + 44, top), kText);
    }
    y += 4 * 24 + 6;

    // The scale bar: black and white halves.
    const int metres = ScaleMetres(proj_.metresPerPixel());
    const double length = metres / proj_.metresPerPixel();
    p_.setPen(QPen(QColor::fromRgb(kText), 1));
    p_.setBrush(QColor::fromRgb(kText));
    p_.drawRect(QRectF(left, y, length / 2, 7));
    p_.setBrush(QColor::fromRgb(0xFFFFFFFF));
    p_.drawRect(QRectF(left + length / 2, y, length / 2, 7));
    const QString lengthText = metres >= 1000 ? QString::number(metres / 1000) + " km" : QString::number(metres) + " m";
    Written(lengthText, Font(13), QPointF(left + length + 8, y + 8), kText);
    y += 28;
    Written(QString("North up, WGS 84; about %1 m a pixel").arg(Fixed(sheet_.metresPerPixel, 1).c_str()), Font(11),
            QPointF(left, y), kPlaceText);
  }

  void NorthArrow() {
    const QPointF tip(sheet_.width - 40, 24);
    QPolygonF arrow;
    arrow << tip << tip + QPointF(12, 34) << tip + QPointF(0, 26) << tip + QPointF(-12, 34);
    p_.setPen(QPen(QColor::fromRgb(0xFFFFFFFF), 2));
    p_.setBrush(QColor::fromRgb(kText));
    p_.drawPolygon(arrow);
    Text("N", Font(16, true), tip + QPointF(0, 48), 0, kText);
  }

  QPainter p_;
  const MapSheet& sheet_;
  Projection proj_;
};

// Writes `bytes` to `file` through a temporary file flushed to disk and
// renamed into place.
std::string WriteAtomically(const std::filesystem::path& file, const char* bytes, std::size_t size) {
  std::string temp = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return "cannot create a temporary file for " + file.string() + ": " + std::strerror(errno);
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && std::rename(temp.c_str(), file.c_str()) == 0) return {};
  ::unlink(temp.c_str());
  return "cannot write " + file.string();
}

}  // namespace

const std::vector<MapSheet>& DemoMapSheets() {
  static const std::vector<MapSheet> sheets = {
      {"Alster-overview.png", "Hamburg around the Alster", 1600, 1200, {53.5640, 10.0000}, 5.0, 1},
      {"Aussenalster.png", "Aussenalster", 1200, 1600, {53.5665, 10.0040}, 2.0, 2},
      {"Alster-south.png", "Southern Aussenalster", 1600, 1200, {53.5600, 10.0010}, 1.0, 2},
  };
  return sheets;
}

Projection::Projection(const MapSheet& sheet)
    : centreX_(sheet.width / 2.0),
      centreY_(sheet.height / 2.0),
      metresPerPixel_(sheet.metresPerPixel),
      centre_(sheet.centre),
      metresPerDegreeNorth_(MetresPerDegreeNorth(sheet.centre.lat)),
      metresPerDegreeEast_(MetresPerDegreeEast(sheet.centre.lat)) {}

double Projection::X(double lon) const { return centreX_ + (lon - centre_.lon) * metresPerDegreeEast_ / metresPerPixel_; }
double Projection::Y(double lat) const { return centreY_ - (lat - centre_.lat) * metresPerDegreeNorth_ / metresPerPixel_; }
LatLon Projection::At(double x, double y) const {
  return {centre_.lat + (centreY_ - y) * metresPerPixel_ / metresPerDegreeNorth_,
          centre_.lon + (x - centreX_) * metresPerPixel_ / metresPerDegreeEast_};
}

std::string CalibrationName(const MapSheet& sheet) {
  std::string name = sheet.fileName;
  return name.substr(0, name.size() - 3) + "txt";
}

std::string CalibrationText(const MapSheet& sheet) {
  const Projection proj(sheet);
  std::string text;
  auto add = [&](const char* key, const std::string& value) { text += std::string(key) + value + "\n"; };
  add("width  = ", std::to_string(sheet.width));
  add("height = ", std::to_string(sheet.height));
  add("grid   = ", "0");
  // Method 1: the centre and the ground width; method 2: two pixels near
  // opposite corners.
  const int x1 = sheet.method == 1 ? sheet.width / 2 : 100, y1 = sheet.method == 1 ? sheet.height / 2 : 100;
  const LatLon p1 = proj.At(x1, y1);
  add("ref1x  = ", std::to_string(x1));
  add("ref1y  = ", std::to_string(y1));
  add("lat1   = ", Fixed(p1.lat, 8));
  add("lon1   = ", Fixed(p1.lon, 8));
  if (sheet.method == 1) {
    add("widthM = ", Fixed(GridWidth(sheet), 2));
  } else {
    const int x2 = sheet.width - 100, y2 = sheet.height - 100;
    const LatLon p2 = proj.At(x2, y2);
    add("ref2x  = ", std::to_string(x2));
    add("ref2y  = ", std::to_string(y2));
    add("lat2   = ", Fixed(p2.lat, 8));
    add("lon2   = ", Fixed(p2.lon, 8));
  }
  return text;
}

std::string PrepareFonts() {
  static const std::string result = [] {
    if (!QCoreApplication::instance()) {
      // The same font rendering whatever display there is.
      qputenv("QT_QPA_PLATFORM", "offscreen");
      static int argc = 1;
      static char name[] = "demo-maps";
      static char* argv[] = {name, nullptr};
      static QGuiApplication* const application = new QGuiApplication(argc, argv);  // lives as long as the process
      (void)application;
    }
    for (const char* folder : kFontFolders) {
      bool all = true;
      for (const char* file : kFontFiles) {
        const int id = QFontDatabase::addApplicationFont(QString(folder) + "/" + file);
        if (id < 0) {
          all = false;
          break;
        }
        if (g_family.isEmpty()) g_family = QFontDatabase::applicationFontFamilies(id).value(0);
      }
      if (all && !g_family.isEmpty()) return std::string();
    }
    return std::string("the Liberation Sans fonts are missing (package fonts-liberation)");
  }();
  return result;
}

QImage DrawMap(const MapSheet& sheet) {
  if (!PrepareFonts().empty()) return {};
  QImage image(sheet.width, sheet.height, QImage::Format_RGB32);
  image.fill(kLand);
  MapPainter(image, sheet).Draw();
  return image;
}

std::uint64_t PixelHash(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  std::uint64_t hash = 14695981039346656037ull;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      for (int shift = 24; shift >= 0; shift -= 8) {
        hash ^= (row[x] >> shift) & 0xFF;
        hash *= 1099511628211ull;
      }
    }
  }
  return hash;
}

std::string WriteDemoMaps(const std::filesystem::path& folder) {
  if (std::string error = PrepareFonts(); !error.empty()) return error;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return "cannot create " + folder.string() + ": " + ec.message();
  for (const MapSheet& sheet : DemoMapSheets()) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!DrawMap(sheet).save(&buffer, "PNG")) return std::string("cannot encode ") + sheet.fileName;
    if (std::string error = WriteAtomically(folder / sheet.fileName, png.constData(), static_cast<std::size_t>(png.size()));
        !error.empty())
      return error;
    const std::string calibration = CalibrationText(sheet);
    if (std::string error = WriteAtomically(folder / CalibrationName(sheet), calibration.data(), calibration.size());
        !error.empty())
      return error;
  }
  return {};
}

}  // namespace demomaps
