// One forward slice: exception entry, block lookup and entry, the exits that
// only say "continue", then the settling of the slice.

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/check.h"
#include "core/cpu.h"
#include "core/memory.h"
#include "core/history.h"
#include "core/timers.h"

u32 gRunStatus = 0;
u32 gStopMask = kStopRunning;
i32 gCycleBudget = 0;
u32 gRunToAddress = 0xFFFFFFFF;
u32 gCycleCount = 0;
SkipBreakpointOnce gSkipBreakpointOnce;

namespace {

constexpr u32 kVector[7] = {0x00, 0x10, 0x1C, 0x18, 0x0C, 0x08, 0x04};
// Every exception but reset masks IRQ on entry, FIQ masks FIQ too, as the
// ARM7TDMI does: a handler is not interrupted before it has saved state.
constexpr u32 kModeByte[7] = {0xDF, 0x97, 0xD1, 0x92, 0x97, 0x93, 0x9B};
constexpr u32 kReturnOffset[7] = {0, 8, 4, 4, 0, 0, 0};

// Status bits after which the loop goes on with the next block.
constexpr u32 kContinue = 0x4000 | 0x8000 | 0x10000 | 0x20000;

// Cycles until a timer whose interrupt is on, in TMxCNT and in IE, may next
// overflow (the timer that drives it, for one that counts up), or ~0 when
// none can: a halt sleeps no further, so that the interrupt wakes it on its
// own cycle.
u32 cyclesToTimerInterrupt(const Arena& a) {
  const u32* controls = a.machine.timerControls;
  const u32 ie = u32(a.io[0x200]) | u32(a.io[0x201]) << 8;
  u64 best = ~0u;
  for (u32 n = 0; n < 4; ++n) {
    if ((controls[n] & 0xC0) != 0xC0 || !(ie & (8u << n))) continue;
    u32 k = n;
    bool counting = true;
    while (k > 0 && (controls[k] & 4)) {
      --k;
      counting &= (controls[k] & 0x80) != 0;
    }
    if (!counting) continue;
    const u64 left = 0x10000 - (u32(a.io[kTimerCounter + 4 * k]) | u32(a.io[kTimerCounter + 4 * k + 1]) << 8);
    const u32 prescaler = controls[k] & 3;
    u64 cycles = left;
    if (prescaler != 0) {
      const u32 shift = timerShift(prescaler);
      cycles = ((left << 32) - a.timerAccumulators[k] + (u64(1) << shift) - 1) >> shift;
    }
    best = std::min(best, cycles);
  }
  return u32(best);
}

}  // namespace

void ArmCpu::enterException(u32 k) {
  const u32 c = cpsr(), pc = this->pc();
  setRegJournaled(kRegCpsr, (c & ~63u) | kModeByte[k]);
  setRegJournaled(14, pc + kReturnOffset[k]);
  setRegJournaled(kRegSpsr, c);
  setRegJournaled(15, kVector[k]);
  if (pendingExceptions & (1u << k)) changeField(arena_, pendingExceptions, pendingExceptions & ~(1u << k));
}

void ArmCpu::switchState(u32& pc) {
  u32 c = cpsr();
  if (pc & 1) {
    c |= 0x20;
    pc &= ~1u;
  } else {
    c &= ~0x20u;
    pc &= ~3u;
  }
  setReg(kRegCpsr, c);
}

u32 ArmCpu::entryInBlock(TranslatedBlock* b, u32 pc, bool resuming) {
  u32 i = (pc - b->start) >> ((b->key & 0x20) ? 1 : 2);
  CHECK(i < kBlockInstructions);
  if (i >= kBlockInstructions) i = 0;
  u32 entry = b->codeOffsets[i];
  // The one-shot skip applies only where it was armed, and only past a probe
  // that is really there.  A partly done LDM/STM (its resume offset not 0) is
  // going on, not starting: its breakpoint was tested when it started.
  if (b->probes) {
    const bool skip = (gSkipBreakpointOnce.armed && gSkipBreakpointOnce.address == pc) || resuming;
    if (skip && ((b->probes >> i) & 1)) entry += kExecuteProbeLength;
  }
  gSkipBreakpointOnce.armed = false;
  return entry;
}

TranslatedBlock* ArmCpu::blockAt(u32 pc, u32 key) {
  RecentBlock& r = recent_[arena::blockHash(pc, key) & (kRecentBlocks - 1)];
  if (r.pc == pc && r.key == key) return r.block;
  TranslatedBlock* b = getBlock(pc);
  // getBlock may have translated, and so released blocks: the table is
  // filled again only afterwards.  The older build's fallback block is
  // another block at each use.
  if (b && b->key == key && !variant::kOlder) r = RecentBlock{pc, key, b};
  return b;
}

