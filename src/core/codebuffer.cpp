#include "core/codebuffer.h"

#include <algorithm>
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

// Ranges this many pages apart or nearer share a switch.
constexpr uintptr_t kJoinedGapPages = 8;

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

void CodeBuffer::Writes::add(const void* p, size_t n) {
  CHECK(!open_);
  const uintptr_t page = pageSize();
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  ranges_.push_back({at & ~(page - 1), (at + n + page - 1) & ~(page - 1)});
}

void CodeBuffer::Writes::open() {
  if (open_ || ranges_.empty()) return;
  std::sort(ranges_.begin(), ranges_.end());
  const uintptr_t gap = kJoinedGapPages * pageSize();
  size_t kept = 0;
  for (size_t i = 1; i < ranges_.size(); ++i) {
    if (ranges_[i].first <= ranges_[kept].second + gap)
      ranges_[kept].second = std::max(ranges_[kept].second, ranges_[i].second);
    else
      ranges_[++kept] = ranges_[i];
  }
  ranges_.resize(kept + 1);
  for (auto [first, last] : ranges_) code_.makeWritable(reinterpret_cast<void*>(first), last - first);
  open_ = true;
}

void CodeBuffer::Writes::close() {
  if (!open_) return;
  for (auto [first, last] : ranges_) code_.makeExecutable(reinterpret_cast<void*>(first), last - first);
  ranges_.clear();
  open_ = false;
}
