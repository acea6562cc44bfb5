#include "debugger/prompt.h"

#include <cmath>

#include "debugger/app.h"
#include "general/draw.h"
#include "general/language.h"
#include "general/mouse.h"
#include "general/task.h"
#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"
#include "platform/variant.h"

PlainBitmap gDialogFrame;
PlainBitmap gDialogBackground;
FixedIString gPromptLine;
void (*gPromptCallback)() = nullptr;
u32 gIsMessageBox = 0;
float gKeyDelay = 0;
float gDialogOpenedAt = 0;
u32 gDialogRedrawMask = 0;

namespace {

float (*gClock)() = &readCycleSeconds;
// Set once the frame picture has been read; until then every opening tries
// the file again and draws on a plain frame meanwhile.
bool gFrameLoaded = false;

constexpr u16 kRed = 2;
constexpr u16 kGreen = 3;

u32 glyphWidth() { return fontWidth(gFontNumber); }
u32 glyphHeight() { return fontHeight(gFontNumber); }

void ensureFrame() {
  if (gFrameLoaded && gDialogFrame.height() != 0) return;
  FixedIString name;
  name.assignText(translate("dlg_eng.bmp"));
  if (gDialogFrame.loadBitmapFile(name) && gDialogFrame.height() != 0) {
    gFrameLoaded = true;
    return;
  }
  // A missing picture leaves a plain grey frame, so the box still shows and
  // its rows have room.
  u32 w = gView.width() < 400 ? gView.width() : 400;
  u32 h = gView.height() < 100 ? gView.height() : 100;
  if (w < 48) w = 48;
  if (h < 48) h = 48;
  gDialogFrame.resize(w, h);
  gDialogFrame.fillRect(uint16_t(gColourGrey), nullptr);
}

void clearRow(u32 y) {
  const DialogGeometry g = dialogGeometry();
  Rect r{20, y, g.rowWidth, glyphHeight()};
  if (y + r.h > gDialogFrame.height()) r.h = y < gDialogFrame.height() ? gDialogFrame.height() - y : 0;
  if (r.w && r.h) gDialogFrame.fillRect(0, &r);
}

// The characters of a row that fit inside the box: the tail of a long text,
// behind its leading colour code.
void drawRow(u32 y, const FixedIString& text, u32 reserve = 0) {
  const DialogGeometry g = dialogGeometry();
  u32 fit = glyphWidth() ? g.rowWidth / glyphWidth() : 0;
  fit = fit > reserve ? fit - reserve : 0;
  FixedIString shown;
  u32 first = 0;
  if (text.length() > 0 && text[0] < 15) {
    shown.appendChar16(text[0]);
    first = 1;
  }
  const u32 visible = text.length() - first;
  if (visible > fit) first += visible - fit;
  for (u32 i = first; i < text.length(); ++i) shown.appendChar16(text[i]);
  drawText(gDialogFrame, gFontNumber, 20, int32_t(y), 0, shown, 4);
}

FixedIString red(const FixedIString& text) {
  FixedIString out;
  out.appendChar16(kRed);
  out.appendFixed(text);
  return out;
}

// How the frame covers the screen: a copy, so the box is opaque and nothing
// of the listing under it shows beside the typed text.  The older program's
// prompt blends the frame over what lies under it.
constexpr u32 kFrameCopy = 0, kFrameBlend = 2;
u32 promptFrameMode() { return variant::kOlder ? kFrameBlend : kFrameCopy; }

void blitFrame(u32 mode) {
  const DialogGeometry g = dialogGeometry();
  BlitOptions options;
  options.mode = mode;
  options.background = RootPtr<Bitmap>(&gDialogBackground);
  gDialogFrame.blitBitmap(gView, int32_t(g.boxX), int32_t(g.boxY), options);
}

void saveBackground() {
  const DialogGeometry g = dialogGeometry();
  gDialogBackground.copyRegion(gView, int32_t(g.boxX), int32_t(g.boxY), gDialogFrame.width(),
                               gDialogFrame.height());
}

void restoreBackground() {
  const DialogGeometry g = dialogGeometry();
  for (int i = 0; i < 2; ++i) {
    gDialogBackground.blitBitmap(gView, int32_t(g.boxX), int32_t(g.boxY), BlitOptions{});
    gView.present();
  }
}

void close() {
  setDisplayMode(0);
  gView.present();
  restoreBackground();
  setMouseDispatch(1);
}

}  // namespace

uint32_t dialogIdleMilliseconds() {
  if (gIsMessageBox && !variant::kOlder) return 0xFFFFFFFF;
  // The cursor changes colour at every quarter second of the clock.
  const double quarters = double(gClock()) * 4;
  const double left = (std::floor(quarters) + 1 - quarters) * 250;
  return left < 1 ? 1 : uint32_t(left) + 1;
}

