#include "core/emitter.h"

#include "core/check.h"

using namespace Xbyak::util;

namespace {

constexpr i32 kPc = arena::kRegisters + 15 * 4;
constexpr i32 kCpsr = arena::kRegisters + 16 * 4;
// An exit stub's PC store takes a one-byte displacement (its length counts).
static_assert(kPc < 128);

i32 waitTable(bool isStore, AccessWidth width, bool sequential) {
  (void)isStore;
  bool word = width == AccessWidth::Word || width == AccessWidth::BlockWord;
  arena::WaitTable t = word ? (sequential ? arena::kWait32Seq : arena::kWait32NonSeq)
                            : (sequential ? arena::kWait16Seq : arena::kWait16NonSeq);
  return arena::kWait + i32(t) * 64;
}

}  // namespace

void buildConditionTable(u8 table[16][256]) {
  u8 byFlags[256];
  for (u32 flags = 0; flags < 16; ++flags) {
    bool n = flags & 8, z = flags & 4, c = flags & 2, v = flags & 1;
    bool pass[16] = {z, !z, c, !c, n, !n, v, !v, c && !z, !c || z, n == v, n != v, !z && n == v, z || n != v,
                     false, false};
    for (u32 cond = 0; cond < 16; ++cond) byFlags[flags * 16 + cond] = pass[cond] ? 255 : 0;
  }
  spreadConditionTable(byFlags, table);
}

void spreadConditionTable(const u8 byFlags[256], u8 table[16][256]) {
  for (u32 cond = 0; cond < 16; ++cond)
    for (u32 top = 0; top < 256; ++top) table[cond][top] = byFlags[(top >> 4) * 16 + cond];
}

void buildFlagTable(u32 table[256]) {
  // Bit 3, always clear in what LAHF loads, carries the overflow flag in.
  for (u32 ah = 0; ah < 256; ++ah) {
    table[ah] = ((ah & 0x80) ? 0x80000000u : 0) | ((ah & 0x40) ? 0x40000000u : 0) |
                ((ah & 0x01) ? 0x20000000u : 0) | ((ah & 0x08) ? 0x10000000u : 0);
  }
}

CodeEmitter::CodeEmitter(u8* staging, size_t bytes) : Xbyak::CodeGenerator(bytes, staging) {}

const Xbyak::Reg64& CodeEmitter::base() { return Xbyak::util::rbx; }
const Xbyak::Reg32& CodeEmitter::budget() { return Xbyak::util::r12d; }
const Xbyak::Reg32& CodeEmitter::journalPos() { return Xbyak::util::r13d; }
const Xbyak::Reg32& CodeEmitter::cost() { return Xbyak::util::r14d; }
const Xbyak::Reg32& CodeEmitter::waits() { return Xbyak::util::r15d; }

void CodeEmitter::begin() {
  reset();
  pendingJournal_ = 0;
  stubs_.clear();
  links.clear();
  translationFlags = 0;
  instructionIndex = 0;
}

void CodeEmitter::rewind(u32 offset) {
  CHECK(offset <= getSize());
  setSize(offset);
  // Offsets given back are instruction boundaries, where nothing is pending.
  pendingJournal_ = 0;
  // A stub whose jump went with the code goes too; dropping its label makes
  // the assembler forget the jump it would otherwise patch.
  std::erase_if(stubs_, [&](const ExitStub& s) { return s.jumpOffset >= offset; });
}

void CodeEmitter::emitExitStubs() {
  for (ExitStub& s : stubs_) {
    L(s.label);
    mov(dword[rbx + kPc], s.pc);
    mov(eax, s.status);
    ret();
  }
  stubs_.clear();
}

void CodeEmitter::journalConst(u32 first, u32 second) {
  writeRecord(first, second);
}

void CodeEmitter::journalValue(u32 first, const Xbyak::Reg32& second) {
  writeRecord(first, second);
}

void CodeEmitter::endRecordConstant(u32 cost) {
  // In one store: a zero word, then the cost.
  mov(rcx, u64(cost) << 32);
  writeRecord(rcx);
}

void CodeEmitter::journalLocation(u32 location) {
  mov(r11d, dword[rbx + i32(location)]);
  journalValue(location, r11d);
}

