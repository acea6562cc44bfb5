#pragma once
// One looping sound stream of 16-bit interleaved samples on SDL audio: the
// device plays the buffer from its start, round and round, whatever was
// last written into it.  Without a usable audio device the stream plays
// into a silent null device: the buffer is there and can be written, and
// nothing is heard.

#include <cstddef>
#include <cstdint>

namespace platform {

class AudioStream {
 public:
  // Opens the default device for frequency Hz, channels x 16 bits; falls
  // back to the null device when there is none.  The buffer starts silent.
  AudioStream(int frequency, int channels, size_t bufferBytes);
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  bool nullDevice() const { return device_ == 0; }
  size_t size() const { return bytes_; }

  // Copies bytes into the buffer at offset while the device is held off;
  // false (nothing written) when the range does not lie inside the buffer.
  // A null data pointer only locks and unlocks.
  bool write(size_t offset, const void* data, size_t length);
  // Reads the buffer back, under the same lock.
  bool read(size_t offset, void* out, size_t length) const;

 private:
  static void feed(void* self, uint8_t* out, int length);

  uint32_t device_ = 0;
  uint8_t* buffer_ = nullptr;
  size_t bytes_ = 0;
  size_t playPosition_ = 0;
  bool subsystemStarted_ = false;
};

}  // namespace platform
