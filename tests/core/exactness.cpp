// Running backwards restores the whole machine: from a point in a program,
// forwards then as far back gives the same machine bit for bit (registers of
// every mode, memory and I/O, the clock and the display's timing, timers,
// DMA channels, pending interrupts and exceptions, EEPROM), and forwards
// again retraces the first run's states exactly.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "emufixture.h"

namespace {

using testsupport::firstDifference;
using testsupport::GuestSnapshot;
using testsupport::snapshotOf;

u64 mixBytes(u64 h, const void* data, size_t n) {
  // Four lanes, so that the multiplications do not wait on each other.
  const u8* p = static_cast<const u8*>(data);
  u64 lane[4] = {h, h ^ 1, h ^ 2, h ^ 3};
  size_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int k = 0; k < 4; ++k) {
      u64 w;
      std::memcpy(&w, p + i + 8 * k, 8);
      lane[k] = (lane[k] ^ w) * 0x9E3779B97F4A7C15ull;
      lane[k] ^= lane[k] >> 29;
    }
  for (; i < n; ++i) lane[0] = (lane[0] ^ p[i]) * 0x100000001B3ull;
  return (lane[0] * 3 + lane[1]) * 5 + lane[2] * 7 + lane[3];
}

// A digest of the whole machine: what a snapshot holds, without copying it.
u64 digest(Emulator& emu) {
  emu.takeClock();
  const Arena& a = emu.arena();
  u64 h = 0xCBF29CE484222325ull;
  h = mixBytes(h, a.registers, sizeof a.registers);
  for (const auto& [p, n] : std::initializer_list<std::pair<const void*, size_t>>{
           {a.ewram, sizeof a.ewram}, {a.iwram, sizeof a.iwram}, {a.io, sizeof a.io},
           {a.palette, sizeof a.palette}, {a.vram, sizeof a.vram}, {a.oam, sizeof a.oam},
           {a.sram, sizeof a.sram}, {a.eepromPorts, sizeof a.eepromPorts}, {&a.machine, sizeof a.machine},
           {a.timerAccumulators, sizeof a.timerAccumulators},
           {&a.pendingTimerInterrupts, sizeof a.pendingTimerInterrupts}})
    h = mixBytes(h, p, n);
  return h;
}

u64 pictureDigest() {
  u64 h = 0xCBF29CE484222325ull;
  if (gScreenBitmap.height() < kScreenHeight) return h;
  gScreenBitmap.lock(1);
  for (u32 y = 0; y < kScreenHeight; ++y) h = mixBytes(h, gScreenBitmap.rowData(y), kScreenWidth * 2);
  gScreenBitmap.unlock();
  return h;
}

struct Program {
  const char* name;
  std::string rom;   // empty: not available here
  std::string bios;  // empty: none
  u32 warmUpSlices;  // run mode slices before the test point
  bool irqVector = false;  // no BIOS but an IRQ vector to the guest's handler at 0x08000200
  bool skipStartup = false;  // with the BIOS, start at the cartridge
  bool standIn = false;  // no image: the stand-in BIOS, as the program has it
};

std::vector<Program> programs() {
  std::vector<Program> out = {
      {"mixed guest program", testsupport::guestImage("backmix"), "", 200},
      {"timer interrupt guest", testsupport::guestImage("timerirq"), "", 300},
      {"interrupt flags guest", testsupport::guestImage("irqflags"), "", 150, true},
      {"code in RAM guest", testsupport::guestImage("selfmod"), "", 0},
      {"DMA runs guest", testsupport::guestImage("dmaruns"), "", 100},
      // BIOS calls, interrupts through the BIOS, SoftReset.
      {"stand-in BIOS guest", testsupport::guestImage("standin"), "", 40, false, false, true},
  };
  const std::string shared = testsupport::sharedDir();
  if (!shared.empty()) {
    const std::string roms = shared + "/roms/jsmolka-gba-tests/", bios = shared + "/bios/cult-of-gba/bios.bin";
    out.push_back({"BIOS boot", roms + "ppu/hello.gba", bios, 3000});
    out.push_back({"thumb suite with BIOS", roms + "thumb/thumb.gba", bios, 7000});
    out.push_back({"arm suite with BIOS", roms + "arm/arm.gba", bios, 7500});
    out.push_back({"memory suite with BIOS", roms + "memory/memory.gba", bios, 7200});
    // Every unit busy at once: nested interrupts, cascaded timers, DMA of
    // every timing, EEPROM round trips.
    out.push_back({"busy guest with BIOS", testsupport::guestImage("machmix"), bios, 3000, false, true});
  }
  return out;
}

