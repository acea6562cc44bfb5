// Backgrounds of every kind: text, affine and the three bitmap modes.

#include "core/render.h"
#include "renderscene.h"

using namespace scene;

namespace {

class Backgrounds : public RenderScene {};

struct FlipCase {
  uint16_t entryFlags;
  unsigned x, y, nibble;
};

TEST_F(Backgrounds, TextTiles16ColoursFollowFlipsAndPaletteBank) {
  const FlipCase cases[] = {
      {0x000, 0, 0, 5},  {0x000, 7, 0, 6},  {0x000, 0, 7, 7},   // as stored
      {0x400, 7, 0, 5},  {0x400, 0, 0, 6},  {0x400, 7, 7, 7},   // columns flipped
      {0x800, 0, 7, 5},  {0x800, 7, 7, 6},  {0x800, 0, 0, 7},   // rows flipped
      {0xC00, 7, 7, 5},  {0xC00, 0, 7, 6},  {0xC00, 7, 0, 7},   // both
  };
  for (const FlipCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.entryFlags << " at " << c.x << "," << c.y);
    SetUp();
    reg(DISPCNT, kBg0On);
    reg(BG0CNT, 8 << 8);  // map in screen block 8, characters at 0
    tile4Pixel(32, 0, 0, 5);  // tile 1 with three marked corners
    tile4Pixel(32, 7, 0, 6);
    tile4Pixel(32, 0, 7, 7);
    mapEntry(8, 0, 0, uint16_t(1 | c.entryFlags | 3 << 12));  // tile 1, palette bank 3
    frame();
    EXPECT_EQ(px(c.x, c.y), bgColour(48 + c.nibble));
    // A 0 in the tile is transparent whatever the bank.
    EXPECT_EQ(px(3, 3), kBackdrop);
  }
}

TEST_F(Backgrounds, TextTiles256ColoursWithScroll) {
  reg(DISPCNT, kBg0On);
  reg(BG0CNT, 0x80 | 1 << 2 | 9 << 8);  // 256 colours, characters at 16 KB, map block 9
  reg(BG0HOFS, 3);
  reg(BG0VOFS, 2 | 0x200);  // bits above 8 are not part of the scroll
  vram[0x4000 + 2 * 64 + 0] = 200;          // tile 2, pixel (0, 0)
  vram[0x4000 + 2 * 64 + 7 * 8 + 7] = 201;  // pixel (7, 7)
  mapEntry(9, 1, 1, 2);
  frame();
  EXPECT_EQ(px(5, 6), bgColour(200));
  EXPECT_EQ(px(12, 13), bgColour(201));
  EXPECT_EQ(px(6, 6), kBackdrop);
}

TEST_F(Backgrounds, TextMapSizesPlaceTheirScreenBlocks) {
  struct Case {
    uint16_t size;
    uint16_t hofs, vofs;
    unsigned block;  // screen block (after the first) whose tile shows
  };
  const Case cases[] = {
      {0, 256, 256, 0},  // 256x256 wraps
      {1, 256, 0, 1},    {1, 0, 256, 0},    // 512x256: right block next
      {2, 0, 256, 1},    {2, 256, 0, 0},    // 256x512: lower block next, 2 KB on
      {3, 256, 0, 1},    {3, 0, 256, 2},   {3, 256, 256, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " scroll " << c.hofs << "," << c.vofs);
    SetUp();
    reg(DISPCNT, kBg0On);
    reg(BG0CNT, uint16_t(c.size << 14 | 8 << 8));
    solidTile4(32, 1);
    for (unsigned b = 0; b < 4; ++b) mapEntry(8 + b, 0, 0, uint16_t(1 | b << 12));
    reg(BG0HOFS, c.hofs);
    reg(BG0VOFS, c.vofs);
    frame();
    EXPECT_EQ(px(0, 0), bgColour(16 * c.block + 1));
  }
}

TEST_F(Backgrounds, TileDataBeyondBackgroundVramIsTransparent) {
  reg(DISPCNT, kBg0On);
  reg(BG0CNT, 0x80 | 3 << 2 | 8 << 8);  // 256 colours from 48 KB
  mapEntry(8, 0, 0, 0x3FF);             // 48 KB + 64 KB: past the end of VRAM
  mapEntry(8, 1, 0, 0x200);             // 48 KB + 32 KB: sprite memory
  std::memset(&vram[0x14000], 9, 0x4000);
  frame();
  EXPECT_EQ(px(0, 0), kBackdrop);
  EXPECT_EQ(px(8, 0), kBackdrop);
}

