#pragma once
// The per-frame sound buffers between the emulated machine and the sound
// output: a sampling routine that turns elapsed cycles into samples, and a
// once-a-frame hand-off of the four buffers as the output's four blocks.
// No emulated sound channel feeds them yet, so every frame passes silence.

#include "general/base.h"
#include "general/config.h"

constexpr u32 kSoundBufferSamples = 2048;
extern i16 gSoundBuffers[4][kSoundBufferSamples];
extern u32 gSoundSampleCount;  // samples in each buffer since the last hand-off
extern u32 gSoundPhase;        // 16.16 fixed-point sample position
extern u32 gSoundLastCycle;    // gCycleCount at the last sampling

extern ConfigOption<i32> gSoundEnableOption;  // "Sound Enable"

// Where the blocks go: the program's sound stream (general/sound.h) unless
// another output is installed; with none the hand-off drops the blocks.
class SoundOutput {
public:
  virtual ~SoundOutput() = default;
  virtual void start() = 0;
  virtual void stop() = 0;
  // samples holds frameCount samples of the block.
  virtual void writeBlock(u32 block, u32 frameCount, const i16* samples) = 0;
};
void installSoundOutput(SoundOutput* output);
SoundOutput* programSoundOutput();

// Appends a to buffer 0, b to 1, c to 2 and d to 3 once for every output
// sample that the cycles run since the last call cover (86 / 65536 samples a
// cycle: 22,016 a second).  A buffer holds at most 2048; the rest is dropped.
void sampleSound(u16 a, u16 b, u16 c, u16 d);
// Once a frame: hands buffer n to the output as block n and empties them.
void flushSound();
void startSound();
void stopSound();
