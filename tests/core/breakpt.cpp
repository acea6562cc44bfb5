#include "core/breakpt.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/eeprom.h"
#include "core/traps.h"
#include "platform/variant.h"
#include "trapfixture.h"

using testsupport::TrapFixtureMemory;

namespace {

enum { kRead = 0, kWrite = 1, kExec = 2 };

uint32_t trapExecute(TrapFixtureMemory& m, uint32_t pc) {
  uint32_t status = kStatusExecute | 1;
  handleAccessTraps(m.ctx, pc, 0x03000000, status);
  return status;
}

void write16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
uint16_t read16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

}  // namespace

TEST(Breakpoints, CountLetsHitsPassThenStopsOnEveryLaterHitUntilReArmed) {
  TrapFixtureMemory m;
  ASSERT_TRUE(m.table.setBits(0x08000100, 4, 3, kBreakExecute, true));
  EXPECT_TRUE(m.live(kExec, 0x08000100));
  EXPECT_TRUE(m.live(kExec, 0x0A000100));  // the ROM mirror is the same word
  EXPECT_EQ(trapExecute(m, 0x08000100) & kStatusExecute, 0u);
  EXPECT_EQ(trapExecute(m, 0x08000100) & kStatusExecute, 0u);
  EXPECT_NE(trapExecute(m, 0x08000100) & kStatusExecute, 0u);
  EXPECT_NE(trapExecute(m, 0x08000100) & kStatusExecute, 0u);
  EXPECT_EQ(m.table.list()[0].count, 1u);
  EXPECT_EQ(m.skippedAt, 0x08000100u);  // resuming runs the instruction past its probe
  // Toggling a kind in the pane re-arms with the record's reload.
  BreakpointRecord r = m.table.list()[0];
  m.table.replace(0, r.address, r.length, r.reload, kBreakExecute | kBreakRead);
  EXPECT_EQ(m.table.list()[0].count, 3u);
  EXPECT_TRUE(m.live(kRead, 0x08000100));
  EXPECT_EQ(trapExecute(m, 0x08000100) & kStatusExecute, 0u);
}

TEST(Breakpoints, OneKindOrOneRecordNeverClearsAnother) {
  TrapFixtureMemory m;
  // A read breakpoint on a word that holds an execute breakpoint.
  m.table.setBits(0x02000010, 4, 1, kBreakExecute, true);
  m.table.setBits(0x02000010, 2, 1, kBreakRead, true);
  EXPECT_TRUE(m.live(kExec, 0x02000010));
  EXPECT_TRUE(m.live(kRead, 0x02000010));
  // Two Thumb breakpoints in one word: removing one keeps the other.
  m.table.setBits(0x08000200, 2, 1, kBreakExecute, true);
  m.table.setBits(0x08000202, 2, 1, kBreakExecute, true);
  m.table.remove(m.table.find(0x08000200, kBreakExecute) - 1);
  EXPECT_TRUE(m.live(kExec, 0x08000202));
  EXPECT_TRUE(m.persistent(kExec, 0x08000202));
  EXPECT_EQ(m.table.find(0x08000200, kBreakExecute), 0u);
  ASSERT_NE(m.table.find(0x08000202, kBreakExecute), 0u);
  EXPECT_EQ(m.table.list()[m.table.find(0x08000202, kBreakExecute) - 1].address, 0x08000202u);
  // A step-over trap set and cleared on a user breakpoint's word.
  m.table.setBits(0x08000202, 4, 1, kBreakExecute, false);
  m.table.setBits(0x08000202, 4, 0, 0, false);
  EXPECT_TRUE(m.live(kExec, 0x08000202));
  // ... and on a plain word it goes away again.
  m.table.setBits(0x08000300, 4, 1, kBreakExecute, false);
  EXPECT_TRUE(m.live(kExec, 0x08000300));
  EXPECT_FALSE(m.persistent(kExec, 0x08000300));
  m.table.setBits(0x08000300, 4, 0, 0, false);
  EXPECT_FALSE(m.live(kExec, 0x08000300));
  // A user breakpoint over IF, removed again, leaves the IF trap working.
  m.table.setBits(0x04000200, 4, 1, kBreakWrite | kBreakRead, true);
  m.table.remove(m.table.find(0x04000200, kBreakWrite) - 1);
  EXPECT_TRUE(m.live(kWrite, 0x04000202));
  EXPECT_FALSE(m.persistent(kWrite, 0x04000202));
  EXPECT_FALSE(m.live(kRead, 0x04000200));
}

