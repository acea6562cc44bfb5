#pragma once
// Fixture for the front-end tests: a memory display behind gView, the
// program's font, the application colours, the three debugger windows, and
// the emulator reset with no breakpoints, in debugger mode.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/keys.h"
#include "debugger/prompt.h"
#include "debugger/windows.h"
#include "general/keyboard.h"
#include "general/mouse.h"
#include "general/tabframe.h"
#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"
#include "platform/display.h"
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

  void loadCartridge(const char* name) {
    ASSERT_TRUE(gEmulator.loadRom(testsupport::guestImage(name)));
    gEmulator.reset();
  }

  testsupport::ScopedTempDir dir;
  platform::MemoryDisplay* display = nullptr;
};

}  // namespace frontend
