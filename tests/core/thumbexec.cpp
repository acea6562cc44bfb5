// Thumb code run through the translator: the re-encoded words must behave as
// the Thumb instructions do.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/frontend.h"
#include "emufixture.h"

using testsupport::GuestFixture;

namespace {

struct ThumbRun : GuestFixture {};

u32 word(Emulator& emu, u32 address) { return emu.memory().peek32(address); }

}  // namespace

TEST_F(ThumbRun, EdgeCasesOfTheLoadAddressSpHighRegistersMultipleBxAndBl) {
  load("thumbrun");
  // add r0, pc, #8 at 0x08000012: base rounded down to 4, plus 4, plus 8.
  ASSERT_TRUE(runTo(0x08000014));
  EXPECT_TRUE(cpu().isThumb());
  EXPECT_EQ(r(0), 0x0800001Cu);
  u32 flagsBefore = cpu().cpsr() >> 28;
  ASSERT_TRUE(runTo(0x08000016));  // add sp, #-0x1FC: no flags touched
  EXPECT_EQ(r(13), 0x03007F00u - 508);
  EXPECT_EQ(cpu().cpsr() >> 28, flagsBefore);
  ASSERT_TRUE(runTo(0x0800001E));  // mov r8, r9 copies without flags
  EXPECT_EQ(r(8), 5u);
  ASSERT_TRUE(runTo(0x08000020));  // cmp r8, r9 sets Z and C
  EXPECT_EQ(cpu().cpsr() >> 28, 0x6u);
  ASSERT_TRUE(runTo(0x08000022));  // mov r1, r2 as a high-register instruction still moves
  EXPECT_EQ(r(1), 5u);
  ASSERT_TRUE(runTo(0x08000032));  // stmia r0!, {r0-r7}: all eight
  EXPECT_EQ(r(0), 0x03000020u);
  const u32 stored[8] = {0x03000000, 5, 5, 0x03000000, 1, 2, 3, 4};
  for (u32 i = 0; i < 8; ++i) EXPECT_EQ(word(*emu, 0x03000000 + 4 * i), stored[i]) << i;
  ASSERT_TRUE(runTo(0x08000038));  // bx r4 with r4 even: ARM state
  EXPECT_FALSE(cpu().isThumb());
  ASSERT_TRUE(runTo(0x08000040));  // bx to an odd address: Thumb again
  EXPECT_TRUE(cpu().isThumb());
  // BL 0x400000 bytes ahead: R14 = second half + 3, PC = the target.
  step();
  step();
  EXPECT_EQ(cpu().pc(), 0x08400040u);
  EXPECT_EQ(r(14), 0x08000045u);
  step();
  EXPECT_EQ(r(10), 0x08000045u);
}

TEST_F(ThumbRun, LongBranchFirstHalfStaysInTheSliceUnderRunTo) {
  // Both halves in one slice, which began at the first: a run to that
  // address stops behind the pair, a run to anywhere else goes on.
  for (const u32 target : {0xFFFFFFFFu, 0x08000040u}) {
    SetUp();
    load("thumbrun");
    ASSERT_TRUE(runTo(0x08000040));
    gStopMask = kStopRunTo;
    gRunToAddress = target;
    const u32 status = step();
    EXPECT_EQ(cpu().pc(), 0x08400040u) << std::hex << target;
    EXPECT_EQ((status & 0x2) != 0, target == 0x08000040u) << std::hex << target;
  }
}

namespace {

// The User tab stand-in.
struct UserTab : CoreFrontEnd {
  std::vector<std::u16string> lines;
  void printUserMessage(std::u16string_view text) override { lines.emplace_back(text); }
  void postWarning(std::u16string_view) override {}
  void breakpointsChanged() override {}
};

struct DebugTrigger : GuestFixture {
  UserTab tab;
  void SetUp() override {
    GuestFixture::SetUp();
    installCoreFrontEnd(&tab);
    emu->reset();
  }
  void TearDown() override { installCoreFrontEnd(nullptr); }
  void rom(u32 address, const std::vector<u8>& bytes) {
    std::memcpy(emu->memory().rom() + (address & 0x7FFFFF), bytes.data(), bytes.size());
    cpu().flushBlocks();
  }
};

}  // namespace

TEST_F(DebugTrigger, ArmAndThumbMovR0R0RunTheServiceAfterTheSlice) {
  // ARM: mov r0, r0 with R0 = 3 prints R1; then R0 = 0 stops.
  rom(0x08000000, {0x00, 0x00, 0xA0, 0xE1,    // mov r0, r0
                   0x00, 0x00, 0xA0, 0xE3,    // mov r0, #0
                   0x00, 0x00, 0xA0, 0xE1,    // mov r0, r0
                   0x01, 0x00, 0x8F, 0xE2,    // add r0, pc, #1 -> 0x08000015
                   0x10, 0xFF, 0x2F, 0xE1,    // bx r0
                   0x00, 0x00, 0x00, 0x00,
                   0x00, 0x46,                // (0x08000018) thumb: mov r0, r0
                   0xFE, 0xE7});              // b .
  cpu().setReg(0, 3);
  cpu().setReg(1, 0xBEEF);
  u32 status = step();
  ASSERT_EQ(tab.lines.size(), 1u) << std::hex << status << " pc " << cpu().pc() << " r0 " << r(0);
  EXPECT_EQ(tab.lines[0], u"0000BEEF");
  EXPECT_EQ(status & 0x40, 0u);
  step();
  status = step();
  EXPECT_EQ(status & 0x40, 0x40u);  // the guest asked to stop
  EXPECT_EQ(cpu().pc(), 0x0800000Cu);
  // Thumb 0x4600: the same service.
  step();
  step();
  EXPECT_TRUE(cpu().isThumb());
  cpu().setReg(0, 4);
  cpu().setReg(1, 0x00018000);
  cpu().setReg(15, 0x08000018);
  step();
  ASSERT_EQ(tab.lines.size(), 2u);
  EXPECT_EQ(tab.lines[1], u"1.5     ");
}

TEST_F(DebugTrigger, SkippedConditionalTriggerDoesNothing) {
  rom(0x08000000, {0x00, 0x00, 0xA0, 0x01,    // moveq r0, r0 with Z clear
                   0xFE, 0xFF, 0xFF, 0xEA});  // b .
  cpu().setReg(0, 3);
  step();
  EXPECT_TRUE(tab.lines.empty());
}
