// Running backwards on the emulator: whatever a mixed program does forward,
// the journal undoes exactly.

#include <gtest/gtest.h>

#include <cstring>

#include "emufixture.h"

using testsupport::GuestFixture;
using testsupport::GuestSnapshot;
using testsupport::firstDifference;

// Not in an anonymous namespace: the older build's tests include this file.
struct Backwards : GuestFixture {
  void SetUp() override {
    GuestFixture::SetUp();
    load("backmix");
  }
};

TEST_F(Backwards, SingleStepsForwardThenBackRestoreEveryRegisterAndAllMemory) {
  const GuestSnapshot start = snapshot();
  std::vector<GuestSnapshot> seen;
  bool thumbSeen = false;
  const int kSteps = 700;
  for (int i = 0; i < kSteps; ++i) {
    step();
    thumbSeen |= cpu().isThumb();
  }
  EXPECT_TRUE(thumbSeen);
  bool dmaWrote = false;  // the program's DMA copies into EWRAM, which nothing else writes
  for (u32 a = 0x02000000; a < 0x02004000 && !dmaWrote; a += 4) dmaWrote = emu->memory().peek32(a) != 0;
  EXPECT_TRUE(dmaWrote);
  EXPECT_NE(snapshot(), start);
  gStopMask = kStopStep;
  u32 status = 0;
  for (int i = 0; i < kSteps; ++i) status = back();
  GuestSnapshot end = snapshot();
  EXPECT_TRUE(end == start) << firstDifference(end, start);
  EXPECT_EQ(back(), 0x40000u);  // nothing older than the start
  (void)status;
}

TEST_F(Backwards, SlicesForwardThenBackRestoreTheStart) {
  const GuestSnapshot start = snapshot();
  gStopMask = kStopRunning;
  for (int i = 0; i < 3; ++i) step();
  EXPECT_NE(snapshot(), start);
  u32 status = 0;
  for (int i = 0; i < 200 && status != 0x40000u; ++i) status = back();
  EXPECT_EQ(status, 0x40000u);
  GuestSnapshot end = snapshot();
  EXPECT_TRUE(end == start) << firstDifference(end, start);
}

TEST_F(Backwards, SteppingBackThenForwardAgainRetracesTheSameStates) {
  for (int i = 0; i < 120; ++i) step();
  const GuestSnapshot mid = snapshot();
  for (int i = 0; i < 40; ++i) back();
  EXPECT_NE(snapshot(), mid);
  // The undone future is dropped and written anew; the program is
  // deterministic, so it comes back to the same state.  (A DMA unit is a
  // forward step of its own but is undone with the instruction after it, so
  // the step counts differ.)
  bool again = false;
  for (int i = 0; i < 120 && !again; ++i) {
    step();
    again = snapshot() == mid;
  }
  EXPECT_TRUE(again);
  for (int i = 0; i < 160 && back() != 0x40000u; ++i) {
  }
  EXPECT_EQ(cpu().pc(), 0x08000000u);
}

TEST_F(Backwards, BreakpointsStopARunningBackwardSlice) {
  // Execute breakpoint on the first instruction of the loop body.
  for (int i = 0; i < 60; ++i) step();
  emu->breakpoints().setBits(0x08000018, 4, 1, kBreakExecute, true);
  gStopMask = kStopRunning;
  u32 status = 0;
  for (int i = 0; i < 50 && !(status & 0x20); ++i) status = back();
  EXPECT_EQ(status & 0x20, 0x20u);
  EXPECT_EQ(cpu().pc(), 0x08000018u);
  // A write breakpoint on the word the loop stores R3 to stops running back too.
  emu->breakpoints().remove(0);
  for (int i = 0; i < 60; ++i) {
    gStopMask = kStopStep;
    step();
  }
  emu->breakpoints().setBits(0x03000000, 4, 1, kBreakWrite, true);
  gStopMask = kStopRunning;
  status = 0;
  for (int i = 0; i < 50 && !(status & 0x10); ++i) status = back();
  EXPECT_EQ(status & 0x10, 0x10u);
}

// The console's memory-map edges and System mode's shared registers: byte
// stores that palette and video RAM widen (both bytes journaled with their
// word) or that OAM and sprite VRAM drop, stores into the I/O gaps, the memory
// control register, long multiplies, and register writes in System mode
// (journaled as User's words).
struct BackwardsOverTheMapEdges : GuestFixture {};

TEST_F(BackwardsOverTheMapEdges, SingleStepsForwardThenBackRestoreEverything) {
  struct Program {
    const char* name;
    int steps;
  };
  for (const Program p : {Program{"mapedges", 500}, Program{"sysmode", 60}}) {
    SetUp();
    load(p.name);
    const GuestSnapshot start = snapshot();
    for (int i = 0; i < p.steps; ++i) step();
    EXPECT_NE(snapshot(), start) << p.name;
    for (int i = 0; i < p.steps; ++i) ASSERT_NE(back(), 0x40000u) << p.name << ", step back " << i;
    const GuestSnapshot end = snapshot();
    EXPECT_TRUE(end == start) << p.name << ": " << firstDifference(end, start);
    EXPECT_EQ(back(), 0x40000u) << p.name;
  }
}