class Affine : public RenderScene {
protected:
  // Mode 1, BG2 128x128: characters at 0, map in screen block 8; tile 1 is
  // colour 1, tile 2 colour 2 and tile 3 gives each row its own colour.
  void SetUp() override {
    RenderScene::SetUp();
    reg(DISPCNT, 1 | kBg2On);
    reg(BG2PA, 0x100);
    reg(BG2PD, 0x100);
    solidTile8(1 * 64, 1);
    solidTile8(2 * 64, 2);
    for (unsigned r = 0; r < 8; ++r) std::memset(&vram[3 * 64 + r * 8], 10 + r, 8);
    vram[0x4000 + 0] = 1;        // map (0, 0)
    vram[0x4000 + 15] = 2;       // map (15, 0), the last column
    vram[0x4000 + 16 * 2] = 3;   // map (0, 2)
  }
  void control(bool wrap) { reg(0x0C, uint16_t(8 << 8 | (wrap ? 0x2000 : 0))); }
};

TEST_F(Affine, WrapDecidesWhatLiesOutsideTheMap) {
  struct Case {
    bool wrap;
    uint32_t x;       // BG2X
    uint16_t pa;
    unsigned screenX;
    uint16_t expected;
  };
  const Case cases[] = {
      {false, 0, 0x100, 0, bgColour(1)},
      {false, 0, 0x100, 120, bgColour(2)},
      {false, 0, 0x100, 128, kBackdrop},   // past the right edge
      {true, 0, 0x100, 128, bgColour(1)},  // wraps to column 0
      {false, 0, 0x200, 60, bgColour(2)},  // scaled: pixel 120 of the map
      {false, 0xFFFFF800u, 0x100, 0, kBackdrop},   // reference -8: left of the map
      {false, 0xFFFFF800u, 0x100, 8, bgColour(1)},
      {true, 0xFFFFF800u, 0x100, 0, bgColour(2)},
      {false, 0x0FFFF800u, 0x100, 8, bgColour(1)},  // the same 28-bit reference
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "wrap " << c.wrap << " x " << c.x << " pa " << c.pa << " at "
                                    << c.screenX);
    SetUp();
    control(c.wrap);
    reg32(BG2X, c.x);
    reg(BG2PA, c.pa);
    frame();
    EXPECT_EQ(px(c.screenX, 0), c.expected);
  }
}

TEST_F(Affine, ReferenceAdvancesEachLineAndReloadsWhenWritten) {
  control(false);
  reg(BG2PD, 0x200);  // two map rows a line
  for (uint32_t line = 0; line < 10; ++line) video->renderLine(line);
  EXPECT_EQ(px(0, 3), bgColour(1));
  EXPECT_EQ(px(0, 7), kBackdrop);     // map row 14: tile 0
  EXPECT_EQ(px(0, 8), bgColour(10));  // map row 16
  EXPECT_EQ(px(0, 9), bgColour(12));  // map row 18

  // A new Y reference mid-frame takes effect on the next line.
  SetUp();
  control(false);
  for (uint32_t line = 0; line < 3; ++line) video->renderLine(line);
  reg32(BG2Y, 17 << 8);
  video->renderLine(3);
  video->renderLine(4);
  EXPECT_EQ(px(0, 3), bgColour(11));
  EXPECT_EQ(px(0, 4), bgColour(12));

  // Redrawing one line on its own finds the same reference.
  SetUp();
  control(false);
  frame();
  const Rect line19{0, 19, kScreenWidth, 1};
  gScreenBitmap.fill(0, &line19);
  video->renderLine(19);
  EXPECT_EQ(px(0, 19), bgColour(13));
}

