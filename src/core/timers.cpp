#include "core/timers.h"

#include <cstring>
#include <functional>
#include <list>
#include <vector>

#include "general/base.h"
#include "platform/variant.h"

namespace {

constexpr size_t kRoutineBytes = 2048;

uint16_t load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void store16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

// A counter that reached `sum` (above 0xFFFF) starts again at the reload
// value, as often as the counts reach past 0xFFFF; returns the overflows.
uint32_t overflow(uint8_t* counter, uint64_t sum, uint32_t reload) {
  const uint64_t period = 0x10000 - (reload & 0xFFFF);
  const uint64_t excess = sum - 0x10000;
  store16(counter, uint32_t((reload & 0xFFFF) + excess % period));
  return uint32_t(1 + excess / period);
}

}  // namespace

uint32_t addTimerCycles(uint8_t* io, uint32_t accumulators[4], uint32_t n, uint32_t prescaler, uint32_t reload,
                        uint32_t cycles) {
  uint8_t* counter = io + kTimerCounter + 4 * n;
  uint64_t increment = cycles;
  if (prescaler != 0) {
    // Every carry out of the accumulator is one count, however many one call makes.
    uint64_t total = uint64_t(accumulators[n]) + (uint64_t(cycles) << timerShift(prescaler));
    accumulators[n] = uint32_t(total);
    increment = total >> 32;
  }
  const uint64_t sum = load16(counter) + increment;
  if (sum <= 0xFFFF) {
    store16(counter, uint32_t(sum));
    return 0;
  }
  return overflow(counter, sum, reload);
}

uint32_t advanceTimers(uint8_t* io, uint32_t accumulators[4], uint32_t& pending, const uint16_t controls[4],
                       const uint32_t* reload, uint32_t cycles) {
  uint32_t status = 0, carry = 0;
  for (uint32_t n = 0; n < 4; ++n) {
    const uint16_t c = controls[n];
    const uint32_t r = reload ? reload[n] : 0;
    if (!(c & 0x80)) {
      carry = 0;  // a disabled timer feeds no count to a count-up successor
      continue;
    }
    if (n > 0 && (c & 4)) {
      uint8_t* counter = io + kTimerCounter + 4 * n;
      const uint32_t sum = load16(counter) + carry;
      if (sum <= 0xFFFF) {
        store16(counter, sum);
        carry = 0;
      } else {
        carry = overflow(counter, sum, r);
      }
    } else {
      carry = addTimerCycles(io, accumulators, n, c & 3, r, cycles);
    }
    if ((c & 0x40) && carry) {
      pending |= 8u << n;
      status |= kTimerIrqRequest;
    }
  }
  return status;
}

