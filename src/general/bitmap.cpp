#include "general/bitmap.h"

#include <algorithm>

#include "general/view.h"

void Image::lock(uint32_t mode) {
  locked_ = 1;
  if (mode & 2) ++writeLocks_;
}
void Image::unlock() { locked_ = 0; }

void Image::resize(uint32_t width, uint32_t height) {
  CHECK(!locked_);
  ++writeLocks_;
  if (width == width_ && height == rows_.size()) return;
  rows_.clear();
  store_.resize(width, height, __FILE__, __LINE__);
  uint16_t* block = store_.cells();
  // Fresh pixels start black whatever the allocator left.
  std::fill(block, block + size_t(width) * height, uint16_t(0));
  rows_.resize(height);
  for (uint32_t y = 0; y < height; ++y) rows_[y] = block + size_t(y) * width;
  width_ = width;
}

void Image::clear() {
  CHECK(!locked_);
  ++writeLocks_;
  store_.clear();
  rows_.clear();
  rows_.shrink_to_fit();
  width_ = 0;
}

void Image::pointRows(uint16_t* first, uint32_t width, uint32_t height, uint32_t pitchPixels) {
  rows_.resize(height);
  for (uint32_t y = 0; y < height; ++y) rows_[y] = first + size_t(y) * pitchPixels;
  width_ = width;
}

uint16_t Image::pixel(int64_t x, int64_t y) const {
  CHECK(locked_);
  CHECK(contains(x, y));
  if (!locked_ || !contains(x, y)) return 0;
  return rows_[y][x];
}

void Image::setPixel(int64_t x, int64_t y, uint16_t value) {
  CHECK(locked_);
  CHECK(contains(x, y));
  if (!locked_ || !contains(x, y)) return;
  rows_[y][x] = value;
}

// --- pages and overlays ---------------------------------------------------

void Bitmap::queueOverlay(SpriteBitmap* sprite, int32_t x, int32_t y, const BlitOptions& options) {
  overlays_[currentPage_].push_back(OverlayRecord{sprite, uint16_t(x), uint16_t(y), options});
}

void Bitmap::drawOverlays() {
  for (const OverlayRecord& r : overlays_[currentPage_]) r.sprite->drawSaving(*this, r.x, r.y, r.options);
}

// Run when a page becomes the drawing page again: newest first, so
// overlapping sprites leave the picture as it was before either.
void Bitmap::restoreOverlays() {
  auto& list = overlays_[currentPage_];
  for (auto it = list.rbegin(); it != list.rend(); ++it) it->sprite->restoreUnder(*this, it->x, it->y);
  list.clear();
  list.shrink_to_fit();
}

void Bitmap::present() {
  drawOverlays();
  togglePage();
  restoreOverlays();
}

// --- plain bitmaps and their run encoding ---------------------------------

RunCache newRunEncoding(uint32_t key) {
  RunEncoding* e = nullptr;
  trackedAlloc(e, 1, __FILE__, __LINE__);
  e->key = key;
  return RunCache(e);
}

uint16_t PlainBitmap::rgb(float r, float g, float b) const { return gView.rgb(r, g, b); }

void PlainBitmap::ensureRunEncoding(uint32_t key) {
  if (runCache_ && runCache_->key == key) return;
  buildRunEncoding(key);
}

void PlainBitmap::buildRunEncoding(uint32_t key) {
  runCache_.reset();
  lock(1);
  RunCache encoding = newRunEncoding(key);
  auto& runs = encoding->runs;
  auto& pixels = encoding->pixels;
  const uint32_t w = width(), h = height();
  uint32_t x = 0, y = 0;
  int32_t dx = 0;
  uint32_t dy = 0;
  for (;;) {
    runs.emplace_back();
    size_t run = runs.size() - 1;
    // Skip key pixels up to the next opaque one.
    bool found = false;
    while (y < h && !found) {
      while (x < w) {
        if (rows_[y][x] != key) {
          found = true;
          break;
        }
        ++dx;
        ++x;
      }
      if (found) break;
      dx -= int32_t(w);
      ++dy;
      ++y;
      x = 0;
    }
    if (!found) {
      runs[run] = PixelRun{int16_t(dx), uint16_t(dy), 0};
      break;
    }
    runs[run].dx = int16_t(dx);
    runs[run].dy = uint16_t(dy);
    dx = 0;
    dy = 0;
    // Copy opaque pixels to the next key pixel or the end of the row.
    uint32_t count = 0;
    bool stoppedMidRow = false;
    while (x < w) {
      uint16_t p = rows_[y][x];
      if (p == key) {
        stoppedMidRow = true;
        break;
      }
      pixels.push_back(p);
      ++count;
      ++x;
    }
    runs[run].count = count;
    if (stoppedMidRow) continue;
    ++y;
    x = 0;
    dy = 1;
    dx = -int32_t(w);
    if (y >= h) break;
  }
  unlock();
  runCache_ = std::move(encoding);
}

void PlainBitmap::release() {
  releaseRunEncoding();
  if (isLocked()) unlock();
  clear();
}

// --- sprites ----------------------------------------------------------------

void SpriteBitmap::releaseRunEncoding() {
  runCache_.reset();
  saves_[0].background.runCache_.reset();
  saves_[1].background.runCache_.reset();
}

void SpriteBitmap::release() {
  PlainBitmap::release();
  for (BackgroundSave& save : saves_) {
    save.background.release();
    save.keyed = 0;
  }
}

void SpriteBitmap::drawSaving(Bitmap& target, int32_t x, int32_t y, const BlitOptions& options) {
  uint32_t page = target.currentPage();
  CHECK(page < 2);
  BackgroundSave& save = saves_[page & 1];
  ensureRunEncoding(options.key);
  if (options.mode & 1) {
    // Save only what lies under the opaque runs.  The run list is copied at
    // every save so it always matches the sprite's picture and key.
    RunCache saved = newRunEncoding(options.key);
    saved->runs = runCache_->runs;
    saved->pixels.assign(runCache_->pixels.size(), 0);
    target.lock(1);
    int64_t cx = x, cy = y;
    size_t i = 0;
    for (const PixelRun& run : saved->runs) {
      cx += run.dx;
      cy += run.dy;
      for (uint32_t n = 0; n < run.count; ++n, ++cx, ++i)
        if (target.contains(cx, cy)) saved->pixels[i] = target.rowData(uint32_t(cy))[cx];
    }
    target.unlock();
    save.background.runCache_ = std::move(saved);
    save.keyed = 1;
    save.key = options.key;
  } else {
    save.background.copyRegion(target, x, y, width(), height());
    save.keyed = 0;
  }
  blitBitmap(target, x, y, options);
}

void SpriteBitmap::restoreUnder(Bitmap& target, int32_t x, int32_t y) {
  uint32_t page = target.currentPage();
  CHECK(page < 2);
  BackgroundSave& save = saves_[page & 1];
  BlitOptions options;
  options.mode = save.keyed;
  options.key = save.key;
  save.background.blitBitmap(target, x, y, options);
}
