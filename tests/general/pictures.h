#pragma once
// Helpers for the picture tests: a memory display behind gView, and small
// bitmaps written out as rows of pixels.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "general/base.h"
#include "general/bitmap.h"
#include "general/text.h"
#include "general/view.h"
#include "platform/display.h"

namespace pictures {

using Rows = std::vector<std::vector<uint16_t>>;

// Held by every test that draws on gView or changes the window flags: at
// its end the view is back to no display (page 0, no overlays, no test
// hooks), and the window flags and tab stops are as they were before.
class ScopedDisplay {
 public:
  ScopedDisplay() : active_(gWindowActive), fullScreen_(gFullScreen) {
    std::copy(std::begin(gTabStops), std::end(gTabStops), tabStops_);
  }
  ~ScopedDisplay() {
    gView.useBackend(nullptr);
    gView.setYield(nullptr);
    gView.setRestoredHandler(nullptr);
    gView.setFatalErrorHandler(nullptr);
    gWindowActive = active_;
    gFullScreen = fullScreen_;
    std::copy(std::begin(tabStops_), std::end(tabStops_), gTabStops);
  }
  ScopedDisplay(const ScopedDisplay&) = delete;
  ScopedDisplay& operator=(const ScopedDisplay&) = delete;

 private:
  uint32_t active_, fullScreen_;
  uint16_t tabStops_[32];
};

// Puts a memory display of width x height behind gView and returns it.
inline platform::MemoryDisplay* memoryView(uint32_t width, uint32_t height,
                                           platform::PixelMasks masks = platform::kMasks565) {
  auto display = std::make_unique<platform::MemoryDisplay>(masks);
  platform::MemoryDisplay* raw = display.get();
  gView.useBackend(std::move(display));
  gView.setScreenMode(width, height, 2, false);
  return raw;
}

inline void setRows(PlainBitmap& b, const Rows& rows) {
  b.resize(rows.empty() ? 0 : uint32_t(rows[0].size()), uint32_t(rows.size()));
  b.lock(2);
  for (uint32_t y = 0; y < rows.size(); ++y)
    for (uint32_t x = 0; x < rows[y].size(); ++x) b.setPixel(x, y, rows[y][x]);
  b.unlock();
}

inline Rows rowsOf(Image& b) {
  Rows rows(b.height(), std::vector<uint16_t>(b.width()));
  b.lock(1);
  for (uint32_t y = 0; y < b.height(); ++y)
    for (uint32_t x = 0; x < b.width(); ++x) rows[y][x] = b.rowData(y)[x];
  b.unlock();
  return rows;
}

inline Rows filled(uint32_t w, uint32_t h, uint16_t v) { return Rows(h, std::vector<uint16_t>(w, v)); }

// What the debug log received while it was watched.
class LogWatch {
 public:
  LogWatch() {
    dbgPrintf("%s", "");  // opens the log if nothing did yet
    flushDebugOutput();
    std::FILE* f = debugLogFile();
    start_ = f ? std::ftell(f) : 0;
  }
  std::string text() const {
    flushDebugOutput();
    std::FILE* f = debugLogFile();
    if (!f) return "";
    // The log is open for writing only; read it through its descriptor.
    std::ifstream in("/proc/self/fd/" + std::to_string(fileno(f)), std::ios::binary);
    in.seekg(start_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  long start_ = 0;
};

}  // namespace pictures
