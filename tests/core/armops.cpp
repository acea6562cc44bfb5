// The ARM handlers, one table per class: each case sets registers and flags,
// runs one instruction as real machine code and checks the result.

#include "corefixture.h"

using testsupport::CoreFixture;

namespace {

struct Reg {
  u32 n, v;
};

struct Case {
  const char* what;
  u32 op;
  std::vector<Reg> in;
  u32 flagsIn;
  std::vector<Reg> out;
  u32 flagsOut;
};

void runTable(CoreFixture& f, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    f.SetUp();
    f.code({c.op});
    for (const Reg& r : c.in) f.set(r.n, r.v);
    f.setFlags(c.flagsIn);
    f.slice();
    for (const Reg& r : c.out) EXPECT_EQ(f.r(r.n), r.v) << c.what << ": R" << r.n;
    EXPECT_EQ(f.flags(), c.flagsOut) << c.what << ": NZCV";
    EXPECT_EQ(f.r(15), 0x08000004u) << c.what << ": PC";
  }
}

using Cpu = CoreFixture;

// Flags are NZCV as a nibble: 8 N, 4 Z, 2 C, 1 V.
TEST_F(Cpu, DataProcessingFlagsAndShifter) {
  runTable(*this, {
      {"ADDS overflow", 0xE0900001, {{0, 0x7FFFFFFF}, {1, 1}}, 0, {{0, 0x80000000}}, 0x9},
      {"SUBS R0, R0, R0", 0xE0500000, {{0, 5}}, 0, {{0, 0}}, 0x6},
      {"LSLS by register 32", 0xE1B00211, {{1, 3}, {2, 32}}, 0, {{0, 0}}, 0x6},
      {"LSLS by register 33", 0xE1B00211, {{1, 3}, {2, 33}}, 0x2, {{0, 0}}, 0x4},
      {"LSLS by register 0 keeps C", 0xE1B00211, {{1, 1}, {2, 0x100}}, 0x2, {{0, 1}}, 0x2},
      {"LSRS #32", 0xE1B00021, {{1, 0x80000000}}, 0, {{0, 0}}, 0x6},
      {"RRXS", 0xE1B00061, {{1, 2}}, 0x2, {{0, 0x80000001}}, 0x8},
      {"ASRS #32", 0xE1B00041, {{1, 0x80000000}}, 0, {{0, 0xFFFFFFFF}}, 0xA},
      {"RORS by register 32", 0xE1B00271, {{1, 0x80000001}, {2, 32}}, 0, {{0, 0x80000001}}, 0xA},
      {"ADCS carry in", 0xE0B10002, {{1, 0xFFFFFFFF}, {2, 0}}, 0x2, {{0, 0}}, 0x6},
      {"SBCS borrow in", 0xE0D10002, {{1, 5}, {2, 5}}, 0, {{0, 0xFFFFFFFF}}, 0x8},
      {"RSCS", 0xE0F10002, {{1, 1}, {2, 3}}, 0x2, {{0, 2}}, 0x2},
      {"RSBS #0", 0xE2710000, {{1, 1}}, 0, {{0, 0xFFFFFFFF}}, 0x8},
      {"BICS keeps C and V", 0xE3D100FF, {{1, 0xFF}}, 0x3, {{0, 0}}, 0x7},
      {"MVNS", 0xE1F00001, {{1, 0}}, 0x2, {{0, 0xFFFFFFFF}}, 0xA},
      {"TEQ writes no register", 0xE1300001, {{0, 7}, {1, 7}}, 0, {{0, 7}}, 0x4},
      {"CMN", 0xE1700001, {{0, 0xFFFFFFFF}, {1, 1}}, 0, {{0, 0xFFFFFFFF}}, 0x6},
      {"TST rotated immediate sets C", 0xE3100102, {{0, 0x80000000}}, 0, {}, 0xA},
      {"MOVS #0x80000000", 0xE3B00102, {}, 0, {{0, 0x80000000}}, 0xA},
      {"MOV R0, PC", 0xE1A0000F, {}, 0, {{0, 0x08000008}}, 0},
      {"ADD R0, PC, R1, LSL R2", 0xE08F0211, {{1, 0}, {2, 0}}, 0, {{0, 0x0800000C}}, 0},
      {"ORRS by register 0", 0xE1910352, {{1, 0}, {2, 0x80000000}, {3, 0}}, 0, {{0, 0x80000000}}, 0x8},
      {"EORS ROR #4", 0xE0310262, {{1, 0}, {2, 0x1F}}, 0, {{0, 0xF0000001}}, 0xA},
      {"ASRS by register 40", 0xE1B00251, {{1, 0x40000000}, {2, 40}}, 0x2, {{0, 0}}, 0x4},
  });
}

