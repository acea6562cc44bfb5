#pragma once
// The view: the one drawing target gView, a two-page Bitmap whose rows are,
// while it is locked, the drawing page of the display backend.  It sets up
// screen modes, locks (yielding while the surface is busy or lost), presents
// pages with their overlays, fills, and converts colours.

#include <memory>

#include "general/bitmap.h"
#include "general/istring.h"
#include "platform/display.h"

struct ChannelFormat {
  uint32_t shift = 0;
  uint32_t max = 0;
};

class View : public Bitmap {
 public:
  View() = default;
  ~View() override;

  // Locks the surface once (and then the image), however often called.
  void lock(uint32_t mode) override;
  void unlock() override;
  // Colour fill of the drawing page, clipped to it; null is the whole page.
  void fill(uint16_t colour, const Rect* rect) override;
  // Draws the overlays, shows the page (while the window is active) and
  // toggles the page.
  void present() override;
  uint16_t rgb(float r, float g, float b) const override;
  void toRgb(uint16_t pixel, float* r, float* g, float* b) const;

  // The requested size is the mode's size in full screen and in a window
  // alike (the window shows it scaled).  Returns false on failure.  The older
  // program ignores fullScreen: its picture lives in memory and is not shown.
  bool setScreenMode(uint32_t width, uint32_t height, uint32_t bytesPerPixel, bool fullScreen = true);
  void resizeToScreen();

  // BMP files (bmp.cpp).  Pixels are converted with this view's colours.
  bool loadBmp(const char* fileName, Image& target) const;
  bool saveBmp(const char* fileName, Bitmap& source) const;
  // The name's characters below 15 are dropped, the rest taken as bytes.
  bool loadBmp(const FixedIString& fileName, Image& target) const;
  bool saveBmp(const FixedIString& fileName, Bitmap& source) const;

  // The display device; the first mode set makes the program's own (SDL, or
  // memory for the older program) when none was given.
  void useBackend(std::unique_ptr<platform::DisplayBackend> backend);
  platform::DisplayBackend* backend() const { return backend_.get(); }
  void releaseBackend();

  // Replace, for tests, what the lock does while it waits (the scheduler's
  // yieldTask), what it does after a lost surface came back
  // (markAllWidgetsDirty) and where set-up failures go (fatalErrorText).
  void setYield(void (*yield)()) { yield_ = yield; }
  void setRestoredHandler(void (*restored)()) { restored_ = restored; }
  void setFatalErrorHandler(void (*fatal)(const char* text)) { fatal_ = fatal; }

  uint32_t surfaceLocked = 0;
  ChannelFormat red, green, blue;

 private:
  void lockSurface();
  void unlockSurface();

  std::unique_ptr<platform::DisplayBackend> backend_;
  void (*yield_)() = nullptr;
  void (*restored_)() = nullptr;
  void (*fatal_)(const char*) = nullptr;
  bool lockFailureLogged_ = false;
};

extern View gView;

// Gives up the display's surfaces; releaseDisplayAll also the device.
void releaseDisplay();
void releaseDisplayAll();
