// ARM translation handlers: one per instruction class, each emitting a body
// between the prologue and epilogue of the code emitter, with the status
// kinds, journal records and cost counts of its class.

#include <bit>
#include <cstring>
#include <vector>

#include "core/armdecode.h"
#include "core/check.h"
#include "core/cpu.h"
#include "core/history.h"
#include "core/memory.h"
#include "core/thumb.h"

using namespace Xbyak::util;
using armdecode::ArmClass;
using armdecode::DataProcessingKind;

namespace {

constexpr u32 kPcOffset = u32(arena::kRegisters) + 15 * 4;
constexpr u32 kCpsrOffset = u32(arena::kRegisters) + 16 * 4;

u32 rotateRight(u32 v, u32 n) { return n ? (v >> n) | (v << (32 - n)) : v; }
u32 signExtend(u32 v, u32 bits) { return u32(i32(v << (32 - bits)) >> (32 - bits)); }

bool isLogical(u32 opc) {
  switch (opc) {
    case 0: case 1: case 8: case 9: case 12: case 13: case 14: case 15: return true;
    default: return false;
  }
}

}  // namespace

void ArmCpu::prologue(u32 address, u32 op, CodeEmitter& e, u32 condition) {
  (void)op;
  bool probe = testTrapBit(memory_.trapMap(), 2, address);
  e.beginInstruction(address, instructionSize(), probe, condition, instructionCost(address, 0, 0, 1));
}

void ArmCpu::translateInstruction(u32 address, CodeEmitter& e) {
  if (isThumb()) translateThumb(address, memory_.peek16(address), e);
  else translateArm(address, memory_.peek32(address), e);
}

void ArmCpu::translateArm(u32 address, u32 op, CodeEmitter& e) {
  switch (armdecode::classifyArm(op)) {
    case ArmClass::BranchExchange: return translateBranchExchange(address, op, e);
    case ArmClass::HalfwordRegister: return translateHalfwordRegister(address, op, e);
    case ArmClass::HalfwordImmediate: return translateHalfwordImmediate(address, op, e);
    case ArmClass::Multiply: return translateMultiply(address, op, e);
    case ArmClass::MultiplyLong: return translateMultiplyLong(address, op, e);
    case ArmClass::Swap: return translateSwap(address, op, e);
    case ArmClass::Undefined: return translateUndefined(address, op, e);
    case ArmClass::DataProcessing: return translateDataProcessing(address, op, e);
    case ArmClass::LoadStore: return translateLoadStore(address, op, e);
    case ArmClass::BlockTransfer: return translateBlockTransfer(address, op, e);
    case ArmClass::Branch: return translateBranch(address, op, e);
    case ArmClass::CoprocessorTransfer: return translateCoprocessorTransfer(address, op, e);
    case ArmClass::SoftwareInterrupt: return translateSoftwareInterrupt(address, op, e);
    case ArmClass::CoprocessorData: return translateCoprocessorData(address, op, e);
    case ArmClass::CoprocessorRegister: return translateCoprocessorRegister(address, op, e);
  }
}

void ArmCpu::translateThumb(u32 address, u32 op, CodeEmitter& e) {
  ThumbArmWord t = thumbToArm(u16(op));
  const u32 saved = e.translationFlags;
  e.translationFlags |= t.extraFlags;
  switch (t.handler) {
    case ThumbHandler::kDataProcessing: translateDataProcessing(address, t.arm, e); break;
    case ThumbHandler::kMultiply: translateMultiply(address, t.arm, e); break;
    case ThumbHandler::kBranchExchange: translateBranchExchange(address, t.arm, e); break;
    case ThumbHandler::kLoadStore: translateLoadStore(address, t.arm, e); break;
    case ThumbHandler::kHalfwordRegister: translateHalfwordRegister(address, t.arm, e); break;
    case ThumbHandler::kHalfwordImmediate: translateHalfwordImmediate(address, t.arm, e); break;
    case ThumbHandler::kBlockTransfer: translateBlockTransfer(address, t.arm, e); break;
    case ThumbHandler::kBranch: translateBranch(address, t.arm, e); break;
    case ThumbHandler::kSoftwareInterrupt: translateSoftwareInterrupt(address, t.arm, e); break;
    case ThumbHandler::kLongBranch: translateThumbLongBranch(address, op, e); break;
  }
  e.translationFlags = saved;
}

void ArmCpu::translateExit(u32 address, u32 op, CodeEmitter& e, u32 kind, u32 cost) {
  prologue(address, op, e, op >> 28);
  e.epilogue(e.translationFlags | kStatusBase | kind, cost);
}

void ArmCpu::translateSoftwareInterrupt(u32 address, u32 op, CodeEmitter& e) {
  translateExit(address, op, e, 0x800, instructionCost(address, 1, 0, 2));
}
void ArmCpu::translateUndefined(u32 address, u32 op, CodeEmitter& e) {
  translateExit(address, op, e, 0x1000, instructionCost(address, 1, 1, 2));
}
void ArmCpu::translateCoprocessorTransfer(u32 address, u32 op, CodeEmitter& e) {
  translateExit(address, op, e, 0x2000, instructionCost(address, 2, 0, 0));
}
void ArmCpu::translateCoprocessorData(u32 address, u32 op, CodeEmitter& e) {
  translateExit(address, op, e, 0x2000, instructionCost(address, 0, 0, 1));
}
void ArmCpu::translateCoprocessorRegister(u32 address, u32 op, CodeEmitter& e) {
  translateExit(address, op, e, 0x2000, instructionCost(address, 0, 0, 1));
}

