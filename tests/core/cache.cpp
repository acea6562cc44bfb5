// The translated-block cache and the run loop's stop masks.

#include <algorithm>
#include <cstring>
#include <fstream>

#include "corefixture.h"
#include "support/tempdir.h"

namespace {

using Cache = testsupport::CoreFixture;

constexpr u32 kNop = 0xE1A01001;  // MOV R1, R1

void fillNops(Cache& f, u32 from, u32 count) {
  for (u32 i = 0; i < count; ++i) f.code({kNop}, from + 4 * i);
}

// Words that neither ARM nor Thumb translation ends a block at: ADDS R0, R0,
// #0 twice in Thumb, a coprocessor transfer in ARM.
void fillBothWays(Cache& f, u32 from, u32 count) {
  for (u32 i = 0; i < count; ++i) f.code({0x1C001C00}, from + 4 * i);
}

// By key, then by address; blocks of one key do not overlap.
bool indexSorted(ArmCpu& cpu) {
  for (u32 i = 1; i < cpu.blocksInUse(); ++i) {
    const TranslatedBlock* a = cpu.indexEntry(i - 1);
    const TranslatedBlock* b = cpu.indexEntry(i);
    if (a->key > b->key || (a->key == b->key && a->end > b->start)) return false;
  }
  return true;
}

TEST_F(Cache, BlocksHoldSixtyFourInstructions) {
  fillNops(*this, 0x08000000, 200);
  TranslatedBlock* b = cpu().getBlock(0x08000000);
  EXPECT_EQ(b->start, 0x08000000u);
  EXPECT_EQ(b->end, 0x08000100u);
  // Nothing runs off a block's end, even with no stop bit in the mask.
  gStopMask = 0;
  slice();
  EXPECT_GT(r(15), 0x08000100u);
}

TEST_F(Cache, CodeLimitEndsTheBlockEarly) {
  for (u32 i = 0; i < 64; ++i) code({0xE8B07FFE}, 0x08000000 + 4 * i);  // LDMIA R0!, {R1-R14}
  TranslatedBlock* b = cpu().getBlock(0x08000000);
  EXPECT_GT(b->end, 0x08000004u);
  EXPECT_LT(b->end, 0x08000100u);
  EXPECT_LE(b->codeSize, kBlockCodeLimit);
}

TEST_F(Cache, BlocksGoOnBeingTranslatedOnceTheirCodeFillsItsRoom) {
  // Blocks of the largest code, twice as many as the pool holds, which is
  // more than the room for code takes: the cache starts afresh when it is
  // full, and every block is still the one asked for and runs.
  const u32 ldm = 0xE8907FFE, count = 2 * kBlockCount;  // LDMIA R0, {R1-R14}
  for (u32 at = 0; at < 0x100 * count; at += 4) std::memcpy(mem().rom() + at, &ldm, 4);
  cpu().flushBlocks();
  u32 most = 0;
  bool startedAfresh = false;
  for (u32 i = 0; i < count; ++i) {
    const u32 a = 0x08000000 + 0x100 * i;
    TranslatedBlock* b = cpu().getBlock(a);
    ASSERT_EQ(b->start, a);
    ASSERT_LE(b->end, a + 0x100);  // cut short by its code
    startedAfresh |= cpu().blocksInUse() < most;
    most = std::max(most, cpu().blocksInUse());
  }
  EXPECT_TRUE(startedAfresh);
  EXPECT_TRUE(indexSorted(cpu()));
  const u32 last = 0x08000000 + 0x100 * (count - 1);
  set(0, 0x03000000);
  set(15, last);
  for (int k = 0; k < 20 && r(15) == last; ++k) slice();  // a long load takes steps
  EXPECT_EQ(r(15), last + 4);
  EXPECT_EQ(r(0), 0x03000000u);
}

TEST_F(Cache, StepsAndRunsAcrossABlockCutShortByItsCode) {
  // Large instructions between small ones whose exits sit at the block's
  // end: cut short by the code limit, every instruction still leaves at its
  // own place, and run through it does all of them.
  for (u32 i = 0; i < 64; i += 2) {
    code({0xE8907FFE}, 0x08000000 + 4 * i);      // LDMIA R0, {R1-R14}
    code({0xE2800004}, 0x08000000 + 4 * i + 4);  // ADD R0, R0, #4
  }
  code({0xEAFFFFFE}, 0x08000100);  // B . behind them
  auto start = [&] {
    emu->reset();
    for (u32 k = 0; k < 64; ++k) mem().poke32(0x03000000 + 4 * k, 0x1000 + k);
    set(0, 0x03000000);
  };
  start();
  TranslatedBlock* b = cpu().getBlock(0x08000000);
  ASSERT_LT(b->end, 0x08000100u);
  for (u32 i = 0; i < 64; ++i) {
    const u32 pc = 0x08000000 + 4 * i;
    if (i % 2) {
      // One step is the addition alone: the load behind it has not begun.
      slice();
      ASSERT_EQ(r(0), 0x03000000 + 4 * ((i + 1) / 2)) << i;
      ASSERT_EQ(r(1), 0x1000 + i / 2) << i;
    } else {
      // A load of several registers may take more than one step.
      for (u32 steps = 0; steps < 16 && r(15) == pc; ++steps) slice();
      ASSERT_EQ(r(1), 0x1000 + i / 2) << i;
    }
    ASSERT_EQ(r(15), pc + 4) << i;
  }
  start();
  gStopMask = 0;
  while (r(15) < 0x08000100u) slice();
  EXPECT_EQ(r(15), 0x08000100u);
  EXPECT_EQ(r(0), 0x03000000u + 128);
  EXPECT_EQ(r(1), 0x1000u + 31);
}

TEST_F(Cache, CallsBetweenStatesStayInGeneratedCode) {
  // An ARM loop calling a Thumb routine 64 bytes past its return point: the
  // two targets of BX must not take each other's place in the table that
  // computed branches look up, or every call leaves for the run loop.
  code({0xE2800001, 0xE1A0E00F, 0xE12FFF14, 0xEAFFFFFB});  // ADD R0, #1; MOV LR, PC; BX R4; B
  thumbCode({0x4770}, 0x0800004C);                          // BX LR
  set(4, 0x0800004D);
  gStopMask = kStopRunning;
  while (r(0) < 200) slice();
  // The run loop marks each block it enters; after the first calls neither
  // routine is entered through it again.
  set(16, cpu().cpsr() & ~0x20u);  // the ARM block, whichever state the run stopped in
  EXPECT_LT(cpu().getBlock(0x0800000C)->lastEntered, 20u);
}

TEST_F(Cache, BlocksOfDifferentKeysCoexist) {
  // The same words as ARM and as Thumb code: switching back and forth
  // translates each once.
  fillBothWays(*this, 0x08000000, 64);
  const u32 cpsr = cpu().cpsr();
  TranslatedBlock* arm = cpu().getBlock(0x08000000);
  set(16, cpsr | 0x20);  // Thumb
  TranslatedBlock* thumb = cpu().getBlock(0x08000000);
  EXPECT_NE(arm, thumb);
  EXPECT_EQ(thumb->key, (cpsr | 0x20) & 63);
  EXPECT_EQ(thumb->end, 0x08000080u);
  set(16, cpsr);
  EXPECT_EQ(cpu().getBlock(0x08000000), arm);
  EXPECT_EQ(arm->end, 0x08000100u);
  EXPECT_EQ(cpu().blocksInUse(), 2u);
}

TEST_F(Cache, BlocksEndWhereControlCannotFallThrough) {
  struct Case {
    u32 op;
    bool ends;
  };
  const Case arm[] = {
      {0xEA000010, true},  {0xEB000010, true},  {0x0A000010, false},  // B, BL, BEQ
      {0xE12FFF1E, true},  {0x112FFF1E, false},                       // BX LR, BXNE LR
      {0xE1A0F00E, true},  {0xE1B0F00E, true},  {0xE1A0E00F, false},  // MOV PC, LR; MOVS PC, LR; MOV LR, PC
      {0xE59FF004, true},  {0xE59F0004, false},                       // LDR PC, [PC, #4]; LDR R0, ...
      {0xE8BD8001, true},  {0xE8BD0001, false}, {0xE92D8000, false},  // LDM with PC; without; STM with PC
      {0xEF000001, true},  {0xE15F000F, false},                       // SWI; CMP PC, PC
  };
  for (const Case& c : arm) {
    SCOPED_TRACE(testing::Message() << std::hex << c.op);
    SetUp();
    fillNops(*this, 0x08000000, 64);
    code({c.op}, 0x08000010);
    EXPECT_EQ(cpu().getBlock(0x08000000)->end, c.ends ? 0x08000014u : 0x08000100u);
  }
  const Case thumb[] = {
      {0xE7FE, true},  {0xD0FE, false}, {0xDF01, true},  // B, BEQ, SWI
      {0x4770, true},  {0x46F7, true},  {0x4487, true},  // BX LR, MOV PC, LR, ADD PC, R0
      {0x45F0, false}, {0xBD01, true},  {0xBC01, false},  // CMP R8, LR; POP {R0, PC}; POP {R0}
      {0xF800, true},  {0xF000, false},                  // BL second half, first half
  };
  for (const Case& c : thumb) {
    SCOPED_TRACE(testing::Message() << std::hex << c.op);
    SetUp();
    for (u32 i = 0; i < 64; ++i) thumbCode({0x1C00}, 0x08000000 + 2 * i);  // ADDS R0, R0, #0
    thumbCode({u16(c.op)}, 0x08000010);
    set(16, 0x30);
    EXPECT_EQ(cpu().getBlock(0x08000000)->end, c.ends ? 0x08000012u : 0x08000080u);
  }
}

TEST_F(Cache, NewBlockReachingTheNextDropsIt) {
  fillNops(*this, 0x08000000, 200);
  cpu().getBlock(0x08000100);
  cpu().getBlock(0x08000200);
  EXPECT_EQ(cpu().blocksInUse(), 2u);
  TranslatedBlock* b = cpu().getBlock(0x08000040);  // runs to 0x08000140, into the first
  EXPECT_EQ(b->end, 0x08000140u);
  EXPECT_EQ(cpu().blocksInUse(), 2u);
  EXPECT_TRUE(indexSorted(cpu()));
  EXPECT_EQ(cpu().indexEntry(1)->start, 0x08000200u);
}

TEST_F(Cache, ANewBlockDropsOnlyTheBlocksOfItsOwnKeyItReaches) {
  fillBothWays(*this, 0x08000000, 200);
  set(16, 0x10);
  cpu().getBlock(0x08000040);  // ARM, to 0x08000140
  set(16, 0x30);
  TranslatedBlock* thumb = cpu().getBlock(0x08000040);  // Thumb, to 0x080000C0
  set(16, 0x10);
  TranslatedBlock* b = cpu().getBlock(0x08000000);  // ARM, to 0x08000100: into the first ARM block
  EXPECT_EQ(b->end, 0x08000100u);
  EXPECT_EQ(cpu().blocksInUse(), 2u);
  u32 position = 0;
  EXPECT_EQ(cpu().findBlock(0x080000D0, 0x10, position), b);
  EXPECT_EQ(cpu().findBlock(0x08000050, 0x30, position), thumb);
}

TEST_F(Cache, LruVictimIsTheOldestEntered) {
  // Each block starts at a branch to itself; blocks are translated from the
  // highest address down so none reaches an existing one.
  const u32 n = kBlockCount;
  for (u32 i = 0; i <= n; ++i) code({0xEAFFFFFE}, 0x08000000 + 0x400 * i);
  for (u32 i = n; i-- > 0;) {
    u32 a = 0x08000000 + 0x400 * i;
    cpu().touchBlock(cpu().getBlock(a));
  }
  ASSERT_EQ(cpu().blocksInUse(), n);
  // The least recently entered is the last of the loop's first ones: the
  // block at the highest address.
  TranslatedBlock* oldest = cpu().oldestBlock();
  u32 oldestStart = oldest->start;
  EXPECT_EQ(oldestStart, 0x08000000u + 0x400 * (n - 1));
  TranslatedBlock* fresh = cpu().getBlock(0x08000000 + 0x400 * n);
  if constexpr (!variant::kOlder) {
    EXPECT_EQ(fresh, oldest);
    EXPECT_EQ(cpu().blocksInUse(), n);
    EXPECT_TRUE(indexSorted(cpu()));
    u32 pos;
    EXPECT_EQ(cpu().findBlock(oldestStart, 0, pos), nullptr);
  } else {
    EXPECT_NE(fresh, nullptr);
  }
  EXPECT_EQ(fresh->start, 0x08000000u + 0x400 * n);
}

TEST_F(Cache, NewBlockStartingAtANeighboursEndKeepsTheIndexSorted) {
  if constexpr (variant::kOlder) GTEST_SKIP();
  // Fill the pool with blocks far apart, then evict into a gap that begins
  // exactly at a neighbour's end.
  const u32 n = kBlockCount;
  for (u32 i = 0; i < n; ++i) code({0xEAFFFFFE}, 0x08000000 + 0x400 * i);
  code({0xEAFFFFFE}, 0x08000004 + 0x400 * 5);
  for (u32 i = n; i-- > 0;) {
    // Blocks of one B . and 63 zero words: each ends 0x100 after its start.
    cpu().touchBlock(cpu().getBlock(0x08000000 + 0x400 * i));
  }
  TranslatedBlock* b5 = cpu().getBlock(0x08000000 + 0x400 * 5);
  cpu().touchBlock(b5);
  cpu().getBlock(b5->end);
  EXPECT_TRUE(indexSorted(cpu()));
}

TEST_F(Cache, LinkedLoopRunsInsideItsBlock) {
  code({0xE2500001, 0x1AFFFFFD, 0xEAFFFFFE});  // SUBS R0, #1; BNE .-4; B .
  set(0, 50);
  gStopMask = kStopRunning;
  for (int i = 0; i < 20 && r(0) != 0; ++i) slice();
  EXPECT_EQ(r(0), 0u);
  EXPECT_EQ(r(15), 0x08000008u);
  // Single stepping still stops after every instruction of the loop.
  set(0, 3);
  set(15, 0x08000000);
  gStopMask = kStopStep;
  slice();
  EXPECT_EQ(r(0), 2u);
  EXPECT_EQ(r(15), 0x08000004u);
  slice();
  EXPECT_EQ(r(15), 0x08000000u);
}

using RunLoop = testsupport::CoreFixture;

// Ranges near one another share a switch to writable; each range, near or
// far, must be writable while the writes are open and run once they close.
TEST(CodeWrites, EveryRangeIsWritableWhileOpenAndRunsAfter) {
  CodeBuffer code(64 * 4096);
  u8* const sites[] = {code.data() + 40 * 4096 + 100, code.data() + 4096 - 2, code.data() + 3 * 4096,
                       code.data() + 8, code.data() + 63 * 4096 + 4000};
  {
    CodeBuffer::Writes writes(code);
    for (u8* p : sites) writes.add(p, 3);
    writes.open();
    for (u8* p : sites) std::memcpy(p, "\x31\xC0\xC3", 3);  // xor eax, eax; ret
  }
  for (u8* p : sites) {
    EXPECT_EQ(std::memcmp(p, "\x31\xC0\xC3", 3), 0);
    EXPECT_EQ(reinterpret_cast<int (*)()>(p)(), 0);
  }
}

TEST_F(RunLoop, IrqEntryAndMasking) {
  code({kNop, kNop, kNop});
  set(16, 0x1F);  // System, I clear
  cpu().raise(8);
  slice();
  EXPECT_EQ(cpu().mode(), 0x12u);
  EXPECT_EQ(r(14), 0x08000004u);
  EXPECT_EQ(r(17), 0x1Fu);
  EXPECT_EQ(r(15) - 4, 0x18u);  // entered at the vector, then one instruction ran
  EXPECT_NE(cpu().cpsr() & 0x80, 0u);

  SetUp();
  code({kNop, kNop});
  set(16, 0x9F);  // I set: stays pending
  cpu().raise(8);
  slice();
  EXPECT_EQ(cpu().mode(), 0x1Fu);
  EXPECT_EQ(cpu().pendingExceptions, 8u);
}

TEST_F(RunLoop, OneExceptionPerRound) {
  code({kNop, kNop});
  set(16, 0x1F);
  cpu().raise(8 | 32);  // IRQ and SWI: IRQ (the lower bit) first
  gStopMask = kStopStep;
  slice();
  EXPECT_EQ(cpu().mode(), 0x12u);
  EXPECT_EQ(cpu().pendingExceptions, 32u);
}

TEST_F(RunLoop, RunToStopsOnlyAtItsAddress) {
  fillNops(*this, 0x08000000, 8);
  gStopMask = kStopRunTo;
  gRunToAddress = 0x08000008;
  EXPECT_EQ(slice() & kStopTest, 0u);
  EXPECT_EQ(r(15), 0x08000004u);
  EXPECT_EQ(slice() & kStopTest, 0u);
  EXPECT_NE(slice() & 0x2, 0u);
  EXPECT_EQ(r(15), 0x0800000Cu);
  // Running: no stop after an instruction.
  gStopMask = kStopRunning;
  EXPECT_EQ(slice() & kStopTest, 0u);
}

TEST_F(RunLoop, DisplayBoundsTheBudget) {
  code({0xEAFFFFFE});
  gStopMask = kStopRunning;
  gVideoCycles = 100;
  u32 before = gCycleCount;
  slice();
  EXPECT_GE(gCycleCount - before, 100u);
  EXPECT_LT(gCycleCount - before, 130u);
  // Far from the next event the slice takes 2047 cycles, and the countdown
  // still moves by what it used.
  gVideoCycles = 65535;
  before = gCycleCount;
  slice();
  EXPECT_GE(gCycleCount - before, 2047u);
  EXPECT_EQ(gVideoCycles, 65535 - i32(gCycleCount - before));
}

TEST_F(RunLoop, OverspentDisplayBudgetIsClamped) {
  code({0xE2800001, 0xE2800001});
  gStopMask = kStopRunning;
  gVideoCycles = -100000;  // far past the event: would not fit the register's budget bits
  slice();
  EXPECT_EQ(r(0), 1u);  // one instruction, then the spent budget ends the slice
  EXPECT_NE(gRunStatus & 0x80000000, 0u);
  gVideoCycles = 65535;
}

TEST_F(RunLoop, ExecuteProbeAndTheOneShotSkip) {
  fillNops(*this, 0x08000000, 8);
  emu->breakpoints().setBits(0x08000004, 4, 1, kBreakExecute, true);
  gStopMask = kStopRunning;
  u32 s = slice();
  EXPECT_NE(s & 0x20, 0u);
  EXPECT_EQ(r(15), 0x08000004u);
  // The trap handler armed the skip for this address: the next entry runs past the probe.
  EXPECT_TRUE(gSkipBreakpointOnce.armed);
  gStopMask = kStopStep;
  slice();
  EXPECT_EQ(r(15), 0x08000008u);
  // A mask without 0x20 passes the probe instead of hitting it forever.
  set(15, 0x08000004);
  gStopMask = kStopStep & ~0x20u;
  slice();
  EXPECT_EQ(r(15), 0x08000008u);
  gStopMask = kStopStep;
  // Armed for another address, the skip does not apply here.
  set(15, 0x08000004);
  gSkipBreakpointOnce = SkipBreakpointOnce{true, 0x08000000};
  EXPECT_NE(slice() & 0x20, 0u);
  EXPECT_EQ(r(15), 0x08000004u);
}

}  // namespace