std::unique_ptr<Emulator> start(const Program& p, u32 presentMode) {
  auto emu = std::make_unique<Emulator>();
  if (p.standIn) {
    emu->memory().installStandInBios();
  } else if (p.bios.empty()) {
    std::memset(emu->memory().bios(), 0, 0x4000);
    const u32 vector[] = {0xE59FF000, 0, 0x08000200};  // ldr pc, [pc] at 0x18
    if (p.irqVector) std::memcpy(emu->memory().bios() + 0x18, vector, sizeof vector);
  } else if (!emu->memory().loadBios(p.bios)) {
    return nullptr;
  }
  setSkipStartupOption(p.skipStartup ? 1 : 0);
  const bool loaded = emu->loadRom(p.rom);
  setSkipStartupOption(0);
  if (!loaded) return nullptr;
  emu->video().reset();
  // Warmed up drawing line by line (the debugger's mode draws the whole
  // picture at every event), then in the mode asked for.
  emu->video().setPresentMode(presentMode == 0 ? 2 : presentMode);
  gVideoCycles = 228;
  gStopMask = kStopRunning;
  for (u32 i = 0; i < p.warmUpSlices; ++i) emu->runSlice();
  emu->video().setPresentMode(presentMode);
  return emu;
}

// N single steps forward, N back, N forward again.
TEST(Exactness, SingleStepsForwardBackAndForwardAgain) {
  for (const Program& p : programs()) {
    for (u32 presentMode : {0u, 2u}) {
      auto emu = start(p, presentMode);
      ASSERT_TRUE(emu);
      for (int n : {1, 10, 1000}) {
        SCOPED_TRACE(testing::Message() << p.name << ", " << n << " steps, present mode " << presentMode);
        const GuestSnapshot before = snapshotOf(*emu);
        std::vector<u64> forward;
        gStopMask = kStopStep;
        for (int i = 0; i < n; ++i) {
          emu->runSlice();
          forward.push_back(digest(*emu));
        }
        for (int i = 0; i < n; ++i) {
          emu->stepBack();
          ASSERT_EQ(gRunStatus & kStatusJournalExhausted, 0u) << "step " << i;
          if (i + 1 < n) {
            ASSERT_EQ(digest(*emu), forward[n - 2 - i]) << "back " << i + 1;
          }
        }
        const GuestSnapshot after = snapshotOf(*emu);
        ASSERT_TRUE(after == before) << firstDifference(after, before);
        EXPECT_EQ(gCycleCount, emu->arena().machine.cycleCount);
        for (int i = 0; i < n; ++i) {
          emu->runSlice();
          ASSERT_EQ(digest(*emu), forward[i]) << "again " << i;
        }
        // The next case starts further on.
        gStopMask = kStopRunning;
        for (int i = 0; i < 50; ++i) emu->runSlice();
      }
    }
  }
}

// Whole slices and frames in run mode: forwards, then back to the start, with
// the picture of every moment on the way.
TEST(Exactness, SlicesAndFramesInRunMode) {
  for (const Program& p : programs()) {
    for (u32 presentMode : {1u, 2u}) {
      SCOPED_TRACE(testing::Message() << p.name << ", present mode " << presentMode);
      auto emu = start(p, presentMode);
      ASSERT_TRUE(emu);
      std::vector<u64> shown;
      emu->setFramePresenter([&](i32, i32) { shown.push_back(pictureDigest()); });
      const GuestSnapshot before = snapshotOf(*emu);
      const u64 pictureBefore = pictureDigest();
      const u32 cyclesBefore = gCycleCount;
      // The machine and the picture at every slice's end, by cycle count.
      std::map<u32, u64> moments;
      gStopMask = kStopRunning;
      while (u32(gCycleCount - cyclesBefore) < 2 * 282128 + 5000) {
        emu->runSlice();
        moments[gCycleCount] = digest(*emu) ^ pictureDigest();
      }
      const std::vector<u64> forwardFrames = shown;
      ASSERT_GE(forwardFrames.size(), 2u);
      shown.clear();
      // Back one step at a time; wherever it stands at a forward slice's end,
      // machine and picture are what they were there.
      gStopMask = kStopStep;
      size_t met = 0;
      for (int guard = 0; guard < 1000000 && gCycleCount != cyclesBefore; ++guard) {
        emu->stepBack();
        ASSERT_EQ(gRunStatus & kStatusJournalExhausted, 0u);
        auto m = moments.find(gCycleCount);
        if (m == moments.end()) continue;
        ASSERT_EQ(digest(*emu) ^ pictureDigest(), m->second) << "at cycle " << gCycleCount;
        ++met;
      }
      EXPECT_GT(met, moments.size() / 2);
      const GuestSnapshot after = snapshotOf(*emu);
      ASSERT_TRUE(after == before) << firstDifference(after, before);
      EXPECT_EQ(pictureDigest(), pictureBefore);
      // Each frame handed off forwards was taken back in turn: the display
      // showed the frame before it again.
      ASSERT_EQ(shown.size(), forwardFrames.size());
      for (size_t i = 0; i + 1 < forwardFrames.size(); ++i)
        EXPECT_EQ(shown[i], forwardFrames[forwardFrames.size() - 2 - i]) << "frame " << i;
      // Run backwards in slices from the end again: the same start.
      emu->setFramePresenter(nullptr);
    }
  }
}