void CodeEmitter::beginInstruction(u32 address, u32 size, bool probe, u32 condition, u32 failCost) {
  address_ = address;
  size_ = size;
  cold_.clear();
  fail_.reset();
  failTail_ = false;
  usesWaits_ = false;
  if (probe) {
    u32 start = offset();
    mov(dword[rbx + kPc], address);
    mov(eax, 0x20);
    ret();
    CHECK(offset() - start == kExecuteProbeLength);
  }
  if (condition != 14) {
    fail_.emplace();
    failTail_ = true;
    failCost_ = failCost;
    movzx(eax, byte[rbx + kCpsr + 3]);
    cmp(byte[rbx + rax + arena::kConditionTable + i32(condition) * 256], 0xFF);
    jne(*fail_, T_NEAR);
  }
}

void CodeEmitter::failEntry() {
  // The cost register is loaded here, on the failed path alone.
  L(*fail_);
  mov(r14d, failCost_ << 20);
}

void CodeEmitter::useWaits() {
  xor_(r15d, r15d);
  usesWaits_ = true;
}

void CodeEmitter::emitTimerCall() {
  if (timerCalls) call(qword[rbx + arena::kTimerEntry]);
}

void CodeEmitter::loadCost(u32 cost) {
  if (usesWaits_) lea(r14d, ptr[r15 + (cost << 20)]);
  else mov(r14d, cost << 20);
}

void CodeEmitter::chargeCost(u32 cost, bool fixed) {
  if (fixed) {
    endRecordConstant(cost << 20);
    flushJournal();
    sub(r12d, cost << 20);
  } else {
    emitTimerCall();
    journalValue(0, r14d);
    flushJournal();
    sub(r12d, r14d);
  }
}

void CodeEmitter::exitTail(u32 status, u32 endMark, u32 pc, const Xbyak::Label& next, i64 constantCost,
                           bool deferExit) {
  const bool fixed = constantCost >= 0 && !timerCalls;
  // No kind of its own and no timer to raise 0x4: only the budget's sign can
  // end the slice here (the run loop starts a slice under the single-step or
  // run-to mask with the budget spent, see ArmCpu::run).
  const bool signOnly = fixed && (status & ~kStatusBase) == 0;
  if (fixed) {
    // Nothing reads the cost register: the cost goes in as it is.
    endRecordConstant(u32(constantCost) | endMark);
    if (signOnly) flushJournal();  // ahead of the subtraction whose sign is taken
    sub(r12d, u32(constantCost));
  } else {
    emitTimerCall();
    if (endMark) {
      lea(ecx, ptr[r14 + endMark]);
      journalValue(0, ecx);
    } else {
      journalValue(0, r14d);
    }
    sub(r12d, r14d);
  }
  if (!signOnly) {
    // Here rather than between the test and its jump, which then fuse.
    flushJournal();
    test(r12d, status);
  }
  if (deferExit) {
    ExitStub& s = stubs_.emplace_back();
    s.jumpOffset = offset();
    s.pc = pc;
    s.status = status;
    if (signOnly) js(s.label, T_NEAR);
    else jnz(s.label, T_NEAR);
    return;
  }
  if (signOnly) jns(next, T_NEAR);
  else jz(next, T_NEAR);
  mov(dword[rbx + kPc], pc);
  mov(eax, status);
  ret();
}

void CodeEmitter::epilogue(u32 status, u32 cost, bool recordLink, u32 linkTarget, bool onlyAtTarget) {
  // A computed target in the same state goes on through the dispatch table;
  // a write of CPSR returns to the run loop (which takes interrupts).
  if ((status & 0x8000) && !recordLink && !(status & 0x20000)) return dispatchEpilogue(status, cost, blockKey, false);
  Xbyak::Label next;
  const u32 failStatus = translationFlags | kStatusBase;
  const u32 pcNext = address_ + size_;
  // Without access waits the cost is a constant (and the timer routine,
  // which reads the cost register, is not called at all without timers).
  const bool fixed = !usesWaits_ && !timerCalls;
  const bool constant = fixed && !(status & 0x8000);
  if (!fixed) loadCost(cost);
  usesWaits_ = false;
  if (status & 0x8000) {
    chargeCost(cost, fixed);
    if (recordLink) {
      BranchLink link;
      link.target = linkTarget;
      mov(eax, status);
      link.statusOffset = offset() - 4;
      test(r12d, status);
      link.testOffset = offset() - 4;
      Xbyak::Label leave;
      jnz(leave, T_NEAR);
      // A branch whose target is known only as likely takes the link only
      // when the PC it wrote is that target.
      if (onlyAtTarget) {
        cmp(dword[rbx + kPc], linkTarget);
        jne(leave, T_NEAR);
      }
      flushJournal();
      link.slotOffset = offset();
      ret();  // the slot: a near jump once linked
      db(0x90);
      db(0x90);
      db(0x90);
      db(0x90);
      L(leave);
      ret();
      links.push_back(link);
    } else {
      mov(eax, status);
      ret();
    }
    if (failTail_) {
      failEntry();
      exitTail(failStatus, 0, pcNext, next);
    }
  } else {
    // A failed condition with the main exit's status shares its tail.
    const bool shared = failTail_ && status == failStatus && !constant;
    Xbyak::Label& tail = newLabel();
    if (shared) L(tail);
    // Nothing behind the main exit: it falls through into the next
    // instruction, its exit taken out of the way.
    const bool alone = !failTail_ && cold_.empty() && coldAccesses_.empty();
    exitTail(status, 0, pcNext, next, constant ? i64(cost << 20) : -1, alone);
    if (failTail_ && !shared) {
      failEntry();
      exitTail(failStatus, 0, pcNext, next);
    }
    if (shared) {
      failEntry();
      jmp(tail, T_NEAR);
    }
  }
  emitCold();
  L(next);
}

