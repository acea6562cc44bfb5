// The older program's pictures: a 5:5:5 view in memory that is never shown,
// one glyph colour, text controls that end at 10, and no BMP writer.

#include "../pictures.h"

#include <gtest/gtest.h>

#include "../bmpfile.h"
#include "general/blit.h"
#include "general/text.h"
#include "support/tempdir.h"

using pictures::Rows;

namespace {

TEST(OlderView, MemoryPictureOf555) {
  pictures::ScopedDisplay scoped;
  ASSERT_TRUE(gView.setScreenMode(1024, 768, 2));
  EXPECT_EQ(gView.width(), 1024u);
  EXPECT_EQ(gView.height(), 768u);
  EXPECT_EQ(gView.red.shift, 10u);
  EXPECT_EQ(gView.green.max, 31u);
  EXPECT_EQ(gView.rgb(1, 1, 1), 0x7FFF);
  EXPECT_EQ(gView.rgb(0.25f, 0.25f, 0.25f), 0x1CE7);
  EXPECT_TRUE(gView.setScreenMode(1024, 768, 2));
  // Its fill does nothing; drawing goes to the memory pages.
  gView.fill(9, nullptr);
  gView.lock(2);
  EXPECT_EQ(gView.pixel(3, 3), 0);
  gView.setPixel(3, 3, 5);
  gView.unlock();
  gView.present();
  EXPECT_EQ(gView.currentPage(), 1u);
  gView.lock(1);
  EXPECT_EQ(gView.pixel(3, 3), 0);  // the other page
  gView.unlock();
  gView.present();
  gView.lock(1);
  EXPECT_EQ(gView.pixel(3, 3), 5);
  gView.unlock();
}

TEST(OlderBlit, OneColourGlyphsAndTints) {
  pictures::ScopedDisplay scoped;
  pictures::memoryView(4, 4, platform::kMasks555);
  PlainBitmap src, dst, bg;
  pictures::setRows(src, {{9, 0}});
  pictures::setRows(dst, {{3, 3}});
  BlitOptions o;
  o.mode = 4;
  o.colour1 = 0x7C00;
  o.colour2 = 0x03E0;  // not part of the older record: never drawn
  src.blitBitmap(dst, 0, 0, o);
  EXPECT_EQ(pictures::rowsOf(dst), (Rows{{0x7C00, 0}}));
  pictures::setRows(bg, {{0x7FFF, 0x7FFF}});
  o.mode = 6;
  o.background = static_cast<Bitmap*>(&bg);
  src.blitBitmap(dst, 0, 0, o);
  const uint16_t q = 0x1CE7;
  EXPECT_EQ(pictures::rowsOf(dst), (Rows{{uint16_t(q + 3 * ((0x7C00 >> 2) & q)), q}}));
}

TEST(OlderText, ControlsEndAtTen) {
  pictures::ScopedDisplay scoped;
  testsupport::ScopedTempDir dir;
  pictures::memoryView(32, 32, platform::kMasks555);
  // A 16 x 1 sheet of solid 1 x 1 cells, written by hand (no writer here).
  bmpfile::Layout sheet;
  sheet.width = 16;
  sheet.height = 8;
  sheet.rows.assign(8, std::vector<uint8_t>(48, 255));
  bmpfile::write("font.bmp", bmpfile::build(sheet));
  uint32_t font = loadFont("font.bmp", 1, 1, 256);
  ASSERT_EQ(gFontTable[font - 1]->glyphs.size(), 128u);
  PlainBitmap target;
  pictures::setRows(target, pictures::filled(6, 1, 1));
  // 2 red, 10 back to the colour given, 11 and 12 are glyphs.
  drawText(target, font, 0, 0, 0x0123, std::u16string{2, u'A', 10, u'A', 11, 12, 14}, 4);
  EXPECT_EQ(pictures::rowsOf(target), (Rows{{0x7C00, 0x0123, 0x0123, 0x0123, 0x0123, 1}}));
  EXPECT_FALSE(target.saveBitmapFile("shot.bmp"));
  freeFonts();
}

}  // namespace
