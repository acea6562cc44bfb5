#include "core/video.h"

#include "core/soundbuf.h"
#include "general/view.h"
#include "platform/variant.h"

PlainBitmap gScreenBitmap;
constinit ConfigOption<i32> gRunAppModeSwitch("Run app mode switch", 1);
constinit ConfigOption<i32> gRunAppWindowed("Run app in windowed mode", 0);

Video::Video() {
  std::memset(debuggerColours, 0, sizeof debuggerColours);
  std::memset(fullScreenColours, 0, sizeof fullScreenColours);
  fillFadeTables();
}

void Video::attachAreas(uint8_t* ioArea, uint8_t* paletteArea, uint8_t* vramArea, uint8_t* oamArea) {
  io = ioArea;
  palette = paletteArea;
  vram = vramArea;
  oam = oamArea;
  objPalette = palette + 512;
  objVram = vram + 0x10000;
  for (uint32_t i = 0; i < 128; ++i) gOamEntries[i] = oam + 8 * i;
}

void Video::fillFadeTables() {
  for (uint32_t k = 0; k < 15; ++k)
    for (uint32_t c = 0; c < kColourCount; ++c) {
      uint32_t r = ((c & 31) * (k + 1)) >> 4;
      uint32_t g = (((c >> 5) & 31) * (k + 1)) >> 4;
      uint32_t b = (((c >> 10) & 31) * (k + 1)) >> 4;
      fadeTables[k][c] = uint16_t(r | g << 5 | b << 10);
    }
}

// ---- Line timing -------------------------------------------------------------

int32_t gVideoCycles = 0;

namespace {

constexpr uint32_t kDispstat = 0x04, kVcount = 0x06;
constexpr uint32_t kVblankFlag = 1, kHblankFlag = 2, kVcountFlag = 4;
constexpr uint32_t kVblankIrqEnable = 8, kHblankIrqEnable = 0x10, kVcountIrqEnable = 0x20;
constexpr uint32_t kIrqVblank = 1, kIrqHblank = 2, kIrqVcount = 4;

}  // namespace

LineTiming lineTiming() {
  if constexpr (variant::kOlder) return {892, 272, 1164};
  return {1004, 228, 1232};
}

bool Video::setUpColourTables(uint32_t debuggerWidth, uint32_t debuggerHeight, uint32_t debuggerDepth) {
  auto rgb = [](float r, float g, float b) { return gView.rgb(r, g, b); };
  if (!gView.setScreenMode(debuggerWidth, debuggerHeight, debuggerDepth, gRunAppWindowed.value() == 0)) return false;
  fillColourTable(debuggerColours, rgb);
  debuggerGrey = gView.rgb(0.4999f, 0.4999f, 0.4999f);
  if (!gView.setScreenMode(320, 240, 2, true)) return false;
  fillColourTable(fullScreenColours, rgb);
  fullScreenGrey = gView.rgb(0.4999f, 0.4999f, 0.4999f);
  return true;
}

void Video::reset() {
  direction = 0;
  fillFadeTables();
  gScreenBitmap.resize(kScreenWidth, kScreenHeight);
  gScreenBitmap.fill(0, nullptr);
  phase = 0;
  gVideoCycles = 228;
  resetRenderer();
  line = 0;
}

void Video::release() { gScreenBitmap.clear(); }

void presentScreenBitmap(int32_t x, int32_t y) {
  gScreenBitmap.blitBitmap(gView, x, y, BlitOptions{});
  gView.present();
}

bool saveScreenshot() { return gScreenBitmap.saveBitmapFile("screen.bmp"); }

void Video::setPresentMode(uint32_t mode) {
  presentMode = mode;
  if (mode == 0 && host_) host_->showInAppPane();
}

