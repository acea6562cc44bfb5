#include "core/timers.h"

#include <cstring>

#include "general/base.h"
#include "platform/variant.h"

namespace {

constexpr size_t kRoutineBytes = 1024;

uint16_t load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void store16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

}  // namespace

uint32_t addTimerCycles(uint8_t* io, uint32_t accumulators[4], uint32_t n, uint32_t prescaler,
                        uint32_t cycles) {
  uint8_t* counter = io + kTimerCounter + 4 * n;
  uint64_t increment = cycles;
  if (prescaler != 0) {
    // Every carry out of the accumulator is one count, however many one call makes.
    uint64_t total = uint64_t(accumulators[n]) + (uint64_t(cycles) << timerShift(prescaler));
    accumulators[n] = uint32_t(total);
    increment = total >> 32;
  }
  uint64_t sum = load16(counter) + increment;
  store16(counter, uint32_t(sum));
  return uint32_t(sum >> 16);
}

namespace {

// The inverse of addTimerCycles; returns 1 when the counter wrapped back.
uint32_t subtractTimerCycles(uint8_t* io, uint32_t accumulators[4], uint32_t n, uint32_t prescaler, uint32_t cycles) {
  uint8_t* counter = io + kTimerCounter + 4 * n;
  if (prescaler == 0) {
    const uint32_t c = load16(counter);
    store16(counter, c - cycles);
    return c < (cycles & 0xFFFF) ? 1 : 0;
  }
  const uint64_t mask = (uint64_t(1) << 48) - 1;
  const uint64_t total = uint64_t(load16(counter)) << 32 | accumulators[n];
  const uint64_t step = (uint64_t(cycles) << timerShift(prescaler)) & mask;
  const uint64_t before = (total - step) & mask;
  accumulators[n] = uint32_t(before);
  store16(counter, uint32_t(before >> 32));
  return total < step ? 1 : 0;
}

}  // namespace

void reverseTimers(uint8_t* io, uint32_t accumulators[4], uint32_t& pending, const uint16_t controls[4],
                   uint32_t cycles) {
  uint32_t borrow = 0;
  for (uint32_t n = 0; n < 4; ++n) {
    const uint16_t c = controls[n];
    if (!(c & 0x80)) {
      borrow = 0;
      continue;
    }
    if (n > 0 && (c & 4)) {
      uint8_t* counter = io + kTimerCounter + 4 * n;
      const uint32_t v = load16(counter);
      store16(counter, v - borrow);
      borrow = v < borrow ? 1 : 0;
    } else {
      borrow = subtractTimerCycles(io, accumulators, n, c & 3, cycles);
    }
    // A timer overflows at most once in a slice, and the slice's overflows
    // are requested when it ends: before this one the bit was clear.
    if ((c & 0x40) && borrow) pending &= ~(8u << n);
  }
}

uint32_t advanceTimers(uint8_t* io, uint32_t accumulators[4], uint32_t& pending, const uint16_t controls[4],
                       uint32_t cycles) {
  uint32_t status = 0, carry = 0;
  for (uint32_t n = 0; n < 4; ++n) {
    uint16_t c = controls[n];
    if (!(c & 0x80)) {
      carry = 0;  // a disabled timer feeds no count to a count-up successor
      continue;
    }
    if (n > 0 && (c & 4)) {
      uint8_t* counter = io + kTimerCounter + 4 * n;
      uint32_t sum = load16(counter) + carry;
      store16(counter, sum);
      carry = sum >> 16;
    } else {
      carry = addTimerCycles(io, accumulators, n, c & 3, cycles);
    }
    if ((c & 0x40) && carry) {
      pending |= 8u << n;
      status |= kTimerIrqRequest;
    }
  }
  return status;
}

