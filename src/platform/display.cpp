#include "platform/display.h"

uint32_t gScreenWidth = 0, gScreenHeight = 0, gScreenBytesPerPixel = 0;
uint32_t gFullScreen = 1;
uint32_t gWindowActive = 1;
uint32_t gDisplayReady = 0;
platform::Rect gWindowRect{}, gClientRect{}, gClientScreenRect{};

void displayWindowMoved() {
  if (platform::Window* w = platform::mainWindow()) {
    gWindowRect = platform::windowRect(w);
    gClientScreenRect = platform::clientScreenRect(w);
  }
}

void displayRepaint() {
  if (platform::DisplayBackend* d = platform::currentDisplay()) d->repaint();
}

namespace platform {

namespace {
DisplayBackend* gCurrentDisplay = nullptr;
}

DisplayBackend* currentDisplay() { return gCurrentDisplay; }
void setCurrentDisplay(DisplayBackend* display) { gCurrentDisplay = display; }

void PagedBuffers::size(uint32_t width, uint32_t height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  for (auto& p : pages_) p.assign(size_t(width) * height, 0);
  drawing_ = 0;
}

const char* MemoryDisplay::open(uint32_t width, uint32_t height, bool fullScreen) {
  buffers_.size(width, height);
  fullScreen_ = fullScreen;
  lost_ = false;
  return "";
}

LockStatus MemoryDisplay::lock(LockedPage* page) {
  *page = LockedPage{};
  if (fail_ || buffers_.width() == 0 || buffers_.height() == 0) return LockStatus::kFailed;
  if (busy_ > 0) {
    --busy_;
    return LockStatus::kBusy;
  }
  if (lost_) return LockStatus::kLost;
  page->pixels = buffers_.drawing();
  page->pitchPixels = buffers_.width();
  page->width = buffers_.width();
  page->height = buffers_.height();
  locked_ = true;
  ++locks_;
  return LockStatus::kOk;
}

bool MemoryDisplay::restore() {
  ++restores_;
  lost_ = false;
  return true;
}

void MemoryDisplay::present(bool show) {
  if (show) ++shown_;
  buffers_.toggle();
}

}  // namespace platform
