#include "debugger/status.h"

#include "core/cpu.h"
#include "core/video.h"
#include "debugger/app.h"
#include "general/language.h"
#include "general/mouse.h"
#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"

FixedIString gRomName = [] {
  FixedIString t;
  t.assignText("No ROM loaded");
  return t;
}();

MouseCursor gMouseCursor;

StatusLine statusLineLayout(u32 displayWidth, u32 glyphWidth, const FixedIString& romName, u32 cycleCount) {
  StatusLine s;
  s.title.assignText(kProductTitle);
  s.titleX = i32(displayWidth) - i32(s.title.length() * glyphWidth);
  // Room is left for the digits, however long the translation.
  s.cycles.appendTextClipped(translate("Cycles - "), FixedIString::kCapacity - 8);
  s.cycles.appendHex8(cycleCount);
  s.cyclesX = s.titleX - i32((s.cycles.length() + 2) * glyphWidth);
  s.romX = 0;
  // A long name is cut to its tail so it does not run under the cycle count.
  const i32 room = glyphWidth ? (s.cyclesX - i32(glyphWidth)) / i32(glyphWidth) : 0;
  const u32 fit = room > 0 ? u32(room) : 0;
  const u32 skip = romName.length() > fit ? romName.length() - fit : 0;
  for (u32 i = skip; i < romName.length(); ++i) s.romName.appendChar16(romName[i]);
  return s;
}

void drawStatusLine() {
  const u32 g = fontWidth(gFontNumber), h = fontHeight(gFontNumber);
  if (gView.height() < h) return;
  const i32 y = i32(gView.height() - h);
  // The row is cleared first, so a shorter text leaves nothing of a longer one.
  Rect row{0, u32(y), gView.width(), h};
  gView.fill(uint16_t(gColourBlack), &row);
  const StatusLine s = statusLineLayout(gView.width(), g, gRomName, gCycleCount);
  const uint16_t red = uint16_t(gColourRed);
  drawText(gView, gFontNumber, s.titleX, y, red, s.title, 4);
  drawText(gView, gFontNumber, s.cyclesX, y, red, s.cycles, 4);
  drawText(gView, gFontNumber, s.romX, y, red, s.romName, 4);
}

void updateMouse() {
  if (!isMouseDispatchOn()) return;
  u32 x = gMouseX, y = gMouseY;
  const u32 w = gView.width(), h = gView.height();
  const u32 cw = gMouseCursor.width(), ch = gMouseCursor.height();
  if (w > cw && x >= w - cw) x = w - cw - 1;
  if (h > ch && y >= h - ch) y = h - ch - 1;
  gMouseCursor.setPosition(x, y);
  gMouseCursor.draw(gView);
}

void screenshotKey() {
  saveScreenshot();
  dbgPrintf("Screenshot detected.\n");
}
