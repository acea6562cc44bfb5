#include <gtest/gtest.h>

#include "general/dialog.h"
#include "general/view.h"
#include "../widgetscreen.h"

namespace {

class Toggle : public CheckItem {
 public:
  bool isChecked() override { return true; }
  void setOn() override {}
  void setOff() override {}
};

using OlderCheckItem = WidgetScreen;

// The older program draws no indent blanks: the label follows the box.
TEST_F(OlderCheckItem, LabelFollowsTheBoxWithoutIndent) {
  const u32 orange = gView.rgb(1, 0.5f, 0);
  Toggle t;
  t.setPosition(10, 60);
  t.setLabel(IString::fromText("Sound"));
  t.setIndent(3);
  t.draw();
  gView.lock(1);
  int labelStart = 0;
  for (u32 y = 60; y < 72; ++y)
    for (u32 x = 18; x < 26; ++x) labelStart += gView.pixel(x, y) == orange;
  gView.unlock();
  EXPECT_GT(labelStart, 0);
}

}  // namespace