void CodeEmitter::dispatchEpilogue(u32 status, u32 cost, u32 key, bool keyFromCpsr) {
  Xbyak::Label next, leave;
  const u32 failStatus = translationFlags | kStatusBase;
  const bool fixed = !usesWaits_ && !timerCalls;
  if (!fixed) loadCost(cost);
  chargeCost(cost, fixed);
  usesWaits_ = false;
  mov(eax, status);
  test(r12d, status & ~0x8000u);
  jnz(leave, T_NEAR);
  mov(ecx, dword[rbx + kPc]);
  if (keyFromCpsr) {
    mov(edx, dword[rbx + kCpsr]);
    and_(edx, 63);
    if (key & 0x40) or_(edx, 0x40);
  } else {
    mov(edx, key);
  }
  // arena::dispatchIndex
  mov(esi, ecx);
  shr(esi, 1);
  mov(edi, ecx);
  shr(edi, 9);
  xor_(esi, edi);
  imul(edi, edx, arena::kDispatchKeyMix);
  xor_(esi, edi);
  and_(esi, arena::kDispatchEntries - 1);
  shl(esi, 4);
  cmp(dword[rbx + rsi + arena::kDispatch], ecx);
  jne(leave, T_NEAR);
  cmp(dword[rbx + rsi + arena::kDispatch + 4], edx);
  jne(leave, T_NEAR);
  jmp(qword[rbx + rsi + arena::kDispatch + 8]);
  L(leave);
  ret();
  if (failTail_) {
    failEntry();
    exitTail(failStatus, 0, address_ + size_, next);
  }
  emitCold();
  L(next);
}

void CodeEmitter::flagsArithmetic(u32 cpsr) {
  lahf();
  seto(cl);
  movzx(eax, ah);
  shl(cl, 3);
  or_(al, cl);
  mov(eax, dword[rbx + rax * 4 + arena::kFlagsFromAh]);
  journalLocation(cpsr);
  and_(r11d, 0x0FFFFFFF);
  or_(r11d, eax);
  mov(dword[rbx + i32(cpsr)], r11d);
}

void CodeEmitter::flagsLogical(u32 cpsr, const Xbyak::Reg32& result, bool carryChanged) {
  test(result, result);
  lahf();
  movzx(eax, ah);
  mov(eax, dword[rbx + rax * 4 + arena::kFlagsFromAh]);
  and_(eax, 0xC0000000);
  journalLocation(cpsr);
  if (carryChanged) {
    and_(r14d, 0x20000000);
    or_(eax, r14d);
    and_(r11d, 0x1FFFFFFF);
  } else {
    and_(r11d, 0x3FFFFFFF);
  }
  or_(r11d, eax);
  mov(dword[rbx + i32(cpsr)], r11d);
}

void CodeEmitter::load(AccessWidth width, bool sequential) { accessPiece(false, width, sequential); }
void CodeEmitter::store(AccessWidth width, bool sequential) { accessPiece(true, width, sequential); }