void releaseDialogPictures() {
  gDialogFrame.release();
  gDialogBackground.release();
  gFrameLoaded = false;
}

void setDialogClock(float (*clock)()) { gClock = clock ? clock : &readCycleSeconds; }

DialogGeometry dialogGeometry() {
  DialogGeometry g{};
  const u32 fw = gDialogFrame.width(), fh = gDialogFrame.height();
  // A frame larger than the display is placed at its edge instead of
  // wrapping round to a huge position.
  g.boxX = gView.width() > fw ? (gView.width() - fw) / 2 : 0;
  g.boxY = gView.height() > fh ? (gView.height() - fh) / 2 : 0;
  g.row1 = 20;
  g.row2 = 20 + glyphHeight();
  g.bottomRow = fh * 3 / 4;
  g.rowWidth = fw > 40 ? fw - 40 : 0;
  return g;
}

void showMessageBox(const FixedIString& title, const FixedIString& text, float delay) {
  setDisplayMode(2);
  ensureFrame();
  const DialogGeometry g = dialogGeometry();
  clearRow(g.row1);
  clearRow(g.row2);
  clearRow(g.bottomRow);
  saveBackground();
  FixedIString notice;
  notice.assignText(translate("Press <Enter> or <Esc> to continue."));
  drawRow(g.row1, red(title));
  drawRow(g.row2, red(text));
  drawRow(g.bottomRow, red(notice));
  for (int i = 0; i < 2; ++i) {
    blitFrame(kFrameCopy);
    gView.present();
  }
  gPromptLine.clear();
  if (delay != 0) {
    gKeyDelay = delay;
    gDialogOpenedAt = gClock();
  }
  gIsMessageBox = 1;
  gDialogRedrawMask = 0;
  setMouseDispatch(0);
}

void promptForInput(const FixedIString& title, void (*command)()) {
  setDisplayMode(2);
  ensureFrame();
  const DialogGeometry g = dialogGeometry();
  clearRow(g.row1);
  clearRow(g.bottomRow);
  clearRow(g.row2);
  saveBackground();
  drawRow(g.row1, red(title));
  for (int i = 0; i < 2; ++i) {
    blitFrame(promptFrameMode());
    gView.present();
  }
  gPromptLine.assignChar(kGreen);
  gPromptCallback = command;
  gIsMessageBox = 0;
  gDialogRedrawMask = 0;
  setMouseDispatch(0);
}

void Dialog::handleKey(u32 key) {
  if (gKeyDelay > 0 && !variant::kOlder) {
    if (gClock() - gDialogOpenedAt < gKeyDelay) return;
    gKeyDelay = 0;
  }
  key &= 0xFFF;
  if (key == 13) {
    close();
    if ((variant::kOlder || !gIsMessageBox) && gPromptCallback) gPromptCallback();
    return;
  }
  if (key == 27) {
    gPromptLine.clear();
    close();
    return;
  }
  if (gIsMessageBox && !variant::kOlder) return;
  if (key == 8) {
    gPromptLine.removeLast(1);
    // The older program lets Backspace take the colour code too.
    if (gPromptLine.length() == 0 && !variant::kOlder) gPromptLine.assignChar(kGreen);
  } else if (gPromptLine.length() < FixedIString::kCapacity) {
    gPromptLine.appendChar16(u16(key));
  }
  const DialogGeometry g = dialogGeometry();
  clearRow(g.bottomRow);
  // One cell stays free for the cursor.
  drawRow(g.bottomRow, gPromptLine, 1);
  gDialogRedrawMask = 0xFF;
}

void Dialog::draw() {
  const u32 pageBit = 1u << (gView.currentPage() & 31);
  const DialogGeometry g = dialogGeometry();
  const bool messageBox = gIsMessageBox && !variant::kOlder;
  if (gDialogRedrawMask & pageBit) {
    blitFrame(messageBox ? kFrameCopy : promptFrameMode());
    gDialogRedrawMask &= ~pageBit;
  }
  if (messageBox) return;
  const u16 colour = (u32(gClock() * 4) & 1) ? gView.rgb(1, 1, 0) : 0;
  // Under the next character cell, kept inside the box however long the line.
  const u32 fit = glyphWidth() ? g.rowWidth / glyphWidth() : 0;
  u32 cells = gPromptLine.length() > 0 ? gPromptLine.length() - 1 : 0;
  if (cells + 1 > fit) cells = fit > 0 ? fit - 1 : 0;
  const int32_t x = int32_t(g.boxX + 20 + glyphWidth() * cells);
  const int32_t y = int32_t(g.boxY + g.bottomRow + glyphHeight());
  drawLine(gView, colour, x, y, x + int32_t(glyphWidth()), y);
}
