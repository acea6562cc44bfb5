#pragma once
// The guest debug service: a guest puts a code in R0 and an argument in R1
// and executes MOV R0, R0; after the slice the run loop calls this, which
// stops the run or prints into the code window's User tab.

#include <cstdint>
#include <functional>

inline constexpr uint32_t kStatusGuestStop = 0x40;
inline constexpr uint32_t kStatusDebugService = 0x80000;
inline constexpr uint32_t kDebugServiceMaxChars = 256;

struct GuestReader {
  std::function<uint8_t(uint32_t)> peek8;
  std::function<uint16_t(uint32_t)> peek16;
};

// R0 = 0 stop, 1 8-bit string at R1, 2 16-bit string at R1, 3 R1 in hex,
// 4 R1 as signed 16.16 fixed point; other codes do nothing.
void runDebugService(uint32_t r0, uint32_t r1, const GuestReader& guest, uint32_t& status);
