#pragma once
// The foundation's diagnostics and memory bookkeeping: the integer types, the
// debug log "dbgout.txt" (dbgPrintf), CHECK, and the tracked allocator behind
// every array and string, with the outstanding-allocation report.
//
// Shut-down order (run by the program entry): runShutdownHooks(),
// dumpOutstandingAllocations(), flushDebugOutput(), closeDebugLog().  A
// message logged after closeDebugLog() (static destructors still log, the
// options' saving among them) is appended to the log, which is never wiped.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;
using s32 = std::int32_t;

// ---- Debug log -------------------------------------------------------------

// Formats one message (at most 1023 characters) and logs it to "dbgout.txt",
// which the first message creates empty in the working directory.  Each
// message also goes to stderr when the environment sets VANDREL_DEBUG_STDERR=1.
void dbgPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes every held-back message, newest first.
void flushDebugOutput();

// While on, messages are held back (the display's surface lock turns it on,
// its unlock turns it off, which flushes).
void setDebugOutputDeferred(u32 on);

// Closes the log; each later message is appended to "dbgout.txt" on its own
// (when the log could be created at all).
void closeDebugLog();

// The open log, or null before the first message, after closing, or when
// "dbgout.txt" could not be created.
std::FILE* debugLogFile();

// The operating system's debugger output: stderr when VANDREL_DEBUG_STDERR=1,
// else nothing.
void debugOutput(const char* text);

// "general/ptr.cpp" -> "general/ptr": the module name that messages and
// allocation records show.  Writes at most size - 1 characters and a NUL.
void moduleName(const char* file, char* out, std::size_t size);

// ---- CHECK -----------------------------------------------------------------

// Logs "CHECK failure, file %s, line %d.\n" and returns false.
bool checkFailed(const char* file, int line);

inline bool checkPassed(bool ok, const char* file, int line) {
  if (!ok) [[unlikely]]
    checkFailed(file, line);
  return ok;
}

// Logs a failed condition and lets the program go on; its value is the
// condition, so code can take a harmless road after a failure.
#define CHECK(condition) ::checkPassed(static_cast<bool>(condition), __FILE__, __LINE__)

// ---- Tracked allocation ----------------------------------------------------

namespace tracked {
// Raw block of bytes (16-byte aligned) recorded against file and line.
void* allocateBlock(std::size_t elementSize, std::size_t count, const char* file, int line);
// Returns the element count of a live block and forgets it, or logs the
// duplicate (or unknown) release and returns false.  Never reads a block that
// is no longer live.
bool releaseBlock(void* block, std::size_t& count);
void freeBlockStorage(void* block);
}  // namespace tracked

// Allocates count elements of T charged to file and line, constructed last
// to first.  Running out of memory is fatal (logged, then abort).
template <class T>
void trackedAlloc(T*& out, std::size_t count, const char* file, int line) {
  static_assert(alignof(T) <= 16, "tracked blocks are 16-byte aligned");
  void* block = tracked::allocateBlock(sizeof(T), count, file, line);
  T* items = static_cast<T*>(block);
  for (std::size_t i = count; i-- > 0;) new (items + i) T();
  out = items;
}

// Frees a tracked block (destroying its elements last to first) and nulls the
// pointer.  A null pointer is ignored; a block released twice is reported
// ("Duplicate deallocation for block at %s, line %d.\n") and left alone.
template <class T>
void trackedFree(T*& p) {
  if (!p) return;
  std::size_t count = 0;
  if (!tracked::releaseBlock(p, count)) return;
  for (std::size_t i = count; i-- > 0;) p[i].~T();
  tracked::freeBlockStorage(p);
  p = nullptr;
}

// Writes the list of outstanding blocks (newest first), their total and the
// peak to the debug log.  Called once by the program entry at shut-down.
void dumpOutstandingAllocations();

std::size_t allocatedBytes();
std::size_t peakAllocatedBytes();

// seed = seed x 663608941; the result is in [0, scale).
double randomFloat(u32* seed, double scale);
