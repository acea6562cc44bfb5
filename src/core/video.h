#pragma once
// The video unit: colour and fade tables and the scanline renderer.

#include <cstdint>
#include <cstring>

#include <vector>

#include "core/arena.h"
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
  void setupBackgrounds(uint32_t line);
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

private:
  void drawWholePicture();
  void handOffFrame();
  void presentAt();
  uint32_t runDmaUntilDone(uint32_t timing);
  template <class T>
  void change(T& field, T value) {
    if (host_) host_->journal(&field);
    field = value;
  }
  // The pictures of the last frames handed off, so that running back shows
  // each moment's picture: a line not yet drawn in the frame shows the
  // frame before.  Indexed by frame number.
  struct Shown {
    uint32_t frame = ~0u;
    std::vector<uint16_t> pixels;
  };
  static constexpr uint32_t kShownFrames = 64;
  void keepShown();
  const Shown* shown(uint32_t frame) const;

  VideoHost* host_ = nullptr;
  VideoClock ownClock_{};
  VideoClock* clock_ = &ownClock_;
  Shown shown_[kShownFrames];
  bool eventUndone_ = false;

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

  void drawSprite(SpriteRecord& sprite, int32_t row, uint32_t dispcnt, uint32_t bldcnt);
  void drawTextBackground(const BackgroundRecord& bg, uint32_t line);
  void drawAffineBackground(const BackgroundRecord& bg);
  void drawBitmapBackground(const BackgroundRecord& bg, uint32_t line, uint32_t dispcnt);
  void removeActive(SpriteRecord& sprite, uint32_t parity);
  void insertActive(SpriteRecord& sprite, uint32_t parity);
  void rebuildActiveSprites(uint32_t line);

  // The last source line drawn; a line that does not follow it (a redraw,
  // running backwards) rebuilds the state carried from line to line.
  uint32_t lastLine_ = ~0u;
  bool lineInSequence_ = false;
  bool spritesStale_ = true;  // decode every entry on the next line
};
