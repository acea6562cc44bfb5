#pragma once
// Executable memory from mmap, never writable and executable at once: a
// range is switched to writable while code is copied or patched into it and
// back to executable before it runs.

#include <cstddef>

#include "core/types.h"

class CodeBuffer {
public:
  explicit CodeBuffer(size_t bytes);
  ~CodeBuffer();
  CodeBuffer(const CodeBuffer&) = delete;
  CodeBuffer& operator=(const CodeBuffer&) = delete;

  u8* data() const { return data_; }
  size_t size() const { return size_; }
  // Page-granular switches of [p, p + n).
  void makeWritable(void* p, size_t n);
  void makeExecutable(void* p, size_t n);

private:
  u8* data_ = nullptr;
  size_t size_ = 0;
};
