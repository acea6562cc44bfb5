// The older program's line timing and its lack of sound.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/soundbuf.h"
#include "core/video.h"

namespace {

struct SoundCounter : SoundOutput {
  void start() override { ++calls; }
  void stop() override { ++calls; }
  void writeBlock(uint32_t, uint32_t, const int16_t*) override { ++calls; }
  int calls = 0;
};

TEST(OlderLineTiming, ShorterDrawnPartLongerBlankAndNoSound) {
  std::vector<uint8_t> io(kIoSize), pal(kPaletteSize), vram(kVramSize), oam(kOamSize);
  auto video = std::make_unique<Video>();
  video->attachAreas(io.data(), pal.data(), vram.data(), oam.data());
  video->reset();
  SoundCounter sound;
  installSoundOutput(&sound);
  uint64_t cycles = 0;
  for (uint32_t i = 0; i < 1 + 2 * 229; ++i) {
    cycles += uint64_t(video->clock().cycles);
    video->clock().cycles = 0;
    video->tick();
  }
  EXPECT_EQ(cycles, 228u + 229u * 1164u);
  EXPECT_EQ(video->clock().cycles, 272);
  startSound();
  flushSound();
  EXPECT_EQ(sound.calls, 0);
  installSoundOutput(programSoundOutput());
}

}  // namespace
