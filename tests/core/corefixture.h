#pragma once
// A fresh emulator for processor tests: no BIOS (so a reset starts at
// 0x08000000 in ARM state), instructions written straight into the ROM area,
// and slices run under a chosen stop mask.

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "core/emulator.h"

namespace testsupport {

struct CoreFixture : ::testing::Test {
  std::unique_ptr<Emulator> emu = std::make_unique<Emulator>();

  void SetUp() override {
    gVideoCycles = 65535;  // the display never bounds a slice
    gStopMask = kStopStep;
    gRunToAddress = 0xFFFFFFFF;
    std::memset(emu->memory().bios(), 0, 0x4000);
    emu->reset();
  }
  ArmCpu& cpu() { return emu->cpu(); }
  GbaMemory& mem() { return emu->memory(); }

  // Writes words into ROM at address (and empties the block cache).
  void code(std::initializer_list<u32> words, u32 address = 0x08000000) {
    for (u32 w : words) {
      std::memcpy(mem().rom() + (address & 0x7FFFFF), &w, 4);
      address += 4;
    }
    cpu().flushBlocks();
  }
  void thumbCode(std::initializer_list<u16> halves, u32 address = 0x08000000) {
    for (u16 h : halves) {
      std::memcpy(mem().rom() + (address & 0x7FFFFF), &h, 2);
      address += 2;
    }
    cpu().flushBlocks();
  }
  u32 r(u32 n) { return cpu().reg(n); }
  void set(u32 n, u32 v) { cpu().setReg(n, v); }
  u32 flags() { return cpu().cpsr() >> 28; }
  void setFlags(u32 nzcv) { set(16, (cpu().cpsr() & 0x0FFFFFFF) | (nzcv << 28)); }
  // One slice; returns its status.
  u32 slice() {
    emu->runSlice();
    return gRunStatus;
  }
  // Cycles one slice takes.
  u32 cyclesOf() {
    u32 before = gCycleCount;
    slice();
    return gCycleCount - before;
  }
  // The journal records written since index `from` (word index), without
  // the records that mark the end of each slice.
  std::vector<std::pair<u32, u32>> journalSince(u32 from) {
    std::vector<std::pair<u32, u32>> out;
    Arena& a = emu->arena();
    const u32 mark = a.offsetOf(&a.machine.sliceMark);
    for (u32 i = from; i != a.journalWriteIndex; i = (i + 2) & (arena::kJournalWords - 1))
      if (a.journal[i] != mark) out.push_back({a.journal[i], a.journal[i + 1]});
    return out;
  }
};

}  // namespace testsupport
