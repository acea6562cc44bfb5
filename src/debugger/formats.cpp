#include "debugger/formats.h"

#include <cstdio>
#include <cstring>

#include "platform/variant.h"

constinit ConfigOption<i32> gMemoryFormat("Memory Format", 2);
constinit ConfigOption<i32> gRegisterFormat("Register Format", 2);

const FormatChoice kMemoryFormatChoices[kMemoryFormatChoiceCount] = {
    {0, "Unsigned Byte Hex"},     {8, "Unsigned Byte Decimal"},     {16, "Unsigned Byte Binary"},
    {1, "Unsigned Halfword Hex"}, {9, "Unsigned Halfword Decimal"}, {17, "Unsigned Halfword Binary"},
    {2, "Unsigned Word Hex"},     {10, "Unsigned Word Decimal"},    {18, "Unsigned Word Binary"},
    {4, "Signed Byte Hex"},       {12, "Signed Byte Decimal"},      {20, "Signed Byte Binary"},
    {5, "Signed Halfword Hex"},   {13, "Signed Halfword Decimal"},  {21, "Signed Halfword Binary"},
    {6, "Signed Word Hex"},       {14, "Signed Word Decimal"},      {22, "Signed Word Binary"},
    {32, "ASCII Text"},           {33, "Wide-character Text"},      {34, "32-bit float"},
};

const FormatChoice kRegisterFormatChoices[kRegisterFormatChoiceCount] = {
    {2, "Unsigned Word Hex"}, {10, "Unsigned Word Decimal"}, {18, "Unsigned Word Binary"},
    {6, "Signed Word Hex"},   {14, "Signed Word Decimal"},   {22, "Signed Word Binary"},
    {34, "32-bit float"},
};

namespace {

constexpr u32 kBits[3] = {8, 16, 32};

// The float cell: "%lg" fitted to exactly 8 characters; a long integer part
// ends in two points so it is not mistaken for a smaller number.
void formatFloat(char* text, std::size_t size, u32 bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  if (variant::kOlder) {
    std::snprintf(text, size, "%8f", double(f));
    return;
  }
  char raw[64];
  std::snprintf(raw, sizeof raw, "%lg", double(f));
  const std::size_t n = std::strlen(raw);
  bool point = false;
  for (std::size_t i = 0; i < 8 && i < n; ++i) point = point || raw[i] == '.';
  std::memset(text, ' ', 8);
  std::memcpy(text, raw, n < 8 ? n : 8);
  if (n > 8 && !point) text[6] = text[7] = '.';
  text[8] = 0;
}

}  // namespace

bool isValidFormatCode(FormatCode code) {
  if (code >= 32) return code <= 34;
  return (code & 3) != 3 && ((code >> 3) & 3) != 3;
}

u32 formatCellBytes(FormatCode code) {
  if (code == kFormatAscii) return 1;
  if (code == kFormatWide) return 2;
  if (code == kFormatFloat) return 4;
  return 1u << (code & 3);
}

u32 formatCellWidth(FormatCode code) {
  if (!isValidFormatCode(code)) return 0;
  if (code == kFormatAscii || code == kFormatWide) return 1;
  if (code == kFormatFloat) return 10;
  static constexpr u32 kWidths[3][3] = {{4, 6, 10}, {5, 7, 12}, {10, 18, 34}};
  return kWidths[(code >> 3) & 3][code & 3] + ((code >> 2) & 1);
}

void binaryDigits(char* buffer, u32 value, u32 n) {
  if (n > 32) n = 32;
  if (n == 0) value = 0;  // a shift by 32 would be undefined
  else if (n < 32) value <<= 32 - n;
  for (u32 i = 0; i < n; ++i) {
    buffer[i] = (value & 0x80000000u) ? '1' : '0';
    value <<= 1;
  }
  buffer[n] = 0;
}

void appendFormattedValue(FixedIString& line, u32 value, FormatCode code) {
  if (!isValidFormatCode(code)) return;
  if (code == kFormatAscii || code == kFormatWide) {
    // The low byte is what is drawn, so it is the low byte that must not be
    // a drawing control: a wide character 0x010A would otherwise recolour
    // the rest of the line.
    const u32 c = value & 0xFF;
    line.appendChar16(value < 32 || c < 32 ? u16('.') : u16(c));
    return;
  }
  char text[72];
  if (code == kFormatFloat) {
    formatFloat(text, sizeof text, value);
  } else {
    const u32 sizeIndex = code & 3;
    const u32 bits = kBits[sizeIndex];
    const u32 mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    value &= mask;
    const bool isSigned = (code & 4) != 0;
    const bool negative = isSigned && ((value >> (bits - 1)) & 1);
    // The most negative value keeps its own bits as magnitude.
    const u32 magnitude = negative ? (0u - value) & mask : value;
    char* p = text;
    if (isSigned) *p++ = negative ? '-' : '+';
    const std::size_t room = sizeof text - std::size_t(p - text);
    static constexpr int kHexDigits[3] = {2, 4, 8};
    static constexpr int kDecimalDigits[3] = {3, 5, 10};
    switch ((code >> 3) & 3) {
      case 0:
        std::snprintf(p, room, "%0*x", kHexDigits[sizeIndex], magnitude);
        break;
      case 1:
        std::snprintf(p, room, "%0*u", kDecimalDigits[sizeIndex], magnitude);
        break;
      default:
        binaryDigits(p, magnitude, bits);
        break;
    }
  }
  line.appendText(text);
  line.appendText("  ");
}

namespace {
FormatCode validOr2(i32 value) {
  const FormatCode code = u32(value);
  return isValidFormatCode(code) ? code : kDefaultFormat;
}
}  // namespace

FormatCode memoryFormat() { return validOr2(gMemoryFormat.value()); }
FormatCode registerFormat() { return validOr2(gRegisterFormat.value()); }
