// Whole-emulator speed: cartridges of our own run headless in run mode for a
// fixed number of frames (every line drawn, every frame handed off), printing
// frames and emulated cycles per second.
//
//   bench_frames [FRAMES]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/emulator.h"

namespace {

unsigned gFrames = 0;

void run(const char* what, const std::string& image, unsigned frames) {
  Emulator& emu = gEmulator;
  emu.commitJournal();
  if (!emu.loadRom(image)) {
    std::printf("%s: cannot read %s\n", what, image.c_str());
    return;
  }
  Video& video = emu.video();
  video.reset();
  for (uint32_t c = 0; c < kColourCount; ++c) video.debuggerColours[c] = uint16_t(c);
  video.setPresentMode(2);
  gFrames = 0;
  emu.setFramePresenter([](i32, i32) { ++gFrames; });
  gStopMask = kStopRunning;
  const u32 startCycles = gCycleCount;
  const auto start = std::chrono::steady_clock::now();
  while (gFrames < frames) emu.runSlice();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const double cycles = double(u32(gCycleCount - startCycles));
  std::printf("%-28s %6u frames  %8.0f frames/s  %6.1f M cycles/s\n", what, frames, frames / took.count(),
              cycles / took.count() / 1e6);
  emu.setFramePresenter(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned frames = argc > 1 ? unsigned(std::atoi(argv[1])) : 600;
  const std::string dir = VANDREL_GUEST_DIR;
  run("CPU-bound loop", dir + "/cpuloop.gba", frames);
  run("mode 0, 128 sprites", dir + "/spritescene.gba", frames);
}