namespace {

using Timers = testsupport::CoreFixture;

// A guest write to a timer's control word regenerates the timer routine
// (through the write trap); every instruction then advances the timer, and
// its overflow ends the slice with 0x4 and requests the interrupt.
TEST_F(Timers, GuestStartsATimerThatInterrupts) {
  // mov r0, #0x04000000; add r0, #0x100; ldr r2, =0xFFF0 (from 0x0800001C);
  // strh r2, [r0]: the reload value; mov r1, #0xC0; strh r1, [r0, #2]: on
  code({0xE3A00301, 0xE2800C01, 0xE59F200C, 0xE1C020B0, 0xE3A010C0, 0xE1C010B2, 0xEAFFFFFE, 0x0000FFF0});
  mem().poke16(0x04000200, 8);       // IE: timer 0
  mem().poke16(0x04000208, 1);       // IME
  set(16, 0x9F);                     // I set: the IRQ stays pending
  gStopMask = kStopRunning;
  u32 status = 0;
  for (int i = 0; i < 10 && !(status & 0x4); ++i) status = slice();
  EXPECT_NE(status & 0x4, 0u);
  EXPECT_EQ(mem().peek16(0x04000202) & 8, 8u);
  EXPECT_TRUE(cpu().irqLine());  // entered once I is clear
  EXPECT_EQ(emu->arena().pendingTimerInterrupts, 0u);
  EXPECT_GE(mem().peek16(0x04000100), 0xFFF0u);  // started again from the reload value
}

}  // namespace

namespace {

using Backward = testsupport::CoreFixture;

// The records generated code writes are what the backward step undoes.
TEST_F(Backward, StepsBackOverTranslatedInstructions) {
  code({0xE2800001, 0xE5810000, 0xEA000000, 0xE1A00000, 0xE2800001});  // ADD; STR; B .+8; ...; ADD
  set(1, 0x02000000);
  mem().poke32(0x02000000, 77);
  gStopMask = kStopStep;
  for (int i = 0; i < 4; ++i) slice();
  EXPECT_EQ(r(0), 2u);
  EXPECT_EQ(r(15), 0x08000014u);
  for (int i = 0; i < 4; ++i) emu->stepBack();
  EXPECT_EQ(r(0), 0u);
  EXPECT_EQ(r(15), 0x08000000u);
  EXPECT_EQ(mem().peek32(0x02000000), 77u);
  // From the start of the journal there is nothing further.
  emu->stepBack();
  EXPECT_NE(gRunStatus & 0x40000, 0u);
}

}  // namespace
