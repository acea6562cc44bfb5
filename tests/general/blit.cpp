#include "general/blit.h"

#include <gtest/gtest.h>

#include "pictures.h"

using pictures::Rows;

namespace {

constexpr uint16_t kWhite = 0xFFFF, kD = 0x1234, kA = 0x4321, kB = 0x0F0F;
constexpr uint16_t kC1 = 0xF800, kC2 = 0x07E0;

class Blit : public ::testing::Test {
 protected:
  void SetUp() override { pictures::memoryView(16, 16); }
  pictures::ScopedDisplay scoped;
};

struct ModeCase {
  const char* name;
  uint32_t mode;
  Rows source;       // blitted at (1, 0)
  Rows destination;  // before
  bool withBackground;
  Rows background;  // same size as the destination
  Rows expected;
};

TEST_F(Blit, EveryModeOn565) {
  // 0x39E7 is the quarter mask of 5:6:5; Q(white) = 0x39E7, 3Q(white) = 0xADB5.
  const uint16_t q = 0x39E7;
  auto Q = [q](uint16_t p) { return uint16_t((p >> 2) & q); };
  const ModeCase cases[] = {
      {"copy writes key pixels too",
       0,
       {{kA, 0}, {0, kB}},
       pictures::filled(4, 2, kD),
       false,
       {},
       {{kD, kA, 0, kD}, {kD, 0, kB, kD}}},
      {"keyed copy skips key pixels",
       1,
       {{kA, 0}, {0, kB}},
       pictures::filled(4, 2, kD),
       false,
       {},
       {{kD, kA, kD, kD}, {kD, kD, kB, kD}}},
      {"blend white over black and white",
       2,
       {{kWhite, kWhite}},
       {{0, 0, kWhite, 0}},
       false,
       {},
       {{0, 0xADB5, 0xE79C, 0}}},
      // With a background the blend reads it at the source's coordinates.
      {"blend over background at source coordinates",
       2,
       {{kWhite, kWhite}},
       {{0, 0, 0, 0}},
       true,
       {{kWhite, 0, 0, 0}},
       {{0, 0xE79C, 0xADB5, 0}}},
      {"keyed blend over background at destination coordinates",
       3,
       {{kWhite, 0, kWhite}},
       {{kWhite, kWhite, kWhite, 0}},
       true,
       {{kWhite, 0, kWhite, kWhite}},
       {{kWhite, 0xADB5, kWhite, 0xE79C}}},
      {"keyed blend over the destination",
       3,
       {{kWhite, 0}},
       {{0, 0, kWhite, 0}},
       false,
       {},
       {{0, 0xADB5, kWhite, 0}}},
      {"two-colour glyph writes every pixel",
       4,
       {{kA, 0}, {0, kB}},
       pictures::filled(4, 2, kD),
       false,
       {},
       {{kD, kC1, kC2, kD}, {kD, kC2, kC1, kD}}},
      {"keyed glyph writes only ink",
       5,
       {{kA, 0}, {0, kB}},
       pictures::filled(4, 2, kD),
       false,
       {},
       {{kD, kC1, kD, kD}, {kD, kD, kC1, kD}}},
      {"tint without background ignores the source",
       6,
       {{kA, 0}},
       {{0, kWhite, 0, 0}},
       false,
       {},
       {{0, uint16_t(Q(kWhite) + 3 * Q(kC1)), uint16_t(3 * Q(kC1)), 0}}},
      {"tint over background picks colour by key",
       6,
       {{kA, 0}},
       {{0, 0, 0, 0}},
       true,
       {{kWhite, 0, 0, 0}},
       {{0, uint16_t(Q(kWhite) + 3 * Q(kC1)), uint16_t(3 * Q(kC2)), 0}}},
      {"keyed tint",
       7,
       {{kA, 0, kB}},
       {{0, kWhite, kWhite, 0}},
       false,
       {},
       {{0, uint16_t(Q(kWhite) + 3 * Q(kC1)), kWhite, uint16_t(3 * Q(kC1))}}},
      {"keyed tint over background at destination coordinates",
       7,
       {{kA}},
       {{0, 0, 0, 0}},
       true,
       {{0, kWhite, 0, 0}},
       {{0, uint16_t(Q(kWhite) + 3 * Q(kC1)), 0, 0}}},
      {"mode 8 draws nothing",
       8,
       {{kA, kB}},
       pictures::filled(4, 1, kD),
       false,
       {},
       pictures::filled(4, 1, kD)},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlainBitmap src, dst, bg;
    pictures::setRows(src, c.source);
    pictures::setRows(dst, c.destination);
    BlitOptions o;
    o.mode = c.mode;
    o.key = 0;
    o.colour1 = kC1;
    o.colour2 = kC2;
    if (c.withBackground) {
      pictures::setRows(bg, c.background);
      o.background = static_cast<Bitmap*>(&bg);
    }
    src.blitBitmap(dst, 1, 0, o);
    EXPECT_EQ(pictures::rowsOf(dst), c.expected);
    EXPECT_FALSE(dst.isLocked());
    EXPECT_FALSE(src.isLocked());
  }
}

TEST_F(Blit, ClipsToDestinationInEveryMode) {
  PlainBitmap src;
  pictures::setRows(src, {{kA, kA, kA}, {kA, 0, kA}, {kA, kA, kA}});
  for (uint32_t mode = 0; mode < 8; ++mode) {
    SCOPED_TRACE(mode);
    PlainBitmap dst;
    pictures::setRows(dst, pictures::filled(2, 2, kD));
    BlitOptions o;
    o.mode = mode;
    o.colour1 = kC1;
    for (auto [x, y] : {std::pair{-100000, 0},
                        {100000, 0},
                        {0, -100000},
                        {0, 100000},
                        {-3, -3},
                        {2, 2},
                        {INT32_MIN, INT32_MIN},
                        {INT32_MAX, INT32_MAX}})
      src.blitBitmap(dst, x, y, o);
    EXPECT_EQ(pictures::rowsOf(dst), pictures::filled(2, 2, kD));
  }
  // Keyed copy hanging over the bottom-right edge writes what lies inside.
  PlainBitmap dst;
  pictures::setRows(dst, pictures::filled(2, 2, kD));
  BlitOptions o;
  o.mode = 1;
  src.blitBitmap(dst, 1, 1, o);
  EXPECT_EQ(pictures::rowsOf(dst), (Rows{{kD, kD}, {kD, kA}}));
  o.mode = 0;
  src.blitBitmap(dst, -2, -2, o);
  EXPECT_EQ(pictures::rowsOf(dst), (Rows{{kA, kD}, {kD, kA}}));
}

TEST_F(Blit, AClipRectangleKeepsEveryModeInsideIt) {
  PlainBitmap src;
  pictures::setRows(src, pictures::filled(3, 3, kA));
  for (uint32_t mode = 0; mode < 8; ++mode) {
    SCOPED_TRACE(mode);
    PlainBitmap dst, under;
    pictures::setRows(dst, pictures::filled(4, 4, kD));
    pictures::setRows(under, pictures::filled(4, 4, kB));
    BlitOptions o;
    o.mode = mode;
    o.key = 0;
    o.colour1 = kC1;
    o.background = RootPtr<Bitmap>(&under);
    o.clipped = true;
    o.clip = Rect{1, 1, 2, 5};  // columns 1-2, rows 1 to the bottom edge
    src.blitBitmap(dst, 0, 0, o);
    const Rows r = pictures::rowsOf(dst);
    for (uint32_t y = 0; y < 4; ++y)
      for (uint32_t x = 0; x < 4; ++x) {
        const bool inside = x >= 1 && x <= 2 && y >= 1 && y <= 2;
        if (inside)
          EXPECT_NE(r[y][x], kD) << x << "," << y;
        else
          EXPECT_EQ(r[y][x], kD) << x << "," << y;
      }
  }
}

TEST_F(Blit, BackgroundSmallerThanSourceIsNotReadOutside) {
  PlainBitmap src, dst, bg;
  pictures::setRows(src, pictures::filled(3, 1, kWhite));
  pictures::setRows(dst, pictures::filled(3, 1, 0));
  pictures::setRows(bg, {{kWhite}});
  BlitOptions o;
  o.mode = 2;
  o.background = static_cast<Bitmap*>(&bg);
  src.blitBitmap(dst, 0, 0, o);
  // Only the pixel with a background under it is blended.
  EXPECT_EQ(pictures::rowsOf(dst), (Rows{{0xE79C, 0, 0}}));
}

TEST_F(Blit, KeyedBlitOfEmptyOrAllKeyImageDrawsNothing) {
  PlainBitmap empty, keyOnly, dst;
  pictures::setRows(keyOnly, pictures::filled(3, 2, 0));
  pictures::setRows(dst, pictures::filled(3, 2, kD));
  BlitOptions o;
  for (uint32_t mode : {1u, 3u, 5u, 7u}) {
    o.mode = mode;
    empty.blitBitmap(dst, 0, 0, o);
    keyOnly.blitBitmap(dst, 0, 0, o);
  }
  EXPECT_EQ(pictures::rowsOf(dst), pictures::filled(3, 2, kD));
}

// --- run encoding -------------------------------------------------------------

struct EncodingCase {
  const char* name;
  Rows picture;
  uint32_t key;
  std::vector<PixelRun> runs;
  std::vector<uint16_t> pixels;
};

TEST(RunEncoding, Table) {
  const EncodingCase cases[] = {
      {"opaque pixels then a row of key", {{0, kA, kB}, {0, 0, 0}}, 0, {{1, 0, 2}, {-3, 2, 0}}, {kA, kB}},
      {"mid-row runs, bottom-right opaque", {{kA, 0, kB}}, 0, {{0, 0, 1}, {1, 0, 1}}, {kA, kB}},
      {"all key", pictures::filled(4, 3, 7), 7, {{0, 3, 0}}, {}},
      {"height 0", {}, 0, {{0, 0, 0}}, {}},
      {"key above 16 bits matches nothing", {{0, 0}}, 0x10000, {{0, 0, 2}}, {0, 0}},
      {"mixed rows",
       {{kA, kA, 0, 0}, {0, 0, 0, kB}, {kB, 0, 0, 0}},
       0,
       {{0, 0, 2}, {1, 1, 1}, {-4, 1, 1}, {-1, 1, 0}},
       {kA, kA, kB, kB}},
  };
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(c.name);
    PlainBitmap b;
    pictures::setRows(b, c.picture);
    b.buildRunEncoding(c.key);
    ASSERT_NE(b.runEncoding(), nullptr);
    EXPECT_EQ(b.runEncoding()->runs, c.runs);
    EXPECT_EQ(b.runEncoding()->pixels, c.pixels);
    EXPECT_FALSE(b.isLocked());
  }
}

TEST(RunEncoding, BuiltOncePerKeyAndDroppedByCopyRegion) {
  PlainBitmap b;
  pictures::setRows(b, {{kA, 0}});
  b.ensureRunEncoding(0);
  const RunEncoding* first = b.runEncoding();
  b.ensureRunEncoding(0);
  EXPECT_EQ(b.runEncoding(), first);
  b.ensureRunEncoding(kA);
  EXPECT_EQ(b.runEncoding()->key, uint32_t(kA));
  EXPECT_EQ(b.runEncoding()->pixels, (std::vector<uint16_t>{0}));
  // A fill does not drop it: keyed blits go on drawing the encoded picture.
  b.fillRect(kB, nullptr);
  EXPECT_NE(b.runEncoding(), nullptr);
  PlainBitmap other;
  pictures::setRows(other, {{1}});
  b.copyRegion(other, 0, 0, 0, 0);
  EXPECT_EQ(b.runEncoding(), nullptr);
  EXPECT_EQ(b.width(), 0u);
}

}  // namespace
