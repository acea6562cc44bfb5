// The program entry's own roads: the command line into the switch lists,
// the fatal-error road and the message pump ending every task.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "general/files.h"
#include "general/main.h"
#include "platform/display.h"
#include "platform/messages.h"

using namespace platform;

namespace {

std::vector<std::string> texts(Array<FixedIString>& list) {
  std::vector<std::string> out;
  for (u32 i = 0; i < list.count(); ++i) {
    char text[300];
    list.at(i).toCString(text, sizeof text);
    out.push_back(text);
  }
  return out;
}

TEST(Entry, CommandLineFillsTheProgramPathAndSwitchLists) {
  takeCommandLine("\"C:\\My Games\\emu.exe\" -arC:\\roms\\game.gba -e5 -E7 -g");
  EXPECT_STREQ(gProgramPath, "C:/My Games");
  EXPECT_EQ(texts(gCommandSwitches), (std::vector<std::string>{"arC:\\roms\\game.gba", "g"}));
  EXPECT_EQ(texts(gESwitchValues), (std::vector<std::string>{"5", "7"}));
  char directory[64];
  programDirectory().toCString(directory, sizeof directory);
  EXPECT_STREQ(directory, "C:/My Games");
  takeCommandLine("emu -\xe9t\xe9");
  EXPECT_STREQ(gProgramPath, "");
  ASSERT_EQ(gCommandSwitches.count(), 1u);
  // Bytes above 0x7F are sign-extended into the text.
  EXPECT_EQ(gCommandSwitches.at(0).at(0), 0xFFE9);
}

std::vector<uint32_t> gSeen;
intptr_t recordingProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  gSeen.push_back(message);
  return windowProc(window, message, wParam, lParam);
}

TEST(Entry, FatalErrorShowsTheTextAsItIsAndClosesTheWindow) {
  clearMessageQueue();
  gMainWindow = createWindow("test", recordingProc, true);
  ASSERT_NE(gMainWindow, nullptr);
  gSeen.clear();
  testing::internal::CaptureStderr();
  EXPECT_EQ(fatalErrorText("Unable to %s%n initialize."), 0u);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("KEZ Emulator / Debugger Version 0.05: Unable to %s%n initialize."), std::string::npos)
      << err;
  EXPECT_EQ(gSeen, std::vector<uint32_t>{WM_DESTROY});
  EXPECT_EQ(mainWindow(), nullptr);
  EXPECT_EQ(gMainWindow, nullptr);
  Message m;
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_EQ(m.message, WM_QUIT);

  // A long message is cut to 127 characters.
  testing::internal::CaptureStderr();
  EXPECT_EQ(fatalError(nullptr, 5, "%s", std::string(300, 'x').c_str()), 5u);
  const std::string cut = testing::internal::GetCapturedStderr();
  EXPECT_NE(cut.find(": " + std::string(127, 'x') + "\n"), std::string::npos);
  gMainWindow = nullptr;
}

int gEmulatorTurns = 0;
void countingTask(uint32_t) {
  for (;;) {
    ++gEmulatorTurns;
    yieldTask();
  }
}

TEST(Entry, PumpEndsEveryTaskOnQuit) {
  clearMessageQueue();
  schedulerSetup();
  gMainWindow = createWindow("test", windowProc, true);
  ASSERT_NE(gMainWindow, nullptr);
  uint32_t state;
  createTask(countingTask, 0, &gEmulatorTask, &state, 0, 0);
  createTask(collectorTask, 0, &gCollectorTask, &state, 0, 0);
  createTask(messagePumpTask, 0, &gMessagePumpTask, &state, 0, 0);
  postMessage(gMainWindow, WM_SYSKEYDOWN, 'Q', 1);
  gEmulatorTurns = 0;
  runTasks();
  EXPECT_EQ(gTaskCount, 0u);
  EXPECT_EQ(mainWindow(), nullptr);
  // The pump drains the queue in one turn: Alt+Q posts WM_CLOSE, which
  // destroys the window, which posts WM_QUIT; slot 0 ran once before it.
  EXPECT_EQ(gEmulatorTurns, 1);
  gMainWindow = nullptr;
}

// The emulator's turns at which the pump asked whether it may wait.
std::vector<int> gAskedAt;
void messagingTask(uint32_t) {
  for (;;) {
    ++gEmulatorTurns;
    if (gEmulatorTurns == 6) postMessage(gMainWindow, WM_NULL, 0, 0);
    if (gEmulatorTurns == 10) postMessage(gMainWindow, WM_SYSKEYDOWN, 'Q', 1);
    yieldTask();
  }
}

TEST(Entry, PumpAsksToWaitOnlyAfterTwoQuietTurns) {
  clearMessageQueue();
  schedulerSetup();
  gMainWindow = createWindow("test", windowProc, true);
  ASSERT_NE(gMainWindow, nullptr);
  const Application saved = gApplication;
  gApplication.idleMilliseconds = [] {
    gAskedAt.push_back(gEmulatorTurns);
    return uint32_t(1);
  };
  gAskedAt.clear();
  gEmulatorTurns = 0;
  postMessage(gMainWindow, WM_NULL, 0, 0);
  uint32_t state;
  createTask(messagingTask, 0, &gEmulatorTask, &state, 0, 0);
  createTask(collectorTask, 0, &gCollectorTask, &state, 0, 0);
  createTask(messagePumpTask, 0, &gMessagePumpTask, &state, 0, 0);
  runTasks();
  gApplication = saved;
  gMainWindow = nullptr;
  // A message at turns 1 and 6; the two turns after each are for drawing
  // what it changed.
  EXPECT_EQ(gAskedAt, (std::vector<int>{3, 4, 5, 8, 9}));
}

}  // namespace

namespace {

TEST(Entry, WindowFlagsFollowSizeActivationAndTheCursorRule) {
  const uint32_t active = gWindowActive, ready = gDisplayReady, full = gFullScreen;
  gWindowActive = 1;
  windowProc(nullptr, WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_EQ(gWindowActive, 0u);
  windowProc(nullptr, WM_SIZE, SIZE_RESTORED, 0);
  EXPECT_EQ(gWindowActive, 1u);
  windowProc(nullptr, WM_SIZE, SIZE_MAXHIDE, 0);
  EXPECT_EQ(gWindowActive, 0u);
  // Only the minimised flag in the high word counts.
  EXPECT_EQ(windowProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0), 0);
  EXPECT_EQ(gWindowActive, 1u);
  EXPECT_EQ(windowProc(nullptr, WM_ACTIVATE, WA_ACTIVE | (1u << 16), 0), 0);
  EXPECT_EQ(gWindowActive, 0u);

  gWindowActive = 1;
  gDisplayReady = 1;
  gFullScreen = 0;
  EXPECT_EQ(windowProc(nullptr, WM_SETCURSOR, 0, 0), 0);  // windowed: the arrow stays
  gFullScreen = 1;
  EXPECT_EQ(windowProc(nullptr, WM_SETCURSOR, 0, 0), 1);  // full screen: hidden
  gWindowActive = active;
  gDisplayReady = ready;
  gFullScreen = full;
}

}  // namespace
