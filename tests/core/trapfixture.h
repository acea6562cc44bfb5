#pragma once
// A stand-alone copy of the console's region sizes and trap bitmap slices,
// for testing the breakpoint table and the trap handler without an emulator.

#include <cstdint>
#include <string>
#include <vector>

#include "core/breakpt.h"
#include "core/traps.h"

namespace testsupport {

struct TrapFixtureMemory {
  // Read sizes per region; write sizes equal them but for BIOS and ROM.
  static constexpr uint32_t kSize[16] = {0x4000,  0,      0x40000,  0x8000, 0x400,    0x400,
                                         0x20000, 0x4000, 0x800000, 0x100,  0x800000, 0x100,
                                         0x800000, 0x100, 0x10000,  0};
  std::vector<uint8_t> slices[6][16];
  TrapMap map;
  std::vector<std::string> warnings;
  int flushes = 0;
  uint8_t io[0x400] = {};
  uint8_t ports[256] = {};
  uint8_t store[1024];
  uint32_t ifCopy = 0;
  uint32_t acc[4] = {};
  uint32_t wait16[16];
  StepOver stepOver;
  int timerBuilds = 0;
  uint32_t skippedAt = 0xFFFFFFFF;
  BreakpointTable table;
  TrapContext ctx;

  TrapFixtureMemory()
      : table(map, [this] { ++flushes; }, [this](const char* w) { warnings.push_back(w); }) {
    static const uint32_t kWait16[16] = {6, 4, 3, 1, 1, 2, 2, 1, 3, 6, 3, 6, 3, 6, 6, 4};
    for (int r = 0; r < 16; ++r) {
      wait16[r] = kWait16[r] << 20;
      map.readSize[r] = kSize[r];
      map.writeSize[r] = (r == 0 || r == 8 || r == 10 || r == 12) ? 0 : kSize[r];
      map.mask[r] = kSize[r] && r != 4 ? kSize[r] - 1 : 0xFFFFFF;  // the I/O registers do not repeat
      if (!kSize[r]) continue;
      int owner = (r >= 8 && r <= 13) ? 8 + (r & 1) : r;  // ROM and EEPROM ports mirror
      for (int b = 0; b < 6; ++b) {
        if (owner == r) slices[b][r].assign((kSize[r] >> 5) + 1, 0);
        map.bitmaps[b][r] = slices[b][owner].data();
      }
    }
    for (auto& b : store) b = 0xFF;
    ctx.breakpoints = &table;
    ctx.io = io;
    ctx.eepromPorts = ports;
    ctx.eepromStore = store;
    ctx.interruptFlags = &ifCopy;
    ctx.wait16Sequential = wait16;
    ctx.timerAccumulators = acc;
    ctx.stepOver = &stepOver;
    ctx.rebuildTimers = [this] { ++timerBuilds; };
    ctx.skipProbeOnce = [this](uint32_t pc) { skippedAt = pc; };
    table.installIoTraps();
  }

  bool live(int kind, uint32_t address) const { return testTrapBit(map, kind, address); }
  bool persistent(int kind, uint32_t address) const { return testTrapBit(map, 3 + kind, address); }
};

}  // namespace testsupport
