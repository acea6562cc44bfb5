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

#include <algorithm>
#include <cstdint>

#include "core/history.h"

inline constexpr uint32_t kStatusJournalExhausted = 0x40000;

class BackwardHost {
 public:
  virtual ~BackwardHost() = default;
  // A journaled storage location gets its old content back.
  virtual void writeLocation(uint32_t location, uint32_t value) = 0;
  // The PC's location (never banked), and the location whose records mark
  // the end of a forward slice; both fixed for the machine's life.
  virtual uint32_t pcLocation() = 0;
  virtual uint32_t sliceMarkLocation() = 0;
  virtual uint32_t pc() = 0;
  virtual void setPc(uint32_t pc) = 0;      // not journaled
  virtual uint32_t instructionSize() = 0;   // of the state after the undo
  // An instruction's cycles go back: the clock, the display's countdown and
  // the timers.
  virtual void undoCycles(uint32_t cycles) = 0;
  // A DMA unit of a channel goes back: the old word at its guest address,
  // the channel one unit back, its cycles as undoCycles.  Returns the cycles.
  virtual uint32_t undoDmaUnit(uint32_t channel, uint32_t address, uint32_t old) = 0;
  // Whether a live trap bit (0 read, 1 write, 2 execute) covers the guest
  // address; only then is the trap handler asked.
  virtual bool trapBit(int kind, uint32_t address) = 0;
  // The trap handler without I/O actions.
  virtual void accessTraps(uint32_t pc, uint32_t address, uint32_t& status) = 0;
  // After the slice: whatever follows the restored state outside it.
  virtual void afterBackwardSlice() = 0;
};

struct BackwardClock {
  const uint32_t* stopMask;
  uint32_t* runStatus;
};

namespace backstep {

inline constexpr int32_t kMaxSlice = 2047;
inline constexpr uint32_t kBudgetSpent = 0x80000000;
inline constexpr uint32_t kStatusRead = 0x8, kStatusWrite = 0x10, kStatusExecute = 0x20;
// Far enough from the oldest record, a step cannot run out of history: it
// is undone as it is read.
inline constexpr uint32_t kSafeWords = 1u << 20;

// A DMA unit is two records, {3, channel} then {guest word, old value};
// reading back, the second comes first.  No other record starts with 3.
inline bool isDmaMarker(const History& h, uint32_t position) {
  return h.first(position) == kRecordDma && h.second(position) < 4;
}

// Whether the record at q ends the step that began reading at the cursor:
// the end of the instruction before, or of the slice before.
inline bool endsStep(const History& h, uint32_t sliceMark, uint32_t q, bool any, bool sawEnd) {
  const uint32_t f = h.first(q);
  return (sawEnd && f == kRecordEnd) || (any && (f == sliceMark || f == kRecordEmpty));
}

// Near the oldest record: whether the newest step lies whole in the ring.
inline bool stepIsWhole(const History& h, uint32_t sliceMark) {
  uint32_t p = h.cursorOrHead();
  uint32_t left = h.older(p);
  bool any = false, sawEnd = false;
  for (;;) {
    if (left == 0) return any && h.holdsStart();  // the oldest is a boundary only at the start
    const uint32_t q = h.before(p);
    if (left >= 4 && isDmaMarker(h, h.before(q))) {
      p = h.before(q);
      left -= 4;
      any = true;
      continue;
    }
    if (endsStep(h, sliceMark, q, any, sawEnd)) return true;
    sawEnd |= h.first(q) == kRecordEnd;
    any = true;
    p = q;
    left -= 2;
  }
}

}  // namespace backstep

// The ring is read in one pass: the read position and the history behind it
// carry over from step to step, and the cursor is set once at the end (and
// before a look at whether a step near the oldest record lies whole).  The
// loop over a step's records looks for a DMA unit's marker only where the
// ring may hold one, and leaves the unit to the code around it, which keeps
// that loop small: it runs for nearly every record.
template <class Host>
void stepBackSlice(History& history, Host& host, const BackwardClock& clock) {
  using namespace backstep;
  history.account();
  const uint32_t pcLocation = host.pcLocation(), sliceMark = host.sliceMarkLocation();
  const uint32_t stopMask = *clock.stopMask | kBudgetSpent | kStatusRead | kStatusWrite;
  const uint32_t* ring = history.ring();
  const uint32_t mask = history.mask();
  int32_t budget = kMaxSlice;
  uint32_t status = 0;
  uint32_t p = history.cursorOrHead();
  uint32_t left = history.older(p);
  // Words behind p that can be read with no look for a DMA marker: in
  // history, and neither they nor the record right behind them one.
  uint32_t run = 0;
  for (;;) {
    if (left < kSafeWords) {
      history.setCursor(p);
      if (!stepIsWhole(history, sliceMark)) {
        status = kStatusJournalExhausted;
        break;
      }
    }
    status = 1;
    bool rewind = false, pcRestored = false, any = false, sawEnd = false;
    for (;;) {
      bool dma = false;
      for (;;) {
        if (run < 4) {
          if (left == 0) break;
          run = std::min(history.wordsWithoutDma(p), left);
          if (run < 4) {
            const uint32_t marker = (p - 4) & mask;
            if (left >= 4 && ring[marker] == kRecordDma && ring[marker + 1] < 4) {
              dma = true;
              break;
            }
            run = 2;  // this record alone
          }
        }
        const uint32_t q = (p - 2) & mask;
        const uint32_t f = ring[q], s = ring[q + 1];
        if (f > kRecordEmpty && f != sliceMark) {
          // A PC record newer than the instruction's end (an SWI's exception
          // entry) gives back the PC the instruction left, not the one it
          // had: the rewind below still applies.
          pcRestored |= f == pcLocation && sawEnd;
          host.writeLocation(f, s);
        } else if (f == kRecordEnd) {
          if (sawEnd) break;
          host.undoCycles(s >> 20);
          budget -= int32_t(s >> 20);
          // The partial transfers of an LDM/STM share the instruction's address.
          rewind = !(s & kPartialEndMark);
          sawEnd = true;
        } else if (f == sliceMark) {
          if (any) break;
          host.writeLocation(f, s);
        } else if (f == kRecordEmpty) {
          if (any) break;
        } else if (f == kRecordLoad) {
          if (host.trapBit(0, s)) {
            status |= kStatusRead;
            host.accessTraps(0, s, status);
          }
        } else if (f == kRecordStore) {
          if (host.trapBit(1, s)) {
            status |= kStatusWrite;
            host.accessTraps(0, s, status);
          }
        }
        any = true;
        p = q;
        left -= 2;
        run -= 2;
      }
      if (!dma) break;
      // A DMA unit: {3, channel}, then {guest word, old value}.
      const uint32_t q = (p - 2) & mask, marker = (q - 2) & mask, address = ring[q];
      budget -= int32_t(host.undoDmaUnit(ring[marker + 1], address, ring[q + 1]));
      if (host.trapBit(1, address)) {
        status |= kStatusWrite;
        host.accessTraps(host.pc(), address, status);
      }
      p = marker;
      left -= 4;
      any = true;
      run = 0;
    }
    if (rewind && !pcRestored) host.setPc(host.pc() - host.instructionSize());
    if (host.trapBit(2, host.pc())) {
      uint32_t execute = kStatusExecute;
      host.accessTraps(host.pc(), 0, execute);
      status |= execute;
    }
    if (budget < 0) status |= kBudgetSpent;
    // Read and write breakpoints that counted down to a stop stop a backward run too.
    status &= stopMask;
    if (status) break;
  }
  history.setCursor(p);
  *clock.runStatus = status;
  host.afterBackwardSlice();
}