TEST_F(Backgrounds, BitmapModes) {
  struct Case {
    uint16_t dispcnt;
    unsigned x, y;
    uint16_t expected;
  };
  // Mode 3: halfword 0x9234 at (10, 20); mode 4: index 5 on page 0, 6 on
  // page 1; mode 5: a 160x128 picture from (0, 0), 0x1111 on page 0 and
  // 0x2222 on page 1 at its top-left pixel.
  const Case cases[] = {
      {3 | kBg2On, 10, 20, 0x1234},  // bit 15 is not part of the colour
      {3 | kBg2On, 11, 20, 0x0000},      {3 | kBg2On | kPage1, 10, 20, 0x1234},  // mode 3 has one page
      {4 | kBg2On, 10, 20, bgColour(5)}, {4 | kBg2On | kPage1, 10, 20, bgColour(6)},
      {4 | kBg2On, 11, 20, kBackdrop},  // index 0 is transparent
      {5 | kBg2On, 0, 0, 0x1111},        {5 | kBg2On | kPage1, 0, 0, 0x2222},
      {5 | kBg2On, 159, 127, 0x0333},   // bottom-right pixel of the picture
      {5 | kBg2On, 160, 0, kBackdrop},  // beyond it the backdrop shows
      {5 | kBg2On, 0, 128, kBackdrop},   {5 | kBg2On, 239, 159, kBackdrop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "dispcnt " << c.dispcnt << " at " << c.x << "," << c.y);
    SetUp();
    vram16(20 * 480 + 2 * 10, 0x9234);
    vram[20 * 240 + 10] = 5;
    vram[0xA000 + 20 * 240 + 10] = 6;
    if ((c.dispcnt & 7) == 5) {
      vram16(0, 0x1111);
      vram16(0xA000, 0x2222);
      vram16(127 * 320 + 2 * 159, 0x0333);
    }
    fillScreen(0x5555);
    reg(DISPCNT, c.dispcnt);
    frame();
    EXPECT_EQ(px(c.x, c.y), c.expected);
  }
}

TEST_F(Backgrounds, BitmapsAreDrawnThroughTheBg2Matrix) {
  // Bitmap pixel (px, py) holds colour (or index) 1 + px + 2 x py in every
  // mode; the cases give the bitmap pixel expected at a screen pixel, or
  // none where the matrix leads outside the bitmap (transparent, no wrap).
  struct Case {
    const char* what;
    unsigned mode;
    int16_t pa, pb, pc, pd;
    int32_t x, y;  // BG2X, BG2Y in 8.8 fixed point
    unsigned screenX, screenY;
    int bitmapX, bitmapY;  // -1: transparent
  };
  const Case cases[] = {
      {"identity", 3, 0x100, 0, 0, 0x100, 0, 0, 30, 40, 30, 40},
      {"moved", 3, 0x100, 0, 0, 0x100, 10 << 8, 20 << 8, 30, 40, 40, 60},
      {"moved past the right edge", 3, 0x100, 0, 0, 0x100, 10 << 8, 0, 230, 0, -1, -1},
      {"moved left of the bitmap", 3, 0x100, 0, 0, 0x100, -5 << 8, 0, 4, 0, -1, -1},
      {"moved left of the bitmap", 3, 0x100, 0, 0, 0x100, -5 << 8, 0, 5, 0, 0, 0},
      {"moved above the bitmap", 4, 0x100, 0, 0, 0x100, 0, -3 << 8, 7, 2, -1, -1},
      {"moved above the bitmap", 4, 0x100, 0, 0, 0x100, 0, -3 << 8, 7, 3, 7, 0},
      {"half a pixel on", 3, 0x100, 0, 0, 0x100, 0x80, 0x80, 9, 9, 9, 9},
      {"magnified twice", 3, 0x80, 0, 0, 0x80, 10 << 8, 20 << 8, 7, 5, 13, 22},
      {"magnified twice", 5, 0x80, 0, 0, 0x80, 10 << 8, 20 << 8, 6, 4, 13, 22},
      {"shrunk to half", 4, 0x200, 0, 0, 0x200, 0, 0, 50, 40, 100, 80},
      {"shrunk past the edge", 4, 0x200, 0, 0, 0x200, 0, 0, 120, 0, -1, -1},
      {"quarter turn", 3, 0, -0x100, 0x100, 0, 100 << 8, 0, 30, 10, 90, 30},
      {"quarter turn past the bottom", 3, 0, -0x100, 0x100, 0, 100 << 8, 0, 200, 10, -1, -1},
      {"quarter turn in mode 5", 5, 0, -0x100, 0x100, 0, 100 << 8, 0, 127, 10, 90, 127},
      {"quarter turn past mode 5's bottom", 5, 0, -0x100, 0x100, 0, 100 << 8, 0, 128, 10, -1, -1},
      {"mirrored", 4, -0x100, 0, 0, 0x100, 239 << 8, 0, 0, 5, 239, 5},
      {"moved past the bottom", 3, 0x100, 0, 0, 0x100, 0, 1 << 8, 0, 158, 0, 159},
      {"moved past the bottom", 3, 0x100, 0, 0, 0x100, 0, 1 << 8, 0, 159, -1, -1},
      {"sheared to the bottom row", 3, 0x100, 0, 1, 0x100, 0, 1 << 8, 0, 158, 0, 159},
      {"sheared past the bottom", 3, 0x100, 0, 1, 0x100, 0, 1 << 8, 0, 159, -1, -1},
      {"sheared past the right edge", 5, 0x100, 0, 1, 0x100, 0, 0, 160, 0, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.what << ", mode " << c.mode << " at " << c.screenX << ","
                                    << c.screenY);
    SetUp();
    const unsigned width = c.mode == 5 ? 160 : 240, height = c.mode == 5 ? 128 : 160;
    for (unsigned y = 0; y < height; ++y)
      for (unsigned x = 0; x < width; ++x) {
        const uint16_t value = uint16_t(1 + x + 2 * y);
        if (c.mode == 4)
          vram[y * 240 + x] = uint8_t(value);
        else
          vram16(y * width * 2 + 2 * x, value);
      }
    reg(DISPCNT, uint16_t(c.mode | kBg2On));
    reg(BG2PA, uint16_t(c.pa));
    reg(BG2PB, uint16_t(c.pb));
    reg(BG2PC, uint16_t(c.pc));
    reg(BG2PD, uint16_t(c.pd));
    reg32(BG2X, uint32_t(c.x));
    reg32(BG2Y, uint32_t(c.y));
    frame();
    uint16_t expected = kBackdrop;
    if (c.bitmapX >= 0) {
      const unsigned value = 1 + c.bitmapX + 2 * c.bitmapY;
      expected = c.mode == 4 ? bgColour(value & 0xFF) : uint16_t(value);
    }
    EXPECT_EQ(px(c.screenX, c.screenY), expected);
  }
}

