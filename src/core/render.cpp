// Scanline renderer: line set-up, backgrounds, the composition of a line and
// the reuse of lines drawn before.  Sprites are in sprites.cpp.

#include "core/render.h"

#include <algorithm>
#include <smmintrin.h>

#include "core/linecache.h"
#include "core/video.h"

uint32_t gTopColour[kScreenWidth];
uint32_t gSecondColour[kScreenWidth];
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

constexpr uint32_t kForcedBlank = 0x80;

// Backgrounds see only the first 64 KB of VRAM; tile data beyond it reads as
// transparent rather than past the end of VRAM.
constexpr uint32_t kBackgroundVram = 0x10000;

constexpr uint32_t kRed = 31;
constexpr uint32_t kWhite = 0x7FFF;

// Registers BGxX/BGxY hold 28-bit signed references.
int32_t reference(uint32_t raw) { return int32_t(raw << 4) >> 4; }

// Backgrounds drawn through a matrix: affine maps and, in modes 3-5, the
// bitmap itself.
bool transformed(uint32_t type) {
  return type == kAffineBackground || type == kPaletteBitmap || type == kDirectColour;
}

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

}  // namespace

void Video::renderLine(uint32_t line) {
  if (line >= kScreenHeight || !io || gScreenBitmap.height() < kScreenHeight ||
      gScreenBitmap.width() < kScreenWidth)
    return;

  // The state carried from line to line (sprite lists, affine reference
  // points) moves on for every line, however it is then written out.
  lineInSequence_ = line != 0 && line == lastLine_ + 1;
  if (!lineInSequence_) rebuildActiveSprites(line);
  moveReferences(line);
  updateSprites(line);
  lastLine_ = line;

  LineInputs inputs;
  describeLine(inputs);
  CachedLine& cached = cache_->lines[line];
  if (lineCacheEnabled && cached.valid && cached.inputs == inputs && cached.reads.unchanged(vram)) {
    carrySprites(line);
    const uint16_t* table = presentMode == 1 ? fullScreenColours : debuggerColours;
    if (!rowHolds(line, cached.version, table)) {
      writeLine(line, cached.colours);
      rowWritten(line, cached.version, table);
    }
    return;
  }

  pictureChanged_ = true;
  std::memset(slots_, kSlotsFree, kScreenWidth);
  // The palette's colours, unless the palette and the colour table are as
  // they were when they were last worked out.
  const uint16_t* table = presentMode == 1 ? fullScreenColours : debuggerColours;
  const bool tableMoved = table != coloursTable_ || tableGeneration_ != coloursTableGeneration_;
  if (tableMoved || coloursGeneration_ != inputs.paletteGeneration) {
    coloursGeneration_ = inputs.paletteGeneration;
    coloursTable_ = table;
    coloursTableGeneration_ = tableGeneration_;
    convertPalette(tableMoved);
  }

  const i32 grid = gGridOption.value();
  const uint32_t step = grid == 1 ? 16 : grid == 2 ? 8 : 0;
  if (step) {
    const bool fullLine = line % step == 0;
    for (unsigned x = 0; x < kScreenWidth; x += fullLine ? 1 : step) {
      gTopColour[x] = withHost(kRed);
      slots_[x] = kTopOnly;
    }
  }

  // A line whose registers, palette or sprites moved since it was last drawn
  // (a scroll, a fade) is likely to move again: its reads are kept only once
  // it is drawn from the same inputs twice running.
  const bool sameInputs = cached.inputs == inputs;
  cache_->reads.begin(lineCacheEnabled && sameInputs);
  setupBackgrounds();
  if (reg16(kDispcnt) & kForcedBlank) {
    // The console shows white; the grid stays over it.
    carrySprites(line);
    for (unsigned x = 0; x < kScreenWidth; ++x)
      cached.colours[x] = uint16_t(slots_[x] ? gTopColour[x] : kWhite);
    writeLine(line, cached.colours);
  } else {
    // A full grid line draws nothing, but its sprites are still carried on.
    renderScanline(line);
    compositeLine(line);
  }
  rowWritten(line, ++cached.version, table);

  cached.valid = !cache_->reads.overflowed() && lineCacheEnabled;
  cached.inputs = inputs;
  if (cached.valid) cache_->reads.keep(vram, cached.reads);
}

