#include "platform/messages.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/keys.h"
#include "platform/window.h"

using namespace platform;

namespace {

std::vector<Message> gReceived;

intptr_t recordingProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  gReceived.push_back(Message{window, message, wParam, lParam});
  return defWindowProc(window, message, wParam, lParam);
}

// A real SDL window on the dummy video driver; each test drives SDL events
// through the queue.
class MessageQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    gReceived.clear();
    releaseAllKeys();
    window_ = createWindow("test", recordingProc, true);
    ASSERT_NE(window_, nullptr);
    clearMessageQueue();
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    gReceived.clear();
  }
  void TearDown() override {
    destroyWindow(window_);
    clearMessageQueue();
    releaseAllKeys();
  }
  static void key(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    SDL_PushEvent(&e);
  }
  static std::vector<Message> takeAll() {
    std::vector<Message> out;
    Message m;
    while (peekMessage(&m)) out.push_back(m);
    return out;
  }
  Window* window_ = nullptr;
};

TEST_F(MessageQueue, CreationSendsSizeMoveAndActivation) {
  destroyWindow(window_);
  gReceived.clear();
  window_ = createWindow("test", recordingProc, false);
  ASSERT_EQ(gReceived.size(), 3u);
  EXPECT_EQ(gReceived[0].message, WM_SIZE);
  EXPECT_EQ(gReceived[1].message, WM_MOVE);
  EXPECT_EQ(gReceived[2].message, WM_ACTIVATE);
  EXPECT_EQ(gReceived[2].wParam, WA_ACTIVE);
  EXPECT_EQ(sdlWindow() != nullptr, true);
}

TEST_F(MessageQueue, KeysBecomeVirtualKeyMessagesAndAltMakesThemSystemKeys) {
  key(SDL_SCANCODE_F5, true);
  key(SDL_SCANCODE_F5, false);
  key(SDL_SCANCODE_LSHIFT, true);
  key(SDL_SCANCODE_LALT, true);
  key(SDL_SCANCODE_Q, true);
  key(SDL_SCANCODE_LALT, false);
  key(SDL_SCANCODE_F10, true);
  key(SDL_SCANCODE_KP_ENTER, true);
  struct Expected {
    uint32_t message;
    uintptr_t key;
  };
  const Expected expected[] = {
      {WM_KEYDOWN, VK_F1 + 4}, {WM_KEYUP, VK_F1 + 4},  {WM_KEYDOWN, VK_SHIFT},  {WM_SYSKEYDOWN, VK_MENU},
      {WM_SYSKEYDOWN, 'Q'},    {WM_SYSKEYUP, VK_MENU}, {WM_SYSKEYDOWN, VK_F10}, {WM_KEYDOWN, VK_RETURN},
  };
  const std::vector<Message> got = takeAll();
  ASSERT_EQ(got.size(), std::size(expected));
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].message, expected[i].message);
    EXPECT_EQ(got[i].wParam, expected[i].key);
    EXPECT_EQ(got[i].lParam & 0xFFFF, 1);
  }
  EXPECT_LT(getKeyState(VK_SHIFT), 0);
  EXPECT_LT(getKeyState(VK_LSHIFT), 0);
  EXPECT_GE(getKeyState(VK_MENU), 0);
  EXPECT_LT(getKeyState(VK_F10), 0);
}

