#include "general/text.h"

#include <gtest/gtest.h>

#include "general/bmp.h"
#include "pictures.h"
#include "support/tempdir.h"

using pictures::Rows;

namespace {

constexpr uint16_t kC = 0x1234, kBack = 0x0001;

// A font of 2 x 1 cells, 16 per row: every cell is solid ink except cell 63,
// whose left pixel is key, so a fallback to it shows.
class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures::memoryView(32, 32);
    for (auto& s : gTabStops) s = 0;
    PlainBitmap sheet;
    sheet.resize(32, bands);
    sheet.fillRect(0xFFFF, nullptr);
    sheet.lock(2);
    sheet.setPixel(2 * (63 % 16), 63 / 16, 0);
    sheet.unlock();
    ASSERT_TRUE(sheet.saveBitmapFile("font.bmp"));
    font = loadFont("font.bmp", 2, 1, 256);
  }
  void TearDown() override { freeFonts(); }

  Rows draw(std::u16string_view text, int32_t x = 0) {
    PlainBitmap target;
    pictures::setRows(target, pictures::filled(24, 1, kBack));
    drawText(target, font, x, 0, kC, text, 4);
    return pictures::rowsOf(target);
  }
  // What the text "A" in colour c at pixel x looks like, over the back colour.
  static Rows glyphAt(std::vector<std::pair<int, uint16_t>> glyphs) {
    Rows r = pictures::filled(24, 1, kBack);
    for (auto [x, c] : glyphs) r[0][x] = r[0][x + 1] = c;
    return r;
  }

  pictures::ScopedDisplay scoped;
  testsupport::ScopedTempDir dir;
  uint32_t bands = 5;  // 80 cells
  uint32_t font = 0;
};

TEST_F(Text, FixedColourCodes) {
  const std::pair<char16_t, uint16_t> colours[] = {{1, 0x0000}, {2, 0xF800}, {3, 0x07E0}, {4, 0x001F},
                                                   {5, 0xFBE0}, {6, 0xFFE0}, {7, 0xF81F}, {8, 0xFFFF}};
  for (auto [code, colour] : colours) {
    SCOPED_TRACE(int(code));
    std::u16string text{code, u'A', 11, u'A'};
    // Code 11 goes back to the colour the call was given.
    EXPECT_EQ(draw(text), glyphAt({{0, colour}, {2, kC}}));
  }
}

TEST_F(Text, NothingCodesNeitherDrawNorMove) {
  EXPECT_EQ(draw(std::u16string{u'A', 0, 10, 13, u'A'}), glyphAt({{0, kC}, {2, kC}}));
}

TEST_F(Text, TabStops) {
  // All stops 0: a tab never moves.
  EXPECT_EQ(draw(u"\tA"), glyphAt({{0, kC}}));
  setTabStop(0, 5);
  setTabStop(1, 12);
  EXPECT_EQ(draw(u"A\tA"), glyphAt({{0, kC}, {5, kC}}));
  EXPECT_EQ(draw(u"A\tA\tA"), glyphAt({{0, kC}, {5, kC}, {12, kC}}));
  // Beyond every stop x stays.
  EXPECT_EQ(draw(u"\tA", 14), glyphAt({{14, kC}}));
  setTabStop(32, 1);  // refused
  EXPECT_EQ(gTabStops[31], 0);
}

TEST_F(Text, FifteenBitColourCodes) {
  // 14 then 31: pure red text; the colour character is not drawn.
  EXPECT_EQ(draw(std::u16string{14, 31, u'A'}), glyphAt({{0, 0xF800}}));
  // 12 then bits 10-14: a pure blue second colour, seen in cell 63's key
  // pixel (code 100 is beyond the font's 80 cells).
  Rows r = draw(std::u16string{12, 0x7C00, 100});
  EXPECT_EQ(r[0][0], 0x001F);
  EXPECT_EQ(r[0][1], kC);
  // Without a second colour key pixels are 0.
  EXPECT_EQ(draw(u"d")[0][0], 0);
  // A colour code at the end has nothing after it.
  EXPECT_EQ(draw(std::u16string{u'A', 12}), glyphAt({{0, kC}}));
  EXPECT_EQ(draw(std::u16string{u'A', 14}), glyphAt({{0, kC}}));
}

