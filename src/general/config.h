#pragma once
// Configuration options: named, persistent settings kept in "kez.cfg" in the
// working directory, one line per option: its name, a tab, its value.
//
// Declare an option as a static object next to the code that uses it:
//   constinit ConfigOption<i32> gGrid("grid", 0);
// The constructor is constexpr, so options are ready before any static
// initialiser runs; the file is read on the option's first use, and the
// destructor (at process exit) rewrites the file with the current value.
// T is i32, u16 (low 16 bits of the number read) or FixedIString (default
// given as 8-bit text).

#include <cstddef>

#include "general/istring.h"

namespace config {

inline constexpr const char* kFileName = "kez.cfg";

// The value of the first line named name, cut to size - 1 bytes; false when
// the file or such a line is missing.
bool readValue(const char* name, char* value, std::size_t size);

// Rewrites the file: every line named name gets value, other lines are
// normalised, and a line is appended when none had the name.  The new file
// replaces the old one atomically; on failure (a full disk, a read-only file
// or directory) the old file stays untouched, the debug log says so, and the
// result is false.
bool writeValue(const char* name, const char* value);

// Decimal with atoi's rules (blanks, sign, digits, anything else ends it, no
// digits give 0), saturating at the limits of i32 instead of overflowing.
i32 parseNumber(const char* text);

}  // namespace config

template <class T>
struct ConfigTraits;

template <>
struct ConfigTraits<i32> {
  using Default = i32;
  static void setDefault(i32& v, i32 d) { v = d; }
  static void parse(i32& v, const char* text) { v = config::parseNumber(text); }
  static bool format(const i32& v, char* out, std::size_t size);
};

template <>
struct ConfigTraits<u16> {
  using Default = u16;
  static void setDefault(u16& v, u16 d) { v = d; }
  static void parse(u16& v, const char* text) { v = static_cast<u16>(config::parseNumber(text)); }
  static bool format(const u16& v, char* out, std::size_t size);
};

template <>
struct ConfigTraits<FixedIString> {
  using Default = const char*;
  static void setDefault(FixedIString& v, const char* d) { v.assignTextClipped(d); }
  static void parse(FixedIString& v, const char* text) { v.assignTextClipped(text); }
  // At most 255 characters; false when the text holds a tab, CR or LF, which
  // the file could not carry (the old line then stays).
  static bool format(const FixedIString& v, char* out, std::size_t size);
};

template <class T>
class ConfigOption {
 public:
  using Default = typename ConfigTraits<T>::Default;

  constexpr ConfigOption(const char* name, Default initial) : name_(name), default_(initial) {}
  ConfigOption(const ConfigOption&) = delete;
  ConfigOption& operator=(const ConfigOption&) = delete;
  ~ConfigOption() { save(); }

  T& value() {
    load();
    return value_;
  }
  const char* name() const { return name_; }

  // Writes the current value into "kez.cfg".
  void save() {
    load();
    char text[1024];
    if (ConfigTraits<T>::format(value_, text, sizeof text)) config::writeValue(name_, text);
  }

 private:
  void load() {
    if (loaded_) return;
    loaded_ = true;
    ConfigTraits<T>::setDefault(value_, default_);
    char text[1024];
    if (config::readValue(name_, text, sizeof text)) ConfigTraits<T>::parse(value_, text);
  }

  T value_{};
  const char* name_;
  Default default_;
  bool loaded_ = false;
};
