#pragma once
// CHECK and dbgPrintf for the picture code.  They come from general/base.h;
// until that is in the tree this gives the same behaviour on stderr.

#if __has_include("general/base.h")
#include "general/base.h"
#else
#include <cstdarg>
#include <cstdio>

inline void dbgPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}
inline void setDebugOutputDeferred(bool) {}
#define CHECK(condition) \
  ((condition) ? (void)0 : dbgPrintf("CHECK failure, file %s, line %d.\n", __FILE__, __LINE__))
#endif
