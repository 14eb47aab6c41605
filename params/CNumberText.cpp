#include "params/CNumberText.h"

#include <charconv>
#include <cmath>

namespace tavolin {

namespace {

// White space as the C locale's isspace sees it.
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool StartsWithHexPrefix(std::string_view s) { return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'); }

// A prefix whose value is out of the double range: read again in the wider
// long double, which rounds it to an infinity, 0 or a denormal as strtod does.
double OutOfRange(std::string_view s, std::chars_format format) {
  long double wide = 0.0L;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), wide, format);
  if (error == std::errc{}) return static_cast<double>(wide);
  // Beyond even long double: the exponent's sign tells overflow from underflow.
  const std::string_view number(s.data(), static_cast<size_t>(end - s.data()));
  const size_t e = number.find_first_of(format == std::chars_format::hex ? "pP" : "eE");
  const bool tiny = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
  return tiny ? 0.0 : HUGE_VAL;
}

double UnsignedPrefix(std::string_view s) {
  // from_chars reads the hexadecimal digits without their "0x".
  const bool hex = StartsWithHexPrefix(s);
  const std::chars_format format = hex ? std::chars_format::hex : std::chars_format::general;
  const std::string_view digits = hex ? s.substr(2) : s;
  // from_chars takes a sign of its own; here one was already read.
  if (!digits.empty() && digits[0] == '-') return 0.0;
  double value = 0.0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, format);
  if (error == std::errc::result_out_of_range) return OutOfRange(digits, format);
  if (error != std::errc{}) return 0.0;  // "0x" with no hex digit reads as the 0
  return value;
}

}  // namespace

std::string FormatFixed6(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  std::string text(32, '\0');
  for (;;) {
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 6);
    if (error == std::errc{}) {
      text.resize(static_cast<size_t>(end - text.data()));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

std::string FormatUnsigned(uint32_t value) { return std::to_string(value); }

double ParseDecimalPrefix(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const double magnitude = UnsignedPrefix(text.substr(i));
  return negative ? -magnitude : magnitude;
}

uint32_t ParseUnsignedWhole(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) return 0;
  }
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return digits == 0 || i < text.size() ? 0 : static_cast<uint32_t>(value);
}

}  // namespace tavolin
