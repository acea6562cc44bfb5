// IString and FixedIString.
#include "general/istring.h"

#include <cstdio>
#include <cstring>

#include "general/language.h"

namespace {

u32 capacityFor(u32 length) {
  u32 capacity = 1;
  while (capacity < length) capacity *= 2;
  return capacity;
}

}  // namespace

int compareUnits(const u16* a, u32 aLength, const u16* b, u32 bLength) {
  u32 n = aLength < bLength ? aLength : bLength;
  for (u32 i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

// ---- IString ----------------------------------------------------------------

IString::IString(IString&& other) noexcept
    : length_(std::exchange(other.length_, 0)),
      capacity_(std::exchange(other.capacity_, 1)),
      chars_(std::exchange(other.chars_, nullptr)) {}

IString& IString::operator=(IString&& other) noexcept {
  if (this != &other) {
    release();
    length_ = std::exchange(other.length_, 0);
    capacity_ = std::exchange(other.capacity_, 1);
    chars_ = std::exchange(other.chars_, nullptr);
  }
  return *this;
}

void IString::release() {
  trackedFree(chars_);
  length_ = 0;
  capacity_ = 1;
}

void IString::copyFrom(const IString& other) {
  length_ = other.length_;
  capacity_ = other.capacity_;
  chars_ = nullptr;
  if (other.chars_) {
    trackedAlloc(chars_, capacity_, __FILE__, __LINE__);
    std::memcpy(chars_, other.chars_, length_ * sizeof(u16));
  }
}

IString IString::fromText(const char* text) {
  IString s;
  s.assignText(text);
  return s;
}

IString IString::fromChar(u16 c) {
  IString s;
  s.assignChar(c);
  return s;
}

IString IString::fromEnglish(const char* english) { return fromText(translate(english)); }

void IString::assign(const IString& other) {
  if (this == &other) return;
  release();
  copyFrom(other);
}

void IString::assignChar(u16 c) {
  release();
  trackedAlloc(chars_, 1, __FILE__, __LINE__);
  chars_[0] = c;
  length_ = 1;
}

void IString::assignText(const char* text) {
  release();
  if (!text) return;
  u32 length = static_cast<u32>(std::strlen(text));
  capacity_ = capacityFor(length);
  length_ = length;
  if (length == 0) return;
  trackedAlloc(chars_, capacity_, __FILE__, __LINE__);
  for (u32 i = 0; i < length; ++i) chars_[i] = widenChar(text[i]);
}

void IString::assignFixed(const FixedIString& text) {
  release();
  u32 length = text.length();
  capacity_ = capacityFor(length);
  length_ = length;
  if (length == 0) return;
  trackedAlloc(chars_, capacity_, __FILE__, __LINE__);
  std::memcpy(chars_, text.data(), length * sizeof(u16));
}

u16* IString::growFor(u32 newLength) {
  if (newLength < capacity_) return nullptr;
  u32 capacity = capacity_;
  do capacity *= 2;
  while (capacity < newLength);
  u16* block = nullptr;
  trackedAlloc(block, capacity, __FILE__, __LINE__);
  if (chars_) std::memcpy(block, chars_, length_ * sizeof(u16));
  u16* old = chars_;
  chars_ = block;
  capacity_ = capacity;
  return old;
}

IString& IString::operator+=(const IString& other) {
  u32 n = other.length_;
  if (n == 0) return *this;
  u16* old = growFor(length_ + n);
  const u16* source = (&other == this) ? chars_ : other.chars_;
  std::memcpy(chars_ + length_, source, n * sizeof(u16));
  length_ += n;
  trackedFree(old);
  return *this;
}

void IString::appendText(const char* text) {
  if (!text || !*text) return;
  u32 n = static_cast<u32>(std::strlen(text));
  u16* old = growFor(length_ + n);
  for (u32 i = 0; i < n; ++i) chars_[length_ + i] = widenChar(text[i]);
  length_ += n;
  trackedFree(old);
}

void IString::appendChar(u16 c) {
  u16* old = growFor(length_ + 1);
  chars_[length_++] = c;
  trackedFree(old);
}

bool IString::operator<(const IString& other) const {
  return compareUnits(chars_, length_, other.chars_, other.length_) < 0;
}

bool IString::operator==(const IString& other) const {
  return length_ == other.length_ && (length_ == 0 || std::memcmp(chars_, other.chars_, length_ * 2) == 0);
}

void IString::toCString(char* out, u32 size) const {
  if (size == 0) return;
  u32 n = length_ < size - 1 ? length_ : size - 1;
  for (u32 i = 0; i < n; ++i) out[i] = static_cast<char>(chars_[i] & 0xFF);
  out[n] = '\0';
}

void IString::debugPrint() const {
  char buffer[1024];
  for (u32 i = 0; i < length_; i += sizeof buffer - 1) {
    u32 n = length_ - i < sizeof buffer - 1 ? length_ - i : sizeof buffer - 1;
    for (u32 j = 0; j < n; ++j) buffer[j] = static_cast<char>(chars_[i + j] & 0xFF);
    buffer[n] = '\0';
    debugOutput(buffer);
  }
}

// ---- FixedIString -----------------------------------------------------------

void FixedIString::assignChar(u16 c) {
  chars_.data()[0] = c;
  length_ = 1;
}

void FixedIString::assign(const IString& text) {
  u32 n = text.length() < kCapacity ? text.length() : kCapacity;
  if (n) std::memcpy(chars_.data(), text.data(), n * sizeof(u16));
  length_ = n;
}

void FixedIString::assignIString(const IString& text) {
  length_ = 0;
  appendString(text);
}

void FixedIString::assignText(const char* text) {
  length_ = 0;
  appendText(text);
}

void FixedIString::assignTextClipped(const char* text) {
  length_ = 0;
  if (!text) return;
  while (*text && length_ < kCapacity) chars_.data()[length_++] = widenChar(*text++);
}

void FixedIString::appendChar16(u16 c) {
  if (!CHECK(length_ < kCapacity)) return;
  chars_.data()[length_++] = c;
}

void FixedIString::appendFixed(const FixedIString& text) {
  u32 n = text.length_;  // read first: text may be this one
  for (u32 i = 0; i < n; ++i) appendChar16(text.chars_.data()[i]);
}

void FixedIString::appendText(const char* text) {
  if (!text) return;
  while (*text) appendChar(*text++);
}

void FixedIString::appendTextClipped(const char* text, u32 limit) {
  if (!text) return;
  if (limit > kCapacity) limit = kCapacity;
  while (*text && length_ < limit) chars_.data()[length_++] = widenChar(*text++);
}

void FixedIString::appendString(const IString& text) {
  for (u32 i = 0; i < text.length(); ++i) appendChar16(text.data()[i]);
}

void FixedIString::appendHex(u32 value, u32 digits) {
  if (digits > 8) digits = 8;
  if (digits == 0) return;
  value <<= (4 * (8 - digits)) % 32;
  for (u32 i = 0; i < digits; ++i) {
    u32 nibble = value >> 28;
    appendChar16(static_cast<u16>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10));
    value <<= 4;
  }
}

void FixedIString::appendFloat(double value, u32 width) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lg", value);
  u32 i = 0;
  for (; i < width && buffer[i]; ++i) appendChar(buffer[i]);
  for (; i < width; ++i) appendChar16(' ');
}

bool FixedIString::operator<(const FixedIString& other) const {
  return compareUnits(chars_.data(), length_, other.chars_.data(), other.length_) < 0;
}

bool FixedIString::operator==(const FixedIString& other) const {
  return length_ == other.length_ && std::memcmp(chars_.data(), other.chars_.data(), length_ * 2) == 0;
}

void FixedIString::toCString(char* out, u32 size) const {
  if (size == 0) return;
  u32 n = length_ < size - 1 ? length_ : size - 1;
  for (u32 i = 0; i < n; ++i) out[i] = static_cast<char>(chars_.data()[i] & 0xFF);
  out[n] = '\0';
}

void FixedIString::debugPrint() const {
  char buffer[kCapacity + 1];
  toCString(buffer, sizeof buffer);
  debugOutput(buffer);
}

u32 toCString(char* out, const FixedIString& text) {
  u32 n = 0;
  for (u32 i = 0; i < text.length(); ++i) {
    u16 c = text.data()[i];
    if (c >= 15) out[n++] = static_cast<char>(c & 0xFF);
  }
  out[n] = '\0';
  return n;
}
