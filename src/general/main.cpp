#include "general/main.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "general/base.h"
#include "general/cmdline.h"
#include "general/hooks.h"
#include "general/keyboard.h"
#include "general/mouse.h"
#include "general/ptr.h"
#include "general/sound.h"
#include "general/view.h"
#include "platform/display.h"
#include "platform/keys.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/variant.h"

platform::Window* gMainWindow = nullptr;
uint32_t gIpcMessage = 0;
char gProgramPath[kProgramPathSize];
Array<FixedIString> gCommandSwitches;
Array<FixedIString> gESwitchValues;
AltEnterHandler gAltEnterHandler = nullptr;
TaskHandle gEmulatorTask = 0;
TaskHandle gCollectorTask = 0;
TaskHandle gMessagePumpTask = 0;
Application gApplication{};

using namespace platform;

namespace {

uint32_t lowWord(uintptr_t v) { return static_cast<uint32_t>(v & 0xFFFF); }
uint32_t highWord(uintptr_t v) { return static_cast<uint32_t>((v >> 16) & 0xFFFF); }

void handleMouse(MouseEvent event, intptr_t lParam) {
  handleMouseEvent(event, static_cast<i32>(lowWord(lParam)), static_cast<i32>(highWord(lParam)), gScreenWidth,
                   gScreenHeight);
}

void storeKey(uintptr_t wParam, intptr_t lParam) {
  const uint32_t key = static_cast<uint32_t>(wParam);
  if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return;
  CHECK(key <= 255);  // stored all the same
  for (uint32_t n = lowWord(static_cast<uintptr_t>(lParam)); n > 0; --n) writeKey(key);
}

}  // namespace

intptr_t windowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // The older program knows no moves, sizes, paints or Alt+Enter, always
  // hides the cursor, and has no registered message (gIpcMessage stays 0).
  const bool older = variant::kOlder;
  switch (message) {
    case WM_DESTROY:
      releaseDisplayAll();
      postQuitMessage(0);
      gMainWindow = nullptr;  // nothing may use the window after this
      return 0;
    case WM_MOVE:
      if (!older && gWindowActive && gDisplayReady && !gFullScreen) displayWindowMoved();
      break;
    case WM_SIZE:
      if (!older) gWindowActive = wParam == SIZE_MINIMIZED || wParam == SIZE_MAXHIDE ? 0 : 1;
      break;
    case WM_ACTIVATE:
      // Only the minimised flag counts; an inactive window still shows.
      gWindowActive = highWord(wParam) == 0 ? 1 : 0;
      return 0;
    case WM_PAINT:
      if (!older && gDisplayReady && !gFullScreen) displayRepaint();
      break;
    case WM_SETCURSOR:
      if (older || (gWindowActive && gDisplayReady && gFullScreen)) {
        showCursor(false);
        return 1;
      }
      break;
    case WM_KEYDOWN:
      storeKey(wParam, lParam);
      break;
    case WM_SYSKEYDOWN:
      if (wParam == 'Q') {
        postMessage(window, WM_CLOSE, 0, 0);
        return 0;
      }
      if (!older && wParam == VK_RETURN) {
        if (gAltEnterHandler) gAltEnterHandler();
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      handleMouse(MouseEvent::kMove, lParam);
      break;
    case WM_LBUTTONDOWN:
      handleMouse(MouseEvent::kLeftDown, lParam);
      break;
    case WM_RBUTTONDOWN:
      handleMouse(MouseEvent::kRightDown, lParam);
      break;
    default:
      if (gIpcMessage != 0 && message == gIpcMessage && !(wParam & 0x80000000u)) {
        if (gApplication.handleIpcMessage &&
            gApplication.handleIpcMessage(static_cast<uint32_t>(wParam & 0x7FFF), lParam) != 0)
          return 1;
      }
      break;
  }
  return defWindowProc(window, message, wParam, lParam);
}