TEST(Breakpoints, RangesCoverTheirLastWordAndStayInsideTheRegion) {
  TrapFixtureMemory m;
  m.table.setBits(0x02000002, 4, 1, kBreakWrite, true);  // bytes 2-5: words 0 and 1
  EXPECT_TRUE(m.live(kWrite, 0x02000000));
  EXPECT_TRUE(m.live(kWrite, 0x02000004));
  EXPECT_FALSE(m.live(kWrite, 0x02000008));
  m.table.setBits(0x0203FFF0, 0x100, 1, kBreakRead, true);  // runs past EWRAM's end
  EXPECT_TRUE(m.live(kRead, 0x0203FFFC));
  EXPECT_FALSE(m.live(kRead, 0x02000010));
  m.table.setBits(0x02000020, 0, 1, kBreakRead, true);  // length 0: no bit
  EXPECT_FALSE(m.live(kRead, 0x02000020));
  // Write kind on ROM has no bits; read and execute do.
  m.table.setBits(0x08000000, 4, 1, kBreakRead | kBreakWrite | kBreakExecute, true);
  EXPECT_TRUE(m.live(kRead, 0x08000000));
  EXPECT_FALSE(m.live(kWrite, 0x08000000));
  int flushes = m.flushes;
  uint32_t count = m.table.list().count();
  EXPECT_FALSE(m.table.setBits(0x10000000, 4, 1, kBreakRead, true));
  ASSERT_EQ(m.warnings.size(), 1u);
  EXPECT_EQ(m.warnings[0], "Breakpoint bounds error.");
  EXPECT_EQ(m.flushes, flushes);  // nothing changed, nothing flushed
  EXPECT_EQ(m.table.list().count(), count);
  m.table.remove(99);  // an index past the table does nothing
  EXPECT_EQ(m.table.list().count(), count);
}

// The I/O registers do not repeat: a breakpoint has bits on them and on the
// memory control register (0x04000800, again every 64 KB), nowhere else in
// the region; a store to a gap does nothing and stops at nothing.
TEST(Breakpoints, IoBitsFollowTheRegistersAndTheControlRegisterOnly) {
  TrapFixtureMemory m;
  ASSERT_TRUE(m.table.setBits(0x04000800, 4, 1, kBreakWrite, true));
  for (uint32_t a : {0x04000800u, 0x04010800u, 0x04FF0802u}) EXPECT_TRUE(m.live(kWrite, a)) << std::hex << a;
  uint32_t hit = kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000802, hit);
  EXPECT_EQ(hit, kStatusWrite);
  EXPECT_FALSE(m.live(kWrite, 0x04000000));  // the register block's first word is another one
  EXPECT_FALSE(m.live(kWrite, 0x04000400));
  EXPECT_FALSE(m.table.setBits(0x04000400, 4, 1, kBreakRead, true));
  EXPECT_FALSE(m.table.setBits(0x04FFF600, 4, 1, kBreakRead, true));
  EXPECT_EQ(m.warnings.size(), 2u);
  // A register's breakpoint does not reach a gap that once mirrored it, nor
  // does a store to the gap act on the register (IF here).
  ASSERT_TRUE(m.table.setBits(0x04000200, 4, 1, kBreakWrite, true));
  EXPECT_FALSE(m.live(kWrite, 0x04000600));
  m.ifCopy = 3;
  write16(m.io + 0x202, 1);
  for (uint32_t a : {0x04000602u, 0x04FFFE02u}) {
    uint32_t status = kStatusWrite;
    handleAccessTraps(m.ctx, 0x08000000, a, status);
    EXPECT_EQ(status, 0u) << std::hex << a;
  }
  EXPECT_EQ(m.ifCopy, 3u);
  // A range running past the registers' end stops there.
  ASSERT_TRUE(m.table.setBits(0x040003F0, 0x20, 1, kBreakRead, true));
  EXPECT_TRUE(m.live(kRead, 0x040003FC));
  EXPECT_FALSE(m.live(kRead, 0x04000800));
}

