#include "core/timers.h"

#include <gtest/gtest.h>

#include <cstring>

#include "../trapfixture.h"

namespace {
struct Arena {
  uint8_t io[0x400] = {};
  uint32_t acc[4] = {};
  uint32_t pending = 0;
};
}  // namespace

TEST(OlderTimers, RoutineBuiltForAFixedCountIgnoresTheCallsCount) {
  Arena a;
  TimerCode code({int32_t(offsetof(Arena, io)), int32_t(offsetof(Arena, acc)), int32_t(offsetof(Arena, pending))},
                 {Xbyak::util::rbx, Xbyak::util::r14d, Xbyak::util::r12d});
  uint16_t control = 0x80;
  std::memcpy(a.io + kTimerControl, &control, 2);
  code.build(a.io, 5);
  code.run(reinterpret_cast<uint8_t*>(&a), 1000);
  uint16_t counter;
  std::memcpy(&counter, a.io + kTimerCounter, 2);
  EXPECT_EQ(counter, 5);
}

TEST(OlderTraps, TimerControlWriteDoesNotRegenerateTheRoutine) {
  testsupport::TrapFixtureMemory m;
  uint16_t control = 0x80;
  std::memcpy(m.io + 0x102, &control, 2);
  uint32_t status = kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000102, status);
  EXPECT_EQ(m.timerBuilds, 0);
  uint16_t counter;
  std::memcpy(&counter, m.io + 0x100, 2);
  EXPECT_EQ(counter, 7);  // the pre-advance still happens
}
