#pragma once
// Reads what the debug log received since the capture began.  The log stays
// open for the whole process (often in a directory already removed), so it is
// read back through the process's own descriptor.  (When the log was opened
// earlier in a shared directory, the capture is only as private as that.)

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "general/base.h"
#include "support/tempdir.h"

namespace testsupport {

class LogCapture {
 public:
  LogCapture() {
    // Tests running side by side share a working directory; a log opened
    // there would be truncated by the next process, so a process that has
    // not logged yet opens its log in a directory of its own.
    if (!debugLogFile()) {
      ScopedTempDir own;
      dbgPrintf("%s", "");
    }
    if (std::FILE* f = debugLogFile()) start_ = std::ftell(f);
  }

  bool logOpen() const { return debugLogFile() != nullptr; }

  std::string text() const {
    std::FILE* f = debugLogFile();
    if (!f) return {};
    std::fflush(f);
    std::ifstream in("/proc/self/fd/" + std::to_string(fileno(f)), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string s = all.str();
    return start_ < 0 || static_cast<std::size_t>(start_) > s.size() ? s : s.substr(start_);
  }

 private:
  long start_ = -1;
};

}  // namespace testsupport
