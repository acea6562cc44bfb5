#pragma once
// A plain reference for the renderer: each pixel worked out on its own from
// the console's rules, with no lists, no spans and nothing kept between lines
// but the BG2/BG3 reference points.  Lines must be given in order from 0.
//
// Each pixel looks at the layers front to back (per priority 0-3: sprites by
// ascending number, then backgrounds by ascending number), keeps the first
// opaque colour and, when that one blends, the next one under it, and is
// then composed with BLDCNT, BLDALPHA and BLDY.

#include <cstdint>
#include <cstring>

namespace reference {

class Picture {
 public:
  Picture(const uint8_t* io, const uint8_t* palette, const uint8_t* vram, const uint8_t* oam)
      : io_(io), pal_(palette), vram_(vram), oam_(oam) {}

  // Console colours of screen line `line` as the memory now stands.
  void line(uint32_t line, int grid, uint32_t layerMask, uint16_t out[240]) {
    const uint32_t dispcnt = r16(0), mode = dispcnt & 7;
    for (unsigned n = 2; n < 4; ++n) {
      if (!transformed(mode, n)) continue;
      Reference& r = refs_[n - 2];
      const uint32_t regs = n == 2 ? 0x20 : 0x30;
      const int32_t x = int32_t(r32(regs + 8) << 4) >> 4, y = int32_t(r32(regs + 12) << 4) >> 4;
      if (line == 0 || x != r.latchedX || y != r.latchedY) {
        r.latchedX = r.x = x;
        r.latchedY = r.y = y;
      }
      r.lineX = r.x;
      r.lineY = r.y;
      r.x += int16_t(r16(regs + 2));
      r.y += int16_t(r16(regs + 6));
    }

    // The sprites whose rows include this line (a short cut: the pixel test
    // below checks every condition again).
    spriteCount_ = 0;
    for (uint32_t s = 0; s < 128; ++s) {
      const uint8_t* e = oam_ + 8 * s;
      const uint32_t a0 = e[0] | e[1] << 8;
      const int32_t sy = int32_t(a0 & 0xFF);
      const int32_t row = sy >= 161 ? int32_t(line) + 256 - sy : int32_t(line) - sy;
      if (row >= 0 && row < 128) lineSprites_[spriteCount_++] = s;
    }

    const uint32_t step = grid == 1 ? 16 : grid == 2 ? 8 : 0;
    for (unsigned x = 0; x < 240; ++x) {
      const bool gridPixel = step && (line % step == 0 || x % step == 0);
      uint32_t top = colour(pal_, 0), second = 0;
      bool topTaken = false, secondTaken = false, blendTop = false;
      if (gridPixel) {
        top = 31;
        topTaken = secondTaken = true;
      }
      if (dispcnt & 0x80) {
        out[x] = uint16_t(gridPixel ? 31 : 0x7FFF);
        continue;
      }
      auto take = [&](uint32_t c, bool blends) {
        if (!topTaken) {
          top = c;
          topTaken = true;
          blendTop = blends;
          secondTaken = !blends;
        } else if (!secondTaken) {
          second = c;
          secondTaken = true;
        }
      };
      for (uint32_t p = 0; p < 4 && !secondTaken; ++p) {
        for (uint32_t i = 0; i < spriteCount_ && !secondTaken; ++i) {
          uint32_t c;
          bool blends;
          if (spritePixel(lineSprites_[i], p, x, line, layerMask, c, blends)) take(c, blends);
        }
        for (uint32_t n = 0; n < 4 && !secondTaken; ++n) {
          uint32_t c;
          bool blends;
          if (backgroundPixel(n, p, x, line, layerMask, c, blends)) take(c, blends);
        }
      }
      out[x] = compose(top, second, blendTop && secondTaken);
    }
  }

 private:
  struct Reference {
    int32_t latchedX = 0, latchedY = 0, x = 0, y = 0, lineX = 0, lineY = 0;
  };

  uint32_t r16(uint32_t at) const { return uint32_t(io_[at] | io_[at + 1] << 8); }
  uint32_t r32(uint32_t at) const { return r16(at) | r16(at + 2) << 16; }
  static uint32_t colour(const uint8_t* base, uint32_t index) {
    return uint32_t(base[2 * index] | base[2 * index + 1] << 8) & 0x7FFF;
  }
  static uint32_t backgroundType(uint32_t mode, uint32_t n) {
    static const uint8_t types[8][4] = {{1, 1, 1, 1}, {1, 1, 2, 0}, {0, 0, 2, 2}, {0, 0, 4, 0},
                                        {0, 0, 3, 0}, {0, 0, 4, 0}, {},           {}};
    return types[mode][n];
  }
  static bool transformed(uint32_t mode, uint32_t n) { return backgroundType(mode, n) >= 2; }

