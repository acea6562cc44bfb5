#include "debugger/armdis.h"

#include <gtest/gtest.h>

#include <string>

#include "core/emulator.h"
#include "support/tempdir.h"

namespace {

enum class State { kArm, kThumb };

struct Case {
  State state;
  u32 address;
  u32 code;      // ARM word, or Thumb halfword in the low 16 bits and the next halfword above
  int hiReg;     // "Use hi-reg syntax"
  int mnemonic;  // "Use mnemonic"
  const char* text;
};

std::string disassemble(const Case& c) {
  FixedIString out;
  DisassemblyOptions options;
  options.hiRegSyntax = c.hiReg != 0;
  options.mnemonic = c.mnemonic != 0;
  if (c.state == State::kArm) {
    disassembleArm(out, c.address, c.code, options);
  } else {
    disassembleThumb(out, c.address, static_cast<u16>(c.code), static_cast<u16>(c.code >> 16), options);
  }
  char text[300];
  out.toCString(text, sizeof text);
  return text;
}

constexpr State A = State::kArm;
constexpr State T = State::kThumb;
constexpr u32 kRom = 0x08000000;

// Encodings cross-checked with arm-none-eabi-as -mcpu=arm7tdmi.
const Case kCases[] = {
    // Data processing: immediate, shift by immediate (amount 0 drops the shift, ROR #0 is RRX),
    // shift by register.
    {A, kRom, 0xE3A0101F, 1, 0, "MOV\tR1, #0x0000001F"},
    {A, kRom, 0xE1A00000, 1, 0, "MOV\tR0, R0"},
    {A, kRom, 0xE1A00060, 1, 0, "MOV\tR0, R0, RRX"},
    {A, kRom, 0xE1A00120, 1, 0, "MOV\tR0, R0, LSR #0x02"},
    {A, kRom, 0xE1A00020, 1, 0, "MOV\tR0, R0"},
    {A, kRom, 0xE1E00021, 1, 0, "MVN\tR0, R1"},  // LSR #32 is encoded as amount 0
    {A, kRom, 0xE3500000, 1, 0, "CMP\tR0, #0x00000000"},
    {A, kRom, 0xE1110312, 1, 0, "TST\tR1, R2, LSL R3"},
    {A, kRom, 0xE0921103, 1, 0, "ADDS\tR1, R2, R3, LSL #0x02"},
    {A, kRom, 0x10254756, 1, 0, "EORNE\tR4, R5, R6, ASR R7"},
    {A, kRom, 0xE0610FE2, 1, 0, "RSB\tR0, R1, R2, ROR #0x1F"},
    {A, kRom, 0xE1C32574, 1, 0, "BIC\tR2, R3, R4, ROR R5"},
    {A, kRom, 0xE25104FF, 1, 0, "SUBS\tR0, R1, #0xFF000000"},
    {A, kRom, 0xE1B0F00E, 1, 0, "MOVS\tR15, R14"},
    {A, kRom, 0xE3F000FF, 1, 0, "MVNS\tR0, #0x000000FF"},
    {A, kRom, 0xF1A00000, 1, 0, "MOVNV\tR0, R0"},  // condition 15
    // Status register transfers.
    {A, kRom, 0xE10F0000, 1, 0, "MRS\tR0, CPSR"},
    {A, kRom, 0xE14F1000, 1, 0, "MRS\tR1, SPSR"},
    {A, kRom, 0xE129F002, 1, 0, "MSR\tCPSR, R2"},
    {A, kRom, 0xE169F003, 1, 0, "MSR\tSPSR, R3"},
    {A, kRom, 0xE328F20F, 1, 0, "MSR\tCPSR_flg, #0xf0000000"},
    {A, kRom, 0xE168F004, 1, 0, "MSR\tSPSR_flg, R4"},
    // Multiply and long multiply.
    {A, kRom, 0xE0000291, 1, 0, "MUL\tR0, R1, R2"},
    {A, kRom, 0x00336594, 1, 0, "MLAEQS\tR3, R4, R5, R6"},
    {A, kRom, 0x00910392, 1, 0, "UMULLEQS\tR1:R0, R2, R3"},
    {A, kRom, 0xE0C10392, 1, 0, "SMULL\tR1:R0, R2, R3"},
    {A, kRom, 0xE0E54796, 1, 0, "SMLAL\tR5:R4, R6, R7"},
    {A, kRom, 0xE0A10392, 1, 0, "UMLAL\tR1:R0, R2, R3"},
    // Swap, branch and exchange.
    {A, kRom, 0xE1020091, 1, 0, "SWP\tR0, R1, [R2]"},
    {A, kRom, 0xE1420091, 1, 0, "SWPB\tR0, R1, [R2]"},
    {A, kRom, 0xE12FFF1E, 1, 0, "BX\tR14"},
    {A, kRom, 0x112FFF10, 1, 0, "BXNE\tR0"},
    // Single data transfer: immediate and register offsets, pre and post, write-back, T, B.
    {A, kRom, 0xE5910004, 1, 0, "LDR\tR0, [R1+0x4]"},
    {A, kRom, 0xE5810000, 1, 0, "STR\tR0, [R1+0x0]"},
    {A, kRom, 0xE5310004, 1, 0, "LDR\tR0, [R1-0x4]!"},
    {A, kRom, 0xE4910004, 1, 0, "LDR\tR0, [R1]+0x4"},
    {A, kRom, 0xE4B10004, 1, 0, "LDRT\tR0, [R1]+0x4"},
    {A, kRom, 0xE51F0008, 1, 0, "LDR\tR0, [R15-0x8]"},
    {A, kRom, 0xE6410102, 1, 0, "STRB\tR0, [R1]-R2, LSL #0x02"},
    {A, kRom, 0xE7B101C2, 1, 0, "LDR\tR0, [R1+R2, ASR #0x03]!"},
    {A, kRom, 0xE7510062, 1, 0, "LDRB\tR0, [R1-R2, RRX]"},
    {A, kRom, 0xE7910302, 1, 0, "LDR\tR0, [R1+R2, LSL #0x06]"},
    // Halfword and signed transfers.
    {A, kRom, 0xE19100B2, 1, 0, "LDRH\tR0, [R1 +R2]"},
    {A, kRom, 0xE16102BA, 1, 0, "STRH\tR0, [R1 -0x2a]!"},
    {A, kRom, 0xE1D100B0, 1, 0, "LDRH\tR0, [R1 +0x0]"},
    {A, kRom, 0xE09100D2, 1, 0, "LDRSB\tR0, [R1] +R2"},
    {A, kRom, 0xE05100F6, 1, 0, "LDRSH\tR0, [R1] -0x6"},
    // Block transfers, bracketed and with the mnemonic suffixes.
    {A, kRom, 0xE92D4010, 1, 0, "STM\t[-R13]!, { R4, R14 }"},
    {A, kRom, 0xE92D4010, 1, 1, "STMFD\tSP!, { R4, R14 }"},
    {A, kRom, 0xE8BD8000, 1, 1, "LDMFD\tSP!, { R15 }"},
    {A, kRom, 0xE8BD8000, 1, 0, "LDM\t[R13+]!, { R15 }"},
    {A, kRom, 0xE80D0001, 1, 1, "STMED\tSP, { R0 }"},
    {A, kRom, 0xE93D0002, 1, 1, "LDMEA\tSP!, { R1 }"},
    {A, kRom, 0xE890002E, 1, 0, "LDM\t[R0+], { R1-R3, R5 }"},
    {A, kRom, 0xE890002E, 1, 1, "LDMIA\tR0, { R1-R3, R5 }"},
    {A, kRom, 0xE9E1001D, 1, 0, "STM\t[+R1]!, { R0, R2-R4 }^"},
    {A, kRom, 0xE9E1001D, 1, 1, "STMIB\tR1!, { R0, R2-R4 }^"},
    {A, kRom, 0xE812FFFF, 1, 1, "LDMDA\tR2, { R0-R15 }"},
    {A, kRom, 0xE8BDC001, 1, 0, "LDM\t[R13+]!, { R0, R14-R15 }"},
    {A, kRom, 0xE8800000, 1, 0, "STM\t[R0+], { }"},
    {A, kRom, 0x092D0001, 1, 0, "STMEQ\t[-R13]!, { R0 }"},
    {A, kRom, 0x0910000F, 1, 1, "LDMEQDB\tR0, { R0-R3 }"},
    // Branches: the target is absolute, eight digits.
    {A, kRom, 0xEAFFFFFE, 1, 0, "B\t08000000"},
    {A, 0x080000CC, 0xEB00003E, 1, 0, "BL\t080001cc"},
    {A, 0x080000D0, 0x1AFFFFF6, 1, 0, "BNE\t080000b0"},
    {A, kRom, 0xEB800000, 1, 0, "BL\t06000008"},
    // Software interrupt, coprocessor, undefined.
    {A, kRom, 0xEF123456, 1, 0, "SWI\t0x123456"},
    {A, kRom, 0x0F000000, 1, 0, "SWIEQ\t0x0"},
    {A, kRom, 0xED932100, 1, 0, "COPROC"},
    {A, kRom, 0xEE1321A4, 1, 0, "COPROC"},
    {A, kRom, 0xEE110F10, 1, 0, "COPROC"},
    {A, kRom, 0xE7F000F0, 1, 0, "[UNDEFINED]\tDW  0xe7f000f0"},
    {A, kRom, 0xE1800090, 1, 0, "[UNDEFINED]\tDW  0xe1800090"},

    // Thumb 1: shift by immediate.
    {T, kRom, 0x07C8, 1, 0, "LSL\tR0, R1, #0x1f"},
    {T, kRom, 0x085A, 1, 0, "LSR\tR2, R3, #0x1"},
    {T, kRom, 0x002C, 1, 0, "LSL\tR4, R5, #0x0"},
    {T, kRom, 0x1188, 1, 0, "ASR\tR0, R1, #0x6"},
    // 2: add/subtract.
    {T, kRom, 0x1888, 1, 0, "ADD\tR0, R1, R2"},
    {T, kRom, 0x1FE3, 1, 0, "SUB\tR3, R4, #0x7"},
    // 3: immediate operations.
    {T, kRom, 0x25FF, 1, 0, "MOV\tR5, #0xff"},
    {T, kRom, 0x2E01, 1, 0, "CMP\tR6, #0x1"},
    {T, kRom, 0x3702, 1, 0, "ADD\tR7, #0x2"},
    {T, kRom, 0x38C8, 1, 0, "SUB\tR0, #0xc8"},
    // 4: register ALU.
    {T, kRom, 0x4008, 1, 0, "AND\tR0, R1"},
    {T, kRom, 0x41DA, 1, 0, "ROR\tR2, R3"},
    {T, kRom, 0x425A, 1, 0, "NEG\tR2, R3"},
    {T, kRom, 0x435A, 1, 0, "MUL\tR2, R3"},
    {T, kRom, 0x43DA, 1, 0, "MVN\tR2, R3"},
    // 5: high registers and BX.
    {T, kRom, 0x4770, 1, 0, "BX\tlr"},
    {T, kRom, 0x4770, 0, 0, "BX\tR14"},
    {T, kRom, 0x4468, 1, 0, "ADD\tR0, sp"},
    {T, kRom, 0x4468, 0, 0, "ADD\tR0, R13"},
    {T, kRom, 0x4488, 1, 0, "ADD\tH0, R1"},
    {T, kRom, 0x45EC, 1, 0, "CMP\tH4, sp"},
    {T, kRom, 0x45EC, 0, 0, "CMP\tR12, R13"},
    {T, kRom, 0x46F7, 1, 0, "MOV\tpc, lr"},
    {T, kRom, 0x46F7, 0, 0, "MOV\tR15, R14"},
    {T, kRom, 0x4718, 1, 0, "BX\tR3"},
    {T, kRom, 0x4608, 1, 0, "MOV\tR0, R1"},
    // 6: PC-relative load, shown as the absolute address.
    {T, 0x08000002, 0x4801, 1, 0, "LDR\tR0, [#0x8000008]"},
    {T, 0x08000004, 0x4B02, 1, 0, "LDR\tR3, [#0x8000010]"},
    // 7 and 8: register offsets.
    {T, kRom, 0x5088, 1, 0, "STR\tR0, [R1, R2]"},
    {T, kRom, 0x5D63, 1, 0, "LDRB\tR3, [R4, R5]"},
    {T, kRom, 0x5288, 1, 0, "STRH\tR0, [R1, R2]"},
    {T, kRom, 0x5688, 1, 0, "LDSB\tR0, [R1, R2]"},
    {T, kRom, 0x5A88, 1, 0, "LDRH\tR0, [R1, R2]"},
    {T, kRom, 0x5E88, 1, 0, "LDSH\tR0, [R1, R2]"},
    // 9 and 10: immediate offsets, the field as stored.
    {T, kRom, 0x6848, 1, 0, "LDR\tR0, [R1, #0x1]"},
    {T, kRom, 0x77DA, 1, 0, "STRB\tR2, [R3, #0x1f]"},
    {T, kRom, 0x87C8, 1, 0, "STRH\tR0, [R1, #0x1f]"},
    {T, kRom, 0x8848, 1, 0, "LDRH\tR0, [R1, #0x1]"},
    // 11: SP-relative.
    {T, kRom, 0x98FF, 1, 0, "LDR\tR0, [SP, #0xff]"},
    {T, kRom, 0x98FF, 0, 0, "LDR\tR0, [R13, #0xff]"},
    {T, kRom, 0x9701, 1, 0, "STR\tR7, [SP, #0x1]"},
    // 12: load address.
    {T, kRom, 0xA8FF, 1, 0, "ADD\tR0, SP, #0x3fc"},
    {T, kRom, 0xA8FF, 0, 0, "ADD\tR0, R13, #0x3fc"},
    {T, 0x0800005E, 0xA102, 1, 0, "LDR\tR1, #0x8000068"},
    // 13: adjust SP.
    {T, kRom, 0xB082, 1, 0, "ADD\tSP, #-0x8"},
    {T, kRom, 0xB002, 1, 0, "ADD\tSP, #0x8"},
    {T, kRom, 0xB07F, 0, 0, "ADD\tR13, #0x1fc"},
    // 14: push/pop.
    {T, kRom, 0xB5F0, 1, 0, "PUSH\t{ R4-R7, LR }"},
    {T, kRom, 0xB5F0, 0, 0, "PUSH\t{ R4-R7, R14 }"},
    {T, kRom, 0xBC01, 1, 0, "POP\t{ R0}"},
    {T, kRom, 0xB500, 1, 0, "PUSH\t{  LR }"},
    {T, kRom, 0xBD00, 0, 0, "POP\t{  R15 }"},
    {T, kRom, 0xBD17, 1, 0, "POP\t{ R0-R2, R4, PC }"},
    {T, kRom, 0xB400, 1, 0, "PUSH\t{ }"},
    // 15: multiple load/store.
    {T, kRom, 0xC806, 1, 0, "LDMIA\t[R0]!, { R1-R2}"},
    {T, kRom, 0xC7FF, 1, 0, "STMIA\t[R7]!, { R0-R7}"},
    // 16: conditional branch; condition 14 has no suffix.
    {T, 0x08000010, 0xD0FE, 1, 0, "BEQ\t#0x8000010"},
    {T, 0x08000078, 0xD10E, 1, 0, "BNE\t#0x8000098"},
    {T, 0x0800007A, 0xDC80, 1, 0, "BGT\t#0x7ffff7e"},
    {T, kRom, 0xDEFE, 1, 0, "B\t#0x8000000"},
    // 17: software interrupt.
    {T, kRom, 0xDF42, 1, 0, "SWI\t#0x42"},
    // 18: branch.
    {T, 0x0800007E, 0xE7FE, 1, 0, "B\t#0x800007e"},
    {T, 0x08000080, 0xE3FB, 1, 0, "B\t#0x800087a"},
    // 19: the BL pair prints on its first half, nothing on its second.
    {T, kRom, 0xF802F000, 1, 0, "BL\t#0x8000008"},
    {T, 0x08000002, 0xF802, 1, 0, ""},
    {T, 0x08000100, 0xFFFEF7FF, 1, 0, "BL\t#0x8000100"},
    {T, kRom, 0xF800F3FF, 1, 0, "BL\t#0x83ff004"},
};

TEST(Disassembler, TableOfInstructions) {
  for (const Case& c : kCases) {
    EXPECT_EQ(disassemble(c), c.text)
        << (c.state == State::kArm ? "ARM " : "Thumb ") << std::hex << c.code << " at " << c.address
        << " hi-reg " << c.hiReg << " mnemonic " << c.mnemonic;
  }
}

TEST(Disassembler, AppendsToTheCallersText) {
  FixedIString out;
  out.appendText("08000000: ");
  disassembleArm(out, kRom, 0xE1A00000, DisassemblyOptions{});
  char text[64];
  out.toCString(text, sizeof text);
  EXPECT_STREQ(text, "08000000: MOV\tR0, R0");
}

TEST(Disassembler, TextHelpers) {
  EXPECT_STREQ(registerListText(0x002E).c_str(), " R1-R3, R5");
  EXPECT_STREQ(registerListText(0).c_str(), " ");
  EXPECT_STREQ(registerListText(0xFFFF).c_str(), " R0-R15");
  EXPECT_STREQ(registerListText(0xAAAA).c_str(), " R1, R3, R5, R7, R9, R11, R13, R15");
  EXPECT_STREQ(immediateText(0x1F, false).c_str(), "#0x1f");
  EXPECT_STREQ(immediateText(0x1C, true).c_str(), "#-0x1c");
  EXPECT_STREQ(immediateText(0, false).c_str(), "#0x0");
  EXPECT_EQ(rotateRight(0xFF, 8), 0xFF000000u);
  EXPECT_EQ(rotateRight(0x81, 0), 0x81u);
}

}  // namespace