void reverseTimers(uint8_t* io, uint32_t accumulators[4], const uint16_t controls[4], uint32_t cycles) {
  for (uint32_t n = 0; n < 4; ++n) {
    const uint16_t c = controls[n];
    if (!(c & 0x80) || (n > 0 && (c & 4))) continue;
    uint8_t* counter = io + kTimerCounter + 4 * n;
    if ((c & 3) == 0) {
      store16(counter, load16(counter) - cycles);
      continue;
    }
    // Counter and accumulator are one 48-bit count.
    const uint64_t mask = (uint64_t(1) << 48) - 1;
    const uint64_t total = uint64_t(load16(counter)) << 32 | accumulators[n];
    const uint64_t before = (total - (uint64_t(cycles) << timerShift(c & 3))) & mask;
    accumulators[n] = uint32_t(before);
    store16(counter, uint32_t(before >> 32));
  }
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
  const bool journals = layout_.journal >= 0 && layout_.journalIndex >= 0;
  if (journals) {
    t.mov(regs_.journal, t.dword[regs_.base + layout_.journalIndex]);
    t.shl(regs_.journal, 2);
  }
  t.mov(rax, reinterpret_cast<uint64_t>(routine_->getCode()));
  t.call(rax);
  if (journals) {
    t.shr(regs_.journal, 2);
    t.mov(t.dword[regs_.base + layout_.journalIndex], regs_.journal);
  }
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
  const Xbyak::Reg32& j = regs_.journal;
  const bool journals = layout_.journal >= 0;
  if (!variant::kOlder || !CHECK(fixedCycles < 64)) fixedCycles = 0;
  auto loadCycles = [&] {
    if (fixedCycles) {
      g.mov(eax, fixedCycles);
    } else {
      g.mov(eax, regs_.cost);
      g.shr(eax, 20);
    }
  };
  // {location, its content} at the journal register: a word of the layout.
  auto journalWord = [&](int32_t at) {
    if (!journals) return;
    g.mov(g.dword[b + j.cvt64() + layout_.journal], uint32_t(at));
    g.mov(ecx, g.dword[b + at]);
    g.mov(g.dword[b + j.cvt64() + layout_.journal + 4], ecx);
    g.add(j, 8);
  };
  // The rare paths, placed behind the routine's return.
  std::vector<std::function<void()>> cold;
  std::list<Xbyak::Label> labels;
  auto label = [&]() -> Xbyak::Label* { return &labels.emplace_back(); };
  bool carryKnownZero = true;  // edx holds the previous timer's overflows when this is false
  for (uint32_t n = 0; n < 4; ++n) {
    const uint16_t c = controls[n];
    if (!(c & 0x80)) {
      carryKnownZero = true;
      continue;
    }
    const int32_t counter = layout_.io + int32_t(kTimerCounter + 4 * n);
    const int32_t counterWord = counter;  // counter and control share a word
    const int32_t acc = layout_.accumulators + int32_t(4 * n);
    const bool countUp = n > 0 && (c & 4);
    if (countUp && carryKnownZero) continue;  // nothing ever arrives: the counter stays, no interrupt
    Xbyak::Label* over = label();
    Xbyak::Label* back = label();
    // With eax the count the counter reached: on past 0xFFFF it reloads,
    // journaled first (with the interrupt bits it sets).
    auto overflowPath = [&g, &journalWord, this, b, journals, n, c, counter, counterWord, over, back] {
      g.L(*over);
      journalWord(counterWord);
      g.sub(eax, 0x10000);
      if (layout_.reload >= 0) {
        g.movzx(ecx, g.word[b + layout_.reload + int32_t(4 * n)]);
        g.neg(ecx);
        g.add(ecx, 0x10000);  // the period
      } else {
        g.mov(ecx, 0x10000);
      }
      g.xor_(edx, edx);
      g.div(ecx);  // eax: further overflows, edx: counts past the reload value
      if (layout_.reload >= 0) g.add(dx, g.word[b + layout_.reload + int32_t(4 * n)]);
      g.mov(g.word[b + counter], dx);
      g.lea(edx, g.ptr[eax + 1]);
      if (c & 0x40) {
        if (journals) journalWord(layout_.pending);
        g.or_(g.dword[b + layout_.pending], 8u << n);
        g.or_(regs_.budget, kTimerIrqRequest);
      }
      g.jmp(*back, Xbyak::CodeGenerator::T_NEAR);
    };
    if (countUp) {
      // Only a predecessor's overflow moves it: journaled whenever it does.
      Xbyak::Label* counts = label();
      g.test(edx, edx);
      g.jnz(*counts, Xbyak::CodeGenerator::T_NEAR);
      g.L(*back);
      cold.push_back([&g, &journalWord, b, counter, counterWord, overflowPath, counts, over, back] {
        g.L(*counts);
        journalWord(counterWord);
        g.movzx(eax, g.word[b + counter]);
        g.add(eax, edx);
        g.cmp(eax, 0xFFFF);
        g.ja(*over, Xbyak::CodeGenerator::T_NEAR);
        g.mov(g.word[b + counter], ax);
        g.xor_(edx, edx);
        g.jmp(*back, Xbyak::CodeGenerator::T_NEAR);
        // The overflow path journals the counter again: harmless, its
        // content is the same.
        overflowPath();
      });
    } else {
      loadCycles();
      if ((c & 3) == 0) {
        g.movzx(ecx, g.word[b + counter]);
        g.add(eax, ecx);
      } else {
        g.shl(rax, uint8_t(timerShift(c & 3)));
        g.mov(ecx, g.dword[b + acc]);
        g.add(rax, rcx);
        g.mov(g.dword[b + acc], eax);
        g.shr(rax, 32);
        g.movzx(ecx, g.word[b + counter]);
        g.add(eax, ecx);
      }
      g.cmp(eax, 0xFFFF);
      g.ja(*over, Xbyak::CodeGenerator::T_NEAR);
      g.mov(g.word[b + counter], ax);
      g.xor_(edx, edx);
      g.L(*back);
      cold.push_back(overflowPath);
    }
    carryKnownZero = false;
  }
  g.ret();
  for (auto& f : cold) f();
  g.ready();
  g.setProtectModeRE();
}

uint32_t TimerCode::run(uint8_t* base, uint32_t cycles) const {
  if (!counting()) return 0;
  auto fn = reinterpret_cast<uint32_t (*)(uint8_t*, uint32_t)>(const_cast<uint8_t*>(thunk_->getCode()));
  return fn(base, cycles);
}
