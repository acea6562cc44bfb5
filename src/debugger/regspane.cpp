#include "debugger/regspane.h"

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/formats.h"
#include "general/text.h"
#include "platform/variant.h"

namespace {

constexpr u16 kRed = 2, kOrange = 5, kWhite = 8;

}  // namespace

void RegistersPane::refresh() {
  const ArmCpu& cpu = gEmulator.cpu();
  const FormatCode code = registerFormat();
  const u32 C = fontWidth(gFontNumber);
  u32 perLine = (w + 2) / ((formatCellWidth(code) + 4) * C + 2);
  // A cell wider than the pane still gets a line of its own, line 0 too.
  if (perLine == 0) perLine = 1;
  const u32 n = lineCount();
  u32 line = 0, onLine = 0;
  auto entry = [&](u32 reg, const char* label) {
    FixedIString& t = lines[line];
    t.appendText(label);
    const u32 value = cpu.reg(reg);
    if (!variant::kOlder) t.appendChar16(rememberedSet && remembered[reg] == value ? kWhite : kRed);
    appendFormattedValue(t, value, code);
    t.appendChar16(kOrange);
    if (!variant::kOlder) remembered[reg] = value;
  };
  if (n == 0) return markDirty();
  lines[0].assignChar(kOrange);
  bool room = true;
  for (u32 r = 0; r < 16 && room; ++r) {
    if (onLine == perLine) {
      room = ++line < n;
      if (!room) break;
      lines[line].assignChar(kOrange);
      onLine = 0;
    }
    char label[8] = {'R', char('0' + r / 10), char('0' + r % 10), ':', 0};
    entry(r, label);
    ++onLine;
  }
  const char* const kStatus[2] = {"CPSR:", "SPSR:"};
  for (u32 s = 0; s < 2 && room; ++s) {
    room = ++line < n;
    if (!room) break;
    lines[line].assignChar(kOrange);
    entry(16 + s, kStatus[s]);
  }
  for (u32 i = line + 1; i < n; ++i) lines[i].clear();
  if (!variant::kOlder) rememberedSet = true;
  markDirty();
}

void RegistersPane::goTo(u32 value) {
  gEmulator.cpu().setReg(15, value);
  refresh();
}
