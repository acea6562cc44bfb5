#pragma once
// A small scene for renderer tests: raw I/O, palette, VRAM and OAM areas,
// an identity colour table (host pixel = console colour) and helpers that
// place tiles, map entries and sprites the way the console lays them out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/video.h"

// A pixel of the emulated screen.
inline uint16_t screenPixel(unsigned x, unsigned y) {
  gScreenBitmap.lock(1);
  const uint16_t p = uint16_t(gScreenBitmap.pixel(x, y));
  gScreenBitmap.unlock();
  return p;
}

namespace scene {

// Colours the default palettes give each index, easy to tell apart.
constexpr uint16_t kBackdrop = 0x0ABC;
inline uint16_t bgColour(unsigned index) { return uint16_t(0x0100 + index); }
inline uint16_t objColour(unsigned index) { return uint16_t(0x4000 + index); }

constexpr uint32_t DISPCNT = 0x00, BG0CNT = 0x08, BG0HOFS = 0x10, BG0VOFS = 0x12;
constexpr uint32_t BG2PA = 0x20, BG2PB = 0x22, BG2PC = 0x24, BG2PD = 0x26, BG2X = 0x28, BG2Y = 0x2C;
constexpr uint32_t BG3PA = 0x30;
constexpr uint32_t BLDCNT = 0x50, BLDALPHA = 0x52, BLDY = 0x54;

constexpr uint16_t kObj1d = 0x40, kPage1 = 0x10;
constexpr uint16_t kBg0On = 0x100, kBg1On = 0x200, kBg2On = 0x400, kObjOn = 0x1000;

constexpr uint16_t rgb(unsigned r, unsigned g, unsigned b) { return uint16_t(r | g << 5 | b << 10); }

class RenderScene : public ::testing::Test {
protected:
  std::vector<uint8_t> io = std::vector<uint8_t>(kIoSize);
  std::vector<uint8_t> pal = std::vector<uint8_t>(kPaletteSize);
  std::vector<uint8_t> vram = std::vector<uint8_t>(kVramSize);
  std::vector<uint8_t> oam = std::vector<uint8_t>(kOamSize);
  std::unique_ptr<Video> video = std::make_unique<Video>();

  void SetUp() override {
    for (auto* area : {&io, &pal, &vram, &oam}) std::fill(area->begin(), area->end(), 0);
    video->attachAreas(io.data(), pal.data(), vram.data(), oam.data());
    for (uint32_t c = 0; c < kColourCount; ++c) {
      video->debuggerColours[c] = uint16_t(c);
      video->fullScreenColours[c] = uint16_t(c | 0x8000);
    }
    video->resetRenderer();
    video->setPresentMode(0);
    gGridOption.value() = 0;
    gScreenBitmap.resize(kScreenWidth, kScreenHeight);
    fillScreen(0);
    setBgPalette(0, kBackdrop);
    for (unsigned i = 1; i < 256; ++i) setBgPalette(i, bgColour(i));
    for (unsigned i = 0; i < 256; ++i) setObjPalette(i, objColour(i));
    // Every sprite starts hidden (y = 160), as a game's start-up leaves them,
    // and the BG2 and BG3 matrices at identity, as the console starts.
    for (unsigned n = 0; n < 128; ++n) sprite(n, 160, 0, 0);
    for (uint32_t pa : {BG2PA, BG3PA}) {
      reg(pa, 0x100);
      reg(pa + 6, 0x100);
    }
  }
  void TearDown() override { gGridOption.value() = 0; }

  void reg(uint32_t offset, uint16_t value) { std::memcpy(&io[offset], &value, 2); }
  void reg32(uint32_t offset, uint32_t value) { std::memcpy(&io[offset], &value, 4); }
  void setBgPalette(unsigned index, uint16_t colour) { std::memcpy(&pal[2 * index], &colour, 2); }
  void setObjPalette(unsigned index, uint16_t colour) { std::memcpy(&pal[512 + 2 * index], &colour, 2); }
  void vram16(uint32_t offset, uint16_t value) { std::memcpy(&vram[offset], &value, 2); }
  void oam16(uint32_t offset, uint16_t value) { std::memcpy(&oam[offset], &value, 2); }

  // One pixel of a 4-bit tile at byte offset base of VRAM.
  void tile4Pixel(uint32_t base, unsigned x, unsigned y, unsigned nibble) {
    uint8_t& byte = vram[base + y * 4 + x / 2];
    byte = x & 1 ? uint8_t((byte & 0x0F) | nibble << 4) : uint8_t((byte & 0xF0) | nibble);
  }
  void solidTile4(uint32_t base, unsigned nibble) { std::memset(&vram[base], nibble * 0x11, 32); }
  void solidTile8(uint32_t base, unsigned index) { std::memset(&vram[base], index, 64); }

  // Text map entry at map column/row (within a 32x32 screen block) of block.
  void mapEntry(unsigned block, unsigned column, unsigned row, uint16_t entry) {
    vram16(block * 0x800 + 2 * (row * 32 + column), entry);
  }

  void sprite(unsigned n, uint16_t a0, uint16_t a1, uint16_t a2) {
    oam16(8 * n, a0);
    oam16(8 * n + 2, a1);
    oam16(8 * n + 4, a2);
  }
  // Affine parameters of group g.
  void spriteMatrix(unsigned g, int16_t pa, int16_t pb, int16_t pc, int16_t pd) {
    oam16(32 * g + 6, uint16_t(pa));
    oam16(32 * g + 14, uint16_t(pb));
    oam16(32 * g + 22, uint16_t(pc));
    oam16(32 * g + 30, uint16_t(pd));
  }

  // Byte offset in VRAM of sprite pixel (x, y) for a sprite of the given
  // width whose first tile is tile, as the console lays character data out.
  static uint32_t spriteByte(unsigned tile, unsigned width, unsigned x, unsigned y, bool colours256, bool oneD) {
    const unsigned tileBytes = colours256 ? 64 : 32;
    const uint32_t rowStart = oneD ? (y >> 3) * (width / 8) * tileBytes : (y >> 3) * 1024;
    const uint32_t inTile = colours256 ? (y & 7) * 8 + (x & 7) : (y & 7) * 4 + (x & 7) / 2;
    return 0x10000 + tile * 32 + rowStart + (x >> 3) * tileBytes + inTile;
  }
  void spritePixel(unsigned tile, unsigned width, unsigned x, unsigned y, bool colours256, bool oneD,
                   unsigned index) {
    const uint32_t at = spriteByte(tile, width, x, y, colours256, oneD);
    if (colours256)
      vram[at] = uint8_t(index);
    else
      vram[at] = x & 1 ? uint8_t((vram[at] & 0x0F) | index << 4) : uint8_t((vram[at] & 0xF0) | index);
  }

  void frame() {
    for (uint32_t line = 0; line < kScreenHeight; ++line) video->renderLine(line);
  }
  uint16_t px(unsigned x, unsigned y) { return screenPixel(x, y); }
  static void fillScreen(uint16_t colour) { gScreenBitmap.fill(colour, nullptr); }
};

}  // namespace scene