void Video::convertPalette(bool all) {
  for (unsigned bank = 0; bank < 32; ++bank) {
    bool changed = all;
    for (unsigned i = 16 * bank; i < 16 * bank + 16; i += 8) {
      const __m128i stored = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(palette + 2 * i)),
                                           _mm_set1_epi16(0x7FFF));
      __m128i* kept = reinterpret_cast<__m128i*>(consoleColours_ + i);
      if (!all && _mm_movemask_epi8(_mm_cmpeq_epi16(stored, _mm_load_si128(kept))) == 0xFFFF) continue;
      changed = true;
      _mm_store_si128(kept, stored);
      // The host colours are read one by one, so only where the palette moved.
      for (unsigned j = i; j < i + 8; ++j) colours_[j] = withHost(consoleColours_[j]);
    }
    if (!changed) continue;
    // The bank's colours split into byte planes: each vector's four lanes
    // byte by byte, then the four vectors' groups side by side.
    const __m128i byBytes = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    __m128i g[4];
    for (unsigned k = 0; k < 4; ++k)
      g[k] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(colours_ + 16 * bank + 4 * k)), byBytes);
    const __m128i low01 = _mm_unpacklo_epi32(g[0], g[1]), low23 = _mm_unpacklo_epi32(g[2], g[3]);
    const __m128i high01 = _mm_unpackhi_epi32(g[0], g[1]), high23 = _mm_unpackhi_epi32(g[2], g[3]);
    __m128i* planes = reinterpret_cast<__m128i*>(bankBytes_[bank]);
    _mm_store_si128(planes + 0, _mm_unpacklo_epi64(low01, low23));
    _mm_store_si128(planes + 1, _mm_unpackhi_epi64(low01, low23));
    _mm_store_si128(planes + 2, _mm_unpacklo_epi64(high01, high23));
    _mm_store_si128(planes + 3, _mm_unpackhi_epi64(high01, high23));
  }
}

void Video::describeLine(LineInputs& inputs) {
  std::memset(&inputs, 0, sizeof inputs);
  std::memcpy(inputs.registers, io + kDispcnt, 2);
  std::memcpy(inputs.registers + 2, io + kBgControl, 0x40 - kBgControl);
  std::memcpy(inputs.registers + 2 + 0x40 - kBgControl, io + kBldcnt, 6);
  const uint32_t mode = reg16(kDispcnt) & 7;
  for (unsigned n = 2; n < 4; ++n) {
    if (!transformed(gBackgroundTypes[mode][n])) continue;
    inputs.references[2 * (n - 2)] = gBackgrounds[n].lineX;
    inputs.references[2 * (n - 2) + 1] = gBackgrounds[n].lineY;
  }
  inputs.layerMask = gLayerMask;
  inputs.grid = gGridOption.value();
  inputs.paletteGeneration = cache_->watchPalette(palette);
  inputs.oamGeneration = cache_->oamGeneration;
}

bool Video::rowHolds(uint32_t line, uint32_t version, const uint16_t* table) {
  if (gScreenBitmap.writeLocks() != screenWrites_) {
    for (RowStamp& r : rowStamps_) r = RowStamp{};
    return false;
  }
  const RowStamp& r = rowStamps_[line];
  return r.version == version && r.table == table && r.tableGeneration == tableGeneration_;
}

void Video::rowWritten(uint32_t line, uint32_t version, const uint16_t* table) {
  // This unit's own write counted once; any other write in between leaves
  // nothing known about the other rows.
  if (gScreenBitmap.writeLocks() != screenWrites_ + 1)
    for (RowStamp& r : rowStamps_) r = RowStamp{};
  rowStamps_[line] = RowStamp{version, table, tableGeneration_};
  screenWrites_ = gScreenBitmap.writeLocks();
}

