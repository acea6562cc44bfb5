// Random ARM and Thumb code in random modes, touching random addresses in
// every region, run forwards and backwards: the host never crashes, the
// generated code leaves the emulator's own tables alone, and every slice ends
// with a defined status word.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/emulator.h"

namespace {

// The parts of the arena that no guest action may change.
std::vector<u8> fixedTables(const Arena& a) {
  std::vector<u8> out;
  auto add = [&](const void* p, size_t n) {
    const u8* b = static_cast<const u8*>(p);
    out.insert(out.end(), b, b + n);
  };
  add(a.guard, sizeof a.guard);
  add(&a.timerEntry, sizeof a.timerEntry);
  add(a.readBase, sizeof a.readBase);
  add(a.writeBase, sizeof a.writeBase);
  add(a.readSize, sizeof a.readSize);
  add(a.writeSize, sizeof a.writeSize);
  add(a.regionMask, sizeof a.regionMask);
  add(a.bitmapBase, sizeof a.bitmapBase);
  add(a.wait, sizeof a.wait);
  add(a.flagsFromAh, sizeof a.flagsFromAh);
  add(a.conditionTable, sizeof a.conditionTable);
  add(a.bios, sizeof a.bios);
  add(a.rom, 0x20000);
  return out;
}

u32 randomAddress(std::mt19937& rng) {
  static const u32 kBases[] = {0x00000000, 0x02000000, 0x03000000, 0x04000000, 0x05000000, 0x06000000,
                               0x07000000, 0x08000000, 0x0D000000, 0x0E000000, 0x01000000, 0x0F000000};
  switch (rng() % 4) {
    case 0: return rng();  // anywhere, regions above 15 included
    default: return kBases[rng() % 12] + (rng() & 0x3FFFF);
  }
}

}  // namespace

TEST(Robustness, RandomStreamsForwardsAndBackwardsStayInsideTheEmulator) {
  auto emu = std::make_unique<Emulator>();
  std::memset(emu->memory().bios(), 0, 0x4000);
  emu->reset();
  std::mt19937 rng(1234);
  Arena& a = emu->arena();
  static const u32 kModes[] = {0x10, 0x11, 0x12, 0x13, 0x17, 0x1B, 0x1F, 0x00};
  const u32 kKnownBits = 0x800FFFFF;
  for (int round = 0; round < 60; ++round) {
    // Fresh random code in the first 128 KB of ROM.
    for (u32 i = 0; i < 0x20000; i += 4) {
      u32 w = rng();
      if (rng() % 4 == 0) w = (w & 0x0FFFFFFF) | 0xE0000000;  // more unconditional ARM
      std::memcpy(a.rom + i, &w, 4);
    }
    emu->cpu().flushBlocks();
    const std::vector<u8> tables = fixedTables(a);
    for (u32 n = 0; n < 15; ++n) emu->cpu().setReg(n, randomAddress(rng));
    u32 cpsr = (rng() & 0xF0000000) | kModes[rng() % 8] | (rng() % 2 ? 0x20 : 0) | (rng() % 2 ? 0xC0 : 0);
    emu->cpu().setReg(16, cpsr);
    emu->cpu().setReg(15, 0x08000000 + (rng() & 0x1FFFC));
    if (rng() % 3 == 0) emu->breakpoints().setBits(randomAddress(rng), 64, 2, 1 + rng() % 7, true);
    for (int s = 0; s < 40; ++s) {
      gVideoCycles = rng() % 2 ? 65535 : int32_t(1 + rng() % 3000);
      gStopMask = rng() % 3 ? kStopRunning : kStopStep;
      if (rng() % 3 == 0)
        emu->stepBack();
      else
        emu->runSlice();
      ASSERT_EQ(gRunStatus & ~kKnownBits, 0u) << "round " << round << " slice " << s;
    }
    ASSERT_TRUE(fixedTables(a) == tables) << "round " << round;
    while (emu->breakpoints().list().count()) emu->breakpoints().remove(0);
  }
}
