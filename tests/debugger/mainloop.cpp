// The main task's pieces: the condition table, the switches, every debugger
// and run-mode key's effect on the run state, and stepping the real core.

#include <cstdio>

#include "debugger/application.h"
#include "debugger/commands.h"
#include "debugger/status.h"
#include "frontend.h"
#include "general/main.h"
#include "platform/keys.h"

using namespace frontend;

namespace {

constexpr u32 kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kF8 = 0x77, kF9 = 0x78;
// Addresses in the keypad cartridge (tests/guest/keypad.s).
constexpr u32 kLoop = 0x08000048, kCount = 0x08000054;

TEST(ConditionTable, FollowsTheArmConditionRules) {
  u8 t[256];
  fillConditionTable(t);
  EXPECT_EQ(t[0x4 * 16 + 0], 255);   // Z: EQ
  EXPECT_EQ(t[0x4 * 16 + 1], 0);     // NE
  EXPECT_EQ(t[0x9 * 16 + 10], 255);  // N and V: GE
  EXPECT_EQ(t[0x8 * 16 + 10], 0);    // N alone: not GE
  EXPECT_EQ(t[0x2 * 16 + 8], 255);   // C, not Z: HI
  EXPECT_EQ(t[0x6 * 16 + 8], 0);
  EXPECT_EQ(t[0x0 * 16 + 12], 255);  // GT
  EXPECT_EQ(t[0x4 * 16 + 13], 255);  // LE on Z
  for (u32 flags = 0; flags < 16; ++flags) {
    EXPECT_EQ(t[flags * 16 + 14], 255);
    EXPECT_EQ(t[flags * 16 + 15], 0);
  }
}

class Switches : public Screen {
 protected:
  SwitchResult act(std::initializer_list<const char*> switches) {
    gCommandSwitches.clear();
    for (const char* s : switches) gCommandSwitches.append(text(s));
    return actOnSwitches();
  }
};

TEST_F(Switches, BreakpointSwitchesReadLikeTheBreakpointPrompt) {
  const SwitchResult r = act({"abrw8000000", "ABx3000010"});
  EXPECT_TRUE(r.showStartDialog);
  EXPECT_FALSE(r.runAtOnce);
  const BreakpointList& list = gEmulator.breakpoints().list();
  ASSERT_EQ(list.count(), 2u);
  EXPECT_EQ(list[0].address, 0x8000000u);
  EXPECT_EQ(list[0].kinds, 3u);
  EXPECT_EQ(list[0].length, 4u);
  EXPECT_EQ(list[1].address, 0x3000010u);
  EXPECT_EQ(list[1].kinds, 4u);
  EXPECT_EQ(list[1].length, 1u);
}

TEST_F(Switches, BreakpointSwitchWithoutKindsIsAParseError) {
  act({"ab8000000"});
  EXPECT_EQ(gEmulator.breakpoints().list().count(), 0u);
  EXPECT_EQ(lastWarning(), "Parse Error:  breakpoints have the format [rwx] <address>.");
}

TEST_F(Switches, OthersDoNothing) {
  std::ofstream("debug.txt") << "kept\n";
  const SwitchResult r = act({"a", "az", "x8000000", "bx8000000", "gr"});
  EXPECT_TRUE(r.showStartDialog);
  EXPECT_FALSE(r.runAtOnce);
  EXPECT_EQ(gEmulator.breakpoints().list().count(), 0u);
  EXPECT_EQ(readText("debug.txt"), "kept\n");
}

TEST_F(Switches, RunAtOnceLoadAndEmptyTheGuestLog) {
  std::ofstream("debug.txt") << "old messages\n";
  const std::string rom = testsupport::guestImage("keypad");
  const SwitchResult r = act({"ac", ("aR" + rom).c_str(), "aG"});
  EXPECT_FALSE(r.showStartDialog);
  EXPECT_TRUE(r.runAtOnce);
  EXPECT_EQ(readText("debug.txt"), "");
  EXPECT_EQ(bytes(gRomName), rom);
  // The cartridge's first word is in the ROM area.
  u32 first = 0;
  std::ifstream(rom, std::ios::binary).read(reinterpret_cast<char*>(&first), 4);
  EXPECT_EQ(gEmulator.memory().peek32(0x08000000), first);
}

TEST_F(Switches, LoadingAloneSkipsTheStartDialog) {
  const SwitchResult r = act({("ar" + testsupport::guestImage("keypad")).c_str()});
  EXPECT_FALSE(r.showStartDialog);
  EXPECT_FALSE(r.runAtOnce);
}

TEST_F(Switches, RunningAtOnceWithoutACartridgeSaysSo) {
  clearWarnings();
  act({"ag"});
  EXPECT_EQ(lastWarning(), "No cartridge loaded");
  EXPECT_EQ(gCodeWindow->currentTab(), u32(CodeWindow::kWarnings));
  clearWarnings();
  act({"arno-such-file.gba", "ag"});
  EXPECT_EQ(lastWarning(), "No cartridge loaded");
  clearWarnings();
  act({("ar" + testsupport::guestImage("keypad")).c_str(), "ag"});
  EXPECT_EQ(lastWarning(), "");
  act({});
  EXPECT_EQ(lastWarning(), "");  // the start dialog comes instead
}

TEST_F(Switches, AMissingCartridgeIsWarnedAbout) {
  const std::string before = bytes(gRomName);
  act({"arno-such-file.gba"});
  EXPECT_NE(lastWarning().find("no-such-file.gba"), std::string::npos) << lastWarning();
  EXPECT_EQ(bytes(gRomName), before);
}

class Keys : public Screen {};

TEST_F(Keys, F5RunsForwardOrWithShiftBackward) {
  gRepeatKey = kF6;
  debuggerKey(kF5);
  EXPECT_EQ(gRunning, 1u);
  EXPECT_EQ(gRunDirection, 0u);
  EXPECT_EQ(gStopMask, 0xFF864u);
  EXPECT_EQ(gDisplayMode, 1u);
  EXPECT_EQ(gRepeatKey, 0u);
  setDisplayMode(0);
  debuggerKey(kF5 | kKeyShift);
  EXPECT_EQ(gRunDirection, 1u);
}

struct StepCase {
  u32 key;
  u32 mask;
  u32 direction;
  bool runToPc;
};

TEST_F(Keys, StepKeysSetTheStopMaskDirectionAndRunToAddress) {
  const StepCase cases[] = {
      {kF6, 0xFF866, 0, false}, {kF6 | kKeyShift, 0xFF866, 1, false},
      {kF8, 0xFF866, 0, true},  {kF8 | kKeyShift, 0xFF866, 1, true},
      {kF9, 0xFF865, 0, false}, {kF9 | kKeyShift, 0xFF865, 1, false},
      {kF7, 0xFF866, 0, true},  // not a call: as F8
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(c.key);
    gRunning = 0;
    gRunToAddress = 0x1234;
    debuggerKey(c.key);
    EXPECT_EQ(gRunning, 1u);
    EXPECT_EQ(gStopMask, c.mask);
    EXPECT_EQ(gRunDirection, c.direction);
    EXPECT_EQ(gRunToAddress, c.runToPc ? gEmulator.cpu().pc() : 0x1234u);
    EXPECT_EQ(gDisplayMode, 0u);
    EXPECT_EQ(gRepeatKey, 0u);
  }
}

TEST_F(Keys, CtrlStepRepeatsUntilAPlainStepKeyOrF5) {
  debuggerKey(kF9 | kKeyCtrl | kKeyShift);
  EXPECT_EQ(gRepeatKey, kF9);
  EXPECT_EQ(gRepeatDirection, 1u);
  gRunning = 0;
  debuggerKey(0);  // no key: the repeated step starts again
  EXPECT_EQ(gRunning, 1u);
  EXPECT_EQ(gStopMask, 0xFF865u);
  gRunning = 0;
  debuggerKey(kF6);  // only ends the repetition
  EXPECT_EQ(gRepeatKey, 0u);
  EXPECT_EQ(gRunning, 0u);
  debuggerKey(kF6 | kKeyCtrl);
  gRunning = 0;
  debuggerKey(kF5);
  EXPECT_EQ(gRepeatKey, 0u);
}

TEST_F(Keys, LettersAndLayers) {
  const u32 layers = gLayerMask;
  debuggerKey('0');
  debuggerKey('3' | kKeyCtrl);
  debuggerKey('S');
  EXPECT_EQ(gLayerMask ^ layers, 0x100u | 0x800u | 0x1000u);
  gLayerMask = layers;
  const i32 grid = gGridOption.value();
  gGridOption.value() = 2;
  debuggerKey('X');
  EXPECT_EQ(gGridOption.value(), 0);
  gGridOption.value() = grid;
  // 'E' without Shift opens nothing; Shift+E and Ctrl+D open prompts.
  debuggerKey('E');
  EXPECT_EQ(gDisplayMode, 0u);
  debuggerKey('D' | kKeyCtrl);
  EXPECT_EQ(gDisplayMode, 2u);
  EXPECT_EQ(gPromptCallback, &disassembleToFile);
  Dialog::handleKey(27);
  debuggerKey('D' | kKeyShift);
  EXPECT_EQ(gPromptCallback, &dumpToFile);
  Dialog::handleKey(27);
  debuggerKey('E' | kKeyShift);
  EXPECT_EQ(gPromptCallback, &editMemoryCommand);
  Dialog::handleKey(27);
  debuggerKey('G' | kKeyShift);
  EXPECT_EQ(gPromptCallback, &gotoDataWindowCommand);
  Dialog::handleKey(27);
  debuggerKey('B');
  EXPECT_EQ(gPromptCallback, &breakpointCommand);
  Dialog::handleKey(27);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Keys, ScreenshotKeyWritesScreenBmp) {
  debuggerKey('P');
  EXPECT_TRUE(std::ifstream("screen.bmp").good());
}

TEST_F(Keys, F4ResetsAndTellsSo) {
  gCycleCount = 100;
  debuggerKey(0x73);
  EXPECT_EQ(gCycleCount, 0u);
  EXPECT_EQ(gDisplayMode, 2u);
  EXPECT_EQ(gIsMessageBox, 1u);
  Dialog::handleKey(13);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Keys, RunModeF5StopsPausesAndResumes) {
  debuggerKey(kF5);
  ASSERT_EQ(gDisplayMode, 1u);
  runModeKey(kF5 | kKeyCtrl);  // pause, staying in run mode
  EXPECT_EQ(gRunning, 0u);
  EXPECT_EQ(gDisplayMode, 1u);
  runModeKey(kF5);  // resume
  EXPECT_EQ(gRunning, 1u);
  runModeKey(kF5 | kKeyShift);
  EXPECT_EQ(gRunDirection, 1u);
  EXPECT_EQ(gDisplayMode, 1u);
  runModeKey(kF5);  // stop
  EXPECT_EQ(gRunning, 0u);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Keys, KeypadMapsTheHostKeysToKeyinputBits) {
  // A, B, Select, Start, Right, Left, Up, Down, R, L.
  const u32 hostKeys[10] = {
      platform::VK_MENU, platform::VK_CONTROL, 0x20, 0x0D, 0x27, 0x25, 0x26, 0x28, 0x44, 0x41};
  // Nothing held: every button released.
  EXPECT_EQ(keypadState(), 0x3FF);
  for (u32 bit = 0; bit < 10; ++bit) {
    SCOPED_TRACE(bit);
    platform::setKeyState(hostKeys[bit], true);
    EXPECT_EQ(keypadState(), 0x3FF & ~(1u << bit));
    platform::setKeyState(hostKeys[bit], false);
  }
  setDisplayMode(1);
  runModeKeys();
  EXPECT_EQ(gEmulator.memory().peek16(0x4000130), 0x3FF);
}

TEST_F(Keys, RunModeLayerGridAndScreenshotKeys) {
  setDisplayMode(1);
  const u32 layers = gLayerMask;
  runModeKey('2');
  runModeKey('S' | kKeyShift);
  EXPECT_EQ(gLayerMask ^ layers, 0x400u | 0x1000u);
  gLayerMask = layers;
  const i32 grid = gGridOption.value();
  gGridOption.value() = 1;
  runModeKey('X');
  EXPECT_EQ(gGridOption.value(), 2);
  runModeKey('X');
  EXPECT_EQ(gGridOption.value(), 0);
  gGridOption.value() = grid;
  runModeKey('P');
  EXPECT_TRUE(std::ifstream("screen.bmp").good());
  // Debugger commands mean nothing here.
  runModeKey('B');
  runModeKey(kF9);
  EXPECT_EQ(gDisplayMode, 1u);
  EXPECT_EQ(gRunning, 0u);
}

TEST_F(Keys, DialogKeysFoldLettersAndTypeNumpadDigits) {
  promptForInput(text("Title"), nullptr);
  writeKey('A');
  dialogKeys();
  writeKey(0x61);  // numpad 1
  dialogKeys();
  writeKey('7');
  dialogKeys();
  EXPECT_EQ(bytes(gPromptLine),
            "\x03"
            "a17");
  Dialog::handleKey(27);
}

class Stepping : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    loadCartridge("keypad");
  }
  // Runs forward until the loop is reached (the picture is drawn by then).
  void reachLoop() {
    gEmulator.breakpoints().setBits(kLoop, 1, 1, kBreakExecute, true);
    debuggerKey(kF5);
    runUntilStopped();
    ASSERT_EQ(gEmulator.cpu().pc(), kLoop);
    gEmulator.breakpoints().remove(0);
  }
};