void Video::writeLine(uint32_t line, const uint16_t* colours) {
  const uint16_t* table = presentMode == 1 ? fullScreenColours : debuggerColours;
  gScreenBitmap.lock(2);
  uint16_t* out = gScreenBitmap.rowData(line);
  for (unsigned x = 0; x < kScreenWidth; ++x) out[x] = table[colours[x]];
  gScreenBitmap.unlock();
}

void Video::moveReferences(uint32_t line) {
  // Only BG2 and BG3 are ever transformed.
  const uint32_t mode = reg16(kDispcnt) & 7;
  for (int n = 3; n >= 2; --n) {
    BackgroundRecord& bg = gBackgrounds[n];
    const uint32_t type = gBackgroundTypes[mode][n];
    if (transformed(type)) {
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
  }
}

void Video::setupBackgrounds() {
  for (auto& list : gBackgroundLists) list = nullptr;
  const uint32_t dispcnt = reg16(kDispcnt);
  const uint32_t mode = dispcnt & 7;
  const uint32_t bldcnt = reg16(kBldcnt);

  for (int n = 3; n >= 0; --n) {
    BackgroundRecord& bg = gBackgrounds[n];
    const uint32_t type = gBackgroundTypes[mode][n];
    const uint32_t control = reg16(kBgControl + 2 * n);

    const uint32_t layer = kLayerBg0 << n;
    if (type == kNoBackground || !(dispcnt & layer) || !(gLayerMask & layer)) continue;

    bg.colours256 = (control & 0x80) != 0;
    bg.type = type;
    bg.affine = transformed(type);
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
    } else {
      // The bitmap: 240 x 160 in modes 3 and 4, 160 x 128 in mode 5.
      bg.widthMask = (mode == 5 ? 160 : 240) - 1;
      bg.heightMask = (mode == 5 ? 128 : 160) - 1;
      bg.wrap = false;
    }
  }
}

