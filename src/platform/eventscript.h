#pragma once
// Scripted input events (VANDREL_EVENT_SCRIPT, see messages.h).

namespace platform {

// Reads the script named by the environment, if any; again from the start.
void startEventScript();
// Feeds the script's next events into SDL's queue once their time has come.
void stepEventScript();
// True while the script has lines left to run.
bool eventScriptPending();

}  // namespace platform
