// Lines written out again from what they were drawn from: whatever changes
// in between, and in whatever order lines are drawn (the debugger's
// whole-picture redraws, running backwards, a line on its own), the picture
// must be the one that drawing every line afresh gives.

#include <functional>

#include "core/render.h"
#include "randomscene.h"
#include "renderscene.h"

using namespace scene;

namespace {

class LineReuse : public RenderScene {
 protected:
  // Every row as written, in order, over a scripted run from `seed`.
  std::vector<uint16_t> run(uint32_t seed, bool reuse) {
    Random random(seed);
    VideoMemory memory{io, pal, vram, oam};
    std::vector<uint16_t> rows;
    auto draw = [&](uint32_t line) {
      video->renderLine(line);
      for (unsigned x = 0; x < kScreenWidth; ++x) rows.push_back(px(x, line));
    };
    for (unsigned n = 0; n < 24; ++n) {
      memory.fill(random, n % 6);
      video->resetRenderer();
      video->lineCacheEnabled = reuse;
      gGridOption.value() = 0;
      video->setPresentMode(2);
      for (unsigned f = 0; f < 8; ++f) {
        switch (random.below(4)) {
          case 0:  // as the debugger does: the whole picture at once, often
            for (int redraw = 0; redraw < 3; ++redraw) {
              for (uint32_t line = 0; line < kScreenHeight; ++line) draw(line);
              if (random.chance(50)) memory.change(random);
            }
            break;
          case 1:  // running backwards: lines in falling order
            for (uint32_t line = kScreenHeight; line-- > 0;) {
              draw(line);
              if (random.chance(5)) memory.change(random);
            }
            break;
          case 2:  // single lines anywhere
            for (int i = 0; i < 40; ++i) {
              draw(random.below(kScreenHeight));
              if (random.chance(20)) memory.change(random);
            }
            break;
          default:  // a frame with changes between lines, as a program makes
            for (uint32_t line = 0; line < kScreenHeight; ++line) {
              draw(line);
              if (random.chance(10)) memory.change(random);
            }
            break;
        }
        // Now and then the front end's settings change between frames.
        if (random.chance(20)) gGridOption.value() = int(random.below(3));
        if (random.chance(20)) video->setPresentMode(random.below(3));
        if (random.chance(20)) gLayerMask ^= 0x100u << random.below(5);
        if (random.chance(10)) {
          for (uint32_t c = random.below(64); c < kColourCount; c += 64) video->debuggerColours[c] ^= 0x1234;
          video->coloursChanged();
        }
      }
    }
    return rows;
  }
  void TearDown() override {
    for (uint32_t c = 0; c < kColourCount; ++c) video->debuggerColours[c] = uint16_t(c);
    RenderScene::TearDown();
  }
};

TEST_F(LineReuse, GivesThePictureOfDrawingEveryLineAfresh) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    SetUp();
    const std::vector<uint16_t> afresh = run(seed, false);
    SetUp();
    const std::vector<uint16_t> reused = run(seed, true);
    ASSERT_EQ(afresh.size(), reused.size());
    size_t differ = 0, first = afresh.size();
    for (size_t i = 0; i < afresh.size(); ++i)
      if (afresh[i] != reused[i]) {
        ++differ;
        first = std::min(first, i);
      }
    EXPECT_EQ(differ, 0u) << "first at row " << first / kScreenWidth << " of the run, x "
                          << first % kScreenWidth;
  }
}