TEST_F(Backgrounds, BitmapReferencePointReloadsWhenWritten) {
  reg(DISPCNT, 3 | kBg2On);
  for (unsigned y = 0; y < 160; ++y) vram16(y * 480, uint16_t(100 + y));
  for (uint32_t line = 0; line < 50; ++line) video->renderLine(line);
  reg32(BG2Y, 60 << 8);  // line 50 shows bitmap row 60, line 51 row 61
  for (uint32_t line = 50; line < kScreenHeight; ++line) video->renderLine(line);
  EXPECT_EQ(px(0, 49), 149);
  EXPECT_EQ(px(0, 50), 160);
  EXPECT_EQ(px(0, 51), 161);
  EXPECT_EQ(px(0, 149), 259);
  EXPECT_EQ(px(0, 150), kBackdrop);  // row 160: below the bitmap
}

TEST_F(Backgrounds, OutsideTheBitmapTheLayersBelowShow) {
  // BG2 at priority 0 over a sprite of priority 1.
  reg(DISPCNT, 3 | kBg2On | kObjOn | kObj1d);
  reg(BG2PA, 0x200);                      // shrunk: screen x 120 on lies outside
  std::memset(&vram[0x14000], 0x11, 32);  // sprite tile 512
  sprite(0, 0, 120, uint16_t(512 | 1 << 10));
  vram16(2 * 118, 0x0123);
  frame();
  EXPECT_EQ(px(59, 0), 0x0123);
  EXPECT_EQ(px(120, 0), objColour(1));
  EXPECT_EQ(px(128, 0), kBackdrop);
}

