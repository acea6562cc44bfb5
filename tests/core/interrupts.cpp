// Interrupts as the console has them: IF takes every request whatever IE and
// IME hold, the IRQ line is IF against IE and IME as they stand, and the
// display's H-blank comes on every line.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "emufixture.h"

namespace {

struct Interrupts : testsupport::GuestFixture {
  void SetUp() override {
    GuestFixture::SetUp();
    // A BIOS of one instruction: the IRQ vector jumps to the guest's handler.
    const u32 vector[] = {0xE59FF000, 0, 0x08000200};  // ldr pc, [pc] at 0x18
    std::memcpy(emu->memory().bios() + 0x18, vector, sizeof vector);
    load("irqflags");
    emu->video().reset();
    gStopMask = kStopRunning;
  }
  u32 result(u32 offset) { return emu->memory().peek32(0x03000000 + offset); }
};

TEST_F(Interrupts, FlagsWithoutEnablesHblankOnVblankLinesAndALateEnable) {
  for (int i = 0; i < 4000 && result(20) != 0xDEADBEEF; ++i) step();
  ASSERT_EQ(result(20), 0xDEADBEEFu) << "the program did not get through";
  EXPECT_EQ(result(0), 1u);   // V-blank flagged with IME and IE off
  EXPECT_EQ(result(4), 0u);   // and acknowledged by writing 1
  EXPECT_EQ(result(8), 1u);   // H-blank flagged on a V-blank line
  EXPECT_EQ(result(12), 1u);  // and DISPSTAT's flag seen there
  EXPECT_EQ(result(24), 0u);  // nothing taken while IE was off
  EXPECT_EQ(result(16), 1u);  // the flag waiting is taken as IE enables it
}

TEST_F(Interrupts, ByteAndWordStoresAcknowledgeTheirOwnPartOfIf) {
  // IE and IF share a word: a word store at IE acknowledges with its upper
  // half, a halfword store at IE acknowledges nothing, a byte store at IF's
  // upper byte only that byte.
  struct Case {
    u32 store;  // the instruction: str/strh/strb r1, [r0]
    u32 address, value;
    u16 left;
  };
  const Case cases[] = {
      {0xE5801000, 0x04000200, 0x00050000, 0x0302},  // str:  IF &= ~5
      {0xE1C010B0, 0x04000200, 0x0000FFFF, 0x0307},  // strh at IE: IF stays
      {0xE1C010B0, 0x04000202, 0x00000101, 0x0206},  // strh at IF
      {0xE5C01000, 0x04000203, 0x00000003, 0x0007},  // strb at IF's upper byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.store << " at " << c.address);
    GuestFixture::SetUp();
    const u32 code[] = {c.store, 0xEAFFFFFE};
    std::memcpy(emu->memory().rom(), code, sizeof code);
    emu->reset();
    cpu().requestInterrupt(0x0307);
    cpu().setReg(0, c.address);
    cpu().setReg(1, c.value);
    gStopMask = kStopStep;
    step();
    EXPECT_EQ(cpu().interruptFlags, c.left);
    EXPECT_EQ(emu->memory().peek16(0x04000202), c.left);
  }
}

TEST_F(Interrupts, SwitchingImeOnTakesAFlaggedInterruptAtOnce) {
  // IE and IF agree, CPSR lets IRQs in, IME is off; the program turns IME on
  // and then counts in a loop that never leaves its block.
  GuestFixture::SetUp();
  const u32 vector[] = {0xE59FF000, 0, 0x08000100};  // the handler: b . at 0x08000100
  std::memcpy(emu->memory().bios() + 0x18, vector, sizeof vector);
  const u32 code[] = {
      0xE3A0A301,  // mov r10, #0x04000000
      0xE28AAC02,  // add r10, r10, #0x200
      0xE3A00001,  // mov r0, #1
      0xE1CA00B8,  // strh r0, [r10, #8]: IME on
      0xE2811001,  // add r1, r1, #1
      0xEAFFFFFD,  // b .-4
  };
  std::memcpy(emu->memory().rom(), code, sizeof code);
  const u32 handler = 0xEAFFFFFE;
  std::memcpy(emu->memory().rom() + 0x100, &handler, 4);
  emu->reset();
  cpu().setReg(16, 0x1F);
  emu->memory().poke16(0x04000200, 1);
  cpu().requestInterrupt(1);
  gStopMask = kStopRunning;
  for (int i = 0; i < 3 && cpu().mode() != 0x12; ++i) step();
  ASSERT_EQ(cpu().mode(), 0x12u);
  EXPECT_EQ(r(1), 0u);  // not a round of the loop ran first
  EXPECT_EQ(r(14), 0x08000014u);
}

// A write to HALTCNT halts the processor until an enabled interrupt is
// requested, whatever IME says: no instruction runs meanwhile, the clock and
// the timers go on, and running back goes through the halt slice by slice.
TEST(Halt, SleepsUntilAnEnabledInterruptIsRequested) {
  struct Case {
    const char* name;
    std::vector<u32> code;  // halts with the STRB at 0x08000000 + 4 * (size - 3)
    u32 minCycles, maxCycles;  // from the halt to the next instruction
    u32 wakeLine;              // VCOUNT then; 0: any
  };
  const Case cases[] = {
      {"V-blank",
       {0xE3A00301,    // mov r0, #0x04000000
        0xE3A01008,    // mov r1, #8
        0xE1C010B4,    // strh r1, [r0, #4]: DISPSTAT, V-blank requests
        0xE2802C02,    // add r2, r0, #0x200
        0xE3A01001,    // mov r1, #1
        0xE1C210B0,    // strh r1, [r2]: IE, V-blank
        0xE3A01000,    // mov r1, #0
        0xE5C01301,    // strb r1, [r0, #0x301]: HALTCNT
        0xE2833001,    // add r3, r3, #1
        0xEAFFFFFE},   // b .
       150 * 1232, 160 * 1232, 160},
      {"timer",
       {0xE3A00301,    // mov r0, #0x04000000
        0xE2802C02,    // add r2, r0, #0x200
        0xE3A01008,    // mov r1, #8
        0xE1C210B0,    // strh r1, [r2]: IE, timer 0
        0xE2802C01,    // add r2, r0, #0x100
        0xE3E01FFF,    // mvn r1, #0x3FC
        0xE1C210B0,    // strh r1, [r2]: reload 0xFC03, 1021 counts
        0xE3A010C0,    // mov r1, #0xC0
        0xE1C210B2,    // strh r1, [r2, #2]: on, with its interrupt
        0xE3A01000,    // mov r1, #0
        0xE5C01301,    // strb r1, [r0, #0x301]: HALTCNT
        0xE2833001,    // add r3, r3, #1
        0xEAFFFFFE},   // b .
       1000, 1021 + 16, 0},  // woken on the overflow's cycle
      {"timer by 64",
       {0xE3A00301,    // mov r0, #0x04000000
        0xE2802C02,    // add r2, r0, #0x200
        0xE3A01008,    // mov r1, #8
        0xE1C210B0,    // strh r1, [r2]: IE, timer 0
        0xE2802C01,    // add r2, r0, #0x100
        0xE3E0100F,    // mvn r1, #15
        0xE1C210B0,    // strh r1, [r2]: reload 0xFFF0, 16 counts of 64 cycles
        0xE3A010C1,    // mov r1, #0xC1
        0xE1C210B2,    // strh r1, [r2, #2]: on, prescaler 64, with its interrupt
        0xE3A01000,    // mov r1, #0
        0xE5C01301,    // strb r1, [r0, #0x301]: HALTCNT
        0xE2833001,    // add r3, r3, #1
        0xEAFFFFFE},   // b .
       1024 - 64, 1024 + 16, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto emu = std::make_unique<Emulator>();
    std::memset(emu->memory().bios(), 0, 0x4000);
    emu->reset();
    std::memcpy(emu->memory().rom(), c.code.data(), 4 * c.code.size());
    emu->cpu().flushBlocks();
    emu->video().reset();
    gStopMask = kStopStep;
    gVideoCycles = 0;
    const u32 after = 0x08000000 + 4 * u32(c.code.size() - 2);
    for (int i = 0; i < 100 && emu->cpu().pc() != after; ++i) emu->runSlice();
    ASSERT_EQ(emu->cpu().pc(), after);
    const testsupport::GuestSnapshot halting = testsupport::snapshotOf(*emu);
    const u32 start = gCycleCount;
    int slices = 0;
    while (emu->cpu().reg(3) == 0 && slices < 1000) {
      emu->runSlice();
      ++slices;
      if (emu->cpu().reg(3) == 0) {
        ASSERT_EQ(emu->cpu().pc(), after);
      }
    }
    ASSERT_EQ(emu->cpu().reg(3), 1u);
    const u32 slept = gCycleCount - start;
    EXPECT_GE(slept, c.minCycles);
    EXPECT_LE(slept, c.maxCycles);
    if (c.wakeLine) {
      EXPECT_EQ(emu->memory().peek16(0x04000006), c.wakeLine);
    }
    EXPECT_GT(slices, 1);
    EXPECT_EQ(emu->arena().machine.halted, 0u);
    for (int i = 0; i < slices; ++i) emu->stepBack();
    EXPECT_EQ(gCycleCount, start);
    const testsupport::GuestSnapshot back = testsupport::snapshotOf(*emu);
    EXPECT_TRUE(back == halting) << testsupport::firstDifference(back, halting);
  }
}

}  // namespace
