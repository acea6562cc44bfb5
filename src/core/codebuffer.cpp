#include "core/codebuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include "core/check.h"

namespace {

size_t pageSize() {
  static const size_t size = size_t(sysconf(_SC_PAGESIZE));
  return size;
}

void protect(void* p, size_t n, int prot) {
  uintptr_t page = pageSize();
  uintptr_t first = reinterpret_cast<uintptr_t>(p) & ~(page - 1);
  uintptr_t last = (reinterpret_cast<uintptr_t>(p) + n + page - 1) & ~(page - 1);
  int rc = mprotect(reinterpret_cast<void*>(first), last - first, prot);
  CHECK(rc == 0);
}

}  // namespace

CodeBuffer::CodeBuffer(size_t bytes) {
  size_t page = pageSize();
  size_ = (bytes + page - 1) & ~(page - 1);
  void* p = mmap(nullptr, size_, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  CHECK(p != MAP_FAILED);
  data_ = p == MAP_FAILED ? nullptr : static_cast<u8*>(p);
  if (!data_) size_ = 0;
}

CodeBuffer::~CodeBuffer() {
  if (data_) munmap(data_, size_);
}

void CodeBuffer::makeWritable(void* p, size_t n) { protect(p, n, PROT_READ | PROT_WRITE); }
void CodeBuffer::makeExecutable(void* p, size_t n) { protect(p, n, PROT_READ | PROT_EXEC); }