TEST_F(Stepping, F9RunsOneInstructionAndShiftF9UndoesIt) {
  reachLoop();
  const u32 r3 = gEmulator.cpu().reg(3);
  debuggerKey(kF9);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().pc(), kLoop + 4);
  EXPECT_EQ(gEmulator.cpu().reg(3), 0x3FFu);  // the LDRH of KEYINPUT ran
  debuggerKey(kF9 | kKeyShift);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().pc(), kLoop);
  EXPECT_EQ(gEmulator.cpu().reg(3), r3);
  EXPECT_EQ(gRunning, 0u);
  EXPECT_EQ(gDisplayMode, 0u);
}

TEST_F(Stepping, AnExecuteBreakpointStopsARunAndTheNextRunPassesIt) {
  gPromptLine = text("x 8000054");
  breakpointCommand();
  debuggerKey(kF5);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().pc(), kCount);
  EXPECT_EQ(gDisplayMode, 0u);
  EXPECT_EQ(gDataWindow->currentTab(), u32(DataWindow::kBreakpoints));
  const u32 r2 = gEmulator.cpu().reg(2);
  // The new run does not stop on its own breakpoint at once: it goes round
  // the loop once more.
  debuggerKey(kF5);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().pc(), kCount);
  EXPECT_EQ(gEmulator.cpu().reg(2), r2 + 1);
}