void messagePumpTask(uint32_t) {
  // Turns of the pump since the last message: what a message changed is
  // drawn into both display pages by the main task's next passes before
  // the pump may wait.
  uint32_t quietTurns = 0;
  for (;;) {
    Message m;
    bool took = false;
    while (peekMessage(&m)) {
      if (m.message == WM_QUIT) {
        killAllTasks();
        return;
      }
      // No character messages are used, so there is nothing to translate.
      dispatchMessage(m);
      took = true;
    }
    quietTurns = took ? 0 : quietTurns < 2 ? quietTurns + 1 : quietTurns;
    // With nothing to do the thread sleeps until input comes, instead of
    // turning the scheduler over at full speed.
    if (quietTurns >= 2 && gApplication.idleMilliseconds)
      if (const uint32_t ms = gApplication.idleMilliseconds(); ms > 0) waitForMessage(ms);
    yieldTask();
  }
}

void collectorTask(uint32_t) {
  for (;;) {
    collectorSweep();
    yieldTask();
  }
}

uint32_t fatalError(Window* window, uint32_t code, const char* format, ...) {
  char text[kFatalErrorTextSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format ? format : "", args);
  va_end(args);
  releaseDisplayAll();
  messageBox(kMainWindowTitle, text);
  destroyWindow(window);
  return code;
}

uint32_t fatalErrorText(const char* text) { return fatalError(gMainWindow, 0, "%s", text ? text : ""); }

uint32_t fatalErrorString(const IString& text) {
  char converted[256];
  text.toCString(converted, sizeof converted);
  // The text is shown as it is, never taken as a format.
  return fatalErrorText(converted);
}

void postIpcMessage(uint32_t code, intptr_t value) {
  if (gIpcMessage != 0) broadcastMessage(gIpcMessage, code | 0x80000000u, value);
}

void takeCommandLine(const char* commandLine) {
  ParsedCommandLine parsed = parseCommandLine(commandLine, kProgramPathSize);
  std::snprintf(gProgramPath, sizeof gProgramPath, "%s", parsed.programDirectory.c_str());
  gCommandSwitches.clear();
  gESwitchValues.clear();
  if (variant::kOlder) return;  // the older program parses no switches
  for (const std::string& value : parsed.switches) {
    FixedIString entry;
    entry.assignTextClipped(value.c_str());
    gCommandSwitches.append(entry);
  }
  for (const std::string& value : parsed.eSwitchValues) {
    FixedIString entry;
    entry.assignTextClipped(value.c_str());
    gESwitchValues.append(entry);
  }
}

void createMainWindow() {
  // The older program's window is not kept above the others.
  Window* window = createWindow(kMainWindowTitle, &windowProc, !variant::kOlder);
  if (!window) {
    std::fprintf(stderr, "%s: no display can be opened (%s).\n", variant::kProductTitle, windowError());
    std::exit(1);
  }
  gWindowRect = windowRect(window);
  gMainWindow = window;
  runStartupHooks();  // the scheduler sets its table up here
}

namespace {
// Slot 0 while there is no application: a task that only yields.
void idleTask(uint32_t) {
  for (;;) yieldTask();
}
}  // namespace

int winMain(const char* commandLine, const Application& application) {
  gApplication = application;
  gIpcMessage = variant::kOlder ? 0 : registerWindowMessage("KEZ_IPC_MESSAGE");
  takeCommandLine(commandLine);
  createMainWindow();
  if (gApplication.init) gApplication.init();
  uint32_t state;
  createTask(gApplication.runEmulator ? gApplication.runEmulator : &idleTask, 0, &gEmulatorTask, &state,
             kTaskModeImmediate, 0);
  createTask(&collectorTask, 0, &gCollectorTask, &state, kTaskModeImmediate, 0);
  createTask(&messagePumpTask, 0, &gMessagePumpTask, &state, kTaskModeImmediate, 0);
  runTasks();

  if (gApplication.shutdown) gApplication.shutdown();
  // The switch lists are static objects; their storage goes before the
  // allocation report.
  gCommandSwitches.clear();
  gESwitchValues.clear();
  runShutdownHooks();
  dumpOutstandingAllocations();
  if (!variant::kOlder) releaseSound();
  flushDebugOutput();
  closeDebugLog();
  shutdownPlatform();
  return 0;
}

int vandrelMain(int argc, char** argv, const Application& application) {
  const std::string line = rebuildCommandLine(argc, argv);
  return winMain(line.c_str(), application);
}
