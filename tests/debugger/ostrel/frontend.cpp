// The older program's prompt and key set.

#include "../frontend.h"

#include <filesystem>

#include "debugger/commands.h"
#include "debugger/status.h"
#include "general/main.h"

using namespace frontend;

namespace {

int gRuns = 0;
void command() { ++gRuns; }

class Older : public Screen {};

TEST_F(Older, BackspaceCanTakeTheColourCodeAndEnterAlwaysRuns) {
  gRuns = 0;
  promptForInput(text("Title"), &command);
  Dialog::handleKey('1');
  Dialog::handleKey(8);
  Dialog::handleKey(8);
  EXPECT_EQ(gPromptLine.length(), 0u);
  Dialog::handleKey(13);
  EXPECT_EQ(gRuns, 1);
}

TEST_F(Older, HasNoDumpEditScreenshotGridOrResetKeys) {
  const i32 grid = gGridOption.value();
  gCycleCount = 5;
  for (u32 key : {u32('D'), u32('D') | kKeyShift, u32('E') | kKeyShift, u32('P'), u32('X'), 0x73u, 0x71u}) {
    debuggerKey(key);
    EXPECT_EQ(gDisplayMode, 0u) << key;
  }
  EXPECT_EQ(gGridOption.value(), grid);
  EXPECT_EQ(gCycleCount, 5u);
  EXPECT_FALSE(std::ifstream("screen.bmp").good());
  debuggerKey('B');
  EXPECT_EQ(gDisplayMode, 2u);
  Dialog::handleKey(27);
}

TEST_F(Older, TakesNoSwitches) {
  gCommandSwitches.clear();
  gCommandSwitches.append(text("ag"));
  const SwitchResult r = actOnSwitches();
  EXPECT_FALSE(r.runAtOnce);
}

TEST_F(Older, NamesItsCartridgeOnlyWhenItIsThere) {
  auto start = [] {
    trackedFree(gCodeWindow);
    trackedFree(gDataWindow);
    trackedFree(gAppWindow);
    startMainTask();
  };
  gRomName = text("No ROM loaded");
  start();  // no roms/iridion.gba here
  EXPECT_EQ(bytes(gRomName), "No ROM loaded");
  std::filesystem::create_directory("roms");
  std::filesystem::copy_file(testsupport::guestImage("keypad"), "roms/iridion.gba");
  start();
  EXPECT_EQ(bytes(gRomName), "roms/iridion.gba");
}

}  // namespace