TEST_F(Stepping, F8RunsToTheAddressAndF6RunsUntilItAgain) {
  reachLoop();
  debuggerKey(kF8);
  runUntilStopped();
  EXPECT_EQ(gRunToAddress, kLoop);
  EXPECT_EQ(gEmulator.cpu().pc(), kLoop + 4);
  debuggerKey(kF6);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().pc(), kLoop + 4);
}

TEST_F(Stepping, EditedCodeRunsAsEdited) {
  reachLoop();
  gEmulator.breakpoints().setBits(kCount, 1, 1, kBreakExecute, true);
  debuggerKey(kF5);  // the loop is translated on the way
  runUntilStopped();
  ASSERT_EQ(gEmulator.cpu().pc(), kCount);
  const u32 first = gEmulator.cpu().reg(2);
  // ADD r2, r2, #1 becomes ADD r2, r2, #2.
  run(&editMemoryCommand, "8000050 e2822002");
  EXPECT_EQ(gEmulator.memory().peek32(0x8000050), 0xE2822002u);
  debuggerKey(kF5);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().reg(2), first + 2);
}

TEST_F(Stepping, StepOverClearsItsOwnTrapsButKeepsTheUsersBreakpoints) {
  reachLoop();
  gEmulator.breakpoints().setBits(kLoop + 4, 1, 1, kBreakExecute, true);
  // Arm a step over by hand at the loop (F7 only arms on a call).
  StepOver& so = gEmulator.stepOver();
  so.callSite = kLoop;
  so.returnAddress = kLoop + 4;
  so.depth = 0;
  gEmulator.breakpoints().setBits(kLoop + 4, 1, 1, kBreakExecute, false);
  gEmulator.breakpoints().setBits(kLoop, 1, 1, kBreakExecute, false);
  debuggerKey(kF9);
  runUntilStopped();
  EXPECT_EQ(so.returnAddress, 0xFFFFFFFFu);
  EXPECT_TRUE(gEmulator.breakpoints().isExecute(kLoop + 4));
  EXPECT_FALSE(gEmulator.breakpoints().isExecute(kLoop));
  // The user's breakpoint still stops a run.
  debuggerKey(kF5);
  runUntilStopped();
  EXPECT_EQ(gEmulator.cpu().pc(), kLoop + 4);
}