uint32_t Video::runDmaUntilDone(uint32_t timing) {
  if (!host_) return 1;
  // Called again while a transfer stops early; H-blank and V-blank calls only
  // latch, so this ends at once in practice.  The bound keeps a transfer that
  // keeps stopping from hanging the display.
  uint32_t result = 0;
  for (int attempt = 0; attempt < 16 && result == 0; ++attempt) result = host_->runDma(timing);
  return result;
}

void Video::drawWholePicture() {
  for (uint32_t l = 0; l < kScreenHeight; ++l) renderLine(l);
  if (host_) host_->showInAppPane();
}

void Video::handOffFrame() {
  if (!host_) return;
  if (presentMode == 1) {
    host_->presentFrame(40, 40);
  } else {
    uint32_t width = 0, height = 0, fontHeight = 0;
    host_->displayMetrics(width, height, fontHeight);
    host_->presentFrame(int32_t(width) - 242, int32_t(height) - int32_t(fontHeight) - 162);
  }
}

void Video::tick() {
  const LineTiming t = lineTiming();
  // Not attached yet: keep time only.
  uint32_t s = io ? reg16(kDispstat) & ~7u : 0;
  if (phase == 0) {
    s |= kHblankFlag;
    runDmaUntilDone(2);
    if ((s & kHblankIrqEnable) && host_) host_->requestInterrupt(kIrqHblank);
    phase = 1;
    gVideoCycles += t.hblank;
  } else {
    line += 1;
    if (line == kScreenHeight) {
      runDmaUntilDone(1);
      if ((s & kVblankIrqEnable) && host_) host_->requestInterrupt(kIrqVblank);
      if (presentMode != 0) {
        handOffFrame();
        if constexpr (!variant::kOlder) flushSound();
      }
    }
    if (line == kLinesPerFrame) line = 0;
    if (presentMode != 0 && line < kScreenHeight) renderLine(line);
    if (line >= kScreenHeight) {
      s |= kVblankFlag;
      gVideoCycles += t.vblankLine;
    } else {
      phase = 0;
      gVideoCycles += t.hdraw;
    }
    if (((s >> 8) & 0xFF) == line) {
      s |= kVcountFlag;
      if ((s & kVcountIrqEnable) && host_) host_->requestInterrupt(kIrqVcount);
    }
  }
  if (presentMode == 0) drawWholePicture();
  if (!io) return;
  const uint16_t vcount = uint16_t(line), dispstat = uint16_t(s);
  std::memcpy(io + kVcount, &vcount, 2);
  std::memcpy(io + kDispstat, &dispstat, 2);
}

void Video::tickReverse() {
  const LineTiming t = lineTiming();
  uint32_t redraw = kScreenHeight;  // the line to draw again, none when 160
  if (phase == 0) {
    phase = 1;
    gVideoCycles = t.hdraw;
    if (presentMode != 0) redraw = line + 1;
  } else {
    if (line == 0) {
      line = kLinesPerFrame - 1;
      redraw = 0;
    } else {
      line -= 1;
    }
    if (line < kScreenHeight) {
      phase = 0;
      gVideoCycles = t.hblank;
    } else {
      phase = 1;
      gVideoCycles = t.vblankLine;
    }
  }
  if (presentMode == 0) {
    drawWholePicture();
  } else {
    if (redraw < kScreenHeight) renderLine(redraw);
    if (redraw == 0) handOffFrame();
  }
}

void Video::setDirection(uint32_t d) {
  if (d == direction) return;
  const LineTiming t = lineTiming();
  const int32_t c = gVideoCycles;
  const bool vblankLine = line >= kScreenHeight;
  if (phase == 1 && vblankLine) {
    gVideoCycles = t.vblankLine - c;
  } else if (phase == 0) {
    // Forwards H-draw becomes backwards H-draw (phase 1) and the reverse.
    phase = 1;
    gVideoCycles = (d == 1 ? t.hdraw : t.hblank) - c;
  } else {
    phase = 0;
    gVideoCycles = (d == 1 ? t.hblank : t.hdraw) - c;
  }
  direction = d;
}
