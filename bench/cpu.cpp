// Guest instructions per second of the translated code for three loops: an
// ALU loop, a load/store loop and a branchy loop (bench/guest/cpubench.s,
// run from the cartridge area with the display out of the way), then the
// same loops copied into IWRAM, where their words carry the traps that catch
// code written over after translation.

#include <chrono>
#include <cstdio>
#include <string>

#include "core/emulator.h"

namespace {

struct Loop {
  const char* name;
  u32 entry;
  double (*instructions)(u32 iterations);
  bool inIwram = false;  // run from a copy at kIwramCode: RAM code, traps on its words
};

// The loops are position-independent; the load/store loop's data at
// 0x03000000 lies in the same page as the copy, below it.
constexpr u32 kIwramCode = 0x03000100, kCodeBytes = 0x100;

double measure(Emulator& emu, const Loop& loop) {
  emu.reset();
  u32 entry = loop.entry;
  if (loop.inIwram) {
    for (u32 i = 0; i < kCodeBytes; i += 4) emu.memory().poke32(kIwramCode + i, emu.memory().peek32(0x08000000 + i));
    entry = kIwramCode + (loop.entry - 0x08000000);
  }
  emu.cpu().setReg(15, entry);
  gStopMask = kStopRunning;
  gVideoCycles = 65535;
  for (int i = 0; i < 1000; ++i) {  // translate and warm up
    gVideoCycles = 65535;
    emu.runSlice();
  }
  const u32 start = emu.cpu().reg(0);
  const auto t0 = std::chrono::steady_clock::now();
  double seconds = 0;
  u32 slices = 0;
  do {
    // The display's countdown is held far off, so that it never has an event.
    for (int i = 0; i < 2000; ++i) {
      gVideoCycles = 65535;
      emu.runSlice();
    }
    slices += 2000;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  } while (seconds < 1.0);
  const u32 iterations = emu.cpu().reg(0) - start;
  const double rate = loop.instructions(iterations) / seconds;
  std::printf("%-10s %8.1f M guest instructions/s  (%u slices, %.2f s)\n", loop.name, rate / 1e6, slices, seconds);
  return rate;
}

}  // namespace

int main() {
  Emulator& emu = gEmulator;
  emu.commitJournal();
  const std::string image = std::string(VANDREL_GUEST_DIR) + "/cpubench.gba";
  if (!emu.loadRom(image)) {
    std::fprintf(stderr, "cannot read %s\n", image.c_str());
    return 1;
  }
  const Loop loops[] = {
      {"alu", 0x08000000, [](u32 n) { return 6.0 * n; }},
      {"loadstore", 0x08000004, [](u32 n) { return 6.0 * n; }},
      {"branchy", 0x08000008, [](u32 n) { return 5.5 * n; }},
      {"alu/iwram", 0x08000000, [](u32 n) { return 6.0 * n; }, true},
      {"ls/iwram", 0x08000004, [](u32 n) { return 6.0 * n; }, true},
      {"br/iwram", 0x08000008, [](u32 n) { return 5.5 * n; }, true},
  };
  for (const Loop& l : loops) measure(emu, l);
  return 0;
}
