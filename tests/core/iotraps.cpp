// The built-in I/O traps on the emulator, driven by guest code.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "emufixture.h"

using testsupport::GuestFixture;

namespace {

struct IoTraps : GuestFixture {
  void SetUp() override {
    GuestFixture::SetUp();
    load("iotraps");
  }
  void bits(u32 address, const std::vector<int>& stream) {
    for (size_t i = 0; i < stream.size(); ++i) emu->memory().poke16(address + 2 * u32(i), u16(stream[i]));
  }
};

void append(std::vector<int>& out, uint64_t value, int count) {
  for (int i = count - 1; i >= 0; --i) out.push_back(int(value >> i) & 1);
}

}  // namespace

TEST_F(IoTraps, IfAcknowledgeTimerStartAndEepromRoundTripThroughDma) {
  const uint64_t data = 0x0123456789ABCDEFull;
  std::vector<int> write = {1, 0};
  append(write, 5, 6);
  append(write, data, 64);
  write.push_back(0);
  bits(0x02000000, write);
  std::vector<int> read = {1, 1};
  append(read, 5, 6);
  read.push_back(0);
  bits(0x02000200, read);
  cpu().interruptFlags = 3;
  emu->memory().poke16(0x04000202, 3);

  ASSERT_TRUE(runTo(0x08000010));
  EXPECT_EQ(emu->memory().peek16(0x04000202), 2);  // writing 1 acknowledged V-blank
  EXPECT_EQ(cpu().interruptFlags, 2u);

  ASSERT_TRUE(runTo(0x0800001C));
  // Started with the store's own cycles: (ROM 3 + I/O 1) + 3.
  EXPECT_EQ(emu->memory().peek16(0x04000100), 7);
  u16 before = emu->memory().peek16(0x04000100);
  step();
  EXPECT_GT(emu->memory().peek16(0x04000100), before);  // the regenerated routine counts

  ASSERT_TRUE(runTo(0x08000060, 5000));
  for (int i = 0; i < 200 && (emu->memory().peek32(0x040000DC) >> 31); ++i) step();  // the reply's transfer
  uint64_t got = 0;
  for (u32 i = 4; i < 68; ++i) got = got << 1 | (emu->memory().peek16(0x03000000 + 2 * i) & 1);
  EXPECT_EQ(got, data);
  EXPECT_EQ(emu->memory().peek16(0x0D000000) & 1, 1);  // ready
  EXPECT_EQ(emu->memory().peek32(0x040000DC) >> 31, 0u);
}

TEST_F(IoTraps, DmaStartsInTheSliceAfterItsControlWrite) {
  // The control store at 0x08000034 ends its slice through the write trap.
  ASSERT_TRUE(runTo(0x08000038));
  EXPECT_EQ(emu->dma().remaining[3], 0u);
  EXPECT_EQ(gRunStatus & 0x10, 0u);  // a built-in trap: no stop
  step();  // the next slice moves the first unit before the processor runs
  EXPECT_EQ(emu->dma().remaining[3], 72u);
  EXPECT_EQ(cpu().pc(), 0x08000038u);
}

TEST(DmaOnTheEmulator, LongTransferAdvancesTheDisplayByItsCycles) {
  auto emu = std::make_unique<Emulator>();
  std::memset(emu->memory().bios(), 0, 0x4000);
  emu->reset();
  const u32 word = 0xEAFFFFFE;  // b . at the reset address
  std::memcpy(emu->memory().rom(), &word, 4);
  emu->cpu().flushBlocks();
  gStopMask = kStopRunning;
  gVideoCycles = 100;
  const u32 lineBefore = emu->memory().peek16(0x04000006);
  // 10000 halfwords from EWRAM to EWRAM: 6 cycles each, 60000 cycles, about
  // 49 lines of 1232 cycles (one line per event would be 5000 lines).
  emu->memory().poke32(0x040000D4, 0x02000000);
  emu->memory().poke32(0x040000D8, 0x02010000);
  emu->memory().poke32(0x040000DC, 0x80000000 | 10000);
  const u32 cyclesBefore = gCycleCount;
  emu->runSlice();
  const u32 lines = (emu->memory().peek16(0x04000006) + 229 - lineBefore) % 229;
  EXPECT_GE(lines, 47u);
  EXPECT_LE(lines, 51u);
  EXPECT_GE(gCycleCount - cyclesBefore, 60000u);
  EXPECT_LE(gCycleCount - cyclesBefore, 60000u + 2047 + 8);
  EXPECT_EQ(emu->memory().peek32(0x040000DC) >> 31, 0u);
}
