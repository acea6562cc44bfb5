// The application: set-up and shut-down around the program's tasks, and the
// emulator's main task with its three display modes.

#include "debugger/application.h"

#include <cstdio>
#include <string>

#include "core/emulator.h"
#include "core/frontend.h"
#include "core/soundbuf.h"
#include "debugger/app.h"
#include "debugger/commands.h"
#include "debugger/keys.h"
#include "debugger/prompt.h"
#include "debugger/status.h"
#include "debugger/windows.h"
#include "general/config.h"
#include "general/keyboard.h"
#include "general/language.h"
#include "general/main.h"
#include "general/mouse.h"
#include "general/tabframe.h"
#include "general/task.h"
#include "general/text.h"
#include "general/view.h"
#include "general/widget.h"
#include "platform/variant.h"

constinit ConfigOption<u16> gVideoWidth("Video Width", 640);
constinit ConfigOption<u16> gVideoHeight("Video Height", 480);

u32 gDisplayMode = 255;
u32 gRunning = 0;
u32 gDebuggerScreenWidth = 640;
u32 gDebuggerScreenHeight = 480;
u32 gDebuggerScreenDepth = 2;
u32 gFontNumber = 0;
u8 gConditionTable[256];
CodeWindow* gCodeWindow = nullptr;
DataWindow* gDataWindow = nullptr;
AppWindow* gAppWindow = nullptr;
u32 gRunDirection = 0;

namespace {

// Set when the display could not be set up: the main task then draws
// nothing and waits for the window-closed road to end the program.
bool gSetupFailed = false;

// Passes of the main loop since one found a key waiting: a key is taken
// after the drawing of its pass, so its effect reaches the two display
// pages only in the two passes after it.
u32 gPassesSinceKey = 0;

// The longest the main task sleeps when nothing happens; a close request
// from outside (SIGTERM) is seen within this time.
constexpr u32 kIdleMilliseconds = 250;

bool fullScreen() { return gRunAppWindowed.value() == 0; }

bool setDebuggerMode() {
  return gView.setScreenMode(gDebuggerScreenWidth, gDebuggerScreenHeight, gDebuggerScreenDepth, fullScreen());
}

void blackPages() {
  gView.fill(0, nullptr);
  gView.present();
  gView.fill(0, nullptr);
}

bool stopped() { return (gRunStatus & kStopTest) != 0; }
// A run, a step or a repeated step that has not stopped yet.
bool runInProgress() { return gRunning == 1 && !stopped(); }

// The display is gone: the set-up ends and the main task only waits.
void failSetUp() {
  fatalErrorString(IString::fromEnglish("Unable to set a suitable video mode."));
  gSetupFailed = true;
}

// The presses of F5 waiting in the keyboard ring; other keys keep their order.
void dropQueuedF5() {
  uint8_t write = gKeyRing.readIndex;
  for (uint8_t i = gKeyRing.readIndex; i != gKeyRing.writeIndex; ++i)
    if ((gKeyRing.entries[i] & 0xFFF) != 0x74) gKeyRing.entries[write++] = gKeyRing.entries[i];
  gKeyRing.writeIndex = write;
}

}  // namespace

bool setupFailed() { return gSetupFailed; }

void fillConditionTable(u8 (&table)[256]) {
  for (u32 flags = 0; flags < 16; ++flags) {
    const bool n = flags & 8, z = flags & 4, c = flags & 2, v = flags & 1;
    for (u32 cond = 0; cond < 16; ++cond) {
      bool pass = false;
      switch (cond) {
        case 0:
          pass = z;
          break;
        case 1:
          pass = !z;
          break;
        case 2:
          pass = c;
          break;
        case 3:
          pass = !c;
          break;
        case 4:
          pass = n;
          break;
        case 5:
          pass = !n;
          break;
        case 6:
          pass = v;
          break;
        case 7:
          pass = !v;
          break;
        case 8:
          pass = c && !z;
          break;
        case 9:
          pass = !c || z;
          break;
        case 10:
          pass = n == v;
          break;
        case 11:
          pass = n != v;
          break;
        case 12:
          pass = !z && n == v;
          break;
        case 13:
          pass = z || n != v;
          break;
        case 14:
          pass = true;
          break;
        default:
          pass = false;
          break;
      }
      table[flags * 16 + cond] = pass ? 255 : 0;
    }
  }
}

