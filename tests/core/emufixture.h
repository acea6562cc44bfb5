#pragma once
// A whole emulator running a guest program assembled in the build, with the
// snapshot that running backwards must restore: every register word of every
// bank, all guest-writable memory and the rest of the machine (clock, display
// timing, timers, DMA channels, pending interrupts and exceptions, EEPROM).

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
  std::vector<u8> machine;
  bool operator==(const GuestSnapshot&) const = default;
};

inline GuestSnapshot snapshotOf(Emulator& emu) {
  emu.takeClock();  // what the test set in gVideoCycles counts from here
  Arena& a = emu.arena();
  GuestSnapshot s;
  s.registers.assign(a.registers, a.registers + arena::kRegisterWords);
  auto add = [&](std::vector<u8>& to, const void* p, size_t n) {
    const u8* b = static_cast<const u8*>(p);
    to.insert(to.end(), b, b + n);
  };
  add(s.memory, a.ewram, sizeof a.ewram);
  add(s.memory, a.iwram, sizeof a.iwram);
  add(s.memory, a.io, sizeof a.io);
  add(s.memory, a.palette, sizeof a.palette);
  add(s.memory, a.vram, sizeof a.vram);
  add(s.memory, a.oam, sizeof a.oam);
  add(s.memory, a.sram, sizeof a.sram);
  add(s.memory, a.eepromPorts, sizeof a.eepromPorts);
  add(s.machine, &a.machine, sizeof a.machine);
  add(s.machine, a.timerAccumulators, sizeof a.timerAccumulators);
  add(s.machine, &a.pendingTimerInterrupts, sizeof a.pendingTimerInterrupts);
  return s;
}

// Where two snapshots first differ, for a readable failure.
inline std::string firstDifference(const GuestSnapshot& a, const GuestSnapshot& b) {
  for (size_t i = 0; i < a.registers.size() && i < b.registers.size(); ++i)
    if (a.registers[i] != b.registers[i])
      return "register word " + std::to_string(i) + ": " + std::to_string(a.registers[i]) + " vs " +
             std::to_string(b.registers[i]);
  for (size_t i = 0; i < a.memory.size() && i < b.memory.size(); ++i)
    if (a.memory[i] != b.memory[i]) return "memory byte " + std::to_string(i);
  for (size_t i = 0; i < a.machine.size() && i < b.machine.size(); ++i)
    if (a.machine[i] != b.machine[i])
      return "machine state byte " + std::to_string(i) + " (MachineState is " + std::to_string(sizeof(MachineState)) +
             " bytes)";
  return "none";
}

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
  GuestSnapshot snapshot() { return snapshotOf(*emu); }
};

}  // namespace testsupport
