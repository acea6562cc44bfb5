#pragma once
// What the program entry asks of the application (the debugger front end,
// a layer above): set-up once the main window exists, the emulator's main
// task, the handler of the registered window message, and shut-down once
// every task has ended.  The program hands these over to vandrelMain.

#include <cstdint>

struct Application {
  void (*init)();
  void (*shutdown)();
  // Task entry of the emulator's main task; never returns by itself.
  void (*runEmulator)(uint32_t argument);
  // A received "KEZ_IPC_MESSAGE" with its code (15 bits) and value; non-zero
  // when handled.
  intptr_t (*handleIpcMessage)(uint32_t code, intptr_t value);
  // How long the message pump may wait for input when the queue is empty:
  // 0 while the main task has work of its own (a run, a key, a picture
  // still to draw), else the milliseconds until it next has some.  Null:
  // the pump never waits.
  uint32_t (*idleMilliseconds)() = nullptr;
};

// The application the entry runs; every member may be null.
extern Application gApplication;