TEST(AccessTraps, IfWriteAcknowledgesAndOtherRegistersOfTheWordDoNothing) {
  TrapFixtureMemory m;
  m.ifCopy = 3;
  write16(m.io + 0x202, 1);
  uint32_t status = kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000202, status);
  EXPECT_EQ(read16(m.io + 0x202), 2);
  EXPECT_EQ(m.ifCopy, 2u);
  EXPECT_EQ(status, 0u);  // a built-in trap does not stop
  // IE in the same trapped word: the slice ended, nothing else happens.
  write16(m.io + 0x200, 0x55);
  status = kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000200, status);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(m.ifCopy, 2u);
  EXPECT_EQ(m.timerBuilds, 0);
}

TEST(AccessTraps, TimerControlWriteRegeneratesAndPreAdvances) {
  TrapFixtureMemory m;
  write16(m.io + 0x100, 10);
  write16(m.io + 0x102, 0x80);  // timer 0 on, prescaler 0
  uint32_t status = kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000102, status);
  EXPECT_EQ(m.timerBuilds, variant::kOlder ? 0 : 1);
  // (ROM 3 + I/O 1) + 3 cycles of the store itself.
  EXPECT_EQ(read16(m.io + 0x100), 17);
  // Prescaler 1 adds to the fixed-point count: 7 cycles of 64.
  write16(m.io + 0x106, 0x81);
  handleAccessTraps(m.ctx, 0x08000000, 0x04000106, status = kStatusWrite);
  EXPECT_EQ(m.acc[1], 7u << 26);
  // A count-up timer is not pre-advanced; a 32-bit store at the counter still regenerates.
  write16(m.io + 0x10A, 0x84);
  handleAccessTraps(m.ctx, 0x08000000, 0x0400010A, status = kStatusWrite);
  EXPECT_EQ(m.acc[2], 0u);
  int builds = m.timerBuilds;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000108, status = kStatusWrite);
  EXPECT_EQ(m.timerBuilds, variant::kOlder ? 0 : builds + 1);
}

TEST(AccessTraps, DmaControlWriteEndsTheSliceWithoutStopping) {
  TrapFixtureMemory m;
  EXPECT_TRUE(m.live(kWrite, 0x040000B8));
  uint32_t status = kStatusWrite | 0x80000000;
  handleAccessTraps(m.ctx, 0x08000000, 0x040000BA, status);
  EXPECT_EQ(status, 0x80000000u);
}

TEST(AccessTraps, EepromWriteThenReadRoundTripThroughTheTraps) {
  TrapFixtureMemory m;
  auto sendBits = [&](const std::vector<int>& bits) {
    // One halfword per bit; the trap fires on the request's last halfword.
    for (size_t i = 0; i < bits.size(); ++i) write16(m.ports + 2 * i, uint16_t(bits[i]));
    uint32_t status = kStatusWrite;
    handleAccessTraps(m.ctx, 0x08000000, 0x0D000000 + 2 * uint32_t(bits.size() - 1), status);
    EXPECT_EQ(status, 0u);
  };
  const uint64_t data = 0xC0FFEE0012345678ull;
  std::vector<int> w = {1, 0, 0, 0, 0, 1, 0, 1};  // write, block 5
  for (int i = 63; i >= 0; --i) w.push_back(int(data >> i) & 1);
  w.push_back(0);
  sendBits(w);
  sendBits({1, 1, 0, 0, 0, 1, 0, 1, 0});  // read, block 5
  uint64_t got = 0;
  for (int i = 4; i < 68; ++i) got = got << 1 | (m.ports[2 * i] & 1);
  EXPECT_EQ(got, data);
  EXPECT_EQ(m.ports[0] & 1, 1);  // ready
}

