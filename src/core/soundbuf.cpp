#include "core/soundbuf.h"

#include "core/cpu.h"
#include "general/sound.h"
#include "platform/variant.h"

i16 gSoundBuffers[4][kSoundBufferSamples];
u32 gSoundSampleCount = 0;
u32 gSoundPhase = 0;
u32 gSoundLastCycle = 0;
constinit ConfigOption<i32> gSoundEnableOption("Sound Enable", 1);

namespace {

constexpr u64 kSamplesPerCycle = 86;  // 16.16 fixed point
class StreamOutput : public SoundOutput {
public:
  void start() override { initSound(); }
  void stop() override { releaseSound(); }
  void writeBlock(u32 block, u32 frameCount, const i16* samples) override {
    writeSoundBlock(block, frameCount, samples);
  }
};
StreamOutput gStreamOutput;
SoundOutput* gOutput = &gStreamOutput;

// The older program has no sound at all.
bool soundOn() { return !variant::kOlder && gSoundEnableOption.value() != 0; }

}  // namespace

SoundOutput* programSoundOutput() { return &gStreamOutput; }

void installSoundOutput(SoundOutput* output) { gOutput = output; }

void sampleSound(u16 a, u16 b, u16 c, u16 d) {
  if (!soundOn()) return;
  // 64 bits: a long stretch without a hand-off (the debugger's picture
  // passes no sound) must not wrap into a huge step count.
  const u64 p = u64(gSoundPhase) + u64(gCycleCount - gSoundLastCycle) * kSamplesPerCycle;
  u64 steps = (p >> 16) - (gSoundPhase >> 16);
  for (; steps && gSoundSampleCount < kSoundBufferSamples; --steps, ++gSoundSampleCount) {
    gSoundBuffers[0][gSoundSampleCount] = i16(a);
    gSoundBuffers[1][gSoundSampleCount] = i16(b);
    gSoundBuffers[2][gSoundSampleCount] = i16(c);
    gSoundBuffers[3][gSoundSampleCount] = i16(d);
  }
  gSoundLastCycle = gCycleCount;
  gSoundPhase = u32(p);
}

void flushSound() {
  if (!soundOn()) return;
  for (u32 n = 0; n < 4; ++n)
    if (gOutput) gOutput->writeBlock(n, gSoundSampleCount, gSoundBuffers[n]);
  gSoundSampleCount = 0;
  gSoundPhase = 0;
}

void startSound() {
  if (!variant::kOlder && gOutput) gOutput->start();
}

void stopSound() {
  if (!variant::kOlder && gOutput) gOutput->stop();
}
