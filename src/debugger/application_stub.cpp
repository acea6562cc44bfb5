// Stand-in for the front end's application until it is written: just
// enough for the program to start, run its three tasks and end on Alt+Q.
// To be replaced by the real set-up, main task and shut-down.

#include "debugger/application.h"
#include "general/keyboard.h"
#include "general/main.h"
#include "general/task.h"

void initApplication() {}

void shutdownApplication() {}

void runEmulator(uint32_t) {
  suspendTask(gCollectorTask, true);
  for (;;) {
    while (keyAvailable()) readKey();
    yieldTask();
  }
}

intptr_t handleIpcMessage(uint32_t, intptr_t) { return 0; }
