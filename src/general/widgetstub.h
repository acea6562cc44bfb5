#pragma once
// Temporary stand-ins for the foundation and display pieces the widgets use
// (integer names, CHECK, arrays, texts, the drawing page and font metrics).
// Each goes away as soon as the real header is on main.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using i32 = std::int32_t;

#ifndef CHECK
#define CHECK(cond)                                                                         \
  do {                                                                                      \
    if (!(cond)) std::fprintf(stderr, "CHECK failure, file %s, line %d.\n", __FILE__, __LINE__); \
  } while (0)
#endif

template <typename T>
class Array {
 public:
  u32 count() const { return static_cast<u32>(items_.size()); }
  T& at(u32 i) {
    CHECK(i < count());
    return items_[i < count() ? i : 0];
  }
  const T& atConst(u32 i) const {
    CHECK(i < count());
    return items_[i < count() ? i : 0];
  }
  void append(const T& v) { items_.push_back(v); }
  void remove(const T& v) {
    for (u32 i = 0; i < count(); ++i)
      if (items_[i] == v) {
        items_.erase(items_.begin() + i);
        return;
      }
  }
  void clear() { items_.clear(); }

 private:
  std::vector<T> items_;
};

template <typename T>
class SizedArray {
 public:
  u32 count() const { return static_cast<u32>(items_.size()); }
  void resize(u32 n, const char* = nullptr, int = 0) {
    if (n != count()) items_.assign(n, T());
  }
  T& at(u32 i) {
    CHECK(i < count());
    return items_[i < count() ? i : 0];
  }
  const T& at(u32 i) const {
    CHECK(i < count());
    return items_[i < count() ? i : 0];
  }

 private:
  std::vector<T> items_;
};

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