// ---------------------------------------------------------------- data processing

// CPSR = SPSR (journaled), and the new PC in `pc` aligned for the state being
// returned to: the return from an exception.
static void restoreCpsrAligningPc(CodeEmitter& e, u32 spsrOffset, const Xbyak::Reg32& pc) {
  Xbyak::Label arm, aligned;
  e.journalLocation(kCpsrOffset);
  e.mov(eax, e.dword[rbx + i32(spsrOffset)]);
  e.mov(e.dword[rbx + i32(kCpsrOffset)], eax);
  e.test(eax, 0x20);
  e.jz(arm);
  e.and_(pc, ~1u);
  e.jmp(aligned);
  e.L(arm);
  e.and_(pc, ~3u);
  e.L(aligned);
}

namespace {

// Operand 2 into edx; with wantCarry the shifter's carry-out into bit 29 of
// r14d.  Returns whether the carry-out can differ from C.
struct ShifterResult {
  bool carryChanged = false;
  bool registerShift = false;
  u32 marks = 0;
  // An immediate operand, or a register unshifted, is given here rather
  // than loaded into edx.
  bool immediate = false;
  u32 value = 0;
  bool plainRegister = false;
  u32 registerOffset = 0;
};

}  // namespace

static ShifterResult emitShifter(ArmCpu& cpu, u32 address, u32 op, CodeEmitter& e, bool wantCarry) {
  ShifterResult r;
  const bool thumb = cpu.isThumb();
  auto R = [&](u32 n) { return e.dword[rbx + i32(cpu.regOffset(n))]; };
  auto carryFromCf = [&] {
    if (!wantCarry) return;
    e.sbb(r14d, r14d);
    e.and_(r14d, 0x20000000);
  };
  auto carryFromBit31 = [&] {  // of edx
    if (!wantCarry) return;
    e.mov(r14d, edx);
    e.shr(r14d, 2);
    e.and_(r14d, 0x20000000);
  };
  if (op & (1u << 26)) {  // internal 12-bit immediate
    r.immediate = true;
    r.value = signExtend(op & 0xFFF, 12);
    return r;
  }
  if (op & (1u << 25)) {
    u32 rot = ((op >> 8) & 15) * 2;
    u32 imm = rotateRight(op & 0xFF, rot);
    r.immediate = true;
    r.value = imm;
    if (rot && wantCarry) {
      e.mov(r14d, (imm >> 31) << 29);
      r.carryChanged = true;
    }
    return r;
  }
  const u32 rm = op & 15, type = (op >> 5) & 3;
  r.registerShift = (op >> 4) & 1;
  if (rm != 15 && !r.registerShift && type == 0 && !((op >> 7) & 31)) {
    r.plainRegister = true;
    r.registerOffset = cpu.regOffset(rm);
    return r;
  }
  if (rm == 15) e.mov(edx, address + (thumb ? 4 : 8) + (r.registerShift ? 4 : 0));
  else e.mov(edx, R(rm));
  if (!r.registerShift) {
    u32 amount = (op >> 7) & 31;
    switch (type) {
      case 0:
        if (amount) {
          e.shl(edx, u8(amount));
          carryFromCf();
          r.carryChanged = true;
        }
        break;
      case 1:
        if (amount) {
          e.shr(edx, u8(amount));
          carryFromCf();
        } else {
          carryFromBit31();
          e.xor_(edx, edx);
        }
        r.carryChanged = true;
        break;
      case 2:
        if (amount) {
          e.sar(edx, u8(amount));
          carryFromCf();
        } else {
          carryFromBit31();
          e.sar(edx, 31);
        }
        r.carryChanged = true;
        break;
      case 3:
        if (amount) {
          e.ror(edx, u8(amount));
        } else {
          e.bt(e.dword[rbx + i32(kCpsrOffset)], 29);
          e.rcr(edx, 1);
        }
        carryFromCf();
        r.carryChanged = true;
        break;
    }
    return r;
  }
  // Shift by the low byte of Rs.
  const u32 rs = (op >> 8) & 15;
  if (rs == 15) {
    r.marks |= 0x80;
    e.mov(ecx, (address + (thumb ? 8 : 12)) & 0xFF);
  } else {
    e.movzx(ecx, e.byte[rbx + i32(cpu.regOffset(rs))]);
  }
  r.carryChanged = true;
  if (wantCarry) e.mov(r14d, e.dword[rbx + i32(kCpsrOffset)]);  // amount 0 keeps C
  Xbyak::Label done, big;
  e.test(ecx, ecx);
  e.jz(done, e.T_NEAR);
  switch (type) {
    case 0:
    case 1: {
      Xbyak::Label over;
      e.cmp(ecx, 32);
      e.jae(big, e.T_NEAR);
      if (type == 0) e.shl(edx, cl);
      else e.shr(edx, cl);
      carryFromCf();
      e.jmp(done, e.T_NEAR);
      e.L(big);
      if (wantCarry) {
        e.ja(over);
        // Exactly 32: the last bit out is bit 0 (LSL) or bit 31 (LSR).
        e.mov(r14d, edx);
        if (type == 0) e.shl(r14d, 29);
        else e.shr(r14d, 2);
        e.and_(r14d, 0x20000000);
        e.xor_(edx, edx);
        e.jmp(done, e.T_NEAR);
        e.L(over);
        e.xor_(r14d, r14d);
      }
      e.xor_(edx, edx);
      break;
    }
    case 2:
      e.cmp(ecx, 32);
      e.jae(big, e.T_NEAR);
      e.sar(edx, cl);
      carryFromCf();
      e.jmp(done, e.T_NEAR);
      e.L(big);
      e.sar(edx, 31);
      if (wantCarry) {
        e.mov(r14d, edx);
        e.and_(r14d, 0x20000000);
      }
      break;
    case 3:
      e.and_(ecx, 31);
      e.jz(big, e.T_NEAR);
      e.ror(edx, cl);
      carryFromCf();
      e.jmp(done, e.T_NEAR);
      e.L(big);  // a non-zero multiple of 32: value kept, carry = bit 31
      carryFromBit31();
      break;
  }
  e.L(done);
  return r;
}

