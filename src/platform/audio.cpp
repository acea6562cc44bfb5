#include "platform/audio.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace platform {

AudioStream::AudioStream(int frequency, int channels, size_t bufferBytes)
    : buffer_(new uint8_t[bufferBytes ? bufferBytes : 1]()), bytes_(bufferBytes) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    SDL_Log("No sound device (%s): sound goes to a silent null device.", SDL_GetError());
    return;
  }
  subsystemStarted_ = true;
  SDL_AudioSpec want{};
  want.freq = frequency;
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(channels);
  want.samples = 512;
  want.callback = &AudioStream::feed;
  want.userdata = this;
  SDL_AudioSpec have{};
  // SDL converts to whatever the device plays.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    SDL_Log("No sound device (%s): sound goes to a silent null device.", SDL_GetError());
    return;
  }
  SDL_PauseAudioDevice(device_, 0);
}

AudioStream::~AudioStream() {
  if (device_) SDL_CloseAudioDevice(device_);
  if (subsystemStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  delete[] buffer_;
}

void AudioStream::feed(void* self, uint8_t* out, int length) {
  auto* s = static_cast<AudioStream*>(self);
  size_t left = static_cast<size_t>(length);
  if (s->bytes_ == 0) {
    std::memset(out, 0, left);
    return;
  }
  while (left > 0) {
    const size_t n = std::min(left, s->bytes_ - s->playPosition_);
    std::memcpy(out, s->buffer_ + s->playPosition_, n);
    out += n;
    left -= n;
    s->playPosition_ = (s->playPosition_ + n) % s->bytes_;
  }
}

bool AudioStream::write(size_t offset, const void* data, size_t length) {
  if (offset > bytes_ || length > bytes_ - offset) return false;
  if (device_) SDL_LockAudioDevice(device_);
  if (data) std::memcpy(buffer_ + offset, data, length);
  if (device_) SDL_UnlockAudioDevice(device_);
  return true;
}

bool AudioStream::read(size_t offset, void* out, size_t length) const {
  if (offset > bytes_ || length > bytes_ - offset) return false;
  if (device_) SDL_LockAudioDevice(device_);
  std::memcpy(out, buffer_ + offset, length);
  if (device_) SDL_UnlockAudioDevice(device_);
  return true;
}

}  // namespace platform
