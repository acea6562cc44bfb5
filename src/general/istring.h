#pragma once
// The program's two text types, both 16-bit characters without a terminator:
// IString, a growable heap text, and FixedIString, a value of at most 256
// characters.  Codes 1-14 are drawing controls, 15 and up are characters.
// 8-bit text comes in with each byte sign-extended (0x80-0xFF become
// 0xFF80-0xFFFF) and goes out as each character's low byte.

#include "general/ptr.h"

// A byte of 8-bit text as a character.
constexpr u16 widenChar(char c) { return static_cast<u16>(static_cast<i16>(static_cast<signed char>(c))); }

class FixedIString;

class IString {
 public:
  IString() = default;
  IString(const IString& other) { copyFrom(other); }
  IString(IString&& other) noexcept;
  IString& operator=(const IString& other) {
    assign(other);
    return *this;
  }
  IString& operator=(IString&& other) noexcept;
  ~IString() { trackedFree(chars_); }

  // A null pointer gives the empty text; capacity is 1 doubled until it
  // holds the text.
  static IString fromText(const char* text);
  static IString fromChar(u16 c);
  // The text passed through the language table.
  static IString fromEnglish(const char* english);

  void assign(const IString& other);  // other may be this text
  void assignChar(u16 c);
  void assignText(const char* text);  // null gives the empty text
  void assignFixed(const FixedIString& text);

  IString& operator+=(const IString& other);  // other may be this text
  void appendText(const char* text);
  void appendChar(u16 c);

  u32 length() const { return length_; }
  u32 capacity() const { return capacity_; }
  const u16* data() const { return chars_; }

  u16& at(u32 i) {
    if (detail::indexInRange(i, length_)) [[likely]]
      return chars_[i];
    return detail::scratchElement<u16>();
  }
  u16 at(u32 i) const { return const_cast<IString*>(this)->at(i); }
  u16& operator[](u32 i) { return at(i); }
  u16 operator[](u32 i) const { return at(i); }

  // Unit by unit as unsigned values; a prefix is less than the longer text.
  bool operator<(const IString& other) const;
  bool operator==(const IString& other) const;
  bool operator!=(const IString& other) const { return !(*this == other); }

  // The low bytes of min(length, size - 1) characters and a NUL; nothing
  // at all when size is 0.
  void toCString(char* out, u32 size) const;
  void debugPrint() const;

 private:
  void copyFrom(const IString& other);
  void release();
  // Makes room for newLength characters (the capacity doubles until it is at
  // least newLength) and returns the old block, for the caller to free once
  // nothing reads it.
  u16* growFor(u32 newLength);

  u32 length_ = 0;
  u32 capacity_ = 1;
  u16* chars_ = nullptr;
};

class FixedIString {
 public:
  static constexpr u32 kCapacity = 256;

  constexpr FixedIString() = default;

  u32 length() const { return length_; }
  void clear() { length_ = 0; }
  const u16* data() const { return chars_.data(); }

  // Checked against the capacity, not the length.
  u16& at(u32 i) { return chars_.at(i); }
  u16 at(u32 i) const { return chars_.at(i); }
  u16& operator[](u32 i) { return chars_.at(i); }
  u16 operator[](u32 i) const { return chars_.at(i); }

  void assignChar(u16 c);
  void assign(const IString& text);        // silently cut at 256
  void assignIString(const IString& text);  // each character beyond 256 reported
  void assignText(const char* text);        // each character beyond 256 reported
  void assignTextClipped(const char* text);  // silently cut at 256

  // Each character that would pass 256 is reported and dropped.
  void appendChar16(u16 c);
  void appendChar(char c) { appendChar16(widenChar(c)); }
  void appendFixed(const FixedIString& text);  // text may be this one
  void appendText(const char* text);
  void appendString(const IString& text);
  // Silently stops once the text is `limit` (at most 256) characters long:
  // for texts from outside (translations), which leave room for what follows.
  void appendTextClipped(const char* text, u32 limit = kCapacity);

  // The lowest `digits` hexadecimal digits (at most 8), upper case.
  void appendHex(u32 value, u32 digits);
  void appendHex8(u32 value) { appendHex(value, 8); }
  // "%lg", cut or padded with blanks to exactly width characters.
  void appendFloat(double value, u32 width);

  void removeLast(u32 n) { length_ = n > length_ ? 0 : length_ - n; }

  bool operator<(const FixedIString& other) const;
  bool operator==(const FixedIString& other) const;
  bool operator!=(const FixedIString& other) const { return !(*this == other); }

  void toCString(char* out, u32 size) const;
  void debugPrint() const;

 private:
  FixedArray<u16, kCapacity> chars_;
  u32 length_ = 0;
};

// The low bytes of every character of code 15 or more (controls dropped) and
// a NUL into a buffer of at least 257 bytes; returns the number written.
u32 toCString(char* out, const FixedIString& text);

// Unsigned unit comparison shared by both text types.
int compareUnits(const u16* a, u32 aLength, const u16* b, u32 bLength);