void ArmCpu::translateDataProcessing(u32 address, u32 op, CodeEmitter& e) {
  const bool thumb = isThumb();
  auto R = [&](u32 n) { return e.dword[rbx + i32(regOffset(n))]; };
  const u32 cond = op >> 28;
  const u32 rd = (op >> 12) & 15, rn = (op >> 16) & 15;
  const u32 flagsBase = e.translationFlags | kStatusBase;
  const DataProcessingKind kind =
      (op & (1u << 26)) ? DataProcessingKind::Alu : armdecode::classifyDataProcessing(op);

  if (kind == DataProcessingKind::Mrs) {
    prologue(address, op, e, cond);
    // In User and System mode (and a mode field of none of the seven modes)
    // SPSR is CPSR's word.
    bool spsr = (op >> 22) & 1;
    u32 src = spsr ? regOffset(kRegSpsr) : kCpsrOffset;
    e.mov(r8d, e.dword[rbx + i32(src)]);
    u32 status = flagsBase;
    if (rd == 15) {
      status |= 0x80 | 0x8000;
      e.and_(r8d, thumb ? ~1u : ~3u);
      e.journalConst(kPcOffset, address);
    } else {
      e.journalLocation(regOffset(rd));
    }
    e.mov(R(rd), r8d);
    e.epilogue(status, instructionCost(address, 0, 0, 1));
    return;
  }
  if (kind == DataProcessingKind::MsrRegister || kind == DataProcessingKind::MsrFlags ||
      (kind == DataProcessingKind::Alu && !(op & (1u << 26)) && (op & 0x0DB0F000) == 0x0120F000)) {
    // MSR.  The control form writes all 32 bits, the flags form the top
    // four; other field masks write the fields they name.
    prologue(address, op, e, cond);
    const bool spsr = (op >> 22) & 1;
    u32 fieldMask;
    if (kind == DataProcessingKind::MsrRegister) fieldMask = 0xFFFFFFFF;
    else if (kind == DataProcessingKind::MsrFlags) fieldMask = 0xF0000000;
    else {
      fieldMask = 0;
      for (u32 f = 0; f < 4; ++f)
        if (op & (1u << (16 + f))) fieldMask |= 0xFFu << (8 * f);
    }
    if (op & (1u << 25)) {
      e.mov(edx, rotateRight(op & 0xFF, ((op >> 8) & 15) * 2));
    } else {
      u32 rm = op & 15;
      if (rm == 15) e.mov(edx, address + (thumb ? 4 : 8));
      else e.mov(edx, R(rm));
    }
    u32 target = spsr ? regOffset(kRegSpsr) : kCpsrOffset;
    // A mode without an SPSR drops the write.
    if (!spsr || RegisterBank::hasSpsr(currentBank())) {
      e.journalLocation(target);  // old value in r11d
      if (fieldMask != 0xFFFFFFFF) {
        e.and_(edx, fieldMask);
        e.and_(r11d, ~fieldMask);
        e.or_(edx, r11d);
      }
      e.mov(e.dword[rbx + i32(target)], edx);
    }
    u32 status = flagsBase;
    if (!spsr && (fieldMask & 0xFF)) status |= 0x20000;
    e.epilogue(status, instructionCost(address, 0, 0, 1));
    return;
  }

  const u32 opc = (op >> 21) & 15;
  const bool s = (op >> 20) & 1;
  const bool logical = isLogical(opc);
  const bool writes = opc < 8 || opc >= 12;
  const bool pcWrite = writes && rd == 15;
  // A comparison with S and Rd = 15 restores CPSR from SPSR, as the
  // ARM7TDMI does, in place of setting flags.  Not so Thumb's CMP PC, Rs,
  // whose re-encoding puts PC in the Rd field: a plain comparison.
  const bool compareRestore = !thumb && !writes && s && rd == 15;
  const bool setFlags = s && !pcWrite && !compareRestore;
  u32 status = flagsBase;
  if (pcWrite) status |= 0x8000 | (s ? 0x20000 : 0);
  if (compareRestore) status |= 0x20000;
  if ((op & 0x0FFFFFFF) == 0x01A00000) status |= 0x80000;  // MOV R0, R0: the guest debug service

  prologue(address, op, e, cond);
  ShifterResult sh = emitShifter(*this, address, op, e, setFlags && logical);
  status |= sh.marks;
  if (opc != 13 && opc != 15) {
    if (rn == 15) {
      // Thumb's ADD Rd, PC, #imm (the internal immediate form) sees PC
      // rounded down to a word; its high-register ADD sees address + 4.
      u32 pcValue = thumb ? ((op & (1u << 26)) ? (address & ~3u) : address) + 4 : (address & ~3u) + 8;
      e.mov(r8d, pcValue + (sh.registerShift ? 4 : 0));
    } else {
      e.mov(r8d, R(rn));
    }
  }
  const Xbyak::Address carryBit = e.dword[rbx + i32(kCpsrOffset)];
  auto aluWithEdx = [&] {
    switch (opc) {
      case 0: case 8: e.and_(r8d, edx); break;
      case 1: case 9: e.xor_(r8d, edx); break;
      case 2: case 10: e.sub(r8d, edx); e.cmc(); break;
      case 3: e.sub(edx, r8d); e.cmc(); e.mov(r8d, edx); break;
      case 4: case 11: e.add(r8d, edx); break;
      case 5: e.bt(carryBit, 29); e.adc(r8d, edx); break;
      case 6: e.bt(carryBit, 29); e.cmc(); e.sbb(r8d, edx); e.cmc(); break;
      case 7: e.bt(carryBit, 29); e.cmc(); e.sbb(edx, r8d); e.cmc(); e.mov(r8d, edx); break;
      case 12: e.or_(r8d, edx); break;
      case 13: e.mov(r8d, edx); break;
      case 14: e.not_(edx); e.and_(r8d, edx); break;
      case 15: e.not_(edx); e.mov(r8d, edx); break;
    }
  };
  // An immediate or a plain register goes into the operation itself where
  // it can.
  auto direct = [&](const auto& operand) {
    switch (opc) {
      case 0: case 8: e.and_(r8d, operand); return true;
      case 1: case 9: e.xor_(r8d, operand); return true;
      case 2: case 10: e.sub(r8d, operand); e.cmc(); return true;
      case 4: case 11: e.add(r8d, operand); return true;
      case 12: e.or_(r8d, operand); return true;
      case 13: e.mov(r8d, operand); return true;
    }
    return false;
  };
  const Xbyak::Address plain = e.dword[rbx + i32(sh.registerOffset)];
  bool done = false;
  if (sh.immediate && opc == 14) {
    e.and_(r8d, ~sh.value);
    done = true;
  } else if (sh.immediate && opc == 15) {
    e.mov(r8d, ~sh.value);
    done = true;
  } else if (sh.immediate) {
    done = direct(sh.value);
  } else if (sh.plainRegister) {
    done = direct(plain);
  }
  if (!done) {
    if (sh.immediate) e.mov(edx, sh.value);
    if (sh.plainRegister) e.mov(edx, plain);
    aluWithEdx();
  }
  if (setFlags) {
    if (logical) e.flagsLogical(kCpsrOffset, r8d, sh.carryChanged);
    else e.flagsArithmetic(kCpsrOffset);
  }
  if (pcWrite) {
    if (s) {
      restoreCpsrAligningPc(e, regOffset(kRegSpsr), r8d);
    } else {
      e.and_(r8d, thumb ? ~1u : ~3u);
    }
    e.journalConst(kPcOffset, address);
    e.mov(e.dword[rbx + i32(kPcOffset)], r8d);
  } else if (writes) {
    e.journalLocation(regOffset(rd));
    e.mov(R(rd), r8d);
  } else if (compareRestore) {
    e.journalLocation(kCpsrOffset);
    e.mov(eax, e.dword[rbx + i32(regOffset(kRegSpsr))]);
    e.mov(e.dword[rbx + i32(kCpsrOffset)], eax);
  }
  u32 cost = pcWrite ? instructionCost(address, 1, sh.registerShift ? 1 : 0, 2)
                     : instructionCost(address, 0, sh.registerShift ? 1 : 0, 1);
  e.epilogue(status, cost);
}