TEST_F(Stepping, DisplayModeSwitchIsIdempotent) {
  setDisplayMode(0);
  gCodeWindow->clearDirtyOnCurrentPage();
  const u32 mask = gCodeWindow->dirtyMask;
  setDisplayMode(0);
  EXPECT_EQ(gCodeWindow->dirtyMask, mask);
  setDisplayMode(1);
  EXPECT_EQ(gEmulator.video().presentMode, 2u);
  setDisplayMode(0);
  EXPECT_EQ(gEmulator.video().presentMode, 0u);
}

}  // namespace

namespace {

class MainLoop : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    loadCartridge("keypad");
  }
  void TearDown() override {
    platform::releaseAllKeys();
    Screen::TearDown();
  }
};

TEST_F(MainLoop, HeldF5StopsARunInTheDebuggerViewAndIsNotReadAgain) {
  debuggerKey(0x75);  // F6: runs in the debugger view until address 0
  mainLoopPass();
  ASSERT_EQ(gRunning, 1u);
  // Keys typed meanwhile wait; a held F5 (its press in the ring too) stops.
  writeKey('S');
  writeKey(0x74);
  platform::setKeyState(0x74, true);
  mainLoopPass();
  EXPECT_EQ(gRunning, 0u);
  EXPECT_EQ(gDisplayMode, 0u);
  platform::setKeyState(0x74, false);
  const u32 layers = gLayerMask;
  mainLoopPass();  // reads 'S'; the F5 press is gone, so no new run
  EXPECT_EQ(gLayerMask, layers ^ 0x1000u);
  mainLoopPass();
  EXPECT_EQ(gRunning, 0u);
  EXPECT_FALSE(keyAvailable());
  gLayerMask = layers;
}

