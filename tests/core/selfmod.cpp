// Code written into RAM after it was translated runs as written, whether a
// store or DMA wrote it, except for the two instructions behind a store that
// the processor had already fetched.

#include <gtest/gtest.h>

#include "emufixture.h"

namespace {

struct CodeInRam : testsupport::GuestFixture {
  u32 result(u32 n) { return emu->memory().peek32(0x03000000 + 4 * n); }
};

TEST_F(CodeInRam, RunsAsWrittenInEveryStopMask) {
  for (u32 mask : {kStopRunning, kStopStep}) {
    SCOPED_TRACE(mask == kStopStep ? "single steps" : "running");
    SetUp();
    load("selfmod");
    gStopMask = mask;
    for (int i = 0; i < 20000 && result(6) != 0xDEADBEEF; ++i) step();
    ASSERT_EQ(result(6), 0xDEADBEEFu);
    EXPECT_EQ(result(0), 1u);  // copied, then called
    EXPECT_EQ(result(1), 2u);  // stores over it
    EXPECT_EQ(result(2), 3u);  // DMA over it
    EXPECT_EQ(result(3), 4u);  // the fetched instruction runs as it was
    EXPECT_EQ(result(4), 9u);  // and as written the next time
    EXPECT_EQ(result(5), 7u);  // further on the store takes effect at once
  }
}

TEST_F(CodeInRam, RunningBackOverTheWritesRunsTheOldCodeAgain) {
  load("selfmod");
  gStopMask = kStopStep;
  int steps = 0;
  for (; steps < 20000 && result(6) != 0xDEADBEEF; ++steps) step();
  const testsupport::GuestSnapshot end = snapshot();
  // All the way back, then forwards again: the same end.
  for (int i = 0; i < steps; ++i) back();
  EXPECT_EQ(cpu().pc(), 0x08000000u);
  for (int i = 0; i < steps; ++i) step();
  const testsupport::GuestSnapshot again = snapshot();
  EXPECT_TRUE(again == end) << testsupport::firstDifference(again, end);
}

}  // namespace
