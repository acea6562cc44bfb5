#pragma once
// The cartridge EEPROM's serial protocol.  The guest moves one bit per
// halfword through the port area (bit 0 of halfword i at 0x0D000000 + 2i);
// the write traps on the two serial ends call these when a request is
// complete.  The save store holds 64 blocks of 64 bits as four halfwords each.

#include <cstdint>

inline constexpr uint32_t kEepromStoreSize = 1024;
inline constexpr uint32_t kEepromPortSize = 256;
inline constexpr uint32_t kEepromReadTrap = 0x0D000010;   // halfword 8: end of a read request
inline constexpr uint32_t kEepromWriteTrap = 0x0D000090;  // halfword 72: end of a write request
// A read reply starts with four bits the guest ignores, so the data bits lie
// in halfwords 4-67 of the port when the guest reads from the port's start.
inline constexpr uint32_t kEepromReplyFirstBit = 4;

// Read request (halfwords 0-1 = 1, 1): writes the block's 64 bits, one per
// halfword, behind the four ignored reply bits.
void eepromReadRequest(uint8_t* ports, const uint8_t* store);
// Write request (halfwords 0-1 = 1, 0): stores the 64 bits of halfwords 8-71.
void eepromWriteRequest(uint8_t* ports, uint8_t* store);
