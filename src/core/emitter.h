#pragma once
// The code emitter: one per block translation, writing x86-64 host code into
// the staging buffer through Xbyak.  It knows the conventions every
// generated instruction follows (register roles and journal records are
// described in core/arena.h):
//
//   [execute probe]   mov [PC], address ; mov eax, 0x20 ; ret   (kExecuteProbeLength bytes)
//   [condition test]  table lookup; jne fail tail (which loads the cost
//                     register with 1 S-cycle)
//   body              the handler's code
//   epilogue          cost register = cost << 20 (+ r15d, the access waits);
//                     call timer; journal {0, cost}; budget -= cost;
//                     leave when budget AND status != 0 (PC = next), else
//                     fall through into the next instruction's code (an
//                     instruction whose status is kStatusBase alone, with no
//                     timer call, tests the budget's sign: see ArmCpu::run)
//   [fail tail]       the same with the plain status (a skipped instruction
//                     raises none of its own kinds)
//
// Status words are translation flags | kStatusBase | the handler's kinds.

#include <functional>
#include <list>
#include <optional>
#include <vector>

#define XBYAK_NO_OP_NAMES
#include <xbyak/xbyak.h>

#include "core/arena.h"

// Every exit's status: budget spent (bit 31), single step (0x1), run-to
// (0x2) and the timer's interrupt request (0x4), which the timer routine
// raises in the budget register.
inline constexpr u32 kStatusBase = 0x80000007;

// Bytes of the execute-breakpoint probe in front of an instruction; a block
// entered past it skips the probe once.
inline constexpr u32 kExecuteProbeLength = 13;
// Host code per translated block.  Block ends are invisible to the guest.
inline constexpr u32 kBlockCodeLimit = 16384;
// Room for one instruction beyond the limit before it is withdrawn.
inline constexpr u32 kStagingBytes = kBlockCodeLimit + 16384;

// A branch whose target may be linked inside its own block.
struct BranchLink {
  u32 slotOffset;      // code offset of the 5-byte slot behind the taken exit
  u32 target;          // guest address
  u32 statusOffset;    // code offset of the status immediate (mov eax, imm32)
  u32 testOffset;      // code offset of the status test immediate (test r12d, imm32)
};

// BlockWord: a word of LDM/STM, which ignores the address's low bits entirely.
enum class AccessWidth { Byte, SignedByte, Halfword, SignedHalfword, Word, BlockWord };

class CodeEmitter : public Xbyak::CodeGenerator {
public:
  CodeEmitter(u8* staging, size_t bytes);

  void begin();                     // a new block: offset 0, no links
  u32 offset() const { return u32(getSize()); }
  void rewind(u32 offset);          // drops code behind offset (translation limit)

  // Per block: whether instructions call the timer routine, and its key.
  bool timerCalls = true;
  u32 blockKey = 0;
  // Per instruction.
  u32 translationFlags = 0;
  u32 instructionIndex = 0;
  std::vector<BranchLink> links;

  // Host registers with fixed roles.
  static const Xbyak::Reg64& base();
  static const Xbyak::Reg32& budget();
  static const Xbyak::Reg32& journalPos();
  static const Xbyak::Reg32& cost();
  static const Xbyak::Reg32& waits();

  Xbyak::Address at(i32 disp) { return dword[base() + disp]; }

  // Journal records.
  void journalConst(u32 first, u32 second);
  void journalValue(u32 first, const Xbyak::Reg32& second);
  // {location, its current content}; uses r11d.
  void journalLocation(u32 location);
  void journalPair(const Xbyak::Reg32& first, const Xbyak::Reg32& second);
  // The instruction's end record {0, cost << 20} for a cost known here
  // (clobbers rcx).
  void endRecordConstant(u32 cost);

