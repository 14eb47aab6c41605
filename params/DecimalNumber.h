#pragma once
// A command line's decimal number, as --mode, --set and --seconds take it.

#include <optional>
#include <string>

namespace tavolin {

// Digits with an optional sign, point and exponent, and nothing else (no
// hexadecimal, infinity or NaN, no spaces); nullopt for anything else.
std::optional<double> ParseDecimalNumber(const std::string& text);

}  // namespace tavolin
