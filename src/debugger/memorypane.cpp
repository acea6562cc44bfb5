#include "debugger/memorypane.h"

#include <cstdio>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/formats.h"
#include "debugger/ioregs.h"
#include "general/text.h"
#include "platform/variant.h"

namespace {

constexpr u32 kVideoRam = 0x06000000;
constexpr u32 kPaletteStart = 0x05000000, kPaletteEnd = 0x05000400;
constexpr u16 kOrange = 5, kWhite = 8, kSecondColour = 12, kTextColour = 14;
// More cells than any screen is wide; keeps the count finite whatever the
// font reports.
constexpr u32 kMostCells = 256;

bool decodes(u32 address) { return !variant::kOlder && isDecodedIoRegister(address); }

// Cells of `cell` pixels after an address column of 11 font cells.
u32 cellsThatFit(u32 paneWidth, u32 fontWidth, u32 cell) {
  u32 n = 1;
  if (cell == 0) return n;
  const u64 head = 11ull * fontWidth;
  if (variant::kOlder) {
    while (n < kMostCells && head + u64(n + 1) * cell < paneWidth) ++n;
  } else {
    while (n < kMostCells && head + 2ull * n * cell < paneWidth) n *= 2;
  }
  return n;
}

}  // namespace

void MemoryPane::setRect(u32 left, u32 top, u32 width, u32 height) {
  TextPane::setRect(left, top, width, height);
  start = kVideoRam;
  refill();
}

void MemoryPane::goTo(u32 address) {
  start = address;
  refill();
}

// A fixed step of four bytes a cell: one line of word cells, several of
// narrower ones.
void MemoryPane::lineBack() {
  start -= 4 * cellsPerLine;
  refill();
}

void MemoryPane::lineForward() {
  start += 4 * cellsPerLine;
  refill();
}

void MemoryPane::pageBack() {
  // A page that showed nothing (a matrix that did not fit in a one-line
  // pane) would give a step of 0; go back a line instead.
  if (end == start)
    start -= 4 * cellsPerLine;
  else
    start = 2 * start - end;
  refill();
}

void MemoryPane::pageForward() {
  if (end == start)
    start += 4 * cellsPerLine;
  else
    start = end;
  refill();
}

void MemoryPane::refill() {
  const GbaMemory& memory = gEmulator.memory();
  const FormatCode code = memoryFormat();
  const u32 charWidth = fontWidth(gFontNumber);
  cellsPerLine = cellsThatFit(w, charWidth, formatCellWidth(code) * charWidth);
  const u32 cellBytes = formatCellBytes(code);
  // The older program's float cells are printed unfitted, up to 47 characters.
  const u32 cellChars = (variant::kOlder && code == kFormatFloat) ? 49 : formatCellWidth(code);
  const u32 displayMode = memory.peek16(0x04000000) & 7;

  auto appendCells = [&](FixedIString& line, u32& a) {
    for (u32 k = 0; k < cellsPerLine; ++k) {
      const bool palette = !variant::kOlder && a >= kPaletteStart && a < kPaletteEnd;
      // A line that cannot take the whole cell ends before it, so no byte is
      // passed without being shown.
      if (line.length() + (palette ? 4 : 0) + cellChars > FixedIString::kCapacity) break;
      if (palette) {
        const u16 colour = memory.peek16(a) & 0x7FFF;
        line.appendChar16(kSecondColour);
        line.appendChar16(colour);
        line.appendChar16(kTextColour);
        line.appendChar16(u16(~colour & 0x7FFF));
      }
      const u32 value = cellBytes == 1   ? memory.peek8(a)
                        : cellBytes == 2 ? memory.peek16(a)
                                         : memory.peek32(a);
      a += cellBytes;
      appendFormattedValue(line, value, code);
      if (decodes(a)) break;
    }
  };

  u32 a = start;
  const u32 count = lines.count();
  for (u32 i = 0; i < count; ++i) {
    FixedIString& line = lines[i];
    line.clear();
    const bool decoded = decodes(a);
    line.appendChar16(decoded ? kWhite : kOrange);
    char head[16];
    std::snprintf(head, sizeof head, variant::kOlder ? "%08lx:  " : "%08lx ", static_cast<unsigned long>(a));
    line.appendText(head);
    if (decoded) {
      FixedIString* next = i + 1 < count ? &lines[i + 1] : nullptr;
      const u32 after = appendIoRegister(line, next, memory, a, displayMode);
      if (after == a) break;    // a matrix on the last line: the next page starts with it
      if (after - a == 8) ++i;  // the matrix took the next line too
      a = after;
    } else {
      appendCells(line, a);
    }
  }
  end = a;
  markDirty();
}