// Each input of a line, changed after the line was drawn and with nothing
// else changed, shows when the line is drawn again.
TEST_F(LineReuse, EachInputOfALineIsSeen) {
  struct Case {
    const char* what;
    std::function<void()> change;
    unsigned x, y;
    bool drawsTheFrame;  // the change draws the frame itself
  };
  // Mode 1: BG0 (tile 1, 16 colours, bank 1 at map (0, 0)) blends over BG1;
  // BG2 affine, magnified, all tile 4; sprite 0 at (100, 0) and an affine,
  // double-size sprite 2 at (140, 8).
  const Case cases[] = {
      {"palette entry", [this] { setBgPalette(17, 0x1111); }, 0, 0, false},
      {"tile row", [this] { vram[32] = 0x22; }, 0, 0, false},
      {"map entry", [this] { mapEntry(8, 0, 0, 2); }, 0, 0, false},
      {"scroll", [this] { reg(BG0HOFS, 1); }, 7, 0, false},
      {"wide map's second screen block",
       [this] {
         reg(BG0CNT, 12 << 8 | 1 << 14);
         mapEntry(12, 0, 0, 1 | 1 << 12);
         reg(BG0HOFS, 200);
         frame();
         frame();
         mapEntry(13, 0, 0, 8 | 1 << 12);
         frame();
       },
       56, 0, true},
      {"sprite moved onto the line", [this] { sprite(1, 40, 100, 3); }, 100, 40, false},
      {"sprite tile", [this] { vram[0x10000 + 3 * 32] = 0x07; }, 100, 0, false},
      {"sprite palette", [this] { setObjPalette(5, 0x2222); }, 100, 0, false},
      {"affine parameters", [this] { spriteMatrix(0, 0x100, 0, 0, 0x100); }, 150, 14, false},
      {"blend registers", [this] { reg(BLDALPHA, 0x0808); }, 0, 0, false},
      {"layer mask", [] { gLayerMask &= ~kLayerBg0; }, 0, 0, false},
      {"grid", [] { gGridOption.value() = 1; }, 16, 5, false},
      {"colour table",
       [this] {
         video->debuggerColours[px(0, 0)] = 0x7777;
         video->coloursChanged();
       },
       0, 0, false},
      {"present mode", [this] { video->setPresentMode(1); }, 0, 0, false},
      {"affine map", [this] { vram[0x5000 + 12 * 16 + 12] = 6; }, 200, 100, false},
      {"BG2 reference point", [this] { reg32(BG2X, 100 << 8); }, 200, 100, false},
      {"reference carried from the lines above",
       [this] {
         reg(BG2PB, 0x100);
         for (uint32_t line = 0; line < 20; ++line) video->renderLine(line);
         reg(BG2PB, 0);
         for (uint32_t line = 20; line < kScreenHeight; ++line) video->renderLine(line);
       },
       230, 100, true},
      {"bitmap pixel",
       [this] {
         reg(DISPCNT, 3 | kBg2On);
         reg(BG2PA, 0x100);
         frame();
         vram16(70 * 480 + 2 * 30, 0x3333);
       },
       30, 70, false},
      {"bitmap pixel, magnified",
       [this] {
         reg(DISPCNT, 3 | kBg2On);
         frame();
         vram16(70 * 480 + 2 * 15, 0x3333);
       },
       30, 70, false},
  };
  auto build = [this] {
    reg(DISPCNT, 1 | kBg0On | kBg1On | kBg2On | kObjOn | kObj1d);
    reg(BG0CNT, 8 << 8);
    reg(BG0CNT + 2, 9 << 8 | 1);
    reg(0x0C, 10 << 8 | 2);
    solidTile4(32, 1);
    mapEntry(8, 0, 0, 1 | 1 << 12);
    mapEntry(9, 0, 0, 1);
    std::memset(&vram[0x5000], 4, 0x400);  // BG2's map: tile 4
    solidTile8(4 * 64, 9);
    reg(BG2PA, 0x80);
    reg(BLDCNT, 0x0140);
    reg(BLDALPHA, 0x0400);
    std::memset(&vram[0x10000 + 3 * 32], 0x55, 32);
    sprite(0, 0, 100, 3);
    sprite(2, 0x100 | 0x200 | 8, 140, 3);  // affine, double size, group 0
    spriteMatrix(0, 0x200, 0, 0, 0x200);
  };
  auto picture = [this] {
    std::vector<uint16_t> p;
    for (unsigned y = 0; y < kScreenHeight; ++y)
      for (unsigned x = 0; x < kScreenWidth; ++x) p.push_back(px(x, y));
    return p;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint16_t> pictures[2];
    for (bool reuse : {true, false}) {
      SetUp();
      video->lineCacheEnabled = reuse;
      build();
      frame();
      frame();  // every line now as it was
      c.change();
      if (!c.drawsTheFrame) frame();
      pictures[reuse] = picture();
    }
    for (unsigned i = 0; i < pictures[0].size(); ++i)
      ASSERT_EQ(pictures[1][i], pictures[0][i]) << "at " << i % kScreenWidth << "," << i / kScreenWidth;
    // And the change did show where the case looks.
    SetUp();
    build();
    frame();
    EXPECT_NE(px(c.x, c.y), pictures[0][c.y * kScreenWidth + c.x]);
  }
}

