// Sprites: placement at the screen edges, flips, colours, character
// mapping, affine and double-size sprites, priorities and the line lists.

#include "core/render.h"
#include "randomscene.h"
#include "referencepicture.h"
#include "renderscene.h"

using namespace scene;

namespace {

constexpr uint16_t kAffine = 0x100, kDouble = 0x200, kSemi = 0x400, k256 = 0x2000;

class Sprites : public RenderScene {
protected:
  // An 8x8 16-colour tile 1 with three marked corners.
  void cornerTile() {
    spritePixel(1, 8, 0, 0, false, true, 5);
    spritePixel(1, 8, 7, 0, false, true, 6);
    spritePixel(1, 8, 0, 7, false, true, 7);
  }
};

TEST_F(Sprites, FlipsAndAffineMatricesPlaceTheCorners) {
  struct Case {
    const char* what;
    uint16_t a0, a1;
    int16_t pa, pd;  // matrix of group 1
    unsigned x, y;   // relative to the sprite's position
    unsigned nibble;
  };
  const Case cases[] = {
      {"plain", 0, 0, 0, 0, 0, 0, 5},
      {"plain", 0, 0, 0, 0, 7, 0, 6},
      {"plain", 0, 0, 0, 0, 0, 7, 7},
      {"h flip", 0, 0x1000, 0, 0, 7, 0, 5},
      {"h flip", 0, 0x1000, 0, 0, 0, 0, 6},
      {"v flip", 0, 0x2000, 0, 0, 0, 7, 5},
      {"v flip", 0, 0x2000, 0, 0, 0, 0, 7},
      {"both", 0, 0x3000, 0, 0, 7, 7, 5},
      {"affine identity", kAffine, 1 << 9, 0x100, 0x100, 0, 0, 5},
      {"affine half turn", kAffine, 1 << 9, -0x100, -0x100, 7, 7, 5},
      {"affine half turn", kAffine, 1 << 9, -0x100, -0x100, 7, 0, 7},
      {"double size", kAffine | kDouble, 1 << 9, 0x100, 0x100, 4, 4, 5},
      {"double size", kAffine | kDouble, 1 << 9, 0x100, 0x100, 11, 4, 6},
      {"double size", kAffine | kDouble, 1 << 9, 0x100, 0x100, 4, 11, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << " at " << c.x << "," << c.y);
    SetUp();
    reg(DISPCNT, kObjOn | kObj1d);
    cornerTile();
    spriteMatrix(1, c.pa, 0, 0, c.pd);
    sprite(0, uint16_t(30 | c.a0), uint16_t(20 | c.a1), 1 | 2 << 12);  // tile 1, bank 2
    frame();
    EXPECT_EQ(px(20 + c.x, 30 + c.y), objColour(32 + c.nibble));
    EXPECT_EQ(px(20 + 3, 30 + 3), kBackdrop);
  }
}

TEST_F(Sprites, DoubleSizeWithoutAffineHidesTheSprite) {
  reg(DISPCNT, kObjOn | kObj1d);
  cornerTile();
  sprite(0, 30 | kDouble, 20, 1);
  frame();
  EXPECT_EQ(px(20, 30), kBackdrop);
}

TEST_F(Sprites, CharacterMappingOneAndTwoDimensional) {
  struct Case {
    bool colours256, oneD;
  };
  const Case cases[] = {{false, true}, {false, false}, {true, true}, {true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.colours256 ? "256" : "16") << " colours, "
                                    << (c.oneD ? "1-D" : "2-D"));
    SetUp();
    reg(DISPCNT, uint16_t(kObjOn | (c.oneD ? kObj1d : 0)));
    // A 16x16 sprite from tile 4: one mark in each of its four tiles.
    spritePixel(4, 16, 0, 0, c.colours256, c.oneD, 1);
    spritePixel(4, 16, 9, 0, c.colours256, c.oneD, 2);
    spritePixel(4, 16, 0, 8, c.colours256, c.oneD, 3);
    spritePixel(4, 16, 15, 15, c.colours256, c.oneD, 4);
    sprite(0, uint16_t(50 | (c.colours256 ? k256 : 0)), 60 | 1 << 14, 4);
    frame();
    EXPECT_EQ(px(60, 50), objColour(1));
    EXPECT_EQ(px(69, 50), objColour(2));
    EXPECT_EQ(px(60, 58), objColour(3));
    EXPECT_EQ(px(75, 65), objColour(4));
  }
}

