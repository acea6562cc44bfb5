// Running backwards through a cartridge written by others, with a BIOS, its
// interrupts and the display running: every register and all RAM come back.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <vector>

#include "core/emulator.h"
#include "support/tempdir.h"

namespace {

struct State {
  std::vector<u32> registers;
  std::vector<u8> ram;
  bool operator==(const State&) const = default;
};

State capture(Emulator& emu) {
  Arena& a = emu.arena();
  State s;
  s.registers.assign(a.registers, a.registers + arena::kRegisterWords);
  auto add = [&](const u8* p, size_t n) { s.ram.insert(s.ram.end(), p, p + n); };
  add(a.ewram, sizeof a.ewram);
  add(a.iwram, sizeof a.iwram);
  add(a.palette, sizeof a.palette);
  add(a.vram, sizeof a.vram);
  add(a.oam, sizeof a.oam);
  return s;
}

}  // namespace

TEST(BackwardThroughACartridge, ThumbSuiteStepsBackToAnEarlierState) {
  std::string shared = testsupport::sharedDir();
  if (shared.empty()) GTEST_SKIP() << "no shared material";
  std::string rom = shared + "/roms/jsmolka-gba-tests/thumb/thumb.gba";
  std::string bios = shared + "/bios/cult-of-gba/bios.bin";
  if (!std::ifstream(rom) || !std::ifstream(bios)) GTEST_SKIP() << "cartridge or BIOS missing";
  auto emu = std::make_unique<Emulator>();
  ASSERT_TRUE(emu->memory().loadBios(bios));
  ASSERT_TRUE(emu->loadRom(rom));
  emu->video().reset();
  gVideoCycles = 0;
  gStopMask = kStopRunning;
  for (int i = 0; i < 3000; ++i) emu->runSlice();  // into the boot and the tests
  gStopMask = kStopStep;
  for (int round = 0; round < 4; ++round) {
    const State before = capture(*emu);
    for (int i = 0; i < 1500; ++i) emu->runSlice();
    ASSERT_FALSE(capture(*emu) == before);
    bool back = false;
    for (int i = 0; i < 3000 && !back; ++i) {
      emu->stepBack();
      ASSERT_NE(gRunStatus, 0x40000u) << "journal ran out, round " << round;
      back = capture(*emu) == before;
    }
    EXPECT_TRUE(back) << "round " << round;
    for (int i = 0; i < 4000; ++i) emu->runSlice();  // further on for the next round
  }
}