TEST_F(Cpu, StatusRegisterTransfers) {
  runTable(*this, {
      {"MRS R0, CPSR", 0xE10F0000, {{16, 0x6000001F}}, 0x6, {{0, 0x6000001F}}, 0x6},
      {"MSR CPSR_f, R1", 0xE128F001, {{1, 0x9000FFFF}}, 0, {}, 0x9},
      {"MSR CPSR_f, #0x40000000", 0xE328F101, {}, 0x8, {}, 0x4},
  });
  // MSR with the control field writes the whole word and ends the slice
  // with 0x20000; the next lookup uses the new mode's bank.
  SetUp();
  code({0xE129F001, 0xE3A0D001});  // MSR CPSR_fc, R1; MOV SP, #1
  set(1, 0x000000D2);              // IRQ mode
  gStopMask = kStopRunning;
  set(13, 0x1234);
  u32 status = slice();
  (void)status;
  EXPECT_EQ(cpu().mode(), 0x12u);
  EXPECT_EQ(cpu().bank().get(13, 2), 1u);       // IRQ's SP got the MOV
  EXPECT_EQ(cpu().bank().get(13, 0), 0x1234u);  // User's did not
}

TEST_F(Cpu, MovsPcRestoresCpsrAndAlignsForThumb) {
  code({0xE1B0F00E});  // MOVS PC, LR
  set(16, 0x13);       // Supervisor
  set(14, 0x08000103);
  set(17, 0x3F);       // SPSR: System, Thumb
  EXPECT_NE(slice() & 0x20000, 0u);
  EXPECT_EQ(cpu().cpsr(), 0x3Fu);
  EXPECT_EQ(r(15), 0x08000102u);
}

TEST_F(Cpu, MultiplyResultsFlagsAndCycles) {
  runTable(*this, {
      {"MUL", 0xE0000291, {{1, 7}, {2, 6}}, 0, {{0, 42}}, 0},
      {"MLAS clears C keeps V", 0xE0303291, {{1, 0xFFFFFFFF}, {2, 1}, {3, 0}}, 0x3, {{0, 0xFFFFFFFF}}, 0x9},
      {"UMULL", 0xE0810392, {{2, 0xFFFFFFFF}, {3, 2}}, 0, {{0, 0xFFFFFFFE}, {1, 1}}, 0},
      {"SMLALS negative clears C keeps V", 0xE0F10392, {{0, 0}, {1, 0}, {2, 0xFFFFFFFF}, {3, 2}}, 0x3,
       {{0, 0xFFFFFFFE}, {1, 0xFFFFFFFF}}, 0x9},
      {"UMULLS keeps V, Z from all 64 bits", 0xE0910392, {{2, 0x80000000}, {3, 2}}, 0x5, {{0, 0}, {1, 1}}, 0x1},
      {"UMLALS keeps a clear V", 0xE0B10392, {{0, 1}, {1, 0}, {2, 3}, {3, 2}}, 0x2, {{0, 7}, {1, 0}}, 0},
      {"SMLALS zero", 0xE0F10392, {{0, 2}, {1, 0}, {2, 0xFFFFFFFF}, {3, 2}}, 0, {{0, 0}, {1, 0}}, 0x4},
  });
  // Cost: ROM S-cycle 6, plus m multiplier cycles from Rs.
  struct { u32 rs, m; } cycles[] = {{0xFF, 1}, {0xFFFFFFFF, 1}, {0xFFFFFEFF, 1}, {0xFFFFFEFE, 2},
                                    {0x1234, 2}, {0x123456, 3}, {0x40000000, 4}};
  for (auto c : cycles) {
    SetUp();
    code({0xE0000291});
    set(2, c.rs);
    EXPECT_EQ(cyclesOf(), 6 + c.m) << std::hex << c.rs;
  }
}