TEST_F(Sprites, EdgesOfTheScreen) {
  // A 32x16 256-colour sprite whose pixel (c, r) has index 1 + c + 32 x (r % 7).
  auto index = [](unsigned c, unsigned r) { return uint16_t(1 + c + 32 * (r % 7)); };
  constexpr uint16_t kWide = 0x4000, kShape3 = 0xC000;
  struct Case {
    const char* what;
    uint16_t y, x, shape;
    unsigned screenX, screenY;
    int column, row;  // the sprite pixel expected there, or -1 for none
  };
  const Case cases[] = {
      {"y 250: rows 6-15 on lines 0-9", 250, 10, kWide, 10, 0, 0, 6},
      {"y 250", 250, 10, kWide, 10, 9, 0, 15},
      {"y 250", 250, 10, kWide, 10, 10, -1, -1},
      {"x 500: columns 12-31 at 0-19", 40, 500, kWide, 0, 40, 12, 0},
      {"x 500", 40, 500, kWide, 19, 40, 31, 0},
      {"x 500", 40, 500, kWide, 20, 40, -1, -1},
      {"x 500", 40, 500, kWide, 239, 40, -1, -1},
      {"right edge", 40, 230, kWide, 239, 40, 9, 0},
      {"bottom", 150, 10, kWide, 10, 159, 0, 9},
      {"bottom does not wrap", 150, 10, kWide, 10, 0, -1, -1},
      {"y 240 ends at line 0", 240, 10, kWide, 10, 0, -1, -1},
      {"y 160 is hidden", 160, 10, kWide, 10, 0, -1, -1},
      {"x 300 is hidden", 40, 300, kWide, 0, 40, -1, -1},
      {"shape 3 is hidden", 40, 10, kShape3, 10, 40, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << " at " << c.screenX << "," << c.screenY);
    SetUp();
    reg(DISPCNT, kObjOn | kObj1d);
    for (unsigned r = 0; r < 16; ++r)
      for (unsigned col = 0; col < 32; ++col) spritePixel(0, 32, col, r, true, true, index(col, r));
    sprite(0, uint16_t(c.y | k256 | c.shape), uint16_t(c.x | 0x8000), 0);  // size 2: 32x16
    frame();
    EXPECT_EQ(px(c.screenX, c.screenY), c.column < 0 ? kBackdrop : objColour(index(c.column, c.row)));
  }
}