void Video::renderScanline(uint32_t line) {
  const uint32_t dispcnt = reg16(kDispcnt);
  const uint32_t bldcnt = reg16(kBldcnt);
  startCarrying(line);
  for (uint32_t p = 0; p < 4; ++p) {
    spritesOfPriority(p, line, true, dispcnt, bldcnt);
    for (const BackgroundRecord* bg = gBackgroundLists[p]; bg; bg = bg->next) {
      if (lineDone()) break;
      switch (bg->type) {
        case kTextBackground: drawTextBackground(*bg, line); break;
        case kAffineBackground: drawAffineBackground(*bg); break;
        default:
          drawBitmapBackground(*bg, dispcnt);
          break;
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
  const uint32_t tileRow = py & 7;
  const bool blend = bg.blend;

  // The map row: one screen block's row of 32 entries, two for a wide map.
  for (uint32_t half = 0; half <= (bg.widthMask >> 8); ++half)
    reads_->span(bg.mapBase + 2 * (rowEntries + half * 1024), 64);
  // Then a word (two in 256 colours) for each tile row drawn.
  uint32_t* const logged = reads_->reserve(64);
  uint32_t* log = logged;

  // Each tile's row in VRAM, by whether the entry flips the tile vertically.
  const uint32_t rowAt[2] = {bg.characterBase + tileRow * (bg.colours256 ? 8 : 4),
                             bg.characterBase + (7 - tileRow) * (bg.colours256 ? 8 : 4)};
  // The map entry of a column: its screen block's row, then the next block's.
  const uint8_t* const mapRowAt = vram + bg.mapBase + 2 * rowEntries;
  // Held here: the log's stores could otherwise be taken to move it.
  const uint8_t* const tiles = vram;
  auto entryAt = [mapRowAt](uint32_t column) { return mapRowAt + 2 * ((column & 32) * 32 + (column & 31)); };

  // The walk along the line, made once for each depth and for a line drawn
  // on or not yet touched: one map entry and one row of its tile for each 8
  // pixels.
  auto walk = [&]<bool k256, bool kFresh, bool kLog>() __attribute__((always_inline)) {
    // `count` pixels from screen column at0, from column `first` of the tile
    // row on.
    auto tile = [&](unsigned at0, unsigned count, unsigned first, const uint8_t* mapEntry)
                    __attribute__((always_inline)) {
      if (!kFresh && spanDone(at0, count)) return;
      uint16_t entry;
      std::memcpy(&entry, mapEntry, 2);
      const bool mirrored = entry & 0x400;
      const uint32_t at = rowAt[(entry >> 11) & 1] + (entry & 0x3FF) * (k256 ? 64 : 32);
      if (at >= kBackgroundVram) return;
      // The tile row in screen order (mirrored when the entry says so), from
      // the span's first column on.
      if constexpr (k256) {
        if constexpr (kLog) {
          *log++ = at;
          *log++ = at + 4;
        }
        const uint64_t stored = load64(tiles + at);
        if (!stored) return;
        const uint64_t pixels = (mirrored ? __builtin_bswap64(stored) : stored) >> (8 * first);
        auto colour = [this](uint32_t index) { return colours_[index]; };
        if (count == 8) {
          drawEight(at0, pixels, blend, colour, kFresh);
        } else {
          drawSpan(
              at0, count, blend, [pixels](unsigned i) { return uint32_t(pixels >> (8 * i)) & 0xFF; }, colour);
        }
      } else {
        if constexpr (kLog) *log++ = at;
        const uint32_t stored = load32(tiles + at);
        if (!stored) return;
        const uint32_t pixels = (mirrored ? mirrorNibbles(stored) : stored) >> (4 * first);
        // Transparency is the tile's own index 0, whatever the bank.
        if (count == 8) {
          const __m128i indexes = nibblesToBytes(pixels);
          __m128i c[2];
          bankColours(entry >> 12, indexes, c);
          drawEightColours(at0, indexes, blend, c, kFresh);
        } else {
          const uint32_t* bank = colours_ + ((entry >> 8) & 0xF0);
          auto colour = [bank](uint32_t nibble) { return bank[nibble]; };
          drawSpan(
              at0, count, blend, [pixels](unsigned i) { return (pixels >> (4 * i)) & 15; }, colour);
        }
      }
    };
    // A partial span first when the scroll is not a multiple of 8, then whole
    // tiles, then what is left of the line.
    const uint32_t px = bg.hscroll & bg.widthMask;
    const unsigned first = px & 7;
    const uint32_t columnMask = bg.widthMask >> 3;
    uint32_t column = px >> 3;
    unsigned x = 0;
    if (first) {
      tile(0, 8 - first, first, entryAt(column));
      x = 8 - first;
      column = (column + 1) & columnMask;
    }
    // Within a screen block's row the entries follow one another: whole
    // tiles go in runs up to its end.
    while (x + 8 <= kScreenWidth) {
      const uint8_t* entry = entryAt(column);
      const unsigned run = std::min(32 - (column & 31), (kScreenWidth - x) / 8);
      for (const uint8_t* const end = entry + 2 * run; entry != end; entry += 2, x += 8) tile(x, 8, 0, entry);
      column = (column + run) & columnMask;
    }
    if (x < kScreenWidth) tile(x, kScreenWidth - x, 0, entryAt(column));
  };
  // A line that is not recorded leaves its reads out.
  auto walkAll = [&]<bool k256>() __attribute__((always_inline)) {
    const bool fresh = lineUntouched();
    if (logged) {
      if (fresh) walk.template operator()<k256, true, true>();
      else walk.template operator()<k256, false, true>();
    } else {
      if (fresh) walk.template operator()<k256, true, false>();
      else walk.template operator()<k256, false, false>();
    }
  };
  if (bg.colours256) walkAll.template operator()<true>();
  else walkAll.template operator()<false>();
  if (logged) reads_->commit(log);
}

void Video::drawAffineBackground(const BackgroundRecord& bg) {
  int32_t u = bg.lineX;
  int32_t v = bg.lineY;
  const int32_t mask = int32_t(bg.widthMask);
  for (unsigned x = 0; x < kScreenWidth; ++x, u += bg.pa, v += bg.pc) {
    if (done(x)) continue;
    int32_t px = u >> 8;
    int32_t py = v >> 8;
    if (bg.wrap) {
      px &= mask;
      py &= mask;
    } else if (px < 0 || py < 0 || px > mask || py > mask) {
      continue;
    }
    const uint32_t mapAt = bg.mapBase + (uint32_t(py >> 3) << bg.mapRowShift) + ((px >> 3) & 127);
    reads_->word(mapAt);
    const uint32_t at = bg.characterBase + vram[mapAt] * 64 + (py & 7) * 8 + (px & 7);
    reads_->word(at);
    const uint32_t index = vram[at];
    if (index) take(x, colours_[index], bg.blend);
  }
}

void Video::drawBitmapBackground(const BackgroundRecord& bg, uint32_t dispcnt) {
  const uint32_t mode = dispcnt & 7;
  const uint32_t base = mode != 3 && (dispcnt & 0x10) ? 0xA000 : 0;
  const bool direct = bg.type == kDirectColour;
  const uint32_t bytesPerPixel = direct ? 2 : 1;
  const int32_t width = int32_t(bg.widthMask) + 1, height = int32_t(bg.heightMask) + 1;
  const uint32_t pitch = uint32_t(width) * bytesPerPixel;

  // The colour of bitmap pixel (px, py); direct colours are all opaque.
  auto draw = [&](unsigned x, uint32_t at) {
    if (direct) {
      take(x, withHost(paletteColour(vram + at, 0)), false);
    } else if (vram[at]) {
      take(x, colours_[vram[at]], false);
    }
  };

  if (bg.pa == 0x100 && bg.pc == 0) {
    // Unrotated and unscaled: one stretch of a bitmap row.
    const int32_t py = bg.lineY >> 8;
    if (py < 0 || py >= height) return;
    const int32_t px0 = bg.lineX >> 8;
    const int32_t from = std::max(0, -px0), to = std::min<int32_t>(kScreenWidth, width - px0);
    if (from >= to) return;
    const uint32_t rowAt = base + uint32_t(py) * pitch;
    reads_->span(rowAt + uint32_t(px0 + from) * bytesPerPixel, uint32_t(to - from) * bytesPerPixel);
    for (int32_t x = from; x < to; ++x)
      if (!done(unsigned(x))) draw(unsigned(x), rowAt + uint32_t(px0 + x) * bytesPerPixel);
    return;
  }

  int32_t u = bg.lineX;
  int32_t v = bg.lineY;
  for (unsigned x = 0; x < kScreenWidth; ++x, u += bg.pa, v += bg.pc) {
    if (done(x)) continue;
    const int32_t px = u >> 8, py = v >> 8;
    // Outside the bitmap is transparent: it does not repeat.
    if (px < 0 || py < 0 || px >= width || py >= height) continue;
    const uint32_t at = base + uint32_t(py) * pitch + uint32_t(px) * bytesPerPixel;
    reads_->word(at);
    draw(x, at);
  }
}

bool Video::lineDone() const {
  for (unsigned x = 0; x < kScreenWidth; x += 8)
    if (!spanDone(x, 8)) return false;
  return true;
}

namespace {

// Eight console colours (16-bit lanes), each channel c x k >> 4 (k 1-15):
// what the fade tables hold, computed in place of eight table reads.
__m128i fadeEight(__m128i colours, uint32_t k) {
  const __m128i factor = _mm_set1_epi16(int16_t(k));
  const __m128i channel = _mm_set1_epi16(31);
  auto scaled = [&](__m128i c) {
    return _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(c, channel), factor), 4);
  };
  const __m128i r = scaled(colours);
  const __m128i g = scaled(_mm_srli_epi16(colours, 5));
  const __m128i b = scaled(_mm_srli_epi16(colours, 10));
  return _mm_or_si128(r, _mm_or_si128(_mm_slli_epi16(g, 5), _mm_slli_epi16(b, 10)));
}

// Eight of the 32-bit colour slots as 16-bit lanes.
__m128i eightColours(const uint32_t* from) {
  const __m128i mask = _mm_set1_epi32(0x7FFF);
  return _mm_packs_epi32(_mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), mask),
                         _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4)), mask));
}