TEST_F(Cpu, SingleTransfersEveryAddressingForm) {
  auto put = [&](u32 a, u32 v) { mem().poke32(a, v); };
  struct T {
    const char* what;
    u32 op;
    std::vector<Reg> in, out;
    u32 address, want;  // a word to check afterwards (address 0: none)
  };
  std::vector<T> cases = {
      {"LDR rotated", 0xE5910001, {{1, 0x02000000}}, {{0, 0x44112233}}, 0, 0},
      {"STR pre-indexed write-back", 0xE5A10004, {{0, 0xCAFE}, {1, 0x02000000}}, {{1, 0x02000004}}, 0x02000004, 0xCAFE},
      {"LDR post-indexed", 0xE4910004, {{1, 0x02000000}}, {{0, 0x11223344}, {1, 0x02000004}}, 0, 0},
      {"LDR post-indexed into its base keeps the value", 0xE4900004, {{0, 0x02000000}}, {{0, 0x11223344}}, 0, 0},
      {"LDRB", 0xE5D10003, {{1, 0x02000000}}, {{0, 0x11}}, 0, 0},
      {"LDRSB", 0xE1D100D3, {{1, 0x02000004}}, {{0, 0xFFFFFF80}}, 0, 0},
      {"LDRH", 0xE1D100B2, {{1, 0x02000000}}, {{0, 0x1122}}, 0, 0},
      {"LDRH odd rotates", 0xE1D100B1, {{1, 0x02000000}}, {{0, 0x44000033}}, 0, 0},
      {"LDRSH", 0xE1D100F2, {{1, 0x02000004}}, {{0, 0xFFFF8000}}, 0, 0},
      {"LDRH at the region's last byte stays inside", 0xE1D100B0, {{1, 0x03007FFF}}, {{0, 0xCD0000AB}}, 0, 0},
      {"STRH odd stays in its halfword", 0xE1C100B1, {{0, 0xBEEF}, {1, 0x02000000}}, {}, 0x02000000, 0x1122BEEF},
      {"STRB to VRAM doubles", 0xE5C10000, {{0, 0xAB}, {1, 0x06000000}}, {}, 0x06000000, 0xABAB},
      {"STR to ROM is dropped", 0xE5810000, {{0, 1}, {1, 0x08000100}}, {}, 0x08000100, 0},
      {"LDR negative scaled register, write-back", 0xE7310102, {{1, 0x02000008}, {2, 1}},
       {{0, 0x80008000}, {1, 0x02000004}}, 0, 0},
      {"STR PC stores address + 12", 0xE581F000, {{1, 0x02000010}}, {}, 0x02000010, 0x0800000C},
      {"LDR unmapped", 0xE5910000, {{0, 5}, {1, 0x01000000}}, {}, 0, 0},
      {"SWP", 0xE1010090, {{0, 0x55}, {1, 0x02000000}}, {{0, 0x11223344}}, 0x02000000, 0x55},
      {"SWPB", 0xE1412093, {{3, 0x99}, {1, 0x02000000}}, {{2, 0x44}}, 0x02000000, 0x11223399},
  };
  for (const T& c : cases) {
    SetUp();
    code({c.op});
    put(0x02000000, 0x11223344);
    put(0x02000004, 0x80008000);
    put(0x03007FFC, 0xABCD0000);
    for (const Reg& r : c.in) set(r.n, r.v);
    slice();
    for (const Reg& r : c.out) EXPECT_EQ(this->r(r.n), r.v) << c.what << ": R" << r.n;
    if (c.address) {
      EXPECT_EQ(mem().peek32(c.address), c.want) << c.what;
    }
    EXPECT_EQ(r(15), 0x08000004u) << c.what;
  }
}

