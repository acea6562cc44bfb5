// Register bank, reset and interrupt requests.

#include "corefixture.h"

namespace {

using CpuState = testsupport::CoreFixture;

TEST_F(CpuState, ResetWithoutBios) {
  EXPECT_EQ(r(15), 0x08000000u);
  EXPECT_EQ(cpu().cpsr(), 0u);
  EXPECT_EQ(cpu().bank().get(13, 0), 0x03007FE0u);
  EXPECT_EQ(cpu().bank().get(13, 3), 0x03007FE0u);
  EXPECT_EQ(cpu().bank().get(13, 2), 0x03007FA0u);
}

TEST_F(CpuState, ResetWithBios) {
  mem().bios()[0] = 0x12;
  setSkipStartupOption(0);
  emu->reset();
  EXPECT_EQ(r(15), 0u);
  EXPECT_EQ(cpu().cpsr(), 0xD3u);
  if constexpr (!variant::kOlder) {
    setSkipStartupOption(1);
    emu->reset();
    EXPECT_EQ(r(15), 0x08000000u);
    setSkipStartupOption(0);
  }
}

TEST_F(CpuState, BanksShareWhatTheyShould) {
  RegisterBank& b = cpu().bank();
  b.set(8, 1, 0x88);      // FIQ's own R8
  EXPECT_EQ(b.get(8, 0), 0u);
  b.set(13, 6, 0x1313);   // System's own R13
  EXPECT_EQ(b.get(13, 0), 0x03007FE0u);
  b.set(0, 3, 7);         // R0 is one word for all
  for (u32 s = 0; s < 7; ++s) EXPECT_EQ(b.get(0, s), 7u);
  b.set(17, 2, 0x1F);     // IRQ's SPSR
  EXPECT_EQ(b.get(17, 0), 0u);  // User reads the shared word 17
  EXPECT_EQ(RegisterBank::bankOfMode(0x1B), 5u);
  EXPECT_EQ(RegisterBank::bankOfMode(0x00), 0u);
  EXPECT_EQ(RegisterBank::bankOfMode(0x15), 0u);
}

TEST_F(CpuState, InterruptRequestsAreFlaggedWhateverIeAndImeHold) {
  // IF records every request; IE and IME only decide whether the line is up.
  struct Case {
    u16 ie, ime;
    u32 request;
    u16 flags;
    bool line;
  };
  const Case cases[] = {
      {0, 0, 1, 1, false}, {1, 0, 1, 1, false}, {0, 1, 1, 1, false}, {1, 1, 1, 1, true},
      {2, 1, 5, 5, false}, {4, 1, 5, 5, true},  {0xFFFF, 2, 8, 8, false},  // IME's bit 0 alone counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "IE " << c.ie << " IME " << c.ime << " request " << c.request);
    SetUp();
    mem().poke16(0x04000200, c.ie);
    mem().poke16(0x04000208, c.ime);
    cpu().requestInterrupt(c.request);
    EXPECT_EQ(mem().peek16(0x04000202), c.flags);
    EXPECT_EQ(cpu().interruptFlags, c.flags);
    EXPECT_EQ(cpu().irqLine(), c.line);
    EXPECT_EQ(cpu().pendingExceptions, 0u);  // the line is level, not a latched request
  }
}

TEST_F(CpuState, ResetClearsWhatARunLeftPending) {
  cpu().raise(8 | 32);
  cpu().interruptFlags = 5;
  emu->arena().pendingTimerInterrupts = 8;
  emu->arena().timerAccumulators[2] = 0xFFFFFFF0;  // one cycle short of a prescaled count
  gSkipBreakpointOnce = SkipBreakpointOnce{true, 0x08000000};
  emu->reset();
  EXPECT_EQ(cpu().pendingExceptions, 0u);
  EXPECT_EQ(cpu().interruptFlags, 0u);
  EXPECT_EQ(emu->arena().pendingTimerInterrupts, 0u);
  EXPECT_EQ(emu->arena().timerAccumulators[2], 0u);
  EXPECT_FALSE(gSkipBreakpointOnce.armed);
}

TEST_F(CpuState, TransferStoppedHalfDoneDoesNotGoOnAfterAReset) {
  for (u32 i = 0; i < 64; ++i) std::memcpy(mem().rom() + 0x100 + 4 * i, "\x11\x11\x11\x11", 4);
  mem().poke32(0x040000D4, 0x08000100);       // channel 3 from ROM
  mem().poke32(0x040000D8, 0x03000000);       // to IWRAM
  mem().poke32(0x040000DC, 0x84000000 | 64);  // enabled, immediate, words, 64 units
  emu->breakpoints().setBits(0x03000004, 4, 1, kBreakWrite, true);
  gStopMask = kStopRunning;
  EXPECT_EQ(slice() & 0x10, 0x10u);  // stopped after its second unit
  EXPECT_EQ(mem().peek32(0x03000004), 0x11111111u);
  EXPECT_EQ(mem().peek32(0x03000008), 0u);
  emu->breakpoints().remove(0);
  emu->reset();
  slice();
  EXPECT_EQ(mem().peek32(0x03000008), 0u);
  EXPECT_EQ(mem().peek32(0x030000FC), 0u);
}

}  // namespace
