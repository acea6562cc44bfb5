#include "general/view.h"

#include <algorithm>
#include <bit>

#include "general/main.h"
#include "general/task.h"
#include "general/widget.h"
#include "platform/variant.h"

View gView;

View::~View() {
  // The rows point into the backend's pages, which go with it.
  rows_.clear();
  if (platform::currentDisplay() == backend_.get()) platform::setCurrentDisplay(nullptr);
}

void View::useBackend(std::unique_ptr<platform::DisplayBackend> backend) {
  if (surfaceLocked) unlock();
  // The rows and the sprites' saved backgrounds belong to the old device's
  // pages; a new device starts on its page 0 with nothing shown.
  rows_.clear();
  width_ = 0;
  clearOverlays();
  currentPage_ = 0;
  backend_ = std::move(backend);
  platform::setCurrentDisplay(backend_.get());
  gScreenWidth = gScreenHeight = gScreenBytesPerPixel = 0;
  gDisplayReady = 0;
}

void View::releaseBackend() {
  if (surfaceLocked) unlock();
  if (backend_) backend_->close();
}

void releaseDisplay() { gView.releaseBackend(); }

void releaseDisplayAll() {
  // The older program's picture lives as long as the program.
  if (variant::kOlder) return;
  gView.releaseBackend();
  gView.useBackend(nullptr);
}

bool View::setScreenMode(uint32_t width, uint32_t height, uint32_t bytesPerPixel, bool fullScreen) {
  if (variant::kOlder) fullScreen = false;
  const uint32_t full = fullScreen ? 1 : 0;
  if (backend_ && width == gScreenWidth && height == gScreenHeight && bytesPerPixel == gScreenBytesPerPixel &&
      (variant::kOlder || full == gFullScreen))
    return true;
  if (gWindowActive && gDisplayReady && full != gFullScreen) gDisplayReady = 0;
  releaseDisplay();
  // The surfaces are gone: until a mode is set again no size is current, so
  // asking for the old mode after a failure builds it instead of passing.
  gScreenWidth = gScreenHeight = gScreenBytesPerPixel = 0;
  if (!backend_) {
    if (variant::kOlder)
      useBackend(std::make_unique<platform::MemoryDisplay>(platform::kMasks555));
    else
      useBackend(platform::makeSdlDisplay(nullptr));
  }
  if (const char* failure = backend_->open(width, height, fullScreen); failure[0]) {
    if (fatal_)
      fatal_(failure);
    else
      fatalErrorText(failure);
    return false;
  }
  const platform::PixelMasks m = backend_->masks();
  const uint32_t masks[3] = {m.red, m.green, m.blue};
  ChannelFormat formats[3];
  for (int i = 0; i < 3; ++i) {
    if (masks[i] == 0) return false;
    formats[i].shift = uint32_t(std::countr_zero(masks[i]));
    formats[i].max = masks[i] >> formats[i].shift;
  }
  red = formats[0];
  green = formats[1];
  blue = formats[2];
  // The mode's own size, in a window too: the pages have exactly this size.
  gScreenWidth = width;
  gScreenHeight = height;
  gScreenBytesPerPixel = bytesPerPixel;
  // The client area is the mode's picture, whatever the window's own size.
  gClientRect = platform::Rect{0, 0, int32_t(width), int32_t(height)};
  gClientScreenRect = gClientRect;
  displayWindowMoved();
  gDisplayReady = 1;
  gFullScreen = full;
  resizeToScreen();
  return true;
}

void View::resizeToScreen() {
  if (surfaceLocked) unlock();
  // Rows are pointed at the drawing page by each lock.
  if (rows_.size() != gScreenHeight) rows_.assign(gScreenHeight, nullptr);
  width_ = gScreenWidth;
  clearOverlays();
}

void View::lock(uint32_t mode) {
  if (surfaceLocked) return;
  lockSurface();
  Image::lock(mode);
}

void View::unlock() {
  // A failed surface lock still set the image's flag; clear it either way.
  Image::unlock();
  if (surfaceLocked) unlockSurface();
}

void View::lockSurface() {
  bool restored = false;
  platform::LockedPage page;
  platform::LockStatus status = platform::LockStatus::kFailed;
  for (;;) {
    status = backend_ ? backend_->lock(&page) : platform::LockStatus::kFailed;
    if (status == platform::LockStatus::kLost) {
      yield_ ? yield_() : yieldTask();
      backend_->restore();
      restored = true;
    } else if (status == platform::LockStatus::kBusy) {
      yield_ ? yield_() : yieldTask();
    } else {
      break;
    }
  }
  // The surface contents are gone: every widget draws itself again.
  if (restored) restored_ ? restored_() : markAllWidgetsDirty();
  if (status != platform::LockStatus::kOk) {
    // No surface memory: the view has no rows, so drawing touches nothing.
    rows_.clear();
    if (!lockFailureLogged_) dbgPrintf("The display surface cannot be locked; nothing is drawn.\n");
    lockFailureLogged_ = true;
    return;
  }
  lockFailureLogged_ = false;
  pointRows(page.pixels, page.width, page.height, page.pitchPixels);
  setDebugOutputDeferred(true);
  surfaceLocked = 1;
}

void View::unlockSurface() {
  if (backend_) backend_->unlock();
  surfaceLocked = 0;
  setDebugOutputDeferred(false);
}

void View::fill(uint16_t colour, const Rect* rect) {
  // The older program's picture is never shown and its fill does nothing.
  if (variant::kOlder) return;
  const bool wasLocked = surfaceLocked;
  lock(2);
  Rect r = rect ? *rect : Rect{0, 0, width(), height()};
  uint64_t x1 = std::min<uint64_t>(uint64_t(r.x) + r.w, width());
  uint64_t y1 = std::min<uint64_t>(uint64_t(r.y) + r.h, height());
  if (r.x < x1)
    for (uint64_t y = r.y; y < y1; ++y) std::fill(rows_[y] + r.x, rows_[y] + x1, colour);
  if (!wasLocked) unlock();
}

void View::present() {
  drawOverlays();
  if (surfaceLocked) unlock();
  if (backend_) backend_->present(gWindowActive != 0);
  togglePage();
  restoreOverlays();
}

uint16_t View::rgb(float r, float g, float b) const {
  auto channel = [](const ChannelFormat& c, float v) {
    v = std::clamp(v, 0.0f, 1.0f);
    return uint32_t(float(c.max) * v) << c.shift;
  };
  return uint16_t((channel(red, r) | channel(green, g) | channel(blue, b)) & 0xFFFF);
}

void View::toRgb(uint16_t pixel, float* r, float* g, float* b) const {
  auto channel = [pixel](const ChannelFormat& c) {
    return c.max == 0 ? 0.0f : float((pixel >> c.shift) & c.max) / float(c.max);
  };
  *r = channel(red);
  *g = channel(green);
  *b = channel(blue);
}