TEST_F(Cpu, BlockTransfers) {
  struct T {
    const char* what;
    u32 op;
    std::vector<Reg> in, out;
    std::vector<Reg> words;  // address, value
  };
  std::vector<T> cases = {
      {"STMDB SP!", 0xE92D000F, {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {13, 0x02000100}}, {{13, 0x020000F0}},
       {{0x020000F0, 1}, {0x020000FC, 4}}},
      {"LDMIB R0!", 0xE9B00002, {{0, 0x02000000}}, {{0, 0x02000004}, {1, 0xB}}, {}},
      {"LDMIA with the base in the list", 0xE8900003, {{0, 0x02000000}}, {{0, 0xA}, {1, 0xB}}, {}},
      {"STMIA base first stores the old base", 0xE8A00003, {{0, 0x02000020}, {1, 7}}, {{0, 0x02000028}},
       {{0x02000020, 0x02000020}, {0x02000024, 7}}},
      {"STMIA base second stores the new base", 0xE8A10003, {{0, 7}, {1, 0x02000020}}, {{1, 0x02000028}},
       {{0x02000020, 7}, {0x02000024, 0x02000028}}},
  };
  for (const T& c : cases) {
    SetUp();
    code({c.op});
    for (u32 i = 0; i < 16; ++i) mem().poke32(0x02000000 + 4 * i, 0xA + i);
    for (const Reg& r : c.in) set(r.n, r.v);
    gStopMask = kStopRunning;
    code({c.op, 0xEAFFFFFE});
    cpu().setReg(15, 0x08000000);
    gStopMask = kStopRunTo;
    gRunToAddress = 0x08000004;
    for (int i = 0; i < 20 && r(15) == 0x08000000; ++i) slice();
    for (const Reg& r : c.out) EXPECT_EQ(this->r(r.n), r.v) << c.what << ": R" << r.n;
    for (const Reg& w : c.words) EXPECT_EQ(mem().peek32(w.n), w.v) << c.what << std::hex << " @" << w.n;
  }
}

TEST_F(Cpu, LdmWithPcAndEmptyList) {
  code({0xE8908002});  // LDMIA R0, {R1, PC}
  mem().poke32(0x02000000, 5);
  mem().poke32(0x02000004, 0x08000103);
  set(0, 0x02000000);
  gStopMask = kStopRunTo;  // the partial steps do not stop under run-to
  slice();
  EXPECT_EQ(r(1), 5u);
  EXPECT_EQ(r(15), 0x08000100u);

  // An empty list moves PC alone and the base by 0x40; the instruction
  // still ends like any other (end record, single step).
  SetUp();
  code({0xE8A00000});  // STMIA R0!, {}
  set(0, 0x02000000);
  u32 before = emu->arena().journalWriteIndex;
  EXPECT_NE(slice() & 0x1, 0u);
  EXPECT_EQ(r(0), 0x02000040u);
  EXPECT_EQ(mem().peek32(0x02000000), 0x0800000Cu);
  auto records = journalSince(before);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().first, 0u);
}

TEST_F(Cpu, InterruptedLdmResumesAtTheNextTransfer) {
  code({0xE8B001FE});  // LDMIA R0!, {R1-R8}
  for (u32 i = 0; i < 8; ++i) mem().poke32(0x02000000 + 4 * i, 100 + i);
  set(0, 0x02000000);
  // Single stepping leaves after every transfer, at the LDM's own address.
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(slice() & 0x1, 0u);
    EXPECT_EQ(r(15), 0x08000000u);
  }
  EXPECT_EQ(r(3), 102u);
  EXPECT_EQ(r(4), 0u);
  EXPECT_EQ(r(kRegResume), 12u);
  // An interrupt must not be entered between the transfers.
  set(16, cpu().cpsr() & ~0x80u);
  cpu().raise(8);
  for (int i = 0; i < 5; ++i) slice();
  EXPECT_EQ(r(8), 107u);
  EXPECT_EQ(r(0), 0x02000020u);
  EXPECT_EQ(r(kRegResume), 0u);
  EXPECT_EQ(r(15), 0x08000004u);
  slice();  // now the IRQ is taken
  EXPECT_EQ(cpu().mode(), 0x12u);
}

