#include "tools/zenolith/ConvertLine.h"

#include <charconv>
#include <cmath>

namespace zenolith::tools {

CoordinateLine ParseCoordinateLine(std::string_view line, bool grid) {
  CoordinateLine result;
  const std::string expected = std::string("expected two or three numbers: ") +
                               (grid ? "easting northing" : "latitude longitude") + " [altitude]";
  constexpr std::string_view kSpace = " \t\n\r\v\f";
  int count = 0;
  for (std::size_t at = line.find_first_not_of(kSpace); at != std::string_view::npos;
       at = line.find_first_not_of(kSpace, at)) {
    const std::size_t end = std::min(line.find_first_of(kSpace, at), line.size());
    const std::string_view word = line.substr(at, end - at);
    at = end;
    if (count == 3) {
      result.error = expected;
      return result;
    }
    // from_chars takes a '-' but no '+'; "+-1" must not read as -1.
    std::string_view digits = word;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
    double v = 0;
    const auto [stop, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, std::chars_format::general);
    if (stop != digits.data() + digits.size() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
      result.error = expected;
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
    result.error = expected;
    return result;
  }
  result.count = count;
  return result;
}

}  // namespace zenolith::tools
