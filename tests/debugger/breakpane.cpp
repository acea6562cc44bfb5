// The Breakpoints tab: its rows, the ticks, the edit prompts opened by
// clicks on the columns, deletion by right click, and scrolling.

#include "frontend.h"

using namespace frontend;

namespace {

constexpr u32 C = 8, H = 12;

class BreakpointsTab : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    gDataWindow->selectTab(DataWindow::kBreakpoints);
  }
  BreakpointsPane& pane() { return gDataWindow->breakpoints; }
  BreakpointList& list() { return gEmulator.breakpoints().list(); }
  void add(u32 address, u32 length, u32 kinds) { gDataWindow->breakpointsCommand(address, length, kinds); }
  // Middle of character column col of visible row r (row 0 the first record).
  u32 colX(u32 col) { return pane().x + col * C + C / 2; }
  u32 rowY(u32 r) { return pane().y + (r + 1) * H + H / 2; }
  void click(u32 col, u32 r) { dispatchLeftClick(colX(col), rowY(r)); }
  void rightClick(u32 r) { dispatchRightClick(colX(20), rowY(r)); }
  void type(const char* s) {
    for (; *s; ++s) Dialog::handleKey(u32(u8(*s)));
    Dialog::handleKey(13);
  }
  std::string line(u32 i) { return bytes(pane().lines[i]); }
  // A pane of `lines` text lines, so rows = lines - 1.
  void resizeTo(u32 lines) {
    pane().setRect(pane().x, pane().y, pane().w, lines * H);
    pane().refresh();
  }
};

TEST_F(BreakpointsTab, EmptyTableShowsOnlyTheHeaderAndTakesNoClicks) {
  EXPECT_EQ(line(0),
            "\x03"
            "CONDS:   RANGE:   COUNT:   MAX COUNT: ADDRESS:");
  for (u32 i = 1; i < pane().lineCount(); ++i) EXPECT_EQ(line(i), "");
  for (u32 c = 0; c < 3; ++c)
    for (u32 r = 0; r < pane().rows(); ++r) EXPECT_FALSE(pane().toggle(c, r).enabled);
  click(0, 0);
  click(40, 0);
  rightClick(0);
  EXPECT_EQ(gDisplayMode, 0u);
  EXPECT_EQ(list().count(), 0u);
}

TEST_F(BreakpointsTab, RowsShowRangeCountsAndAddressWithTicks) {
  add(0x03000010, 4, kBreakExecute);
  add(0x02000000, 0x100, kBreakRead | kBreakWrite);
  EXPECT_EQ(line(1), "         00000004 00000001 00000001   03000010");
  EXPECT_EQ(line(2), "         00000100 00000001 00000001   02000000");
  EXPECT_EQ(line(3), "");
  const bool ticks[2][3] = {{false, false, true}, {true, true, false}};
  for (u32 r = 0; r < 2; ++r)
    for (u32 c = 0; c < 3; ++c) {
      ConditionToggle& t = pane().toggle(c, r);
      EXPECT_TRUE(t.enabled);
      EXPECT_EQ(t.isChecked(), ticks[r][c]) << r << c;
      EXPECT_EQ(t.x, pane().x + 3 * C * c);
      EXPECT_EQ(t.y, pane().y + H * (r + 1));
    }
  EXPECT_FALSE(pane().toggle(0, 2).enabled);
}

TEST_F(BreakpointsTab, ColumnsOpenTheirPrompts) {
  add(0x03000000, 4, kBreakRead);
  struct Case {
    u32 col;
    void (*prompt)();
  } cases[] = {{1, nullptr},
               {8, nullptr},
               {9, &onBreakpointRangeEntered},
               {17, &onBreakpointRangeEntered},
               {18, nullptr},
               {26, nullptr},
               {27, &onBreakpointCountEntered},
               {37, &onBreakpointCountEntered},
               {38, &onBreakpointAddressEntered},
               {47, &onBreakpointAddressEntered}};
  for (const Case& k : cases) {
    gPromptCallback = nullptr;
    click(k.col, 0);
    EXPECT_EQ(gPromptCallback, k.prompt) << k.col;
    EXPECT_EQ(gDisplayMode, k.prompt ? 2u : 0u) << k.col;
    if (gDisplayMode == 2) Dialog::handleKey(27);
  }
  EXPECT_EQ(list()[0].kinds, u32(kBreakRead));  // the "R" label is not the box
}

TEST_F(BreakpointsTab, PromptsEditTheClickedRecord) {
  add(0x03000000, 4, kBreakRead);
  add(0x03000100, 4, kBreakWrite);
  click(10, 1);
  type("10");
  EXPECT_EQ(list()[1].length, 0x10u);
  click(10, 1);
  type("zz");  // no value: nothing changes
  EXPECT_EQ(list()[1].length, 0x10u);
  click(30, 1);
  type("5");
  EXPECT_EQ(list()[1].count, 5u);
  EXPECT_EQ(list()[1].reload, 5u);
  click(30, 1);
  type("0");
  EXPECT_EQ(list()[1].reload, 5u);
  click(40, 1);
  type("2000040");
  EXPECT_EQ(list()[1].address, 0x02000040u);
  EXPECT_EQ(line(2), "         00000010 00000005 00000005   02000040");
  click(40, 0);
  type("");  // an empty address is address 0
  EXPECT_EQ(list()[0].address, 0u);
  EXPECT_EQ(list()[0].length, 4u);
  EXPECT_EQ(list()[0].kinds, u32(kBreakRead));
}

