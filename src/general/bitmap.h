#pragma once
// Pictures: Image (a lockable 2-D array of 16-bit pixels in the display's
// format), Bitmap (two pages, present, fill, colour constructor), the memory
// bitmap PlainBitmap with its run encoding, and SpriteBitmap, drawn onto a
// page at the next present and taken off again, with what lay under it put
// back, when that page is drawn on next.

#include <cstdint>
#include <memory>
#include <vector>

#include "general/base.h"
#include "general/map.h"
#include "general/ptr.h"

class Bitmap;
class FixedIString;
class SpriteBitmap;

struct Rect {
  uint32_t x = 0, y = 0, w = 0, h = 0;
};

struct BlitOptions {
  uint32_t mode = 0;
  uint32_t key = 0;
  uint32_t colour1 = 0;
  // The older program has one colour only; its blit modes never read this.
  uint32_t colour2 = 0;
  // The picture under the destination rectangle for the blending modes.
  RootPtr<Bitmap> background;
  // When set, writes are kept inside this rectangle of the destination too.
  bool clipped = false;
  Rect clip;
};

class Image {
 public:
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  virtual ~Image() = default;

  // Locking is a flag, not a count.  mode 1: read, 2: write.
  virtual void lock(uint32_t mode);
  virtual void unlock();

  uint32_t width() const { return width_; }
  uint32_t height() const { return uint32_t(rows_.size()); }
  bool isLocked() const { return locked_ != 0; }
  // Counts locks for writing (and resizes): a picture that counts the same
  // as when one last wrote it holds what one wrote.
  uint32_t writeLocks() const { return writeLocks_; }

  // Both refused (CHECK) while locked.  Resize keeps nothing of the old
  // pixels when the size changes; clear makes the image 0 x 0.
  void resize(uint32_t width, uint32_t height);
  void clear();

  // Checked pixel access: unlocked or outside the image reports a CHECK
  // failure and reads 0 / writes nothing.
  uint16_t pixel(int64_t x, int64_t y) const;
  void setPixel(int64_t x, int64_t y, uint16_t value);

  // Unchecked row access for drawing code that has clipped already; the
  // image must be locked.
  uint16_t* rowData(uint32_t y) const { return rows_[y]; }
  bool contains(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < int64_t(rows_.size());
  }

 protected:
  // For pictures whose rows live elsewhere (the display's surface).
  void pointRows(uint16_t* first, uint32_t width, uint32_t height, uint32_t pitchPixels);

  std::vector<uint16_t*> rows_;
  uint32_t width_ = 0;
  uint32_t locked_ = 0;
  uint32_t writeLocks_ = 0;

 private:
  // The pixels of a memory picture, one block row by row.
  Map2D<uint16_t> store_;
};

struct OverlayRecord {
  SpriteBitmap* sprite = nullptr;
  // Stored unsigned in 16 bits as the position of a screen item; a negative
  // position comes back large and is then clipped away.
  uint16_t x = 0, y = 0;
  BlitOptions options;
};

class Bitmap : public Image {
 public:
  virtual void fill(uint16_t colour, const Rect* rect) = 0;
  virtual void present();
  virtual uint16_t rgb(float r, float g, float b) const = 0;

  uint32_t currentPage() const { return currentPage_; }
  void queueOverlay(SpriteBitmap* sprite, int32_t x, int32_t y, const BlitOptions& options);
  size_t overlayCount(uint32_t page) const { return overlays_[page & 1].size(); }

 protected:
  void drawOverlays();
  void restoreOverlays();
  void togglePage() { currentPage_ = currentPage_ + 1 == 2 ? 0 : currentPage_ + 1; }
  void clearOverlays() {
    overlays_[0].clear();
    overlays_[1].clear();
  }

  std::vector<OverlayRecord> overlays_[2];
  uint32_t currentPage_ = 0;
};

struct PixelRun {
  int16_t dx = 0;
  uint16_t dy = 0;
  uint32_t count = 0;
  bool operator==(const PixelRun&) const = default;
};

// The pixels that differ from the key colour, in scan order, and where they
// lie: each run moves the cursor from where the previous one ended.
struct RunEncoding {
  uint32_t key = 0;
  std::vector<PixelRun> runs;
  std::vector<uint16_t> pixels;
};

// Run encodings are tracked allocations, charged to general/bitmap.
struct RunEncodingFree {
  void operator()(RunEncoding* p) const { trackedFree(p); }
};
using RunCache = std::unique_ptr<RunEncoding, RunEncodingFree>;
RunCache newRunEncoding(uint32_t key);

class PlainBitmap : public Bitmap {
 public:
  void fill(uint16_t colour, const Rect* rect) override { fillRect(colour, rect); }
  uint16_t rgb(float r, float g, float b) const override;
  virtual void releaseRunEncoding() { runCache_.reset(); }
  // Gives back the pixels and every run encoding: the bitmap is 0 x 0.
  virtual void release();

  void ensureRunEncoding(uint32_t key);
  void buildRunEncoding(uint32_t key);
  const RunEncoding* runEncoding() const { return runCache_.get(); }

  // Drawing primitives (draw.cpp).
  void fillRect(uint16_t colour, const Rect* rect);
  // This bitmap becomes a w x h copy of source's rectangle at (x, y); parts
  // outside the source become 0.  Copying a bitmap onto itself is refused.
  void copyRegion(const Bitmap& source, int32_t x, int32_t y, uint32_t w, uint32_t h);

  // Draws this bitmap onto destination (blit.cpp).
  void blitBitmap(Bitmap& destination, int32_t x, int32_t y, const BlitOptions& options);

  // BMP files through the display's colours; a file that cannot be read
  // leaves the bitmap empty.
  bool loadBitmapFile(const char* name);
  bool saveBitmapFile(const char* name);
  bool loadBitmapFile(const FixedIString& name);
  bool saveBitmapFile(const FixedIString& name);

 protected:
  friend class SpriteBitmap;
  RunCache runCache_;
};

struct BackgroundSave {
  PlainBitmap background;
  uint32_t keyed = 0;
  uint32_t key = 0;
};

class SpriteBitmap : public PlainBitmap {
 public:
  void releaseRunEncoding() override;
  // Also the pictures saved from under the sprite.
  void release() override;
  // Queued now, drawn at the target's next present.
  void drawOn(Bitmap& target, int32_t x, int32_t y, const BlitOptions& options) {
    target.queueOverlay(this, x, y, options);
  }
  void drawSaving(Bitmap& target, int32_t x, int32_t y, const BlitOptions& options);
  void restoreUnder(Bitmap& target, int32_t x, int32_t y);

 private:
  BackgroundSave saves_[2];
};
