#pragma once
// Lines drawn before, each kept with what it was drawn from, so that a line
// whose inputs are as they were is written out again without being drawn.
//
// A line's inputs are the registers it reads, the palette, OAM, the VRAM it
// read, the layer mask, the grid and the affine reference points carried
// into it.  The small ones are compared whole; of VRAM only the words the
// line actually read are kept, with their values, and compared again.  The
// comparison is exact whoever wrote the memory (guest stores, DMA, the
// debugger, running backwards), since nothing is assumed about writers.
// The colour table is applied afresh each time a line is written out.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/render.h"

// Everything but VRAM that a drawn line depends on.
struct LineInputs {
  uint8_t registers[64];  // DISPCNT, BG0CNT-BG3Y, BLDCNT-BLDY
  int32_t references[4];  // BG2 X, Y and BG3 X, Y of this line (0 unless transformed)
  uint32_t layerMask;
  int32_t grid;
  uint32_t paletteGeneration;
  uint32_t oamGeneration;

  bool operator==(const LineInputs& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

// The VRAM a line read: aligned words, and whole spans for bitmap rows.
class VramReads {
 public:
  static constexpr uint32_t kMaxWords = 4096;
  static constexpr uint32_t kMaxSpans = 12;

  // Recording, while the line is drawn; not recording, it is full from the
  // start and the line is not kept.
  void begin(bool record) {
    count_ = record ? 0 : kMaxWords;
    spanCount_ = record ? 0 : kMaxSpans;
    overflow_ = !record;
    recent_[0] = recent_[1] = ~0u;
  }
  void word(uint32_t offset) {
    offset &= ~3u;
    if (offset == recent_[0] || offset == recent_[1]) return;
    recent_[1] = recent_[0];
    recent_[0] = offset;
    if (count_ == kMaxWords) {
      overflow_ = true;
      return;
    }
    scratch_[count_++] = offset;
  }
  // Room for `count` more words, written straight in and then committed;
  // nullptr when the record is full (the line is then not kept).
  uint32_t* reserve(uint32_t count) {
    if (kMaxWords - count_ < count) {
      overflow_ = true;
      return nullptr;
    }
    return scratch_ + count_;
  }
  void commit(const uint32_t* end) { count_ = uint32_t(end - scratch_); }
  void span(uint32_t offset, uint32_t bytes) {
    if (spanCount_ == kMaxSpans) {
      overflow_ = true;
      return;
    }
    spans_[spanCount_++] = {offset, bytes};
  }
  bool overflowed() const { return overflow_; }

  // What was recorded, with the values VRAM holds now (the line just drawn).
  struct Kept {
    std::vector<uint32_t> offsets, values;
    struct Span {
      uint32_t offset, bytes;
    };
    std::vector<Span> spans;
    std::vector<uint8_t> spanBytes;

    bool unchanged(const uint8_t* vram) const;
  };
  void keep(const uint8_t* vram, Kept& kept) const;

 private:
  uint32_t scratch_[kMaxWords];
  uint32_t count_ = 0;
  Kept::Span spans_[kMaxSpans];
  uint32_t spanCount_ = 0;
  uint32_t recent_[2] = {~0u, ~0u};
  bool overflow_ = false;
};

struct CachedLine {
  bool valid = false;  // its reads are kept: it may be written out again
  uint32_t version = 0;  // counts the times its colours were composed
  LineInputs inputs;     // what it was last drawn from, kept or not
  VramReads::Kept reads;
  uint16_t colours[kScreenWidth];  // console colours as composed
};

struct LineCache {
  CachedLine lines[kScreenHeight];
  VramReads reads;
  uint8_t paletteShadow[1024];
  uint32_t paletteGeneration = 0;
  uint32_t oamGeneration = 0;

  void clear() {
    for (CachedLine& line : lines) line.valid = false;
    ++paletteGeneration;
    ++oamGeneration;
  }
  // Bumps the generation when the palette differs from its last copy.
  uint32_t watchPalette(const uint8_t* palette) {
    if (std::memcmp(palette, paletteShadow, sizeof paletteShadow) != 0) {
      std::memcpy(paletteShadow, palette, sizeof paletteShadow);
      ++paletteGeneration;
    }
    return paletteGeneration;
  }
};
