// Picture test cartridges written by others (jsmolka's ppu tests), run on the
// whole emulator: each frame must show what the cartridge draws.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/emulator.h"

namespace {

const std::string kPpuDir = std::string(VANDREL_SHARED_DIR) + "/roms/jsmolka-gba-tests/ppu/";

// The picture in console colours after `frames` frames of the cartridge.
struct Picture {
  std::vector<uint16_t> pixels;
  uint16_t at(unsigned x, unsigned y) const { return pixels[y * kScreenWidth + x]; }
};

unsigned gFramesShown = 0;

bool runCartridge(const std::string& name, unsigned frames, Picture& picture) {
  Emulator& emu = gEmulator;
  if (!emu.loadRom(kPpuDir + name)) return false;
  Video& video = emu.video();
  video.reset();
  for (uint32_t c = 0; c < kColourCount; ++c) video.debuggerColours[c] = video.fullScreenColours[c] = uint16_t(c);
  video.setPresentMode(2);
  gFramesShown = 0;
  emu.setFramePresenter([](i32, i32) { ++gFramesShown; });
  gStopMask = kStopRunning;
  for (unsigned long long slices = 0; gFramesShown < frames && slices < 10000000ull; ++slices) emu.runSlice();
  emu.setFramePresenter(nullptr);
  picture.pixels.resize(kScreenWidth * kScreenHeight);
  gScreenBitmap.lock(1);
  for (unsigned y = 0; y < kScreenHeight; ++y)
    for (unsigned x = 0; x < kScreenWidth; ++x) picture.pixels[y * kScreenWidth + x] = gScreenBitmap.pixel(x, y);
  gScreenBitmap.unlock();
  return gFramesShown >= frames;
}

class PpuCartridges : public ::testing::Test {
protected:
  void SetUp() override {
    if (!std::filesystem::exists(kPpuDir)) GTEST_SKIP() << "no shared test cartridges at " << kPpuDir;
  }
};

// Every row of the picture the same as row 0.
bool rowsRepeat(const Picture& p) {
  for (unsigned y = 1; y < kScreenHeight; ++y)
    for (unsigned x = 0; x < kScreenWidth; ++x)
      if (p.at(x, y) != p.at(x, 0)) return false;
  return true;
}

TEST_F(PpuCartridges, HelloWorldInWhiteOnBlack) {
  Picture p;
  ASSERT_TRUE(runCartridge("hello.gba", 5, p));
  // One line of twelve 8-pixel characters, eleven of them not blank,
  // centred on the screen.
  unsigned left = kScreenWidth, right = 0, top = kScreenHeight, bottom = 0, white = 0;
  for (unsigned y = 0; y < kScreenHeight; ++y)
    for (unsigned x = 0; x < kScreenWidth; ++x) {
      const uint16_t c = p.at(x, y);
      ASSERT_TRUE(c == 0 || c == 0x7FFF) << x << "," << y << ": " << c;
      if (!c) continue;
      ++white;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  ASSERT_GT(white, 0u);
  EXPECT_LT(bottom - top, 8u);
  EXPECT_GE(left, 72u);
  EXPECT_LT(right, 168u);
  EXPECT_NEAR((left + right) / 2.0, 119.5, 4.0);
  EXPECT_NEAR((top + bottom) / 2.0, 79.5, 8.0);
  unsigned glyphs = 0;
  bool inGlyph = false;
  for (unsigned x = 0; x < kScreenWidth; ++x) {
    bool lit = false;
    for (unsigned y = top; y <= bottom; ++y) lit = lit || p.at(x, y);
    if (lit && !inGlyph) ++glyphs;
    inGlyph = lit;
  }
  EXPECT_EQ(glyphs, 11u);
}

TEST_F(PpuCartridges, ShadesOfBlueInBands) {
  Picture p;
  ASSERT_TRUE(runCartridge("shades.gba", 5, p));
  EXPECT_TRUE(rowsRepeat(p));
  // Fifteen bands of 16 pixels, blue growing by 2 from 0, no red or green.
  for (unsigned x = 0; x < kScreenWidth; ++x) EXPECT_EQ(p.at(x, 0), (2 * (x / 16)) << 10) << x;
}

TEST_F(PpuCartridges, StripesOfTwoColours) {
  Picture p;
  ASSERT_TRUE(runCartridge("stripes.gba", 5, p));
  EXPECT_TRUE(rowsRepeat(p));
  // Vertical stripes 8 pixels wide: even map entries name a blank tile (the
  // backdrop, palette colour 0), odd ones tile 0 filled with colour 1.
  const uint16_t first = 0x560B, second = 0x6290;
  for (unsigned x = 0; x < kScreenWidth; ++x) EXPECT_EQ(p.at(x, 0), (x / 8) % 2 ? second : first) << x;
}

}  // namespace
