#include "debugger/formats.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string cell(u32 value, FormatCode code) {
  FixedIString t;
  appendFormattedValue(t, value, code);
  std::string s;
  for (u32 i = 0; i < t.length(); ++i) s.push_back(char(t[i] & 0xFF));
  return s;
}

// The older program prints floats with "%8f" and does not fit them.
TEST(OlderFormats, FloatIsPrintedUnfitted) {
  EXPECT_EQ(cell(0x3F800000, 34), "1.000000  ");
  EXPECT_EQ(cell(0x4CEB79A3, 34), "123456792.000000  ");
  EXPECT_EQ(cell(0xFF, 4), "-01  ");
}

}  // namespace
