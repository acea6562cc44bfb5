#include "general/tabframe.h"

#include <gtest/gtest.h>

#include "widgetscreen.h"

namespace {

using Frames = WidgetScreen;

// Counts clicks and moves that reach it.
class ProbePane : public TextPane {
 public:
  void onClick(u32, u32) override { ++leftClicks; }
  void onRightClick(u32, u32) override { ++rightClicks; }
  void scrollUp() override { ++moves; }
  void scrollDown() override { ++moves; }
  void pageUp() override { ++moves; }
  void pageDown() override { ++moves; }
  void refresh() override { ++refreshes; }
  int leftClicks = 0, rightClicks = 0, moves = 0, refreshes = 0;
};

FixedIString title(const char* t) {
  FixedIString f;
  f.assignText(t);
  return f;
}

struct FrameFixture : WidgetScreen {
  void SetUp() override {
    WidgetScreen::SetUp();
    setMouseDispatch(1);
    frame.setRect(0, 0, 300, 200);
    frame.addTab(title("Left"), &left);
    frame.addTab(title("Rite"), &right);
    addTabFrame(&frame);
  }
  void TearDown() override {
    removeTabFrame(&frame);
    setMouseDispatch(0);
    WidgetScreen::TearDown();
  }
  ProbePane left, right;
  TabFrame frame;
};

// Font cells are 8 x 12.
TEST_F(FrameFixture, LayoutOfTitlesAndPanes) {
  ASSERT_EQ(frame.callbacks.count(), 3u);
  const Callback& area = *frame.callbacks.at(0);
  EXPECT_EQ((std::vector<u32>{area.x, area.y, area.w, area.h}), (std::vector<u32>{2, 14, 296, 184}));
  const Callback& t0 = *frame.callbacks.at(1);
  const Callback& t1 = *frame.callbacks.at(2);
  EXPECT_EQ((std::vector<u32>{t0.x, t0.y, t0.w, t0.h}), (std::vector<u32>{0, 0, 48, 12}));
  EXPECT_EQ((std::vector<u32>{t1.x, t1.y, t1.w, t1.h}), (std::vector<u32>{48, 0, 48, 12}));
  EXPECT_EQ((std::vector<u32>{left.x, left.y, left.w, left.h}), (std::vector<u32>{2, 12, 296, 186}));
  EXPECT_EQ(left.owner, &frame);
  EXPECT_EQ(left.refreshes, 1);
  EXPECT_EQ(left.lineCount(), 186u / 12);
}

TEST_F(FrameFixture, TitleClicksSelectAndPaneClicksReachOnlyTheSelectedPane) {
  struct Step {
    u32 x, y;
    bool right;
    u32 tab;
  } steps[] = {
      {48, 5, false, 1},   // first pixel of the second title
      {47, 11, false, 0},  // last pixel of the first title
      {96, 5, false, 0},   // right of the last title: nothing
      {50, 12, false, 0},  // below the titles: nothing
      {60, 3, true, 0},    // right clicks never select
  };
  for (const Step& s : steps) {
    if (s.right)
      dispatchRightClick(s.x, s.y);
    else
      dispatchLeftClick(s.x, s.y);
    EXPECT_EQ(frame.currentTab(), s.tab) << s.x << "," << s.y;
  }
  EXPECT_EQ(left.leftClicks + left.rightClicks + right.leftClicks + right.rightClicks, 0);

  dispatchLeftClick(100, 100);
  dispatchRightClick(2, 14);
  dispatchLeftClick(298, 100);  // just outside the pane area
  EXPECT_EQ(left.leftClicks, 1);
  EXPECT_EQ(left.rightClicks, 1);
  frame.selectTab(1);
  dispatchLeftClick(100, 100);
  frame.pageDown();
  EXPECT_EQ(right.leftClicks, 1);
  EXPECT_EQ(right.moves, 1);
  EXPECT_EQ(left.leftClicks, 1);
  EXPECT_EQ(left.moves, 0);
}

TEST_F(FrameFixture, OverlappingFramesBothGetTheClickInRegistrationOrder) {
  TabFrame other;
  ProbePane pane;
  other.setRect(100, 50, 100, 100);
  other.addTab(title("X"), &pane);
  addTabFrame(&other);
  dispatchLeftClick(120, 80);
  EXPECT_EQ(left.leftClicks, 1);
  EXPECT_EQ(pane.leftClicks, 1);
  ASSERT_EQ(gTabFrames.count(), 2u);
  EXPECT_EQ(gTabFrames.at(0), &frame);
}

TEST_F(FrameFixture, MissingPanesAndTabsTakeNothing) {
  frame.addTab(title("None"), nullptr);
  ASSERT_EQ(frame.callbacks.count(), 4u);
  EXPECT_EQ(frame.callbacks.at(3)->x, 96u);
  dispatchLeftClick(100, 3);
  EXPECT_EQ(frame.currentTab(), 2u);
  dispatchLeftClick(100, 100);
  frame.scrollUp();
  frame.selectTab(7);  // beyond the last tab
  dispatchRightClick(100, 100);
  frame.pageUp();
  EXPECT_EQ(frame.selectedPane(), nullptr);
  EXPECT_EQ(left.leftClicks + left.rightClicks + left.moves + right.leftClicks + right.moves, 0);
}

TEST_F(Frames, TinyFramesGetEmptyAreasNotHugeOnes) {
  TabFrame f;
  ProbePane p;
  f.setRect(5, 5, 3, 10);
  f.addTab(title("T"), &p);
  const Callback& area = *f.callbacks.at(0);
  EXPECT_EQ(area.w, 0u);
  EXPECT_EQ(area.h, 0u);
  EXPECT_EQ(p.w, 0u);
  EXPECT_EQ(p.h, 0u);
  EXPECT_EQ(p.lineCount(), 0u);
}

TEST_F(Frames, SetRectAgainFreesTheHandlersItReplaces) {
  const std::size_t before = allocatedBytes();
  {
    TabFrame f;
    f.setRect(0, 0, 100, 100);
    f.addTab(title("T"), nullptr);
    f.addTab(title("U"), nullptr);
    f.setRect(0, 0, 200, 200);
    ASSERT_EQ(f.callbacks.count(), 1u);
    EXPECT_EQ(f.callbacks.at(0)->w, 196u);
  }
  // Nothing the frame allocated outlives it, the dropped handlers included.
  EXPECT_EQ(allocatedBytes(), before);
}

TEST_F(Frames, RemovingAnUnlistedFrameChangesNothingAndDestructionUnregisters) {
  TabFrame a, stranger;
  a.setRect(0, 0, 10, 10);
  addTabFrame(&a);
  {
    TabFrame b;
    addTabFrame(&b);
    removeTabFrame(&stranger);
    ASSERT_EQ(gTabFrames.count(), 2u);
    EXPECT_EQ(gMouseHandlers.count(), 2u);
  }
  ASSERT_EQ(gTabFrames.count(), 1u);
  EXPECT_EQ(gTabFrames.at(0), &a);
  ASSERT_EQ(gMouseHandlers.count(), 1u);
  EXPECT_EQ(gMouseHandlers.at(0), &a.callbacks);
  removeTabFrame(&a);
  EXPECT_EQ(gTabFrames.count(), 0u);
  EXPECT_EQ(gMouseHandlers.count(), 0u);
}

// A tab switch that tears the frame down from inside its own title click.
class SelfDestroyingFrame : public TabFrame {
 public:
  void selectTab(u32 index) override {
    TabFrame::selectTab(index);
    if (index == 1) delete this;
  }
};

TEST_F(Frames, FrameDestroyedByItsOwnClickIsLeftSafely) {
  auto* f = new SelfDestroyingFrame;
  f->setRect(0, 0, 200, 100);
  f->addTab(title("A"), nullptr);
  f->addTab(title("B"), nullptr);
  f->addTab(title("C"), nullptr);
  addTabFrame(f);
  setMouseDispatch(1);
  dispatchLeftClick(30, 3);  // second title
  setMouseDispatch(0);
  EXPECT_EQ(gTabFrames.count(), 0u);
  EXPECT_EQ(gMouseHandlers.count(), 0u);
}

TEST_F(Frames, WidgetListIsNewestFirstAndDestructionUnlinks) {
  Widget* before = gWidgets;
  {
    TabFrame a;
    TabFrame b;
    EXPECT_EQ(gWidgets, &b);
    EXPECT_EQ(b.next, &a);
    markAllWidgetsDirty();
    EXPECT_EQ(a.dirtyMask, 255u);
  }
  EXPECT_EQ(gWidgets, before);
}

}  // namespace
