#include "debugger/keys.h"

#include <cctype>

#include "core/emulator.h"
#include "core/render.h"
#include "debugger/app.h"
#include "debugger/commands.h"
#include "debugger/prompt.h"
#include "debugger/status.h"
#include "debugger/windows.h"
#include "general/keyboard.h"
#include "general/language.h"
#include "platform/variant.h"

u32 gRepeatKey = 0;
u32 gRepeatDirection = 0;
const u32 gKeypadKeys[10] = {kKeyAlt, kKeyCtrl, 0x20, 0x0D, 0x27, 0x25, 0x26, 0x28, 0x44, 0x41};

namespace {

enum : u32 {
  kPgUp = 0x21,
  kPgDn = 0x22,
  kUp = 0x26,
  kDown = 0x28,
  kF2 = 0x71,
  kF4 = 0x73,
  kF5 = 0x74,
  kF6 = 0x75,
  kF7 = 0x76,
  kF8 = 0x77,
  kF9 = 0x78,
};

void prompt(const char* english, void (*command)()) {
  FixedIString text;
  text.assignTextClipped(translate(english));
  promptForInput(text, command);
}

void toggleLayer(u32 code) {
  if (code >= '0' && code <= '3')
    gLayerMask ^= 0x100u << (code - '0');
  else if (code == 'S')
    gLayerMask ^= 0x1000;
}

// While stopped, a layer or the grid shows at once in the App pane; a run
// shows it in its next frames.
void redrawWhileStopped() {
  if (!gRunning) gEmulator.video().redrawPicture();
}

void cycleGrid() {
  i32& grid = gGridOption.value();
  grid += 1;
  if (grid >= 3) grid = 0;
}

TabFrame* scrollTarget(u32 key) {
  TabFrame* t = (key & kKeyShift) ? static_cast<TabFrame*>(gDataWindow) : static_cast<TabFrame*>(gCodeWindow);
  if (key & kKeyCtrl) t = gAppWindow;
  return t;
}

bool isCall(u32 pc, bool thumb) {
  GbaMemory& m = gEmulator.memory();
  if (thumb) {
    const u16 op = m.peek16(pc);
    return (op & 0xF800) == 0xF000 || (op & 0xFF00) == 0x4700;
  }
  const u32 op = m.peek32(pc);
  return (op & 0x0F000000) == 0x0B000000 || (op & 0x0FFFFFF0) == 0x012FFF10;
}

void stepOver(u32 direction) {
  ArmCpu& cpu = gEmulator.cpu();
  const u32 pc = cpu.pc();
  if (isCall(pc, cpu.isThumb())) {
    setDisplayMode(1);
    gStopMask = kStopRunning;
    StepOver& so = gEmulator.stepOver();
    so.callSite = pc;
    so.returnAddress = pc + 4;
    so.depth = 0;
    gEmulator.breakpoints().setBits(pc + 4, 1, 1, kBreakExecute, false);
    gEmulator.breakpoints().setBits(pc, 1, 1, kBreakExecute, false);
  } else {
    gStopMask = kStopRunTo;
    gRunToAddress = pc;
  }
  startRunning(direction);
}

void runPendingStep(u32 stepKey, u32 direction) {
  switch (stepKey) {
    case kF6:
      gStopMask = kStopRunTo;
      startRunning(direction);
      break;
    case kF7:
      stepOver(direction);
      break;
    case kF8:
      startRunning(direction);
      gStopMask = kStopRunTo;
      gRunToAddress = gEmulator.cpu().pc();
      break;
    case kF9:
      startRunning(direction);
      gStopMask = kStopStep;
      break;
    default:
      break;
  }
}

}  // namespace

