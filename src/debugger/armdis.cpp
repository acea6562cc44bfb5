#include "debugger/armdis.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/armdecode.h"
#include "core/cpu.h"
#include "core/memory.h"
#include "general/language.h"
#include "platform/variant.h"

// ---------------------------------------------------------------------------
// Text helpers
// ---------------------------------------------------------------------------

namespace {

// By bits 28-31.  AL (14) has no suffix; 15 has no meaning on this processor
// and is shown as NV rather than read past the architecture's table.
const char* const kConditionNames[16] = {"EQ", "NE", "CS", "CC", "MI", "PL", "VS", "VC",
                                         "HI", "LS", "GE", "LT", "GT", "LE", "",   "NV"};

const char* const kDataProcessingNames[16] = {"AND", "EOR", "SUB", "RSB", "ADD", "ADC", "SBC", "RSC",
                                              "TST", "TEQ", "CMP", "CMN", "ORR", "MOV", "BIC", "MVN"};

// Index: (base != R13) * 8 + L * 4 + U * 2 + P.  On R13 the stack names,
// on any other base the increment/decrement names.
const char* const kBlockSuffixes[16] = {"ED", "FD", "EA", "FA", "FA", "EA", "FD", "ED",
                                        "DA", "DB", "IA", "IB", "DA", "DB", "IA", "IB"};

// Looked up at each use, so no copy outlives the run.
constexpr const char* kUndefinedText = "[UNDEFINED]";
constexpr const char* kCoprocessorText = "COPROC";

const char* const kShiftNames[4] = {"LSL", "LSR", "ASR", "ROR"};

const char* const kThumbShiftNames[4] = {"LSL", "LSR", "ASR", "???"};  // 3 is format 2
const char* const kThumbImmediateNames[4] = {"MOV", "CMP", "ADD", "SUB"};
const char* const kThumbAluNames[16] = {"AND", "EOR", "LSL", "LSR", "ASR", "ADC", "SBC", "ROR",
                                        "TST", "NEG", "CMP", "CMN", "ORR", "MUL", "BIC", "MVN"};
const char* const kThumbHiRegisterNames[4] = {"ADD", "CMP", "MOV", "BX"};
const char* const kThumbSignedNames[4] = {"STRH", "LDSB", "LDRH", "LDSH"};

u32 bits(u32 value, int low, int count) { return (value >> low) & ((1u << count) - 1); }
bool bit(u32 value, int n) { return (value >> n) & 1; }

i32 signExtend(u32 value, int width) {
  u32 sign = 1u << (width - 1);
  return static_cast<i32>((value ^ sign) - sign);
}

// Appends printf-formatted text to a ShortText.
void addf(ShortText& t, const char* format, ...) __attribute__((format(printf, 2, 3)));
void addf(ShortText& t, const char* format, ...) {
  size_t used = strlen(t.text);
  va_list args;
  va_start(args, format);
  vsnprintf(t.text + used, sizeof t.text - used, format, args);
  va_end(args);
}

}  // namespace

u32 rotateRight(u32 value, u32 amount) {
  amount &= 31;
  return amount ? (value >> amount) | (value << (32 - amount)) : value;
}

const char* conditionName(u32 opcode) { return kConditionNames[opcode >> 28]; }

ShortText registerName(u32 n) {
  ShortText t;
  addf(t, "R%u", n & 15);
  return t;
}

ShortText immediateText(u32 value, bool negative) {
  ShortText t;
  addf(t, "#%s0x%x", negative ? "-" : "", value);
  return t;
}

ShortText shifterOperandText(u32 opcode, bool registerOnly) {
  ShortText t;
  if (bit(opcode, 25) && !registerOnly) {
    addf(t, "#0x%08X", rotateRight(bits(opcode, 0, 8), 2 * bits(opcode, 8, 4)));
    return t;
  }
  addf(t, "R%u", bits(opcode, 0, 4));
  u32 type = bits(opcode, 5, 2);
  if (bit(opcode, 4) && !registerOnly) {
    addf(t, ", %s R%u", kShiftNames[type], bits(opcode, 8, 4));
    return t;
  }
  u32 amount = bits(opcode, 7, 5);
  if (type == 3 && amount == 0) {
    addf(t, ", RRX");
  } else if (amount != 0) {
    addf(t, ", %s #0x%02X", kShiftNames[type], amount);
  }
  return t;
}