// ---------------------------------------------------------------- multiply

// Multiplier cycles of the value in ecx into r15d (the wait register).
static void emitMultiplierCycles(CodeEmitter& e, bool signedTest) {
  Xbyak::Label done;
  const u32 lower[3] = {0x100, 0x10000, 0x1000000};
  const u32 upper[3] = {0xFFFFFEFF, 0xFFFEFFFF, 0xFEFFFFFF};
  for (u32 m = 0; m < 3; ++m) {
    e.mov(edx, (m + 1) << 20);
    e.cmp(ecx, lower[m]);
    e.jb(done, e.T_NEAR);
    if (signedTest) {
      e.cmp(ecx, upper[m]);
      e.jae(done, e.T_NEAR);
    }
  }
  e.mov(edx, 4u << 20);
  e.L(done);
  e.add(r15d, edx);
}

void ArmCpu::translateMultiply(u32 address, u32 op, CodeEmitter& e) {
  auto R = [&](u32 n) { return e.dword[rbx + i32(regOffset(n))]; };
  const u32 rd = (op >> 16) & 15, rn = (op >> 12) & 15, rs = (op >> 8) & 15, rm = op & 15;
  const bool accumulate = (op >> 21) & 1, s = (op >> 20) & 1;
  u32 status = e.translationFlags | kStatusBase;
  if (rd == 15 || rm == 15 || rs == 15 || (accumulate && rn == 15) || rd == rm) status |= 0x80;
  auto value = [&](const Xbyak::Reg32& dst, u32 n) {
    if (n == 15) e.mov(dst, address + (isThumb() ? 4 : 8));
    else e.mov(dst, R(n));
  };
  prologue(address, op, e, op >> 28);
  e.useWaits();
  value(ecx, rs);
  emitMultiplierCycles(e, true);
  value(r8d, rm);
  e.imul(r8d, ecx);
  if (accumulate) {
    value(ecx, rn);
    e.add(r8d, ecx);
  }
  if (s) {
    // N and Z from the result, C cleared (a carry-out of 0), V kept.
    e.xor_(r14d, r14d);
    e.flagsLogical(kCpsrOffset, r8d, true);
  }
  if (rd == 15) e.journalConst(kPcOffset, address);
  else e.journalLocation(regOffset(rd));
  e.mov(R(rd), r8d);
  e.epilogue(status, instructionCost(address, 0, accumulate ? 1 : 0, 1));
}

