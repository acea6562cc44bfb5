#include "general/bmp.h"

#include <gtest/gtest.h>

#include "bmpfile.h"
#include "pictures.h"
#include "support/tempdir.h"

using pictures::Rows;

namespace {

class Bmp : public ::testing::Test {
 protected:
  void SetUp() override { pictures::memoryView(32, 32); }
  pictures::ScopedDisplay scoped;
  testsupport::ScopedTempDir dir;
};

constexpr uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF;

TEST_F(Bmp, RoundTripsEveryWidthThroughTheWriter) {
  for (uint32_t w = 1; w <= 5; ++w) {
    SCOPED_TRACE(w);
    PlainBitmap b;
    Rows rows = pictures::filled(w, 3, 0);
    const uint16_t colours[] = {kRed, kGreen, kBlue, kWhite, 0, 0xF81F};
    for (uint32_t y = 0; y < 3; ++y)
      for (uint32_t x = 0; x < w; ++x) rows[y][x] = colours[(x + 2 * y) % 6];
    pictures::setRows(b, rows);
    ASSERT_TRUE(b.saveBitmapFile("pic.bmp"));
    std::string bytes = bmpfile::read("pic.bmp");
    const size_t stride = (3 * w + 3) / 4 * 4;
    EXPECT_EQ(bytes.size(), 54 + stride * 3);
    PlainBitmap back;
    ASSERT_TRUE(back.loadBitmapFile("pic.bmp"));
    EXPECT_EQ(pictures::rowsOf(back), rows);
  }
}

TEST_F(Bmp, WriterBytesAndSize) {
  PlainBitmap b;
  // 5-bit red 15 is written as 123; full intensity as 255.  The bottom row
  // comes first.
  pictures::setRows(b, {{uint16_t(15 << 11)}, {kWhite}});
  ASSERT_TRUE(b.saveBitmapFile("two.bmp"));
  std::string s = bmpfile::read("two.bmp");
  ASSERT_EQ(s.size(), 54u + 2 * 4);
  EXPECT_EQ(s.substr(0, 2), "BM");
  EXPECT_EQ(uint8_t(s[28]), 24);
  EXPECT_EQ(uint8_t(s[54]), 255);  // bottom row: white
  EXPECT_EQ(uint8_t(s[58 + 0]), 0);
  EXPECT_EQ(uint8_t(s[58 + 2]), 123);

  PlainBitmap shot;
  shot.resize(240, 160);
  ASSERT_TRUE(shot.saveBitmapFile("screen.bmp"));
  EXPECT_EQ(bmpfile::read("screen.bmp").size(), 115254u);
}

TEST_F(Bmp, ReadsPalettedFiles) {
  // 4 bits, colours used 0: 16 entries; left pixel in the high nibble.
  bmpfile::Layout four;
  four.width = 3;
  four.height = 2;
  four.bits = 4;
  four.palette.assign(16, 0);
  four.palette[1] = 0xFF0000;
  four.palette[2] = 0x00FF00;
  four.palette[15] = 0x0000FF;
  four.rows = {{0x12, 0xF0}, {0x21, 0x00}};  // bottom row, then top row
  bmpfile::write("four.bmp", bmpfile::build(four));
  PlainBitmap b;
  ASSERT_TRUE(b.loadBitmapFile("four.bmp"));
  EXPECT_EQ(pictures::rowsOf(b), (Rows{{kGreen, kRed, 0}, {kRed, kGreen, kBlue}}));

  // 8 bits, colours used 2: two entries, then the pixels at once; an index
  // beyond the entries read is black.
  bmpfile::Layout eight;
  eight.width = 3;
  eight.bits = 8;
  eight.coloursUsed = 2;
  eight.palette = {0xFFFFFF, 0x0000FF};
  eight.rows = {{1, 0, 200}};
  bmpfile::write("eight.bmp", bmpfile::build(eight));
  ASSERT_TRUE(b.loadBitmapFile("eight.bmp"));
  EXPECT_EQ(pictures::rowsOf(b), (Rows{{kBlue, kWhite, 0}}));
}

TEST_F(Bmp, RejectsBadFilesAndLeavesTheTargetAlone) {
  auto good = [] {
    bmpfile::Layout s;
    s.width = 2;
    s.height = 2;
    s.rows = {{0, 0, 255, 0, 0, 255}, {255, 0, 0, 255, 0, 0}};
    return s;
  };
  struct Case {
    const char* name;
    std::string bytes;
    std::string logged;
  };
  std::vector<Case> cases;
  const std::string typeFails = "Invalid BMP file containing (bmpHead.type fails)\n";
  const std::string headerSize = "Invalid BMP info header size for file bad.bmp.\n";
  const std::string bitCount = "Unsupported bit count in bmp file bad.bmp.\n";
  auto with = [&](const char* name, auto change, std::string logged = "bad.bmp") {
    bmpfile::Layout s = good();
    change(s);
    cases.push_back({name, bmpfile::build(s), logged});
  };
  with(
      "not BM", [](bmpfile::Layout& s) { s.type = 0x4142; }, typeFails);
  with(
      "108-byte info header", [](bmpfile::Layout& s) { s.infoSize = 108; }, headerSize);
  with(
      "1 bit", [](bmpfile::Layout& s) { s.bits = 1; }, bitCount);
  with(
      "16 bits", [](bmpfile::Layout& s) { s.bits = 16; }, bitCount);
  with(
      "run-length encoded",
      [](bmpfile::Layout& s) {
        s.bits = 8;
        s.compression = 1;
      },
      "Compressed BMP files not supported (file bad.bmp).\n");
  with("width 0", [](bmpfile::Layout& s) { s.width = 0; });
  with("height 0", [](bmpfile::Layout& s) { s.height = 0; });
  with("negative height", [](bmpfile::Layout& s) { s.height = uint32_t(-2); });
  with("huge width", [](bmpfile::Layout& s) { s.width = 0x40000000; });
  with("rows beyond the file", [](bmpfile::Layout& s) { s.height = 3; });
  with("4-bit palette of 17", [](bmpfile::Layout& s) {
    s.bits = 4;
    s.coloursUsed = 17;
    s.palette.assign(17, 0);
    s.rows = {{0, 0, 0, 0}, {0, 0, 0, 0}};
  });
  with("8-bit palette of 257", [](bmpfile::Layout& s) {
    s.bits = 8;
    s.coloursUsed = 257;
    s.palette.assign(257, 0);
    s.rows = {{0, 0, 0, 0}, {0, 0, 0, 0}};
  });
  cases.push_back({"shorter than its headers", std::string("BM\0\0", 4), headerSize});
  std::string full = bmpfile::build(good());
  cases.push_back({"truncated pixels", full.substr(0, full.size() - 1), "bad.bmp"});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bmpfile::write("bad.bmp", c.bytes);
    PlainBitmap target;
    pictures::setRows(target, {{1, 2, 3}});
    pictures::LogWatch log;
    EXPECT_FALSE(gView.loadBmp("bad.bmp", target));
    // The exact texts where the file's faults have them; the name at least
    // in the rest.
    EXPECT_NE(log.text().find(c.logged), std::string::npos) << log.text();
    EXPECT_EQ(pictures::rowsOf(target), (Rows{{1, 2, 3}}));
    // Through loadBitmapFile the bitmap is left empty.
    EXPECT_FALSE(target.loadBitmapFile("bad.bmp"));
    EXPECT_EQ(target.width(), 0u);
    EXPECT_EQ(target.height(), 0u);
  }
  PlainBitmap target;
  pictures::LogWatch log;
  EXPECT_FALSE(target.loadBitmapFile("missing.bmp"));
  EXPECT_EQ(log.text(), "Unable to open file missing.bmp.\n");
  bmpfile::write("good.bmp", full);
  EXPECT_TRUE(target.loadBitmapFile("good.bmp"));
  EXPECT_EQ(pictures::rowsOf(target), (Rows{{kBlue, kBlue}, {kRed, kRed}}));
}