__m128i choose(__m128i where, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(where, yes), _mm_andnot_si128(where, no));
}

}  // namespace

void Video::compositeLine(uint32_t line) {
  uint16_t* out = cache_->lines[line].colours;
  const uint32_t mode = (reg16(kBldcnt) >> 6) & 3;
  const uint32_t y = reg16(kBldy) & 31;
  const uint32_t b = (reg16(kBldalpha) >> 8) & 31;
  const __m128i backdrop = _mm_set1_epi16(int16_t(paletteColour(palette, 0)));
  // Each pixel is kept in console colours and written out in one go, eight
  // at a time: the choice of colour and the blend in vectors, the host
  // colour table read pixel by pixel.
  const uint16_t* table = presentMode == 1 ? fullScreenColours : debuggerColours;
  gScreenBitmap.lock(2);
  uint16_t* row = gScreenBitmap.rowData(line);
  auto compose = [&](auto colourOf) {
    for (unsigned x = 0; x < kScreenWidth; x += 8) {
      const __m128i slots = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(slots_ + x)),
                                              _mm_setzero_si128());
      const __m128i top =
          choose(_mm_cmpeq_epi16(slots, _mm_setzero_si128()), backdrop, eightColours(gTopColour + x));
      const __m128i c = colourOf(x, slots, top);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), c);
      row[x] = table[_mm_extract_epi16(c, 0)];
      row[x + 1] = table[_mm_extract_epi16(c, 1)];
      row[x + 2] = table[_mm_extract_epi16(c, 2)];
      row[x + 3] = table[_mm_extract_epi16(c, 3)];
      row[x + 4] = table[_mm_extract_epi16(c, 4)];
      row[x + 5] = table[_mm_extract_epi16(c, 5)];
      row[x + 6] = table[_mm_extract_epi16(c, 6)];
      row[x + 7] = table[_mm_extract_epi16(c, 7)];
    }
  };
  auto both = [](__m128i slots) { return _mm_cmpeq_epi16(slots, _mm_set1_epi16(kTopAndSecond)); };

  if ((mode == 2 || mode == 3) && y >= 16) {
    const __m128i all = _mm_set1_epi16(int16_t(mode == 2 ? kWhite : 0));
    compose([&](unsigned, __m128i, __m128i) { return all; });
  } else if (mode == 2 && y >= 1) {
    // No channel passes 31, so the lanes add without carries.
    const __m128i white = _mm_set1_epi16(int16_t(kWhite));
    compose([&](unsigned, __m128i, __m128i top) {
      return _mm_add_epi16(top, fadeEight(_mm_sub_epi16(white, top), y));
    });
  } else if (mode == 3 && y >= 1) {
    compose([&](unsigned, __m128i, __m128i top) { return fadeEight(top, 16 - y); });
  } else if (mode == 0 || b == 0) {
    // Unblended: the host colours come with the console ones.
    const __m128i backdropHost = _mm_set1_epi16(int16_t(colours_[0] >> 16));
    for (unsigned x = 0; x < kScreenWidth; x += 8) {
      const __m128i free = _mm_cmpeq_epi16(
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(slots_ + x)), _mm_setzero_si128()),
          _mm_setzero_si128());
      const __m128i* from = reinterpret_cast<const __m128i*>(gTopColour + x);
      const __m128i host = _mm_packus_epi32(_mm_srli_epi32(_mm_loadu_si128(from), 16),
                                            _mm_srli_epi32(_mm_loadu_si128(from + 1), 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), choose(free, backdrop, eightColours(gTopColour + x)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), choose(free, backdropHost, host));
    }
  } else if (b >= 16) {
    // Alpha with EVB 16 shows the second colour where the top blends.
    compose([&](unsigned x, __m128i slots, __m128i top) {
      return choose(both(slots), eightColours(gSecondColour + x), top);
    });
  } else {
    // Alpha: top x (16 - B) / 16 + second x B / 16.
    compose([&](unsigned x, __m128i slots, __m128i top) {
      const __m128i mixed =
          _mm_add_epi16(fadeEight(top, 16 - b), fadeEight(eightColours(gSecondColour + x), b));
      return choose(both(slots), mixed, top);
    });
  }
  gScreenBitmap.unlock();
}
