// Widgets drawn into the memory display: the dirty protocol over the two
// pages, and what a frame, a text pane and the items put on screen.

#include <gtest/gtest.h>

#include <string>

#include "general/tabframe.h"
#include "general/view.h"
#include "widgetscreen.h"

namespace {

// Each class counts the draws that reach each page: a draw clears the dirty
// bit of the page it drew into.
struct DrawCount {
  int page[2] = {0, 0};
  void add() { ++page[gView.currentPage() & 1]; }
};

class CountedFrame : public TabFrame {
 public:
  void clearDirtyOnCurrentPage() override {
    draws.add();
    TabFrame::clearDirtyOnCurrentPage();
  }
  DrawCount draws;
};

class CountedList : public ListPane {
 public:
  CountedList() {
    source.append(IString::fromText("Hi"));
    source.append(IString::fromText("there"));
  }
  void clearDirtyOnCurrentPage() override {
    draws.add();
    ListPane::clearDirtyOnCurrentPage();
  }
  DrawCount draws;
};

class CountedCheck : public CheckItem {
 public:
  bool isChecked() override { return on; }
  void setOn() override { on = true; }
  void setOff() override { on = false; }
  void clearDirtyOnCurrentPage() override {
    draws.add();
    CheckItem::clearDirtyOnCurrentPage();
  }
  bool on = true;
  DrawCount draws;
};

class CountedChoice : public ChoiceItem {
 public:
  u32 getChoice() override { return value; }
  void setChoice(u32 i) override { value = i; }
  void beforeChoiceChange(u32) override {}
  void clearDirtyOnCurrentPage() override {
    draws.add();
    ChoiceItem::clearDirtyOnCurrentPage();
  }
  u32 value = 0;
  DrawCount draws;
};

FixedIString fixed(const char* t) {
  FixedIString f;
  f.assignText(t);
  return f;
}

class WidgetDrawing : public WidgetScreen {
 protected:
  void SetUp() override {
    WidgetScreen::SetUp();
    check.setPosition(10, 60);
    check.setLabel(IString::fromText("Sound"));
    check.setIndent(1);
    choice.setPosition(10, 80, 2);
    choice.setLabel(IString::fromText("Speed"));
    choice.setOption(0, IString::fromText("slow"));
    choice.setOption(1, IString::fromText("fast"));
    list.addChild(&check);
    list.addChild(&choice);
    frame.setRect(0, 0, 200, 120);
    frame.addTab(fixed("Ab"), &list);
    frame.addTab(fixed("Cd"), &hidden);
    addTabFrame(&frame);
  }
  void TearDown() override {
    removeTabFrame(&frame);
    WidgetScreen::TearDown();
  }

  // One pass of the main task: draw what is dirty, look, present.  The
  // drawing calls lock the view themselves.
  template <typename Look>
  void pass(Look look) {
    drawAllTabFrames();
    gView.lock(1);
    look();
    gView.unlock();
    gView.present();
  }
  void pass() {
    pass([] {});
  }
  // Pixels of colour c in a rectangle of the (locked) drawing page.
  static int countColour(u32 c, u32 x, u32 y, u32 w, u32 h) {
    int n = 0;
    for (u32 j = y; j < y + h; ++j)
      for (u32 i = x; i < x + w; ++i) n += gView.pixel(i, j) == c;
    return n;
  }

  CountedFrame frame;
  CountedList list, hidden;
  CountedCheck check;
  CountedChoice choice;
};

TEST_F(WidgetDrawing, FullRedrawDrawsEveryShownWidgetOnceIntoEachPage) {
  pass();
  pass();
  for (DrawCount* d : {&frame.draws, &list.draws, &check.draws, &choice.draws, &hidden.draws}) *d = DrawCount{};

  markAllWidgetsDirty();
  for (int i = 0; i < 4; ++i) pass();  // the last two find nothing to draw
  for (DrawCount* d : {&frame.draws, &list.draws, &check.draws, &choice.draws}) {
    EXPECT_EQ(d->page[0], 1);
    EXPECT_EQ(d->page[1], 1);
  }
  // The pane of a tab that is not shown is not drawn at all.
  EXPECT_EQ(hidden.draws.page[0] + hidden.draws.page[1], 0);

  // A click that changes an item redraws that item alone, once per page.
  EXPECT_TRUE(check.onClick(12, 62));
  for (int i = 0; i < 3; ++i) pass();
  EXPECT_EQ(check.draws.page[0], 2);
  EXPECT_EQ(check.draws.page[1], 2);
  EXPECT_EQ(list.draws.page[0] + list.draws.page[1], 2);
  EXPECT_EQ(frame.draws.page[0] + frame.draws.page[1], 2);
}

TEST_F(WidgetDrawing, FramePaneAndItemsPutTheirColoursWhereTheyBelong) {
  const u32 green = gView.rgb(0, 1, 0), orange = gView.rgb(1, 0.5f, 0);
  gView.fill(0x1234, nullptr);
  check.disable();
  pass([&] {
    // Frame edges in blue: left, bottom, right, and the top edge after the tabs.
    EXPECT_EQ(gView.pixel(1, 60), gColourBlue);
    EXPECT_EQ(gView.pixel(100, 119), gColourBlue);
    EXPECT_EQ(gView.pixel(199, 60), gColourBlue);
    EXPECT_EQ(gView.pixel(150, 11), gColourBlue);
    EXPECT_EQ(gView.pixel(0, 60), 0x1234);  // outside the frame
    // The selected title in yellow, the other in grey.
    EXPECT_GT(countColour(gColourYellow, 9, 0, 16, 12), 0);
    EXPECT_EQ(countColour(gColourGrey, 9, 0, 16, 12), 0);
    EXPECT_GT(countColour(gColourGrey, 41, 0, 16, 12), 0);
    // The pane: black with its first line in red.
    EXPECT_EQ(gView.pixel(150, 50), gColourBlack);
    EXPECT_GT(countColour(gColourRed, 2, 12, 16, 12), 0);
    EXPECT_EQ(countColour(gColourRed, 2, 36, 100, 12), 0);
    // The choice item: label in yellow, option texts in red.
    EXPECT_GT(countColour(gColourYellow, 10, 80, 40, 12), 0);
    EXPECT_GT(countColour(gColourRed, 10 + 16, 92, 32, 24), 0);
    // A disabled item is not drawn.
    EXPECT_EQ(countColour(green, 10, 60, 8, 12), 0);
  });
  check.enable();
  pass([&] {
    // The box in green and, after one blank, the label in orange.
    EXPECT_GT(countColour(green, 10, 60, 8, 12), 0);
    EXPECT_EQ(countColour(orange, 18, 60, 8, 12), 0);
    EXPECT_GT(countColour(orange, 26, 60, 40, 12), 0);
  });
}

}  // namespace
