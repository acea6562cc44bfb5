#pragma once
// A whole emulator running a guest program assembled in the build, with the
// snapshot that running backwards must restore: every register word of every
// bank and all guest-writable memory.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/emulator.h"
#include "support/tempdir.h"

namespace testsupport {

struct GuestSnapshot {
  std::vector<u32> registers;
  std::vector<u8> memory;
  bool operator==(const GuestSnapshot&) const = default;
};

struct GuestFixture : ::testing::Test {
  std::unique_ptr<Emulator> emu = std::make_unique<Emulator>();

  void SetUp() override {
    gVideoCycles = 65535;  // the display never bounds a slice
    gStopMask = kStopStep;
    gRunToAddress = 0xFFFFFFFF;
    std::memset(emu->memory().bios(), 0, 0x4000);
  }
  void load(const std::string& name) { ASSERT_TRUE(emu->loadRom(guestImage(name))) << name; }
  ArmCpu& cpu() { return emu->cpu(); }
  u32 r(u32 n) { return cpu().reg(n); }
  u32 step() {
    emu->runSlice();
    return gRunStatus;
  }
  u32 back() {
    emu->stepBack();
    return gRunStatus;
  }
  // Single steps until PC reaches the address; false after `limit` steps.
  bool runTo(u32 address, int limit = 10000) {
    for (int i = 0; i < limit; ++i) {
      if (cpu().pc() == address) return true;
      step();
    }
    return cpu().pc() == address;
  }
  GuestSnapshot snapshot() {
    Arena& a = emu->arena();
    GuestSnapshot s;
    s.registers.assign(a.registers, a.registers + arena::kRegisterWords);
    auto add = [&](const u8* p, size_t n) { s.memory.insert(s.memory.end(), p, p + n); };
    add(a.ewram, sizeof a.ewram);
    add(a.iwram, sizeof a.iwram);
    add(a.io, sizeof a.io);
    add(a.palette, sizeof a.palette);
    add(a.vram, sizeof a.vram);
    add(a.oam, sizeof a.oam);
    add(a.sram, sizeof a.sram);
    add(a.eepromPorts, sizeof a.eepromPorts);
    return s;
  }
};

}  // namespace testsupport
