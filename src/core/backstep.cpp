#include "core/backstep.h"

namespace {

constexpr int32_t kMaxSlice = 2047;
constexpr uint32_t kBudgetSpent = 0x80000000;
constexpr uint32_t kStatusRead = 0x8, kStatusWrite = 0x10, kStatusExecute = 0x20;

// A DMA unit is two records, {3, channel} then {guest word, old value};
// reading back, the second comes first.  No other record starts with 3.
bool isDmaMarker(const History& h, uint32_t position) {
  return h.first(position) == kRecordDma && h.second(position) < 4;
}

// The newest step: how many ring words it spans behind the cursor, and
// whether all of it is still in the ring.
struct Step {
  uint32_t words = 0;
  bool complete = false;
};

Step findStep(const History& h, BackwardHost& host) {
  Step step;
  uint32_t p = h.cursorOrHead();
  uint32_t left = h.older(p);
  bool sawEnd = false;
  for (;;) {
    if (left == 0) {
      // The oldest record: a boundary only when it is the first ever written.
      step.complete = step.words != 0 && h.holdsStart();
      return step;
    }
    const uint32_t q = h.before(p);
    if (left >= 4 && isDmaMarker(h, h.before(q))) {
      p = h.before(q);
      left -= 4;
      step.words += 4;
      continue;
    }
    const uint32_t f = h.first(q);
    const bool any = step.words != 0;
    // The end of the instruction before, or of the slice before.
    if ((sawEnd && f == kRecordEnd) || (any && host.isSliceMark(f)) || (any && f == kRecordEmpty)) {
      step.complete = true;
      return step;
    }
    sawEnd |= f == kRecordEnd;
    p = q;
    left -= 2;
    step.words += 2;
  }
}

}  // namespace

void stepBackSlice(History& history, BackwardHost& host, const BackwardClock& clock) {
  history.account();
  int32_t budget = kMaxSlice;
  uint32_t status = 0;
  for (;;) {
    const Step step = findStep(history, host);
    if (!step.complete) {
      status = kStatusJournalExhausted;
      break;
    }
    status = 1;
    bool rewind = false, pcRestored = false;
    uint32_t p = history.cursorOrHead();
    for (uint32_t w = 0; w < step.words;) {
      const uint32_t q = history.before(p);
      if (w + 4 <= step.words && isDmaMarker(history, history.before(q))) {
        const uint32_t address = history.first(q);
        budget -= int32_t(host.undoDmaUnit(history.second(history.before(q)), address, history.second(q)));
        if (host.writeTrap(address)) {
          status |= kStatusWrite;
          host.accessTraps(host.pc(), address, status);
        }
        p = history.before(q);
        w += 4;
        continue;
      }
      const uint32_t f = history.first(q), s = history.second(q);
      switch (f) {
        case kRecordEnd:
          host.undoCycles(s >> 20);
          budget -= int32_t(s >> 20);
          // The partial transfers of an LDM/STM share the instruction's address.
          rewind = !(s & kPartialEndMark);
          break;
        case kRecordLoad:
          status |= kStatusRead;
          host.accessTraps(0, s, status);
          break;
        case kRecordStore:
          status |= kStatusWrite;
          host.accessTraps(0, s, status);
          break;
        case kRecordEmpty:
          break;
        default:
          if (host.isPcLocation(f)) pcRestored = true;
          host.writeLocation(f, s);
          break;
      }
      p = q;
      w += 2;
    }
    history.setCursor(p);
    if (rewind && !pcRestored) host.setPc(host.pc() - host.instructionSize());
    uint32_t execute = kStatusExecute;
    host.accessTraps(host.pc(), 0, execute);
    status |= execute;
    if (budget < 0) status |= kBudgetSpent;
    // Read and write breakpoints that counted down to a stop stop a backward run too.
    status &= *clock.stopMask | kBudgetSpent | kStatusRead | kStatusWrite;
    if (status) break;
  }
  *clock.runStatus = status;
  host.afterBackwardSlice();
}
