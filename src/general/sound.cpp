#include "general/sound.h"

#include <new>

#include "general/language.h"
#include "general/main.h"
#include "platform/variant.h"

uint32_t gFramesPerBlock = 367;
platform::AudioStream* gStreamBuffer = nullptr;

void initSound() {
  if (variant::kOlder) return;
  // A second set-up keeps the stream that is already playing.
  if (gStreamBuffer) return;
  // Looked up by the set-up rather than by a static initialiser, so that
  // linking sound in does not make the language table log before main.
  const char* failedText = translate("Unable to initialize DirectSound.");
  gFramesPerBlock = 367;
  if (gFramesPerBlock < 16) gFramesPerBlock = 16;
  // Without an audio device the stream plays into a silent null device, so
  // only a stream that cannot be made at all is fatal.
  gStreamBuffer = new (std::nothrow)
      platform::AudioStream(kSoundRate, kSoundChannels, kSoundBlocks * gFramesPerBlock * kSoundFrameBytes);
  if (!gStreamBuffer) fatalErrorText(failedText);
}

void writeSoundBlock(uint32_t block, uint32_t, const int16_t* samples) {
  if (!gStreamBuffer || block >= kSoundBlocks) return;
  const uint32_t bytes = gFramesPerBlock * kSoundFrameBytes;
  gStreamBuffer->write(static_cast<size_t>(block) * bytes, samples, bytes);
}

void releaseSound() {
  delete gStreamBuffer;
  gStreamBuffer = nullptr;
}