TEST(BackwardsFresh, FreshEmulatorHasNothingToUndo) {
  auto emu = std::make_unique<Emulator>();
  gVideoCycles = 65535;
  gStopMask = kStopStep;
  u32 pc = emu->cpu().pc();
  emu->stepBack();
  EXPECT_EQ(gRunStatus, 0x40000u);
  EXPECT_EQ(emu->cpu().pc(), pc);
}

TEST(BackwardsEdges, AddThenBackAndTakenBranchThenBack) {
  auto emu = std::make_unique<Emulator>();
  std::memset(emu->memory().bios(), 0, 0x4000);
  emu->reset();
  const u32 code[] = {0xE2800001,   // add r0, r0, #1
                      0xEA000002,   // b +16 (to 0x08000014)
                      0, 0, 0, 0xEAFFFFFE};
  std::memcpy(emu->memory().rom(), code, sizeof code);
  emu->cpu().flushBlocks();
  gStopMask = kStopStep;
  gVideoCycles = 65535;
  emu->runSlice();
  EXPECT_EQ(emu->cpu().reg(0), 1u);
  emu->runSlice();
  EXPECT_EQ(emu->cpu().pc(), 0x08000014u);
  gVideoCycles = 100;
  emu->stepBack();  // over the branch: PC from its record
  EXPECT_EQ(gRunStatus, 1u);
  EXPECT_EQ(emu->cpu().pc(), 0x08000004u);
  const i32 before = gVideoCycles;
  emu->stepBack();  // over the ADD: R0 and PC as before, its cycles given back
  EXPECT_EQ(emu->cpu().reg(0), 0u);
  EXPECT_EQ(emu->cpu().pc(), 0x08000000u);
  EXPECT_EQ(gVideoCycles - before, 6);  // one sequential 32-bit ROM cycle
  emu->stepBack();
  EXPECT_EQ(gRunStatus, 0x40000u);
}

TEST(BackwardsEdges, OneStepBackOverAnSwiLandsOnTheSwi) {
  // The SWI enters its exception in its own step: one step back undoes both,
  // in ARM and in Thumb state.
  auto emu = std::make_unique<Emulator>();
  emu->memory().installStandInBios();
  emu->reset();
  const u32 code[] = {0xE28F0009,   // add r0, pc, #9: the Thumb code at 0x08000010
                      0xE12FFF10,   // bx r0
                      0xEF060000,   // swi 0x60000 (never reached)
                      0,
                      0xDF06DF06};  // swi 6; swi 6
  std::memcpy(emu->memory().rom(), code, sizeof code);
  emu->cpu().flushBlocks();
  gStopMask = kStopStep;
  gVideoCycles = 65535;
  emu->runSlice();
  emu->runSlice();
  ASSERT_EQ(emu->cpu().pc(), 0x08000010u);
  ASSERT_TRUE(emu->cpu().cpsr() & 0x20);
  const u32 cpsr = emu->cpu().cpsr();
  emu->runSlice();
  ASSERT_EQ(emu->cpu().pc(), 0x08u);
  emu->stepBack();
  EXPECT_EQ(gRunStatus, 1u);
  EXPECT_EQ(emu->cpu().pc(), 0x08000010u);
  EXPECT_EQ(emu->cpu().cpsr(), cpsr);
  emu->stepBack();  // the BX
  EXPECT_EQ(emu->cpu().pc(), 0x08000004u);
  emu->runSlice();
  emu->stepBack();
  EXPECT_EQ(emu->cpu().pc(), 0x08000004u);
}

TEST(BackwardsEdges, LoadsAndStoresOutsideTheMapDoNotStopARunningBackwardSlice) {
  // No trap bit exists at these addresses, so running back over the accesses
  // has no breakpoint to stop at.
  auto emu = std::make_unique<Emulator>();
  std::memset(emu->memory().bios(), 0, 0x4000);
  emu->reset();
  const u32 code[] = {0xE3A01401,  // mov r1, #0x01000000 (no memory)
                      0xE5912000,  // ldr r2, [r1]
                      0xE3A01201,  // mov r1, #0x10000000 (above the map)
                      0xE5812000,  // str r2, [r1]
                      0xE5D13003,  // ldrb r3, [r1, #3]
                      0xEAFFFFFE};
  std::memcpy(emu->memory().rom(), code, sizeof code);
  emu->cpu().flushBlocks();
  gVideoCycles = 65535;
  gStopMask = kStopStep;
  for (int i = 0; i < 5; ++i) emu->runSlice();
  EXPECT_EQ(emu->cpu().pc(), 0x08000014u);
  gStopMask = kStopRunning;
  emu->stepBack();
  EXPECT_EQ(gRunStatus & kStopTest, 0u);
  EXPECT_EQ(gRunStatus & 0x40000, 0x40000u);  // ran back to the start
  EXPECT_EQ(emu->cpu().pc(), 0x08000000u);
}
