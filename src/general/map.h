#pragma once
// Map2D: a 2-D array of cells held in one block, row by row; the pixel store
// of every picture.  Rows are handed out as checked BoundedPtr views, and only
// while the map is locked (a picture's lock sets the flag).

#include "general/ptr.h"

template <class T>
class Map2D {
 public:
  Map2D() = default;
  Map2D(const Map2D& other) { *this = other; }
  virtual ~Map2D() { release(); }

  // Takes the source's size, cells and lock flag; the block is charged here.
  Map2D& operator=(const Map2D& other) {
    if (this == &other) return *this;
    release();
    u32 height = other.rows_.count();
    width_ = other.width_;
    rows_.resize(height, __FILE__, __LINE__);
    trackedAlloc(block_, std::size_t(width_) * height, __FILE__, __LINE__);
    for (u32 y = 0; y < height; ++y) {
      rows_[y] = block_ + std::size_t(y) * width_;
      for (u32 x = 0; x < width_; ++x) rows_[y][x] = other.rows_[y][x];
    }
    locked_ = other.locked_;
    return *this;
  }

  // Frees the cells (whatever the size) and forgets the rows.
  void clear() {
    CHECK(!locked_);
    release();
  }

  // Only when the size changes: the old cells go and width x height fresh
  // cells come, charged to the caller.
  void resize(u32 width, u32 height, const char* file, int line) {
    CHECK(!locked_);
    if (width == width_ && height == rows_.count()) return;
    release();
    trackedAlloc(block_, std::size_t(width) * height, file, line);
    rows_.resize(height, file, line);
    for (u32 y = 0; y < height; ++y) rows_[y] = block_ + std::size_t(y) * width;
    width_ = width;
  }

  // Row y; outside the map an empty view (whose accesses fail harmlessly).
  BoundedPtr<T> row(u32 y) const {
    CHECK(locked_);
    if (!CHECK(y < rows_.count())) return BoundedPtr<T>();
    return BoundedPtr<T>(width_, rows_.data()[y]);
  }

  u32 width() const { return width_; }
  u32 height() const { return rows_.count(); }
  bool locked() const { return locked_ != 0; }
  void setLocked(bool on) { locked_ = on ? 1 : 0; }

  // The whole block, row 0 first (for bulk copies of callers that know the size).
  T* cells() { return block_; }
  const T* cells() const { return block_; }

 private:
  void release() {
    trackedFree(block_);
    width_ = 0;
    rows_.clear();
  }

  SizedArray<T*> rows_;
  u32 width_ = 0;
  u32 locked_ = 0;
  T* block_ = nullptr;
};
