// libFuzzer target: arbitrary bytes as a reply of the web service's relay
// actions, read by Rovana's readers of them. The first byte chooses the
// reader: the encoded polyline, the route reply, the directions page and its
// headline, the geocoder reply, or one of the six search providers' scanners
// (fed in one piece). Besides memory safety it checks that every point is
// finite and on the globe, route times stay within the day, the headline
// within its 2048 bytes, the page free of forms and links, and that texts
// taken from well-formed UTF-8 stay well-formed and within their field size.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/online/Directions.h"
#include "app/online/Geocoder.h"
#include "app/online/Polyline.h"
#include "app/online/ReplyScanner.h"
#include "app/online/RouteReply.h"
#include "app/online/SearchProviders.h"
#include "fuzz/FuzzCheck.h"

namespace {

constexpr const char* kTarget = "online_reply_fuzz";
constexpr double kPi = 3.14159265358979323846;

void CheckPoint(const rovana::GeoPoint& p, bool utf8In) {
  fuzz::Check(std::isfinite(p.latitude()) && std::isfinite(p.longitude()), kTarget, "point not finite");
  fuzz::Check(std::fabs(p.latitude()) <= kPi / 2 + 1e-9 && std::fabs(p.longitude()) <= kPi + 1e-9, kTarget,
              "point off the globe");
  fuzz::Check(p.time() >= 0 && p.time() < 86400, kTarget, "time outside the day");
  for (int t = 0; t <= static_cast<int>(rovana::PointText::Wav); ++t) {
    const std::string& text = p.text(static_cast<rovana::PointText>(t));
    if (utf8In) fuzz::Check(fuzz::IsUtf8(text), kTarget, "point text is not UTF-8");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] % 11;
  const std::string reply(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool utf8 = fuzz::IsUtf8(reply);
  switch (mode) {
    case 0: {
      if (const auto line = rovana::DecodePolyline(reply)) {
        for (const auto& p : *line)
          fuzz::Check(std::isfinite(p.latitude) && std::isfinite(p.longitude), kTarget, "polyline point not finite");
      }
      break;
    }
    case 1: {
      // An empty line reads as no points, which the caller takes for no route.
      if (const auto points = rovana::RouteOfReply(reply, 836809)) {
        for (const auto& p : *points) CheckPoint(p, true);
      }
      break;
    }
    case 2: {
      const std::string page = rovana::DirectionsPageOf(reply);
      fuzz::Check(page.find("<form") == std::string::npos && page.find("href=") == std::string::npos, kTarget,
                  "the page keeps a form or a link");
      fuzz::Check(rovana::HeadlineOf(page).size() <= 2048, kTarget, "headline over 2048 bytes");
      break;
    }
    case 3: {
      rovana::TextReplyStream stream(reply);
      stream.Open();
      const rovana::GeocodeFind find = rovana::ReadGeocodeReply(stream);
      if (find.found) CheckPoint(find.point, utf8);
      if (utf8) fuzz::Check(fuzz::IsUtf8(rovana::FixGeocodedAddress(reply)), kTarget, "fixed address not UTF-8");
      break;
    }
    default: {
      const auto provider = static_cast<rovana::SearchProvider>(mode - 4);
      if (static_cast<int>(provider) >= rovana::kSearchProviders) break;
      rovana::TextReplyStream stream(reply);
      stream.Open();
      rovana::SearchContext context{"Default"};
      rovana::ScanProviderReply(provider, stream, context, {}, {});
      for (const auto& p : context.points) {
        CheckPoint(p, utf8);
        fuzz::Check(p.name().size() <= rovana::kSearchFieldBytes, kTarget, "name over its field size");
      }
      break;
    }
  }
  return 0;
}
