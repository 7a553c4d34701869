// libFuzzer target: arbitrary bytes as an upstream reply of the server's
// relay, read by its JSON reader, and as an encoded polyline. Besides memory
// safety it checks that every string of a parsed tree is well-formed UTF-8,
// that the tree is no deeper than the reader's limit, and that a decoded
// polyline, written again at five decimals, reads back to the same points
// within the rounding of that precision.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "server/relay/Json.h"
#include "server/relay/Polyline.h"

namespace {

constexpr const char* kTarget = "relay_reader_fuzz";

void Walk(const rovana::server::JsonValue& value, int depth) {
  fuzz::Check(depth <= rovana::server::kMaxJsonDepth + 1, kTarget, "tree deeper than the limit");
  if (const auto text = value.Text()) fuzz::Check(fuzz::IsUtf8(*text), kTarget, "string is not UTF-8");
  for (const std::string& key : value.Keys()) fuzz::Check(fuzz::IsUtf8(key), kTarget, "key is not UTF-8");
  if (const auto number = value.Number()) fuzz::Check(!std::isnan(*number), kTarget, "number is NaN");
  for (const auto& item : value.Items()) Walk(item, depth + 1);
}

void CheckPolyline(std::string_view text, int precision) {
  const auto points = rovana::server::DecodePolyline(text, precision);
  if (!points) return;
  for (const auto& p : *points) {
    fuzz::Check(std::fabs(p.latitude) <= 90 && std::fabs(p.longitude) <= 180, kTarget, "point off the globe");
  }
  const auto again = rovana::server::DecodePolyline(rovana::server::EncodePolyline(*points), 5);
  fuzz::Check(again.has_value() && again->size() == points->size(), kTarget, "re-encoded polyline does not read");
  for (std::size_t i = 0; i < points->size(); ++i) {
    fuzz::Check(std::fabs((*again)[i].latitude - (*points)[i].latitude) <= 0.6e-5 &&
                    std::fabs((*again)[i].longitude - (*points)[i].longitude) <= 0.6e-5,
                kTarget, "re-encoded polyline moved a point");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto tree = rovana::server::ParseJson(text)) Walk(*tree, 0);
  CheckPolyline(text, 5);
  CheckPolyline(text, 6);
  return 0;
}
