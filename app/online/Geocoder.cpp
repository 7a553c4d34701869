#include "app/online/Geocoder.h"

#include <numbers>

#include "app/core/LanguageEntries.h"
#include "app/core/LanguageTable.h"
#include "app/core/Log.h"
#include "app/core/TextCodec.h"
#include "app/core/XmlReader.h"
#include "app/online/ReplyScanner.h"
#include "app/online/SearchXmlSource.h"

namespace rovana {
namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

class GeocodeReader final : public XmlReader {
 public:
  explicit GeocodeReader(ReplyStream& stream) : XmlReader(std::make_unique<ReplyXmlSource>(stream)) {}
  GeocodeFind find;

 protected:
  void Parse() override {
    while (NextToken()) {
      if (type() != XmlToken::StartTag || EmptyElement()) continue;
      if (IsTag(XmlToken::StartTag, "coordinates")) {
        // Only closed coordinates count: a reply cut inside them would
        // give a wrong place ("10.0,5" of "10.0,53.55").
        const std::string text = ReadText(true);
        if (NextToken() && IsTag(XmlToken::EndTag, "coordinates")) ReadCoordinates(text);
      } else if (IsTag(XmlToken::StartTag, "address")) {
        const std::string text = ReadText(true);
        if (!text.empty()) find.point.setText(PointText::Name, FixGeocodedAddress(text));
      }
    }
  }

 private:
  // "%lf,%lf,%lf": longitude, latitude, altitude; a field that does not
  // scan stays 0. Only a scanned longitude and latitude count as found.
  void ReadCoordinates(const std::string& text) {
    double values[3] = {0, 0, 0};
    std::size_t at = 0;
    int scanned = 0;
    for (int i = 0; i < 3; ++i) {
      const std::size_t comma = text.find(',', at);
      const std::optional<double> v = ScanReal(std::string_view(text).substr(at, comma == std::string::npos ? std::string::npos : comma - at));
      if (!v) break;
      values[i] = *v;
      ++scanned;
      if (comma == std::string::npos) break;
      at = comma + 1;
    }
    if (scanned < 2) return;
    find.point.setLongitude(values[0] * kRadiansPerDegree);
    find.point.setLatitude(values[1] * kRadiansPerDegree);
    find.point.setAltitude(values[2]);
    find.found = true;
  }
};

}  // namespace

std::string GeocoderAddress(std::string_view country, std::string_view city, std::string_view street) {
  std::string out;
  for (const std::string_view part : {street, city, country}) {
    if (part.empty()) continue;
    if (!out.empty()) out += ", ";
    out += part;
  }
  return out;
}

std::string FixGeocodedAddress(std::string_view utf8) {
  std::u16string units = Utf8ToUtf16(utf8);
  for (char16_t& u : units)
    if (u >= 0xFF80) u = static_cast<char16_t>(u + 0x100);  // 16-bit wrap: U+FF80 -> U+0080
  std::u16string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == u',' && i + 1 < units.size() && units[i + 1] == u' ') {
      out += u'\n';
      ++i;
    } else {
      out += units[i];
    }
  }
  return Utf16ToUtf8(out);
}

GeocodeFind ReadGeocodeReply(ReplyStream& reply) {
  GeocodeReader reader(reply);
  reader.Read();
  return reader.find;
}

GeocodeResult Geocode(std::string_view address, const std::function<std::optional<std::string>(const ServiceAction&)>& service,
                      const LanguageTable& language, const std::function<bool()>& online) {
  GeocodeResult result;
  const std::optional<std::string> body = service ? service(GeocodeQuery(address)) : std::nullopt;
  if (!body) {
    const bool isOnline = online && online();
    result.text = language.Entry(isOnline ? lang::kNetRequestFailed : lang::kNetOffline);
    LogMessage("Geocoder: no reply");
    return result;
  }
  TextReplyStream stream(*body);
  stream.Open();
  const GeocodeFind find = ReadGeocodeReply(stream);
  if (!find.found) {
    result.text = language.Entry(lang::kGeocoderNotFound);
    return result;
  }
  result.success = true;
  result.point = find.point;
  result.text = result.point.DisplayName();
  return result;
}

}  // namespace rovana
