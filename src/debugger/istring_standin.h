#pragma once
// Temporary: the part of FixedIString the disassembler uses, until the
// general library's text types are in.

#include <cstdint>

class FixedIString {
public:
  static constexpr uint32_t kCapacity = 256;
  uint32_t length() const { return length_; }
  void clear() { length_ = 0; }
  uint16_t operator[](uint32_t i) const { return i < kCapacity ? chars_[i] : 0; }
  void appendChar16(uint16_t c) {
    if (length_ < kCapacity) chars_[length_++] = c;
  }
  void appendChar(char c) { appendChar16(static_cast<uint16_t>(static_cast<int16_t>(static_cast<signed char>(c)))); }
  void appendText(const char* s) {
    while (*s) appendChar(*s++);
  }
  void toCString(char* out, uint32_t size) const {
    uint32_t n = length_ < size - 1 ? length_ : size - 1;
    for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<char>(chars_[i]);
    out[n] = 0;
  }

private:
  uint16_t chars_[kCapacity] = {};
  uint32_t length_ = 0;
};
