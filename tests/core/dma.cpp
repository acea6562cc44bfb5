#include "core/dma.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "trapfixture.h"

namespace {

// Guest memory with the console's regions, the trap fixture's bitmaps and
// I/O area, a journal, a one-event-per-line display and counting hooks.
struct FakeBus : DmaBus {
  testsupport::TrapFixtureMemory traps;
  std::vector<uint8_t> area[16];
  std::vector<std::pair<uint32_t, uint32_t>> records;
  std::vector<uint32_t> interrupts;
  int ticks = 0, timerRequests = 0;
  uint32_t timerRaiseAfter = 0xFFFFFFFF, timerCycles = 0;
  int32_t videoCycles = 65535, budget = 0;
  uint32_t cycleCount = 0, runStatus = 0, stopMask = 0xFF864;
  DmaClock clock{&videoCycles, &budget, &cycleCount, &runStatus, &stopMask};
  Dma dma;

  FakeBus() {
    for (int r = 0; r < 16; ++r)
      if (r != 4 && testsupport::TrapFixtureMemory::kSize[r]) area[r].assign(testsupport::TrapFixtureMemory::kSize[r], 0);
  }
  uint8_t* at(uint32_t a, uint32_t width, bool write) {
    uint32_t r = a >> 24;
    if (r > 15) return nullptr;
    uint32_t size = write ? traps.map.writeSize[r] : traps.map.readSize[r];
    uint32_t off = a & traps.map.mask[r];
    if (off + width > size) return nullptr;
    return r == 4 ? traps.io + off : area[(r >= 8 && r <= 13) ? 8 + (r & 1) : r].data() + off;
  }
  uint16_t peek16(uint32_t a) override {
    uint16_t v = 0xFFFF;
    if (uint8_t* p = at(a, 2, false)) std::memcpy(&v, p, 2);
    return v;
  }
  uint32_t peek32(uint32_t a) override {
    uint32_t v = 0xFFFFFFFF;
    if (uint8_t* p = at(a, 4, false)) std::memcpy(&v, p, 4);
    return v;
  }
  void poke16(uint32_t a, uint16_t v) override {
    if (uint8_t* p = at(a, 2, true)) std::memcpy(p, &v, 2);
  }
  void poke32(uint32_t a, uint32_t v) override {
    if (uint8_t* p = at(a, 4, true)) std::memcpy(p, &v, 4);
  }
  uint32_t wait16(uint32_t a) override { return traps.wait16[(a >> 24) > 15 ? 15 : a >> 24]; }
  uint32_t wait32(uint32_t a) override {
    static const uint32_t k[16] = {6, 4, 6, 1, 1, 2, 2, 1, 6, 6, 6, 6, 6, 6, 6, 4};
    return k[(a >> 24) > 15 ? 15 : a >> 24] << 20;
  }
  bool readTrap(uint32_t a) override { return testTrapBit(traps.map, 0, a); }
  bool writeTrap(uint32_t a) override { return testTrapBit(traps.map, 1, a); }
  void journal(uint32_t f, uint32_t s) override { records.push_back({f, s}); }
  void journalGuest(uint32_t a) override { guestRecords.push_back(a); }
  std::vector<uint32_t> guestRecords;
  uint32_t runTimers(uint32_t cycles) override {
    timerCycles += cycles;
    if (timerCycles >= timerRaiseAfter) {
      timerRaiseAfter = 0xFFFFFFFF;
      return 4;
    }
    return 0;
  }
  void requestTimerInterrupts() override { ++timerRequests; }
  void requestInterrupt(uint32_t bits) override { interrupts.push_back(bits); }
  void videoTick() override {
    ++ticks;
    videoCycles += 1232;
    dma.run(2, *this, clock);  // H-blank starts inside the transfer
  }
  uint32_t pc() override { return 0x08000000; }
  void accessTraps(uint32_t pc, uint32_t a, uint32_t& status) override {
    handleAccessTraps(traps.ctx, pc, a, status);
  }