TEST_F(Bmp, FixedNamesDropControlCodes) {
  PlainBitmap b;
  pictures::setRows(b, {{kRed}});
  FixedIString name;
  name.appendChar16(2);
  name.appendText("pic.bmp");
  ASSERT_TRUE(b.saveBitmapFile(name));
  PlainBitmap back;
  ASSERT_TRUE(back.loadBitmapFile("pic.bmp"));
  EXPECT_EQ(pictures::rowsOf(back), (Rows{{kRed}}));
}

TEST_F(Bmp, OurAssetsLoad) {
  const std::string dir = VANDREL_ASSET_DIR;
  PlainBitmap font, frame, mouse;
  ASSERT_TRUE(font.loadBitmapFile((dir + "/eng.bmp").c_str()));
  EXPECT_EQ(font.width(), 128u);
  EXPECT_GE(font.height() / 12 * (font.width() / 8), 128u);
  ASSERT_TRUE(frame.loadBitmapFile((dir + "/dlg_eng.bmp").c_str()));
  EXPECT_GE(frame.width(), 480u);
  EXPECT_LE(frame.width(), 640u);
  EXPECT_LE(frame.height(), 480u);
  ASSERT_TRUE(mouse.loadBitmapFile((dir + "/mouse.bmp").c_str()));
  // Black is the cursor's key: its tip is opaque, its far corner transparent.
  mouse.lock(1);
  EXPECT_NE(mouse.pixel(0, 0), 0);
  EXPECT_EQ(mouse.pixel(mouse.width() - 1, 0), 0);
  mouse.unlock();
}

}  // namespace
