#include "core/backstep.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "trapfixture.h"

namespace {

// A toy machine that journals the way generated code does: registers are
// storage locations (offsets never 0-4), memory words are guest addresses,
// and every instruction ends with {0, cost << 20}.
struct ToyMachine : BackwardHost {
  static constexpr uint32_t kRegBase = 0x1000;  // location of R0; R15 at +60
  std::array<uint32_t, 16> reg{};
  std::array<uint32_t, 64> mem{};  // guest words at 0x03000000
  static constexpr uint32_t kRingWords = 16384;
  static constexpr uint32_t kSliceMark = 0x3000;  // location of the slice counter
  std::vector<uint32_t> ring = std::vector<uint32_t>(kRingWords);
  uint32_t writeIndex = 0;
  History history{ring.data(), &writeIndex, kRingWords};
  testsupport::TrapFixtureMemory traps;
  int32_t videoCycles = 65535;
  uint32_t sliceCount = 0;
  uint32_t stopMask = 0xFF865, runStatus = 0;
  BackwardClock clock{&stopMask, &runStatus};
  int afterSlices = 0;

  ToyMachine() {
    history.clear();
    reg[15] = 0x08000000;
    traps.ctx.ioActions = false;
  }
  struct Snapshot {
    std::array<uint32_t, 16> reg;
    std::array<uint32_t, 64> mem;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot snapshot() const { return {reg, mem}; }

  // Forward side.
  void setReg(int r, uint32_t v) {
    history.push(kRegBase + 4 * r, reg[r]);
    reg[r] = v;
  }
  void end(uint32_t cost, bool partial = false) {
    history.push(kRecordEnd, cost << 20 | (partial ? kPartialEndMark : 0));
    videoCycles -= int32_t(cost);
  }
  void add(int d, int s, uint32_t k) {  // ADD Rd, Rs, #k
    history.resumeForward();
    setReg(d, reg[s] + k);
    reg[15] += 4;  // the PC word moves without a record, as inside a block
    end(1);
  }

  void store(int s, uint32_t index) {
    history.resumeForward();
    history.push(kRecordStore, 0x03000000 + 4 * index);
    history.push(0x2000 + 4 * index, mem[index]);
    mem[index] = reg[s];
    reg[15] += 4;
    end(2);
  }
  void load(int d, uint32_t index) {
    history.resumeForward();
    setReg(d, mem[index]);
    history.push(kRecordLoad, 0x03000000 + 4 * index);
    reg[15] += 4;
    end(3);
  }
  void branch(uint32_t target) {
    history.resumeForward();
    setReg(15, target);  // a taken branch journals the PC itself
    end(3);
  }
  // An LDM of three registers: two partial exits, then the last transfer.
  void ldm3(uint32_t index) {
    history.resumeForward();
    for (int k = 0; k < 3; ++k) {
      setReg(4 + k, mem[(index + k) & 63]);
      history.push(kRecordLoad, 0x03000000 + 4 * ((index + k) & 63));
      if (k < 2) end(1, true);
    }
    reg[15] += 4;
    end(4);
  }
  void dmaUnit(uint32_t index, uint32_t value) {
    history.resumeForward();
    history.push(kRecordDma, 3);
    history.push(0x03000000 + 4 * index, mem[index]);
    mem[index] = value;
    videoCycles -= 2;
  }
  // The end of a forward slice.
  void sliceEnd() {
    history.push(kSliceMark, sliceCount);
    ++sliceCount;
  }

  // Backward side.
  void writeLocation(uint32_t loc, uint32_t v) override {
    if (loc >= kRegBase && loc < kRegBase + 64)
      reg[(loc - kRegBase) / 4] = v;
    else if (loc == kSliceMark)
      sliceCount = v;
    else if (loc >= 0x2000 && loc < 0x2100)
      mem[(loc - 0x2000) / 4] = v;
    else
      ADD_FAILURE() << "write to unknown location " << std::hex << loc;
  }
  uint32_t pcLocation() override { return kRegBase + 60; }
  uint32_t sliceMarkLocation() override { return kSliceMark; }
  uint32_t pc() override { return reg[15]; }
  void setPc(uint32_t v) override { reg[15] = v; }
  uint32_t instructionSize() override { return 4; }
  void undoCycles(uint32_t cycles) override { videoCycles += int32_t(cycles); }
  uint32_t undoDmaUnit(uint32_t channel, uint32_t a, uint32_t v) override {
    EXPECT_EQ(channel, 3u);
    EXPECT_EQ(a >> 24, 3u);
    mem[(a & 0xFF) / 4] = v;
    videoCycles += 2;
    return 2;
  }
  bool trapBit(int kind, uint32_t a) override { return testTrapBit(traps.map, kind, a); }
  void accessTraps(uint32_t pc, uint32_t a, uint32_t& status) override {
    handleAccessTraps(traps.ctx, pc, a, status);
  }
  void afterBackwardSlice() override { ++afterSlices; }
  uint32_t back() {
    stepBackSlice(history, *this, clock);
    return runStatus;
  }
};

}  // namespace

TEST(RunningBackwards, AddThenBackRestoresRegisterAndPcAndGivesTheCyclesBack) {
  ToyMachine m;
  m.reg[0] = 5;
  auto before = m.snapshot();
  m.videoCycles = 100;
  m.add(0, 0, 1);
  EXPECT_EQ(m.videoCycles, 99);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.snapshot(), before);
  EXPECT_EQ(m.videoCycles, 100);
  EXPECT_EQ(m.afterSlices, 1);
}

