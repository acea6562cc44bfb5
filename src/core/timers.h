#pragma once
// The console's four timers.  They are advanced by a host routine generated
// from the control words whenever those change, so that each instruction does
// only the work the enabled timers need: one call, and a few host instructions
// per enabled timer.  The routine takes the cycle count in the cost register
// (cycles << 20) and raises the interrupt-request bit 0x4 in the budget
// register when an enabled timer with its interrupt bit overflows.

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

// What the routine reaches: the I/O registers, the four accumulators and the
// pending interrupt bits, all as displacements from one base register.
struct TimerLayout {
  int32_t io;           // I/O register area
  int32_t accumulators; // u32[4]
  int32_t pending;      // u32, interrupt bits 8 << n
};

// Host registers the routine works with.  It reads `cost`, may OR 0x4 into
// `budget`, and clobbers only rax, rcx and rdx, which therefore must hold no
// fixed role.
struct TimerRegisters {
  Xbyak::Reg64 base;
  Xbyak::Reg32 cost;
  Xbyak::Reg32 budget;
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
  // The routine's fixed entry: it stays at this address across rebuilds.
  const void* entry() const { return routine_->getCode(); }
  // Runs the routine for cycles spent outside generated code, with base
  // pointing at the area the layout is relative to; returns 0x4 when an
  // interrupt was collected, else 0.
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
// routine was built from.
uint32_t advanceTimers(uint8_t* io, uint32_t accumulators[4], uint32_t& pending, const uint16_t controls[4],
                       uint32_t cycles);
// The advance undone: the timers as they were before `cycles` went by under
// the same controls, the interrupt bits of the overflows it made taken back.
// Exact, because a counter wraps without a reload and a prescaled count is
// one 48-bit sum of counter and accumulator.
void reverseTimers(uint8_t* io, uint32_t accumulators[4], uint32_t& pending, const uint16_t controls[4],
                   uint32_t cycles);
// Adds cycles to one timer's prescaled count (the pre-advance of a control
// write); returns the overflow count.
uint32_t addTimerCycles(uint8_t* io, uint32_t accumulators[4], uint32_t n, uint32_t prescaler,
                        uint32_t cycles);
