// Register bank, reset and interrupt requests.

#include "corefixture.h"
#include "emufixture.h"

namespace {

using CpuState = testsupport::CoreFixture;

// Without a BIOS, and with "Skip startup", the processor starts as the
// console's BIOS leaves it for the cartridge.
void expectCartridgeStart(ArmCpu& cpu) {
  EXPECT_EQ(cpu.reg(15), 0x08000000u);
  EXPECT_EQ(cpu.cpsr(), 0x1Fu);  // System mode, ARM state, IRQ and FIQ enabled
  RegisterBank& b = cpu.bank();
  EXPECT_EQ(b.get(13, 6), 0x03007F00u);  // System
  EXPECT_EQ(b.get(13, 0), 0x03007F00u);  // User: the same word
  EXPECT_EQ(b.get(13, 2), 0x03007FA0u);  // IRQ
  EXPECT_EQ(b.get(13, 3), 0x03007FE0u);  // Supervisor
  EXPECT_EQ(cpu.reg(13), 0x03007F00u);
}

TEST_F(CpuState, ResetWithoutBios) { expectCartridgeStart(cpu()); }

TEST_F(CpuState, ResetWithBios) {
  mem().bios()[0] = 0x12;
  setSkipStartupOption(0);
  emu->reset();
  EXPECT_EQ(r(15), 0u);
  EXPECT_EQ(cpu().cpsr(), 0xD3u);
  if constexpr (!variant::kOlder) {
    setSkipStartupOption(1);
    emu->reset();
    expectCartridgeStart(cpu());
    setSkipStartupOption(0);
  }
}

TEST_F(CpuState, BanksShareWhatTheyShould) {
  RegisterBank& b = cpu().bank();
  b.set(8, 1, 0x88);      // FIQ's own R8
  EXPECT_EQ(b.get(8, 0), 0u);
  // System mode has User's registers, R8-R14 included.
  for (u32 n = 8; n <= 14; ++n) {
    b.set(n, 6, 0x100 + n);
    EXPECT_EQ(b.get(n, 0), 0x100 + n) << n;
    EXPECT_EQ(b.slot(n, 6), b.slot(n, 0)) << n;
  }
  EXPECT_EQ(b.get(13, 2), 0x03007FA0u);  // IRQ keeps its own
  b.set(0, 3, 7);         // R0 is one word for all
  for (u32 s = 0; s < 7; ++s) EXPECT_EQ(b.get(0, s), 7u);
  // The exception modes each have an SPSR; User and System have none: their
  // register 17 reads CPSR and takes no writes.
  for (u32 s = 1; s <= 5; ++s) b.set(17, s, 0x10 + s);
  for (u32 s = 1; s <= 5; ++s) EXPECT_EQ(b.get(17, s), 0x10 + s) << s;
  b.set(16, 0, 0x6000001F);
  b.set(17, 0, 0x13);
  b.set(17, 6, 0x13);
  EXPECT_EQ(b.get(16, 0), 0x6000001Fu);
  EXPECT_EQ(b.get(17, 0), 0x6000001Fu);
  EXPECT_EQ(b.get(17, 6), 0x6000001Fu);
  const u32 journal = emu->arena().journalWriteIndex;
  cpu().setRegJournaled(17, 0x13);  // in System mode: nothing written, nothing journaled
  EXPECT_EQ(cpu().cpsr(), 0x6000001Fu);
  EXPECT_EQ(emu->arena().journalWriteIndex, journal);
  for (u32 s = 1; s <= 5; ++s) EXPECT_EQ(b.get(17, s), 0x10 + s) << s;
  EXPECT_EQ(RegisterBank::bankOfMode(0x1B), 5u);
  EXPECT_EQ(RegisterBank::bankOfMode(0x1F), 6u);
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

namespace {

using SystemMode = testsupport::GuestFixture;

// Interrupt dispatchers switch from IRQ mode into System mode to run on the
// program's stack: that stack is User's, and IRQ's own stays apart.
TEST_F(SystemMode, SharesUsersRegistersAndHasNoSpsr) {
  load("sysmode");
  ASSERT_TRUE(runTo(0x08000100));
  const GbaMemory& m = emu->memory();
  auto at = [&](u32 offset) { return m.peek32(0x03000000 + offset); };
  EXPECT_EQ(at(0x00), 0x03007F00u);  // System's SP at the start
  EXPECT_EQ(at(0x04), 0x03007FA0u);  // IRQ's
  EXPECT_EQ(at(0x08), 0u);           // IRQ's LR, not System's
  EXPECT_EQ(at(0x0C), 0x03007EF8u);  // pushed onto the program's stack
  EXPECT_EQ(m.peek32(0x03007EF8), 0x88u);
  EXPECT_EQ(m.peek32(0x03007EFC), 0x14u);
  EXPECT_EQ(at(0x10), 0x03007FA0u);  // IRQ's SP untouched by the push
  EXPECT_EQ(at(0x14), 0x24u);
  EXPECT_EQ(at(0x18), 0x6000001Fu);  // IRQ's SPSR
  EXPECT_EQ(at(0x1C) & 0xFF, 0x1Fu); // SPSR in System mode reads CPSR
  EXPECT_EQ(at(0x20) & 0xFF, 0x1Fu); // and a write to it changes nothing
  EXPECT_EQ(at(0x24) & 0xFF, 0x1Fu); // MOVS PC, LR keeps CPSR
  EXPECT_EQ(at(0x28), 0x88u);
  EXPECT_EQ(at(0x2C), 0x14u);
  EXPECT_EQ(at(0x30), 0x03007F00u);  // User mode: the same SP
  EXPECT_EQ(at(0x34), at(0x34) & ~3u);
  EXPECT_GT(at(0x34), 0x08000000u);  // and LR, set in System mode
  EXPECT_EQ(at(0x38), 0x88u);
  EXPECT_EQ(cpu().mode(), 0x10u);
  EXPECT_EQ(cpu().bank().get(17, 2), 0x6000001Fu);  // IRQ's SPSR survived the write in System mode
}

}  // namespace
