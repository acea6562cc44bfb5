#include "general/view.h"

#include <gtest/gtest.h>

#include "general/draw.h"
#include "pictures.h"

using pictures::Rows;

namespace {

int gYields = 0, gRestored = 0;

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display = pictures::memoryView(6, 4);
    gYields = gRestored = 0;
    gView.setYield([] { ++gYields; });
    gView.setRestoredHandler([] { ++gRestored; });
    gWindowActive = 1;
  }
  pictures::ScopedDisplay scoped;
  Rows page(uint32_t index) {
    Rows r(4, std::vector<uint16_t>(6));
    const uint16_t* p = display->buffers().page(index);
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 6; ++x) r[y][x] = p[y * 6 + x];
    return r;
  }
  // Each page gets its own picture: every pixel page + 1, a marker at (0, 0).
  void paintPages() {
    for (uint16_t p = 0; p < 2; ++p) {
      gView.fill(uint16_t(p + 1), nullptr);
      gView.present();
    }
  }
  platform::MemoryDisplay* display = nullptr;
};

TEST_F(ViewTest, Formats) {
  EXPECT_EQ(gView.red.shift, 11u);
  EXPECT_EQ(gView.green.shift, 5u);
  EXPECT_EQ(gView.blue.shift, 0u);
  EXPECT_EQ(gView.red.max, 31u);
  EXPECT_EQ(gView.green.max, 63u);
  EXPECT_EQ(gView.blue.max, 31u);
  EXPECT_EQ(gView.rgb(1, 1, 1), 0xFFFF);
  EXPECT_EQ(gView.rgb(0.5f, 0.5f, 0.5f), (15 << 11) | (31 << 5) | 15);
  EXPECT_EQ(gView.rgb(0.25f, 0.25f, 0.25f), 0x39E7);
  float r, g, b;
  gView.toRgb(0xF800, &r, &g, &b);
  EXPECT_EQ(r, 1.0f);
  EXPECT_EQ(g, 0.0f);
  pictures::memoryView(4, 4, platform::kMasks555);
  EXPECT_EQ(gView.red.shift, 10u);
  EXPECT_EQ(gView.green.max, 31u);
  EXPECT_EQ(gView.rgb(1, 0, 0), 0x7C00);
  // A channel without a mask fails the mode and keeps the old format.
  gView.useBackend(std::make_unique<platform::MemoryDisplay>(platform::PixelMasks{0xF800, 0, 0x1F}));
  EXPECT_FALSE(gView.setScreenMode(4, 4, 2, false));
  EXPECT_EQ(gView.rgb(1, 0, 0), 0x7C00);
  // With no format at all colours read as 0, never as a division by zero.
  View fresh;
  fresh.toRgb(0xFFFF, &r, &g, &b);
  EXPECT_EQ(r + g + b, 0.0f);
}

TEST_F(ViewTest, SameModeTouchesNothing) {
  gView.fill(7, nullptr);
  EXPECT_TRUE(gView.setScreenMode(6, 4, 2, false));
  EXPECT_EQ(page(0), pictures::filled(6, 4, 7));
  EXPECT_EQ(gScreenWidth, 6u);
  EXPECT_EQ(gView.height(), 4u);
  // A new size resizes the view, records the size asked for, and empties
  // the overlay lists.
  SpriteBitmap sprite;
  sprite.drawOn(gView, 0, 0, BlitOptions{});
  EXPECT_TRUE(gView.setScreenMode(10, 3, 2, true));
  EXPECT_EQ(gScreenWidth, 10u);
  EXPECT_EQ(gScreenHeight, 3u);
  EXPECT_EQ(gFullScreen, 1u);
  EXPECT_EQ(gView.width(), 10u);
  EXPECT_EQ(gView.overlayCount(0), 0u);
}

// A memory display that refuses to open while told to, as a display mode
// the device does not have would.
class RefusingDisplay : public platform::MemoryDisplay {
 public:
  const char* open(uint32_t width, uint32_t height, bool fullScreen) override {
    ++opens;
    return refuse ? "SetDisplayMode FAILED" : MemoryDisplay::open(width, height, fullScreen);
  }
  bool refuse = false;
  int opens = 0;
};

const char* gFatalText = nullptr;

TEST_F(ViewTest, AFailedModeLeavesNoModeCurrent) {
  auto owned = std::make_unique<RefusingDisplay>();
  RefusingDisplay* refusing = owned.get();
  gView.useBackend(std::move(owned));
  gView.setFatalErrorHandler([](const char* text) { gFatalText = text; });
  ASSERT_TRUE(gView.setScreenMode(6, 4, 2, false));
  refusing->refuse = true;
  gFatalText = nullptr;
  EXPECT_FALSE(gView.setScreenMode(8, 8, 2, false));
  ASSERT_NE(gFatalText, nullptr);
  EXPECT_STREQ(gFatalText, "SetDisplayMode FAILED");
  // The old mode's surfaces went with the attempt: asking for it again
  // builds it again rather than reporting it as already set.
  refusing->refuse = false;
  const int opens = refusing->opens;
  EXPECT_TRUE(gView.setScreenMode(6, 4, 2, false));
  EXPECT_EQ(refusing->opens, opens + 1);
  EXPECT_EQ(gScreenWidth, 6u);
}

