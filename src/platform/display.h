#pragma once
// The display device under the view: a small backend interface with an SDL2
// implementation (a streaming texture shown through the renderer) and a
// memory one (tests, and the older program's picture that is never shown).
//
// Every backend keeps two persistent page buffers, like a flip chain with one
// back buffer: what was drawn on a page is still there when that page is the
// drawing page again two presents later.  The view's dirty bits and sprite
// restores rely on that.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/window.h"

namespace platform {

// Where red, green and blue lie in a 16-bit pixel.
struct PixelMasks {
  uint32_t red = 0, green = 0, blue = 0;
};

inline constexpr PixelMasks kMasks565{0xF800, 0x07E0, 0x001F};
inline constexpr PixelMasks kMasks555{0x7C00, 0x03E0, 0x001F};

enum class LockStatus {
  kOk,      // pixels, pitch and height are valid until unlock
  kBusy,    // try again later
  kLost,    // the device lost its surfaces: restore, then try again
  kFailed,  // no surface at all; nothing may be drawn
};

struct LockedPage {
  uint16_t* pixels = nullptr;
  uint32_t pitchPixels = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;

  // Sets up a mode of width x height 16-bit pixels.  Returns an empty string
  // on success, else a short text naming the failing step.
  virtual const char* open(uint32_t width, uint32_t height, bool fullScreen) = 0;
  // Gives up the surfaces (the window stays).
  virtual void close() = 0;
  virtual PixelMasks masks() const = 0;

  // The drawing page, the one the next present shows.
  virtual LockStatus lock(LockedPage* page) = 0;
  virtual void unlock() = 0;
  // Rebuilds what a lost device took away; the page buffers survive.
  virtual bool restore() = 0;
  // Shows the drawing page when show is set, and in every case makes the
  // other page the drawing page.
  virtual void present(bool show) = 0;
  // Shows the last shown page again (the window was uncovered).
  virtual void repaint() {}
};

// Two page buffers and the page toggle, shared by both backends.
class PagedBuffers {
 public:
  void size(uint32_t width, uint32_t height);
  uint16_t* page(uint32_t index) { return pages_[index & 1].data(); }
  uint16_t* drawing() { return page(drawing_); }
  uint16_t* shown() { return page(drawing_ ^ 1); }
  uint32_t drawingIndex() const { return drawing_; }
  void toggle() { drawing_ ^= 1; }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }

 private:
  std::vector<uint16_t> pages_[2];
  uint32_t width_ = 0, height_ = 0;
  uint32_t drawing_ = 0;
};

// A display in memory.  Tests can make the next locks report a busy or lost
// surface, or fail, and can read both pages.
class MemoryDisplay : public DisplayBackend {
 public:
  explicit MemoryDisplay(PixelMasks masks = kMasks565) : masks_(masks) {}
  const char* open(uint32_t width, uint32_t height, bool fullScreen) override;
  void close() override {}
  PixelMasks masks() const override { return masks_; }
  LockStatus lock(LockedPage* page) override;
  void unlock() override { locked_ = false; }
  bool restore() override;
  void present(bool show) override;

  PagedBuffers& buffers() { return buffers_; }
  bool isLocked() const { return locked_; }
  uint32_t shownCount() const { return shown_; }
  uint32_t restoreCount() const { return restores_; }
  uint32_t lockCount() const { return locks_; }
  bool fullScreen() const { return fullScreen_; }
  // The next `busy` locks report busy; after them the next `lost` locks
  // report a lost surface until restored; `fail` makes every lock fail.
  void injectBusy(uint32_t n) { busy_ = n; }
  void injectLost() { lost_ = true; }
  void injectFailure(bool on) { fail_ = on; }

 private:
  PixelMasks masks_;
  PagedBuffers buffers_;
  bool locked_ = false, lost_ = false, fail_ = false, fullScreen_ = false;
  uint32_t busy_ = 0, shown_ = 0, restores_ = 0, locks_ = 0;
};

// The SDL2 display: draws into the page buffers, and a present uploads the
// drawing page into a streaming RGB565 texture and renders it scaled to the
// window (the mode size is the renderer's logical size).  With no window
// given it shows in the main window (which it puts into the mode's full
// screen or windowed form), or, when there is none, in a window of its own.
// A render-device reset marks its surfaces lost.
std::unique_ptr<DisplayBackend> makeSdlDisplay(SDL_Window* window = nullptr);

}  // namespace platform

// Display state shared with the window's event handling.  The window code
// keeps gWindowActive up to date (0 while the window is inactive or
// minimised: then nothing is shown and nothing waits).
extern uint32_t gScreenWidth, gScreenHeight, gScreenBytesPerPixel;
extern uint32_t gFullScreen;
extern uint32_t gWindowActive;
extern uint32_t gDisplayReady;
extern platform::Rect gWindowRect, gClientRect, gClientScreenRect;

// The window procedure's calls: the window moved; the window must be drawn
// again from the last shown page.
void displayWindowMoved();
void displayRepaint();

namespace platform {
// The backend the view uses now (null before the first mode).
DisplayBackend* currentDisplay();
void setCurrentDisplay(DisplayBackend* display);
}  // namespace platform