void ArmCpu::translateMultiplyLong(u32 address, u32 op, CodeEmitter& e) {
  auto R = [&](u32 n) { return e.dword[rbx + i32(regOffset(n))]; };
  const u32 hi = (op >> 16) & 15, lo = (op >> 12) & 15, rs = (op >> 8) & 15, rm = op & 15;
  const bool isSigned = (op >> 22) & 1, accumulate = (op >> 21) & 1, s = (op >> 20) & 1;
  u32 status = e.translationFlags | kStatusBase;
  if (hi == 15 || lo == 15 || rs == 15 || rm == 15 || hi == rm || lo == rm || hi == lo) status |= 0x80;
  auto value = [&](const Xbyak::Reg32& dst, u32 n) {
    if (n == 15) e.mov(dst, address + (isThumb() ? 4 : 8));
    else e.mov(dst, R(n));
  };
  prologue(address, op, e, op >> 28);
  e.useWaits();
  value(ecx, rs);
  emitMultiplierCycles(e, isSigned);
  value(eax, rm);
  if (isSigned) e.imul(ecx);
  else e.mul(ecx);
  if (accumulate) {
    value(ecx, lo);
    e.add(eax, ecx);
    value(ecx, hi);
    e.adc(edx, ecx);
  }
  e.mov(r8d, eax);
  e.mov(r9d, edx);
  if (s) {
    // N and Z from the 64-bit result, C cleared, V kept.
    Xbyak::Label nonZero;
    e.mov(eax, r9d);
    e.and_(eax, 0x80000000);
    e.mov(ecx, r8d);
    e.or_(ecx, r9d);
    e.jnz(nonZero);
    e.or_(eax, 0x40000000);
    e.L(nonZero);
    e.journalLocation(kCpsrOffset);
    e.and_(r11d, 0x1FFFFFFF);
    e.or_(r11d, eax);
    e.mov(e.dword[rbx + i32(kCpsrOffset)], r11d);
  }
  e.journalLocation(regOffset(lo));
  e.mov(R(lo), r8d);
  e.journalLocation(regOffset(hi));
  e.mov(R(hi), r9d);
  e.epilogue(status, instructionCost(address, 0, accumulate ? 2 : 1, 1));
}

// ---------------------------------------------------------------- swap, BX, branch

void ArmCpu::translateSwap(u32 address, u32 op, CodeEmitter& e) {
  auto R = [&](u32 n) { return e.dword[rbx + i32(regOffset(n))]; };
  const u32 rn = (op >> 16) & 15, rd = (op >> 12) & 15, rm = op & 15;
  const AccessWidth w = (op >> 22) & 1 ? AccessWidth::Byte : AccessWidth::Word;
  u32 status = e.translationFlags | kStatusBase | 0x8 | 0x10;
  if (rn == 15 || rd == 15 || rm == 15) status |= 0x80;
  prologue(address, op, e, op >> 28);
  e.useWaits();
  if (rn == 15) e.mov(esi, address + 8);
  else e.mov(esi, R(rn));
  e.load(w, false);
  e.mov(r10d, r9d);
  if (rm == 15) e.mov(r9d, address + 12);
  else e.mov(r9d, R(rm));
  e.store(w, false);
  if (rd == 15) {
    e.journalConst(kPcOffset, address);
  } else {
    e.journalLocation(regOffset(rd));
    e.mov(R(rd), r10d);
  }
  e.epilogue(status, instructionCost(address, 1, 1, 0));
}