TEST(AccessTraps, UserBreakpointOnAnIoTrapWordStillRunsTheAction) {
  TrapFixtureMemory m;
  m.table.setBits(0x04000202, 2, 1, kBreakWrite, true);
  m.ifCopy = 1;
  write16(m.io + 0x202, 1);
  uint32_t status = kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x04000202, status);
  EXPECT_EQ(m.ifCopy, 0u);
  EXPECT_EQ(status, kStatusWrite);  // and stops (count 1)
}

TEST(AccessTraps, StepOverStopsAtTheReturnOfTheOuterCallOnly) {
  TrapFixtureMemory m;
  m.stepOver = {0x08000100, 0x08000104, 0};
  m.table.setBits(0x08000100, 4, 1, kBreakExecute, false);
  m.table.setBits(0x08000104, 4, 1, kBreakExecute, false);
  EXPECT_EQ(trapExecute(m, 0x08000100) & kStatusExecute, 0u);  // recursion: deeper
  EXPECT_EQ(m.stepOver.depth, 1u);
  EXPECT_EQ(trapExecute(m, 0x08000104) & kStatusExecute, 0u);
  EXPECT_EQ(m.stepOver.depth, 0u);
  EXPECT_NE(trapExecute(m, 0x08000104) & kStatusExecute, 0u);
}

TEST(AccessTraps, ReadAndWriteShareOneUserDecision) {
  TrapFixtureMemory m;
  m.table.setBits(0x03000000, 4, 2, kBreakRead | kBreakWrite, true);
  uint32_t status = kStatusRead | kStatusWrite;
  handleAccessTraps(m.ctx, 0x08000000, 0x03000000, status);
  EXPECT_EQ(status, 0u);  // one pass counted for both
  EXPECT_EQ(m.table.list()[0].count, 1u);
  // A data address above region 15 does not keep the execute kind from being examined.
  m.table.setBits(0x08000000, 4, 2, kBreakExecute, true);
  status = kStatusExecute | kStatusRead;
  handleAccessTraps(m.ctx, 0x08000000, 0xF0000000, status);
  EXPECT_EQ(status & kStatusExecute, 0u);
}

TEST(Breakpoints, ToggleSetsAnExecuteBreakpointOfTheInstructionSizeAndRemovesIt) {
  TrapFixtureMemory m;
  m.table.toggleAt(0x08000102, true);
  ASSERT_EQ(m.table.list().count(), 1u);
  EXPECT_EQ(m.table.list()[0].length, 2u);
  EXPECT_TRUE(m.live(kExec, 0x08000100));
  m.table.toggleAt(0x08000102, true);
  EXPECT_EQ(m.table.list().count(), 0u);
  EXPECT_FALSE(m.live(kExec, 0x08000100));
  m.table.toggleAt(0x08000200, false);
  EXPECT_EQ(m.table.list()[0].length, 4u);
  m.table.toggleAt(0xFFFFFFFF, false);
  EXPECT_EQ(m.table.list().count(), 1u);
}

TEST(Breakpoints, WholeRomRangeIsSetAndClearedWithTheIoTrapsIntact) {
  TrapFixtureMemory m;
  m.table.setBits(0x08000100, 4, 1, kBreakExecute, false);  // a step-over trap in the range
  m.table.setBits(0x08000000, 0x800000, 1, kBreakRead | kBreakExecute, true);
  EXPECT_TRUE(m.live(kRead, 0x087FFFFC));
  m.table.remove(0);
  EXPECT_FALSE(m.live(kRead, 0x087FFFFC));
  EXPECT_TRUE(m.live(kExec, 0x08000100));  // the built-in trap survived
  EXPECT_FALSE(m.live(kExec, 0x08000104));
  m.table.setBits(0x04000000, 0x400, 1, kBreakWrite, true);
  m.table.remove(0);
  EXPECT_TRUE(m.live(kWrite, 0x04000202));
  EXPECT_TRUE(m.live(kWrite, 0x040000DC));
  EXPECT_TRUE(m.live(kWrite, 0x04000208));  // IME
  EXPECT_FALSE(m.live(kWrite, 0x04000204));
}
