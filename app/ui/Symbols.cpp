#include "app/ui/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "app/core/Log.h"
#include "app/core/TextCodec.h"

namespace rovana::ui {
namespace {

namespace fs = std::filesystem;

constexpr std::array<BuiltInSymbol, 24> kBuiltIns = {{
    {"", 10, 10},          {"Default", 10, 20},     {"User", 10, 10},         {"Target", 10, 10},
    {"Trailhead", 10, 10}, {"Finish", 10, 17},      {"POIs", 10, 10},         {"Route", 10, 10},
    {"Track", 10, 10},     {"Buddy", 10, 10},       {"Pin", 10, 20},          {"Trainer", 10, 10},
    {"CacheTrad", 10, 10}, {"CacheMulti", 10, 10},  {"CacheVirtual", 10, 10}, {"CacheWebcam", 10, 10},
    {"CacheEarth", 10, 10}, {"CacheEvent", 10, 10}, {"CacheHybrid", 10, 10},  {"CacheInOut", 10, 10},
    {"CacheMega", 10, 10}, {"CacheMyst", 10, 10},   {"CacheDefect", 10, 10},  {"CacheUnknown", 10, 10},
}};

constexpr std::size_t kMaxLine = 260;  // symbols.txt lines

// Text of an 8-bit file: UTF-8 when valid, else Latin-1.
std::string EightBitText(const std::string& bytes) {
  if (SanitizeUtf8(bytes) == bytes) return bytes;
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

bool HasBmpExtension(const fs::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".bmp";
}

// The built-in pictures: simple shapes in a 20 x 20 cell on cyan, drawn
// without antialiasing so that no pixel blends with the transparent colour.
QImage DrawBuiltIn(std::string_view name) {
  QImage image(kSymbolSize, kSymbolSize, QImage::Format_RGB32);
  image.fill(kSymbolTransparent);
  if (name.empty()) return image;
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(Qt::black, 1));
  const QColor red(0xD0, 0x20, 0x20), green(0x20, 0x90, 0x20), blue(0x20, 0x40, 0xC0), yellow(0xF0, 0xC0, 0x20);
  if (name == "Default" || name == "Pin") {
    // A pin whose tip is the bottom centre.
    p.setBrush(name == "Pin" ? blue : red);
    p.drawEllipse(QRect(5, 1, 10, 10));
    p.drawLine(10, 11, 10, 19);
  } else if (name == "User" || name == "Buddy" || name == "Trainer") {
    p.setBrush(name == "User" ? blue : name == "Buddy" ? green : yellow);
    p.drawEllipse(QRect(3, 3, 14, 14));
    p.setBrush(Qt::white);
    p.drawEllipse(QRect(8, 8, 4, 4));
  } else if (name == "Target") {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(red, 2));
    p.drawEllipse(QRect(3, 3, 14, 14));
    p.drawLine(10, 0, 10, 19);
    p.drawLine(0, 10, 19, 10);
  } else if (name == "Trailhead" || name == "Finish") {
    // A flag on a pole; Finish is chequered with its foot at 10,17.
    p.drawLine(4, 2, 4, 17);
    const QRect cloth(5, 2, 11, 7);
    p.fillRect(cloth, name == "Trailhead" ? green : Qt::white);
    if (name == "Finish")
      for (int y = 0; y < 7; y += 2)
        for (int x = (y / 2) % 2; x < 11; x += 2) p.fillRect(5 + x, 2 + y, 1, 2, Qt::black);
    p.drawRect(cloth);
  } else if (name == "POIs" || name == "Route" || name == "Track") {
    p.setBrush(name == "POIs" ? yellow : name == "Route" ? blue : red);
    p.drawRect(QRect(2, 2, 15, 15));
    p.setPen(Qt::white);
    p.drawText(QRect(2, 2, 16, 16), Qt::AlignCenter, QString(QChar(name[0])));
  } else {
    // Geocaches: a box with the first letter after "Cache".
    p.setBrush(QColor(0x80, 0x60, 0x30));
    p.drawRect(QRect(2, 4, 15, 13));
    p.setPen(Qt::white);
    const QChar letter = name.size() > 5 ? QChar(name[5]) : QChar('?');
    p.drawText(QRect(2, 4, 16, 14), Qt::AlignCenter, QString(letter));
  }
  p.end();
  // Nothing drawn may come out as the transparent colour by accident.
  return image;
}

int Scaled(int value, int dpi) { return (value * dpi + (value < 0 ? -48 : 48)) / 96; }

}  // namespace

