// Scanline renderer: line set-up, backgrounds and the composition of a line.
// Sprites are in sprites.cpp.

#include "core/render.h"

#include "core/video.h"

uint32_t gTopColour[kScreenWidth];
uint32_t gSecondColour[kScreenWidth];
uint32_t gTopTaken[kScreenWidth];
uint32_t gSecondTaken[kScreenWidth];
uint32_t gBlendTop[kScreenWidth];
uint32_t gClaimCount;
uint32_t gLayerMask = kAllLayers;
constinit ConfigOption<i32> gGridOption("grid", 0);

const uint8_t gBackgroundTypes[8][4] = {
    {kTextBackground, kTextBackground, kTextBackground, kTextBackground},
    {kTextBackground, kTextBackground, kAffineBackground, kNoBackground},
    {kNoBackground, kNoBackground, kAffineBackground, kAffineBackground},
    {kNoBackground, kNoBackground, kDirectColour, kNoBackground},
    {kNoBackground, kNoBackground, kPaletteBitmap, kNoBackground},
    {kNoBackground, kNoBackground, kDirectColour, kNoBackground},
    {},
    {},
};

BackgroundRecord gBackgrounds[4];
BackgroundRecord* gBackgroundLists[4];

namespace {

// I/O register offsets.
constexpr uint32_t kDispcnt = 0x00;
constexpr uint32_t kBgControl = 0x08;
constexpr uint32_t kBgScroll = 0x10;
constexpr uint32_t kBldcnt = 0x50;
constexpr uint32_t kBldalpha = 0x52;
constexpr uint32_t kBldy = 0x54;

// Backgrounds see only the first 64 KB of VRAM; tile data beyond it reads as
// transparent rather than past the end of VRAM.
constexpr uint32_t kBackgroundVram = 0x10000;

constexpr uint32_t kRed = 31;

// Registers BGxX/BGxY hold 28-bit signed references.
int32_t reference(uint32_t raw) { return int32_t(raw << 4) >> 4; }

inline bool bothTaken(unsigned x) { return gSecondTaken[x] != 0; }

}  // namespace

void Video::renderLine(uint32_t screenLine) {
  if (screenLine >= kScreenHeight || !io || gScreenBitmap.height() < kScreenHeight ||
      gScreenBitmap.width() < kScreenWidth)
    return;
  const uint32_t mode = reg16(kDispcnt) & 7;
  uint32_t source = screenLine;
  if (mode == 5) {
    // The 128-line picture sits in the middle; the lines around it keep
    // whatever they held.
    if (screenLine < 16 || screenLine >= 144) return;
    source = screenLine - 16;
  }

  const uint32_t backdrop = paletteColour(palette, 0);
  for (unsigned x = 0; x < kScreenWidth; ++x) {
    gTopColour[x] = backdrop;
    gSecondColour[x] = 0;
    gTopTaken[x] = gSecondTaken[x] = gBlendTop[x] = 0;
  }
  gClaimCount = 0;

  const i32 grid = gGridOption.value();
  const uint32_t step = grid == 1 ? 16 : grid == 2 ? 8 : 0;
  if (step) {
    const bool fullLine = screenLine % step == 0;
    for (unsigned x = 0; x < kScreenWidth; x += fullLine ? 1 : step) {
      gTopColour[x] = kRed;
      gTopTaken[x] = gSecondTaken[x] = 1;
      gClaimCount += 2;
    }
  }

  // A full grid line draws nothing, but the state carried from line to line
  // (sprite lists, affine reference points) must still move on.
  lineInSequence_ = source != 0 && source == lastLine_ + 1;
  if (!lineInSequence_) rebuildActiveSprites(source);
  setupBackgrounds(source);
  updateSprites(source);
  renderScanline(source);
  lastLine_ = source;

  gScreenBitmap.lock(2);
  compositeLine(screenLine);
  gScreenBitmap.unlock();
}

