#pragma once
// After a slice, the access traps it raised are sorted out here: a built-in
// I/O register action (IF acknowledge, timer control, EEPROM requests), a pass
// counted down against the breakpoint table, the front end's step-over, or a
// stop.  The same handler serves the run loop, the backward step and the DMA
// unit.

#include <cstdint>
#include <functional>

#include "core/breakpt.h"

inline constexpr uint32_t kStatusRead = 0x8;
inline constexpr uint32_t kStatusWrite = 0x10;
inline constexpr uint32_t kStatusExecute = 0x20;

// The front end's step-over: the call site, the return address and how deep
// the call has nested since.
struct StepOver {
  uint32_t callSite = 0xFFFFFFFF;
  uint32_t returnAddress = 0xFFFFFFFF;
  uint32_t depth = 0;
};

// What the handler acts on, filled in by the emulator from its own storage.
struct TrapContext {
  BreakpointTable* breakpoints = nullptr;
  uint8_t* io = nullptr;            // the 1 KB I/O register area
  uint8_t* eepromPorts = nullptr;   // the 256-byte EEPROM port area
  uint8_t* eepromStore = nullptr;   // the 1 KB save store
  const uint32_t* lastTrapWidth = nullptr;   // bytes of the store that hit the trap (default 2)
  uint32_t* interruptFlags = nullptr;        // the processor's IF copy
  uint32_t* halted = nullptr;                // the processor's halt (HALTCNT); null: none
  const uint32_t* wait16Sequential = nullptr;  // per region, cycles << 20
  uint32_t* timerAccumulators = nullptr;     // u32[4]
  uint32_t* timerReload = nullptr;           // u32[4]; null: every timer reloads 0
  StepOver* stepOver = nullptr;
  std::function<void()> rebuildTimers;          // regenerates the timer routine
  std::function<void(uint32_t pc)> skipProbeOnce;  // the next entry at pc skips its execute probe
  // Journals the machine-state word holding a byte before an action changes
  // it (running back undoes the actions with the store that caused them).
  std::function<void(const void* field)> journal;
  // The word a trapped write covered as it was before the write, and the
  // cycles of the instruction that wrote it (left alone when not known).
  std::function<void(uint32_t word, uint32_t& before, uint32_t& cycles)> beforeWrite;
  // A guest write to a DMA channel's control word, with its enable bit
  // before and after.
  std::function<void(uint32_t channel, bool enabledBefore, bool enabledNow)> dmaControl;
  // A guest write reached a word that holds translated code (pc: where the
  // program goes on).
  std::function<void(uint32_t pc, uint32_t address)> codeWritten;
  // Whether I/O actions run: the backward step re-tests breakpoints only.
  bool ioActions = true;
};

void handleAccessTraps(TrapContext& ctx, uint32_t pc, uint32_t dataAddress, uint32_t& status);

// The built-in action of a guest write at a trapped I/O address, if any.
void ioWriteAction(TrapContext& ctx, uint32_t pc, uint32_t dataAddress);