TEST(RunningBackwards, FreshJournalIsExhaustedAndChangesNothing) {
  ToyMachine m;
  auto before = m.snapshot();
  EXPECT_EQ(m.back(), kStatusJournalExhausted);
  EXPECT_EQ(m.snapshot(), before);
}

TEST(RunningBackwards, MixedProgramForwardThenBackStepByStepAndBySlices) {
  for (int slices = 0; slices < 2; ++slices) {
    ToyMachine m;
    std::mt19937 rng(11 + slices);
    for (int i = 0; i < 16; ++i) m.reg[i] = rng();
    m.reg[15] = 0x08000000;
    for (auto& w : m.mem) w = rng();
    auto before = m.snapshot();
    std::vector<ToyMachine::Snapshot> states;
    int instructions = 0;
    for (int i = 0; i < 500; ++i) {
      states.push_back(m.snapshot());
      switch (rng() % 6) {
        case 0: m.add(rng() % 15, rng() % 15, rng() % 100); break;
        case 1: m.store(rng() % 15, rng() % 64); break;
        case 2: m.load(rng() % 15, rng() % 64); break;
        case 3: m.branch(0x08000000 + 4 * (rng() % 1000)); break;
        case 4: m.ldm3(rng() % 64); instructions += 2; break;
        case 5: m.dmaUnit(rng() % 64, rng()); m.add(1, 1, 1); break;
      }
      ++instructions;
    }
    if (slices) {
      m.stopMask = 0xFF864;
      uint32_t status = 0;
      for (int i = 0; i < 1000 && !(status & kStatusJournalExhausted); ++i) status = m.back();
      EXPECT_EQ(status, kStatusJournalExhausted);
    } else {
      for (int i = 0; i < instructions; ++i) {
        uint32_t status = m.back();
        ASSERT_EQ(status, 1u) << "step " << i;
      }
      EXPECT_EQ(m.back(), kStatusJournalExhausted);
    }
    EXPECT_EQ(m.snapshot(), before);
  }
}

TEST(RunningBackwards, PartialTransfersDoNotRewindThePcEachTime) {
  ToyMachine m;
  for (int i = 0; i < 3; ++i) m.mem[i] = 100 + i;
  auto before = m.snapshot();
  m.ldm3(0);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.reg[15], 0x08000000u);  // the LDM's own address
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.snapshot(), before);
}

TEST(RunningBackwards, TakenBranchTakesItsPcFromTheRecord) {
  ToyMachine m;
  m.add(0, 0, 1);
  m.branch(0x08001000);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.reg[15], 0x08000004u);
}

TEST(RunningBackwards, StopsAtExecuteReadAndWriteBreakpoints) {
  ToyMachine m;
  m.add(0, 0, 1);  // at 0x08000000
  m.add(0, 0, 1);  // at 0x08000004
  m.store(0, 5);   // at 0x08000008
  m.add(0, 0, 1);  // at 0x0800000C
  m.stopMask = 0xFF864;
  m.traps.table.setBits(0x03000014, 4, 1, kBreakWrite, true);
  m.traps.table.setBits(0x08000004, 4, 1, kBreakExecute, true);
  EXPECT_EQ(m.back() & 0x10, 0x10u);  // undoing the store
  EXPECT_EQ(m.reg[15], 0x08000008u);
  uint32_t status = m.back();
  EXPECT_EQ(status & 0x20, 0x20u);
  EXPECT_EQ(m.reg[15], 0x08000004u);
}

TEST(RunningBackwards, ASliceEndsOnceItsBudgetIsUndone) {
  ToyMachine m;
  for (int i = 0; i < 1000; ++i) m.load(1, 0);  // 3 cycles each
  m.stopMask = 0xFF864;
  const int32_t before = m.videoCycles;
  uint32_t status = m.back();
  EXPECT_EQ(status & 0x80000000u, 0x80000000u);
  EXPECT_EQ(m.videoCycles - before, 683 * 3);  // the first undo past 2047 cycles
}

