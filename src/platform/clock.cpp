#include "platform/clock.h"

#include <time.h>

namespace platform {

namespace {
uint64_t rawNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}
}  // namespace

uint64_t monotonicNanoseconds() {
  // Counting from the first call keeps the float seconds precise: a float
  // of the system's uptime would lose milliseconds after a few days.
  static const uint64_t start = rawNanoseconds();
  return rawNanoseconds() - start;
}

float monotonicSeconds() { return static_cast<float>(static_cast<double>(monotonicNanoseconds()) * 1e-9); }

}  // namespace platform
