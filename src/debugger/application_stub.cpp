// Stand-in for the front end's application until it is written: just
// enough for the program to start, run its three tasks and end on Alt+Q.
// To be replaced by the real set-up, main task and shut-down.

#include "debugger/application.h"
#include "general/config.h"
#include "general/keyboard.h"
#include "general/main.h"
#include "general/sound.h"
#include "general/task.h"

// The application's own options: the debugger's display size.
constinit ConfigOption<u16> gVideoWidth("Video Width", 640);
constinit ConfigOption<u16> gVideoHeight("Video Height", 480);

void initApplication() {
  gVideoWidth.value();
  gVideoHeight.value();
}

void shutdownApplication() {}

void runEmulator(uint32_t) {
  suspendTask(gCollectorTask, true);
  initSound();
  for (;;) {
    while (keyAvailable()) readKey();
    yieldTask();
  }
}

intptr_t handleIpcMessage(uint32_t, intptr_t) { return 0; }