TEST_F(MainLoop, WaitsForInputOnlyWhenNothingGoesOnByItself) {
  auto settle = [] {
    for (int i = 0; i < 3; ++i) mainLoopPass();
  };
  settle();
  const u32 idle = idleMilliseconds();
  EXPECT_GT(idle, 0u);
  // A key waits in the ring, and its effect is drawn into both pages in
  // the two passes after the one that reads it.
  windowProc(nullptr, platform::WM_KEYDOWN, 'S', 1);
  EXPECT_EQ(idleMilliseconds(), 0u);
  mainLoopPass();
  EXPECT_EQ(idleMilliseconds(), 0u);
  mainLoopPass();
  EXPECT_EQ(idleMilliseconds(), 0u);
  mainLoopPass();
  EXPECT_EQ(idleMilliseconds(), idle);
  windowProc(nullptr, platform::WM_KEYDOWN, 'S', 1);
  settle();
  // A step that repeats, and a run in the debugger view, go on by themselves.
  gRepeatKey = 0x75;
  EXPECT_EQ(idleMilliseconds(), 0u);
  gRepeatKey = 0;
  debuggerKey(0x75);
  EXPECT_EQ(idleMilliseconds(), 0u);
  gRunning = 0;
  // Run mode waits only while paused.
  setDisplayMode(1);
  gRunning = 1;
  EXPECT_EQ(idleMilliseconds(), 0u);
  gRunning = 0;
  EXPECT_EQ(idleMilliseconds(), idle);
  setDisplayMode(0);
  // A prompt wakes for its cursor's next phase, a quarter second apart.
  setDialogClock([] { return 10.1f; });
  press('B');
  ASSERT_EQ(gDisplayMode, 2u);
  const u32 toBlink = idleMilliseconds();
  EXPECT_GE(toBlink, 140u);
  EXPECT_LE(toBlink, 160u);
  press(platform::VK_ESCAPE);
  // The reset box has no cursor.
  press(0x73);
  ASSERT_EQ(gDisplayMode, 2u);
  EXPECT_EQ(idleMilliseconds(), idle);
  press(platform::VK_RETURN);
}

