// Writing a GPX 1.0 file: the header, the collections of the file in the
// global list's order, one element per line.
#include <cstdint>
#include <string>

#include "app/core/Log.h"
#include "app/core/XmlWriter.h"
#include "app/waypoints/GpxParser.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {

namespace {

constexpr double kDegreesPerRadian = 180 / 3.14159265358979323846;

// The next code point of UTF-8 `text` at `at` (advanced), or -1 for a
// malformed byte (skipped).
long NextCodePoint(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || at + length > text.size()) {
    ++at;
    return -1;
  }
  long cp = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      ++at;
      return -1;
    }
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  at += length;
  return cp;
}

bool XmlAllows(long cp) {
  return cp == 9 || cp == 10 || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

class GpxWriter final : public XmlWriter {
 public:
  GpxWriter(GpxParser& file, Waypoints& owner) : XmlWriter(file.folder(), file.name()), file_(file), owner_(owner) {}

 protected:
  void Write() override {
    Raw("<gpx\n version=\"1.0\"\n creator=\"Rovana\"\n"
        " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
        " xmlns=\"http://www.topografix.com/GPX/1/0\"\n"
        " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 http://www.topografix.com/GPX/1/0/gpx.xsd\">\n");
    Time(file_.created().date, file_.created().time);
    const GeoBounds b = file_.bounds();
    if (!b.Empty())
      Format("<bounds minlat=\"%lf\" minlon=\"%lf\" maxlat=\"%lf\" maxlon=\"%lf\"/>\n", b.minLatitude * kDegreesPerRadian,
             b.minLongitude * kDegreesPerRadian, b.maxLatitude * kDegreesPerRadian, b.maxLongitude * kDegreesPerRadian);
    for (POIs* c : owner_.CollectionsOf(file_)) WriteCollection(*c);
    Raw("</gpx>\n");
  }

 private:
  void Time(std::int32_t date, std::int32_t time) { Raw("<time>" + FormatGpxTime(date, time) + "</time>\n"); }

  // " <key><![CDATA[text]]></key>\n": carriage returns and characters XML
  // forbids are left out, and "]]>" is split across two sections so that
  // any XML reader gets the text back.
  void Text(std::string_view key, std::string_view text) {
    std::string body;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t from = at;
      const long cp = NextCodePoint(text, at);
      if (cp < 0 || !XmlAllows(cp)) continue;
      const std::string_view piece = text.substr(from, at - from);
      if (piece == ">" && body.ends_with("]]")) body += "]]><![CDATA[";
      if (body.size() + piece.size() + 12 > kMaxTextUnits) {
        LogMessage("GPX file %s: %.*s cut to %zu bytes", path().c_str(), static_cast<int>(key.size()), key.data(),
                   body.size());
        break;
      }
      body += piece;
    }
    if (body.empty()) return;
    std::string line = " <";
    line.append(key).append("><![CDATA[").append(body).append("]]></").append(key).append(">\n");
    Raw(line);
  }

  void PointChildren(const GeoPoint& p) {
    RealElement("ele", p.altitude());
    Time(p.date(), p.time());
    Text("name", p.text(PointText::Name));
    Text("desc", p.text(PointText::Desc));
    Text("sym", p.text(PointText::Sym));
    Text("pic", p.text(PointText::Pic));
    EmptyElement("link", "href", p.text(PointText::Link));
    Text("phone", p.text(PointText::Phone));
    Text("wav", p.text(PointText::Wav));
  }

  void Start(const char* tag, const GeoPoint& p) {
    Format("<%s lat=\"%lf\" lon=\"%lf\">\n", tag, p.latitude() * kDegreesPerRadian, p.longitude() * kDegreesPerRadian);
  }

  void WriteCollection(POIs& c) {
    const std::vector<GeoPoint> points = c.Points();
    if (c.kind() == PoisKind::POIs) {
      Text("name", c.name());
      Text("desc", c.desc());
      for (const GeoPoint& p : points) {
        Start("wpt", p);
        PointChildren(p);
        Raw("</wpt>\n");
      }
      return;
    }
    const bool route = c.kind() == PoisKind::Route;
    Raw(route ? "<rte>\n" : "<trk>\n");
    Text("name", c.name());
    Text("desc", c.desc());
    IntElement("color", static_cast<std::int32_t>(c.color()));
    IntElement("width", c.width());
    if (!route) Raw("<trkseg>\n");
    for (const GeoPoint& p : points) {
      Start(route ? "rtept" : "trkpt", p);
      if (route) {
        PointChildren(p);
      } else {
        RealElement("ele", p.altitude());
        Time(p.date(), p.time());
      }
      Raw(route ? "</rtept>\n" : "</trkpt>\n");
    }
    Raw(route ? "</rte>\n" : "</trkseg>\n</trk>\n");
  }

  GpxParser& file_;
  Waypoints& owner_;
};

}  // namespace

bool GpxParser::Save(bool unicode) {
  // An unloaded file holds no points in memory: writing it as it is would
  // drop them from the disk, so it is read again first.
  if (loadState_ == LoadState::Unloaded && !owner_.EnsureLoaded(*this)) {
    LogMessage("Cannot read GPX file %s again before saving it; it stays as it is", path().c_str());
    return false;
  }
  // Cleared before writing: a point the GPS thread appends meanwhile marks
  // the file again, so it is not taken as saved.
  modified_ = false;
  GpxWriter writer(*this, owner_);
  if (!writer.Save(unicode)) {
    modified_ = true;
    LogMessage("Cannot save GPX file %s; it stays modified", path().c_str());
    return false;
  }
  return true;
}

}  // namespace rovana
