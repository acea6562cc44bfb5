#include "core/eeprom.h"

namespace {

uint32_t bitAt(const uint8_t* ports, uint32_t halfword) { return ports[2 * halfword] & 1; }

void setHalfword(uint8_t* ports, uint32_t halfword, uint16_t v) {
  ports[2 * halfword] = uint8_t(v);
  ports[2 * halfword + 1] = uint8_t(v >> 8);
}

// The six address bits in halfwords 2-7, most significant first.
uint32_t blockNumber(const uint8_t* ports) {
  uint32_t block = 0;
  for (uint32_t i = 2; i < 8; ++i) block = block << 1 | bitAt(ports, i);
  return block;
}

}  // namespace

void eepromReadRequest(uint8_t* ports, const uint8_t* store) {
  if (bitAt(ports, 0) != 1 || bitAt(ports, 1) != 1) return;
  const uint8_t* block = store + 8 * blockNumber(ports);
  for (uint32_t k = 0; k < 4; ++k) {
    uint16_t value = uint16_t(block[2 * k] | block[2 * k + 1] << 8);
    for (uint32_t b = 0; b < 16; ++b)
      setHalfword(ports, kEepromReplyFirstBit + 16 * k + b, (value >> (15 - b)) & 1);
  }
}

void eepromWriteRequest(uint8_t* ports, uint8_t* store) {
  if (bitAt(ports, 0) != 1 || bitAt(ports, 1) != 0) return;
  uint8_t* block = store + 8 * blockNumber(ports);
  for (uint32_t k = 0; k < 4; ++k) {
    uint16_t value = 0;
    for (uint32_t b = 0; b < 16; ++b) value = uint16_t(value << 1 | bitAt(ports, 8 + 16 * k + b));
    block[2 * k] = uint8_t(value);
    block[2 * k + 1] = uint8_t(value >> 8);
  }
}