// The video unit's 240 x 160 picture and its colours for this display.
void setUpPicture() {
  Video& video = gEmulator.video();
  video.reset();
  Video::fillColourTable(video.debuggerColours, [](float r, float g, float b) { return gView.rgb(r, g, b); });
}

// A pixel of the App pane's picture.
u16 appPixel(u32 x, u32 y) {
  PlainBitmap& picture = gAppWindow->screen.picture;
  picture.lock(1);
  const u16 p = picture.pixel(x, y);
  picture.unlock();
  return p;
}

TEST_F(MainLoop, AResetShowsTheNewMachineAtOnce) {
  setUpPicture();
  // Somewhere else in the code, with a coloured picture, the Registers tab up.
  for (int i = 0; i < 5; ++i) press(0x78);  // F9
  for (int i = 0; i < 30; ++i) press(platform::VK_DOWN, 0, 1);
  gEmulator.memory().poke16(0x04000000, 0);       // no layers:
  gEmulator.memory().poke16(0x05000000, 0x7C00);  // a blue backdrop
  gEmulator.video().redrawPicture();
  ASSERT_NE(appPixel(10, 10), 0u);
  click(470, gAppWindow->y + 4);
  ASSERT_EQ(gAppWindow->currentTab(), u32(AppWindow::kRegisters));
  const u32 away = gCodeWindow->disassembly.cursor;
  ASSERT_NE(away, 0x08000000u);
  press(0x73);  // F4
  press(platform::VK_RETURN);
  EXPECT_EQ(gEmulator.cpu().pc(), 0x08000000u);
  EXPECT_EQ(gCodeWindow->disassembly.cursor, 0x08000000u);
  EXPECT_NE(bytes(gAppWindow->registers.lines[7]).find("08000000"), std::string::npos);
  // The picture is the cleared machine's, in the pane and in the screenshot.
  EXPECT_EQ(appPixel(10, 10), 0u);
  press('P');
  PlainBitmap shot;
  ASSERT_TRUE(shot.loadBitmapFile("screen.bmp"));
  shot.lock(1);
  EXPECT_EQ(shot.pixel(10, 10), 0u);
  shot.unlock();
}