void debuggerKey(u32 key) {
  u32 pendingKey = gRepeatKey;
  u32 pendingDirection = gRepeatDirection;
  if (key != 0) {
    const u32 code = key & 0xFFF;
    const bool shift = key & kKeyShift, ctrl = key & kKeyCtrl;
    TabFrame* target = scrollTarget(key);
    const bool older = variant::kOlder;
    switch (code) {
      case kPgUp:
        if (target) target->pageUp();
        break;
      case kPgDn:
        if (target) target->pageDown();
        break;
      case kUp:
        if (target) target->scrollUp();
        break;
      case kDown:
        if (target) target->scrollDown();
        break;
      case '0':
      case '1':
      case '2':
      case '3':
      case 'S':
        toggleLayer(code);
        redrawWhileStopped();
        break;
      case 'B':
        prompt("Specify the breakpoint you'd like to set.", &breakpointCommand);
        break;
      case 'D':
        if (older) break;
        if (shift)
          prompt("Specify the range of addresses you wish to dump.", &dumpToFile);
        else
          prompt("Specify the range of addresses you wish to disassemble.", &disassembleToFile);
        break;
      case 'E':
        if (!older && shift)
          prompt("Specify address and value of memory you wish to edit.", &editMemoryCommand);
        break;
      case 'G':
        prompt("Specify the symbol or address to jump to.", shift ? &gotoDataWindowCommand : &gotoCommand);
        break;
      case 'P':
        if (!older) screenshotKey();
        break;
      case 'X':
        if (older) break;
        cycleGrid();
        redrawWhileStopped();
        if (gAppWindow) gAppWindow->refreshTab(0);
        break;
      case kF2:
        if (!older && gCodeWindow)
          gEmulator.breakpoints().toggleAt(gCodeWindow->cursorAddress(), gEmulator.cpu().isThumb());
        break;
      case kF4:
        if (older) break;
        gEmulator.reset();
        showMachine();
        {
          FixedIString title, text;
          title.assignTextClipped(translate("Resetting GBA processor."));
          text.assignTextClipped(translate("All memory cleared except for ROM."));
          showMessageBox(title, text, 0);
        }
        break;
      case kF5:
        pendingKey = 0;
        gRepeatKey = 0;
        startRunning(shift ? 1 : 0);
        gStopMask = kStopRunning;
        setDisplayMode(1);
        break;
      case kF6:
      case kF7:
      case kF8:
      case kF9:
        pendingKey = code;
        pendingDirection = shift ? 1 : 0;
        if (ctrl) {
          gRepeatKey = code;
          gRepeatDirection = pendingDirection;
        } else {
          if (gRepeatKey != 0) pendingKey = 0;
          gRepeatKey = 0;
        }
        break;
      default:
        break;
    }
  }
  runPendingStep(pendingKey, pendingDirection);
}

void debuggerKeys() { debuggerKey(keyAvailable() ? readKey() : 0); }

void runModeKey(u32 key) {
  if (key == 0) return;
  const u32 code = key & 0xFFF;
  const bool shift = key & kKeyShift, ctrl = key & kKeyCtrl;
  switch (code) {
    case '0':
    case '1':
    case '2':
    case '3':
    case 'S':
      toggleLayer(code);
      break;
    case 'P':
      if (!variant::kOlder) screenshotKey();
      break;
    case 'X':
      if (!variant::kOlder) cycleGrid();
      break;
    case kF5:
      if (shift) {
        if (!variant::kOlder) startRunning(1);
      } else if (ctrl) {
        if (!variant::kOlder) gRunning = 0;
      } else if (gRunning) {
        stopRun();
      } else {
        gRunning = 1;
      }
      break;
    default:
      break;
  }
}

u16 keypadState() {
  u32 state = 0x3FF;
  for (u32 n = 0; n < 10; ++n)
    if (isModifierDown(gKeypadKeys[n])) state &= ~(1u << n);
  return u16(state);
}

void runModeKeys() {
  runModeKey(keyAvailable() ? readKey() : 0);
  gEmulator.memory().poke16(0x4000130, keypadState());
}

void dialogKeys() {
  if (!keyAvailable()) return;
  const u32 key = readKey();
  const int code = int(key & 0xFFF);
  // Numpad digits (0x60-0x69) are typed as the digits they show.
  const int typed = code >= 0x60 && code <= 0x69 ? '0' + (code - 0x60) : code;
  // Only character codes are folded: the C library's tables end at 255.
  const int folded = typed > 255 ? typed : (key & kKeyShift) ? std::toupper(typed) : std::tolower(typed);
  Dialog::handleKey(u32(folded));
}
