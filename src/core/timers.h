#pragma once
// The console's four timers.  They are advanced by a host routine generated
// from the control words whenever those change, so that each instruction does
// only the work the enabled timers need: one call, and a few host instructions
// per enabled timer.  The routine takes the cycle count in the cost register
// (cycles << 20) and raises the interrupt-request bit 0x4 in the budget
// register when an enabled timer with its interrupt bit overflows.
//
// A timer counts up from its reload value to 0xFFFF; on overflow it starts
// again at the reload value (the value the guest last wrote to its counter
// register; reads give the running count).  Running backwards undoes an
// advance by subtracting it again, which is exact while no counter passed
// 0xFFFF; an overflow, the only change a subtraction cannot undo, journals
// the counter (and the interrupt bits) before it happens.

#include <cstdint>
#include <memory>

#include <xbyak/xbyak.h>

// Counter n at I/O 0x100 + 4n, control at 0x102 + 4n.
inline constexpr uint32_t kTimerCounter = 0x100;
inline constexpr uint32_t kTimerControl = 0x102;
inline constexpr uint32_t kTimerIrqRequest = 0x4;

// Prescalers 1-3 divide by 64, 256 and 1024: a fixed-point accumulator
// advances by cycles << shift and each carry out of its 32 bits is one count.
inline uint32_t timerShift(uint32_t prescaler) { return 28 - 2 * prescaler; }

// What the routine reaches, as displacements from one base register: the
// I/O registers, the four accumulators, the pending interrupt bits, the
// four reload values (u32 each, low halves) and the journal.
struct TimerLayout {
  int32_t io;           // I/O register area
  int32_t accumulators; // u32[4]
  int32_t pending;      // u32, interrupt bits 8 << n
  int32_t reload = -1;  // u32[4]; -1: every timer reloads 0
  int32_t journal = -1;       // the journal ring; -1: overflows are not journaled
  int32_t journalIndex = -1;  // u32, its write position in words (for run())
};

// Host registers the routine works with.  It reads `cost`, may OR 0x4 into
// `budget`, writes records at `journal` (a byte position, advanced by 8 a
// record) and clobbers only rax, rcx and rdx, which therefore must hold no
// fixed role.
struct TimerRegisters {
  Xbyak::Reg64 base;
  Xbyak::Reg32 cost;
  Xbyak::Reg32 budget;
  Xbyak::Reg32 journal = Xbyak::util::r13d;
};

class TimerCode {
 public:
  TimerCode(TimerLayout layout, TimerRegisters regs);

  // Regenerates the routine from the control words now in the I/O area.
  // The older build generates it for a fixed cycle count (below 64) given
  // here instead of reading the count at each call; 0 reads it at each call.
  void build(const uint8_t* io, uint32_t fixedCycles = 0);
  void build(const uint16_t controls[4], uint32_t fixedCycles = 0);
  // The control words the routine was built from.
  const uint16_t* controls() const { return controls_; }
  // Whether the routine was built with a timer enabled (else it does nothing).
  bool counting() const { return (controls_[0] | controls_[1] | controls_[2] | controls_[3]) & 0x80; }
  // The routine's fixed entry: it stays at this address across rebuilds.
  const void* entry() const { return routine_->getCode(); }
  // Runs the routine for cycles spent outside generated code, with base
  // pointing at the area the layout is relative to; returns 0x4 when an
  // interrupt was collected, else 0.  Journal records may run past the
  // ring's end: the caller moves them.
  uint32_t run(uint8_t* base, uint32_t cycles) const;

 private:
  TimerLayout layout_;
  TimerRegisters regs_;
  std::unique_ptr<Xbyak::CodeGenerator> routine_;
  std::unique_ptr<Xbyak::CodeGenerator> thunk_;
  uint16_t controls_[4] = {};
};

// The same advance in plain code, for a control write's pre-advance and as
// the reference the routine is tested against.  controls are the words the
// routine was built from; reload the timers' reload values (null: 0).
uint32_t advanceTimers(uint8_t* io, uint32_t accumulators[4], uint32_t& pending, const uint16_t controls[4],
                       const uint32_t* reload, uint32_t cycles);
// The advance undone by subtraction (see above): the counters of the timers
// that count cycles and their accumulators.  Count-up timers change only on
// a predecessor's overflow, which is journaled.
void reverseTimers(uint8_t* io, uint32_t accumulators[4], const uint16_t controls[4], uint32_t cycles);
// Adds cycles to one timer's prescaled count (the pre-advance of a control
// write), reloading on overflow; returns the number of overflows.
uint32_t addTimerCycles(uint8_t* io, uint32_t accumulators[4], uint32_t n, uint32_t prescaler, uint32_t reload,
                        uint32_t cycles);
