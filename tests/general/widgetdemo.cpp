// A small window made only for this test (a frame with a list tab and an
// options tab holding a choice item), driven by mouse events that go the
// whole way: SDL events on the dummy video driver, the message queue, the
// window procedure and the click dispatch.

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "general/main.h"
#include "general/mouse.h"
#include "general/tabframe.h"
#include "general/view.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "widgetscreen.h"

namespace {

// Thirty numbered lines; a click names the source line under it.
class DemoList : public ListPane {
 public:
  DemoList() {
    for (u32 i = 0; i < 30; ++i) source.append(IString::fromText(("Line " + std::to_string(i)).c_str()));
  }
  void onClick(u32, u32 py) override { clickedLine = top + (py - y) / 12; }
  u32 clickedLine = ~0u;
};

class DemoChoice : public ChoiceItem {
 public:
  u32 getChoice() override { return speed; }
  void setChoice(u32 i) override { speed = i; }
  void beforeChoiceChange(u32) override {}
  u32 speed = 0;
};

class DemoOptions : public PaneContainer {
 public:
  DemoOptions() { addChild(&speed); }
  void setRect(u32 left, u32 top, u32 width, u32 height) override {
    PaneContainer::setRect(left, top, width, height);
    speed.setPosition(left + 8, top + 12, 3);
  }
  void scrollUp() override {}
  void scrollDown() override {}
  void pageUp() override {}
  void pageDown() override {}
  void refresh() override { markDirty(); }
  DemoChoice speed;
};

class DemoWindow : public TabFrame {
 public:
  DemoWindow() {
    setRect(0, 0, 320, 240);
    addTab(text("List"), &list);
    addTab(text("Opts"), &options);
  }
  static FixedIString text(const char* t) {
    FixedIString f;
    f.assignText(t);
    return f;
  }
  DemoList list;
  DemoOptions options;
};

class WidgetDemo : public WidgetScreen {
 protected:
  void SetUp() override {
    WidgetScreen::SetUp();
    platform::clearMessageQueue();
    window = platform::createWindow("widget demo", windowProc, false);
    ASSERT_NE(window, nullptr);
    pump();
    demo = new DemoWindow;
    addTabFrame(demo);
  }
  void TearDown() override {
    delete demo;  // leaves the frame list and the dispatch by itself
    setMouseDispatch(0);
    platform::destroyWindow(window);
    platform::clearMessageQueue();
    EXPECT_EQ(gTabFrames.count(), 0u);
    EXPECT_EQ(gMouseHandlers.count(), 0u);
    WidgetScreen::TearDown();
  }

  void click(int x, int y, bool right = false) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = SDL_GetWindowID(platform::sdlWindow());
    e.button.button = right ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
    e.button.state = SDL_PRESSED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.state = SDL_RELEASED;
    SDL_PushEvent(&e);
    pump();
  }
  static void pump() {
    platform::Message m;
    while (platform::peekMessage(&m)) platform::dispatchMessage(m);
  }

  platform::Window* window = nullptr;
  DemoWindow* demo = nullptr;
};

TEST_F(WidgetDemo, ClicksThroughTheWindowProcedureReachTitlesPanesAndItems) {
  // Dispatch starts off: a click only moves the mouse position.
  click(60, 5);
  EXPECT_EQ(gMouseX, 60u);
  EXPECT_EQ(gMouseY, 5u);
  EXPECT_EQ(demo->currentTab(), 0u);

  setMouseDispatch(1);
  demo->list.setTop(10);
  click(20, 14 + 3 * 12 + 1);  // fourth visible line of the list
  EXPECT_EQ(demo->list.clickedLine, 13u);

  click(60, 5, true);  // a right click on a title selects nothing
  EXPECT_EQ(demo->currentTab(), 0u);
  click(60, 5);  // the "Opts" title covers x 48-95
  EXPECT_EQ(demo->currentTab(), 1u);
  // Drawn, the chosen title is yellow and the other grey.
  drawAllTabFrames();
  gView.lock(1);
  int yellow = 0, grey = 0;
  for (u32 y = 0; y < 12; ++y)
    for (u32 x = 0; x < 96; ++x) {
      yellow += gView.pixel(x, y) == gColourYellow && x >= 48;
      grey += gView.pixel(x, y) == gColourGrey && x < 48;
    }
  gView.unlock();
  EXPECT_GT(yellow, 0);
  EXPECT_GT(grey, 0);

  // The choice item sits at (10, 24): its options' markers at y 36, 48, 60.
  click(12, 62);
  EXPECT_EQ(demo->options.speed.speed, 2u);
  EXPECT_EQ(demo->options.speed.selection, 2u);
  click(30, 50);  // the option's text, not its marker
  EXPECT_EQ(demo->options.speed.selection, 2u);
  click(20, 30);  // back on the list tab's area: it is hidden now
  EXPECT_EQ(demo->list.clickedLine, 13u);

  click(10, 5);
  EXPECT_EQ(demo->currentTab(), 0u);
}

}  // namespace
