#include "general/dialog.h"

#include <gtest/gtest.h>

#include "general/pane.h"

namespace {

class Toggle : public CheckItem {
 public:
  bool isChecked() override { return false; }
  void setOn() override {}
  void setOff() override {}
};

class Box : public PaneContainer {
 public:
  void scrollUp() override {}
  void scrollDown() override {}
  void pageUp() override {}
  void pageDown() override {}
  void refresh() override {}
};

// In the older program items are not widgets: a full redraw reaches them only
// through their pane.
TEST(OlderDialogItem, StaysOutOfTheWidgetListAndIsMarkedThroughItsPane) {
  Toggle loose, held;
  for (Widget* w = gWidgets; w; w = w->next) {
    EXPECT_NE(w, &loose);
    EXPECT_NE(w, &held);
  }
  Box box;
  box.addChild(&held);
  loose.dirtyMask = held.dirtyMask = 0;
  markAllWidgetsDirty();
  EXPECT_EQ(held.dirtyMask, 255u);
  EXPECT_EQ(loose.dirtyMask, 0u);
}

}  // namespace
