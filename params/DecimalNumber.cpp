#include "params/DecimalNumber.h"

#include <charconv>
#include <cmath>

namespace tavolin {

std::optional<double> ParseDecimalNumber(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  if (begin != text.data() && *begin == '-') return std::nullopt;
  double value = 0.0;
  const auto [stop, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace tavolin
