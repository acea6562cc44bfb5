#pragma once
// The console's I/O registers as the memory pane shows them: one line a
// register (the background 2 and 3 matrices take two) with its name, its raw
// value and its fields decoded.

#include <span>

#include "general/istring.h"

class GbaMemory;

// The I/O registers' offsets: 0x04000000-0x040003FF (they do not repeat).
inline constexpr u32 kIoOffsetMask = 0x3FF;

// True for an address of a decoded register.
bool isDecodedIoRegister(u32 address);

// The names of bits firstBit, firstBit * 2, ... below endBit (names[0] for
// firstBit), each green when set in value and red when clear, separated by
// "; ".  A null name skips its bit, separator and all.
void appendFlagList(FixedIString& line, std::span<const IString* const> names, u32 value, u32 firstBit,
                    u32 endBit);

// Appends the decoding of the register at address to a line that already
// holds its colour and address, and returns the address after the register.
// The two matrices also fill next (the following line of the pane); when
// next is null they append nothing and address comes back unchanged.
// displayMode is bits 0-2 of the display control register.
u32 appendIoRegister(FixedIString& line, FixedIString* next, const GbaMemory& memory, u32 address,
                     u32 displayMode);
