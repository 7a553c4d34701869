// The input lines of zenolith convert: two or three numbers separated by
// white space, read in the C locale whatever the environment says.
#pragma once

#include <string>
#include <string_view>

namespace zenolith::tools {

struct CoordinateLine {
  int count = 0;  // 2 or 3 when the line reads, else 0
  double values[3] = {};
  // Empty when the line reads; else why not, raw (it may quote the line: show
  // it through Printable).
  std::string error;
};

// Words are separated by blanks, tabs, line feeds, carriage returns,
// vertical tabs and form feeds. Each word is a decimal number as from_chars
// reads it, with at most one leading sign ("+" or "-"). A line is refused
// when it holds fewer than two or more than three words or a word that is no
// number, and when a number is not finite ("nan", "inf") or does not fit a
// double ("1e999"). `grid` names the values in the message: easting
// northing, else latitude longitude.
CoordinateLine ParseCoordinateLine(std::string_view line, bool grid);

}  // namespace zenolith::tools