void ArmCpu::run() {
  MachineState& m = arena_.machine;
  u32 pc = this->pc();
  const bool bounded = m.video.cycles < 2047;
  i32 budget = bounded ? m.video.cycles : 2047;
  // Clamped before it is shifted into the top twelve bits of the register,
  // with room below for the overspend of the instruction that ends it.
  if (budget < -1024) budget = -1024;
  gCycleBudget = budget;
  u32 status = 0, lastEntry = pc;
  bool sameStep = false;
  // Halted (HALTCNT), the processor runs no instruction until an enabled
  // interrupt is requested: the slice is slept through, and the loop below
  // does not run.
  if (m.halted && interruptEnabledAndFlagged()) changeField(arena_, m.halted, 0u);
  const bool asleep = m.halted != 0;
  if (asleep) status = sleep(budget);
  while (!asleep) {
    // Exception entry, at most one per round, never between the partial
    // transfers of an LDM/STM (its resume registers would be reused).  The
    // IRQ line is IF against IE and IME as they stand now.
    u32 c = cpsr();
    const bool resuming = bank_.get(kRegResume, RegisterBank::bankOfMode(c & 31)) != 0;
    u32 p = pendingExceptions | (irqLine() ? 8u : 0u);
    if (c & 0x40) p &= ~4u;
    if (c & 0x80) p &= ~8u;
    if (p && !resuming && !sameStep) {
      enterException(u32(std::countr_zero(p)));
      pc = this->pc();
    }
    if (!pendingWrites_.empty()) settleCodeWrites();
    TranslatedBlock* b = blockAt(pc, blockKey());
    CHECK(b != nullptr);
    if (!b) break;
    touchBlock(b);
    const bool skipping = gSkipBreakpointOnce.armed || resuming;
    const u32 entry = entryInBlock(b, pc, resuming);
    // The entry, for branches with computed targets to find without leaving
    // generated code (only a plain one: no probe skipped, no transfer resumed).
    if (!skipping && b != &fallback_) {
      const u32 key = b->key;
      arena_.dispatch[arena::dispatchIndex(pc, key)] = DispatchEntry{pc, key, reinterpret_cast<u64>(b->code + entry)};
    }
    // Under the single-step and run-to masks every instruction leaves, but
    // an instruction of no kind of its own tests only the budget's sign:
    // the code is given the budget as if spent (-1 cycles), `lead` less
    // than the real one, which is restored when it returns.
    const i32 lead = (gStopMask & 3) ? gCycleBudget + 1 : 0;
    u32 budgetReg = (u32(gCycleBudget - lead) << 20) | (gStopMask & 0xFFFFBu);
    u32 journal = (arena_.journalWriteIndex & (arena::kJournalWords - 1)) * 4;
    u32 result = callWithCpuRegisters(&arena_, b->code + entry, budgetReg, journal);
    budgetReg += u32(lead) << 20;
    if (!sameStep) lastEntry = pc;
    status = result & budgetReg;
    // A call that the lead alone ended (the instruction's exits leave the
    // step bits out: the first half of a Thumb BL under run-to) goes on as
    // the code would have gone on: no exception entry between, one entry.
    sameStep = lead != 0 && !(status & ~kContinue);
    // An execute probe the stop mask does not select must not be hit again
    // and again: the next entry steps past it.
    if ((result & 0x20) && !(status & 0x20)) gSkipBreakpointOnce = SkipBreakpointOnce{true, pc};
    arena::foldJournal(arena_, journal);
    arena_.journalWriteIndex = journal / 4;
    gCycleBudget = i32(budgetReg) >> 20;
    if (status & ~kContinue) break;
    pc = this->pc();
  }
  // The clock moves by the cycles the slice used, bounded or not, so that
  // running back (which adds each instruction's cycles back) meets it exactly.
  const i32 used = budget - gCycleBudget;
  m.cycleCount += u32(used);
  m.video.cycles -= used;
  if ((status & (0x8 | 0x10 | 0x20)) && hooks.accessTraps) hooks.accessTraps(this->pc(), arena_.lastDataAddress, status);
  if (!pendingWrites_.empty()) settleCodeWrites();
  if (status & 0x80000) debugService(status);
  // The SWI instruction itself enters its exception: no interrupt comes in
  // between.
  if (status & 0x800) enterException(5);
  if (status & 0x4) {
    requestInterrupt(arena_.pendingTimerInterrupts);
    changeField(arena_, arena_.pendingTimerInterrupts, 0u);
  }
  if (bounded && (status & 0x80000000) && hooks.videoTick) hooks.videoTick();
  if ((status & 0x2) && lastEntry != gRunToAddress) status &= ~0x2u;
  gRunStatus = status;
}

u32 ArmCpu::sleep(i32 budget) {
  // To the budget's end, as an instruction that spends it would go, or to a
  // timer's interrupt: the clock and the timers move, nothing else.  One
  // end record holds the cycles, marked as a partial end so that running
  // back leaves the PC.
  const u32 used = std::min(budget >= 0 ? u32(budget) + 1 : 1u, cyclesToTimerInterrupt(arena_));
  gCycleBudget = budget - i32(used);
  u32 status = 0x80000000;
  if (timers_->counting()) status |= runTimers(used);
  journalRecord(arena_, kRecordEnd, (used << 20) | kPartialEndMark);
  return status;
}

u32 ArmCpu::runTimers(u32 cycles) {
  const u32 status = timers_->run(reinterpret_cast<uint8_t*>(&arena_), cycles);
  // Overflow records may have run past the ring's end.
  u32 bytes = arena_.journalWriteIndex * 4;
  arena::foldJournal(arena_, bytes);
  arena_.journalWriteIndex = bytes / 4;
  return status;
}

void ArmCpu::debugService(u32& status) {
  if (hooks.debugService) {
    hooks.debugService(status);
    return;
  }
  if (reg(0) == 0) status |= 0x40;  // the guest asks to stop
}

void ArmCpu::stepBack() {
  if (hooks.stepBack) {
    hooks.stepBack();
    return;
  }
  gRunStatus = 0x40000;  // no history to run back through
}
