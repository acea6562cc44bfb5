#include "general/dialog.h"

#include <gtest/gtest.h>

#include "widgetscreen.h"

#include <string>
#include <vector>

#include "general/pane.h"

namespace {

using DialogItems = WidgetScreen;

class Toggle : public CheckItem {
 public:
  bool isChecked() override { return on; }
  void setOn() override { on = true; }
  void setOff() override { on = false; }
  bool on = false;
};

// Records the hook calls; setChoice keeps only even indices, so the shown
// selection is whatever getChoice reports back.
class Picker : public ChoiceItem {
 public:
  u32 getChoice() override {
    calls.push_back("get");
    return value;
  }
  void setChoice(u32 i) override {
    calls.push_back("set" + std::to_string(i));
    if (i % 2 == 0) value = i;
  }
  void beforeChoiceChange(u32 previous) override { calls.push_back("before" + std::to_string(previous)); }
  u32 value = 0;
  std::vector<std::string> calls;
};

// Font cells are 8 x 12.
TEST_F(DialogItems, CheckItemOnlyTheBoxCellTakesClicks) {
  Toggle t;
  t.setPosition(100, 50);
  t.setLabel(IString::fromText("Label"));
  struct Case {
    u32 x, y;
    bool taken;
  } cases[] = {{100, 50, true},  {107, 57, true},  {108, 50, false}, {100, 58, false},
               {99, 50, false},  {100, 49, false}, {130, 52, false}};
  for (const Case& c : cases) {
    const bool before = t.on;
    t.dirtyMask = 0;
    EXPECT_EQ(t.onClick(c.x, c.y), c.taken) << c.x << "," << c.y;
    EXPECT_EQ(t.on != before, c.taken);
    EXPECT_EQ(t.dirtyMask != 0, c.taken);
  }
}

TEST_F(DialogItems, CheckItemGeometry) {
  Toggle t;
  t.setLabel(IString::fromText("abcde"));
  t.setIndent(2);
  EXPECT_EQ(t.width(), (5u + 2 + 1) * 8);
  EXPECT_EQ(t.height(), 12u);
}

TEST_F(DialogItems, ChoiceItemOnlyOptionMarkersTakeClicksAndHooksRunInOrder) {
  Picker p;
  p.setPosition(10, 20, 3);  // label row 20-31, options at 32, 44, 56
  p.setLabel(IString::fromText("Mode"));
  p.setOption(0, IString::fromText("zero"));
  p.setOption(1, IString::fromText("one"));
  p.setOption(2, IString::fromText("two"));

  EXPECT_FALSE(p.onClick(10, 25));  // the label row
  EXPECT_FALSE(p.onClick(18, 56));  // the option text, not its marker
  EXPECT_FALSE(p.onClick(10, 68));  // below the last option
  EXPECT_TRUE(p.calls.empty());

  EXPECT_TRUE(p.onClick(17, 67));
  EXPECT_EQ(p.calls, (std::vector<std::string>{"before0", "set2", "get"}));
  EXPECT_EQ(p.selection, 2u);

  p.calls.clear();
  p.dirtyMask = 0;
  EXPECT_TRUE(p.onClick(10, 56));  // already chosen: taken, no calls
  EXPECT_TRUE(p.calls.empty());
  EXPECT_EQ(p.dirtyMask, 0u);

  EXPECT_TRUE(p.onClick(10, 44));  // refused by the subclass: the shown index follows it
  EXPECT_EQ(p.calls, (std::vector<std::string>{"before2", "set1", "get"}));
  EXPECT_EQ(p.selection, 2u);
  EXPECT_EQ(p.dirtyMask, 255u);

  EXPECT_EQ(p.width(), (4u + 2) * 8);
  EXPECT_EQ(p.height(), 4u * 12);
}

TEST_F(DialogItems, DisabledItemTakesNoClicksAndIsNeverDirty) {
  Toggle t;
  Picker p;
  p.setPosition(0, 0, 2);
  t.disable();
  p.disable();
  EXPECT_FALSE(t.onClick(0, 0));
  EXPECT_FALSE(p.onClick(0, 12));
  EXPECT_FALSE(t.on);
  EXPECT_TRUE(p.calls.empty());
  t.markDirty();
  EXPECT_FALSE(t.isDirtyOnCurrentPage());
  t.enable();
  EXPECT_TRUE(t.isDirtyOnCurrentPage());
  EXPECT_TRUE(t.onClick(0, 0));
}

class Box : public PaneContainer {
 public:
  void scrollUp() override {}
  void scrollDown() override {}
  void pageUp() override {}
  void pageDown() override {}
  void refresh() override {}
};

TEST_F(DialogItems, PaneContainerClickGoesToTheFirstChildThatTakesItAndMarkingReachesChildren) {
  Box box;
  Toggle first, second;  // both boxes at (0, 0)
  box.addChild(&first);
  box.addChild(&second);
  box.onClick(3, 3);
  EXPECT_TRUE(first.on);
  EXPECT_FALSE(second.on);
  first.dirtyMask = second.dirtyMask = box.dirtyMask = 0;
  box.markDirty();
  EXPECT_EQ(box.dirtyMask, 255u);
  EXPECT_EQ(first.dirtyMask, 255u);
  EXPECT_EQ(second.dirtyMask, 255u);
}

}  // namespace
