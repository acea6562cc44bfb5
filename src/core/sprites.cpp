// Scanline renderer: sprite decoding, the per-line sprite lists and drawing.
//
// Sprites are decoded only when their OAM attributes change.  Each decoded
// sprite sits in the start-line list of its priority; from the line it starts
// on it is carried from line to line in the active arrays, so a line touches
// only the sprites that start on it or continue from the line before.

#include <algorithm>

#include "core/linecache.h"
#include "core/render.h"
#include "core/video.h"
#include "general/base.h"

SpriteRecord gSprites[128];
const uint8_t gSpriteWidths[16] = {8, 16, 32, 64, 16, 32, 32, 64, 8, 8, 16, 32, 0, 0, 0, 0};
const uint8_t gSpriteHeights[16] = {8, 16, 32, 64, 8, 8, 16, 32, 16, 32, 32, 64, 0, 0, 0, 0};
SpriteRecord* gSpriteStartLists[4][kScreenHeight];
SpriteRecord* gActiveSprites[4][2][128];
uint32_t gActiveSpriteCount[4][2];
uint8_t gOamShadow[1024];
const uint8_t* gOamEntries[128];
const SpriteMatrix gFlipMatrices[4] = {
    {0x100, 0, 0, 0x100},
    {-0x100, 0, 0, 0x100},
    {0x100, 0, 0, -0x100},
    {-0x100, 0, 0, -0x100},
};
const uint16_t* gSpriteOffsetTables[3][16];

