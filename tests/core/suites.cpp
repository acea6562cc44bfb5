// Test cartridges written by others (jsmolka's suites), run on the whole
// emulator with and without a BIOS.  Each ends in an idle loop with the
// number of its first failed test in a register: 0 means all passed.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "core/emulator.h"
#include "support/tempdir.h"

namespace {

struct Suite {
  const char* path;
  u32 idle, resultRegister;
};

// arm: the ARM instruction set; thumb: Thumb; memory: mirrors and the byte
// stores to palette RAM, VRAM and OAM; nes: code that copies itself to video
// RAM at 0x06014000 and runs there (its idle loop, 0x0800035C in the image,
// executes at 0x06014248), with a store into the next two instructions
// (already fetched: the old ones run) and a DMA started by the last word of
// an STMDA to its registers.
const Suite kSuites[] = {
    {"arm/arm.gba", 0x08001EC4, 12},
    {"thumb/thumb.gba", 0x08000AAC, 7},
    {"memory/memory.gba", 0x080004C8, 12},
    {"nes/nes.gba", 0x06014248, 12},
};

void runSuite(const Suite& s, bool withBios) {
  std::string shared = testsupport::sharedDir();
  if (shared.empty()) GTEST_SKIP() << "no shared material";
  std::string rom = shared + "/roms/jsmolka-gba-tests/" + s.path;
  std::string bios = shared + "/bios/cult-of-gba/bios.bin";
  if (!std::ifstream(rom) || !std::ifstream(bios)) GTEST_SKIP() << "cartridge or BIOS missing";
  auto emu = std::make_unique<Emulator>();
  if (withBios) ASSERT_TRUE(emu->memory().loadBios(bios));
  else std::memset(emu->memory().bios(), 0, 0x4000);  // no "gba.rom" either
  ASSERT_TRUE(emu->loadRom(rom));
  emu->video().reset();
  emu->video().setPresentMode(2);
  emu->breakpoints().setBits(s.idle, 4, 1, kBreakExecute, true);
  gStopMask = kStopRunning;
  gVideoCycles = 0;
  gRunStatus = 0;
  for (int i = 0; i < 200000 && !((gRunStatus & 0x20) && emu->cpu().pc() == s.idle); ++i) emu->runSlice();
  EXPECT_EQ(emu->cpu().pc(), s.idle) << s.path << (withBios ? " with" : " without") << " the BIOS";
  EXPECT_EQ(emu->cpu().reg(s.resultRegister), 0u)
      << s.path << (withBios ? " with" : " without") << " the BIOS: first failed test";
}

TEST(Cartridges, JsmolkaSuitesPassWithTheBios) {
  for (const Suite& s : kSuites) runSuite(s, true);
}

TEST(Cartridges, JsmolkaSuitesPassWithoutABios) {
  for (const Suite& s : kSuites) runSuite(s, false);
}

}  // namespace
