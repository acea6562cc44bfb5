#pragma once
// Time for the task scheduler: a monotonic clock, unaffected by changes of
// the wall-clock time and by the processor's frequency.

#include <cstdint>

namespace platform {

// Nanoseconds since an arbitrary fixed point (the first call).
uint64_t monotonicNanoseconds();

// Seconds since the first call, as the scheduler's single-precision time.
float monotonicSeconds();

}  // namespace platform
