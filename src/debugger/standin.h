#pragma once
// Temporary stand-ins for pieces of the general library that are not in yet.

#include <cstdint>

// The part of FixedIString the disassembler uses.
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

// Temporary: a configuration option without the file behind it, until the
// general library's options are in.
template <class T>
class ConfigOption {
public:
  ConfigOption(const char* name, T initial) : value_(initial), name_(name) {}
  T& value() { return value_; }
  const char* name() const { return name_; }

private:
  T value_;
  const char* name_;
};

// Temporary: the language table's look-up, until it is in.
inline const char* translate(const char* english) { return english; }
