#pragma once
// Which of the two programs this build is.  Ostrel, the older variant, is
// chosen at compile time; code that behaves differently tests this constant.

namespace variant {
#ifdef VANDREL_OLDER_VARIANT
inline constexpr bool kOlder = true;
#else
inline constexpr bool kOlder = false;
#endif
inline constexpr const char* kProductTitle = kOlder ? "Ostrel" : "Vandrel";
}  // namespace variant
