#include "debugger/dmapane.h"

#include "core/dma.h"
#include "core/emulator.h"
#include "general/language.h"

namespace {

constexpr u16 kRed = 2, kGreen = 3, kOrange = 5;
// Labels are padded to this column instead of using the tab control: tab
// stop 0 belongs to the disassembly pane too, and a shared stop would move
// one pane's column whenever the other refreshes.
constexpr u32 kValueColumn = 14;

const char* const kLabels[4][3] = {{"DMA 0 Src:   ", "DMA 0 Dst:   ", "DMA 0 Ctrl:  "},
                                   {"DMA 1 Src:   ", "DMA 1 Dst:   ", "DMA 1 Ctrl:  "},
                                   {"DMA 2 Src:   ", "DMA 2 Dst:   ", "DMA 2 Ctrl:  "},
                                   {"DMA 3 Src:   ", "DMA 3 Dst:   ", "DMA 3 Ctrl:  "}};

void startLine(FixedIString& line, const char* english) {
  line.assignChar(kOrange);
  // A long translation leaves room for the value.
  line.appendTextClipped(translate(english), FixedIString::kCapacity - 40);
  do line.appendChar(' ');
  while (line.length() < kValueColumn + 1 && line.length() < FixedIString::kCapacity);
}

}  // namespace

void appendDmaControl(FixedIString& line, u32 c) {
  static const char* const kTiming[4] = {"IM ", "VB ", "HB ", "?? "};
  static const char* const kSource[4] = {"S+ ", "S- ", "S= ", "S= "};
  static const char* const kDestination[4] = {"D+", "D-", "D=", "D+"};
  line.appendChar16((c & 0x8000) ? kGreen : kRed);
  if (c & 0x4000) line.appendText("IE ");
  line.appendText(kTiming[(c >> 12) & 3]);
  line.appendText((c & 0x400) ? "[32] " : "[16] ");
  if (c & 0x200) line.appendText("RP ");
  line.appendText(kSource[(c >> 7) & 3]);
  line.appendText(kDestination[(c >> 5) & 3]);
}

void DmaPane::refresh() {
  const GbaMemory& memory = gEmulator.memory();
  for (u32 n = 0; n < 4; ++n) {
    const u32 base = kDmaRegisters + 12 * n;
    for (u32 k = 0; k < 3; ++k) {
      if (3 * n + k >= lineCount()) continue;
      FixedIString& line = lines[3 * n + k];
      startLine(line, kLabels[n][k]);
      if (k < 2)
        line.appendHex8(memory.peek32(base + 4 * k));
      else
        appendDmaControl(line, memory.peek32(base + 8) >> 16);
    }
  }
  markDirty();
}
