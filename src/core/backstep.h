#pragma once
// One backward slice: undoes journaled instructions newest first until a stop
// condition or the end of the budget (one instruction when single-stepping).
// Breakpoints are tested again on the way, read and write breakpoints
// included; I/O actions are not run again.

#include <cstdint>

#include "core/history.h"

inline constexpr uint32_t kStatusJournalExhausted = 0x40000;

class BackwardHost {
 public:
  virtual ~BackwardHost() = default;
  // A journaled storage location gets its old content back.
  virtual void writeLocation(uint32_t location, uint32_t value) = 0;
  virtual bool isPcLocation(uint32_t location) = 0;
  virtual uint32_t pc() = 0;
  virtual void setPc(uint32_t pc) = 0;      // not journaled
  virtual uint32_t instructionSize() = 0;   // of the state after the undo
  // A DMA unit's old word goes back through the guest write path.
  virtual void poke32(uint32_t address, uint32_t value) = 0;
  // The trap handler without I/O actions.
  virtual void accessTraps(uint32_t pc, uint32_t address, uint32_t& status) = 0;
  virtual void tickReverse() = 0;
  // After the slice: the IF copy and the timer routine follow the restored registers.
  virtual void afterBackwardSlice() = 0;
};

struct BackwardClock {
  int32_t* videoCycles;
  int32_t* cycleBudget;
  const uint32_t* stopMask;
  uint32_t* runStatus;
};

void stepBackSlice(History& history, BackwardHost& host, const BackwardClock& clock);
