// The OAM tab: stepping through the 128 sprites and the text of one entry.

#include "frontend.h"

using namespace frontend;

namespace {

class OamTab : public Screen {
 protected:
  OamPane& pane() { return gDataWindow->oam; }
};

TEST_F(OamTab, SteppingWrapsRoundThe128Sprites) {
  gDataWindow->selectTab(DataWindow::kOam);
  struct Case {
    u32 from;
    void (TabFrame::*step)();
    u32 to;
    const char* shown;
  } cases[] = {{0, &TabFrame::scrollDown, 127, "Sprite #:  7F"},
               {127, &TabFrame::scrollUp, 0, "Sprite #:  00"},
               {5, &TabFrame::pageDown, 117, "Sprite #:  75"},
               {120, &TabFrame::pageUp, 8, "Sprite #:  08"},
               {1, &TabFrame::scrollUp, 2, "Sprite #:  02"}};
  for (const Case& c : cases) {
    pane().sprite = c.from;
    (gDataWindow->*c.step)();
    EXPECT_EQ(pane().sprite, c.to) << c.from;
    EXPECT_EQ(bytes(pane().numberLine()), c.shown);
  }
}

TEST_F(OamTab, LocationIsTheLowBitsOfAttributesOneAndZero) {
  struct Case {
    u32 sprite;
    u16 attribute0, attribute1;
    const char* shown;
  } cases[] = {{0, 0xFFFF, 0xFFFF, "Location:  1FF, 0FF"},
               {127, 0x2050, 0xC0F0, "Location:  0F0, 050"},
               {64, 0x0000, 0x0200, "Location:  000, 000"}};
  for (const Case& c : cases) {
    gEmulator.memory().poke16(0x07000000 + 8 * c.sprite, c.attribute0);
    gEmulator.memory().poke16(0x07000000 + 8 * c.sprite + 2, c.attribute1);
    pane().sprite = c.sprite;
    EXPECT_EQ(bytes(pane().locationLine()), c.shown) << c.sprite;
  }
}

TEST_F(OamTab, DrawsItsTwoLinesOverBlackEveryTime) {
  gDataWindow->selectTab(DataWindow::kOam);
  auto redInRow = [&](u32 row) {
    gView.lock(1);
    u32 n = 0;
    for (u32 y = pane().y + row * 12; y < pane().y + (row + 1) * 12; ++y)
      for (u32 x = pane().x; x < pane().x + 200; ++x) n += gView.pixel(x, y) == u16(gColourRed);
    gView.unlock();
    return n;
  };
  for (int pass = 0; pass < 2; ++pass) {
    gView.fill(u16(gColourBlue), nullptr);
    pane().clearDirtyOnCurrentPage();
    pane().draw();
    EXPECT_GT(redInRow(0), 0u);
    EXPECT_GT(redInRow(1), 0u);
    EXPECT_EQ(redInRow(2), 0u);
    gView.lock(1);
    EXPECT_EQ(gView.pixel(pane().x + pane().w - 1, pane().y + pane().h - 1), u16(gColourBlack));
    gView.unlock();
  }
}

}  // namespace
