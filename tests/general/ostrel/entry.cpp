// The older program: no switches, no sound, a smaller window procedure.

#include <gtest/gtest.h>

#include <cstring>

#include "general/keyboard.h"
#include "general/main.h"
#include "general/mouse.h"
#include "general/sound.h"
#include "platform/display.h"
#include "platform/keys.h"
#include "platform/messages.h"

using namespace platform;

namespace {

TEST(OlderEntry, TakesTheProgramDirectoryButNoSwitches) {
  takeCommandLine("\"C:\\My Games\\emu.exe\" -arC:\\roms\\game.gba -g -e5");
  EXPECT_STREQ(gProgramPath, "C:/My Games");
  EXPECT_EQ(gCommandSwitches.count(), 0u);
  EXPECT_EQ(gESwitchValues.count(), 0u);
}

TEST(OlderEntry, HasNoSound) {
  initSound();
  EXPECT_EQ(gStreamBuffer, nullptr);
  writeSoundBlock(0, 367, nullptr);
  releaseSound();
}

int gAltEnterCalls = 0;
void countAltEnter() { ++gAltEnterCalls; }

TEST(OlderEntry, WindowProcedureHidesTheCursorAndKnowsNoAltEnter) {
  EXPECT_EQ(windowProc(nullptr, WM_SETCURSOR, 0, 0), 1);
  gAltEnterHandler = countAltEnter;
  windowProc(nullptr, WM_SYSKEYDOWN, VK_RETURN, 1);
  gAltEnterHandler = nullptr;
  EXPECT_EQ(gAltEnterCalls, 0);
  clearMessageQueue();
  EXPECT_EQ(windowProc(nullptr, WM_SYSKEYDOWN, 'Q', 1), 0);
  Message m;
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_EQ(m.message, WM_CLOSE);
  gKeyRing = KeyRing{};
  windowProc(nullptr, WM_KEYDOWN, 'A', 2);
  EXPECT_TRUE(keyAvailable());
  EXPECT_EQ(readKey(), static_cast<uint32_t>('A'));
  EXPECT_EQ(readKey(), static_cast<uint32_t>('A'));
}

struct CountingCallback : Callback {
  void onLeftClick(u32, u32) override { ++left; }
  void onRightClick(u32, u32) override { ++right; }
  int left = 0, right = 0;
};

TEST(OlderEntry, ClicksAreDispatchedWithoutTheSwitch) {
  CountingCallback counter;
  CallbackList list;
  list.append(&counter);
  addMouseHandlers(&list);
  setMouseDispatch(0);
  // Positions are clamped to the mode size other tests may have left small.
  const uint32_t width = gScreenWidth, height = gScreenHeight;
  gScreenWidth = 640;
  gScreenHeight = 480;
  windowProc(nullptr, WM_LBUTTONDOWN, 0, (7 << 16) | 5);
  windowProc(nullptr, WM_RBUTTONDOWN, 0, (7 << 16) | 5);
  gScreenWidth = width;
  gScreenHeight = height;
  removeMouseHandlers(&list);
  EXPECT_EQ(gMouseX, 5u);
  EXPECT_EQ(gMouseY, 7u);
  EXPECT_EQ(counter.left, 1);
  EXPECT_EQ(counter.right, 1);
}

}  // namespace
