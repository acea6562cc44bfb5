// The picture's way out: colour tables from the display's modes, the frame
// shown on the display, and the screenshot read back through the BMP reader.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/video.h"
#include "general/view.h"
#include "platform/display.h"
#include "support/tempdir.h"

namespace {

class Screen : public ::testing::Test {
protected:
  void SetUp() override {
    auto backend = std::make_unique<platform::MemoryDisplay>();
    display = backend.get();
    gView.useBackend(std::move(backend));
    video->attachAreas(io.data(), pal.data(), vram.data(), oam.data());
    ASSERT_TRUE(video->setUpColourTables(640, 480, 2));
    video->reset();
  }
  void TearDown() override { gView.releaseBackend(); }

  std::vector<uint8_t> io = std::vector<uint8_t>(kIoSize), pal = std::vector<uint8_t>(kPaletteSize),
                       vram = std::vector<uint8_t>(kVramSize), oam = std::vector<uint8_t>(kOamSize);
  std::unique_ptr<Video> video = std::make_unique<Video>();
  platform::MemoryDisplay* display = nullptr;
};

TEST_F(Screen, ColourTablesComeFromTheDisplay) {
  EXPECT_EQ(gView.width(), 320u);  // the last mode set
  EXPECT_EQ(video->debuggerColours[0x7FFF], gView.rgb(1, 1, 1));
  EXPECT_EQ(video->fullScreenColours[0x001F], gView.rgb(1, 0, 0));
  EXPECT_EQ(video->fullScreenColours[0x7C00], gView.rgb(0, 0, 1));
  EXPECT_EQ(video->debuggerColours[0x03E0], gView.rgb(0, 1, 0));
  EXPECT_EQ(video->debuggerGrey, gView.rgb(0.4999f, 0.4999f, 0.4999f));
}

TEST_F(Screen, FrameShownOnTheDisplayAndSavedAsScreenshot) {
  const uint16_t backdrop = 0x001F;  // red
  std::memcpy(&pal[0], &backdrop, 2);
  io[0] = 3;  // mode 3, BG2 on with an identity matrix: a pixel of its own at (10, 20)
  io[1] = 4;
  io[0x21] = io[0x27] = 1;
  const uint16_t green = 0x03E0;
  std::memcpy(&vram[20 * 480 + 20], &green, 2);
  video->setPresentMode(1);
  for (uint32_t line = 0; line < kScreenHeight; ++line) video->renderLine(line);

  presentScreenBitmap(40, 40);
  const uint16_t* shown = display->buffers().shown();
  EXPECT_EQ(shown[40 * 320 + 40], gView.rgb(0, 0, 0));  // mode 3 pixel 0 is black
  EXPECT_EQ(shown[60 * 320 + 50], gView.rgb(0, 1, 0));
  EXPECT_EQ(shown[39 * 320 + 40], 0);                   // outside the picture

  testsupport::ScopedTempDir dir;
  ASSERT_TRUE(saveScreenshot());
  PlainBitmap back;
  ASSERT_TRUE(gView.loadBmp("screen.bmp", back));
  ASSERT_EQ(back.width(), kScreenWidth);
  ASSERT_EQ(back.height(), kScreenHeight);
  back.lock(1);
  gScreenBitmap.lock(1);
  EXPECT_EQ(back.pixel(10, 20), gView.rgb(0, 1, 0));
  for (uint32_t y = 0; y < kScreenHeight; y += 7)
    for (uint32_t x = 0; x < kScreenWidth; x += 5) ASSERT_EQ(back.pixel(x, y), gScreenBitmap.pixel(x, y));
  gScreenBitmap.unlock();
  back.unlock();
}

}  // namespace
