#pragma once
// The three key handlers of the main loop: debugger commands, the run mode's
// keys with the emulated keypad, and the open dialog's keys.  Each takes at
// most one key from the keyboard ring per call.

#include "general/base.h"

// The step key (F6-F9) that repeats in every call of debuggerKeys, 0 for
// none, and its direction (0 forward, 1 backward).
extern u32 gRepeatKey;
extern u32 gRepeatDirection;
// The host keys of the console's keypad bits 0 to 9.
extern const u32 gKeypadKeys[10];

void debuggerKeys();
void runModeKeys();
void dialogKeys();

// The debugger's handling of one key code (what debuggerKeys does with a
// key it read, 0 for none).
void debuggerKey(u32 key);
void runModeKey(u32 key);
// KEYINPUT from the live key state (clear bit = pressed).
u16 keypadState();
