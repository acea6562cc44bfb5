#include "general/draw.h"

#include <gtest/gtest.h>

#include <set>

#include "pictures.h"

using pictures::Rows;

namespace {

using Points = std::set<std::pair<int, int>>;

// Draws on a bitmap offset so that negative sample coordinates are visible:
// the origin of the samples is at (8, 8) of a 24 x 24 picture.
Points plotted(int x0, int y0, int x1, int y1) {
  PlainBitmap b;
  b.resize(24, 24);
  drawLine(b, 1, x0 + 8, y0 + 8, x1 + 8, y1 + 8);
  Points p;
  b.lock(1);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x)
      if (b.pixel(x, y)) p.insert({x - 8, y - 8});
  b.unlock();
  return p;
}

TEST(DrawLine, SamplePoints) {
  pictures::ScopedDisplay scoped;
  pictures::memoryView(8, 8);
  struct Case {
    int x0, y0, x1, y1;
    Points expected;
  };
  Points row2, column3;
  for (int x = 0; x <= 10; ++x) row2.insert({x, 2});
  for (int y = 0; y <= 9; ++y) column3.insert({3, y});
  const Case cases[] = {
      {5, 5, 5, 5, {{5, 5}}},
      {10, 2, 0, 2, row2},
      {3, 9, 3, 0, column3},
      {0, 0, -4, 2, {{0, 0}, {-1, 0}, {-2, 1}, {-3, 1}, {-4, 2}}},
      {0, 0, 2, -4, {{0, 0}, {0, -1}, {1, -2}, {1, -3}, {2, -4}}},
      // The truncated slope leaves the last pixel one row short.
      {0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1);
    EXPECT_EQ(plotted(c.x0, c.y0, c.x1, c.y1), c.expected);
  }
}

TEST(DrawLine, FarEndPointsNeitherOverflowNorWriteOutside) {
  PlainBitmap b;
  b.resize(4, 4);
  // Deltas beyond 32 bits' reach in 16.16: the diagonal must stay exact.
  drawLine(b, 7, -1000000000, -1000000000, 1000000000, 1000000000);
  drawLine(b, 9, INT32_MIN, 3, INT32_MAX, 3);
  Rows r = pictures::rowsOf(b);
  EXPECT_EQ(r, (Rows{{7, 0, 0, 0}, {0, 7, 0, 0}, {0, 0, 7, 0}, {9, 9, 9, 9}}));
  drawLine(b, 5, -10, -10, -3, 100);  // wholly outside
  EXPECT_EQ(pictures::rowsOf(b), r);
}

TEST(FillRect, WholeEmptyAndClipped) {
  PlainBitmap b;
  b.resize(3, 2);
  b.fillRect(4, nullptr);
  EXPECT_EQ(pictures::rowsOf(b), pictures::filled(3, 2, 4));
  for (Rect empty : {Rect{0, 0, 0, 2}, Rect{0, 0, 3, 0}, Rect{5, 5, 2, 2}}) b.fillRect(1, &empty);
  EXPECT_EQ(pictures::rowsOf(b), pictures::filled(3, 2, 4));
  Rect over{1, 1, 0xFFFFFFFF, 0xFFFFFFFF};
  b.fillRect(2, &over);
  EXPECT_EQ(pictures::rowsOf(b), (Rows{{4, 4, 4}, {4, 2, 2}}));
}

TEST(PixelAccess, OutsideOrUnlockedIsReportedAndTouchesNothing) {
  PlainBitmap b;
  pictures::setRows(b, {{1, 2}});
  pictures::LogWatch log;
  EXPECT_EQ(b.pixel(0, 0), 0);  // not locked
  b.lock(2);
  b.setPixel(2, 0, 9);
  b.setPixel(-1, 0, 9);
  b.setPixel(0, 1, 9);
  EXPECT_EQ(b.pixel(0, 5), 0);
  b.unlock();
  EXPECT_EQ(pictures::rowsOf(b), (Rows{{1, 2}}));
  std::string text = log.text();
  size_t reports = 0;
  for (size_t at = text.find("CHECK failure, file general/bitmap"); at != std::string::npos;
       at = text.find("CHECK failure, file general/bitmap", at + 1))
    ++reports;
  EXPECT_EQ(reports, 5u);
}

TEST(CopyRegion, OutsideReadsZeroAndSelfCopyIsRefused) {
  pictures::ScopedDisplay scoped;
  pictures::memoryView(8, 8);
  PlainBitmap src, dst;
  pictures::setRows(src, {{1, 2}, {3, 4}});
  dst.copyRegion(src, -1, 1, 3, 2);
  EXPECT_EQ(pictures::rowsOf(dst), (Rows{{0, 3, 4}, {0, 0, 0}}));
  src.copyRegion(src, 0, 0, 1, 1);
  EXPECT_EQ(pictures::rowsOf(src), (Rows{{1, 2}, {3, 4}}));
  dst.copyRegion(src, 0, 0, 0, 0);
  EXPECT_EQ(dst.width(), 0u);
  EXPECT_EQ(dst.height(), 0u);
}

}  // namespace