TEST_F(Sprites, PrioritiesAgainstBackgroundsAndEachOther) {
  struct Case {
    const char* what;
    unsigned bgPriority, priority0, priority1;  // priority1 > 3: no second sprite
    uint16_t expected;
  };
  const Case cases[] = {
      {"sprite above a background of its priority", 1, 1, 9, objColour(1)},
      {"background of a higher priority above", 0, 1, 9, bgColour(17)},
      {"lower priority number wins", 2, 3, 9, bgColour(17)},
      {"equal sprites: lower number on top", 3, 2, 2, objColour(1)},
      {"sprite 1 of priority 0 above sprite 0", 3, 1, 0, objColour(2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    reg(DISPCNT, kBg0On | kObjOn | kObj1d);
    reg(BG0CNT, uint16_t(8 << 8 | c.bgPriority));
    solidTile4(32, 1);
    mapEntry(8, 0, 0, 1 | 1 << 12);
    std::memset(&vram[0x10000 + 32], 0x11, 32);  // sprite tile 1: index 1
    std::memset(&vram[0x10000 + 64], 0x22, 32);  // sprite tile 2: index 2
    sprite(0, 0, 0, uint16_t(1 | c.priority0 << 10));
    if (c.priority1 <= 3) sprite(1, 0, 0, uint16_t(2 | c.priority1 << 10));
    frame();
    EXPECT_EQ(px(0, 0), c.expected);
  }
}

TEST_F(Sprites, UntouchedOamAfterResetIsDecoded) {
  std::fill(oam.begin(), oam.end(), 0);
  video->resetRenderer();
  reg(DISPCNT, kObjOn);
  vram[0x10000] = 0x03;  // tile 0, pixel (0, 0)
  frame();
  EXPECT_EQ(px(0, 0), objColour(3));
}

TEST_F(Sprites, LayerMaskHidesSpritesWhileTheirListsFollowOam) {
  reg(DISPCNT, kObjOn | kObj1d);
  std::memset(&vram[0x10000 + 32], 0x11, 32);
  sprite(0, 10, 20, 1);
  frame();
  EXPECT_EQ(px(20, 10), objColour(1));

  gLayerMask = kAllLayers & ~kLayerObj;
  frame();
  EXPECT_EQ(px(20, 10), kBackdrop);

  // Moved while hidden, shown again part way down the frame.
  sprite(0, 45, 20, 1);
  for (uint32_t line = 0; line < 50; ++line) video->renderLine(line);
  gLayerMask = kAllLayers;
  for (uint32_t line = 50; line < kScreenHeight; ++line) video->renderLine(line);
  EXPECT_EQ(px(20, 49), kBackdrop);
  EXPECT_EQ(px(20, 50), objColour(1));
  EXPECT_EQ(px(20, 52), objColour(1));
  EXPECT_EQ(px(20, 53), kBackdrop);
}

TEST_F(Sprites, MovingASpriteMidFrameAndRedrawingLines) {
  reg(DISPCNT, kObjOn | kObj1d);
  std::memset(&vram[0x10000 + 32], 0x11, 32);
  sprite(0, 35, 20, 1);
  // Lines drawn on their own, out of order, still find the sprite.
  video->renderLine(40);
  video->renderLine(36);
  EXPECT_EQ(px(20, 40), objColour(1));
  EXPECT_EQ(px(20, 36), objColour(1));

  // Moved down while it is being drawn: it continues from its new position.
  fillScreen(0);
  for (uint32_t line = 0; line < 38; ++line) video->renderLine(line);
  sprite(0, 33, 20, 1);  // rows 5-7 are left on lines 38-40
  for (uint32_t line = 38; line < kScreenHeight; ++line) video->renderLine(line);
  EXPECT_EQ(px(20, 35), objColour(1));
  EXPECT_EQ(px(20, 40), objColour(1));
  EXPECT_EQ(px(20, 41), kBackdrop);

  // A semi-transparent sprite drawn twice on a line would blend with itself.
  setObjPalette(1, rgb(20, 0, 0));
  reg(BLDCNT, 0x40);
  reg(BLDALPHA, 0x0300);
  sprite(0, uint16_t(35 | kSemi), 20, 1);
  sprite(1, uint16_t(250 | kSemi), 40, 1);  // starts above the screen
  for (int pass = 0; pass < 2; ++pass) {
    frame();
    for (uint32_t line = 35; line < 43; ++line) EXPECT_EQ(px(20, line), rgb(20, 0, 0)) << line;
    for (uint32_t line = 0; line < 2; ++line) EXPECT_EQ(px(40, line), rgb(20, 0, 0)) << line;
  }
}

}  // namespace

namespace {

// Random scenes in every mode, with random changes between lines: every line
// as drawn (and as written out again when nothing changed) must be the line
// the plain reference works out pixel by pixel.
TEST_F(Sprites, RandomScenesInEveryMode) {
  Random random(12345);
  VideoMemory memory{io, pal, vram, oam};
  unsigned mismatches = 0;
  for (unsigned n = 0; n < 32; ++n) {
    const uint32_t mode = n % 8;
    memory.fill(random, mode);
    video->resetRenderer();
    gLayerMask = random.chance(80) ? kAllLayers : random.next() & kAllLayers;
    gGridOption.value() = random.chance(20) ? int(1 + random.below(2)) : 0;
    video->setPresentMode(random.below(3));
    reference::Picture expected(io.data(), pal.data(), vram.data(), oam.data());
    for (int f = 0; f < 4; ++f) {
      // Every other frame is left as it is: lines as they were drawn before
      // unless a change after them touched what they show.
      const uint32_t changes = f % 2 ? 0 : 12;
      for (uint32_t line = 0; line < kScreenHeight; ++line) {
        if (changes && random.below(kScreenHeight) < changes) memory.change(random);
        video->renderLine(line);
        uint16_t want[kScreenWidth];
        expected.line(line, gGridOption.value(), gLayerMask, want);
        const uint16_t hostBit = video->presentMode == 1 ? 0x8000 : 0;
        for (unsigned x = 0; x < kScreenWidth; ++x) {
          const uint16_t got = px(x, line);
          if (got == (want[x] | hostBit)) continue;
          if (++mismatches <= 10)
            ADD_FAILURE() << "scene " << n << " (mode " << (io[0] & 7) << ", DISPCNT " << std::hex
                          << (io[0] | io[1] << 8) << ") frame " << std::dec << f << " at " << x << "," << line
                          << ": drawn " << std::hex << got << ", expected " << (want[x] | hostBit);
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace
