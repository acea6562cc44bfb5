// Writing a line out: alpha blending, brighten and darken, and the grid.

#include "core/render.h"
#include "renderscene.h"

using namespace scene;

namespace {

class Compose : public RenderScene {
protected:
  static constexpr uint16_t kTop = rgb(20, 8, 0), kUnder = rgb(4, 24, 16);
  // BG0 (priority 0) in kTop over BG1 (priority 1) in kUnder at x 0-7.
  void layers(bool under) {
    reg(DISPCNT, uint16_t(kBg0On | (under ? kBg1On : 0)));
    reg(BG0CNT, 8 << 8);
    reg(BG0CNT + 2, 9 << 8 | 1);
    solidTile4(32, 1);
    setBgPalette(17, kTop);
    setBgPalette(33, kUnder);
    mapEntry(8, 0, 0, 1 | 1 << 12);
    mapEntry(9, 0, 0, 1 | 2 << 12);
  }
};

TEST_F(Compose, BlendingAndFades) {
  struct Case {
    const char* what;
    uint16_t bldcnt, bldalpha, bldy;
    bool under;
    uint16_t expected;
  };
  // BG0 blends through its bit 8 of BLDCNT; BLDALPHA's EVB is bits 8-12.
  const Case cases[] = {
      {"alpha 0 shows the top", 0x0140, 0x0000, 0, true, kTop},
      {"alpha 4", 0x0140, 0x0400, 0, true, rgb(16, 12, 4)},
      {"alpha 8", 0x0140, 0x0800, 0, true, rgb(12, 16, 8)},
      {"alpha 16 shows the second", 0x0140, 0x1000, 0, true, kUnder},
      {"alpha above 16", 0x0140, 0x1400, 0, true, kUnder},
      {"EVA is not read", 0x0140, 0x0810, 0, true, rgb(12, 16, 8)},
      {"top not blending", 0x0040, 0x0800, 0, true, kTop},
      {"nothing under the top", 0x0140, 0x0800, 0, false, kTop},
      {"blending off", 0x0100, 0x0800, 0, true, kTop},
      {"brighten 0 falls back to alpha", 0x0180, 0x0800, 0, true, rgb(12, 16, 8)},
      {"brighten 8", 0x0080, 0, 8, true, rgb(25, 19, 15)},
      {"brighten ignores bits above 4", 0x0080, 0, 0x28, true, rgb(25, 19, 15)},
      {"brighten 16", 0x0080, 0, 16, true, 0x7FFF},
      {"brighten 31", 0x0080, 0, 31, true, 0x7FFF},
      {"darken 8", 0x00C0, 0, 8, true, rgb(10, 4, 0)},
      {"darken 16", 0x00C0, 0, 16, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    layers(c.under);
    reg(BLDCNT, c.bldcnt);
    reg(BLDALPHA, c.bldalpha);
    reg(BLDY, c.bldy);
    frame();
    EXPECT_EQ(px(0, 0), c.expected);
  }
}

TEST_F(Compose, FadesActOnEveryPixel) {
  // The backdrop (28, 21, 2) is no blending target, yet fades too.
  reg(BLDCNT, 0x0080);
  reg(BLDY, 8);
  frame();
  EXPECT_EQ(px(100, 100), rgb(29, 26, 16));
  reg(BLDCNT, 0x00C0);
  frame();
  EXPECT_EQ(px(100, 100), rgb(14, 10, 1));
}

TEST_F(Compose, SpritesBlendOverBackgrounds) {
  struct Case {
    const char* what;
    uint16_t a0, bldcnt;
    uint16_t expected;
  };
  const Case cases[] = {
      {"semi-transparent", 0x0400, 0x0040, rgb(10, 5, 2)},
      {"first target by BLDCNT", 0, 0x0050, rgb(10, 5, 2)},
      {"opaque", 0, 0x0040, rgb(20, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    reg(DISPCNT, kBg0On | kObjOn | kObj1d);
    reg(BG0CNT, 8 << 8);
    solidTile4(32, 1);
    mapEntry(8, 0, 0, 1);
    setBgPalette(1, rgb(0, 10, 4));
    std::memset(&vram[0x10000 + 32], 0x11, 32);
    setObjPalette(1, rgb(20, 0, 0));
    sprite(0, c.a0, 0, 1);
    reg(BLDCNT, c.bldcnt);
    reg(BLDALPHA, 0x0800);
    frame();
    EXPECT_EQ(px(0, 0), c.expected);
  }
}

TEST_F(Compose, GridLines) {
  constexpr uint16_t kRed = 31;
  struct Case {
    int grid;
    unsigned x, y;
    bool red;
  };
  const Case cases[] = {
      {1, 5, 0, true},    {1, 5, 16, true},   {1, 5, 144, true}, {1, 0, 1, true},
      {1, 16, 1, true},   {1, 224, 1, true},  {1, 5, 1, false},  {1, 239, 1, false},
      {1, 8, 8, false},   {2, 5, 8, true},    {2, 8, 1, true},   {2, 5, 1, false},
      {0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "grid " << c.grid << " at " << c.x << "," << c.y);
    SetUp();
    // A background under the grid does not show through it.
    reg(DISPCNT, kBg0On);
    reg(BG0CNT, 8 << 8);
    solidTile4(32, 1);
    for (unsigned col = 0; col < 32; ++col)
      for (unsigned row = 0; row < 32; ++row) mapEntry(8, col, row, 1);
    gGridOption.value() = c.grid;
    frame();
    EXPECT_EQ(px(c.x, c.y), c.red ? kRed : bgColour(1));
  }
}

TEST_F(Compose, GridLineStillCarriesLineStateOn) {
  gGridOption.value() = 1;
  // Affine BG2: map row 2 is tile 3, whose rows have colours 10-17.
  reg(DISPCNT, 1 | kBg2On | kObjOn | kObj1d);
  reg(0x0C, 8 << 8);
  reg(BG2PA, 0x100);
  reg(BG2PD, 0x100);
  for (unsigned r = 0; r < 8; ++r) std::memset(&vram[3 * 64 + r * 8], 10 + r, 8);
  std::memset(&vram[0x4000 + 2 * 16], 3, 16);
  // A sprite that starts on grid line 16.
  std::memset(&vram[0x10000 + 32], 0x11, 32);
  sprite(0, 16, 20, 1);
  frame();
  EXPECT_EQ(px(5, 17), bgColour(11));
  EXPECT_EQ(px(20, 17), objColour(1));
  EXPECT_EQ(px(20, 23), objColour(1));
  EXPECT_EQ(px(20, 24), kBackdrop);
}

}  // namespace
