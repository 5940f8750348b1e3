// The numbers of an XMP packet: what is one and what is not.

#include "xmp/xmp_number.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct NumberCase {
  const char* text;
  bool isNumber;
  double value;  // when it is one
};

// clang-format off
const NumberCase kNumbers[] = {
    {"+119.80",          true,  119.8},
    {"-40.90",           true,  -40.9},
    {"0",                true,  0},
    {"-0.5",             true,  -0.5},
    {".5",               true,  0.5},
    {"2.",               true,  2},
    {"1.5e-3",           true,  0.0015},
    {"-2E+2",            true,  -200},
    {"  \t+12.3\r\n",    true,  12.3},   // XML's blanks around
    {"274.931243896484375", true, 274.931243896484375},
    {"",                 false, 0},
    {"   ",              false, 0},
    {"+",                false, 0},
    {"-.",               false, 0},
    {".",                false, 0},
    {"++1",              false, 0},
    {"+-1",              false, 0},
    {"0x1A",             false, 0},
    {"0x1p3",            false, 0},
    {"inf",              false, 0},
    {"-infinity",        false, 0},
    {"nan",              false, 0},
    {"NaN",              false, 0},
    {"1,5",              false, 0},      // a decimal comma, whatever the locale
    {"12 m",             false, 0},
    {"1 2",              false, 0},
    {"1.2.3",            false, 0},
    {"1e",               false, 0},
    {"1e+",              false, 0},
    {"e5",               false, 0},
    {"1e999",            false, 0},      // no finite double
    {"1e-999",           false, 0},      // below the smallest
    {"\xc2\xa0" "1",     false, 0},      // a no-break space is no XML blank
};
// clang-format on

TEST(XmpNumber, ReadsDecimalsAndDoublesStrictly) {
  for (const NumberCase& c : kNumbers) {
    SCOPED_TRACE(c.text);
    double value = -7;
    ASSERT_EQ(parseXmpNumber(c.text, std::strlen(c.text), value), c.isNumber);
    if (c.isNumber) {
      EXPECT_DOUBLE_EQ(value, c.value);
    } else {
      EXPECT_EQ(value, -7) << "a text that is no number leaves the value alone";
    }
  }
}

// Only the given bytes count: a number followed by more bytes in memory.
TEST(XmpNumber, ReadsOnlyTheGivenLength) {
  double value = 0;
  ASSERT_TRUE(parseXmpNumber("12.5x", 4, value));
  EXPECT_EQ(value, 12.5);
  EXPECT_FALSE(parseXmpNumber("12.5x", 5, value));
  EXPECT_FALSE(parseXmpNumber(nullptr, 0, value));
}

}  // namespace
