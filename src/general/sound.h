#pragma once
// Sound output: one looping stream of four blocks of 16-bit stereo frames
// at 22050 Hz.  The caller decides which block to write; the play position
// is never read.  The older variant has no sound.

#include <cstdint>

#include "general/istring.h"
#include "platform/audio.h"

inline constexpr int kSoundRate = 22050;
inline constexpr int kSoundChannels = 2;
inline constexpr uint32_t kSoundBlocks = 4;
inline constexpr uint32_t kSoundFrameBytes = 4;

extern uint32_t gFramesPerBlock;  // 367 once set up; never below 16
// The stream, or nullptr before initSound and after releaseSound.
extern platform::AudioStream* gStreamBuffer;

void initSound();
// Copies gFramesPerBlock frames into block 0-3 (frameCount is not used); a
// null samples pointer leaves the block as it was.  Block numbers above 3
// are ignored.
void writeSoundBlock(uint32_t block, uint32_t frameCount, const int16_t* samples);
void releaseSound();