std::span<const BuiltInSymbol> BuiltInSymbols() { return kBuiltIns; }

QImage MaskCyan(const QImage& image) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0x00FFFFFF) == (kSymbolTransparent & 0x00FFFFFF)) line[x] = 0;
  }
  return out;
}

namespace {

// An 8 x 8 loudspeaker: a dark body with a cone and one sound arc.
QImage DrawnAudioMark() {
  QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 40, 40));
  const QPointF cone[] = {{0, 2.5}, {2, 2.5}, {4.5, 0.5}, {4.5, 7.5}, {2, 5.5}, {0, 5.5}};
  p.drawPolygon(cone, 6);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(3, 1.5, 4.5, 5), -60 * 16, 120 * 16);
  return image;
}

}  // namespace

SymbolTable::SymbolTable(const std::vector<fs::path>& symbolFolders) {
  for (const fs::path& folder : symbolFolders) LoadUserBitmaps(folder);
  // Hot-spots for the user's bitmaps: each folder's own file, the most
  // important folder last so that it wins.
  for (auto it = symbolFolders.rbegin(); it != symbolFolders.rend(); ++it) LoadHotSpots(*it / "symbols.txt");
  AddBuiltIns();
  audioMark_ = DrawnAudioMark();
}

void SymbolTable::LoadUserBitmaps(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (HasBmpExtension(it->path()) && it->is_regular_file(ec)) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const std::string name = file.stem().string();
    if (name.empty() || FindExact(name)) continue;  // a more important folder has it already
    QImage bitmap(QString::fromStdString(file.string()));
    if (bitmap.isNull()) {
      LogMessage("Symbol %s could not be loaded", file.string().c_str());
      continue;
    }
    bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    Symbol s;
    s.name = name;
    s.hotSpot = QPoint(10, 10);
    s.bitmap = bitmap;
    s.user = true;
    symbols_.push_back(std::move(s));
  }
}

void SymbolTable::LoadHotSpots(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return;
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    char name[kMaxLine + 1] = {};
    int x = 0, y = 0;
    if (std::sscanf(line.c_str(), "%260s %d,%d", name, &x, &y) != 3) continue;
    Symbol* s = FindExact(EightBitText(name));
    if (s && s->user) s->hotSpot = QPoint(x, y);
  }
}

void SymbolTable::AddBuiltIns() {
  for (const BuiltInSymbol& b : kBuiltIns) {
    if (FindExact(b.name)) continue;  // the user's bitmap stays in use
    Symbol s;
    s.name = b.name;
    s.hotSpot = QPoint(b.hotX, b.hotY);
    s.bitmap = DrawBuiltIn(b.name);
    symbols_.push_back(std::move(s));
  }
  for (std::size_t i = 0; i < symbols_.size(); ++i) {
    Symbol& s = symbols_[i];
    s.masked = MaskCyan(s.bitmap);
    s.icon = s.masked.scaled(kSymbolSize, kSymbolSize, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (s.name.empty()) blank_ = i;
    if (s.name == "Default") fallback_ = i;
  }
}

Symbol* SymbolTable::FindExact(std::string_view name) {
  for (Symbol& s : symbols_)
    if (s.name == name) return &s;
  return nullptr;
}

const Symbol& SymbolTable::Find(std::string_view name) const {
  if (name.empty()) return symbols_[blank_];
  for (const Symbol& s : symbols_)
    if (s.name == name) return s;
  return symbols_[fallback_];
}

std::vector<std::string> SymbolTable::Names() const {
  std::vector<std::string> names;
  for (const Symbol& s : symbols_)
    if (!s.name.empty()) names.push_back(s.name);
  return names;
}

QRect SymbolTable::Draw(QPainter& painter, QPoint at, std::string_view name, int dpi, bool shrink) const {
  const Symbol& s = Find(name);
  int w = s.masked.width(), h = s.masked.height();
  QPoint hot = s.hotSpot;
  if (shrink) {
    w /= 2;
    h /= 2;
    hot /= 2;
  }
  const QRect target(at.x() - Scaled(hot.x(), dpi), at.y() - Scaled(hot.y(), dpi), Scaled(w, dpi), Scaled(h, dpi));
  if (target.isEmpty()) return {};
  painter.drawImage(target, s.masked);
  return target;
}

void SymbolTable::DrawAudioMark(QPainter& painter, QPoint topLeft, int dpi) const {
  const int side = Scaled(audioMark_.width(), dpi);
  if (side > 0) painter.drawImage(QRect(topLeft, QSize(side, side)), audioMark_);
}

}  // namespace rovana::ui
