#include "core/backstep.h"

#include <vector>

#include "general/base.h"

namespace {

constexpr int32_t kMaxSlice = 2047;
constexpr uint32_t kBudgetSpent = 0x80000000;
constexpr uint32_t kStatusRead = 0x8, kStatusWrite = 0x10, kStatusExecute = 0x20;

struct Undo {
  enum Kind { kLocation, kLoad, kStore, kDmaWord } kind;
  uint32_t first, second;
};

// Whether the record just older than the cursor is a DMA marker {3, channel},
// which makes the record at the cursor a {guest word, old value} pair.
bool olderIsDmaMarker(const History& h) {
  uint32_t f, s;
  h.peekOlder(f, s);
  return f == kRecordDma && s < 4;
}

// Reads the records of the newest journaled instruction; false when the ring
// runs out on the way.
enum class Read { kOk, kExhausted };

Read readInstruction(History& h, std::vector<Undo>& undo, uint32_t& cost) {
  uint32_t f, s;
  cost = 0;
  // DMA units that ran after the last instruction are undone with it.
  for (;;) {
    if (!h.stepBack(f, s)) return Read::kExhausted;
    if (!olderIsDmaMarker(h)) break;
    undo.push_back({Undo::kDmaWord, f, s});
    if (!h.stepBack(f, s)) return Read::kExhausted;
  }
  if (f == kRecordEmpty) {
    h.stepForward(f, s);
    return Read::kExhausted;
  }
  if (f == kRecordEnd) {
    cost = s;
  } else {
    CHECK(f == kRecordEnd);
    // Out of step: no end record here; the record is undone as part of the
    // instruction and no cost is charged.
    h.stepForward(f, s);
  }
  for (;;) {
    if (!h.stepBack(f, s)) return Read::kExhausted;
    if (olderIsDmaMarker(h)) {
      undo.push_back({Undo::kDmaWord, f, s});
      if (!h.stepBack(f, s)) return Read::kExhausted;
      continue;
    }
    if (f == kRecordEnd || f == kRecordEmpty) {
      h.stepForward(f, s);  // the end of the instruction before stays
      return Read::kOk;
    }
    Undo::Kind k = f == kRecordLoad ? Undo::kLoad : f == kRecordStore ? Undo::kStore : Undo::kLocation;
    undo.push_back({k, f, s});
  }
}

}  // namespace

void stepBackSlice(History& history, BackwardHost& host, const BackwardClock& clock) {
  const bool bounded = *clock.videoCycles < kMaxSlice;
  *clock.cycleBudget = bounded ? *clock.videoCycles : kMaxSlice;
  uint32_t status = 0;
  std::vector<Undo> undo;
  for (;;) {
    if (!history.canStepBack()) {
      status = kStatusJournalExhausted;
      break;
    }
    status = 1;
    bool rewind = true;
    undo.clear();
    uint32_t cost;
    const uint32_t start = history.cursor();
    if (readInstruction(history, undo, cost) == Read::kExhausted) {
      // Nothing half undone: the cursor goes back to where this step began.
      history.setCursor(start);
      status = kStatusJournalExhausted;
      break;
    }
    for (const Undo& u : undo) {
      switch (u.kind) {
        case Undo::kLoad:
          status |= kStatusRead;
          host.accessTraps(0, u.second, status);
          break;
        case Undo::kStore:
          status |= kStatusWrite;
          host.accessTraps(0, u.second, status);
          break;
        case Undo::kDmaWord:
          host.poke32(u.first, u.second);
          break;
        case Undo::kLocation:
          if (host.isPcLocation(u.first)) rewind = false;
          host.writeLocation(u.first, u.second);
          break;
      }
    }
    // The partial transfers of an LDM/STM share the instruction's address.
    if (rewind && !(cost & kPartialEndMark)) host.setPc(host.pc() - host.instructionSize());
    uint32_t execute = kStatusExecute;
    host.accessTraps(host.pc(), 0, execute);
    status |= execute;
    *clock.cycleBudget -= int32_t(cost >> 20);
    if (*clock.cycleBudget < 0) status |= kBudgetSpent;
    // Read and write breakpoints that counted down to a stop stop a backward run too.
    status &= *clock.stopMask | kBudgetSpent | kStatusRead | kStatusWrite;
    if (status) break;
  }
  *clock.runStatus = status;
  if (bounded) {
    *clock.videoCycles = *clock.cycleBudget;
    if (status & kBudgetSpent) host.tickReverse();
  }
  host.afterBackwardSlice();
}