  // Channels scaled by k / 16.
  static uint32_t scale(uint32_t c, uint32_t k) {
    return ((c & 31) * k >> 4) | (((c >> 5) & 31) * k >> 4) << 5 | (((c >> 10) & 31) * k >> 4) << 10;
  }

  uint16_t compose(uint32_t top, uint32_t second, bool blend) const {
    const uint32_t bldcnt = r16(0x50), mode = (bldcnt >> 6) & 3;
    const uint32_t y = r16(0x54) & 31, b = (r16(0x52) >> 8) & 31;
    if (mode == 2 && y >= 16) return 0x7FFF;
    if (mode == 3 && y >= 16) return 0;
    if (mode == 2 && y > 0) return uint16_t(top + scale(0x7FFF - top, y));
    if (mode == 3 && y > 0) return uint16_t(scale(top, 16 - y));
    if (mode == 0 || b == 0 || !blend) return uint16_t(top);
    if (b >= 16) return uint16_t(second);
    return uint16_t(scale(top, 16 - b) + scale(second, b));
  }

  bool spritePixel(uint32_t n, uint32_t priority, uint32_t x, uint32_t line, uint32_t layerMask, uint32_t& c,
                   bool& blends) const {
    const uint32_t dispcnt = r16(0);
    if (!(dispcnt & 0x1000) || !(layerMask & 0x1000)) return false;
    const uint8_t* e = oam_ + 8 * n;
    const uint32_t a0 = e[0] | e[1] << 8, a1 = e[2] | e[3] << 8, a2 = e[4] | e[5] << 8;
    if (((a2 >> 10) & 3) != priority) return false;
    static const uint8_t widths[16] = {8, 16, 32, 64, 16, 32, 32, 64, 8, 8, 16, 32};
    static const uint8_t heights[16] = {8, 16, 32, 64, 8, 8, 16, 32, 16, 32, 32, 64};
    const uint32_t size = (a0 >> 14) * 4 + (a1 >> 14);
    const int32_t w = widths[size], h = heights[size];
    if (!w) return false;
    const bool affine = a0 & 0x100, doubled = a0 & 0x200;
    const int32_t sx = int32_t(a1 & 0x1FF), sy = int32_t(a0 & 0xFF);
    const int32_t dw = doubled ? 2 * w : w, dh = doubled ? 2 * h : h;
    if (doubled && !affine) return false;
    if (sy == 160 || (sy >= 161 && ((sy + dh) & 255) >= 161)) return false;
    if (sx >= 240 && sx < 384) return false;
    if (sx >= 384 && ((sx + dw) & 511) >= 384) return false;

    const int32_t row = sy >= 161 ? int32_t(line) + 256 - sy : int32_t(line) - sy;
    const int32_t column = int32_t(x) - (sx >= 384 ? sx - 512 : sx);
    if (row < 0 || row >= dh || column < 0 || column >= dw) return false;

    // Texture position through the matrix, in half pixels from the centre.
    int32_t pa = 0x100, pb = 0, pc = 0, pd = 0x100;
    if (affine) {
      const uint8_t* g = oam_ + 32 * ((a1 >> 9) & 31);
      pa = int16_t(g[6] | g[7] << 8);
      pb = int16_t(g[14] | g[15] << 8);
      pc = int16_t(g[22] | g[23] << 8);
      pd = int16_t(g[30] | g[31] << 8);
    } else {
      if (a1 & 0x1000) pa = -0x100;
      if (a1 & 0x2000) pd = -0x100;
    }
    const int32_t dx = 2 * column - dw + 1, dy = 2 * row - dh + 1;
    const int32_t tx = (((pa * dx + pb * dy) >> 1) + (w - 1) * 128) >> 8;
    const int32_t ty = (((pc * dx + pd * dy) >> 1) + (h - 1) * 128) >> 8;
    if (tx < 0 || ty < 0 || tx >= w || ty >= h) return false;

    const bool colours256 = a0 & 0x2000;
    const uint32_t tileBytes = colours256 ? 64 : 32;
    // 1-D: tile rows follow each other; 2-D: they lie 1 KB apart.
    const uint32_t rowBytes = dispcnt & 0x40 ? uint32_t(w / 8) * tileBytes : 1024;
    const uint32_t inTile = colours256 ? (ty & 7) * 8 + (tx & 7) : (ty & 7) * 4 + (tx & 7) / 2;
    const uint32_t at = ((a2 & 0x3FF) * 32 + (ty >> 3) * rowBytes + (tx >> 3) * tileBytes + inTile) & 0x7FFF;
    uint32_t index = vram_[0x10000 + at];
    if (!colours256) index = tx & 1 ? index >> 4 : index & 15;
    if (!index) return false;
    c = colour(pal_ + 512, colours256 ? index : (a2 >> 12) * 16 + index);
    const uint32_t bldcnt = r16(0x50);
    blends = (a0 & 0x400) || (((bldcnt >> 6) & 3) == 1 && (bldcnt & 0x10));
    return true;
  }

