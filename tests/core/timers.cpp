#include "core/timers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// A tiny arena: I/O registers, four accumulators, pending bits, reload values.
struct Arena {
  uint8_t io[0x400] = {};
  uint32_t acc[4] = {};
  uint32_t pending = 0;
  uint32_t reload[4] = {};
};

TimerLayout layoutOf() {
  return {int32_t(offsetof(Arena, io)), int32_t(offsetof(Arena, acc)), int32_t(offsetof(Arena, pending)),
          int32_t(offsetof(Arena, reload))};
}

struct TimerFixture : ::testing::Test {
  Arena arena;
  TimerCode code{layoutOf(), {Xbyak::util::r15, Xbyak::util::r12d, Xbyak::util::r13d}};

  void setControl(int n, uint16_t v) { std::memcpy(arena.io + kTimerControl + 4 * n, &v, 2); }
  void setCounter(int n, uint16_t v) { std::memcpy(arena.io + kTimerCounter + 4 * n, &v, 2); }
  uint16_t counter(int n) const {
    uint16_t v;
    std::memcpy(&v, arena.io + kTimerCounter + 4 * n, 2);
    return v;
  }
  uint32_t run(uint32_t cycles) { return code.run(reinterpret_cast<uint8_t*>(&arena), cycles); }
};

// The console's timers counted cycle by cycle: the slow, obvious model the
// fixed-point routine must agree with.
struct ReferenceTimers {
  uint16_t counter[4] = {};
  uint16_t reload[4] = {};
  uint32_t phase[4] = {};  // cycles since the last prescaled count
  uint32_t irq = 0;
  void step(const uint16_t control[4], uint32_t cycles) {
    static const uint32_t kDivider[4] = {1, 64, 256, 1024};
    for (uint32_t c = 0; c < cycles; ++c) {
      bool carry = false;
      for (int n = 0; n < 4; ++n) {
        uint16_t ctl = control[n];
        bool tick;
        if (!(ctl & 0x80)) {
          carry = false;
          continue;
        }
        if (n > 0 && (ctl & 4)) {
          tick = carry;
        } else {
          tick = ++phase[n] == kDivider[ctl & 3];
          if (tick) phase[n] = 0;
        }
        carry = tick && ++counter[n] == 0;
        if (carry) counter[n] = reload[n];
        if (carry && (ctl & 0x40)) irq |= 8u << n;
      }
    }
  }
};

}  // namespace

TEST_F(TimerFixture, PrescalerZeroWrapsAndRequestsItsInterrupt) {
  setCounter(0, 0xFFF0);
  setControl(0, 0xC0);
  code.build(arena.io);
  EXPECT_EQ(run(20), kTimerIrqRequest);
  EXPECT_EQ(counter(0), 0x0004);
  EXPECT_EQ(arena.pending, 8u);
}

TEST_F(TimerFixture, OverflowStartsAgainAtTheReloadValue) {
  // Reload 0xFF00: an overflow every 256 cycles, however many a call makes.
  arena.reload[0] = 0xFF00;
  setCounter(0, 0xFF00);
  setControl(0, 0xC0);
  code.build(arena.io);
  EXPECT_EQ(run(255), 0u);
  EXPECT_EQ(counter(0), 0xFFFF);
  EXPECT_EQ(run(1), kTimerIrqRequest);
  EXPECT_EQ(counter(0), 0xFF00);
  arena.pending = 0;
  // 1000 cycles: three overflows, and a count-up successor takes all three.
  setControl(1, 0x84);
  code.build(arena.io);
  EXPECT_EQ(run(1000), kTimerIrqRequest);
  EXPECT_EQ(counter(0), 0xFF00 + 1000 % 256);
  EXPECT_EQ(counter(1), 3);
}

TEST_F(TimerFixture, CountUpAdvancesExactlyWhenItsPredecessorOverflows) {
  setCounter(0, 0xFFFE);
  setControl(0, 0x80);
  setCounter(1, 7);
  setControl(1, 0x84 | 0x40);
  code.build(arena.io);
  EXPECT_EQ(run(1), 0u);
  EXPECT_EQ(counter(1), 7);
  EXPECT_EQ(run(1), 0u);  // timer 0 wraps to 0: one count
  EXPECT_EQ(counter(1), 8);
  EXPECT_EQ(run(100), 0u);
  EXPECT_EQ(counter(1), 8);
  EXPECT_EQ(arena.pending, 0u);
}

