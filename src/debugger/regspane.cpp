#include "debugger/regspane.h"

#include <cstring>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/formats.h"
#include "general/text.h"
#include "platform/variant.h"

namespace {

constexpr u16 kRed = 2, kOrange = 5, kWhite = 8;
constexpr u32 kSeparator = 2;  // the blanks appendFormattedValue puts after a value

}  // namespace

void RegistersPane::refresh() {
  const ArmCpu& cpu = gEmulator.cpu();
  const FormatCode code = registerFormat();
  const u32 C = fontWidth(gFontNumber);
  const u32 columns = C ? w / C : 0;
  const u32 cell = formatCellWidth(code);
  const u32 valueChars = cell > kSeparator ? cell - kSeparator : cell;
  const u32 labelChars = 4;  // "R00:"; CPSR and SPSR have their own lines
  const u32 n = lineCount();

  // Entries a line, and the blanks between them: the usual two, or fewer
  // when only that brings every register into the pane.
  auto perLine = [&](u32 gap) {
    const u32 k = (columns + gap) / (labelChars + valueChars + gap);
    return k == 0 ? 1u : k;
  };
  auto linesFor = [&](u32 k) { return (16 + k - 1) / k + 2; };
  u32 gap = kSeparator;
  for (u32 g : {kSeparator, 1u, 0u})
    if (linesFor(perLine(g)) <= n) {
      gap = g;
      break;
    }
  const u32 k = perLine(gap);

  rows.clear();
  u32 onLine = k;
  auto entry = [&](u32 reg, const char* label, bool ownLine) {
    if (ownLine || onLine == k) {
      rows.emplace_back();
      rows.back().assignChar(kOrange);
      onLine = 0;
    }
    const u32 value = cpu.reg(reg);
    const bool changed = !rememberedSet || remembered[reg] != value;
    if (!variant::kOlder) remembered[reg] = value;
    FixedIString text;
    appendFormattedValue(text, value, code);
    // The blanks after a value that ends its line are kept, the ones between
    // entries cut to the gap.
    const bool last = ownLine || onLine + 1 == k || reg == 15;
    if (!last && text.length() >= kSeparator - gap) text.removeLast(kSeparator - gap);
    const u32 labelLength = u32(std::strlen(label));
    // A value wider than the pane goes on in pieces of equal width, each on
    // a line of its own under the first, behind the label's width of blanks.
    const u32 room = columns > labelLength ? columns - labelLength : 1;
    const u32 digits = valueChars <= text.length() ? valueChars : text.length();
    const u32 pieces = (ownLine || k == 1) && digits > room ? (digits + room - 1) / room : 1;
    const u32 piece = (digits + pieces - 1) / pieces;
    u32 at = 0;
    for (u32 p = 0; p < pieces; ++p) {
      if (p == 0) {
        rows.back().appendText(label);
      } else {
        rows.emplace_back();
        rows.back().assignChar(kOrange);
        for (u32 i = 0; i < labelLength; ++i) rows.back().appendChar(' ');
      }
      FixedIString& line = rows.back();
      if (!variant::kOlder) line.appendChar16(changed ? kRed : kWhite);
      const u32 end = p + 1 == pieces ? text.length() : at + piece;
      for (; at < end; ++at) line.appendChar16(text[at]);
      line.appendChar16(kOrange);
    }
    ++onLine;
  };
  for (u32 r = 0; r < 16; ++r) {
    char label[8] = {'R', char('0' + r / 10), char('0' + r % 10), ':', 0};
    entry(r, label, false);
  }
  entry(16, "CPSR:", true);
  entry(17, "SPSR:", true);
  if (!variant::kOlder) rememberedSet = true;
  show();
}

void RegistersPane::show() {
  const u32 n = lineCount(), count = u32(rows.size());
  if (count <= n)
    top = 0;
  else if (top > count - n)
    top = count - n;
  for (u32 i = 0; i < n; ++i) {
    if (top + i < count)
      lines[i] = rows[top + i];
    else
      lines[i].clear();
  }
  markDirty();
}

void RegistersPane::scrollUp() {
  if (top == 0) return;
  --top;
  show();
}

void RegistersPane::scrollDown() {
  if (top + lineCount() >= rows.size()) return;
  ++top;
  show();
}

void RegistersPane::pageUp() {
  if (top == 0) return;
  top = top > lineCount() ? top - lineCount() : 0;
  show();
}

void RegistersPane::pageDown() {
  if (top + lineCount() >= rows.size()) return;
  top += lineCount();
  show();
}

void RegistersPane::goTo(u32 value) {
  gEmulator.cpu().setReg(15, value);
  refresh();
}