  bool backgroundPixel(uint32_t n, uint32_t priority, uint32_t x, uint32_t line, uint32_t layerMask,
                       uint32_t& c, bool& blends) const {
    const uint32_t dispcnt = r16(0), mode = dispcnt & 7, type = backgroundType(mode, n);
    const uint32_t layer = 0x100u << n;
    const uint32_t control = r16(0x08 + 2 * n);
    if (!type || !(dispcnt & layer) || !(layerMask & layer) || (control & 3) != priority) return false;
    const uint32_t mapBase = (control >> 8 & 31) * 2048, charBase = (control >> 2 & 3) * 16384;
    blends = type <= 2 && (r16(0x50) >> (8 + n) & 1);
    uint32_t index;
    if (type == 1) {
      const uint32_t width = control & 0x4000 ? 512 : 256, height = control & 0x8000 ? 512 : 256;
      const uint32_t px = (x + (r16(0x10 + 4 * n) & 0x1FF)) % width;
      const uint32_t py = (line + (r16(0x12 + 4 * n) & 0x1FF)) % height;
      // Screen blocks of 32 x 32 entries: right, then below.
      const uint32_t block = (px >= 256 ? 1 : 0) + (py >= 256 ? (width == 512 ? 2 : 1) : 0);
      const uint32_t entryAt = mapBase + block * 2048 + 2 * ((py / 8 % 32) * 32 + px / 8 % 32);
      const uint32_t entry = vram_[entryAt] | vram_[entryAt + 1] << 8;
      const uint32_t tx = entry & 0x400 ? 7 - px % 8 : px % 8, ty = entry & 0x800 ? 7 - py % 8 : py % 8;
      if (control & 0x80) {
        const uint32_t at = charBase + (entry & 0x3FF) * 64 + ty * 8 + tx;
        if (at >= 0x10000) return false;
        index = vram_[at];
      } else {
        const uint32_t at = charBase + (entry & 0x3FF) * 32 + ty * 4 + tx / 2;
        if (at >= 0x10000) return false;
        index = tx & 1 ? vram_[at] >> 4 : vram_[at] & 15;
        if (index) index += (entry >> 12) * 16;
      }
    } else {
      const Reference& r = refs_[n - 2];
      const uint32_t regs = n == 2 ? 0x20 : 0x30;
      const int32_t px = (r.lineX + int32_t(x) * int16_t(r16(regs))) >> 8;
      const int32_t py = (r.lineY + int32_t(x) * int16_t(r16(regs + 4))) >> 8;
      if (type == 2) {
        const int32_t size = 128 << (control >> 14);
        int32_t mx = px, my = py;
        if (control & 0x2000) {
          mx &= size - 1;
          my &= size - 1;
        } else if (mx < 0 || my < 0 || mx >= size || my >= size) {
          return false;
        }
        const uint32_t tile = vram_[mapBase + uint32_t(my / 8 * (size / 8) + mx / 8)];
        index = vram_[charBase + tile * 64 + uint32_t(my % 8 * 8 + mx % 8)];
      } else {
        const int32_t width = mode == 5 ? 160 : 240, height = mode == 5 ? 128 : 160;
        if (px < 0 || py < 0 || px >= width || py >= height) return false;
        const uint32_t page = mode != 3 && (dispcnt & 0x10) ? 0xA000 : 0;
        if (type == 3) {
          index = vram_[page + uint32_t(py * 240 + px)];
        } else {
          c = colour(vram_ + page, uint32_t(py * width + px));
          return true;
        }
      }
    }
    if (!index) return false;
    c = colour(pal_, index);
    return true;
  }

  const uint8_t *io_, *pal_, *vram_, *oam_;
  Reference refs_[2];
  uint32_t lineSprites_[128];
  uint32_t spriteCount_ = 0;
};

}  // namespace reference