ShortText registerListText(u32 mask) {
  ShortText t;
  addf(t, " ");
  bool first = true;
  for (u32 n = 0; n < 16; ++n) {
    if (!bit(mask, n)) continue;
    u32 last = n;
    while (last < 15 && bit(mask, last + 1)) ++last;
    addf(t, "%sR%u", first ? "" : ", ", n);
    if (last > n) addf(t, "-R%u", last);
    first = false;
    n = last;
  }
  return t;
}

ShortText thumbRegisterName(u32 n, bool high, const DisassemblyOptions& options) {
  static const char* const kHighNames[8] = {"H0", "H1", "H2", "H3", "H4", "sp", "lr", "pc"};
  ShortText t;
  n &= 7;
  if (!high) {
    addf(t, "R%u", n);
  } else if (variant::kOlder) {
    addf(t, "H%u", n);
  } else if (options.hiRegSyntax) {
    addf(t, "%s", kHighNames[n]);
  } else {
    addf(t, "R%u", n + 8);
  }
  return t;
}

#ifndef VANDREL_OLDER_VARIANT
namespace {
constinit ConfigOption<i32> gUseHiRegSyntax("Use hi-reg syntax", 1);
constinit ConfigOption<i32> gUseMnemonic("Use mnemonic", 0);
}  // namespace

ConfigOption<i32>& useHiRegSyntaxOption() { return gUseHiRegSyntax; }
ConfigOption<i32>& useMnemonicOption() { return gUseMnemonic; }
#endif

DisassemblyOptions DisassemblyOptions::current() {
  DisassemblyOptions options;
#ifndef VANDREL_OLDER_VARIANT
  options.hiRegSyntax = gUseHiRegSyntax.value() != 0;
  options.mnemonic = gUseMnemonic.value() != 0;
#endif
  return options;
}

// ---------------------------------------------------------------------------
// Handlers: one per ARM instruction class and Thumb format
// ---------------------------------------------------------------------------

namespace {

// One line being written.
struct Line {
  FixedIString& out;
  u32 address;
  u32 op;
  const DisassemblyOptions& options;