void ArmCpu::translateBranchExchange(u32 address, u32 op, CodeEmitter& e) {
  const u32 rm = op & 15;
  const bool thumb = isThumb();
  u32 status = e.translationFlags | kStatusBase | 0x8000;
  prologue(address, op, e, op >> 28);
  // The state switch by bit 0 of the target writes CPSR: journaled first.
  e.journalLocation(kCpsrOffset);
  e.journalConst(kPcOffset, address);
  u32 cost;
  if (rm == 15) {
    e.mov(e.dword[rbx + i32(kPcOffset)], address + (thumb ? 4 : 8));
    cost = instructionCost(address, 1, 0, 2);
  } else {
    Xbyak::Label inRange;
    e.mov(eax, e.dword[rbx + i32(regOffset(rm))]);
    e.mov(e.dword[rbx + i32(kPcOffset)], eax);
    e.useWaits();
    e.shr(eax, 24);
    e.cmp(eax, 15);
    e.jbe(inRange);
    e.mov(eax, 15);
    e.L(inRange);
    const i32 table = arena::kWait + i32(thumb ? arena::kWait16NonSeq : arena::kWait32NonSeq) * 64;
    e.add(r15d, e.dword[rbx + rax * 4 + table]);
    cost = instructionCost(address, 0, 0, 2);
  }
  // Bit 0 of the target chooses Thumb; the PC is aligned for the state.
  Xbyak::Label arm, switched;
  e.mov(eax, e.dword[rbx + i32(kPcOffset)]);
  e.test(eax, 1);
  e.jz(arm);
  e.or_(e.dword[rbx + i32(kCpsrOffset)], 0x20);
  e.and_(eax, ~1u);
  e.jmp(switched);
  e.L(arm);
  e.and_(e.dword[rbx + i32(kCpsrOffset)], ~0x20u);
  e.and_(eax, ~3u);
  e.L(switched);
  e.mov(e.dword[rbx + i32(kPcOffset)], eax);
  e.dispatchEpilogue(status, cost, e.blockKey, true);
}

void ArmCpu::translateBranch(u32 address, u32 op, CodeEmitter& e) {
  const bool thumb = isThumb();
  const u32 offset = signExtend(op & 0xFFFFFF, 24);
  const u32 target = thumb ? address + 4 + offset * 2 : address + 8 + offset * 4;
  const bool link = !thumb && ((op >> 24) & 1);
  u32 status = e.translationFlags | kStatusBase | 0x8000;
  prologue(address, op, e, op >> 28);
  if (link) {
    e.journalLocation(regOffset(14));
    e.mov(e.dword[rbx + i32(regOffset(14))], address + 4);
  }
  e.journalConst(kPcOffset, address);
  e.mov(e.dword[rbx + i32(kPcOffset)], target);
  u32 cost = instructionCost(address, 1, 0, 0) + instructionCost(target, 0, 0, 2);
  e.epilogue(status, cost, true, target);
}

void ArmCpu::translateThumbLongBranch(u32 address, u32 op, CodeEmitter& e) {
  const u32 lr = regOffset(14);
  prologue(address, op, e, 14);
  if (!thumbLongBranchIsSecondHalf(u16(op))) {
    e.journalLocation(lr);
    e.mov(e.dword[rbx + i32(lr)], thumbLongBranchHigh(address, u16(op)));
    // Under the run-to mask both halves run in one slice.
    e.epilogue((e.translationFlags | kStatusBase) & ~0x2u, instructionCost(address, 1, 0, 0));
    return;
  }
  e.journalLocation(lr);
  e.journalConst(kPcOffset, address);
  e.mov(eax, e.dword[rbx + i32(lr)]);
  e.add(eax, (op & 0x7FF) * 2);
  // A second half on its own branches to LR as the guest left it, which may
  // be a return address with bit 0 set; a Thumb PC is always even.
  e.and_(eax, ~1u);
  e.mov(e.dword[rbx + i32(kPcOffset)], eax);
  e.mov(e.dword[rbx + i32(lr)], thumbLongBranchReturn(address));
  // Behind its first half in the same block, the pair's target is known,
  // and the branch may be linked to it (taken only when LR still held what
  // the first half left).
  const u16 firstHalf = memory_.peek16(address - 2);
  const bool pair = e.instructionIndex > 0 && (firstHalf & 0xF800) == 0xF000;
  const u32 target = (thumbLongBranchHigh(address - 2, firstHalf) + (op & 0x7FF) * 2) & ~1u;
  e.epilogue(e.translationFlags | kStatusBase | 0x8000, instructionCost(address, 1, 0, 0), pair, target, true);
}

// ---------------------------------------------------------------- single transfers

