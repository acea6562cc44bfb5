#pragma once
// Temporary stand-ins for the two text types until they are on main.

#include <cstring>
#include <vector>

#include "general/base.h"
#include "general/ptr.h"

class IString {
 public:
  static IString fromText(const char* t) {
    IString s;
    if (t)
      while (*t) s.chars_.push_back(static_cast<u16>(static_cast<signed char>(*t++)));
    return s;
  }
  u32 length() const { return static_cast<u32>(chars_.size()); }
  u16 at(u32 i) const { return chars_[i]; }

 private:
  std::vector<u16> chars_;
};

class FixedIString {
 public:
  u32 length() const { return length_; }
  void clear() { length_ = 0; }
  u16 at(u32 i) const { return chars_[i < 256 ? i : 0]; }
  void appendChar16(u16 c) {
    CHECK(length_ < 256);
    if (length_ < 256) chars_[length_++] = c;
  }
  void assign(const IString& s) {
    length_ = 0;
    for (u32 i = 0; i < s.length() && i < 256; ++i) chars_[length_++] = s.at(i);
  }
  void assignText(const char* t) {
    length_ = 0;
    while (*t) appendChar16(static_cast<u16>(static_cast<signed char>(*t++)));
  }
  void appendString(const IString& s) {
    for (u32 i = 0; i < s.length(); ++i) appendChar16(s.at(i));
  }
  bool operator!=(const FixedIString& o) const {
    return length_ != o.length_ || std::memcmp(chars_, o.chars_, length_ * 2) != 0;
  }

 private:
  u16 chars_[256] = {};
  u32 length_ = 0;
};