  Line& operator<<(const char* s) {
    out.appendText(s);
    return *this;
  }
  Line& operator<<(const ShortText& s) { return *this << s.c_str(); }
  Line& hex(u32 value) {
    ShortText t;
    addf(t, "%x", value);
    return *this << t;
  }
  ShortText reg(int lowBit) const { return registerName(bits(op, lowBit, 4)); }
  const char* cond() const { return conditionName(op); }
  ShortText thumbReg(int lowBit) const { return thumbRegisterName(bits(op, lowBit, 3), false, options); }
  const char* sp() const { return variant::kOlder || options.hiRegSyntax ? "SP" : "R13"; }
};

const char* psrName(u32 op) { return bit(op, 22) ? "SPSR" : "CPSR"; }

// --- ARM ---

void armMrs(Line& l) { l << "MRS" << l.cond() << "\t" << l.reg(12) << ", " << psrName(l.op); }

void armMsrRegister(Line& l) { l << "MSR" << l.cond() << "\t" << psrName(l.op) << ", " << l.reg(0); }

void armMsrFlags(Line& l) {
  l << "MSR" << l.cond() << "\t" << (bit(l.op, 22) ? "SPSR_flg" : "CPSR_flg") << ", ";
  if (bit(l.op, 25)) {
    l << immediateText(rotateRight(bits(l.op, 0, 8), 2 * bits(l.op, 8, 4)), false);
  } else {
    l << l.reg(0);
  }
}

void armDataProcessing(Line& l) {
  switch (armdecode::classifyDataProcessing(l.op)) {
    case armdecode::DataProcessingKind::Mrs:
      return armMrs(l);
    case armdecode::DataProcessingKind::MsrRegister:
      return armMsrRegister(l);
    case armdecode::DataProcessingKind::MsrFlags:
      return armMsrFlags(l);
    case armdecode::DataProcessingKind::Alu:
      break;
  }
  u32 opcode = bits(l.op, 21, 4);
  const char* s = bit(l.op, 20) ? "S" : "";
  l << kDataProcessingNames[opcode] << l.cond();
  if (opcode >= 8 && opcode <= 11) {  // TST, TEQ, CMP, CMN: no S, no destination
    l << "\t" << l.reg(16);
  } else if (opcode == 13 || opcode == 15) {  // MOV, MVN: no first operand
    l << s << "\t" << l.reg(12);
  } else {
    l << s << "\t" << l.reg(12) << ", " << l.reg(16);
  }
  l << ", " << shifterOperandText(l.op, false);
}

void armMultiply(Line& l) {
  bool accumulate = bit(l.op, 21);
  l << (accumulate ? "MLA" : "MUL") << l.cond() << (bit(l.op, 20) ? "S" : "") << "\t" << l.reg(16) << ", "
    << l.reg(0) << ", " << l.reg(8);
  if (accumulate) l << ", " << l.reg(12);
}

void armMultiplyLong(Line& l) {
  l << (bit(l.op, 22) ? "S" : "U") << (bit(l.op, 21) ? "MLAL" : "MULL") << l.cond()
    << (bit(l.op, 20) ? "S" : "") << "\t" << l.reg(16) << ":" << l.reg(12) << ", " << l.reg(0) << ", "
    << l.reg(8);
}

void armSwap(Line& l) {
  l << "SWP" << l.cond() << (bit(l.op, 22) ? "B" : "") << "\t" << l.reg(12) << ", " << l.reg(0) << ", ["
    << l.reg(16) << "]";
}

void armBranchExchange(Line& l) { l << "BX" << l.cond() << "\t" << l.reg(0); }

// Halfword and signed transfers: an 8-bit immediate offset split over bits 8-11
// and 0-3, or Rm.
void armHalfword(Line& l, bool immediate) {
  static const char* const kKinds[4] = {"", "H", "SB", "SH"};
  bool pre = bit(l.op, 24);
  l << (bit(l.op, 20) ? "LDR" : "STR") << l.cond() << kKinds[bits(l.op, 5, 2)] << "\t" << l.reg(12) << ", ["
    << l.reg(16) << (pre ? " " : "] ") << (bit(l.op, 23) ? "+" : "-");
  if (immediate) {
    l << "0x";
    l.hex(bits(l.op, 8, 4) * 16 + bits(l.op, 0, 4));
  } else {
    l << l.reg(0);
  }
  if (pre) l << "]" << (bit(l.op, 21) ? "!" : "");
}

void armHalfwordRegister(Line& l) { armHalfword(l, false); }
void armHalfwordImmediate(Line& l) { armHalfword(l, true); }

void armLoadStore(Line& l) {
  bool pre = bit(l.op, 24);
  l << (bit(l.op, 20) ? "LDR" : "STR") << l.cond() << (bit(l.op, 22) ? "B" : "")
    << (!pre && bit(l.op, 21) ? "T" : "") << "\t" << l.reg(12) << ", [" << l.reg(16) << (pre ? "" : "]")
    << (bit(l.op, 23) ? "+" : "-");
  if (!bit(l.op, 25)) {
    l << "0x";
    l.hex(bits(l.op, 0, 12));
  } else {
    l << shifterOperandText(l.op, true);
  }
  if (pre) l << "]" << (bit(l.op, 21) ? "!" : "");
}

void armBlockTransfer(Line& l) {
  u32 op = l.op;
  u32 base = bits(op, 16, 4);
  bool pre = bit(op, 24);
  const char* sign = bit(op, 23) ? "+" : "-";
  l << (bit(op, 20) ? "LDM" : "STM") << l.cond();
  if (l.options.mnemonic && !variant::kOlder) {
    u32 index = (base != 13) * 8 + bit(op, 20) * 4 + bit(op, 23) * 2 + pre;
    l << kBlockSuffixes[index] << "\t";
    if (base == 13) {
      l << "SP";
    } else {
      l << registerName(base);
    }
  } else {
    l << "\t[";
    if (pre) {
      l << sign << registerName(base);
    } else {
      l << registerName(base) << sign;
    }
    l << "]";
  }
  l << (bit(op, 21) ? "!" : "") << ", ";
  u32 list = bits(op, 0, 16);
  if (list) {
    l << "{" << registerListText(list) << " }";
  } else {
    l << "{ }";
  }
  if (bit(op, 22)) l << "^";
}

void armBranch(Line& l) {
  u32 target = l.address + 8 + static_cast<u32>(signExtend(bits(l.op, 0, 24), 24)) * 4;
  ShortText t;
  addf(t, "%08x", target);
  l << "B" << (bit(l.op, 24) ? "L" : "") << l.cond() << "\t" << t;
}

void armSoftwareInterrupt(Line& l) {
  l << "SWI" << l.cond() << "\t0x";
  l.hex(bits(l.op, 0, 24));
}

void armCoprocessor(Line& l) { l.out.appendText(translate(kCoprocessorText)); }

void armUndefined(Line& l) {
  l.out.appendText(translate(kUndefinedText));
  l << "\tDW  0x";
  l.hex(l.op);
}

// --- Thumb (Rd bits 0-2, Rs/Rb bits 3-5, Rn/Ro bits 6-8 unless stated) ---

void thumbShift(Line& l) {
  l << kThumbShiftNames[bits(l.op, 11, 2)] << "\t" << l.thumbReg(0) << ", " << l.thumbReg(3) << ", "
    << immediateText(bits(l.op, 6, 5), false);
}

void thumbAddSubtract(Line& l) {
  l << (bit(l.op, 9) ? "SUB" : "ADD") << "\t" << l.thumbReg(0) << ", " << l.thumbReg(3) << ", ";
  if (bit(l.op, 10)) {
    l << immediateText(bits(l.op, 6, 3), false);
  } else {
    l << l.thumbReg(6);
  }
}

void thumbImmediate(Line& l) {
  l << kThumbImmediateNames[bits(l.op, 11, 2)] << "\t" << l.thumbReg(8) << ", "
    << immediateText(bits(l.op, 0, 8), false);
}

void thumbAlu(Line& l) {
  l << kThumbAluNames[bits(l.op, 6, 4)] << "\t" << l.thumbReg(0) << ", " << l.thumbReg(3);
}

void thumbHiRegister(Line& l) {
  u32 kind = bits(l.op, 8, 2);
  l << kThumbHiRegisterNames[kind] << "\t";
  if (kind != 3) l << thumbRegisterName(bits(l.op, 0, 3), bit(l.op, 7), l.options) << ", ";
  l << thumbRegisterName(bits(l.op, 3, 3), bit(l.op, 6), l.options);
}

u32 thumbPcRelative(const Line& l) { return ((l.address + 4) & ~3u) + bits(l.op, 0, 8) * 4; }

void thumbPcLoad(Line& l) {
  l << "LDR\t" << l.thumbReg(8) << ", [" << immediateText(thumbPcRelative(l), false) << "]";
}

void thumbLoadStoreRegister(Line& l) {
  l << (bit(l.op, 11) ? "LDR" : "STR") << (bit(l.op, 10) ? "B" : "") << "\t" << l.thumbReg(0) << ", ["
    << l.thumbReg(3) << ", " << l.thumbReg(6) << "]";
}

void thumbLoadStoreSigned(Line& l) {
  l << kThumbSignedNames[bits(l.op, 10, 2)] << "\t" << l.thumbReg(0) << ", [" << l.thumbReg(3) << ", "
    << l.thumbReg(6) << "]";
}

void thumbLoadStoreImmediate(Line& l) {
  l << (bit(l.op, 11) ? "LDR" : "STR") << (bit(l.op, 12) ? "B" : "") << "\t" << l.thumbReg(0) << ", ["
    << l.thumbReg(3) << ", " << immediateText(bits(l.op, 6, 5), false) << "]";
}

void thumbLoadStoreHalfword(Line& l) {
  l << (bit(l.op, 11) ? "LDRH" : "STRH") << "\t" << l.thumbReg(0) << ", [" << l.thumbReg(3) << ", "
    << immediateText(bits(l.op, 6, 5), false) << "]";
}

void thumbSpLoadStore(Line& l) {
  l << (bit(l.op, 11) ? "LDR" : "STR") << "\t" << l.thumbReg(8) << ", [" << l.sp() << ", "
    << immediateText(bits(l.op, 0, 8), false) << "]";
}

void thumbLoadAddress(Line& l) {
  if (bit(l.op, 11)) {
    l << "ADD\t" << l.thumbReg(8) << ", " << l.sp() << ", " << immediateText(bits(l.op, 0, 8) * 4, false);
  } else {
    l << "LDR\t" << l.thumbReg(8) << ", " << immediateText(thumbPcRelative(l), false);
  }
}

void thumbAdjustSp(Line& l) {
  l << "ADD\t" << l.sp() << ", " << immediateText(bits(l.op, 0, 7) * 4, bit(l.op, 7));
}

void thumbPushPop(Line& l) {
  bool pop = bit(l.op, 11);
  u32 list = bits(l.op, 0, 8);
  l << (pop ? "POP\t{" : "PUSH\t{") << registerListText(list);
  if (!bit(l.op, 8)) {
    l << "}";
  } else if (variant::kOlder) {
    l << (pop ? ", PC }" : ", LR }");
  } else {
    l << (list ? "," : "");
    if (l.options.hiRegSyntax) {
      l << (pop ? " PC }" : " LR }");
    } else {
      l << (pop ? " R15 }" : " R14 }");
    }
  }
}

void thumbMultiple(Line& l) {
  l << (bit(l.op, 11) ? "LDMIA\t" : "STMIA\t") << "[" << l.thumbReg(8) << "]"
    << "!, {" << registerListText(bits(l.op, 0, 8)) << "}";
}

void thumbConditionalBranch(Line& l) {
  u32 target = l.address + static_cast<u32>(signExtend(bits(l.op, 0, 8), 8)) * 2 + 4;
  l << "B" << kConditionNames[bits(l.op, 8, 4)] << "\t" << immediateText(target, false);
}

void thumbSoftwareInterrupt(Line& l) { l << "SWI\t" << immediateText(bits(l.op, 0, 8), false); }

void thumbBranch(Line& l) {
  u32 target = l.address + static_cast<u32>(signExtend(bits(l.op, 0, 11), 11)) * 2 + 4;
  l << "B\t" << immediateText(target, false);
}

// The first half carries the high part of the offset and prints the whole
// pair; the second half prints nothing.
void thumbLongBranch(Line& l, u16 next) {
  if (bit(l.op, 11)) return;
  u32 target =
      l.address + 4 + static_cast<u32>(signExtend(bits(l.op, 0, 11), 11)) * 4096 + bits(next, 0, 11) * 2;
  l << "BL\t" << immediateText(target, false);
}

}  // namespace

