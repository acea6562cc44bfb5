#pragma once
// How the debugger shows a memory or register value: the format code, the
// width of one shown value (a cell) and the cell's text.
//
// A code below 32 is built from bits: 0-1 size (byte, halfword, word),
// 2 signed, 3-4 radix (hexadecimal, decimal, binary).  32 is ASCII text (a
// byte a cell), 33 wide-character text (a halfword a cell), 34 a 32-bit float.

#include "general/config.h"
#include "general/istring.h"

using FormatCode = u32;

inline constexpr FormatCode kFormatAscii = 32;
inline constexpr FormatCode kFormatWide = 33;
inline constexpr FormatCode kFormatFloat = 34;
inline constexpr FormatCode kDefaultFormat = 2;  // unsigned word hexadecimal

// One of the 21 codes the Options tab offers.
bool isValidFormatCode(FormatCode code);
// The bytes one cell shows: 1, 2 or 4.
u32 formatCellBytes(FormatCode code);

// Characters of one cell, its trailing separator included; 0 for a code that
// is not one of the 21.
u32 formatCellWidth(FormatCode code);

// Appends one cell.  The value has been read at the code's size; bits above
// that size are ignored.  Every cell but the two text formats ends in two
// blanks.  A code that is not one of the 21 appends nothing.
void appendFormattedValue(FixedIString& line, u32 value, FormatCode code);

// The low n bits (n at most 32) as '0'/'1', most significant first, then a
// terminating zero: buffer holds n + 1 bytes.
void binaryDigits(char* buffer, u32 value, u32 n);

// The Options tab's choices: index i of a choice item shows text and sets code.
struct FormatChoice {
  FormatCode code;
  const char* english;
};
inline constexpr u32 kMemoryFormatChoiceCount = 21;
inline constexpr u32 kRegisterFormatChoiceCount = 7;
extern const FormatChoice kMemoryFormatChoices[kMemoryFormatChoiceCount];
extern const FormatChoice kRegisterFormatChoices[kRegisterFormatChoiceCount];

// "Memory Format" (memory pane and memory dump) and "Register Format"
// (registers pane), both unsigned word hexadecimal by default.
extern ConfigOption<i32> gMemoryFormat;
extern ConfigOption<i32> gRegisterFormat;

// The option's code; one that is not among the 21 (a hand-edited settings
// file) reads as the default, so no caller works with a cell of width 0.
FormatCode memoryFormat();
FormatCode registerFormat();
