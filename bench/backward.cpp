// Running backwards: how far back the journal reaches on a CPU-bound
// cartridge, and guest instructions per second forwards and backwards over
// the same stretch, in run mode (every line drawn, every frame handed off),
// plus the time of one backward single step.
//
//   bench_backward [FRAMES] [CARTRIDGE] [ROUNDS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/emulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

unsigned gFrames = 0;

// Instruction ends written to the journal between two write positions.
u64 instructionsBetween(Emulator& emu, u32 from, u32 to) {
  const Arena& a = emu.arena();
  u64 n = 0;
  for (u32 i = from; i != to; i = (i + 2) & (arena::kJournalWords - 1))
    if (a.journal[i] == 0 && !(a.journal[i + 1] & 1)) ++n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned frames = argc > 1 ? unsigned(std::atoi(argv[1])) : 60;
  const std::string image = argc > 2 ? argv[2] : std::string(VANDREL_GUEST_DIR) + "/cpuloop.gba";
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  Emulator& emu = gEmulator;
  emu.commitJournal();
  if (!emu.loadRom(image)) {
    std::fprintf(stderr, "cannot read %s\n", image.c_str());
    return 1;
  }
  Video& video = emu.video();
  video.reset();
  video.setPresentMode(2);
  emu.setFramePresenter([](i32, i32) { ++gFrames; });
  gStopMask = kStopRunning;
  for (int i = 0; i < 2000; ++i) emu.runSlice();  // translate and warm up
  emu.history().clear();

  // Forwards then all the way back, several times over the same stretch
  // (back at its start the machine runs it again exactly): the medians.
  const u32 startCycles = gCycleCount;
  u32 cycles = 0, recordsWritten = 0;
  u64 instructions = 0;
  bool allTheWay = true;
  std::vector<double> forwardTimes, backwardTimes;
  for (int round = 0; round < rounds; ++round) {
    emu.history().clear();
    const u32 startIndex = emu.arena().journalWriteIndex;
    const unsigned startFrames = gFrames;
    auto t0 = Clock::now();
    while (gFrames - startFrames < frames) emu.runSlice();
    forwardTimes.push_back(since(t0));
    cycles = gCycleCount - startCycles;
    instructions = instructionsBetween(emu, startIndex, emu.arena().journalWriteIndex);
    recordsWritten = ((emu.arena().journalWriteIndex - startIndex) & (arena::kJournalWords - 1)) / 2;

    t0 = Clock::now();
    u32 status = 0;
    while (gCycleCount != startCycles && !(status & 0x40000)) {
      emu.stepBack();
      status = gRunStatus;
    }
    backwardTimes.push_back(since(t0));
    if (gCycleCount != startCycles) {
      allTheWay = false;
      break;  // the next round would not start where this one did
    }
  }
  const double forwardSeconds = median(forwardTimes), backwardSeconds = median(backwardTimes);
  const u32 reached = startCycles + cycles - gCycleCount;
  std::printf("journal: %u records (%u MB); %u frames forward = %u cycles, %llu instructions\n",
              arena::kJournalRecords, unsigned(u64(arena::kJournalBytes) >> 20), frames, cycles,
              (unsigned long long)instructions);
  std::printf("%.2f records an instruction\n", instructions ? double(recordsWritten) / double(instructions) : 0.0);
  std::printf("backward run reached %u of %u cycles back (%s)\n", reached, cycles,
              allTheWay ? "all the way" : "journal exhausted");
  std::printf("medians of %zu rounds:\n", forwardTimes.size());
  std::printf("forward  %8.1f M instructions/s  (%.3f s)\n", instructions / forwardSeconds / 1e6, forwardSeconds);
  std::printf("backward %8.1f M instructions/s  (%.3f s), %.2f of forward\n", instructions / backwardSeconds / 1e6,
              backwardSeconds, forwardSeconds / backwardSeconds);

  // Backward single steps, as Shift+F9 does them, after a stretch forwards.
  for (int i = 0; i < 20000; ++i) emu.runSlice();
  gStopMask = kStopStep;
  const int steps = 200000;
  const auto t0 = Clock::now();
  for (int i = 0; i < steps; ++i) emu.stepBack();
  std::printf("backward single step: %.3f us\n", since(t0) / steps * 1e6);
  return 0;
}
