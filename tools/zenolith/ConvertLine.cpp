#include "tools/zenolith/ConvertLine.h"

#include <charconv>
#include <cmath>

namespace zenolith::tools {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

CoordinateLine ParseCoordinateLine(std::string_view line, bool grid) {
  CoordinateLine result;
  const auto expected = [&] {
    return std::string("expected two or three numbers: ") + (grid ? "easting northing" : "latitude longitude") +
           " [altitude]";
  };
  int count = 0;
  const char* const end = line.data() + line.size();
  for (const char* at = line.data();;) {
    while (at < end && IsSpace(*at)) ++at;
    if (at == end) break;
    const char* stop = at;
    while (stop < end && !IsSpace(*stop)) ++stop;
    const std::string_view word(at, static_cast<std::size_t>(stop - at));
    at = stop;
    if (count == 3) {
      result.error = expected();
      return result;
    }
    // from_chars takes a '-' but no '+'; "+-1" must not read as -1.
    std::string_view digits = word;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
    double v = 0;
    const auto [last, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::general);
    if (last != digits.data() + digits.size() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
      result.error = expected();
      return result;
    }
    if (ec == std::errc::result_out_of_range) {
      result.error = "'" + std::string(word) + "' is out of range";
      return result;
    }
    if (!std::isfinite(v)) {
      result.error = "'" + std::string(word) + "' is not a finite number";
      return result;
    }
    result.values[count++] = v;
  }
  if (count < 2) {
    result.error = expected();
    return result;
  }
  result.count = count;
  return result;
}

}  // namespace zenolith::tools