TEST_F(MainLoop, LayerAndGridKeysShowAtOnceWhileStopped) {
  const u32 layers = gLayerMask;
  const i32 grid = gGridOption.value();
  gGridOption.value() = 0;
  setUpPicture();
  // Mode 3 with background 2 on, its first pixel red.
  gEmulator.memory().poke16(0x04000000, 0x0403);
  gEmulator.memory().poke16(0x06000000, 0x001F);
  gEmulator.video().redrawPicture();
  const u16 red = appPixel(0, 0);
  ASSERT_NE(red, 0u);
  press('2');
  EXPECT_EQ(appPixel(0, 0), 0u);
  press('2');
  EXPECT_EQ(appPixel(0, 0), red);
  const u16 plain = appPixel(5, 0);
  press('X');  // a grid line along the top
  EXPECT_NE(appPixel(5, 0), plain);
  gGridOption.value() = grid;
  gLayerMask = layers;
}

TEST_F(MainLoop, RunModeWritesTheHeldKeypadKeysEveryPass) {
  setDisplayMode(1);
  gRunning = 0;                       // paused: the keypad is still written
  platform::setKeyState(0x0D, true);  // Start
  platform::setKeyState(0x41, true);  // L
  mainLoopPass();
  EXPECT_EQ(gEmulator.memory().peek16(0x4000130), 0x3FF & ~(1u << 3) & ~(1u << 9));
  platform::releaseAllKeys();
  mainLoopPass();
  EXPECT_EQ(gEmulator.memory().peek16(0x4000130), 0x3FF);
}

TEST_F(MainLoop, RunModeOnItsOwnScreenKeepsClicksFromTheHiddenPanes) {
  gRunAppModeSwitch.value() = 1;
  setDisplayMode(1);
  EXPECT_EQ(gView.width(), 320u);
  EXPECT_EQ(gEmulator.video().presentMode, 1u);
  EXPECT_FALSE(isMouseDispatchOn());
  setDisplayMode(0);
  EXPECT_EQ(gView.width(), 640u);
  EXPECT_TRUE(isMouseDispatchOn());
  gRunAppModeSwitch.value() = 0;
}

TEST_F(MainLoop, AltEnterSwitchesAtOnceOrLeavesTheOptionAlone) {
  const i32 windowed = gRunAppWindowed.value();
  gAltEnterHandler = &toggleWindowed;
  auto altEnter = [] {
    platform::setKeyState(platform::VK_MENU, true);
    windowProc(nullptr, platform::WM_SYSKEYDOWN, platform::VK_RETURN, 1);
    platform::setKeyState(platform::VK_MENU, false);
  };
  // The debugger's view, and a box over it: the display switches at once.
  gRunAppWindowed.value() = 0;
  altEnter();
  EXPECT_EQ(gRunAppWindowed.value(), 1);
  EXPECT_FALSE(display->fullScreen());
  press('B');
  ASSERT_EQ(gDisplayMode, 2u);
  altEnter();
  EXPECT_EQ(gRunAppWindowed.value(), 0);
  EXPECT_TRUE(display->fullScreen());
  press(platform::VK_ESCAPE);
  // Run mode on its own full screen: nothing changes, the option neither.
  gRunAppModeSwitch.value() = 1;
  setDisplayMode(1);
  altEnter();
  EXPECT_EQ(gRunAppWindowed.value(), 0);
  EXPECT_EQ(gView.width(), 320u);
  setDisplayMode(0);
  EXPECT_TRUE(display->fullScreen());
  gRunAppModeSwitch.value() = 0;
  // Run mode on the debugger's display switches it like the debugger's view.
  setDisplayMode(1);
  altEnter();
  EXPECT_EQ(gRunAppWindowed.value(), 1);
  EXPECT_FALSE(display->fullScreen());
  setDisplayMode(0);
  gAltEnterHandler = nullptr;
  gRunAppWindowed.value() = windowed;
}

}  // namespace

