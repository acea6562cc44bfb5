#pragma once
// The video unit: colour and fade tables and the scanline renderer.

#include <emmintrin.h>
#include <tmmintrin.h>

#include <cstdint>
#include <cstring>
#include <optional>

#include <vector>

#include "core/arena.h"
#include "core/linecache.h"
#include "core/render.h"
#include "general/bitmap.h"
#include "general/config.h"

class Emulator;

// Countdown in cycles to the next video event.  Signed: a slice may run past
// the event, and the overshoot is taken from the next phase.  The emulator's
// own countdown lives in its machine state; this is its outside view, given
// out after every slice (and taken in when something outside changed it).
extern int32_t gVideoCycles;

// Line timing in cycles: the drawn part of a line and its H-blank (every
// line has both, V-blank lines too), and a whole line.  229 lines a frame.
struct LineTiming {
  int32_t hdraw, hblank, vblankLine;
};
LineTiming lineTiming();
constexpr uint32_t kLinesPerFrame = 229;

// What the video unit reaches outside itself: the DMA unit, the processor's
// interrupts, the display and the debugger's App pane.  The emulator installs
// one (Video::setHost); without one the video unit only keeps time and draws.
class VideoHost {
public:
  virtual ~VideoHost() = default;
  // Dma::run with timing 1 (V-blank) or 2 (H-blank).
  virtual uint32_t runDma(uint32_t timing) = 0;
  virtual void requestInterrupt(uint32_t bits) = 0;
  // Shows the finished picture at (x, y) of the display (presentScreenBitmap).
  virtual void presentFrame(int32_t x, int32_t y) = 0;
  // The display's size and the debugger's font height, for present mode 2.
  virtual void displayMetrics(uint32_t& width, uint32_t& height, uint32_t& fontHeight) = 0;
  // Blits gScreenBitmap into the App pane at (0, 0) and refreshes the app
  // window's tab 0.
  virtual void showInAppPane() = 0;
  // Journals the machine-state word that holds `field` before it changes.
  virtual void journal(const void* field) { (void)field; }
};

constexpr uint32_t kColourCount = 32768;  // 15-bit console colours

// Sizes of the areas the renderer reads.
constexpr uint32_t kIoSize = 0x400;
constexpr uint32_t kPaletteSize = 0x400;
constexpr uint32_t kVramSize = 0x18000;
constexpr uint32_t kOamSize = 0x400;

// The emulated screen: 240 x 160 host pixels, sized by Video::reset.
extern PlainBitmap gScreenBitmap;

// Blits gScreenBitmap onto the display at (x, y) and shows it.
void presentScreenBitmap(int32_t x, int32_t y);
// Writes gScreenBitmap to "screen.bmp" in the working directory.
bool saveScreenshot();

// Run mode at 320 x 240 full screen (else on the debugger's display), and
// the debugger's display in a window.
extern ConfigOption<i32> gRunAppModeSwitch;   // "Run app mode switch"
extern ConfigOption<i32> gRunAppWindowed;     // "Run app in windowed mode"

class Video {
public:
  Video();

  // The I/O (1 KB), palette (1 KB), VRAM (96 KB) and OAM (1 KB) areas.
  void attachAreas(uint8_t* ioArea, uint8_t* paletteArea, uint8_t* vramArea, uint8_t* oamArea);

  // Entry (b, g, r) of a colour table is rgb(r / 31, g / 31, b / 31).
  template <class Rgb>
  static void fillColourTable(uint16_t* table, Rgb rgb) {
    for (uint32_t c = 0; c < kColourCount; ++c)
      table[c] = uint16_t(rgb((c & 31) / 31.0f, ((c >> 5) & 31) / 31.0f, ((c >> 10) & 31) / 31.0f));
  }
  void fillFadeTables();
  // Sprite records, offset tables and the layer mask as after a reset.
  void resetRenderer();

  void setHost(VideoHost* videoHost) { host_ = videoHost; }
  // The colour tables of a reset: switches the display to the debugger's mode
  // (full screen unless "Run app in windowed mode") and then to 320 x 240
  // full screen, taking each mode's colours.  The caller sets the mode it
  // wants afterwards.  False when a mode could not be set.
  bool setUpColourTables(uint32_t debuggerWidth, uint32_t debuggerHeight, uint32_t debuggerDepth);
  // The rest of a reset: direction, fade tables, an empty 240 x 160 picture,
  // line 0 at 228 cycles before its H-blank, and the renderer's state.
  void reset();
  // Frees the picture's pixels at shut-down.
  void release();
  // 0 debugger (App pane), 1 run at 320 x 240, 2 run on the debugger's display.
  void setPresentMode(uint32_t mode);
  // Whoever changes a colour table's entries tells so (setUpColourTables
  // does), so that rows written through the old ones are written again.
  void coloursChanged() { ++tableGeneration_; }
  // The whole picture drawn again from the current memory and handed to the
  // App pane, as each video event does in the debugger's present mode (for
  // the front end, when the machine or the layers change while stopped).
  void redrawPicture() { drawWholePicture(); }
  // Only remembered: the countdown means the same in both directions, since
  // running back restores it with the rest of the machine.
  void setDirection(uint32_t d) { direction = d; }
  void tick();
  // The line timing: its own until the emulator points it into its machine
  // state.
  void attachClock(VideoClock* machineClock) { clock_ = machineClock; }
  // Journals its own changes into the arena they live in.
  void attachJournal(Arena* arena) { journalArena_ = arena; }
  VideoClock& clock() { return *clock_; }
  uint32_t line() const { return clock_->line; }
  uint32_t phase() const { return clock_->phase; }