TimerCode::TimerCode(TimerLayout layout, TimerRegisters regs)
    : layout_(layout),
      regs_(regs),
      routine_(std::make_unique<Xbyak::CodeGenerator>(kRoutineBytes, Xbyak::DontSetProtectRWE)),
      thunk_(std::make_unique<Xbyak::CodeGenerator>(256, Xbyak::DontSetProtectRWE)) {
  using namespace Xbyak::util;
  // An empty routine until the first build.
  routine_->ret();
  routine_->ready();
  routine_->setProtectModeRE();

  Xbyak::CodeGenerator& t = *thunk_;
  const Xbyak::Reg64 saved[] = {rbx, rbp, r12, r13, r14, r15};
  for (const auto& r : saved) t.push(r);
  t.sub(rsp, 8);
  t.mov(rax, rdi);
  t.mov(ecx, esi);
  t.mov(regs_.base, rax);
  t.mov(regs_.cost, ecx);
  t.shl(regs_.cost, 20);
  t.xor_(regs_.budget, regs_.budget);
  t.mov(rax, reinterpret_cast<uint64_t>(routine_->getCode()));
  t.call(rax);
  t.mov(eax, regs_.budget);
  t.and_(eax, kTimerIrqRequest);
  t.add(rsp, 8);
  for (int i = 5; i >= 0; --i) t.pop(saved[i]);
  t.ret();
  t.ready();
  t.setProtectModeRE();
}

void TimerCode::build(const uint8_t* io, uint32_t fixedCycles) {
  uint16_t controls[4];
  for (uint32_t n = 0; n < 4; ++n) controls[n] = load16(io + kTimerControl + 4 * n);
  build(controls, fixedCycles);
}

void TimerCode::build(const uint16_t controls[4], uint32_t fixedCycles) {
  using namespace Xbyak::util;
  for (uint32_t n = 0; n < 4; ++n) controls_[n] = controls[n];
  Xbyak::CodeGenerator& g = *routine_;
  g.setProtectModeRW();
  g.reset();
  const Xbyak::Reg64& b = regs_.base;
  if (!variant::kOlder || !CHECK(fixedCycles < 64)) fixedCycles = 0;
  auto loadCycles = [&] {
    if (fixedCycles) {
      g.mov(eax, fixedCycles);
    } else {
      g.mov(eax, regs_.cost);
      g.shr(eax, 20);
    }
  };
  bool carryKnownZero = true;  // edx holds the previous timer's carry when this is false
  for (uint32_t n = 0; n < 4; ++n) {
    uint16_t c = controls[n];
    if (!(c & 0x80)) {
      carryKnownZero = true;
      continue;
    }
    const int32_t counter = layout_.io + int32_t(kTimerCounter + 4 * n);
    const int32_t acc = layout_.accumulators + int32_t(4 * n);
    if (n > 0 && (c & 4)) {
      if (carryKnownZero) continue;  // nothing ever arrives: the counter stays, no interrupt
      g.movzx(eax, g.word[b + counter]);
      g.add(eax, edx);
    } else if ((c & 3) == 0) {
      loadCycles();
      g.movzx(ecx, g.word[b + counter]);
      g.add(eax, ecx);
    } else {
      loadCycles();
      g.shl(rax, uint8_t(timerShift(c & 3)));
      g.mov(ecx, g.dword[b + acc]);
      g.add(rax, rcx);
      g.mov(g.dword[b + acc], eax);
      g.shr(rax, 32);
      g.movzx(ecx, g.word[b + counter]);
      g.add(eax, ecx);
    }
    g.mov(g.word[b + counter], ax);
    g.shr(eax, 16);
    g.mov(edx, eax);
    carryKnownZero = false;
    if (c & 0x40) {
      Xbyak::Label none;
      g.test(edx, edx);
      g.jz(none);
      g.or_(g.dword[b + layout_.pending], 8u << n);
      g.or_(regs_.budget, kTimerIrqRequest);
      g.L(none);
    }
  }
  g.ret();
  g.ready();
  g.setProtectModeRE();
}

uint32_t TimerCode::run(uint8_t* base, uint32_t cycles) const {
  auto fn = reinterpret_cast<uint32_t (*)(uint8_t*, uint32_t)>(const_cast<uint8_t*>(thunk_->getCode()));
  return fn(base, cycles);
}