void CodeEmitter::accessPiece(bool isStore, AccessWidth width, bool sequential) {
  CHECK(usesWaits_);  // the body zeroed the wait register
  Xbyak::Label& unmapped = newLabel();
  Xbyak::Label& outside = newLabel();
  Xbyak::Label& inside = newLabel();
  Xbyak::Label& access = newLabel();
  Xbyak::Label& done = newLabel();
  journalValue(isStore ? 2 : 1, esi);
  flushJournal();
  mov(eax, esi);
  shr(eax, 24);
  mov(edi, esi);
  and_(edi, dword[rbx + rax * 4 + arena::kAccessMask]);
  const i32 sizeTable = arena::kAccessSize + (isStore ? 1024 : 0);
  const bool half = width == AccessWidth::Halfword || width == AccessWidth::SignedHalfword;
  if (half) {
    // A halfword never straddles two words, and fits whole below an even
    // size (every size is).
    and_(edi, ~1u);
    cmp(edi, dword[rbx + rax * 4 + sizeTable]);
  } else {
    cmp(edi, dword[rbx + rax * 4 + sizeTable]);
  }
  jae(outside, T_NEAR);
  L(inside);
  add(r15d, dword[rbx + rax * 4 + waitTable(isStore, width, sequential)]);
  // The trap bit of the word: its bitmap byte (eight words) first, the bit
  // itself only out of the way when the byte holds any.
  Xbyak::Label& anyTrap = newLabel();
  Xbyak::Label& noTrap = newLabel();
  mov(ecx, edi);
  shr(ecx, 5);
  add(ecx, dword[rbx + rax * 4 + arena::kBitmapBase + (isStore ? 64 : 0)]);
  cmp(byte[rbx + rcx], 0);
  jne(anyTrap, T_NEAR);
  L(noTrap);
  cold([this, &anyTrap, &noTrap, isStore, width] {
    L(anyTrap);
    movzx(r8d, byte[rbx + rcx]);
    mov(ecx, edi);
    shr(ecx, 2);
    and_(ecx, 7);
    bt(r8d, ecx);
    jnc(noTrap, T_NEAR);
    or_(r12d, isStore ? 0x10 : 0x8);
    // The trap handler looks at the address the instruction reached, which
    // only a trapped access needs to leave behind.
    mov(dword[rbx + arena::kLastDataAddress], esi);
    // A write trap's action may depend on how much the store wrote.
    if (isStore) {
      const u32 bytes = width == AccessWidth::Word || width == AccessWidth::BlockWord ? 4
                        : width == AccessWidth::Byte || width == AccessWidth::SignedByte ? 1 : 2;
      mov(dword[rbx + arena::kLastTrapWidth], bytes);
    }
    jmp(noTrap, T_NEAR);
  });
  add(edi, dword[rbx + rax * 4 + (isStore ? arena::kWriteBase : arena::kReadBase)]);
  if (width == AccessWidth::Word || width == AccessWidth::BlockWord) and_(edi, ~3u);
  L(access);
  if (!isStore) {
    switch (width) {
      case AccessWidth::BlockWord: mov(r9d, dword[rbx + rdi]); break;
      case AccessWidth::Word: {
        // An unaligned address reads its word rotated.
        mov(r9d, dword[rbx + rdi]);
        rareWhenAddressBits(3, [this] {
          mov(ecx, esi);
          and_(ecx, 3);
          shl(ecx, 3);
          ror(r9d, cl);
        });
        break;
      }
      case AccessWidth::Halfword: {
        // An odd address reads its halfword rotated right by 8, as on the
        // console.
        movzx(r9d, word[rbx + rdi]);
        rareWhenAddressBits(1, [this] { ror(r9d, 8); });
        break;
      }
      case AccessWidth::SignedHalfword: {
        // An odd address loads the addressed byte, sign-extended.
        Xbyak::Label even, done;
        test(esi, 1);
        jz(even);
        movsx(r9d, byte[rbx + rdi + 1]);
        jmp(done);
        L(even);
        movsx(r9d, word[rbx + rdi]);
        L(done);
        break;
      }
      case AccessWidth::Byte: movzx(r9d, byte[rbx + rdi]); break;
      case AccessWidth::SignedByte: movsx(r9d, byte[rbx + rdi]); break;
    }
  } else {
    // The aligned host word holds every byte a store changes: journaled first.
    const bool aligned = width == AccessWidth::Word || width == AccessWidth::BlockWord;
    auto journalAligned = [&] {
      if (aligned) {
        mov(edx, dword[rbx + rdi]);
        journalPair(edi, edx);
        return;
      }
      mov(ecx, edi);
      and_(ecx, ~3u);
      mov(edx, dword[rbx + rcx]);
      journalPair(ecx, edx);
    };
    const bool isByte = width == AccessWidth::Byte || width == AccessWidth::SignedByte;
    if (isByte) {
      // The console widens or drops byte stores to video memory: palette RAM
      // takes the byte into both bytes of its halfword, OAM ignores it, and
      // so does the sprite part of video RAM (from 64 KB in the tile modes
      // 0-2, from 80 KB in the bitmap modes), whose lower part widens it.
      Xbyak::Label plain, bothHalves;
      cmp(eax, 5);
      jb(plain, T_NEAR);
      cmp(eax, 7);
      ja(plain, T_NEAR);
      je(done, T_NEAR);
      cmp(eax, 6);
      jne(bothHalves);
      movzx(ecx, byte[rbx + arena::kIo]);  // the display mode at the time of the store
      and_(ecx, 7);
      cmp(ecx, 3);
      mov(ecx, u32(arena::kVram) + 0x10000);
      mov(edx, u32(arena::kVram) + 0x14000);
      cmovae(ecx, edx);
      cmp(edi, ecx);
      jae(done, T_NEAR);
      L(bothHalves);
      journalAligned();
      mov(byte[rbx + rdi], r9b);
      xor_(edi, 1);
      mov(byte[rbx + rdi], r9b);
      jmp(done, T_NEAR);
      L(plain);
    }
    journalAligned();
    switch (width) {
      case AccessWidth::Word:
      case AccessWidth::BlockWord:
        // The console ignores the low address bits: the value goes unrotated.
        mov(dword[rbx + rdi], r9d);
        break;
      case AccessWidth::Halfword:
      case AccessWidth::SignedHalfword: mov(word[rbx + rdi], r9w); break;
      case AccessWidth::Byte:
      case AccessWidth::SignedByte: mov(byte[rbx + rdi], r9b); break;
    }
  }
  L(done);
  coldAccesses_.push_back({&unmapped, &outside, &inside, &access, &done, isStore,
                           waitTable(isStore, width, sequential) + 4 * 4});
}