void initApplication() {
  gSetupFailed = false;
  gDebuggerScreenWidth = gVideoWidth.value();
  gDebuggerScreenHeight = gVideoHeight.value();
  gDebuggerScreenDepth = 2;
  if (!setDebuggerMode()) {
    gDebuggerScreenWidth = 640;
    gDebuggerScreenHeight = 480;
    if (!setDebuggerMode()) return failSetUp();
  }
  Video& video = gEmulator.video();
  // The mode that worked a moment ago may fail now: the display is gone.
  if (!video.setUpColourTables(gDebuggerScreenWidth, gDebuggerScreenHeight, gDebuggerScreenDepth))
    return failSetUp();
  video.reset();
  if (!setDebuggerMode()) return failSetUp();
  FixedIString fontName;
  fontName.assignText(translate("eng.bmp"));
  gFontNumber = loadFont(fontName, 8, 12, 256);
  gWidgetFont = gFontNumber;
  gMouseCursor.loadBitmapFile("mouse.bmp");
  BlitOptions cursorOptions;
  cursorOptions.mode = 1;
  cursorOptions.key = 0;
  gMouseCursor.setBlitOptions(cursorOptions);
  gColourGrey = gView.rgb(0.75f, 0.75f, 0.75f);
  gColourYellow = gView.rgb(1, 1, 0);
  gColourBlue = gView.rgb(0, 0, 1);
  gColourBlack = gView.rgb(0, 0, 0);
  gColourRed = gView.rgb(1, 0, 0);
  fillConditionTable(gConditionTable);
  // Translated code reads the table from the emulator's state.
  spreadConditionTable(gConditionTable, gEmulator.arena().conditionTable);
  gEmulator.history().clear();
  gEmulator.commitJournal();
  gEmulator.setFramePresenter([](i32 x, i32 y) { presentScreenBitmap(x, y); });
  installFrontEnd();
}

void shutdownApplication() {
  gEmulator.shutdownVideo();
  installCoreFrontEnd(nullptr);
  // The emulator lives on to the end of the process: the breakpoints still
  // set go now, with the list's storage, so the allocation report finds
  // nothing left.
  BreakpointTable& breakpoints = gEmulator.breakpoints();
  while (breakpoints.list().count() != 0) breakpoints.remove(0);
  breakpoints.list().clear();
  trackedFree(gCodeWindow);
  trackedFree(gDataWindow);
  trackedFree(gAppWindow);
  // The pictures of the box and the cursor are static objects; their pixels
  // go now, so the allocation report finds nothing left.
  releaseDialogPictures();
  gMouseCursor.release();
}

void refreshWindow(TabFrame* frame) {
  if (!frame) return;
  frame->markDirty();
  if (PaneContainer* pane = frame->selectedPane()) pane->refresh();
}

void setDisplayMode(u32 mode) {
  if (mode == gDisplayMode) return;
  Video& video = gEmulator.video();
  const bool modeSwitch = gRunAppModeSwitch.value() != 0;
  if (mode == 0) {
    if (modeSwitch) {
      setDebuggerMode();
      blackPages();
    }
    video.setPresentMode(0);
    refreshWindow(gCodeWindow);
    refreshWindow(gDataWindow);
    refreshWindow(gAppWindow);
    // Everything is drawn again: the run may have painted over the windows.
    if (modeSwitch) markAllWidgetsDirty();
    setMouseDispatch(1);
  } else if (mode == 1) {
    if (modeSwitch) {
      gView.setScreenMode(320, 240, 2, true);
      blackPages();
      video.setPresentMode(1);
      // The debugger's panes are hidden: clicks must not reach them.
      setMouseDispatch(0);
    } else {
      video.setPresentMode(2);
    }
  }
  gDisplayMode = mode;
}

