#include "general/keyboard.h"

#include <gtest/gtest.h>

#include <vector>

#include "general/main.h"
#include "general/mouse.h"
#include "platform/display.h"
#include "platform/keys.h"
#include "platform/messages.h"

using namespace platform;

namespace {

class KeyboardRing : public ::testing::Test {
 protected:
  void SetUp() override {
    gKeyRing = KeyRing{};
    releaseAllKeys();
    clearMessageQueue();
    // Mouse positions are clamped to the mode size other tests leave behind.
    savedWidth_ = gScreenWidth;
    savedHeight_ = gScreenHeight;
    gScreenWidth = 640;
    gScreenHeight = 480;
  }
  void TearDown() override {
    releaseAllKeys();
    gScreenWidth = savedWidth_;
    gScreenHeight = savedHeight_;
  }
  static std::vector<uint32_t> drain() {
    std::vector<uint32_t> keys;
    while (keyAvailable()) keys.push_back(readKey());
    return keys;
  }
  static intptr_t keyDown(uint32_t vk, uint32_t repeat = 1) {
    return windowProc(nullptr, WM_KEYDOWN, vk, static_cast<intptr_t>(repeat));
  }
  uint32_t savedWidth_ = 0, savedHeight_ = 0;
};

TEST_F(KeyboardRing, KeysComeOutInOrderWithTheModifiersHeldWhenRead) {
  keyDown(VK_F1 + 4);
  keyDown(VK_F1 + 4);
  keyDown(VK_F1 + 4);
  EXPECT_EQ(drain(), (std::vector<uint32_t>{0x74, 0x74, 0x74}));

  // Shift pressed and released before the read: no flag.
  setKeyState(VK_LSHIFT, true);
  keyDown('A');
  setKeyState(VK_LSHIFT, false);
  EXPECT_EQ(drain(), std::vector<uint32_t>{'A'});

  // Typed without modifiers, read while Shift, Control and Alt are held.
  keyDown('B');
  setKeyState(VK_RSHIFT, true);
  setKeyState(VK_LCONTROL, true);
  setKeyState(VK_RMENU, true);
  EXPECT_EQ(drain(), std::vector<uint32_t>{'B' | kKeyShift | kKeyCtrl | kKeyAlt});
}

TEST_F(KeyboardRing, FullRingKeepsItsKeysAndDropsTheNewOne) {
  for (uint32_t i = 0; i < 255; ++i) EXPECT_TRUE(writeKey(i));
  EXPECT_FALSE(writeKey(0x99));
  const std::vector<uint32_t> keys = drain();
  ASSERT_EQ(keys.size(), 255u);
  EXPECT_EQ(keys.front(), 0u);
  EXPECT_EQ(keys.back(), 254u);
  // An empty ring answers 0 and stays empty.
  EXPECT_EQ(readKey(), 0u);
  EXPECT_FALSE(keyAvailable());
  EXPECT_TRUE(writeKey(7));
  EXPECT_EQ(drain(), std::vector<uint32_t>{7});
}

TEST_F(KeyboardRing, ModifierQueriesFollowEitherSide) {
  EXPECT_FALSE(isModifierDown(kKeyCtrl));
  setKeyState(VK_RCONTROL, true);
  EXPECT_TRUE(isModifierDown(kKeyCtrl));
  setKeyState(VK_LCONTROL, true);
  setKeyState(VK_RCONTROL, false);
  EXPECT_TRUE(isModifierDown(kKeyCtrl));
  setKeyState(VK_LCONTROL, false);
  EXPECT_FALSE(isModifierDown(kKeyCtrl));
  EXPECT_FALSE(isModifierDown(kKeyShift));
  setKeyState('Z', true);
  EXPECT_TRUE(isModifierDown('Z'));
}

TEST_F(KeyboardRing, WindowProcedureStoresKeysByRepeatCountAndKeepsSystemKeysOut) {
  keyDown(VK_SHIFT);
  keyDown(VK_CONTROL);
  keyDown(VK_MENU);
  keyDown('X', 3);
  EXPECT_EQ(windowProc(nullptr, WM_SYSKEYDOWN, VK_F10, 1), 0);
  EXPECT_EQ(windowProc(nullptr, WM_SYSKEYDOWN, 'B', 1), 0);
  EXPECT_EQ(drain(), (std::vector<uint32_t>{'X', 'X', 'X'}));
}

int gAltEnterCalls = 0;
void countAltEnter() { ++gAltEnterCalls; }

TEST_F(KeyboardRing, AltEnterCallsItsHandlerAndAltQClosesTheWindow) {
  gAltEnterCalls = 0;
  EXPECT_EQ(windowProc(nullptr, WM_SYSKEYDOWN, VK_RETURN, 1), 0);  // no handler yet
  gAltEnterHandler = countAltEnter;
  EXPECT_EQ(windowProc(nullptr, WM_SYSKEYDOWN, VK_RETURN, 1), 0);
  gAltEnterHandler = nullptr;
  EXPECT_EQ(gAltEnterCalls, 1);

  EXPECT_EQ(windowProc(nullptr, WM_SYSKEYDOWN, 'Q', 1), 0);
  Message m;
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_EQ(m.message, WM_CLOSE);
  EXPECT_FALSE(keyAvailable());
}

struct CountingCallback : Callback {
  void onLeftClick(u32, u32) override { ++left; }
  void onRightClick(u32, u32) override { ++right; }
  int left = 0, right = 0;
};

TEST_F(KeyboardRing, ClickWhileDispatchIsOffOnlyMovesThePosition) {
  CountingCallback counter;
  CallbackList list;
  list.append(&counter);
  addMouseHandlers(&list);
  setMouseDispatch(0);
  windowProc(nullptr, WM_MOUSEMOVE, 0, (40 << 16) | 30);
  EXPECT_EQ(gMouseX, 30u);
  EXPECT_EQ(gMouseY, 40u);
  windowProc(nullptr, WM_LBUTTONDOWN, 0, (12 << 16) | 11);
  EXPECT_EQ(gMouseX, 11u);
  EXPECT_EQ(gMouseY, 12u);
  EXPECT_EQ(counter.left, 0);
  setMouseDispatch(1);
  windowProc(nullptr, WM_LBUTTONDOWN, 0, (12 << 16) | 11);
  windowProc(nullptr, WM_RBUTTONDOWN, 0, (12 << 16) | 11);
  setMouseDispatch(0);
  removeMouseHandlers(&list);
  EXPECT_EQ(counter.left, 1);
  EXPECT_EQ(counter.right, 1);
}

intptr_t gIpcCode = -1;
intptr_t acceptIpc(uint32_t code, intptr_t) {
  gIpcCode = code;
  return 1;
}

TEST_F(KeyboardRing, RegisteredMessageReachesTheApplicationUnlessWeSentIt) {
  const uint32_t saved = gIpcMessage;
  gIpcMessage = registerWindowMessage("KEZ_IPC_MESSAGE");
  ASSERT_NE(gIpcMessage, 0u);
  EXPECT_EQ(registerWindowMessage("KEZ_IPC_MESSAGE"), gIpcMessage);
  gApplication.handleIpcMessage = acceptIpc;
  gIpcCode = -1;
  EXPECT_EQ(windowProc(nullptr, gIpcMessage, 0x80001234u, 0), 0);
  EXPECT_EQ(gIpcCode, -1);
  EXPECT_EQ(windowProc(nullptr, gIpcMessage, 0x18005u, 0), 1);
  EXPECT_EQ(gIpcCode, 0x0005);
  gApplication.handleIpcMessage = nullptr;
  gIpcMessage = saved;
}

}  // namespace
