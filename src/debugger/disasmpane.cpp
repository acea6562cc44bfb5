#include "debugger/disasmpane.h"

#include <cstdio>

#include "core/emulator.h"
#include "debugger/armdis.h"
#include "general/text.h"
#include "general/widgetgfx.h"
#include "platform/variant.h"

namespace {

// Colour controls of the listing.
constexpr u16 kRed = 2, kGreen = 3, kBlue = 4, kYellow = 6, kMagenta = 7, kWhite = 8;

u32 instructionSize() { return gEmulator.cpu().instructionSize(); }

#ifndef VANDREL_OLDER_VARIANT
constinit ConfigOption<i32> gCursorDisplay("Cursor display option", 0);
#endif

}  // namespace

#ifndef VANDREL_OLDER_VARIANT
ConfigOption<i32>& cursorDisplayOption() { return gCursorDisplay; }
#endif

u32 DisassemblyPane::linesBefore() const {
#ifdef VANDREL_OLDER_VARIANT
  return 0;
#else
  switch (gCursorDisplay.value()) {
    case 1:
      return 10;
    case 2:
      return lines.count() / 2;
    default:
      return 0;
  }
#endif
}

u32 DisassemblyPane::rowAddress(u32 row) const { return cursor + (row - linesBefore()) * instructionSize(); }

void DisassemblyPane::setRect(u32 left, u32 top, u32 width, u32 height) {
  TextPane::setRect(left, top, width, height);
  cursor = gEmulator.cpu().pc();
  end = cursor + lines.count() * 4;
}

void DisassemblyPane::draw() {
  setTabStop(0, u16(widgetgfx::fontWidth() * (2 * instructionSize() + 25)));
  TextPane::draw();
}

void DisassemblyPane::refresh() {
  ArmCpu& cpu = gEmulator.cpu();
  const GbaMemory& memory = gEmulator.memory();
  const BreakpointTable& breakpoints = gEmulator.breakpoints();
  const u32 size = instructionSize();
  u32 a = rowAddress(0);
  for (u32 i = 0; i < lines.count(); ++i, a += size) {
    FixedIString& line = lines.at(i);
    line.clear();
    bool plain = true;
    if (variant::kOlder) {
      line.appendChar16(kWhite);
    } else {
      const bool breakpoint = breakpoints.find(a, kBreakExecute) != 0;
      const u16 colour = a == cursor ? (breakpoint ? kMagenta : kYellow) : (breakpoint ? kBlue : kWhite);
      line.appendChar16(colour);
      plain = colour == kWhite;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%08x:  ", a);
    line.appendText(text);
    if (plain) line.appendChar16(size == 2 ? kGreen : kRed);
    if (size == 2)
      std::snprintf(text, sizeof text, "%04lx  ", static_cast<unsigned long>(memory.peek16(a)));
    else
      std::snprintf(text, sizeof text, "%08lx  ", static_cast<unsigned long>(memory.peek32(a)));
    line.appendText(text);
    InstructionDecoder::disassemble(cpu, line, a);
  }
  end = a;
  markDirty();
}

void DisassemblyPane::onClick(u32, u32 py) {
  const u32 fh = widgetgfx::fontHeight();
  if (fh == 0 || py < y) return;
  const u32 row = (py - y) / fh;
  // The part row below the last line shows no instruction.
  if (row >= lines.count()) return;
  gEmulator.breakpoints().toggleAt(rowAddress(row), gEmulator.cpu().isThumb());
}

void DisassemblyPane::scrollUp() {
  cursor -= instructionSize();
  refresh();
}

void DisassemblyPane::scrollDown() {
  cursor += instructionSize();
  refresh();
}

void DisassemblyPane::pageUp() {
  const u32 old = cursor;
  const u32 n = lines.count();
  // A pane of four lines or fewer still moves back by one.
  cursor -= instructionSize() * (n > 4 ? n - 4 : 1);
  refresh();
  // Bring the old cursor back onto the page when lines show before the
  // cursor.  The distance is taken round 32 bits, so paging across address 0
  // stops as well.
  while (n != 0 && static_cast<i32>(old - end) >= 0) scrollDown();
}

void DisassemblyPane::pageDown() {
  cursor = end;
  refresh();
}

void DisassemblyPane::goTo(u32 address) {
  cursor = address;
  refresh();
}
