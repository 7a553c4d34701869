// Text from the user (a script line, a file name, a coordinate) quoted in a
// message: control bytes and bytes that are not well-formed UTF-8 would reach
// the terminal raw, so every message that quotes input goes through here.
#pragma once

#include <string>
#include <string_view>

namespace zenolith::tools {

// `bytes` with every control character (U+0000 to U+001F, U+007F to U+009F)
// and every byte that is not part of a well-formed UTF-8 sequence written as
// \xHH (lower-case hex), one escape per byte; everything else, backslashes
// included, is kept as it is. Overlong forms, surrogates and code points
// above U+10FFFF are not well-formed.
std::string Printable(std::string_view bytes);

}  // namespace zenolith::tools
