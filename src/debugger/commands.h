#pragma once
// What a prompt runs when the user ends it with Enter: set a breakpoint, jump
// a window to an address, edit guest memory, append a disassembly or a memory
// dump to a file.  Each reads gPromptLine; errors go to the Warnings tab.

#include "general/istring.h"

u32 parseHex(const FixedIString& text, u32 first = 0, u32 end = 0xFFFFFFFF);

void breakpointCommand();
void gotoCommand();
void gotoDataWindowCommand();
void editMemoryCommand();
void disassembleToFile();
void dumpToFile();

// Debugger writes through the read tables (BIOS and ROM included), at any
// alignment; nothing outside the map.  Not journaled, no traps.
void pokeByte(u32 address, u8 value);
void pokeHalf(u32 address, u16 value);
void pokeWord(u32 address, u32 value);
