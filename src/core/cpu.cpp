#include "core/cpu.h"

#include <cstring>

#include "core/check.h"
#include "core/memory.h"
#include "core/timers.h"
#include "general/config.h"

using namespace Xbyak::util;

// The older build has no such option: it starts without the BIOS only when
// the BIOS word at 0 reads 0.
#ifndef VANDREL_OLDER_VARIANT
constinit ConfigOption<i32> gSkipStartup("Skip startup", 0);
int skipStartupOption() { return gSkipStartup.value(); }
void setSkipStartupOption(int value) { gSkipStartup.value() = value; }
#else
int skipStartupOption() { return 0; }
void setSkipStartupOption(int) {}
#endif

RegisterBank::RegisterBank(Arena& arena) : arena_(arena) {
  const u32 base = u32(arena::kRegisters);
  auto word = [&](u32 w) { return base + 4 * w; };
  u32 next = 0;
  // Every register but SPSR has one word that all slots share: R0-R15, CPSR
  // and the two transfer scratch words.
  for (u32 r = 0; r < kRegisterCount; ++r) {
    if (r == kRegSpsr) continue;
    for (u32 s = 0; s < 7; ++s) offsets_[r][s] = word(next);
    ++next;
  }
  // FIQ's own R8-R14, then its own SPSR and scratch words.
  for (u32 r = 8; r <= 14; ++r) offsets_[r][1] = word(next++);
  for (u32 r = 17; r <= 19; ++r) offsets_[r][1] = word(next++);
  // IRQ, Supervisor, Abort, Undefined: own R13, R14, SPSR and scratch words.
  // System mode has User's registers (slot 6 keeps slot 0's words).
  for (u32 s = 2; s <= 5; ++s) {
    for (u32 r : {13u, 14u, 17u, 18u, 19u}) offsets_[r][s] = word(next++);
  }
  // User and System have no SPSR: reading it reads CPSR, and writes to it
  // are dropped (set() and the translated MSR skip them).
  offsets_[kRegSpsr][0] = offsets_[kRegSpsr][6] = offsets_[kRegCpsr][0];
  CHECK(next == arena::kRegisterWords);
  // Slot 7 is never selected; it mirrors User so that it stays harmless.
  for (u32 r = 0; r < kRegisterCount; ++r) offsets_[r][7] = offsets_[r][0];
}

void RegisterBank::reset() { std::memset(arena_.registers, 0, sizeof arena_.registers); }

ArmCpu::ArmCpu(Arena& arena, GbaMemory& memory)
    : pendingExceptions(arena.machine.pendingExceptions),
      interruptFlags(arena.machine.interruptFlags),
      arena_(arena),
      memory_(memory),
      bank_(arena),
      timers_(std::make_unique<TimerCode>(
          TimerLayout{arena::kIo, arena::kTimerAccumulators, arena::kPendingTimer, arena::kTimerReload,
                      arena::kJournal, arena::kJournalWriteIndex},
          TimerRegisters{rbx, r14d, r12d, r13d})),
      code_(size_t(kBlockCount + 1) * kBlockCodeLimit),
      staging_(new u8[kStagingBytes]),
      emitter_(std::make_unique<CodeEmitter>(staging_.get(), kStagingBytes)) {
  arena_.timerEntry = reinterpret_cast<u64>(timers_->entry());
  fallback_.code = code_.data() + kPackedCodeBytes;
  reset();
}

ArmCpu::~ArmCpu() = default;

void ArmCpu::setRegJournaled(u32 n, u32 value) {
  if (n == kRegSpsr && !RegisterBank::hasSpsr(currentBank())) return;
  journalPush(arena_, regOffset(n));
  setReg(n, value);
}