TEST_F(Cpu, LdmWithAnExecuteBreakpointCountsOneHitWhenItsSliceEndsBetweenTransfers) {
  code({0xE8B001FE, 0xEAFFFFFE});  // LDMIA R0!, {R1-R8}; B .
  for (u32 i = 0; i < 8; ++i) mem().poke32(0x03000000 + 4 * i, 100 + i);
  set(0, 0x03000000);
  emu->breakpoints().setBits(0x08000000, 4, 2, kBreakExecute, true);  // the second hit stops
  gStopMask = kStopRunning;
  auto shortSlice = [&] {
    gVideoCycles = 8;  // a few transfers of two cycles each
    return slice();
  };
  EXPECT_EQ(shortSlice() & kStopTest, 0u);  // the first hit passes
  EXPECT_EQ(shortSlice() & kStopTest, 0u);
  EXPECT_NE(r(kRegResume), 0u);  // the slice ended between two transfers
  for (int i = 0; i < 4; ++i) EXPECT_EQ(shortSlice() & kStopTest, 0u) << i;
  EXPECT_EQ(r(8), 107u);
  EXPECT_EQ(emu->breakpoints().list()[0].count, 1u);
}

TEST_F(Cpu, ThumbCompareWithPcSetsFlagsAndLeavesTheStateAlone) {
  thumbCode({0x45C7});  // cmp pc, r8
  set(16, 0x30);        // Thumb, User mode; the shared SPSR word holds 0
  set(8, 0x08000004);   // what PC reads as here
  slice();
  EXPECT_EQ(cpu().cpsr(), 0x60000030u);  // Z and C set, still Thumb in User mode
  EXPECT_EQ(r(15), 0x08000002u);
}

TEST_F(Cpu, ThumbLongBranchSecondHalfAloneLandsOnAnEvenPc) {
  thumbCode({0xF808});  // the second half alone: PC = LR + 16
  set(16, 0x30);
  set(14, 0x08000101);  // a Thumb return address, bit 0 set
  slice();
  EXPECT_EQ(r(15), 0x08000110u);
  EXPECT_EQ(r(14), 0x08000003u);
}

TEST_F(Cpu, BranchesExceptionsAndExits) {
  code({0xEB00003E});  // BL .+0x100
  EXPECT_NE(slice() & 0x8000, 0u);
  EXPECT_EQ(r(15), 0x08000100u);
  EXPECT_EQ(r(14), 0x08000004u);

  // SWI: the instruction enters its exception as its slice ends (no
  // interrupt comes in between), with IRQs masked.
  SetUp();
  code({0xEF000005});
  set(16, 0x1F);
  EXPECT_NE(slice() & 0x800, 0u);
  EXPECT_EQ(r(15), 0x08u);
  EXPECT_EQ(cpu().mode(), 0x13u);
  EXPECT_EQ(cpu().cpsr() & 0x80, 0x80u);
  EXPECT_EQ(r(14), 0x08000004u);
  EXPECT_EQ(cpu().reg(kRegSpsr), 0x1Fu);
  EXPECT_EQ(cpu().pendingExceptions, 0u);

  // A skipped conditional SWI raises nothing.
  SetUp();
  code({0x0F000005, 0xE1A01001});
  setFlags(0);
  EXPECT_EQ(slice() & 0x800, 0u);
  EXPECT_EQ(cpu().pendingExceptions, 0u);

  // Undefined and coprocessor instructions end the slice without an exception.
  for (u32 op : {0xE7F000F0u, 0xEE000100u, 0xEE010F10u, 0xED900100u}) {
    SetUp();
    code({op});
    u32 s = slice();
    EXPECT_NE(s & (op == 0xE7F000F0u ? 0x1000u : 0x2000u), 0u) << std::hex << op;
    EXPECT_EQ(r(15), 0x08000004u);
    EXPECT_EQ(cpu().pendingExceptions, 0u);
  }

  // MOV R0, R0 asks for the debug service; R0 = 0 stops.  Skipped, nothing.
  SetUp();
  code({0xE1A00000});
  set(0, 0);
  EXPECT_NE(slice() & 0x40, 0u);
  SetUp();
  code({0x01A00000});
  set(0, 0);
  setFlags(0);
  EXPECT_EQ(slice() & 0xC0040, 0u);

  // BX to an odd address enters Thumb state.
  SetUp();
  code({0xE12FFF10});
  set(0, 0x08000101);
  slice();
  EXPECT_TRUE(cpu().isThumb());
  EXPECT_EQ(r(15), 0x08000100u);
  // BX to an address with bit 1 set in ARM is rounded down.
  SetUp();
  code({0xE12FFF10});
  set(0, 0x08000102);
  slice();
  EXPECT_FALSE(cpu().isThumb());
  EXPECT_EQ(r(15), 0x08000100u);
}

