// DMA units moved many at once leave what they would leave moved one by one:
// the same memory, registers, clock and channels after every slice, the same
// journal records, the same stops at breakpoints.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "emufixture.h"

namespace {

using testsupport::GuestSnapshot;
using testsupport::snapshotOf;

struct TransferRun {
  std::vector<GuestSnapshot> slices;  // every 16th, and the last
  std::vector<u32> statuses;
  std::vector<u32> journal;  // the records from the start
};

// The guest's rounds of transfers; `breakAt` sets a write breakpoint there
// (0: none).
TransferRun runTransfers(bool oneByOne, u32 breakAt) {
  auto emu = std::make_unique<Emulator>();
  std::memset(emu->memory().bios(), 0, 0x4000);
  EXPECT_TRUE(emu->loadRom(testsupport::guestImage("dmaruns")));
  emu->setDmaUnitsOneByOne(oneByOne);
  emu->video().reset();
  emu->video().setPresentMode(2);
  if (breakAt) emu->breakpoints().setBits(breakAt, 4, 1, kBreakWrite, true);
  gVideoCycles = 228;
  gStopMask = kStopRunning;
  gRunToAddress = 0xFFFFFFFF;
  TransferRun run;
  const u32 startIndex = emu->arena().journalWriteIndex;
  for (u32 slice = 0; slice < 20000 && emu->memory().peek32(0x03007F00) < 2; ++slice) {
    emu->runSlice();
    run.statuses.push_back(gRunStatus);
    if (slice % 16 == 0) run.slices.push_back(snapshotOf(*emu));
  }
  run.slices.push_back(snapshotOf(*emu));
  EXPECT_EQ(emu->memory().peek32(0x03007F00), 2u) << "the rounds did not end";
  EXPECT_GE(emu->memory().peek32(0x03007F04), 4u) << "the routine in IWRAM was not called twice a round";
  const Arena& a = emu->arena();
  for (u32 i = startIndex; i != a.journalWriteIndex; i = (i + 1) & (arena::kJournalWords - 1))
    run.journal.push_back(a.journal[i]);
  return run;
}

void expectSame(const TransferRun& atOnce, const TransferRun& alone) {
  ASSERT_EQ(atOnce.statuses, alone.statuses);
  ASSERT_EQ(atOnce.slices.size(), alone.slices.size());
  for (size_t i = 0; i < atOnce.slices.size(); ++i)
    ASSERT_TRUE(atOnce.slices[i] == alone.slices[i])
        << "snapshot " << i << ": " << testsupport::firstDifference(atOnce.slices[i], alone.slices[i]);
  ASSERT_EQ(atOnce.journal.size(), alone.journal.size());
  for (size_t i = 0; i < atOnce.journal.size(); ++i)
    ASSERT_EQ(atOnce.journal[i], alone.journal[i]) << "journal word " << i;
}

TEST(DmaUnitsAtOnce, LeaveTheMachineAndTheJournalAsOneByOne) {
  expectSame(runTransfers(false, 0), runTransfers(true, 0));
}

TEST(DmaUnitsAtOnce, StopAtAWriteBreakpointInsideTheirRangeAsOneByOne) {
  // In the middle of the first (long) transfer, and in OAM.
  for (u32 address : {0x06006000u, 0x07000200u}) {
    SCOPED_TRACE(address);
    const TransferRun atOnce = runTransfers(false, address), alone = runTransfers(true, address);
    u32 stops = 0;
    for (u32 s : atOnce.statuses) stops += (s & 0x10) != 0;
    EXPECT_GE(stops, 2u);  // once a round
    expectSame(atOnce, alone);
  }
}

}  // namespace
