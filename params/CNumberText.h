#pragma once
// Numbers in the C library's text forms, whatever the locale: "." is the
// decimal point and no digits are grouped. Qt-free.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavolin {

// printf's "%f": six decimals, as long as the value needs ("%f" of 1e300
// has 301 digits before the point); "inf", "nan" with their sign.
std::string FormatFixed6(double value);

// printf's "%u".
std::string FormatUnsigned(uint32_t value);

// strtod's reading: leading white space, an optional sign, then the longest
// prefix that is a decimal or hexadecimal number, an infinity or a NaN;
// the rest is ignored. No valid prefix gives 0.0; a value too large gives
// an infinity, one too small 0 or a denormal.
double ParseDecimalPrefix(std::string_view text);

// An unsigned whole number: an optional "+", then decimal digits, with white
// space around them. Any other text ("12ab", "-3", "") or a value beyond 32
// bits gives 0.
uint32_t ParseUnsignedWhole(std::string_view text);

}  // namespace tavolin
