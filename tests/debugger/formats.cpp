#include "debugger/formats.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string bytes(const FixedIString& t) {
  std::string s;
  for (u32 i = 0; i < t.length(); ++i) s.push_back(char(t[i] & 0xFF));
  return s;
}

std::string cell(u32 value, FormatCode code) {
  FixedIString t;
  appendFormattedValue(t, value, code);
  return bytes(t);
}

TEST(Formats, EveryCodeWithSignRadixAndSizeEdges) {
  struct Case {
    FormatCode code;
    u32 value;
    const char* text;
  };
  const Case cases[] = {
      // unsigned hexadecimal, lower case, zero-padded to the size
      {0, 0x0A, "0a  "},
      {0, 0xFF, "ff  "},
      {1, 0xBEEF, "beef  "},
      {1, 0x7, "0007  "},
      {2, 0xDEADBEEF, "deadbeef  "},
      {2, 0, "00000000  "},
      // signed hexadecimal: sign, then the magnitude
      {4, 0x80, "-80  "},
      {4, 0xFF, "-01  "},
      {4, 0x7F, "+7f  "},
      {4, 0, "+00  "},
      {5, 0x8000, "-8000  "},
      {5, 0xFFFE, "-0002  "},
      {5, 0x7FFF, "+7fff  "},
      {6, 0x80000000, "-80000000  "},
      {6, 0xFFFFFFFF, "-00000001  "},
      {6, 0x12345678, "+12345678  "},
      // unsigned decimal, zero-padded to 3, 5 and 10 digits
      {8, 0, "000  "},
      {8, 255, "255  "},
      {9, 7, "00007  "},
      {9, 65535, "65535  "},
      {10, 0, "0000000000  "},
      {10, 0xFFFFFFFF, "4294967295  "},
      // signed decimal
      {12, 0xFF, "-001  "},
      {12, 0x80, "-128  "},
      {12, 0x7F, "+127  "},
      {13, 0x8000, "-32768  "},
      {13, 1, "+00001  "},
      {14, 0xFFFFFFFF, "-0000000001  "},
      {14, 0x80000000, "-2147483648  "},
      {14, 0x7FFFFFFF, "+2147483647  "},
      // binary
      {16, 5, "00000101  "},
      {17, 0x8001, "1000000000000001  "},
      {18, 0x80000001, "10000000000000000000000000000001  "},
      {20, 0x81, "-01111111  "},
      {20, 0x01, "+00000001  "},
      {21, 0xFFFF, "-0000000000000001  "},
      {22, 0x80000000, "-10000000000000000000000000000000  "},
      // text cells: one character, no separator
      {32, 0x0A, "."},
      {32, 0x1F, "."},
      {32, 0x20, " "},
      {32, 0x41, "A"},
      {33, 0x0141, "A"},
      {33, 0x0041, "A"},
      // float: "%lg" fitted to 8 characters, then the separator
      {34, 0x3F800000, "1         "},
      {34, 0xBFC00000, "-1.5      "},
      {34, 0x00000000, "0         "},
      {34, 0x4CEB79A3, "1.23457e  "},  // 1.23457e+08: the exponent is cut
      {34, 0x60D629DF, "1.23457e  "},  // 1.23457e+20
      {34, 0xC7F1207F, "-123457   "},  // -123456.99...
      {34, 0x7F800000, "inf       "},
      {34, 0x3DCCCCCD, "0.1       "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cell(c.value, c.code), c.text) << "code " << c.code << " value " << c.value;
}

TEST(Formats, CellWidthsMatchTheText) {
  for (const FormatChoice& choice : kMemoryFormatChoices) {
    const FormatCode code = choice.code;
    EXPECT_TRUE(isValidFormatCode(code));
    // Widest value of the size: all ones (negative for signed codes).
    const u32 bytesOfCell = formatCellBytes(code);
    const u32 value = code == 34 ? 0x3F800000 : bytesOfCell == 4 ? 0xFFFFFFFF : (1u << (8 * bytesOfCell)) - 1;
    EXPECT_EQ(cell(value, code).size(), formatCellWidth(code)) << code;
  }
  EXPECT_EQ(formatCellWidth(0), 4u);
  EXPECT_EQ(formatCellWidth(10), 12u);
  EXPECT_EQ(formatCellWidth(22), 35u);
  EXPECT_EQ(formatCellWidth(32), 1u);
  EXPECT_EQ(formatCellWidth(33), 1u);
  EXPECT_EQ(formatCellWidth(34), 10u);
}

TEST(Formats, CodesOutsideTheTwentyOneShowNothing) {
  for (FormatCode code : {3u, 7u, 11u, 24u, 27u, 31u, 35u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(isValidFormatCode(code));
    EXPECT_EQ(formatCellWidth(code), 0u);
    EXPECT_EQ(cell(0x12345678, code), "");
  }
}

// A value wider than the code's size does not widen the cell.
TEST(Formats, BitsAboveTheSizeAreIgnored) {
  EXPECT_EQ(cell(0x1234, 0), "34  ");
  EXPECT_EQ(cell(0xFFFF80, 4), "-80  ");
  EXPECT_EQ(cell(0x12345, 9), "09029  ");
}

// A wide character whose low byte is a drawing control shows as a point.
TEST(Formats, WideTextNeverEmitsAControlCode) {
  EXPECT_EQ(cell(0x010A, 33), ".");
  EXPECT_EQ(cell(0x0C00, 33), ".");
  EXPECT_EQ(cell(0x01C1, 33), "\xC1");
}

TEST(Formats, BinaryDigits) {
  char buffer[33];
  binaryDigits(buffer, 0xA5, 8);
  EXPECT_STREQ(buffer, "10100101");
  binaryDigits(buffer, 0xFFFF0001, 4);
  EXPECT_STREQ(buffer, "0001");
  binaryDigits(buffer, 0x80000000, 32);
  EXPECT_STREQ(buffer, "10000000000000000000000000000000");
  binaryDigits(buffer, 1, 0);
  EXPECT_STREQ(buffer, "");
}

TEST(Formats, ChoiceTables) {
  EXPECT_EQ(kMemoryFormatChoices[0].code, 0u);
  EXPECT_STREQ(kMemoryFormatChoices[10].english, "Signed Byte Decimal");
  EXPECT_EQ(kMemoryFormatChoices[10].code, 12u);
  EXPECT_EQ(kMemoryFormatChoices[20].code, 34u);
  const FormatCode registers[] = {2, 10, 18, 6, 14, 22, 34};
  for (u32 i = 0; i < kRegisterFormatChoiceCount; ++i)
    EXPECT_EQ(kRegisterFormatChoices[i].code, registers[i]);
  EXPECT_STREQ(kRegisterFormatChoices[6].english, "32-bit float");
}

}  // namespace
