#pragma once
// Shared by the fuzz harnesses: a scratch working directory of their own (the
// program reads and writes its files in the working directory), the debug
// log read back and emptied between inputs, and a check that stops the run
// so that the fuzzer keeps the input that broke a property.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "general/base.h"

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzz {

// Enters a fresh directory under /tmp (removed at exit) on the first call.
inline void enterScratchDirectory() {
  static std::string dir;
  if (!dir.empty()) return;
  char pattern[] = "/tmp/vandrel-fuzz-XXXXXX";
  if (!mkdtemp(pattern) || chdir(pattern) != 0) std::abort();
  dir = pattern;
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
}

// What the debug log received since the last call; the log is emptied, so
// a long run does not fill the disk.
inline std::string takeLog() {
  std::FILE* f = debugLogFile();
  if (!f) {
    dbgPrintf("%s", "");  // opens it
    f = debugLogFile();
    if (!f) return {};
  }
  std::fflush(f);
  std::string text;
  std::rewind(f);
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, f)) text.append(buffer, n);
  std::clearerr(f);
  if (ftruncate(fileno(f), 0) != 0) std::abort();
  std::rewind(f);
  return text;
}

inline void writeFile(const char* name, const uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(name, "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

inline std::string readFileText(const char* name) {
  std::string text;
  if (std::FILE* f = std::fopen(name, "rb")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, f)) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
