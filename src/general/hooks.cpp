// Start-up and shut-down hooks.
#include "general/hooks.h"

namespace {

HookList gStartupHooks = {nullptr};
HookList gShutdownHooks = {nullptr};

}  // namespace

void HookList::add(StartupHook& hook, void (*function)()) {
  hook.function = function;
  hook.next = head;
  head = &hook;
}

void HookList::run() const {
  for (StartupHook* h = head; h; h = h->next)
    if (h->function) h->function();
}

void addStartupHook(StartupHook& hook, void (*function)()) { gStartupHooks.add(hook, function); }
void addShutdownHook(ShutdownHook& hook, void (*function)()) { gShutdownHooks.add(hook, function); }
void runStartupHooks() { gStartupHooks.run(); }
void runShutdownHooks() { gShutdownHooks.run(); }