TEST_F(Backgrounds, ForcedBlankShowsWhite) {
  struct Case {
    const char* what;
    uint16_t dispcnt, bldcnt;
    int grid;
    unsigned x, y;
    uint16_t expected;
  };
  const Case cases[] = {
      {"mode 3", 0x80 | 3 | kBg2On, 0, 0, 10, 20, 0x7FFF},
      {"mode 0", 0x80 | kBg0On | kObjOn, 0, 0, 0, 0, 0x7FFF},
      {"no layer on", 0x80, 0, 0, 100, 100, 0x7FFF},
      {"darkened", 0x80 | 3 | kBg2On, 0x00C0, 0, 10, 20, 0x7FFF},
      {"grid over it", 0x80 | 3 | kBg2On, 0, 1, 16, 20, 31},
      {"grid over it", 0x80 | 3 | kBg2On, 0, 1, 17, 20, 0x7FFF},
      {"not blank", 3 | kBg2On, 0, 0, 10, 20, 0x1234},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    vram16(20 * 480 + 2 * 10, 0x1234);
    reg(BG0CNT, 8 << 8);
    solidTile4(32, 1);
    mapEntry(8, 0, 0, 1);
    reg(BLDCNT, c.bldcnt);
    reg(BLDY, 16);
    gGridOption.value() = c.grid;
    reg(DISPCNT, c.dispcnt);
    frame();
    EXPECT_EQ(px(c.x, c.y), c.expected);
  }

  // Sprites and reference points go on under it: a sprite of lines 10-17
  // shows on lines 13-17 when the blank ends at line 13.
  SetUp();
  std::memset(&vram[0x10000 + 32], 0x11, 32);
  sprite(0, 10, 20, 1);
  reg(DISPCNT, 0x80 | kObjOn | kObj1d);
  for (uint32_t line = 0; line < 13; ++line) video->renderLine(line);
  reg(DISPCNT, kObjOn | kObj1d);
  for (uint32_t line = 13; line < kScreenHeight; ++line) video->renderLine(line);
  EXPECT_EQ(px(20, 12), 0x7FFF);
  EXPECT_EQ(px(20, 13), objColour(1));
  EXPECT_EQ(px(20, 17), objColour(1));
  EXPECT_EQ(px(20, 18), kBackdrop);
}

TEST_F(Backgrounds, ColoursAreMaskedTo15Bits) {
  setBgPalette(0, 0xFFFF);
  reg(DISPCNT, 3 | kBg2On);
  vram16(0, 0xFFFF);
  frame();
  EXPECT_EQ(px(0, 0), 0x7FFF);
  reg(DISPCNT, 0);
  frame();
  EXPECT_EQ(px(100, 100), 0x7FFF);
}

TEST_F(Backgrounds, PrioritiesAndTies) {
  struct Case {
    unsigned prio0, prio1;
    uint16_t expected;
  };
  const Case cases[] = {
      {0, 0, bgColour(17)},  // a tie goes to the lower background number
      {1, 1, bgColour(17)},
      {1, 0, bgColour(33)},
      {3, 2, bgColour(33)},
      {2, 3, bgColour(17)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "priorities " << c.prio0 << "," << c.prio1);
    SetUp();
    reg(DISPCNT, kBg0On | kBg1On);
    reg(BG0CNT, uint16_t(8 << 8 | c.prio0));
    reg(BG0CNT + 2, uint16_t(9 << 8 | c.prio1));
    solidTile4(32, 1);
    mapEntry(8, 0, 0, 1 | 1 << 12);
    mapEntry(9, 0, 0, 1 | 2 << 12);
    mapEntry(9, 1, 0, 1 | 2 << 12);
    frame();
    EXPECT_EQ(px(0, 0), c.expected);
    EXPECT_EQ(px(8, 0), bgColour(33));  // only BG1 there
  }
}

TEST_F(Backgrounds, LayerMaskAndDisplayEnableBothGate) {
  struct Case {
    uint16_t dispcnt;
    uint32_t mask;
    uint16_t expected;
  };
  const Case cases[] = {
      {kBg0On | kBg1On, kAllLayers, bgColour(17)},
      {kBg0On | kBg1On, kAllLayers & ~kLayerBg0, bgColour(33)},
      {kBg1On, kAllLayers, bgColour(33)},
      {kBg0On | kBg1On, kAllLayers & ~0x300u, kBackdrop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "dispcnt " << c.dispcnt << " mask " << c.mask);
    SetUp();
    reg(DISPCNT, c.dispcnt);
    reg(BG0CNT, 8 << 8);
    reg(BG0CNT + 2, 9 << 8);
    solidTile4(32, 1);
    mapEntry(8, 0, 0, 1 | 1 << 12);
    mapEntry(9, 0, 0, 1 | 2 << 12);
    gLayerMask = c.mask;
    frame();
    EXPECT_EQ(px(0, 0), c.expected);
  }
}

TEST_F(Backgrounds, PresentModeOneUsesTheFullScreenColours) {
  video->setPresentMode(1);
  frame();
  EXPECT_EQ(px(0, 0), kBackdrop | 0x8000);
}

}  // namespace
