// Reading a GPX file into collections (GPX 1.0 and 1.1).
#include "app/waypoints/GpxParser.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "app/core/Log.h"
#include "app/waypoints/Waypoints.h"

namespace rovana {

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;

GpxTime Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {(local.tm_year + 1900) * 416 + (local.tm_mon + 1) * 32 + local.tm_mday,
          local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec};
}

}  // namespace

GpxTime ParseGpxTime(std::string_view text) {
  // Six numbers in order; anything else (separators, fractions, zones) only
  // separates them. Fields that are missing stay 0.
  int field[6] = {0, 0, 0, 0, 0, 0};
  std::size_t at = 0;
  for (int n = 0; n < 6; ++n) {
    while (at < text.size() && !std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (n >= 3 && (text[at] == '+' || text[at] == 'Z' || text[at] == 'z')) { n = 6; break; }
      ++at;
    }
    if (n >= 6 || at >= text.size()) break;
    long value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && value < 100000)
      value = value * 10 + (text[at++] - '0');
    field[n] = static_cast<int>(value);
    if (n == 5) break;
    // A fraction of a second would otherwise be read as the next field.
  }
  GpxTime t;
  if (field[1] > 12 || field[2] > 31) return t;
  t.date = field[0] * 416 + field[1] * 32 + field[2];
  if (field[3] < 24 && field[4] < 60 && field[5] < 61) t.time = field[3] * 3600 + field[4] * 60 + std::min(field[5], 59);
  return t;
}

std::string FormatGpxTime(std::int32_t date, std::int32_t time) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", date / 416, (date % 416) / 32, date % 32,
                time / 3600, (time / 60) % 60, time % 60);
  return text;
}

GpxParser::GpxParser(Waypoints& owner, std::filesystem::path folder, std::string name, bool secondary,
                     LoadState state)
    : XmlReader(std::move(folder), std::move(name)), owner_(owner), secondary_(secondary), loadState_(state),
      created_(Now()) {}

void GpxParser::MarkModified() {
  if (!reading_) modified_ = true;
}

bool GpxParser::Load() {
  reading_ = true;
  const bool read = Read();
  reading_ = false;
  loadState_ = LoadState::Loaded;
  modified_ = false;
  if (!problem().empty()) LogMessage("GPX file %s: %s", path().c_str(), problem().c_str());
  return read;
}

bool GpxParser::SaveIfModified(bool unicode) { return !modified_ || Save(unicode); }

void GpxParser::Parse() {
  while (NextToken())
    if (IsTag(XmlToken::StartTag, "gpx") && !EmptyElement()) {
      ReadGpx();
      owner_.RecomputeBounds(*this);
    }
}

void GpxParser::SkipElement() {
  if (type() != XmlToken::StartTag || EmptyElement()) return;
  int depth = 1;
  while (depth > 0 && NextToken()) {
    if (type() == XmlToken::StartTag && !EmptyElement()) ++depth;
    if (type() == XmlToken::EndTag) --depth;
  }
}

std::string GpxParser::ElementText(std::string_view tag) {
  std::string text;
  if (EmptyElement()) return text;
  while (NextToken()) {
    if (type() == XmlToken::EndTag) break;
    if (type() == XmlToken::StartTag) { SkipElement(); continue; }
    if (type() == XmlToken::Declaration && !RawToken().starts_with(u"<![CDATA[")) continue;
    if (text.empty())
      text = Text(true);
    else
      text += Text(true);
  }
  (void)tag;
  return text;
}

POIs* GpxParser::CollectionForReading(PoisKind kind) {
  if (loadState_ == LoadState::Reading) return &owner_.AddCollection(*this, kind);
  return owner_.Find(*this, NextNumber());
}

void GpxParser::ReadGpx() {
  const bool first = loadState_ == LoadState::Reading;
  POIs* pois = owner_.Find(*this, 0);
  if (!pois) {
    LogMessage("No POIs object.");
    return;
  }
  pois->Clear();
  while (NextToken()) {
    if (IsTag(XmlToken::EndTag, "gpx")) return;
    if (type() != XmlToken::StartTag) continue;
    const std::string tag = Name();
    if (tag == "wpt") {
      if (auto p = ReadPoint("wpt", false)) pois->AddPoint(std::move(*p), -1, first);
    } else if (tag == "rte") {
      ReadRoute();
    } else if (tag == "trk") {
      ReadTrack();
    } else if (tag == "extensions" || tag == "author" || tag == "copyright" || tag == "link") {
      SkipElement();
    } else if (first && tag == "name") {
      pois->SetName(ElementText(tag));
    } else if (first && tag == "desc") {
      pois->SetDesc(ElementText(tag));
    } else if (first && tag == "time") {
      created_ = ParseGpxTime(ElementText(tag));
    } else if (first && tag == "bounds") {
      GeoBounds b = bounds_;
      if (auto v = Attribute("minlat")) if (auto d = ScanReal(*v)) b.minLatitude = *d * kRadiansPerDegree;
      if (auto v = Attribute("maxlat")) if (auto d = ScanReal(*v)) b.maxLatitude = *d * kRadiansPerDegree;
      if (auto v = Attribute("minlon")) if (auto d = ScanReal(*v)) b.minLongitude = *d * kRadiansPerDegree;
      if (auto v = Attribute("maxlon")) if (auto d = ScanReal(*v)) b.maxLongitude = *d * kRadiansPerDegree;
      bounds_ = b;
    }
  }
}

