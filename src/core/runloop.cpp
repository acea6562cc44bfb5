// One forward slice: exception entry, block lookup and entry, the exits that
// only say "continue", then the settling of the slice.

#include <bit>
#include <cstring>

#include "core/check.h"
#include "core/cpu.h"
#include "core/memory.h"

u32 gRunStatus = 0;
u32 gStopMask = kStopRunning;
i32 gCycleBudget = 0;
u32 gRunToAddress = 0xFFFFFFFF;
u32 gCycleCount = 0;
SkipBreakpointOnce gSkipBreakpointOnce;

namespace {

constexpr u32 kVector[7] = {0x00, 0x10, 0x1C, 0x18, 0x0C, 0x08, 0x04};
constexpr u32 kModeByte[7] = {0xDF, 0x17, 0x51, 0x92, 0x17, 0x13, 0x1B};
constexpr u32 kReturnOffset[7] = {0, 8, 4, 4, 0, 0, 0};

// Status bits after which the loop goes on with the next block.
constexpr u32 kContinue = 0x4000 | 0x8000 | 0x10000 | 0x20000;

}  // namespace

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

u32 ArmCpu::entryInBlock(TranslatedBlock* b, u32 pc) {
  u32 i = (pc - b->start) / instructionSize();
  CHECK(i < kBlockInstructions);
  if (i >= kBlockInstructions) i = 0;
  u32 entry = b->codeOffsets[i];
  // The one-shot skip applies only where it was armed, and only past a probe
  // that is really there.  A partly done LDM/STM (its resume offset not 0) is
  // going on, not starting: its breakpoint was tested when it started.
  const bool skip = (gSkipBreakpointOnce.armed && gSkipBreakpointOnce.address == pc) || reg(kRegResume) != 0;
  if (skip && ((b->probes >> i) & 1)) entry += kExecuteProbeLength;
  gSkipBreakpointOnce = SkipBreakpointOnce{};
  return entry;
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
  for (;;) {
    // Exception entry, at most one per round, never between the partial
    // transfers of an LDM/STM (its resume registers would be reused).  The
    // IRQ line is IF against IE and IME as they stand now.
    u32 c = cpsr();
    u32 p = pendingExceptions | (irqLine() ? 8u : 0u);
    if (c & 0x40) p &= ~4u;
    if (c & 0x80) p &= ~8u;
    if (p && reg(kRegResume) == 0) {
      u32 k = u32(std::countr_zero(p));
      setRegJournaled(kRegCpsr, (c & ~63u) | kModeByte[k]);
      setRegJournaled(14, pc + kReturnOffset[k]);
      setRegJournaled(kRegSpsr, c);
      setRegJournaled(15, kVector[k]);
      changeField(arena_, pendingExceptions, pendingExceptions & ~(1u << k));
      pc = this->pc();
    }
    if (!pendingWrites_.empty()) settleCodeWrites();
    TranslatedBlock* b = getBlock(pc);
    CHECK(b != nullptr);
    if (!b) break;
    touchBlock(b);
    const u32 entry = entryInBlock(b, pc);
    u32 budgetReg = (u32(gCycleBudget) << 20) | (gStopMask & 0xFFFFBu);
    u32 journal = (arena_.journalWriteIndex & (arena::kJournalWords - 1)) * 4;
    u32 result = callWithCpuRegisters(&arena_, b->code + entry, budgetReg, journal);
    lastEntry = pc;
    status = result & budgetReg;
    // An execute probe the stop mask does not select must not be hit again
    // and again: the next entry steps past it.
    if ((result & 0x20) && !(status & 0x20)) gSkipBreakpointOnce = SkipBreakpointOnce{true, pc};
    arena::foldJournal(arena_, journal);
    arena_.journalWriteIndex = journal / 4;
    gCycleBudget = i32(budgetReg) >> 20;
    if (status & ~kContinue) break;
    pc = this->pc();
    if (status & 0x4000) {
      switchState(pc);
      setReg(15, pc);
    }
  }
  // The clock moves by the cycles the slice used, bounded or not, so that
  // running back (which adds each instruction's cycles back) meets it exactly.
  const i32 used = budget - gCycleBudget;
  m.cycleCount += u32(used);
  m.video.cycles -= used;
  if (hooks.accessTraps) hooks.accessTraps(this->pc(), arena_.lastDataAddress, status);
  settleCodeWrites();
  if (status & 0x4000) {
    u32 npc = this->pc();
    switchState(npc);
    setReg(15, npc);
  }
  if (status & 0x80000) debugService(status);
  if (status & 0x800) raise(32);
  if (status & 0x4) {
    requestInterrupt(arena_.pendingTimerInterrupts);
    changeField(arena_, arena_.pendingTimerInterrupts, 0u);
  }
  if (bounded && (status & 0x80000000) && hooks.videoTick) hooks.videoTick();
  if ((status & 0x2) && lastEntry != gRunToAddress) status &= ~0x2u;
  gRunStatus = status;
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