void toggleWindowed() {
  // Run mode on its own screen is full screen whatever the option says, so
  // Alt+Enter there would change the option unseen: it is left alone.  In
  // the debugger's mode, a box open or not, the switch shows at once.
  if (gDisplayMode == 1 && gRunAppModeSwitch.value() != 0) return;
  i32& windowed = gRunAppWindowed.value();
  windowed = windowed ? 0 : 1;
  setDebuggerMode();
  markAllWidgetsDirty();
}

void setRunDirection(u32 direction) {
  gRunDirection = direction;
  gEmulator.video().setDirection(direction);
}

void startRunning(u32 direction) {
  gRunning = 1;
  setRunDirection(direction);
  if (direction == 0) {
    const u32 pc = gEmulator.cpu().pc();
    gSkipBreakpointOnce =
        gEmulator.breakpoints().isExecute(pc) ? SkipBreakpointOnce{true, pc} : SkipBreakpointOnce{};
  }
  // The last stop's status must not end the new run before it has begun.
  gRunStatus = 0;
}

void stopRun() {
  StepOver& so = gEmulator.stepOver();
  if (so.returnAddress != 0xFFFFFFFF) {
    // Only the step over's own traps go: user breakpoints at these
    // addresses live in the persistent bits and stay.
    gEmulator.breakpoints().setBits(so.returnAddress, 1, 1, 0, false);
    gEmulator.breakpoints().setBits(so.callSite, 1, 1, 0, false);
    so.returnAddress = 0xFFFFFFFF;
    so.callSite = 0xFFFFFFFF;
    so.depth = 0;
  }
  setDisplayMode(0);
  if (gCodeWindow) gCodeWindow->showPc();
  if (gDataWindow) gDataWindow->refreshAll();
  if (gAppWindow) gAppWindow->refreshCurrent();
  gRunning = 0;
}

void showMachine() {
  if (gCodeWindow) gCodeWindow->showPc();
  if (gDataWindow) gDataWindow->refreshAll();
  if (gAppWindow) gAppWindow->refreshCurrent();
  gEmulator.video().redrawPicture();
}

bool loadCartridge(const std::string& path, std::string* problem) {
  const bool loaded = gEmulator.loadRom(path, problem);
  if (loaded) {
    // The status line names only a cartridge that is really in.
    gRomName.clear();
    for (char c : path)
      if (gRomName.length() < FixedIString::kCapacity) gRomName.appendChar(c);
  }
  showMachine();
  return loaded;
}

bool loadCartridge(const FixedIString& path, std::string* problem) {
  std::string narrow;
  for (u32 i = 0; i < path.length(); ++i) narrow.push_back(char(path[i] & 0xFF));
  return loadCartridge(narrow, problem);
}

void emulateStep() {
  if (!gRunning) return;
  if (gRunDirection == 1)
    gEmulator.stepBack();
  else
    gEmulator.runSlice();
  if (stopped()) stopRun();
}

SwitchResult actOnSwitches() {
  SwitchResult r;
  if (variant::kOlder) return r;
  bool loaded = false;
  for (u32 i = 0; i < gCommandSwitches.count(); ++i) {
    const FixedIString& s = gCommandSwitches[i];
    if (s.length() < 2 || (s[0] != 'a' && s[0] != 'A')) continue;
    switch (s[1]) {
      case 'b':
      case 'B': {
        gPromptLine.clear();
        u32 k = 2;
        for (; k < s.length(); ++k) {
          const u16 c = s[k];
          if (c != 'r' && c != 'R' && c != 'w' && c != 'W' && c != 'x' && c != 'X') break;
          gPromptLine.appendChar16(c);
        }
        gPromptLine.appendChar(' ');
        for (; k < s.length() && gPromptLine.length() < FixedIString::kCapacity; ++k)
          gPromptLine.appendChar16(s[k]);
        breakpointCommand();
        break;
      }
      case 'c':
      case 'C':
        if (FILE* f = std::fopen("debug.txt", "w")) std::fclose(f);
        break;
      case 'g':
      case 'G':
        r.runAtOnce = true;
        r.showStartDialog = false;
        break;
      case 'r':
      case 'R': {
        std::string name;
        for (u32 k = 2; k < s.length() && name.size() < 256; ++k) name.push_back(char(s[k] & 0xFF));
        std::string problem;
        if (loadCartridge(name, &problem)) {
          loaded = true;
        } else {
          FixedIString warning;
          warning.assignTextClipped(problem.c_str());
          postWarning(warning);
        }
        r.showStartDialog = false;
        break;
      }
      default:
        break;
    }
  }
  // A run at once of an empty cartridge area would show a black screen
  // without a word.
  if (r.runAtOnce && !loaded) postWarningText("No cartridge loaded");
  return r;
}

