// The per-frame sound buffers and their hand-off to the sound output.

#include "core/soundbuf.h"

#include "core/cpu.h"

#include <gtest/gtest.h>

#include <vector>


namespace {

struct Block {
  u32 block, frameCount;
  const i16* samples;
};

class RecordingOutput : public SoundOutput {
public:
  void start() override { ++starts; }
  void stop() override { ++stops; }
  void writeBlock(u32 block, u32 frameCount, const i16* samples) override {
    blocks.push_back({block, frameCount, samples});
  }
  int starts = 0, stops = 0;
  std::vector<Block> blocks;
};

class SoundBuffers : public ::testing::Test {
protected:
  void SetUp() override {
    installSoundOutput(&output);
    gSoundEnableOption.value() = 1;
    gSoundSampleCount = gSoundPhase = gSoundLastCycle = 0;
    gCycleCount = 0;
  }
  void TearDown() override {
    installSoundOutput(programSoundOutput());
    gSoundEnableOption.value() = 1;
  }
  RecordingOutput output;
};

TEST_F(SoundBuffers, FrameWithoutSamplingPassesFourEmptyBlocks) {
  for (int frame = 0; frame < 2; ++frame) flushSound();
  ASSERT_EQ(output.blocks.size(), 8u);
  for (u32 i = 0; i < 8; ++i) {
    EXPECT_EQ(output.blocks[i].block, i % 4);
    EXPECT_EQ(output.blocks[i].frameCount, 0u);
    EXPECT_EQ(output.blocks[i].samples, gSoundBuffers[i % 4]);
  }
}

TEST_F(SoundBuffers, SoundDisabledPassesNothing) {
  gSoundEnableOption.value() = 0;
  gCycleCount = 100000;
  sampleSound(1, 2, 3, 4);
  flushSound();
  EXPECT_TRUE(output.blocks.empty());
  EXPECT_EQ(gSoundSampleCount, 0u);
}

TEST_F(SoundBuffers, SamplingFollowsElapsedCycles) {
  // 86 / 65536 samples a cycle: 1000 cycles are 1.31 samples.
  gCycleCount = 1000;
  sampleSound(1, 2, 3, 4);
  EXPECT_EQ(gSoundSampleCount, 1u);
  gCycleCount = 2000;  // 2.62 in all
  sampleSound(5, 6, 7, 8);
  EXPECT_EQ(gSoundSampleCount, 2u);
  gCycleCount = 2100;  // still 2.76
  sampleSound(9, 9, 9, 9);
  EXPECT_EQ(gSoundSampleCount, 2u);
  EXPECT_EQ(gSoundBuffers[0][0], 1);
  EXPECT_EQ(gSoundBuffers[3][0], 4);
  EXPECT_EQ(gSoundBuffers[1][1], 6);
  EXPECT_EQ(gSoundBuffers[2][1], 7);

  // A frame of 282,128 cycles is about 370 samples.
  gSoundSampleCount = gSoundPhase = 0;
  gSoundLastCycle = gCycleCount = 0;
  for (u32 c = 1232; c <= 282128; c += 1232) {
    gCycleCount = c;
    sampleSound(0, 0, 0, 0);
  }
  EXPECT_EQ(gSoundSampleCount, u32(282128ull * 86 >> 16));
  flushSound();
  ASSERT_EQ(output.blocks.size(), 4u);
  EXPECT_EQ(output.blocks[0].frameCount, 370u);
  EXPECT_EQ(gSoundSampleCount, 0u);
  EXPECT_EQ(gSoundPhase, 0u);
}

TEST_F(SoundBuffers, LongStretchesFillTheBuffersAndStop) {
  // Far more than fits, and more than a 32-bit phase could hold.
  gCycleCount = 200000000;
  sampleSound(0xFFFF, 0, 0, 0);
  EXPECT_EQ(gSoundSampleCount, kSoundBufferSamples);
  EXPECT_EQ(gSoundBuffers[0][kSoundBufferSamples - 1], -1);
  gCycleCount += 3000000000u;  // wraps around
  sampleSound(0, 0, 0, 0);
  EXPECT_EQ(gSoundSampleCount, kSoundBufferSamples);
}

TEST_F(SoundBuffers, StartAndStopDriveTheOutput) {
  startSound();
  stopSound();
  EXPECT_EQ(output.starts, 1);
  EXPECT_EQ(output.stops, 1);
  installSoundOutput(nullptr);
  startSound();  // nothing installed: nothing to start
  flushSound();
  EXPECT_EQ(output.starts, 1);
}

}  // namespace