void CodeEmitter::rareWhenAddressBits(u32 mask, std::function<void()> then) {
  Xbyak::Label& rare = newLabel();
  Xbyak::Label& back = newLabel();
  test(esi, mask);
  jnz(rare, T_NEAR);
  L(back);
  cold([this, &rare, &back, then = std::move(then)] {
    L(rare);
    then();
    jmp(back, T_NEAR);
  });
}

void CodeEmitter::journalPair(const Xbyak::Reg32& first, const Xbyak::Reg32& second) {
  writeRecord(first, second);
}

Xbyak::Label& CodeEmitter::newLabel() {
  labels_.emplace_back();
  return labels_.back();
}

void CodeEmitter::emitCold() {
  for (auto& c : coldAccesses_) {
    // Beyond the region's size: in the I/O region the memory control
    // register (its four bytes behind the others) or a gap, which reads 0,
    // takes no writes and costs what an I/O access costs; in video RAM its
    // mirror; elsewhere unmapped.
    Xbyak::Label gap, notIo;
    L(*c.outside);
    cmp(eax, 4);
    jne(notIo);
    mov(ecx, edi);
    and_(ecx, 0xFFFC);
    cmp(ecx, arena::kMemoryControl);
    jne(gap);
    and_(edi, 3);
    or_(edi, arena::kIoSize);
    jmp(*c.inside, T_NEAR);
    L(gap);
    add(r15d, dword[rbx + c.ioWait]);
    if (!c.isStore) xor_(r9d, r9d);
    jmp(*c.done, T_NEAR);
    // Video RAM's last 32 KB of each 128 KB block mirror the 32 KB before
    // them: the size the code compares with ends there.
    L(notIo);
    cmp(eax, 6);
    jne(*c.unmapped, T_NEAR);
    sub(edi, 0x8000);
    jmp(*c.inside, T_NEAR);
    // Unmapped: leave at once when the stop mask asks for it, else cost 8
    // cycles, raise no trap and use a dummy word.
    Xbyak::Label dummy;
    L(*c.unmapped);
    test(r12d, 0x100);
    jz(dummy);
    mov(eax, 0x100);
    ret();
    L(dummy);
    add(r15d, 8u << 20);
    mov(edi, u32(arena::kDummyWord));
    xor_(eax, eax);
    jmp(*c.access, T_NEAR);
  }
  coldAccesses_.clear();
  for (auto& f : cold_) f();
  cold_.clear();
}

void CodeEmitter::endInstruction() {
  // The next instruction may be entered directly: the register is exact there.
  flushJournal();
  labels_.clear();
}

void CodeEmitter::flushJournal() {
  if (!pendingJournal_) return;
  lea(journalPos(), ptr[journalPos().cvt64() + pendingJournal_]);
  pendingJournal_ = 0;
}