// With no layer on, the backdrop fills the line in every mode, and a new
// backdrop colour shows as a fresh drawing shows it.
TEST_F(LineReuse, ANewBackdropShowsInEveryMode) {
  for (uint16_t dispcnt : {0, 3, 4, 5}) {
    SCOPED_TRACE(testing::Message() << "DISPCNT " << dispcnt);
    SetUp();
    reg(DISPCNT, dispcnt);
    frame();
    const uint16_t before = px(0, 0);
    setBgPalette(0, 0x1234);
    frame();
    const uint16_t after = px(0, 0);
    SetUp();
    reg(DISPCNT, dispcnt);
    setBgPalette(0, 0x1234);
    frame();
    EXPECT_EQ(after, px(0, 0));
    EXPECT_NE(before, after);
  }
}

}  // namespace

// The picture is the colour table's colours of the console colours drawn,
// through every kind of layer and blend, while the palette changes between
// lines (a bank at a time or a single entry) and the table or the present
// mode changes between frames.
TEST_F(LineReuse, EveryPixelIsTheTablesColourOfItsConsoleColour) {
  auto scrambled = [](uint32_t c, uint32_t salt) { return uint16_t(((c * 40503u) ^ 0xA5A5) + salt); };
  for (uint32_t seed : {4u, 5u}) {
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    // First the console colours, through the table that leaves them as they
    // are; then the same run through other tables.
    std::vector<uint16_t> console, shown;
    struct Table {
      uint32_t present, salt;
    };
    std::vector<Table> tables;  // each row's
    for (bool scramble : {false, true}) {
      SetUp();
      Random random(seed), choices(seed + 100);
      VideoMemory memory{io, pal, vram, oam};
      for (unsigned n = 0; n < 12; ++n) {
        memory.fill(random, n % 6);
        video->resetRenderer();
        gGridOption.value() = int(n % 3);
        for (unsigned f = 0; f < 2; ++f) {
          Table table{0, 0};
          if (scramble) {
            table = Table{choices.below(2), choices.below(4)};
            for (uint32_t c = 0; c < kColourCount; ++c) video->debuggerColours[c] = scrambled(c, table.salt);
            video->coloursChanged();
          }
          video->setPresentMode(table.present);
          for (uint32_t line = 0; line < kScreenHeight; ++line) {
            video->renderLine(line);
            for (unsigned x = 0; x < kScreenWidth; ++x) (scramble ? shown : console).push_back(px(x, line));
            if (scramble) tables.push_back(table);
            if (random.chance(10)) memory.change(random);
            if (random.chance(5)) setBgPalette(random.below(256), uint16_t(random.next()));
          }
        }
      }
    }
    ASSERT_EQ(console.size(), shown.size());
    size_t differ = 0, first = shown.size();
    for (size_t i = 0; i < shown.size(); ++i) {
      const Table& t = tables[i / kScreenWidth];
      const uint16_t want = t.present == 1 ? uint16_t(console[i] | 0x8000) : scrambled(console[i], t.salt);
      if (shown[i] != want && differ++ == 0) first = i;
    }
    EXPECT_EQ(differ, 0u) << "first at row " << first / kScreenWidth << " x " << first % kScreenWidth;
  }
}
