#pragma once
// Program entry, the main window's procedure and the message pump.
//
// vandrelMain (from main()) rebuilds the command line from argv and then
// runs as WinMain would: registers "KEZ_IPC_MESSAGE", takes the program
// directory and the switches, creates the main window, sets the
// application up, creates the emulator's main task, the collector and the
// message pump (slots 0, 1, 2), runs the scheduler until no task is left and
// shuts down in a fixed order.  The program ends through the window: Alt+Q,
// the close button, SIGINT/SIGTERM/SIGHUP or a fatal error close it, WM_DESTROY
// posts WM_QUIT, and the pump ends every task when it takes WM_QUIT.
//
// The window procedure keeps the display's gWindowActive up to date and
// calls on the display for moves, repaints and the release at WM_DESTROY.

#include <cstddef>
#include <cstdint>

#include "general/application.h"
#include "general/istring.h"
#include "general/task.h"
#include "platform/window.h"

inline constexpr const char* kMainWindowTitle = "KEZ Emulator / Debugger Version 0.05";
inline constexpr size_t kProgramPathSize = 4096;
inline constexpr size_t kFatalErrorTextSize = 128;

extern platform::Window* gMainWindow;
extern uint32_t gIpcMessage;  // 0 when not registered
// The program directory taken from the command line (programDirectory in
// general/files.h).
extern char gProgramPath[kProgramPathSize];
// Every switch but e/E, without its minus sign, in command-line order.
extern Array<FixedIString> gCommandSwitches;
// The values of e/E switches; nothing reads them.
extern Array<FixedIString> gESwitchValues;
using AltEnterHandler = void (*)();
extern AltEnterHandler gAltEnterHandler;
extern TaskHandle gEmulatorTask;
extern TaskHandle gCollectorTask;
extern TaskHandle gMessagePumpTask;

int vandrelMain(int argc, char** argv, const Application& application);
int winMain(const char* commandLine, const Application& application);
// Steps of winMain, for tests: the program directory and the switch lists
// from a command line (the older variant takes no switches).
void takeCommandLine(const char* commandLine);
void createMainWindow();

intptr_t windowProc(platform::Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void messagePumpTask(uint32_t argument);
void collectorTask(uint32_t argument);

// Formats the message (at most 127 characters), releases the display, shows
// the message box and destroys the window, so that the program ends; returns code.
uint32_t fatalError(platform::Window* window, uint32_t code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// fatalError for the main window with a text that is shown as it is (at
// most 255 characters of it).
uint32_t fatalErrorString(const IString& text);
uint32_t fatalErrorText(const char* text);

// Sends the registered message to every top-level window, marked (bit 31)
// as sent by us, so that our own window procedure leaves it alone.
void postIpcMessage(uint32_t code, intptr_t value);
