// The C library's number texts without the C library's locale: "%f" of any
// size, "%u", and strtod's longest valid prefix.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "params/CNumberText.h"

namespace tavolin {
namespace {

TEST(CNumberText, FixedSixDecimalsAsPrintfInTheCLocale) {
  const double values[] = {0.0,
                           -0.0,
                           static_cast<double>(0.98f),
                           2.0 - 0.97,
                           1.0 / 3.0,
                           -2.5e-7,
                           5e-7,
                           123456789.125,
                           1e300,
                           -std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (double v : values) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", v);
    EXPECT_EQ(FormatFixed6(v), expected) << v;
  }
  EXPECT_EQ(FormatFixed6(std::nan("")), "nan");
  EXPECT_EQ(FormatUnsigned(4294967295u), "4294967295");
}

TEST(CNumberText, DecimalPrefixAsStrtod) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0.97x", 0.97},    {"", 0.0},       {"abc", 0.0},      {" \t-1.5e2z", -150.0}, {"+.5", 0.5},
      {".", 0.0},         {"1e", 1.0},     {"1e+", 1.0},      {"0,5", 0.0},           {"1,5", 1.0},
      {"--1", 0.0},       {"-", 0.0},      {"+-1", 0.0},      {"0x1p4", 16.0},        {"-0x.8", -0.5},
      {"0x", 0.0},        {"0xg", 0.0},    {"inf", inf},      {"-Infinity", -inf},    {"1e400", inf},
      {"-1e99999", -inf}, {"1e-400", 0.0}, {"1e-99999", 0.0}, {"0.98", 0.98},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDecimalPrefix(c.text), c.value) << '"' << c.text << '"';
  EXPECT_TRUE(std::isnan(ParseDecimalPrefix("nan(1)")));
  EXPECT_EQ(ParseDecimalPrefix("4.9e-324"), 4.9406564584124654e-324);  // a denormal, not 0
}

TEST(CNumberText, UnsignedWholeNumberOrZero) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"14", 14},        {"  7 \t", 7},
      {"+5", 5},         {"12ab", 0},
      {"1 2", 0},        {"+", 0},
      {"-3", 0},         {"abc", 0},
      {"", 0},           {"4294967295", 4294967295u},
      {"4294967296", 0}, {"99999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseUnsignedWhole(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace tavolin