void Video::setupBackgrounds(uint32_t line) {
  for (auto& list : gBackgroundLists) list = nullptr;
  const uint32_t dispcnt = reg16(kDispcnt);
  const uint32_t mode = dispcnt & 7;
  const uint32_t bldcnt = reg16(kBldcnt);

  for (int n = 3; n >= 0; --n) {
    BackgroundRecord& bg = gBackgrounds[n];
    const uint32_t type = gBackgroundTypes[mode][n];
    const uint32_t control = reg16(kBgControl + 2 * n);

    if (type == kAffineBackground) {
      const uint32_t regs = n == 2 ? 0x20 : 0x30;
      bg.pa = int16_t(reg16(regs + 0));
      bg.pb = int16_t(reg16(regs + 2));
      bg.pc = int16_t(reg16(regs + 4));
      bg.pd = int16_t(reg16(regs + 6));
      const int32_t rx = reference(reg32(regs + 8));
      const int32_t ry = reference(reg32(regs + 12));
      if (line == 0 || rx != bg.latchedX || ry != bg.latchedY) {
        bg.latchedX = bg.currentX = rx;
        bg.latchedY = bg.currentY = ry;
        bg.latchLine = line;
      } else if (!lineInSequence_) {
        const int32_t lines = int32_t(line) - int32_t(bg.latchLine);
        bg.currentX = bg.latchedX + lines * bg.pb;
        bg.currentY = bg.latchedY + lines * bg.pd;
      }
      // The reference moves on every line, drawn or not.
      bg.lineX = bg.currentX;
      bg.lineY = bg.currentY;
      bg.currentX += bg.pb;
      bg.currentY += bg.pd;
    }

    const uint32_t layer = kLayerBg0 << n;
    if (type == kNoBackground || !(dispcnt & layer) || !(gLayerMask & layer)) continue;

    bg.colours256 = (control & 0x80) != 0;
    bg.type = type;
    bg.affine = type == kAffineBackground;
    bg.next = gBackgroundLists[control & 3];
    gBackgroundLists[control & 3] = &bg;
    if (type == kTextBackground || type == kAffineBackground) {
      bg.mapBase = (control & 0x1F00) * 8;
      bg.characterBase = (control & 12) << 12;
      bg.blend = (bldcnt >> (8 + n)) & 1;
    } else {
      bg.blend = false;
    }
    if (type == kTextBackground) {
      bg.widthMask = control & 0x4000 ? 511 : 255;
      bg.heightMask = control & 0x8000 ? 511 : 255;
      bg.hscroll = reg16(kBgScroll + 4 * n) & 0x1FF;
      bg.vscroll = reg16(kBgScroll + 4 * n + 2) & 0x1FF;
    } else if (type == kAffineBackground) {
      bg.widthMask = bg.heightMask = (128u << (control >> 14)) - 1;
      bg.mapRowShift = (control >> 14) + 4;
      bg.wrap = (control & 0x2000) != 0;
    }
  }
}

void Video::renderScanline(uint32_t line) {
  const uint32_t dispcnt = reg16(kDispcnt);
  const uint32_t bldcnt = reg16(kBldcnt);
  const uint32_t parity = line & 1;
  for (auto& counts : gActiveSpriteCount) counts[parity ^ 1] = 0;

  for (uint32_t p = 0; p < 4; ++p) {
    // Sprites carried from the line before merged with those starting here,
    // by ascending number.
    SpriteRecord** active = gActiveSprites[p][parity];
    const uint32_t activeCount = gActiveSpriteCount[p][parity];
    uint32_t a = 0;
    SpriteRecord* started = line < kScreenHeight ? gSpriteStartLists[p][line] : nullptr;
    while (a < activeCount || started) {
      SpriteRecord* sprite;
      if (a < activeCount && (!started || active[a]->number <= started->number)) {
        sprite = active[a++];
      } else {
        sprite = started;
        started = started->next;
        sprite->flags |= kSpriteActive;
      }
      const int32_t row = sprite->y >= 161 ? int32_t(line) + 256 - int32_t(sprite->y)
                                           : int32_t(line) - int32_t(sprite->y);
      const int32_t height = int32_t(sprite->displayHeight);
      if (row >= 0 && row < height) drawSprite(*sprite, row, dispcnt, bldcnt);
      if (line < kScreenHeight - 1 && row >= 0 && row < height - 1) {
        gActiveSprites[p][parity ^ 1][gActiveSpriteCount[p][parity ^ 1]++] = sprite;
      } else {
        sprite->flags &= ~kSpriteActive;
      }
    }

    for (const BackgroundRecord* bg = gBackgroundLists[p]; bg; bg = bg->next) {
      if (gClaimCount >= 2 * kScreenWidth) break;
      switch (bg->type) {
        case kTextBackground: drawTextBackground(*bg, line); break;
        case kAffineBackground: drawAffineBackground(*bg); break;
        default: drawBitmapBackground(*bg, line, dispcnt); break;
      }
    }
  }
}