namespace {

constexpr uint32_t kDispcnt = 0x00;
constexpr uint32_t kObjVramMask = 0x7FFF;  // sprite character data wraps in its 32 KB

// Sum over the twelve sizes of width x height.
constexpr uint32_t kOffsetCells = 11328;
uint16_t offsetPool[3][kOffsetCells];

// log2 of tiles per sprite row in 1-D mapping, by size index.
constexpr uint8_t kRowShift1d[12] = {0, 1, 2, 3, 1, 2, 2, 3, 0, 0, 1, 2};

uint32_t startLine(const SpriteRecord& s) { return s.y >= 161 ? 0 : s.y; }

// The sprite's row on a line (negative before it starts).
int32_t spriteRow(const SpriteRecord& s, uint32_t line) {
  return s.y >= 161 ? int32_t(line) + 256 - int32_t(s.y) : int32_t(line) - int32_t(s.y);
}

uint16_t halfword(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void unlinkStart(SpriteRecord& s) {
  if (s.flags & kSpriteUnlisted) return;
  if (s.previous)
    s.previous->next = s.next;
  else
    gSpriteStartLists[s.priority][startLine(s)] = s.next;
  if (s.next) s.next->previous = s.previous;
  s.next = s.previous = nullptr;
  s.flags |= kSpriteUnlisted;
}

void linkStart(SpriteRecord& s) {
  SpriteRecord** head = &gSpriteStartLists[s.priority][startLine(s)];
  SpriteRecord* previous = nullptr;
  SpriteRecord* at = *head;
  while (at && at->number < s.number) {
    previous = at;
    at = at->next;
  }
  s.previous = previous;
  s.next = at;
  if (previous)
    previous->next = &s;
  else
    *head = &s;
  if (at) at->previous = &s;
  s.flags &= ~kSpriteUnlisted;
}

}  // namespace

void Video::buildSpriteOffsetTables() {
  for (unsigned mapping = 0; mapping < 3; ++mapping) {
    uint16_t* cell = offsetPool[mapping];
    for (unsigned size = 0; size < 16; ++size) {
      const unsigned w = gSpriteWidths[size], h = gSpriteHeights[size];
      if (!w) {
        gSpriteOffsetTables[mapping][size] = nullptr;
        continue;
      }
      const unsigned s = mapping == kMapping1d ? kRowShift1d[size] : mapping == kMapping2d256 ? 4 : 5;
      gSpriteOffsetTables[mapping][size] = cell;
      for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
          *cell++ = uint16_t(((y >> 3) << (s + 6)) + (y & 7) * 8 + (x >> 3) * 64 + (x & 7));
    }
  }
}

void Video::resetRenderer() {
  for (uint32_t n = 0; n < 128; ++n) {
    gSprites[n] = SpriteRecord{};
    gSprites[n].number = n;
    gSprites[n].flags = kSpriteUnlisted;
  }
  for (auto& lists : gSpriteStartLists)
    for (auto& head : lists) head = nullptr;
  for (auto& counts : gActiveSpriteCount) counts[0] = counts[1] = 0;
  for (auto& bg : gBackgrounds) bg = BackgroundRecord{};
  std::memset(gOamShadow, 0, sizeof gOamShadow);
  buildSpriteOffsetTables();
  gLayerMask = kAllLayers;
  spritesStale_ = true;
  lastLine_ = ~0u;
  cache_->clear();
}

void Video::removeActive(SpriteRecord& sprite, uint32_t parity) {
  if (!(sprite.flags & kSpriteActive)) return;
  sprite.flags &= ~kSpriteActive;
  for (uint32_t p = 0; p < 4; ++p) {
    SpriteRecord** list = gActiveSprites[p][parity];
    uint32_t& count = gActiveSpriteCount[p][parity];
    for (uint32_t i = 0; i < count; ++i)
      if (list[i] == &sprite) {
        for (uint32_t j = i + 1; j < count; ++j) list[j - 1] = list[j];
        --count;
        return;
      }
  }
  CHECK(false);  // marked active but in no active array
}

void Video::insertActive(SpriteRecord& sprite, uint32_t parity) {
  SpriteRecord** list = gActiveSprites[sprite.priority][parity];
  uint32_t& count = gActiveSpriteCount[sprite.priority][parity];
  uint32_t i = count;
  while (i > 0 && list[i - 1]->number > sprite.number) {
    list[i] = list[i - 1];
    --i;
  }
  list[i] = &sprite;
  ++count;
  sprite.flags |= kSpriteActive;
}

void Video::rebuildActiveSprites(uint32_t line) {
  const uint32_t parity = line & 1;
  for (auto& counts : gActiveSpriteCount) counts[parity] = 0;
  for (auto& sprite : gSprites) {
    sprite.flags &= ~kSpriteActive;
    if (sprite.flags & kSpriteUnlisted) continue;
    const int32_t row = spriteRow(sprite, line);
    if (startLine(sprite) < line && row >= 0 && row < int32_t(sprite.displayHeight))
      insertActive(sprite, parity);
  }
}

void Video::updateSprites(uint32_t line) {
  if (!(reg16(kDispcnt) & 0x1000)) return;
  if (!spritesStale_ && std::memcmp(oam, gOamShadow, kOamSize) == 0) return;
  for (uint32_t n = 0; n < 128; ++n) {
    if (spritesStale_ || std::memcmp(oam + 8 * n, gOamShadow + 8 * n, 6) != 0) {
      std::memcpy(gOamShadow + 8 * n, oam + 8 * n, 6);
      decodeSprite(n, line);
    }
  }
  // The affine parameters in between are read when drawing; keep them in the
  // shadow too so an unchanged OAM compares equal on the next line.
  std::memcpy(gOamShadow, oam, kOamSize);
  spritesStale_ = false;
  ++cache_->oamGeneration;
}

void Video::decodeSprite(uint32_t n, uint32_t line) {
  SpriteRecord& s = gSprites[n];
  const uint8_t* entry = gOamEntries[n];
  const uint32_t a0 = halfword(entry), a1 = halfword(entry + 2), a2 = halfword(entry + 4);

  const uint32_t y = a0 & 0xFF;
  const uint32_t x = a1 & 0x1FF;
  const bool affine = a0 & 0x100;
  const bool doubled = a0 & 0x200;
  const uint32_t sizeIndex = (a0 >> 14) * 4 + (a1 >> 14);
  const uint32_t w = gSpriteWidths[sizeIndex], h = gSpriteHeights[sizeIndex];
  const uint32_t scale = doubled ? 2 : 1;
  const bool shown = w != 0 && (x < 240 || x >= 384) && y != 160 &&
                     !(y >= 161 && ((y + h * scale) & 255) >= 161) &&
                     !(x >= 384 && ((x + w * scale) & 511) >= 384) && !(doubled && !affine);

  removeActive(s, line & 1);
  unlinkStart(s);
  if (!shown) return;

  s.x = x;
  s.y = y;
  s.flags = kSpriteUnlisted;
  if (doubled) s.flags |= kSpriteDouble;
  if (!(a0 & 0x2000)) s.flags |= kSprite16Colours;
  if (a0 & 0x400) s.flags |= kSpriteSemiTransparent;
  s.sizeIndex = sizeIndex;
  s.displayWidth = w * scale;
  s.displayHeight = h * scale;
  s.matrix = affine ? (a1 >> 9) & 31 : 128 + ((a1 >> 12) & 1) + 2 * ((a1 >> 13) & 1);
  s.priority = (a2 >> 10) & 3;
  s.tile = a2 & 0x3FF;
  s.paletteOffset = (a2 >> 12) * 16;
  s.characters = s.tile * 32;
  linkStart(s);

  // Already under way on this line: draw it from here on.
  const int32_t row = spriteRow(s, line);
  if (startLine(s) != line && row >= 1 && row < int32_t(s.displayHeight)) insertActive(s, line & 1);
}

void Video::startCarrying(uint32_t line) {
  for (auto& counts : gActiveSpriteCount) counts[(line & 1) ^ 1] = 0;
}

void Video::carrySprites(uint32_t line) {
  startCarrying(line);
  const uint32_t parity = line & 1;
  for (uint32_t p = 0; p < 4; ++p) {
    // Most lines of most pictures: none carried, none starting.
    if (gActiveSpriteCount[p][parity] == 0 && (line >= kScreenHeight || !gSpriteStartLists[p][line])) continue;
    spritesOfPriority(p, line, false, 0, 0);
  }
}

void Video::spritesOfPriority(uint32_t p, uint32_t line, bool draw, uint32_t dispcnt, uint32_t bldcnt) {
  // Sprites carried from the line before merged with those starting here,
  // by ascending number.
  const uint32_t parity = line & 1;
  SpriteRecord** active = gActiveSprites[p][parity];
  const uint32_t activeCount = gActiveSpriteCount[p][parity];
  SpriteRecord** next = gActiveSprites[p][parity ^ 1];
  uint32_t& nextCount = gActiveSpriteCount[p][parity ^ 1];
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
    const int32_t row = spriteRow(*sprite, line);
    const int32_t height = int32_t(sprite->displayHeight);
    if (draw && row >= 0 && row < height) drawSprite(*sprite, row, dispcnt, bldcnt);
    if (line < kScreenHeight - 1 && row >= 0 && row < height - 1) {
      next[nextCount++] = sprite;
    } else {
      sprite->flags &= ~kSpriteActive;
    }
  }
}