// A backward run stops at the most recent write to a watched word, by the
// processor or by DMA, with the machine as it was before that write.
TEST(Exactness, BackwardRunStopsBeforeTheLatestWriteToAWatchedWord) {
  // The mixed guest program's DMA copies into EWRAM (nothing else writes
  // there); its own stores go to IWRAM.
  struct Case {
    const char* what;
    u32 low, high;  // where to find a word that was written
  };
  const Case cases[] = {{"DMA", 0x02000000, 0x02004000}, {"store", 0x03000000, 0x03000400}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto emu = start(programs()[0], 2);
    ASSERT_TRUE(emu);
    GbaMemory& mem = emu->memory();
    std::vector<u32> before(c.high - c.low);
    auto copy = [&] {
      for (u32 a = c.low; a < c.high; a += 4) before[(a - c.low) / 4] = mem.peek32(a);
    };
    // Single steps, remembering the state before each and which words it wrote.
    std::vector<u64> states;
    std::vector<u32> wrote;
    gStopMask = kStopStep;
    for (int i = 0; i < 3000; ++i) {
      copy();
      states.push_back(digest(*emu));
      emu->runSlice();
      u32 w = 0;
      for (u32 a = c.low; a < c.high && !w; a += 4)
        if (mem.peek32(a) != before[(a - c.low) / 4]) w = a;
      wrote.push_back(w);
    }
    // The word the last writing step wrote, watched; run back.
    size_t last = wrote.size();
    while (last > 0 && !wrote[last - 1]) --last;
    ASSERT_GT(last, 0u);
    const u32 watched = wrote[last - 1];
    emu->breakpoints().setBits(watched, 4, 1, kBreakWrite, true);
    gStopMask = kStopRunning;
    u32 status = 0;
    for (int i = 0; i < 100 && !(status & 0x10); ++i) {
      emu->stepBack();
      status = gRunStatus;
    }
    ASSERT_NE(status & 0x10, 0u);
    // The most recent writer of that word is the step that wrote it last.
    size_t writer = wrote.size();
    while (writer > 0 && wrote[writer - 1] != watched) --writer;
    bool found = false;
    for (size_t i = 0; i < wrote.size(); ++i) found |= wrote[i] == watched && i + 1 == writer;
    EXPECT_TRUE(found);
    EXPECT_EQ(digest(*emu), states[writer - 1]);
    emu->breakpoints().remove(0);
  }
}

// The journal reaches a second of console time of a CPU-bound cartridge.
TEST(Exactness, BackwardRunReachesSixtyFramesBack) {
  auto emu = start({"CPU-bound loop", testsupport::guestImage("cpuloop"), "", 100}, 2);
  ASSERT_TRUE(emu);
  emu->history().clear();
  const GuestSnapshot before = snapshotOf(*emu);
  const u32 cycles = gCycleCount;
  gStopMask = kStopRunning;
  gRunStatus = 0;
  while (u32(gCycleCount - cycles) < 60 * 282128) emu->runSlice();
  // Back until the journal runs out: it ends where the forward run began.
  for (int i = 0; i < 100000 && !(gRunStatus & kStatusJournalExhausted); ++i) emu->stepBack();
  EXPECT_EQ(gCycleCount, cycles);
  const GuestSnapshot after = snapshotOf(*emu);
  EXPECT_TRUE(after == before) << firstDifference(after, before);
}

}  // namespace