TEST_F(Cpu, FailedConditionCostsOneSequentialCycle) {
  // Also with a timer counting, where the failed path shares the main exit
  // and the timer routine takes its cost from the cost register.
  for (const bool timer : {false, true}) {
    SetUp();
    if (timer) {
      mem().poke16(0x04000102, 0x80);  // timer 0 on, every cycle
      cpu().buildTimerCode();
    }
    code({0x00800001});  // ADDEQ R0, R0, R1
    setFlags(0);
    set(1, 5);
    const u32 count = mem().peek16(0x04000100);
    u32 before = emu->arena().journalWriteIndex;
    EXPECT_EQ(cyclesOf(), 6u) << timer;
    EXPECT_EQ(r(0), 0u);
    if (timer) {
      EXPECT_EQ(u32(mem().peek16(0x04000100) - count), 6u);
    }
    auto records = journalSince(before);
    ASSERT_EQ(records.size(), 1u) << timer;
    EXPECT_EQ(records[0].first, 0u);
    EXPECT_EQ(records[0].second, 6u << 20);
  }
}

TEST_F(Cpu, JournalRecordsPerInstruction) {
  code({0xE2800001, 0xE5910000, 0xE5810004, 0xEA000000});  // ADD; LDR; STR; B
  mem().poke32(0x02000000, 9);
  mem().poke32(0x02000004, 3);
  set(1, 0x02000000);
  const u32 r0 = cpu().regOffset(0), pc = cpu().regOffset(15);
  const u32 word4 = emu->arena().offsetOf(emu->arena().ewram + 4);
  u32 at = emu->arena().journalWriteIndex;
  slice();
  EXPECT_EQ(journalSince(at), (std::vector<std::pair<u32, u32>>{{r0, 0}, {0, 6u << 20}}));
  at = emu->arena().journalWriteIndex;
  slice();
  EXPECT_EQ(journalSince(at), (std::vector<std::pair<u32, u32>>{{r0, 1}, {1, 0x02000000}, {0, 15u << 20}}));
  at = emu->arena().journalWriteIndex;
  slice();
  EXPECT_EQ(journalSince(at),
            (std::vector<std::pair<u32, u32>>{{2, 0x02000004}, {word4, 3}, {0, 14u << 20}}));
  at = emu->arena().journalWriteIndex;
  slice();
  // The PC record holds the branch's own address; cost 1 N-cycle here and
  // 2 S-cycles at the target.
  EXPECT_EQ(journalSince(at), (std::vector<std::pair<u32, u32>>{{pc, 0x0800000C}, {0, 20u << 20}}));
}

}  // namespace

// A data breakpoint stops the access to its own word only, not those to the
// other words that share its byte of the trap bitmap.
TEST_F(Cpu, DataBreakpointsTrapTheirOwnWordOnly) {
  struct Case {
    u32 op;       // STR/LDRH r0, [r1]
    u32 kind;     // breakpoint kind at 0x02000008
    u32 trapBit;  // the status bit an access to that word raises
  };
  for (const Case& c : {Case{0xE5810000, kBreakWrite, 0x10}, Case{0xE1D100B0, kBreakRead, 0x8}}) {
    for (const u32 address : {0x02000000u, 0x02000004u, 0x02000008u, 0x0200000Au, 0x0200001Cu, 0x02000020u}) {
      SetUp();
      code({c.op});
      set(1, address);
      ASSERT_TRUE(emu->breakpoints().setBits(0x02000008, 4, 1, c.kind, true));
      const bool own = (address & ~3u) == 0x02000008;
      EXPECT_EQ((slice() & c.trapBit) != 0, own) << std::hex << c.op << " @" << address;
      // Nor does a neighbour's access count as a trap that the handler then
      // finds nothing for.
      EXPECT_EQ(emu->arena().lastDataAddress == address, own) << std::hex << c.op << " @" << address;
    }
  }
}
