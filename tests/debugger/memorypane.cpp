// The data window's memory pane: cells a line, decoded registers, palette
// swatches, scrolling, and the window's refresh and jump entry points.

#include "debugger/memorypane.h"

#include "debugger/formats.h"
#include "frontend.h"
#include "shown.h"

using namespace frontend;

namespace {

class MemoryPaneTest : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    savedFormat = gMemoryFormat.value();
    gMemoryFormat.value() = 2;
  }
  void TearDown() override {
    gMemoryFormat.value() = savedFormat;
    Screen::TearDown();
  }
  // A pane of the width and line count (font 8 x 12) at the address.
  void show(u32 width, u32 lineCount, u32 address) {
    pane.setRect(0, 0, width, lineCount * 12);
    pane.goTo(address);
  }
  std::string line(u32 i) const { return shown(pane.lines[i]); }

  MemoryPane pane;
  GbaMemory& memory = gEmulator.memory();
  i32 savedFormat = 2;
};

TEST_F(MemoryPaneTest, CellsALineArePowersOfTwoThatFit) {
  struct Row {
    u32 width, format, cells;
  };
  // 11 x 8 + 2n x cell < width doubles n.
  const Row rows[] = {{500, 2, 4},   {100, 2, 1},     {176, 2, 1}, {249, 2, 2},
                      {700, 32, 64}, {1200, 32, 128}, {500, 0, 8}};
  for (const Row& r : rows) {
    gMemoryFormat.value() = i32(r.format);
    show(r.width, 2, 0x02000000);
    EXPECT_EQ(pane.cellsPerLine, r.cells) << r.width << " " << r.format;
  }
}

TEST_F(MemoryPaneTest, PlainLinesAndTheStartAtVideoRam) {
  memory.poke32(0x06000000, 0x11223344);
  pane.setRect(0, 0, 500, 24);
  EXPECT_EQ(pane.start, 0x06000000u);
  EXPECT_EQ(line(0), "<o>06000000 11223344  00000000  00000000  00000000  ");
  EXPECT_EQ(line(1).substr(0, 12), "<o>06000010 ");
  EXPECT_EQ(pane.end, 0x06000020u);
}

TEST_F(MemoryPaneTest, APlainLineEndsWhereTheRegistersBegin) {
  memory.poke16(0x04000000, 0x0080);
  show(500, 3, 0x03FFFFF8);
  EXPECT_EQ(line(0).substr(0, 12), "<o>03fffff8 ");
  EXPECT_EQ(line(0).size(), 12u + 2 * 10);
  EXPECT_EQ(line(1).substr(0, 22), "<w>04000000 [LCDC     ");
  // 0x04000002 is not decoded: one word cell, then the status register.
  EXPECT_EQ(line(2).substr(0, 12), "<o>04000002 ");
  EXPECT_EQ(line(2).size(), 12u + 10);
  EXPECT_EQ(pane.end, 0x04000006u);
}

TEST_F(MemoryPaneTest, PaletteCellsCarryTheirColour) {
  memory.poke16(0x05000000, 0x801F);
  memory.poke16(0x05000002, 0x0000);
  gMemoryFormat.value() = 1;
  show(300, 1, 0x05000000);
  EXPECT_EQ(line(0).substr(0, 56), "<o>05000000 <2:001f><t:7fe0>801f  <2:0000><t:7fff>0000  ");
}

TEST_F(MemoryPaneTest, AMatrixOnTheLastLineStartsTheNextPage) {
  show(500, 3, 0x0400001C);
  EXPECT_EQ(line(0).substr(0, 22), "<w>0400001c [BG3 SCX  ");
  EXPECT_EQ(line(1).substr(0, 22), "<w>0400001e [BG3 SCY  ");
  EXPECT_EQ(line(2), "<w>04000020 ");
  EXPECT_EQ(pane.end, 0x04000020u);
  pane.pageForward();
  EXPECT_EQ(line(0).substr(0, 22), "<w>04000020 [BG2 TFORM");
  EXPECT_EQ(line(1).substr(0, 34), "<w>" + std::string(31, ' '));
  EXPECT_EQ(line(2).substr(0, 22), "<w>04000028 [BG2 X    ");
  EXPECT_EQ(pane.end, 0x0400002Cu);
}

TEST_F(MemoryPaneTest, ScrollingByLinesAndPages) {
  show(500, 3, 0x04000100);
  EXPECT_EQ(pane.end, 0x04000106u);
  // Back by the bytes the last page showed, not by a page of plain cells.
  pane.pageBack();
  EXPECT_EQ(pane.start, 0x040000FAu);
  show(500, 2, 0x02000000);
  pane.lineForward();
  EXPECT_EQ(pane.start, 0x02000010u);
  pane.scrollUp();
  pane.scrollUp();
  EXPECT_EQ(pane.start, 0x01FFFFF0u);
  pane.pageDown();
  EXPECT_EQ(pane.start, 0x02000010u);
  pane.pageUp();
  EXPECT_EQ(pane.start, 0x01FFFFF0u);
}