TEST_F(ViewTest, LockOnceRetryBusyRestoreLost) {
  gView.lock(2);
  gView.lock(2);
  EXPECT_EQ(display->lockCount(), 1u);
  gView.unlock();
  EXPECT_FALSE(gView.isLocked());
  EXPECT_FALSE(display->isLocked());
  gView.unlock();  // not locked: nothing

  display->injectBusy(3);
  gView.lock(2);
  EXPECT_EQ(gYields, 3);
  EXPECT_EQ(gRestored, 0);
  gView.unlock();

  gView.fill(5, nullptr);
  display->injectLost();
  gView.lock(2);
  EXPECT_EQ(display->restoreCount(), 1u);
  EXPECT_EQ(gRestored, 1);
  EXPECT_EQ(gYields, 4);
  gView.unlock();
}

TEST_F(ViewTest, FailedLockLeavesTheViewUnusableNotBroken) {
  gView.fill(3, nullptr);
  display->injectFailure(true);
  gView.lock(2);
  EXPECT_EQ(gView.height(), 0u);
  gView.unlock();
  PlainBitmap b;
  pictures::setRows(b, {{9, 9}});
  b.blitBitmap(gView, 0, 0, BlitOptions{});
  drawLine(gView, 9, 0, 0, 5, 3);
  gView.fill(9, nullptr);
  gView.present();
  display->injectFailure(false);
  gView.lock(1);
  EXPECT_EQ(gView.height(), 4u);
  gView.unlock();
  EXPECT_EQ(page(0), pictures::filled(6, 4, 3));
}

TEST_F(ViewTest, PresentTogglesPagesShownOrNot) {
  EXPECT_EQ(gView.currentPage(), 0u);
  gView.present();
  EXPECT_EQ(gView.currentPage(), 1u);
  EXPECT_EQ(display->shownCount(), 1u);
  gWindowActive = 0;
  gView.present();
  EXPECT_EQ(gView.currentPage(), 0u);
  EXPECT_EQ(display->shownCount(), 1u);
  // Each page keeps what was drawn on it.
  paintPages();
  EXPECT_EQ(page(0), pictures::filled(6, 4, 1));
  EXPECT_EQ(page(1), pictures::filled(6, 4, 2));
}

struct OverlayCase {
  const char* name;
  uint32_t mode;
};

TEST_F(ViewTest, SpriteDrawnAtPresentAndRestoredTwoPresentsLater) {
  for (OverlayCase c : {OverlayCase{"whole rectangle", 0}, OverlayCase{"opaque runs only", 1}}) {
    SCOPED_TRACE(c.name);
    paintPages();
    // The sprite: a 2 x 2 picture with one key pixel.
    SpriteBitmap sprite;
    pictures::setRows(sprite, {{8, 8}, {0, 8}});
    BlitOptions o;
    o.mode = c.mode;
    ASSERT_EQ(gView.currentPage(), 0u);
    sprite.drawOn(gView, 1, 1, o);
    EXPECT_EQ(page(0), pictures::filled(6, 4, 1));  // not yet drawn
    gView.present();
    Rows shown = pictures::filled(6, 4, 1);
    shown[1][1] = shown[1][2] = shown[2][2] = 8;
    shown[2][1] = c.mode == 0 ? 0 : 1;
    EXPECT_EQ(page(0), shown);
    // When page 0 is the drawing page again, what lay under the sprite is
    // back before anything else is drawn.
    gView.present();
    EXPECT_EQ(gView.currentPage(), 0u);
    EXPECT_EQ(page(0), pictures::filled(6, 4, 1));
    EXPECT_EQ(page(1), pictures::filled(6, 4, 2));
  }
}

TEST_F(ViewTest, OverlappingSpritesRestoreInReverseOrder) {
  paintPages();
  SpriteBitmap a, b;
  pictures::setRows(a, pictures::filled(3, 2, 8));
  pictures::setRows(b, pictures::filled(3, 2, 9));
  BlitOptions keyed;
  keyed.mode = 1;
  a.drawOn(gView, 0, 0, BlitOptions{});
  b.drawOn(gView, 2, 1, keyed);
  EXPECT_EQ(gView.overlayCount(0), 2u);
  gView.present();
  Rows shown = pictures::filled(6, 4, 1);
  for (int x = 0; x < 3; ++x) shown[0][x] = shown[1][x] = 8;
  for (int x = 2; x < 5; ++x) shown[1][x] = shown[2][x] = 9;
  EXPECT_EQ(page(0), shown);
  gView.present();
  EXPECT_EQ(page(0), pictures::filled(6, 4, 1));
  EXPECT_EQ(gView.overlayCount(0), 0u);
}

TEST_F(ViewTest, MemoryBitmapPagesRunTheSameOverlays) {
  PlainBitmap target;
  pictures::setRows(target, pictures::filled(3, 1, 4));
  SpriteBitmap s;
  pictures::setRows(s, {{7}});
  s.drawOn(target, 1, 0, BlitOptions{});
  target.present();
  EXPECT_EQ(pictures::rowsOf(target), (Rows{{4, 7, 4}}));
  target.present();
  EXPECT_EQ(pictures::rowsOf(target), (Rows{{4, 4, 4}}));
}

TEST_F(ViewTest, SpriteHangingOverTheEdgeIsClippedAndRestored) {
  paintPages();
  SpriteBitmap s;
  pictures::setRows(s, pictures::filled(3, 3, 8));
  for (uint32_t mode : {0u, 1u}) {
    BlitOptions o;
    o.mode = mode;
    s.drawOn(gView, 4, 2, o);
    gView.present();
    EXPECT_EQ(page(0)[3][5], 8);
    gView.present();
    EXPECT_EQ(page(0), pictures::filled(6, 4, 1));
  }
}

}  // namespace