namespace {

class StepOverKey : public Screen {
 protected:
  void code(u32 address, std::initializer_list<u32> words) {
    for (u32 w : words) {
      pokeWord(address, w);
      address += 4;
    }
  }
  void step(u32 key) {
    debuggerKey(key);
    for (int i = 0; i < 100000 && gRunning; ++i) emulateStep();
  }
};

TEST_F(StepOverKey, F7OverAnArmCallStopsOnReturnAndLeavesNoTraps) {
  // BL 08000010; B .; ...; at 08000010: MOV PC, LR.
  code(0x08000000, {0xEB000002, 0xEAFFFFFE, 0, 0, 0xE1A0F00E});
  gEmulator.reset();
  debuggerKey(kF7);
  EXPECT_EQ(gDisplayMode, 1u);
  EXPECT_EQ(gStopMask, 0xFF864u);
  EXPECT_EQ(gEmulator.stepOver().returnAddress, 0x08000004u);
  EXPECT_TRUE(gEmulator.breakpoints().isExecute(0x08000004));
  for (int i = 0; i < 100000 && gRunning; ++i) emulateStep();
  EXPECT_EQ(gEmulator.cpu().pc(), 0x08000004u);
  EXPECT_EQ(gDisplayMode, 0u);
  EXPECT_FALSE(gEmulator.breakpoints().isExecute(0x08000004));
  EXPECT_FALSE(gEmulator.breakpoints().isExecute(0x08000000));
}

TEST_F(StepOverKey, F7OverAThumbBxTakesPcPlus4AsTheReturn) {
  // ADD r0, pc, #9; ADD r1, pc, #9; BX r0; then Thumb at 08000010: BX r1,
  // NOP, and at 08000014: B .
  code(0x08000000, {0xE28F0009, 0xE28F1009, 0xE12FFF10, 0, 0x46C04708, 0xE7FE});
  gEmulator.reset();
  for (int i = 0; i < 3; ++i) step(kF9);
  ASSERT_EQ(gEmulator.cpu().pc(), 0x08000010u);
  ASSERT_TRUE(gEmulator.cpu().isThumb());
  step(kF7);
  EXPECT_EQ(gEmulator.cpu().pc(), 0x08000014u);
  EXPECT_EQ(gEmulator.stepOver().returnAddress, 0xFFFFFFFFu);
}

}  // namespace

namespace {

TEST(SetUp, NoDisplayModeEndsTheSetUpAtOnce) {
  testsupport::ScopedTempDir dir;
  gView.useBackend(std::make_unique<platform::MemoryDisplay>(platform::PixelMasks{0, 0, 0}));
  const u32 font = gFontNumber;
  testing::internal::CaptureStderr();
  initApplication();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(setupFailed());
  EXPECT_NE(err.find("Unable to set a suitable video mode."), std::string::npos) << err;
  EXPECT_EQ(gFontNumber, font);  // nothing after the failure ran
  EXPECT_EQ(gDebuggerScreenWidth, 640u);
  gView.useBackend(nullptr);
}

TEST(SetUp, BuildsTheConditionTableAndTheColours) {
  testsupport::ScopedTempDir dir;
  for (const char* f : {"eng.bmp", "mouse.bmp"})
    std::filesystem::copy_file(std::string(VANDREL_ASSET_DIR) + "/" + f, f);
  gView.useBackend(std::make_unique<platform::MemoryDisplay>(platform::kMasks565));
  initApplication();
  EXPECT_FALSE(setupFailed());
  EXPECT_EQ(gView.width(), 640u);
  EXPECT_EQ(fontHeight(gFontNumber), 12u);
  EXPECT_EQ(gWidgetFont, gFontNumber);
  EXPECT_EQ(gMouseCursor.width(), 12u);
  EXPECT_EQ(gMouseCursor.blitOptions().mode, 1u);
  EXPECT_EQ(gColourRed, gView.rgb(1, 0, 0));
  EXPECT_EQ(gColourGrey, gView.rgb(0.75f, 0.75f, 0.75f));
  EXPECT_EQ(gConditionTable[0x4 * 16], 255);
  // The emulator's copy by condition and CPSR top byte, whose low bits do
  // not count.
  EXPECT_EQ(gEmulator.arena().conditionTable[1][0x40], 0);
  EXPECT_EQ(gEmulator.arena().conditionTable[0][0x4F], 255);
  gMouseCursor.clear();
  gView.useBackend(nullptr);
}

}  // namespace
