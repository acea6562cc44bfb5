#include <gtest/gtest.h>

#include "emufixture.h"

using testsupport::GuestFixture;

struct TimerIrq : GuestFixture {};

TEST_F(TimerIrq, OverflowWithItsInterruptEnabledEntersIrq) {
  load("timerirq");
  gStopMask = kStopRunning;
  bool entered = false;
  for (int i = 0; i < 50 && !entered; ++i) {
    step();
    entered = cpu().mode() == 0x12;
  }
  ASSERT_TRUE(entered);
  EXPECT_EQ(r(14) & 0xFF000000u, 0x08000000u);  // the interrupted code is the return address
  EXPECT_EQ(emu->memory().peek16(0x04000202) & 8, 8);
  EXPECT_EQ(cpu().interruptFlags & 8, 8u);
  // The counter started again from the value the program wrote (0xFFC0).
  EXPECT_GE(emu->memory().peek16(0x04000100), 0xFFC0);
}