TEST_F(Text, KeyedModeAndClipping) {
  PlainBitmap target;
  pictures::setRows(target, pictures::filled(5, 1, kBack));
  // Mode 5 leaves key pixels alone; a text running off the right edge stops
  // at it.
  drawText(target, font, 0, 0, kC, u"dAAAAAAAA", 5);
  EXPECT_EQ(pictures::rowsOf(target), (Rows{{kBack, kC, kC, kC, kC}}));
  drawText(target, font, -3, 0, 0x0F0F, u"AA", 4);
  EXPECT_EQ(pictures::rowsOf(target), (Rows{{0x0F0F, kC, kC, kC, kC}}));
}

TEST_F(Text, BadFontsDrawNothing) {
  PlainBitmap target;
  pictures::setRows(target, pictures::filled(4, 1, kBack));
  drawText(target, 0, 0, 0, kC, u"AA", 4);
  drawText(target, 99, 0, 0, kC, u"AA", 4);
  EXPECT_EQ(fontWidth(99), 0u);
  // Fewer than 64 cells: codes beyond them draw nothing.
  PlainBitmap small;
  small.resize(20, 1);
  small.fillRect(0xFFFF, nullptr);
  ASSERT_TRUE(small.saveBitmapFile("small.bmp"));
  uint32_t tiny = loadFont("small.bmp", 2, 1, 256);
  EXPECT_EQ(gFontTable[tiny - 1]->glyphs.size(), 10u);
  drawText(target, tiny, 0, 0, kC, u"AA", 4);
  // A cell size of 0 and a missing file give fonts without cells.
  uint32_t zero = loadFont("small.bmp", 0, 1, 256);
  EXPECT_TRUE(gFontTable[zero - 1]->glyphs.empty());
  uint32_t missing = loadFont("missing.bmp", 8, 12, 256);
  EXPECT_TRUE(gFontTable[missing - 1]->glyphs.empty());
  drawText(target, zero, 0, 0, kC, u"AA", 4);
  drawText(target, missing, 0, 0, kC, u"AA", 4);
  EXPECT_EQ(pictures::rowsOf(target), pictures::filled(4, 1, kBack));
}

TEST_F(Text, PartialCellsAtThePictureEdges) {
  PlainBitmap sheet;
  sheet.resize(5, 3);
  sheet.fillRect(0xFFFF, nullptr);
  ASSERT_TRUE(sheet.saveBitmapFile("odd.bmp"));
  uint32_t f = loadFont("odd.bmp", 2, 2, 256);
  const Font& font = *gFontTable[f - 1];
  ASSERT_EQ(font.glyphs.size(), 6u);
  // The bottom-right cell holds one pixel of the picture; the rest is key.
  PlainBitmap& corner = *font.glyphs[5];
  corner.lock(1);
  EXPECT_EQ(corner.pixel(0, 0), 0xFFFF);
  EXPECT_EQ(corner.pixel(1, 0), 0);
  EXPECT_EQ(corner.pixel(0, 1), 0);
  corner.unlock();
}

TEST_F(Text, OurFontHasItsCells) {
  uint32_t f = loadFont((std::string(VANDREL_ASSET_DIR) + "/eng.bmp").c_str(), 8, 12, 256);
  EXPECT_EQ(fontWidth(f), 8u);
  EXPECT_EQ(fontHeight(f), 12u);
  const Font& font = *gFontTable[f - 1];
  ASSERT_GE(font.glyphs.size(), 128u);
  auto ink = [&](uint32_t cell, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
    PlainBitmap& g = *font.glyphs[cell];
    g.lock(1);
    int n = 0;
    for (uint32_t y = y0; y < y0 + h; ++y)
      for (uint32_t x = x0; x < x0 + w; ++x) n += g.pixel(x, y) != 0;
    g.unlock();
    return n;
  };
  for (uint32_t c = 33; c < 127; ++c) EXPECT_GT(ink(c, 0, 0, 8, 12), 0) << c;
  EXPECT_EQ(ink(32, 0, 0, 8, 12), 0);
  for (uint32_t c = 16; c <= 27; ++c) EXPECT_GT(ink(c, 0, 0, 8, 12), 0) << c;
  // The check boxes lie inside the top-left 8 x 8 and differ.
  for (uint32_t c : {20u, 21u}) EXPECT_EQ(ink(c, 0, 8, 8, 4), 0);
  EXPECT_GT(ink(21, 0, 0, 8, 8), ink(20, 0, 0, 8, 8));
  EXPECT_GT(ink(23, 0, 0, 8, 12), ink(22, 0, 0, 8, 12));
}

}  // namespace
