#pragma once
// Random scenes for the renderer: video memory with plenty of transparent
// pixels, registers of every mode within sensible ranges, and small random
// changes of the kind a program makes between lines.

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/render.h"

namespace scene {

class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed) {}
  uint32_t next() {
    state_ = state_ * 1103515245u + 12345u;
    return state_ >> 8;
  }
  uint32_t below(uint32_t n) { return next() % n; }
  bool chance(uint32_t percent) { return below(100) < percent; }

 private:
  uint32_t state_;
};

struct VideoMemory {
  std::vector<uint8_t>& io;
  std::vector<uint8_t>& pal;
  std::vector<uint8_t>& vram;
  std::vector<uint8_t>& oam;

  void put16(std::vector<uint8_t>& area, uint32_t at, uint32_t value) {
    const uint16_t v = uint16_t(value);
    std::memcpy(&area[at], &v, 2);
  }

  // A byte of tile or bitmap data: each nibble 0 (transparent) half the time.
  static uint8_t pixels(Random& r) {
    uint8_t b = 0;
    if (r.chance(50)) b |= uint8_t(r.below(16));
    if (r.chance(50)) b |= uint8_t(r.below(16) << 4);
    return b;
  }

  void fill(Random& r, uint32_t mode) {
    for (auto& b : vram) b = pixels(r);
    // Map entries in the upper screen blocks: small tile numbers, any flip
    // and bank, so that text maps point at the patterned tiles.
    for (uint32_t at = 0x8000; at < 0x10000; at += 2) put16(vram, at, r.below(64) | (r.next() & 0xFC00));
    for (auto& b : pal) b = uint8_t(r.next());
    for (auto& b : oam) b = uint8_t(r.next());
    // Half the sprites hidden, the others of every kind.
    for (uint32_t n = 0; n < 128; ++n)
      if (r.chance(50)) put16(oam, 8 * n, 160);
    for (auto& b : io) b = 0;
    uint32_t dispcnt = mode | (r.next() & 0x1F70);
    if (r.chance(8)) dispcnt |= 0x80;  // forced blank now and then
    put16(io, 0x00, dispcnt);
    for (uint32_t n = 0; n < 4; ++n) {
      // Maps in blocks 16-31, characters anywhere.
      put16(io, 0x08 + 2 * n, (r.next() & 0xE0CF) | (16 + r.below(16)) << 8);
      put16(io, 0x10 + 4 * n, r.next());
      put16(io, 0x12 + 4 * n, r.next());
    }
    for (uint32_t regs : {0x20u, 0x30u}) {
      if (r.chance(30)) {
        put16(io, regs, 0x100);
        put16(io, regs + 6, 0x100);
      } else {
        for (uint32_t i = 0; i < 4; ++i) put16(io, regs + 2 * i, r.below(0x400) - 0x200);
      }
      for (uint32_t i = 0; i < 2; ++i) {
        const int32_t reference = int32_t(r.below(400 << 8)) - (100 << 8);
        put16(io, regs + 8 + 4 * i, uint32_t(reference));
        put16(io, regs + 10 + 4 * i, uint32_t(reference) >> 16);
      }
    }
    put16(io, 0x50, r.next());
    put16(io, 0x52, r.next() & 0x1F1F);
    put16(io, 0x54, r.below(20));
  }

  // One change of the kind a program makes between lines, mostly to memory
  // that lines read: tile rows, map entries, sprite tiles, bitmap pixels.
  void change(Random& r) {
    switch (r.below(12)) {
      case 0:
        io[r.below(0x56)] = uint8_t(r.next());
        break;
      case 1:
        put16(io, 0x10 + 2 * r.below(8), r.next());
        break;  // a scroll
      case 2:
        pal[r.below(1024)] = uint8_t(r.next());
        break;
      case 3:
      case 4:
        vram[r.below(4) * 0x4000 + r.below(0x1000)] = pixels(r);
        break;
      case 5:
        put16(vram, 0x8000 + 2 * r.below(0x4000), r.below(64) | (r.next() & 0xFC00));
        break;
      case 6:
      case 7:
        vram[0x10000 + r.below(0x8000)] = pixels(r);
        break;
      case 8:
        vram[r.below(0x14000)] = pixels(r);
        break;
      case 9:
        oam[r.below(1024)] = uint8_t(r.next());
        break;
      case 10:
        vram[r.below(uint32_t(vram.size()))] = pixels(r);
        break;
      default:
        gLayerMask ^= 0x100u << r.below(5);
        break;
    }
    // VCOUNT and DISPSTAT are the video unit's own.
    std::memset(&io[4], 0, 4);
  }
};

}  // namespace scene
