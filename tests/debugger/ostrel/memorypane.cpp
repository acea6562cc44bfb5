// The older program's memory pane: plain cells everywhere, as many as fit,
// and a data window without the sprite tab.

#include "../frontend.h"
#include "../shown.h"
#include "debugger/formats.h"

using namespace frontend;

namespace {

class OlderMemoryPane : public Screen {};

TEST_F(OlderMemoryPane, PlainCellsEverywhereAsManyAsFit) {
  const i32 saved = gMemoryFormat.value();
  gMemoryFormat.value() = 2;
  GbaMemory& memory = gEmulator.memory();
  memory.poke32(0x04000000, 0x00000080);
  memory.poke16(0x05000000, 0x001F);
  MemoryPane pane;
  pane.setRect(0, 0, 500, 24);
  // 11 x 8 + (k + 1) x 80 < 500 adds cells up to five.
  EXPECT_EQ(pane.cellsPerLine, 5u);
  pane.goTo(0x04000000);
  EXPECT_EQ(shown(pane.lines[0]), "<o>04000000:  00000080  00000000  00000000  00000000  00000000  ");
  EXPECT_EQ(shown(pane.lines[1]).substr(0, 14), "<o>04000014:  ");
  pane.goTo(0x05000000);
  EXPECT_EQ(shown(pane.lines[0]).substr(0, 24), "<o>05000000:  0000001f  ");
  gMemoryFormat.value() = saved;
}

TEST_F(OlderMemoryPane, TheDataWindowHasNoSpriteTab) {
  ASSERT_EQ(gDataWindow->tabs.count(), 3u);
  EXPECT_EQ(bytes(gDataWindow->tabs[2].title), "Breakpoints");
  EXPECT_EQ(gDataWindow->currentTab(), u32(DataWindow::kMemory));
  // Asking for the missing tab leaves a frame without a pane, drawn safely.
  gDataWindow->selectTab(DataWindow::kOam);
  EXPECT_EQ(gDataWindow->selectedPane(), nullptr);
  gDataWindow->refreshAll();
  drawAllTabFrames();
}

}  // namespace
