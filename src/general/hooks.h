#pragma once
// Start-up and shut-down hooks: static objects register work to be done once
// the main window exists (runStartupHooks, called by the window's creation)
// and at shut-down before the process exits (runShutdownHooks, called by the
// program entry before the allocation report).  Hooks run newest first.
//
// The record belongs to the registering object and must outlive the run; the
// list heads are constant-initialised, so registering from a static
// initialiser in any order is safe.

struct StartupHook {
  StartupHook* next;
  void (*function)();
};
using ShutdownHook = StartupHook;

// A list of hooks; the program has two.
struct HookList {
  StartupHook* head;
  void add(StartupHook& hook, void (*function)());
  void run() const;  // newest first
};

void addStartupHook(StartupHook& hook, void (*function)());
void addShutdownHook(ShutdownHook& hook, void (*function)());
void runStartupHooks();
void runShutdownHooks();