void ArmCpu::reset() {
  bank_.reset();
  // Nothing of the previous run may reach the new one.
  pendingExceptions = 0;
  interruptFlags = 0;
  arena_.machine.halted = 0;
  arena_.pendingTimerInterrupts = 0;
  for (u32& c : arena_.machine.timerControls) c = 0;
  for (u32& r : arena_.machine.timerReload) r = 0;
  // Nor may a prescaler's part count or the last run's data address.
  for (u32& a : arena_.timerAccumulators) a = 0;
  arena_.lastDataAddress = 0;
  gSkipBreakpointOnce = SkipBreakpointOnce{};
  bool noBios = memory_.peek32(0) == 0;
  if (noBios || (!variant::kOlder && skipStartupOption() != 0)) {
    // What the console's BIOS leaves when it hands over to the cartridge:
    // System mode, ARM state, interrupts enabled, and the three stacks.
    bank_.set(kRegCpsr, 0, 0x1F);
    bank_.set(13, 0, 0x03007F00);  // User and System
    bank_.set(13, 2, 0x03007FA0);  // IRQ
    bank_.set(13, 3, 0x03007FE0);  // Supervisor
    bank_.set(15, 0, 0x08000000);
  } else {
    bank_.set(15, 0, 0);
    bank_.set(kRegCpsr, 0, 0xD3);
  }
  if (arena_.readBase[4]) {
    for (u32 n = 0; n < 4; ++n) arena_.machine.timerControls[n] = memory_.peek16(0x04000102 + 4 * n);
    timers_->build(arena_.io);
    followTimerControls();
  }
  flushBlocks();
}

void ArmCpu::buildTimerCode() {
  u32* controls = arena_.machine.timerControls;
  for (u32 n = 0; n < 4; ++n) changeField(arena_, controls[n], u32(memory_.peek16(0x04000102 + 4 * n)));
  followTimerControls();
}

void ArmCpu::followTimerControls() {
  u16 controls[4];
  bool same = true;
  for (u32 n = 0; n < 4; ++n) {
    controls[n] = u16(arena_.machine.timerControls[n]);
    same &= controls[n] == timers_->controls()[n];
  }
  // Generating code costs two protection changes: only for a real change.
  if (!same) timers_->build(controls);
  timersRunning_ = false;
  for (u32 n = 0; n < 4; ++n) timersRunning_ |= (controls[n] & 0x80) != 0;
}

void ArmCpu::raise(u32 bits) { changeField(arena_, pendingExceptions, pendingExceptions | bits); }

void ArmCpu::requestInterrupt(u32 bits) {
  bits &= 0x3FFF;
  if ((interruptFlags | bits) == interruptFlags) return;
  journalField(arena_, interruptFlags);
  interruptFlags |= bits;
  // IE and IF share a word.
  journalPush(arena_, arena_.offsetOf(arena_.io + 0x200));
  memory_.poke16(0x04000202, u16(interruptFlags));
}

u32 ArmCpu::instructionCost(u32 address, u32 n, u32 i, u32 s) const {
  u32 region = address >> 24;
  bool thumb = isThumb();
  u32 nw = memory_.wait(thumb ? arena::kWait16NonSeq : arena::kWait32NonSeq, region) >> 20;
  u32 sw = memory_.wait(thumb ? arena::kWait16Seq : arena::kWait32Seq, region) >> 20;
  return n * nw + s * sw + i;
}

namespace {

// The entry stub: saves the host's callee-saved registers, loads the fixed
// roles, calls the generated code and hands the budget and journal
// registers back.
class EntryStub {
public:
  EntryStub() : buffer_(4096) {
    std::unique_ptr<u8[]> staging(new u8[4096]);
    Xbyak::CodeGenerator g(4096, staging.get());
    const Xbyak::Reg64 saved[] = {rbx, rbp, r12, r13, r14, r15};
    for (const auto& r : saved) g.push(r);
    g.push(rdx);
    g.push(rcx);
    g.sub(rsp, 8);
    g.mov(rbx, rdi);
    g.mov(r12d, g.dword[rdx]);
    g.mov(r13d, g.dword[rcx]);
    g.call(rsi);
    g.add(rsp, 8);
    g.pop(rcx);
    g.pop(rdx);
    g.mov(g.dword[rdx], r12d);
    g.mov(g.dword[rcx], r13d);
    for (int i = 5; i >= 0; --i) g.pop(saved[i]);
    g.ret();
    buffer_.makeWritable(buffer_.data(), g.getSize());
    std::memcpy(buffer_.data(), staging.get(), g.getSize());
    buffer_.makeExecutable(buffer_.data(), g.getSize());
    fn_ = reinterpret_cast<Fn>(buffer_.data());
  }
  using Fn = u32 (*)(Arena*, const void*, u32*, u32*);
  Fn fn_;

private:
  CodeBuffer buffer_;
};

}  // namespace

u32 callWithCpuRegisters(Arena* arena, const void* entry, u32& budget, u32& journal) {
  static EntryStub stub;
  return stub.fn_(arena, entry, &budget, &journal);
}
