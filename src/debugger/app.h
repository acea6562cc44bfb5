#pragma once
// The emulator's main task and its display modes: debugger (0), run (1) and
// dialog (2), the run flag, and the three debugger windows.

#include <cstdint>
#include <string>

#include "general/base.h"
#include "general/config.h"
#include "general/istring.h"

class CodeWindow;
class DataWindow;
class AppWindow;
class TabFrame;

extern u32 gDisplayMode;  // 255 until the main task sets it
extern u32 gRunning;
extern u32 gDebuggerScreenWidth;
extern u32 gDebuggerScreenHeight;
extern u32 gDebuggerScreenDepth;
extern u32 gFontNumber;
extern u8 gConditionTable[256];
extern CodeWindow* gCodeWindow;
extern DataWindow* gDataWindow;
extern AppWindow* gAppWindow;
// 0 forward, 1 backward.
extern u32 gRunDirection;
// "Video Width" and "Video Height": the debugger's display size, read at start.
extern ConfigOption<u16> gVideoWidth;
extern ConfigOption<u16> gVideoHeight;

// The ARM condition pass table: entry flags x 16 + condition, 255 or 0.
void fillConditionTable(u8 (&table)[256]);

void setDisplayMode(u32 mode);
void toggleWindowed();
void refreshWindow(TabFrame* frame);
void startRunning(u32 direction);
void setRunDirection(u32 direction);
void emulateStep();
// The stop of a run: an armed step over is cleared, the debugger mode comes
// back and the windows show where it stopped.
void stopRun();
// The windows and the App pane show the machine as it is now (after a
// reset or a load): the listing at the PC, the data and app windows
// refilled, the picture drawn again from memory.
void showMachine();
// Resets and loads the cartridge file; the status line then names it.
// False, with the name left as it was, when the file cannot be read.
// False (with why in `problem`) when the file cannot be a cartridge; the
// cartridge in before then stays.
bool loadCartridge(const std::string& path, std::string* problem = nullptr);
bool loadCartridge(const FixedIString& path, std::string* problem = nullptr);  // characters taken by their low byte

// What the command-line switches asked for.
struct SwitchResult {
  bool showStartDialog = true;
  bool runAtOnce = false;
};
SwitchResult actOnSwitches();

// The debugger windows are created, the switches taken, the emulator reset
// and the start dialog shown: the main task's start before its loop.
void startMainTask();
// True after a set-up that could not set a display mode: the main task then
// only waits for the program to end.
bool setupFailed();

// One pass of the main loop, without the yield.
void mainLoopPass();

inline constexpr const char* kProductTitle = "KEZ Emulator / Debugger Version 0.05";
