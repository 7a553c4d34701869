// libFuzzer target: the input lines of zenolith convert.
//
// Checks against a reading written here: a line reads exactly when it holds
// two or three words that are each a decimal number (one optional sign,
// digits with an optional point, an optional exponent) whose value strtod
// gives as finite without a range error; the values are strtod's to the
// last bit; a refused line has a message and no values. Numbers at the
// edge of the range (strtod reports ERANGE) may go either way.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "tools/zenolith/ConvertLine.h"

namespace {

void Check(bool ok, const char* what) { fuzz::Check(ok, "convert_line_fuzz", what); }

bool Digit(char c) { return c >= '0' && c <= '9'; }

// [+-]? (D+ (. D*)? | . D+) ([eE] [+-]? D+)?
bool NumberShaped(const std::string& w) {
  std::size_t i = 0;
  if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < w.size() && Digit(w[i])) ++i, ++digits;
  if (i < w.size() && w[i] == '.') {
    ++i;
    while (i < w.size() && Digit(w[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
    ++i;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
    std::size_t exponent = 0;
    while (i < w.size() && Digit(w[i])) ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == w.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const bool grid = size % 2 == 1;
  const zenolith::tools::CoordinateLine result = zenolith::tools::ParseCoordinateLine(line, grid);

  std::vector<std::string> words;
  constexpr const char* kSpace = " \t\n\r\v\f";
  for (std::size_t at = line.find_first_not_of(kSpace); at != std::string::npos;
       at = line.find_first_not_of(kSpace, at)) {
    const std::size_t end = std::min(line.find_first_of(kSpace, at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  bool shaped = words.size() == 2 || words.size() == 3;
  bool edge = false;
  std::vector<double> values;
  for (const std::string& w : words) {
    if (!shaped) break;
    // strtod stops at a NUL; NumberShaped has refused any word holding one.
    shaped = NumberShaped(w);
    if (!shaped) break;
    errno = 0;
    const double v = std::strtod(w.c_str(), nullptr);
    edge = edge || errno == ERANGE;
    shaped = std::isfinite(v) || errno == ERANGE;
    values.push_back(v);
  }

  if (result.error.empty()) {
    Check(result.count == 2 || result.count == 3, "a line that reads has two or three values");
    Check(shaped, "only number words read");
    Check(result.count == static_cast<int>(words.size()), "one value per word");
    for (int i = 0; i < result.count; ++i) {
      Check(std::isfinite(result.values[i]), "values are finite");
      Check(result.values[i] == values[i] && std::signbit(result.values[i]) == std::signbit(values[i]),
            "values are strtod's");
    }
  } else {
    Check(result.count == 0, "a refused line has no values");
    Check(!shaped || edge, "number words that fit read");
  }
  return 0;
}
