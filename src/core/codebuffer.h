#pragma once
// Executable memory from mmap, never writable and executable at once: a
// range is switched to writable while code is copied or patched into it and
// back to executable before it runs.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

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

  // Ranges switched to writable together and back together.  A switch
  // costs far more than the pages it covers, so ranges a few pages apart
  // share one.  Every range is added before open().
  class Writes {
  public:
    explicit Writes(CodeBuffer& code) : code_(code) {}
    ~Writes() { close(); }
    Writes(const Writes&) = delete;
    Writes& operator=(const Writes&) = delete;
    void add(const void* p, size_t n);
    void open();
    void close();

  private:
    CodeBuffer& code_;
    std::vector<std::pair<uintptr_t, uintptr_t>> ranges_;  // [first, last) pages
    bool open_ = false;
  };

private:
  u8* data_ = nullptr;
  size_t size_ = 0;
};
