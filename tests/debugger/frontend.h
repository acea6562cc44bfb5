#pragma once
// Fixture for the front-end tests: a memory display behind gView, the
// program's font, the application colours, the three debugger windows, and
// the emulator reset with no breakpoints, in debugger mode.

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/keys.h"
#include "debugger/prompt.h"
#include "debugger/windows.h"
#include "general/keyboard.h"
#include "general/main.h"
#include "general/mouse.h"
#include "general/tabframe.h"
#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"
#include "platform/display.h"
#include "platform/keys.h"
#include "platform/messages.h"
#include "support/tempdir.h"

namespace frontend {

inline FixedIString text(const char* s) {
  FixedIString t;
  t.assignText(s);
  return t;
}

// What a typed prompt line holds: the colour code, then the text.
inline FixedIString typed(const char* s) {
  FixedIString t;
  t.appendChar16(3);
  t.appendText(s);
  return t;
}

inline std::string bytes(const FixedIString& t) {
  std::string s;
  for (u32 i = 0; i < t.length(); ++i) s.push_back(char(t[i] & 0xFF));
  return s;
}

inline std::string readText(const char* name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Screen : public ::testing::Test {
 protected:
  void SetUp() override {
    auto backend = std::make_unique<platform::MemoryDisplay>(platform::kMasks565);
    display = backend.get();
    gView.useBackend(std::move(backend));
    gView.setScreenMode(640, 480, 2, false);
    gDebuggerScreenWidth = 640;
    gDebuggerScreenHeight = 480;
    gDebuggerScreenDepth = 2;
    if (gFontNumber == 0 || gFontNumber > gFontTable.size() || fontHeight(gFontNumber) != 12)
      gFontNumber = loadFont((std::string(VANDREL_ASSET_DIR) + "/eng.bmp").c_str(), 8, 12, 256);
    gWidgetFont = gFontNumber;
    gColourGrey = gView.rgb(0.75f, 0.75f, 0.75f);
    gColourYellow = gView.rgb(1, 1, 0);
    gColourBlue = gView.rgb(0, 0, 1);
    gColourBlack = gView.rgb(0, 0, 0);
    gColourRed = gView.rgb(1, 0, 0);
    // Run mode stays on the debugger's display, so the screen keeps its size.
    gRunAppModeSwitch.value() = 0;
    trackedAlloc(gCodeWindow, 1, __FILE__, __LINE__);
    addTabFrame(gCodeWindow);
    trackedAlloc(gDataWindow, 1, __FILE__, __LINE__);
    addTabFrame(gDataWindow);
    trackedAlloc(gAppWindow, 1, __FILE__, __LINE__);
    addTabFrame(gAppWindow);
    installFrontEnd();
    BreakpointTable& table = gEmulator.breakpoints();
    while (table.list().count() != 0) table.remove(0);
    gEmulator.reset();
    gDisplayMode = 255;
    setDisplayMode(0);
    gRunning = 0;
    gRunStatus = 0;
    gRepeatKey = 0;
    gRepeatDirection = 0;
    gRunToAddress = 0;
    gStopMask = kStopRunning;
    setRunDirection(0);
    while (keyAvailable()) readKey();
  }

  void TearDown() override {
    setDialogClock(nullptr);
    trackedFree(gCodeWindow);
    trackedFree(gDataWindow);
    trackedFree(gAppWindow);
    gView.useBackend(nullptr);
  }

  // The newest warning without its colour code, "" for none.
  std::string lastWarning() const {
    const WarningsPane& pane = gCodeWindow->warnings;
    if (pane.source.count() == 0) return "";
    std::string s;
    const IString& line = pane.sourceLine(pane.source.count() - 1);
    for (u32 i = 0; i < line.length(); ++i) s.push_back(char(line[i] & 0xFF));
    return s.empty() ? s : s.substr(1);
  }
  static void clearWarnings() { gCodeWindow->warnings.source.clear(); }

  // Runs the command with the line as if typed at its prompt.
  static void run(void (*command)(), const char* line) {
    gPromptLine = typed(line);
    command();
  }

  // Slices until the run stops (at most n).
  static void runUntilStopped(int n = 100000) {
    for (int i = 0; i < n && gRunning; ++i) emulateStep();
  }

  // The user's road: a key press or a click reaches the window procedure as
  // its message, and the main loop then takes it in the passes that follow.
  // The modifiers are held while the key is read.
  static void press(u32 virtualKey, u32 modifiers = 0, int passes = 3) {
    holdModifiers(modifiers, true);
    windowProc(nullptr, platform::WM_KEYDOWN, virtualKey, 1);
    for (int i = 0; i < passes; ++i) mainLoopPass();
    holdModifiers(modifiers, false);
  }
  // Each character as its key: letters and digits as themselves, a blank as
  // the space bar.
  static void type(const char* keys) {
    for (const char* c = keys; *c; ++c) press(u32(std::toupper(static_cast<unsigned char>(*c))), 0, 1);
  }
  static void click(u32 x, u32 y, bool right = false, int passes = 3) {
    const intptr_t at = intptr_t((x & 0xFFFF) | ((y & 0xFFFF) << 16));
    windowProc(nullptr, platform::WM_MOUSEMOVE, 0, at);
    windowProc(nullptr, right ? platform::WM_RBUTTONDOWN : platform::WM_LBUTTONDOWN, 0, at);
    for (int i = 0; i < passes; ++i) mainLoopPass();
  }
  static void holdModifiers(u32 modifiers, bool down) {
    if (modifiers & kKeyShift) platform::setKeyState(platform::VK_SHIFT, down);
    if (modifiers & kKeyCtrl) platform::setKeyState(platform::VK_CONTROL, down);
    if (modifiers & kKeyAlt) platform::setKeyState(platform::VK_MENU, down);
  }

  void loadCartridge(const char* name) {
    ASSERT_TRUE(gEmulator.loadRom(testsupport::guestImage(name)));
    gEmulator.reset();
  }

  testsupport::ScopedTempDir dir;
  platform::MemoryDisplay* display = nullptr;
};

}  // namespace frontend
