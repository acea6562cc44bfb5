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
  coloursChanged();
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
  clock_->phase = 0;
  clock_->cycles = 228;
  gVideoCycles = 228;
  resetRenderer();
  clock_->line = 0;
  // The pictures kept for running back take their room now, not a page at
  // a time during the program's first frames.
  for (Shown& f : shown_) {
    f.frame = f.picture = ~0u;
    f.pixels.resize(kScreenWidth * kScreenHeight);
  }
  pictureChanged_ = true;
  coloursChanged();
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

void Video::presentAt() {
  if (!host_) return;
  if (presentMode == 1) {
    host_->presentFrame(40, 40);
  } else {
    uint32_t width = 0, height = 0, fontHeight = 0;
    host_->displayMetrics(width, height, fontHeight);
    host_->presentFrame(int32_t(width) - 242, int32_t(height) - int32_t(fontHeight) - 162);
  }
}

void Video::handOffFrame() {
  if (!host_) return;
  change(clock_->frames, clock_->frames + 1);
  keepShown();
  presentAt();
}

void Video::keepShown() {
  if (gScreenBitmap.width() < kScreenWidth || gScreenBitmap.height() < kScreenHeight) return;
  const uint16_t* table = presentMode == 1 ? fullScreenColours : debuggerColours;
  if (pictureChanged_ || table != pictureTable_) ++picture_;
  pictureChanged_ = false;
  pictureTable_ = table;
  Shown& f = shown_[clock_->frames % kShownFrames];
  f.frame = clock_->frames;
  // A still picture is copied once into each place.
  if (f.picture == picture_ && !f.pixels.empty()) return;
  f.picture = picture_;
  f.pixels.resize(kScreenWidth * kScreenHeight);
  gScreenBitmap.lock(1);
  // Kept for running back, not read again soon: written past the caches,
  // which the 64 pictures would otherwise fill.
  // Rows of whole, aligned vectors: the allocation is aligned to 16 bytes.
  static_assert(kScreenWidth * 2 % 16 == 0 && __STDCPP_DEFAULT_NEW_ALIGNMENT__ >= 16);
  for (uint32_t y = 0; y < kScreenHeight; ++y) {
    uint16_t* to = &f.pixels[y * kScreenWidth];
    const uint16_t* from = gScreenBitmap.rowData(y);
    for (uint32_t x = 0; x < kScreenWidth; x += 8)
      _mm_stream_si128(reinterpret_cast<__m128i*>(to + x), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x)));
  }
  _mm_sfence();
  gScreenBitmap.unlock();
}

const Video::Shown* Video::shown(uint32_t frame) const {
  const Shown& f = shown_[frame % kShownFrames];
  return f.frame == frame && !f.pixels.empty() ? &f : nullptr;
}

void Video::tick() {
  const LineTiming t = lineTiming();
  VideoClock& k = *clock_;
  // Not attached yet: keep time only.
  uint32_t s = io ? reg16(kDispstat) & ~7u : 0;
  change(k.cycles, k.cycles + (k.phase == 0 ? t.hblank : t.hdraw));
  if (k.phase == 0) {
    // H-blank, on every line; its DMA only on the drawn ones.
    s |= kHblankFlag;
    if (k.line < kScreenHeight) runDmaUntilDone(2);
    if ((s & kHblankIrqEnable) && host_) host_->requestInterrupt(kIrqHblank);
    change(k.phase, 1u);
  } else {
    uint32_t next = k.line + 1;
    change(k.line, next == kLinesPerFrame ? 0u : next);
    change(k.phase, 0u);
    if (k.line == kScreenHeight) {
      runDmaUntilDone(1);
      if ((s & kVblankIrqEnable) && host_) host_->requestInterrupt(kIrqVblank);
      if (presentMode != 0) {
        handOffFrame();
        if constexpr (!variant::kOlder) flushSound();
      }
    }
    if (presentMode != 0 && k.line < kScreenHeight) renderLine(k.line);
    if (((s >> 8) & 0xFF) == k.line && (s & kVcountIrqEnable) && host_) host_->requestInterrupt(kIrqVcount);
  }
  if (k.line >= kScreenHeight) s |= kVblankFlag;
  // The V-count flag holds for the whole matching line.
  if (((s >> 8) & 0xFF) == k.line) s |= kVcountFlag;
  if (presentMode == 0) drawWholePicture();
  if (!io) return;
  // DISPSTAT and VCOUNT share a word.
  journal(io + kDispstat);
  const uint16_t vcount = uint16_t(k.line), dispstat = uint16_t(s);
  std::memcpy(io + kVcount, &vcount, 2);
  std::memcpy(io + kDispstat, &dispstat, 2);
}

void Video::lineUndone(uint32_t from) {
  eventUndone_ = true;
  pictureChanged_ = true;
  if (presentMode == 0 || from >= kScreenHeight) return;
  // Before this line began, its row still showed the frame handed off last.
  if (const Shown* f = shown(clock_->frames)) {
    gScreenBitmap.lock(2);
    std::memcpy(gScreenBitmap.rowData(from), &f->pixels[from * kScreenWidth], kScreenWidth * 2);
    gScreenBitmap.unlock();
  } else {
    renderLine(from);
  }
}

void Video::frameUndone(uint32_t from) {
  (void)from;
  eventUndone_ = true;
  if (presentMode == 0 || !host_) return;
  // The display goes back to the frame before; the picture being drawn
  // stays as it was when that hand-off came.
  const Shown* f = shown(clock_->frames);
  if (!f) return presentAt();
  PlainBitmap& screen = gScreenBitmap;
  std::vector<uint16_t> drawing(kScreenWidth * kScreenHeight);
  screen.lock(2);
  for (uint32_t y = 0; y < kScreenHeight; ++y) {
    std::memcpy(&drawing[y * kScreenWidth], screen.rowData(y), kScreenWidth * 2);
    std::memcpy(screen.rowData(y), &f->pixels[y * kScreenWidth], kScreenWidth * 2);
  }
  screen.unlock();
  presentAt();
  screen.lock(2);
  for (uint32_t y = 0; y < kScreenHeight; ++y)
    std::memcpy(screen.rowData(y), &drawing[y * kScreenWidth], kScreenWidth * 2);
  screen.unlock();
}

void Video::afterBackwardSlice() {
  if (eventUndone_ && presentMode == 0) drawWholePicture();
  eventUndone_ = false;
}
