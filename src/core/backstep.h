#pragma once
// One backward slice: undoes journaled steps newest first until a stop
// condition or the end of the budget (one step when single-stepping).
//
// A step is what lies between two instruction ends, or between an
// instruction end and the end of a forward slice (the slice mark): the
// instruction's own records, and with it whatever the slice did around it
// (DMA and exception entry before it, interrupt requests, traps and the
// display's events after it).  So a step back after a forward slice of one
// instruction lands exactly where that slice began, and in the middle of a
// longer slice it lands between two of its instructions.  A step whose start
// was overwritten by the ring is never undone half way.
//
// Breakpoints are tested again on the way, read and write breakpoints and
// DMA writes included; I/O actions are not run again.

#include <cstdint>

#include "core/history.h"

inline constexpr uint32_t kStatusJournalExhausted = 0x40000;

class BackwardHost {
 public:
  virtual ~BackwardHost() = default;
  // A journaled storage location gets its old content back.
  virtual void writeLocation(uint32_t location, uint32_t value) = 0;
  virtual bool isPcLocation(uint32_t location) = 0;
  // The location whose records mark the end of a forward slice.
  virtual bool isSliceMark(uint32_t location) = 0;
  virtual uint32_t pc() = 0;
  virtual void setPc(uint32_t pc) = 0;      // not journaled
  virtual uint32_t instructionSize() = 0;   // of the state after the undo
  // An instruction's cycles go back: the clock, the display's countdown and
  // the timers.
  virtual void undoCycles(uint32_t cycles) = 0;
  // A DMA unit of a channel goes back: the old word at its guest address,
  // the channel one unit back, its cycles as undoCycles.  Returns the cycles.
  virtual uint32_t undoDmaUnit(uint32_t channel, uint32_t address, uint32_t old) = 0;
  // Whether a live write trap bit covers the guest address.
  virtual bool writeTrap(uint32_t address) = 0;
  // The trap handler without I/O actions.
  virtual void accessTraps(uint32_t pc, uint32_t address, uint32_t& status) = 0;
  // After the slice: whatever follows the restored state outside it.
  virtual void afterBackwardSlice() = 0;
};

struct BackwardClock {
  const uint32_t* stopMask;
  uint32_t* runStatus;
};

void stepBackSlice(History& history, BackwardHost& host, const BackwardClock& clock);
