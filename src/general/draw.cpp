#include "general/draw.h"

#include <algorithm>
#include <cstdlib>

void PlainBitmap::fillRect(uint16_t colour, const Rect* rect) {
  Rect r = rect ? *rect : Rect{0, 0, width(), height()};
  // Clipped to the bitmap; an empty rectangle writes nothing.
  uint64_t x1 = std::min<uint64_t>(uint64_t(r.x) + r.w, width());
  uint64_t y1 = std::min<uint64_t>(uint64_t(r.y) + r.h, height());
  lock(2);
  if (r.x < x1)
    for (uint64_t y = r.y; y < y1; ++y) std::fill(rows_[y] + r.x, rows_[y] + x1, colour);
  unlock();
}

void PlainBitmap::copyRegion(const Bitmap& source, int32_t x, int32_t y, uint32_t w, uint32_t h) {
  // The copy would free the very pixels it reads.
  CHECK(&source != this);
  if (&source == this) return;
  resize(w, h);
  Bitmap& src = const_cast<Bitmap&>(source);
  src.lock(1);
  lock(2);
  for (uint32_t r = 0; r < h; ++r) {
    int64_t sy = int64_t(y) + r;
    bool rowInside = sy >= 0 && sy < int64_t(src.height());
    for (uint32_t c = 0; c < w; ++c) {
      int64_t sx = int64_t(x) + c;
      // What lies outside the source reads as 0, the key colour.
      rows_[r][c] = rowInside && sx >= 0 && sx < int64_t(src.width()) ? src.rowData(uint32_t(sy))[sx] : 0;
    }
  }
  unlock();
  src.unlock();
  releaseRunEncoding();
}

// Pixel k of n + 1 (n the major delta) lies at major0 + step * k on the major
// axis and at (minor0 * 65536 + slope * k) >> 16 on the minor one, the last
// one included; only the k whose major coordinate is inside the bitmap are
// visited, so a line far outside costs nothing.
void drawLine(Bitmap& bitmap, uint16_t colour, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  // 64-bit intermediates: the fixed-point products of far-apart end points
  // would overflow 32 bits.
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  const bool yMajor = std::llabs(dy) > std::llabs(dx);
  const int64_t n = yMajor ? std::llabs(dy) : std::llabs(dx);
  const int64_t major0 = yMajor ? y0 : x0, minor0 = yMajor ? x0 : y0;
  const int64_t step = (yMajor ? dy : dx) >= 0 ? 1 : -1;
  const int64_t slope = n == 0 ? 0 : (yMajor ? dx : dy) * 65536 / n;
  const int64_t limit = yMajor ? bitmap.height() : bitmap.width();
  // k range with 0 <= major0 + step * k < limit.
  int64_t kFirst = 0, kLast = n;
  if (step > 0) {
    kFirst = std::max<int64_t>(kFirst, -major0);
    kLast = std::min<int64_t>(kLast, limit - 1 - major0);
  } else {
    kFirst = std::max<int64_t>(kFirst, major0 - (limit - 1));
    kLast = std::min<int64_t>(kLast, major0);
  }
  bitmap.lock(2);
  for (int64_t k = kFirst; k <= kLast; ++k) {
    int64_t major = major0 + step * k, minor = (minor0 * 65536 + slope * k) >> 16;
    int64_t x = yMajor ? minor : major, y = yMajor ? major : minor;
    if (bitmap.contains(x, y)) bitmap.rowData(uint32_t(y))[x] = colour;
  }
  bitmap.unlock();
}
