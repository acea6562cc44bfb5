#include "general/mouse.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gCalls;

// Records every call, hit or not, so the order of the walk shows.
class Recorder : public Callback {
 public:
  explicit Recorder(std::string n) : name(std::move(n)) {}
  void onLeftClick(u32 px, u32 py) override {
    gCalls.push_back(name + (contains(px, py) ? "+L" : "-L"));
    if (action) action();
  }
  void onRightClick(u32 px, u32 py) override { gCalls.push_back(name + (contains(px, py) ? "+R" : "-R")); }
  std::string name;
  std::function<void()> action;
};

struct MouseFixture : ::testing::Test {
  void SetUp() override {
    gCalls.clear();
    gMouseX = gMouseY = 0;
    setMouseDispatch(1);
  }
  void TearDown() override {
    removeMouseHandlers(&a);
    removeMouseHandlers(&b);
    setMouseDispatch(0);
    EXPECT_EQ(gMouseHandlers.count(), 0u);
  }
  CallbackList a, b;
};

TEST(Callback, ContainsIsHalfOpenAndUnsigned) {
  Callback c;
  c.setRect(10, 20, 30, 40);
  struct Case {
    u32 x, y;
    bool in;
  } cases[] = {{10, 20, true},  {39, 59, true},  {40, 20, false}, {10, 60, false},
               {9, 20, false},  {10, 19, false}, {0xFFFFFFFF, 30, false}};
  for (const Case& k : cases) EXPECT_EQ(c.contains(k.x, k.y), k.in) << k.x << "," << k.y;
  c.setRect(10, 20, 0, 40);
  EXPECT_FALSE(c.contains(10, 20));
  Callback base;  // the base handler ignores clicks
  base.onLeftClick(0, 0);
  base.onRightClick(0, 0);
}

TEST_F(MouseFixture, EveryHandlerOfEveryListInRegistrationOrder) {
  Recorder a1("a1"), a2("a2"), b1("b1");
  a1.setRect(0, 0, 100, 100);
  a2.setRect(50, 50, 100, 100);
  b1.setRect(60, 60, 10, 10);
  a.append(&a1);
  a.append(&a2);
  b.append(&b1);
  addMouseHandlers(&b);
  addMouseHandlers(&a);
  dispatchLeftClick(65, 65);
  dispatchRightClick(10, 10);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"b1+L", "a1+L", "a2+L", "b1-R", "a1+R", "a2-R"}));
  removeMouseHandlers(&b);
  removeMouseHandlers(&b);  // not registered any more: nothing
  gCalls.clear();
  dispatchLeftClick(65, 65);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"a1+L", "a2+L"}));
}

TEST_F(MouseFixture, HandlersMayChangeTheListsWhileADispatchRuns) {
  Recorder a1("a1"), a2("a2"), b1("b1"), added("added");
  a.append(&a1);
  a.append(&a2);
  b.append(&b1);
  addMouseHandlers(&a);
  // The first handler grows its own list and registers another one: the
  // walk reaches both.
  bool once = true;
  a1.action = [&] {
    if (!once) return;
    once = false;
    a.append(&added);
    addMouseHandlers(&b);
  };
  dispatchLeftClick(1, 1);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"a1-L", "a2-L", "added-L", "b1-L"}));
  // Unregistering its own list (a frame going away) ends the walk of that list.
  gCalls.clear();
  a1.action = [&] { removeMouseHandlers(&a); };
  dispatchLeftClick(1, 1);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"a1-L"}));
}

TEST_F(MouseFixture, PositionIsClampedIntoTheScreenAndDispatchedOnlyWhenOn) {
  Recorder r("r");
  r.setRect(0, 0, 640, 480);
  a.append(&r);
  addMouseHandlers(&a);

  handleMouseEvent(MouseEvent::kLeftDown, 640 + 10, 479, 640, 480);
  EXPECT_EQ(gMouseX, 639u);
  EXPECT_EQ(gMouseY, 479u);
  handleMouseEvent(MouseEvent::kRightDown, -5, -1, 640, 480);  // a letterbox click
  EXPECT_EQ(gMouseX, 0u);
  EXPECT_EQ(gMouseY, 0u);
  handleMouseEvent(MouseEvent::kMove, 100, 700, 640, 480);
  EXPECT_EQ(gMouseY, 479u);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"r+L", "r+R"}));

  setMouseDispatch(0);
  EXPECT_FALSE(isMouseDispatchOn());
  gCalls.clear();
  handleMouseEvent(MouseEvent::kLeftDown, 12, 34, 640, 480);
  handleMouseEvent(MouseEvent::kRightDown, 56, 78, 640, 480);
  EXPECT_TRUE(gCalls.empty());
  EXPECT_EQ(gMouseX, 56u);
  EXPECT_EQ(gMouseY, 78u);
}

}  // namespace