void ArmCpu::translateTransferBody(u32 address, u32 op, CodeEmitter& e, AccessWidth width, bool load,
                                   bool registerOffset, u32 immediate, u32 extraStatus, bool userBank) {
  const bool thumb = isThumb();
  auto R = [&](u32 n) { return e.dword[rbx + i32(regOffset(n))]; };
  const bool pre = (op >> 24) & 1, up = (op >> 23) & 1, w = (op >> 21) & 1;
  const u32 rn = (op >> 16) & 15, rd = (op >> 12) & 15, rm = op & 15;
  const bool writeBack = !pre || w;
  u32 status = e.translationFlags | kStatusBase | extraStatus | (load ? 0x8 : 0x10);
  if (writeBack && rn == 15) status |= 0x80;
  if (registerOffset && rm == 15) status |= 0x80;
  if (!pre && registerOffset && rm == rn) status |= 0x200;
  const bool doWriteBack = writeBack && rn != 15;  // never a write-back into PC
  const bool pcLoad = load && rd == 15;
  if (pcLoad) status |= 0x8000;

  prologue(address, op, e, op >> 28);
  e.useWaits();
  const u32 pcBase = thumb ? (address & ~3u) + 4 : address + 8;
  if (!registerOffset) {
    const u32 off = up ? immediate : u32(-i32(immediate));
    if (rn == 15) {
      e.mov(esi, pre ? pcBase + off : pcBase);
    } else if (!doWriteBack) {
      // Without a write-back (so pre-indexed) the address is all there is.
      e.mov(esi, R(rn));
      if (off) e.add(esi, off);
    } else {
      e.mov(r10d, R(rn));
      if (pre) {
        if (off) e.add(r10d, off);
        e.mov(esi, r10d);
      } else {
        e.mov(esi, r10d);
        if (off) e.add(r10d, off);
      }
    }
  } else {
    if (rm == 15) e.mov(edx, address + 8);
    else e.mov(edx, R(rm));
    if (armdecode::classifyArm(op) == ArmClass::LoadStore || (op & (1u << 25))) {
      // Shifted register offset (the carry-out is not kept).
      u32 amount = (op >> 7) & 31, type = (op >> 5) & 3;
      switch (type) {
        case 0: if (amount) e.shl(edx, u8(amount)); break;
        case 1: if (amount) e.shr(edx, u8(amount)); else e.xor_(edx, edx); break;
        case 2: e.sar(edx, u8(amount ? amount : 31)); break;
        case 3:
          if (amount) e.ror(edx, u8(amount));
          else {
            e.bt(e.dword[rbx + i32(kCpsrOffset)], 29);
            e.rcr(edx, 1);
          }
          break;
      }
    }
    const Xbyak::Reg32& sum = doWriteBack ? r10d : esi;
    if (rn == 15) e.mov(sum, pcBase);
    else e.mov(sum, R(rn));
    auto apply = [&] {
      if (up) e.add(sum, edx);
      else e.sub(sum, edx);
    };
    if (!doWriteBack) {
      apply();
    } else if (pre) {
      apply();
      e.mov(esi, r10d);
    } else {
      e.mov(esi, r10d);
      apply();
    }
  }
  const u32 rdOffset = userBank ? bank_.offset(rd, 0) : regOffset(rd);
  if (!load) {
    if (rd == 15) e.mov(r9d, address + 12);
    else e.mov(r9d, e.dword[rbx + i32(rdOffset)]);
  }
  if (load) {
    if (pcLoad) e.journalConst(kPcOffset, address);
    else e.journalLocation(rdOffset);
  }
  if (doWriteBack) e.journalLocation(regOffset(rn));
  if (load) e.load(width, false);
  else e.store(width, false);
  auto writeRd = [&] {
    if (!load) return;
    if (pcLoad) {
      e.and_(r9d, thumb ? ~1u : ~3u);
      e.mov(e.dword[rbx + i32(kPcOffset)], r9d);
    } else {
      e.mov(e.dword[rbx + i32(rdOffset)], r9d);
    }
  };
  // The loaded value wins over the write-back in both forms, as on the
  // console (a post-indexed load into its own base keeps the loaded value).
  if (doWriteBack) e.mov(R(rn), r10d);
  writeRd();
  u32 cost = !load ? instructionCost(address, 1, 0, 0)
                   : pcLoad ? instructionCost(address, 2, 1, 1) : instructionCost(address, 1, 1, 0);
  e.epilogue(status, cost);
}

void ArmCpu::translateLoadStore(u32 address, u32 op, CodeEmitter& e) {
  const bool registerOffset = (op >> 25) & 1;
  const bool load = (op >> 20) & 1;
  const bool userBank = !((op >> 24) & 1) && ((op >> 21) & 1);
  const AccessWidth w = (op >> 22) & 1 ? AccessWidth::Byte : AccessWidth::Word;
  translateTransferBody(address, op, e, w, load, registerOffset, op & 0xFFF, 0, userBank);
}

static AccessWidth halfwordWidth(u32 op, u32& extra) {
  const bool load = (op >> 20) & 1;
  const u32 sh = (op >> 5) & 3;
  extra = 0;
  if (!load && sh != 1) extra = 0x400;  // a signed store: stored as a halfword
  if (!load) return AccessWidth::Halfword;
  return sh == 1 ? AccessWidth::Halfword : sh == 2 ? AccessWidth::SignedByte : AccessWidth::SignedHalfword;
}