void GpxParser::ReadRoute() {
  const bool first = loadState_ == LoadState::Reading;
  POIs* route = CollectionForReading(PoisKind::Route);
  if (!route) {
    LogMessage("Not enough memory to load Gpx file.");
    SkipElement();
    return;
  }
  route->Clear();
  if (EmptyElement()) return;
  while (NextToken()) {
    if (IsTag(XmlToken::EndTag, "rte")) {
      route->AddPoint(std::nullopt, -1, first);
      return;
    }
    if (type() != XmlToken::StartTag) continue;
    const std::string tag = Name();
    if (tag == "rtept") {
      if (auto p = ReadPoint("rtept", false)) route->AddPoint(std::move(*p), -1, first);
    } else if (first && tag == "name") {
      route->SetName(ElementText(tag));
    } else if (first && tag == "desc") {
      route->SetDesc(ElementText(tag));
    } else if (first && tag == "color") {
      if (auto v = ScanInt(ElementText(tag))) route->SetColor(static_cast<std::uint32_t>(*v));
    } else if (first && tag == "width") {
      if (auto v = ScanInt(ElementText(tag))) route->SetWidth(*v);
    } else if (first && tag == "number") {
      if (auto v = ScanInt(ElementText(tag))) route->SetName(route->name() + " - " + std::to_string(*v));
    } else {
      SkipElement();
    }
  }
}

void GpxParser::ReadTrack() {
  const bool first = loadState_ == LoadState::Reading;
  POIs* track = CollectionForReading(PoisKind::Track);
  if (!track) {
    LogMessage("Not enough memory to load Gpx file.");
    SkipElement();
    return;
  }
  track->Clear();
  if (EmptyElement()) return;
  while (NextToken()) {
    if (IsTag(XmlToken::EndTag, "trk")) {
      track->AddPoint(std::nullopt, -1, first);
      return;
    }
    if (type() != XmlToken::StartTag) continue;
    const std::string tag = Name();
    if (tag == "trkseg") {
      ReadTrackSegment(*track);
    } else if (first && tag == "name") {
      track->SetName(ElementText(tag));
    } else if (first && tag == "desc") {
      track->SetDesc(ElementText(tag));
    } else if (first && tag == "color") {
      if (auto v = ScanInt(ElementText(tag))) track->SetColor(static_cast<std::uint32_t>(*v));
    } else if (first && tag == "width") {
      if (auto v = ScanInt(ElementText(tag))) track->SetWidth(*v);
    } else {
      SkipElement();
    }
  }
}

void GpxParser::ReadTrackSegment(POIs& track) {
  const bool first = loadState_ == LoadState::Reading;
  if (EmptyElement()) return;
  while (NextToken()) {
    if (IsTag(XmlToken::EndTag, "trkseg")) return;
    if (type() != XmlToken::StartTag) continue;
    if (IsTag(XmlToken::StartTag, "trkpt")) {
      if (auto p = ReadPoint("trkpt", true)) track.AddPoint(std::move(*p), -1, first);
    } else {
      SkipElement();
    }
  }
}

std::optional<GeoPoint> GpxParser::ReadPoint(std::string_view tag, bool trackPoint) {
  GeoPoint p;
  if (auto v = Attribute("lat")) if (auto d = ScanReal(*v)) p.setLatitude(*d * kRadiansPerDegree);
  if (auto v = Attribute("lon")) if (auto d = ScanReal(*v)) p.setLongitude(*d * kRadiansPerDegree);
  if (EmptyElement()) return p;
  struct TextRow {
    const char* tag;
    PointText text;
  };
  static constexpr TextRow kTexts[] = {{"name", PointText::Name}, {"desc", PointText::Desc}, {"sym", PointText::Sym},
                                       {"pic", PointText::Pic},   {"phone", PointText::Phone}, {"url", PointText::Link}};
  // Children are told by their names compared in place: most points are
  // track points with an elevation and a time only.
  const auto is = [this](const char* name) { return IsTag(XmlToken::StartTag, name); };
  while (NextToken()) {
    if (IsTag(XmlToken::EndTag, tag)) break;
    if (type() != XmlToken::StartTag) continue;
    if (is("ele")) {
      if (auto d = ScanReal(ElementText("ele"))) p.setAltitude(*d);
    } else if (is("time")) {
      const GpxTime t = ParseGpxTime(ElementText("time"));
      p.setDate(t.date);
      p.setTime(t.time);
    } else if (trackPoint) {
      SkipElement();
    } else if (is("link")) {
      std::optional<std::string> href = Attribute("href");
      if (!href && AttributeCount() > 0) href = AttributeValue(0);
      if (href) p.setText(PointText::Link, *href);
      SkipElement();
    } else if (is("wav")) {
      // Only a bare file name: the note lies in the file's attachment folder.
      const std::string wav = ElementText("wav");
      if (wav.find('/') == std::string::npos && wav.find('\\') == std::string::npos && wav != "." && wav != "..")
        p.setText(PointText::Wav, wav);
      else
        LogMessage("GPX file %s: audio note name %s ignored", path().c_str(), wav.c_str());
    } else {
      bool known = false;
      for (const TextRow& row : kTexts)
        if (is(row.tag)) {
          p.setText(row.text, ElementText(row.tag));
          known = true;
          break;
        }
      if (!known) SkipElement();
    }
  }
  return p;
}

}  // namespace rovana