void Video::drawTextBackground(const BackgroundRecord& bg, uint32_t line) {
  const uint32_t py = (line + bg.vscroll) & bg.heightMask;
  const uint32_t mapRow = py >> 3;
  // The lower half of a tall map is the next screen block for a 256-pixel
  // wide map, the block after next for a 512-pixel one.
  const uint32_t rowEntries = (mapRow & 31) * 32 + ((mapRow & 32) ? (bg.widthMask == 511 ? 2048 : 1024) : 0);
  for (unsigned x = 0; x < kScreenWidth; ++x) {
    if (bothTaken(x)) continue;
    const uint32_t px = (x + bg.hscroll) & bg.widthMask;
    const uint32_t column = px >> 3;
    const uint32_t entryOffset = bg.mapBase + 2 * (rowEntries + (column & 32) * 32 + (column & 31));
    const uint32_t entry = uint32_t(vram[entryOffset]) | uint32_t(vram[entryOffset + 1]) << 8;
    const uint32_t tx = entry & 0x400 ? 7 - (px & 7) : px & 7;
    const uint32_t ty = entry & 0x800 ? 7 - (py & 7) : py & 7;
    uint32_t index;
    if (bg.colours256) {
      const uint32_t at = bg.characterBase + (entry & 0x3FF) * 64 + ty * 8 + tx;
      if (at >= kBackgroundVram) continue;
      index = vram[at];
      if (!index) continue;
    } else {
      const uint32_t at = bg.characterBase + (entry & 0x3FF) * 32 + ty * 4 + tx / 2;
      if (at >= kBackgroundVram) continue;
      const uint32_t nibble = tx & 1 ? vram[at] >> 4 : vram[at] & 15;
      // Transparency is the tile's own index 0, whatever the palette bank.
      if (!nibble) continue;
      index = nibble + ((entry >> 8) & 0xF0);
    }
    takeColour(x, paletteColour(palette, index), bg.blend);
  }
}

void Video::drawAffineBackground(const BackgroundRecord& bg) {
  int32_t u = bg.lineX;
  int32_t v = bg.lineY;
  const int32_t mask = int32_t(bg.widthMask);
  for (unsigned x = 0; x < kScreenWidth; ++x, u += bg.pa, v += bg.pc) {
    if (bothTaken(x)) continue;
    int32_t px = u >> 8;
    int32_t py = v >> 8;
    if (bg.wrap) {
      px &= mask;
      py &= mask;
    } else if (px < 0 || py < 0 || px > mask || py > mask) {
      continue;
    }
    const uint32_t tile = vram[bg.mapBase + (uint32_t(py >> 3) << bg.mapRowShift) + ((px >> 3) & 127)];
    const uint32_t index = vram[bg.characterBase + tile * 64 + (py & 7) * 8 + (px & 7)];
    if (index) takeColour(x, paletteColour(palette, index), bg.blend);
  }
}

void Video::drawBitmapBackground(const BackgroundRecord& bg, uint32_t line, uint32_t dispcnt) {
  const uint32_t mode = dispcnt & 7;
  const uint32_t page = dispcnt & 0x10 ? 0xA000 : 0;
  if (bg.type == kPaletteBitmap) {
    const uint8_t* row = vram + page + line * 240;
    for (unsigned x = 0; x < kScreenWidth; ++x)
      if (!bothTaken(x) && row[x]) takeColour(x, paletteColour(palette, row[x]), false);
  } else if (mode == 3) {
    const uint8_t* row = vram + line * 480;
    for (unsigned x = 0; x < kScreenWidth; ++x)
      if (!bothTaken(x)) takeColour(x, paletteColour(row, x), false);
  } else {
    // Mode 5: 160 pixels wide, in the middle of the line.
    const uint8_t* row = vram + page + line * 320;
    for (unsigned x = 40; x < 200; ++x)
      if (!bothTaken(x)) takeColour(x, paletteColour(row, x - 40), false);
  }
}

void Video::compositeLine(uint32_t screenLine) {
  const uint16_t* colours = presentMode == 1 ? fullScreenColours : debuggerColours;
  uint16_t* out = gScreenBitmap.rowData(screenLine);
  const uint32_t mode = (reg16(kBldcnt) >> 6) & 3;
  const uint32_t y = reg16(kBldy) & 31;
  const uint32_t b = (reg16(kBldalpha) >> 8) & 31;

  if ((mode == 2 || mode == 3) && y >= 16) {
    const uint16_t pixel = colours[mode == 2 ? 0x7FFF : 0];
    for (unsigned x = 0; x < kScreenWidth; ++x) out[x] = pixel;
  } else if (mode == 2 && y >= 1) {
    for (unsigned x = 0; x < kScreenWidth; ++x) {
      const uint32_t c = gTopColour[x];
      out[x] = colours[c + fade(y, 0x7FFF - c)];
    }
  } else if (mode == 3 && y >= 1) {
    for (unsigned x = 0; x < kScreenWidth; ++x) out[x] = colours[fade(16 - y, gTopColour[x])];
  } else if (mode == 0 || b == 0) {
    for (unsigned x = 0; x < kScreenWidth; ++x) out[x] = colours[gTopColour[x]];
  } else {
    // Alpha: top x (16 - B) / 16 + second x B / 16; B = 16 shows the second.
    for (unsigned x = 0; x < kScreenWidth; ++x) {
      const uint32_t top = gTopColour[x];
      if (!(gBlendTop[x] && gSecondTaken[x])) {
        out[x] = colours[top];
      } else if (b >= 16) {
        out[x] = colours[gSecondColour[x]];
      } else {
        out[x] = colours[fade(16 - b, top) + fade(b, gSecondColour[x])];
      }
    }
  }
}
