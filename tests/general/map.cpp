// The 2-D array of cells.
#include "general/map.h"

#include <gtest/gtest.h>

#include "support/logcapture.h"

namespace {

using testsupport::LogCapture;

TEST(Map2D, RowsAreCheckedViewsIntoOneBlock) {
  Map2D<u16> m;
  m.resize(3, 2, __FILE__, __LINE__);
  EXPECT_EQ(m.width(), 3u);
  EXPECT_EQ(m.height(), 2u);
  m.setLocked(true);
  m.row(1).at(2) = 7;
  EXPECT_EQ(m.cells()[5], 7u);
  EXPECT_EQ(m.row(0).count(), 3u);

  LogCapture log;
  BoundedPtr<u16> outside = m.row(2);
  EXPECT_EQ(outside.count(), 0u);
  outside.at(0) = 9;
  m.setLocked(false);
  EXPECT_EQ(m.row(1).at(2), 7u);  // still handed out, but reported
  std::string text = log.text();
  EXPECT_NE(text.find("CHECK failure, file general/map"), std::string::npos) << text;
  EXPECT_NE(text.find("CHECK failure, file general/ptr"), std::string::npos) << text;
}

TEST(Map2D, ResizeOnlyOnChangeAndCopyTakesEverything) {
  Map2D<u16> m;
  m.resize(2, 2, __FILE__, __LINE__);
  m.setLocked(true);
  m.row(0).at(1) = 5;
  m.setLocked(false);
  m.resize(2, 2, __FILE__, __LINE__);
  EXPECT_EQ(m.cells()[1], 5u);

  Map2D<u16> copy;
  copy = m;
  copy = copy;
  EXPECT_EQ(copy.width(), 2u);
  EXPECT_EQ(copy.height(), 2u);
  EXPECT_EQ(copy.cells()[1], 5u);
  EXPECT_NE(copy.cells(), m.cells());
  Map2D<u16> built(copy);
  EXPECT_EQ(built.cells()[1], 5u);
}

// Whatever its shape, a map's block is gone after clear.
TEST(Map2D, ClearFreesTheBlockForEveryShape) {
  struct Shape {
    u32 width, height;
  } shapes[] = {{4, 3}, {0, 3}, {4, 0}, {0, 0}, {1, 1}};
  for (const Shape& s : shapes) {
    std::size_t before = allocatedBytes();
    {
      Map2D<u16> m;
      m.resize(s.width, s.height, __FILE__, __LINE__);
      m.clear();
      EXPECT_EQ(allocatedBytes(), before) << s.width << "x" << s.height;
      EXPECT_EQ(m.width(), 0u);
      EXPECT_EQ(m.height(), 0u);
      m.resize(s.width, s.height, __FILE__, __LINE__);
      Map2D<u16> copy;
      copy = m;
    }
    EXPECT_EQ(allocatedBytes(), before) << s.width << "x" << s.height;
  }
}

TEST(Map2D, ChangingALockedMapIsReported) {
  Map2D<u16> m;
  m.resize(1, 1, __FILE__, __LINE__);
  m.setLocked(true);
  LogCapture log;
  m.resize(2, 2, __FILE__, __LINE__);
  m.clear();
  EXPECT_NE(log.text().find("CHECK failure, file general/map"), std::string::npos);
}

}  // namespace