  // Instruction framing.  begin/endInstruction bracket one instruction; the
  // prologue takes the condition-failed cost in cycles.
  void beginInstruction(u32 address, u32 size, bool probe, u32 condition, u32 failCost);
  // Where a failed condition test lands (the cost register gets the failed
  // instruction's cost there).
  void failEntry();
  void useWaits();  // zeroes r15d: the body adds wait cycles
  void addsWaits() { usesWaits_ = true; }
  // The epilogue; a status with 0x8000 returns unconditionally (the body
  // wrote PC).  `linkTarget` records a branch link for a taken B/BL.
  void epilogue(u32 status, u32 cost, bool recordLink = false, u32 linkTarget = 0, bool onlyAtTarget = false);
  // The epilogue of an instruction that wrote PC with a computed target:
  // unless it must leave, it goes on at the target through the dispatch
  // table.  The target's key is `key`, or read from CPSR when it may have
  // changed the state (BX).
  void dispatchEpilogue(u32 status, u32 cost, u32 key, bool keyFromCpsr);
  // The common tail without the branch part, given the cost register
  // loaded; endMark is ORed into the end record's cost word (1 marks the
  // partial steps of LDM/STM).
  // constantCost (cycles << 20), when known and no timer call needs the
  // cost register, goes into the journal and the budget as an immediate.
  // deferExit: the exit is taken through a stub at the block's end, so that
  // the usual path falls straight through into the next instruction (only
  // when nothing else is placed between them).
  void exitTail(u32 status, u32 endMark, u32 pc, const Xbyak::Label& next, i64 constantCost = -1,
                bool deferExit = false);
  // The exits left for the block's end, behind its closing exit; their
  // bytes count towards the block's code.
  void emitExitStubs();
  u32 pendingStubBytes() const { return u32(stubs_.size()) * kExitStubLength; }
  void emitTimerCall();
  // The cost register: cost << 20 plus the access waits when the body adds
  // them.
  void loadCost(u32 cost);
  // The end record and the budget's charge, the journal register brought up
  // to date: as immediates when fixed (no waits, no timer call reads the
  // cost register), else from the cost register after the timer call.
  void chargeCost(u32 cost, bool fixed);
  // Code placed behind the instruction's exits (rare paths).
  void cold(std::function<void()> f) { cold_.push_back(std::move(f)); }
  void emitCold();
  // A label that lives until endInstruction.
  Xbyak::Label& newLabel();
  void endInstruction();

  // The journal register is advanced once for the records written since the
  // last jump, call, return or label rather than once per record: before each
  // of those it is brought up to date (with lea, which leaves the flags), so
  // that it is exact wherever control can arrive or leave.
  void flushJournal();
  template <class... A> void L(A&&... a) { flushJournal(); CodeGenerator::L(std::forward<A>(a)...); }
  template <class... A> void jmp(A&&... a) { flushJournal(); CodeGenerator::jmp(std::forward<A>(a)...); }
  template <class... A> void call(A&&... a) { flushJournal(); CodeGenerator::call(std::forward<A>(a)...); }
  template <class... A> void ret(A&&... a) { flushJournal(); CodeGenerator::ret(std::forward<A>(a)...); }
  template <class... A> void ja(A&&... a) { flushJournal(); CodeGenerator::ja(std::forward<A>(a)...); }
  template <class... A> void jae(A&&... a) { flushJournal(); CodeGenerator::jae(std::forward<A>(a)...); }
  template <class... A> void jb(A&&... a) { flushJournal(); CodeGenerator::jb(std::forward<A>(a)...); }
  template <class... A> void jbe(A&&... a) { flushJournal(); CodeGenerator::jbe(std::forward<A>(a)...); }
  template <class... A> void jc(A&&... a) { flushJournal(); CodeGenerator::jc(std::forward<A>(a)...); }
  template <class... A> void jnc(A&&... a) { flushJournal(); CodeGenerator::jnc(std::forward<A>(a)...); }
  template <class... A> void je(A&&... a) { flushJournal(); CodeGenerator::je(std::forward<A>(a)...); }
  template <class... A> void jne(A&&... a) { flushJournal(); CodeGenerator::jne(std::forward<A>(a)...); }
  template <class... A> void jz(A&&... a) { flushJournal(); CodeGenerator::jz(std::forward<A>(a)...); }
  template <class... A> void jnz(A&&... a) { flushJournal(); CodeGenerator::jnz(std::forward<A>(a)...); }
  template <class... A> void js(A&&... a) { flushJournal(); CodeGenerator::js(std::forward<A>(a)...); }
  template <class... A> void jns(A&&... a) { flushJournal(); CodeGenerator::jns(std::forward<A>(a)...); }
  template <class... A> void jo(A&&... a) { flushJournal(); CodeGenerator::jo(std::forward<A>(a)...); }
  template <class... A> void jno(A&&... a) { flushJournal(); CodeGenerator::jno(std::forward<A>(a)...); }
  template <class... A> void jl(A&&... a) { flushJournal(); CodeGenerator::jl(std::forward<A>(a)...); }
  template <class... A> void jle(A&&... a) { flushJournal(); CodeGenerator::jle(std::forward<A>(a)...); }
  template <class... A> void jg(A&&... a) { flushJournal(); CodeGenerator::jg(std::forward<A>(a)...); }
  template <class... A> void jge(A&&... a) { flushJournal(); CodeGenerator::jge(std::forward<A>(a)...); }