  // Running back undid a video event: the line it began (or the frame it
  // handed off) is undone on the screen too.  Called with the value the
  // field had before it was restored.
  void lineUndone(uint32_t from);
  void frameUndone(uint32_t from);
  // After a backward slice that undid video events: the debugger's picture
  // is drawn again from memory, as forwards.
  void afterBackwardSlice();

  void renderLine(uint32_t line);
  // The affine reference points of a line (every line); the background
  // records and lists a line is drawn from (only when it is drawn).
  void moveReferences(uint32_t line);
  void setupBackgrounds();
  void updateSprites(uint32_t line);
  void decodeSprite(uint32_t n, uint32_t line);
  void renderScanline(uint32_t line);
  void compositeLine(uint32_t line);
  static void buildSpriteOffsetTables();

  Emulator* emulator = nullptr;
  uint8_t* io = nullptr;
  uint8_t* palette = nullptr;
  uint8_t* vram = nullptr;
  uint8_t* oam = nullptr;
  uint8_t* objPalette = nullptr;  // palette + 512
  uint8_t* objVram = nullptr;     // VRAM + 0x10000, 32 KB
  uint16_t debuggerColours[kColourCount];
  uint16_t fullScreenColours[kColourCount];
  uint16_t fadeTables[15][kColourCount];  // table k: each channel c x (k + 1) >> 4
  uint32_t debuggerGrey = 0;
  uint32_t fullScreenGrey = 0;
  uint32_t presentMode = 0;
  uint32_t direction = 0;
  // Off: every line is drawn afresh (tests compare the two).
  bool lineCacheEnabled = true;

 private:
  void drawWholePicture();
  void handOffFrame();
  void presentAt();
  uint32_t runDmaUntilDone(uint32_t timing);
  template <class T>
  void change(T& field, T value) {
    journal(&field);
    field = value;
  }
  void journal(const void* field) {
    if (journalArena_) journalField(*journalArena_, *static_cast<const uint32_t*>(field));
    else if (host_) host_->journal(field);
  }
  // The pictures of the last frames handed off, so that running back shows
  // each moment's picture: a line not yet drawn in the frame shows the
  // frame before.  Indexed by frame number.
  struct Shown {
    uint32_t frame = ~0u;
    uint32_t picture = ~0u;  // which picture its pixels are
    std::vector<uint16_t> pixels;
  };
  static constexpr uint32_t kShownFrames = 64;
  void keepShown();
  const Shown* shown(uint32_t frame) const;

  VideoHost* host_ = nullptr;
  Arena* journalArena_ = nullptr;
  struct RowStamp {
    uint32_t version = 0;
    const uint16_t* table = nullptr;
    uint32_t tableGeneration = 0;
  };
  RowStamp rowStamps_[160];
  uint32_t screenWrites_ = ~0u;  // the picture's write count after this unit's last row
  uint32_t tableGeneration_ = 1;
  VideoClock ownClock_{};
  VideoClock* clock_ = &ownClock_;
  Shown shown_[kShownFrames];
  bool eventUndone_ = false;
  // Pictures handed off are numbered; a frame whose every line came from the
  // line cache, through the same colour table, is the picture before again.
  uint32_t picture_ = 0;
  bool pictureChanged_ = true;
  const uint16_t* pictureTable_ = nullptr;

  uint16_t reg16(uint32_t offset) const {
    uint16_t v;
    std::memcpy(&v, io + offset, 2);
    return v;
  }
  uint32_t reg32(uint32_t offset) const {
    uint32_t v;
    std::memcpy(&v, io + offset, 4);
    return v;
  }
  uint32_t paletteColour(const uint8_t* base, uint32_t index) const {
    uint16_t v;
    std::memcpy(&v, base + 2 * index, 2);
    return v & 0x7FFF;
  }
  uint32_t fade(uint32_t k, uint32_t colour) const { return fadeTables[k - 1][colour]; }