TEST_F(MessageQueue, KeysAreNumberedAsWindowsNumbersThem) {
  const std::pair<SDL_Scancode, uintptr_t> table[] = {
      {SDL_SCANCODE_A, 'A'},
      {SDL_SCANCODE_Z, 'Z'},
      {SDL_SCANCODE_0, '0'},
      {SDL_SCANCODE_1, '1'},
      {SDL_SCANCODE_9, '9'},
      {SDL_SCANCODE_F1, VK_F1},
      {SDL_SCANCODE_F12, VK_F1 + 11},
      {SDL_SCANCODE_LEFT, VK_LEFT},
      {SDL_SCANCODE_UP, VK_UP},
      {SDL_SCANCODE_RIGHT, VK_RIGHT},
      {SDL_SCANCODE_DOWN, VK_DOWN},
      {SDL_SCANCODE_PAGEUP, VK_PRIOR},
      {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
      {SDL_SCANCODE_RETURN, VK_RETURN},
      {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
      {SDL_SCANCODE_BACKSPACE, VK_BACK},
      {SDL_SCANCODE_SPACE, VK_SPACE},
      {SDL_SCANCODE_RCTRL, VK_CONTROL},
      // Numpad digits are digits, so that a prompt takes them as typed.
      {SDL_SCANCODE_KP_0, '0'},
      {SDL_SCANCODE_KP_1, '1'},
      {SDL_SCANCODE_KP_9, '9'},
  };
  for (const auto& [code, vk] : table) {
    key(code, true);
    key(code, false);
  }
  const std::vector<Message> got = takeAll();
  ASSERT_EQ(got.size(), 2 * std::size(table));
  for (size_t i = 0; i < std::size(table); ++i) {
    SCOPED_TRACE(SDL_GetScancodeName(table[i].first));
    EXPECT_EQ(got[2 * i].message, WM_KEYDOWN);
    EXPECT_EQ(got[2 * i].wParam, table[i].second);
    EXPECT_EQ(got[2 * i + 1].message, WM_KEYUP);
  }
}

TEST_F(MessageQueue, MousePositionsAreGivenInDisplayPixels) {
  int w, h;
  SDL_GetWindowSize(sdlWindow(), &w, &h);
  setLogicalSize(w / 2, h / 4);
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = 100;
  e.motion.y = 200;
  SDL_PushEvent(&e);
  e = SDL_Event{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.x = -5;
  e.button.y = 8;
  SDL_PushEvent(&e);
  const std::vector<Message> got = takeAll();
  setLogicalSize(0, 0);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].message, WM_SETCURSOR);
  EXPECT_EQ(got[1].message, WM_MOUSEMOVE);
  EXPECT_EQ(got[1].lParam, (50 << 16) | 50);
  EXPECT_EQ(got[2].message, WM_RBUTTONDOWN);
  EXPECT_EQ(got[2].lParam, (2 << 16) | 0);
  EXPECT_LT(getKeyState(VK_RBUTTON), 0);
}

TEST_F(MessageQueue, PositionsConvertedByARendererAreNotScaledTwice) {
  int w, h;
  SDL_GetWindowSize(sdlWindow(), &w, &h);
  SDL_Renderer* renderer = SDL_CreateRenderer(sdlWindow(), -1, SDL_RENDERER_SOFTWARE);
  ASSERT_NE(renderer, nullptr) << SDL_GetError();
  SDL_RenderSetLogicalSize(renderer, w / 2, h / 2);
  setLogicalSize(w / 2, h / 2);
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = SDL_GetWindowID(sdlWindow());
  e.button.button = SDL_BUTTON_LEFT;
  e.button.x = 200;
  e.button.y = 100;
  SDL_PushEvent(&e);
  const std::vector<Message> got = takeAll();
  setLogicalSize(0, 0);
  SDL_DestroyRenderer(renderer);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(got[0].lParam, (50 << 16) | 100);
}

TEST_F(MessageQueue, WindowEventsBecomeSizeActivationPaintAndClose) {
  const Uint8 events[] = {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_EXPOSED,
                          SDL_WINDOWEVENT_CLOSE};
  for (Uint8 kind : events) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = kind;
    SDL_PushEvent(&e);
  }
  const std::vector<Message> got = takeAll();
  std::vector<uint32_t> kinds;
  for (const Message& m : got) kinds.push_back(m.message);
  EXPECT_EQ(kinds, (std::vector<uint32_t>{WM_SIZE, WM_ACTIVATE, WM_SIZE, WM_ACTIVATE, WM_PAINT, WM_CLOSE}));
  EXPECT_EQ(got[0].wParam, SIZE_MINIMIZED);
  EXPECT_EQ(got[1].wParam >> 16, 1u);  // minimised
  EXPECT_EQ(got[2].wParam, SIZE_RESTORED);
  EXPECT_EQ(got[3].wParam, WA_ACTIVE);
}

TEST_F(MessageQueue, CloseDestroysTheWindowAndQuitComesLast) {
  postMessage(window_, WM_CLOSE, 0, 0);
  postQuitMessage(0);
  postMessage(window_, WM_PAINT, 0, 0);
  Message m;
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_EQ(m.message, WM_CLOSE);
  gReceived.clear();
  dispatchMessage(m);
  ASSERT_EQ(gReceived.size(), 2u);  // WM_CLOSE, then WM_DESTROY from the default handling
  EXPECT_EQ(gReceived[1].message, WM_DESTROY);
  gReceived.clear();
  EXPECT_EQ(mainWindow(), nullptr);
  EXPECT_EQ(sdlWindow(), nullptr);
  // Calls on the destroyed window do nothing.
  EXPECT_EQ(sendMessage(window_, WM_PAINT, 0, 0), 0);
  EXPECT_EQ(clientRect(window_).right, 0);
  EXPECT_FALSE(destroyWindow(window_));
  // The paint posted for the destroyed window goes nowhere.
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_EQ(m.message, WM_PAINT);
  EXPECT_EQ(dispatchMessage(m), 0);
  EXPECT_TRUE(gReceived.empty());
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_FALSE(peekMessage(&m));
  window_ = nullptr;
}

TEST_F(MessageQueue, TerminationSignalBecomesClose) {
  raise(SIGTERM);
  const std::vector<Message> got = takeAll();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, WM_CLOSE);
}

TEST(KeyState, ToggleBitFlipsWithEveryPress) {
  releaseAllKeys();
  const bool before = getKeyState(VK_CAPITAL) & 1;
  setKeyState(VK_CAPITAL, true);
  setKeyState(VK_CAPITAL, true);  // auto-repeat is no new press
  setKeyState(VK_CAPITAL, false);
  EXPECT_EQ((getKeyState(VK_CAPITAL) & 1) != 0, !before);
  EXPECT_GE(getKeyState(VK_CAPITAL), 0);
  EXPECT_EQ(getKeyState(0x1234), 0);
  setKeyState(0x1234, true);  // out of range: ignored
}

}  // namespace

namespace {

TEST_F(MessageQueue, WaitingEndsWhenInputArrivesOrTheTimeIsUp) {
  EXPECT_FALSE(waitForMessage(1));
  // Input from another thread, as the window system delivers it, ends a
  // long wait; the message is then there to take.
  std::thread typist([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    key(SDL_SCANCODE_F5, true);
  });
  const bool woke = waitForMessage(60000);
  typist.join();
  EXPECT_TRUE(woke);
  const std::vector<Message> got = takeAll();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, WM_KEYDOWN);
  EXPECT_EQ(got[0].wParam, uintptr_t(VK_F1 + 4));
  // A message waiting already needs no wait.
  postMessage(window_, WM_NULL, 0, 0);
  EXPECT_TRUE(waitForMessage(60000));
}

}  // namespace