  void channel(uint32_t n, uint32_t sad, uint32_t dad, uint32_t count, uint32_t control) {
    poke32(kDmaRegisters + 12 * n, sad);
    poke32(kDmaRegisters + 12 * n + 4, dad);
    poke32(kDmaRegisters + 12 * n + 8, control << 16 | count);
  }
  uint32_t run(uint32_t timing = 0) { return dma.run(timing, *this, clock); }
};

constexpr uint32_t kEnable = 0x8000, kIrq = 0x4000, kWord = 0x400, kRepeat = 0x200;
constexpr uint32_t kVblank = 0x1000, kHblank = 0x2000;

}  // namespace

TEST(Dma, ImmediateWordTransferMovesDataWritesBackAndInterrupts) {
  FakeBus b;
  for (uint32_t i = 0; i < 4; ++i) b.poke32(0x03000000 + 4 * i, 0x11111111 * (i + 1));
  b.channel(1, 0x03000000, 0x06000010, 4, kEnable | kIrq | kWord);
  EXPECT_EQ(b.run(), 1u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(b.peek32(0x06000010 + 4 * i), 0x11111111 * (i + 1));
  EXPECT_EQ(b.peek32(0x040000BC), 0x03000010u);  // SAD past the data
  EXPECT_EQ(b.peek32(0x040000C0), 0x06000020u);  // DAD too (channels 1-3)
  EXPECT_EQ(b.peek32(0x040000C4) >> 31, 0u);     // enable cleared
  ASSERT_EQ(b.interrupts.size(), 1u);
  EXPECT_EQ(b.interrupts[0], 0x200u);
  // 4 units of IWRAM (1) + VRAM (2) cycles.
  EXPECT_EQ(b.cycleCount, 12u);
  // Each unit journaled as {3, channel}, {word, old value}; the register
  // write-backs (DAD, SAD, control) as the registers' own words.
  ASSERT_EQ(b.records.size(), 8u);
  EXPECT_EQ(b.guestRecords, (std::vector<uint32_t>{0x040000C0u, 0x040000BCu, 0x040000C4u}));
  EXPECT_EQ(b.records[0], std::make_pair(3u, 1u));
  EXPECT_EQ(b.records[1], std::make_pair(0x06000010u, 0u));
  EXPECT_EQ(b.records[7].first, 0x0600001Cu);
}

TEST(Dma, ZeroCountIsTheLargestAndChannelZeroKeepsItsDad) {
  // A count of 0 moves 0x4000 units on channels 0-2, 0x10000 on channel 3.
  for (uint32_t n : {1u, 3u}) {
    FakeBus b;
    b.channel(n, 0x02000000, 0x02010000, 0, kEnable);
    EXPECT_EQ(b.run(), 1u);
    const uint32_t units = n == 3 ? 0x10000 : 0x4000;
    EXPECT_EQ(b.records.size(), 2 * units) << "channel " << n;
    EXPECT_EQ(b.peek32(kDmaRegisters + 12 * n + 8) >> 31, 0u);
  }
  FakeBus b;
  b.channel(0, 0x02000000, 0x02000100, 2, kEnable);
  b.run();
  EXPECT_EQ(b.peek32(0x040000B4), 0x02000100u);
  EXPECT_EQ(b.peek32(0x040000B0), 0x02000004u);
}

TEST(Dma, ARepeatGoesOnFromWhereTheLastTransferStood) {
  // H-blank repeat, one unit a time, destination incrementing: channel 0
  // (whose DAD is not written back) fills consecutive words; destination
  // mode 3 starts again at DAD each time.
  for (uint32_t destinationMode : {0u, 3u}) {
    FakeBus b;
    for (uint32_t i = 0; i < 4; ++i) b.poke32(0x02000000 + 4 * i, 100 + i);
    b.channel(0, 0x02000000, 0x03000000, 1, kEnable | kHblank | kRepeat | kWord | destinationMode << 5);
    for (int line = 0; line < 4; ++line) {
      b.dma.run(2, b, b.clock);  // H-blank: latched
      b.run();                   // and moved
    }
    for (uint32_t i = 0; i < 4; ++i) {
      const uint32_t expected = destinationMode == 3 ? (i == 0 ? 103u : 0u) : 100 + i;
      EXPECT_EQ(b.peek32(0x03000000 + 4 * i), expected) << "mode " << destinationMode << " word " << i;
    }
  }
}

TEST(Dma, EveryAddressControlAndBothUnits) {
  struct Case {
    uint32_t control, unitBytes;
    int32_t sourceStep, destStep;
  };
  const Case cases[] = {
      {0x0000, 2, 2, 2},    {0x0020, 2, 2, -2},  {0x0040, 2, 2, 0},    {0x0060, 2, 2, 2},
      {0x0080, 2, -2, 2},   {0x0100, 2, 0, 2},   {0x0180, 2, 0, 2},    {0x0400, 4, 4, 4},
      {0x04A0, 4, -4, -4},  {0x0540, 4, 0, 0},
  };
  for (const Case& c : cases) {
    FakeBus b;
    for (uint32_t i = 0; i < 64; ++i) b.poke16(0x02000000 + 2 * i, uint16_t(0x100 + i));
    b.channel(2, 0x02000040, 0x03000040, 3, kEnable | c.control);
    b.run();
    for (int i = c.destStep == 0 ? 2 : 0; i < 3; ++i) {  // a fixed destination keeps the last unit
      uint32_t s = 0x02000040 + c.sourceStep * i, d = 0x03000040 + c.destStep * i;
      if (c.unitBytes == 2)
        EXPECT_EQ(b.peek16(d), b.peek16(s)) << std::hex << c.control << " unit " << i;
      else
        EXPECT_EQ(b.peek32(d), b.peek32(s)) << std::hex << c.control << " unit " << i;
    }
    EXPECT_EQ(b.peek32(0x040000C8), uint32_t(0x02000040 + 3 * c.sourceStep)) << std::hex << c.control;
    EXPECT_EQ(b.peek32(0x040000CC), uint32_t(0x03000040 + 3 * c.destStep)) << std::hex << c.control;
  }
}

TEST(Dma, OddSourceRoundsDownToTheUnit) {
  FakeBus b;
  b.poke16(0x02000000, 0xBEEF);
  b.channel(3, 0x02000001, 0x02000101, 1, kEnable);
  b.run();
  EXPECT_EQ(b.peek16(0x02000100), 0xBEEF);
}

TEST(Dma, HblankAndVblankChannelsWaitForTheirStartThenTransfer) {
  FakeBus b;
  b.poke16(0x02000000, 0x1234);
  b.channel(1, 0x02000000, 0x02000200, 1, kEnable | kHblank);
  b.channel(2, 0x02000000, 0x02000300, 1, kEnable | kVblank);
  b.run();
  EXPECT_EQ(b.peek16(0x02000200), 0);  // still in H-draw
  b.run(1);                            // V-blank begins: latches channel 2 only
  EXPECT_EQ(b.peek16(0x02000300), 0);  // latched, moves on the next immediate call
  EXPECT_EQ(b.dma.remaining[1], 0u);
  EXPECT_EQ(b.dma.remaining[2], 1u);
  b.run(2);
  EXPECT_EQ(b.dma.remaining[1], 1u);
  b.run();
  EXPECT_EQ(b.peek16(0x02000200), 0x1234);
  EXPECT_EQ(b.peek16(0x02000300), 0x1234);
}

TEST(Dma, RepeatKeepsTheChannelEnabledAndLatchesAgainFromTheWrittenBackRegisters) {
  FakeBus b;
  for (uint32_t i = 0; i < 4; ++i) b.poke16(0x02000000 + 2 * i, uint16_t(i + 1));
  b.channel(1, 0x02000000, 0x03000000, 2, kEnable | kHblank | kRepeat);
  b.run(2);
  b.run();
  EXPECT_NE(b.peek32(0x040000C4) >> 31, 0u);
  b.run();
  EXPECT_EQ(b.peek16(0x03000004), 0);  // no H-blank yet
  b.run(2);
  b.run();
  EXPECT_EQ(b.peek16(0x03000004), 3);
  EXPECT_EQ(b.peek16(0x03000006), 4);
}

TEST(Dma, WriteBreakpointStopsAfterItsUnitAndTheNextCallGoesOn) {
  FakeBus b;
  for (uint32_t i = 0; i < 4; ++i) b.poke16(0x02000000 + 2 * i, uint16_t(0xA0 + i));
  b.traps.table.setBits(0x03000004, 2, 1, kBreakWrite, true);
  b.channel(3, 0x02000000, 0x03000000, 4, kEnable);
  EXPECT_EQ(b.run(), 0u);
  EXPECT_EQ(b.runStatus & 0x10, 0x10u);
  EXPECT_EQ(b.peek16(0x03000004), 0xA2);  // the unit itself was written
  EXPECT_EQ(b.peek16(0x03000006), 0);
  EXPECT_EQ(b.dma.remaining[3], 1u);
  b.run();
  EXPECT_EQ(b.peek16(0x03000006), 0xA3);
}

TEST(Dma, SingleStepMaskMovesOneUnitPerCall) {
  FakeBus b;
  b.stopMask = 0xFF865;
  b.channel(0, 0x02000000, 0x02000100, 3, kEnable);
  EXPECT_EQ(b.run(), 0u);
  EXPECT_EQ(b.dma.remaining[0], 2u);
  b.run();
  b.run();
  EXPECT_EQ(b.dma.remaining[0], 0u);
}

TEST(Dma, LongTransferAdvancesTheDisplayByItsCyclesNotByItsUnits) {
  FakeBus b;
  b.videoCycles = 100;
  b.channel(3, 0x02000000, 0x02010000, 10000, kEnable);  // 6 cycles a unit
  EXPECT_EQ(b.run(), 1u);
  EXPECT_EQ(b.cycleCount, 60000u);
  // One event after 100 cycles, then one per 1232.
  int expected = 1 + (60000 - 100) / 1232;
  EXPECT_GE(b.ticks, expected);
  EXPECT_LE(b.ticks, expected + 1);
  EXPECT_GT(b.videoCycles, 0);
}

TEST(Dma, TimerInterruptDuringATransferIsRequested) {
  FakeBus b;
  b.timerRaiseAfter = 30;
  b.channel(3, 0x02000000, 0x02000100, 20, kEnable);
  b.run();
  EXPECT_EQ(b.timerRequests, 1);
  EXPECT_EQ(b.timerCycles, 120u);
}

TEST(Dma, WritesToReadOnlyOrUnmappedPlacesAreDroppedWithoutHarm) {
  FakeBus b;
  b.channel(3, 0x10000000, 0x08000000, 4, kEnable | kWord);  // unmapped source, ROM destination
  EXPECT_EQ(b.run(), 1u);
  EXPECT_EQ(b.peek32(0x08000000), 0u);
  b.channel(3, 0x02000000, 0xFF000000, 4, kEnable | kWord);  // no region at all
  EXPECT_EQ(b.run(), 1u);
  b.channel(3, 0x01000000, 0x0F000000, 4, kEnable);  // regions without bitmaps
  EXPECT_EQ(b.run(), 1u);
}

TEST(Dma, WriteToADmaControlRegisterIsABuiltInTrapThatPausesButDoesNotStop) {
  FakeBus b;
  b.poke32(0x02000000, (kEnable << 16) | 1);
  b.poke32(0x040000B0, 0x02000010);
  b.poke32(0x040000B4, 0x02000020);
  // Channel 3 writes channel 0's control word: the write trap pauses the call.
  b.channel(3, 0x02000000, 0x040000B8, 1, kEnable | kWord);
  EXPECT_EQ(b.run(), 0u);
  EXPECT_EQ(b.runStatus, 0u);
  b.poke16(0x02000010, 0x4321);
  EXPECT_EQ(b.run(), 1u);  // the next call starts channel 0
  EXPECT_EQ(b.peek16(0x02000020), 0x4321);
}
