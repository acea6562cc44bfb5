// Frames per second of one cartridge file, run headless as run mode runs it:
// every line drawn, every frame handed off, the journal recording.  The
// output line has the same fields as the peer harness's, so that a script
// can set the two side by side and check that both did the same work
// (counter = the word at 0x03007F00, ewram0 = the word at 0x02000000).
//
//   bench_fps CARTRIDGE FRAMES [BIOS]
//
// Without a BIOS image the machine starts at 0x08000000 and the stand-in
// answers BIOS calls, as in the program; with one it runs the BIOS's own
// start first, as the console does.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/emulator.h"

namespace {

unsigned gFrames = 0;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CARTRIDGE FRAMES [BIOS]\n", argv[0]);
    return 2;
  }
  const unsigned frames = unsigned(std::strtoul(argv[2], nullptr, 10));
  Emulator& emu = gEmulator;
  emu.commitJournal();  // as the program does when it starts
  // A "gba.rom" picked up from the working directory must not change the run.
  emu.memory().installStandInBios();
  if (argc > 3 && !emu.memory().loadBios(argv[3])) {
    std::fprintf(stderr, "cannot read BIOS %s\n", argv[3]);
    return 1;
  }
  if (!emu.loadRom(std::string(argv[1]))) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  Video& video = emu.video();
  video.reset();
  // Any colour table will do; the front end would fill it from its display.
  for (uint32_t c = 0; c < kColourCount; ++c) video.debuggerColours[c] = uint16_t(c);
  video.setPresentMode(2);
  emu.setFramePresenter([](i32, i32) { ++gFrames; });
  gStopMask = kStopRunning;
  const auto start = std::chrono::steady_clock::now();
  while (gFrames < frames) emu.runSlice();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  emu.setFramePresenter(nullptr);
  GbaMemory& memory = emu.memory();
  std::printf("vandrel frames=%u seconds=%.3f fps=%.1f counter=%08x ewram0=%08x\n", frames, seconds,
              frames / seconds, memory.peek32(0x03007F00), memory.peek32(0x02000000));
  return 0;
}