void startMainTask() {
  gView.fill(uint16_t(gColourBlack), nullptr);
  trackedAlloc(gCodeWindow, 1, __FILE__, __LINE__);
  addTabFrame(gCodeWindow);
  trackedAlloc(gDataWindow, 1, __FILE__, __LINE__);
  addTabFrame(gDataWindow);
  trackedAlloc(gAppWindow, 1, __FILE__, __LINE__);
  addTabFrame(gAppWindow);
  // "gba.rom" was tried before there was anywhere to say so.
  if (const std::string& problem = gEmulator.memory().biosProblem(); !problem.empty()) {
    FixedIString warning;
    warning.assignTextClipped(problem.c_str());
    postWarning(warning);
  }
  if (variant::kOlder) {
    loadCartridge("roms/iridion.gba");
    gRunAppModeSwitch.value() = 0;
    setDisplayMode(0);
    return;
  }
  const SwitchResult r = actOnSwitches();
  gEmulator.reset();
  if (r.runAtOnce) {
    gStopMask = kStopRunning;
    startRunning(0);
    setDisplayMode(1);
  } else {
    setDisplayMode(0);
    markAllWidgetsDirty();
    gView.present();
    markAllWidgetsDirty();
  }
  if (r.showStartDialog) {
    FixedIString title, none;
    title.assignText(kProductTitle);
    showMessageBox(title, none, 0);
  }
  gAltEnterHandler = &toggleWindowed;
  if (gSoundEnableOption.value() != 0) startSound();
}

void mainLoopPass() {
  if (keyAvailable())
    gPassesSinceKey = 0;
  else if (gPassesSinceKey < 2)
    ++gPassesSinceKey;
  switch (gDisplayMode) {
    case 0: {
      const bool inRun = runInProgress() && !variant::kOlder;
      if (inRun) {
        // A run in the debugger view: only a held F5 stops it.  The stop
        // then takes the F5 presses the ring holds, so they do not start a
        // new run, and refreshes the windows like any other stop.
        if (isModifierDown(0x74)) {
          dropQueuedF5();
          stopRun();
        }
      } else {
        updateMouse();
        drawAllTabFrames();
        drawStatusLine();
        debuggerKeys();
      }
      emulateStep();
      if (!runInProgress() || variant::kOlder) gView.present();
      break;
    }
    case 1:
      runModeKeys();
      emulateStep();
      break;
    case 2:
      updateMouse();
      dialogKeys();
      Dialog::draw();
      gView.present();
      break;
    default:
      break;
  }
}

void runEmulator(uint32_t) {
  suspendTask(gCollectorTask, true);
  if (setupFailed()) {
    for (;;) yieldTask();
  }
  startMainTask();
  for (;;) {
    mainLoopPass();
    yieldTask();
  }
}

intptr_t handleIpcMessage(uint32_t, intptr_t) { return 0; }

uint32_t idleMilliseconds() {
  if (gSetupFailed) return kIdleMilliseconds;
  // A run or a repeated step goes on by itself; a waiting key is read in the
  // next pass.
  if (gRunning || gRepeatKey != 0 || keyAvailable() || gPassesSinceKey < 2) return 0;
  switch (gDisplayMode) {
    case 0:  // the debugger waits for the user
    case 1:  // run mode, paused
      return kIdleMilliseconds;
    case 2: {
      // A prompt's cursor blinks: the pass that draws its next phase is due.
      const u32 ms = dialogIdleMilliseconds();
      return ms < kIdleMilliseconds ? ms : kIdleMilliseconds;
    }
    default:
      return 0;
  }
}
