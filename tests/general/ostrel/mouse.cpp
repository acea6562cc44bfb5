#include "general/mouse.h"

#include <gtest/gtest.h>

namespace {

int gClicks = 0;

class Counter : public Callback {
 public:
  void onLeftClick(u32, u32) override { ++gClicks; }
};

// The older program has no dispatch switch: every press is dispatched.
TEST(OlderMouse, ClicksAreDispatchedWithTheSwitchOff) {
  gClicks = 0;
  Counter c;
  CallbackList list;
  list.append(&c);
  addMouseHandlers(&list);
  setMouseDispatch(0);
  handleMouseEvent(MouseEvent::kLeftDown, 3, 4, 640, 480);
  removeMouseHandlers(&list);
  EXPECT_EQ(gClicks, 1);
  EXPECT_EQ(gMouseX, 3u);
}

}  // namespace
