#include "debugger/oampane.h"

#include "core/emulator.h"
#include "debugger/app.h"
#include "general/language.h"
#include "general/text.h"
#include "general/view.h"

namespace {

constexpr u32 kOam = 0x07000000;
constexpr u32 kBlitKeyed = 4;

void drawLine(u32 x, u32 y, const FixedIString& t, const Rect& pane) {
  drawTextClipped(gView, gFontNumber, i32(x), i32(y), u16(gColourRed), t, kBlitKeyed, pane);
}

}  // namespace

FixedIString OamPane::numberLine() const {
  FixedIString t;
  t.assignTextClipped(translate("Sprite #:  "));
  t.appendHex(sprite, 2);
  return t;
}

FixedIString OamPane::locationLine() const {
  const GbaMemory& memory = gEmulator.memory();
  const u32 attribute0 = memory.peek16(kOam + 8 * sprite), attribute1 = memory.peek16(kOam + 8 * sprite + 2);
  FixedIString t;
  t.assignTextClipped(translate("Location:  "));
  t.appendHex(attribute1 & 0x1FF, 3);
  t.appendText(", ");
  t.appendHex(attribute0 & 0xFF, 3);
  return t;
}

void OamPane::draw() {
  const Rect r{x, y, w, h};
  gView.fill(u16(gColourBlack), &r);
  drawLine(x, y, numberLine(), r);
  drawLine(x, y + fontHeight(gFontNumber), locationLine(), r);
  clearDirtyOnCurrentPage();
}