void Video::drawSprite(SpriteRecord& s, int32_t row, uint32_t dispcnt, uint32_t bldcnt) {
  if (!(dispcnt & 0x1000) || !(gLayerMask & kLayerObj)) return;
  const bool colours16 = s.flags & kSprite16Colours;
  const uint32_t paletteBase = colours16 ? s.paletteOffset : 0;
  const bool blends = (s.flags & kSpriteSemiTransparent) || (((bldcnt >> 6) & 3) == 1 && (bldcnt & 0x10));
  const int32_t width = gSpriteWidths[s.sizeIndex], height = gSpriteHeights[s.sizeIndex];
  const unsigned mapping = dispcnt & 0x40 ? kMapping1d : colours16 ? kMapping2d16 : kMapping2d256;
  const uint16_t* offsets = gSpriteOffsetTables[mapping][s.sizeIndex];

  // The sprite's columns on screen: from `column` on, `count` of them.
  const int32_t displayWidth = int32_t(s.displayWidth);
  int32_t column, count;
  unsigned screenX;
  if (s.x >= 384) {
    column = 512 - int32_t(s.x);
    count = displayWidth - column;
    screenX = 0;
  } else {
    column = 0;
    count = std::min<int32_t>(displayWidth, 240 - int32_t(s.x));
    screenX = s.x;
  }

  if (s.matrix >= 128) {
    // Flipped or not, a sprite row is one row of its tiles: eight pixels of
    // a tile row at a time.
    const uint32_t flip = s.matrix - 128;
    const int32_t ty = flip & 2 ? height - 1 - row : row;
    const uint16_t* rowOffsets = offsets + ty * width;
    for (int32_t i = 0; i < count;) {
      const int32_t c = column + i;
      const int32_t tx = flip & 1 ? width - 1 - c : c;
      // Pixels of this tile row left in the direction the row is walked; a
      // whole row (8) is drawn at once, in screen order.
      const int32_t span = std::min(count - i, flip & 1 ? (tx & 7) + 1 : 8 - (tx & 7));
      const uint32_t x0 = screenX + uint32_t(i);
      i += span;
      if (spanDone(x0, unsigned(span))) continue;
      const uint32_t k = rowOffsets[tx & ~7];
      if (colours16) {
        const uint32_t at = (s.characters + (k >> 1)) & kObjVramMask;
        reads_->word(0x10000 + at);
        const uint32_t pixels = load32(objVram + at);
        if (!pixels) continue;
        if (span == 8) {
          const __m128i indexes = nibblesToBytes(flip & 1 ? mirrorNibbles(pixels) : pixels);
          __m128i c[2];
          bankColours(16 + paletteBase / 16, indexes, c);
          drawEightColours(x0, indexes, blends, c);
          continue;
        }
        const uint32_t* bank = colours_ + 256 + paletteBase;
        auto colour = [bank](uint32_t index) { return bank[index]; };
        for (int32_t j = 0; j < span; ++j) {
          const int32_t bit = flip & 1 ? (tx & 7) - j : (tx & 7) + j;
          const uint32_t index = (pixels >> (4 * bit)) & 15;
          if (index && !done(x0 + j)) take(x0 + j, colour(index), blends);
        }
      } else {
        const uint32_t at = (s.characters + k) & kObjVramMask;
        reads_->word(0x10000 + at);
        reads_->word(0x10000 + at + 4);
        const uint64_t pixels = load64(objVram + at);
        if (!pixels) continue;
        const uint32_t* bank = colours_ + 256;
        auto colour = [bank](uint32_t index) { return bank[index]; };
        if (span == 8) {
          drawEight(x0, flip & 1 ? __builtin_bswap64(pixels) : pixels, blends, colour);
          continue;
        }
        for (int32_t j = 0; j < span; ++j) {
          const int32_t bit = flip & 1 ? (tx & 7) - j : (tx & 7) + j;
          const uint32_t index = uint32_t(pixels >> (8 * bit)) & 0xFF;
          if (index && !done(x0 + j)) take(x0 + j, colour(index), blends);
        }
      }
    }
    return;
  }

  const uint8_t* group = oam + 32 * s.matrix;
  const SpriteMatrix m = {int16_t(halfword(group + 6)), int16_t(halfword(group + 14)),
                          int16_t(halfword(group + 22)), int16_t(halfword(group + 30))};
  // Positions in half pixels from the sprite's centre.
  const int32_t dx = -(displayWidth >> 1) * 2 + 1 + column * 2;
  const int32_t dy = (row - int32_t(s.displayHeight >> 1)) * 2 + 1;
  int32_t u = (m.pa * dx + m.pb * dy) >> 1;
  int32_t v = (m.pc * dx + m.pd * dy) >> 1;
  for (int32_t i = 0; i < count; ++i, ++screenX, u += m.pa, v += m.pc) {
    if (done(screenX)) continue;
    const int32_t tx = (u + (width - 1) * 128) >> 8;
    const int32_t ty = (v + (height - 1) * 128) >> 8;
    if (tx < 0 || ty < 0 || tx >= width || ty >= height) continue;
    const uint32_t k = offsets[ty * width + tx];
    uint32_t index;
    if (colours16) {
      const uint32_t at = (s.characters + (k >> 1)) & kObjVramMask;
      reads_->word(0x10000 + at);
      const uint8_t byte = objVram[at];
      index = k & 1 ? byte >> 4 : byte & 15;
    } else {
      const uint32_t at = (s.characters + k) & kObjVramMask;
      reads_->word(0x10000 + at);
      index = objVram[at];
    }
    if (!index) continue;
    take(screenX, colours_[256 + paletteBase + index], blends);
  }
}