// A line up or down moves by four bytes a cell, whatever the cells hold:
// several lines of byte cells, and past decoded registers of any size.
TEST_F(MemoryPaneTest, ALineScrollMovesByFourBytesACell) {
  gMemoryFormat.value() = 0;
  show(500, 3, 0x02000000);
  ASSERT_EQ(pane.cellsPerLine, 8u);
  pane.scrollDown();
  EXPECT_EQ(pane.start, 0x02000020u);
  pane.scrollUp();
  EXPECT_EQ(pane.start, 0x02000000u);
  gMemoryFormat.value() = 2;
  show(500, 3, 0x04000000);
  pane.scrollDown();
  EXPECT_EQ(pane.start, 0x04000010u);
  pane.goTo(0x04000020);
  pane.scrollDown();
  EXPECT_EQ(pane.start, 0x04000030u);
}

// A one-line pane cannot show a matrix; paging still moves on.
TEST_F(MemoryPaneTest, AOneLinePageAtAMatrixDoesNotStick) {
  show(500, 1, 0x04000020);
  EXPECT_EQ(pane.end, 0x04000020u);
  pane.pageForward();
  EXPECT_NE(pane.start, 0x04000020u);
  pane.goTo(0x04000020);
  pane.pageBack();
  EXPECT_NE(pane.start, 0x04000020u);
}

TEST_F(MemoryPaneTest, AsciiLinesAreRunsOfCharacters) {
  gMemoryFormat.value() = 32;
  for (u32 i = 0; i < 64; ++i) memory.poke8(0x02000000 + i, u8(i == 5 ? 10 : 'A' + i % 26));
  show(700, 1, 0x02000000);
  const std::string expected = "ABCDE.GHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKL";
  EXPECT_EQ(line(0), "<o>02000000 " + expected);
}

// A pane wide enough for lines past 256 characters ends each line at a whole
// cell, and the next line goes on from there.
TEST_F(MemoryPaneTest, LinesStopAtTheTextCapacityWithoutSkippingBytes) {
  gMemoryFormat.value() = 0;
  show(1400, 2, 0x05000000);
  ASSERT_EQ(pane.cellsPerLine, 32u);
  EXPECT_LE(pane.lines[0].length(), FixedIString::kCapacity);
  const u32 shownBytes = (pane.lines[0].length() - 10) / 8;
  EXPECT_LT(shownBytes, 32u);
  char head[16];
  std::snprintf(head, sizeof head, "<o>%08x ", 0x05000000 + shownBytes);
  EXPECT_EQ(line(1).substr(0, 12), head);
}

// A hand-edited settings file with an unknown code shows word cells.
TEST_F(MemoryPaneTest, AnUnknownFormatShowsWords) {
  gMemoryFormat.value() = 99;
  show(500, 1, 0x02000000);
  EXPECT_EQ(pane.cellsPerLine, 4u);
  EXPECT_EQ(line(0), "<o>02000000 00000000  00000000  00000000  00000000  ");
}

TEST_F(MemoryPaneTest, TheWindowRefreshesAndJumps) {
  MemoryPane& memoryPane = gDataWindow->memory;
  EXPECT_EQ(memoryPane.start, 0x06000000u);
  EXPECT_EQ(memoryPane.cellsPerLine, 2u);  // 396 pixels wide
  gDataWindow->forwardToCurrent(0x02000100);
  EXPECT_EQ(memoryPane.start, 0x02000100u);
  memory.poke32(0x02000100, 0xCAFEF00D);
  gDataWindow->refreshTab(DataWindow::kMemory);
  EXPECT_EQ(shown(memoryPane.lines[0]), "<o>02000100 cafef00d  00000000  ");
  memory.poke32(0x02000100, 0x12345678);
  gDataWindow->refreshAll();
  EXPECT_EQ(shown(memoryPane.lines[0]), "<o>02000100 12345678  00000000  ");
  // The jump only reaches the memory pane while it is in front.
  gDataWindow->selectTab(DataWindow::kWatches);
  gDataWindow->forwardToCurrent(0x03000000);
  EXPECT_EQ(memoryPane.start, 0x02000100u);
  gDataWindow->refreshTab(DataWindow::kWatches);
  EXPECT_EQ(bytes(gDataWindow->watches.lines[0]), "* N * Y * I *");
}

// Registers, matrices and palette swatches go through the text drawing.
TEST_F(MemoryPaneTest, DecodedAndPaletteLinesAreDrawn) {
  memory.poke16(0x05000000, 0x7C00);
  for (u32 address : {0x04000000u, 0x04000020u, 0x05000000u}) {
    gDataWindow->memory.goTo(address);
    drawAllTabFrames();
    gView.lock(1);
    u32 lit = 0;
    const PaneContainer& p = gDataWindow->memory;
    for (u32 y = p.y; y < p.y + 12; ++y)
      for (u32 x = p.x; x < p.x + p.w; ++x)
        lit += gView.pixel(x, y) != gView.pixel(p.x + p.w - 1, p.y + p.h - 1);
    gView.unlock();
    EXPECT_GT(lit, 100u) << std::hex << address;
  }
}

}  // namespace