TEST_F(TimerFixture, DisabledTimerStaysFrozenAndFeedsNoCountUp) {
  setCounter(0, 0x1234);
  setControl(0, 0x40);  // interrupt enabled, timer disabled
  setCounter(1, 0xFFFF);
  setControl(1, 0xC4);  // count-up behind a disabled timer
  code.build(arena.io);
  EXPECT_EQ(run(2000), 0u);
  EXPECT_EQ(counter(0), 0x1234);
  EXPECT_EQ(counter(1), 0xFFFF);
}

TEST_F(TimerFixture, PrescalersDivideBy64_256_1024WithoutLosingCounts) {
  // One call of 2000 cycles carries the accumulator many times over.
  for (uint32_t p = 1; p <= 3; ++p) {
    arena = Arena{};
    setControl(0, uint16_t(0x80 | p));
    code.build(arena.io);
    run(2000);
    run(2000);
    const uint32_t divider[4] = {1, 64, 256, 1024};
    EXPECT_EQ(counter(0), 4000 / divider[p]) << "prescaler " << p;
  }
}

TEST_F(TimerFixture, RandomSetUpsAgreeWithCycleByCycleReference) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    arena = Arena{};
    ReferenceTimers ref;
    uint16_t controls[4];
    for (int n = 0; n < 4; ++n) {
      controls[n] = uint16_t((rng() % 4 ? 0x80 : 0) | 0x40 | (rng() % 3 == 0 ? 4 : 0) | rng() % 4);
      if (n == 0) controls[n] &= ~4;
      uint16_t start = uint16_t(0xFFFF - rng() % 300);
      setCounter(n, start);
      ref.counter[n] = start;
      // Reloads from short periods (many overflows a call) to long ones.
      ref.reload[n] = uint16_t(rng() % 2 ? 0xFFFF - rng() % 40 : rng() % 0x10000);
      if (ref.reload[n] > start) ref.reload[n] = start;
      arena.reload[n] = ref.reload[n];
      setControl(n, controls[n]);
    }
    code.build(arena.io);
    uint32_t pendingSeen = 0;
    for (int call = 0; call < 60; ++call) {
      uint32_t cycles = 1 + rng() % 2100;
      ref.step(controls, cycles);
      if (run(cycles)) pendingSeen |= 1;
    }
    for (int n = 0; n < 4; ++n) EXPECT_EQ(counter(n), ref.counter[n]) << "round " << round << " timer " << n;
    EXPECT_EQ(arena.pending, ref.irq) << "round " << round;
    EXPECT_EQ(pendingSeen != 0, ref.irq != 0);
  }
}

TEST(TimerAdvance, PlainCodeMatchesTheRoutine) {
  Arena a, b;
  TimerCode code{layoutOf(), {Xbyak::util::rbx, Xbyak::util::r14d, Xbyak::util::ebp}};
  const uint16_t controls[4] = {0xC1, 0xC4, 0xC3, 0xC0};
  for (int n = 0; n < 4; ++n) {
    std::memcpy(a.io + kTimerControl + 4 * n, &controls[n], 2);
    uint16_t start = uint16_t(0xFF00 + 16 * n);
    std::memcpy(a.io + kTimerCounter + 4 * n, &start, 2);
  }
  std::memcpy(&b, &a, sizeof a);
  code.build(a.io);
  for (uint32_t cycles : {1u, 63u, 64u, 1000u, 2047u, 5u, 4000u}) {
    uint32_t s1 = code.run(reinterpret_cast<uint8_t*>(&a), cycles);
    uint32_t s2 = advanceTimers(b.io, b.acc, b.pending, controls, b.reload, cycles);
    EXPECT_EQ(s1, s2);
    EXPECT_EQ(std::memcmp(a.io, b.io, sizeof a.io), 0);
    EXPECT_EQ(std::memcmp(a.acc, b.acc, sizeof a.acc), 0);
    EXPECT_EQ(a.pending, b.pending);
  }
}