// ---------------------------------------------------------------------------
// Dispatch through the translator's decode trees, so the text always names
// the instruction the translator runs.
// ---------------------------------------------------------------------------

namespace {

using armdecode::ArmClass;
using armdecode::ThumbFormat;

using Handler = void (*)(Line&);

// In ArmClass order.
constexpr Handler kArmHandlers[armdecode::kArmClassCount] = {
    armBranchExchange,     // BranchExchange
    armHalfwordRegister,   // HalfwordRegister
    armHalfwordImmediate,  // HalfwordImmediate
    armMultiply,           // Multiply
    armMultiplyLong,       // MultiplyLong
    armSwap,               // Swap
    armUndefined,          // Undefined
    armDataProcessing,     // DataProcessing
    armLoadStore,          // LoadStore
    armBlockTransfer,      // BlockTransfer
    armBranch,             // Branch
    armCoprocessor,        // CoprocessorTransfer
    armSoftwareInterrupt,  // SoftwareInterrupt
    armCoprocessor,        // CoprocessorData
    armCoprocessor,        // CoprocessorRegister
};

// By format number; the long branch takes the following halfword as well.
constexpr Handler kThumbHandlers[armdecode::kThumbFormatCount] = {
    nullptr,                  // no format 0
    thumbShift,               // 1
    thumbAddSubtract,         // 2
    thumbImmediate,           // 3
    thumbAlu,                 // 4
    thumbHiRegister,          // 5
    thumbPcLoad,              // 6
    thumbLoadStoreRegister,   // 7
    thumbLoadStoreSigned,     // 8
    thumbLoadStoreImmediate,  // 9
    thumbLoadStoreHalfword,   // 10
    thumbSpLoadStore,         // 11
    thumbLoadAddress,         // 12
    thumbAdjustSp,            // 13
    thumbPushPop,             // 14
    thumbMultiple,            // 15
    thumbConditionalBranch,   // 16
    thumbSoftwareInterrupt,   // 17
    thumbBranch,              // 18
    nullptr,                  // 19: thumbLongBranch
};

}  // namespace

void disassembleArm(FixedIString& out, u32 address, u32 opcode, const DisassemblyOptions& options) {
  Line l{out, address, opcode, options};
  kArmHandlers[static_cast<int>(armdecode::classifyArm(opcode))](l);
}

void disassembleThumb(FixedIString& out, u32 address, u16 opcode, u16 next,
                      const DisassemblyOptions& options) {
  Line l{out, address, opcode, options};
  ThumbFormat format = armdecode::classifyThumb(opcode);
  if (format == ThumbFormat::LongBranch) {
    thumbLongBranch(l, next);
  } else {
    kThumbHandlers[static_cast<int>(format)](l);
  }
}

void InstructionDecoder::disassemble(ArmCpu& cpu, FixedIString& out, u32 address) {
  const GbaMemory& memory = cpu.memory();
  DisassemblyOptions options = DisassemblyOptions::current();
  if (cpu.isThumb()) {
    disassembleThumb(out, address, memory.peek16(address), memory.peek16(address + 2), options);
  } else {
    disassembleArm(out, address, memory.peek32(address), options);
  }
}
