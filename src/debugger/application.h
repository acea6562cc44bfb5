#pragma once
// The application's side of the program entry (general/application.h).

#include <cstdint>

#include "general/application.h"

void initApplication();
void shutdownApplication();
void runEmulator(uint32_t argument);
intptr_t handleIpcMessage(uint32_t code, intptr_t value);
// How long the main task can do without a pass: 0 while it has work.
uint32_t idleMilliseconds();

inline Application theApplication() {
  return Application{&initApplication, &shutdownApplication, &runEmulator, &handleIpcMessage,
                     &idleMilliseconds};
}
