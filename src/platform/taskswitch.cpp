#include "platform/taskswitch.h"

#include <sys/mman.h>
#include <unistd.h>

extern "C" void vandrelTaskTrampoline();

namespace platform {

StackAreas::~StackAreas() {
  if (base_) munmap(base_, mappedBytes_);
}

bool StackAreas::create(int count, size_t areaBytes) {
  if (base_ || count <= 0) return false;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t area = (areaBytes + page - 1) / page * page;
  stride_ = area + page;
  mappedBytes_ = stride_ * static_cast<size_t>(count);
  void* p =
      mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (p == MAP_FAILED) {
    mappedBytes_ = stride_ = 0;
    return false;
  }
  base_ = p;
  count_ = count;
  // The lowest page of every stride is the guard below that area.
  for (int i = 0; i < count; ++i) mprotect(static_cast<char*>(base_) + stride_ * i, page, PROT_NONE);
  return true;
}

void* StackAreas::top(int i) const {
  if (!base_ || i < 0 || i >= count_) return nullptr;
  return static_cast<char*>(base_) + stride_ * (static_cast<size_t>(i) + 1);
}

void makeStartContext(TaskContext* context, void* stackTop, void (*start)(uint64_t), uint64_t argument) {
  *context = TaskContext{};
  context->resume = reinterpret_cast<uint64_t>(&vandrelTaskTrampoline);
  context->r12 = argument;
  context->r13 = reinterpret_cast<uint64_t>(start);
  context->rsp = reinterpret_cast<uint64_t>(stackTop) & ~uint64_t{15};
  uint32_t mxcsr;
  uint16_t control;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  asm volatile("fnstcw %0" : "=m"(control));
  context->mxcsr = mxcsr;
  context->x87Control = control;
}

}  // namespace platform
