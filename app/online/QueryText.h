// Query texts of web requests: values percent-encoded byte by byte from
// UTF-8, numbers written in the C locale whatever the user's locale.
//
// Encoding: ASCII letters and digits and the four characters . * _ - are
// copied; a space becomes "+"; every other byte, including each byte of a
// multi-byte character, becomes "%" and two upper-case hex digits. So "€" is
// "%E2%82%AC", "@" is "%40", and the characters that would end or split a
// query or a path (& = ? # / " < > and the per cent sign itself) never pass
// raw. Bytes that are not valid UTF-8 are encoded the same way, so nothing is
// lost and the result is always plain ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rovana {

std::string EncodeQueryValue(std::string_view utf8);

// "%lf": fixed notation with six decimals and "." as the decimal point
// (12.5 gives "12.500000", -0.0000004 gives "-0.000000"). A value that is no
// number or infinite is written as "0.000000": servers read every number they
// are sent, and no position, speed or course is infinite.
std::string QueryReal(double value);

// "%d" of a 64-bit value.
std::string QueryInt(std::int64_t value);

}  // namespace rovana