TEST(RunningBackwards, AStepEndsAtTheEndOfTheSliceBefore) {
  // Forward: a slice of one DMA unit, then a slice of an ADD, then a slice
  // of two ADDs; each step back lands on an instruction's end or a slice's.
  ToyMachine m;
  auto start = m.snapshot();
  m.dmaUnit(3, 77);
  m.sliceEnd();
  auto afterDma = m.snapshot();
  m.add(0, 0, 1);
  m.sliceEnd();
  auto afterOne = m.snapshot();
  m.add(0, 0, 1);
  auto inside = m.snapshot();
  m.add(0, 0, 1);
  m.sliceEnd();
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.snapshot(), inside);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.snapshot(), afterOne);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.snapshot(), afterDma);
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.snapshot(), start);
  EXPECT_EQ(m.sliceCount, 0u);
  EXPECT_EQ(m.back(), kStatusJournalExhausted);
}

TEST(RunningBackwards, AWriteBreakpointStopsWhereDmaWroteTheWord) {
  ToyMachine m;
  m.add(0, 0, 1);
  m.sliceEnd();
  m.dmaUnit(5, 1234);
  m.add(1, 1, 1);
  m.sliceEnd();
  m.add(2, 2, 1);
  m.sliceEnd();
  m.traps.table.setBits(0x03000014, 4, 1, kBreakWrite, true);
  m.stopMask = 0xFF864;
  EXPECT_EQ(m.back() & 0x10, 0x10u);
  EXPECT_EQ(m.mem[5], 0u);  // before the DMA's write
  EXPECT_EQ(m.reg[0], 1u);
}

TEST(RunningBackwards, RunningForwardAfterABackwardRunDropsTheUndoneFuture) {
  ToyMachine m;
  m.add(0, 0, 1);
  m.add(1, 1, 1);
  m.back();          // undo R1 += 1
  m.add(2, 2, 7);    // a new future
  auto afterNew = m.snapshot();
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.reg[2], 0u);
  EXPECT_EQ(m.reg[1], 0u);  // the dropped record is not undone again
  EXPECT_EQ(m.back(), 1u);
  EXPECT_EQ(m.reg[0], 0u);
  EXPECT_EQ(m.back(), kStatusJournalExhausted);
  (void)afterNew;
}

TEST(RunningBackwards, WrappedJournalEndsCleanlyWhenItHasBeenWalkedRound) {
  ToyMachine m;
  for (int i = 0; i < 5000; ++i) m.add(0, 0, 1);  // 10000 records: the ring wrapped
  m.stopMask = 0xFF865;
  int steps = 0;
  while (m.back() == 1u) ++steps;
  EXPECT_GT(steps, 4000);
  EXPECT_LT(steps, 4096);
  EXPECT_EQ(m.reg[0], uint32_t(5000 - steps));
  // Nothing half undone, and it stays exhausted.
  EXPECT_EQ(m.back(), kStatusJournalExhausted);
  EXPECT_EQ(m.reg[0], uint32_t(5000 - steps));
}

// DMA units are looked for only where the ring may hold one: units anywhere
// in a ring that went round several times, across its chunks' edges and
// after short backward runs, are all undone in their place.
TEST(RunningBackwards, DmaUnitsAnywhereInAWrappedRingAreUndoneInTheirPlace) {
  ToyMachine m;
  std::mt19937 rng(5);
  std::vector<ToyMachine::Snapshot> states;  // before each instruction of the timeline
  for (int i = 0; i < 20000; ++i) {
    if (rng() % 400 == 0) {
      for (uint32_t k = 1 + rng() % 6; k != 0 && !states.empty(); --k) {
        ASSERT_EQ(m.back(), 1u);
        ASSERT_EQ(m.snapshot(), states.back()) << "instruction " << i;
        states.pop_back();
      }
    }
    states.push_back(m.snapshot());
    switch (rng() % 40) {
      case 0: m.dmaUnit(rng() % 64, rng()); m.add(1, 1, 1); break;
      case 1: case 2: case 3: m.store(rng() % 15, rng() % 64); break;
      case 4: case 5: case 6: m.load(rng() % 15, rng() % 64); break;
      default: m.add(rng() % 15, rng() % 15, rng() % 100); break;
    }
  }
  int steps = 0;
  while (m.back() == 1u) {
    ASSERT_EQ(m.snapshot(), states.back()) << "step " << steps;
    states.pop_back();
    ++steps;
  }
  EXPECT_GT(steps, 2500);  // the ring holds some 3,000 of these instructions
}