  // Memory access piece.  Address in esi; a load leaves the value in r9d, a
  // store takes it from r9d.  Clobbers eax, ecx, edx, edi, r8d.
  void load(AccessWidth width, bool sequential);
  void store(AccessWidth width, bool sequential);

  // Host flags -> CPSR.  arithmetic: NZCV from the host (C already in ARM
  // sense); logical: NZ from `result`, C from bit 29 of the cost register.
  // Journals CPSR before writing it.  cpsrOffset: the CPSR word.
  void flagsArithmetic(u32 cpsrOffset);
  void flagsLogical(u32 cpsrOffset, const Xbyak::Reg32& result, bool carryChanged);

private:
  void accessPiece(bool isStore, AccessWidth width, bool sequential);
  // When any `mask` bit of the address (esi) is set, `then` runs out of the
  // way (behind the instruction's exits) before the code goes on.
  void rareWhenAddressBits(u32 mask, std::function<void()> then);
  // The two words of a record at the journal register, which advances one
  // record for it at the next flush (the run loop wraps it round the ring).
  template <class First, class Second>
  void writeRecord(const First& first, const Second& second) {
    const i32 at = arena::kJournal + i32(pendingJournal_);
    mov(dword[base() + journalPos().cvt64() + at], first);
    mov(dword[base() + journalPos().cvt64() + at + 4], second);
    pendingJournal_ += 8;
  }
  // A whole record from one 64-bit register: first word low, second high.
  void writeRecord(const Xbyak::Reg64& record) {
    mov(qword[base() + journalPos().cvt64() + arena::kJournal + i32(pendingJournal_)], record);
    pendingJournal_ += 8;
  }
  u32 pendingJournal_ = 0;  // record bytes the journal register has not been advanced by

  struct ColdAccess {
    Xbyak::Label* unmapped;  // no region, or nothing writable there
    Xbyak::Label* outside;   // beyond the region's size
    Xbyak::Label* inside;    // back into the mapped path (waits, trap bit, base)
    Xbyak::Label* access;    // the load or store itself
    Xbyak::Label* done;      // behind the access
    bool isStore;
    i32 ioWait;  // displacement of the I/O region's wait for this access
  };
  // mov [PC], imm32 ; mov eax, imm32 ; ret
  static constexpr u32 kExitStubLength = 13;
  struct ExitStub {
    u32 jumpOffset;  // where the jump to it starts
    u32 pc, status;
    Xbyak::Label label;
  };
  std::list<ExitStub> stubs_;  // a list: jumps hold on to the labels
  u32 address_ = 0, size_ = 0;
  bool failTail_ = false;
  u32 failCost_ = 0;
  bool usesWaits_ = false;
  std::optional<Xbyak::Label> fail_;
  std::vector<std::function<void()>> cold_;
  std::vector<ColdAccess> coldAccesses_;
  std::list<Xbyak::Label> labels_;
};