TEST_F(BreakpointsTab, TickingReArmsTheCountdownFromItsReload) {
  add(0x03000000, 4, kBreakExecute);
  click(30, 0);
  type("3");
  EXPECT_FALSE(gEmulator.breakpoints().countHit(0x03000000));
  ASSERT_EQ(list()[0].count, 2u);
  dispatchLeftClick(pane().x + 3 * C + 2, rowY(0) - 4);  // the W box
  EXPECT_EQ(list()[0].kinds, 6u);
  EXPECT_EQ(list()[0].count, 3u);
  EXPECT_TRUE(pane().toggle(1, 0).isChecked());
  dispatchLeftClick(pane().x + 6 * C + 2, rowY(0) - 4);  // the X box: off
  EXPECT_EQ(list()[0].kinds, 2u);
  EXPECT_FALSE(gEmulator.breakpoints().isExecute(0x03000000));
}

TEST_F(BreakpointsTab, RightClickDeletesOnlyARecordRow) {
  add(0x03000000, 4, kBreakRead);
  add(0x03000100, 4, kBreakRead);
  dispatchRightClick(colX(20), pane().y + 4);  // the header
  rightClick(5);                               // no record there
  EXPECT_EQ(list().count(), 2u);
  rightClick(0);
  ASSERT_EQ(list().count(), 1u);
  EXPECT_EQ(list()[0].address, 0x03000100u);
  EXPECT_EQ(line(1), "         00000004 00000001 00000001   03000100");
  EXPECT_EQ(line(2), "");
}

TEST_F(BreakpointsTab, RightClickDeletesTheClickedRowWhenTwoShareARange) {
  add(0x03000000, 4, kBreakRead);
  add(0x03000100, 4, kBreakWrite);
  click(40, 1);
  type("3000000");  // now the same range as row 0
  rightClick(1);
  ASSERT_EQ(list().count(), 1u);
  EXPECT_EQ(list()[0].kinds, u32(kBreakRead));
  EXPECT_FALSE(testTrapBit(gEmulator.memory().trapMap(), 1, 0x03000000));
  EXPECT_TRUE(testTrapBit(gEmulator.memory().trapMap(), 0, 0x03000000));
}

TEST_F(BreakpointsTab, ScrollingByLinesAndPages) {
  resizeTo(11);  // 10 rows
  for (u32 i = 0; i < 30; ++i) add(0x03000000 + 16 * i, 4, kBreakRead);
  pane().top = 15;
  pane().pageForward();
  EXPECT_EQ(pane().top, 20u);
  pane().pageForward();
  EXPECT_EQ(pane().top, 20u);
  pane().lineForward();
  EXPECT_EQ(pane().top, 20u);
  EXPECT_EQ(line(10), "         00000004 00000001 00000001   030001d0");
  pane().pageBack();
  EXPECT_EQ(pane().top, 10u);
  pane().pageBack();
  pane().pageBack();
  EXPECT_EQ(pane().top, 0u);
  pane().lineBack();
  EXPECT_EQ(pane().top, 0u);
  pane().lineForward();
  EXPECT_EQ(pane().top, 1u);
  EXPECT_EQ(line(1), "         00000004 00000001 00000001   03000010");
}

TEST_F(BreakpointsTab, ScrolledPaneEditsTheRowShownAndNotThroughTheHeader) {
  resizeTo(11);
  for (u32 i = 0; i < 30; ++i) add(0x03000000 + 16 * i, 4, kBreakRead);
  pane().top = 20;
  pane().refresh();
  dispatchLeftClick(colX(40), pane().y + 4);  // header: no prompt
  EXPECT_EQ(gDisplayMode, 0u);
  dispatchRightClick(colX(20), pane().y + 4);
  EXPECT_EQ(list().count(), 30u);
  dispatchRightClick(colX(20), pane().y + 11 * H + 2);  // below the last row
  EXPECT_EQ(list().count(), 30u);
  click(40, 2);
  EXPECT_EQ(gEditedBreakpoint, 22u);
  type("2000000");
  EXPECT_EQ(list()[22].address, 0x02000000u);
}

TEST_F(BreakpointsTab, AShrunkListIsShownFromItsStart) {
  resizeTo(11);
  for (u32 i = 0; i < 30; ++i) add(0x03000000 + 16 * i, 4, kBreakRead);
  pane().top = 20;
  pane().refresh();
  for (u32 i = 0; i < 25; ++i) rightClick(0);
  ASSERT_EQ(list().count(), 5u);
  EXPECT_EQ(pane().top, 0u);
  EXPECT_NE(line(5), "");
  EXPECT_EQ(line(6), "");
}

TEST_F(BreakpointsTab, AToggleOfAMissingRecordReadsUncheckedAndChangesNothing) {
  add(0x03000000, 4, kBreakRead);
  ConditionToggle& t = pane().toggle(0, 0);
  t.setIndex(7);
  EXPECT_FALSE(t.isChecked());
  t.setOn();
  t.setOff();
  EXPECT_EQ(list().count(), 1u);
  EXPECT_EQ(list()[0].kinds, u32(kBreakRead));
  gEditedBreakpoint = 9;
  gPromptLine = typed("40");
  onBreakpointRangeEntered();
  onBreakpointCountEntered();
  onBreakpointAddressEntered();
  EXPECT_EQ(list()[0].length, 4u);
}

TEST_F(BreakpointsTab, ColumnLinesAreDrawnInBlue) {
  add(0x03000000, 4, kBreakRead);
  drawAllTabFrames();
  gView.lock(1);
  const u16 blue = u16(gColourBlue);
  for (u32 k : {9u, 18u, 27u, 38u}) EXPECT_EQ(gView.pixel(pane().x + k * C - 2, pane().y + 40), blue) << k;
  EXPECT_EQ(gView.pixel(pane().x + 100, pane().y + H - 1), blue);
  gView.unlock();
}

}  // namespace
