// Untrusted text quoted in a message (a registry line, a ProgID, a script
// line, a file name): control bytes and bytes that are not well-formed UTF-8
// would reach a terminal or a log raw, so every message that quotes input
// goes through SafeText.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Length of the well-formed UTF-8 sequence at the start of `text`: 1 for an
// ASCII byte, 2 to 4 for a sequence, 0 when `text` is empty or starts with a
// byte that begins no well-formed sequence (a stray continuation byte, an
// overlong form, a surrogate, a code point above U+10FFFF, a cut sequence).
std::size_t Utf8SequenceLength(std::string_view text);

// `bytes` with every control character (U+0000 to U+001F, U+007F to U+009F)
// and every byte outside a well-formed UTF-8 sequence written as \xhh
// (lower-case hex), one escape per byte; everything else, backslashes
// included, is kept as it is.
std::string SafeText(std::string_view bytes);

}  // namespace platform