void ArmCpu::translateHalfwordRegister(u32 address, u32 op, CodeEmitter& e) {
  u32 extra;
  AccessWidth w = halfwordWidth(op, extra);
  // Bits 4-11 hold no shift here: clear them so the body shifts nothing.
  translateTransferBody(address, op & ~0x0200'0FF0u, e, w, (op >> 20) & 1, true, 0, extra, false);
}

void ArmCpu::translateHalfwordImmediate(u32 address, u32 op, CodeEmitter& e) {
  u32 extra;
  AccessWidth w = halfwordWidth(op, extra);
  translateTransferBody(address, op, e, w, (op >> 20) & 1, false, ((op >> 4) & 0xF0) | (op & 0xF), extra, false);
}

// ---------------------------------------------------------------- block transfers

void ArmCpu::translateBlockTransfer(u32 address, u32 op, CodeEmitter& e) {
  const bool thumb = isThumb();
  auto R = [&](u32 n) { return e.dword[rbx + i32(regOffset(n))]; };
  const bool pre = (op >> 24) & 1, up = (op >> 23) & 1, sBit = (op >> 22) & 1, w = (op >> 21) & 1,
             load = (op >> 20) & 1;
  const u32 rn = (op >> 16) & 15, listBits = op & 0xFFFF;
  const u32 count = u32(std::popcount(listBits));
  u32 kinds = load ? 0x8 : 0x10;
  u32 marks = rn == 15 ? 0x80 : 0;
  // With S: the User bank's registers, except for an LDM that loads PC,
  // which returns from an exception (CPSR = SPSR) instead.
  const bool restore = sBit && load && (listBits & 0x8000);
  const bool userBank = sBit && !restore;
  if (userBank && !load && w) marks |= 0x400;
  (void)count;
  const u32 flagsBase = e.translationFlags | kStatusBase;
  // An empty list transfers R15 alone and moves the base by 0x40, as the
  // console does; it is still marked as an invalid encoding.
  const bool empty = count == 0;
  if (empty) marks |= 0x400;
  const u32 list = empty ? 0x8000u : listBits;
  const u32 n = empty ? 1 : count;
  const u32 span = empty ? 16 : n;
  u32 regs[16], k = 0;
  for (u32 r = 0; r < 16; ++r)
    if (list & (1u << r)) regs[k++] = r;
  const bool pcLoad = load && (list & 0x8000);
  const bool writeBack = w && !(load && (list & (1u << rn))) && rn != 15;
  const i32 startOffset = up ? (pre ? 4 : 0) : (pre ? -4 * i32(span) : -4 * i32(span - 1));
  const i32 baseChange = up ? 4 * i32(span) : -4 * i32(span);
  u32 status = flagsBase | kinds | marks | (pcLoad ? 0x8000 : 0) | (restore ? 0x20000 : 0);
  const u32 partial = ((kStatusBase & ~0x2u)) | kinds;
  const u32 resume = regOffset(kRegResume), start = regOffset(kRegStart);
  const u32 baseValue = thumb ? (address & ~3u) + 4 : address + 8;

  prologue(address, op, e, op >> 28);
  // Resume table: register 18 holds the byte offset (4 per transfer) of the
  // transfer to continue with; entries hold offsets from the table.
  Xbyak::Label table;
  e.mov(eax, e.dword[rbx + i32(resume)]);
  e.and_(eax, 0x3C);
  e.lea(rdx, e.ptr[rip + table]);
  e.movsxd(rax, e.dword[rdx + rax]);
  e.add(rax, rdx);
  e.jmp(rax);
  e.L(table);
  const u32 tableOffset = e.offset();
  for (u32 i = 0; i < 16; ++i) e.dd(0);
  u32 entries[16];
  std::vector<Xbyak::Label*> entryLabels(n);
  for (u32 i = 0; i < n; ++i) entryLabels[i] = &e.newLabel();
  for (u32 t = 0; t < n; ++t) {
    e.L(*entryLabels[t]);
    entries[t] = e.offset();
    e.useWaits();
    if (t == 0) {
      e.journalLocation(start);
      if (rn == 15) e.mov(eax, baseValue);
      else e.mov(eax, R(rn));
      if (startOffset) e.add(eax, u32(startOffset));
      e.mov(e.dword[rbx + i32(start)], eax);
    }
    if (writeBack && t == (n == 1 ? 0u : 1u)) {
      e.journalLocation(regOffset(rn));
      e.add(R(rn), u32(baseChange));
    }
    e.journalLocation(resume);
    e.mov(e.dword[rbx + i32(resume)], t + 1 < n ? 4 * (t + 1) : 0);
    e.mov(esi, e.dword[rbx + i32(start)]);
    const u32 r = regs[t];
    if (load) {
      if (r == 15) e.journalConst(kPcOffset, address);
      else e.journalLocation(userBank ? bank_.offset(r, 0) : regOffset(r));
      e.load(AccessWidth::BlockWord, t > 0);
      if (r == 15) {
        if (restore) {
          restoreCpsrAligningPc(e, regOffset(kRegSpsr), r9d);
        } else {
          e.and_(r9d, thumb ? ~1u : ~3u);
        }
        e.mov(e.dword[rbx + i32(kPcOffset)], r9d);
      } else {
        const u32 at = userBank ? bank_.offset(r, 0) : regOffset(r);
        e.mov(e.dword[rbx + i32(at)], r9d);
      }
    } else {
      if (r == 15) e.mov(r9d, address + (thumb ? 6 : 12));
      else e.mov(r9d, e.dword[rbx + i32(userBank ? bank_.offset(r, 0) : regOffset(r))]);
      e.store(AccessWidth::BlockWord, t > 0);
    }
    if (t + 1 < n) {
      e.journalLocation(start);
      e.add(e.dword[rbx + i32(start)], 4);
      // A partial exit: one cycle plus this transfer's wait; re-entering the
      // instruction resumes at the next transfer.
      e.mov(r14d, 1u << 20);
      e.add(r14d, r15d);
      e.exitTail(partial, kPartialEndMark, address, *entryLabels[t + 1]);
      e.emitCold();
    }
  }
  u8* code = const_cast<u8*>(e.getCode());
  for (u32 i = 0; i < 16; ++i) {
    i32 rel = i32(entries[i < n ? i : 0]) - i32(tableOffset);
    std::memcpy(code + tableOffset + 4 * i, &rel, 4);
  }
  u32 cost = !load ? instructionCost(address, 1, 0, 0)
                   : pcLoad ? instructionCost(address, 2, 1, 1) : instructionCost(address, 1, 1, 0);
  e.epilogue(status, cost);
}