  // The rule for a colour drawn at pixel x, whose slots are not yet done: it
  // becomes the top colour while the top is free, else the second.  (A
  // colour is read only where its slot says it is there; a free pixel shows
  // the backdrop.)
  void take(unsigned x, uint32_t colour, bool blends) {
    if (slots_[x] == kSlotsFree) {
      gTopColour[x] = colour;
      slots_[x] = blends ? kTopBlends : kTopOnly;
    } else {
      gSecondColour[x] = colour;
      slots_[x] = kTopAndSecond;
    }
  }
  bool done(unsigned x) const { return slots_[x] >= kTopOnly; }
  // Whether all `count` (1-8) pixels from x are done.
  bool spanDone(unsigned x, unsigned count) const {
    uint64_t v;
    std::memcpy(&v, slots_ + x, 8);
    const uint64_t mask = (count >= 8 ? ~0ull : (1ull << (8 * count)) - 1) & 0x0202020202020202ull;
    return (v & mask) == mask;
  }
  bool lineDone() const;
  // Whether no pixel of the line has been drawn yet.
  bool lineUntouched() const {
    __m128i any = _mm_setzero_si128();
    for (unsigned x = 0; x < kScreenWidth; x += 16)
      any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots_ + x)));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
  }
  // Draws `count` (1-8) pixels from x: pixel i has colour index index(i), 0
  // for transparent, and then colour colour(index).
  template <class Index, class Colour>
  void drawSpan(unsigned x, unsigned count, bool blend, Index index, Colour colour) {
    for (unsigned i = 0; i < count; ++i) {
      const uint32_t k = index(i);
      if (k && !done(x + i)) take(x + i, colour(k), blend);
    }
  }
  // The eight nibbles of a 16-colour tile row spread into bytes, pixel 0 in
  // the lowest; and a tile row's pixels in the opposite order.
  static __m128i nibblesToBytes(uint32_t row) {
    const __m128i even = _mm_cvtsi32_si128(int32_t(row & 0x0F0F0F0F));
    const __m128i odd = _mm_cvtsi32_si128(int32_t(row >> 4 & 0x0F0F0F0F));
    return _mm_unpacklo_epi8(even, odd);
  }
  static uint32_t mirrorNibbles(uint32_t row) {
    const uint32_t swapped = __builtin_bswap32(row);
    return (swapped >> 4 & 0x0F0F0F0F) | (swapped & 0x0F0F0F0F) << 4;
  }
  // The colours of eight pixels of a 16-colour bank (0-15 backgrounds,
  // 16-31 sprites), their indexes the low eight bytes of `indexes`, as
  // colours_ holds them: four byte lookups in place of eight reads.
  void bankColours(uint32_t bank, __m128i indexes, __m128i out[2]) const {
    auto plane = [&](unsigned k) {
      return _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(bankBytes_[bank][k])), indexes);
    };
    const __m128i console = _mm_unpacklo_epi8(plane(0), plane(1));
    const __m128i host = _mm_unpacklo_epi8(plane(2), plane(3));
    out[0] = _mm_unpacklo_epi16(console, host);
    out[1] = _mm_unpackhi_epi16(console, host);
  }
  // A console colour as colours_ holds one: with its host colour above.
  uint32_t withHost(uint32_t colour) const { return colour | uint32_t(coloursTable_[colour]) << 16; }
  // Eight pixels from x whose colour indexes are the bytes of `indexes`
  // (0 for transparent), with colour(index) their colours.
  template <class Colour>
  void drawEight(unsigned x, uint64_t indexes, bool blend, Colour colour, bool fresh = false) {
    auto at = [&](unsigned i) { return int32_t(colour(uint32_t(indexes >> (8 * i)) & 0xFF)); };
    // Built in registers: eight scalar stores read back as two vectors would
    // stall on store forwarding.
    const __m128i c[2] = {_mm_setr_epi32(at(0), at(1), at(2), at(3)), _mm_setr_epi32(at(4), at(5), at(6), at(7))};
    drawEightColours(x, _mm_cvtsi64_si128(int64_t(indexes)), blend, c, fresh);
  }
  // The same with the indexes as the low eight bytes of a vector and the
  // eight colours given.  The pixels of a tile row are as likely to be
  // transparent or covered as not, so all eight choices are made at once
  // with masks rather than branches.
  void drawEightColours(unsigned x, __m128i indexes, bool blend, const __m128i c[2], bool fresh = false) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_xor_si128(_mm_cmpeq_epi8(indexes, zero), _mm_set1_epi8(-1));
    __m128i* tops = reinterpret_cast<__m128i*>(gTopColour + x);
    if (fresh) {
      // Nothing drawn on the line yet: every opaque pixel becomes the top
      // one, and a free pixel's colour is never read, so it may be written.
      _mm_storel_epi64(reinterpret_cast<__m128i*>(slots_ + x),
                       _mm_and_si128(opaque, _mm_set1_epi8(blend ? kTopBlends : kTopOnly)));
      _mm_storeu_si128(tops, c[0]);
      _mm_storeu_si128(tops + 1, c[1]);
      return;
    }
    const __m128i held = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(slots_ + x));
    const __m128i toTop = _mm_and_si128(opaque, _mm_cmpeq_epi8(held, zero));
    const __m128i toSecond = _mm_and_si128(opaque, _mm_cmpeq_epi8(held, _mm_set1_epi8(kTopBlends)));
    const __m128i slots =
        _mm_add_epi8(held, _mm_or_si128(_mm_and_si128(toTop, _mm_set1_epi8(blend ? kTopBlends : kTopOnly)),
                                        _mm_and_si128(toSecond, _mm_set1_epi8(2))));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(slots_ + x), slots);
    const __m128i top16 = _mm_unpacklo_epi8(toTop, toTop), second16 = _mm_unpacklo_epi8(toSecond, toSecond);
    const __m128i topMask[2] = {_mm_unpacklo_epi16(top16, top16), _mm_unpackhi_epi16(top16, top16)};
    const __m128i secondMask[2] = {_mm_unpacklo_epi16(second16, second16),
                                   _mm_unpackhi_epi16(second16, second16)};
    for (unsigned h = 0; h < 2; ++h) {
      __m128i* seconds = reinterpret_cast<__m128i*>(gSecondColour + x + 4 * h);
      _mm_storeu_si128(tops + h, _mm_or_si128(_mm_and_si128(topMask[h], c[h]),
                                              _mm_andnot_si128(topMask[h], _mm_loadu_si128(tops + h))));
      _mm_storeu_si128(seconds, _mm_or_si128(_mm_and_si128(secondMask[h], c[h]),
                                             _mm_andnot_si128(secondMask[h], _mm_loadu_si128(seconds))));
    }
  }
  // Whether the screen's row still holds what this unit last wrote there
  // from a line's colours (of that version, through this colour table), so
  // that a line drawn again from the cache need not be written out again;
  // and the note of a row just written.  Anyone else writing the picture
  // makes every row unknown again.
  bool rowHolds(uint32_t line, uint32_t version, const uint16_t* table);
  void rowWritten(uint32_t line, uint32_t version, const uint16_t* table);
  // The inputs of the line being drawn but its VRAM.
  void describeLine(LineInputs& inputs);
  // Writes a line of console colours into gScreenBitmap through the colour
  // table of the present mode.
  void writeLine(uint32_t line, const uint16_t* colours);
  // The sprites of one priority on a line, drawn or only carried on to the
  // next line's lists; startCarrying empties those lists first.
  void spritesOfPriority(uint32_t p, uint32_t line, bool draw, uint32_t dispcnt, uint32_t bldcnt);
  void startCarrying(uint32_t line);
  void carrySprites(uint32_t line);
  void drawSprite(SpriteRecord& sprite, int32_t row, uint32_t dispcnt, uint32_t bldcnt);
  void drawTextBackground(const BackgroundRecord& bg, uint32_t line);
  void drawAffineBackground(const BackgroundRecord& bg);
  void drawBitmapBackground(const BackgroundRecord& bg, uint32_t dispcnt);
  void removeActive(SpriteRecord& sprite, uint32_t parity);
  void insertActive(SpriteRecord& sprite, uint32_t parity);
  void rebuildActiveSprites(uint32_t line);

  // The last source line drawn; a line that does not follow it (a redraw,
  // running backwards) rebuilds the state carried from line to line.
  uint32_t lastLine_ = ~0u;
  bool lineInSequence_ = false;
  bool spritesStale_ = true;  // decode every entry on the next line
  std::unique_ptr<LineCache> cache_ = std::make_unique<LineCache>();
  VramReads* reads_ = &cache_->reads;     // what the line being drawn reads
  uint8_t slots_[kScreenWidth + 8] = {};  // PixelSlots; 8 more for whole-word reads
  // The palette's colours for the line being drawn: the console colour in
  // the low half, the host colour of the present mode's table in the high
  // half, so that a line drawn without blending is written out without a
  // table read for each pixel.
  uint32_t colours_[512] = {};
  // The same colours by 16-colour bank, split into their four bytes.
  alignas(16) uint8_t bankBytes_[32][4][16] = {};
  // What colours_ were worked out from: the palette's console colours, the
  // generation of the line cache's palette watch, and the colour table.
  alignas(16) uint16_t consoleColours_[512] = {};
  std::optional<uint32_t> coloursGeneration_;
  const uint16_t* coloursTable_ = debuggerColours;
  uint32_t coloursTableGeneration_ = 0;
  // Works colours_ out again where the palette changed, or all of them.
  void convertPalette(bool all);
};