namespace {

TEST(Disassembler, SettingsComeFromTheOptions) {
  EXPECT_STREQ(useHiRegSyntaxOption().name(), "Use hi-reg syntax");
  EXPECT_STREQ(useMnemonicOption().name(), "Use mnemonic");
  i32 savedHiReg = useHiRegSyntaxOption().value();
  i32 savedMnemonic = useMnemonicOption().value();

  useHiRegSyntaxOption().value() = 0;
  useMnemonicOption().value() = 7;
  DisassemblyOptions options = DisassemblyOptions::current();
  EXPECT_FALSE(options.hiRegSyntax);
  EXPECT_TRUE(options.mnemonic);

  useHiRegSyntaxOption().value() = 1;
  useMnemonicOption().value() = 0;
  options = DisassemblyOptions::current();
  EXPECT_TRUE(options.hiRegSyntax);
  EXPECT_FALSE(options.mnemonic);

  useHiRegSyntaxOption().value() = savedHiReg;
  useMnemonicOption().value() = savedMnemonic;
}

}  // namespace

namespace {

// The entry point reads the cartridge through the memory map and follows the
// processor's T flag, whatever the address.
TEST(Disassembler, ReadsGuestMemoryInTheProcessorsState) {
  ASSERT_TRUE(gEmulator.loadRom(testsupport::guestImage("disasm")));
  ArmCpu& cpu = gEmulator.cpu();
  u32 savedCpsr = cpu.reg(16);
  i32 savedHiReg = useHiRegSyntaxOption().value();
  i32 savedMnemonic = useMnemonicOption().value();
  useHiRegSyntaxOption().value() = 1;
  useMnemonicOption().value() = 1;

  auto text = [&](u32 address) {
    FixedIString out;
    InstructionDecoder::disassemble(cpu, out, address);
    char buffer[300];
    out.toCString(buffer, sizeof buffer);
    return std::string(buffer);
  };

  cpu.setReg(16, savedCpsr & ~0x20u);
  EXPECT_EQ(text(0x08000000), "MOV\tR1, #0x0000001F");
  EXPECT_EQ(text(0x08000004), "STMFD\tSP!, { R4, R14 }");
  EXPECT_EQ(text(0x08000008), "B\t08000000");
  EXPECT_EQ(text(0x0800000C), "[UNDEFINED]\tDW  0xf7ff4770");  // Thumb code read as ARM
  EXPECT_EQ(text(0x01000000), "SWINV\t0xffffff");              // unmapped memory reads as all ones

  cpu.setReg(16, savedCpsr | 0x20u);
  EXPECT_EQ(text(0x0800000C), "BX\tlr");
  EXPECT_EQ(text(0x0800000E), "BL\t#0x800000c");
  EXPECT_EQ(text(0x08000010), "");
  EXPECT_EQ(text(0x08000012), "ADD\tSP, #-0x8");
  useHiRegSyntaxOption().value() = 0;
  EXPECT_EQ(text(0x0800000C), "BX\tR14");

  cpu.setReg(16, savedCpsr);
  useHiRegSyntaxOption().value() = savedHiReg;
  useMnemonicOption().value() = savedMnemonic;
}

}  // namespace
